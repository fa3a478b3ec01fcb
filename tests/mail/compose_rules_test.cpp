// The compose window's rules that need no window.
#include "mail/send/compose_rules.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/application.h"
#include "mail/send/address_lists.h"
#include "mail/store/mail_store.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;

TEST(ComposeRulesTest, OnlyOutboxAndDraftMessagesAreReplaced) {
  const struct {
    const char* path;
    ComposeSource source;
    bool replaced;
  } cases[] = {
      {"", ComposeSource::New, false},
      {"/home/u/email/Outbox/Out1.mail", ComposeSource::Outbox, true},
      {"/home/u/email/Draft/Out2.mail", ComposeSource::Draft, true},
      {"/home/u/email/Sent Items/Out3.mail", ComposeSource::SentItems, false},
      {"/home/u/email/Inbox/Out4.mail", ComposeSource::New, false},
      {"/home/u/email/Old Drafts/Out5.mail", ComposeSource::New, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(SourceOf(c.path), c.source);
    EXPECT_EQ(ReplacesSource(c.path), c.replaced);
  }
}

TEST(ComposeRulesTest, CloseQuestionCutsToAndSubjectAtWholeCharacters) {
  test::TestApp t;
  const std::string to = std::string(39, 'a') + "\xC3\xBC" + "bcd@example.org";
  const std::string subject = std::string(38, 's') + "\xE2\x82\xAC\xE2\x82\xAC" + "tail";
  const CloseQuestion fresh = ClosingQuestion(ComposeSource::New, to, subject);
  EXPECT_EQ(fresh.text, "To: " + std::string(39, 'a') + "\xC3\xBC" + "\nSubject: " + std::string(38, 's') +
                            "\xE2\x82\xAC\xE2\x82\xAC" +
                            "\n\nThis message hasn't been Sent or Saved.\n\nDo you want to save it in your Draft "
                            "Folder?\n(If you say no, your changes will be lost.)");
  EXPECT_EQ(fresh.caption, "Confirm");
  EXPECT_EQ(fresh.onYes, CloseQuestion::Save::SaveDraft);
  EXPECT_EQ(ClosingQuestion(ComposeSource::Outbox, to, subject).text, "Save Changes?");
  EXPECT_EQ(ClosingQuestion(ComposeSource::Outbox, to, subject).onYes, CloseQuestion::Save::SendLater);
  EXPECT_EQ(ClosingQuestion(ComposeSource::Draft, to, subject).onYes, CloseQuestion::Save::SaveDraft);
  EXPECT_EQ(FirstCharacters("\xE2\x82\xAC" "abc", 2), "\xE2\x82\xAC" "a");
}

TEST(ComposeRulesTest, SaveAsNamesAndQuestions) {
  test::TestApp t;
  const SaveAsForm html = SaveAsFormFor(true), text = SaveAsFormFor(false);
  EXPECT_EQ(html.filter, "HTML File (*.htm)|*.htm||");
  EXPECT_EQ(text.filter, "Text File (*.txt)|*.txt||");
  const struct {
    const char* chosen;
    bool html;
    const char* saved;
  } names[] = {
      {"/tmp/letter", true, "/tmp/letter.htm"},
      {"/tmp/letter", false, "/tmp/letter.txt"},
      {"/tmp/letter.", false, "/tmp/letter.txt"},
      {"/tmp/letter.html", false, "/tmp/letter.html"},
      {"/tmp/v1.2/letter", true, "/tmp/v1.2/letter.htm"},
  };
  for (const auto& n : names) {
    SCOPED_TRACE(n.chosen);
    EXPECT_EQ(WithDefaultExtension(n.chosen, n.html ? html : text), n.saved);
  }
  EXPECT_EQ(SaveAsQuestion(false), "Save as HTML?");
  EXPECT_EQ(SaveAsQuestion(true),
            "Save as HTML?\r\n\r\nSaying No will prompt you to save as text and some formatting will be lost");
  EXPECT_EQ(composetext::kFileExists.Text(), "File Already Exists\nOverwrite?");
}

TEST(ComposeRulesTest, AddressCompletionFromTheListsAndTheBook) {
  test::TestApp t;
  AddAddresses(t.app, kPreviouslySentAddresses, {"Bob Baker", ""}, {"bob@mail.example", "bare@mail.example"});
  AddAddresses(t.app, kPreviouslyReceivedAddresses, {"Bob Again"}, {"BOB@mail.example"});
  SystemAddressBook book(t.app);
  ASSERT_TRUE(book.Open());
  book.AddEntry("Carol Clark", "carol@mail.example");
  const std::vector<std::string> known = KnownAddresses(t.app);
  EXPECT_EQ(known, (std::vector<std::string>{"Carol Clark <carol@mail.example>", "Bob Baker <bob@mail.example>",
                                             "bare@mail.example"}));
  const struct {
    const char* typed;
    std::vector<std::string> offered;
  } cases[] = {
      {"bo", {"Bob Baker <bob@mail.example>"}},
      {"CAR", {"Carol Clark <carol@mail.example>"}},
      {"x@y.example, ba", {"x@y.example, bare@mail.example"}},
      {"x@y.example,carol@", {"x@y.example,Carol Clark <carol@mail.example>"}},
      {"x@y.example, ", {}},
      {"zed", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.typed);
    EXPECT_EQ(CompleteAddress(known, c.typed), c.offered);
  }
}

TEST(ComposeRulesTest, AutosaveReplacesWholeAndIsRecoveredAsADraftOnce) {
  test::TestApp t;
  const std::string draft = MailStore(t.app).FolderPath(kDraftFolder, true);
  DraftAutosave autosave(t.app);
  ASSERT_TRUE(autosave.Save("first"));
  const std::string path = autosave.Path();
  EXPECT_EQ(fs::path(path).filename().string().rfind("Autosave", 0), 0u);
  ASSERT_TRUE(autosave.Save("second, longer than the first"));
  EXPECT_EQ(autosave.Path(), path);
  EXPECT_EQ(test::ReadFile(path), "second, longer than the first");
  EXPECT_FALSE(MailStore::IsUnread(path));
  const std::vector<std::string> recovered = DraftAutosave::Recover(t.app);
  ASSERT_EQ(recovered.size(), 1u);
  EXPECT_EQ(recovered[0].rfind(draft + "Out", 0), 0u);
  EXPECT_EQ(test::ReadFile(recovered[0]), "second, longer than the first");
  EXPECT_FALSE(fs::exists(path));
  EXPECT_TRUE(DraftAutosave::Recover(t.app).empty());
  DraftAutosave discarded(t.app);
  ASSERT_TRUE(discarded.Save("gone"));
  const std::string gone = discarded.Path();
  discarded.Discard();
  EXPECT_FALSE(fs::exists(gone));
  EXPECT_TRUE(discarded.Path().empty());
}

TEST(ComposeRulesTest, ForwardCopiesStayWhileAStoredMessageNamesThem) {
  test::TestApp t;
  const MailStore store(t.app);
  const std::string copies = ForwardCopiesDirectory(store);
  ASSERT_FALSE(copies.empty());
  for (const char* name : {"Forward1", "Forward2", "Forward3"}) {
    fs::create_directories(copies + name);
    test::WriteFile(copies + name + "/part.bin", name);
    fs::permissions(copies + name + "/part.bin", fs::perms::owner_read);
  }
  auto stored = [&](const char* folder, const std::string& attachment) {
    test::WriteFile(store.FolderPath(folder, true) + "Out" + std::to_string(attachment.size()) + ".mail",
                    "To: a@b.example\r\nSubject: s\r\n\r\nbody\r\n\r\n\r\nFile Attached: " + attachment + "\r\n\r\n");
  };
  stored(kOutboxFolder, copies + "Forward1/part.bin");
  stored(kSentItemsFolder, copies + "Forward3/part.bin");
  EXPECT_EQ(RemoveUnusedForwardCopies(store), 1);
  EXPECT_TRUE(fs::exists(copies + "Forward1/part.bin"));
  EXPECT_FALSE(fs::exists(copies + "Forward2"));
  EXPECT_TRUE(fs::exists(copies + "Forward3/part.bin"));
}

}  // namespace
}  // namespace vyr

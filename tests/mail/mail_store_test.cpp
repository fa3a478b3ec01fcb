// The mail store on real folders: paths and the folder set, read state in
// the file times, summaries and keys of message files, the welcome message,
// and the folder and message operations with the texts they show.
#include "mail/mail_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <ctime>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "mail/mail_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using platform::FileTimes;

constexpr std::int64_t kSecond = 1000000000;

// Records boxes like the recording service and ticks the question's check
// box when asked to.
class TickingMessageBox : public test::RecordingMessageBox {
 public:
  int Question(const std::string& text, const std::string& caption, bool* dontShowAgain) override {
    offeredCheckBox.push_back(dontShowAgain != nullptr);
    if (dontShowAgain) *dontShowAgain = tick;
    return RecordingMessageBox::Question(text, caption, dontShowAgain);
  }
  bool tick = false;
  std::vector<bool> offeredCheckBox;
};

void SetTimes(const std::string& path, std::int64_t createdSec, std::int64_t accessedSec) {
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{createdSec * kSecond, accessedSec * kSecond}));
}

FileTimes TimesOf(const std::string& path) {
  FileTimes t;
  EXPECT_TRUE(platform::GetFileTimes(path, t));
  return t;
}

class MailStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
  }

  // A message file in a folder of the store.
  std::string Message(const std::string& folder, const std::string& name, const std::string& text) {
    const std::string path = store.FolderPath(folder, true) + name;
    test::WriteFile(path, text);
    return path;
  }

  std::string Root() const { return home.Path() + "/vyrelle/email/"; }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const auto& b : boxes.boxes) texts.push_back(b.text);
    return texts;
  }

  test::TempDir home;
  TickingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
};

const char kMessage[] =
    "From: Alice <alice@example.org>\r\n"
    "To: Bob <bob@example.net>\r\n"
    "Subject: Lunch\r\n"
    "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\n"
    "\r\n"
    "See you at noon.\r\n.";

// --- paths and folders --------------------------------------------------------------------------

TEST_F(MailStoreTest, FolderPathsHangBelowTheMailRootWithATrailingSeparator) {
  EXPECT_EQ(store.MailRoot(false), Root());
  EXPECT_FALSE(fs::exists(Root()));
  EXPECT_EQ(store.FolderPath("", false), "") << "a missing root is no folder";
  EXPECT_EQ(store.FolderPath("Inbox", false), "");
  EXPECT_FALSE(fs::exists(Root())) << "a lookup without create creates nothing";

  EXPECT_EQ(store.FolderPath("Inbox", true), Root() + "Inbox/");
  EXPECT_TRUE(fs::is_directory(Root() + "Inbox"));
  EXPECT_EQ(store.FolderPath("", false), Root());
  EXPECT_EQ(store.FolderPath("Inbox", false), Root() + "Inbox/");
  EXPECT_EQ(store.FolderPath("Projects", true), Root() + "Projects/");
  EXPECT_EQ(store.TempDirectory(), home.Path() + "/vyrelle/_TEMP/");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, FolderNamesThatWouldLeaveTheMailRootGiveNoPath) {
  for (const char* bad : {"..", ".", "../outside", "a/b", "a\\b", " "}) {
    EXPECT_EQ(store.FolderPath(bad, true), "") << bad;
  }
  EXPECT_FALSE(fs::exists(home.Path() + "/vyrelle/outside"));
  EXPECT_FALSE(fs::exists(Root() + "a"));
}

TEST_F(MailStoreTest, AFolderThatCannotBeCreatedShowsItsMessage) {
  test::WriteFile(Root() + "Inbox", "a file in the way");
  EXPECT_EQ(store.FolderPath("Inbox", true), "");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "error");
  EXPECT_EQ(boxes.boxes[0].text, "Error creating email directory");
  EXPECT_EQ(test::ReadFile(Root() + "Inbox"), "a file in the way");

  fs::remove_all(home.Path() + "/vyrelle");
  test::WriteFile(home.Path() + "/vyrelle/email", "the root is a file");
  EXPECT_EQ(store.MailRoot(true), "");
  EXPECT_EQ(store.FolderPath("Trash", true), "");
  ASSERT_GE(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Error creating email directory");
}

TEST_F(MailStoreTest, SystemFoldersAreKnownInAnyCase) {
  for (const char* name : {"Inbox", "INBOX", "outbox", "Sent Items", "sent items", "DRAFT", "trash"}) {
    EXPECT_TRUE(MailStore::IsSystemFolder(name)) << name;
  }
  for (const char* name : {"Inboxes", "Sent", "Drafts", "Work", ""}) {
    EXPECT_FALSE(MailStore::IsSystemFolder(name)) << name;
  }
  EXPECT_EQ(MailStore::SystemFolderName("sent ITEMS"), "Sent Items");
}

TEST_F(MailStoreTest, TheTreeListsSystemFoldersFirstAndAnInboxInAnotherCaseOnce) {
  fs::create_directories(Root() + "inbox");  // the Inbox, spelled otherwise
  fs::create_directories(Root() + "zeta");
  fs::create_directories(Root() + "Alpha");
  fs::create_directories(Root() + "TRASH");
  fs::create_directories(Root() + "beta");
  test::WriteFile(Root() + "Email Signature.txt", "-- \nme");
  const std::vector<std::string> expected = {"Inbox", "Outbox", "Sent Items", "Draft", "Trash",
                                             "Alpha", "beta",   "zeta"};
  EXPECT_EQ(store.FolderNames(), expected);
  // The system folder's path is its directory, whatever its case.
  EXPECT_EQ(store.FolderPath("Inbox", false), Root() + "inbox/");
  EXPECT_EQ(store.FolderPath("Trash", true), Root() + "TRASH/");
  EXPECT_FALSE(fs::exists(Root() + "Trash"));
}

TEST_F(MailStoreTest, TreeIconsAndBoldFolders) {
  Message("Inbox", "a.mail", kMessage);
  store.FolderPath("Outbox", true);
  Message("Draft", "Out1.mail", kMessage);
  Message("Trash", "old.mail", kMessage);
  fs::create_directories(Root() + "Work");
  const auto tree = store.FolderTree();
  ASSERT_EQ(tree.size(), 6u);
  EXPECT_EQ(tree[0].icon, FolderIcon::Inbox);
  EXPECT_EQ(tree[1].icon, FolderIcon::Outgoing);
  EXPECT_EQ(tree[2].icon, FolderIcon::Outgoing);
  EXPECT_EQ(tree[3].icon, FolderIcon::Outgoing);
  EXPECT_EQ(tree[4].icon, FolderIcon::Trash);
  EXPECT_EQ(tree[5].icon, FolderIcon::User);
  EXPECT_FALSE(tree[0].bold) << "Inbox is never bold here";
  EXPECT_FALSE(tree[1].bold) << "empty Outbox";
  EXPECT_FALSE(tree[2].bold) << "Sent Items is never bold";
  EXPECT_TRUE(tree[3].bold);
  EXPECT_TRUE(tree[4].bold);
  EXPECT_EQ(tree[2].path, "") << "Sent Items does not exist yet";
  EXPECT_EQ(tree[5].path, Root() + "Work/");
}

TEST_F(MailStoreTest, OutgoingFoldersByTheirOwnName) {
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Outbox/Out1.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Sent Items/Out2.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/draft/Out3.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Old Drafts/x.mail"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("/h/vyrelle/email/Outbox/"));
  EXPECT_TRUE(MailStore::IsOutgoingPath("C:\\Vyrelle\\email\\Sent Items\\Out1.mail"));
  EXPECT_FALSE(MailStore::IsOutgoingPath("/h/vyrelle/email/Inbox/S1.mail"));
  EXPECT_FALSE(MailStore::IsOutgoingPath("/h/vyrelle/email/Inbox/"));
  // Where the data directory lies does not make Inbox an outgoing folder.
  EXPECT_FALSE(MailStore::IsOutgoingPath("/home/draftsman/Outbox stuff/vyrelle/email/Inbox/S1.mail"));
  EXPECT_FALSE(MailStore::IsTrashPath("/home/trash/vyrelle/email/Inbox/"));
  EXPECT_TRUE(MailStore::IsTrashPath("/h/vyrelle/email/Trash/x.mail"));
  EXPECT_EQ(MailStore::FolderNameOf("/h/email/Sent Items/Out1.mail"), "Sent Items");
  EXPECT_EQ(MailStore::FolderNameOf("/h/email/Sent Items/"), "Sent Items");
}

// --- read state -------------------------------------------------------------------------------

TEST_F(MailStoreTest, ReadStateFollowsTheFileTimes) {
  const std::string path = Message("Inbox", "a.mail", kMessage);
  SetTimes(path, 1000000, 1000000);
  EXPECT_TRUE(MailStore::IsUnread(path));
  SetTimes(path, 1000000, 1000002);
  EXPECT_TRUE(MailStore::IsUnread(path)) << "two seconds later is still unread";
  ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{1000000 * kSecond, 1000002 * kSecond + 1}));
  EXPECT_FALSE(MailStore::IsUnread(path));
  SetTimes(path, 1000000, 900000);
  EXPECT_TRUE(MailStore::IsUnread(path));
  EXPECT_FALSE(MailStore::IsUnread(Root() + "Inbox/missing.mail"));
}

TEST_F(MailStoreTest, MarkReadMovesTheCreationTimeToNoonOfTheSameDayAYearEarlier) {
  mailtest::ScopedZone zone("EST5EDT,M3.2.0,M11.1.0");
  const std::string path = Message("Inbox", "a.mail", kMessage);
  // Last access 2024-03-15 23:30 local (EDT), already the 16th in UTC.
  SetTimes(path, 1710559800 - 3600, 1710559800);
  ASSERT_TRUE(MailStore::MarkRead(path));
  FileTimes t = TimesOf(path);
  EXPECT_EQ(t.createdNs, 1678896000 * kSecond) << "2023-03-15 12:00 EDT";
  EXPECT_EQ(t.accessedNs, 1710559800 * kSecond) << "the access time stays";
  EXPECT_FALSE(MailStore::IsUnread(path));

  ASSERT_TRUE(MailStore::MarkUnread(path));
  t = TimesOf(path);
  EXPECT_EQ(t.accessedNs, t.createdNs);
  EXPECT_EQ(t.createdNs, 1678896000 * kSecond);
  EXPECT_TRUE(MailStore::IsUnread(path));

  EXPECT_FALSE(MailStore::MarkRead(Root() + "Inbox/missing.mail"));
  EXPECT_FALSE(MailStore::MarkUnread(Root() + "Inbox/missing.mail"));
}

TEST_F(MailStoreTest, MarkReadOnTheTwentyNinthOfFebruaryUsesTheTwentyEighth) {
  mailtest::ScopedZone zone("UTC0");
  const std::string path = Message("Inbox", "a.mail", kMessage);
  SetTimes(path, 1709200800, 1709200800);  // 2024-02-29 10:00 UTC
  ASSERT_TRUE(MailStore::MarkRead(path));
  EXPECT_EQ(TimesOf(path).createdNs, 1677585600 * kSecond) << "2023-02-28 12:00 UTC";
}

TEST_F(MailStoreTest, AMessageReadByAnotherProgramTurnsRead) {
  const std::string path = Message("Inbox", "a.mail", kMessage);
  const std::int64_t now = std::time(nullptr);
  SetTimes(path, now - 3600, now - 3600);
  ASSERT_TRUE(MailStore::IsUnread(path));
  // Another program reads the file; the system records the access.
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text, kMessage);
  const FileTimes t = TimesOf(path);
  if (t.accessedNs == (now - 3600) * kSecond) {
    // The file system does not record accesses (noatime): do it as it would.
    ASSERT_TRUE(platform::SetFileTimes(path, FileTimes{t.createdNs, now * kSecond}));
  }
  EXPECT_FALSE(MailStore::IsUnread(path));
}

// --- summaries and keys ---------------------------------------------------------------------------

TEST_F(MailStoreTest, ReadingASummaryLeavesTheReadStateAndTimesAlone) {
  const std::string path = Message("Inbox", "a.mail", kMessage);
  const std::int64_t now = std::time(nullptr);
  // Unread, with the access time not later than the modification time: a
  // read under relatime would move it.
  SetTimes(path, now - 7200, now - 7200);
  const FileTimes before = TimesOf(path);
  MessageSummary s;
  ASSERT_TRUE(store.ReadSummary(path, s));
  EXPECT_EQ(s.path, path);
  EXPECT_TRUE(s.unread);
  EXPECT_FALSE(s.outgoing);
  EXPECT_EQ(s.from, "Alice <alice@example.org>");
  EXPECT_EQ(s.subject, "Lunch");
  EXPECT_EQ(TimesOf(path), before);
  EXPECT_TRUE(MailStore::IsUnread(path));
  ASSERT_TRUE(store.ReadSummary(path, s));
  EXPECT_EQ(TimesOf(path), before);

  const std::string out = Message("Sent Items", "Out1.mail", kMessage);
  ASSERT_TRUE(store.ReadSummary(out, s));
  EXPECT_TRUE(s.outgoing);
}

TEST_F(MailStoreTest, ShortOrMissingFilesGiveNoSummary) {
  const std::string tiny = Message("Inbox", "tiny.mail", "123456789");
  MessageSummary s;
  s.subject = "stale";
  EXPECT_FALSE(store.ReadSummary(tiny, s));
  EXPECT_EQ(s.path, tiny);
  EXPECT_EQ(s.subject, "");
  EXPECT_EQ(store.ReadSummaryQuiet(tiny, s), SummaryResult::TooShort);
  test::WriteFile(tiny, "1234567890Subject: x");
  EXPECT_EQ(store.ReadSummaryQuiet(tiny, s), SummaryResult::Ok) << "ten bytes are a message";

  EXPECT_EQ(store.ReadSummaryQuiet(Root() + "Inbox/missing", s), SummaryResult::NotExamined);
  EXPECT_EQ(store.ReadSummaryQuiet(Root() + "Inbox", s), SummaryResult::NotExamined);
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, AFileThatCannotBeOpenedShowsOpenFailed) {
  const std::string path = Message("Inbox", "a.mail", kMessage);
  SetTimes(path, 7000000, 7000000);
  MessageSummary s;
  {
    mailtest::NoFreeFileHandles full;  // the file can be examined, not opened
    EXPECT_EQ(store.ReadSummaryQuiet(path, s), SummaryResult::OpenFailed);
    EXPECT_TRUE(boxes.boxes.empty());
    EXPECT_FALSE(store.ReadSummary(path, s));
    EXPECT_EQ(store.MessageKey(path), "0");
  }
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Open Failed", "Error happened with letter [" + path + "]"}));
  EXPECT_TRUE(s.unread) << "the state is still known";
  EXPECT_EQ(TimesOf(path), (FileTimes{7000000 * kSecond, 7000000 * kSecond}));
  EXPECT_TRUE(store.ReadSummary(path, s));
}

TEST_F(MailStoreTest, MessageKeyOfAFile) {
  const std::string a = Message("Inbox", "a.new", "Subject: ab\r\nX-Other: 1\r\n\r\nfirst body\r\n.");
  const std::string b = Message("Inbox", "b.new", "X-Other: 2\r\nSubject: ab\r\n\r\nsecond body\r\n.");
  SetTimes(a, 5000000, 5000000);
  EXPECT_EQ(store.MessageKey(a), "X-392");
  EXPECT_EQ(store.MessageKey(b), "X-392") << "the same headers give the same key";
  EXPECT_EQ(TimesOf(a), (FileTimes{5000000 * kSecond, 5000000 * kSecond}));

  const std::string none = Message("Inbox", "none.new", "X-Mailer: a\r\n\r\nbody");
  EXPECT_EQ(store.MessageKey(none), "X-0");
  EXPECT_EQ(store.MessageKey(Root() + "Inbox/missing.new"), "0");
  EXPECT_TRUE(boxes.boxes.empty()) << "a file that cannot be examined shows nothing";
}

TEST_F(MailStoreTest, MessageKeyOfAnUnreadableFileShowsTheErrorWithThePath) {
  const std::string dir = Root() + "Inbox/not-a-file";
  fs::create_directories(dir);
  EXPECT_EQ(store.MessageKey(dir), "0");
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error happened with letter [" + dir + "]"});
  std::string error;
  EXPECT_EQ(store.MessageKey(dir, &error), "0");
  EXPECT_EQ(error, "Error happened with letter [" + dir + "]");
  EXPECT_EQ(boxes.boxes.size(), 1u) << "the quiet form shows no box";
}

TEST_F(MailStoreTest, HeaderScansAndTemporaryNamesWaitForTheMailLock) {
  const std::string path = Message("Inbox", "a.mail", kMessage);
  for (int which = 0; which < 3; ++which) {
    std::atomic<bool> done{false};
    std::unique_lock<std::mutex> held(app.MailLock());
    std::thread worker([&] {
      MessageSummary s;
      if (which == 0) store.ReadSummaryQuiet(path, s);
      if (which == 1) store.MessageKey(path);
      if (which == 2) store.NewDownloadPath();
      done = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(done) << "operation " << which << " ran without the lock";
    held.unlock();
    worker.join();
    EXPECT_TRUE(done);
  }
}

TEST_F(MailStoreTest, DownloadNamesLieInTempAndNeverRepeat) {
  const std::string a = store.NewDownloadPath();
  const std::string b = store.NewDownloadPath();
  const std::string temp = home.Path() + "/vyrelle/_TEMP/";
  ASSERT_EQ(a.rfind(temp + "M", 0), 0u) << a;
  EXPECT_EQ(a.substr(a.size() - 4), ".new");
  const std::string digits = a.substr(temp.size() + 1, a.size() - temp.size() - 5);
  EXPECT_FALSE(digits.empty());
  EXPECT_EQ(digits.find_first_not_of("0123456789"), std::string::npos) << a;
  EXPECT_NE(a, b);
}

// --- welcome message ------------------------------------------------------------------------------

TEST_F(MailStoreTest, AnEmptyInboxGetsTheWelcomeMessage) {
  ASSERT_TRUE(store.EnsureWelcomeMessage());
  const std::string path = Root() + "Inbox/welcome.mail";
  const std::string text = test::ReadFile(path);
  EXPECT_EQ(text.rfind("Return-Path: <support@vyrelle.example>\r\n", 0), 0u);
  EXPECT_NE(text.find("\r\nFrom: Vyrelle Support <support@vyrelle.example>\r\n"), std::string::npos);
  EXPECT_NE(text.find("\r\nTo: New User\r\nSubject: Welcome\r\nDate: Sat, 9 May 1998 18:30:37 -0400\r\n\r\n"),
            std::string::npos);
  EXPECT_NE(text.find("SETTINGS"), std::string::npos);
  MessageSummary s;
  ASSERT_TRUE(store.ReadSummary(path, s));
  EXPECT_EQ(s.subject, "Welcome");
  EXPECT_EQ(s.to, "New User");
  EXPECT_TRUE(s.unread);
  EXPECT_EQ(fs::directory_iterator(Root() + "Inbox") != fs::directory_iterator(), true);
  // Written once: the Inbox now holds an entry.
  EXPECT_FALSE(store.EnsureWelcomeMessage());
}

TEST_F(MailStoreTest, AnyEntryInTheInboxKeepsTheWelcomeMessageAway) {
  fs::create_directories(Root() + "Inbox/sub");
  EXPECT_FALSE(store.EnsureWelcomeMessage());
  fs::remove(Root() + "Inbox/sub");
  test::WriteFile(Root() + "Inbox/x", "1");
  EXPECT_FALSE(store.EnsureWelcomeMessage());
  EXPECT_FALSE(fs::exists(Root() + "Inbox/welcome.mail"));
}

// --- deleting messages ------------------------------------------------------------------------------

TEST_F(MailStoreTest, DeletingWithoutASelectionSaysSo) {
  const DeleteOutcome d = store.DeleteMessages({}, false);
  EXPECT_TRUE(d.cancelled);
  EXPECT_EQ(Texts(), std::vector<std::string>{"No items selected!"});
}

TEST_F(MailStoreTest, DeletingAsksFirstAndKeepsTheCheckBoxAnswer) {
  const std::string a = Message("Inbox", "a.mail", kMessage);
  boxes.answer = IDNO;
  DeleteOutcome d = store.DeleteMessages({a}, false);
  EXPECT_TRUE(d.cancelled);
  EXPECT_TRUE(fs::exists(a));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "question");
  EXPECT_EQ(boxes.boxes[0].text, "Delete message(s)?");
  EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
  EXPECT_TRUE(boxes.offeredCheckBox[0]);
  EXPECT_EQ(app.GetInt("email", "DontPromptForDeletion", -1), 0) << "written whatever the answer";

  // Ticking the box, even when saying no, stops the question from now on.
  boxes.tick = true;
  d = store.DeleteMessages({a}, false);
  EXPECT_TRUE(d.cancelled);
  EXPECT_EQ(app.GetInt("email", "DontPromptForDeletion", -1), 1);
  d = store.DeleteMessages({a}, false);
  EXPECT_FALSE(d.cancelled);
  EXPECT_EQ(boxes.boxes.size(), 2u) << "no third question";
  EXPECT_FALSE(fs::exists(a));
  EXPECT_TRUE(fs::exists(Root() + "Trash/a.mail"));
}

TEST_F(MailStoreTest, DeletingMovesToTrashAndDeletingInTrashRemoves) {
  const std::string a = Message("Inbox", "a.mail", "first message text");
  const std::string b = Message("Work", "b.mail", "second message text");
  DeleteOutcome d = store.DeleteMessages({a}, false);
  EXPECT_EQ(d.removed, std::vector<std::string>{a});
  EXPECT_EQ(d.status, "1 message moved to Trash (emptied when Vyrelle is closed)");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a.mail"), "first message text");

  // A message of the same name already in Trash is kept; the new one gets another name.
  const std::string a2 = Message("Inbox", "a.mail", "same name, other text");
  d = store.DeleteMessages({a2, b}, false);
  EXPECT_EQ(d.removed.size(), 2u);
  EXPECT_EQ(d.status, "2 messages moved to Trash (emptied upon exit)");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a.mail"), "first message text");
  EXPECT_EQ(test::ReadFile(Root() + "Trash/a~2.mail"), "same name, other text");
  EXPECT_TRUE(fs::exists(Root() + "Trash/b.mail"));

  // In Trash: removed for good, and no status text while Trash is shown.
  const std::string inTrash = Root() + "Trash/a.mail";
  ::chmod(inTrash.c_str(), 0444);
  d = store.DeleteMessages({inTrash}, true);
  EXPECT_EQ(d.removed, std::vector<std::string>{inTrash});
  EXPECT_EQ(d.status, "");
  EXPECT_FALSE(fs::exists(inTrash));
  EXPECT_FALSE(fs::exists(Root() + "Trash/Trash"));
  EXPECT_TRUE(fs::exists(Root() + "Trash/a~2.mail"));
}

TEST_F(MailStoreTest, AMessageThatCannotBeDeletedKeepsItsRow) {
  app.WriteInt("email", "DontPromptForDeletion", 1);
  const std::string gone = Root() + "Inbox/vanished.mail";
  const std::string a = Message("Inbox", "a.mail", kMessage);
  const DeleteOutcome d = store.DeleteMessages({gone, a}, false);
  EXPECT_EQ(d.removed, std::vector<std::string>{a});
  EXPECT_EQ(d.status, "1 message moved to Trash (emptied when Vyrelle is closed)");
  EXPECT_TRUE(boxes.boxes.empty());
}

// --- moving by drag and drop ------------------------------------------------------------------------

TEST_F(MailStoreTest, DroppingIntoAnotherFolderMovesTheFiles) {
  const std::string a = Message("Inbox", "a.mail", "message a text");
  const std::string b = Message("Inbox", "b.mail", "message b text");
  store.FolderPath("Work", true);
  MoveOutcome m = store.MoveDroppedFiles({a}, "Work");
  EXPECT_FALSE(m.refused);
  EXPECT_EQ(m.movedFrom, std::vector<std::string>{a});
  EXPECT_EQ(m.movedTo, std::vector<std::string>{Root() + "Work/a.mail"});
  EXPECT_EQ(m.status, "1 message moved to Work");
  EXPECT_EQ(test::ReadFile(Root() + "Work/a.mail"), "message a text");
  EXPECT_FALSE(fs::exists(a));

  // A file of that name in the target stays; the moved one gets another name.
  const std::string a2 = Message("Inbox", "a.mail", "another a");
  m = store.MoveDroppedFiles({a2, b}, "Work");
  EXPECT_EQ(m.status, "2 messages moved to Work");
  EXPECT_EQ(test::ReadFile(Root() + "Work/a.mail"), "message a text");
  EXPECT_EQ(test::ReadFile(Root() + "Work/a~2.mail"), "another a");
  EXPECT_EQ(test::ReadFile(Root() + "Work/b.mail"), "message b text");
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(MailStoreTest, DroppingOntoTheSameFolderIsRefused) {
  const std::string a = Message("Inbox", "a.mail", kMessage);
  const MoveOutcome m = store.MoveDroppedFiles({a}, "inbox");
  EXPECT_TRUE(m.refused);
  EXPECT_TRUE(m.movedFrom.empty());
  EXPECT_EQ(Texts(), std::vector<std::string>{"You can not copy from a folder to itself"});
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(MailStoreTest, OutgoingFoldersOnlyGiveToTrash) {
  const std::string inbox = Message("Inbox", "a.mail", kMessage);
  const std::string draft = Message("Draft", "Out1.mail", kMessage);
  const std::string sent = Message("Sent Items", "Out2.mail", kMessage);
  const std::string refusal = "You cannot move files TO or FROM the Outbox, Draft or Sent Items Folders.";

  MoveOutcome m = store.MoveDroppedFiles({inbox}, "Draft");
  EXPECT_TRUE(m.refused);
  EXPECT_TRUE(fs::exists(inbox));
  m = store.MoveDroppedFiles({sent}, "Inbox");
  EXPECT_TRUE(m.refused);
  EXPECT_TRUE(fs::exists(sent));
  m = store.MoveDroppedFiles({draft}, "Outbox");
  EXPECT_TRUE(m.refused);
  EXPECT_EQ(Texts(), (std::vector<std::string>{refusal, refusal, refusal}));

  m = store.MoveDroppedFiles({draft}, "Trash");
  EXPECT_FALSE(m.refused);
  EXPECT_EQ(m.status, "1 message moved to Trash");
  EXPECT_TRUE(fs::exists(Root() + "Trash/Out1.mail"));
  EXPECT_FALSE(fs::exists(draft));
  EXPECT_EQ(boxes.boxes.size(), 3u);
}

TEST_F(MailStoreTest, ARefusalStopsTheMoveButKeepsWhatWasMoved) {
  store.FolderPath("Work", true);
  const std::string a = Message("Inbox", "a.mail", kMessage);
  const std::string draft = Message("Draft", "Out1.mail", kMessage);
  const std::string b = Message("Inbox", "b.mail", kMessage);
  const MoveOutcome m = store.MoveDroppedFiles({a, draft, b}, "Work");
  EXPECT_TRUE(m.refused);
  EXPECT_EQ(m.movedFrom, std::vector<std::string>{a});
  EXPECT_EQ(m.status, "1 message moved to Work");
  EXPECT_TRUE(fs::exists(draft));
  EXPECT_TRUE(fs::exists(b)) << "files after the refusal stay";
}

TEST_F(MailStoreTest, FilesFromOutsideTheStoreAreNotMoved) {
  const std::string outside = home.File("Documents/letter.txt");
  test::WriteFile(outside, "my own letter, not a message");
  store.FolderPath("Inbox", true);
  const MoveOutcome m = store.MoveDroppedFiles({outside, home.File("missing.txt")}, "Inbox");
  EXPECT_TRUE(m.movedFrom.empty());
  EXPECT_EQ(m.status, "0 messages moved to Inbox");
  EXPECT_TRUE(fs::exists(outside));
  EXPECT_FALSE(fs::exists(Root() + "Inbox/letter.txt"));
}

// --- folders ----------------------------------------------------------------------------------------

TEST_F(MailStoreTest, PromptTexts) {
  EXPECT_EQ(MailStore::NewFolderTitle(), "You are adding a new e-mail Folder");
  EXPECT_EQ(MailStore::NewFolderPrompt(), "Enter name for new Folder");
  EXPECT_EQ(MailStore::RenameFolderTitle(), "You are renaming an e-mail Folder");
  EXPECT_EQ(MailStore::RenameFolderPrompt("Work"), "Enter new name for: Work");
}

TEST_F(MailStoreTest, NewFolderRefusesExistingAndUnsafeNames) {
  EXPECT_EQ(store.NewFolder("Work"), FolderResult::Done);
  EXPECT_TRUE(fs::is_directory(Root() + "Work"));
  EXPECT_EQ(store.NewFolder("WORK"), FolderResult::Exists);
  EXPECT_EQ(store.NewFolder("inbox"), FolderResult::Exists) << "system folders always exist";
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Folder with this name already exists",
                                               "Folder with this name already exists"}));
  EXPECT_FALSE(fs::exists(Root() + "WORK"));
  EXPECT_FALSE(fs::exists(Root() + "inbox"));

  boxes.boxes.clear();
  EXPECT_EQ(store.NewFolder("../escape"), FolderResult::InvalidName);
  EXPECT_EQ(store.NewFolder(""), FolderResult::InvalidName);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_FALSE(fs::exists(home.Path() + "/vyrelle/escape"));

  boxes.boxes.clear();
  test::WriteFile(Root() + "Email Signature.txt", "sig");
  EXPECT_EQ(store.NewFolder("Email Signature.txt"), FolderResult::Failed);
  EXPECT_EQ(Texts(), std::vector<std::string>{"Error creating email directory"});
}

TEST_F(MailStoreTest, RenameFolderKeepsItsMessages) {
  const std::string a = Message("Work", "a.mail", "work message");
  fs::create_directories(Root() + "Private");
  EXPECT_EQ(store.RenameFolder("Work", "Jobs"), FolderResult::Done);
  EXPECT_EQ(test::ReadFile(Root() + "Jobs/a.mail"), "work message");
  EXPECT_FALSE(fs::exists(Root() + "Work"));
  EXPECT_EQ(store.RenameFolder("Jobs", "jobs"), FolderResult::Done) << "a change of case only";
  EXPECT_TRUE(fs::is_directory(Root() + "jobs"));
  EXPECT_TRUE(boxes.boxes.empty());

  EXPECT_EQ(store.RenameFolder("jobs", "private"), FolderResult::Exists);
  EXPECT_EQ(store.RenameFolder("jobs", "Trash"), FolderResult::Exists);
  EXPECT_EQ(store.RenameFolder("Nowhere", "Else"), FolderResult::Failed);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Folder with this name already exists",
                                               "Folder with this name already exists",
                                               "Folder with this name already exists"}));
  EXPECT_TRUE(fs::exists(Root() + "jobs/a.mail"));
  EXPECT_TRUE(fs::is_empty(Root() + "Private"));

  boxes.boxes.clear();
  store.FolderPath("Inbox", true);
  EXPECT_EQ(store.RenameFolder("Inbox", "Old"), FolderResult::SystemFolder);
  EXPECT_EQ(store.RenameFolder("jobs", "a/b"), FolderResult::InvalidName);
  EXPECT_EQ(boxes.boxes.size(), 2u);
  EXPECT_TRUE(fs::is_directory(Root() + "Inbox"));
}

TEST_F(MailStoreTest, DeleteFolderAsksBeforeRemovingItsMessages) {
  Message("Work", "a.mail", kMessage);
  const std::string b = Message("Work", "b.mail", kMessage);
  ::chmod(b.c_str(), 0444);
  boxes.answer = IDNO;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Cancelled);
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Work contains 2 message(s)\nDelete them?");
  EXPECT_EQ(boxes.boxes[0].caption, "Confirm");
  EXPECT_TRUE(fs::exists(Root() + "Work/a.mail"));

  boxes.answer = IDYES;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Done);
  EXPECT_FALSE(fs::exists(Root() + "Work"));

  // An empty folder goes without a question.
  fs::create_directories(Root() + "Empty");
  boxes.boxes.clear();
  EXPECT_EQ(store.DeleteFolder("Empty"), FolderResult::Done);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(fs::exists(Root() + "Empty"));
}

TEST_F(MailStoreTest, SystemFoldersCannotBeDeleted) {
  const std::string a = Message("Inbox", "a.mail", kMessage);
  EXPECT_EQ(store.DeleteFolder("INBOX"), FolderResult::SystemFolder);
  EXPECT_EQ(Texts(), std::vector<std::string>{
                         "The Inbox, Outbox, Sent Items, Draft and Trash folders cannot be renamed or deleted."});
  EXPECT_TRUE(fs::exists(a));
  boxes.boxes.clear();
  EXPECT_EQ(store.DeleteFolder("../vyrelle"), FolderResult::Failed);
  EXPECT_TRUE(fs::exists(a));
}

TEST_F(MailStoreTest, AFolderHoldingASubfolderStays) {
  // A subfolder is not a message: it is left, and so is the folder.
  Message("Work", "a.mail", kMessage);
  fs::create_directories(Root() + "Work/nested");
  boxes.answer = IDYES;
  EXPECT_EQ(store.DeleteFolder("Work"), FolderResult::Failed);
  EXPECT_EQ(boxes.boxes.back().text, "Folder could not be removed\n Work");
  EXPECT_TRUE(fs::is_directory(Root() + "Work/nested"));
  EXPECT_FALSE(fs::exists(Root() + "Work/a.mail"));
}

TEST_F(MailStoreTest, EmptyTrashRemovesOnlyTrash) {
  const std::string t1 = Message("Trash", "a.mail", kMessage);
  const std::string t2 = Message("Trash", "b.txt", "x");
  ::chmod(t2.c_str(), 0444);
  const std::string keep = Message("Inbox", "c.mail", kMessage);
  EXPECT_EQ(store.EmptyTrash(), 2);
  EXPECT_TRUE(fs::is_empty(Root() + "Trash"));
  EXPECT_TRUE(fs::exists(keep));
  EXPECT_EQ(store.EmptyTrash(), 0);
}

TEST_F(MailStoreTest, LeftoverCleanUpRemovesHalfWrittenOutboxFilesOnly) {
  const std::int64_t old = std::time(nullptr) - 3600;
  const std::string queued1 = Message("Outbox", "Out1.mail", kMessage);
  const std::string half1 = Message("Outbox", "Out2.temp", "partial");
  const std::string queued2 = Message("Outbox", "Out3.mail", kMessage);
  const std::string half2 = Message("Outbox", "Out4.temp", "partial");
  const std::string writing = Message("Outbox", "Out5.temp", "being written now");
  for (const std::string& p : {queued1, half1, queued2, half2}) SetTimes(p, old, old);
  const std::string temp = store.TempDirectory() + "M123.new";
  test::WriteFile(temp, "duplicate download");
  ::chmod(temp.c_str(), 0444);

  EXPECT_EQ(store.CleanLeftovers(), 2);
  EXPECT_TRUE(fs::exists(queued1));
  EXPECT_TRUE(fs::exists(queued2));
  EXPECT_FALSE(fs::exists(half1));
  EXPECT_FALSE(fs::exists(half2)) << "the clean-up goes on past the .mail files";
  EXPECT_TRUE(fs::exists(writing)) << "a file changed a moment ago may still be written";
  EXPECT_TRUE((fs::status(temp).permissions() & fs::perms::owner_write) != fs::perms::none);
  EXPECT_TRUE(fs::exists(temp));
}

}  // namespace
}  // namespace vyr

// Reply, reply to all and forward built from decoded real-world messages:
// subjects, the quoted body with its exact texts and the 32 768-character
// cut, the recipients, and a forward's read-only attachments surviving the
// next message shown.
#include "mail/read/reply_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

std::string Fixture(const std::string& name) { return std::string(VYRELLE_TEST_FIXTURES_DIR) + "/mail/" + name; }

std::string Crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const char kHead[] = "\r\n\r\n> **--------- Original Message follows... \r\n\r\n>";

std::string Trailer(const std::string& subject, const std::string& from, const std::string& date) {
  return "\r\n> ** Original Subject: " + subject + "\r\n> ** Original Sender: " + from +
         "\r\n> ** Original Date: " + date + "\r\n> **---------\r\n\r\n> ";
}

bool Writable(const std::string& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

class ReplyBuilderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
    dir = DisplayDirectory(store);
    ASSERT_FALSE(dir.empty());
  }
  const DecodedMessage& Decode(const std::string& fixture) {
    const std::string path = store.FolderPath("Inbox", true) + fixture;
    fs::copy_file(Fixture(fixture), path, fs::copy_options::overwrite_existing);
    std::string page;
    EXPECT_EQ(decoder.DecodeMessage(path, dir, page), 1);
    return decoder.Decoded();
  }

  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  MailStore store{app};
  MessageDecoder decoder{app};
  std::string dir;
};

TEST_F(ReplyBuilderTest, ReplyGoesToTheSenderWithTheQuotedText) {
  const DecodedMessage& m = Decode("plain_text.mail");
  const ReplyDraft draft = BuildReply(m, ReplyKind::Reply, dir);
  EXPECT_EQ(draft.subject, "re: Minutes of the garden club");
  EXPECT_EQ(draft.to, "Alice Example <alice@example.org>");
  EXPECT_EQ(draft.cc, "");
  EXPECT_TRUE(draft.attachments.empty());
  EXPECT_EQ(draft.body, kHead + Crlf(m.text) +
                            Trailer("Minutes of the garden club", "Alice Example <alice@example.org>",
                                    "Tue, 3 Mar 2020 10:15:00 +0100"));
  EXPECT_NE(draft.body.find(">Hello Kim,\r\n\r\nthe minutes"), std::string::npos)
      << "the lines are not prefixed one by one";
}

TEST_F(ReplyBuilderTest, ReplyToAllAddsTheRecipientsAndCopies) {
  const DecodedMessage& m = Decode("nested.mail");
  const ReplyDraft draft = BuildReply(m, ReplyKind::ReplyAll, dir);
  EXPECT_EQ(draft.subject, "re: Photos from the trip");
  EXPECT_EQ(draft.to, "Carol <carol@example.com>,Kim <kim@example.com>, Lee <lee@example.com>");
  EXPECT_EQ(draft.cc, "dave@example.com");
  EXPECT_EQ(draft.body, kHead + Crlf("The best photo of the trip is attached.\nCarol") +
                            Trailer("Photos from the trip", "Carol <carol@example.com>",
                                    "Sat, 4 Apr 2020 20:01:02 +0000"));
  EXPECT_TRUE(draft.attachments.empty());

  // No stray comma when the message has no To.
  DecodedMessage noTo = m;
  noTo.summary.to.clear();
  EXPECT_EQ(BuildReply(noTo, ReplyKind::ReplyAll, dir).to, "Carol <carol@example.com>");
  EXPECT_EQ(BuildReply(noTo, ReplyKind::Reply, dir).to, "Carol <carol@example.com>");
}

TEST_F(ReplyBuilderTest, AnAlternativeMessageQuotesItsPlainTextNotItsHtml) {
  const ReplyDraft draft = BuildReply(Decode("alternative.mail"), ReplyKind::Reply, dir);
  EXPECT_NE(draft.body.find(">Spring offers: caf\xE9 tables at half price.\r\nVisit"), std::string::npos);
  EXPECT_EQ(draft.body.find("<h1>"), std::string::npos);
  EXPECT_EQ(draft.to, "\"Shop Example\" <news@shop.example>");
}

TEST_F(ReplyBuilderTest, TheConvertedTextIsQuotedWhenNoTextWasRead) {
  DecodedMessage m;
  m.summary.subject = "s";
  m.summary.from = "f";
  m.summary.date = "d";
  m.converted = "converted only";
  EXPECT_EQ(QuotedBody(m), std::string(kHead) + "converted only" + Trailer("s", "f", "d"));
  m.text = "read text";
  EXPECT_EQ(QuotedBody(m), std::string(kHead) + "read text" + Trailer("s", "f", "d"));
  m.text.clear();
  m.converted.clear();
  EXPECT_EQ(QuotedBody(m), std::string(kHead) + Trailer("s", "f", "d"));
}

TEST_F(ReplyBuilderTest, ALongBodyIsCutAt32KWithTheNote) {
  const DecodedMessage& m = Decode("long_body.mail");
  ASSERT_EQ(m.text.size(), 40000u);
  const ReplyDraft draft = BuildReply(m, ReplyKind::Forward, dir);
  const std::string full = kHead + Crlf(m.text);
  ASSERT_GT(full.size(), kQuoteLimit);
  const std::string expected = full.substr(0, 32768) + "\r\n\r\nMessage truncated at 32K" +
                               Trailer("The long report", "Reports <report@example.org>",
                                       "Sat, 11 Apr 2020 06:00:00 +0000");
  EXPECT_EQ(draft.body, expected);
  EXPECT_EQ(draft.subject, "fw: The long report");

  // A body that fits is not cut and carries no note.
  DecodedMessage fits;
  fits.text = std::string(kQuoteLimit - std::string(kHead).size(), 'a');
  EXPECT_EQ(QuotedBody(fits).find("truncated"), std::string::npos);
  fits.text += 'a';
  EXPECT_NE(QuotedBody(fits).find("\r\n\r\nMessage truncated at 32K\r\n> ** Original Subject: "), std::string::npos);
}

TEST_F(ReplyBuilderTest, TheCutNeverSplitsAUtf8Character) {
  DecodedMessage m;
  const size_t room = kQuoteLimit - std::string(kHead).size();
  m.text = std::string(room - 1, 'a') + "\xE2\x82\xAC" + std::string(100, 'b');  // the euro sign straddles the cut
  const std::string body = QuotedBody(m);
  EXPECT_EQ(body.substr(0, kQuoteLimit - 1), kHead + std::string(room - 1, 'a'));
  EXPECT_EQ(body.substr(kQuoteLimit - 1, 4), "\r\n\r\n");
  // Latin-1 text is cut where the limit says.
  m.text = std::string(room - 1, 'a') + "\xE9\xE9\xE9" + std::string(100, 'b');
  EXPECT_EQ(QuotedBody(m).substr(kQuoteLimit - 1, 6), "\xE9\r\n\r\nM");
}

TEST_F(ReplyBuilderTest, ForwardAttachesThePartsReadOnlyUntilTheMailWindowCloses) {
  const DecodedMessage& m = Decode("mixed_attachments.mail");
  const ReplyDraft draft = PrepareReply(store, m, ReplyKind::Forward, dir);
  EXPECT_EQ(draft.to, "");
  EXPECT_EQ(draft.cc, "");
  EXPECT_EQ(draft.subject, "fw: Quarterly figures");
  EXPECT_EQ(draft.attachments, (Texts{dir + "0001.txt", dir + "report Q1.pdf", dir + "figures.csv"}));
  for (const std::string& file : draft.attachments) EXPECT_FALSE(Writable(file)) << file;

  // The next message shown does not take them away, and its own part of the
  // same name gets a name of its own.
  const DecodedMessage& next = Decode("psf_msg_07.mail");
  EXPECT_EQ(next.partNames, (Texts{"0001~2.txt", "dingusfish.gif"}));
  EXPECT_EQ(test::ReadFile(dir + "figures.csv"), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");
  EXPECT_EQ(test::ReadFile(dir + "0001.txt"), "Hi Kim,\n\nthe report and the raw numbers are attached.\n\nBob\n\n");
  EXPECT_EQ(test::ReadFile(dir + "0001~2.txt"), "Hi there,\n\nThis is the dingus fish.\n\n");
  EXPECT_EQ(next.text, "Hi there,\n\nThis is the dingus fish.");

  // A forward of a forward-protected message keeps the older attachments too.
  const ReplyDraft second = PrepareReply(store, next, ReplyKind::Forward, dir);
  EXPECT_EQ(second.attachments, (Texts{dir + "0001~2.txt", dir + "dingusfish.gif"}));
  EXPECT_FALSE(Writable(dir + "report Q1.pdf"));

  // When the mail window closes they are released; the next decode removes them.
  EXPECT_EQ(ReleaseDisplayDirectory(dir), 5);
  Decode("plain_text.mail");
  EXPECT_FALSE(fs::exists(dir + "report Q1.pdf"));
  EXPECT_FALSE(fs::exists(dir + "dingusfish.gif"));
  EXPECT_EQ(decoder.Decoded().partNames, Texts{"0001.txt"});
}

TEST_F(ReplyBuilderTest, ForwardLeavesThePagesOutAndRunsTheLeftoverCleanUp) {
  const std::string outbox = store.FolderPath("Outbox", true);
  test::WriteFile(outbox + "Out1.temp", "half written");
  ASSERT_TRUE(platform::SetFileTimes(outbox + "Out1.temp", platform::FileTimes{1'000'000'000, 1'000'000'000}));
  const DecodedMessage& m = Decode("nested.mail");
  const ReplyDraft draft = PrepareReply(store, m, ReplyKind::Forward, dir);
  EXPECT_EQ(draft.attachments, (Texts{dir + "0001.txt", dir + "lake.png"}));
  EXPECT_FALSE(fs::exists(outbox + "Out1.temp"));
  EXPECT_TRUE(Writable(dir + "Enhanced.htm"));

  const DecodedMessage& only = Decode("attachment_only.mail");
  EXPECT_EQ(BuildReply(only, ReplyKind::Forward, dir).attachments, Texts{dir + "scan0042.zip"});
  // A reply protects nothing.
  PrepareReply(store, only, ReplyKind::Reply, dir);
  EXPECT_TRUE(Writable(dir + "scan0042.zip"));
}

TEST(ReplySubjects, ReAndFw) {
  EXPECT_EQ(ReplySubject(ReplyKind::Reply, "Hello"), "re: Hello");
  EXPECT_EQ(ReplySubject(ReplyKind::ReplyAll, "re: Hello"), "re: re: Hello");
  EXPECT_EQ(ReplySubject(ReplyKind::Forward, ""), "fw: ");
}

}  // namespace
}  // namespace vyr

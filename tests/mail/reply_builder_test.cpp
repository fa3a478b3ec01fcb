// Reply, reply to all and forward built from decoded real-world messages:
// the quoted body, the recipients, and what a forward attaches and keeps.
#include "mail/read/reply_builder.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Texts = std::vector<std::string>;

const char kHead[] = "\r\n\r\n> **--------- Original Message follows... \r\n\r\n>";

std::string Trailer(const std::string& subject, const std::string& from, const std::string& date) {
  return "\r\n> ** Original Subject: " + subject + "\r\n> ** Original Sender: " + from +
         "\r\n> ** Original Date: " + date + "\r\n> **---------\r\n\r\n> ";
}

bool Writable(const std::string& path) {
  return (fs::status(path).permissions() & fs::perms::owner_write) != fs::perms::none;
}

class ReplyBuilderTest : public ::testing::Test, protected test::TestApp {
 protected:
  void SetUp() override {
    dir = DisplayDirectory(store);
    ASSERT_FALSE(dir.empty());
  }
  const DecodedMessage& Decode(const std::string& fixture) {
    const std::string path = store.FolderPath("Inbox", true) + fixture;
    fs::copy_file(std::string(VYRELLE_TEST_FIXTURES_DIR) + "/mail/" + fixture, path,
                  fs::copy_options::overwrite_existing);
    std::string page;
    EXPECT_EQ(decoder.DecodeMessage(path, dir, page), 1) << fixture;
    return decoder.Decoded();
  }

  MailStore store{app};
  MessageDecoder decoder{app};
  std::string dir;
};

TEST_F(ReplyBuilderTest, RepliesQuoteTheTextAndAddressTheSenderOrEveryone) {
  const ReplyDraft reply = BuildReply(Decode("plain_text.mail"), ReplyKind::Reply, dir);
  EXPECT_EQ(reply.subject, "re: Minutes of the garden club");
  EXPECT_EQ(reply.to, "Alice Example <alice@example.org>");
  // The lines are not prefixed one by one; line ends become CR LF.
  EXPECT_EQ(reply.body,
            kHead + std::string("Hello Kim,\r\n\r\nthe minutes of Monday's meeting are on "
                                "www.example.org/garden/minutes\r\nand the next meeting is on the 12th. "
                                "Questions go to alice@example.org.\r\n\r\n  - bring seeds\r\n  - bring "
                                "gloves\r\n\r\nAlice") +
                Trailer("Minutes of the garden club", "Alice Example <alice@example.org>",
                        "Tue, 3 Mar 2020 10:15:00 +0100"));

  const DecodedMessage& nested = Decode("nested.mail");
  const ReplyDraft all = BuildReply(nested, ReplyKind::ReplyAll, dir);
  EXPECT_EQ(all.subject, "re: Photos from the trip");
  EXPECT_EQ(all.to, "Carol <carol@example.com>,Kim <kim@example.com>, Lee <lee@example.com>");
  EXPECT_EQ(all.cc, "dave@example.com");
  DecodedMessage noTo = nested;
  noTo.summary.to.clear();
  EXPECT_EQ(BuildReply(noTo, ReplyKind::ReplyAll, dir).to, "Carol <carol@example.com>") << "no stray comma";

  // An alternative message quotes its plain text, never its HTML; the
  // converted text stands in when no text was read.
  EXPECT_EQ(BuildReply(Decode("alternative.mail"), ReplyKind::Reply, dir).body.find("<h1>"), std::string::npos);
  DecodedMessage converted;
  converted.converted = "converted only";
  EXPECT_EQ(QuotedBody(converted), kHead + std::string("converted only") + Trailer("", "", ""));
}

TEST_F(ReplyBuilderTest, ALongQuoteIsCutAt32KWithTheNoteAndNeverSplitsACharacter) {
  const DecodedMessage& m = Decode("long_body.mail");
  ASSERT_EQ(m.text.size(), 40000u);
  const ReplyDraft draft = BuildReply(m, ReplyKind::Forward, dir);
  EXPECT_EQ(draft.subject, "fw: The long report");
  const size_t head = std::string(kHead).size();
  std::string quoted = kHead;
  for (char c : m.text) quoted += c == '\n' ? std::string("\r\n") : std::string(1, c);
  EXPECT_EQ(draft.body, quoted.substr(0, 32768) + "\r\n\r\nMessage truncated at 32K" +
                            Trailer("The long report", "Reports <report@example.org>",
                                    "Sat, 11 Apr 2020 06:00:00 +0000"));

  DecodedMessage fits;
  fits.text = std::string(32768 - head, 'a');
  EXPECT_EQ(QuotedBody(fits).find("truncated"), std::string::npos);
  // A euro sign straddling the cut goes whole; Latin-1 text is cut where
  // the limit says.
  fits.text = std::string(32768 - head - 1, 'a') + "\xE2\x82\xAC" + "bbb";
  EXPECT_EQ(QuotedBody(fits).substr(32767, 6), "\r\n\r\nMe");
  fits.text = std::string(32768 - head - 1, 'a') + "\xE9\xE9\xE9";
  EXPECT_EQ(QuotedBody(fits).substr(32767, 6), "\xE9\r\n\r\nM");
}

TEST_F(ReplyBuilderTest, AForwardAttachesTheListedPartsButNeverTheQuotedBody) {
  const struct {
    const char* fixture;
    Texts attached;
  } cases[] = {
      {"plain_text.mail", {}},  // one part: nothing listed, nothing attached
      {"alternative.mail", {}},
      {"mixed_attachments.mail", {"report Q1.pdf", "figures.csv"}},
      {"nested.mail", {"lake.png"}},
      {"attachment_only.mail", {"scan0042.zip"}},
  };
  for (const auto& c : cases) {
    const DecodedMessage& m = Decode(c.fixture);
    const ReplyDraft draft = PrepareReply(m, ReplyKind::Forward, dir);
    EXPECT_EQ(draft.to + draft.cc, "");
    Texts names;
    for (const std::string& path : draft.attachments) {
      names.push_back(fs::path(path).filename().string());
      EXPECT_FALSE(Writable(path)) << path;
    }
    EXPECT_EQ(names, c.attached) << c.fixture;
  }
  // A reply attaches and protects nothing.
  const DecodedMessage& m = Decode("mixed_attachments.mail");
  EXPECT_TRUE(PrepareReply(m, ReplyKind::Reply, dir).attachments.empty());
  EXPECT_TRUE(Writable(dir + "figures.csv"));
}

TEST_F(ReplyBuilderTest, ASecondForwardKeepsTheNamesAndTheCleanUpReleasesTheViewersFolder) {
  const ReplyDraft first = PrepareReply(Decode("mixed_attachments.mail"), ReplyKind::Forward, dir);
  ASSERT_EQ(first.attachments.size(), 2u);

  // The same message shown and forwarded again: the parts keep their names.
  const DecodedMessage& again = Decode("mixed_attachments.mail");
  EXPECT_EQ(again.partNames, (Texts{"0001.txt", "report Q1.pdf", "figures.csv"}));
  const ReplyDraft second = PrepareReply(again, ReplyKind::Forward, dir);
  ASSERT_EQ(second.attachments.size(), 2u);
  EXPECT_EQ(fs::path(second.attachments[1]).filename(), "figures.csv");
  EXPECT_NE(second.attachments[1], first.attachments[1]);
  // Another message shown meanwhile leaves both forwards' files alone.
  Decode("plain_text.mail");
  EXPECT_EQ(test::ReadFile(first.attachments[1]), "month;sales\njanuary;10\nfebruary;12\nmarch;17\n");
  EXPECT_EQ(test::ReadFile(second.attachments[1]), test::ReadFile(first.attachments[1]));
  EXPECT_EQ(fs::file_size(first.attachments[0]), 9u + 3000u + 7u);

  // The clean-up of the mail window (and of start-up) releases every file
  // under the viewer's folder, a stray read-only one included; the next
  // decode then clears the folder.
  test::WriteFile(dir + "stray.pdf", "x");
  fs::permissions(dir + "stray.pdf", fs::perms::owner_write, fs::perm_options::remove);
  store.CleanLeftovers();
  for (const std::string& path : {first.attachments[0], second.attachments[1], dir + "stray.pdf"}) {
    EXPECT_TRUE(Writable(path)) << path;
  }
  Decode("plain_text.mail");
  EXPECT_FALSE(fs::exists(first.attachments[0]));
  EXPECT_FALSE(fs::exists(fs::path(second.attachments[0]).parent_path()));
  EXPECT_FALSE(fs::exists(dir + "stray.pdf"));
}

}  // namespace
}  // namespace vyr

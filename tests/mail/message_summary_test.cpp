// The header scanner, header checksums and message keys, and reading the
// header block of a message file.
#include "mail/store/message_summary.h"

#include <gtest/gtest.h>

#include <string>

#include "tools/test_support.h"

namespace vyr {
namespace {

MessageSummary Scan(const std::string& text) {
  MessageSummary s;
  ScanHeaders(text, s);
  return s;
}

TEST(MessageSummaryTest, ReadsTheFirstOfEachFieldWithoutRegardToCase) {
  const MessageSummary s = Scan(
      "  orphan continuation: ignored\r\n"
      "fROM:   Alice <a@example.org>  \r\n"
      "TO: bob@example.net\r\n"
      "BCC: hidden@example.com\r\n"
      "cc: carol@example.com\r\n"
      "CC: later@example.com\r\n"
      "subject:\tHello\r\n   there\r\n\tagain\r\n"
      "Subject: second\r\n"
      "DATE: Sat, 9 May 1998 18:30:37 -0400\r\n"
      "Mime-Version: 1.0\r\n"
      "content-type: multipart/mixed ;\r\n\tboundary=\"----=_Next_0001\"\r\n"
      "Content-Transfer-Encoding: quoted-printable; x=y\r\n"
      "\r\n"
      "To: body@example.org\r\n");
  EXPECT_EQ(s.from + "|" + s.to + "|" + s.cc + "|" + s.bcc, "Alice <a@example.org>|bob@example.net|carol@example.com|"
                                                           "hidden@example.com");
  EXPECT_EQ(s.subject, "Hello there again") << "folded lines are unfolded for display";
  EXPECT_EQ(s.date + "|" + s.mimeVersion + "|" + s.contentType + "|" + s.boundary + "|" + s.contentTransferEncoding,
            "Sat, 9 May 1998 18:30:37 -0400|1.0|multipart/mixed|----=_Next_0001|quoted-printable");
  // An mbox separator and names that only begin like a header are no match.
  const MessageSummary t = Scan("From user@example.org Sat May  9 1998\nTocken: x\nDates: y\n\n");
  EXPECT_EQ(t.from + t.to + t.date, "");
  EXPECT_EQ(Scan("\r\nSubject: body\r\n").subject, "") << "no header block at all";
}

TEST(MessageSummaryTest, ParametersFileNamesAndLimits) {
  MessageSummary s = Scan(
      "Content-Type: application/octet-stream; NAME=\"report; final \\\"v2\\\".pdf\" ;\r\n"
      " BOUNDARY = plain-token ; Id=\"part@host\"\r\n\r\n");
  EXPECT_EQ(s.contentType + "|" + s.fileName + "|" + s.boundary + "|" + s.id,
            "application/octet-stream|report; final \"v2\".pdf|plain-token|part@host");
  s = Scan("Content-Type: message/partial; id=\"abc@host\"; number=2; total=\"7\"\n\n");
  EXPECT_EQ(std::make_pair(s.number, s.total), std::make_pair(2, 7));
  EXPECT_EQ(Scan("Content-Type: m/p; number=two; total=99999999999999\n\n").total, 2147483647);

  s = Scan("Subject: " + std::string(300, 'x') + "\nContent-Type: text/plain; name=\"" +
           std::string(400, 'n') + "\"; boundary=b\n\n");
  EXPECT_TRUE(s.subject == std::string(255, 'x') && s.fileName == std::string(255, 'n'));
  EXPECT_EQ(s.boundary, "b") << "parameters past 255 characters are still read";

  // The type's name wins over the disposition's, wherever they stand.
  const std::pair<const char*, const char*> names[] = {
      {"Content-Disposition: attachment; filename=\"d.txt\"\nContent-Type: text/plain; name=t.txt\n\n", "t.txt"},
      {"Content-Disposition: attachment; filename*=UTF-8''na%C3%AFve%20plan.txt\n\n", "na\xC3\xAFve plan.txt"},
      {"Content-Type: text/plain;\n name*0=\"long\";\n name*1=\"-name\";\n name*2*=%2Etxt\n\n", "long-name.txt"},
  };
  for (const auto& [header, name] : names) EXPECT_EQ(Scan(header).fileName, name) << header;
  EXPECT_EQ(HeaderParameter("a/b; x=1; y=\"2\"", "Y"), "2");
  EXPECT_EQ(HeaderParameter("x=1", "x"), "") << "the main value is not a parameter";
}

TEST(MessageKeyTest, ChecksumsWorkedOutByHand) {
  const struct {
    const char* text;
    std::int32_t sum;
  } cases[] = {
      {"", -1},
      {"a", 0},
      {"ab", 392},     // n = 1: 2 * (1 + 97 + 98)
      {"abc", 1184},   // n = 2: 2 * (2 + 97 + 99) = 396, then 2 * (396 + 98 + 98)
      {"\xff\xff", -2},  // signed bytes: 2 * (1 - 1 - 1)
      // Long texts wrap at 32 bits (values from an independent implementation).
      {"Alice Example <alice@example.org>", 154470322},
      {"Tue, 3 Mar 2020 10:15:00 +0100", -473934574},
  };
  for (const auto& c : cases) EXPECT_EQ(HeaderChecksum(c.text), c.sum) << c.text;
}

TEST(MessageKeyTest, KeysOfHeaderBlocks) {
  // Sums worked out by hand from the checksums above ("ab" 392, "abc" 1184,
  // an empty text -1, one character 0).
  const struct {
    const char* header;
    const char* key;
  } cases[] = {
      {"", "X-0"},
      {"Received: x\nBCC: abc\nMIME-Version: 1.0\nContent-Transfer-Encoding: 7bit\n\nbody", "X-0"},
      {"From:\r\nSubject: ab\r\n\r\n", "X-391"},  // a present but empty header counts -1
      {"To:   \r\nCC:\r\n\r\n", "X--2"},
      {"Subject: ab\r\n cd\r\n\r\n", "X-392"},  // only the first line of a folded header
      {"Subject: ab\r\nSubject: abc\r\n\r\n", "X-392"},
      {"SUBJECT:  ab \t\r\n\r\n", "X-392"},
      {"BCC: abc\r\nCc: ab\r\n\r\n", "X-392"},
      {"From : ab\r\n\r\n", "X-0"},  // the name must end in ":" at once
      {"Date: ab\n\nFrom: abc\n", "X-392"},  // the header block ends at the empty line
      {"From: \xe9\xe9\r\n\r\n", "X--90"},  // 2 * (1 - 23 - 23)
      {"Content-Type: ab; boundary=\"abc\"; number=3; total=5\r\n\r\n", "X-1584"},
      {"Content-Type: ab;\r\n boundary=\"abc\"; number=3\r\n\r\n", "X-392"},
      {"Content-Type: a; id=\"\"; number=-123\r\n\r\n", "X--124"},
      // A whole realistic header; its sum (from an independent
      // implementation) wraps negative.
      {"Received: by mx.example.net\r\nFrom: Alice Example <alice@example.org>\r\n"
       "To: bob@example.net\r\nCC: carol@example.com\r\nSubject: Quarterly report\r\n"
       "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\nMIME-Version: 1.0\r\n"
       "Content-Type: multipart/mixed; boundary=\"b1_xyz\"\r\n\r\nbody",
       "X--263104758"},
      {"From: x@y.z\nSubject: Big file\nContent-Type: message/partial; id=\"abc@host\"; number=2; total=3\n\n",
       "X-7299337"},
  };
  for (const auto& c : cases) EXPECT_EQ(MessageKeyOfHeaders(c.header), c.key) << c.header;
}

TEST(MessageSummaryTest, HeaderBlockEndsAtTheEmptyLineAndItsLimit) {
  test::TempDir dir;
  const std::string body(100000, 'b');
  const std::string edge = "X-Fill: " + std::string(4096 - 8 - 2, 'f') + "\r\n";  // a 4 KB read ends here
  std::string big;
  while (big.size() < 3 * kHeaderReadLimit) big += "X-Long: " + std::string(70, 'l') + "\n";
  const struct {
    std::string file, header;
  } cases[] = {
      {"Subject: s\r\nFrom: f\r\n\r\n" + body, "Subject: s\r\nFrom: f\r\n\r\n"},
      {"Subject: s\n\n" + body, "Subject: s\n\n"},
      {edge + "\r\nSubject: body\r\n", edge + "\r\n"},
      {big + "\nSubject: too late\n", big.substr(0, kHeaderReadLimit)},
  };
  for (const auto& c : cases) {
    test::WriteFile(dir.File("m.mail"), c.file);
    std::string header;
    ASSERT_TRUE(ReadHeaderBlock(dir.File("m.mail"), header));
    EXPECT_TRUE(header == c.header) << c.header.substr(0, 40);
  }
  std::string header;
  EXPECT_FALSE(ReadHeaderBlock(dir.File("missing.mail"), header));
}

}  // namespace
}  // namespace vyr

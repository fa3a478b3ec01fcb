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

std::string KeyOf(const std::string& text) { return MessageKeyFromSummary(Scan(text)); }

// --- scanning ------------------------------------------------------------------------------

TEST(MessageSummaryTest, ReadsEveryFieldWithoutRegardToCaseAndTrimsValues) {
  const MessageSummary s = Scan(
      "Return-Path: <a@example.org>\r\n"
      "fROM:   Alice <a@example.org>  \r\n"
      "TO: bob@example.net\r\n"
      "cc: carol@example.com\r\n"
      "Bcc: dave@example.com\r\n"
      "subject:\tHello there\t\r\n"
      "DATE: Sat, 9 May 1998 18:30:37 -0400\r\n"
      "Mime-Version: 1.0\r\n"
      "content-type: Text/Plain ; charset=us-ascii\r\n"
      "Content-Transfer-Encoding: quoted-printable; x=y\r\n"
      "\r\n"
      "body\r\n");
  EXPECT_EQ(s.from, "Alice <a@example.org>");
  EXPECT_EQ(s.to, "bob@example.net");
  EXPECT_EQ(s.cc, "carol@example.com");
  EXPECT_EQ(s.bcc, "dave@example.com");
  EXPECT_EQ(s.subject, "Hello there");
  EXPECT_EQ(s.date, "Sat, 9 May 1998 18:30:37 -0400");
  EXPECT_EQ(s.mimeVersion, "1.0");
  EXPECT_EQ(s.contentType, "Text/Plain");
  EXPECT_EQ(s.contentTransferEncoding, "quoted-printable");
  EXPECT_EQ(s.number, 0);
  EXPECT_EQ(s.total, 0);
}

TEST(MessageSummaryTest, TheFirstLineOfEachNameWinsAndBccIsNotCc) {
  const MessageSummary s = Scan(
      "Subject: first\n"
      "BCC: hidden@example.com\n"
      "Subject: second\n"
      "CC: shown@example.com\n"
      "CC: later@example.com\n"
      "X-Subject: not this\n"
      "\n");
  EXPECT_EQ(s.subject, "first");
  EXPECT_EQ(s.bcc, "hidden@example.com");
  EXPECT_EQ(s.cc, "shown@example.com");
  // An mbox separator and names that only begin like a header are no match.
  const MessageSummary t = Scan("From user@example.org Sat May  9 18:30:37 1998\nTocken: x\nDates: y\n\n");
  EXPECT_EQ(t.from, "");
  EXPECT_EQ(t.to, "");
  EXPECT_EQ(t.date, "");
}

TEST(MessageSummaryTest, ScanningStopsAtTheFirstEmptyLine) {
  const MessageSummary s = Scan(
      "From: a@example.org\n"
      "\n"
      "Subject: this is body text\n"
      "To: nobody@example.org\n");
  EXPECT_EQ(s.from, "a@example.org");
  EXPECT_EQ(s.subject, "");
  EXPECT_EQ(s.to, "");

  // A message that starts with its empty line has no headers at all.
  EXPECT_EQ(Scan("\r\nSubject: body\r\n").subject, "");
}

TEST(MessageSummaryTest, ContinuationLinesBelongToTheLineBeforeThem) {
  const MessageSummary s = Scan(
      "  orphan continuation: ignored\r\n"
      "Subject: a subject that\r\n"
      "   goes on\r\n"
      "\tand on\r\n"
      "Content-Type: multipart/mixed;\r\n"
      "\tboundary=\"----=_NextPart_000_0001\"\r\n"
      "From: someone@example.org\r\n"
      "\r\n");
  EXPECT_EQ(s.subject, "a subject that goes on and on");
  EXPECT_EQ(s.contentType, "multipart/mixed");
  EXPECT_EQ(s.boundary, "----=_NextPart_000_0001");
  EXPECT_EQ(s.from, "someone@example.org");
}

TEST(MessageSummaryTest, ValuesAreCutAt255Characters) {
  const std::string longSubject(300, 'x');
  const MessageSummary s = Scan("Subject: " + longSubject + "\nContent-Type: text/plain; name=\"" +
                                std::string(400, 'n') + "\"; boundary=b\n\n");
  EXPECT_EQ(s.subject, std::string(255, 'x'));
  EXPECT_EQ(s.fileName, std::string(255, 'n'));
  // Parameters past the first 255 characters of the line are still read.
  EXPECT_EQ(s.boundary, "b");
}

TEST(MessageSummaryTest, ContentTypeParametersQuotedOrNot) {
  const MessageSummary s = Scan(
      "Content-Type: application/octet-stream; NAME=\"report; final \\\"v2\\\".pdf\" ;\r\n"
      " BOUNDARY = plain-token ; Id=\"part@host\"\r\n"
      "\r\n");
  EXPECT_EQ(s.contentType, "application/octet-stream");
  EXPECT_EQ(s.fileName, "report; final \"v2\".pdf");
  EXPECT_EQ(s.boundary, "plain-token");
  EXPECT_EQ(s.id, "part@host");
}

TEST(MessageSummaryTest, FileNameComesFromContentTypeElseFromContentDisposition) {
  // Disposition first in the header; the type's name still wins.
  EXPECT_EQ(Scan("Content-Disposition: attachment; filename=\"d.txt\"\n"
                 "Content-Type: text/plain; name=\"t.txt\"\n\n")
                .fileName,
            "t.txt");
  EXPECT_EQ(Scan("Content-Type: text/plain\nContent-Disposition: attachment; filename=d.txt\n\n").fileName,
            "d.txt");
  EXPECT_EQ(Scan("Content-Disposition: attachment; name=\"n.bin\"\n\n").fileName, "n.bin");
  EXPECT_EQ(Scan("Content-Type: text/plain\n\n").fileName, "");
}

TEST(MessageSummaryTest, ExtendedParameterFormsAreDecoded) {
  EXPECT_EQ(Scan("Content-Disposition: attachment; filename*=UTF-8''na%C3%AFve%20plan.txt\n\n").fileName,
            "na\xC3\xAFve plan.txt");
  EXPECT_EQ(Scan("Content-Type: text/plain;\n name*0=\"long\";\n name*1=\"-name\";\n name*2*=%2Etxt\n\n")
                .fileName,
            "long-name.txt");
  EXPECT_EQ(HeaderParameter("a/b; x=1; y=\"2\"", "Y"), "2");
  EXPECT_EQ(HeaderParameter("a/b; x=1", "z"), "");
  EXPECT_EQ(HeaderParameter("x=1", "x"), "") << "the main value is not a parameter";
}

TEST(MessageSummaryTest, PartialMessageNumberAndTotal) {
  const MessageSummary s =
      Scan("Content-Type: message/partial; id=\"abc@host\"; number=2; total=3\n\n");
  EXPECT_EQ(s.contentType, "message/partial");
  EXPECT_EQ(s.id, "abc@host");
  EXPECT_EQ(s.number, 2);
  EXPECT_EQ(s.total, 3);
  EXPECT_EQ(Scan("Content-Type: message/partial; number=two; total=\"7\"\n\n").number, 0);
  EXPECT_EQ(Scan("Content-Type: message/partial; number=two; total=\"7\"\n\n").total, 7);
  EXPECT_EQ(Scan("Content-Type: m/p; number=99999999999999\n\n").number, 2147483647);
}

// --- checksums and keys ---------------------------------------------------------------------

TEST(MessageKeyTest, ChecksumOfShortTexts) {
  EXPECT_EQ(HeaderChecksum(""), -1);
  EXPECT_EQ(HeaderChecksum("a"), 0);
  EXPECT_EQ(HeaderChecksum("Z"), 0);
  // n = 1: h = 2 * (1 + 'a' + 'b') = 392.
  EXPECT_EQ(HeaderChecksum("ab"), 392);
  // n = 2: h = 2 * (2 + 'a' + 'c') = 396, then 2 * (396 + 'b' + 'b') = 1184.
  EXPECT_EQ(HeaderChecksum("abc"), 1184);
  // Characters are signed bytes: 2 * (1 - 1 - 1) = -2.
  EXPECT_EQ(HeaderChecksum("\xff\xff"), -2);
}

TEST(MessageKeyTest, ChecksumWrapsAt32Bits) {
  // Values computed with an independent implementation.
  EXPECT_EQ(HeaderChecksum("Alice Example <alice@example.org>"), 154470322);
  EXPECT_EQ(HeaderChecksum("Tue, 3 Mar 2020 10:15:00 +0100"), -473934574);
}

TEST(MessageKeyTest, KeysOfKnownHeaders) {
  // Nothing summed: BCC, MIME-Version, encoding and unknown headers do not count.
  EXPECT_EQ(KeyOf("Received: from somewhere\nBCC: x@y.z\nMIME-Version: 1.0\n"
                  "Content-Transfer-Encoding: 7bit\nX-Mailer: none\n\nbody"),
            "X-0");
  EXPECT_EQ(KeyOf(""), "X-0");
  // An empty value counts like an absent one.
  EXPECT_EQ(KeyOf("Subject:\nFrom:   \n\n"), "X-0");
  EXPECT_EQ(KeyOf("Subject: ab\n\n"), "X-392");
  EXPECT_EQ(KeyOf("Subject: \xff\xff\n\n"), "X--2");
  // A one-character type sums 0, so the number alone makes the key.
  EXPECT_EQ(KeyOf("Content-Type: a; number=123\n\n"), "X-123");
  EXPECT_EQ(KeyOf("Content-Type: a; number=-123\n\n"), "X--123");
  EXPECT_EQ(KeyOf("Content-Type: a; number=100; total=23\n\n"), "X-123");
}

TEST(MessageKeyTest, KeyOfARealisticHeaderSumsEveryCountedField) {
  const std::string header =
      "Received: by mx.example.net\r\n"
      "From: Alice Example <alice@example.org>\r\n"
      "To: bob@example.net\r\n"
      "CC: carol@example.com\r\n"
      "Subject: Quarterly report\r\n"
      "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\n"
      "MIME-Version: 1.0\r\n"
      "Content-Type: multipart/mixed; boundary=\"b1_xyz\"\r\n"
      "\r\n";
  // Sum of the seven checksums, computed independently, wraps negative.
  EXPECT_EQ(KeyOf(header), "X--263104758");
  EXPECT_EQ(KeyOf("From: x@y.z\nSubject: Big file\n"
                  "Content-Type: message/partial; id=\"abc@host\"; number=2; total=3\n\n"),
            "X-7299337");
  // The same headers in another order and with another body give the same key.
  EXPECT_EQ(KeyOf("Content-Type: multipart/mixed;\r\n boundary=\"b1_xyz\"\r\n"
                  "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\nSubject: Quarterly report\r\n"
                  "CC: carol@example.com\r\nTo: bob@example.net\r\n"
                  "From: Alice Example <alice@example.org>\r\n\r\nother body"),
            "X--263104758");
}

// --- the header block of a file ---------------------------------------------------------------

TEST(MessageSummaryTest, HeaderBlockEndsAtTheEmptyLine) {
  test::TempDir dir;
  const std::string body(100000, 'b');
  test::WriteFile(dir.File("crlf.mail"), "Subject: s\r\nFrom: f\r\n\r\n" + body);
  std::string header;
  ASSERT_TRUE(ReadHeaderBlock(dir.File("crlf.mail"), header));
  EXPECT_EQ(header, "Subject: s\r\nFrom: f\r\n\r\n");

  test::WriteFile(dir.File("lf.mail"), "Subject: s\n\n" + body);
  ASSERT_TRUE(ReadHeaderBlock(dir.File("lf.mail"), header));
  EXPECT_EQ(header, "Subject: s\n\n");

  // The empty line falls on the edge of a 4 KB read.
  const std::string filler = "X-Fill: " + std::string(4096 - 8 - 2, 'f') + "\r\n";
  test::WriteFile(dir.File("edge.mail"), filler + "\r\nSubject: body\r\n");
  ASSERT_TRUE(ReadHeaderBlock(dir.File("edge.mail"), header));
  EXPECT_EQ(header, filler + "\r\n");

  test::WriteFile(dir.File("noblank.mail"), "Subject: only headers\n");
  ASSERT_TRUE(ReadHeaderBlock(dir.File("noblank.mail"), header));
  EXPECT_EQ(header, "Subject: only headers\n");
}

TEST(MessageSummaryTest, HeaderBlockIsNeverReadPastItsLimit) {
  test::TempDir dir;
  std::string big;
  while (big.size() < 3 * kHeaderReadLimit) big += "X-Long: " + std::string(70, 'l') + "\n";
  test::WriteFile(dir.File("big.mail"), big + "\nSubject: too late\n");
  std::string header;
  ASSERT_TRUE(ReadHeaderBlock(dir.File("big.mail"), header));
  EXPECT_EQ(header.size(), kHeaderReadLimit);
  EXPECT_FALSE(ReadHeaderBlock(dir.File("missing.mail"), header));
}

}  // namespace
}  // namespace vyr

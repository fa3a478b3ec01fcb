// The SMTP client against a recording SMTP server: bytes on the wire, MIME forms, hostile input.
#include "mail/send/smtp_client.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <regex>

#include "mail/body/rich_text.h"
#include "mail/mail_test_util.h"
#include "tools/python_fixture.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
using test::SmtpRecordServer;
using Strings = std::vector<std::string>;

using mailtest::PlainBody;

std::string BoldBody(const std::string& plain, const std::string& bold) {
  RichTextDocument doc;
  CharFormat strong = doc.DefaultFormat();
  strong.bold = true;
  doc.Append(plain, doc.DefaultFormat());
  doc.Append(bold, strong);
  return GetBodyRichText(doc);
}

bool WellFormedLines(const std::string& s) {
  for (size_t i = 0, start = 0; i < s.size(); ++i) {
    const bool crlf = s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n';
    if ((s[i] == '\r' && !crlf) || (s[i] == '\n' && (i == 0 || s[i - 1] != '\r')) || i - start > 999) return false;
    if (s[i] == '\n') start = i + 1;
  }
  return true;
}

std::string Headers(const std::string& raw) {
  std::smatch m, id;
  static const std::regex date("Date: ([0-9]{2} [A-Z][a-z]{2} 20[0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [+-][0-9]{4})\r\n");
  static const std::regex messageId("Message-ID: (<[0-9a-f]+\\.[0-9A-F]{16}@mail\\.example>)\r\n");
  EXPECT_TRUE(std::regex_search(raw, m, date)) << raw;
  EXPECT_TRUE(std::regex_search(raw, id, messageId)) << raw;
  return "From: Ann Sender <ann@mail.example>\r\nTo: Bob <bob@mail.example>\r\nCC: \r\n"
         "Subject: Greetings\r\nDate: " + std::string(m[1]) + "\r\n"
         "X-Mailer: Vyrelle Version: 1.2.3.4\r\nX-ID: 0123ABCD\r\nMessage-ID: " + std::string(id[1]) + "\r\n";
}

std::string Boundary(const std::string& raw, const char* kind) {
  std::smatch m;
  const std::regex pattern(std::string("boundary=\"(X-X-X-X-X-X--Vyrelle-MIME-") + kind +
                           "--X-X-X-X-X-X-X-?[0-9]+-X(-X)?)\"");
  EXPECT_TRUE(std::regex_search(raw, m, pattern)) << raw;
  return m[1];
}

class SmtpClientTest : public ::testing::Test {
 protected:
  SmtpOptions Options(int port) {
    SmtpOptions o;
    o.port = port;
    o.versionText = "1.2.3.4\r\n";
    o.installationId = "0123ABCD";
    o.uulibLock = &uulibLock;
    return o;
  }
  SmtpResult Send(SmtpClient& client, const std::string& body, const std::string& signature = {},
                  const Strings& attachments = {}) {
    EXPECT_EQ(client.ConnectServer("127.0.0.1", "client.example"), SmtpConnect::kOk) << client.LastReply();
    const SmtpResult rc = client.SendMail({.from = "Ann Sender <ann@mail.example>",
                                           .to = "Bob <bob@mail.example>",
                                           .bcc = "carol@mail.example",
                                           .subject = "Greetings",
                                           .bodyForm = body,
                                           .signature = signature,
                                           .attachments = attachments});
    client.Quit();
    return rc;
  }
  Strings Parsed(const SmtpRecordServer::Message& m, bool headers) {
    Strings lines, out;
    std::string error;
    EXPECT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
    for (const auto& l : lines) {
      if ((l.rfind("HEADER ", 0) == 0) == headers) out.push_back(headers ? l.substr(7, l.find(':') - 7) : l);
    }
    return out;
  }
  static void Start(SmtpRecordServer& server) {
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
  }
  std::mutex uulibLock;
  test::TempDir scratch;
};

TEST_F(SmtpClientTest, PlainFormsGoOutByteForByte) {
  SmtpRecordServer server;
  Start(server);
  std::string quoted;
  for (int i = 0; i < 13; ++i) quoted += std::string(75, 'a') + "=\r\n";
  struct Case {
    std::string body, signature;
    bool downloadLink, textOnly;
    std::string afterHeaders;
  } cases[] = {
      {PlainBody(".first line\nsecond\n.\nthird . not at start"), ".sig line\r.\nQuit", false, false,
       "\r\n..first line\r\nsecond\r\n..\r\nthird . not at start\r\n\r\n..sig line\r\n..\r\nQuit\r\n"},
      {PlainBody("Hi"), "Ann", true, false,
       "\r\nHi\r\n\r\nAnn\r\n\r\nDownload Vyrelle at http://update.example/get\r\n"},
      {BoldBody("plain and ", "bold"), "", false, true, "\r\nplain and bold\r\n\r\n"},
      {PlainBody("Gr\xC3\xBC\xC3\x9F" "e"), "", false, false,
       "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"utf-8\"\r\n\r\nGr\xC3\xBC\xC3\x9F" "e\r\n\r\n"},
      {PlainBody(std::string(1000, 'a') + "= \n.next"), "", false, false,
       "Mime-Version: 1.0\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n"
       "Content-Transfer-Encoding: quoted-printable\r\n\r\n" + quoted + std::string(25, 'a') + "=3D=20\r\n..next\r\n\r\n"},
  };
  for (const Case& c : cases) {
    SmtpOptions options = Options(server.Port());
    options.downloadLink = c.downloadLink;
    options.sendTextOnly = c.textOnly;
    options.updateUrl = "http://update.example/get";
    SmtpClient client(options);
    ASSERT_EQ(Send(client, c.body, c.signature), SmtpResult::kSent) << client.LastReply();
  }
  ASSERT_TRUE(server.WaitForMessages(std::size(cases), 10000));
  const auto messages = server.Messages();
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(messages[i].raw, Headers(messages[i].raw) + cases[i].afterHeaders + "\r\n.\r\n") << i;
  }
  const auto& m = messages[0];
  EXPECT_EQ(m.mailFrom, "ann@mail.example");
  EXPECT_EQ(m.recipients, (Strings{"bob@mail.example", "carol@mail.example"}));
  EXPECT_EQ(server.Sessions().at(0), "HELO client.example\r\nMAIL from:<ann@mail.example>\r\nRCPT to:"
            "<bob@mail.example>\r\nRCPT to:<carol@mail.example>\r\nDATA\r\n" + m.raw + "Quit\r\n");
}

TEST_F(SmtpClientTest, MimeFormsGoOutByteForByte) {
  SmtpRecordServer server;
  Start(server);
  SmtpOptions options = Options(server.Port());
  options.downloadLink = true;
  options.updateUrl = "http://update.example/";
  SmtpClient client(options);
  ASSERT_EQ(Send(client, BoldBody("plain and ", "bold"), "Ann"), SmtpResult::kSent) << client.LastReply();
  std::string binary(70000, '\0');
  for (size_t i = 0; i < binary.size(); ++i) binary[i] = static_cast<char>((i * 7919) >> 3);
  binary.replace(1000, 5, "\r\n.\r\n");
  binary.replace(40000, 3, "\n.\n");
  const Strings paths = {scratch.File("data.bin"), scratch.File("report 2026.txt"), scratch.File("empty.dat")};
  test::WriteFile(paths[0], binary);
  test::WriteFile(paths[1], ".dot line\n.\nend\n");
  test::WriteFile(paths[2], "");
  ASSERT_EQ(Send(client, PlainBody("See the files."), "", paths), SmtpResult::kSent) << client.LastReply();
  ASSERT_EQ(Send(client, BoldBody(std::string(1200, 'b'), "bold")), SmtpResult::kSent) << client.LastReply();
  ASSERT_TRUE(server.WaitForMessages(3, 10000));
  const auto messages = server.Messages();
  for (const auto& m : messages) EXPECT_TRUE(WellFormedLines(m.raw));
  const std::string& formatted = messages[0].raw;
  const std::string b = Boundary(formatted, "TEXTandHTML");
  const std::string head =
      Headers(formatted) + "Mime-Version: 1.0\r\nContent-Type: multipart/alternative; boundary=\"" + b +
      "\"\r\n\r\nThis is a multi-part message in MIME format.\r\n\r\n--" + b +
      "\r\nContent-Type: text/plain; charset=\"us-ascii\"\r\n\r\nplain and bold\r\n\r\nAnn"
      "\r\n\r\nDownload Vyrelle at http://update.example/\r\n--" + b +
      "\r\nContent-Type: text/html; charset=\"us-ascii\"\r\n\r\n\r\n";
  const std::string tail = "\r\n<BR><BR><a href='http://update.example/'>Download Vyrelle!</a>\r\n--" + b +
                           "--\r\n\r\n.\r\n";
  ASSERT_GT(formatted.size(), head.size() + tail.size());
  EXPECT_EQ(formatted.substr(0, head.size()), head);
  EXPECT_EQ(formatted.substr(formatted.size() - tail.size()), tail);
  const std::string html = formatted.substr(head.size(), formatted.size() - head.size() - tail.size());
  EXPECT_NE(html.find("<B>bold</B>"), std::string::npos) << html;
  EXPECT_NE(html.find("\r\n<BR><BR>"), std::string::npos) << html;
  EXPECT_EQ(Parsed(messages[0], false),
            (Strings{"MULTIPART multipart/alternative", "PART text/plain us-ascii", "PART text/html us-ascii"}));
  const std::string& mixed = messages[1].raw;
  const std::string outer = Boundary(mixed, "Attachment"), inner = Boundary(mixed, "TEXTandHTML");
  const std::string start = Headers(mixed) + "Mime-Version: 1.0\r\nContent-Type: multipart/mixed; boundary=\"" +
                            outer + "\"\r\n\r\n--" + outer +
                            "\r\nContent-Type: multipart/alternative; boundary=\"" + inner + "\"\r\n\r\n";
  EXPECT_EQ(mixed.substr(0, start.size()), start);
  EXPECT_NE(mixed.find("--" + inner + "--\r\n\r\n--" + outer + "\r\n"), std::string::npos);
  const std::string end = "\r\n--" + outer + "--\r\n\r\n.\r\n";
  EXPECT_EQ(mixed.substr(mixed.size() - end.size()), end);
  EXPECT_EQ(Parsed(messages[1], false),
            (Strings{"MULTIPART multipart/mixed", "MULTIPART multipart/alternative", "PART text/plain us-ascii",
                     "PART text/html us-ascii", "ATTACHMENT 1 data.bin 70000",
                     "ATTACHMENT 2 report 2026.txt 16", "ATTACHMENT 3 empty.dat 0"}));
  EXPECT_EQ(test::ReadFile(scratch.File("attachment1")), binary);
  EXPECT_EQ(test::ReadFile(scratch.File("attachment2")), ".dot line\n.\nend\n");
  for (const char* type : {"text/plain", "text/html"}) {
    EXPECT_NE(messages[2].raw.find(std::string(type) + "; charset=\"us-ascii\"\r\n"
                                   "Content-Transfer-Encoding: quoted-printable\r\n"), std::string::npos) << type;
  }
}

TEST_F(SmtpClientTest, ConnectOutcomes) {
  struct Case {
    const char* name;
    SmtpRecordServer::Options options;
    SmtpConnect result;
    std::string heloReply;
  } cases[] = {
      {"greeting of three lines in one segment", {.multilineGreeting = true}, SmtpConnect::kOk, "250 recorder.test"},
      {"continuation arriving 300 ms later", {.splitHeloReply = true}, SmtpConnect::kOk, "250 recorder.test"},
      {"line longer than the buffer", {.longHeloReply = true}, SmtpConnect::kOk, "250 " + std::string(251, 'x')},
      {"HELO refused", {.rejectHelo = true}, SmtpConnect::kGreetingRefused, "550 5.7.1 HELO refused"},
  };
  for (const Case& c : cases) {
    SmtpRecordServer server(c.options);
    Start(server);
    SmtpClient client(Options(server.Port()));
    ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), c.result) << c.name;
    EXPECT_EQ(client.LastReply(), c.heloReply) << c.name;
    EXPECT_TRUE(c.result != SmtpConnect::kOk || Send(client, PlainBody("x")) == SmtpResult::kSent)
        << c.name << ": " << client.LastReply();
  }
  SmtpClient unknown(Options(25));
  EXPECT_EQ(unknown.ConnectServer("no-such-host.invalid", "client.example"), SmtpConnect::kUnknownHost);
  EXPECT_EQ(unknown.SendMail({.from = "a@mail.example", .to = "bob@mail.example"}), SmtpResult::kNotSent);
  SmtpOptions broken = Options(1);
  broken.security = 3;
  SmtpClient refused(broken);
  EXPECT_EQ(refused.ConnectServer("127.0.0.1", "client.example"), SmtpConnect::kBadSecurity);
  EXPECT_EQ(refused.ConnectFailureText(SmtpConnect::kBadSecurity, "smtp.mail.example"),
            "smtp.mail.example: the security setting is none of 0 (none), 1 (STARTTLS) or 2 (TLS); nothing was sent");
}

TEST_F(SmtpClientTest, HostileOrBrokenInputInjectsNothing) {
  SmtpRecordServer server;
  Start(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), SmtpConnect::kOk);
  EXPECT_EQ(client.SendMail({.from = "Ann <ann@mail.example>\r\nReply-To: evil@mail.example",
                             .to = "Bob <bob@mail.example>\r\nX-Evil: 1",
                             .cc = "dan@mail.example\r\n.\r\nRSET",
                             .bcc = "Hidden <hidden@mail.example>",
                             .subject = "Hi\r\nBcc: evil@mail.example",
                             .bodyForm = PlainBody("body")}),
            SmtpResult::kSent) << client.LastReply();
  EXPECT_EQ(client.SendMail({.from = "ann@mail.example", .to = "bob@mail.example", .bcc = "nobody"}),
            SmtpResult::kRecipientRefused);
  EXPECT_EQ(client.LastReply(), "Invalid Recipient: :nobody");
  EXPECT_EQ(client.SendMail({.from = "ann@mail.example", .to = "bob@mail.example",
                             .attachments = {scratch.File("gone.bin")}}),
            SmtpResult::kAttachmentUnreadable);
  EXPECT_NE(client.LastReply().find("gone.bin"), std::string::npos);
  client.Quit();
  ASSERT_TRUE(server.WaitForMessages(1, 5000));
  const auto m = server.Messages()[0];
  EXPECT_EQ(m.recipients, (Strings{"bob@mail.example", "dan@mail.example", "hidden@mail.example"}));
  EXPECT_EQ(Parsed(m, true), (Strings{"From", "To", "CC", "Subject", "Date", "X-Mailer", "X-ID", "Message-ID"}));
  EXPECT_EQ(m.raw.find("idden"), std::string::npos) << m.raw;
  EXPECT_NE(m.raw.find("Subject: Hi  Bcc: evil@mail.example\r\n"), std::string::npos);
  EXPECT_NE(m.raw.find("CC: dan@mail.example  .  RSET\r\n"), std::string::npos) << m.raw;
  const std::string session = server.Sessions().at(0);
  EXPECT_EQ(session.find("MAIL", session.find("\r\n.\r\n")), std::string::npos) << session;
}

TEST_F(SmtpClientTest, WaitForTheFinalReplyEndsWhenCancelled) {
  SmtpRecordServer server({.delayFinalReplySeconds = 3600});
  Start(server);
  SmtpClient client(Options(server.Port()));
  auto sending = std::async(std::launch::async, [&] { return Send(client, PlainBody("x")); });
  struct AbortOnExit {
    SmtpClient& client;
    ~AbortOnExit() { client.Abort(); }
  } stopAnyway{client};
  ASSERT_TRUE(server.WaitForMessages(1, 30000));
  client.Abort();
  ASSERT_EQ(sending.wait_for(std::chrono::seconds(60)), std::future_status::ready);
  EXPECT_EQ(sending.get(), SmtpResult::kDataRefused);
  EXPECT_EQ(client.LastReply(), "Cancelled");
}

TEST_F(SmtpClientTest, LongNonAsciiHeadersAreFoldedAndReadBackWhole) {
  const std::string subject =
      "Grüße aus Köln: Καλημέρα κόσμε 🎉🚀 — Übermorgen schöne Äpfel, ΕΛΛΆΔΑ ώρα 👍🏽 naïve café ✓ "
      "Straße & Ωμέγα 🌍🍀 Ende!!";
  ASSERT_EQ(std::count_if(subject.begin(), subject.end(), [](char c) { return (c & 0xC0) != 0x80; }), 112);
  const std::string name = "Αναστασία Παπαδοπούλου-Κωνσταντινίδου της Θεσσαλονίκης";
  SmtpRecordServer server;
  Start(server);
  SmtpClient client(Options(server.Port()));
  ASSERT_EQ(client.ConnectServer("127.0.0.1", "client.example"), SmtpConnect::kOk) << client.LastReply();
  ASSERT_EQ(client.SendMail({.from = name + " <ann@mail.example>",
                             .to = "Bob <bob@mail.example>",
                             .subject = subject,
                             .bodyForm = PlainBody("x")}),
            SmtpResult::kSent) << client.LastReply();
  client.Quit();
  ASSERT_TRUE(server.WaitForMessages(1, 10000));
  const auto m = server.Messages()[0];
  const std::string head = m.raw.substr(0, m.raw.find("\r\n\r\n") + 2);
  for (size_t start = 0, end; (end = head.find("\r\n", start)) != std::string::npos; start = end + 2) {
    EXPECT_LE(end - start, 78u) << head.substr(start, end - start);
  }
  Strings lines;
  std::string error;
  ASSERT_TRUE(SmtpRecordServer::ParseWithPython(m.dataPath, scratch.Path(), lines, &error)) << error;
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "HEADER Subject: " + subject), 1) << testing::PrintToString(lines);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "HEADER From: " + name + " <ann@mail.example>"), 1)
      << testing::PrintToString(lines);
}

TEST_F(SmtpClientTest, AGreetingNameWithoutADotGivesWayToThisEndsAddressAndNoStartTlsMeansNoLogIn) {
  const struct {
    const char* listen;
    const char* name;
    bool extended;
    std::string greeting;
  } cases[] = {
      {"127.0.0.1", "vm", false, "HELO [127.0.0.1]\r\n"},
      {"::1", "localhost", true, "EHLO [IPv6:::1]\r\n"},
      {"127.0.0.1", "vm.client.example", true, "EHLO vm.client.example\r\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.greeting);
    if (std::string(c.listen) == "::1" && !test::HasIPv6Loopback()) continue;
    SmtpRecordServer server({.listenAddress = c.listen});
    Start(server);
    SmtpOptions o = Options(server.Port());
    if (c.extended) o.security = kSecurityStartTls, o.authenticate = true, o.user = "ann", o.password = "s3cret-pass";
    SmtpClient client(o);
    EXPECT_EQ(client.ConnectServer(c.listen, c.name), c.extended ? SmtpConnect::kNoStartTls : SmtpConnect::kOk)
        << client.LastReply();
    client.Quit();
    ASSERT_FALSE(server.Sessions().empty());
    const std::string session = server.Sessions().at(0);
    EXPECT_EQ(session.substr(0, session.find('\n') + 1), c.greeting);
    EXPECT_TRUE(!c.extended || (session.find("AUTH") == std::string::npos && session.find("MAIL") == std::string::npos))
        << session;
  }
  EXPECT_EQ(SmtpClient(Options(25)).ConnectFailureText(SmtpConnect::kNoStartTls, "127.0.0.1"),
            "127.0.0.1 does not offer a secure connection (STARTTLS); nothing was sent");
}

}  // namespace
}  // namespace vyr

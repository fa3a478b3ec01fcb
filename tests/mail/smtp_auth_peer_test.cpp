// Sending through an outgoing server that wants TLS and a log-in: aiosmtpd
// with STARTTLS (or TLS from the first byte) and an authenticator, behind a
// relay that captures what the client sends over the wire.
#include <gtest/gtest.h>

#include "mail/body/rich_text.h"
#include "mail/receive/mail_accounts.h"
#include "mail/send/outbox.h"
#include "mail/store/mail_store.h"
#include "platform/profile_file.h"
#include "mail/send/smtp_client.h"
#include "tools/python_fixture.h"
#include "tools/smtp_record_server.h"
#include "tools/test_certificates.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

struct StatusWindow : platform::MessageTarget {
  void OnWindowMessage(const platform::WindowMessage& m) override {
    if (m.message == kMsgMailStatus) statuses.push_back(m.text.value_or(""));
  }
  std::vector<std::string> statuses;
};

TEST(SmtpAuthPeerTest, LogInOverTlsAndARefusedLogInKeepsTheMessage) {
  std::string error;
  test::TempDir certs;
  test::TestCertificates c;
  ASSERT_TRUE(test::MakeTestCertificates(certs.Path(), "IP:127.0.0.1", c, &error)) << error;

  struct Case {
    const char* name;
    std::vector<std::string> serverOptions;
    int security;
    std::string password;
    int result;
    std::string authLog, status;
  } cases[] = {
      {"PLAIN", {}, 1, "s3cret-pass", 0, "PLAIN ok\n", ""},
      {"LOGIN", {"--only-login"}, 1, "s3cret-pass", 0, "LOGIN ok\n", ""},
      {"wrong password", {}, 1, "wrong-pass", kSendLogInRefused, "PLAIN refused\n",
       "Error Sending Queued E-mail: The outgoing server 127.0.0.1 refused the log-in: "
       "535 5.7.8 Authentication credentials invalid"},
      {"TLS at once", {"--implicit-tls"}, 2, "s3cret-pass", 0, "PLAIN ok\n", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    test::TempDir spool;
    std::vector<std::string> args = {"--dir", spool.Path(), "--cert", c.certPem, "--key", c.keyPem,
                                     "--user", "ann", "--password", "s3cret-pass"};
    args.insert(args.end(), k.serverOptions.begin(), k.serverOptions.end());
    test::PythonFixture server;
    ASSERT_TRUE(server.Start("smtp_auth_server.py", args, &error)) << error;

    test::TestApp t;
    for (const auto& [key, value] :
         {std::pair("smtp-server", std::string("127.0.0.1")), std::pair("name", std::string("Ann")),
          std::pair("e-address", std::string("ann@mail.example")), std::pair("SMTPUser", std::string("ann")),
          std::pair("SMTPPass", StoredPassword(k.password)), std::pair("TLSTrustFile", c.caPem)}) {
      t.app.WriteString("email", key, value);
    }
    t.app.WriteInt("email", "SMTPPort", server.Port());
    t.app.WriteInt("email", "SMTPSecurity", k.security);
    t.app.WriteInt("email", "SMTPAuth", 1);
    RichTextDocument doc;
    doc.Append("Hello.", doc.DefaultFormat());
    const std::string stored = BuildStoredMessage("bob@mail.example", "", "", "", "Grüße aus Köln",
                                                  GetBodyRichText(doc), {}, "d");
    const std::string path = MailStore(t.app).FolderPath("Outbox", true) + "Out1.mail";
    test::WriteFile(path, stored);
    MailStore::MarkUnread(path);

    StatusWindow window;
    auto& messages = platform::WindowMessages::Instance();
    const platform::WindowHandle handle = messages.Register(&window);
    Outbox outbox(t.app);
    outbox.SetReplyTimeLimit(10);
    EXPECT_EQ(outbox.FlushOutbox(handle), k.result);
    messages.DispatchPending();
    messages.Unregister(handle);

    EXPECT_EQ(test::ReadFile(spool.File("auth.log")), k.authLog);
    const std::string sent = test::ReadFile(spool.File("msg0001.data"));
    if (k.result == 0) {
      EXPECT_NE(sent.find("\r\nSubject: =?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?=\r\n"), std::string::npos) << sent;
      EXPECT_NE(sent.find("\r\nX-ID: "), std::string::npos);
      EXPECT_NE(sent.find("@mail.example>\r\n", sent.find("\r\nMessage-ID: <")), std::string::npos) << sent;
    } else {
      // Pending and unchanged, with the server's reason shown.
      EXPECT_TRUE(sent.empty());
      EXPECT_TRUE(MailStore::IsUnread(path));  // before reading it marks it read
      EXPECT_EQ(test::ReadFile(path), stored);
      EXPECT_NE(std::find(window.statuses.begin(), window.statuses.end(), k.status), window.statuses.end())
          << ::testing::PrintToString(window.statuses);
    }
    // Neither the password nor its encoded forms (alone, and in AUTH PLAIN's
    // answer) crossed the wire readable.
    const std::string capture = test::ReadFile(spool.File("capture.log"));
    EXPECT_FALSE(capture.empty());
    for (const char* secret : {"s3cret-pass", "czNjcmV0LXBhc3M=", "AGFubgBzM2NyZXQtcGFzcw=="}) {
      EXPECT_EQ(capture.find(secret), std::string::npos) << secret;
    }
  }
}

}  // namespace
}  // namespace vyr

namespace vyr {
namespace {

TEST(SmtpAuthPeerTest, SettingsFallBackToThePop3AccountAndTheSecurePorts) {
  const struct {
    int security, port;  // port 0: SMTPPort unset
    const char* smtpUser;
    int expectedPort;
    std::string expectedUser, expectedPassword;
  } cases[] = {
      {0, 0, nullptr, 25, "jane", "pop-secret"},
      {2, 0, nullptr, 465, "jane", "pop-secret"},
      {1, 587, "jane@mail.example", 587, "jane@mail.example", "smtp-secret"},
  };
  for (const auto& k : cases) {
    test::TestApp t;
    t.app.WriteString("email", "pop3-account", "jane");
    t.app.WriteString("email", "pop3-pass", StoredPassword("pop-secret"));
    t.app.WriteInt("email", "SMTPSecurity", k.security);
    t.app.WriteInt("email", "SMTPAuth", 1);
    if (k.port) t.app.WriteInt("email", "SMTPPort", k.port);
    if (k.smtpUser) {
      t.app.WriteString("email", "SMTPUser", k.smtpUser);
      t.app.WriteString("email", "SMTPPass", StoredPassword("smtp-secret"));
    }
    const SmtpOptions o = SmtpOptions::FromSettings(t.app);
    EXPECT_EQ(o.port, k.expectedPort) << k.security;
    EXPECT_EQ(o.user, k.expectedUser) << k.security;
    EXPECT_EQ(o.password, k.expectedPassword) << k.security;
  }
}

TEST(SmtpAuthPeerTest, AServerWithoutStartTlsGetsNoLogIn) {
  test::SmtpRecordServer server;  // plain: offers no STARTTLS
  std::string error;
  ASSERT_TRUE(server.Start(&error)) << error;
  SmtpOptions o;
  o.port = server.Port();
  o.security = kSecurityStartTls;
  o.authenticate = true;
  o.user = "ann";
  o.password = "s3cret-pass";
  SmtpClient client(o);
  EXPECT_EQ(client.ConnectServer("127.0.0.1", "client.example"), 6);
  EXPECT_EQ(client.ConnectFailureText(6, "127.0.0.1"),
            "127.0.0.1 does not offer a secure connection (STARTTLS); nothing was sent");
  client.Quit();
  ASSERT_EQ(server.Sessions().size(), 1u);
  EXPECT_EQ(server.Sessions()[0].rfind("EHLO client.example\r\n", 0), 0u);
  for (const std::string& session : server.Sessions()) {
    EXPECT_EQ(session.find("AUTH"), std::string::npos) << session;
    EXPECT_EQ(session.find("MAIL"), std::string::npos) << session;
  }
}

}  // namespace
}  // namespace vyr

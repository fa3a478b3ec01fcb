// The mail check over secured connections: a private Dovecot with a
// certificate from a private authority (STLS on its POP3 port, TLS from the
// first byte on its second port), and a plain server without STLS.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>

#include "mail/receive/mail_accounts.h"
#include "mail/receive/mail_check.h"
#include "platform/profile_file.h"
#include "tools/dovecot_server.h"
#include "tools/scripted_pop3_server.h"
#include "tools/test_certificates.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

// Collects the status texts of one run until it finishes.
struct StatusWindow : platform::MessageTarget {
  void OnWindowMessage(const platform::WindowMessage& m) override {
    if (m.message == kMsgMailStatus) statuses.push_back(m.text.value_or(""));
    if (m.message == kMsgMailNewMessage) ++stored;
    finished |= m.message == kMsgMailCheckFinished;
  }
  std::vector<std::string> statuses;
  int stored = 0;
  bool finished = false;
};

TEST(MailTlsPeerTest, SecuredSessionsFetchAndRefuseWhatTheyCannotTrust) {
  std::string error;
  test::TempDir certs;
  test::TestCertificates c;
  ASSERT_TRUE(test::MakeTestCertificates(certs.Path(), "DNS:localhost", c, &error)) << error;
  test::DovecotServer dovecot;
  dovecot.UseTls(c.certPem, c.keyPem);
  dovecot.AddUser("alice", "wonderland");
  ASSERT_TRUE(dovecot.Start(&error)) << error;
  test::ScriptedPop3Server noStls("normal", {});
  ASSERT_TRUE(noStls.Start(&error)) << error;

  struct Case {
    const char* name;
    int security, port;
    std::string server, trustFile;
    int stored;
    std::string status;
  } cases[] = {
      {"STLS", 1, dovecot.Port(), "localhost", c.caPem, 1, "Done.  Processed 1 messages"},
      {"TLS at once", 2, dovecot.TlsPort(), "localhost", c.caPem, 1, "Done.  Processed 1 messages"},
      // The certificate names localhost, not the address.
      {"wrong name", 2, dovecot.TlsPort(), "127.0.0.1", c.caPem, 0,
       "Secure connection to 127.0.0.1 failed: IP address mismatch"},
      {"untrusted", 1, dovecot.Port(), "localhost", "", 0,
       "Secure connection to localhost failed: unable to get local issuer certificate"},
      {"no STLS", 1, noStls.Port(), "127.0.0.1", c.caPem, 0,
       "127.0.0.1 does not offer a secure connection (STLS); the password was not sent"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    platform::ClearProfileCache();
    dovecot.ClearMailbox("alice");
    dovecot.AddMessage("alice", "From: a@mail.example\r\nSubject: hi\r\n\r\nHello.\r\n");
    test::TestApp t;
    for (const auto& [key, value] : {std::pair("pop3-server", k.server), std::pair("pop3-account", std::string("alice")),
                                     std::pair("pop3-pass", StoredPassword("wonderland")),
                                     std::pair("TLSTrustFile", k.trustFile)}) {
      t.app.WriteString("email", key, value);
    }
    t.app.WriteInt("email", "POP3Port", k.port);
    t.app.WriteInt("email", "POP3Security", k.security);
    t.app.WriteInt("email", "delete-messages", 1);

    StatusWindow window;
    auto& messages = platform::WindowMessages::Instance();
    const platform::WindowHandle handle = messages.Register(&window);
    {
      MailCheck check(t.app, handle);
      ASSERT_TRUE(check.StartMailCheck(true));
      const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(60);
      while (!window.finished && std::chrono::steady_clock::now() < until) {
        messages.WaitAndDispatch(std::chrono::milliseconds(100));
      }
      EXPECT_TRUE(window.finished);
    }
    messages.Unregister(handle);
    EXPECT_EQ(window.stored, k.stored);
    EXPECT_NE(std::find(window.statuses.begin(), window.statuses.end(), k.status), window.statuses.end())
        << ::testing::PrintToString(window.statuses);
  }
  // Neither the name nor the password went to the server without STLS.
  for (const std::string& command : noStls.Commands()) {
    EXPECT_TRUE(command.rfind("USER", 0) != 0 && command.rfind("PASS", 0) != 0) << command;
  }
  EXPECT_FALSE(noStls.Commands().empty());
}

}  // namespace
}  // namespace vyr

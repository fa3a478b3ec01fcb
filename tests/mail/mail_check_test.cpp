// The mail check against real POP3 servers: a private Dovecot and small
// misbehaving servers, each started by the test on a loopback port.
#include "mail/receive/mail_check.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "app/application.h"
#include "mail/receive/mail_accounts.h"
#include "mail/store/mail_store.h"
#include "platform/profile_file.h"
#include "tools/dovecot_server.h"
#include "tools/scripted_pop3_server.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Message(const std::string& subject, const std::string& body = "Hello.\n") {
  return "From: Sender <sender@mail.example>\nTo: alice@mail.example\nSubject: " + subject +
         "\nDate: Tue, 1 Dec 2026 10:00:00 +0000\nMessage-ID: <" + subject +
         "@mail.example>\n\n" + body;
}

// The mail window's part: receives the posted messages on this thread,
// counts new messages and restarts a run cut short by the watchdog.
class CheckHarness : public platform::MessageTarget {
 public:
  explicit CheckHarness(Application& app)
      : handle_(platform::WindowMessages::Instance().Register(this)), check(app, handle_) {
    check.SetPasswordPrompt(&prompt);
    check.SetQuestions(&questions);
  }
  ~CheckHarness() override { platform::WindowMessages::Instance().Unregister(handle_); }

  void OnWindowMessage(const platform::WindowMessage& m) override {
    switch (m.message) {
      case kMsgMailStatus:
        statuses.push_back(m.text.value_or(""));
        // The status line as the mail window shows it.
        lines.push_back(m.text.value_or("") + (m.wParam != 0 ? "" : "..."));
        break;
      case kMsgMailNewMessage:
        stored.push_back(m.text.value_or(""));
        check.NewMessageNoticed();
        break;
      case kMsgMailCheckFinished:
        finished = true;
        result = static_cast<int>(m.lParam);
        ++finishedMessages;
        break;
      case kMsgMailShowCheckLog: logShown = true; break;
      default: break;
    }
  }

  // Starts a check and handles messages until the run (with its watchdog
  // resumptions) ends. False when it does not end within the limit.
  bool Run(bool silent, int seconds = 60) {
    finished = false;
    if (!check.StartMailCheck(silent)) return false;
    return WaitForEnd(seconds);
  }

  bool WaitForEnd(int seconds) {
    auto until = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < until) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(100));
      if (!finished) continue;
      finished = false;
      outcome = check.CheckFinished(result, true, false);
      if (outcome.restartAfterMs >= 0) {
        ++restarts;
        std::this_thread::sleep_for(std::chrono::milliseconds(outcome.restartAfterMs));
        check.StartMailCheck(true);
        continue;
      }
      return true;
    }
    return false;
  }

  bool Saw(const std::string& status) const {
    return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
  }
  bool Shown(const std::string& line) const {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  struct Prompt : PasswordPrompt {
    bool answer = false;
    bool remember = false;
    std::string password;
    int asked = 0;
    bool AskPassword(const std::string&, const std::string&, std::string& pw, bool& rem) override {
      ++asked;
      pw = password;
      rem = remember;
      return answer;
    }
  } prompt;

  struct Questions : MailCheckQuestions {
    std::vector<std::string> asked;
    bool AskToCheckSettings(const std::string& text, const std::string& title) override {
      asked.push_back(title + "|" + text);
      return false;
    }
    void OpenMailSettings() override {}
  } questions;

 private:
  platform::WindowHandle handle_;

 public:
  MailCheck check;
  std::vector<std::string> statuses, lines, stored;
  bool finished = false, logShown = false;
  int result = -1, restarts = 0, finishedMessages = 0;
  CheckFinishedOutcome outcome;
};

class MailCheckTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dovecot_ = new test::DovecotServer();
    std::string error;
    if (!dovecot_->Start(&error)) {
      startError_ = error;
      return;
    }
    dovecot_->AddUser("alice", "wonderland");
    dovecot_->AddUser("bob", "builder");
  }
  static void TearDownTestSuite() {
    delete dovecot_;
    dovecot_ = nullptr;
  }
  void SetUp() override {
    ASSERT_TRUE(startError_.empty()) << startError_;
    platform::ClearProfileCache();
    dovecot_->ClearMailbox("alice");
    dovecot_->ClearMailbox("bob");
    Account("127.0.0.1", dovecot_->Port(), "alice", "wonderland");
  }
  void Account(const std::string& server, int port, const std::string& user, const std::string& pw) {
    app.WriteString("email", "pop3-server", server);
    app.WriteInt("email", "POP3Port", port);
    app.WriteString("email", "pop3-account", user);
    app.WriteString("email", "pop3-pass", StoredPassword(pw));
  }
  std::vector<std::string> Inbox() {
    std::vector<std::string> files;
    for (const auto& e : fs::directory_iterator(home.File("vyrelle/email/Inbox"))) {
      files.push_back(e.path().string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }
  size_t TempFiles() {
    size_t n = 0;
    if (fs::exists(home.File("vyrelle/_TEMP"))) {
      for (const auto& e : fs::directory_iterator(home.File("vyrelle/_TEMP"))) n += e.is_regular_file();
    }
    return n;
  }

  static test::DovecotServer* dovecot_;
  static std::string startError_;
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

test::DovecotServer* MailCheckTest::dovecot_ = nullptr;
std::string MailCheckTest::startError_;

TEST_F(MailCheckTest, FetchesNewMailAndResumesAfterTheLastId) {
  for (int i = 1; i <= 3; ++i) dovecot_->AddMessage("alice", Message("first-" + std::to_string(i)));
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 0);
  EXPECT_TRUE(h.Saw("Found 3 messages.")) << ::testing::PrintToString(h.statuses);
  EXPECT_TRUE(h.Saw("Done.  Processed 3 messages"));
  ASSERT_EQ(h.stored.size(), 3u);
  ASSERT_EQ(Inbox().size(), 3u);
  for (const auto& path : h.stored) {
    EXPECT_TRUE(MailStore::IsUnread(path)) << path;
    EXPECT_EQ(fs::path(path).filename().string().substr(0, 2), "SX");
    std::string text = test::ReadFile(path);
    EXPECT_EQ(text.back(), '.');  // the terminating line's "." is kept
  }
  EXPECT_EQ(dovecot_->MessageCount("alice"), 3u);  // the delete flag is clear
  EXPECT_FALSE(app.GetString("email", "IDLastMessageDownloaded", "").empty());
  EXPECT_EQ(h.outcome.statusLine.substr(0, 32), "You have 3 new e-mail messages! ");

  // Nothing new: UIDL gives one past the count.
  CheckHarness again(app);
  ASSERT_TRUE(again.Run(true));
  EXPECT_EQ(again.result, 0);
  EXPECT_TRUE(again.Saw("Found 0 messages."));
  EXPECT_TRUE(again.stored.empty());
  EXPECT_EQ(again.outcome.statusLine.substr(0, 16), "No new messages.");

  // One more arrives: only it is fetched.
  dovecot_->AddMessage("alice", Message("second"));
  CheckHarness third(app);
  ASSERT_TRUE(third.Run(true));
  EXPECT_TRUE(third.Saw("Downloading message 4 of 4 (1 new)"));
  EXPECT_TRUE(third.Saw("Done.  Processed 4 messages (1 new)"));
  EXPECT_EQ(third.stored.size(), 1u);
  EXPECT_EQ(Inbox().size(), 4u);

  // The stored id is gone from the server: everything comes again, and the
  // message key catches every copy.
  app.WriteString("email", "IDLastMessageDownloaded", "no-such-id");
  CheckHarness fourth(app);
  ASSERT_TRUE(fourth.Run(true));
  EXPECT_TRUE(fourth.Saw("Found 4 messages."));
  EXPECT_EQ(std::count(fourth.statuses.begin(), fourth.statuses.end(),
                       "-- Duplicate Message Found in your Inbox"),
            4);
  EXPECT_TRUE(fourth.stored.empty());
  EXPECT_EQ(Inbox().size(), 4u);
}

TEST_F(MailCheckTest, DeleteFlagRemovesEveryFetchedMessageEvenDuplicates) {
  dovecot_->AddMessage("alice", Message("keep-1"));
  dovecot_->AddMessage("alice", Message("keep-2"));
  CheckHarness first(app);
  ASSERT_TRUE(first.Run(true));
  ASSERT_EQ(Inbox().size(), 2u);
  ASSERT_EQ(dovecot_->MessageCount("alice"), 2u);

  app.WriteInt("email", "delete-messages", 1);
  dovecot_->AddMessage("alice", Message("new-one"));
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 0);
  EXPECT_TRUE(h.Saw("Found 3 messages."));
  EXPECT_EQ(std::count(h.statuses.begin(), h.statuses.end(), "-- Removing from server"), 3);
  EXPECT_EQ(std::count(h.statuses.begin(), h.statuses.end(),
                       "-- Duplicate Message Found in your Inbox"),
            2);
  EXPECT_EQ(h.stored.size(), 1u);
  EXPECT_EQ(Inbox().size(), 3u);
  EXPECT_EQ(dovecot_->MessageCount("alice"), 0u);
}

TEST_F(MailCheckTest, LargeMessageIsStoredWholeAndExact) {
  std::string body;
  for (int i = 0; body.size() < 6 * 1024 * 1024; ++i) {
    body += "Line " + std::to_string(i) + " of a large message, " + std::string(60, 'x') + "\n";
    if (i % 1000 == 0) body += ".a line that starts with a dot\n";
  }
  dovecot_->AddMessage("alice", Message("large", body));
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true, 120));
  ASSERT_EQ(h.stored.size(), 1u);
  std::string stored = test::ReadFile(h.stored[0]);
  std::string expected = Message("large", body);
  std::string crlf;
  for (char c : expected) {
    if (c == '\n') crlf += '\r';
    crlf += c;
  }
  ASSERT_EQ(stored.size(), crlf.size() + 1);
  EXPECT_TRUE(stored.compare(0, crlf.size(), crlf) == 0);
  EXPECT_EQ(stored.back(), '.');
  EXPECT_TRUE(std::any_of(h.statuses.begin(), h.statuses.end(),
                          [](const std::string& s) { return s.find(" MB) ") != std::string::npos; }));
}

TEST_F(MailCheckTest, LoginFailuresEndTheAccountWithItsText) {
  app.WriteString("email", "pop3-pass", StoredPassword("wrong"));
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(false));
  EXPECT_EQ(h.result, 1);
  EXPECT_TRUE(h.Saw("Could not connect to 127.0.0.1"));
  ASSERT_EQ(h.questions.asked.size(), 1u);
  EXPECT_EQ(h.questions.asked[0].substr(0, 48), "Mail check failed|Could not connect to 127.0.0.1");
  EXPECT_NE(h.questions.asked[0].find("Do you want to check your mail settings?"), std::string::npos);
  EXPECT_NE(h.check.CheckLog().find("Account:alice\r\nCould not connect to 127.0.0.1"), std::string::npos);

  // Nobody listens on the port: silent, so no question.
  int closedPort = 1;  // a privileged port nothing listens on here
  app.WriteInt("email", "POP3Port", closedPort);
  CheckHarness silent(app);
  ASSERT_TRUE(silent.Run(true));
  EXPECT_EQ(silent.result, 1);
  EXPECT_TRUE(silent.Saw("Could not connect to 127.0.0.1"));
  EXPECT_TRUE(silent.questions.asked.empty());

  // A server name that cannot be one.
  app.WriteString("email", "pop3-server", "localhost");
  CheckHarness invalid(app);
  EXPECT_FALSE(invalid.Run(true));  // settings incomplete: no check at all
}

TEST_F(MailCheckTest, ExtraAccountsAreCheckedAndAnInactiveOneMakesNoConnection) {
  dovecot_->AddMessage("alice", Message("for-alice"));
  dovecot_->AddMessage("bob", Message("for-bob"));
  test::ScriptedPop3Server untouched("normal", {});
  std::string error;
  ASSERT_TRUE(untouched.Start(&error)) << error;
  app.WriteInt("email", "multipop1", 1);
  app.WriteString("email", "multipop1-account", "bob");
  app.WriteString("email", "multipop1-server", "127.0.0.1");
  app.WriteString("email", "multipop1-pass", StoredPassword("builder"));
  app.WriteInt("email", "multipop2", 0);
  app.WriteString("email", "multipop2-account", "carol");
  app.WriteString("email", "multipop2-server", "127.0.0.2");
  app.WriteString("email", "multipop2-pass", StoredPassword("x"));
  app.WriteInt("email", "multipop3", 1);
  app.WriteString("email", "multipop3-account", "bob");
  app.WriteString("email", "multipop3-server", "127.0.0.1");
  app.WriteString("email", "multipop3-pass", StoredPassword("not-his"));

  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 1);  // account 3 failed
  EXPECT_EQ(h.stored.size(), 2u);
  EXPECT_EQ(app.GetString("email", "LastMailCheck1", ""), "Successful");
  EXPECT_EQ(app.GetString("email", "LastMailCheck2", "never"), "never");
  EXPECT_EQ(app.GetString("email", "LastMailCheck3", ""), "Could not connect to 127.0.0.1");
  EXPECT_FALSE(app.GetString("email", "IDLastMessageDownloaded1", "").empty());
  EXPECT_TRUE(h.Saw("One or more email accounts failed."));
  EXPECT_TRUE(h.logShown);
  const std::string log = h.check.CheckLog();
  EXPECT_EQ(log.substr(0, 41), "Server: 127.0.0.1\r\nAccount:alice\r\nOK\r\n---");
  EXPECT_NE(log.find("Account:bob\r\nOK"), std::string::npos);
  EXPECT_EQ(log.find("carol"), std::string::npos);
  EXPECT_NE(log.find("\r\n\r\nLast Check:"), std::string::npos);
  EXPECT_TRUE(untouched.Commands().empty());
}

class ScriptedCheckTest : public MailCheckTest {
 protected:
  void Use(test::ScriptedPop3Server& server) {
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    Account("127.0.0.1", server.Port(), "user", "secret");
  }
};

TEST_F(ScriptedCheckTest, StalledServerIsEndedByTheWatchdogAndTheRunGoesOn) {
  // The main account stalls after logging in; extra account 1 on the same
  // server answers normally.
  test::ScriptedPop3Server server("stall-user", {Message("after-the-stall")});
  Use(server);
  app.WriteString("email", "pop3-account", "staller");
  app.WriteInt("email", "POP3Timeout", 2);
  app.WriteInt("email", "multipop1", 1);
  app.WriteString("email", "multipop1-account", "user");
  app.WriteString("email", "multipop1-server", "127.0.0.1");
  app.WriteString("email", "multipop1-pass", StoredPassword("secret"));
  CheckHarness h(app);
  auto start = Clock::now();
  ASSERT_TRUE(h.Run(true, 60));
  EXPECT_TRUE(h.Shown("POP session timed out")) << ::testing::PrintToString(h.lines);
  EXPECT_EQ(h.restarts, 1);
  EXPECT_LT(Clock::now() - start, std::chrono::seconds(30));
  EXPECT_FALSE(h.check.IsRunning());
  EXPECT_EQ(h.check.AccountIndex(), 0);
  // The resumed run went on with extra account 1 and fetched its message.
  EXPECT_EQ(h.stored.size(), 1u);
  EXPECT_EQ(Inbox().size(), 1u);
  EXPECT_EQ(app.GetString("email", "LastMailCheck1", ""), "Successful");
}

TEST_F(ScriptedCheckTest, ServerClosingInTheMiddleOfAMessageLeavesNoPartialMessage) {
  test::ScriptedPop3Server closing("close-mid-message", {Message("cut", std::string(50000, 'b') + "\n")});
  Use(closing);
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 1);
  EXPECT_TRUE(h.Saw("Error downloading/saving message 1"));
  EXPECT_TRUE(Inbox().empty());
  EXPECT_EQ(TempFiles(), 0u);
  EXPECT_EQ(app.GetString("email", "IDLastMessageDownloaded", "none"), "none");
}

TEST_F(ScriptedCheckTest, CancelStopsABlockedDownloadWithoutQuitOrPartialFiles) {
  test::ScriptedPop3Server stalling("stall-mid-message", {Message("stuck", std::string(80000, 'c') + "\n")});
  Use(stalling);
  app.WriteInt("email", "delete-messages", 1);
  CheckHarness h(app);
  ASSERT_TRUE(h.check.StartMailCheck(true));
  ASSERT_TRUE(stalling.WaitForCommand("RETR 1", 10000));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  auto start = Clock::now();
  h.check.CancelMailCheck();
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(1500));
  ASSERT_TRUE(h.WaitForEnd(10));
  EXPECT_EQ(h.result, 1);
  EXPECT_EQ(h.finishedMessages, 1);
  // Texts of the cancel are shown as they are; progress texts get "...".
  EXPECT_TRUE(h.Shown("* Connecting to 127.0.0.1 as user...")) << ::testing::PrintToString(h.lines);
  EXPECT_TRUE(h.Shown("Canceling..."));
  EXPECT_TRUE(h.Shown("E-mail check canceled"));
  EXPECT_FALSE(h.check.IsRunning());
  EXPECT_TRUE(Inbox().empty());
  EXPECT_EQ(TempFiles(), 0u);
  for (const auto& c : stalling.Commands()) {
    EXPECT_NE(c, "QUIT");  // this session's deletions must not be committed
    EXPECT_EQ(c.rfind("DELE", 0), std::string::npos);
  }
}

TEST_F(ScriptedCheckTest, RefusedUidlStartsAtTheFirstMessage) {
  // (One-letter subjects would share a key: a one-character text sums to 0.)
  test::ScriptedPop3Server server("no-uidl", {Message("alpha"), Message("beta")});
  Use(server);
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 0);
  EXPECT_TRUE(h.Saw("Found 2 messages."));
  EXPECT_EQ(Inbox().size(), 2u);
}

TEST_F(ScriptedCheckTest, MessageLongerThanItsListSizeIsStoredWhole) {
  std::string body;
  for (int i = 0; i < 2000; ++i) body += "row " + std::to_string(i) + "\n";
  test::ScriptedPop3Server server("oversize", {Message("big", body)});
  Use(server);
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  ASSERT_EQ(h.stored.size(), 1u);
  std::string stored = test::ReadFile(h.stored[0]);
  EXPECT_NE(stored.find("row 1999\r\n"), std::string::npos);
  EXPECT_EQ(stored.back(), '.');
}

TEST_F(ScriptedCheckTest, MissingPasswordIsAskedForAndCancelEndsTheRunSilently) {
  test::ScriptedPop3Server server("normal", {Message("a")});
  Use(server);
  app.WriteString("email", "pop3-pass", "?");
  CheckHarness h(app);
  h.prompt.answer = false;
  ASSERT_TRUE(h.check.StartMailCheck(true));
  auto until = Clock::now() + std::chrono::seconds(5);
  while (h.check.IsRunning() && Clock::now() < until) {
    platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(50));
  }
  platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(200));
  EXPECT_EQ(h.prompt.asked, 1);
  EXPECT_EQ(h.finishedMessages, 0);
  EXPECT_TRUE(server.Commands().empty());

  h.prompt.answer = true;
  h.prompt.remember = true;
  h.prompt.password = "secret";
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 0);
  EXPECT_EQ(PasswordFromStored(app.GetString("email", "pop3-pass", "")), "secret");
}

TEST_F(ScriptedCheckTest, SecondStartWhileRunningDoesNothing) {
  test::ScriptedPop3Server stalling("stall", {Message("x")});
  Use(stalling);
  CheckHarness h(app);
  ASSERT_TRUE(h.check.StartMailCheck(true));
  EXPECT_FALSE(h.check.StartMailCheck(true));
  h.check.CancelMailCheck();
  ASSERT_TRUE(h.WaitForEnd(10));
}

}  // namespace
}  // namespace vyr

// The mail check through its driver against Dovecot and misbehaving POP3 servers.
#include "mail/check/mail_check_driver.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <map>
#include <random>
#include <mutex>
#include <regex>
#include <thread>

#include "base/application.h"
#include "base/stoppable_worker.h"
#include "mail/check/mail_check_schedule.h"
#include "mail/check/startup_mail_check.h"
#include "mail/receive/mail_accounts.h"
#include "mail/store/mail_store.h"
#include "platform/file_times.h"
#include "tools/dovecot_server.h"
#include "tools/python_fixture.h"
#include "tools/test_certificates.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string Message(const std::string& subject, const std::string& body = "Hello.\n") {
  return "From: Sender <sender@mail.example>\nTo: alice@mail.example\nSubject: " + subject +
         "\nDate: Tue, 1 Dec 2026 10:00:00 +0000\nMessage-ID: <" + subject + "@mail.example>\n\n" + body;
}

using test::Crlf;

bool DispatchUntil(const std::function<bool()>& done, int seconds) {
  const auto until = Clock::now() + std::chrono::seconds(seconds);
  while (!done() && Clock::now() < until) {
    platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(100));
  }
  return done();
}

class CheckHarness : public MailCheckObserver {
 public:
  explicit CheckHarness(Application& app) : driver(app, *this), check(driver.Check()) {
    driver.SetPasswordPrompt(&prompt);
    driver.SetQuestions(&questions);
  }
  void MailCheckStatus(const std::string& text, bool progress) override {
    statuses.push_back(text);
    lines.push_back(ShownStatus(text, progress));
    events.push_back("status " + lines.back());
  }
  void MailStored(const std::string& path, int count) override {
    stored.push_back(path);
    events.push_back("stored " + std::to_string(count));
  }
  void MailFoldersChanged() override { events.push_back("folders"); }
  void MailCheckLogToShow() override { logShown = true; }
  void MailCheckFinished(const MailCheckEnd& e) override {
    end = e, finished = true, result = e.allWell ? 0 : 1, ++finishedMessages;
    events.push_back(std::string(e.allWell ? "end well " : "end failed ") + (e.cancelled ? "cancelled " : "") +
                     std::to_string(e.newCount) + ": " +
                     std::regex_replace(e.statusLine, std::regex("[0-9]{2}:[0-9]{2}:[0-9]{2}$"), "TIME"));
  }
  void NewMailArrived(int count) override { events.push_back("new mail " + std::to_string(count)); }
  bool InboxShown() const override { return true; }
  bool InForeground() const override { return false; }
  bool Run(bool silent) { return driver.Start(silent) && WaitForEnd(); }
  bool WaitForEnd(int seconds = 90) {
    return DispatchUntil([&] { return finished; }, seconds) && std::exchange(finished, false);
  }
  int Count(const std::string& status) const { return std::count(statuses.begin(), statuses.end(), status); }
  bool Saw(const std::string& status) const { return Count(status) > 0; }
  bool Shown(const std::string& line) const { return std::find(lines.begin(), lines.end(), line) != lines.end(); }
  struct Prompt : PasswordPrompt {
    bool answer = false;
    int asked = 0;
    bool AskPassword(const std::string&, const std::string&, std::string& pw, bool& remember) override {
      return ++asked, pw = "secret", remember = true, answer;
    }
  } prompt;
  struct Questions : MailCheckQuestions {
    std::vector<std::string> asked;
    bool AskToCheckSettings(const std::string& text, const std::string& title) override {
      return asked.push_back(title + "|" + text), false;
    }
    void OpenMailSettings() override {}
  } questions;
  MailCheckDriver driver;
  MailCheck& check;
  std::vector<std::string> statuses, lines, stored, events;
  bool finished = false, logShown = false;
  int result = -1, finishedMessages = 0;
  MailCheckEnd end;
};

class MailCheckTest : public ::testing::Test, protected test::TestApp {
 protected:
  static void SetUpTestSuite() {
    certDir_ = new test::TempDir();
    dovecot_ = new test::DovecotServer();
    if (!test::MakeTestCertificates(certDir_->Path(), "DNS:localhost", certs_, &startError_)) return;
    dovecot_->UseTls(certs_.certPem, certs_.keyPem);
    if (!dovecot_->Start(&startError_)) return;
    dovecot_->AddUser("alice", "wonderland");
    dovecot_->AddUser("bob", "builder");
  }
  static void TearDownTestSuite() {
    delete dovecot_;
    delete certDir_;
  }
  void SetUp() override {
    ASSERT_TRUE(startError_.empty()) << startError_;
    dovecot_->ClearMailbox("alice");
    dovecot_->ClearMailbox("bob");
    Account("", "127.0.0.1", "alice", "wonderland");
    app.WriteInt("email", "POP3Port", dovecot_->Port());
  }
  void Account(const std::string& tag, const std::string& server, const std::string& user, const std::string& pw) {
    const std::string prefix = tag.empty() ? "pop3" : "multipop" + tag;
    if (!tag.empty()) app.WriteInt("email", "multipop" + tag, 1);
    for (const auto& [key, value] : {std::pair("-server", server), std::pair("-account", user),
                                     std::pair("-pass", StoredPassword(pw))}) {
      app.WriteString("email", prefix + key, value);
    }
  }
  void Use(test::ScriptedPop3Server& server) {
    std::string error;
    ASSERT_TRUE(server.Start(&error)) << error;
    Account("", "127.0.0.1", "user", "secret");
    app.WriteInt("email", "POP3Port", server.Port());
  }
  size_t Files(const std::string& dir) {
    std::error_code ec;
    fs::directory_iterator it(home.File("vyrelle/" + dir), ec);
    return ec ? 0 : std::distance(it, fs::directory_iterator());
  }
  size_t InboxFiles() { return Files("email/Inbox"); }
  size_t TempFiles() { return Files("_TEMP"); }  // a download left behind
  static inline test::DovecotServer* dovecot_ = nullptr;
  static inline test::TempDir* certDir_ = nullptr;
  static inline test::TestCertificates certs_;
  static inline std::string startError_;
};

TEST_F(MailCheckTest, FetchesNewMailResumesAfterTheLastIdAndDeletesWhenAsked) {
  for (int i = 1; i <= 3; ++i) dovecot_->AddMessage("alice", Message("first-" + std::to_string(i)));
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.events, (std::vector<std::string>{
                          "status * Connecting to 127.0.0.1 as alice...",
                          "status Connected OK. Checking for new e-mail....",
                          "status Getting Message ID List...",
                          "status Found 3 messages....",
                          "status Downloading message 1 of 3...",
                          "stored 1",
                          "status Downloading message 2 of 3...",
                          "stored 2",
                          "status Downloading message 3 of 3...",
                          "stored 3",
                          "status Done.  Processed 3 messages...",
                          "folders",
                          "end well 3: You have 3 new e-mail messages! - Last Successful Mail Check: TIME",
                          "new mail 3",
                      }));
  EXPECT_EQ(h.end.notification, "You have 3 new e-mail messages\n\nDo you want to view your mailboxes?");
  ASSERT_EQ(h.stored.size(), 3u);
  for (const auto& path : h.stored) {
    EXPECT_TRUE(MailStore::IsUnread(path) && path.find("/Inbox/SX") != std::string::npos && test::ReadFile(path).back() == '.');
  }
  EXPECT_EQ(dovecot_->MessageCount("alice"), 3u);
  CheckHarness again(app);
  ASSERT_TRUE(again.Run(true));
  EXPECT_TRUE(again.Saw("Found 0 messages.") && again.stored.empty());
  EXPECT_EQ(again.events.back(), "end well 0: No new messages. - Last Successful Mail Check: TIME");
  std::string big;
  for (int i = 0; big.size() < 3000000; ++i) {
    big += (i % 11 == 0 ? ".." : "") + std::to_string(i) + std::string(i % 150, 'q') + "\n";
    if (i % 5000 == 0) big += std::string(12000, 'L') + "\n";
  }
  big += std::string(3200000 - Crlf(Message("second", big)).size() - 2, 'p') + "\n";
  dovecot_->AddMessage("alice", Message("second", big));
  CheckHarness third(app);
  ASSERT_TRUE(third.Run(true));
  EXPECT_TRUE(third.Saw("Downloading message 4 of 4 (1 new) (3.1 MB) ") &&
              third.Saw("Done.  Processed 4 messages (1 new)")) << testing::PrintToString(third.statuses);
  ASSERT_EQ(third.stored.size(), 1u);
  EXPECT_TRUE(test::ReadFile(third.stored[0]) == Crlf(Message("second", big)) + ".");
  app.WriteInt("email", "delete-messages", 1);
  dovecot_->AddMessage("alice", Message("third"));
  CheckHarness h5(app);
  ASSERT_TRUE(h5.Run(true));
  EXPECT_TRUE(h5.result == 0 && h5.Saw("Found 5 messages.") && h5.stored.size() == 1);
  EXPECT_EQ(std::make_pair(h5.Count("-- Removing from server"), h5.Count("-- Duplicate Message Found in your Inbox")),
            std::make_pair(5, 4));
  EXPECT_EQ(std::make_tuple(InboxFiles(), dovecot_->MessageCount("alice"), TempFiles()), std::make_tuple(5, 0, 0));
}

TEST_F(MailCheckTest, MessagesFetchedAgainStayUnreadAndLeaveNoTemporaryCopy) {
  test::ScriptedPop3Server server("no-uidl", {Message("alpha"), Message("beta")});
  Use(server);
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_TRUE(h.Saw("Found 2 messages."));
  ASSERT_EQ(h.stored.size(), 2u);
  const std::int64_t hourAgo = (std::time(nullptr) - 3600) * 1000000000LL;
  for (const auto& path : h.stored) ASSERT_TRUE(platform::SetFileTimes(path, {hourAgo, hourAgo}));
  CheckHarness again(app);
  ASSERT_TRUE(again.Run(true));
  EXPECT_TRUE(again.result == 0 && again.Count("-- Duplicate Message Found in your Inbox") == 2);
  for (const auto& path : h.stored) EXPECT_TRUE(MailStore::IsUnread(path)) << path;
  EXPECT_EQ(InboxFiles(), 2u);
  EXPECT_EQ(TempFiles(), 0u) << "a duplicate's download is not kept";
}

std::map<std::string, int> InboxContents(const std::string& inbox) {
  std::map<std::string, int> contents;
  for (const auto& e : fs::directory_iterator(inbox)) ++contents[test::ReadFile(e.path().string())];
  return contents;
}

TEST_F(MailCheckTest, LookAlikeMessagesAreStoredOnceEachHoweverManyShareAKey) {
  std::map<std::string, int> expected;
  for (int i = 1; i <= 1002; ++i) {
    const std::string m = Message("Disk alert", "Disk " + std::to_string(i == 1002 ? 1001 : i) + " is full.\n");
    dovecot_->AddMessage("alice", m);
    expected[Crlf(m) + "."] = 1;
  }
  ASSERT_EQ(expected.size(), 1001u);
  const std::string inbox = home.File("vyrelle/email/Inbox/");
  const std::string third = Crlf(Message("Disk alert", "Disk 3 is full.\n")) + ".";
  test::WriteFile(home.File("seed"), third);
  fs::create_directories(inbox);
  test::WriteFile(inbox + "S" + MailStore(app).MessageKey(home.File("seed")) + "~40.mail", third);
  CheckHarness h(app);
  ASSERT_TRUE(h.driver.Start(true) && h.WaitForEnd(400));
  EXPECT_EQ(h.result, 0) << h.check.StatusText();
  EXPECT_EQ(std::make_pair(h.stored.size(), h.Count("-- Duplicate Message Found in your Inbox")),
            std::make_pair(size_t{1000}, 2));
  EXPECT_TRUE(InboxContents(inbox) == expected) << InboxFiles() << " files";
  EXPECT_EQ(TempFiles(), 0u);
  CheckHarness again(app);
  ASSERT_TRUE(again.Run(true));
  EXPECT_TRUE(again.result == 0 && again.Saw("Found 0 messages.") && again.stored.empty());
}

TEST_F(MailCheckTest, ACheckKilledAnywhereLosesNothingAndStoresNothingTwice) {
  std::map<std::string, int> expected;
  for (int i = 1; i <= 200; ++i) {
    const std::string m = i % 2 ? Message("Report", "Report " + std::to_string(i > 180 ? i - 180 : i) + "\n")
                                : Message("note-" + std::to_string(i), std::string(i * 40, 'n') + "\n");
    dovecot_->AddMessage("alice", m);
    expected[Crlf(m) + "."] = 1;
  }
  ASSERT_EQ(expected.size(), 190u);
  app.WriteInt("email", "delete-messages", 1);
  const unsigned seed = static_cast<unsigned>(std::time(nullptr));
  std::mt19937 random(seed);
  auto runCheck = [&](int killAfterMs) {
    const std::string home = "VYRELLE_HOME=" + this->home.Path();
    char* argv[] = {const_cast<char*>(VYRELLE_CLI_PROGRAM), const_cast<char*>("mail"), const_cast<char*>("check"),
                    nullptr};
    char* envp[] = {const_cast<char*>(home.c_str()), nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv, envp);
    posix_spawn_file_actions_destroy(&quiet);
    if (spawned != 0) return -1;
    if (killAfterMs > 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(killAfterMs));
      ::kill(pid, SIGKILL);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  };
  for (int kill = 0; kill < 22; ++kill) {
    const int after = std::uniform_int_distribution<int>(30, 5500)(random);
    EXPECT_NE(runCheck(after), -1);
  }
  EXPECT_EQ(runCheck(0), 0) << "seed " << seed;
  const std::string inbox = home.File("vyrelle/email/Inbox/");
  EXPECT_TRUE(InboxContents(inbox) == expected) << "seed " << seed << ": " << InboxFiles() << " files";
  EXPECT_EQ(dovecot_->MessageCount("alice"), 0u);
  EXPECT_EQ(runCheck(0), 0);
  EXPECT_EQ(InboxFiles(), 190u);
}

TEST_F(MailCheckTest, FailedSessionsEndWithTheirTextAndNoWatchdog) {
  test::ScriptedPop3Server badStat("bad-stat", {Message("x")});
  test::ScriptedPop3Server closing("close-mid-message", {Message("cut", std::string(50000, 'b') + "\n")});
  test::ScriptedPop3Server stalling("stall-user", {Message("x")});
  const struct {
    const char* what;
    std::function<void()> setUp;
    bool silent;
    const char* status;
  } cases[] = {
      {"wrong password", [&] { app.WriteString("email", "pop3-pass", StoredPassword("wrong")); }, false,
       "Could not connect to 127.0.0.1"},
      {"a line end in the password", [&] { app.WriteString("email", "pop3-pass", StoredPassword("wonderland\r\nDELE 1")); },
       true, "Could not connect to 127.0.0.1"},
      {"nobody listens", [&] { app.WriteInt("email", "POP3Port", 1); }, true, "Could not connect to 127.0.0.1"},
      {"STAT refused", [&] { Use(badStat); }, true, "Could not read the mailbox on 127.0.0.1"},
      {"closed mid-message", [&] { Use(closing); }, true, "Error downloading/saving message 1"},
      {"STAT unanswered",
       [&] {
         Use(stalling);
         app.WriteString("email", "pop3-account", "staller");
         app.WriteInt("email", "POP3Timeout", 60);
       },
       true, "POP session timed out"},
  };
  for (const auto& c : cases) {
    app.WriteInt("email", "POP3Timeout", 1);
    c.setUp();
    CheckHarness h(app);
    ASSERT_TRUE(h.Run(c.silent)) << c.what;
    EXPECT_TRUE(h.result == 1 && h.check.StatusText() == c.status) << c.what << ": " << h.check.StatusText();
    EXPECT_FALSE(h.check.WatchdogArmed()) << c.what << ": a later time-out would cover the failure";
    h.check.WatchdogExpired();
    EXPECT_TRUE(h.check.AccountIndex() == 0 && h.questions.asked.size() == (c.silent ? 0u : 1u)) << c.what;
    EXPECT_NE(h.check.CheckLog().find(std::string("\r\n") + c.status), std::string::npos) << c.what;
    EXPECT_TRUE(InboxFiles() == 0 && TempFiles() == 0) << c.what;
  }
  EXPECT_EQ(app.GetString("email", "IDLastMessageDownloaded", "none"), "none");
  app.WriteString("email", "pop3-server", "?");
  CheckHarness invalid(app);
  EXPECT_FALSE(invalid.check.StartMailCheck(true) || invalid.check.StartMailCheck(false));
  EXPECT_EQ(invalid.questions.asked, std::vector<std::string>{"Setup Required|Your e-mail settings are incomplete or "
                                                              "invalid.\r\nChange them now ?"});
}

TEST_F(MailCheckTest, ExtraAccountsAreCheckedAndAnInactiveOneMakesNoConnection) {
  dovecot_->AddMessage("alice", Message("for-alice"));
  dovecot_->AddMessage("bob", Message("for-bob"));
  Account("1", "127.0.0.1", "bob", "builder");
  Account("2", "127.0.0.2", "carol", "x");
  app.WriteInt("email", "multipop2", 0);
  Account("3", "127.0.0.1", "bob", "not-his");
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_TRUE(h.result == 1 && h.stored.size() == 2);
  EXPECT_EQ(app.GetString("email", "LastMailCheck1", "") + "|" + app.GetString("email", "LastMailCheck2", "never") + "|" +
                app.GetString("email", "LastMailCheck3", ""),
            "Successful|never|Could not connect to 127.0.0.1");
  EXPECT_FALSE(app.GetString("email", "IDLastMessageDownloaded1", "").empty());
  EXPECT_TRUE(h.Saw("One or more email accounts failed.") && h.logShown);
  const std::string log = h.check.CheckLog();
  EXPECT_EQ(log.substr(0, 41), "Server: 127.0.0.1\r\nAccount:alice\r\nOK\r\n---");
  EXPECT_TRUE(log.find("Account:bob\r\nOK") != std::string::npos && log.find("carol") == std::string::npos &&
              log.find("\r\n\r\nLast Check:") != std::string::npos) << log;
}

TEST_F(MailCheckTest, TheWatchdogEndsOnlyASessionThatStopsReceiving) {
  std::vector<std::string> box;
  for (int i = 1; i <= 8; ++i) box.push_back(Message("m" + std::to_string(i)));
  test::ScriptedPop3Server slow("slow-uidl", box);
  Use(slow);
  app.WriteInt("email", "POP3Timeout", 1);
  app.WriteString("email", "IDLastMessageDownloaded", "uid-8");
  CheckHarness listing(app);
  ASSERT_TRUE(listing.Run(true));
  EXPECT_TRUE(listing.result == 0 && !listing.Saw("POP session timed out") && listing.Saw("Found 0 messages."));
  test::ScriptedPop3Server server("stall-user", {Message("after-the-stall")});
  Use(server);
  app.WriteString("email", "pop3-account", "staller");
  Account("1", "127.0.0.1", "user", "secret");
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_TRUE(h.Shown("POP session timed out")) << testing::PrintToString(h.lines);
  const auto timedOut = std::find(h.statuses.begin(), h.statuses.end(), "POP session timed out");
  const auto resumed = std::find_if(timedOut, h.statuses.end(),
                                    [](const std::string& t) { return t.rfind("* Connecting to", 0) == 0; });
  ASSERT_NE(resumed, h.statuses.end()) << testing::PrintToString(h.statuses);
  EXPECT_TRUE(std::all_of(timedOut, resumed, [](const std::string& t) { return t == "POP session timed out"; }))
      << testing::PrintToString(h.statuses);
  EXPECT_TRUE(h.finishedMessages == 1 && h.check.AccountIndex() == 0);
  EXPECT_EQ(h.stored.size(), 1u);
  EXPECT_EQ(app.GetString("email", "LastMailCheck1", ""), "Successful");
}

TEST_F(MailCheckTest, AnUnansweredUidlIsFollowedByANewSessionWithoutIt) {
  test::ScriptedPop3Server server("late-uidl", {Message("alpha"), Message("beta")});
  Use(server);
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_EQ(h.result, 0) << testing::PrintToString(h.statuses);
  ASSERT_EQ(h.stored.size(), 2u);
  const std::string both = test::ReadFile(h.stored[0]) + test::ReadFile(h.stored[1]);
  EXPECT_TRUE(both.rfind("From: Sender", 0) == 0 && both.find("Subject: alpha\r\n") != std::string::npos &&
              both.find("Subject: beta\r\n") != std::string::npos) << both.substr(0, 80);
  const auto commands = server.Commands();
  EXPECT_EQ(std::make_pair(std::count(commands.begin(), commands.end(), "UIDL"),
                           std::count(commands.begin(), commands.end(), "USER user")),
            std::make_pair(1L, 2L));
  EXPECT_EQ(app.GetString("email", "IDLastMessageDownloaded", "none"), "none");
}

TEST_F(MailCheckTest, CancelDuringAnExtraAccountEndsTheRun) {
  test::ScriptedPop3Server stalling("stall-mid-message", {Message("stuck", std::string(80000, 'c') + "\n")});
  std::string error;
  ASSERT_TRUE(stalling.Start(&error)) << error;
  app.WriteInt("email", "POP3Port", stalling.Port());
  Account("", "127.0.0.1", "user", "wrong");
  Account("1", "127.0.0.1", "user", "secret");
  app.WriteInt("email", "multipop1-delete-messages", 1);
  CheckHarness h(app);
  ASSERT_TRUE(h.driver.Start(true));
  ASSERT_TRUE(stalling.WaitForCommand("RETR 1", 10000));
  EXPECT_FALSE(h.driver.Start(true) || h.check.StartMailCheck(true)) << "a second start while one runs does nothing";
  h.driver.Cancel();
  EXPECT_TRUE(h.driver.IsRunning() && h.finishedMessages == 0) << "the end comes as a message, after Cancel";
  ASSERT_TRUE(h.WaitForEnd());
  EXPECT_EQ(h.check.AccountIndex(), 0) << "the user's Cancel is not resumed like a time-out";
  EXPECT_TRUE(h.result == 1 && h.end.cancelled && h.finishedMessages == 1 && !h.driver.IsRunning());
  EXPECT_TRUE(h.Shown("* Connecting to 127.0.0.1 as user...")) << testing::PrintToString(h.lines);
  EXPECT_TRUE(h.Shown("Canceling...") && h.Shown("E-mail check canceled"));
  EXPECT_TRUE(InboxFiles() == 0 && TempFiles() == 0);
  for (const auto& c : stalling.Commands()) {
    EXPECT_TRUE(c.rfind("DELE", 0) != 0 && c != "QUIT") << c << ": this session's deletions stay uncommitted";
  }
}

TEST_F(MailCheckTest, CancelNeverWaitsForAWorkerHeldInAQuestion) {
  struct HeldPrompt : PasswordPrompt {
    std::mutex mutex;
    std::condition_variable changed;
    bool asked = false;
    std::atomic<bool> answered = false;
    bool AskPassword(const std::string&, const std::string&, std::string&, bool&) override {
      std::unique_lock<std::mutex> lock(mutex);
      asked = true;
      changed.notify_all();
      changed.wait(lock, [&] { return answered.load(); });
      return false;
    }
    void Answer() {
      std::lock_guard<std::mutex> lock(mutex);
      answered = true;
      changed.notify_all();
    }
    bool WaitAsked() {
      std::unique_lock<std::mutex> lock(mutex);
      return changed.wait_for(lock, std::chrono::seconds(30), [&] { return asked; });
    }
  };
  const struct {
    const char* what;
    int answerAfterMs;
  } cases[] = {{"answered after the Cancel", 300}, {"answered after the end", -1}};
  app.WriteString("email", "pop3-pass", "?");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    HeldPrompt prompt;
    CheckHarness h(app);
    h.driver.SetPasswordPrompt(&prompt);
    ASSERT_TRUE(h.driver.Start(false));
    ASSERT_TRUE(prompt.WaitAsked());
    std::thread answer;
    if (c.answerAfterMs >= 0) {
      answer = std::thread([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(c.answerAfterMs));
        prompt.Answer();
      });
    }
    h.driver.Cancel();
    EXPECT_FALSE(prompt.answered.load()) << "Cancel waited for the worker";
    EXPECT_EQ(h.finishedMessages, 0);
    ASSERT_TRUE(h.WaitForEnd(30));
    EXPECT_EQ(prompt.answered.load(), c.answerAfterMs >= 0);
    if (answer.joinable()) answer.join();
    prompt.Answer();
    ASSERT_TRUE(WorkerThreads::WaitUntilNoneRun(std::chrono::seconds(30)));
    platform::WindowMessages::Instance().DispatchPending();
    EXPECT_EQ(h.lines, (std::vector<std::string>{"Canceling...", "E-mail check canceled"}));
    EXPECT_TRUE(h.end.cancelled && h.finishedMessages == 1 && !h.driver.IsRunning() && h.check.AccountIndex() == 0);
  }
}

TEST_F(MailCheckTest, OneCheckRunsAtATimeInTheWholeProcess) {
  dovecot_->AddMessage("alice", Message("once"));
  std::vector<std::string> startupStatus;
  StartupMailCheck startup(app, [&](const std::string& text) { startupStatus.push_back(text); });
  CheckHarness window(app);
  ASSERT_TRUE(startup.Start());
  EXPECT_FALSE(window.driver.Start(false));
  EXPECT_TRUE(MailCheckDriver::AnyRunning());
  ASSERT_TRUE(DispatchUntil([&] { return !startup.IsRunning(); }, 60));
  EXPECT_FALSE(MailCheckDriver::AnyRunning());
  EXPECT_EQ(InboxFiles(), 1u);
  EXPECT_EQ(startupStatus.back().rfind("You have 1 new e-mail message in your Inbox!", 0), 0u)
      << testing::PrintToString(startupStatus);
  ASSERT_TRUE(window.driver.Start(true));
  EXPECT_FALSE(startup.Start());
  ASSERT_TRUE(window.WaitForEnd());
  EXPECT_TRUE(window.stored.empty() && !MailCheckDriver::AnyRunning());
  EXPECT_TRUE(startup.Start());
}

TEST(MailCheckScheduleTest, AutomaticChecksFollowThePeriodOnlineWithMailOn) {
  const struct {
    const char* what;
    int period, useMail;
    const char* ticks;
    const char* due;
  } cases[] = {
      {"no period", 0, 1, "++++", "...."},
      {"every two minutes", 2, 1, "++++++", ".C.C.C"},
      {"unset switch reads as on", 1, -1, "+++", "CCC"},
      {"mail off", 1, 0, "+++", "..."},
      {"offline keeps the count", 2, 1, "++--+", ".C..C"},
      {"a user's check starts the count again", 3, 1, "++S+++", ".....C"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    test::TestApp t;
    t.app.WriteInt("email", "MinutesBetweenChecks", c.period);
    if (c.useMail >= 0) t.app.WriteInt("email", "UseVyrMail", c.useMail);
    MailCheckSchedule schedule(t.app);
    std::string due;
    for (const char* tick = c.ticks; *tick; ++tick) {
      if (*tick == 'S') {
        schedule.CheckStarted();
        due += '.';
        continue;
      }
      due += schedule.MinutePassed(*tick == '+') ? 'C' : '.';
    }
    EXPECT_EQ(due, c.due);
  }
}

TEST_F(MailCheckTest, MissingPasswordIsAskedForOrSkippedWithNobodyToAsk) {
  test::ScriptedPop3Server server("normal", {Message("a")});
  Use(server);
  app.WriteString("email", "pop3-pass", "?");
  CheckHarness h(app);
  ASSERT_TRUE(h.Run(true));
  EXPECT_TRUE(h.prompt.asked == 1 && h.end.cancelled && server.Commands().empty());
  EXPECT_EQ(h.lines, std::vector<std::string>{"E-mail check canceled"});
  h.prompt.answer = true;
  ASSERT_TRUE(h.Run(true) && h.result == 0);
  EXPECT_EQ(PasswordFromStored(app.GetString("email", "pop3-pass", "")), "secret");
  app.WriteString("email", "pop3-pass", "?");
  Account("1", "127.0.0.1", "user", "secret");
  CheckHarness quiet(app);
  quiet.check.SetPasswordPrompt(nullptr);
  ASSERT_TRUE(quiet.Run(true) && quiet.result == 0);
  EXPECT_EQ(quiet.check.CheckLog(), "\r\n----------------------\r\nServer: 127.0.0.1\r\nAccount:user\r\nOK");
}

TEST_F(MailCheckTest, SecuredSessionsFetchAndRefuseWhatTheyCannotTrust) {
  test::ScriptedPop3Server noStls("normal", {});
  std::string error;
  ASSERT_TRUE(noStls.Start(&error)) << error;
  const struct {
    const char* name;
    int security, port;
    std::string server, trustFile;
    size_t stored;
    std::string status;
  } cases[] = {
      {"STLS", 1, dovecot_->Port(), "localhost", certs_.caPem, 1, "Done.  Processed 1 messages"},
      {"TLS at once", 2, dovecot_->TlsPort(), "localhost", certs_.caPem, 1, "Done.  Processed 1 messages"},
      {"wrong name", 2, dovecot_->TlsPort(), "127.0.0.1", certs_.caPem, 0,
       "Secure connection to 127.0.0.1 failed: IP address mismatch"},
      {"untrusted", 1, dovecot_->Port(), "localhost", "", 0,
       "Secure connection to localhost failed: unable to get local issuer certificate"},
      {"no STLS", 1, noStls.Port(), "127.0.0.1", certs_.caPem, 0,
       "127.0.0.1 does not offer a secure connection (STLS); the password was not sent"},
      {"security 3", 3, noStls.Port(), "127.0.0.1", certs_.caPem, 0,
       "127.0.0.1: the security setting is none of 0 (none), 1 (STARTTLS) or 2 (TLS); nothing was sent"},
  };
  app.WriteInt("email", "delete-messages", 1);
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    dovecot_->ClearMailbox("alice");
    dovecot_->AddMessage("alice", Message(std::string("secured-") + std::to_string(&k - cases)));
    Account("", k.server, "alice", "wonderland");
    app.WriteString("email", "TLSTrustFile", k.trustFile);
    app.WriteInt("email", "POP3Port", k.port);
    app.WriteInt("email", "POP3Security", k.security);
    CheckHarness h(app);
    ASSERT_TRUE(h.Run(true));
    EXPECT_EQ(h.stored.size(), k.stored);
    EXPECT_TRUE(h.Saw(k.status)) << testing::PrintToString(h.statuses);
  }
  for (const std::string& command : noStls.Commands()) {
    EXPECT_TRUE(command.rfind("USER", 0) != 0 && command.rfind("PASS", 0) != 0) << command;
  }
  EXPECT_FALSE(noStls.Commands().empty());
}

}  // namespace
}  // namespace vyr

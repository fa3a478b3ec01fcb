#include "mail/receive/mail_check.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>

#include "base/application.h"
#include "base/text_trim.h"
#include "mail/receive/mail_accounts.h"
#include "mail/store/mail_store.h"
#include "mail/receive/pop3_client.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/tick_count.h"

namespace vyr {

using platform::WindowHandle;

namespace {

// Status texts of a session that asked for security and did not get it.
constexpr platform::TextId kNoStartTlsText{40151};
// The status a session ends with when the server stopped answering.
constexpr char kTimedOutText[] = "POP session timed out";

// A server setting that can be connected to. A name without a dot
// ("localhost", a host of the local network) is one; an unset one, or one
// holding a blank, is not.
bool UsableServer(const std::string& server) {
  return !server.empty() && server != kUnsetText && server.find_first_of(" \t\r\n") == std::string::npos;
}

std::string Format(const char* pattern, const std::string& a) {
  char text[1024];
  std::snprintf(text, sizeof text, pattern, a.c_str());
  return text;
}

std::string Format(const char* pattern, const std::string& a, const std::string& b) {
  char text[1024];
  std::snprintf(text, sizeof text, pattern, a.c_str(), b.c_str());
  return text;
}

std::string Format(const char* pattern, long a, long b = 0) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, a, b);
  return text;
}

std::string TimeNow() {
  char text[64];
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  std::strftime(text, sizeof text, "%X", &local);
  return text;
}

std::string NewMessagesText(int count) {
  return count == 1 ? "You have 1 new e-mail message" : Format("You have %ld new e-mail messages", count);
}

// Stops a session that makes no progress: armed by every cancel check that
// asks for it, it calls back once the period passes without a new check.
class Watchdog {
 public:
  explicit Watchdog(std::function<void()> expired) : expired_(std::move(expired)) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Watchdog() { Stop(); }
  // Ends the watchdog's thread; later Arm and Disarm calls change nothing.
  void Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
  }
  void Arm(int ms) {
    bool wasArmed;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      wasArmed = armed_;
      armed_ = true;
      deadline_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    }
    // Re-arming only moves the deadline later: the watchdog wakes at the old
    // one, sees the new one and waits again, so it need not be woken for
    // every line of a download.
    if (!wasArmed) wake_.notify_all();
  }
  void Disarm() {
    std::lock_guard<std::mutex> lock(mutex_);
    armed_ = false;
  }
  bool Armed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return armed_;
  }

 private:
  void Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_) {
      if (!armed_) {
        wake_.wait(lock);
        continue;
      }
      if (wake_.wait_until(lock, deadline_) == std::cv_status::timeout && armed_ && !stop_ &&
          std::chrono::steady_clock::now() >= deadline_) {
        armed_ = false;
        lock.unlock();
        expired_();
        lock.lock();
      }
    }
  }

  std::function<void()> expired_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool armed_ = false, stop_ = false;
  std::chrono::steady_clock::time_point deadline_;
  std::thread thread_;
};

}  // namespace

// One run's own controls: a forgotten worker keeps its cancelled controls,
// so a new run can never revive it.
struct RunControl {
  std::atomic<bool> cancel{false};
  std::atomic<bool> running{true};
  std::mutex mutex;
  MailConnection* connection = nullptr;  // the session in progress, for Abort
  std::uint64_t generation = 0;
};

struct MailCheck::State {
  State(Application& a, WindowHandle w) : app(a), window(w) {}

  Application& app;
  const WindowHandle window;
  std::atomic<int> accountIndex{0};
  std::atomic<bool> silent{false};
  std::atomic<std::uint64_t> generation{0};  // messages of older runs are dropped

  mutable std::mutex mutex;
  std::string status;
  std::string log;
  std::shared_ptr<RunControl> run;
  std::thread worker;
  PasswordPrompt* prompt = nullptr;
  MailCheckQuestions* questions = nullptr;
  OutboxSender* outbox = nullptr;
  std::function<bool()> loaderRunning;
  int newCount = 0;
  int previousNewCount = 0;
  bool runWasSilent = false;

  std::mutex cancelMutex;
  std::unique_ptr<Watchdog> watchdog;

  // Posting from the run with the given generation; dropped once that run
  // has been forgotten.
  void Post(std::uint64_t gen, std::uint32_t msg, platform::LParam l = 0) {
    if (gen == generation.load()) platform::WindowMessages::Instance().PostMessage(window, msg, 0, l);
  }
  void PostText(std::uint64_t gen, std::uint32_t msg, const std::string& text,
                platform::WParam w = 0) {
    if (gen == generation.load()) platform::WindowMessages::Instance().PostMessage(window, msg, text, w);
  }
  // asGiven: the window shows the text as it is rather than followed by "...".
  void PostStatus(std::uint64_t gen, const std::string& text, bool asGiven = false) {
    if (gen != generation.load()) return;
    {
      std::lock_guard<std::mutex> lock(mutex);
      status = text;
    }
    PostText(gen, kMsgMailStatus, text, asGiven ? kStatusShownAsGiven : 0);
  }
  void AppendLog(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex);
    log += text;
  }
  std::string Status() const {
    std::lock_guard<std::mutex> lock(mutex);
    return status;
  }
  int TimeoutMs() const {
    int seconds = app.Get(kEmailPop3Timeout);
    return (seconds > 0 ? seconds : kEmailPop3Timeout.defaultValue) * 1000;
  }
};

namespace {

// The worker's view of one run.
class CheckRun : public Pop3Progress {
 public:
  CheckRun(std::shared_ptr<MailCheck::State> state, std::shared_ptr<RunControl> control)
      : s_(std::move(state)),
        c_(std::move(control)),
        gen_(c_->generation),
        store_(s_->app),
        timeoutMs_(s_->TimeoutMs()) {}

  void CheckAllAccounts();

  // Pop3Progress
  bool CancelCheck(const std::string& text, bool rearm) override {
    if (c_->cancel) {
      Watch(false);
      if (gen_ == s_->generation.load()) {
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->status = "E-mail check canceled";
      }
      return true;
    }
    if (gen_ == s_->generation.load()) {
      std::lock_guard<std::mutex> lock(s_->mutex);
      if (s_->status != text) s_->status = text;
    }
    // Re-arming moves the deadline; the watchdog is stopped otherwise.
    Watch(rearm);
    return false;
  }
  bool LineReceived() override {
    if (c_->cancel) return true;
    Watch(true);
    return false;
  }
  std::string StatusText() override { return s_->Status() + "..."; }
  // Once the run is cancelled (by the user or the watchdog) the session's
  // failures are only the cancel's echo: the canceller's text stands.
  void PostStatus(const std::string& text) override {
    if (!c_->cancel) s_->PostStatus(gen_, text);
  }

 private:
  int CheckAccount(const std::string& tag, const std::string& server, const std::string& user,
                   const std::string& password, const std::string& lastId, bool deleteFlag);
  bool AskPassword(const std::string& account, const std::string& server, std::string& password,
                   const SettingMember<StringSetting>& passwordSetting);
  platform::MoveResult StoreInInbox(const std::string& tempFile, const std::string& inbox,
                                    std::string& target);
  // Arms (moves the deadline of) or stops the watchdog; a forgotten run
  // leaves the watchdog of the runs after it alone.
  void Watch(bool arm) {
    if (gen_ != s_->generation.load()) return;
    if (arm) {
      s_->watchdog->Arm(timeoutMs_);
    } else {
      s_->watchdog->Disarm();
    }
  }
  // Logs in and reads the message count; false (with the status text set)
  // when the session could not be opened.
  bool OpenSession(Pop3Client& pop, const std::string& server, const std::string& user,
                   const std::string& password, int& count);
  void Attach(MailConnection* connection) {
    std::lock_guard<std::mutex> lock(c_->mutex);
    c_->connection = connection;
    if (connection && c_->cancel) connection->Abort();
  }
  void Finish(long result) {
    s_->Post(gen_, kMsgMailFoldersChanged);
    c_->running = false;
    s_->Post(gen_, kMsgMailCheckFinished, result);
  }

  std::shared_ptr<MailCheck::State> s_;
  std::shared_ptr<RunControl> c_;
  const std::uint64_t gen_;
  MailStore store_;
  // "POP3Timeout", read once per run: the watchdog is re-armed after every
  // line of a download.
  const int timeoutMs_;
};

bool CheckRun::AskPassword(const std::string& account, const std::string& server,
                           std::string& password, const SettingMember<StringSetting>& passwordSetting) {
  s_->silent = false;
  bool remember = false;
  if (!s_->prompt || !s_->prompt->AskPassword(account, server, password, remember)) return false;
  if (remember) s_->app.Write(passwordSetting, StoredPassword(password));
  return true;
}

void CheckRun::CheckAllAccounts() {
  Application& app = s_->app;
  std::string password = PasswordFromStored(app.Get(kEmailPop3Password));
  std::string account = app.Get(kEmailPop3Account);
  std::string server = app.Get(kEmailPop3Server);
  bool deleteFlag = app.Get(kEmailDeleteMessages) == 1;
  std::string lastId = app.Get(kEmailLastMessageId);

  while (s_->loaderRunning && s_->loaderRunning() && !c_->cancel) platform::SleepMs(100);

  bool success = false, failure = false, extraChecked = false;
  // With nobody to ask (the start-up check runs before any mail window), an
  // account without a stored password is left out of the run quietly.
  const bool canAsk = s_->prompt != nullptr;
  if (s_->accountIndex == 0 && password.empty() && !canAsk) {
    // Nothing noted for the main account; the extra accounts follow.
  } else if (s_->accountIndex == 0) {
    if (password.empty() && !AskPassword(account, server, password, kEmailPop3Password)) {
      c_->running = false;  // the user cancelled: the run ends without a finished message
      return;
    }
    s_->AppendLog("Server: " + server + "\r\nAccount:" + account + "\r\n");
    int r = CheckAccount("", server, account, password, lastId, deleteFlag);
    if (c_->cancel) {
      c_->running = false;
      return;
    }
    if (r == 0) {
      s_->AppendLog("OK");
      success = true;
    } else {
      s_->AppendLog(s_->Status());
      failure = true;
    }
  } else {
    success = failure = true;  // a run resumed after a stalled account
  }

  for (int n = std::max(s_->accountIndex.load(), 1); n <= kExtraAccounts; ++n) {
    if (gen_ == s_->generation.load()) s_->accountIndex = n;
    const std::string tag = std::to_string(n);
    std::string pw = PasswordFromStored(app.Get(kEmailExtraPassword.At(n)));
    std::string user = app.Get(kEmailExtraAccount.At(n));
    std::string host = app.Get(kEmailExtraServer.At(n));
    bool del = app.Get(kEmailExtraDeleteMessages.At(n)) == 1;
    std::string last = app.Get(kEmailExtraLastMessageId.At(n));
    if (!app.IsOn(kEmailExtraActive.At(n))) continue;
    if (pw.empty() && !canAsk) continue;
    if (pw.empty() && !AskPassword(user, host, pw, kEmailExtraPassword.At(n))) {
      c_->running = false;
      return;
    }
    s_->AppendLog("\r\n----------------------\r\nServer: " + host + "\r\nAccount:" + user + "\r\n");
    extraChecked = true;
    int r = CheckAccount(tag, host, user, pw, last, del);
    if (c_->cancel) {
      c_->running = false;
      return;
    }
    if (r == 0) {
      app.Write(kEmailExtraLastCheck.At(n), "Successful");
      s_->AppendLog("OK");
      success = true;
    } else {
      std::string status = s_->Status();
      s_->AppendLog(status);
      app.Write(kEmailExtraLastCheck.At(n), status);
      failure = true;
    }
  }
  if (gen_ == s_->generation.load()) s_->accountIndex = 0;

  if (!success) {
    std::string status = s_->Status();
    s_->PostStatus(gen_, status.empty() ? "Idle" : status);
    Finish(1);
    return;
  }
  Watch(false);
  if (c_->cancel) {
    c_->running = false;
    return;
  }
  int sent = s_->outbox ? s_->outbox->SendOutbox() : 0;
  if (c_->cancel) {
    c_->running = false;
    return;
  }
  if (sent != 0) {
    Finish(1);
  } else if (!failure) {
    Finish(0);
  } else {
    if (extraChecked) {
      s_->PostStatus(gen_, "One or more email accounts failed.");
      s_->AppendLog("\r\n\r\nLast Check:" + TimeNow() + "\r\n");
      s_->Post(gen_, kMsgMailShowCheckLog);
    }
    Finish(1);
  }
}

// Moves a downloaded message into Inbox under "S<key>.mail". The key is a
// weak checksum of a few header lines, so two different messages can share
// it: a file already stored under the name counts as a duplicate only when
// it holds the same bytes; a different message takes the next free name
// "S<key>~2.mail", "S<key>~3.mail", ... so that it is never dropped. The
// stored copy is read with its times put back (an unread message stays
// unread), and a duplicate's download is removed from "_TEMP": the stored
// copy holds the same bytes.
platform::MoveResult CheckRun::StoreInInbox(const std::string& tempFile, const std::string& inbox,
                                            std::string& target) {
  const std::string key = store_.MessageKey(tempFile);
  std::lock_guard<std::mutex> lock(s_->app.MailLock());
  std::string downloaded;
  bool downloadRead = false;
  for (int n = 1; n <= 1000; ++n) {
    target = inbox + "S" + key + (n == 1 ? std::string() : "~" + std::to_string(n)) + ".mail";
    platform::MoveResult moved = platform::MoveFileNoReplace(tempFile, target);
    if (moved != platform::MoveResult::TargetExists) return moved;
    if (!downloadRead) downloadRead = platform::ReadWholeFile(tempFile, downloaded);
    std::string stored;
    if (downloadRead && store_.ReadWholeMessage(target, stored) && stored == downloaded) {
      std::remove(tempFile.c_str());
      return moved;
    }
  }
  return platform::MoveResult::Failed;
}

bool CheckRun::OpenSession(Pop3Client& pop, const std::string& server, const std::string& user,
                           const std::string& password, int& count) {
  const Pop3Login login = pop.Login(server, user, password);
  if (login != Pop3Login::kOk) {
    // A refused secure connection says so; every other failure is one to connect.
    std::string failed;
    bool securityFailed = false;
    switch (login) {
      case Pop3Login::kOk:  // (not here)
      case Pop3Login::kUnknownServer:
      case Pop3Login::kNoConnection:
      case Pop3Login::kUserRefused:
      case Pop3Login::kPasswordRefused:
        failed = Format("Could not connect to %s", server);
        break;
      case Pop3Login::kNoStartTls:
        failed = Format(kNoStartTlsText.Text().c_str(), server);
        securityFailed = true;
        break;
      case Pop3Login::kTlsFailed:
        failed = Format(kTlsFailedText.Text().c_str(), server, pop.TlsError());
        securityFailed = true;
        break;
    }
    PostStatus(failed);
    if (c_->cancel) {
      pop.Quit();
      return false;
    }
    // The question may wait for the user far longer than the watchdog's
    // period: nothing is on the wire meanwhile.
    Watch(false);
    if (!s_->silent && s_->questions) {
      std::string text = (securityFailed ? failed + "\n"
                                     : Format("Could not connect to %s\n%s\n", server, TrimBlanks(pop.LastReply()))) +
                         "Do you want to check your mail settings?";
      if (s_->questions->AskToCheckSettings(text, "Mail check failed")) s_->questions->OpenMailSettings();
    }
    PostStatus(failed);
    return false;
  }

  PostStatus("Connected OK. Checking for new e-mail.");
  if (CancelCheck(s_->Status(), true)) {
    pop.Quit();
    return false;
  }
  if (pop.Stat(count) != Pop3Reply::kOk) {
    // Without the message count nothing can be fetched; saying "Done" here
    // would report a broken session as a good one.
    if (pop.ReadTimedOut()) {
      // No QUIT to wait another while for: the server stopped answering.
      PostStatus(kTimedOutText);
      pop.Close();
    } else {
      PostStatus(Format("Could not read the mailbox on %s", server));
      pop.Quit();
    }
    return false;
  }
  return true;
}

int CheckRun::CheckAccount(const std::string& tag, const std::string& server,
                           const std::string& user, const std::string& password,
                           const std::string& lastId, bool deleteFlag) {
  Application& app = s_->app;
  const std::string inbox = store_.FolderPath("Inbox", true);
  const std::string temp = store_.TempDirectory();
  if (!UsableServer(server)) {
    // Nothing can be fetched from such a server: the account counts as
    // failed rather than as checked.
    PostStatus(Format("Invalid POP Server [%s]", server));
    return 1;
  }
  if (inbox.empty() || temp.empty()) {
    PostStatus("Error creating email directory");
    return 1;
  }
  // However the session ends, the watchdog ends with it: a failure must
  // not be followed by a time-out that overwrites its text and skips an
  // account.
  struct Unwatch {
    CheckRun* run;
    ~Unwatch() { run->Watch(false); }
  } unwatch{this};
  CancelCheck("", true);
  PostStatus(Format("* Connecting to %s as %s", server, user));

  // Security per account; TLS from the first byte moves the default port.
  const int security = app.Get(OfAccount(tag, kEmailPop3Security, kEmailExtraSecurity));
  Pop3Client pop(static_cast<std::uint16_t>(
      app.GetOr(kEmailPop3Port, security == kSecurityTls ? 995 : kEmailPop3Port.defaultValue)));
  pop.SetSecurity(security, app.Get(kEmailTlsTrustFile));
  Attach(&pop);
  struct Detach {
    CheckRun* run;
    ~Detach() { run->Attach(nullptr); }
  } detach{this};

  int count = 0;
  if (!OpenSession(pop, server, user, password, count)) return 1;
  int first = 1;
  if (!deleteFlag) {
    PostStatus("Getting Message ID List");
    first = pop.Uidl(lastId, this);
    if (first < 1) first = 1;
    if (pop.OutOfStep() && !c_->cancel) {
      // UIDL got no answer in time: its late reply would be read as the
      // answer to LIST or RETR. A new session without UIDL starts in step;
      // every message is fetched and the message key catches the copies
      // stored before.
      pop.Quit();
      if (!OpenSession(pop, server, user, password, count)) return 1;
      first = 1;
    }
  }
  if (CancelCheck(s_->Status(), true)) {
    pop.Quit();
    return 1;
  }
  const int toFetch = count - first + 1 > 0 ? count - first + 1 : 0;
  PostStatus(Format("Found %ld messages.", toFetch));

  for (int i = first; i <= count; ++i) {
    if (CancelCheck(s_->Status(), true)) {
      pop.ResetAndQuit();
      return 1;
    }
    std::string status = Format("Downloading message %ld of %ld", i, count);
    if (first != 1) status += Format(" (%ld new)", toFetch);
    PostStatus(status);

    // Named from the tick count under the mail lock, with a pause, so that
    // two names never share a tick (a leftover's name is passed over).
    const std::string tempFile = store_.NewDownloadPath();
    if (tempFile.empty()) {
      PostStatus(Format("Error downloading/saving message %ld", i));
      pop.ResetAndQuit();
      return 1;
    }
    const RetrieveResult got = pop.RetrieveToFile(i, tempFile, this);
    if (got == RetrieveResult::kCancelled || c_->cancel) {
      // Cancelled: no half message is kept, and the session's deletions are
      // undone.
      if (got == RetrieveResult::kStored) std::remove(tempFile.c_str());
      pop.ResetAndQuit();
      return 1;
    }
    if (got == RetrieveResult::kFailed) {
      PostStatus(pop.ReadTimedOut() ? std::string(kTimedOutText)
                                    : Format("Error downloading/saving message %ld", i));
      return 1;
    }

    // The message is whole and flushed in "_TEMP". It moves into Inbox under
    // its key (never over an existing file) before the server is told
    // anything: only then is its id recorded or the message deleted there.
    std::string target;
    const platform::MoveResult moved = StoreInInbox(tempFile, inbox, target);
    if (moved == platform::MoveResult::Failed) {
      PostStatus(Format("Error downloading/saving message %ld", i));
      pop.ResetAndQuit();
      return 1;
    }
    if (!deleteFlag) {
      std::string uid = TrimBlanks(pop.UidOf(i));
      if (!uid.empty()) app.Write(OfAccount(tag, kEmailLastMessageId, kEmailExtraLastMessageId), uid);
    } else {
      PostStatus("-- Removing from server");
      pop.Dele(i);
    }
    if (moved == platform::MoveResult::TargetExists) {
      PostStatus("-- Duplicate Message Found in your Inbox");
    } else {
      MailStore::MarkUnread(target);
      s_->PostText(gen_, kMsgMailNewMessage, target);
    }
  }
  pop.Quit();
  CancelCheck(s_->Status(), false);
  if (toFetch > 0) {
    std::string done = Format("Done.  Processed %ld messages", count);
    if (first != 1) done += Format(" (%ld new)", toFetch);
    PostStatus(done);
  }
  return 0;
}

}  // namespace

MailCheck::MailCheck(Application& app, WindowHandle mailWindow)
    : state_(std::make_shared<State>(app, mailWindow)) {
  state_->watchdog = std::make_unique<Watchdog>([this] { WatchdogExpired(); });
}

MailCheck::~MailCheck() {
  CancelMailCheck();
  // The watchdog object stays with the shared state (a forgotten worker may
  // still touch it); only its thread ends here.
  state_->watchdog->Stop();
  std::lock_guard<std::mutex> lock(state_->mutex);
  if (state_->worker.joinable()) state_->worker.detach();  // already forgotten
}

void MailCheck::SetPasswordPrompt(PasswordPrompt* prompt) { state_->prompt = prompt; }
void MailCheck::SetQuestions(MailCheckQuestions* questions) { state_->questions = questions; }
void MailCheck::SetOutboxSender(OutboxSender* sender) { state_->outbox = sender; }
void MailCheck::SetFolderLoaderRunning(std::function<bool()> running) {
  state_->loaderRunning = std::move(running);
}

bool MailCheck::IsRunning() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->run && state_->run->running;
}

int MailCheck::AccountIndex() const { return state_->accountIndex; }
void MailCheck::SetAccountIndex(int index) { state_->accountIndex = index; }

std::string MailCheck::CheckLog() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->log;
}

std::string MailCheck::StatusText() const { return state_->Status(); }

bool MailCheck::StartMailCheck(bool silent) {
  State& s = *state_;
  s.silent = silent;
  if (!UsableServer(s.app.Get(kEmailPop3Server))) {
    if (silent || !s.questions) return false;
    if (!s.questions->AskToCheckSettings(kSettingsIncompleteQuestion, kSetupRequiredTitle)) {
      return false;
    }
    s.questions->OpenMailSettings();
    if (!UsableServer(s.app.Get(kEmailPop3Server))) return false;
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  if (s.run && s.run->running) return false;
  if (s.worker.joinable()) s.worker.join();  // the last run has left already
  auto control = std::make_shared<RunControl>();
  control->generation = ++s.generation;
  s.run = control;
  s.runWasSilent = silent;
  if (s.accountIndex == 0) s.newCount = 0;
  s.worker = std::thread([state = state_, control] {
    CheckRun run(state, control);
    run.CheckAllAccounts();
    control->running = false;
  });
  return true;
}

void MailCheck::CancelMailCheck() { Cancel(false); }

void MailCheck::Cancel(bool byWatchdog) {
  State& s = *state_;
  std::lock_guard<std::mutex> cancelLock(s.cancelMutex);
  std::shared_ptr<RunControl> run;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    run = s.run;
  }
  if (!run || !run->running) return;
  const std::uint64_t gen = run->generation;
  // After a time-out the status keeps saying so (WatchdogExpired posted it).
  if (!byWatchdog) s.PostStatus(gen, "Canceling...", true);
  run->cancel = true;
  {
    std::lock_guard<std::mutex> lock(run->mutex);
    if (run->connection) run->connection->Abort();
  }
  if (s.outbox) s.outbox->StopSending();
  for (int i = 0; i < 5 && run->running; ++i) platform::SleepMs(250);
  bool left = !run->running;
  std::thread worker;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    worker = std::move(s.worker);
  }
  if (left) {
    if (worker.joinable()) worker.join();
  } else {
    // Still inside a call that does not return (a question to the user,
    // say): forget it; everything it posts from now on is dropped.
    if (worker.joinable()) worker.detach();
    ++s.generation;
    platform::SleepMs(500);
  }
  // The user's Cancel ends the run: the next one starts with the main
  // account. Only a run stopped by the watchdog goes on where it stood.
  if (!byWatchdog) s.accountIndex = 0;
  const std::uint64_t now = s.generation.load();
  s.PostStatus(now, byWatchdog ? kTimedOutText : "E-mail check canceled", true);
  s.Post(now, kMsgMailCheckFinished, 1);
}

void MailCheck::WatchdogExpired() {
  State& s = *state_;
  s.watchdog->Disarm();
  // Only a session in progress can stall; a run that has ended is left as
  // it is.
  if (!IsRunning()) return;
  std::uint64_t gen = s.generation.load();
  s.PostStatus(gen, kTimedOutText, true);
  // The stalled account is skipped when the run continues.
  ++s.accountIndex;
  Cancel(true);
  s.watchdog->Disarm();
}

bool MailCheck::WatchdogArmed() const { return state_->watchdog->Armed(); }

void MailCheck::NewMessageNoticed() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  ++state_->newCount;
}

int MailCheck::NewCount() const {
  std::lock_guard<std::mutex> lock(state_->mutex);
  return state_->newCount;
}

CheckFinishedOutcome MailCheck::CheckFinished(int result, bool inboxShown, bool windowInForeground) {
  State& s = *state_;
  CheckFinishedOutcome out;
  int index = s.accountIndex;
  if (index >= 1 && index <= kExtraAccounts) {
    out.restartAfterMs = 500;  // a run cut short by the watchdog continues
    return out;
  }
  std::lock_guard<std::mutex> lock(s.mutex);
  out.postNewMail = s.newCount > s.previousNewCount && result == 0;
  if (s.newCount == 0 || result == 1) {
    out.statusLine = "No new messages.";
  } else {
    out.statusLine = NewMessagesText(s.newCount);
    if (!inboxShown) out.statusLine += std::string(" ") + "in your" + " " + "Inbox";
    out.statusLine += "!";
  }
  const std::string checked = out.statusLine;
  if (result == 0) out.statusLine = checked + " - " + "Last Successful Mail Check" + ": " + TimeNow();
  if (!windowInForeground && s.app.IsOn(kEmailPopupNotification)) {
    if (s.newCount == 0) {
      if (!s.runWasSilent) out.notification = "No new messages.\n\nDo you want to view your mailboxes?";
    } else {
      out.notification = NewMessagesText(s.newCount) + "\n\nDo you want to view your mailboxes?";
    }
  }
  s.previousNewCount = s.newCount;
  return out;
}

}  // namespace vyr

#include "mail/receive/mail_check.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <thread>
#include <vector>

#include "base/application.h"
#include "base/stoppable_worker.h"
#include "base/text_trim.h"
#include "mail/receive/last_id_record.h"
#include "mail/receive/mail_accounts.h"
#include "mail/store/mail_store.h"
#include "mail/store/message_filing.h"
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
constexpr const char* kCanceledText = kMailCheckCanceledText;
// How many stored messages at most wait for one flush of the Inbox folder.
constexpr int kSettleEvery = 32;

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

// One run's stop signal: a forgotten worker keeps its own, cancelled, so a
// new run can never revive it.
struct MailCheckStop {
  std::atomic<bool> cancel{false};
  // Who stopped the run: the watchdog (the run goes on with the next
  // account) or the user (it ends).
  enum By { kNotStopped, kByWatchdog, kByUser };
  std::atomic<int> by{kNotStopped};
  std::mutex mutex;
  MailConnection* connection = nullptr;  // the session in progress, for Abort
};

// Sets the cancel flag and shuts the session's socket down, so that a
// blocked read returns at once. Any thread.
void RequestStop(MailCheckStop& stop) {
  stop.cancel = true;
  std::lock_guard<std::mutex> lock(stop.mutex);
  if (stop.connection) stop.connection->Abort();
}

using CheckWorker = StoppableWorker<MailCheckStop>;

struct MailCheck::State {
  State(Application& a, WindowHandle w) : app(a), window(w) {}

  Application& app;
  const WindowHandle window;
  std::atomic<int> accountIndex{0};
  std::atomic<bool> silent{false};
  // The runs; its generation tells the current run from forgotten ones,
  // whose messages are dropped.
  CheckWorker worker;

  mutable std::mutex mutex;
  std::string status;
  std::string log;
  PasswordPrompt* prompt = nullptr;
  MailCheckQuestions* questions = nullptr;
  OutboxSender* outbox = nullptr;
  std::function<bool()> loaderRunning;
  int newCount = 0;
  bool runWasSilent = false;

  std::unique_ptr<Watchdog> watchdog;

  bool Current(unsigned gen) const { return gen == worker.Generation(); }
  // Posting from the run with the given generation; dropped once that run
  // has been forgotten.
  void Post(unsigned gen, std::uint32_t msg, platform::LParam l = 0, platform::WParam w = 0) {
    if (Current(gen)) platform::WindowMessages::Instance().PostMessage(window, msg, w, l);
  }
  void PostText(unsigned gen, std::uint32_t msg, const std::string& text, platform::WParam w = 0) {
    if (Current(gen)) platform::WindowMessages::Instance().PostMessage(window, msg, text, w);
  }
  // asGiven: the window shows the text as it is rather than followed by "...".
  void PostStatus(unsigned gen, const std::string& text, bool asGiven = false) {
    if (!Current(gen)) return;
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
  CheckRun(std::shared_ptr<MailCheck::State> state, std::shared_ptr<CheckWorker::Run> run, unsigned generation)
      : s_(std::move(state)),
        run_(std::move(run)),
        c_(&run_->stop),
        gen_(generation),
        store_(s_->app),
        lastIds_(s_->app),
        timeoutMs_(s_->TimeoutMs()) {}

  void CheckAllAccounts();

  // Pop3Progress
  bool CancelCheck(const std::string& text, bool rearm) override {
    if (c_->cancel) {
      Watch(false);
      if (s_->Current(gen_)) {
        std::lock_guard<std::mutex> lock(s_->mutex);
        s_->status = kCanceledText;
      }
      return true;
    }
    if (s_->Current(gen_)) {
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
  // What the accounts of a run came to: some checked well, some failed, an
  // extra account among them.
  struct Tally {
    bool success = false;
    bool failure = false;
    bool extraChecked = false;
  };
  // Checks extra account n when it is active and has a password (stored or
  // given now); false when the run is to stop (cancelled, or the password
  // question cancelled).
  bool CheckExtraAccount(int n, bool canAsk, Tally& tally);
  // After the accounts: the Outbox is sent when any account was checked
  // well, and the run's end is reported.
  void FinishAfterAccounts(const Tally& tally);
  bool AskPassword(const std::string& account, const std::string& server, std::string& password,
                   const SettingMember<StringSetting>& passwordSetting);
  MessageFiling::Outcome StoreInInbox(MessageFiling& filing, const std::string& tempFile, std::string& target);
  // Arms (moves the deadline of) or stops the watchdog; a forgotten run
  // leaves the watchdog of the runs after it alone.
  void Watch(bool arm) {
    if (!s_->Current(gen_)) return;
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
  // The run's last messages. It counts as ended before the check-finished
  // message goes out, so that the window may start the next run on it.
  void Finish(long result, bool cancelled = false) {
    s_->Post(gen_, kMsgMailFoldersChanged);
    run_->MarkDone();
    s_->Post(gen_, kMsgMailCheckFinished, result, cancelled ? kRunCancelled : 0);
  }
  // The run was stopped (by the user, by the watchdog, or by the user's
  // Cancel of the password question) and the worker left: it reports the
  // end itself. The user's stop ends the run, so the next one starts with
  // the main account; the watchdog's goes on where it stood.
  void LeaveStopped() {
    Watch(false);
    const bool timedOut = c_->by == MailCheckStop::kByWatchdog;
    if (!timedOut && s_->Current(gen_)) s_->accountIndex = 0;
    s_->PostStatus(gen_, timedOut ? kTimedOutText : kCanceledText, true);
    Finish(1, !timedOut);
  }

  std::shared_ptr<MailCheck::State> s_;
  std::shared_ptr<CheckWorker::Run> run_;
  MailCheckStop* const c_;  // the run's stop signal
  const unsigned gen_;
  MailStore store_;
  LastIdRecord lastIds_;
  // "POP3Timeout", read once per run: the watchdog is re-armed after every
  // line of a download.
  const int timeoutMs_;
};

bool CheckRun::AskPassword(const std::string& account, const std::string& server,
                           std::string& password, const SettingMember<StringSetting>& passwordSetting) {
  s_->silent = false;
  bool remember = false;
  if (!s_->prompt || !s_->prompt->AskPassword(account, server, password, remember)) return false;
  if (remember) SavePassword(s_->app, passwordSetting, password);
  return true;
}

void CheckRun::CheckAllAccounts() {
  Application& app = s_->app;
  std::string password = LoadPassword(app, kEmailPop3Password);
  std::string account = app.Get(kEmailPop3Account);
  std::string server = app.Get(kEmailPop3Server);
  bool deleteFlag = app.Get(kEmailDeleteMessages) == 1;
  // What a check that was killed had reached goes into the profile first,
  // and what it left in "_TEMP" goes.
  lastIds_.Recover();
  store_.RemoveDownloadLeftovers();
  std::string lastId = app.Get(kEmailLastMessageId);

  while (s_->loaderRunning && s_->loaderRunning() && !c_->cancel) platform::SleepMs(100);
  if (c_->cancel) return LeaveStopped();

  Tally tally;
  // With nobody to ask (the start-up check runs before any mail window), an
  // account without a stored password is left out of the run quietly.
  const bool canAsk = s_->prompt != nullptr;
  if (s_->accountIndex == 0 && password.empty() && !canAsk) {
    // Nothing noted for the main account; the extra accounts follow.
  } else if (s_->accountIndex == 0) {
    if (password.empty() && !AskPassword(account, server, password, kEmailPop3Password)) {
      // The user cancelled the question: the run ends as by Cancel.
      c_->by = MailCheckStop::kByUser;
      return LeaveStopped();
    }
    s_->AppendLog("Server: " + server + "\r\nAccount:" + account + "\r\n");
    int r = CheckAccount("", server, account, password, lastId, deleteFlag);
    if (c_->cancel) return LeaveStopped();
    if (r == 0) {
      s_->AppendLog("OK");
      tally.success = true;
    } else {
      s_->AppendLog(s_->Status());
      tally.failure = true;
    }
  } else {
    tally.success = tally.failure = true;  // a run resumed after a stalled account
  }

  for (int n = std::max(s_->accountIndex.load(), 1); n <= kExtraAccounts; ++n) {
    if (s_->Current(gen_)) s_->accountIndex = n;
    if (!CheckExtraAccount(n, canAsk, tally)) return LeaveStopped();
  }
  if (s_->Current(gen_)) s_->accountIndex = 0;
  FinishAfterAccounts(tally);
}

bool CheckRun::CheckExtraAccount(int n, bool canAsk, Tally& tally) {
  Application& app = s_->app;
  if (!app.IsOn(kEmailExtraActive.At(n))) return true;
  std::string pw = LoadPassword(app, kEmailExtraPassword.At(n));
  const std::string user = app.Get(kEmailExtraAccount.At(n));
  const std::string host = app.Get(kEmailExtraServer.At(n));
  if (pw.empty() && !canAsk) return true;
  if (pw.empty() && !AskPassword(user, host, pw, kEmailExtraPassword.At(n))) {
    c_->by = MailCheckStop::kByUser;
    return false;
  }
  s_->AppendLog("\r\n----------------------\r\nServer: " + host + "\r\nAccount:" + user + "\r\n");
  tally.extraChecked = true;
  const int r = CheckAccount(std::to_string(n), host, user, pw, app.Get(kEmailExtraLastMessageId.At(n)),
                             app.Get(kEmailExtraDeleteMessages.At(n)) == 1);
  if (c_->cancel) return false;
  if (r == 0) {
    app.Write(kEmailExtraLastCheck.At(n), "Successful");
    s_->AppendLog("OK");
    tally.success = true;
  } else {
    const std::string status = s_->Status();
    s_->AppendLog(status);
    app.Write(kEmailExtraLastCheck.At(n), status);
    tally.failure = true;
  }
  return true;
}

void CheckRun::FinishAfterAccounts(const Tally& tally) {
  if (!tally.success) {
    std::string status = s_->Status();
    s_->PostStatus(gen_, status.empty() ? "Idle" : status);
    Finish(1);
    return;
  }
  Watch(false);
  if (c_->cancel) return LeaveStopped();
  int sent = s_->outbox ? s_->outbox->SendOutbox() : 0;
  if (c_->cancel) return LeaveStopped();
  if (sent != 0) {
    Finish(1);
  } else if (!tally.failure) {
    Finish(0);
  } else {
    if (tally.extraChecked) {
      s_->PostStatus(gen_, "One or more email accounts failed.");
      s_->AppendLog("\r\n\r\nLast Check:" + TimeNow() + "\r\n");
      s_->Post(gen_, kMsgMailShowCheckLog);
    }
    Finish(1);
  }
}

// Moves a downloaded message into Inbox under "S<key>.mail" (see
// MessageFiling: a download identical to a stored message of its key is a
// duplicate and is removed from "_TEMP"; a different one takes
// "S<key>~<n>.mail" with the next number, however many there are).
MessageFiling::Outcome CheckRun::StoreInInbox(MessageFiling& filing, const std::string& tempFile,
                                              std::string& target) {
  const std::string key = store_.MessageKey(tempFile);
  std::lock_guard<std::mutex> lock(s_->app.MailLock());
  return filing.File(tempFile, key, target);
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
  if (!IsMailSecurity(security)) {
    // A broken setting is not taken for a plain connection.
    PostStatus(Format(kBadSecurityText.Text().c_str(), server));
    return 1;
  }
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

  // Each download is flushed to disk before it moves into Inbox, but the
  // Inbox folder is flushed once for several messages ("settling" them):
  // only then are their deletions sent (the server deletes nothing before
  // QUIT, which follows the last settling) or the last id noted, so the
  // server never lets go of a message the disk may not hold, and a message
  // that was not settled is fetched again and found stored.
  MessageFiling filing(inbox);
  const SettingMember<StringSetting> lastIdSetting = OfAccount(tag, kEmailLastMessageId, kEmailExtraLastMessageId);
  struct Unsettled {
    int messages = 0;
    std::vector<int> deletions;
    std::string lastUid;
  } unsettled;
  auto settle = [&](bool sendDeletions) {
    if (unsettled.messages == 0) return;
    platform::SyncFolder(inbox);
    if (deleteFlag && sendDeletions) {
      for (int n : unsettled.deletions) {
        PostStatus("-- Removing from server");
        pop.Dele(n);
      }
    }
    if (!deleteFlag && !unsettled.lastUid.empty()) lastIds_.Note(lastIdSetting, unsettled.lastUid);
    unsettled = Unsettled{};
  };
  // However the session ends, what was settled reaches the profile: once,
  // rather than after every message.
  struct CommitIds {
    LastIdRecord& ids;
    ~CommitIds() { ids.Commit(); }
  } commitIds{lastIds_};

  for (int i = first; i <= count; ++i) {
    if (CancelCheck(s_->Status(), true)) {
      // The deletions are undone by the reset; the last id is kept.
      settle(false);
      pop.ResetAndQuit();
      return 1;
    }
    if (unsettled.messages >= kSettleEvery) settle(true);
    std::string status = Format("Downloading message %ld of %ld", i, count);
    if (first != 1) status += Format(" (%ld new)", toFetch);
    PostStatus(status);

    // Named from the tick count under the mail lock, with a pause, so that
    // two names never share a tick (a leftover's name is passed over).
    const std::string tempFile = store_.NewDownloadPath();
    if (tempFile.empty()) {
      PostStatus(Format("Error downloading/saving message %ld", i));
      settle(false);
      pop.ResetAndQuit();
      return 1;
    }
    const RetrieveResult got = pop.RetrieveToFile(i, tempFile, this);
    if (got == RetrieveResult::kCancelled || c_->cancel) {
      // Cancelled: no half message is kept, and the session's deletions are
      // undone.
      if (got == RetrieveResult::kStored) std::remove(tempFile.c_str());
      settle(false);
      pop.ResetAndQuit();
      return 1;
    }
    if (got == RetrieveResult::kFailed) {
      PostStatus(pop.ReadTimedOut() ? std::string(kTimedOutText)
                                    : Format("Error downloading/saving message %ld", i));
      settle(false);
      return 1;
    }

    // The message is whole and flushed in "_TEMP". It moves into Inbox under
    // its key (never over an existing file) before the server is told
    // anything: its id is noted or the message deleted there once it is
    // settled.
    std::string target;
    const MessageFiling::Outcome filed = StoreInInbox(filing, tempFile, target);
    if (filed == MessageFiling::Outcome::kFailed) {
      std::remove(tempFile.c_str());
      PostStatus(Format("Error downloading/saving message %ld", i));
      settle(false);
      pop.ResetAndQuit();
      return 1;
    }
    ++unsettled.messages;
    if (deleteFlag) {
      unsettled.deletions.push_back(i);
    } else {
      std::string uid = TrimBlanks(pop.UidOf(i));
      if (!uid.empty()) unsettled.lastUid = std::move(uid);
    }
    if (filed == MessageFiling::Outcome::kDuplicate) {
      PostStatus("-- Duplicate Message Found in your Inbox");
    } else {
      MailStore::MarkUnread(target);
      s_->PostText(gen_, kMsgMailNewMessage, target);
    }
  }
  settle(true);
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
  // The owner is going, most often with the program. This is the one place
  // the check waits for its worker, a bounded time, so that no worker goes
  // on writing into the store and the settings while they are taken down: a
  // stopped session leaves at once; one still inside a question to the
  // user is forgotten after the wait, and the program's end waits for it
  // once more (WorkerThreads::StopAll).
  State& s = *state_;
  s.worker.AskToStop();
  if (s.outbox) s.outbox->StopSending();
  s.worker.StopRun(kMailCheckStopWait);
  // The watchdog object stays with the shared state (a forgotten worker may
  // still touch it); only its thread ends here.
  s.watchdog->Stop();
}

void MailCheck::SetPasswordPrompt(PasswordPrompt* prompt) { state_->prompt = prompt; }
void MailCheck::SetQuestions(MailCheckQuestions* questions) { state_->questions = questions; }
void MailCheck::SetOutboxSender(OutboxSender* sender) { state_->outbox = sender; }
void MailCheck::SetFolderLoaderRunning(std::function<bool()> running) {
  state_->loaderRunning = std::move(running);
}

bool MailCheck::IsRunning() const { return state_->worker.IsRunning(); }

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
  if (s.worker.IsRunning()) return false;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.runWasSilent = silent;
    if (s.accountIndex == 0) s.newCount = 0;
  }
  // The last run has left already: nothing is waited for.
  s.worker.StartRun(std::chrono::milliseconds(0),
                    [state = state_](std::shared_ptr<CheckWorker::Run> run, unsigned generation) {
                      CheckWorker::DoneMark done(*run);
                      CheckRun check(state, run, generation);
                      check.CheckAllAccounts();
                    });
  return true;
}

bool MailCheck::CancelMailCheck() { return Stop(false); }

bool MailCheck::Stop(bool byWatchdog) {
  State& s = *state_;
  unsigned gen = 0;
  std::shared_ptr<CheckWorker::Run> run = s.worker.CurrentRun(&gen);
  if (!run || run->Done()) return false;
  MailCheckStop& stop = run->stop;
  if (byWatchdog) {
    int none = MailCheckStop::kNotStopped;
    if (!stop.by.compare_exchange_strong(none, MailCheckStop::kByWatchdog)) return false;
  } else {
    // A second Cancel changes nothing; one after a time-out makes the run
    // end as cancelled.
    if (stop.by.exchange(MailCheckStop::kByUser) == MailCheckStop::kByUser) return true;
    s.PostStatus(gen, "Canceling...", true);
  }
  RequestStop(stop);
  if (s.outbox) s.outbox->StopSending();
  // No waiting here: the worker reports its end when it leaves, and the
  // window settles a worker that has not left in time on this message.
  platform::WindowMessages::Instance().PostMessageAfter(s.window, kMsgMailStopDeadline, kMailCheckStopWait, gen);
  return true;
}

bool MailCheck::StopDeadlinePassed(unsigned generation) {
  State& s = *state_;
  unsigned current = 0;
  std::shared_ptr<CheckWorker::Run> run = s.worker.CurrentRun(&current);
  if (!run || current != generation || run->Done()) return false;
  const bool timedOut = run->stop.by == MailCheckStop::kByWatchdog;
  // Still inside a call that does not return (a question to the user, say):
  // it is forgotten, and everything it posts from now on is dropped. One
  // that has left meanwhile has reported its end itself.
  if (!s.worker.ForgetRun()) return false;
  s.watchdog->Disarm();
  if (!timedOut) s.accountIndex = 0;
  const unsigned now = s.worker.Generation();
  s.PostStatus(now, timedOut ? kTimedOutText : kCanceledText, true);
  s.Post(now, kMsgMailFoldersChanged);
  s.Post(now, kMsgMailCheckFinished, 1, timedOut ? 0 : kRunCancelled);
  return true;
}

void MailCheck::WatchdogExpired() {
  State& s = *state_;
  s.watchdog->Disarm();
  // Only a session in progress can stall; a run that has ended or is
  // stopping already is left as it is.
  unsigned gen = 0;
  std::shared_ptr<CheckWorker::Run> run = s.worker.CurrentRun(&gen);
  if (!run || run->Done() || run->stop.by != MailCheckStop::kNotStopped) return;
  s.PostStatus(gen, kTimedOutText, true);
  // The stalled account is skipped when the run continues.
  ++s.accountIndex;
  Stop(true);
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
  // Every run that stored mail tells of it, whatever the run before it
  // brought: a run of one message after a run of three is new mail too.
  out.postNewMail = s.newCount > 0 && result == 0;
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
  return out;
}

}  // namespace vyr

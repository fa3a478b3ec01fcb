#include "mail/send/outbox.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "base/application.h"
#include "base/text_trim.h"
#include "mail/send/address_lists.h"
#include "mail/send/compose_rules.h"
#include "mail/receive/mail_accounts.h"
#include "mail/send/mail_address.h"
#include "mail/store/mail_store.h"
#include "mail/body/rich_text.h"
#include "mail/send/smtp_client.h"
#include "platform/file_system.h"
#include "platform/file_times.h"
#include "platform/tick_count.h"
#include "platform/text.h"

namespace vyr {

namespace {

namespace fs = std::filesystem;

constexpr unsigned kNamePauseMs = 10;
constexpr unsigned kFlushPauseMs = 100;
constexpr char kHeaderEnd[] = "\r\n\r\n";
constexpr char kAttachmentBlockStart[] = "\r\nFile Attached: ";



std::string Format(const std::string& pattern, std::initializer_list<std::string> values) {
  return FormatMailText(pattern, values);
}

bool HoldsLineBreak(const std::string& s) { return s.find_first_of("\r\n") != std::string::npos; }

void Post(platform::WindowHandle window, std::uint32_t message, const std::string& text) {
  if (window != 0) platform::PostText(window, message, text);
}

// What a failed connection makes of a send: a refused log-in is told
// apart (the user has a password to mend); every other failure means the
// server was not reached.
SmtpResult ConnectFailure(SmtpConnect connected) {
  switch (connected) {
    case SmtpConnect::kLogInRefused: return SmtpResult::kLogInRefused;
    case SmtpConnect::kOk:  // (not a failure)
    case SmtpConnect::kUnknownHost:
    case SmtpConnect::kNoConnection:
    case SmtpConnect::kGreetingRefused:
    case SmtpConnect::kTlsFailed:
    case SmtpConnect::kNoStartTls:
    case SmtpConnect::kNoLogInMethod:
    case SmtpConnect::kBadSecurity:
      return SmtpResult::kNotSent;
  }
  return SmtpResult::kNotSent;
}

// Flushes running in this process.
std::atomic<int> gFlushesRunning{0};

// Counts a flush for IsFlushing and AnyFlushing while it runs.
class FlushCount {
 public:
  explicit FlushCount(std::atomic<int>& own) : own_(own) {
    ++own_;
    ++gFlushesRunning;
  }
  ~FlushCount() {
    --own_;
    --gFlushesRunning;
  }
  FlushCount(const FlushCount&) = delete;
  FlushCount& operator=(const FlushCount&) = delete;

 private:
  std::atomic<int>& own_;
};

}  // namespace

// Everything a Send Now run needs, gathered on the user-interface thread.
struct Outbox::Job {
  SmtpOptions options;
  std::string server;
  OutgoingMail mail;
  std::string path;   // the stored file in Outbox
  std::string older;  // the stored file the window was opened from (removed)
  platform::WindowHandle window = 0;
  // Held from before the file took its name until the run has put it in
  // Sent Items or made it pending again.
  platform::FileClaim claim;
};

bool Outbox::AnyFlushing() { return gFlushesRunning.load() > 0; }

bool Outbox::IsBeingSent(const std::string& path) { return platform::IsFileClaimed(path); }

// --- stored form ----------------------------------------------------------------------

std::string BuildStoredMessage(const std::string& to, const std::string& cc, const std::string& bcc,
                               const std::string& from, const std::string& subject,
                               const std::string& body, const std::vector<std::string>& attachments,
                               const std::string& date) {
  std::string text;
  text.reserve(body.size() + 256);
  text += "To: " + OneLineHeaderValue(to) + "\r\n";
  text += "CC: " + OneLineHeaderValue(cc) + "\r\n";
  text += "BCC: " + OneLineHeaderValue(bcc) + "\r\n";
  text += "From: " + OneLineHeaderValue(from) + "\r\n";
  text += "Subject: " + OneLineHeaderValue(subject) + "\r\n";
  text += "Date: " + OneLineHeaderValue(date) + "\r\n\r\n";
  text += body;
  text += "\r\n\r\n";
  for (const std::string& path : attachments) {
    text += kAttachmentBlockStart;
    text += OneLineHeaderValue(path);
    text += "\r\n\r\n";
  }
  return text;
}

StoredMessage ParseStoredMessage(const std::string& text) {
  StoredMessage m;
  const size_t headerEnd = text.find(kHeaderEnd);
  const std::string header = text.substr(0, headerEnd);
  const std::string rest = headerEnd == std::string::npos ? std::string() : text.substr(headerEnd + 4);

  struct Field {
    const char* name;
    std::string* value;
    bool seen;
  } fields[] = {{"to", &m.to, false},       {"cc", &m.cc, false},
                {"bcc", &m.bcc, false},     {"from", &m.from, false},
                {"subject", &m.subject, false}, {"date", &m.date, false}};
  for (const std::string& line : platform::SplitLines(header)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const std::string name = platform::AsciiLower(line.substr(0, colon));
    for (Field& f : fields) {
      if (!f.seen && name == f.name) {
        *f.value = TrimBlanks(line.substr(colon + 1));
        f.seen = true;
      }
    }
  }

  // The attachment blocks are at the very end; a body form ends with its
  // background marker, so nothing before that is looked at.
  size_t floor = 0;
  const size_t marker = rest.rfind(kBackgroundMarker);
  if (marker != std::string::npos) {
    floor = marker + std::strlen(kBackgroundMarker);
    while (floor < rest.size() && std::isdigit(static_cast<unsigned char>(rest[floor]))) ++floor;
  }
  const std::string blockStart = kAttachmentBlockStart;
  size_t bodyEnd = rest.size();
  std::vector<std::string> found;
  while (bodyEnd >= floor + 4 && rest.compare(bodyEnd - 4, 4, kHeaderEnd) == 0) {
    const size_t block = rest.rfind(blockStart, bodyEnd - 4);
    if (block == std::string::npos || block < floor) break;
    const size_t pathStart = block + blockStart.size();
    if (pathStart > bodyEnd - 4) break;
    std::string path = rest.substr(pathStart, bodyEnd - 4 - pathStart);
    if (HoldsLineBreak(path)) break;
    found.push_back(std::move(path));
    bodyEnd = block;
  }
  m.attachments.assign(found.rbegin(), found.rend());
  // The separator between the body and the attachments.
  if (bodyEnd >= 4 && rest.compare(bodyEnd - 4, 4, kHeaderEnd) == 0) bodyEnd -= 4;
  m.body = rest.substr(0, bodyEnd);
  return m;
}

std::string ReadSignature(const Application& app) {
  const std::string path = SignatureFilePath(app);
  std::string text;
  if (path.empty() || !platform::ReadWholeFile(path, text)) return {};
  return text;
}

bool WriteSignature(const Application& app, const std::string& text) {
  const std::string path = SignatureFilePath(app);
  return !path.empty() && platform::WriteFileAtomically(path, text);
}

// --- outbox ------------------------------------------------------------------------

Outbox::Outbox(Application& app, platform::WindowHandle mailWindow)
    : app_(app), mailWindow_(mailWindow) {}

Outbox::~Outbox() {
  Abort();
  WaitForSendNow();
}

void Outbox::Abort() {
  stop_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  for (SmtpClient* client : clients_) client->Abort();
}

// Makes a client reachable by Abort() while it lives.
class ClientScope {
 public:
  ClientScope(std::mutex& mutex, std::vector<SmtpClient*>& clients, const std::atomic<bool>& stop,
              SmtpClient* client)
      : mutex_(mutex), clients_(clients), client_(client) {
    std::lock_guard<std::mutex> lock(mutex_);
    clients_.push_back(client_);
    if (stop) client_->Abort();
  }
  ~ClientScope() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::erase(clients_, client_);
  }

 private:
  std::mutex& mutex_;
  std::vector<SmtpClient*>& clients_;
  SmtpClient* client_;
};

void Outbox::CountPauses(const SmtpClient& client) {
  pausedMs_ += client.SendCount() * 50 + client.FileChunkCount() * 10;
}

std::string Outbox::Setting(const StringSetting& setting) const {
  std::string value = app_.Get(setting);
  return value == kUnsetText ? std::string() : value;
}

std::string SenderText(const Application& app) {
  auto setting = [&app](const StringSetting& s) {
    std::string value = app.Get(s);
    return value == kUnsetText ? std::string() : value;
  };
  return setting(kEmailName) + " <" + setting(kEmailAddress) + ">";
}

void Outbox::PostMailWindow(std::uint32_t message, const std::string& text) const {
  if (!platform::IsWindow(mailWindow_)) return;
  if (text.empty()) {
    platform::PostMessage(mailWindow_, message);
  } else {
    platform::PostText(mailWindow_, message, text);
  }
}

std::string Outbox::StoreOutgoing(const std::string& folderPath, const std::string& text,
                                  bool pending, int* error, platform::FileClaim* claim) {
  *error = 0;
  MailStore store(app_);
  const std::string outbox = store.FolderPath(kOutboxFolder, true);
  if (outbox.empty() || folderPath.empty()) {
    *error = ENOENT;
    return {};
  }
  std::string temp;
  std::FILE* file = nullptr;
  {
    std::lock_guard<std::mutex> lock(app_.MailLock());
    for (;;) {
      temp = outbox + "Out" + std::to_string(platform::GetTickCount()) + ".temp";
      file = std::fopen(temp.c_str(), "wbx");
      const int cause = errno;
      platform::SleepMs(kNamePauseMs);
      pausedMs_ += kNamePauseMs;
      if (file) break;
      if (cause != EEXIST) {
        *error = cause;
        return {};
      }
    }
  }
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size() &&
                       std::fflush(file) == 0;
  const int writeCause = errno;
  const bool closed = std::fclose(file) == 0;
  if (!written || !closed || !platform::SyncFile(temp)) {
    *error = written ? (errno ? errno : EIO) : writeCause;
    std::remove(temp.c_str());
    return {};
  }
  // The claim and the read state are set before the file takes its final
  // name: pending files appear whole and pending, files this run is about
  // to send appear already taken. Nobody else claims a temporary file; the
  // wait only outlasts someone asking whether it is claimed.
  if (claim) {
    *claim = platform::FileClaim::Take(temp, true);
    if (!claim->Held()) {
      *error = errno ? errno : EIO;
      std::remove(temp.c_str());
      return {};
    }
  }
  if (pending) {
    MailStore::MarkUnread(temp);
  } else {
    MailStore::MarkRead(temp);
  }
  std::string target;
  {
    std::lock_guard<std::mutex> lock(app_.MailLock());
    for (;;) {
      target = folderPath + "Out" + std::to_string(platform::GetTickCount()) + ".mail";
      platform::SleepMs(kNamePauseMs);
      pausedMs_ += kNamePauseMs;
      const platform::MoveResult moved = platform::MoveFileNoReplace(temp, target);
      if (moved == platform::MoveResult::Moved) break;
      if (moved == platform::MoveResult::Failed) {
        *error = errno ? errno : EIO;
        std::remove(temp.c_str());
        return {};
      }
    }
  }
  return target;
}

std::string Outbox::MoveToSentItems(const std::string& path) {
  MailStore store(app_);
  const std::string sent = store.FolderPath(kSentItemsFolder, true);
  std::string target;
  if (!sent.empty()) {
    std::lock_guard<std::mutex> lock(app_.MailLock());
    for (;;) {
      target = sent + "Out" + std::to_string(platform::GetTickCount()) + ".mail";
      platform::SleepMs(kNamePauseMs);
      pausedMs_ += kNamePauseMs;
      const platform::MoveResult moved = platform::MoveFileNoReplace(path, target);
      if (moved == platform::MoveResult::Moved) break;
      if (moved == platform::MoveResult::Failed) {
        target.clear();
        break;
      }
    }
    if (!target.empty()) {
      PostMailWindow(kMsgMailRemoveRow, path);
      MailStore::MarkRead(target);
      PostMailWindow(kMsgMailAddRow, target);
    }
  }
  if (target.empty()) {
    // The message went out: whatever happens to its file, it must not be
    // sent again. It stays in Outbox, no longer pending.
    MailStore::MarkRead(path);
    return path;
  }
  return target;
}

// --- Send Now ----------------------------------------------------------------------

bool Outbox::PrepareSendNow(ComposeWindow& window, Job& job) {
  job.window = window.Handle();
  job.options = SmtpOptions::FromSettings(app_);
  job.options.replyTimeLimitSeconds = replyTimeLimitSeconds_;
  job.server = Setting(kEmailSmtpServer);
  OutgoingMail& mail = job.mail;
  mail.from = SenderText(app_);
  mail.signature = ReadSignature(app_);

  mail.to = TrimBlanks(window.ToText());
  mail.subject = TrimBlanks(window.SubjectText());
  if (mail.to.empty()) {
    window.FocusToBox();
    Post(job.window, kMsgSendError, sendtext::kFillInTo);
    return false;
  }
  if (mail.subject.empty() && !app_.IsOn(kEmailDontAskForSubject)) {
    bool dontAsk = false;
    const int answer =
        app_.Messages().Question(sendtext::kNoSubjectQuestion, sendtext::kNoSubjectTitle, &dontAsk);
    if (dontAsk) app_.Write(kEmailDontAskForSubject, 1);
    if (answer == IDYES) {
      window.FocusSubjectBox();
      Post(job.window, kMsgSendError, "");
      return false;
    }
  }
  mail.cc = window.CcText();
  mail.bcc = window.BccText();
  mail.bodyForm = window.BodyForm();
  mail.attachments = window.Attachments();

  std::vector<std::string> addresses, names;
  std::string error;
  if (!EnvelopeRecipients(mail.to, mail.cc, mail.bcc, addresses, names, error)) {
    Post(job.window, kMsgSendError, error);
    return false;
  }
  for (const std::string& path : mail.attachments) {
    if (HoldsLineBreak(path)) {
      Post(job.window, kMsgSendError, Format(sendtext::kAttachmentNameLineBreak, {OneLineHeaderValue(path)}));
      return false;
    }
  }
  AddAddresses(app_, kPreviouslySentAddresses, names, addresses);
  for (const std::string& path : mail.attachments) {
    Post(job.window, kMsgSendStatus, Format(sendtext::kAttachingFile, {path}));
  }

  Post(job.window, kMsgSendStatus, sendtext::kSavingMessage);
  const std::string text = BuildStoredMessage(mail.to, mail.cc, mail.bcc, mail.from, mail.subject,
                                              mail.bodyForm, mail.attachments, MailDateNow());
  MailStore store(app_);
  const std::string outbox = store.FolderPath(kOutboxFolder, true);
  int cause = 0;
  job.path = StoreOutgoing(outbox, text, false, &cause, &job.claim);
  if (job.path.empty()) {
    app_.Messages().Error(Format(sendtext::kErrorSaving, {std::to_string(cause)}));
    return false;
  }
  job.older = window.StoredPath();
  window.SetStoredPath(job.path);
  // Only an Outbox or Draft message is replaced; a Sent Items copy stays.
  if (!job.older.empty() && job.older != job.path && ReplacesSource(job.older)) {
    std::remove(job.older.c_str());
  } else {
    job.older.clear();
  }
  return true;
}

SmtpResult Outbox::RunSendNow(const Job& job) {
  SmtpClient client(job.options);
  ClientScope scope(mutex_, clients_, stop_, &client);
  SmtpResult result;
  Post(job.window, kMsgSendStatus, Format(sendtext::kConnectingTo, {job.server}));
  const SmtpConnect connected = client.ConnectServer(job.server, job.options.greetingName);
  if (connected != SmtpConnect::kOk) {
    const std::string why = client.ConnectFailureText(connected, job.server);
    Post(job.window, kMsgSendError,
         why.empty() ? Format(sendtext::kCouldNotConnectTo, {job.server, sendtext::kPlacedInOutbox})
                     : why + "\n\n" + std::string(sendtext::kPlacedInOutbox));
    client.Quit();
    result = ConnectFailure(connected);
  } else {
    Post(job.window, kMsgSendStatus, Format(sendtext::kSendingTo, {job.mail.to}));
    result = client.SendMail(job.mail, job.window);
    Post(job.window, kMsgSendStatus, sendtext::kWrappingUp);
    client.Quit();
  }
  CountPauses(client);

  if (result != SmtpResult::kSent) {
    Post(job.window, kMsgSendError, Format(sendtext::kErrorSendingTo, {job.mail.to, client.LastReply()}));
    // Pending again: the next flush sends it.
    MailStore::MarkUnread(job.path);
    PostMailWindow(kMsgMailAddRow, job.path);
  } else {
    MoveToSentItems(job.path);
  }
  if (!job.older.empty()) PostMailWindow(kMsgMailRemoveRow, job.older);
  PostMailWindow(kMsgMailFoldersChanged);
  // The message is safe in Outbox or Sent Items either way.
  if (job.window != 0) platform::PostMessage(job.window, kMsgComposeClose);
  return result;
}

bool Outbox::StartSendNow(ComposeWindow& window) {
  auto job = std::make_shared<Job>();
  if (!PrepareSendNow(window, *job)) return false;
  ++running_;
  std::lock_guard<std::mutex> lock(mutex_);
  workers_.emplace_back([this, job] {
    const SmtpResult result = RunSendNow(*job);
    {
      std::lock_guard<std::mutex> resultLock(mutex_);
      lastResult_ = result;
    }
    --running_;
  });
  return true;
}

SmtpResult Outbox::WaitForSendNow() {
  std::vector<std::thread> workers;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    workers.swap(workers_);
  }
  for (std::thread& t : workers) {
    if (t.joinable()) t.join();
  }
  std::lock_guard<std::mutex> lock(mutex_);
  return lastResult_;
}

bool Outbox::SendNowRunning() const { return running_.load() > 0; }

SmtpResult Outbox::SendNow(ComposeWindow& window) {
  Job job;
  if (!PrepareSendNow(window, job)) return SmtpResult::kNotSent;
  return RunSendNow(job);
}

// --- Send Later and Save Draft ---------------------------------------------------------

int Outbox::QueueMessage(ComposeWindow& window, bool draft) {
  const platform::WindowHandle handle = window.Handle();
  const std::string from = SenderText(app_);
  std::string to = window.ToText();
  std::string subject = window.SubjectText();
  const std::string cc = window.CcText();
  const std::string bcc = window.BccText();
  const std::vector<std::string> attachments = window.Attachments();

  std::vector<std::string> addresses, names;
  if (!draft) {
    to = TrimBlanks(to);
    subject = TrimBlanks(subject);
    if (to.empty()) {
      app_.Messages().Error(sendtext::kFillInTo);
      Post(handle, kMsgSendStatus, "");
      window.FocusToBox();
      return 1;
    }
    if (subject.empty()) {
      bool ask = !app_.IsOn(kEmailDontAskForSubject);
      bool dontAsk = false;
      const int answer = ask ? app_.Messages().Question(sendtext::kNoSubjectQuestion,
                                                        sendtext::kNoSubjectTitle, &dontAsk)
                             : IDNO;
      if (dontAsk) app_.Write(kEmailDontAskForSubject, 1);
      if (answer == IDYES) {
        window.FocusSubjectBox();
        return 1;
      }
      subject = sendtext::kNoSubject;
      window.SetSubjectText(subject);
    }
    std::string error;
    if (!EnvelopeRecipients(to, cc, bcc, addresses, names, error)) {
      Post(handle, kMsgSendError, error);
      return 1;
    }
  }
  for (const std::string& path : attachments) {
    if (HoldsLineBreak(path)) {
      Post(handle, kMsgSendError, Format(sendtext::kAttachmentNameLineBreak, {OneLineHeaderValue(path)}));
      return 1;
    }
  }
  if (!draft) AddAddresses(app_, kPreviouslySentAddresses, names, addresses);
  for (const std::string& path : attachments) {
    Post(handle, kMsgSendStatus, Format(sendtext::kAttachingFile, {path}));
  }

  MailStore store(app_);
  const std::string folder = store.FolderPath(draft ? kDraftFolder : kOutboxFolder, true);
  const std::string text =
      BuildStoredMessage(to, cc, bcc, from, subject, window.BodyForm(), attachments, MailDateNow());
  int cause = 0;
  const std::string path = StoreOutgoing(folder, text, true, &cause);
  if (path.empty()) {
    // The window stays open with the message in it.
    app_.Messages().Error(Format(sendtext::kErrorSaving, {std::to_string(cause)}));
    return 1;
  }
  const std::string older = window.StoredPath();
  window.SetStoredPath(path);
  if (!older.empty() && older != path && ReplacesSource(older)) {
    std::remove(older.c_str());
    PostMailWindow(kMsgMailRemoveRow, older);
  }
  PostMailWindow(kMsgMailAddRow, path);
  PostMailWindow(kMsgMailFoldersChanged);
  if (handle != 0) platform::PostMessage(handle, kMsgComposeClose);
  return 0;
}

// --- the flush -------------------------------------------------------------------------

SmtpResult Outbox::FlushOutbox(platform::WindowHandle progressWindow) {
  FlushCount counted(flushing_);
  MailStore store(app_);
  const std::string outbox = store.FolderPath(kOutboxFolder, true);
  if (outbox.empty()) return SmtpResult::kSent;
  std::vector<std::string> files;
  std::error_code ec;
  for (fs::directory_iterator it(outbox, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() > 5 && name.compare(name.size() - 5, 5, ".mail") == 0) {
      files.push_back(it->path().string());
    }
  }
  if (files.empty()) return SmtpResult::kSent;
  std::sort(files.begin(), files.end());
  Post(progressWindow, kMsgMailStatus, sendtext::kSendingFromOutbox);

  SmtpOptions options = SmtpOptions::FromSettings(app_);
  options.replyTimeLimitSeconds = replyTimeLimitSeconds_;
  SmtpResult result = SmtpResult::kSent;  // or the last failure
  for (const std::string& path : files) {
    if (stop_) break;
    platform::SleepMs(kFlushPauseMs);
    pausedMs_ += kFlushPauseMs;
    std::error_code typeError;
    if (fs::is_directory(path, typeError)) continue;
    if (!fs::exists(path, typeError)) continue;  // sent or moved meanwhile
    // Only the run that holds the file sends it: one another run (a flush
    // of vyrelle-cli, a Send Now) holds, or that has left the Outbox
    // meanwhile, is passed over.
    const platform::FileClaim claim = platform::FileClaim::Take(path);
    if (!claim.Held()) continue;

    const bool pending = MailStore::IsUnread(path);
    std::string text;
    bool read;
    {
      // Reading the file must not mark it read.
      platform::FileTimesKeeper keep(path);
      read = platform::ReadWholeFile(path, text);
    }
    if (!read) {
      if (!fs::exists(path, typeError)) continue;
      // A file that cannot be read now may be readable later: it is kept.
      Post(progressWindow, kMsgSendError, Format(sendtext::kCannotReadQueued, {path}));
      result = SmtpResult::kNotSent;
      continue;
    }
    if (!pending) continue;
    if (text.size() < kMinMessageSize) {
      // Too short to hold any message: a leftover, removed.
      std::remove(path.c_str());
      continue;
    }

    const StoredMessage m = ParseStoredMessage(text);
    const std::string server = Setting(kEmailSmtpServer);
    const OutgoingMail mail{SenderText(app_), m.to, m.cc, m.bcc, m.subject, m.body, ReadSignature(app_),
                            m.attachments};
    std::vector<std::string> addresses, names;
    std::string error;
    if (!EnvelopeRecipients(mail.to, mail.cc, mail.bcc, addresses, names, error)) {
      // Not sent to only some of its recipients: it stays pending, and the
      // other messages still go.
      Post(progressWindow, kMsgSendError, error);
      result = SmtpResult::kRecipientRefused;
      continue;
    }

    SmtpClient client(options);
    ClientScope scope(mutex_, clients_, stop_, &client);
    const SmtpConnect connected = client.ConnectServer(server, options.greetingName);
    if (connected != SmtpConnect::kOk) {
      const std::string why = client.ConnectFailureText(connected, server);
      Post(progressWindow, kMsgMailStatus,
           Format(sendtext::kErrorSendingQueued,
                  {why.empty() ? std::string(sendtext::kCouldNotConnectToServer) : why}));
      client.Quit();
      CountPauses(client);
      result = ConnectFailure(connected);
      continue;
    }
    // Marked read by the user while connecting: not sent.
    if (!MailStore::IsUnread(path)) {
      client.Quit();
      CountPauses(client);
      continue;
    }
    const SmtpResult rc = client.SendMail(mail);
    if (rc == SmtpResult::kSent) {
      MoveToSentItems(path);
    } else {
      Post(progressWindow, kMsgMailStatus, Format(sendtext::kErrorSendingQueued, {client.LastReply()}));
      result = rc;
    }
    client.Quit();
    CountPauses(client);
  }
  PostMailWindow(kMsgMailFoldersChanged);
  return result;
}

}  // namespace vyr

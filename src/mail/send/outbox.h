#pragma once
// Outgoing mail: the stored form of a message written in the compose
// editor, Send Now (stored in Outbox and sent at once on a worker thread),
// Send Later (stored in Outbox as pending), Save Draft (stored in Draft),
// and the Outbox flush that the mail check runs. A sent message moves to
// Sent Items.
//
// An Outbox file is pending exactly while it is unread by the store's
// read-state rule. Every outgoing file is first written whole under a
// ".temp" name in Outbox, flushed to disk and given its read state, and only
// then renamed to its final "Out<tick>.mail" name, so neither the flush nor
// the mail window ever sees half a message. A message is moved to Sent
// Items only after the server took its terminating line with 250; any
// failure leaves it pending in Outbox, whole, for the next flush.
//
// File names come from the millisecond tick count, chosen under the mail
// lock with a 10 ms pause before the lock is released, so that two names
// never share a tick.
//
// A message is sent only by the run that claims its file
// (platform::FileClaim): the flush claims each Outbox file before it looks
// at it and passes over one another run holds; Send Now claims its file
// before the file takes its final name and holds it until the message is in
// Sent Items or pending again. So two flushes at once (the program and
// vyrelle-cli, or two checks) never send one message twice, and whatever
// marks messages pending again (the mail window's opening) can leave the
// claimed ones alone. A claim ends with its holder, a crashed one included,
// so no message is ever kept from being sent by a run that is gone.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/settings_table.h"
#include "mail/receive/mail_check.h"
#include "mail/send/smtp_client.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/window_messages.h"

namespace vyr {

class Application;

// Posted to the compose window (each text message carries its own copy).
inline constexpr std::uint32_t kMsgSendStatus = 0x8003;  // text: status line
inline constexpr std::uint32_t kMsgSendError = 0x8004;   // text: shown in a message box
// 0x800B, the end of the data, is kMsgSendEndOfData (smtp_client.h).
inline constexpr std::uint32_t kMsgComposeClose = 0x800D;  // the message is stored: close
// Posted to the mail window about outgoing files.
inline constexpr std::uint32_t kMsgMailAddRow = 0x8107;     // text: path; add its row when its folder is shown
inline constexpr std::uint32_t kMsgMailRemoveRow = 0x8108;  // text: path; remove its row when shown
// The flush posts its status texts to the mail window as kMsgMailStatus and
// its error texts as kMsgSendError.

// The texts of sending; TextId ones come from the string table.
namespace sendtext {
inline constexpr platform::TextId kFillInTo{33244};
inline constexpr platform::TextId kNoSubjectQuestion{38033};
inline constexpr platform::TextId kNoSubjectTitle{38047};
inline constexpr platform::TextId kNoSubject{38035};
inline constexpr platform::TextId kAttachingFile{33324};
inline constexpr platform::TextId kSavingMessage{38046};
inline constexpr char kErrorSaving[] = "Error saving message!\r\nError #: %d";
inline constexpr platform::TextId kConnectingTo{33327};
inline constexpr platform::TextId kCouldNotConnectTo{33326};
inline constexpr platform::TextId kPlacedInOutbox{33325};
inline constexpr platform::TextId kSendingTo{33323};
inline constexpr platform::TextId kWrappingUp{33328};
inline constexpr platform::TextId kErrorSendingTo{33329};
inline constexpr platform::TextId kSendingFromOutbox{33330};
inline constexpr platform::TextId kErrorSendingQueued{33419};
inline constexpr platform::TextId kCouldNotConnectToServer{33418};
// Marks an attachment in the stored form; the same whatever the language,
// so that a message queued under one language is read under any other.
inline constexpr char kFileAttached[] = "File Attached: ";
inline constexpr char kAttachmentNameLineBreak[] =
    "A file whose name holds a line break cannot be attached: %s";
inline constexpr char kCannotReadQueued[] = "Cannot read %s";
}  // namespace sendtext

// The compose window's part in sending. Called on the user-interface thread
// only; workers reach the window through the posted messages above.
class ComposeWindow {
 public:
  virtual ~ComposeWindow() = default;
  virtual std::string ToText() const = 0;
  virtual std::string CcText() const = 0;
  virtual std::string BccText() const = 0;
  virtual std::string SubjectText() const = 0;
  // The body in the editor's rich-text form.
  virtual std::string BodyForm() const = 0;
  virtual std::vector<std::string> Attachments() const = 0;
  // The stored message the window was opened from ("" for a new message).
  virtual std::string StoredPath() const = 0;
  virtual void SetStoredPath(const std::string& path) = 0;
  // Puts a new subject into the Subject box.
  virtual void SetSubjectText(const std::string& subject) = 0;
  virtual void FocusToBox() = 0;
  virtual void FocusSubjectBox() = 0;
  // Receives kMsgSendStatus, kMsgSendError, kMsgSendEndOfData and
  // kMsgComposeClose (0: nobody).
  virtual platform::WindowHandle Handle() const = 0;
};

// An outgoing message as stored.
struct StoredMessage {
  std::string to, cc, bcc, from, subject, date;
  std::string body;  // the rich-text body form
  std::vector<std::string> attachments;
};

// The stored form:
//   To: <to>\r\nCC: <cc>\r\nBCC: <bcc>\r\nFrom: <from>\r\nSubject: <subject>\r\n
//   Date: <date>\r\n\r\n<body>\r\n\r\n  then per attachment
//   \r\nFile Attached: <path>\r\n\r\n
// Line breaks in the header values become spaces.
std::string BuildStoredMessage(const std::string& to, const std::string& cc, const std::string& bcc,
                               const std::string& from, const std::string& subject,
                               const std::string& body, const std::vector<std::string>& attachments,
                               const std::string& date);
// Reads a stored message back. Header names match without regard to case
// and the first of each wins; values are kept whole (no length limit). The
// attachments are the "File Attached: " blocks at the end of the file,
// after the body form's background marker when it has one, so a body that
// mentions the words itself is neither cut nor taken for attachments.
StoredMessage ParseStoredMessage(const std::string& text);

// The sender of outgoing mail: "name <address>" from the mail settings.
std::string SenderText(const Application& app);

// "Email Signature.txt" in the mail root ("" when missing), and writing it
// (replaced whole, without a terminator).
std::string ReadSignature(const Application& app);
bool WriteSignature(const Application& app, const std::string& text);

class Outbox : public OutboxSender {
 public:
  // mailWindow: the mail window (0 or a closed window: none); it gets the
  // row and folder messages, and the flush's texts.
  explicit Outbox(Application& app, platform::WindowHandle mailWindow = 0);
  ~Outbox() override;
  Outbox(const Outbox&) = delete;
  Outbox& operator=(const Outbox&) = delete;

  // Send Now. On the calling (user-interface) thread: the checks and
  // questions, the recording of the recipients, and storing the message in
  // Outbox (marked read while this run owns it); then the sending runs on
  // a worker thread. False when it stopped before a worker started.
  bool StartSendNow(ComposeWindow& window);
  // Waits for the Send Now workers started so far; the last one's result.
  SmtpResult WaitForSendNow();
  bool SendNowRunning() const;
  // Send Now on the calling thread: kNotSent when it stopped before
  // sending or could not connect, kLogInRefused when the server refused the
  // log-in, otherwise SmtpClient::SendMail's result.
  SmtpResult SendNow(ComposeWindow& window);

  // Send Later (draft false) and Save Draft (draft true), on the
  // user-interface thread. 1 when stopped, 0 stored.
  int QueueMessage(ComposeWindow& window, bool draft);

  // Sends every pending Outbox message, each over a connection of its own.
  // Status texts go to progressWindow as kMsgMailStatus, error texts as
  // kMsgSendError. kSent when nothing failed; otherwise the last failure
  // (kNotSent for a connection failure or an unreadable file,
  // kRecipientRefused for a recipient that is no valid address,
  // kLogInRefused when the server refused the log-in, else SendMail's
  // result).
  SmtpResult FlushOutbox(platform::WindowHandle progressWindow);
  // The mail check's hook: the flush, reporting to the mail window, as
  // the result's number (0: nothing failed).
  int SendOutbox() override {
    ClearAbort();
    return static_cast<int>(FlushOutbox(mailWindow_));
  }
  void StopSending() override { Abort(); }

  // Any thread: stops the flush before its next message and makes a
  // running send fail at once (the message stays pending).
  void Abort();
  void ClearAbort() { stop_ = false; }

  // Any thread: whether this Outbox's flush is running, and whether any
  // flush of this process is. The mail window asks before it opens an
  // Outbox message ("You can not open messages in the Outbox\nwhen
  // outgoing messages are being sent..."), together with IsBeingSent for
  // a flush or Send Now of another process.
  bool IsFlushing() const { return flushing_.load() > 0; }
  static bool AnyFlushing();
  // Whether a run (of any process) holds the message to send it now.
  static bool IsBeingSent(const std::string& path);

  // How long each ordinary server reply is awaited (20 s; tests shorten
  // it). The reply to the end of a message's data is always awaited for
  // SmtpClient::kFinalReplyTimeLimitSeconds, so a slow server that takes the
  // message late still has it counted as sent, never sent twice.
  void SetReplyTimeLimit(int seconds) { replyTimeLimitSeconds_ = seconds; }

  // The fixed pauses this object's runs have taken so far, in milliseconds:
  // 50 before every send, 10 after every streamed file chunk, 10 after
  // every file name chosen, 100 before every message of a flush.
  long MandatedPauseMs() const { return pausedMs_.load(); }

  struct Job;

 private:
  // False when the checks stopped it (the window was told why).
  bool PrepareSendNow(ComposeWindow& window, Job& job);
  SmtpResult RunSendNow(const Job& job);
  // Writes a new outgoing file into the folder; "" on failure with the
  // error number in *error. With claim, the file is claimed for this run
  // before it takes its final name.
  std::string StoreOutgoing(const std::string& folderPath, const std::string& text, bool pending,
                            int* error, platform::FileClaim* claim = nullptr);
  // Moves a sent file into Sent Items and marks it read; the new path.
  std::string MoveToSentItems(const std::string& path);
  // A text setting, "" when unset.
  std::string Setting(const StringSetting& setting) const;
  void CountPauses(const SmtpClient& client);
  void PostMailWindow(std::uint32_t message, const std::string& text = {}) const;

  Application& app_;
  const platform::WindowHandle mailWindow_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;  // guards clients_, workers_, lastResult_
  std::vector<SmtpClient*> clients_;
  std::vector<std::thread> workers_;
  std::atomic<int> running_{0};
  std::atomic<int> flushing_{0};
  std::atomic<long> pausedMs_{0};
  int replyTimeLimitSeconds_ = kSmtpReplyTimeLimitSeconds;
  SmtpResult lastResult_ = SmtpResult::kSent;
};

}  // namespace vyr

#pragma once
// The mail check: fetches new mail from the main POP3 account and the active
// extra accounts, one after the other, on a worker thread; stores each
// message in Inbox under its message key, skips what was fetched before,
// optionally deletes on the server, then lets the Outbox be sent. It reports
// to the mail window only through posted messages.
//
// Stopping is cooperative and never waits. Cancel (and the watchdog, when a
// session makes no progress for "POP3Timeout" seconds) sets the cancel flag
// and shuts the socket down, so a blocked read returns at once, and returns;
// the worker leaves at its next cancel check without storing a partial
// message (the server never receives QUIT for a cancelled session, so its
// deletions are not committed) and reports the end of the run itself. The
// stop also posts kMsgMailStopDeadline to the window for 1.25 s later: a
// worker that has not left by then (still inside a question to the user) is
// forgotten there (StopDeadlinePassed), its later messages are dropped, and
// the end of the run is reported for it.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/string_table.h"
#include "platform/window_messages.h"

namespace vyr {

class Application;

// Messages posted to the mail window.
inline constexpr std::uint32_t kMsgMailNewMessage = 0x8101;     // text: the stored file's path
inline constexpr std::uint32_t kMsgMailCheckFinished = 0x8102;  // wParam below; lParam 0 all well, 1 not
// wParam of kMsgMailCheckFinished: kRunCancelled when the run was cancelled
// (by Cancel, or by the user's Cancel of the password question), else 0.
inline constexpr platform::WParam kRunCancelled = 1;
inline constexpr std::uint32_t kMsgMailStatus = 0x8103;         // text: status; wParam below
// wParam of kMsgMailStatus: 0 for a progress text, shown followed by "...";
// kStatusShownAsGiven for a text shown just as it is ("Canceling...").
inline constexpr platform::WParam kStatusShownAsGiven = 1;
inline constexpr std::uint32_t kMsgMailNewMail = 0x8104;        // play the new-mail notification
inline constexpr std::uint32_t kMsgMailFoldersChanged = 0x8105; // refresh the folders' bold state
inline constexpr std::uint32_t kMsgMailShowCheckLog = 0x8106;   // show the check-log indicator
// A stopped run's time is up: wParam is its generation, for StopDeadlinePassed.
inline constexpr std::uint32_t kMsgMailStopDeadline = 0x8109;
// How long a stopped worker has to leave before it is forgotten.
inline constexpr std::chrono::milliseconds kMailCheckStopWait{1250};

// Asks the user for a missing password (called on the worker thread; a
// window implementation hands the question to its own thread and waits).
class PasswordPrompt {
 public:
  virtual ~PasswordPrompt() = default;
  // False when the user cancels.
  virtual bool AskPassword(const std::string& account, const std::string& server,
                           std::string& password, bool& remember) = 0;
};

// The status a run the user cancelled ends with.
inline constexpr char kMailCheckCanceledText[] = "E-mail check canceled";

// The question asked when the mail settings lack a server, and its title.
inline constexpr platform::TextId kSettingsIncompleteQuestion{32961};
inline constexpr platform::TextId kSetupRequiredTitle{32963};

// Questions the check may ask while it runs (worker thread, as above).
class MailCheckQuestions {
 public:
  virtual ~MailCheckQuestions() = default;
  // "Could not connect to ..." with "Do you want to check your mail
  // settings?": true opens the settings dialog.
  virtual bool AskToCheckSettings(const std::string& text, const std::string& title) = 0;
  // Opens the mail settings dialog (when the user asked for it).
  virtual void OpenMailSettings() = 0;
};

// Sends what waits in the Outbox after the accounts were checked; 0 when all
// went well.
class OutboxSender {
 public:
  virtual ~OutboxSender() = default;
  virtual int SendOutbox() = 0;
  // Any thread: a cancelled check stops the sending (what is not sent stays
  // pending in the Outbox).
  virtual void StopSending() {}
};

// What the mail window does when a run has finished.
struct CheckFinishedOutcome {
  int restartAfterMs = -1;     // >= 0: start the check again (resuming at the account index)
  bool postNewMail = false;    // post kMsgMailNewMail
  std::string statusLine;      // the status line's new text
  std::string notification;    // popup text; empty for none
};

class MailCheck {
 public:
  MailCheck(Application& app, platform::WindowHandle mailWindow);
  // Stops a running check and waits for it a bounded time (see the .cpp).
  ~MailCheck();
  MailCheck(const MailCheck&) = delete;
  MailCheck& operator=(const MailCheck&) = delete;

  // Without a prompt, an account whose password is not stored is skipped.
  void SetPasswordPrompt(PasswordPrompt* prompt);
  void SetQuestions(MailCheckQuestions* questions);
  void SetOutboxSender(OutboxSender* sender);
  // Tells whether the mail window's folder loader is still running; the
  // worker waits for it before it starts.
  void SetFolderLoaderRunning(std::function<bool()> running);

  // Starts a run unless one is running or the settings are incomplete.
  // Returns true when a worker was started. With incomplete settings and not
  // silent, the user is asked whether to change them (through questions).
  bool StartMailCheck(bool silent);
  // Asks a running check to stop and returns at once: "Canceling...", the
  // cancel flag, the socket shut down, the Outbox's sending stopped. The
  // run then ends with "E-mail check canceled" and a check-finished message
  // with 1 and kRunCancelled, and the account index back at 0. False when
  // no check was running.
  bool CancelMailCheck();
  // The watchdog found no progress for "POP3Timeout" seconds (watchdog
  // thread): the run is stopped as by a cancel, but the status says "POP
  // session timed out" (and nothing the stopped session fails at afterwards
  // is shown), the check-finished message has no kRunCancelled, and the
  // stalled account is skipped when the run continues.
  void WatchdogExpired();
  // Window side, on kMsgMailStopDeadline: a stopped run of that generation
  // still running is forgotten and its end reported for it (the cancel's or
  // the time-out's text and a check-finished message). True when it was.
  bool StopDeadlinePassed(unsigned generation);

  bool IsRunning() const;
  // True while the watchdog waits for a session's next sign of progress.
  bool WatchdogArmed() const;
  int AccountIndex() const;
  void SetAccountIndex(int index);
  std::string CheckLog() const;
  std::string StatusText() const;

  // Mail-window side: a new-message notice arrived (counts it).
  void NewMessageNoticed();
  int NewCount() const;
  // Mail-window side: decides what follows a check-finished message.
  CheckFinishedOutcome CheckFinished(int result, bool inboxShown, bool windowInForeground);

  struct State;  // shared with the worker thread

 private:
  bool Stop(bool byWatchdog);

  std::shared_ptr<State> state_;
};

}  // namespace vyr

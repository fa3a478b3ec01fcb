#pragma once
// MailCheckDriver: the one place a window runs the mail check from. It owns
// the check and the Outbox the check flushes after the accounts, receives
// the worker's posted messages on a window handle of its own, and turns
// them into calls on a small observer: status texts, each message stored,
// the end of the run with its outcome, and new mail. The password question
// and the question after a failed connection go through the check's own
// interfaces (PasswordPrompt, MailCheckQuestions).
//
// Nothing here waits on the calling thread. Cancel asks the worker to stop
// and returns; the end of the run arrives later like every other report: as
// the worker leaves, or, when it has not left within the check's bounded
// time (still inside a question), from the check's stop deadline, the
// worker then forgotten. A run cut short by the watchdog goes on with the
// next account after half a second, from a delayed message, too. Only
// destroying the driver waits for a running worker, a bounded time (see
// MailCheck's destructor).
//
// Used by the command line's "mail check", the start-up check of the main
// window and the mail window.
#include <functional>
#include <memory>
#include <string>

#include "mail/receive/mail_check.h"
#include "platform/window_messages.h"

namespace vyr {

class Application;
class Outbox;

// How a run ended.
struct MailCheckEnd {
  bool allWell = false;      // every account checked and the Outbox sent
  bool cancelled = false;    // ended by Cancel, or by the password question's Cancel
  int newCount = 0;          // messages stored in Inbox by the run
  std::string statusLine;    // the status line's text after the run
  std::string notification;  // the popup offering the mailboxes; empty for none
};

// What the window hears, on the thread that dispatches window messages.
class MailCheckObserver {
 public:
  virtual ~MailCheckObserver() = default;
  // A status text; a progress text is shown followed by "..." (ShownStatus),
  // the others ("Canceling...", "E-mail check canceled", "POP session timed
  // out") as they are.
  virtual void MailCheckStatus(const std::string& text, bool progress) = 0;
  // A message was stored in Inbox; count: how many this run has stored.
  virtual void MailStored(const std::string& path, int count) { (void)path, (void)count; }
  // An error text of the Outbox's sending.
  virtual void MailSendError(const std::string& text) { (void)text; }
  // The Outbox moved a file (a sent message to Sent Items): the rows of a
  // folder that is shown.
  virtual void MailRowAdded(const std::string& path) { (void)path; }
  virtual void MailRowRemoved(const std::string& path) { (void)path; }
  // The folders' bold state may have changed.
  virtual void MailFoldersChanged() {}
  // An extra account failed: the check-log indicator.
  virtual void MailCheckLogToShow() {}
  // The run is over (and, after a time-out, every account after the stalled
  // one checked).
  virtual void MailCheckFinished(const MailCheckEnd& end) = 0;
  // After the end of a run that stored messages and went well:
  // the new-mail notification ("gotmail").
  virtual void NewMailArrived(int count) { (void)count; }

  // Asked when a run ends: whether Inbox is the folder shown, and whether
  // the window is visible and in the foreground (then no popup).
  virtual bool InboxShown() const { return false; }
  virtual bool InForeground() const { return true; }
};

// A status text as the status line shows it.
std::string ShownStatus(const std::string& text, bool progress);

class MailCheckDriver : private platform::MessageTarget {
 public:
  MailCheckDriver(Application& app, MailCheckObserver& observer);
  // Stops a running check; the one bounded wait (MailCheck's destructor).
  ~MailCheckDriver() override;
  MailCheckDriver(const MailCheckDriver&) = delete;
  MailCheckDriver& operator=(const MailCheckDriver&) = delete;

  // Without a prompt, an account whose password is not stored is skipped;
  // without questions, nobody is asked anything.
  void SetPasswordPrompt(PasswordPrompt* prompt);
  void SetQuestions(MailCheckQuestions* questions);
  void SetFolderLoaderRunning(std::function<bool()> running);

  // Starts a run with the main account; false when one is running (or
  // waiting to go on after a time-out) on this driver or on any other of
  // the process (one mail check at a time: the start-up check and the mail
  // window's share the one Inbox, Outbox and account state), or the
  // settings are incomplete (not silent: the user is asked through the
  // questions first).
  bool Start(bool silent);
  // Asks a running check to stop and returns at once; its end follows as a
  // MailCheckFinished with cancelled set. Nothing when none runs.
  void Cancel();
  // From Start until the run's end has been reported.
  bool IsRunning() const { return running_; }
  // Whether a run of any driver of the process is going on.
  static bool AnyRunning();

  MailCheck& Check() { return *check_; }
  const MailCheck& Check() const { return *check_; }
  platform::WindowHandle Handle() const { return handle_; }

 private:
  void OnWindowMessage(const platform::WindowMessage& message) override;
  void RunEnded(int result, bool cancelled);
  // The process's one run: claimed by Start, given back when the run's end
  // has been reported (or the driver goes).
  bool ClaimRun();
  void ReleaseRun();

  Application& app_;
  MailCheckObserver& observer_;
  platform::WindowHandle handle_ = 0;
  // The Outbox outlives the check: a cancel stops its flush.
  std::unique_ptr<Outbox> outbox_;
  std::unique_ptr<MailCheck> check_;
  bool running_ = false;
  bool silent_ = false;
  // The pause before a run cut short by the watchdog goes on: its number,
  // so that a pause Cancel has ended is recognised when its message comes.
  unsigned resumeNumber_ = 0;
  bool resumePending_ = false;
};

}  // namespace vyr

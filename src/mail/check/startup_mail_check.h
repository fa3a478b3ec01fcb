#pragma once
// StartupMailCheck: the silent mail check the main window runs once after
// the first page of the run has loaded, before any mail window exists. A
// policy on top of the mail-check driver: nobody is asked anything (an
// account without a stored password is skipped, a connection failure is
// only a status text), progress texts and the outcome ("You have 1 new
// e-mail message in your Inbox! - ...") go to the main window's status line,
// and new mail plays the "gotmail" sound. Whether it runs at all is
// StartupMailCheckWanted's decision (browser/main_window_model.h).
//
// Destroying the object cancels a running check (the driver's bounded wait,
// no thread killed) and drops whatever the check still posts.
#include <functional>
#include <string>

#include "mail/check/mail_check_driver.h"

namespace vyr {

class Application;

class StartupMailCheck : private MailCheckObserver {
 public:
  // status: shows a text on the main window's status line (user-interface
  // thread).
  StartupMailCheck(Application& app, std::function<void(const std::string&)> status);
  StartupMailCheck(const StartupMailCheck&) = delete;
  StartupMailCheck& operator=(const StartupMailCheck&) = delete;

  // Starts the silent check; false when none started (no usable POP3 server
  // in the settings, or a check runs already).
  bool Start() { return driver_.Start(true); }
  bool IsRunning() const { return driver_.IsRunning(); }

 private:
  void MailCheckStatus(const std::string& text, bool progress) override;
  void MailSendError(const std::string& text) override;
  void MailCheckFinished(const MailCheckEnd& end) override;
  void NewMailArrived(int count) override;
  // There is no mail window: Inbox is never the folder shown, and the popup
  // offering to open the mailboxes has nothing to open (the window counts
  // as in the foreground).

  Application& app_;
  std::function<void(const std::string&)> status_;
  MailCheckDriver driver_;  // last: it reports to the members above
};

}  // namespace vyr

#include "mail/check/startup_mail_check.h"

#include "base/application.h"

namespace vyr {

StartupMailCheck::StartupMailCheck(Application& app, std::function<void(const std::string&)> status)
    : app_(app), status_(std::move(status)), driver_(app, *this) {
  // No password prompt and no questions: nobody is asked at start-up.
}

void StartupMailCheck::MailCheckStatus(const std::string& text, bool progress) {
  if (status_) status_(ShownStatus(text, progress));
}

void StartupMailCheck::MailSendError(const std::string& text) {
  if (status_) status_(text);
}

void StartupMailCheck::MailCheckFinished(const MailCheckEnd& end) {
  if (status_) status_(end.statusLine);
}

void StartupMailCheck::NewMailArrived(int) { app_.PlaySound("gotmail"); }

}  // namespace vyr

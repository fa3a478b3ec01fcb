#include "mail/check/startup_mail_check.h"

#include "base/application.h"
#include "mail/receive/mail_check.h"
#include "mail/send/outbox.h"
#include "base/window_timers.h"

namespace vyr {

StartupMailCheck::StartupMailCheck(Application& app, WindowTimers& timers,
                                   std::function<void(const std::string&)> status)
    : app_(app), timers_(timers), status_(std::move(status)) {
  handle_ = platform::WindowMessages::Instance().Register(this);
  outbox_ = std::make_unique<Outbox>(app_, handle_);
  check_ = std::make_unique<MailCheck>(app_, handle_);
  check_->SetOutboxSender(outbox_.get());
  // No password prompt and no questions: nobody is asked at start-up.
}

StartupMailCheck::~StartupMailCheck() {
  // Cancels a running check and waits its bounded time; the messages it
  // posts meanwhile are dropped with the handle.
  timers_.KillTimer(kResumeTimer);
  check_.reset();
  outbox_.reset();
  platform::WindowMessages::Instance().Unregister(handle_);
}

bool StartupMailCheck::Start() { return check_->StartMailCheck(true); }

bool StartupMailCheck::IsRunning() const { return check_->IsRunning(); }

void StartupMailCheck::OnTimer(unsigned id) {
  if (id != kResumeTimer) return;
  timers_.KillTimer(kResumeTimer);
  check_->StartMailCheck(true);
}

void StartupMailCheck::OnWindowMessage(const platform::WindowMessage& message) {
  switch (message.message) {
    case kMsgMailStatus:
      if (message.text && status_)
        status_(*message.text + (message.wParam == kStatusShownAsGiven ? "" : "..."));
      break;
    case kMsgSendError:
      if (message.text && status_) status_(*message.text);
      break;
    case kMsgMailNewMessage:
      check_->NewMessageNoticed();
      break;
    case kMsgMailCheckFinished: {
      // There is no mail window: Inbox is never the folder shown, and the
      // popup offering to open the mailboxes has nothing to open.
      const CheckFinishedOutcome outcome =
          check_->CheckFinished(static_cast<int>(message.lParam), false, true);
      if (outcome.restartAfterMs >= 0) {
        // A stalled account was skipped: the run goes on with the next one
        // after a pause.
        timers_.SetTimer(kResumeTimer, static_cast<unsigned>(outcome.restartAfterMs));
        break;
      }
      if (outcome.postNewMail) platform::PostMessage(handle_, kMsgMailNewMail);
      if (status_) status_(outcome.statusLine);
      break;
    }
    case kMsgMailNewMail:
      if (!check_->IsRunning()) app_.PlaySound("gotmail");
      break;
    default:
      break;  // rows and folders of a mail window that does not exist
  }
}

}  // namespace vyr

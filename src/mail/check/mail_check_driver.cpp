#include "mail/check/mail_check_driver.h"

#include <atomic>
#include <chrono>

#include "base/application.h"
#include "mail/send/outbox.h"

namespace vyr {

namespace {

// The pause after a time-out is over: the run goes on with the next
// account. wParam: the pause's number.
constexpr std::uint32_t kMsgResumeRun = 0x810A;

// The driver whose run is going on, if any: one mail check at a time in the
// whole process.
std::atomic<const MailCheckDriver*> gRunningDriver{nullptr};

}  // namespace

std::string ShownStatus(const std::string& text, bool progress) { return progress ? text + "..." : text; }

MailCheckDriver::MailCheckDriver(Application& app, MailCheckObserver& observer)
    : app_(app), observer_(observer) {
  handle_ = platform::WindowMessages::Instance().Register(this);
  outbox_ = std::make_unique<Outbox>(app_, handle_);
  check_ = std::make_unique<MailCheck>(app_, handle_);
  check_->SetOutboxSender(outbox_.get());
}

MailCheckDriver::~MailCheckDriver() {
  // What the stopping worker still posts is dropped with the handle; the
  // check then stops its worker (a bounded wait), and the Outbox it may be
  // flushing goes last.
  platform::WindowMessages::Instance().Unregister(handle_);
  check_.reset();
  outbox_.reset();
  ReleaseRun();
}

bool MailCheckDriver::AnyRunning() { return gRunningDriver.load() != nullptr; }

bool MailCheckDriver::ClaimRun() {
  const MailCheckDriver* none = nullptr;
  return gRunningDriver.compare_exchange_strong(none, this);
}

void MailCheckDriver::ReleaseRun() {
  const MailCheckDriver* self = this;
  gRunningDriver.compare_exchange_strong(self, nullptr);
}

void MailCheckDriver::SetPasswordPrompt(PasswordPrompt* prompt) { check_->SetPasswordPrompt(prompt); }
void MailCheckDriver::SetQuestions(MailCheckQuestions* questions) { check_->SetQuestions(questions); }
void MailCheckDriver::SetFolderLoaderRunning(std::function<bool()> running) {
  check_->SetFolderLoaderRunning(std::move(running));
}

bool MailCheckDriver::Start(bool silent) {
  if (running_ || !ClaimRun()) return false;
  check_->SetAccountIndex(0);
  if (!check_->StartMailCheck(silent)) {
    ReleaseRun();
    return false;
  }
  running_ = true;
  resumePending_ = false;
  return true;
}

void MailCheckDriver::Cancel() {
  if (!running_) return;
  if (resumePending_) {
    // Between a stalled account and the next one no worker runs: the run
    // ends here, reported the way a worker reports it.
    resumePending_ = false;
    check_->SetAccountIndex(0);
    auto& messages = platform::WindowMessages::Instance();
    messages.PostMessage(handle_, kMsgMailStatus, kMailCheckCanceledText, kStatusShownAsGiven);
    messages.PostMessage(handle_, kMsgMailCheckFinished, kRunCancelled, 1);
    return;
  }
  check_->CancelMailCheck();
}

void MailCheckDriver::RunEnded(int result, bool cancelled) {
  if (!running_) return;
  const CheckFinishedOutcome outcome =
      check_->CheckFinished(result, observer_.InboxShown(), observer_.InForeground());
  if (outcome.restartAfterMs >= 0 && !cancelled) {
    // A stalled account was skipped: the run goes on with the next one
    // after a pause, still running as far as the window is concerned.
    resumePending_ = true;
    platform::WindowMessages::Instance().PostMessageAfter(
        handle_, kMsgResumeRun, std::chrono::milliseconds(outcome.restartAfterMs), ++resumeNumber_);
    return;
  }
  running_ = false;
  ReleaseRun();
  MailCheckEnd end;
  end.allWell = result == 0;
  end.cancelled = cancelled;
  end.newCount = check_->NewCount();
  end.statusLine = outcome.statusLine;
  end.notification = outcome.notification;
  if (outcome.postNewMail) platform::PostMessage(handle_, kMsgMailNewMail, static_cast<platform::WParam>(end.newCount));
  observer_.MailCheckFinished(end);
}

void MailCheckDriver::OnWindowMessage(const platform::WindowMessage& m) {
  const std::string text = m.text.value_or("");
  switch (m.message) {
    case kMsgMailStatus:
      observer_.MailCheckStatus(text, m.wParam != kStatusShownAsGiven);
      break;
    case kMsgSendError:
      observer_.MailSendError(text);
      break;
    case kMsgMailNewMessage:
      check_->NewMessageNoticed();
      observer_.MailStored(text, check_->NewCount());
      break;
    case kMsgMailFoldersChanged:
      observer_.MailFoldersChanged();
      break;
    case kMsgMailShowCheckLog:
      observer_.MailCheckLogToShow();
      break;
    case kMsgMailAddRow:
      observer_.MailRowAdded(text);
      break;
    case kMsgMailRemoveRow:
      observer_.MailRowRemoved(text);
      break;
    case kMsgMailStopDeadline:
      check_->StopDeadlinePassed(static_cast<unsigned>(m.wParam));
      break;
    case kMsgMailCheckFinished:
      RunEnded(static_cast<int>(m.lParam), m.wParam == kRunCancelled);
      break;
    case kMsgResumeRun:
      if (!resumePending_ || m.wParam != resumeNumber_) break;  // a pause Cancel ended
      resumePending_ = false;
      if (!check_->StartMailCheck(true)) {
        // The settings changed meanwhile: the run ends where it stood.
        check_->SetAccountIndex(0);
        RunEnded(1, false);
      }
      break;
    case kMsgMailNewMail:
      // Told only while no run is going on (a new one may have started).
      if (!running_) observer_.NewMailArrived(static_cast<int>(m.wParam));
      break;
    default:
      break;
  }
}

}  // namespace vyr

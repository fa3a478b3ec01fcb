#pragma once
// StartupMailCheck: the silent mail check the main window runs once after
// the first page of the run has loaded, before any mail window exists. It
// owns the check and the Outbox the check flushes, receives the check's
// messages on a window handle of its own, and turns them into status-line
// texts for the main window: progress texts followed by "...", the outcome
// ("You have 1 new e-mail message in your Inbox! - ..."), and on new mail the
// "gotmail" sound.
//
// Nobody is asked anything: an account without a stored password is
// skipped, a connection failure is only a status text. Destroying the object
// cancels a running check (bounded wait, no thread killed) and drops
// whatever the check still posts.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/window_messages.h"

namespace vyr {

class WindowTimers;
class Application;
class MailCheck;
class Outbox;

class StartupMailCheck : private platform::MessageTarget {
 public:
  // status: shows a text on the main window's status line (user-interface
  // thread). timers: the main window's timers; the check uses timer
  // kResumeTimer and is handed its ticks through OnTimer.
  StartupMailCheck(Application& app, WindowTimers& timers,
                   std::function<void(const std::string&)> status);
  ~StartupMailCheck() override;
  StartupMailCheck(const StartupMailCheck&) = delete;
  StartupMailCheck& operator=(const StartupMailCheck&) = delete;

  // Starts the silent check; false when none started (no usable POP3 server
  // in the settings, or a check runs already).
  bool Start();
  bool IsRunning() const;
  // The pause after a run cut short by a stalled account: when it is over
  // the run goes on with the next account.
  static constexpr unsigned kResumeTimer = 0x4D43;
  void OnTimer(unsigned id);
  // The handle the check reports to.
  platform::WindowHandle Handle() const { return handle_; }

 private:
  void OnWindowMessage(const platform::WindowMessage& message) override;

  Application& app_;
  WindowTimers& timers_;
  std::function<void(const std::string&)> status_;
  platform::WindowHandle handle_ = 0;
  // The Outbox outlives the check: a cancel stops its flush.
  std::unique_ptr<Outbox> outbox_;
  std::unique_ptr<MailCheck> check_;
};

}  // namespace vyr

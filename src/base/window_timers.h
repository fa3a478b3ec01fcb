#pragma once
// The numbered timers of a window, as the logic asks for them: the server
// session's ping and log-in timers, the info box's rotation, the minute timer
// of the mail check. The window that owns the logic implements them.

namespace vyr {

class WindowTimers {
 public:
  virtual ~WindowTimers() = default;
  // Sets a timer, or restarts a running one with the new period.
  virtual void SetTimer(unsigned id, unsigned milliseconds) = 0;
  virtual void KillTimer(unsigned id) = 0;
};

}  // namespace vyr

#pragma once
// CWindowTimers: numbered timers of a window, as the logic asks for them
// (vyr::WindowTimers). Setting a running timer restarts it with the new
// period; every tick is handed to one function with the timer's number, on
// the user-interface thread. The timers stop when the object goes.
#include <functional>
#include <algorithm>
#include <map>
#include <memory>

#include <wx/event.h>
#include <wx/timer.h>

#include "base/window_timers.h"

class CWindowTimers : public wxEvtHandler, public vyr::WindowTimers {
 public:
  explicit CWindowTimers(std::function<void(unsigned id)> onTick);
  ~CWindowTimers() override;

  void SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;
  bool IsRunning(unsigned id) const;
  // The period the timer was last set to (0 when it is not running).
  unsigned Period(unsigned id) const;

 private:
  void OnTimer(wxTimerEvent& event);

  std::function<void(unsigned)> onTick_;
  std::map<unsigned, std::unique_ptr<wxTimer>> timers_;
};

#include "ui/windows/window_timers.h"

CWindowTimers::CWindowTimers(std::function<void(unsigned id)> onTick) : onTick_(std::move(onTick)) {
  Bind(wxEVT_TIMER, &CWindowTimers::OnTimer, this);
}

CWindowTimers::~CWindowTimers() {
  for (auto& [id, timer] : timers_) timer->Stop();
}

void CWindowTimers::SetTimer(unsigned id, unsigned milliseconds) {
  std::unique_ptr<wxTimer>& timer = timers_[id];
  if (!timer) timer = std::make_unique<wxTimer>(this, static_cast<int>(id));
  timer->Start(static_cast<int>(std::max(1u, std::min(milliseconds, 0x7FFFFFFFu))), wxTIMER_CONTINUOUS);
}

void CWindowTimers::KillTimer(unsigned id) {
  auto it = timers_.find(id);
  if (it != timers_.end()) it->second->Stop();
}

bool CWindowTimers::IsRunning(unsigned id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->IsRunning();
}

unsigned CWindowTimers::Period(unsigned id) const {
  auto it = timers_.find(id);
  return it != timers_.end() && it->second->IsRunning() ? static_cast<unsigned>(it->second->GetInterval()) : 0;
}

void CWindowTimers::OnTimer(wxTimerEvent& event) {
  if (onTick_) onTick_(static_cast<unsigned>(event.GetId()));
}

// Event-loop helpers shared by the window test programs in this folder.
#pragma once

#include <glib.h>

#include <chrono>
#include <functional>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/utils.h>

#include "platform/window_messages.h"

namespace vyr::test {

// Messages posted by workers reach the windows through the wx event loop, as
// in the program.
inline void RouteWindowMessagesToApp() {
  vyr::platform::WindowMessages::Instance().SetWakeUp([] {
    if (wxTheApp) wxTheApp->CallAfter([] { vyr::platform::WindowMessages::Instance().DispatchPending(); });
  });
}

// Runs the toolkit's main loop (engine and display included) until done()
// holds or the time is up; whether done() holds. A 20 ms tick keeps the loop
// from sleeping past a condition that changes without an event.
inline bool PumpUntil(const std::function<bool()>& done, int milliseconds = 20000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  const guint tick = g_timeout_add(20, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    g_main_context_iteration(nullptr, TRUE);
    wxTheApp->Yield(true);
  }
  g_source_remove(tick);
  return done();
}

// Lets the display and the wx event loop run until done() holds (at most
// five seconds); whether it holds.
inline bool YieldUntil(const std::function<bool()>& done) {
  for (int i = 0; i < 500 && !done(); ++i) {
    wxYield();
    wxMilliSleep(10);
  }
  return done();
}

// A test program that shows its frame, runs its checks once the event loop
// runs and ends with status 1 when any check failed.
class ChecksApp : public wxApp {
 public:
  int OnRun() override {
    wxApp::OnRun();
    return failures_ == 0 ? 0 : 1;
  }

 protected:
  virtual void RunChecks() = 0;

  void ShowAndRunChecks(wxFrame* frame) {
    frame->Show();
    frame->Raise();
    CallAfter([this] {
      RunChecks();
      ExitMainLoop();
    });
  }

  int failures_ = 0;
};

}  // namespace vyr::test

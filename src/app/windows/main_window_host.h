#pragma once
// MainWindowHost: what start-up, the single-instance receiver and the
// screenshot mode need of the main window, in one place, so that the rest of
// the application object does not depend on which window class it is.
#include <functional>
#include <memory>
#include <string>

#include "platform/window_messages.h"

class wxWindow;

namespace vyr {
class Application;
}

class MainWindowHost {
 public:
  virtual ~MainWindowHost() = default;

  // The top-level window; null once it is gone.
  virtual wxWindow* Window() const = 0;
  // The handle that receives posted messages (server commands), or 0.
  virtual vyr::platform::WindowHandle Handle() const { return 0; }
  // Runs the window's initialisation, shows it and opens fileToOpen (the
  // start page when empty).
  virtual void Start(const std::string& fileToOpen) = 0;
  // Opens an address handed over by a later start.
  virtual void OpenAddress(const std::string& address) = 0;
  // Shows the window (also from the tray), restores it and raises it.
  virtual void BringForward() = 0;
  // Called for every completed top-level document.
  virtual void SetOnDocumentComplete(std::function<void(const std::string& url)> f) = 0;
  // How the window closes the splash once it is up.
  virtual void SetSplashCloser(std::function<void()> close) = 0;
  // Ends the window for good (a termination request, the screenshot taken):
  // no tray, no question; the event loop then ends. A window with a tray
  // icon or its own ending steps overrides this.
  virtual void EndForGood();
  // Opens the window of that name over the main window (the screenshot
  // mode's --show: "lookandfeel", "startupoptions", ...); false for a name
  // the program has no window for.
  virtual bool OpenNamedWindow(const std::string& name) { return name == "main"; }
  // True when the window runs InitUserData itself while it initialises.
  virtual bool InitialisesUserData() const = 0;
};

// The program's main window.
std::unique_ptr<MainWindowHost> CreateMainWindow(vyr::Application& app);

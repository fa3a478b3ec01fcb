#pragma once
// CVyrApp: the wx application. It creates the user-interface services and
// the logic's application object, connects posted window messages to the
// event loop and opens the first window.
#include <memory>
#include <string>

#include <wx/app.h>

#include "app/application.h"
#include "app/windows/wx_services.h"
#include "platform/single_instance.h"

class CShellFrame;

class CVyrApp : public wxApp {
 public:
  CVyrApp();

  bool OnInit() override;
  int OnRun() override;
  int OnExit() override;

  vyr::Application& Logic() { return *logic_; }

 private:
  // The address given on the command line (or handed over by a later
  // start), or the local start page.
  void OpenFirstPage(CShellFrame& frame);

  std::unique_ptr<CWxMessageBox> boxes_;
  // In front of boxes_: boxes asked for by workers go to this thread.
  std::unique_ptr<vyr::UiThreadMessageBox> messages_;
  std::unique_ptr<CWxSoundPlayer> sounds_;
  std::unique_ptr<vyr::Application> logic_;
  unsigned sigtermSource_ = 0;  // the GLib source handling SIGTERM
  bool handedOver_ = false;     // a running instance took this start's address
  std::string fileToOpen_;      // the address of the command line ("" none)
  std::unique_ptr<vyr::platform::SingleInstance> singleInstance_;
};

wxDECLARE_APP(CVyrApp);

#pragma once
// CVyrApp: the wx application. Start-up in order: the command line, the
// hand-over to a running instance, the application object and its settings,
// the splash window, the default-browser offer, the home-server session, the
// main window with the file to open; after the main window is gone the
// shutdown (tracked addresses, logout, setup program, statistics, downloads).
//
// What the platform does not have is left out: there is no control container
// to enable, no window class to register (the single-instance socket stands
// for it), no OLE to initialise and no hidden frame (the single-instance
// listener receives what later starts hand over).
//
// main() reads the command line before the toolkit starts (--help and
// --version end there) and hands it over with SetCommandLine.
//
// "vyrelle --screenshot FILE [ADDRESS]" opens the address (or the start
// page) without handing it to a running instance, waits for the first
// completed document, saves a PNG of the main window and ends (status 1 with
// a message when nothing loaded within 30 s). When the page opened popup
// windows, their pages are waited for too and the picture covers the main
// window and the popups, the popups on top.
#include <map>
#include <memory>
#include <string>

#include <wx/app.h>
#include <wx/timer.h>
#include <wx/toplevel.h>
#include <wx/weakref.h>

#include "app/app_lifecycle.h"
#include "base/application.h"
#include "app/windows/wx_services.h"
#include "net/server_session.h"
#include "platform/single_instance.h"

class CSplashWnd;
class CVyr20Dlg;

class CVyrApp : public wxApp, public vyr::WindowTimers {
 public:
  CVyrApp();

  bool OnInit() override;
  int OnRun() override;
  int OnExit() override;

  vyr::Application& Logic() { return *logic_; }
  // The command line as main() read it, before the toolkit took its own
  // options out of argv.
  static void SetCommandLine(vyr::ProgramCommandLine line);

  // The session's timers (the channel bar's, until it exists).
  void SetTimer(unsigned id, unsigned milliseconds) override;
  void KillTimer(unsigned id) override;

 private:
  // Takes the command line main() read: the file to open, the screenshot.
  void ReadCommandLine();
  // The start-up steps of OnInit, in order: the services and the logic with
  // its start-up settings; the shipped files of a new data root, the
  // splash, last session's leftovers; SIGTERM handled on the event loop;
  // the main window made, started and shown.
  void MakeLogic();
  void PrepareDataRoot();
  void HandleTerminationRequests();
  void OpenMainWindow();
  void ShowSplash();
  void CloseSplash();
  void OfferDefaultBrowser();
  void StartSession();
  void ListenForLaterStarts();
  void OnDocumentComplete(const std::string& url);
  void TakeScreenshot();
  // --show: opens the named window, waits for it to be up and painted, takes
  // its picture and closes it.
  void TakeWindowScreenshot();
  bool SavePicture(const wxRect& rect);
  // Whether a shown popup window's page is still loading.
  bool PopupsLoading() const;
  // Whether a page of the window (or of a window inside it) is still loading
  // or has not begun.
  static bool PagesLoading(wxWindow* window);
  void EndWithStatus(int status);

  std::unique_ptr<CWxMessageBox> boxes_;
  // In front of boxes_: boxes asked for by workers go to this thread.
  std::unique_ptr<vyr::UiThreadMessageBox> messages_;
  std::unique_ptr<CWxSoundPlayer> sounds_;
  std::unique_ptr<vyr::Application> logic_;
  std::unique_ptr<vyr::net::ServerSession> session_;
  std::map<unsigned, std::unique_ptr<wxTimer>> timers_;
  wxWeakRef<CVyr20Dlg> mainWindow_;  // null once the main window is gone
  wxWeakRef<CSplashWnd> splash_;
  unsigned sigtermSource_ = 0;  // the GLib source handling SIGTERM
  bool handedOver_ = false;     // a running instance took this start's address
  bool terminating_ = false;    // SIGTERM came during start-up
  std::string fileToOpen_;      // the address of the command line ("" none)
  std::unique_ptr<vyr::platform::SingleInstance> singleInstance_;

  // --screenshot
  bool screenshotMode_ = false;
  std::string screenshotFile_;
  bool firstDocumentSeen_ = false;
  wxTimer screenshotDeadline_;
  wxTimer screenshotWait_;   // polls popups still loading
  int popupWaits_ = 0;       // polls so far
  bool popupsSettled_ = false;  // popups were waited for and had time to paint
  std::string showWindow_;      // --show: the window to take ("" the main window)
  wxWeakRef<wxTopLevelWindow> shownWindow_;  // ... once it is open
  int showWaits_ = 0;           // polls for it so far
  std::string showArgument_;    // --show viewer: the stored message to show
  bool pageWaited_ = false;     // the shown window's page was waited for
  int exitStatus_ = 0;
};

wxDECLARE_APP(CVyrApp);

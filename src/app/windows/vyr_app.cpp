#include "app/windows/vyr_app.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>
#include <cstdio>
#include <utility>

#include <wx/dcmemory.h>
#include <wx/dcscreen.h>
#include <wx/dialog.h>
#include <wx/display.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/toplevel.h>
#include <wx/utils.h>

#include "app/app_lifecycle.h"
#include "app/data_seeding.h"
#include "app/shell_integration.h"
#include "app/user_data.h"
#include "app/windows/default_browser_dlg.h"
#include "app/windows/splash_wnd.h"
#include "ui/windows/browser_wnd.h"
#include "browser/windows/popup_web_dlg.h"
#include "browser/windows/vyr20_dlg.h"
#include "mail/send/compose_rules.h"
#include "mail/store/mail_store.h"
#include "mail/windows/compose_wnd.h"
#include "net/connection_manager.h"
#include "net/download_worker.h"
#include "net/windows/download_progress_dlg.h"
#include "ui/windows/scheme_art.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "platform/system_info.h"
#include "platform/tick_count.h"
#include "platform/window_messages.h"
#include "platform/windows_dir.h"

namespace {

// How long --screenshot waits for the first document, and how long it lets
// the page paint before taking the picture.
constexpr int kScreenshotLimitMs = 30000;
constexpr int kPaintSettleMs = 600;
// How often and how many times --screenshot looks whether the popups a page
// opened have loaded (at most 20 s).
constexpr int kPopupPollMs = 100;
constexpr int kPopupPolls = 200;

// "%s": the file of the desktop's application list.
constexpr vyr::platform::TextId kDefaultBrowserNotSet{40595};

std::string ToUtf8(const wxString& text) { return std::string(text.utf8_str()); }

// "scheme:" at the start of a text (letters, digits, "+", "-", "." after a
// first letter), as in "http:", "file:" or "about:".
bool HasUriScheme(const std::string& text) {
  if (text.empty() || !g_ascii_isalpha(text[0])) return false;
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == ':') return true;
    if (!g_ascii_isalnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return false;
}

// A local file named on the command line becomes a file:// address; anything
// else is handed to the engine as it is.
std::string AddressFromArgument(const std::string& arg) {
  if (arg.empty() || HasUriScheme(arg)) return arg;
  wxFileName file(wxString::FromUTF8(arg.c_str()));
  if (!file.FileExists()) return arg;
  file.MakeAbsolute();
  gchar* uri = g_filename_to_uri(file.GetFullPath().fn_str(), nullptr, nullptr);
  std::string address = uri ? uri : arg;
  g_free(uri);
  return address;
}

// A relative file name means something only in the directory it was typed
// in: it is made absolute before anything else looks at it.
std::string AbsoluteIfFile(const std::string& arg) {
  if (arg.empty() || HasUriScheme(arg)) return arg;
  wxFileName file(wxString::FromUTF8(arg.c_str()));
  if (!file.FileExists()) return arg;
  file.MakeAbsolute();
  return ToUtf8(file.GetFullPath());
}

}  // namespace

CVyrApp::CVyrApp() {
  // The application object is made before GTK starts, so the engine and its
  // web processes see this. Accelerated compositing is meant for a display
  // with a GPU; on a virtual X server or a remote session it can leave pages
  // blank, so it is off unless the user set the variable.
  if (!wxGetEnv(wxS("WEBKIT_DISABLE_COMPOSITING_MODE"), nullptr))
    wxSetEnv(wxS("WEBKIT_DISABLE_COMPOSITING_MODE"), wxS("1"));
}

namespace {
vyr::ProgramCommandLine commandLine;
}

void CVyrApp::SetCommandLine(vyr::ProgramCommandLine line) { commandLine = std::move(line); }

void CVyrApp::ReadCommandLine() {
  if (commandLine.mode == vyr::ProgramCommandLine::Mode::Screenshot) {
    screenshotMode_ = true;
    wxFileName file(wxString::FromUTF8(commandLine.screenshotFile.c_str()));
    file.MakeAbsolute();
    screenshotFile_ = ToUtf8(file.GetFullPath());
    showWindow_ = commandLine.showWindow == "main" ? "" : commandLine.showWindow;
    if (showWindow_ == "viewer" || showWindow_ == "addressbook") {
      // The stored message to show is the viewer's (the vCard file to
      // import the address book's), not the main window's: the main window
      // opens its start page.
      showArgument_ = AbsoluteIfFile(commandLine.argument);
      return;
    }
    if (showWindow_ == "compose") {
      // The mailto link fills the new message.
      showArgument_ = commandLine.argument;
      return;
    }
  }
  // The ".url" rule first (on the file's own name), then a local file
  // becomes a file address.
  fileToOpen_ = AddressFromArgument(vyr::FileToOpen({}, AbsoluteIfFile(commandLine.argument)));
}

bool CVyrApp::OnInit() {
  // wxApp::OnInit is not called: it would parse the command line as options
  // and refuse an address.
  SetAppName(wxS("vyrelle"));
  SetAppDisplayName(wxS("Vyrelle"));
  ReadCommandLine();

  // A later start (the desktop handing over an address with %u, a link
  // opened from another program) gives its address to the running instance
  // and ends. The screenshot mode always runs on its own.
  if (!screenshotMode_ && vyr::platform::SingleInstance::HandOver(fileToOpen_)) {
    handedOver_ = true;  // OnRun ends at once, with status 0
    return true;
  }

  MakeLogic();

  // Later starts are heard from here on; what they send waits in the event
  // queue until the main window is up.
  if (!screenshotMode_) ListenForLaterStarts();

  PrepareDataRoot();

  // Downloads the logic runs under the progress dialog get the window.
  vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);

  HandleTerminationRequests();

  if (!screenshotMode_) OfferDefaultBrowser();
  if (terminating_) {
    CloseSplash();
    return true;  // OnRun ends at once; OnExit shuts down
  }

  const std::string root = logic_->Directories().Root();
  if (!root.empty()) CBrowserWnd::SetEngineDataDirectory(vyr::platform::JoinPath(root, "WebKit"));

  if (!screenshotMode_) StartSession();

  // The current scheme, which every window draws with.
  CSchemeArt::Load(*logic_);
  OpenMainWindow();
  if (session_) session_->OnBarCreated();
  return true;
}

void CVyrApp::MakeLogic() {
  boxes_ = std::make_unique<CWxMessageBox>();
  messages_ = std::make_unique<vyr::UiThreadMessageBox>(*boxes_);
  sounds_ = std::make_unique<CWxSoundPlayer>();
  logic_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), *messages_,
                                              *sounds_);
  logic_->SetSplashCloser([this] { CloseSplash(); });

  // The display, then the start-up settings (the scheme's default depends
  // on the colour count).
  const int depth = wxDisplay(0u).GetDepth();
  logic_->SetColourCount(depth >= 24 ? 1 << 24 : 1 << depth);
  logic_->LoadStartupSettings();

  // Messages posted from any thread are delivered on this thread.
  vyr::platform::WindowMessages::Instance().SetWakeUp([] {
    if (wxTheApp)
      wxTheApp->CallAfter([] { vyr::platform::WindowMessages::Instance().DispatchPending(); });
  });
}

void CVyrApp::PrepareDataRoot() {
  // A new data root gets the shipped schemes (the splash picture among
  // them); files already there are kept.
  const std::string shipped = vyr::FindShippedDataFolder(vyr::platform::ProgramDirectory());
  if (!shipped.empty()) vyr::SeedDataRoot(shipped, logic_->Directories());

  if (!screenshotMode_ && vyr::ShouldShowSplash(*logic_, !fileToOpen_.empty())) ShowSplash();

  // Files a forward left read-only in the viewer's folder, and Outbox
  // leftovers of an interrupted write, from the last session; copies of
  // forwarded attachments no stored message names any more.
  const vyr::MailStore store(*logic_);
  store.CleanLeftovers();
  vyr::RemoveUnusedForwardCopies(store);
}

void CVyrApp::HandleTerminationRequests() {
  // A termination request (logout, kill) closes the windows, and the event
  // loop then ends normally, so everything is shut down in order. GLib runs
  // the handler on the event loop, not in signal context. (wxApp's own signal
  // handlers are not delivered by the GTK event loop.)
  sigtermSource_ = g_unix_signal_add(SIGTERM, [](gpointer) -> gboolean {
    // A request that comes while a start-up dialog is open ends that dialog;
    // start-up then stops before the main window.
    CVyrApp& app = wxGetApp();
    app.terminating_ = true;
    if (app.mainWindow_) app.mainWindow_->EndForGood();
    for (wxWindow* window : wxTopLevelWindows) window->Close(true);
    // Closed frames are deleted at idle time; with no input arriving (a
    // virtual display) nothing else would start the idle processing.
    wxWakeUpIdle();
    return G_SOURCE_CONTINUE;
  }, nullptr);
}

void CVyrApp::OpenMainWindow() {
  mainWindow_ = new CVyr20Dlg(*logic_);
  SetTopWindow(mainWindow_);
  mainWindow_->SetSplashCloser([this] { CloseSplash(); });
  mainWindow_->SetOnDocumentComplete([this](const std::string& url) { OnDocumentComplete(url); });
  if (screenshotMode_) {
    screenshotDeadline_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      std::fprintf(stderr, "vyrelle: nothing loaded within %d seconds\n", kScreenshotLimitMs / 1000);
      EndWithStatus(1);
    });
    screenshotDeadline_.StartOnce(kScreenshotLimitMs);
    screenshotWait_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { TakeScreenshot(); });
  }
  mainWindow_->Start(fileToOpen_);
  if (screenshotMode_) {
    CComposeWnd::SetAskAboutSettings(false);
  } else {
    // Messages being written when the program last ended without closing
    // their windows open again, above the main window.
    CallAfter([this] {
      if (logic_) CComposeWnd::OpenRecoveredDrafts(*logic_);
    });
  }
  // The splash stays above the main window until its time is up.
  if (splash_) {
    splash_->Raise();
    CallAfter([this] {
      if (splash_) splash_->Raise();
    });
  }
}

void CVyrApp::ListenForLaterStarts() {
  // The listening thread passes what later starts send to this thread.
  singleInstance_ = std::make_unique<vyr::platform::SingleInstance>();
  singleInstance_->Listen(
      [](const std::string& address) {
        wxTheApp->CallAfter([address] {
          auto& app = wxGetApp();
          if (!app.mainWindow_) return;
          app.mainWindow_->OpenAddress(vyr::ResolveShortcutAddress(address), false, true);
          app.mainWindow_->BringForward();
        });
      },
      [] {
        wxTheApp->CallAfter([] {
          if (auto& app = wxGetApp(); app.mainWindow_) app.mainWindow_->BringForward();
        });
      });
}

void CVyrApp::ShowSplash() {
  logic_->PlaySound("welcome", 1, true);
  if (!splash_) splash_ = new CSplashWnd(logic_->ResolveSchemeFile("splash.bmp", true));
  splash_->ShowOnTop();
}

void CVyrApp::CloseSplash() {
  CSplashWnd* splash = splash_.get();
  if (!splash) return;
  splash_ = nullptr;
  splash->Hide();
  CallAfter([splash] { splash->Destroy(); });
}

void CVyrApp::OfferDefaultBrowser() {
  const std::string program = vyr::WindowedProgramPath();
  const vyr::platform::Registry& registry = logic_->Registry();
  vyr::RunDefaultBrowserOffer(
      *logic_, !fileToOpen_.empty(), [&] { return vyr::IsDefaultBrowser(registry, program); },
      [&] {
        const bool splashShown = splash_ && splash_->IsShown();
        if (splashShown) splash_->Hide();
        bool alwaysCheck = true;
        CDefaultBrowserDlg dialog(nullptr);
        const bool yes = dialog.Ask(alwaysCheck);
        if (!alwaysCheck) logic_->Write(vyr::kStartupCheckDefaultBrowser, 0);
        if (splashShown && splash_) splash_->ShowOnTop();
        return yes;
      },
      [&] {
        if (!vyr::MakeDefaultBrowser(registry, program)) {
          std::string text = kDefaultBrowserNotSet.Text();
          if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, registry.File());
          logic_->Messages().Error(text);
        }
      });
}

void CVyrApp::StartSession() {
  vyr::platform::SystemInfo system = vyr::platform::QuerySystemInfo();
  const wxRect screen = wxDisplay(0u).GetGeometry();
  system.screenWidth = screen.width;
  system.screenHeight = screen.height;
  system.colourCount = logic_->ColourCount();
  CBrowserWnd::AddEngineVersions(system);
  vyr::net::SessionHooks hooks;
  hooks.mainWindow = [this] { return mainWindow_ ? mainWindow_->Handle() : 0; };
  // The engine's navigations are the second navigation interface's kind.
  hooks.mainBrowserNavigates2 = [this] { return mainWindow_ != nullptr; };
  hooks.online = [] { return vyr::net::IsOnline(); };
  hooks.browserWindowVisible = [this] {
    for (wxWindow* window : wxTopLevelWindows) {
      if (window != splash_.get() && window->IsShown()) return true;
    }
    return false;
  };
  session_ = std::make_unique<vyr::net::ServerSession>(*logic_, logic_->Counters(), logic_->TrackedUrls(),
                                                       *this, std::move(hooks), system,
                                                       vyr::platform::GetTickCount());
  logic_->SetSession(session_.get());
}

void CVyrApp::SetTimer(unsigned id, unsigned milliseconds) {
  std::unique_ptr<wxTimer>& timer = timers_[id];
  if (!timer) {
    timer = std::make_unique<wxTimer>();
    timer->Bind(wxEVT_TIMER, [this, id](wxTimerEvent&) {
      if (session_) session_->OnTimer(id);
    });
  }
  timer->Start(static_cast<int>(milliseconds));
}

void CVyrApp::KillTimer(unsigned id) {
  if (auto it = timers_.find(id); it != timers_.end()) it->second->Stop();
}

void CVyrApp::OnDocumentComplete(const std::string& /*url*/) {
  if (firstDocumentSeen_) return;
  firstDocumentSeen_ = true;
  if (session_) session_->OnFirstDocumentComplete();
  if (screenshotMode_) {
    screenshotDeadline_.Stop();
    // The engine paints after it reports the load; the picture waits a
    // moment for that.
    auto* settle = new wxTimer();
    settle->Bind(wxEVT_TIMER, [this, settle](wxTimerEvent&) {
      TakeScreenshot();
      CallAfter([settle] { delete settle; });
    });
    settle->StartOnce(kPaintSettleMs);
  }
}

bool CVyrApp::PagesLoading(wxWindow* window) {
  if (!window) return false;
  if (auto* pane = dynamic_cast<CBrowserWnd*>(window)) return pane->IsLoading() || pane->CurrentUrl().empty();
  for (wxWindow* child : window->GetChildren()) {
    if (PagesLoading(child)) return true;
  }
  return false;
}

bool CVyrApp::PopupsLoading() const {
  for (const CPopupWebDlg* popup : CPopupWebDlg::All()) {
    if (!popup->IsShown() || !popup->Pane()) continue;
    if (popup->Pane()->IsLoading() || popup->Pane()->CurrentUrl().empty()) return true;
  }
  return false;
}

void CVyrApp::TakeScreenshot() {
  wxWindow* window = mainWindow_.get();
  if (!window) return EndWithStatus(1);
  if (!showWindow_.empty()) return TakeWindowScreenshot();
  // Popups the page opened: their pages load first (a popup that never
  // finishes is taken as it is), then they get the time to paint.
  if (!popupsSettled_) {
    if (PopupsLoading() && ++popupWaits_ < kPopupPolls) {
      screenshotWait_.StartOnce(kPopupPollMs);
      return;
    }
    if (popupWaits_ > 0) {
      popupsSettled_ = true;
      screenshotWait_.StartOnce(kPaintSettleMs);
      return;
    }
  }
  // The picture is taken from the screen: the window, then its popups on
  // top, covering anything else; the area holds them all.
  window->Raise();
  window->Update();
  wxRect rect = window->GetScreenRect();
  for (CPopupWebDlg* popup : CPopupWebDlg::All()) {
    if (!popup->IsShown()) continue;
    popup->Raise();
    popup->Update();
    rect.Union(popup->GetScreenRect());
  }
  rect.Intersect(wxDisplay(0u).GetGeometry());
  if (rect.IsEmpty()) {
    std::fprintf(stderr, "vyrelle: the window is off the screen\n");
    return EndWithStatus(1);
  }
  EndWithStatus(SavePicture(rect) ? 0 : 1);
}

bool CVyrApp::SavePicture(const wxRect& rect) {
  wxBitmap picture(rect.width, rect.height, 24);
  {
    wxScreenDC screen;
    wxMemoryDC memory(picture);
    memory.Blit(0, 0, rect.width, rect.height, &screen, rect.x, rect.y);
  }
  if (!wxImage::FindHandler(wxBITMAP_TYPE_PNG)) wxImage::AddHandler(new wxPNGHandler);
  if (!picture.ConvertToImage().SaveFile(wxString::FromUTF8(screenshotFile_.c_str()), wxBITMAP_TYPE_PNG)) {
    std::fprintf(stderr, "vyrelle: cannot write %s\n", screenshotFile_.c_str());
    return false;
  }
  return true;
}

void CVyrApp::TakeWindowScreenshot() {
  wxWindow* main = mainWindow_.get();
  if (!shownWindow_ && showWaits_ == 0) {
    if (!main || !mainWindow_->OpenNamedWindow(showWindow_, showArgument_)) {
      std::fprintf(stderr, "vyrelle: there is no window named %s\n", showWindow_.c_str());
      return EndWithStatus(2);
    }
  }
  if (!shownWindow_) {
    // The newest shown top-level window that is neither the main window
    // nor one of its popups: the window the command opened (a modal one
    // runs its own loop, in which this timer still fires).
    for (wxWindow* window : wxTopLevelWindows) {
      auto* top = dynamic_cast<wxTopLevelWindow*>(window);
      if (!top || top == main || !top->IsShownOnScreen() || dynamic_cast<CPopupWebDlg*>(top)) continue;
      shownWindow_ = top;
    }
    if (!shownWindow_) {
      if (++showWaits_ > kPopupPolls) {
        std::fprintf(stderr, "vyrelle: the window %s did not open\n", showWindow_.c_str());
        return EndWithStatus(1);
      }
      screenshotWait_.StartOnce(kPopupPollMs);
      return;
    }
    // Its first paint.
    screenshotWait_.StartOnce(kPaintSettleMs);
    return;
  }
  // A window with a page (the message viewer) is taken once the page has
  // loaded, then painted.
  if (PagesLoading(shownWindow_) && ++showWaits_ < kPopupPolls) {
    pageWaited_ = true;
    screenshotWait_.StartOnce(kPopupPollMs);
    return;
  }
  if (std::exchange(pageWaited_, false)) {
    screenshotWait_.StartOnce(kPaintSettleMs);
    return;
  }
  wxTopLevelWindow* shown = shownWindow_;
  shown->Raise();
  shown->Update();
  wxRect rect = shown->GetScreenRect();
  rect.Intersect(wxDisplay(0u).GetGeometry());
  const bool saved = !rect.IsEmpty() && SavePicture(rect);
  // A modal window ends its loop first; the program then ends.
  if (auto* dialog = wxDynamicCast(shown, wxDialog); dialog && dialog->IsModal()) {
    dialog->EndModal(wxID_CANCEL);
  } else {
    shown->Close(true);
  }
  CallAfter([this, saved] { EndWithStatus(saved ? 0 : 1); });
}

void CVyrApp::EndWithStatus(int status) {
  exitStatus_ = status;
  if (mainWindow_) mainWindow_->EndForGood();
  for (wxWindow* window : wxTopLevelWindows) window->Close(true);
  wxWakeUpIdle();
}

int CVyrApp::OnRun() {
  if (handedOver_ || terminating_) return exitStatus_;
  const int status = wxApp::OnRun();
  return exitStatus_ != 0 ? exitStatus_ : status;
}

int CVyrApp::OnExit() {
  singleInstance_.reset();  // later starts find no instance from here on
  if (sigtermSource_) g_source_remove(sigtermSource_);
  sigtermSource_ = 0;
  // A worker still waiting for a box gets "cancel" instead of a window.
  if (messages_) messages_->Close();
  if (logic_) {
    // The main window is gone: the shutdown runs in order (the session's
    // logout is waited for once), then the session itself goes.
    timers_.clear();
    // Sends of closed compose windows whose data the server already had
    // finish first, so none is sent twice.
    CComposeWnd::FinishSends(30);
    vyr::RunShutdown(*logic_);
    logic_->SetSession(nullptr);
    session_.reset();
  }
  mainWindow_.Release();
  vyr::platform::WindowMessages::Instance().SetWakeUp(nullptr);
  vyr::net::SetDownloadDialogRunner(nullptr);
  logic_.reset();
  sounds_.reset();
  messages_.reset();
  boxes_.reset();
  return wxApp::OnExit();
}

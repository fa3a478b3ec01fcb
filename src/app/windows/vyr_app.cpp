#include "app/windows/vyr_app.h"

#include <glib-unix.h>
#include <glib.h>

#include <csignal>

#include <wx/display.h>
#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/utils.h>

#include "browser/windows/browser_wnd.h"
#include "browser/windows/shell_frame.h"
#include "mail/store/mail_store.h"
#include "net/download_worker.h"
#include "net/windows/download_progress_dlg.h"
#include "platform/single_instance.h"
#include "platform/window_messages.h"
#include "platform/windows_dir.h"

namespace {

// Shown when no start page file is found next to the program or in its
// installed data folder.
const char kBuiltInStartPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vyrelle</title></head>"
    "<body style=\"font-family: sans-serif; margin: 3em;\">"
    "<h1>Vyrelle</h1><p>The start page file was not found.</p></body></html>";

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
  if (HasUriScheme(arg)) return arg;
  wxFileName file(wxString::FromUTF8(arg.c_str()));
  if (!file.FileExists()) return arg;
  file.MakeAbsolute();
  gchar* uri = g_filename_to_uri(file.GetFullPath().fn_str(), nullptr, nullptr);
  std::string address = uri ? uri : arg;
  g_free(uri);
  return address;
}

// data/start.html next to the program (a build tree), else in the installed
// data folder. Empty when neither exists.
std::string FindStartPage() {
  wxFileName besideProgram(wxStandardPaths::Get().GetExecutablePath());
  besideProgram.AppendDir(wxS("data"));
  besideProgram.SetFullName(wxS("start.html"));
  if (besideProgram.FileExists()) return ToUtf8(besideProgram.GetFullPath());

  wxFileName installed(wxStandardPaths::Get().GetDataDir(), wxS("start.html"));
  if (installed.FileExists()) return ToUtf8(installed.GetFullPath());
  return {};
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

bool CVyrApp::OnInit() {
  // wxApp::OnInit is not called: it would parse the command line as options
  // and refuse an address.
  SetAppName(wxS("vyrelle"));
  SetAppDisplayName(wxS("Vyrelle"));

  // A later start (the desktop handing over an address with %u, a link
  // opened from another program) gives its address to the running instance
  // and ends. A relative file name is made absolute here, where it means
  // something.
  fileToOpen_ = argc > 1 ? AddressFromArgument(ToUtf8(argv[1])) : std::string();
  if (vyr::platform::SingleInstance::HandOver(fileToOpen_)) {
    handedOver_ = true;  // OnRun ends at once, with status 0
    return true;
  }

  boxes_ = std::make_unique<CWxMessageBox>();
  messages_ = std::make_unique<vyr::UiThreadMessageBox>(*boxes_);
  sounds_ = std::make_unique<CWxSoundPlayer>();
  logic_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), *messages_,
                                              *sounds_);

  const int depth = wxDisplay(0u).GetDepth();
  logic_->SetColourCount(depth >= 24 ? 1 << 24 : 1 << depth);
  logic_->LoadStartupSettings();
  logic_->InitInstallationId();
  // Files a forward left read-only in the viewer's folder, and Outbox
  // leftovers of an interrupted write, from the last session.
  vyr::MailStore(*logic_).CleanLeftovers();

  // Messages posted from any thread are delivered on this thread.
  vyr::platform::WindowMessages::Instance().SetWakeUp([] {
    if (wxTheApp)
      wxTheApp->CallAfter([] { vyr::platform::WindowMessages::Instance().DispatchPending(); });
  });

  // Downloads the logic runs under the progress dialog get the window.
  vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);

  // A termination request (logout, kill) closes the windows, and the event
  // loop then ends normally, so everything is shut down in order. GLib runs
  // the handler on the event loop, not in signal context. (wxApp's own signal
  // handlers are not delivered by the GTK event loop.)
  sigtermSource_ = g_unix_signal_add(SIGTERM, [](gpointer) -> gboolean {
    for (wxWindow* window : wxTopLevelWindows) window->Close(true);
    // Closed frames are deleted at idle time; with no input arriving (a
    // virtual display) nothing else would start the idle processing.
    wxWakeUpIdle();
    return G_SOURCE_CONTINUE;
  }, nullptr);

  const std::string root = logic_->Directories().Root();
  if (!root.empty()) CBrowserWnd::SetEngineDataDirectory(vyr::platform::JoinPath(root, "WebKit"));

  auto* frame = new CShellFrame();
  frame->Show();
  SetTopWindow(frame);
  OpenFirstPage(*frame);

  // The listening thread passes what later starts send to this thread.
  singleInstance_ = std::make_unique<vyr::platform::SingleInstance>();
  singleInstance_->Listen(
      [](const std::string& address) {
        wxTheApp->CallAfter([address] {
          if (auto* shell = dynamic_cast<CShellFrame*>(wxTheApp->GetTopWindow())) {
            shell->Browser()->Navigate(address);
            shell->Raise();
          }
        });
      },
      [] {
        wxTheApp->CallAfter([] {
          if (wxWindow* top = wxTheApp->GetTopWindow()) {
            top->Show();
            top->Raise();
          }
        });
      });
  return true;
}

void CVyrApp::OpenFirstPage(CShellFrame& frame) {
  if (!fileToOpen_.empty()) {
    frame.Browser()->Navigate(fileToOpen_);
    return;
  }
  const std::string startPage = FindStartPage();
  if (!startPage.empty()) {
    frame.Browser()->Navigate(AddressFromArgument(startPage));
  } else {
    frame.Browser()->LoadHtml(kBuiltInStartPage);
  }
}

int CVyrApp::OnRun() { return handedOver_ ? 0 : wxApp::OnRun(); }

int CVyrApp::OnExit() {
  singleInstance_.reset();  // later starts find no instance from here on
  if (sigtermSource_) g_source_remove(sigtermSource_);
  sigtermSource_ = 0;
  // A worker still waiting for a box gets "cancel" instead of a window.
  if (messages_) messages_->Close();
  // Downloads still running stop now; the services they were given are
  // released only after they ended (or two seconds passed).
  vyr::net::StopAllDownloads(std::chrono::seconds(2));
  vyr::platform::WindowMessages::Instance().SetWakeUp(nullptr);
  vyr::net::SetDownloadDialogRunner(nullptr);
  logic_.reset();
  sounds_.reset();
  messages_.reset();
  boxes_.reset();
  return wxApp::OnExit();
}

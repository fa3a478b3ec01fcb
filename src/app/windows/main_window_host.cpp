#include "app/windows/main_window_host.h"

#include <glib.h>

#include <wx/filename.h>
#include <wx/stdpaths.h>
#include <wx/timer.h>
#include <wx/weakref.h>
#include <wx/window.h>

#include "app/application.h"
#include "browser/windows/browser_wnd.h"
#include "browser/windows/shell_frame.h"

namespace {

// Shown when no start page file is found next to the program or in its
// installed data folder.
const char kBuiltInStartPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Vyrelle</title></head>"
    "<body style=\"font-family: sans-serif; margin: 3em;\">"
    "<h1>Vyrelle</h1><p>The start page file was not found.</p></body></html>";

// How long the splash stays once the main window is up.
constexpr int kSplashMs = 2500;

std::string ToUtf8(const wxString& text) { return std::string(text.utf8_str()); }

// data/start.html next to the program (a build tree), else in the installed
// data folder, as a file address. Empty when neither exists.
std::string FindStartPage() {
  wxFileName besideProgram(wxStandardPaths::Get().GetExecutablePath());
  besideProgram.AppendDir(wxS("data"));
  besideProgram.SetFullName(wxS("start.html"));
  wxFileName installed(wxStandardPaths::Get().GetDataDir(), wxS("start.html"));
  for (const wxFileName* page : {&besideProgram, &installed}) {
    if (!page->FileExists()) continue;
    gchar* uri = g_filename_to_uri(page->GetFullPath().fn_str(), nullptr, nullptr);
    std::string address = uri ? uri : ToUtf8(page->GetFullPath());
    g_free(uri);
    return address;
  }
  return {};
}

// The first main window: one browser control filling a plain frame.
class ShellFrameHost : public MainWindowHost {
 public:
  explicit ShellFrameHost(vyr::Application&) : frame_(new CShellFrame()) {
    frame_->SetOnDocumentComplete([this](const std::string& url) {
      if (onComplete_) onComplete_(url);
    });
  }
  ~ShellFrameHost() override {
    if (frame_) frame_->SetOnDocumentComplete(nullptr);
  }

  wxWindow* Window() const override { return frame_.get(); }

  void Start(const std::string& fileToOpen) override {
    frame_->Show();
    if (!fileToOpen.empty()) {
      frame_->Browser()->Navigate(fileToOpen);
    } else if (const std::string start = FindStartPage(); !start.empty()) {
      frame_->Browser()->Navigate(start);
    } else {
      frame_->Browser()->LoadHtml(kBuiltInStartPage);
    }
    if (closeSplash_) {
      splashTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { closeSplash_(); });
      splashTimer_.StartOnce(kSplashMs);
    }
  }

  void OpenAddress(const std::string& address) override {
    if (frame_) frame_->Browser()->Navigate(address);
  }

  void BringForward() override {
    if (!frame_) return;
    frame_->Show();
    frame_->Iconize(false);
    frame_->Raise();
  }

  void SetOnDocumentComplete(std::function<void(const std::string&)> f) override { onComplete_ = std::move(f); }
  void SetSplashCloser(std::function<void()> close) override { closeSplash_ = std::move(close); }
  bool InitialisesUserData() const override { return false; }

 private:
  wxWeakRef<CShellFrame> frame_;
  std::function<void(const std::string&)> onComplete_;
  std::function<void()> closeSplash_;
  wxTimer splashTimer_;
};

}  // namespace

void MainWindowHost::EndForGood() {
  if (wxWindow* window = Window()) window->Destroy();
}

std::unique_ptr<MainWindowHost> CreateMainWindow(vyr::Application& app) {
  return std::make_unique<ShellFrameHost>(app);
}

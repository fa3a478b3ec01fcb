// Shared by the window test programs in this folder: the event loop run
// until a condition holds, checks printed as "ok NAME" or "FAIL NAME: what
// was seen", the screen read back from the X server, real pointer clicks and
// the main window started on a prepared profile.
#pragma once

#include <gdk/gdk.h>
#include <glib.h>
#include <webkit2/webkit2.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/filename.h>
#include <wx/image.h>
#include <wx/log.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "base/application.h"
#include "browser/windows/vyr20_dlg.h"
#include "platform/url_canonicalizer.h"
#include "platform/window_messages.h"
#include "tools/test_support.h"
#include "ui/windows/browser_wnd.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/scheme_art.h"

namespace vyr::test {

inline int gUiFailures = 0;

// Prints "ok NAME" or "FAIL NAME: SEEN" and counts the failures.
inline bool Check(bool ok, const std::string& name, const std::string& seen = {}) {
  std::printf("%s %s%s%s\n", ok ? "ok" : "FAIL", name.c_str(), ok || seen.empty() ? "" : ": ", ok ? "" : seen.c_str());
  std::fflush(stdout);
  gUiFailures += ok ? 0 : 1;
  return ok;
}

// For checks named by what went wrong: prints "FAIL: PROBLEM" unless ok.
inline bool Require(bool ok, const std::string& problem) {
  if (!ok) std::printf("FAIL: %s\n", problem.c_str());
  std::fflush(stdout);
  gUiFailures += ok ? 0 : 1;
  return ok;
}

// Ends the program with the checks' verdict. Web processes and workers are
// left to the system, so no static destructor runs under them.
[[noreturn]] inline void ExitWithVerdict() {
  std::fflush(stdout);
  std::_Exit(gUiFailures == 0 ? 0 : 1);
}

// What every window test program does first: the program's display name,
// the picture handlers of the scheme art, and the messages posted by workers
// routed to the windows through the wx event loop, as in the program.
inline void InitWindowTest() {
  wxTheApp->SetAppDisplayName("Vyrelle");
  wxInitAllImageHandlers();
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
inline void Pause(int milliseconds) { PumpUntil([] { return false; }, milliseconds); }
// Lets the display and the engine handle what is queued.
inline void Settle() {
  for (int i = 0; i < 200 && g_main_context_pending(nullptr); ++i) g_main_context_iteration(nullptr, FALSE);
  wxTheApp->Yield(true);
}

// The screen as the X server has it now, read from the root window each time
// (the toolkit's screen DC may hand back an older picture).
inline wxImage Screen() {
  wxYield();
  GdkWindow* root = gdk_get_default_root_window();
  const int w = gdk_window_get_width(root), h = gdk_window_get_height(root);
  wxImage image(w, h);
  GdkPixbuf* pixbuf = gdk_pixbuf_get_from_window(root, 0, 0, w, h);
  if (!pixbuf) return image;
  const int stride = gdk_pixbuf_get_rowstride(pixbuf), channels = gdk_pixbuf_get_n_channels(pixbuf);
  const guchar* pixels = gdk_pixbuf_get_pixels(pixbuf);
  unsigned char* out = image.GetData();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x, out += 3) std::copy_n(pixels + y * stride + x * channels, 3, out);
  g_object_unref(pixbuf);
  return image;
}

// Saves the screen as a PNG (kept as a test artifact) and returns it.
inline wxImage SaveScreen(const std::string& path) {
  for (wxWindow* window : wxTopLevelWindows) window->Update();
  Settle();
  wxImage screen = Screen();
  // The picture's folder is made first; a failed save is printed, never a
  // message box that would stop the test.
  wxFileName::Mkdir(wxFileName(wxString::FromUTF8(path)).GetPath(), wxS_DIR_DEFAULT, wxPATH_MKDIR_FULL);
  wxLogNull quiet;
  if (!screen.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_PNG))
    std::printf("note: cannot save the picture %s\n", path.c_str());
  return screen;
}

// The colour at a point of the picture as "r,g,b".
inline std::string Rgb(const wxImage& image, const wxPoint& p) {
  if (!image.IsOk() || !wxRect(image.GetSize()).Contains(p)) return "off screen";
  return std::to_string(image.GetRed(p.x, p.y)) + "," + std::to_string(image.GetGreen(p.x, p.y)) + "," +
         std::to_string(image.GetBlue(p.x, p.y));
}

// A BMP of cells of w x h side by side, each of one colour.
inline void SolidStrip(const std::string& path, const std::vector<wxColour>& colours, int w, int h) {
  wxImage strip(w * static_cast<int>(colours.size()), h);
  for (size_t i = 0; i < colours.size(); ++i)
    strip.SetRGB(wxRect(static_cast<int>(i) * w, 0, w, h), colours[i].Red(), colours[i].Green(), colours[i].Blue());
  strip.SaveFile(wxString::FromUTF8(path), wxBITMAP_TYPE_BMP);
}

// The texts of a button strip's entries, in order.
inline std::vector<std::string> Texts(const CButtonStrip* strip) {
  std::vector<std::string> texts;
  for (const auto& e : strip->Entries()) texts.push_back(e.text);
  return texts;
}

// A real click in the middle of a rectangle of the window (all of it when
// none is given), with the pointer moved there first.
inline void ClickAt(wxWindow* window, wxRect rect = {}) {
  if (rect.IsEmpty()) rect = wxRect(window->GetClientSize());
  wxUIActionSimulator input;
  input.MouseMove(window->ClientToScreen(wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2)));
  Pause(150);
  input.MouseClick();
}

// Presses a button as the user would: the event goes through the queue.
inline void Press(wxWindow* button) {
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  button->GetEventHandler()->AddPendingEvent(click);
}

// A page of the test HTTP server showing the HTML, or one with a title.
inline std::string EchoPage(const std::string& server, const std::string& html) {
  return server + "/echo?" + vyr::platform::PercentEncode(html);
}
inline std::string TitledPage(const std::string& server, const std::string& title, const std::string& body = "") {
  return EchoPage(server, "<!DOCTYPE html><html><head><title>" + title + "</title></head><body>" + body +
                              "</body></html>");
}

// Evaluates the expression in the control's page only to read it (never to
// make a gesture): its value as text, "" when there is none within 5 s.
inline std::string ReadPage(CBrowserWnd* view, const std::string& expression) {
  using Result = std::pair<bool, std::string>;  // done, text
  auto result = std::make_shared<Result>();
  webkit_web_view_evaluate_javascript(
      view->WebView(), expression.c_str(), -1, nullptr, nullptr, nullptr,
      [](GObject* source, GAsyncResult* res, gpointer data) {
        const std::unique_ptr<std::shared_ptr<Result>> held(static_cast<std::shared_ptr<Result>*>(data));
        if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(source), res, nullptr)) {
          gchar* text = jsc_value_to_string(value);
          (*held)->second = text ? text : "";
          g_free(text);
          g_object_unref(value);
        }
        (*held)->first = true;
      },
      new std::shared_ptr<Result>(result));
  PumpUntil([&] { return result->first; }, 5000);
  return result->second;
}

// Where the element with the id lies on the screen (the page's zoom
// applied); empty when the page has none.
inline wxRect ElementOnScreen(CBrowserWnd* view, const std::string& id) {
  const std::string text = ReadPage(view, "(function () { var e = document.getElementById('" + id +
                                              "'); if (!e) return ''; var r = e.getBoundingClientRect();"
                                              " return [r.left, r.top, r.width, r.height].map(Math.round).join(','); })()");
  double v[4] = {};
  if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]) != 4) return {};
  const double zoom = view->Zoom();
  const wxPoint origin = view->ClientToScreen(wxPoint(0, 0));
  return wxRect(origin.x + static_cast<int>(v[0] * zoom), origin.y + static_cast<int>(v[1] * zoom),
                static_cast<int>(v[2] * zoom), static_cast<int>(v[3] * zoom));
}

// The profile of a main window test: the server as home server, the start
// page and the saved placement.
inline void WriteWindowProfile(vyr::Application& a, const std::string& server, const std::string& home,
                               const wxRect& placement, bool maximize = false) {
  a.WriteString("misc", "HomeServer", server);
  a.WriteInt("Startup", "UseDefaultStart", 0);
  a.WriteString("Startup", "Home", home);
  a.WriteInt("misc", "wnd_maximize", maximize ? 1 : 0);
  a.WriteInt("misc", "wnd_left", placement.x);
  a.WriteInt("misc", "wnd_top", placement.y);
  a.WriteInt("misc", "wnd_right", placement.GetRight() + 1);
  a.WriteInt("misc", "wnd_bottom", placement.GetBottom() + 1);
}

// The main window on the application's profile and scheme, started as the
// program starts it; `open` is what its command line named.
inline CVyr20Dlg* StartMainWindow(vyr::Application& app, const std::string& open = "") {
  CSchemeArt::Load(app);
  auto* main = new CVyr20Dlg(app);
  wxTheApp->SetTopWindow(main);
  main->Start(open);
  return main;
}

// Whether a box of the kind ("error", "question", "info") with the text was shown.
inline bool Saw(const RecordingMessageBox& boxes, const std::string& kind, const std::string& text) {
  for (const auto& box : boxes.boxes)
    if (box.kind == kind && box.text == text) return true;
  return false;
}

// A test program that runs its checks once the event loop runs and then ends
// cleanly (a leak check sees the whole run), with status 1 when a check failed.
class ChecksApp : public wxApp {
 public:
  bool OnInit() override {
    if (!Prepare()) return false;
    CallAfter([this] {
      RunChecks();
      ExitMainLoop();
    });
    return true;
  }
  int OnRun() override {
    wxApp::OnRun();
    return gUiFailures == 0 ? 0 : 1;
  }

 protected:
  virtual bool Prepare() = 0;  // false: wrong arguments
  virtual void RunChecks() = 0;
};

}  // namespace vyr::test

// The program's main. Pages on a virtual display are drawn without a GPU.
#define VYR_WINDOW_TEST_MAIN(App)                          \
  wxIMPLEMENT_APP_NO_MAIN(App);                            \
  int main(int argc, char** argv) {                        \
    setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);     \
    return wxEntry(argc, argv);                            \
  }

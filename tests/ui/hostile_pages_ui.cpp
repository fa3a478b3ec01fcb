// Hostile pages in the real main window, driven by real XTest input against
// tests/fixtures/hostile_site.py: whatever a foreign page tries, nothing may be
// written; controls show that a command the user really gives runs.
// usage: hostile_pages_ui WORK_DIR SHOT_DIR
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <utility>
#include <vector>

#include <wx/combobox.h>
#include <wx/dialog.h>

#include "app/data_seeding.h"
#include "channels/windows/channel_bar_wnd.h"
#include "mail/body/spelling.h"
#include "mail/windows/compose_wnd.h"
#include "net/info_box_model.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"
#include "platform/windows_dir.h"
#include "tools/python_fixture.h"
#include "ui_test_support.h"
#include "xtest_input.h"  // last: its X headers' macros would spoil the names above

namespace {
namespace fs = std::filesystem;
namespace xtest = vyr::test::xtest;
using Lines = std::vector<std::string>;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

struct Sandbox {
  std::string home, downloads, openerLog;
} sandbox;

void PrepareSandbox(const std::string& work) {
  sandbox = {work + "/userhome", work + "/userhome/Downloads", work + "/xdg-open.log"};
  fs::create_directories(sandbox.downloads);
  setenv("HOME", sandbox.home.c_str(), 1);
  setenv("XDG_DOWNLOAD_DIR", sandbox.downloads.c_str(), 1);
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configDir = config && *config ? config : sandbox.home + "/.config";
  vyr::test::WriteFile(configDir + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
  const std::string bin = work + "/bin";
  vyr::test::WriteFile(bin + "/xdg-open", "#!/bin/bash\n{ printf xdg-open; printf ' %q' \"$@\"; echo; } >> '" + sandbox.openerLog + "'\n");
  fs::permissions(bin + "/xdg-open", fs::perms::owner_all);
  const char* path = std::getenv("PATH");
  setenv("PATH", (bin + ":" + (path ? path : "/usr/bin:/bin")).c_str(), 1);
  const rlimit limit{64 << 20, 64 << 20};
  setrlimit(RLIMIT_FSIZE, &limit);
  signal(SIGXFSZ, SIG_IGN);  // a write past the limit fails instead of ending the process
}

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

// The text with its line breaks shown as \r and \n.
std::string Visible(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '\r' ? std::string("\\r") : c == '\n' ? std::string("\\n") : std::string(1, c);
  return out;
}

std::string Join(const Lines& lines, const std::string& separator = "; ") {
  std::string out;
  for (const auto& l : lines) out += (out.empty() ? "" : separator) + l;
  return out;
}

// The lines of the file holding the text.
Lines LinesOf(const std::string& path, const std::string& text = "") {
  Lines lines;
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);)
    if (line.find(text) != std::string::npos) lines.push_back(line);
  return lines;
}

// Every regular file below the folder with its size and time.
using Files = std::map<std::string, std::pair<uintmax_t, fs::file_time_type>>;
Files ListFiles(const std::string& root) {
  Files files;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end; it.increment(ec)) {
    std::error_code e;
    if (it->is_regular_file(e)) files[it->path().string()] = {it->file_size(e), it->last_write_time(e)};
  }
  return files;
}

std::set<std::string> Folders(const std::string& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(dir, ec))
    if (e.is_directory()) names.insert(e.path().filename().string());
  return names;
}

Lines WatchedSettings(const std::string& profile) {
  static const std::set<std::string> kMisc = {"ibver", "exever", "dictver", "fixedchanver", "userdir", "fancywindows"};
  Lines out;
  std::string section;
  for (std::string line : LinesOf(profile)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t eq = line.find('=');
    const std::string key = Lower(line.substr(0, eq));
    if (line.size() > 1 && line[0] == '[' && line.find(']') != std::string::npos)
      section = Lower(line.substr(1, line.find(']') - 1));
    else if (eq != std::string::npos && (section == "hostile" || (section == "misc" && kMisc.count(key))))
      out.push_back("[" + section + "] " + key + "=" + line.substr(eq + 1));
  }
  return out;
}

struct Written {
  Files files;  // the data home and the user's home
  std::set<std::string> schemes;  // below media/
  Lines settings;
  size_t openerCalls = 0, windows = 0;
};

class WindowWatch {
 public:
  using Clock = std::chrono::steady_clock;

  void Start() {
    for (GtkWindow* w : Shown()) Mark(w, Clock::time_point::max());
    g_timeout_add(200, [](gpointer self) -> gboolean { return static_cast<WindowWatch*>(self)->Look(), G_SOURCE_CONTINUE; },
                  this);
  }
  void Expect(const std::string& title, std::function<void(GtkWindow*)> onShown) {
    title_ = title;
    onShown_ = std::move(onShown);
  }
  Lines opened;  // the titles of the windows not waited for

 private:
  static constexpr const char* kMark = "hostile-window-watch";  // when the watch closes the window

  static void Mark(GtkWindow* w, Clock::time_point closeAt) {
    g_object_set_data_full(G_OBJECT(w), kMark, new Clock::time_point(closeAt),
                           [](gpointer p) { delete static_cast<Clock::time_point*>(p); });
  }

  static std::vector<GtkWindow*> Shown() {
    std::vector<GtkWindow*> shown;
    GList* all = gtk_window_list_toplevels();
    for (GList* w = all; w; w = w->next)
      if (gtk_widget_get_visible(GTK_WIDGET(w->data)) &&
          gtk_window_get_window_type(GTK_WINDOW(w->data)) == GTK_WINDOW_TOPLEVEL)
        shown.push_back(GTK_WINDOW(w->data));
    g_list_free(all);
    return shown;
  }

  void Look() {
    for (GtkWindow* w : Shown()) {
      auto* closeAt = static_cast<Clock::time_point*>(g_object_get_data(G_OBJECT(w), kMark));
      if (closeAt) {
        if (Clock::now() < *closeAt) continue;
        *closeAt = Clock::time_point::max();
        Close(w);
        continue;
      }
      const char* t = gtk_window_get_title(w);
      const std::string title = t ? t : "";
      const bool waitedFor = onShown_ && title == title_;
      Mark(w, waitedFor ? Clock::time_point::max() : Clock::now() + std::chrono::seconds(4));
      if (!waitedFor) {
        opened.push_back("'" + title + "'");
        continue;
      }
      std::exchange(onShown_, nullptr)(w);
      return;  // the handler ran loops of its own: the windows are looked at afresh next time
    }
  }

  static void Close(GtkWindow* w) {
    for (wxWindow* top : wxTopLevelWindows) {
      if (top->GetHandle() != GTK_WIDGET(w)) continue;
      if (auto* dialog = dynamic_cast<wxDialog*>(top); dialog && dialog->IsModal())
        dialog->EndModal(wxID_CANCEL);
      else
        top->Hide();
      return;
    }
    if (GTK_IS_DIALOG(w))
      gtk_dialog_response(GTK_DIALOG(w), GTK_RESPONSE_CANCEL);
    else
      gtk_widget_hide(GTK_WIDGET(w));
  }

  std::string title_;
  std::function<void(GtkWindow*)> onShown_;
};

constexpr char kReport[] = "Vyrelle test report\r\nsecond line\n\x00\x01\xfe\xff binary tail\n";

class HostilePagesApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 3) return false;
    SetExitOnFrameDelete(false);
    vyr::test::InitWindowTest();
    CComposeWnd::SetAskAboutSettings(false);  // no mail account: a mailto window asks nothing
    shots_ = argv[2].utf8_string();
    CallAfter([this] {
      Run();
      fixture_.reset();
      vyr::test::ExitWithVerdict();
    });
    return true;
  }

 private:
  struct Route {
    std::string shot, name;  // the picture hostile_SHOT.png and the check's name
    std::string url = {}, title = {};
    std::function<std::string()> act = {};  // "" or what went wrong
    Lines wanted = {};  // nothing, unless the user really gave a command
    std::vector<std::pair<std::string, size_t>> requests = {};  // new server log lines holding the text, how many
    int settleMs = 3000;  // the wait for anything written late
    std::function<std::string()> verify = {};  // then: "" or what is wrong with the outcome
  };

  void Run() {
    fixture_ = std::make_unique<vyr::test::PythonFixture>();
    log_ = fixture_->File("requests.log");
    std::string error;
    if (!fixture_->Start("hostile_site.py", {log_}, &error)) return void(Check(false, "the test server starts", error));
    const std::string port = std::to_string(fixture_->Port());
    home_ = "http://127.0.0.1:" + port;
    foreign_ = "http://localhost:" + port;
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    auto& a = *app_;
    vyr::test::WriteWindowProfile(a, home_, home_ + "/page/start", wxRect(40, 30, 1000, 760));
    a.WriteInt("Misc", "ShowContentBar", 0);
    a.WriteInt("Startup", "CheckMail", 0);
    a.WriteInt("misc", "warn_on_popup", 0);
    a.WriteInt("email", "UseVyrMail", 1);
    a.LoadStartupSettings();
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, a.Directories());
    vyr::SpellCheckAvailable(a.GetDataDirectory("email", true));  // a mailto window then writes nothing
    dataHome_ = vyr::platform::GetWindowsDirectory();
    media_ = a.Directories().Root() + "/media";
    main_ = vyr::test::StartMainWindow(a);
    if (!Check(Shows("Home start"), "the main window opens the home server's start page", Title())) return;
    xtest::Focus(main_);
    Pause(1000);  // the start's own work settles
    windows_.Start();

    const wxRect pane = main_->Pane()->GetScreenRect();
    const wxPoint empty(pane.x + pane.width / 2, pane.y + pane.height * 2 / 3);  // nothing of the page's there
    auto clickEmpty = [this, empty](const char* page) {
      return [=, this] { return ClickAt(empty, "250,250,250", [=, this] { return Clicks(page); }); };
    };
    auto click = [this](const char* page, const char* id, const char* rgb) {
      return [=, this] { return ClickElement(page, id, rgb); };
    };
    auto frameClick = [this](const char* target, int quarter, const char* rgb) {
      return [=, this] { return FrameClick(target, quarter, rgb); };
    };
    const std::string pkg = "package commands: a foreign page's ", saved = sandbox.downloads + "/chosen/saved-report.txt";
    const std::vector<Route> routes = {
        {"control_click", "control: a real click on a home page's command link runs it", Home("homeclick"),
         "Home click", click("homeclick", "link", "46,125,50"), {"[hostile] homeclick=1"}, {}, 500},
        {"control_typed", "control: a command link typed into the address box and entered runs it", Home("plain"),
         "Home plain", [this] { return TypeAddress(home_ + "/_cmd/setinifile%20hostile%20typed%201"); },
         {"[hostile] typed=1"}, {}, 500},
        // Two frames' redirects sent, and a frame loaded a home page meanwhile.
        {"redirect", "hidden frames: hidden frames redirected to command links run nothing", Foreign("redirect"),
         "Hostile redirect", nullptr, {}, {{"SENT-REDIRECT", 2}, {"GET 127.0.0.1:" + port + " /page/plain", 1}}, 2000},
        {"clickhandler", "click handler: a click handler's script navigation to a command link runs nothing",
         Foreign("clickhandler"), "Hostile click handler", clickEmpty("clickhandler"), {}, {}, 1500},
        {"frame_scripted",
         "framed clicks: a real click in a cross-origin frame on an element whose onclick sets the location to a "
         "command link runs nothing",
         Foreign("framed"), "Hostile framed", frameClick("scripted", 1, "198,40,40"), {}, {}, 1500},
        {"frame_link",
         "framed clicks: a real click in a cross-origin frame on a link whose click the frame hides with a "
         "capturing listener to a command link runs nothing",
         "", "", frameClick("link", 3, "21,101,192"), {}, {}, 1500},
        {"package_ibpush", pkg + "ibpush with file:///etc/passwd link fetches and writes nothing", Foreign("packages"),
         "Hostile packages", click("packages", "ibpush", "106,27,154")},
        {"package_spelldict", pkg + "updatespelldict with file:///dev/zero link fetches and writes nothing", "", "",
         click("packages", "spelldict", "0,131,143")},
        {"package_fixedchannels", pkg + "updatefixedchannels with another site's package link fetches and writes nothing",
         "", "", click("packages", "fixedchannels", "239,108,0")},
        {"package_home", "package commands: even a home page's ibpush with a local file copies nothing",
         Home("homepackage"), "Home package", click("homepackage", "ibpush", "106,27,154")},
        {"attachment", "hidden attachment: a hidden frame's attachment is saved nowhere and asks nothing",
         Foreign("attachment"), "Hostile attachment", nullptr, {}, {{"/attach/evil.txt", 1}}},
        {"save_as_escape", "attachment link: Escape in the 'Save As' dialog saves nothing", Foreign("attachlink"),
         "Hostile attachment link", [this] { return EscapeSaveAs(); }, {}, {{"/attach/report.txt", 1}}, 0},
        {"save_as_typed",
         "attachment link: a path typed into the 'Save As' dialog gets the file with the bytes the server sent", "", "",
         [this, saved] { return TypeSaveAs(saved); },
         {"new file " + saved + " (" + std::to_string(sizeof kReport - 1) + " bytes)"}, {{"/attach/report.txt", 1}}, 1000},
        {"script_download",
         "script download: a click handler's script navigation to an attachment asks nothing and saves nothing",
         Foreign("scriptdownload"), "Hostile script download", clickEmpty("scriptdownload"), {},
         {{"/attach/evil2.txt", 1}}},
        {"script_download_again",
         "script download: a script's navigation to a file the user saved before asks nothing and saves nothing",
         Foreign("scriptdownloadagain"), "Hostile script download", clickEmpty("scriptdownloadagain"), {},
         {{"/attach/report.txt", 1}}},
        {"mail_frame", "mailto: a hidden frame's mailto: address starts no mail program", Foreign("mailframe"),
         "Hostile mail frame"},
        // The smuggled Bcc line's break is gone: it stays inside the subject.
        {"mail_link",
         "mailto: a clicked mailto link opens the compose window to one address without the smuggled Bcc header",
         Foreign("maillink"), "Hostile mail link", click("maillink", "mail", "173,20,87"),
         {"window 'Keep in touch' shown"}, {}, 500,
         [this] { return ComposeOpened("to 'a@example.com', cc '', bcc '', subject 'HiBcc: x@evil.example'"); }},
        // Every question is answered yes, and still no folder, no switch.
        {"scheme_import", "scheme import: a scheme package named with a colon makes no folder and switches nothing",
         Home("homescheme"), "Home scheme", click("homescheme", "scheme", "78,52,46")},
    };
    for (const Route& route : routes) Expect(route);
    Check(Requests("/chan.zip").empty(), "package commands: the other site's package was never requested",
          Join(Requests("/chan.zip")));
    CheckInsertImage();
    CheckInfoBoxLinks();
    Check(Requests("/_cmd/").empty(), "no command link ever reached a server as a request", Join(Requests("/_cmd/")));
  }

  void Expect(const Route& r) {
    const Written before = Now();
    std::vector<size_t> logged;
    for (const auto& [text, count] : r.requests) logged.push_back(Requests(text).size());
    std::string premise = r.url.empty() ? "" : Open(r.url, r.title);
    if (premise.empty() && r.act) premise = r.act();
    for (size_t i = 0; i < r.requests.size() && premise.empty(); ++i) {
      const auto& [text, count] = r.requests[i];
      if (!PumpUntil([&] { return Requests(text).size() >= logged[i] + count; }, 10000))
        premise = "the server logged " + std::to_string(Requests(text).size() - logged[i]) + " new '" + text +
                  "', not " + std::to_string(count);
    }
    if (!r.wanted.empty()) PumpUntil([&] { return Since(before) == r.wanted; }, 5000);
    Pause(r.settleMs);
    if (!taken_.count(r.shot)) Shot(r.shot);
    const Lines written = Since(before);
    const std::string wrong = premise.empty() && r.verify ? r.verify() : "";
    Check(premise.empty() && written == r.wanted && wrong.empty(), r.name,
          premise.empty() ? wrong + (wrong.empty() ? "" : "; ") + "written: " + Join(written)
                          : "the test could not do its part: " + premise);
  }

  static std::string ComposeOpened(const std::string& wanted) {
    for (wxWindow* top : wxTopLevelWindows) {
      auto* compose = dynamic_cast<CComposeWnd*>(top);
      if (!compose || !compose->IsShown()) continue;
      const std::string fields = "to '" + compose->ToText() + "', cc '" + compose->CcText() + "', bcc '" +
                                 compose->BccText() + "', subject '" + Visible(compose->SubjectText()) + "'";
      compose->Destroy();
      return fields == wanted ? "" : "the compose window holds " + fields;
    }
    return "no compose window is open";
  }

  std::string Title() const { return main_->Pane()->Title(); }
  bool Shows(const std::string& title) { return PumpUntil([&] { return Title() == title && !main_->Pane()->IsLoading(); }); }
  // Opens the page as a typed address would; "" when it shows.
  std::string Open(const std::string& url, const std::string& title) {
    main_->NavigatePane(url);
    const bool shown = Shows(title);
    Pause(300);
    return shown ? std::string() : "the page '" + title + "' did not open (the pane shows '" + Title() + "')";
  }
  static std::string First(std::initializer_list<std::string> problems) {
    for (const auto& p : problems)
      if (!p.empty()) return p;
    return {};
  }
  std::string Foreign(const std::string& name) const { return foreign_ + "/page/" + name; }
  std::string Home(const std::string& name) const { return home_ + "/page/" + name; }
  void Shot(const std::string& name) {
    vyr::test::SaveScreen(shots_ + "/hostile_" + name + ".png");
    taken_.insert(name);
  }

  // The server's log lines holding the text.
  Lines Requests(const std::string& text) const { return LinesOf(log_, text); }
  // The last value the pages reported for a name ("/report?NAME&v=...").
  std::string Report(const std::string& name) const {
    const Lines lines = Requests("/report?" + name + "&v=");
    return lines.empty() ? "(no report)" : vyr::platform::DecodePercentEscapes(lines.back().substr(lines.back().find("&v=") + 3));
  }
  size_t Clicks(const std::string& page) const { return Requests("/report?click=" + page + "&trusted=true").size(); }

  Written Now() const {
    Written w;
    w.files = ListFiles(dataHome_);
    for (auto& f : ListFiles(sandbox.home)) w.files.insert(f);
    w.schemes = Folders(media_);
    w.settings = WatchedSettings(app_->ProfilePath());
    w.openerCalls = LinesOf(sandbox.openerLog).size();
    w.windows = windows_.opened.size();
    return w;
  }

  Lines Since(const Written& before) const {
    const Written now = Now();
    Lines out;
    for (const auto& s : now.settings)
      if (std::find(before.settings.begin(), before.settings.end(), s) == before.settings.end()) out.push_back(s);
    const std::string staging = std::string("/") + vyr::net::kStagingPage;
    for (const auto& [path, state] : now.files) {
      if (path == app_->ProfilePath() ||
          (path.size() > staging.size() && path.compare(path.size() - staging.size(), std::string::npos, staging) == 0))
        continue;
      auto was = before.files.find(path);
      if (was == before.files.end() || was->second != state)
        out.push_back((was == before.files.end() ? "new file " : "changed ") + path + " (" +
                      std::to_string(state.first) + " bytes)");
    }
    for (const auto& name : now.schemes)
      if (!before.schemes.count(name)) out.push_back("new scheme folder media/" + name);
    const Lines calls = LinesOf(sandbox.openerLog);
    for (size_t i = before.openerCalls; i < calls.size(); ++i) out.push_back(calls[i]);
    for (size_t i = before.windows; i < windows_.opened.size(); ++i) out.push_back("window " + windows_.opened[i] + " shown");
    return out;
  }

  void Key(KeySym sym, bool shift = false) {
    xtest::PressKey(sym, shift);
    Pause(15);
  }
  // Types the text into the address box with real keys and enters it.
  std::string TypeAddress(const std::string& text) {
    xtest::Click(Centre(main_->AddressBox()->GetScreenRect()));
    Pause(200);
    Key(XK_End);
    Key(XK_Home, true);
    for (unsigned char c : text) {
      xtest::PressCharacter(c);
      Pause(15);
    }
    Key(XK_Return);
    return {};
  }

  static bool Viewable(const std::string& title, Window xid) {
    GdkDisplay* display = gdk_display_get_default();
    gdk_x11_display_error_trap_push(display);  // the window may go while it is read
    XWindowAttributes attributes;
    char* name = nullptr;
    const bool viewable = XGetWindowAttributes(xtest::XDisplay(), xid, &attributes) &&
                          attributes.map_state == IsViewable && XFetchName(xtest::XDisplay(), xid, &name) && name &&
                          title == name;
    if (name) XFree(name);
    gdk_x11_display_error_trap_pop_ignored(display);
    return viewable;
  }

  static wxPoint Centre(const wxRect& r) { return wxPoint(r.x + r.width / 2, r.y + r.height / 2); }

  std::string ClickAt(const wxPoint& at, const std::string& rgb, const std::function<size_t()>& seen) {
    if (!PumpUntil([&] { return vyr::test::Rgb(vyr::test::Screen(), at) == rgb; }, 8000))
      return "the screen shows " + vyr::test::Rgb(vyr::test::Screen(), at) + ", not " + rgb + ", where the click goes";
    const size_t before = seen();
    xtest::Click(at);
    return PumpUntil([&] { return seen() > before; }, 5000) ? "" : "the page saw no real click";
  }
  std::string ClickElement(const std::string& page, const std::string& id, const std::string& rgb,
                           CBrowserWnd* in = nullptr) {
    const wxRect r = vyr::test::ElementOnScreen(in ? in : main_->Pane(), id);
    return r.IsEmpty() ? "no element " + id + " on the page" : ClickAt(Centre(r), rgb, [=, this] { return Clicks(page); });
  }
  std::string FrameClick(const std::string& target, int quarter, const std::string& rgb) {
    const wxRect frame = vyr::test::ElementOnScreen(main_->Pane(), "frame");
    if (frame.IsEmpty()) return "no frame on the page";
    const std::string report = "/report?click=frame&trusted=true&target=" + target;
    return ClickAt(wxPoint(frame.x + frame.width * quarter / 4, frame.y + frame.height / 2), rgb,
                   [=, this] { return Requests(report).size(); });
  }

  void ShotWhileModal(const std::string& name) {
    Pause(700);
    GdkWindow* root = gdk_get_default_root_window();
    if (GdkPixbuf* shot = gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root))) {
      gdk_pixbuf_save(shot, (shots_ + "/hostile_" + name + ".png").c_str(), "png", nullptr, nullptr);
      g_object_unref(shot);
    }
    taken_.insert(name);
  }

  std::string ClickAndAnswer(const std::function<std::string(GtkWindow*)>& answer) {
    saveAs_ = {};
    bool shown = false;
    std::string problem;
    windows_.Expect("Save As", [&](GtkWindow* dialog) {
      shown = true;
      problem = Answer(dialog, answer);
    });
    const std::string clicked = ClickElement("attachlink", "report", "85,139,47");
    if (clicked.empty() && !PumpUntil([&] { return shown; }, 8000)) problem = "no 'Save As' window was shown";
    windows_.Expect("", nullptr);
    xtest::Focus(main_);  // the keys go to the main window again
    return First({clicked, problem});
  }
  std::string Answer(GtkWindow* dialog, const std::function<std::string(GtkWindow*)>& answer) {
    GdkWindow* window = nullptr;
    if (!PumpUntil([&] {
          window = gtk_widget_get_window(GTK_WIDGET(dialog));
          return window && Viewable("Save As", gdk_x11_window_get_xid(window));
        }, 8000))
      return "the dialog was never viewable on the X server as 'Save As'";
    saveAs_.xid = gdk_x11_window_get_xid(window);
    saveAs_.folder = "(not a file chooser)";
    if (GTK_IS_FILE_CHOOSER(dialog)) {
      gchar* folder = nullptr;
      PumpUntil([&] { return (folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog))) != nullptr; }, 8000);
      gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
      saveAs_.folder = folder ? folder : "";
      saveAs_.name = name ? name : "";
      g_free(folder);
      g_free(name);
    }
    const bool focused = PumpUntil([&] {  // no window manager gives it the keys
      XSetInputFocus(xtest::XDisplay(), saveAs_.xid, RevertToParent, CurrentTime);
      XFlush(xtest::XDisplay());
      return gtk_window_is_active(dialog) == TRUE;
    }, 8000);
    std::string problem = focused ? answer(dialog) : "the dialog never took the keyboard focus";
    if (problem.empty() && !PumpUntil([&] { return !Viewable("Save As", saveAs_.xid); }, 8000))
      problem = "the dialog stayed open";
    if (!problem.empty() && gtk_widget_get_visible(GTK_WIDGET(dialog)) && GTK_IS_DIALOG(dialog))
      gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
    return problem;
  }

  std::string EscapeSaveAs() {
    const std::string problem = ClickAndAnswer([this](GtkWindow*) {
      ShotWhileModal("save_as_escape");
      xtest::PressKey(XK_Escape);
      return std::string();
    });
    std::error_code ec;
    const bool inDownloads = !saveAs_.folder.empty() && fs::equivalent(saveAs_.folder, sandbox.downloads, ec);
    Check(saveAs_.xid != 0 && inDownloads && saveAs_.name == "report.txt",
          "attachment link: a real click on a foreign page's attachment link asks with a 'Save As' dialog in the "
          "download folder",
          saveAs_.xid ? "it opened in '" + saveAs_.folder + "' offering '" + saveAs_.name + "'"
                      : "no 'Save As' window was seen: " + problem);
    Pause(1500);  // a download that went on anyway would be written by now
    // The engine's load handed over to the download is no failure: the page stays.
    return First({problem, Title() == "Hostile attachment link" ? "" : "the pane shows '" + Title() + "' after the download"});
  }

  std::string TypeSaveAs(const std::string& target) {
    fs::create_directories(fs::path(target).parent_path());
    std::string typed;
    std::string problem = ClickAndAnswer([&](GtkWindow* dialog) -> std::string {
      if (!PumpUntil([&] { return GTK_IS_ENTRY(gtk_window_get_focus(dialog)); }, 8000))
        return "the name box never held the keyboard focus";
      xtest::PressKey(XK_a, false, true);
      for (unsigned char c : target) {
        xtest::PressCharacter(c);
        Pause(40);
      }
      if (!PumpUntil([&] {
            GtkWidget* box = gtk_window_get_focus(dialog);
            typed = box && GTK_IS_ENTRY(box) ? gtk_entry_get_text(GTK_ENTRY(box)) : "(no text box)";
            return typed == target;
          }, 8000))
        return "the name box holds '" + typed + "'";
      ShotWhileModal("save_as_typed");
      xtest::PressKey(XK_Return);
      return {};
    });
    const std::string bytes(kReport, sizeof kReport - 1);
    if (problem.empty() && !PumpUntil([&] { return vyr::test::ReadFile(target) == bytes; }, 10000))
      problem = "the file holds '" + Visible(vyr::test::ReadFile(target)) + "'";
    return problem;
  }

  void CheckInsertImage() {
    const bool pictureThere = vyr::platform::FileExists(app_->ResolveSchemeFile("logo.bmp", true));
    const std::string opened = Open(Foreign("insertimage"), "Hostile insert image");
    const char* names[] = {"image=top", "image=topprompt", "image=frame", "image=frameprompt"};
    auto reported = [&] {
      return std::all_of(std::begin(names), std::end(names), [&](const char* n) { return Report(n) != "(no report)"; });
    };
    // A prompt the host leaves to the engine waits: Escape dismisses it.
    const wxRect pane = main_->Pane()->GetScreenRect();
    for (int prompt = 0; prompt < 4 && !PumpUntil(reported, 4000); ++prompt) {
      xtest::Click(pane.GetTopLeft() + wxPoint(pane.width - 30, pane.height - 30));  // the view takes the keys
      Key(XK_Escape);
    }
    Shot("insert_image");
    // The answers come as JSON: "\"\"" is the empty text.
    const std::string top = Report("image=top"), frame = Report("image=frame");
    Check(opened.empty() && pictureThere && top == "\"\"",
          "picture lookup: window.external.InsertImage on a foreign top page answers \"\"",
          First({opened, pictureThere ? "" : "the scheme has no logo.bmp to find", "answered " + top}));
    Check(frame == "\"\"" || frame == "\"(no external object)\"",
          "picture lookup: InsertImage from a cross-origin frame answers \"\" (or is not there)", "answered " + frame);
    for (const auto& [name, from] : {std::pair{"image=topprompt", "foreign top page"}, {"image=frameprompt", "cross-origin frame"}}) {
      const std::string v = Report(name);
      Check(v != "(no report)" && v.find('/') == std::string::npos,
            std::string("picture lookup: the host's prompt asked directly from the ") + from + " answers no path",
            "answered " + v);
    }
  }

  void CheckInfoBoxLinks() {
    main_->RunServerCommand("showchannelbar");
    CChannelBarWnd* bar = main_->ChannelBar();
    CBrowserWnd* box = bar ? bar->InfoBoxView() : nullptr;
    if (!Check(box && PumpUntil([&] { return box->IsShownOnScreen(); }, 5000), "info box: the channel bar shows the box"))
      return;
    auto showInBox = [=](const std::string& url, const std::string& title) {
      bar->InfoBox().ShowNow(url, 600);
      return PumpUntil([&] { return box->Title() == title && !box->IsLoading(); })
                 ? std::string()
                 : "the box shows '" + box->Title() + "', not '" + title + "'";
    };
    std::string premise = showInBox(Foreign("boxlinks"), "Hostile box links");
    if (premise.empty()) premise = ClickElement("boxlinks", "newwindow", "0,105,92", box);
    const bool opened = premise.empty() && Shows("Hostile box target");
    Shot("box_blank");
    Check(opened && box->Title() == "Hostile box links",
          "info box: a real click on a link with target _blank opens it in the main window",
          First({premise, "the main window shows '" + Title() + "', the box '" + box->Title() + "'"}));
    const std::string foreignBox = "info box: a foreign box page's ";
    Expect({"box_command", foreignBox + "command link with target _blank runs nothing", "", "",
            [=, this] { return ClickElement("boxlinks", "command", "198,40,40", box); }, {}, {}, 1500});
    Expect({"box_script_open", foreignBox + "window.open of a command link runs nothing", "", "",
            [=, this] { return ClickElement("boxlinks", "scriptopen", "40,53,147", box); }, {}, {}, 1500});
    Check(Title() == "Hostile box target" && box->Title() == "Hostile box links",
          "info box: neither that command link nor window.open navigated a window",
          "the main window shows '" + Title() + "', the box '" + box->Title() + "'");
    Expect({"box_home_command", "info box control: a real click on a home box page's command link with target _blank runs it",
            "", "",
            [=, this] {
              const std::string shown = showInBox(Home("homeboxlinks"), "Home box links");
              return shown.empty() ? ClickElement("homeboxlinks", "command", "46,125,50", box) : shown;
            },
            {"[hostile] boxhome=1"}, {}, 500});
  }

  std::string shots_, log_, home_, foreign_, dataHome_, media_;
  std::set<std::string> taken_;  // the pictures taken
  struct SaveAs {
    Window xid = 0;            // the "Save As" window on the X server, 0 when none was seen there
    std::string folder, name;  // the folder it opened in and the name it offered
  } saveAs_;
  std::unique_ptr<vyr::test::PythonFixture> fixture_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  WindowWatch windows_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(HostilePagesApp);

int main(int argc, char** argv) {
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("GSETTINGS_BACKEND", "memory", 0);
  if (argc == 3) PrepareSandbox(argv[1]);
  return wxEntry(argc, argv);
}

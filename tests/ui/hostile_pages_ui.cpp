// Hostile pages in the real main window on a virtual display. The test
// server (tests/fixtures/hostile_site.py) is the home server at
// http://127.0.0.1:PORT and two foreign sites (localhost, 127.0.0.2); it logs
// every request and every report of the pages' script. Each page is opened
// as a typed address would open it, then driven with real input through the
// X server (XTest). Script is only evaluated to read where things are.
// Whatever a foreign page tries, nothing may be written: no watched setting,
// no file in the data, home or download folders, no scheme folder, no start
// of the desktop's opener (a recording xdg-open is first on PATH). Controls
// show a command the user really gives is seen. A real click on an
// attachment link asks with "Save As", answered with real keys.
// Prints "ok NAME" or "FAIL NAME: what was seen"; keeps a screenshot per case.
//
// usage: hostile_pages_ui WORK_DIR SHOT_DIR
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/resource.h>
#include <webkit2/webkit2.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include <wx/combobox.h>
#include <wx/dialog.h>

#include "app/data_seeding.h"
#include "channels/windows/channel_bar_wnd.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"
#include "platform/windows_dir.h"
#include "tools/python_fixture.h"
#include "net/info_box_model.h"
#include "ui_test_support.h"
#include "xtest_input.h"

// Last: the X headers' macros would spoil the names above.
#include <X11/XKBlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>
#include <gdk/gdkx.h>

namespace {

namespace fs = std::filesystem;
using Lines = std::vector<std::string>;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

struct Sandbox {
  std::string home, downloads, openerLog;
} sandbox;

void WriteText(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// HOME and the download folder in the scratch folder; a recording xdg-open
// first on PATH (a line per start: "CALL" and each argument in hex); a file
// size limit, so that an endless download stops instead of filling the disk.
void PrepareSandbox(const std::string& work) {
  sandbox = {work + "/userhome", work + "/userhome/Downloads", work + "/xdg-open.log"};
  fs::create_directories(sandbox.downloads);
  setenv("HOME", sandbox.home.c_str(), 1);
  setenv("XDG_DOWNLOAD_DIR", sandbox.downloads.c_str(), 1);
  const char* config = std::getenv("XDG_CONFIG_HOME");
  const std::string configDir = config && *config ? config : sandbox.home + "/.config";
  fs::create_directories(configDir);
  WriteText(configDir + "/user-dirs.dirs", "XDG_DOWNLOAD_DIR=\"$HOME/Downloads\"\n");
  const std::string bin = work + "/bin";
  fs::create_directories(bin);
  WriteText(bin + "/xdg-open",
            "#!/bin/sh\n{ printf CALL; for a in \"$@\"; do printf ' %s' \"$(printf '%s' \"$a\" | od -An -v -tx1 | "
            "tr -d ' \\n')\"; done; printf '\\n'; } >> '" + sandbox.openerLog + "'\n");
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

// The calls the recording opener saw, each as its decoded arguments.
std::vector<Lines> OpenerCalls() {
  std::vector<Lines> calls;
  std::ifstream in(sandbox.openerLog);
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("CALL", 0) != 0) continue;
    std::istringstream words(line.substr(4));
    Lines args;
    for (std::string hex; words >> hex;) {
      args.emplace_back();
      for (size_t i = 0; i + 1 < hex.size(); i += 2) args.back() += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    }
    calls.push_back(args);
  }
  return calls;
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

using Profile = std::map<std::string, std::map<std::string, std::string>>;
Profile ReadProfile(const std::string& path) {
  Profile profile;
  std::ifstream in(path);
  std::string section;
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 1 && line[0] == '[' && line.find(']') != std::string::npos) {
      section = Lower(line.substr(1, line.find(']') - 1));
    } else if (const size_t eq = line.find('='); eq != std::string::npos) {
      profile[section][Lower(line.substr(0, eq))] = line.substr(eq + 1);
    }
  }
  return profile;
}

// The [hostile] section, the package versions and the scheme choice.
Lines WatchedSettings(const Profile& profile) {
  Lines out;
  if (auto s = profile.find("hostile"); s != profile.end())
    for (const auto& [key, value] : s->second) out.push_back("[hostile] " + key + "=" + value);
  if (auto s = profile.find("misc"); s != profile.end())
    for (const char* key : {"ibver", "exever", "dictver", "fixedchanver", "userdir", "fancywindows"})
      if (auto k = s->second.find(key); k != s->second.end())
        out.push_back(std::string("[misc] ") + key + "=" + k->second);
  return out;
}

struct Written {
  Files files;  // the data home and the user's home
  std::set<std::string> schemes;  // below media/
  Lines settings;
  size_t openerCalls = 0, windows = 0;
};

// Records the top-level windows shown besides those of the start and closes
// one still open after a while, so that no modal window holds the run. The
// window the test waits for (Expect) goes to its handler instead.
class WindowWatch {
 public:
  using Handler = std::function<void(GtkWindow*)>;

  void Start() {
    for (GtkWindow* w : Shown()) Mark(w)->known = true;
    g_timeout_add(
        200,
        [](gpointer self) -> gboolean {
          static_cast<WindowWatch*>(self)->Look();
          return G_SOURCE_CONTINUE;
        },
        this);
  }
  const Lines& Opened() const { return opened_; }

  void Expect(const std::string& title, Handler onShown) {
    expectTitle_ = title;
    onShown_ = title.empty() ? Handler() : std::move(onShown);
  }
  size_t ExpectedClosedByWatch() const { return expectedClosed_; }

 private:
  struct Seen {
    std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now();
    bool known = false;     // there at the start, or closed by the watch
    bool expected = false;  // the window the test waits for
  };
  static constexpr const char* kMark = "hostile-window-watch";
  static constexpr auto kUnexpectedLimit = std::chrono::seconds(4), kExpectedLimit = std::chrono::seconds(40);

  static Seen* Mark(GtkWindow* w) {
    if (auto* seen = static_cast<Seen*>(g_object_get_data(G_OBJECT(w), kMark))) return seen;
    auto* seen = new Seen;
    g_object_set_data_full(G_OBJECT(w), kMark, seen, [](gpointer p) { delete static_cast<Seen*>(p); });
    return seen;
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
    const auto now = std::chrono::steady_clock::now();
    for (GtkWindow* w : Shown()) {
      Seen* seen = static_cast<Seen*>(g_object_get_data(G_OBJECT(w), kMark));
      if (seen && seen->known) continue;
      if (!seen) {
        seen = Mark(w);
        const char* t = gtk_window_get_title(w);
        const std::string title = t ? t : "";
        if (onShown_ && title == expectTitle_) {
          seen->expected = true;
          Handler handler = std::move(onShown_);
          onShown_ = nullptr;
          handler(w);
        } else {
          opened_.push_back("'" + title + "'");
        }
      } else if (now - seen->at > (seen->expected ? kExpectedLimit : kUnexpectedLimit)) {
        seen->known = true;
        if (seen->expected) ++expectedClosed_;
        Close(w);
      }
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

  Lines opened_;
  std::string expectTitle_;
  Handler onShown_;
  size_t expectedClosed_ = 0;
};

// Steps run one after another from a main-loop timer (so also inside a modal
// dialog's own loop), each tried every tick until done or out of time.
class Steps {
 public:
  struct Step {
    std::string what;
    std::function<bool(int elapsedMs)> done;  // ms since the step began
  };

  ~Steps() { Stop(); }
  void Start(std::vector<Step> steps, std::function<void()> atEnd = {}) {
    Stop();
    if (steps.empty()) return;
    steps_ = std::move(steps);
    atEnd_ = std::move(atEnd);
    next_ = 0;
    problem_.clear();
    started_ = true;
    finished_ = false;
    stepStart_ = std::chrono::steady_clock::now();
    source_ = g_timeout_add(kTickMs, Tick, this);
  }
  void Stop() {
    if (!source_) return;
    g_source_remove(source_);
    source_ = 0;
    End("stopped before: " + steps_[next_].what);
  }
  void Reset() {
    Stop();
    started_ = finished_ = false;
    problem_.clear();
  }
  bool Started() const { return started_; }
  bool Finished() const { return finished_; }
  const std::string& Problem() const { return problem_; }

 private:
  static constexpr int kTickMs = 40, kStepLimitMs = 8000;

  static gboolean Tick(gpointer data) {
    auto* self = static_cast<Steps*>(data);
    const auto now = std::chrono::steady_clock::now();
    const int elapsed =
        static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(now - self->stepStart_).count());
    const Step& step = self->steps_[self->next_];
    if (step.done(elapsed)) {
      ++self->next_;
      self->stepStart_ = std::chrono::steady_clock::now();
      if (self->next_ < self->steps_.size()) return G_SOURCE_CONTINUE;
      self->source_ = 0;
      self->End({});
      return G_SOURCE_REMOVE;
    }
    if (elapsed < kStepLimitMs) return G_SOURCE_CONTINUE;
    self->source_ = 0;
    self->End("gave up waiting: " + step.what);
    return G_SOURCE_REMOVE;
  }
  void End(const std::string& problem) {
    problem_ = problem;
    finished_ = true;
    if (atEnd_) std::exchange(atEnd_, nullptr)();
  }

  std::vector<Step> steps_;
  std::function<void()> atEnd_;
  size_t next_ = 0;
  std::string problem_;
  bool started_ = false, finished_ = false;
  guint source_ = 0;
  std::chrono::steady_clock::time_point stepStart_;
};


class HostilePagesApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 3) return false;
    SetExitOnFrameDelete(false);
    vyr::test::InitWindowTest();
    shots_ = argv[2].utf8_string();
    CallAfter([this] {
      Run();
      fixture_.reset();
      vyr::test::ExitWithVerdict();
    });
    return true;
  }

 private:
  // A route whose check is that nothing was written: opens the page (when
  // there is one), does the user's part, waits, keeps a picture.
  struct Route {
    std::string url, title, shot, name;
    std::function<std::string()> act;  // "" or what went wrong
    int settleMs = 3000;
    std::string request = {};  // a request the page must have made by then
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
    dataHome_ = vyr::platform::GetWindowsDirectory();
    media_ = a.Directories().Root() + "/media";
    main_ = vyr::test::StartMainWindow(a);
    if (!Check(Shows("Home start"), "the main window opens the home server's start page", Title())) return;
    FocusMainWindow();
    PumpUntil([] { return wxWindow::FindFocus() != nullptr; }, 5000);
    Pause(1000);  // the start's own work settles
    windows_.Start();

    CheckControls();
    const wxRect pane = main_->Pane()->GetScreenRect();
    const wxPoint empty(pane.x + pane.width / 2, pane.y + pane.height * 2 / 3);  // nothing of the page's there
    auto clickEmpty = [this, empty](const char* page) { return [=, this] { return ClickPoint(page, empty, "250,250,250"); }; };
    auto click = [this](const char* page, const char* id, const char* rgb) {
      return [=, this] { return ClickElement(page, id, rgb); };
    };
    auto frameClick = [this](const char* target, int quarter, const char* rgb) {
      return [=, this] { return FrameClick(target, quarter, rgb); };
    };
    const std::string plain = "GET 127.0.0.1:" + port + " /page/plain";
    const size_t plainBefore = Requests(plain).size(), sent = Requests("SENT-REDIRECT").size();
    Expect({Foreign("redirect"), "Hostile redirect", "redirect",
            "hidden frames: hidden frames redirected to command links run nothing", [&] {
              const bool ok = PumpUntil([&] { return Requests("SENT-REDIRECT").size() >= sent + 2; }, 10000) &&
                              Requests(plain).size() > plainBefore;
              return ok ? "" : std::string("the redirects were not both sent or no frame loaded a home page");
            }, 2000});
    Expect({Foreign("clickhandler"), "Hostile click handler", "clickhandler",
            "click handler: a click handler's script navigation to a command link runs nothing",
            clickEmpty("clickhandler"), 1500});
    Expect({Foreign("framed"), "Hostile framed", "frame_scripted",
            "framed clicks: a real click in a cross-origin frame on an element whose onclick sets the location to a "
            "command link runs nothing", frameClick("scripted", 1, "198,40,40"), 1500});
    Expect({"", "", "frame_link",
            "framed clicks: a real click in a cross-origin frame on a link whose click the frame hides with a "
            "capturing listener to a command link runs nothing", frameClick("link", 3, "21,101,192"), 1500});
    const std::string pkg = "package commands: a foreign page's ";
    Expect({Foreign("packages"), "Hostile packages", "package_ibpush",
            pkg + "ibpush with file:///etc/passwd link fetches and writes nothing", click("packages", "ibpush", "106,27,154")});
    Expect({"", "", "package_spelldict", pkg + "updatespelldict with file:///dev/zero link fetches and writes nothing",
            click("packages", "spelldict", "0,131,143")});
    const bool fixed = Expect({"", "", "package_fixedchannels",
                               pkg + "updatefixedchannels with another site's package link fetches and writes nothing",
                               click("packages", "fixedchannels", "239,108,0")});
    Check(fixed && Requests("/chan.zip").empty(), "package commands: the other site's package was never requested",
          Join(Requests("/chan.zip")));
    Expect({Home("homepackage"), "Home package", "package_home",
            "package commands: even a home page's ibpush with a local file copies nothing",
            click("homepackage", "ibpush", "106,27,154")});
    Expect({Foreign("attachment"), "Hostile attachment", "attachment",
            "hidden attachment: a hidden frame's attachment is saved nowhere and asks nothing", nullptr, 3000, "/evil"});
    CheckAttachmentLink();
    Expect({Foreign("scriptdownload"), "Hostile script download", "script_download",
            "script download: a click handler's script navigation to an attachment asks nothing and saves nothing",
            clickEmpty("scriptdownload"), 3000, "/attach/evil2.txt"});
    Expect({Foreign("scriptdownloadagain"), "Hostile script download", "script_download_again",
            "script download: a script's navigation to a file the user saved before asks nothing and saves nothing",
            clickEmpty("scriptdownloadagain"), 3000, "/attach/report.txt"});
    Expect({Foreign("mailframe"), "Hostile mail frame", "mail_frame",
            "mailto: a hidden frame's mailto: address starts no mail program"});
    CheckMailLink();
    CheckInsertImage();
    CheckSchemeImport();
    CheckInfoBoxLinks();
    Check(Requests("/_cmd/").empty(), "no command link ever reached a server as a request", Join(Requests("/_cmd/")));
  }

  // Runs the route; passes when nothing was written (and no file named like
  // the attachment lies anywhere). False when the test could not do its part.
  bool Expect(const Route& r) {
    const Written before = Now();
    const size_t asked = r.request.empty() ? 0 : Requests(r.request).size();
    std::string premise = r.url.empty() ? "" : Open(r.url, r.title);
    if (premise.empty() && r.act) premise = r.act();
    if (premise.empty() && !r.request.empty() && !PumpUntil([&] { return Requests(r.request).size() > asked; }, 5000))
      premise = "the page never asked for " + r.request;
    Pause(r.settleMs);
    Shot("hostile_" + r.shot);
    Lines written = Since(before);
    if (r.request == "/attach/evil2.txt")
      for (const auto& f : FilesNamed("evil2", {sandbox.home, dataHome_})) written.push_back("there is " + f);
    Check(premise.empty() && written.empty(), r.name,
          premise.empty() ? "written: " + Join(written) : "the test could not do its part: " + premise);
    return premise.empty();
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
  void Shot(const std::string& name) { vyr::test::SaveScreen(shots_ + "/" + name + ".png"); }
  std::string Setting(const std::string& key) const { return ReadProfile(app_->ProfilePath())["hostile"][key]; }

  // The server's log lines holding the text.
  Lines Requests(const std::string& text) const {
    Lines lines;
    std::ifstream in(log_);
    for (std::string line; std::getline(in, line);)
      if (line.find(text) != std::string::npos) lines.push_back(line);
    return lines;
  }
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
    w.settings = WatchedSettings(ReadProfile(app_->ProfilePath()));
    w.openerCalls = OpenerCalls().size();
    w.windows = windows_.Opened().size();
    return w;
  }

  // Everything written since `before`: watched settings, new or changed
  // files (not the profile, not the info box's staging page), scheme
  // folders, opener starts, windows shown.
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
    const auto calls = OpenerCalls();
    for (size_t i = before.openerCalls; i < calls.size(); ++i) out.push_back("xdg-open " + Join(calls[i], " "));
    for (size_t i = before.windows; i < windows_.Opened().size(); ++i)
      out.push_back("window " + windows_.Opened()[i] + " shown");
    return out;
  }

  // --- real input through the X server ---
  static Display* XDisplay() { return vyr::test::xtest::XDisplay(); }
  static void Click(const wxPoint& at) { vyr::test::xtest::Click(at); }
  static void PressKey(KeySym sym, bool shift = false, bool control = false) {
    vyr::test::xtest::PressKey(sym, shift, control);
  }
  // Printable ASCII, with Shift where the keyboard map needs it.
  static void PressCharacter(unsigned char c) {
    Display* d = XDisplay();
    PressKey(c, XkbKeycodeToKeysym(d, XKeysymToKeycode(d, c), 0, 0) != c);
  }
  void Key(KeySym sym, bool shift = false) {
    PressKey(sym, shift);
    Pause(15);
  }
  // Without a window manager nothing gives a window the keyboard focus.
  static void FocusWindow(Window xid) {
    XSetInputFocus(XDisplay(), xid, RevertToParent, CurrentTime);
    XFlush(XDisplay());
  }
  void FocusMainWindow() {
    FocusWindow(gdk_x11_window_get_xid(gtk_widget_get_window(main_->GetHandle())));
    PumpUntil([&] { return gtk_window_is_active(GTK_WINDOW(main_->GetHandle())); }, 3000);
  }

  // Whether the X server has the window viewable under the title (its
  // _NET_WM_NAME as the server holds it, not as the toolkit does).
  static bool Viewable(const std::string& title, Window xid) {
    Display* d = XDisplay();
    GdkDisplay* display = gdk_display_get_default();
    const Atom netName = XInternAtom(d, "_NET_WM_NAME", False), utf8 = XInternAtom(d, "UTF8_STRING", False);
    gdk_x11_display_error_trap_push(display);  // the window may go while it is read
    XWindowAttributes attributes;
    std::string name;
    Atom type = 0;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool viewable = XGetWindowAttributes(d, xid, &attributes) && attributes.map_state == IsViewable;
    if (viewable && XGetWindowProperty(d, xid, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data) ==
                        Success && data && type == utf8 && format == 8)
      name.assign(reinterpret_cast<const char*>(data), count);
    if (data) XFree(data);
    gdk_x11_display_error_trap_pop_ignored(display);
    return viewable && name == title;
  }

  // --- where things are ---
  // Evaluates an expression in the page (of the main window's pane, or of
  // the view given) only to read it; its text when a string.
  std::string ReadPage(const std::string& expression, CBrowserWnd* in = nullptr) {
    struct Result {
      bool done = false;
      std::string text;
    };
    auto* holder = new std::shared_ptr<Result>(std::make_shared<Result>());
    const std::shared_ptr<Result> result = *holder;
    webkit_web_view_evaluate_javascript(
        (in ? in : main_->Pane())->WebView(), expression.c_str(), -1, nullptr, nullptr, nullptr,
        [](GObject* view, GAsyncResult* res, gpointer data) {
          auto* h = static_cast<std::shared_ptr<Result>*>(data);
          if (JSCValue* value = webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), res, nullptr)) {
            if (jsc_value_is_string(value)) {
              gchar* text = jsc_value_to_string(value);
              (*h)->text = text;
              g_free(text);
            }
            g_object_unref(value);
          }
          (*h)->done = true;
          delete h;
        },
        holder);
    PumpUntil([&] { return result->done; }, 5000);
    return result->text;
  }

  // The screen rectangle of an element of the top document (of the main
  // window's pane, or of the view given).
  wxRect ElementOnScreen(const std::string& id, CBrowserWnd* in = nullptr) {
    CBrowserWnd* view = in ? in : main_->Pane();
    const std::string text = ReadPage("(function () { var e = document.getElementById('" + id +
                                      "'); if (!e) return ''; var r = e.getBoundingClientRect();"
                                      " return [r.left, r.top, r.width, r.height].map(Math.round).join(','); })()",
                                      view);
    double v[4] = {};
    if (std::sscanf(text.c_str(), "%lf,%lf,%lf,%lf", &v[0], &v[1], &v[2], &v[3]) != 4) return {};
    const double zoom = view->Zoom();
    const wxPoint origin = view->ClientToScreen(wxPoint(0, 0));
    return wxRect(origin.x + static_cast<int>(v[0] * zoom), origin.y + static_cast<int>(v[1] * zoom),
                  static_cast<int>(v[2] * zoom), static_cast<int>(v[3] * zoom));
  }
  static wxPoint Centre(const wxRect& r) { return wxPoint(r.x + r.width / 2, r.y + r.height / 2); }

  // Waits for the page to be painted in the colour at the point, clicks
  // there and waits for the page to report a real click counted by `seen`.
  std::string ClickAt(const wxPoint& at, const std::string& rgb, const std::function<size_t()>& seen) {
    if (!PumpUntil([&] { return vyr::test::Rgb(vyr::test::Screen(), at) == rgb; }, 8000))
      return "the screen shows " + vyr::test::Rgb(vyr::test::Screen(), at) + ", not " + rgb + ", where the click goes";
    const size_t before = seen();
    Click(at);
    return PumpUntil([&] { return seen() > before; }, 5000) ? "" : "the page saw no real click";
  }
  std::string ClickPoint(const std::string& page, const wxPoint& at, const std::string& rgb) {
    return ClickAt(at, rgb, [=, this] { return Clicks(page); });
  }
  std::string ClickElement(const std::string& page, const std::string& id, const std::string& rgb,
                           CBrowserWnd* in = nullptr) {
    const wxRect r = ElementOnScreen(id, in);
    return r.IsEmpty() ? "no element " + id + " on the page" : ClickPoint(page, Centre(r), rgb);
  }
  // A click in the cross-origin frame filling the page, `quarter` quarters
  // across it.
  std::string FrameClick(const std::string& target, int quarter, const std::string& rgb) {
    const wxRect frame = ElementOnScreen("frame");
    if (frame.IsEmpty()) return "no frame on the page";
    const std::string report = "/report?click=frame&trusted=true&target=" + target;
    return ClickAt(wxPoint(frame.x + frame.width * quarter / 4, frame.y + frame.height / 2), rgb,
                   [=, this] { return Requests(report).size(); });
  }

  // The controls: a real click on a home page's command link, and the
  // command link typed into the address box with real keys.
  void CheckControls() {
    std::string premise = Open(Home("homeclick"), "Home click");
    if (premise.empty()) premise = ClickElement("homeclick", "link", "46,125,50");
    const bool written = PumpUntil([&] { return Setting("homeclick") == "1"; }, 5000);
    Shot("hostile_control_click");
    Check(premise.empty() && written, "control: a real click on a home page's command link runs it",
          premise.empty() ? Join(WatchedSettings(ReadProfile(app_->ProfilePath()))) : premise);

    premise = Open(Home("plain"), "Home plain");
    Click(Centre(main_->AddressBox()->GetScreenRect()));
    Pause(200);
    Key(XK_End);
    Key(XK_Home, true);
    for (unsigned char c : home_ + "/_cmd/setinifile%20hostile%20typed%201") {
      PressCharacter(c);
      Pause(15);
    }
    const std::string shown(main_->AddressBox()->GetValue().utf8_str());
    Key(XK_Return);
    const bool ran = PumpUntil([&] { return Setting("typed") == "1"; }, 5000);
    Shot("hostile_control_typed");
    Check(premise.empty() && ran, "control: a command link typed into the address box and entered runs it",
          First({premise, "the box held '" + shown + "'; " + Join(WatchedSettings(ReadProfile(app_->ProfilePath())))}));
  }
  // What the test saw of a "Save As" window while it answered it.
  struct SaveAs {
    Window xid = 0;            // the window on the X server, 0 when none was seen there
    std::string folder, name;  // the folder it opened in and the name it offered
    std::string typed;         // what its focused text box held before Enter
  };
  using Answer = std::function<std::vector<Steps::Step>(GtkWindow* dialog)>;

  // Saves the screen once the dialog has had a moment to draw itself.
  Steps::Step ShotStep(const std::string& name) {
    const std::string path = shots_ + "/" + name + ".png";
    return {"the dialog drawn for the picture", [path](int elapsed) {
              if (elapsed < 700) return false;
              GdkWindow* root = gdk_get_default_root_window();
              if (GdkPixbuf* shot =
                      gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root), gdk_window_get_height(root))) {
                gdk_pixbuf_save(shot, path.c_str(), "png", nullptr, nullptr);
                g_object_unref(shot);
              }
              return true;
            }};
  }

  static Steps::Step KeyStep(const std::string& what, KeySym sym, bool control = false) {
    return {what + " pressed", [sym, control](int) {
              PressKey(sym, false, control);
              return true;
            }};
  }

  // Clicks the element and answers the "Save As" window it brings up: finds
  // it on the X server, reads its folder and name, focuses it, does
  // `answer`, waits for it to go. "" when every part was done.
  std::string ClickAndAnswer(const std::string& page, const std::string& id, const std::string& rgb, SaveAs& seen,
                             const Answer& answer) {
    seen = SaveAs{};
    steps_.Reset();
    windows_.Expect("Save As", [this, &seen, answer](GtkWindow* dialog) {
      g_object_ref(dialog);  // read until the steps end, whatever the program does with it
      std::vector<Steps::Step> steps = {
          {"the dialog viewable on the X server as 'Save As'",
           [dialog, &seen](int) {
             GdkWindow* window = gtk_widget_get_window(GTK_WIDGET(dialog));
             if (!window || !Viewable("Save As", gdk_x11_window_get_xid(window))) return false;
             seen.xid = gdk_x11_window_get_xid(window);
             return true;
           }},
          {"the dialog telling its folder",
           [dialog, &seen](int) {
             if (!GTK_IS_FILE_CHOOSER(dialog)) {
               seen.folder = "(not a file chooser)";
               return true;
             }
             gchar* folder = gtk_file_chooser_get_current_folder(GTK_FILE_CHOOSER(dialog));
             if (!folder) return false;
             seen.folder = folder;
             g_free(folder);
             gchar* name = gtk_file_chooser_get_current_name(GTK_FILE_CHOOSER(dialog));
             seen.name = name ? name : "";
             g_free(name);
             return true;
           }},
          {"the dialog taking the keyboard focus",
           [dialog, &seen](int) {
             if (gtk_window_is_active(dialog)) return true;
             FocusWindow(seen.xid);
             return false;
           }},
      };
      for (auto& step : answer(dialog)) steps.push_back(std::move(step));
      steps.push_back({"the dialog gone from the X server", [&seen](int) { return !Viewable("Save As", seen.xid); }});
      steps_.Start(std::move(steps), [this, dialog] {
        if (!steps_.Problem().empty() && gtk_widget_get_visible(GTK_WIDGET(dialog)) && GTK_IS_DIALOG(dialog))
          gtk_dialog_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL);
        g_object_unref(dialog);
      });
    });
    std::string problem = ClickElement(page, id, rgb);
    if (problem.empty() && !PumpUntil([&] { return steps_.Started(); }, 8000))
      problem = "no 'Save As' window was shown";
    if (problem.empty() && !PumpUntil([&] { return steps_.Finished(); }, 60000)) problem = "the steps never ended";
    if (problem.empty()) problem = steps_.Problem();
    windows_.Expect("", nullptr);
    steps_.Reset();
    FocusMainWindow();  // the keys go to the main window again
    return problem;
  }

  // Every file below the folders whose name starts with the text.
  static Lines FilesNamed(const std::string& start, std::initializer_list<std::string> roots) {
    Lines found;
    for (const auto& root : roots)
      for (const auto& [path, state] : ListFiles(root))
        if (fs::path(path).filename().string().rfind(start, 0) == 0) found.push_back(path);
    return found;
  }


  // A real click on a foreign page's attachment link asks with "Save As" in
  // the download folder; Escape saves nothing; a typed path gets the bytes.
  void CheckAttachmentLink() {
    static constexpr char kReport[] = "Vyrelle test report\r\nsecond line\n\x00\x01\xfe\xff binary tail\n";
    const std::string expectedBytes(kReport, sizeof kReport - 1);
    const std::string opened = Open(Foreign("attachlink"), "Hostile attachment link");
    const size_t fetched = Requests("/attach/report.txt").size(), closedByWatch = windows_.ExpectedClosedByWatch();
    Written before = Now();
    SaveAs seen;
    std::string premise = First({opened, opened.empty() ? ClickAndAnswer("attachlink", "report", "85,139,47", seen,
        [this](GtkWindow*) { return std::vector<Steps::Step>{ShotStep("hostile_save_as_escape"), KeyStep("Escape", XK_Escape)}; }) : ""});
    if (!fs::exists(shots_ + "/hostile_save_as_escape.png")) Shot("hostile_save_as_escape");
    std::error_code ec;
    const bool inDownloads = !seen.folder.empty() && fs::equivalent(seen.folder, sandbox.downloads, ec);
    Check(seen.xid != 0 && inDownloads && seen.name == "report.txt",
          "attachment link: a real click on a foreign page's attachment link asks with a 'Save As' dialog in the "
          "download folder",
          First({seen.xid ? "" : "no 'Save As' window was seen: " + premise,
                 "it opened in '" + seen.folder + "' offering '" + seen.name + "'"}));
    Pause(1500);  // a download that went on anyway would be written by now
    // The engine's load handed over to the download is no failure: the page stays.
    premise = First({premise, Requests("/attach/report.txt").size() > fetched ? "" : "the attachment was never requested",
                     windows_.ExpectedClosedByWatch() > closedByWatch ? "the dialog stayed open after Escape" : "",
                     Title() == "Hostile attachment link" ? "" : "the pane shows '" + Title() + "' after the download"});
    Lines written = Since(before);
    for (const auto& file : FilesNamed("report", {sandbox.home, dataHome_})) written.push_back("there is " + file);
    Check(premise.empty() && written.empty(), "attachment link: Escape in the 'Save As' dialog saves nothing",
          premise.empty() ? "written: " + Join(written) : "the test could not do its part: " + premise);

    const std::string target = sandbox.downloads + "/chosen/saved-report.txt";
    fs::create_directories(sandbox.downloads + "/chosen");
    before = Now();
    const Answer typePath = [this, target, &seen](GtkWindow* dialog) {
      std::vector<Steps::Step> steps = {{"the name box holding the keyboard focus",
                                         [dialog](int) { return GTK_IS_ENTRY(gtk_window_get_focus(dialog)); }},
                                        KeyStep("Ctrl+A", XK_a, true)};
      for (unsigned char c : target)
        steps.push_back({std::string("'") + static_cast<char>(c) + "' typed", [c](int) {
                           PressCharacter(c);
                           return true;
                         }});
      steps.push_back({"the name box holding the typed path", [dialog, target, &seen](int) {
                         GtkWidget* box = gtk_window_get_focus(dialog);
                         seen.typed = box && GTK_IS_ENTRY(box) ? gtk_entry_get_text(GTK_ENTRY(box)) : "(no text box)";
                         return seen.typed == target;
                       }});
      steps.push_back(ShotStep("hostile_save_as_typed"));
      steps.push_back(KeyStep("Enter", XK_Return));
      return steps;
    };
    premise = opened.empty() ? ClickAndAnswer("attachlink", "report", "85,139,47", seen, typePath) : opened;
    if (!fs::exists(shots_ + "/hostile_save_as_typed.png")) Shot("hostile_save_as_typed");
    const bool saved =
        premise.empty() && PumpUntil([&] { return vyr::test::ReadFile(target) == expectedBytes; }, 10000);
    Pause(1000);  // anything else the download writes is written by now
    written = Since(before);
    const std::string wanted = "new file " + target + " (" + std::to_string(expectedBytes.size()) + " bytes)";
    Check(premise.empty() && saved && written == Lines{wanted},
          "attachment link: a path typed into the 'Save As' dialog gets the file with the bytes the server sent",
          First({premise.empty() ? "" : premise + " (the box held '" + seen.typed + "')",
                 saved ? "" : "the file holds '" + Visible(vyr::test::ReadFile(target)) + "'",
                 "written: " + Join(written)}));
  }

  // A real click on a mailto link reaches the mail program once, its fields
  // rebuilt: the smuggled Bcc line break is gone, only subject and body pass.
  void CheckMailLink() {
    const size_t calls = OpenerCalls().size();
    std::string seen = Open(Foreign("maillink"), "Hostile mail link");
    if (seen.empty()) seen = ClickElement("maillink", "mail", "173,20,87");
    PumpUntil([&] { return OpenerCalls().size() > calls; }, 5000);
    Pause(500);
    Shot("hostile_mail_link");
    const auto all = OpenerCalls();
    const std::vector<Lines> made(all.begin() + static_cast<long>(std::min(calls, all.size())), all.end());
    if (seen.empty() && made.size() != 1) seen = std::to_string(made.size()) + " starts of the desktop's opener, not one";
    if (seen.empty() && made[0] != Lines{"mailto:a@example.com?subject=HiBcc%3A%20x%40evil.example&body=x"})
      seen = "the opener got '" + Visible(Join(made[0], " | ")) + "'";
    Check(seen.empty(),
          "mailto: a clicked mailto link reaches the mail program as one address without the smuggled Bcc header",
          seen);
  }

  // The host's picture lookup from a foreign top page and a cross-origin
  // frame, by the external object and by the host's prompt: never a path.
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
      Click(pane.GetTopLeft() + wxPoint(pane.width - 30, pane.height - 30));  // the view takes the keys
      Key(XK_Escape);
    }
    Shot("hostile_insert_image");
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

  // The info box (the channel bar shown for it): a real click on a link
  // that asks for a window of its own opens it in the main window; a
  // command link does so only through the special-address filter, which
  // runs nothing for a foreign page in the box but runs a home page's; a
  // script's window.open of a command link runs nothing.
  void CheckInfoBoxLinks() {
    main_->RunServerCommand("showchannelbar");
    CChannelBarWnd* bar = main_->ChannelBar();
    CBrowserWnd* box = bar ? bar->InfoBoxView() : nullptr;
    if (!Check(box && PumpUntil([&] { return box->IsShownOnScreen(); }, 5000), "info box: the channel bar shows the box"))
      return;
    auto showInBox = [&](const std::string& url, const std::string& title) {
      bar->InfoBox().ShowNow(url, 600);
      return PumpUntil([&] { return box->Title() == title && !box->IsLoading(); })
                 ? std::string()
                 : "the box shows '" + box->Title() + "', not '" + title + "'";
    };
    std::string premise = showInBox(Foreign("boxlinks"), "Hostile box links");
    if (premise.empty()) premise = ClickElement("boxlinks", "newwindow", "0,105,92", box);
    const bool opened = premise.empty() && Shows("Hostile box target");
    Shot("hostile_box_blank");
    Check(opened && box->Title() == "Hostile box links",
          "info box: a real click on a link with target _blank opens it in the main window",
          First({premise, "the main window shows '" + Title() + "', the box '" + box->Title() + "'"}));
    Expect({"", "", "box_command", "info box: a foreign box page's command link with target _blank runs nothing",
            [&] { return ClickElement("boxlinks", "command", "198,40,40", box); }, 1500});
    Expect({"", "", "box_script_open", "info box: a foreign box page's window.open of a command link runs nothing",
            [&] { return ClickElement("boxlinks", "scriptopen", "40,53,147", box); }, 1500});
    Check(Title() == "Hostile box target" && box->Title() == "Hostile box links",
          "info box: neither that command link nor window.open navigated a window",
          "the main window shows '" + Title() + "', the box '" + box->Title() + "'");

    premise = showInBox(Home("homeboxlinks"), "Home box links");
    if (premise.empty()) premise = ClickElement("homeboxlinks", "command", "46,125,50", box);
    const bool ran = premise.empty() && PumpUntil([&] { return Setting("boxhome") == "1"; }, 5000);
    Shot("hostile_box_home_command");
    Check(ran, "info box control: a real click on a home box page's command link with target _blank runs it",
          First({premise, Join(WatchedSettings(ReadProfile(app_->ProfilePath())))}));
  }

  // A home page's link imports a scheme package named with a colon; every
  // question is answered yes, and still no folder, no switch.
  void CheckSchemeImport() {
    const std::string config = media_ + "/default/config.ini", configBefore = vyr::test::ReadFile(config);
    const std::string userdir = app_->GetString("misc", "userdir", "(none)");
    const Written before = Now();
    std::string premise = Open(Home("homescheme"), "Home scheme");
    const size_t boxes = boxes_.boxes.size();
    if (premise.empty()) premise = ClickElement("homescheme", "scheme", "78,52,46");
    Pause(3000);
    Shot("hostile_scheme_import");
    Lines asked, written = Since(before);
    for (size_t i = boxes; i < boxes_.boxes.size(); ++i)
      asked.push_back(boxes_.boxes[i].kind + " '" + boxes_.boxes[i].text + "'");
    if (vyr::test::ReadFile(config) != configBefore) written.push_back("media/default/config.ini changed");
    if (app_->GetString("misc", "userdir", "(none)") != userdir) written.push_back("[misc] userdir changed");
    if (fs::exists(media_ + "/a:b")) written.push_back("media/a:b exists");
    Check(premise.empty() && written.empty(),
          "scheme import: a scheme package named with a colon makes no folder and switches nothing",
          First({premise, "written: " + Join(written) + "; boxes: " + Join(asked)}));
  }

  std::string shots_, log_, home_, foreign_, dataHome_, media_;
  std::unique_ptr<vyr::test::PythonFixture> fixture_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  WindowWatch windows_;
  Steps steps_;  // the answer to a dialog in progress
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(HostilePagesApp);

// No GPU on a virtual display; the file chooser remembers in memory; the
// sandbox is made before anything reads the environment.
int main(int argc, char** argv) {
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  setenv("GSETTINGS_BACKEND", "memory", 0);
  if (argc == 3) PrepareSandbox(argv[1]);
  return wxEntry(argc, argv);
}

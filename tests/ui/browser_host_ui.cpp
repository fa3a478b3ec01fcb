// The browser control host on a virtual display, with real clicks and keys:
// trusted and untrusted command links, window.open, the external object,
// enhanced browsing, and the pages shown for a failed load.
// usage: browser_host_ui PAGE_BASE HOME SCREENSHOT.png
#include <arpa/inet.h>
#include <gio/gio.h>
#include <libsoup/soup.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>

#include "app/command_dispatcher.h"
#include "app/command_recorder.h"
#include "ui/windows/browser_wnd.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "tools/test_certificates.h"
#include "ui_test_support.h"

namespace {
using Lines = std::vector<std::string>;
using vyr::test::ClickAt;
using vyr::test::Pause;
using vyr::test::PumpUntil;
using vyr::test::Settle;

bool Has(const Lines& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

std::string Join(const Lines& lines) {
  std::string out;
  for (const std::string& l : lines) out += (out.empty() ? "" : " | ") + l;
  return out;
}

// Answers no host; with block, waits until told to stop.
class Hosts : public vyr::platform::HostResolver {
 public:
  explicit Hosts(bool block) : block_(block) {}
  bool Resolves(const std::string&, const std::atomic<bool>& stop) override {
    entered = true;
    while (block_ && !stop) g_usleep(10000);
    left = true;
    return false;
  }
  std::atomic<bool> entered{false}, left{false};

 private:
  const bool block_;
};

// A free port of 127.0.0.1 that nothing listens on.
int ClosedPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0;
  ::close(fd);
  return ok ? ntohs(address.sin_port) : 0;
}

class PageServer {
 public:
  PageServer(int port, std::string page, GTlsCertificate* tls = nullptr)
      : page_(std::move(page)), server_(soup_server_new(SOUP_SERVER_TLS_CERTIFICATE, tls, nullptr)) {
    soup_server_add_handler(server_, nullptr, Serve, this, nullptr);
    const int https = tls ? SOUP_SERVER_LISTEN_HTTPS : 0;
    started = soup_server_listen_local(server_, static_cast<guint>(port),
                                       static_cast<SoupServerListenOptions>(SOUP_SERVER_LISTEN_IPV4_ONLY | https), nullptr);
  }
  ~PageServer() {
    soup_server_disconnect(server_);
    g_object_unref(server_);
  }
  bool started = false;
  Lines requests;

 private:
  static void Serve(SoupServer*, SoupMessage* message, const char* path, GHashTable*, SoupClientContext*, gpointer data) {
    auto* self = static_cast<PageServer*>(data);
    self->requests.push_back(std::string(message->method) + " " + path);
    soup_message_set_status(message, SOUP_STATUS_OK);
    soup_message_set_response(message, "text/html; charset=utf-8", SOUP_MEMORY_COPY, self->page_.data(),
                              self->page_.size());
  }
  const std::string page_;
  SoupServer* server_;
};

std::vector<pid_t> OwnWebProcesses(pid_t parent = ::getpid()) {
  std::vector<pid_t> found;
  std::error_code ec;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(parent) + "/task", ec)) {
    std::ifstream children(task.path() / "children");
    for (pid_t child; children >> child;) {
      if (vyr::test::ReadFile("/proc/" + std::to_string(child) + "/comm").rfind("WebKitWebProc", 0) == 0)
        found.push_back(child);
      for (pid_t below : OwnWebProcesses(child)) found.push_back(below);
    }
  }
  return found;
}

// Everything the control tells its owner, as lines.
struct RecordingOwner : CBrowserOwner {
  vyr::CommandDispatcher* dispatcher = nullptr;
  bool allowNewWindows = true;
  RecordingOwner* newWindowOwner = nullptr;
  wxFrame* newWindowFrame = nullptr;

  Lines specials, befores, states, statuses;
  std::vector<int> commands;
  std::string title;
  int searches = 0;
  int busy = 0;  // DownloadBegin less DownloadComplete
  bool visible = false;

  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override {
    specials.push_back(url + (verdict.trust != vyr::Trust::None ? " trusted" : " untrusted"));
    return dispatcher && dispatcher->HandleSpecialUrl(url, verdict);
  }
  void BeforeNavigate(const std::string& url, bool, bool&) override { befores.push_back(url); }
  void CommandStateChange(int command, bool enabled) override {
    states.push_back(std::string(command == kCommandBack ? "back " : "forward ") + (enabled ? "1" : "0"));
  }
  void StatusTextChange(const std::string& text) override { statuses.push_back(text); }
  void TitleChange(const std::string& t) override { title = t; }
  void OnBrowserCommand(int command) override { commands.push_back(command); }
  void DoSearch() override { ++searches; }
  void OnVisible(bool shown) override { visible = shown; }
  void DownloadBegin() override { ++busy; }
  void DownloadComplete() override { --busy; }
  CBrowserWnd* CreateNewExplorerWnd() override {
    if (!allowNewWindows || !newWindowOwner) return nullptr;
    newWindowFrame = new wxFrame(nullptr, wxID_ANY, wxS("new window"), wxDefaultPosition, wxSize(400, 300));
    return new CBrowserWnd(newWindowFrame, newWindowOwner);
  }
};

class BrowserHostTestApp : public vyr::test::ChecksApp {
 public:
  bool Prepare() override {
    if (argc != 4) return false;
    vyr::test::InitWindowTest();
    base_ = argv[1].ToStdString();
    home_ = argv[2].ToStdString();
    shot_ = argv[3].ToStdString();
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), recorder_, sounds_);
    app_->WriteString("misc", "HomeServer", home_);
    dispatcher_ = std::make_unique<vyr::CommandDispatcher>(*app_, recorder_, recorder_);
    owner_.dispatcher = dispatcher_.get();
    owner_.newWindowOwner = &newWindowOwner_;

    frame_ = new wxFrame(nullptr, wxID_ANY, wxS("browser host"), wxPoint(0, 0), wxSize(800, 600));
    browser_ = new CBrowserWnd(frame_, &owner_, vyr::NavigationPolicy::ForBrowserWindow(*app_, ""));
    frame_->Show();
    frame_->Raise();
    return true;
  }

 private:
  // On a failure, what the owner heard.
  void Check(const std::string& name, bool ok) {
    vyr::test::Check(ok, name, "title '" + owner_.title + "'; specials: " + Join(owner_.specials) + "; calls: " +
                                   Join(recorder_.calls) + "; states: " + Join(owner_.states) +
                                   "; statuses: " + Join(owner_.statuses));
  }

  bool Show(const std::string& title, const std::string& body, const std::string& site = {}) {
    browser_->Navigate(vyr::test::TitledPage(site.empty() ? base_ : site, title, body));
    return PumpUntil([&] { return owner_.title == title; });
  }

  bool TakeScreenshot() {
    const wxImage screen = vyr::test::SaveScreen(shot_);
    return vyr::test::Rgb(screen, browser_->ClientToScreen(wxPoint(browser_->GetClientSize().x / 2, 40))) ==
           "46,125,50";
  }

  bool SpecialSeen(const std::string& url) {
    return PumpUntil(
        [&] { return Has(owner_.specials, url + " trusted") || Has(owner_.specials, url + " untrusted"); });
  }

  void RunChecks() override {
    const std::string cmd = home_ + "/_cmd/showmail";
    const std::string fill = "position:fixed;left:0;top:0;right:0;bottom:0;background:#2e7d32;display:block";

    const bool shown = Show("click", "<a href=\"" + cmd + "\" style=\"" + fill + "\">run</a>");
    const bool painted = shown && PumpUntil([&] { return TakeScreenshot(); });
    ClickAt(browser_);
    SpecialSeen(cmd);
    Check("clicked command link is trusted and runs",
          painted && Has(owner_.specials, cmd + " trusted") && recorder_.calls == Lines{"PostMenuCommand 32788"} &&
              !Has(owner_.befores, cmd));
    wxUIActionSimulator().Char('n', wxMOD_CONTROL);
    PumpUntil([&] { return !owner_.commands.empty(); });
    Check("Ctrl+N posts the new-window command",
          owner_.commands == std::vector<int>{kNewBrowserWindowCommand} && owner_.title == "click");

    const std::string framed =
        vyr::test::EchoPage(home_, "<body style=\"margin:0\"><a href=\"" + cmd + "\" style=\"" + fill + "\">x</a>");
    const struct {
      const char* name;
      std::string body;
      bool click;
    } untrusted[] = {
        {"script redirect", "<script>setTimeout(function () { location.href = '" + cmd + "'; }, 0);</script>", false},
        {"hidden frame", "<iframe style=\"display:none\" src=\"" + cmd + "\"></iframe>", false},
        {"click in a sub-frame",
         "<iframe src=\"" + framed + "\" style=\"position:fixed;left:0;top:0;width:100%;height:100%;border:0\">",
         true},
    };
    recorder_.calls.clear();
    for (const auto& u : untrusted) {
      owner_.specials.clear();
      bool ready = Show(u.name, u.body);
      if (u.click) ready = ready && PumpUntil([&] { return TakeScreenshot(); });
      if (u.click) ClickAt(browser_);
      Check(std::string(u.name) + " to a command link is untrusted",
            ready && SpecialSeen(cmd) && Has(owner_.specials, cmd + " untrusted") &&
                !Has(owner_.specials, cmd + " trusted") && recorder_.calls.empty() && dispatcher_->LastActionRefused());
    }

    const std::string opener =
        "<div style=\"" + fill + "\"></div><script>document.onclick = function () {"
        " var w = window.open('/echo?' + encodeURIComponent('<title>new window</title>'));"
        " document.title = 'opened:' + (w !== null && typeof w === 'object' && w.closed === false); };</script>";
    for (const bool allow : {true, false}) {
      owner_.allowNewWindows = allow;
      const bool shown = Show(allow ? "open" : "open again", opener);
      ClickAt(browser_);
      PumpUntil([&] { return owner_.title.rfind("opened:", 0) == 0; });
      if (allow) PumpUntil([&] { return newWindowOwner_.title == "new window" && newWindowOwner_.visible; });
      Check(allow ? "window.open gets the owner's control" : "window.open is refused when the owner makes none",
            shown && owner_.title == (allow ? "opened:true" : "opened:false") &&
                (!allow || (newWindowOwner_.title == "new window" && newWindowOwner_.visible)));
      if (owner_.newWindowFrame) owner_.newWindowFrame->Destroy();
      owner_.newWindowFrame = nullptr;
    }

    // Back and forward: the state changes are told once each.
    browser_->GoBack();
    PumpUntil([&] { return owner_.title == "open"; });
    browser_->GoForward();
    PumpUntil([&] { return owner_.title == "open again"; });
    PumpUntil([&] { return owner_.states.size() >= 3; });
    Check("back and forward state changes", owner_.states == Lines{"back 1", "forward 1", "forward 0"});

    // The page-facing external object.
    const std::string media = app_->Directories().Root() + "/media/default";
    vyr::platform::CreateDirectories(media);
    std::ofstream(media + "/logo.gif") << "GIF89a";
    const std::string external =
        "<script>var e = window.external; e.DoSearch(); document.title = 'ext:' + e.IsVyrelle() + ':' +"
        " JSON.stringify(e.InsertImage('../x')) + ':' + e.InsertImage('logo.gif') + ':' +"
        " Object.keys(e).sort().join(',');</script>";
    // A page of the home server gets answers.
    Show("external", external, home_);
    PumpUntil([&] { return owner_.title.rfind("ext:", 0) == 0 && owner_.searches > 0; });
    const std::string expected = "ext:2:\"\":" + media + "/logo.gif:DoSearch,InsertImage,IsVyrelle";
    Check("window.external answers the home server's page", owner_.title == expected && owner_.searches == 1);
    Show("external elsewhere",
         external + "<script>document.title += ':' + JSON.stringify(prompt('\\u0001vyrelle:InsertImage', 'logo.gif'));"
                    "</script>");
    PumpUntil([&] { return owner_.title.rfind("ext:", 0) == 0; });
    Settle();
    Check("window.external answers nothing to another site",
          owner_.title == "ext:2:\"\"::DoSearch,InsertImage,IsVyrelle:\"\"" && owner_.searches == 1);

    // A bare word goes through enhanced browsing with the injected resolver.
    vyr::EnhancedBrowsingSettings settings;
    settings.searchUrl = base_ + "/echo?%3Ctitle%3Efound%20%s%3C/title%3E";
    settings.resolverHost = "resolver.invalid";
    settings.resolverPath = "/r?%s";
    bool resolverAsked = false;
    browser_->SetEnhancedBrowsing(settings, std::make_shared<Hosts>(false), [&](auto&, auto&, auto&) {
      resolverAsked = true;
      return false;
    });
    owner_.statuses.clear();
    browser_->Navigate("vyrword");
    PumpUntil([&] { return owner_.title == "found vyrword"; });
    Check("a bare word goes through enhanced browsing",
          owner_.title == "found vyrword" && resolverAsked &&
              Has(owner_.statuses, "* ENHANCED BROWSING: looking for vyrword") &&
              Has(owner_.statuses, "* ENHANCED BROWSING: RealName search for: vyrword"));

    // Stop during a look-up: it ends, and its busy state is cleared.
    auto slow = std::make_shared<Hosts>(true);
    browser_->SetEnhancedBrowsing(settings, slow, [](auto&, auto&, auto&) { return false; });
    browser_->Navigate("stopword");
    PumpUntil([&] { return slow->entered && owner_.busy == 1; });
    const bool busy = owner_.busy == 1 && browser_->IsLookingUp();
    browser_->Stop();
    Check("Stop ends a look-up and clears the busy state",
          busy && PumpUntil([&] { return slow->left.load(); }) && owner_.busy == 0 && owner_.title == "found vyrword");

    slow = std::make_shared<Hosts>(true);
    RecordingOwner lateOwner;
    auto* closing = new wxFrame(nullptr, wxID_ANY, wxS("closing"), wxDefaultPosition, wxSize(300, 200));
    auto* control = new CBrowserWnd(closing, &lateOwner);
    control->SetEnhancedBrowsing(settings, slow, [](auto&, auto&, auto&) { return false; });
    closing->Show();
    control->Navigate("slowword");
    PumpUntil([&] { return slow->entered.load(); });
    const bool running = control->IsLookingUp();
    closing->Destroy();
    PumpUntil([&] { return slow->left.load(); });
    Settle();
    Check("closing the window while a look-up runs", running && slow->left && lateOwner.befores.empty());

    frame_->Destroy();
    CheckFailurePages();
  }

  // A picture beside the main screenshot: NAME_WHAT.png.
  void Shot(const std::string& what) {
    vyr::test::SaveScreen(shot_.substr(0, shot_.size() - 4) + "_" + what + ".png");
  }

  static bool ClickElement(CBrowserWnd* pane, const std::string& id) {
    const wxRect r = vyr::test::ElementOnScreen(pane, id);
    if (!r.IsEmpty()) ClickAt(pane, wxRect(pane->ScreenToClient(r.GetPosition()), r.GetSize()));
    return !r.IsEmpty();
  }

  void CheckFailurePages() {
    const int port = ClosedPort();
    const std::string closed = "http://127.0.0.1:" + std::to_string(port);
    RecordingOwner owner;
    auto* frame = new wxFrame(nullptr, wxID_ANY, wxS("failures"), wxPoint(0, 0), wxSize(800, 600));
    vyr::NavigationPolicy::Options options;
    options.homeServer = closed;
    options.takes = vyr::kTakesEverything;
    auto* pane = new CBrowserWnd(frame, &owner, vyr::NavigationPolicy(options));
    frame->Show();
    frame->Raise();
    auto shows = [&](const std::string& title) {
      return PumpUntil([&] { return owner.title == title && !pane->IsLoading(); });
    };
    auto text = [&] { return vyr::test::ReadPage(pane, "document.body.innerText"); };
    auto link = [&] {
      return vyr::test::ReadPage(pane, "(function () { var a = document.getElementById('retry');"
                            " return a ? a.getAttribute('href') : '(no link)'; })()");
    };
    auto has = [](const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; };

    const std::string failed = closed + "/it's&more";
    pane->Navigate(failed);
    bool shown = shows("The page could not be opened");
    std::string body = text(), href = link();
    Shot("failed");
    const size_t reason = body.find("Reason: ");
    vyr::test::Check(shown && has(body, "Vyrelle could not open this address:") && has(body, "\n" + failed + "\n") &&
                         reason != std::string::npos && body.size() > reason + 9 && body[reason + 8] != '\n' &&
                         href == failed && !pane->ShowsTrustedDocument(),
                     "a closed port shows the program's page with the address, the reason and a retry link, trusting "
                     "nothing",
                     "title '" + owner.title + "'; text '" + body + "'; link '" + href + "'");

    // Once a server listens there, a real click on the retry link loads the page.
    PageServer up(port, "<!DOCTYPE html><title>back up</title><body style=\"background:#2e7d32\">");
    const bool retried = ClickElement(pane, "retry");
    shown = shows("back up");
    vyr::test::Check(up.started && retried && shown && Has(up.requests, "GET /it's&more"),
                     "the failure page's retry link, clicked once a server is up, loads the page",
                     "title '" + owner.title + "'; served: " + Join(up.requests));

    vyr::test::TempDir certificateDir;
    vyr::test::TestCertificates certificates;
    std::string error;
    GTlsCertificate* certificate = nullptr;
    if (vyr::test::MakeTestCertificates(certificateDir.Path(), "DNS:localhost", certificates, &error)) {
      GError* tlsError = nullptr;
      certificate = g_tls_certificate_new_from_files(certificates.certPem.c_str(), certificates.keyPem.c_str(), &tlsError);
      if (tlsError) error = tlsError->message;
      g_clear_error(&tlsError);
    }
    const int securePort = ClosedPort();
    PageServer secret(securePort, "<!DOCTYPE html><title>secret page</title><p>the content", certificate);
    const bool secretUp = certificate && secret.started;
    pane->Navigate("https://127.0.0.1:" + std::to_string(securePort) + "/secret?session=1");
    shown = shows("The certificate was refused");
    Pause(1000);  // a request sent anyway would have arrived by now
    body = text();
    Shot("certificate");
    vyr::test::Check(
        secretUp && shown && owner.title != "secret page" && secret.requests.empty() &&
            has(body, "the certificate of 127.0.0.1 was refused") &&
            has(body, "The certificate is not signed by an authority this computer trusts.") &&
            has(body, "The certificate was not made out for 127.0.0.1.") && !has(body, "the content"),
        "a refused certificate shows which problems for which host, and the page is never requested",
        "certificate: " + (secretUp ? std::string("served") : error) + "; title '" + owner.title + "'; text '" + body +
            "'; requests: " + Join(secret.requests));

    const std::string fill = "position:fixed;left:0;top:0;right:0;bottom:0;background:#2e7d32";
    pane->Navigate(vyr::test::TitledPage(base_, "alive", "<div style=\"" + fill + "\"></div>"));
    const bool alive = shows("alive");
    const std::string address = pane->CurrentUrl();
    const std::vector<pid_t> processes = OwnWebProcesses();
    for (pid_t pid : processes) ::kill(pid, SIGKILL);
    shown = shows("This page stopped");
    body = text();
    href = link();
    Shot("stopped");
    const bool back = ClickElement(pane, "retry") && shows("alive");
    vyr::test::Check(alive && !processes.empty() && shown && has(body, "The process that showed this page crashed.") &&
                         href == address && back && !pane->ShowsTrustedDocument(),
                     "a killed web process shows that the page stopped, and its reload link brings the page back",
                     std::to_string(processes.size()) + " web processes killed; title '" + owner.title + "'; text '" +
                         body + "'; link '" + href + "' for '" + address + "'");
    frame->Destroy();
    Settle();
    if (certificate) g_object_unref(certificate);
  }

  std::string base_, home_, shot_;
  vyr::CommandRecorder recorder_;
  vyr::SilentSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  std::unique_ptr<vyr::CommandDispatcher> dispatcher_;
  RecordingOwner owner_, newWindowOwner_;
  wxFrame* frame_ = nullptr;
  CBrowserWnd* browser_ = nullptr;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(BrowserHostTestApp)

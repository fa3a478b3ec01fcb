// The channel bar on a virtual display, hosted in a plain frame with a
// recording owner whose main browser is a real browser control. Pages come
// from the test HTTP server (PAGE_BASE), which also plays the home server's
// command script; SERVER_LOG is the server's output, one "GET query" line per
// script request. Clicks are real input events. Prints "ok NAME" or
// "FAIL NAME" per check and exits 0 when every check passed.
//
// usage: channel_bar_ui PAGE_BASE SERVER_LOG SCREENSHOT.png
#include <glib.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/frame.h>
#include <wx/image.h>
#include <wx/sizer.h>
#include <wx/uiaction.h>
#include <wx/utils.h>

#include "channels/windows/channel_bar_wnd.h"
#include "platform/file_system.h"
#include "platform/tick_count.h"
#include "tools/test_support.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/window_timers.h"
#include "ui_test_support.h"

namespace {

using Lines = std::vector<std::string>;

// A page of the server showing the html; Echo: a page with that title.
std::string EchoHtml(const std::string& base, const std::string& html) {
  gchar* escaped = g_uri_escape_string(html.c_str(), nullptr, FALSE);
  std::string out = base + "/echo?" + escaped;
  g_free(escaped);
  return out;
}
std::string Echo(const std::string& base, const std::string& title) {
  return EchoHtml(base, "<title>" + title + "</title>" + title);
}

struct MainBrowserOwner : CBrowserOwner {
  std::string title;
  void TitleChange(const std::string& t) override { title = t; }
};

// The main window as the bar sees it.
struct RecordingOwner : CChannelBarOwner {
  CBrowserWnd* browser = nullptr;
  wxWindow* pagePanel = nullptr;
  Lines navigations, serverCommands;
  std::vector<bool> pageStrip;

  void NavigateMainBrowser(const std::string& address) override {
    navigations.push_back(address);
    browser->Navigate(address);
  }
  void ShowPageStrip(bool shown) override {
    pageStrip.push_back(shown);
    pagePanel->Show(shown);
    pagePanel->GetParent()->Layout();
  }
  bool BrowserWindowVisible() const override { return true; }
  bool ProgramHasFocus() const override { return true; }
  void RunServerCommand(const std::string& command) override { serverCommands.push_back(command); }
  void PostMenuCommand(int) override {}
  bool MainBrowserNavigates2() const override { return false; }
};

class ChannelBarTestApp : public vyr::test::ChecksApp, vyr::test::TestApp {
 public:
  bool OnInit() override {
    if (argc != 4) return false;
    wxInitAllImageHandlers();  // the compiled-in scheme pictures are PNG
    vyr::test::RouteWindowMessagesToApp();
    base_ = argv[1].ToStdString();
    log_ = argv[2].ToStdString();
    shot_ = argv[3].ToStdString();
    app.WriteString("misc", "HomeServer", base_);
    app.WriteString("misc", "PS", base_ + "/s.dll");
    app.WriteInt("Misc", "box", 600);  // the rotation waits for its check
    app.WriteInt("misc", "PI", 1);
    MakeChannels();
    MakeInfoBoxPages();

    frame_ = new wxFrame(nullptr, wxID_ANY, wxS("channel bar"), wxPoint(0, 0), wxSize(900, 640));
    auto* row = new wxBoxSizer(wxHORIZONTAL);
    auto* right = new wxBoxSizer(wxVERTICAL);
    owner_.browser = new CBrowserWnd(frame_, &mainOwner_);
    bar_ = new CChannelBarWnd(frame_, owner_, {app, library_, counters_, tracked_, {}, vyr::platform::GetTickCount()});
    folders_ = bar_->CreateFolderStrip(frame_);
    pages_ = bar_->CreatePageStrip(frame_);
    owner_.pagePanel = pages_;
    pages_->Hide();
    right->Add(folders_, 0, wxEXPAND);
    right->Add(pages_, 0, wxEXPAND);
    right->Add(owner_.browser, 1, wxEXPAND);
    row->Add(bar_, 0, wxEXPAND);
    bar_->SetMinSize(wxSize(170, -1));
    row->Add(right, 1, wxEXPAND);
    frame_->SetSizer(row);
    folders_->SetMinSize(wxSize(-1, 30));
    pages_->SetMinSize(wxSize(-1, 30));
    frame_->Layout();
    ShowAndRunChecks(frame_);
    return true;
  }

 private:
  void MakeChannels() {
    using vyr::ChannelSet;
    ChannelSet& set = library_.Set();
    vyr::ChannelItem* weather = set.AddChannel("Weather Today");
    ChannelSet::AddChild(weather, "Forecast", Echo(base_, "forecast"), vyr::kChannelKindPage);
    vyr::ChannelItem* regions = ChannelSet::AddChild(weather, "Regions", vyr::kFolderUrl, vyr::kChannelKindFolder);
    ChannelSet::AddChild(regions, "North", Echo(base_, "north"), vyr::kChannelKindPage);
    ChannelSet::AddChild(regions, "South", Echo(base_, "south"), vyr::kChannelKindPage);
    ChannelSet::AddChild(set.AddChannel("Sports"), "Scores", Echo(base_, "scores"), vyr::kChannelKindPage);
    set.AddChannel("My City");  // no items
    ChannelSet::AddChild(set.AddChannel("Health"), "Trap", "  JavaScript:document.title='run'", vyr::kChannelKindPage);
    for (const char* name : {"Business", "Kids"}) set.AddChannel(name);
    library_.SetFixedCount(3);
  }

  // Dir1 holds three pages, each with its advertisement number 11, 12, 13
  // and a link that fills the page.
  void MakeInfoBoxPages() {
    const std::string dir = app.GetDataDirectory("InfoBox", true) + "default/Dir1/";
    vyr::platform::CreateDirectories(dir);
    for (int n = 1; n <= 3; ++n) {
      const std::string title = "Box" + std::to_string(n);
      vyr::test::WriteFile(dir + title + ".htm",
                           "<html><head><title>" + title + "</title></head>\n<!-- Vyrelle_2.0_InfoBox_AdID:1" +
                               std::to_string(n) + " -->\n<body style=\"margin:0\"><a href=\"" +
                               Echo(base_, "clicked") +
                               "\" style=\"position:fixed;left:0;top:0;right:0;bottom:0;display:block;"
                               "background:#246\">" +
                               title + "</a></body></html>\n");
    }
  }

  bool WaitFor(const std::function<bool()>& done, int milliseconds = 20000) {
    return vyr::test::PumpUntil(done, milliseconds);
  }

  void Check(const std::string& name, bool ok, const std::string& seen = {}) {
    if (!ok) ++failures_;
    std::printf("%s %s%s%s\n", ok ? "ok" : "FAIL", name.c_str(), ok || seen.empty() ? "" : ": ", ok ? "" : seen.c_str());
    std::fflush(stdout);
  }

  // A real click in the middle of a rectangle of a window.
  void ClickAt(wxWindow* window, const wxRect& rect) {
    wxUIActionSimulator input;
    input.MouseMove(window->ClientToScreen(wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2)));
    WaitFor([] { return false; }, 150);
    input.MouseClick();
  }
  void ClickEntry(CButtonStrip* strip, int index) { ClickAt(strip, strip->EntryRect(index)); }

  Lines Texts(CButtonStrip* strip) const {
    Lines texts;
    for (const auto& e : strip->Entries()) texts.push_back(e.text);
    return texts;
  }

  Lines ServerLines(const std::string& verb) const {
    std::ifstream in(log_);
    Lines lines;
    for (std::string line; std::getline(in, line);) {
      if (line.rfind("GET " + verb + "&", 0) == 0) lines.push_back(line);
    }
    return lines;
  }

  bool MainShows(const std::string& title) {
    return WaitFor([&] { return mainOwner_.title == title; });
  }

  void RunChecks() override {
    CheckColumn();
    CheckChoices();
    CheckScrolling();
    CheckInfoBox();
    CheckSession();
  }

  void CheckColumn() {
    // Images by hand from the keyword table: "Weather" (25) before "today";
    // "sports" 9; " city" 6; "health" 12; the first three are fixed.
    const std::vector<vyr::ButtonStripEntry>& column = bar_->Column()->Entries();
    bool ok = column.size() == 6;
    const struct {
      const char* text;
      int command, image, state;
    } want[] = {{"Weather Today", 4200, 25, 4}, {"Sports", 4201, 9, 4}, {"My City", 4202, 6, 4},
                {"Health", 4203, 12, 0},        {"Kids", 4205, 21, 0}};
    for (const auto& w : want) {
      const auto& e = column[std::min<size_t>(w.command - 4200, column.size() - 1)];
      ok = ok && e.text == w.text && e.command == w.command && e.image == w.image && e.state == w.state;
    }
    Check("the column lists the channels with their icons and fixed state", ok);
  }

  void CheckChoices() {
    WaitFor([] { return false; }, 1000);  // the windows are on the screen
    ClickEntry(bar_->Column(), 0);
    Check("choosing a channel fills the folder strip and opens its first item",
          MainShows("forecast") && Texts(folders_) == Lines{"Weather Today", "Forecast", "Regions"} &&
              folders_->Selection() == 1 && !pages_->IsShown(),
          mainOwner_.title);
    ClickEntry(folders_, 2);
    Check("a folder fills and shows the page strip and opens its first page",
          MainShows("north") && pages_->IsShown() && Texts(pages_) == Lines{"North", "South"}, mainOwner_.title);
    ClickEntry(pages_, 1);
    Check("a page navigates the main browser", MainShows("south") && pages_->Selection() == 1, mainOwner_.title);
    ClickEntry(bar_->Column(), 1);
    const bool other = MainShows("scores") && !pages_->IsShown();
    ClickEntry(bar_->Column(), 0);
    Check("another channel hides the page strip; choosing the first again opens the same page",
          other && MainShows("south") && owner_.pageStrip == std::vector<bool>{true, false, true} &&
              folders_->Selection() == 2 && pages_->Selection() == 1,
          mainOwner_.title);
    const size_t before = owner_.navigations.size();
    ClickEntry(bar_->Column(), 2);
    WaitFor([&] { return Texts(folders_) == Lines{"My City"}; });
    ClickEntry(bar_->Column(), 3);
    WaitFor([&] { return Texts(folders_) == Lines{"Health", "Trap"}; });
    Check("a channel without items and a script page navigate nothing",
          owner_.navigations.size() == before && !pages_->IsShown() && Texts(folders_) == Lines{"Health", "Trap"});
  }

  void CheckScrolling() {
    wxUIActionSimulator input;
    const wxSize size = bar_->GetClientSize();
    const int boxTop = size.y - bar_->InfoBoxHeight();
    ClickAt(bar_, wxRect(0, boxTop - 24, size.x, 24));  // the bottom strip
    const bool down = WaitFor([&] { return bar_->Column()->ScrollOffset() == 1; }, 2000);
    ClickAt(bar_, wxRect(0, 0, size.x, 24));  // the top strip
    const bool up = WaitFor([&] { return bar_->Column()->ScrollOffset() == 0; }, 2000);
    input.MouseMove(bar_->ClientToScreen(wxPoint(size.x / 2, boxTop - 12)));
    WaitFor([] { return false; }, 150);
    // Held down, the bottom strip repeats until the last entry; released, it
    // stops there. Down from the last entry wraps to 0, up at 0 stays.
    input.MouseDown();
    const bool repeated = WaitFor([&] { return bar_->Column()->ScrollOffset() == 5; }, 3000);
    input.MouseUp();
    WaitFor([] { return false; }, 400);
    const bool stopped = bar_->Column()->ScrollOffset() == 5;
    bar_->ScrollDown();
    const bool wrapped = bar_->Column()->ScrollOffset() == 0;
    bar_->ScrollUp();
    Check("a press in a scroll strip scrolls the column, repeating while held",
          down && up && repeated && stopped && wrapped && bar_->Column()->ScrollOffset() == 0);
  }

  std::string BoxTitle() const { return bar_->InfoBoxView()->Title(); }

  void CheckInfoBox() {
    // Showing the bar again restarts the rotation: [Misc] box seconds before
    // its first page.
    app.WriteInt("Misc", "box", 1);
    bar_->ShowBar(true);
    bool order = true;
    for (const char* title : {"Box1", "Box2", "Box3", "Box1"}) {
      order = order && WaitFor([&] { return BoxTitle() == title; }, 5000);
    }
    app.WriteInt("Misc", "box", 600);  // the next rotation is the last of the test
    order = order && WaitFor([&] { return BoxTitle() == "Box2"; }, 5000);
    Check("the info box rotates its pages 1, 2, 3, 1", order && bar_->InfoBox().Rotations() == 5, BoxTitle());

    const size_t before = owner_.navigations.size();
    CBrowserWnd* view = bar_->InfoBoxView();
    ClickAt(view, wxRect(wxPoint(0, 0), view->GetClientSize()));
    const bool opened = MainShows("clicked");
    WaitFor([] { return false; }, 1000);  // nothing more may follow
    Check("a link clicked in the info box opens in the main browser, one click",
          opened && owner_.navigations.size() == before + 1 && BoxTitle() == "Box2" &&
              counters_.Get("IBC") == 1 && counters_.Get("IBV") == 5,
          mainOwner_.title + " / " + BoxTitle());

    // Show now puts a page in the box; its script moving on by itself is no
    // click either: both load in the box.
    bar_->InfoBox().ShowNow(EchoHtml(base_, "<script>location.replace('" + Echo(base_, "moved") + "');</script>"), 600);
    Check("the program's own page and a script's navigation load in the box, no click",
          WaitFor([&] { return BoxTitle() == "moved"; }) && owner_.navigations.size() == before + 1 &&
              counters_.Get("IBC") == 1 && !bar_->InfoBox().SuppressNext(),
          BoxTitle());
  }

  void CheckSession() {
    CWindowTimers& timers = bar_->Timers();
    const bool armed = timers.Period(vyr::net::kStartTimer) == 40000;
    timers.SetTimer(vyr::net::kStartTimer, 50);  // no need to wait 40 s
    const bool started = WaitFor([&] { return !ServerLines("Ping").empty(); });
    const bool pingPeriod = timers.Period(vyr::net::kPingTimer) == 60000 && !timers.IsRunning(vyr::net::kStartTimer);
    timers.SetTimer(vyr::net::kPingTimer, 300);
    const bool pinged = WaitFor([&] { return ServerLines("Ping").size() >= 4; });
    Check("the start timer sends the login and a ping once, then pings at the period",
          armed && started && pingPeriod && pinged && ServerLines("Login").size() == 1);
    // Views 2, 2, 1 for the ads 11, 12, 13 and the click on page 2; blanks
    // travel as "+".
    const Lines pings = ServerLines("Ping");
    Check("the ping reports the info box's views and click",
          !pings.empty() && pings.back().find("&IBA=11+2+0+12+2+1+13+1+0+") != std::string::npos,
          pings.empty() ? "" : pings.back());
    Check("a reply's command reaches the owner",
          WaitFor([&] { return !owner_.serverCommands.empty(); }) && owner_.serverCommands[0] == "showmail");
    const std::string command = "import -window root " + shot_;
    wxExecute(wxString::FromUTF8(command.c_str()), wxEXEC_SYNC | wxEXEC_NOEVENTS);
  }

  std::string base_, log_, shot_;
  vyr::ChannelLibrary library_{app};
  vyr::net::UsageCounters counters_;
  vyr::net::TrackedUrlTable tracked_;
  MainBrowserOwner mainOwner_;
  RecordingOwner owner_;
  wxFrame* frame_ = nullptr;
  CChannelBarWnd* bar_ = nullptr;
  CButtonStrip* folders_ = nullptr;
  CButtonStrip* pages_ = nullptr;
};

}  // namespace

wxIMPLEMENT_APP(ChannelBarTestApp);

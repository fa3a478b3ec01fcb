// The channel bar in the real main window on a virtual display. The data
// root holds the test's channel files and info box pages; [misc] HomeServer
// is the test HTTP server (PAGE_BASE), which makes the pages from their
// addresses (printing "PAGE query" per page into SERVER_LOG). The session
// script is vyrelle-home-server's (HOME_URL, started with --no-ack so that
// each ping reports the running totals, with "showcounters" queued), which logs
// into HOME_LOGS. Clicks are real input events; a link is dragged from a
// drag source window of this program onto the bar with the XTest extension.
// Prints "ok NAME" or "FAIL NAME" per check.
//
// usage: channel_bar_ui PAGE_BASE SERVER_LOG HOME_URL HOME_LOGS SHOT_DIR
#include <gtk/gtk.h>
#include <unistd.h>

#include <fstream>

#include <wx/combobox.h>

#include "channels/channel_startup.h"
#include "platform/file_system.h"
#include "ui/windows/window_timers.h"
#include "xtest_input.h"  // last: the X headers' macros would spoil the names above

namespace {

using Lines = std::vector<std::string>;
using vyr::test::Check;
using vyr::test::ClickAt;
using vyr::test::Pause;
using vyr::test::PumpUntil;
using vyr::test::Texts;
namespace xtest = vyr::test::xtest;

// A source of one dragged link: a small window of its own whose label can be
// dragged, offering the link as "text/uri-list".
class LinkDragSource {
 public:
  LinkDragSource(const std::string& uri, const wxRect& where) : uri_(uri), rect_(where) {
    window_ = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_move(GTK_WINDOW(window_), where.x, where.y);
    gtk_window_set_default_size(GTK_WINDOW(window_), where.width, where.height);
    GtkWidget* box = gtk_event_box_new();
    gtk_container_add(GTK_CONTAINER(box), gtk_label_new("drag me"));
    gtk_container_add(GTK_CONTAINER(window_), box);
    static GtkTargetEntry target = {const_cast<gchar*>("text/uri-list"), 0, 0};
    gtk_drag_source_set(box, GDK_BUTTON1_MASK, &target, 1, GDK_ACTION_COPY);
    g_signal_connect(box, "drag-data-get", G_CALLBACK(&LinkDragSource::DataGet), this);
    gtk_widget_show_all(window_);
  }
  ~LinkDragSource() { gtk_widget_destroy(window_); }
  wxPoint Centre() const { return {rect_.x + rect_.width / 2, rect_.y + rect_.height / 2}; }

 private:
  static void DataGet(GtkWidget*, GdkDragContext*, GtkSelectionData* data, guint, guint, gpointer self) {
    gchar* uris[] = {const_cast<gchar*>(static_cast<LinkDragSource*>(self)->uri_.c_str()), nullptr};
    gtk_selection_data_set_uris(data, uris);
  }

  std::string uri_;
  wxRect rect_;
  GtkWidget* window_ = nullptr;
};

class ChannelBarTestApp : public vyr::test::ChecksApp, vyr::test::TestApp {
 public:
  bool Prepare() override {
    if (argc != 6) return false;
    vyr::test::InitWindowTest();
    base_ = argv[1].ToStdString();
    log_ = argv[2].ToStdString();
    homeLogs_ = argv[4].ToStdString();
    shots_ = argv[5].ToStdString();
    vyr::test::WriteWindowProfile(app, base_, Echo("start"), wxRect(0, 0, 1000, 740));
    app.WriteString("misc", "PS", argv[3].ToStdString() + "/scripts/vyrcmd.dll");
    app.WriteInt("Misc", "box", 600);  // the rotation waits for its check
    app.WriteInt("misc", "PI", 1);
    app.LoadStartupSettings();
    WriteChannelFiles();
    MakeInfoBoxPages();
    main_ = vyr::test::StartMainWindow(app);
    bar_ = main_->ChannelBar();
    folders_ = main_->FolderStrip();
    pages_ = main_->PageStrip();
    main_->Show();
    main_->Raise();
    return true;
  }

 private:
  // A page of the server with that title.
  std::string Echo(const std::string& title) const {
    return vyr::test::EchoPage(base_, "<title>" + title + "</title>" + title);
  }

  // The home channel comes first; then three fixed channels and three of
  // the user's.
  void WriteChannelFiles() {
    const std::string fixed = "\r\n~**:*********\r\n~CH:Weather Today\r\n~**:- - -\r\n~FN:Forecast\r\n~FU:" +
                              Echo("forecast") + "\r\n~**:- - -\r\n~FO:Regions\r\n\r\n~PN:North\r\n~PU:" +
                              Echo("north") + "\r\n\r\n~PN:South\r\n~PU:" + Echo("south") +
                              "\r\n~**:*********\r\n~CH:Sports\r\n~**:- - -\r\n~FN:Scores\r\n~FU:" + Echo("scores") +
                              "\r\n~**:*********\r\n~CH:My City";
    const std::string user =
        "\r\n~**:*********\r\n~CH:Health\r\n~**:- - -\r\n~FN:Trap\r\n~FU:JavaScript:document.title='run'"
        "\r\n~**:*********\r\n~CH:Business\r\n~**:*********\r\n~CH:Kids";
    vyr::test::WriteFile(app.ResolveDataFile(vyr::kFixedChannelsFile, true), fixed);
    vyr::test::WriteFile(app.ResolveDataFile(vyr::kUserChannelsFile, true), user);
  }

  // Dir1 holds three pages, each with its advertisement number 11, 12, 13
  // and a link that fills the page.
  void MakeInfoBoxPages() {
    pageDir_ = app.GetDataDirectory("InfoBox", true) + "default/Dir1/";
    vyr::platform::CreateDirectories(pageDir_);
    for (int n = 1; n <= 3; ++n) {
      const std::string title = "Box" + std::to_string(n);
      vyr::test::WriteFile(pageDir_ + title + ".htm",
                           "<html><head><title>" + title + "</title></head>\n<!-- Vyrelle_2.0_InfoBox_AdID:1" +
                               std::to_string(n) + " -->\n<body style=\"margin:0\"><a href=\"" + Echo("clicked") +
                               "\" style=\"position:fixed;left:0;top:0;right:0;bottom:0;display:block;"
                               "background:#246\">" +
                               title + "</a></body></html>\n");
    }
  }

  void Shot(const std::string& name) {
    Pause(300);
    vyr::test::SaveScreen(shots_ + "/" + name + ".png");
  }
  void ClickEntry(CButtonStrip* strip, int index) { ClickAt(strip, strip->EntryRect(index)); }

  // The lines of the test server's log that start with `part` (with a home
  // server's log's name: the lines of that log that hold it).
  Lines LogLines(const std::string& part, const std::string& homeLog = "") const {
    std::ifstream in(homeLog.empty() ? log_ : homeLogs_ + "/" + homeLog);
    Lines lines;
    for (std::string line; std::getline(in, line);)
      if (homeLog.empty() ? line.rfind(part, 0) == 0 : line.find(part) != std::string::npos) lines.push_back(line);
    return lines;
  }
  // The pings in the home server's usage log: "TIME\tPing\tID\tMO\tPAIRS".
  Lines Pings() const { return LogLines("\tPing\t", "usage.log"); }

  std::string MainTitle() const { return main_->Pane()->Title(); }
  bool MainShows(const std::string& title) {
    return PumpUntil([&] { return MainTitle() == title && !main_->Pane()->IsLoading(); });
  }
  std::string AddressShown() const { return std::string(main_->AddressBox()->GetValue().utf8_str()); }
  size_t Boxes(const std::string& text) const {
    size_t n = 0;
    for (const auto& box : boxes.boxes) n += box.text == text;
    return n;
  }
  std::string BoxTexts() const {
    std::string all;
    for (const auto& box : boxes.boxes) all += box.kind + ": " + box.text + "; ";
    return all;
  }
  size_t InfoBoxesBut(const std::string& text) const {
    size_t n = 0;
    for (const auto& box : boxes.boxes) n += box.kind == "info" && box.text != text;
    return n;
  }

  void RunChecks() override {
    // The session's start event at once, not 40 s from now.
    startArmed_ = bar_->Timers().Period(vyr::net::kStartTimer) == 40000;
    bar_->Timers().SetTimer(vyr::net::kStartTimer, 50);
    xtest::Focus(main_);  // the info box's rotation asks for the keyboard focus
    CheckColumn();
    CheckChoices();
    CheckScrolling();
    CheckLayout();
    CheckLinkDrag();
    CheckInfoBox();
    CheckSession();
  }

  void CheckColumn() {
    // Images by hand from the keyword table: "H O M E " matches none;
    // "Weather" (25) before "today"; "sports" 9; " city" 6; "health" 12;
    // "business" 7; "kids" 21. The home channel and the three of the fixed
    // file are fixed (state 4).
    std::string column;
    for (const auto& e : bar_->Column()->Entries())
      column += e.text + " " + std::to_string(e.image) + " " + std::to_string(e.state) + " " +
                std::to_string(e.command) + "|";
    Check(column == "H O M E  0 4 4200|Weather Today 25 4 4201|Sports 9 4 4202|My City 6 4 4203|Health 12 0 4204|"
                    "Business 7 0 4205|Kids 21 0 4206|",
          "the column lists the channel files' channels after the home channel, with icons and fixed state", column);
  }

  void CheckChoices() {
    MainShows("start");
    ClickEntry(bar_->Column(), 1);
    Check(folders_ && MainShows("forecast") && Texts(folders_) == Lines{"Weather Today", "Forecast", "Regions"} &&
              folders_->Selection() == 1 && !pages_->IsShown(),
          "choosing a channel fills the main window's folder strip and opens its first item in the pane", MainTitle());
    ClickEntry(folders_, 2);
    Check(MainShows("north") && pages_->IsShown() && Texts(pages_) == Lines{"North", "South"},
          "a folder fills and shows the page strip and opens its first page", MainTitle());
    ClickEntry(pages_, 1);
    const std::string south = Echo("south");
    Check(MainShows("south") && pages_->Selection() == 1 && AddressShown() == south &&
              LogLines("PAGE " + south.substr(south.find('?') + 1)).size() == 1,
          "a page navigates the pane: the server serves it and the address box shows it",
          MainTitle() + " / " + AddressShown());
    ClickEntry(bar_->Column(), 2);
    const bool other = MainShows("scores") && !pages_->IsShown();
    ClickEntry(bar_->Column(), 1);
    Check(other && MainShows("south") && pages_->IsShown() && folders_->Selection() == 2 && pages_->Selection() == 1,
          "another channel hides the page strip; choosing the first again opens the same page", MainTitle());
    ClickEntry(bar_->Column(), 3);
    PumpUntil([&] { return Texts(folders_) == Lines{"My City"}; });
    ClickEntry(bar_->Column(), 4);
    PumpUntil([&] { return Texts(folders_) == Lines{"Health", "Trap"}; });
    Pause(500);
    Check(MainTitle() == "south" && AddressShown() == south && !pages_->IsShown() &&
              Texts(folders_) == Lines{"Health", "Trap"},
          "a channel without items and a script page navigate nothing", MainTitle());
  }

  void CheckScrolling() {
    wxUIActionSimulator input;
    const wxSize size = bar_->GetClientSize();
    const int boxTop = size.y - bar_->InfoBoxHeight();
    ClickAt(bar_, wxRect(0, boxTop - 24, size.x, 24));  // the bottom strip
    const bool down = PumpUntil([&] { return bar_->Column()->ScrollOffset() == 1; }, 2000);
    ClickAt(bar_, wxRect(0, 0, size.x, 24));  // the top strip
    const bool up = PumpUntil([&] { return bar_->Column()->ScrollOffset() == 0; }, 2000);
    input.MouseMove(bar_->ClientToScreen(wxPoint(size.x / 2, boxTop - 12)));
    Pause(150);
    // Held down, the bottom strip repeats until the last entry; released, it
    // stops there. Down from the last entry wraps to 0, up at 0 stays.
    input.MouseDown();
    const bool repeated = PumpUntil([&] { return bar_->Column()->ScrollOffset() == 6; }, 3000);
    input.MouseUp();
    Pause(400);
    const bool stopped = bar_->Column()->ScrollOffset() == 6;
    bar_->ScrollDown();
    const bool wrapped = bar_->Column()->ScrollOffset() == 0;
    bar_->ScrollUp();
    Check(down && up && repeated && stopped && wrapped && bar_->Column()->ScrollOffset() == 0,
          "a press in a scroll strip scrolls the column, repeating while held");
  }

  void CheckLayout() {
    const wxRect barRect = bar_->GetScreenRect(), paneRect = main_->Pane()->GetScreenRect();
    const wxRect column = bar_->Column()->GetScreenRect(), box = bar_->InfoBoxView()->GetScreenRect();
    // The box starts below the column and the bottom scroll strip, at the
    // foot of the bar, as wide as the bar or wider.
    Check(box.y >= column.GetBottom() + 24 && box.x == barRect.x && box.width >= barRect.width &&
              box.y + bar_->InfoBoxHeight() == barRect.GetBottom() + 1 && bar_->InfoBoxView()->IsShownOnScreen() &&
              paneRect.x >= barRect.GetRight(), "the info box sits below the column at the foot of the bar");
    main_->Dispatcher().RunCommand("hidechannelbar");
    PumpUntil([&] { return !bar_->IsShown(); }, 2000);
    const wxRect widePane = main_->Pane()->GetScreenRect();
    Shot("ui_channel_bar_hidden");
    const bool hidden =
        !bar_->IsShownOnScreen() && widePane.x < paneRect.x && widePane.GetRight() == paneRect.GetRight();
    main_->Dispatcher().RunCommand("showchannelbar");
    PumpUntil([&] { return bar_->IsShown(); }, 2000);
    Check(hidden && bar_->GetScreenRect() == barRect && main_->Pane()->GetScreenRect() == paneRect &&
              app.GetInt("Misc", "ShowContentBar", -1) == 1,
          "hidechannelbar gives the bar's room to the pane; showchannelbar takes it back");
  }

  // The pointer through the X server's test extension, in steps with the
  // main loop running between them.
  void Glide(wxPoint from, const wxPoint& to) {
    for (int i = 1; i <= 12; ++i) {
      xtest::MoveTo(from + (to - from) * i / 12);
      Pause(30);
    }
  }

  // The drag entering the bar opens the channel designer over the main
  // window (where the link is dropped: see channel_designer_ui); let go
  // there, the drag ends and the designer is closed.
  void CheckLinkDrag() {
    const std::string link = Echo("dropped");
    int designers = 0;
    wxTimer closer;
    closer.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      auto* designer = xtest::Named<wxDialog>("channel_designer");
      if (!designer || !designer->IsModal() || designers > 0) return;
      ++designers;
      xtest::Button(false);
      Pause(500);
      designer->EndModal(wxID_CANCEL);
    });
    closer.Start(100);
    const wxRect main = main_->GetScreenRect();
    LinkDragSource source(link, wxRect(main.GetRight() + 40, main.y + 200, 160, 80));
    Pause(300);
    const wxRect column = bar_->Column()->GetScreenRect();
    const wxPoint onBar(column.x + column.width / 2, column.y + column.height / 2);
    xtest::MoveTo(source.Centre());
    Pause(150);
    xtest::Button(true);
    Pause(100);
    Glide(source.Centre(), onBar);
    const bool opened = PumpUntil([&] { return designers == 1 && !xtest::Named<wxDialog>("channel_designer"); }, 5000);
    xtest::Button(false);
    const bool ended = PumpUntil([&] { return !bar_->LinkOver(); }, 5000);
    const bool noMore = !PumpUntil([&] { return designers > 1 || xtest::Named<wxDialog>("channel_designer"); }, 1000);
    xtest::Focus(main_);
    Check(opened && ended && noMore && MainTitle() == "south",
          "a link dragged onto the bar opens the channel designer once; let go, the drag ends",
          std::to_string(opened) + std::to_string(ended) + std::to_string(noMore) + " designers " +
              std::to_string(designers));
  }

  std::string BoxTitle() const { return bar_->InfoBoxView()->Title(); }
  bool BoxShows(const std::string& title) {
    return PumpUntil([&] { return BoxTitle() == title && !bar_->InfoBoxView()->IsLoading(); }, 5000);
  }

  void CheckInfoBox() {
    const std::string staging = pageDir_ + "vyrinfobox.htm";
    // Showing the bar again restarts the rotation: [Misc] box seconds before
    // its first page.
    app.WriteInt("Misc", "box", 1);
    bar_->ShowBar(true);
    // (A read-only staging page and a folder in its place are
    // info_box_model_test's.)
    const bool order = BoxShows("Box1") && BoxShows("Box2") && BoxShows("Box3") && BoxShows("Box1");
    app.WriteInt("Misc", "box", 600);
    Check(order && bar_->InfoBox().Rotations() == 4, "the info box rotates its pages 1, 2, 3, 1",
          BoxTitle() + " rotations " + std::to_string(bar_->InfoBox().Rotations()) + " focus " +
              std::to_string(wxWindow::FindFocus() != nullptr) + " active " + std::to_string(main_->IsActive()));

    // A staging page that cannot be replaced (a folder in its place): the
    // box keeps showing page 1, and page 2 is not counted as seen.
    ::unlink(staging.c_str());
    vyr::platform::CreateDirectories(staging);
    bar_->ShowBar(true);  // it has rotated: the next page comes at once
    const bool rotated = PumpUntil([&] { return bar_->InfoBox().Rotations() == 5; }, 5000);
    Pause(500);
    const bool kept = BoxTitle() == "Box1";
    ::rmdir(staging.c_str());
    bar_->ShowBar(true);
    Check(rotated && kept && BoxShows("Box3") && app.Counters().Get("IBV") == 5,
          "a failed copy over the staging page leaves the previous page in the box", BoxTitle());

    CBrowserWnd* view = bar_->InfoBoxView();
    ClickAt(view, wxRect(wxPoint(0, 0), view->GetClientSize()));
    const bool opened = MainShows("clicked");
    Pause(1000);  // nothing more may follow
    Check(opened && BoxTitle() == "Box3" && app.Counters().Get("IBC") == 1 && AddressShown() == Echo("clicked"),
          "a link clicked in the info box opens in the main window's pane, one click",
          MainTitle() + " / " + BoxTitle());

    // Show now puts a page in the box; its script moving on by itself is no
    // click either: both load in the box.
    bar_->InfoBox().ShowNow(vyr::test::EchoPage(base_, "<script>location.replace('" + Echo("moved") + "');</script>"),
                            600);
    Check(BoxShows("moved") && MainTitle() == "clicked" && app.Counters().Get("IBC") == 1 &&
              !bar_->InfoBox().SuppressNext(),
          "the program's own page and a script's navigation load in the box, no click", BoxTitle());
  }

  void CheckSession() {
    // The start event went out when the checks began; the main window's
    // first page sends the login (the program's start-up does that).
    CWindowTimers& timers = bar_->Timers();
    const bool started = PumpUntil([&] { return !Pings().empty(); });
    const bool pingPeriod = timers.Period(vyr::net::kPingTimer) == 60000 && !timers.IsRunning(vyr::net::kStartTimer);
    const size_t before = Pings().size();
    timers.SetTimer(vyr::net::kPingTimer, 300);
    const bool pinged = PumpUntil([&] { return Pings().size() >= before + 3; });
    Check(startArmed_ && started && pingPeriod && pinged,
          "the start timer sends a ping once, then the bar pings at the period",
          std::to_string(startArmed_) + std::to_string(started) + std::to_string(pingPeriod) + std::to_string(pinged));
    // Views 2, 1, 2 for the ads 11, 12, 13 (page 2 once not shown) and the
    // click on page 3; the main window's engine navigates with the second
    // interface, so blanks travel as "%20", and the server logs them as sent.
    const Lines pings = Pings();
    Check(!pings.empty() && pings.back().find("&IBA=11%202%200%2012%201%200%2013%202%201%20") != std::string::npos,
          "the ping reports the info box's views and click", pings.empty() ? "" : pings.back());
    // The command queued at the server went out once, in the first reply:
    // "showcounters" shows the usage counters in an information box (a
    // command that opens no window, so the clicks of the other checks stay
    // on the main window; the bar's own session here is not the program's,
    // so the box's text is empty).
    const std::string designer = "The channel designer is not available yet.";
    Check(PumpUntil([&] { return InfoBoxesBut(designer) == 1; }) &&
              LogLines("\tshowcounters", "commands.log").size() == 1,
          "a reply's command runs through the main window's dispatcher", BoxTexts());
    Shot("ui_channel_bar");
  }

  std::string base_, log_, homeLogs_, shots_, pageDir_;
  bool startArmed_ = false;
  CVyr20Dlg* main_ = nullptr;
  CChannelBarWnd* bar_ = nullptr;
  CButtonStrip* folders_ = nullptr;
  CButtonStrip* pages_ = nullptr;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(ChannelBarTestApp)

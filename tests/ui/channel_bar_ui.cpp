// The channel bar in the real main window, with real clicks and an XTest
// link drag. usage: channel_bar_ui PAGE_BASE SERVER_LOG HOME_URL HOME_LOGS SHOT_DIR
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

// A small window whose label drags the link as "text/uri-list".
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
  std::string Echo(const std::string& title) const {
    return vyr::test::EchoPage(base_, "<title>" + title + "</title>" + title);
  }

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

  // Three pages with ad numbers 11, 12, 13, each one link filling the page.
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

  void Shot(const std::string& name) { Pause(300); vyr::test::SaveScreen(shots_ + "/" + name + ".png"); }
  void ClickEntry(CButtonStrip* strip, int index) { ClickAt(strip, strip->EntryRect(index)); }

  Lines LogLines(const std::string& part, const std::string& homeLog = "") const {
    std::ifstream in(homeLog.empty() ? log_ : homeLogs_ + "/" + homeLog);
    Lines lines;
    for (std::string line; std::getline(in, line);)
      if (homeLog.empty() ? line.rfind(part, 0) == 0 : line.find(part) != std::string::npos) lines.push_back(line);
    return lines;
  }
  Lines Pings() const { return LogLines("\tPing\t", "usage.log"); }

  std::string MainTitle() const { return main_->Pane()->Title(); }
  bool MainShows(const std::string& title) {
    return PumpUntil([&] { return MainTitle() == title && !main_->Pane()->IsLoading(); });
  }
  std::string AddressShown() const { return std::string(main_->AddressBox()->GetValue().utf8_str()); }
  size_t InfoBoxesBut(const std::string& text) const {
    size_t n = 0;
    for (const auto& box : boxes.boxes) n += box.kind == "info" && box.text != text;
    return n;
  }

  void RunChecks() override {
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
    // Images from the keyword table by hand; fixed channels have state 4.
    std::string column;
    for (const auto& e : bar_->Column()->Entries())
      column += e.text + " " + std::to_string(e.image) + " " + std::to_string(e.state) + " " +
                std::to_string(e.command) + "|";
    Check(column == "H O M E  0 4 4200|Weather Today 25 4 4201|Sports 9 4 4202|My City 6 4 4203|Health 12 0 4204|"
                    "Business 7 0 4205|Kids 21 0 4206|",
          "the column lists the channel files' channels after the home channel, with icons and fixed state");
  }

  void CheckChoices() {
    MainShows("start");
    ClickEntry(bar_->Column(), 1);
    Check(folders_ && MainShows("forecast") && Texts(folders_) == Lines{"Weather Today", "Forecast", "Regions"} &&
              folders_->Selection() == 1 && !pages_->IsShown(),
          "choosing a channel fills the main window's folder strip and opens its first item in the pane");
    ClickEntry(folders_, 2);
    Check(MainShows("north") && pages_->IsShown() && Texts(pages_) == Lines{"North", "South"},
          "a folder fills and shows the page strip and opens its first page");
    ClickEntry(pages_, 1);
    const std::string south = Echo("south");
    Check(MainShows("south") && pages_->Selection() == 1 && AddressShown() == south &&
              LogLines("PAGE " + south.substr(south.find('?') + 1)).size() == 1,
          "a page navigates the pane: the server serves it and the address box shows it");
    ClickEntry(bar_->Column(), 2);
    const bool other = MainShows("scores") && !pages_->IsShown();
    ClickEntry(bar_->Column(), 1);
    Check(other && MainShows("south") && pages_->IsShown() && folders_->Selection() == 2 && pages_->Selection() == 1,
          "another channel hides the page strip; choosing the first again opens the same page");
    ClickEntry(bar_->Column(), 3);
    PumpUntil([&] { return Texts(folders_) == Lines{"My City"}; });
    ClickEntry(bar_->Column(), 4);
    PumpUntil([&] { return Texts(folders_) == Lines{"Health", "Trap"}; });
    Pause(500);
    Check(MainTitle() == "south" && AddressShown() == south && !pages_->IsShown() &&
              Texts(folders_) == Lines{"Health", "Trap"},
          "a channel without items and a script page navigate nothing");
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

  void Glide(wxPoint from, const wxPoint& to) {
    for (int i = 1; i <= 12; ++i) {
      xtest::MoveTo(from + (to - from) * i / 12);
      Pause(30);
    }
  }

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
          "a link dragged onto the bar opens the channel designer once; let go, the drag ends");
  }

  std::string BoxTitle() const { return bar_->InfoBoxView()->Title(); }
  bool BoxShows(const std::string& title) {
    return PumpUntil([&] { return BoxTitle() == title && !bar_->InfoBoxView()->IsLoading(); }, 5000);
  }

  void CheckInfoBox() {
    const std::string staging = pageDir_ + "vyrinfobox.htm";
    app.WriteInt("Misc", "box", 1);
    bar_->ShowBar(true);
    const bool order = BoxShows("Box1") && BoxShows("Box2") && BoxShows("Box3") && BoxShows("Box1");
    app.WriteInt("Misc", "box", 600);
    Check(order && bar_->InfoBox().Rotations() == 4, "the info box rotates its pages 1, 2, 3, 1");
    // A folder in the staging page's place: page 1 stays, page 2 is not seen.
    ::unlink(staging.c_str());
    vyr::platform::CreateDirectories(staging);
    bar_->ShowBar(true);  // it has rotated: the next page comes at once
    const bool rotated = PumpUntil([&] { return bar_->InfoBox().Rotations() == 5; }, 5000);
    Pause(500);
    const bool kept = BoxTitle() == "Box1";
    ::rmdir(staging.c_str());
    bar_->ShowBar(true);
    Check(rotated && kept && BoxShows("Box3") && app.Counters().Get("IBV") == 5,
          "a failed copy over the staging page leaves the previous page in the box");

    CBrowserWnd* view = bar_->InfoBoxView();
    ClickAt(view, wxRect(wxPoint(0, 0), view->GetClientSize()));
    const bool opened = MainShows("clicked");
    Pause(1000);  // nothing more may follow
    Check(opened && BoxTitle() == "Box3" && app.Counters().Get("IBC") == 1 && AddressShown() == Echo("clicked"),
          "a link clicked in the info box opens in the main window's pane, one click");
    bar_->InfoBox().ShowNow(vyr::test::EchoPage(base_, "<script>location.replace('" + Echo("moved") + "');</script>"),
                            600);
    Check(BoxShows("moved") && MainTitle() == "clicked" && app.Counters().Get("IBC") == 1 &&
              !bar_->InfoBox().SuppressNext(),
          "the program's own page and a script's navigation load in the box, no click");
  }

  void CheckSession() {
    CWindowTimers& timers = bar_->Timers();
    const bool started = PumpUntil([&] { return !Pings().empty(); });
    const bool pingPeriod = timers.Period(vyr::net::kPingTimer) == 60000 && !timers.IsRunning(vyr::net::kStartTimer);
    const size_t before = Pings().size();
    timers.SetTimer(vyr::net::kPingTimer, 300);
    const bool pinged = PumpUntil([&] { return Pings().size() >= before + 3; });
    Check(startArmed_ && started && pingPeriod && pinged,
          "the start timer sends a ping once, then the bar pings at the period");
    // Views 2, 1, 2 for ads 11, 12, 13 and the click on page 3, blanks as "%20".
    const Lines pings = Pings();
    Check(!pings.empty() && pings.back().find("&IBA=11%202%200%2012%201%200%2013%202%201%20") != std::string::npos,
          "the ping reports the info box's views and click");
    // The queued "showcounters" runs once and shows one information box.
    const std::string designer = "The channel designer is not available yet.";
    Check(PumpUntil([&] { return InfoBoxesBut(designer) == 1; }) &&
              LogLines("\tshowcounters", "commands.log").size() == 1,
          "a reply's command runs through the main window's dispatcher");
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

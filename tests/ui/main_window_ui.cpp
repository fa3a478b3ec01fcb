// The main window on a virtual display against the test HTTP server and a
// private POP3 server: start-up, browsing, popups, channel commands; with
// "closing" a stalled mail check; with "address" the address bar and frame
// under real XTest keys and pointer.
// usage: main_window_ui SERVER_URL SHOT_DIR [closing | address WORK]
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <wx/combobox.h>
#include <wx/weakref.h>

#include "app/data_seeding.h"
#include "browser/main_window_model.h"
#include "browser/windows/popup_web_dlg.h"
#include "channels/channel_set.h"
#include "channels/favorites.h"
#include "channels/windows/duplicate_channel_dlg.h"
#include "mail/receive/mail_accounts.h"
#include "mail/check/startup_mail_check.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "tools/dovecot_server.h"
#include "tools/python_fixture.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/skinned_menu_bar.h"
#include "ui_test_support.h"
#include "xtest_input.h"  // last: the X headers' macros would spoil the names above

namespace {
using vyr::platform::FileExists;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;
namespace xtest = vyr::test::xtest;
using xtest::PressKey;

class MainWindowTestApp : public wxApp {
 public:
  bool OnInit() override {
    SetExitOnFrameDelete(false);  // the closing check outlives the window
    vyr::test::InitWindowTest();
    server_ = argv[1].utf8_string();
    vyr::platform::CreateDirectories(argv[2].utf8_string());  // a picture that cannot be saved would ask in a box
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    CallAfter([this] {
      if (argc > 4 && argv[3] == "address") RunAddressBar(argv[4].utf8_string());
      else argc > 3 ? RunClosing() : RunStart();
      vyr::test::ExitWithVerdict();
    });
    return true;
  }

 private:
  std::string Data(const std::string& name) const { return app_->ResolveDataFile(name, false); }

  CVyr20Dlg* OpenMainWindow(int pop3Port, const std::string& user, const std::string& password,
                            bool maximize = false) {
    auto& a = *app_;
    vyr::test::WriteWindowProfile(a, server_, vyr::test::TitledPage(server_, "Start 6631"), wxRect(100, 80, 900, 700),
                                  maximize);
    a.WriteInt("Startup", "KeepAlive", 1);
    a.WriteInt("misc", "warn_on_popup", 0);
    a.WriteInt("Misc", "ShowContentBar", 0);  // the channel update shows the bar
    a.WriteInt("Startup", "CheckMail", 1);
    a.WriteInt("Email", "UseVyrMail", 1);
    a.WriteString("email", "pop3-server", "127.0.0.1");
    a.WriteString("email", "pop3-account", user);
    a.WriteString("email", "pop3-pass", vyr::StoredPassword(password));
    a.WriteInt("email", "POP3Port", pop3Port);
    a.WriteInt("email", "POP3Timeout", 600);
    a.LoadStartupSettings();
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, a.Directories());
    return vyr::test::StartMainWindow(a);
  }

  void RunStart() {
    vyr::test::DovecotServer dovecot;
    std::string error;
    if (!dovecot.Start(&error)) return void(Check(false, "Dovecot: " + error));
    dovecot.AddUser("alice", "wonderland");
    dovecot.AddMessage("alice", "From: ann@example.org\r\nSubject: Waiting 8154\r\n\r\nHello.\r\n");
    const std::string fixed = "~CH:Fresh Fixed\r~FN:Front\r~FU:http://f.example/\r";
    vyr::test::WriteFile(Data("newchanfixed.vyr"), fixed);
    vyr::test::WriteFile(Data("chanuser.vyr"), "~CH:Sports\r~FN:Scores\r~FU:http://s.example/\r");
    vyr::test::WriteFile(
        Data("newchanuser.vyr"),
        "~CH:Sports\r~FN:Tables\r~FU:http://t.example/\r~CH:Cooking\r~FN:Soup\r~FU:http://c.example/\r");
    std::vector<std::string> asked;
    CDuplicateChannelDlg::SetShownHook([&](CDuplicateChannelDlg& d) {
      asked.push_back(std::string(d.GetTitle().utf8_str()) + (d.FindWindow("applytoall") ? " (all)" : ""));
      Shot("startup_duplicate_dialog");
      d.Choose(vyr::DuplicateAction::Merge);
      vyr::test::Press(d.FindWindow(wxID_OK));
    });
    CVyr20Dlg* main = OpenMainWindow(dovecot.Port(), "alice", "wonderland");
    vyr::test::WriteFile(app_->ResolveSchemeFile("gotmail.wav", false), "RIFF");
    vyr::test::WriteFile(app_->ResolveSchemeFile("newmail.htm", false), "<title>New mail</title>");
    const size_t boxesAtStart = boxes_.boxes.size();
    main_ = main;
    const bool started = Loaded("Start 6631");
    Shot("main_window_start");
    Check(started && main->GetSize() == wxSize(900, 700) && Disabled() == "11",
          "start-up opens the start page at the saved placement, Back and Forward disabled",
          std::to_string(main->GetSize().x) + "x" + std::to_string(main->GetSize().y) + " " + Disabled());

    Check(vyr::test::PumpUntil([&] { return !FileExists(Data("newchanuser.vyr")); }) &&
              asked == std::vector<std::string>{"A Channel Already Exists With This Name"},
          "the channel update is merged after one question about the duplicate");
    vyr::ChannelSet user;
    std::string names;
    user.Load(Data("chanuser.vyr"), true);
    for (const auto& c : user.Channels())
      for (names += c->name + "("; const auto& page : c->children) names += page->name + ",";
    Check(names == "Sports(Scores,Tables,Cooking(Soup,", "chanuser.vyr holds the merged channels: " + names);
    std::string column;
    for (const auto& e : main->ChannelBar()->Column()->Entries()) column += e.text + "|";
    Check(main->ContentBarShown() && column.find("Fresh Fixed|Sports|Cooking|") != std::string::npos,
          "the bar is shown with the column refilled: " + column);
    Check(!FileExists(Data("newchanfixed.vyr")) && vyr::test::ReadFile(Data("chanfixed.vyr")) == fixed,
          "the fixed-channel update took the place of chanfixed.vyr");

    // The shortcuts seeded are bookmark_import_test's; here the start seeds them.
    std::string favorites, home;
    vyr::FindFavoritesFolder(*app_, favorites);
    Check(vyr::ReadShortcut(favorites + "/Vyrelle/Vyrelle Home.url", home) && home == server_ + "/",
          "the favorites are seeded with the home server");

    Check(vyr::test::PumpUntil([&] { return main->StatusText().rfind("You have", 0) == 0; }, 30000) &&
              main->StatusText().rfind("You have 1 new e-mail message in your Inbox! - Last Successful Mail Check: ",
                                       0) == 0,
          "after the start page the silent check tells of the new message");
    Shot("startup_mail_checked");
    Check(!sounds_.played.empty() && sounds_.played.back().file.find("gotmail.wav") != std::string::npos &&
              boxes_.boxes.size() == boxesAtStart &&
              vyr::test::PumpUntil([&] { return main->ChannelBar()->InfoBoxView()->Title() == "New mail"; }),
          "\"gotmail\" played with newmail.htm in the info box, nothing asked");
    RunBrowsing();
  }

  void RunBrowsing() {
    main_->Pane()->Navigate(Titled("Second 2093"));
    Check(Loaded("Second 2093") && Disabled() == "01", "a second page enables Back, not Forward", Disabled());

    main_->Pane()->GoBack();
    Check(Loaded("Start 6631") && PumpUntil([&] { return Disabled() == "10"; }),
          "Back returns to the start page and enables Forward", Disabled());

    main_->Pane()->Navigate(Titled("Command 5821", "<a id='c' href='" + server_ + "/_cmd/set%20wichita%20on'>w</a>"));
    Loaded("Command 5821");
    RunScript("document.getElementById('c').click()");
    Check(PumpUntil([&] { return vyr::test::Saw(boxes_, "info", "Welcome to Wichita."); }) &&
              app_->ExtraButtons() && main_->Toolbar()->Entries().size() > 14 &&
              main_->Pane()->CurrentUrl().find("/_cmd/") == std::string::npos,
          "a clicked command link is run by the dispatcher, rebuilds the strip and is cancelled",
          main_->Pane()->CurrentUrl());
    Shot("main_window_extra_buttons");

    const std::string child = Titled("Child 7710");
    main_->Pane()->Navigate(Titled("Opener 3380", "<script>function openSome(n){for(var i=0;i<n;i++)window.open('" +
                                                      child + "','w'+Date.now()+i);}</script>"));
    Loaded("Opener 3380");
    vyr::SetPopupCascadeCounter(0);
    RunScript("openSome(4)");
    PumpUntil([] {
      int loaded = 0;
      for (CPopupWebDlg* p : CPopupWebDlg::All())
        loaded += p->IsShown() && p->Pane()->Title() == "Child 7710" && !p->Pane()->IsLoading();
      return loaded == 4;
    });
    Shot("main_window_popups");
    // On the 1280 x 900 display 8% is 102 and 72 pixels; the cascade adds 25, 50, 75, 0.
    std::string at;
    for (CPopupWebDlg* p : CPopupWebDlg::All())
      at += std::to_string(p->GetPosition().x) + "," + std::to_string(p->GetPosition().y) + " ";
    Check(at == "127,97 152,122 177,147 102,72 ", "window.open gives popups at the cascade offsets", at);
    for (CPopupWebDlg* p : std::vector<CPopupWebDlg*>(CPopupWebDlg::All())) p->Destroy();
    PumpUntil([] { return CPopupWebDlg::All().empty(); });

    app_->WriteInt("misc", "warn_on_popup", 1);
    boxes_.answer = vyr::IDCANCEL;
    RunScript("openSome(1)");
    Check(PumpUntil([&] {
            return vyr::test::Saw(boxes_, "question", vyr::kPopupQuestion.Text()) && CPopupWebDlg::All().empty();
          }) && hiddenShows_ == 0,
          "a declined popup is never shown and closes itself");
    RunChannelTests();
  }

  void RunChannelTests() {
    CChannelBarWnd* bar = main_->ChannelBar();
    auto told = [&](const std::string& summary) {
      return PumpUntil([&] {
        return !boxes_.boxes.empty() && boxes_.boxes.back().text.rfind(summary, 0) == 0;
      });
    };
    const std::vector<std::string> column = vyr::test::Texts(bar->Column());
    main_->Dispatcher().RunCommand("navigatechan sports");
    const std::vector<std::string> sportsStrip{"Sports", "Scores", "Tables"};
    const bool sports = PumpUntil([&] { return vyr::test::Texts(main_->FolderStrip()) == sportsStrip; });
    const int chosen = app_->Counters().Get("CC");
    main_->Dispatcher().RunCommand("channeltest3");
    const std::vector<std::string> cooking{"Cooking", "Soup"};
    const bool opened = told("Did 4 channels\r\n") && app_->Counters().Get("CC") == chosen + 4 &&
                        bar->Column()->Selection() == 3 && vyr::test::Texts(main_->FolderStrip()) == cooking;
    main_->Dispatcher().RunCommand("channeltest2");
    const bool rebuilt = told("Did 20 Repaints\r\n") && vyr::test::Texts(bar->Column()) == column &&
                         bar->Column()->Selection() == 3 && vyr::test::Texts(main_->FolderStrip()) == cooking &&
                         main_->FolderStrip()->Selection() == 1;
    Check(column.size() == 4 && sports && opened && rebuilt,
          "channeltest3 opens every channel in turn; channeltest2 rebuilds the bar and keeps the choice",
          std::to_string(sports) + std::to_string(opened) + std::to_string(rebuilt) + " " +
              (boxes_.boxes.empty() ? "" : boxes_.boxes.back().text));
  }

  void RunClosing() {
    vyr::test::ScriptedPop3Server silent("stall-greeting", {});
    std::string error;
    if (!silent.Start(&error)) return void(Check(false, "the POP3 server: " + error));
    wxWeakRef<CVyr20Dlg> main(OpenMainWindow(silent.Port(), "user", "secret", true));
    Check(vyr::test::PumpUntil([&] { return main->StartupMail() && main->StartupMail()->IsRunning(); }),
          "the check waits for a server that says nothing");
    Shot("main_window_maximized");
    Check(main->GetSize() != wxSize(900, 700) && main->GetPosition() != wxPoint(100, 80),
          "a maximised window ignores the saved rectangle");
    main->EndForGood();
    Check(vyr::test::PumpUntil([&] { return !main; }), "closing the window cancels the check and the window goes");
  }

  CVyr20Dlg* OpenAddressWindow(const wxRect& placement) {
    auto& a = *app_;
    vyr::test::WriteWindowProfile(a, server_, server_ + "/files/start.html", placement);
    a.WriteInt("Startup", "CheckMail", 0);
    a.WriteInt("Misc", "ShowContentBar", 1);
    a.WriteInt("SmarterBrowsing", "Autocomplete", 1);
    a.LoadStartupSettings();
    main_ = vyr::test::StartMainWindow(a);
    PumpUntil([&] { return main_->IsShown(); });
    xtest::Focus(main_);
    return main_;
  }

  void RunAddressBar(const std::string& work) {
    const std::string files = work + "/files";
    const std::string port = server_.substr(server_.rfind(':') + 1);
    for (const char* page : {"start", "one", "two", "three", "four", "five"}) {
      std::string title = page;
      title[0] = static_cast<char>(title[0] - 'a' + 'A');
      vyr::test::WriteFile(files + "/" + page + ".html",
                           "<!DOCTYPE html><title>" + title + " 4821</title><p>" + title + "</p>");
    }
    // From an earlier run: the list is not empty at the start.
    const std::string five = "http://127.0.0.1:" + port + "/files/five.html";
    app_->WriteString("TypedURLs", "url1", five);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    const wxRect placement(100, 80, 900, 700);
    OpenAddressWindow(placement);
    Check(Loaded("Start 4821"), "the start page loads from the test server");

    const std::string ip = "127.0.0.1:" + port + "/files/", local = "localhost:" + port + "/files/";
    struct Typed {
      std::string keys, page, listed;
    } typed[] = {
        {ip + "one.html", "One", ip + "one.html"},
        {local + "two.html", "Two", local + "two.html"},
        // Completed to "one.html" while typed; the "t" replaces the rest.
        {ip + "three.html", "Three", ip + "three.html"},
        {local + "four.html", "Four", local + "four.html"},
        // Completed from the old entry; Enter opens that entry.
        {ip + "fi", "Five", five},
    };
    std::string seen;
    bool loaded = true, completedInPlace = false;
    for (const Typed& t : typed) {
      ClickAt(main_->AddressBox());
      PressKey(XK_a, false, true);  // the box's own Select All
      Pause(50);
      for (char c : t.keys) {
        xtest::PressCharacter(static_cast<unsigned char>(c));
        Pause(20);
      }
      Pause(150);
      if (t.page == "Five") {
        long from = 0, to = 0;
        main_->AddressBox()->GetSelection(&from, &to);
        const std::string box(main_->AddressBox()->GetValue().utf8_str());
        completedInPlace = box == ip + "five.html" && from == static_cast<long>(t.keys.size()) &&
                           to == static_cast<long>(box.size()) && !PopupWindowShown();
        seen += "[" + box + " " + std::to_string(from) + "-" + std::to_string(to) + "] ";
        Shot("address_completion");
      }
      PressKey(XK_Return);
      const bool ok = Loaded(t.page + " 4821") && main_->TypedAddresses().Entries().front() == t.listed;
      seen += t.page + (ok ? " " : "(not: " + std::string(main_->GetTitle().utf8_str()) + " " +
                                        main_->TypedAddresses().Entries().front() + ") ");
      loaded = loaded && ok;
    }
    const std::vector<std::string> list{five, local + "four.html", ip + "three.html", local + "two.html",
                                        ip + "one.html"};
    Check(loaded && main_->TypedAddresses().Entries() == list && app_->GetString("TypedURLs", "url5", "") == ip + "one.html",
          "five typed addresses open one after the other and enter the typed list", seen);
    Check(completedInPlace && main_->Pane()->CurrentUrl() == five,
          "the typed text is completed in place from the list, no popup, and Enter opens the entry", seen);

    // Ctrl+N with the keys in the address bar.
    ClickAt(main_->AddressBox());
    const size_t popups = CPopupWebDlg::All().size();
    PressKey(XK_n, false, true);
    Check(PumpUntil([&] { return CPopupWebDlg::All().size() == popups + 1; }, 10000),
          "Ctrl+N in the address bar opens a new window");
    for (CPopupWebDlg* p : std::vector<CPopupWebDlg*>(CPopupWebDlg::All())) p->Destroy();
    PumpUntil([] { return CPopupWebDlg::All().empty(); });
    xtest::Focus(main_);

    RunToolbarTips();
    RunContentBarTick();
    RunSmallestWindow();
    RunRestarts(placement);
  }

  void RunToolbarTips() {
    CButtonStrip* strip = main_->Toolbar();
    std::string seen;
    int good = 0;
    for (int command : {kCmdHome, kCmdMail, kCmdMenu, kCmdLocal}) {
      const int index = strip->Model().FindCommand(command);
      const wxRect entry = strip->EntryRect(index);
      const wxRect button(strip->ClientToScreen(entry.GetTopLeft()), entry.GetSize());
      xtest::MoveTo(wxPoint(button.x + button.width / 2, button.y + button.height / 2));
      Pause(120);
      wxRect tip;
      std::string text;
      PumpUntil([&] { return TipWindow(tip, text) && text == strip->Entries()[index].tip; }, 5000);
      const int middle = tip.x + tip.width / 2;
      const bool under = text == strip->Entries()[index].tip && middle >= button.x && middle <= button.GetRight() &&
                         tip.y >= button.GetBottom() && tip.y <= button.GetBottom() + 40;
      good += under;
      seen += strip->Entries()[index].text + ": tip \"" + text + "\" at " + std::to_string(tip.x) + "," +
              std::to_string(tip.y) + "; ";
      if (command == kCmdMenu) Shot("toolbar_tip_menu");
    }
    Check(good == 4, "each toolbar tip appears under its own button", seen);

    const int menu = strip->Model().FindCommand(kCmdMenu);
    const wxRect entry = strip->EntryRect(menu);
    const wxPoint on = strip->ClientToScreen(wxPoint(entry.x + entry.width / 2, entry.y + entry.height / 2));
    bool opened = false;
    WhenMenuShown([&] {
      opened = true;
      xtest::MoveTo(on + wxPoint(-150, 300));
      PressKey(XK_Escape);
    });
    xtest::Click(on);
    PumpUntil([&] { return opened && !PopupWindowShown(); }, 8000);
    Pause(200);
    Check(opened && strip->Model().Hovered() != menu, "the Menu button is let go once its menu closed",
          std::to_string(opened) + " hovered " + std::to_string(strip->Model().Hovered()));
  }

  void RunContentBarTick() {
    auto tickThenClick = [&](const std::string& shot) {
      int state = -1;
      WhenMenuShown([&] {
        GtkWidget* item = MenuItem("_Content Bar");
        if (!item || !GTK_IS_CHECK_MENU_ITEM(item)) return PressKey(XK_Escape);
        state = gtk_check_menu_item_get_active(GTK_CHECK_MENU_ITEM(item)) ? 1 : 0;
        Shot(shot);
        ClickMenuItem(item);
      });
      OpenMenuBarMenu("View");
      PumpUntil([&] { return state >= 0 && !PopupWindowShown(); }, 8000);
      Pause(100);
      return state;
    };
    const int shown = tickThenClick("view_menu_content_bar");
    const bool hid = !main_->ContentBarShown();
    const int hidden = tickThenClick("view_menu_no_content_bar");
    Check(shown == 1 && hid && hidden == 0 && main_->ContentBarShown(),
          "View > Content Bar is ticked while the bar is shown and clear while it is hidden",
          std::to_string(shown) + " " + std::to_string(hid) + " " + std::to_string(hidden));

    // Help > About: the box shows the program's picture.
    WhenMenuShown([] {
      // The toolkit shows its stock About item for the command.
      for (const char* label : {"_About Vyrelle...", "gtk-about"})
        if (GtkWidget* item = MenuItem(label)) return ClickMenuItem(item);
      PressKey(XK_Escape);
    });
    OpenMenuBarMenu("Help");
    GtkWidget* about = nullptr;
    PumpUntil([&] {
      GList* all = gtk_window_list_toplevels();
      for (GList* l = all; l; l = l->next)
        if (GTK_IS_ABOUT_DIALOG(l->data) && gtk_widget_get_mapped(GTK_WIDGET(l->data))) about = GTK_WIDGET(l->data);
      g_list_free(all);
      return about != nullptr;
    }, 8000);
    GdkPixbuf* logo = about ? gtk_about_dialog_get_logo(GTK_ABOUT_DIALOG(about)) : nullptr;
    Shot("about_box");
    Check(logo && gdk_pixbuf_get_width(logo) >= 48, "the About box shows the program's picture");
    if (about) gtk_dialog_response(GTK_DIALOG(about), GTK_RESPONSE_DELETE_EVENT);
    PumpUntil([&] { return !PopupWindowShown(); }, 3000);
  }

  void RunSmallestWindow() {
    const wxRect before = main_->GetRect();
    main_->SetSize(400, 300);
    Pause(300);
    CButtonStrip* strip = main_->Toolbar();
    const wxRect last = strip->EntryRect(strip->Model().Count() - 1);
    const wxRect menu = strip->EntryRect(strip->Model().FindCommand(kCmdMenu));
    const wxSize size = main_->GetSize();
    Shot("main_window_smallest");
    Check(size.x > 400 && size.y > 300 && last.GetRight() < strip->GetClientSize().x && menu.width > 0 &&
              strip->IsShown() && main_->AddressBox()->GetSize().x >= 150,
          "the smallest window keeps every toolbar button and the address bar reachable",
          std::to_string(size.x) + "x" + std::to_string(size.y) + " last button ends " +
              std::to_string(last.GetRight()) + " of " + std::to_string(strip->GetClientSize().x));
    main_->SetSize(before);
    Pause(200);
  }

  void RunRestarts(const wxRect& placement) {
    std::string seen;
    bool same = true;
    auto at = [](const wxRect& r) { return std::to_string(r.width) + "x" + std::to_string(r.height); };
    auto saved = [&](const char* key) { return app_->GetInt("misc", key, 0); };
    const wxRect first = main_->GetRect();
    seen += at(first) + " (placed " + at(placement) + ")";
    for (int run = 0; run < 3; ++run) {
      wxWeakRef<CVyr20Dlg> ended(main_);
      main_->EndForGood();
      PumpUntil([&] { return !ended; });
      OpenAddressWindow(wxRect(wxPoint(saved("wnd_left"), saved("wnd_top")),
                               wxPoint(saved("wnd_right") - 1, saved("wnd_bottom") - 1)));
      Loaded("Start 4821");
      Pause(300);
      const wxRect now(main_->ClientToScreen(wxPoint(0, 0)) - main_->GetClientAreaOrigin(), main_->GetSize());
      seen += " -> " + at(now);
      same = same && now.GetSize() == first.GetSize() && now.GetSize() == placement.GetSize();
    }
    Shot("main_window_restarted");
    Check(same, "the window keeps its size over three starts", seen);
    main_->EndForGood();
  }

  static void ClickAt(wxWindow* window) {
    xtest::Click(window->ClientToScreen(wxPoint(window->GetSize().x / 2, window->GetSize().y / 2)));
    Pause(100);
  }
  static void WhenMenuShown(std::function<void()> action) {
    struct Waiting {
      std::function<void()> action;
      int ticks = 0, shownTicks = 0;
    };
    g_timeout_add(50, [](gpointer data) -> gboolean {
      auto* waiting = static_cast<Waiting*>(data);
      const bool shown = PopupWindowShown();
      if (++waiting->ticks < 200 && (!shown || ++waiting->shownTicks < 6)) return G_SOURCE_CONTINUE;
      if (shown) waiting->action();
      delete waiting;
      return G_SOURCE_REMOVE;
    }, new Waiting{std::move(action)});
  }

  static std::vector<GtkWindow*> ShownPopups() {
    std::vector<GtkWindow*> shown;
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) {
      GtkWindow* w = GTK_WINDOW(l->data);
      if (gtk_widget_get_mapped(GTK_WIDGET(w)) && gtk_window_get_window_type(w) == GTK_WINDOW_POPUP) shown.push_back(w);
    }
    g_list_free(all);
    return shown;
  }
  // A menu or a list popped up (tips do not count).
  static bool PopupWindowShown() {
    for (GtkWindow* w : ShownPopups())
      if (gtk_window_get_type_hint(w) != GDK_WINDOW_TYPE_HINT_TOOLTIP) return true;
    return false;
  }
  static void CollectWidgets(GtkWidget* widget, std::vector<GtkWidget*>& out) {
    out.push_back(widget);
    if (GTK_IS_CONTAINER(widget))
      gtk_container_forall(GTK_CONTAINER(widget),
                           [](GtkWidget* child, gpointer data) {
                             CollectWidgets(child, *static_cast<std::vector<GtkWidget*>*>(data));
                           },
                           &out);
  }
  // The tip shown: where it stands on the screen and its text.
  static bool TipWindow(wxRect& at, std::string& text) {
    for (GtkWindow* w : ShownPopups()) {
      if (gtk_window_get_type_hint(w) != GDK_WINDOW_TYPE_HINT_TOOLTIP) continue;
      int x = 0, y = 0;
      gdk_window_get_origin(gtk_widget_get_window(GTK_WIDGET(w)), &x, &y);
      at = wxRect(x, y, gtk_widget_get_allocated_width(GTK_WIDGET(w)), gtk_widget_get_allocated_height(GTK_WIDGET(w)));
      // The text as screen readers get it.
      const char* name = atk_object_get_name(gtk_widget_get_accessible(GTK_WIDGET(w)));
      text = name ? name : "";
      return true;
    }
    return false;
  }
  static GtkWidget* MenuItem(const std::string& label) {
    for (GtkWindow* w : ShownPopups()) {
      std::vector<GtkWidget*> widgets;
      CollectWidgets(GTK_WIDGET(w), widgets);
      for (GtkWidget* widget : widgets)
        if (GTK_IS_MENU_ITEM(widget) && gtk_widget_get_mapped(widget) &&
            gtk_menu_item_get_label(GTK_MENU_ITEM(widget)) == label)
          return widget;
    }
    return nullptr;
  }
  // A real click in the middle of a menu item (from inside the menu's loop).
  static void ClickMenuItem(GtkWidget* item) {
    int x = 0, y = 0;
    gdk_window_get_origin(gtk_widget_get_window(item), &x, &y);
    GtkAllocation place;
    gtk_widget_get_allocation(item, &place);
    xtest::MoveTo(wxPoint(x + place.x + place.width / 2, y + place.y + place.height / 2));
    xtest::Button(true);
    xtest::Button(false);
  }
  // Opens a menu of the menu bar with a click on its title.
  void OpenMenuBarMenu(const wxString& title) {
    CSkinnedMenuBar* bar = main_->SkinnedMenuBar();
    const auto titles = bar->Titles();
    const int index = static_cast<int>(std::find(titles.begin(), titles.end(), title) - titles.begin());
    const wxRect r = bar->TitleRect(index);
    xtest::Click(bar->ClientToScreen(wxPoint(r.x + r.width / 2, r.y + r.height / 2)));
  }

  void Shot(const std::string& name) { vyr::test::SaveScreen(argv[2].utf8_string() + "/" + name + ".png"); }
  std::string Titled(const std::string& title, const std::string& body = "") const {
    return vyr::test::TitledPage(server_, title, body);
  }
  bool Loaded(const std::string& title) {
    return PumpUntil([&] {
      return main_->GetTitle() == wxString::FromUTF8(title + " - Vyrelle") && !main_->Pane()->IsLoading();
    });
  }
  void RunScript(const std::string& script) {
    webkit_web_view_evaluate_javascript(main_->Pane()->WebView(), script.c_str(), -1, nullptr, nullptr, nullptr,
                                        nullptr, nullptr);
  }
  // Whether Back and Forward are disabled, as "back forward" of 0 and 1.
  std::string Disabled() const {
    const auto& entries = main_->Toolbar()->Entries();
    std::string states;
    for (int i : {0, 1})
      states += (entries.size() > 2 && (entries[i].state & vyr::ButtonStripModel::kStateDisabled) ? "1" : "0");
    return states;
  }

  // Counts the popup windows shown that were not to be shown.
  int FilterEvent(wxEvent& event) override {
    if (event.GetEventType() == wxEVT_SHOW && static_cast<wxShowEvent&>(event).IsShown())
      if (auto* popup = dynamic_cast<CPopupWebDlg*>(event.GetEventObject()); popup && !popup->MayShow()) ++hiddenShows_;
    return -1;
  }

  std::string server_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  int hiddenShows_ = 0;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(MainWindowTestApp)

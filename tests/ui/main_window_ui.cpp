// The main window on a virtual display against the test HTTP server (page
// and home server) and a private Dovecot POP3 server. Its start on a prepared
// data root: the start page at the saved placement, the fixed-channel update
// put in place, the user-channel update merged through the duplicate dialog,
// the favorites seeded, the silent mail check after the start page. Then a
// typed address entering the typed list, Back/Forward states, a command link
// run by the dispatcher and cancelled in the page, four popups in a cascade,
// a declined popup that is never shown and closes itself, the channel test
// commands on the real bar. With "closing" the saved placement is maximised
// and the mail check waits for a server that never answers while the window
// is closed. Keeps screenshots; prints "ok ..." or "FAIL ..." per check.
//
// usage: main_window_ui SERVER_URL SHOT_DIR [closing]
#include <webkit2/webkit2.h>

#include <filesystem>

#include <wx/combobox.h>
#include <wx/weakref.h>

#include "app/data_seeding.h"
#include "browser/main_window_model.h"
#include "browser/windows/popup_web_dlg.h"
#include "channels/channel_set.h"
#include "channels/favorites.h"
#include "channels/windows/duplicate_channel_dlg.h"
#include "mail/receive/mail_accounts.h"
#include "mail/receive/startup_mail_check.h"
#include "mail/store/mail_store.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "tools/dovecot_server.h"
#include "tools/python_fixture.h"
#include "ui/windows/button_strip.h"
#include "ui_test_support.h"

namespace {

using vyr::platform::FileExists;
using vyr::test::Check;
using vyr::test::PumpUntil;

class MainWindowTestApp : public wxApp {
 public:
  bool OnInit() override {
    SetExitOnFrameDelete(false);  // the closing check outlives the window
    vyr::test::InitWindowTest();
    server_ = argv[1].utf8_string();
    vyr::platform::CreateDirectories(argv[2].utf8_string());  // a picture that cannot be saved would ask in a box
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    CallAfter([this] {
      argc > 3 ? RunClosing() : RunStart();
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
    // A full typed list: the next typed address pushes out "http://old20/".
    for (int i = 1; i <= 20; ++i)
      a.WriteString("TypedURLs", "url" + std::to_string(i), "http://old" + std::to_string(i) + "/");
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

    std::string favorites, address, shortcuts;
    vyr::FindFavoritesFolder(*app_, favorites);
    for (const char* file : {"Scheme Archive", "Channel Archive", "Vyrelle Home", "Latest Changes"})
      if (vyr::ReadShortcut(favorites + "/Vyrelle/" + file + ".url", address))
        shortcuts += address.substr(server_.size()) + " ";
    Check(shortcuts == "/archive/schemes /archive/channels / /update/ ", "the favorites are seeded: " + shortcuts);

    Check(vyr::test::PumpUntil([&] { return main->StatusText().rfind("You have", 0) == 0; }, 30000) &&
              main->StatusText().rfind("You have 1 new e-mail message in your Inbox! - Last Successful Mail Check: ",
                                       0) == 0,
          "after the start page the silent check tells of the new message");
    Shot("startup_mail_checked");
    std::string inbox;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(vyr::MailStore(*app_).FolderPath("Inbox", false), ec))
      if (e.path().extension() == ".mail") inbox += vyr::test::ReadFile(e.path().string()) + "|";
    Check(inbox.find("Subject: Waiting 8154") != std::string::npos && inbox.find('|') == inbox.size() - 1 &&
              dovecot.MessageCount("alice") == 1,
          "the message is stored in Inbox once and kept on the server");
    Check(!sounds_.played.empty() && sounds_.played.back().file.find("gotmail.wav") != std::string::npos &&
              boxes_.boxes.size() == boxesAtStart &&
              vyr::test::PumpUntil([&] { return main->ChannelBar()->InfoBoxView()->Title() == "New mail"; }),
          "\"gotmail\" played with newmail.htm in the info box, nothing asked");
    RunBrowsing();
  }

  // Typed addresses, history, a command link and popups in the started window.
  void RunBrowsing() {
    const std::string second = Titled("Second 2093");
    main_->AddressBox()->SetValue(wxString::FromUTF8(second));
    wxCommandEvent enter(wxEVT_TEXT_ENTER, main_->AddressBox()->GetId());
    enter.SetEventObject(main_->AddressBox());
    main_->AddressBox()->GetEventHandler()->ProcessEvent(enter);
    const auto& typed = main_->TypedAddresses().Entries();
    Check(Loaded("Second 2093") && typed.size() == 20 && typed.front() == second && typed.back() == "http://old19/" &&
              app_->GetString("TypedURLs", "url1", "") == second &&
              app_->GetString("TypedURLs", "url20", "") == "http://old19/" && Disabled() == "01",
          "a typed address opens and enters the full typed list, pushing out the oldest", Disabled());

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

  // The channel test commands on the real bar: channeltest3 opens the four
  // channels in turn and leaves the last chosen; channeltest2 then rebuilds
  // the column and the chosen channel's strips and keeps that choice.
  void RunChannelTests() {
    CChannelBarWnd* bar = main_->ChannelBar();
    auto texts = [](CButtonStrip* strip) {
      std::vector<std::string> t;
      for (const auto& e : strip->Entries()) t.push_back(e.text);
      return t;
    };
    auto told = [&](const std::string& summary) {
      return PumpUntil([&] {
        return !boxes_.boxes.empty() && boxes_.boxes.back().text.rfind(summary, 0) == 0;
      });
    };
    const std::vector<std::string> column = texts(bar->Column());
    main_->Dispatcher().RunCommand("navigatechan sports");
    const std::vector<std::string> sportsStrip{"Sports", "Scores", "Tables"};
    const bool sports = PumpUntil([&] { return texts(main_->FolderStrip()) == sportsStrip; });
    const int chosen = app_->Counters().Get("CC");
    main_->Dispatcher().RunCommand("channeltest3");
    const std::vector<std::string> cooking{"Cooking", "Soup"};
    const bool opened = told("Did 4 channels\r\n") && app_->Counters().Get("CC") == chosen + 4 &&
                        bar->Column()->Selection() == 3 && texts(main_->FolderStrip()) == cooking;
    main_->Dispatcher().RunCommand("channeltest2");
    const bool rebuilt = told("Did 20 Repaints\r\n") && texts(bar->Column()) == column &&
                         bar->Column()->Selection() == 3 && texts(main_->FolderStrip()) == cooking &&
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
    // Without a window manager the display cannot maximise a window; what
    // counts is that the saved rectangle stayed unused.
    Shot("main_window_maximized");
    Check(main->GetSize() != wxSize(900, 700) && main->GetPosition() != wxPoint(100, 80),
          "a maximised window ignores the saved rectangle");
    main->EndForGood();
    Check(vyr::test::PumpUntil([&] { return !main; }), "closing the window cancels the check and the window goes");
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

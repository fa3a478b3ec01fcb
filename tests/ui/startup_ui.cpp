// The main window's start on a prepared data root, against the test HTTP
// server (page and home server) and a private Dovecot POP3 server: the
// fixed-channel update put in place, the user-channel update merged through
// the duplicate dialog, the favorites seeded, and the silent mail check after
// the start page. With "closing" the saved placement is maximised and the
// check waits for a server that never answers while the window is closed.
// Prints "ok ..." or "FAIL ..." per check.
//
// usage: startup_ui SERVER_URL SHOT_DIR [closing]
#include <filesystem>

#include <wx/weakref.h>

#include "app/data_seeding.h"
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

void Check(bool ok, const std::string& what) { vyr::test::Check(ok, what); }

class StartupTestApp : public wxApp {
 public:
  bool OnInit() override {
    SetExitOnFrameDelete(false);  // the closing check outlives the window
    vyr::test::InitWindowTest();
    server_ = argv[1].utf8_string();
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
    if (!dovecot.Start(&error)) return Check(false, "Dovecot: " + error);
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
  }

  void RunClosing() {
    vyr::test::ScriptedPop3Server silent("stall-greeting", {});
    std::string error;
    if (!silent.Start(&error)) return Check(false, "the POP3 server: " + error);
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

  std::string server_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(StartupTestApp)

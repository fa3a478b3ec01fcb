// The main window's start on a prepared data root, against the test HTTP
// server as page and home server and a private Dovecot POP3 server: a
// fixed-channel update put in place, a user-channel update merged (the
// duplicate name asked in the dialog, the file gone, the column refilled),
// the favorites seeded, and the silent mail check after the start page
// storing the waiting message in Inbox. With "closing" the check talks to a
// server that never answers and the window is closed while it waits.
// Prints "PASS ..." or "FAIL ..." per check, keeps screenshots, exits 0 when
// all passed.
//
// usage: startup_ui SERVER_URL SHOT_DIR [closing]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/image.h>
#include <wx/timer.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "app/application.h"
#include "app/data_seeding.h"
#include "app/message_box.h"
#include "app/sound_player.h"
#include "browser/main_window_model.h"
#include "browser/windows/vyr20_dlg.h"
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
#include "ui/windows/scheme_art.h"
#include "ui_test_support.h"

namespace fs = std::filesystem;

namespace {

class NotingBoxes : public vyr::MessageBoxService {
 public:
  int Error(const std::string& text, const std::string&) override { return Note(text); }
  int Question(const std::string& text, const std::string&, bool*) override { return Note(text); }
  int Information(const std::string& text, const std::string&) override { return Note(text); }
  std::vector<std::string> seen;

 private:
  int Note(const std::string& text) {
    seen.push_back(text);
    return vyr::IDOK;
  }
};

class SilentSounds : public vyr::SoundPlayer {
 public:
  int Play(const std::string&, bool) override { return 0; }
};

struct Step {
  std::string name;
  std::function<void()> act;
  std::function<bool()> ready;
  std::function<std::string()> verdict;  // "" passed, else what was wrong
  int timeoutMs = 30000;
};

std::string Read(const std::string& path) {
  std::string text;
  vyr::platform::ReadWholeFile(path, text);
  return text;
}

// "channel(page,page,) " for each channel of a channel file.
std::string ChannelsIn(const std::string& path) {
  vyr::ChannelSet set;
  if (!set.Load(path, true)) return "unreadable";
  std::string out;
  for (const auto& c : set.Channels()) {
    for (out += c->name + "("; const auto& i : c->children) out += i->name + ",";
    out += ") ";
  }
  return out;
}

constexpr char kMessage[] =
    "From: Ann <ann@example.org>\r\nTo: alice@example.org\r\nSubject: Waiting since yesterday 8154\r\n"
    "Message-ID: <startup-8154@example.org>\r\nDate: Sat, 05 Dec 2026 10:00:00 +0000\r\n\r\nHello.\r\n";

class StartupTestApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc < 3) return false;
    server_ = std::string(argv[1].utf8_str());
    shots_ = std::string(argv[2].utf8_str());
    closing_ = argc > 3 && argv[3] == "closing";
    SetAppDisplayName("Vyrelle");
    SetExitOnFrameDelete(false);  // the closing check outlives the window
    wxInitAllImageHandlers();
    vyr::test::RouteWindowMessagesToApp();
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    if (!PrepareServers()) return false;
    WriteProfile();
    app_->LoadStartupSettings();
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    if (!closing_) PrepareChannelFiles();
    CSchemeArt::Load(*app_);
    CDuplicateChannelDlg::SetShownHook([this](CDuplicateChannelDlg& d) { AnswerDuplicate(d); });
    main_ = new CVyr20Dlg(*app_);
    window_ = main_;
    SetTopWindow(main_);
    main_->Start("");
    closing_ ? AddClosingSteps() : AddSteps();
    poll_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { Tick(); });
    poll_.Start(50);
    return true;
  }

 private:
  bool PrepareServers() {
    std::string error;
    if (closing_) {
      if (!silent_.Start(&error)) return std::printf("FAIL the POP3 server: %s\n", error.c_str()), false;
      return true;
    }
    if (!dovecot_.Start(&error)) return std::printf("FAIL Dovecot: %s\n", error.c_str()), false;
    dovecot_.AddUser("alice", "wonderland");
    dovecot_.AddMessage("alice", kMessage);
    return true;
  }

  void WriteProfile() {
    auto& a = *app_;
    a.WriteString("misc", "HomeServer", server_);
    a.WriteInt("Startup", "UseDefaultStart", 0);
    a.WriteString("Startup", "Home",
                  server_ + "/echo?" +
                      vyr::PercentEncode("<!DOCTYPE html><html><head><title>Start 6631</title></head>"
                                         "<body style='background:#1565c0'>start</body></html>"));
    a.WriteInt("Startup", "KeepAlive", 1);
    a.WriteInt("misc", "wnd_maximize", 0);
    a.WriteInt("misc", "wnd_left", 60);
    a.WriteInt("misc", "wnd_top", 40);
    a.WriteInt("misc", "wnd_right", 1160);
    a.WriteInt("misc", "wnd_bottom", 840);
    // The bar starts hidden: the channel update shows it.
    a.WriteInt("Misc", "ShowContentBar", 0);
    a.WriteInt("Startup", "CheckMail", 1);
    a.WriteInt("Email", "UseVyrMail", 1);
    a.WriteString("email", "pop3-server", "127.0.0.1");
    a.WriteString("email", "pop3-account", closing_ ? "user" : "alice");
    a.WriteString("email", "pop3-pass", vyr::StoredPassword(closing_ ? "secret" : "wonderland"));
    a.WriteInt("email", "POP3Port", closing_ ? silent_.Port() : dovecot_.Port());
    a.WriteInt("email", "POP3Timeout", 600);
  }

  std::string DataFile(const std::string& name) const { return app_->ResolveDataFile(name, false); }

  void PrepareChannelFiles() {
    vyr::platform::WriteFileAtomically(DataFile("chanuser.vyr"), "~CH:Sports\r~FN:Scores\r~FU:http://s.example/\r");
    vyr::platform::WriteFileAtomically(DataFile("newchanuser.vyr"),
                                       "~CH:Sports\r~FN:Tables\r~FU:http://t.example/\r"
                                       "~CH:Cooking\r~FN:Soup\r~FU:http://c.example/\r");
    vyr::platform::WriteFileAtomically(DataFile("newchanfixed.vyr"), kFreshFixed);
  }

  // The one duplicate ("Sports"): merged, with OK pressed as a user would.
  void AnswerDuplicate(CDuplicateChannelDlg& d) {
    asked_.push_back(std::string(d.GetTitle().utf8_str()) + "|" +
                     (d.FindWindow("applytoall") ? "all" : "one"));
    Shot("startup_duplicate_dialog");
    d.Choose(vyr::DuplicateAction::Merge);
    wxWindow* ok = d.FindWindow(wxID_OK);
    wxCommandEvent click(wxEVT_BUTTON, wxID_OK);
    click.SetEventObject(ok);
    ok->GetEventHandler()->AddPendingEvent(click);
  }

  bool ColumnHas(const std::string& text) const {
    if (!main_->ChannelBar()) return false;
    for (const auto& e : main_->ChannelBar()->Column()->Entries())
      if (e.text == text) return true;
    return false;
  }

  std::vector<std::string> InboxMessages() const {
    std::vector<std::string> files;
    const std::string inbox = vyr::MailStore(*app_).FolderPath("Inbox", false);
    std::error_code ec;
    if (!inbox.empty())
      for (const auto& e : fs::directory_iterator(inbox, ec))
        if (e.path().extension() == ".mail") files.push_back(e.path().string());
    return files;
  }

  void Shot(const std::string& name) {
    if (window_) main_->Update();
    wxYield();
    wxExecute("import -window root \"" + wxString::FromUTF8((shots_ + "/" + name + ".png").c_str()) + "\"",
              wxEXEC_SYNC | wxEXEC_NOEVENTS);
  }

  void AddSteps() {
    steps_.push_back({"the channel update is merged after asking about the duplicate",
                      [this] { boxesAtStart_ = boxes_.seen.size(); },
                      [this] { return !asked_.empty() && !vyr::platform::FileExists(DataFile("newchanuser.vyr")); },
                      [this]() -> std::string {
                        if (asked_ != std::vector<std::string>{"A Channel Already Exists With This Name|one"})
                          return "asked " + std::to_string(asked_.size()) + " times: " + asked_.front();
                        const std::string user = ChannelsIn(DataFile("chanuser.vyr"));
                        if (user != "Sports(Scores,Tables,) Cooking(Soup,) ") return "chanuser.vyr: " + user;
                        if (!main_->ContentBarShown() || app_->GetInt("Misc", "ShowContentBar", 0) != 1)
                          return "the channel bar is not shown";
                        if (!ColumnHas("Cooking") || !ColumnHas("Sports")) return "the column was not refilled";
                        return "";
                      }});
    steps_.push_back({"the fixed-channel update took the place of the old file", [] {}, [] { return true; },
                      [this]() -> std::string {
                        if (vyr::platform::FileExists(DataFile("newchanfixed.vyr"))) return "the update is still there";
                        if (Read(DataFile("chanfixed.vyr")) != kFreshFixed) return "chanfixed.vyr is not the update";
                        return ColumnHas("Fresh Fixed") ? "" : "the fixed channel is not in the column";
                      }});
    steps_.push_back({"the favorites hold the program's four shortcuts", [] {}, [] { return true; },
                      [this]() -> std::string {
                        std::string favorites;
                        if (!vyr::FindFavoritesFolder(*app_, favorites)) return "no favorites folder";
                        const std::pair<const char*, std::string> want[] = {
                            {"Scheme Archive.url", server_ + "/archive/schemes"},
                            {"Channel Archive.url", server_ + "/archive/channels"},
                            {"Vyrelle Home.url", server_ + "/"},
                            {"Latest Changes.url", server_ + "/update/"}};
                        for (const auto& [file, address] : want) {
                          std::string got;
                          if (!vyr::ReadShortcut(favorites + "/Vyrelle/" + file, got) || got != address)
                            return std::string(file) + " holds '" + got + "'";
                        }
                        return "";
                      }});
    steps_.push_back({"after the start page the silent check stores the waiting message in Inbox", [] {},
                      [this] {
                        return main_->GetTitle() == "Start 6631 - Vyrelle" && InboxMessages().size() == 1 &&
                               main_->StatusText().rfind("You have", 0) == 0;
                      },
                      [this]() -> std::string {
                        Shot("startup_mail_checked");
                        if (Read(InboxMessages().front()).find("Subject: Waiting since yesterday 8154") == std::string::npos)
                          return "Inbox holds something else";
                        const std::string want = "You have 1 new e-mail message in your Inbox! - Last Successful Mail Check: ";
                        if (main_->StatusText().rfind(want, 0) != 0) return "status line: " + main_->StatusText();
                        if (dovecot_.MessageCount("alice") != 1) return "the message was deleted on the server";
                        if (app_->GetString("email", "IDLastMessageDownloaded", "?") == "?") return "no last id written";
                        // The silent check asks nothing (boxes of the start itself,
                        // such as the channel information, came before).
                        return boxes_.seen.size() == boxesAtStart_ ? "" : "a box was shown: " + boxes_.seen.back();
                      }});
  }

  void AddClosingSteps() {
    steps_.push_back({"the check waits for a server that says nothing",
                      [this] { boxesAtStart_ = boxes_.seen.size(); },
                      [this] { return main_->StartupMail() && main_->StartupMail()->IsRunning(); },
                      [] { return std::string(); }});
    steps_.push_back({"closing the window cancels the check and the window goes",
                      [this] { main_->EndForGood(); }, [this] { return !window_; },
                      [this]() -> std::string {
                        if (!silent_.Commands().empty()) return "the silent server received commands";
                        return boxes_.seen.size() == boxesAtStart_ ? "" : "a box was shown: " + boxes_.seen.back();
                      }});
  }

  void Tick() {
    if (current_ >= steps_.size()) return;
    Step& step = steps_[current_];
    if (!started_) {
      started_ = true;
      startedAt_ = wxGetLocalTimeMillis();
      step.act();
      return;
    }
    const bool ready = step.ready();
    const bool late = (wxGetLocalTimeMillis() - startedAt_).ToLong() > step.timeoutMs;
    if (!ready && !late) return;
    std::string problem = ready ? step.verdict() : "timed out";
    if (problem.empty()) {
      std::printf("PASS %s\n", step.name.c_str());
    } else {
      ++failures_;
      Shot("startup_failure_" + std::to_string(current_));
      std::printf("FAIL %s: %s (status line: %s)\n", step.name.c_str(), problem.c_str(),
                  window_ ? main_->StatusText().c_str() : "-");
    }
    std::fflush(stdout);
    ++current_;
    started_ = false;
    if (current_ == steps_.size() || !problem.empty()) Finish();
  }

  void Finish() {
    poll_.Stop();
    const int status = failures_ == 0 ? 0 : 1;
    std::printf("%s\n", status == 0 ? "ALL PASSED" : "SOME FAILED");
    std::fflush(stdout);
    // Web processes are left to the system; the result is out.
    std::_Exit(status);
  }

  static constexpr char kFreshFixed[] = "~CH:Fresh Fixed\r~FN:Front\r~FU:http://f.example/\r";

  std::string server_, shots_;
  bool closing_ = false;
  NotingBoxes boxes_;
  SilentSounds sounds_;
  vyr::test::DovecotServer dovecot_;
  vyr::test::ScriptedPop3Server silent_{"stall-greeting", {}};
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  wxWeakRef<CVyr20Dlg> window_;
  std::vector<std::string> asked_;
  size_t boxesAtStart_ = 0;
  std::vector<Step> steps_;
  size_t current_ = 0;
  bool started_ = false;
  wxLongLong startedAt_;
  int failures_ = 0;
  wxTimer poll_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(StartupTestApp);

int main(int argc, char** argv) {
  // Pages on a virtual display are drawn without a GPU.
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  return wxEntry(argc, argv);
}

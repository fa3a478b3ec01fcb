// The mail window against a private Dovecot POP3 server and a recording
// notification daemon, with XTest pointer and keys. usage: mail_window_ui WORK SHOTS
#include <gio/gio.h>
#include <glib.h>

#include <filesystem>
#include <fstream>
#include <set>

#include <wx/listctrl.h>
#include <wx/treectrl.h>

#include "app/data_seeding.h"
#include "base/settings_table.h"
#include "mail/check/mail_check_driver.h"
#include "mail/check/startup_mail_check.h"
#include "mail/receive/mail_accounts.h"
#include "mail/store/mail_store.h"
#include "mail/windows/mail_wnd.h"
#include "net/connection_manager.h"
#include "platform/windows_dir.h"
#include "tools/dovecot_server.h"
#include "ui/windows/button_strip.h"
#include "ui_test_support.h"
#include "xtest_input.h"  // last: its X headers' macros would spoil the names above

namespace {

namespace fs = std::filesystem;
namespace xtest = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::PumpUntil;
using vyr::test::Pause;

std::string Message(const std::string& subject, const std::string& id) {
  return "From: Sender <sender@mail.example>\nTo: alice@mail.example\nSubject: " + subject +
         "\nDate: Tue, 1 Dec 2026 10:00:00 +0000\nMessage-ID: <" + id + "@mail.example>\n\nHello.\n";
}

// A real pointer drag; the steps run from timers, inside the toolkit's drag loop.
struct PointerDrag {
  std::vector<wxPoint> points;
  size_t next = 0;
  bool done = false;
  static gboolean Step(gpointer self) {
    auto* drag = static_cast<PointerDrag*>(self);
    if (drag->next < drag->points.size()) {
      xtest::MoveTo(drag->points[drag->next++]);
      return G_SOURCE_CONTINUE;
    }
    xtest::Button(false);
    drag->done = true;
    return G_SOURCE_REMOVE;
  }
  void Run(const wxPoint& from, const wxPoint& to) {
    xtest::MoveTo(from);
    Pause(150);
    xtest::Button(true);
    Pause(100);
    constexpr int kSteps = 16;
    for (int i = 1; i <= kSteps; ++i) points.push_back(from + (to - from) * i / kSteps);
    for (int i = 0; i < 4; ++i) points.push_back(to + wxPoint(i % 2, 1));
    g_timeout_add(40, &PointerDrag::Step, this);
    PumpUntil([this] { return done; }, 10000);
  }
};

class MailWindowApp : public vyr::test::ChecksApp {
 protected:
  bool Prepare() override {
    if (argc != 3) return false;
    work_ = std::string(argv[1].utf8_str());
    shots_ = std::string(argv[2].utf8_str());
    fs::create_directories(shots_);
    vyr::test::InitWindowTest();
    if (!StartNotificationService()) return false;
    std::string error;
    if (!vyr::test::Require(dovecot_.Start(&error), "Dovecot: " + error)) return false;
    dovecot_.AddUser("alice", "wonderland");
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, app_->Directories());
    std::ofstream(app_->GetDataDirectory("media", false) + "default/gotmail.wav") << "RIFF";
    app_->Write(vyr::kEmailPop3Server, std::string("127.0.0.1"));
    app_->Write(vyr::kEmailPop3Account, std::string("alice"));
    app_->Write(vyr::kEmailPop3Password, vyr::StoredPassword("wonderland"));
    app_->Write(vyr::kEmailPop3Port, dovecot_.Port());
    app_->Write(vyr::kEmailDontPromptForDeletion, 1);
    app_->SetNewMailPageHandler([this](const std::string& page) { newMailPages_.push_back(page); });
    CSchemeArt::Load(*app_);
    return true;
  }

  void RunChecks() override {
    window_ = CMailWnd::Open(*app_);
    PumpUntil([this] { return window_->IsShownOnScreen() && !window_->Loading(); });
    Pause(300);
    CheckFreshStore();
    CheckSendAndReceive();
    CheckDrags();
    CheckDeleteAndEmptyTrash();
    CheckAutomaticCheck();
    CheckOneRunAtATime();
    window_->Close(true);
    PumpUntil([] { return CMailWnd::Current() == nullptr; }, 5000);
    StopNotificationService();
  }

 private:
  bool StartNotificationService() {
    notifyLog_ = work_ + "/notifications.log";
    const std::string command = "/usr/bin/python3 -m dbusmock --template notification_daemon -l " + notifyLog_;
    gchar** args = nullptr;
    gint status = -1;
    const bool up =
        g_shell_parse_argv(command.c_str(), nullptr, &args, nullptr) &&
        g_spawn_async(nullptr, args, nullptr, G_SPAWN_DO_NOT_REAP_CHILD, nullptr, nullptr, &mock_, nullptr) &&
        g_spawn_command_line_sync("gdbus wait --session --timeout 15 org.freedesktop.Notifications", nullptr, nullptr,
                                  &status, nullptr) &&
        g_spawn_check_wait_status(status, nullptr);
    g_strfreev(args);
    return vyr::test::Require(up, "the notification service did not start");
  }
  void StopNotificationService() { if (mock_ > 0) kill(mock_, SIGTERM); }
  std::string Notifications() const { return vyr::test::ReadFile(notifyLog_); }

  std::string Folder(const std::string& name) const { return vyr::MailStore(*app_).FolderPath(name, false); }
  size_t FilesIn(const std::string& name) const {
    const std::string path = Folder(name);
    if (path.empty()) return 0;
    std::error_code ec;
    return std::distance(fs::directory_iterator(path, ec), fs::directory_iterator());
  }
  std::vector<std::string> Subjects() const {
    std::vector<std::string> subjects;
    wxListCtrl* list = window_->MessageListCtrl();
    for (long row = 0; row < list->GetItemCount(); ++row)
      subjects.push_back(std::string(list->GetItemText(row, 1).utf8_str()));
    return subjects;
  }
  std::string PathOf(const std::string& subject) const {
    for (const vyr::MessageRow& row : window_->List().Rows())
      if (row.subjectShown == subject) return row.path;
    return {};
  }
  wxPoint RowCentre(const std::string& subject) const {
    wxListCtrl* list = window_->MessageListCtrl();
    const int row = window_->List().Find(PathOf(subject));
    wxRect rect;
    if (row < 0 || !list->GetSubItemRect(row, 1, rect)) return {};
    return list->ClientToScreen(wxPoint(rect.x + 20, rect.y + rect.height / 2));
  }
  wxPoint FolderCentre(const std::string& name) const {
    wxTreeCtrl* tree = window_->Tree();
    wxRect rect;
    if (!tree->GetBoundingRect(window_->FolderItem(name), rect, true)) return {};
    return tree->ClientToScreen(wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2));
  }
  bool WaitForCheckEnd() { return PumpUntil([this] { return !window_->Checking() && !window_->Loading(); }, 60000); }
  void Shot(const std::string& name) { vyr::test::SaveScreen(shots_ + "/ui_mail_" + name + ".png"); }

  void CheckFreshStore() {
    bool folders = true;
    for (const char* name : {"Outbox", "Sent Items", "Draft", "Trash"}) folders = folders && !Folder(name).empty();
    const std::vector<std::string> subjects = Subjects();
    Shot("welcome");
    Check(folders && subjects == std::vector<std::string>{"Welcome"} && window_->FolderShown() == "Inbox" &&
              window_->FolderLabel("Inbox") == "Inbox (1)" && window_->FolderBold("Inbox") &&
              window_->FolderLabel("Outbox") == "Outbox" && !window_->FolderBold("Outbox") &&
              window_->StatusText() == "1 message in Inbox",
          "a fresh store gets its folders and the welcome message, unread in a bold Inbox");
  }

  void CheckSendAndReceive() {
    dovecot_.AddMessage("alice", Message("=?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=", "m1"));
    dovecot_.AddMessage("alice", Message("Plain second", "m2"));
    dovecot_.AddMessage("alice", Message("=?ISO-8859-1?B?Q2Fm6Q==?= =?ISO-8859-1?Q?_und_mehr?=", "m3"));
    CButtonStrip* toolbar = window_->Toolbar();
    const size_t played = sounds_.played.size();
    vyr::test::ClickAt(toolbar, toolbar->EntryRect(0));
    const bool started = PumpUntil([this] { return window_->Checking(); }, 5000);
    const bool ended = started && WaitForCheckEnd();
    std::vector<std::string> subjects = Subjects();
    const std::multiset<std::string> shown(subjects.begin(), subjects.end());
    bool clicked = false;
    for (size_t i = played; i < sounds_.played.size(); ++i)
      clicked = clicked || sounds_.played[i].file.find("ToolbarSelect.wav") != std::string::npos;
    Shot("received");
    Check(ended && clicked &&
              shown == std::multiset<std::string>{"Welcome", "Grüße aus München", "Plain second", "Café und mehr"} &&
              window_->FolderLabel("Inbox") == "Inbox (4)" && window_->FolderBold("Inbox") &&
              window_->StatusText().rfind("You have 3 new e-mail messages! - ", 0) == 0,
          "Send & Receive clicked on the toolbar fills the list with the decoded subjects");
  }

  void CheckDrags() {
    vyr::MailStore(*app_).NewFolder("Keep");
    window_->ShowFolder("Inbox");
    PumpUntil([this] { return !window_->Loading(); });
    Pause(300);
    const struct { const char* subject; const char* folder; bool moves; const char* status; } drags[] = {
        {"Plain second", "Keep", true, "1 message moved to Keep"}, {"Welcome", "Draft", false, ""}};
    bool all = true;
    for (const auto& d : drags) {
      const std::string path = PathOf(d.subject);
      window_->SelectMessages({path});
      const size_t boxes = boxes_.boxes.size();
      PointerDrag drag;
      drag.Run(RowCentre(d.subject), FolderCentre(d.folder));
      const std::string target = Folder(d.folder) + fs::path(path).filename().string();
      bool ok = false;
      if (d.moves) {
        ok = PumpUntil([&] { return fs::exists(target) && window_->List().Find(path) < 0; }, 5000) &&
             !fs::exists(path) && window_->StatusText() == d.status &&
             window_->FolderLabel(d.folder) == std::string(d.folder) + " (1)" && window_->FolderBold(d.folder);
      } else {
        ok = PumpUntil([&] { return boxes_.boxes.size() > boxes; }, 5000) &&
             boxes_.boxes.back().text ==
                 "You cannot move files TO or FROM the Outbox, Draft or Sent Items Folders." &&
             fs::exists(path) && !fs::exists(target) && window_->List().Find(path) >= 0;
      }
      if (d.moves) Shot("moved");
      all = all && Check(ok, std::string("row dragged onto ") + d.folder);
    }
  }

  void CheckDeleteAndEmptyTrash() {
    const std::string path = PathOf("Café und mehr");
    window_->SelectMessages({path});
    window_->MessageListCtrl()->SetFocus();
    Pause(200);
    xtest::PressKey(XK_Delete);
    const std::string inTrash = Folder("Trash") + fs::path(path).filename().string();
    const bool deleted = PumpUntil([&] { return fs::exists(inTrash); }, 5000) && !fs::exists(path) &&
                         window_->List().Find(path) < 0 && window_->FolderLabel("Trash") == "Trash (1)" &&
                         window_->FolderBold("Trash");
    const std::string status = window_->StatusText();
    window_->RunCommand(CMailWnd::kCmdEmptyTrash);
    const bool emptied = FilesIn("Trash") == 0 && window_->FolderLabel("Trash") == "Trash" &&
                         !window_->FolderBold("Trash");
    Check(deleted && emptied && status == "1 message moved to Trash (emptied when Vyrelle is closed)",
          "Delete in the list moves the message to Trash, Empty Trash empties it");
  }

  void CheckAutomaticCheck() {
    app_->Write(vyr::kEmailMinutesBetweenChecks, 2);
    dovecot_.AddMessage("alice", Message("Third wave", "m4"));
    window_->Hide();
    Pause(200);
    const size_t played = sounds_.played.size();
    const size_t pages = newMailPages_.size();
    window_->MinuteTick();
    const bool waited = !window_->Checking();
    window_->MinuteTick();
    const bool started = window_->Checking();
    const bool ended = started && WaitForCheckEnd();
    auto gotmailPlayed = [&] {
      for (size_t i = played; i < sounds_.played.size(); ++i)
        if (sounds_.played[i].file.find("gotmail.wav") != std::string::npos) return true;
      return false;
    };
    const bool gotmail = PumpUntil(gotmailPlayed, 5000);
    const bool page = newMailPages_.size() == pages + 1 &&
                      newMailPages_.back().find("newmail.htm") != std::string::npos;
    const bool notified = PumpUntil([this] {
      const std::string log = Notifications();
      return log.find("Vyrelle Mail") != std::string::npos &&
             log.find("You have 1 new e-mail message") != std::string::npos;
    }, 10000);
    const bool listed = window_->List().Find(PathOf("Third wave")) >= 0;
    window_->Show();
    Check(waited && ended && gotmail && page && notified && listed && window_->MinuteTimerRunning(),
          "the automatic check starts after its period and tells of new mail by sound, page and notification");
  }

  void CheckOneRunAtATime() {
    dovecot_.AddMessage("alice", Message("Only once", "m5"));
    const size_t before = FilesIn("Inbox");
    std::vector<std::string> startupStatus;
    vyr::StartupMailCheck startup(*app_, [&](const std::string& text) { startupStatus.push_back(text); });
    const bool first = startup.Start();
    window_->RunCommand(CMailWnd::kCmdSendReceive);
    const bool refused = !window_->Checking() && window_->MinuteTimerRunning();
    const bool ended = PumpUntil([&] { return !startup.IsRunning(); }, 60000);
    window_->RunCommand(CMailWnd::kCmdSendReceive);
    const bool secondRun = window_->Checking() && WaitForCheckEnd();
    Check(first && refused && ended && secondRun && FilesIn("Inbox") == before + 1 &&
              !startupStatus.empty() && startupStatus.back().rfind("You have 1 new e-mail message", 0) == 0,
          "the start-up check and Send & Receive at once make one run");
    // Working offline: No starts nothing, Yes goes online and checks.
    vyr::net::SetWorkingOffline(true);
    boxes_.answer = vyr::IDNO;
    const size_t asked = boxes_.boxes.size();
    window_->RunCommand(CMailWnd::kCmdSendReceive);
    const bool stayed = !window_->Checking() && vyr::net::WorkingOffline() && boxes_.boxes.size() == asked + 1 &&
                        boxes_.boxes.back().kind == "question";
    boxes_.answer = vyr::IDYES;
    window_->RunCommand(CMailWnd::kCmdSendReceive);
    const bool online = !vyr::net::WorkingOffline() && window_->Checking() && WaitForCheckEnd();
    Check(stayed && online, "Send & Receive while working offline checks only after the user agrees to go online");
  }

  std::string work_, shots_, notifyLog_;
  GPid mock_ = 0;
  vyr::test::DovecotServer dovecot_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  std::vector<std::string> newMailPages_;
  CMailWnd* window_ = nullptr;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(MailWindowApp)

// The message viewer beside the real main window, on a hostile stored
// message (script, remote content, refresh, command link, form, frame, web
// and mailto links, an attachment), driven with real XTest clicks and keys.
// The test HTTP server logs every request ("PAGE <query>").
// usage: message_viewer_ui SERVER_URL SERVER_LOG SHOT_DIR
#include <gtk/gtk.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <wx/button.h>
#include <wx/listctrl.h>
#include <wx/weakref.h>

#include "app/data_seeding.h"
#include "browser/windows/popup_web_dlg.h"
#include "mail/store/mail_store.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/message_viewer_wnd.h"
#include "ui/windows/button_strip.h"
#include "platform/windows_dir.h"
#include "ui_test_support.h"
#include "xtest_input.h"  // last: its X headers' macros would spoil the names above

namespace {

namespace fs = std::filesystem;
namespace xtest = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

// The attachment: every byte value, a line end of each kind and a zero.
std::string AttachmentBytes() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes + "\r\n\n\r" + std::string(1, '\0') + "end";
}

// Base64 in lines of 76 characters.
std::string Base64(const std::string& bytes) {
  gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(bytes.data()), bytes.size());
  std::string out = encoded;
  g_free(encoded);
  for (size_t at = 76; at < out.size(); at += 78) out.insert(at, "\r\n");
  return out;
}

// Where the message's parts lie on its page (CSS pixels) and their colours.
struct Spot { int x, y; const char* rgb; };
constexpr Spot kWebLink{120, 40, "21,101,192"}, kCommandLink{120, 100, "198,40,40"}, kSubmit{120, 160, "46,125,50"},
    kMailLink{120, 220, "106,27,154"}, kNoScript{400, 40, "0,150,136"}, kGround{600, 400, "250,250,250"};

std::string HostileMessage(const std::string& server) {
  const std::string command = server + "/_cmd/setinifile%20viewer%20";
  auto block = [](const Spot& s, const char* rgb) {
    return "position:absolute;left:" + std::to_string(s.x - 100) + "px;top:" + std::to_string(s.y - 20) +
           "px;width:200px;height:40px;display:block;border:0;color:white;background:rgb(" + rgb + ")";
  };
  const std::string html =
      "<html><head><title>Garden news</title>"
      "<meta http-equiv=\"refresh\" content=\"1;url=" + command + "refresh%201\">"
      "<link rel=\"stylesheet\" href=\"" + server + "/echo?remote-css\">"
      "<script>document.title = 'SCRIPT RAN'; new Image().src = '" + server + "/echo?script-ran';</script>"
      "</head><body style=\"margin:0;background:rgb(250,250,250)\" onload=\"document.body.style.background='red'\">"
      "<a id=\"web\" href=\"" + server + "/echo?%3Ctitle%3EClicked%3C%2Ftitle%3E\" style=\"" +
      block(kWebLink, kWebLink.rgb) + "\">Garden club</a>"
      "<a id=\"cmd\" href=\"" + command + "clicked%201\" style=\"" + block(kCommandLink, kCommandLink.rgb) +
      "\">Settings</a>"
      "<form action=\"" + server + "/echo\" method=\"get\"><input type=\"hidden\" name=\"q\" value=\"form-sent\">"
      "<input type=\"submit\" value=\"Send\" style=\"" + block(kSubmit, kSubmit.rgb) + "\"></form>"
      "<a href=\"mailto:club@example.org?subject=Hello\" style=\"" + block(kMailLink, kMailLink.rgb) + "\">Write</a>"
      "<noscript><div style=\"" + block(kNoScript, kNoScript.rgb) + "\"></div></noscript>"
      "<img src=\"" + server + "/echo?remote-image\" width=\"40\" height=\"40\" "
      "style=\"position:absolute;left:380px;top:80px\">"
      "<div style=\"position:absolute;left:380px;top:140px;width:40px;height:40px;"
      "background:url('" + server + "/echo?remote-background')\"></div>"
      "<iframe src=\"" + server + "/echo?iframe-loaded\" style=\"position:absolute;left:380px;top:200px\"></iframe>"
      "</body></html>";
  return "From: =?ISO-8859-1?Q?J=FCrgen_Wei=DF?= <juergen@example.org>\r\n"
         "To: kim@example.org\r\n"
         "Subject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe_aus_M=C3=BCnchen?=\r\n"
         "Date: Mon, 7 Dec 2026 10:00:00 +0100\r\n"
         "MIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"OUTER\"\r\n\r\n"
         "--OUTER\r\nContent-Type: multipart/alternative; boundary=\"ALT\"\r\n\r\n"
         "--ALT\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nGarden news in plain text.\r\n"
         "--ALT\r\nContent-Type: text/html; charset=utf-8\r\n\r\n" + html + "\r\n--ALT--\r\n"
         "--OUTER\r\nContent-Type: application/octet-stream; name=\"seeds.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\nContent-Disposition: attachment; filename=\"seeds.bin\"\r\n\r\n" +
         Base64(AttachmentBytes()) + "\r\n--OUTER--\r\n";
}

wxPoint Centre(const wxRect& r) { return wxPoint(r.x + r.width / 2, r.y + r.height / 2); }

std::string PlainMessage(const std::string& subject) {
  return "From: kim@example.org\r\nTo: juergen@example.org\r\nSubject: " + subject +
         "\r\nDate: Mon, 7 Dec 2026 11:00:00 +0100\r\n\r\n" + subject + " in a few words.\r\n";
}

class ListOwner : public vyr::MessageViewerOwner {
 public:
  std::vector<std::string> rows, deleted;
  std::string NextMessage(const std::string& path, int step) override {
    const auto at = std::find(rows.begin(), rows.end(), path);
    if (at == rows.end()) return {};
    const long next = (at - rows.begin()) + step;
    return next < 0 || next >= static_cast<long>(rows.size()) ? std::string() : rows[static_cast<size_t>(next)];
  }
  void MessageDeleted(const std::string& path) override {
    deleted.push_back(path);
    rows.erase(std::remove(rows.begin(), rows.end(), path), rows.end());
  }
};

class MessageViewerApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 4) return false;
    SetExitOnFrameDelete(false);
    vyr::test::InitWindowTest();
    CComposeWnd::SetAskAboutSettings(false);
    server_ = argv[1].utf8_string();
    log_ = argv[2].utf8_string();
    shots_ = argv[3].utf8_string();
    CallAfter([this] {
      Run();
      vyr::test::ExitWithVerdict();
    });
    return true;
  }

 private:
  void Run() {
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::Application& a = *app_;
    vyr::test::WriteWindowProfile(a, server_, vyr::test::TitledPage(server_, "Start"), wxRect(300, 60, 900, 700));
    a.WriteInt("Misc", "ShowContentBar", 0);
    a.WriteInt("Startup", "CheckMail", 0);
    a.WriteInt("misc", "warn_on_popup", 0);
    a.WriteInt("email", "DontPromptForDeletion", 1);
    a.LoadStartupSettings();
    vyr::SeedDataRoot(VYRELLE_SHIPPED_DATA, a.Directories());
    main_ = vyr::test::StartMainWindow(a);
    PumpUntil([&] { return main_->Pane()->Title() == "Start" && !main_->Pane()->IsLoading(); });

    const vyr::MailStore store(a);
    const std::string inbox = store.FolderPath("Inbox", true);
    hostile_ = inbox + "S1.mail";
    second_ = inbox + "S2.mail";
    third_ = inbox + "S3.mail";
    vyr::test::WriteFile(hostile_, HostileMessage(server_));
    vyr::test::WriteFile(second_, PlainMessage("Seed swap"));
    vyr::test::WriteFile(third_, PlainMessage("Rain dates"));
    owner_.rows = {hostile_, second_, third_};

    viewer_ = new CMessageViewerWnd(a, &owner_);
    viewer_->SetPosition(wxPoint(0, 0));
    viewer_->ShowMessage(hostile_);
    if (!Check(PumpUntil([&] { return viewer_->IsShownOnScreen() && !viewer_->Loading(); }) &&
                   Painted(kWebLink),
               "the viewer shows the stored message's page"))
      return;
    const std::string page = viewer_->Pane()->CurrentUrl();
    const std::string caption(viewer_->GetTitle().utf8_str());
    Check(caption == "[J\xC3\xBCrgen Wei\xC3\x9F <juergen@example.org>] Gr\xC3\xBC\xC3\x9F" "e aus M\xC3\xBCnchen",
          "the caption is \"[sender] subject\" with the umlaut words decoded");

    CheckNothingRunsOrLoads(page);
    CheckClicks(page);
    CheckRemoteContent();
    CheckSavedPart();
    CheckListCommands();
  }

  wxPoint OnScreen(const Spot& spot) const { return viewer_->Pane()->ClientToScreen(wxPoint(spot.x, spot.y)); }
  bool Painted(const Spot& spot, int ms = 8000) {
    return PumpUntil([&] { return vyr::test::Rgb(vyr::test::Screen(), OnScreen(spot)) == spot.rgb; }, ms);
  }
  std::string Seen(const Spot& spot) const { return vyr::test::Rgb(vyr::test::Screen(), OnScreen(spot)); }
  void Shot(const std::string& name) { vyr::test::SaveScreen(shots_ + "/" + name + ".png"); }

  size_t Requests(const std::string& text) const {
    std::ifstream in(log_);
    size_t n = 0;
    for (std::string line; std::getline(in, line);)
      if (line.rfind("PAGE ", 0) == 0 && line.find(text) != std::string::npos) ++n;
    return n;
  }
  std::string Setting(const std::string& key) const { return app_->GetString("viewer", key, ""); }

  void CheckNothingRunsOrLoads(const std::string& page) {
    Pause(2500);  // the refresh is due after one second
    Shot("viewer_message");
    const std::string title = viewer_->Pane()->Title();
    Check(title == "Garden news" && Seen(kGround) == kGround.rgb && Seen(kNoScript) == kNoScript.rgb &&
              Requests("script-ran") == 0,
          "no script of the message runs: title, ground and the noscript block stay, no call home");
    size_t fetched = 0;
    for (const char* marker : {"remote-image", "remote-css", "remote-background", "iframe-loaded", "script-ran"})
      fetched += Requests(marker);
    Check(fetched == 0 && viewer_->RemoteContentBar()->IsShownOnScreen(),
          "nothing of the message is fetched before the user asks, and the bar offers it");
    Check(Setting("refresh").empty() && viewer_->Pane()->CurrentUrl() == page,
          "the refresh to a command link runs nothing and leaves the message where it is");
  }

  void CheckClicks(const std::string& page) {
    const size_t popups = CPopupWebDlg::All().size();
    xtest::Click(OnScreen(kCommandLink));
    Pause(1500);
    xtest::Click(OnScreen(kSubmit));
    Pause(1500);
    Shot("viewer_command_and_form");
    Check(Setting("clicked").empty() && Requests("form-sent") == 0 && CPopupWebDlg::All().size() == popups &&
              viewer_->Pane()->CurrentUrl() == page,
          "real clicks on the command link and the form's button run, send and open nothing");

    const std::string target = server_ + "/echo?%3Ctitle%3EClicked%3C%2Ftitle%3E";
    xtest::Click(OnScreen(kWebLink));
    CPopupWebDlg* popup = nullptr;
    PumpUntil([&] {
      for (CPopupWebDlg* p : CPopupWebDlg::All())
        if (p->IsShown()) popup = p;
      return popup && popup->Pane()->Title() == "Clicked";
    });
    Shot("viewer_web_link_popup");
    Check(popup && popup->GetTitle().utf8_string() == "Finding " + target && viewer_->Pane()->CurrentUrl() == page,
          "a real click on a web link opens it in a popup titled \"Finding \" and the address");
    if (popup) popup->Destroy();

    xtest::Click(OnScreen(kMailLink));
    CComposeWnd* compose = nullptr;
    PumpUntil([&] {
      for (wxWindow* top : wxTopLevelWindows)
        if (auto* c = dynamic_cast<CComposeWnd*>(top); c && c->IsShown()) compose = c;
      return compose != nullptr;
    }, 5000);
    Check(compose && compose->ToText() == "club@example.org" && compose->SubjectText() == "Hello" &&
              viewer_->Pane()->CurrentUrl() == page,
          "a real click on a mailto link opens the compose window to its address and subject");
    if (compose) compose->Destroy();  // unsaved: the viewer is in front again
  }

  void CheckRemoteContent() {
    const size_t scripts = Requests("script-ran");
    xtest::Click(Centre(viewer_->RemoteContentButton()->GetScreenRect()));
    const bool image = PumpUntil([&] { return Requests("remote-image") > 0; }, 8000);
    PumpUntil([&] { return !viewer_->Loading(); });
    Pause(1500);
    Shot("viewer_remote_content");
    Check(image && Requests("iframe-loaded") == 0 && Requests("script-ran") == scripts &&
              Setting("refresh").empty() && !viewer_->RemoteContentBar()->IsShown(),
          "a real click on \"Show remote content\" fetches the picture, and still no frame, script or refresh");
  }

  void CheckSavedPart() {
    wxListCtrl* parts = viewer_->PartsList();
    long row = -1;
    for (long i = 0; parts && i < parts->GetItemCount(); ++i)
      if (parts->GetItemText(i) == "seeds.bin") row = i;
    const std::string target = fs::path(log_).parent_path().string() + "/saved seeds.bin";
    Check(row >= 0 && viewer_->SavePart(row, target) && vyr::test::ReadFile(target) == AttachmentBytes(),
          "the attachment saved from the parts list is byte for byte the one the message carries");
  }

  void CheckListCommands() {
    xtest::Focus(viewer_);
    xtest::Click(OnScreen(kGround));  // the page takes the keys
    xtest::PressKey(XK_n, false, true);
    const bool next = PumpUntil([&] { return viewer_->MessagePath() == second_ && !viewer_->Loading(); }, 8000);
    Shot("viewer_next");
    Check(next && viewer_->GetTitle() == "[kim@example.org] Seed swap" && !vyr::MailStore::IsUnread(second_),
          "Ctrl+N shows the next message of the list, read");

    const std::string trash = vyr::MailStore(*app_).FolderPath("Trash", true);
    const wxRect del = viewer_->Toolbar()->EntryRect(3);  // Delete
    xtest::Click(viewer_->Toolbar()->ClientToScreen(Centre(del)));
    const bool moved = PumpUntil([&] { return viewer_->MessagePath() == third_ && !viewer_->Loading(); }, 8000);
    Check(moved && !fs::exists(second_) && fs::exists(trash + "S2.mail") && owner_.deleted == std::vector{second_},
          "Delete moves the shown message to Trash and shows the next one");

    xtest::Focus(viewer_);
    xtest::PressKey(XK_Escape);
    const wxWeakRef<CMessageViewerWnd> viewer(viewer_);
    Check(PumpUntil([&] { return !viewer || !viewer->IsShown(); }, 5000), "Escape closes the viewer");
  }

  std::string server_, log_, shots_, hostile_, second_, third_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::test::RecordingSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  CMessageViewerWnd* viewer_ = nullptr;
  ListOwner owner_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(MessageViewerApp)

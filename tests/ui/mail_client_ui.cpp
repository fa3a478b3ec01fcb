// The mail program choice and the import offer under real XTest clicks and
// keys, on a private XDG desktop. usage: mail_client_ui ARTIFACTS IMPORT_HOME
#include <sys/stat.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <deque>

#include "base/settings_table.h"
#include "mail/windows/mail_client_dlg.h"
#include "mail/windows/mail_import_dlg.h"
#include "platform/file_system.h"
#include "xtest_input.h"

namespace {

using vyr::test::Check;
namespace xt = vyr::test::xtest;

using xt::Named;
std::string Utf8(const wxString& s) { return std::string(s.utf8_str()); }

void ClickOn(wxWindow* w) { xt::Click(w->GetScreenRect().GetLeftTop() + wxPoint(8, w->GetSize().y / 2)); }

void AltKey(KeySym sym) {
  Display* d = xt::XDisplay();
  const KeyCode alt = XKeysymToKeycode(d, XK_Alt_L);
  XTestFakeKeyEvent(d, alt, True, CurrentTime);
  xt::PressKey(sym);
  XTestFakeKeyEvent(d, alt, False, CurrentTime);
  XFlush(d);
}

std::string ReadOr(const std::string& path) {
  std::string text;
  vyr::platform::ReadWholeFile(path, text);
  return text;
}

class MailClientTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 3) return false;
    vyr::test::InitWindowTest();
    robot_.Start();
    return true;
  }

  void When(const char* name, std::function<void()> act) { robot_.When(name, std::move(act)); }

  void RunChecks() override {
    const std::string shots = argv[1].utf8_string();
    const std::string importHome = argv[2].utf8_string();
    // The toolkit reads the system's type database before XDG becomes the test's.
    g_free(g_content_type_guess("bullet.svg", nullptr, 0, nullptr));
    vyr::test::TempDir desktop;
    vyr::test::ScopedEnv config{"XDG_CONFIG_HOME", desktop.File("config")},
        data{"XDG_DATA_HOME", desktop.File("data")}, dirs{"XDG_DATA_DIRS", desktop.File("share")},
        current{"XDG_CURRENT_DESKTOP", std::nullopt},
        path{"PATH", desktop.File("bin") + ":" + std::string(getenv("PATH") ? getenv("PATH") : "/usr/bin:/bin")};
    const std::string recorded = desktop.File("recorded");
    vyr::test::WriteFile(desktop.File("bin/recorder"),
                         "#!/bin/sh\nfor a in \"$@\"; do printf '[%s]' \"$a\"; done >> '" + recorded + "'\n");
    ::chmod(desktop.File("bin/recorder").c_str(), 0755);
    vyr::test::WriteFile(desktop.File("share/applications/alpha-mail.desktop"),
                         "[Desktop Entry]\nType=Application\nName=Alpha Mail\nExec=alpha %u\n"
                         "MimeType=x-scheme-handler/mailto;\n");
    vyr::test::WriteFile(desktop.File("share/applications/beta.desktop"),
                         "[Desktop Entry]\nType=Application\nName=Beta\nExec=recorder --new %u\n"
                         "MimeType=x-scheme-handler/mailto;\n");
    const std::string mimeapps = desktop.File("config/mimeapps.list");

    vyr::test::TestApp t;
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Vyrelle", wxPoint(0, 0), wxSize(700, 500));
    frame->Show();
    auto questions = [&t] {
      int n = 0;
      for (const auto& box : t.boxes.boxes) n += box.kind == "Question";
      return n;
    };

    When("client_list", [&] {
      auto* list = Named<wxListBox>("client_list");
      Check(Named<wxRadioButton>("client_integrated")->GetValue() && !list->IsEnabled() &&
                list->GetCount() == 2 && Utf8(list->GetString(0)) == "Alpha Mail" && Utf8(list->GetString(1)) == "Beta" &&
                Utf8(Named<wxStaticText>("client_current")->GetLabel()) == "[ None found ]" &&
                !Named("client_path")->IsEnabled(),
            "the dialog opens on the integrated client, the desktop's two mail programs listed, none the default");
      vyr::test::SaveScreen(shots + "/ui_mail_client.png");
      ClickOn(Named("client_desktop"));
    });
    When("client_list", [&] {
      auto* list = Named<wxListBox>("client_list");
      Check(list->IsEnabled(), "a click on the desktop's client enables the list");
      xt::Click(list->GetScreenRect().GetLeftTop() + wxPoint(20, 10));  // the first row, then Down
      vyr::test::Pause(200), xt::PressKey(XK_Down), vyr::test::Pause(200);
      t.boxes.answer = vyr::IDNO;
      ClickOn(wxWindow::FindWindowById(wxID_OK, wxGetTopLevelParent(list)));
      vyr::test::PumpUntil([&] { return questions() == 1; }, 3000);
    });
    When("client_list", [&] {
      const auto& box = t.boxes.boxes.back();
      Check(box.caption == "Change Default Mail Client" &&
                box.text.rfind("You have selected Beta\nto be your default Internet mail client.  None found is", 0) == 0 &&
                !vyr::platform::FileExists(mimeapps) && t.app.GetInt("email", "UseVyrMail", -1) == -1,
            "No to the change question keeps the dialog open and writes nothing");
      t.boxes.answer = vyr::IDYES;
      ClickOn(wxWindow::FindWindowById(wxID_OK, wxGetTopLevelParent(Named("client_list"))));
    });
    Check(ShowMailClientDialog(t.app, frame) &&
              ReadOr(mimeapps) == "[Default Applications]\nx-scheme-handler/mailto=beta.desktop;\n" &&
              t.app.GetInt("email", "UseVyrMail", -1) == 0 &&
              t.app.GetString("email", "clientpath", "") == "recorder --new %u",
          "Yes makes Beta the desktop's mail client and its command the mail program");

    ComposeMail(t.app, {"ann@x.example", "cc@x.example", "Hi & bye", "Line 1\r\nLine 2", {}});
    vyr::test::PumpUntil([&] { return !ReadOr(recorded).empty(); }, 10000);
    Check(ReadOr(recorded) ==
              "[--new][mailto:ann@x.example?cc=cc%40x.example&subject=Hi%20%26%20bye&body=Line%201%0D%0ALine%202]",
          "a message goes to the chosen program as one encoded link");
    When("client_program", [&] { ClickOn(Named("client_program")); });
    When("client_path", [&] {
      Check(Named("client_path")->IsEnabled() && Named("client_find")->IsEnabled() && !Named("client_list")->IsEnabled(),
            "a click on another program enables its field and Find Program");
      Named<wxTextCtrl>("client_path")->ChangeValue("");
      ClickOn(wxWindow::FindWindowById(wxID_OK, wxGetTopLevelParent(Named("client_path"))));
      vyr::test::PumpUntil([&] { return t.boxes.boxes.back().kind == "Error"; }, 3000);
    });
    When("client_path", [&] {
      Check(t.boxes.boxes.back().text == "For this option you must\r\nsupply an e-mail program",
            "an empty program is refused and the dialog stays");
      ClickOn(Named("client_path"));
      for (unsigned char c : std::string("recorder -x")) xt::PressCharacter(c);
      vyr::test::Pause(200);
      xt::PressKey(XK_Return);
    });
    Check(ShowMailClientDialog(t.app, frame) && t.app.GetInt("email", "UseVyrMail", -1) == 2 &&
              t.app.GetString("email", "clientpath", "") == "recorder -x",
          "the typed program is stored as the mail program");
    const std::vector<vyr::FoundMailAccount> found = vyr::FindMailAccounts(importHome);
    When("import_accounts", [&] {
      Check(Utf8(Named<wxTextCtrl>("import_pop")->GetValue()) == "pop.pop.example" &&
                Utf8(Named<wxTextCtrl>("import_name")->GetValue()) == "Bob \"The Builder\" M\xC3\xBCller",
            "the first account's values are shown");
      vyr::test::SaveScreen(shots + "/ui_mail_import.png");
      xt::PressKey(XK_Down);
      vyr::test::PumpUntil([] { return Utf8(Named<wxTextCtrl>("import_pop")->GetValue()) == "imap.imap.example"; },
                           3000);
    });
    When("import_accounts", [&] {
      Check(Utf8(Named<wxTextCtrl>("import_smtp")->GetValue()) == "smtp.imap.example" &&
                Utf8(Named<wxTextCtrl>("import_address")->GetValue()) == "carol@imap.example",
            "Down shows the next account's values");
      AltKey('i');
    });
    vyr::test::TestApp fresh;
    Check(OfferImport(fresh.app, frame, found) == ImportOffer::kImported &&
              fresh.app.GetString("email", "pop3-server", "") == "imap.imap.example" &&
              fresh.app.GetString("email", "smtp-server", "") == "smtp.imap.example",
          "Alt+I stores the selected account as the mail settings");
    Check(OfferImport(fresh.app, frame, found) == ImportOffer::kContinued,
          "with settings made no dialog opens and the settings go on");

    When("import_accounts", [] { xt::PressKey(XK_Escape); });
    vyr::test::TestApp cancelled;
    Check(OfferImport(cancelled.app, frame, found) == ImportOffer::kCancelled && vyr::MailSettingsUnset(cancelled.app),
          "Escape cancels and stores nothing");
    When("import_continue", [] { ClickOn(Named("import_continue")); });
    Check(OfferImport(cancelled.app, frame, found) == ImportOffer::kContinued && vyr::MailSettingsUnset(cancelled.app),
          "Continue without importing goes on and stores nothing");
    Check(OfferImport(cancelled.app, frame, {}) == ImportOffer::kContinued, "nothing found: no dialog, the settings go on");
    frame->Destroy();
    vyr::test::ExitWithVerdict();
  }

  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(MailClientTestApp)

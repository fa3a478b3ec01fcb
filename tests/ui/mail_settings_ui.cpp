// The mail settings and Multi-POP dialogs under real XTest clicks and
// typing, with a test keyring and a private Dovecot server over TLS.
// usage: mail_settings_ui WORK ARTIFACTS SECRET_LOOKUP.py
#include <sys/stat.h>

#include <wx/button.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include <deque>

#include "base/settings_table.h"
#include "mail/check/mail_check_driver.h"
#include "mail/windows/mail_settings_dlg.h"
#include "tools/dovecot_server.h"
#include "tools/test_certificates.h"
#include "xtest_input.h"

namespace {

using vyr::test::Check;
namespace xt = vyr::test::xtest;

using xt::Named;

void ClickOn(wxWindow* w) { xt::Click(w->GetScreenRect().GetPosition() + w->GetSize() / 2); vyr::test::Pause(150); }

void Type(const std::string& text) {
  for (unsigned char c : text) xt::PressCharacter(c);
  vyr::test::Pause(100);
}

void TypeInto(const char* name, const std::string& text) {
  wxWindow* field = Named(name);
  if (!vyr::test::Require(field != nullptr, std::string("no field ") + name)) return;
  ClickOn(field);
  xt::PressKey('a', false, true);
  Type(text);
}

std::string Run(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[512];
    while (fgets(buffer, sizeof buffer, p)) out += buffer;
    pclose(p);
  }
  return out;
}

struct CheckObserver : vyr::MailCheckObserver {
  std::vector<std::string> statuses;
  bool finished = false, allWell = false;
  void MailCheckStatus(const std::string& text, bool) override { statuses.push_back(text); }
  void MailCheckFinished(const vyr::MailCheckEnd& end) override { finished = true, allWell = end.allWell; }
  bool InboxShown() const override { return true; }
  bool InForeground() const override { return false; }
};

class MailSettingsTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 4) return false;
    vyr::test::InitWindowTest();
    robot_.Start();
    return true;
  }

  void When(const char* name, std::function<void()> act) { robot_.When(name, std::move(act)); }

  void RunChecks() override {
    const std::string work = argv[1].utf8_string(), shots = argv[2].utf8_string(), lookup = argv[3].utf8_string();
    // A home without other mail programs and a keyring of the test's own.
    setenv("HOME", (work + "/home").c_str(), 1);
    setenv("XDG_DATA_HOME", (work + "/home/.local/share").c_str(), 1);
    vyr::test::WriteFile(work + "/home/.keep", "");
    if (!vyr::test::Require(std::system("command -v gnome-keyring-daemon >/dev/null") == 0,
                            "gnome-keyring-daemon is missing (Debian package gnome-keyring)") ||
        !vyr::test::Require(std::system("printf keyring-pw | gnome-keyring-daemon --unlock --components=secrets "
                                        ">/dev/null 2>&1") == 0,
                            "the test keyring did not start")) {
      vyr::test::ExitWithVerdict();
    }

    vyr::test::TestCertificates certs;
    std::string error;
    vyr::test::DovecotServer dovecot;
    if (!vyr::test::Require(vyr::test::MakeTestCertificates(work, "DNS:localhost", certs, &error), error)) {
      vyr::test::ExitWithVerdict();
    }
    dovecot.UseTls(certs.certPem, certs.keyPem);
    dovecot.AddUser("ann@localhost", "wonder land!");
    if (!vyr::test::Require(dovecot.Start(&error), "Dovecot: " + error)) vyr::test::ExitWithVerdict();
    dovecot.AddMessage("ann@localhost", "From: bob@localhost\r\nTo: ann@localhost\r\nSubject: over TLS\r\n\r\nHello.\r\n");
    const std::string port = std::to_string(dovecot.TlsPort());

    vyr::test::TestApp t;
    t.app.Write(vyr::kEmailTlsTrustFile, certs.caPem);  // the test authority, not a field of the dialog
    auto* frame = new wxFrame(nullptr, wxID_ANY, "Vyrelle", wxPoint(0, 0), wxSize(400, 300));
    frame->Show();
    auto profile = [&] { return vyr::test::ReadFile(t.app.ProfilePath()); };
    auto okButton = [] { return Named("Your name") ? wxGetTopLevelParent(Named("Your name"))->FindWindow(wxID_OK) : nullptr; };

    When("Your name", [&] {
      TypeInto("Your name", "Ann Tester");
      TypeInto("E-mail address", "ann@localhost");
      TypeInto("Incoming server", "localhost");
      TypeInto("Incoming mail (POP3) Port", "0");
      TypeInto("User name", "ann@localhost");
      TypeInto("Password", "wonder land!");
      TypeInto("Outgoing server", "localhost");
      ClickOn(okButton());
    });
    When("Your name", [&] {
      Check(!t.boxes.boxes.empty() &&
                t.boxes.boxes.back().text == "The port of localhost must be a number from 1 to 65535." &&
                profile().find("pop3-account") == std::string::npos,
            "a port of 0 is refused: the dialog stays and nothing is written");
      TypeInto("Incoming mail (POP3) Port", port);
      vyr::test::SaveScreen(shots + "/ui_mail_settings.png");
      ClickOn(okButton());
    });
    const bool saved = OpenMailSettings(t.app, frame);
    Check(saved && robot_.Done(), "the import offer found nothing, the dialog opened, and OK saved");

    const std::string written = profile();
    struct stat st {};
    ::stat(t.app.ProfilePath().c_str(), &st);
    Check(written.find("pop3-account=ann@localhost\n") != std::string::npos &&
              written.find("e-address=ann@localhost\n") != std::string::npos &&
              written.find("name=Ann Tester\n") != std::string::npos &&
              written.find("pop3-server=localhost\n") != std::string::npos &&
              written.find("POP3Security=2\n") != std::string::npos &&
              written.find("POP3Port=" + port + "\n") != std::string::npos && (st.st_mode & 0777) == 0600,
          "the profile holds what was typed, the full address as the user name, TLS, and is the user's only");
    Check(written.find("wonder land!") == std::string::npos && written.find("pop3-pass=keyring\n") != std::string::npos,
          "the profile holds no password, only where it is kept");
    auto keyring = [&](const std::string& setting) {
      return Run("/usr/bin/python3 " + lookup + " 'profile=" + t.app.ProfilePath() + "' setting=email/" + setting);
    };
    Check(keyring("pop3-pass") == "items 1\nwonder land!\n",
          "the keyring holds the password under the profile and its setting");
    // The second Multi-POP row filled and made active: on TLS too.
    When("Multi-POP 2 User name", [&] {
      Check(Named("Multi-POP 1") && Named("Multi-POP 3 Password") && Named("Multi-POP 3 POP3 server"),
            "the Multi-POP dialog has its three rows");
      ClickOn(Named("Multi-POP 2"));
      TypeInto("Multi-POP 2 User name", "bob@localhost");
      TypeInto("Multi-POP 2 Password", "second pw");
      TypeInto("Multi-POP 2 POP3 server", "pop.localhost.example");
      vyr::test::SaveScreen(shots + "/ui_multi_pop.png");
      ClickOn(wxGetTopLevelParent(Named("Multi-POP 2"))->FindWindow(wxID_OK));
    });
    CMultiPopDlg extra(frame, t.app);
    const bool extraSaved = extra.ShowModal() == wxID_OK;
    const std::string withExtra = profile();
    const std::string extraKept = keyring("multipop2-pass");
    Check(extraSaved && withExtra.find("multipop2=1\n") != std::string::npos &&
              withExtra.find("multipop2-account=bob@localhost\n") != std::string::npos &&
              withExtra.find("multipop2-security=2\n") != std::string::npos &&
              withExtra.find("multipop2-pass=keyring\n") != std::string::npos &&
              withExtra.find("multipop1=0\n") != std::string::npos && extraKept == "items 1\nsecond pw\n",
          "an extra account saved active on TLS, its password in the keyring");
    t.app.Write(vyr::kEmailExtraActive.At(2), 0);  // not a server of this test

    CheckObserver seen;
    vyr::MailCheckDriver driver(t.app, seen);
    const bool started = driver.Start(true);
    vyr::test::PumpUntil([&] { return seen.finished; }, 60000);
    bool fetched = false;
    for (const std::string& s : seen.statuses) fetched = fetched || s.rfind("Done.  Processed 1 messages", 0) == 0;
    Check(started && seen.allWell && fetched && dovecot.MessageCount("ann@localhost") <= 1,
          "a mail check fetches over TLS with the saved settings");
    frame->Destroy();
    vyr::test::ExitWithVerdict();
  }

  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(MailSettingsTestApp)

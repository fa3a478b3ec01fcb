// The scheme dialogs on a virtual display, driven through their own
// controls: a scheme created and switched to, one of its colours customised
// (the scheme's config.ini compared as text), a switch to the shipped dark
// scheme (the dialog's background sampled on the screen before and after),
// and a ".vyrscheme" package imported from the test HTTP server through the
// name dialog's loop. Prints one line per failed check and exits 0 when there
// is none.
//
// usage: look_feel_ui SHIPPED_DATA_DIR HOME FILES_DIR SERVER_URL SCREENSHOT_DIR
#include <chrono>
#include <cstdio>
#include <deque>
#include <functional>
#include <cstdlib>
#include <string>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/clrpicker.h>
#include <wx/image.h>
#include <wx/listbox.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "app/application.h"
#include "app/data_seeding.h"
#include "net/download_progress.h"
#include "net/windows/download_progress_dlg.h"
#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "platform/window_messages.h"
#include "schemes/windows/look_feel_dlg.h"
#include "schemes/windows/scheme_colours_dlg.h"
#include "schemes/windows/scheme_import.h"
#include "schemes/windows/scheme_name_dlg.h"
#include "tools/zip_builder.h"
#include "ui/windows/scheme_art.h"

namespace {

int gFailures = 0;
void Check(bool ok, const std::string& what) {
  if (!ok) {
    std::printf("FAIL: %s\n", what.c_str());
    ++gFailures;
  }
}

std::string Read(const std::string& path) {
  std::string text;
  vyr::platform::ReadWholeFile(path, text);
  return text;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at == std::string::npos) return "(no line " + from + ")";
  return text.replace(at, from.size(), to);
}

// Questions answered yes; every box remembered as "caption: text".
class AnsweringBoxes : public vyr::MessageBoxService {
 public:
  int Error(const std::string& text, const std::string&) override { return Add("error", text); }
  int Question(const std::string& text, const std::string& caption, bool*) override {
    Add(caption, text);
    return vyr::IDYES;
  }
  int Information(const std::string& text, const std::string&) override { return Add("info", text); }
  std::vector<std::string> seen;

 private:
  int Add(const std::string& caption, const std::string& text) {
    seen.push_back(caption + ": " + text);
    return vyr::IDOK;
  }
};

class SilentSounds : public vyr::SoundPlayer {
 public:
  int Play(const std::string&, bool) override { return 0; }
};

template <typename T>
T* Named(wxWindow* dialog, const char* name) {
  return dynamic_cast<T*>(dialog->FindWindow(wxString::FromUTF8(name)));
}

void Press(wxWindow* dialog, const char* name) {
  auto* button = Named<wxButton>(dialog, name);
  Check(button != nullptr, std::string("no button ") + name);
  if (!button) return;
  wxCommandEvent click(wxEVT_BUTTON, button->GetId());
  click.SetEventObject(button);
  button->GetEventHandler()->AddPendingEvent(click);
}

void PressId(wxWindow* dialog, int id) {
  wxWindow* button = dialog->FindWindow(id);
  Check(button != nullptr, "no button " + std::to_string(id));
  if (!button) return;
  wxCommandEvent click(wxEVT_BUTTON, id);
  click.SetEventObject(button);
  button->GetEventHandler()->AddPendingEvent(click);
}

void SelectScheme(wxWindow* dialog, const char* scheme) {
  auto* list = Named<wxListBox>(dialog, "schemes");
  const int at = list ? list->FindString(scheme, true) : wxNOT_FOUND;
  Check(at != wxNOT_FOUND, std::string("scheme not listed: ") + scheme);
  if (at == wxNOT_FOUND) return;
  list->SetSelection(at);
  wxCommandEvent picked(wxEVT_LISTBOX, list->GetId());
  picked.SetEventObject(list);
  picked.SetInt(at);
  picked.SetString(scheme);
  list->GetEventHandler()->ProcessEvent(picked);
}

std::string Selected(wxWindow* dialog) {
  auto* list = Named<wxListBox>(dialog, "schemes");
  return list && list->GetSelection() != wxNOT_FOUND ? list->GetStringSelection().ToStdString() : "";
}

std::string Text(const wxColour& c) {
  return std::to_string(c.Red()) + "," + std::to_string(c.Green()) + "," + std::to_string(c.Blue());
}

// The dialog's background, sampled on the screen (ImageMagick's picture of
// the whole display) inside its content panel, in a corner away from every
// control. The picture is kept at shot.
wxColour Background(CColoredDlg* dialog, const std::string& shot) {
  dialog->Update();
  wxYield();
  const std::string command = "import -window root '" + shot + "'";
  wxImage image;
  if (std::system(command.c_str()) != 0 || !image.LoadFile(wxString::FromUTF8(shot))) {
    Check(false, "no screenshot (ImageMagick's import, Debian package imagemagick)");
    return *wxWHITE;
  }
  wxPanel* panel = dialog->ContentPanel();
  const wxPoint at = panel->ClientToScreen(wxPoint(3, panel->GetClientSize().y - 3));
  return wxColour(image.GetRed(at.x, at.y), image.GetGreen(at.x, at.y), image.GetBlue(at.x, at.y));
}

bool Near(const wxColour& a, const wxColour& b) {
  return std::abs(a.Red() - b.Red()) < 8 && std::abs(a.Green() - b.Green()) < 8 &&
         std::abs(a.Blue() - b.Blue()) < 8;
}


// Plays a script against the modal dialogs as they open: each step waits
// for a shown dialog of its kind that has been painted, acts on it and is
// done. Other dialogs (the download window) are left alone.
class Script : public wxTimer {
 public:
  struct Step {
    std::function<bool(wxDialog*)> matches;
    std::function<void(wxDialog*)> act;
  };
  template <typename D>
  void Then(std::function<void(D*)> act) {
    steps_.push_back({[](wxDialog* d) { return dynamic_cast<D*>(d) != nullptr; },
                      [act](wxDialog* d) { act(dynamic_cast<D*>(d)); }});
  }
  bool Done() const { return steps_.empty(); }
  void Start() {
    started_ = std::chrono::steady_clock::now();
    wxTimer::Start(50);
  }
  void Notify() override {
    if (std::chrono::steady_clock::now() - started_ > std::chrono::seconds(60)) {
      std::printf("FAIL: the dialogs did not come as scripted (%zu steps left)\n", steps_.size());

      std::fflush(stdout);
      std::_Exit(1);
    }
    wxDialog* top = nullptr;
    for (wxWindow* window : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<wxDialog*>(window);
      if (dialog && dialog->IsModal() && dialog->IsShownOnScreen()) top = dialog;
    }
    if (steps_.empty() || !top || !steps_.front().matches(top)) {
      settled_ = 0;
      return;
    }
    if (top != last_) {
      last_ = top;
      settled_ = 0;
    }
    if (++settled_ < 4) return;  // a few ticks to be mapped and painted
    Step step = steps_.front();
    steps_.pop_front();
    if (steps_.empty()) Stop();
    last_ = nullptr;
    step.act(top);
  }

 private:
  std::deque<Step> steps_;
  wxDialog* last_ = nullptr;
  int settled_ = 0;
  std::chrono::steady_clock::time_point started_;
};

class LookFeelApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 6) return false;
    wxInitAllImageHandlers();
    vyr::platform::WindowMessages::Instance().SetWakeUp([] {
      if (wxTheApp) wxTheApp->CallAfter([] { vyr::platform::WindowMessages::Instance().DispatchPending(); });
    });
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    CallAfter([this] {
      RunAll();
      vyr::net::SetDownloadDialogRunner(nullptr);
      std::printf("%s\n", gFailures ? "look and feel checks failed" : "look and feel checks passed");
      ExitMainLoop();
    });
    return true;
  }
  int OnRun() override {
    wxApp::OnRun();
    return gFailures ? 1 : 0;
  }

 private:
  void RunAll() {
    const std::string shipped = argv[1].ToStdString(), home = argv[2].ToStdString();
    const std::string files = argv[3].ToStdString(), url = argv[4].ToStdString();
    const std::string shots = argv[5].ToStdString();
    vyr::Application app(home, boxes_, sounds_);
    Check(vyr::SeedDataRoot(shipped, app.Directories()) > 30, "seeding copied too little");
    app.LoadStartupSettings();
    CSchemeArt::Load(app);
    const std::string media = app.GetDataDirectory("media", false);
    const std::string defaults = Read(media + "default/config.ini");

    // A new scheme, created in the dialog and switched to.
    Script create;
    create.Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
      Check(Selected(d) == "default", "current scheme not selected: " + Selected(d));
      const wxColour back = Background(d, shots + "/ui_look_feel_default.png");
      Check(Near(back, wxColour(243, 244, 246)), "default dialog background " + Text(back));
      Press(d, "create");
    });
    create.Then<CCreateSchemeDlg>([](CCreateSchemeDlg* d) {
      Named<wxTextCtrl>(d, "name")->SetValue("  Mine ");
      PressId(d, wxID_OK);
    });
    create.Then<CLookFeelDlg>([](CLookFeelDlg* d) {
      Check(Selected(d) == "Mine", "new scheme not selected: " + Selected(d));
      PressId(d, wxID_OK);
    });
    create.Start();
    Check(RunLookAndFeelDialog(nullptr, app), "switching to the new scheme reported no change");
    Check(create.Done(), "create script unfinished");
    Check(app.CurrentSchemeName() == "Mine" && app.GetString("misc", "userdir") == "Mine",
          "new scheme not current");
    ApplyCurrentScheme(app);

    // Two of its colours customised.
    Script colours;
    colours.Then<CLookFeelDlg>([](CLookFeelDlg* d) { Press(d, "colours"); });
    colours.Then<CSchemeColoursDlg>([](CSchemeColoursDlg* d) {
      Named<wxColourPickerCtrl>(d, "colour0")->SetColour(wxColour(10, 20, 30));
      Named<wxColourPickerCtrl>(d, "colour1")->SetColour(wxColour(250, 240, 230));
      PressId(d, wxID_OK);
    });
    colours.Then<CLookFeelDlg>([](CLookFeelDlg* d) { PressId(d, wxID_CANCEL); });
    colours.Start();
    Check(RunLookAndFeelDialog(nullptr, app), "customised colours reported no change");
    Check(colours.Done(), "colour script unfinished");
    const std::string expected =
        Replace(Replace(defaults, "\nToolBarBack=243,244,246\n", "\nToolBarBack=10,20,30\n"),
                "\nToolBarText=45,55,72\n", "\nToolBarText=250,240,230\n");
    Check(Read(media + "Mine/config.ini") == expected,
          "Mine/config.ini is\n" + Read(media + "Mine/config.ini") + "\nexpected\n" + expected);
    Check(Read(media + "default/config.ini") == defaults, "default/config.ini changed");
    ApplyCurrentScheme(app);

    // The switch to the dark scheme: the dialog shows the customised
    // background, then, opened again, the dark one in its own frame.
    Script dark;
    dark.Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
      const wxColour back = Background(d, shots + "/ui_look_feel_before.png");
      Check(Near(back, wxColour(10, 20, 30)), "customised dialog background " + Text(back));
      Check(!d->IsFancy(), "plain scheme drawn fancy");
      SelectScheme(d, "Midnight");
      Check(Named<wxCheckBox>(d, "fancy")->GetValue(), "Midnight's frame setting not shown");
      PressId(d, wxID_OK);
    });
    dark.Start();
    Check(RunLookAndFeelDialog(nullptr, app), "switching to Midnight reported no change");
    Check(dark.Done(), "switch script unfinished");
    ApplyCurrentScheme(app);
    Script shown;
    shown.Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
      const wxColour back = Background(d, shots + "/ui_look_feel_midnight.png");
      Check(Near(back, wxColour(30, 34, 48)), "Midnight dialog background " + Text(back));
      Check(d->IsFancy(), "Midnight dialog has no frame of its own");
      Check(Selected(d) == "Midnight", "Midnight not selected");
      PressId(d, wxID_CANCEL);
    });
    shown.Start();
    Check(!RunLookAndFeelDialog(nullptr, app), "cancel reported a change");
    Check(vyr::platform::GetPrivateProfileInt("Misc", "FancyWindows", 0,
                                              media + "Midnight/config.ini") == 1,
          "Midnight lost its frame setting");

    // A package whose name is taken: a too short name, then a free one.
    vyr::platform::CreateDirectories(media + "Ocean");
    const std::string toolbar = Read(media + "Midnight/toolbar.bmp");
    Check(vyr::test::WriteZip(files + "/Ocean.vyrscheme",
                              {{"config.ini", "[Colors]\nToolBarBack=200,100,50\n"},
                               {"toolbar.bmp", toolbar}}),
          "package not written");
    std::vector<std::string> names;
    Script import;
    import.Then<CSchemeNameDlg>([&](CSchemeNameDlg* d) {
      names.push_back(d->Name());
      Named<wxTextCtrl>(d, "name")->SetValue("X ");
      PressId(d, wxID_OK);
    });
    import.Then<CSchemeNameDlg>([&](CSchemeNameDlg* d) {
      names.push_back(d->Name());
      Named<wxTextCtrl>(d, "name")->SetValue("Ocean2 ");
      PressId(d, wxID_OK);
    });
    import.Start();
    boxes_.seen.clear();
    const std::string dir = RunSchemeImport(app, url + "/files/Ocean.vyrscheme");
    Check(import.Done(), "import script unfinished");
    Check(dir == media + "Ocean2/", "unpacked into " + dir);
    Check(names == std::vector<std::string>{"Ocean", "Ocean"}, "name dialog not filled with Ocean");
    const std::vector<std::string> asked = {
        "Import Scheme ?: You are about to import a new scheme.\n\nThe new scheme is named:  "
        "Ocean.vyrscheme\n\nContinue ?",
        "error: Invalid Scheme Name", "Restart Now ?: Do you wish to switch to the new scheme now ?"};
    Check(boxes_.seen == asked, "boxes shown: " + std::to_string(boxes_.seen.size()));
    Check(Read(media + "Ocean2/toolbar.bmp") == toolbar, "toolbar.bmp not unpacked");
    Check(vyr::platform::GetPrivateProfileInt("Misc", "FancyWindows", 0, media + "Ocean2/config.ini") == 1,
          "imported scheme's frame setting");
    Check(app.CurrentSchemeName() == "Ocean2" && app.GetString("misc", "userdir") == "Ocean2",
          "imported scheme not current");
    Check(CSchemeArt::Current()->Colour(vyr::SchemeColour::ToolBarBack) == wxColour(200, 100, 50),
          "imported scheme not applied");
  }

  AnsweringBoxes boxes_;
  SilentSounds sounds_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(LookFeelApp);

int main(int argc, char** argv) { return wxEntry(argc, argv); }

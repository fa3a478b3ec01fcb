// The main window's look on a virtual display, read back from the screen.
// One run per MODE, each on a fresh data folder seeded from the shipped data:
//   switch   started on "default", switched to "Midnight" as the
//            look-and-feel dialog does: toolbar, its pictures, the channel
//            column and the folder strip all take Midnight's colours
//   import   started with a ".vyrscheme" file to open (the start page shows,
//            the package is imported and applied), then the same package
//            from the test HTTP server handed over as a later start does,
//            its taken name changed in the name dialog
//   own      a scheme holding only "toolbar.bmp": its pictures, the rest
//            from "default"
//   damaged  a scheme with a cut-short "toolbar.bmp", a "toolbar_rollover.bmp"
//            that is no picture, a "captionbar.bmp" of height 0 and a
//            "config.ini" of garbage: default pictures and values
// Prints "ok ..." per check or "FAIL ..."; keeps each screenshot as
// SHOTS/ui_scheme_MODE_N.png.
//
// usage: main_window_scheme_ui MODE SHIPPED_DATA SERVER_URL FILES_DIR SHOTS
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include <wx/app.h>
#include <wx/image.h>
#include <wx/textctrl.h>
#include <wx/timer.h>

#include "app/application.h"
#include "app/data_seeding.h"
#include "app/message_box.h"
#include "app/sound_player.h"
#include "browser/windows/vyr20_dlg.h"
#include "net/windows/download_progress_dlg.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "schemes/scheme_choice.h"
#include "schemes/windows/scheme_import.h"
#include "schemes/windows/scheme_name_dlg.h"
#include "tools/zip_builder.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/scheme_art.h"
#include "ui_test_support.h"

namespace {

using Rgb = std::string;  // "r,g,b"

// Questions answered yes; every box kept as "caption: text".
struct AnsweringBoxes : vyr::MessageBoxService {
  int Error(const std::string& text, const std::string&) override { return Add("error", text); }
  int Question(const std::string& text, const std::string& caption, bool*) override {
    Add(caption, text);
    return vyr::IDYES;
  }
  int Information(const std::string& text, const std::string&) override { return Add("info", text); }
  int Add(const std::string& caption, const std::string& text) {
    seen.push_back(caption + ": " + text);
    return vyr::IDOK;
  }
  std::vector<std::string> seen;
};

std::string Read(const std::string& path) {
  std::string text;
  vyr::platform::ReadWholeFile(path, text);
  return text;
}

// A toolbar picture of 16 cells, 24 x 24, all of one colour, as a BMP.
void WriteSolidToolbar(const std::string& path, unsigned char r, unsigned char g, unsigned char b) {
  wxImage picture(16 * 24, 24);
  picture.SetRGB(wxRect(0, 0, 16 * 24, 24), r, g, b);
  picture.SaveFile(wxString::FromUTF8(path.c_str()), wxBITMAP_TYPE_BMP);
}

class SchemeWindowApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 6) return false;
    mode_ = std::string(argv[1].utf8_str());
    const std::string shipped(argv[2].utf8_str());
    server_ = std::string(argv[3].utf8_str());
    files_ = std::string(argv[4].utf8_str());
    shots_ = std::string(argv[5].utf8_str());
    SetAppDisplayName("Vyrelle");
    wxInitAllImageHandlers();
    vyr::test::RouteWindowMessagesToApp();
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(shipped, app_->Directories());
    media_ = app_->GetDataDirectory("media", false);
    WriteProfile();
    PrepareSchemes();
    app_->LoadStartupSettings();
    CSchemeArt::Load(*app_);
    main_ = new CVyr20Dlg(*app_);
    SetTopWindow(main_);
    main_->SetOnDocumentComplete([this](const std::string& url) { documents_.push_back(url); });
    main_->Start(mode_ == "import" ? LocalPackage() : std::string());
    // Runs through modal dialogs too: the name dialog is answered from here.
    dialogs_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { AnswerNameDialog(); });
    dialogs_.Start(50);
    CallAfter([this] {
      RunChecks();
      // Web processes and workers are left to the system; the result is out.
      std::_Exit(failures_ == 0 ? 0 : 1);
    });
    return true;
  }

 private:
  // The start page: a page of the test server with a title to wait for.
  std::string StartPage() const { return server_ + "/echo?" + vyr::PercentEncode(kStartHtml); }
  static constexpr const char* kStartHtml =
      "<!DOCTYPE html><html><head><title>Start 6130</title></head><body>start</body></html>";

  // The package as `vyrelle FILE` hands it to the window: a file address.
  std::string LocalPackage() const { return "file://" + files_ + "/Ocean.vyrscheme"; }

  void WriteProfile() {
    auto& a = *app_;
    a.WriteString("misc", "HomeServer", server_);
    a.WriteInt("Startup", "UseDefaultStart", 0);
    a.WriteString("Startup", "Home", StartPage());
    a.WriteInt("Startup", "KeepAlive", 1);
    a.WriteInt("misc", "wnd_maximize", 0);
    a.WriteInt("misc", "wnd_left", 60);
    a.WriteInt("misc", "wnd_top", 40);
    a.WriteInt("misc", "wnd_right", 1060);
    a.WriteInt("misc", "wnd_bottom", 760);
    a.WriteString("misc", "userdir", mode_ == "own" ? "Plain" : mode_ == "damaged" ? "Broken" : "default");
  }

  void PrepareSchemes() {
    namespace fs = vyr::platform;
    if (mode_ == "import") {
      // Ocean: an orange toolbar ground and Midnight's pictures.
      vyr::test::WriteZip(files_ + "/Ocean.vyrscheme", {{"config.ini", "[Colors]\nToolBarBack=200,100,50\n"},
                                                        {"toolbar.bmp", Read(media_ + "Midnight/toolbar.bmp")}});
    } else if (mode_ == "own") {
      fs::CreateDirectories(media_ + "Plain");
      WriteSolidToolbar(media_ + "Plain/toolbar.bmp", 0, 160, 80);
    } else if (mode_ == "damaged") {
      fs::CreateDirectories(media_ + "Broken");
      // The default scheme's toolbar made recognisable, so that the picture
      // seen is the default's and not the compiled-in one.
      WriteSolidToolbar(media_ + "default/toolbar.bmp", 200, 0, 120);
      const std::string whole = Read(media_ + "default/toolbar.bmp");
      fs::WriteFileAtomically(media_ + "Broken/toolbar.bmp", whole.substr(0, 100));
      fs::WriteFileAtomically(media_ + "Broken/toolbar_rollover.bmp", "GIF89a is not what this is\n");
      // A BMP header with a height of 0 and no pixels.
      std::string caption = Read(media_ + "default/captionbar.bmp").substr(0, 54);
      for (int i = 22; i < 26; ++i) caption[i] = 0;
      fs::WriteFileAtomically(media_ + "Broken/captionbar.bmp", caption);
      fs::WriteFileAtomically(media_ + "Broken/config.ini",
                              "[Colors]\nToolBarBack=green\nFoldersBack=12,34\nButtonBack=\xff\xfe\n"
                              "ToolBarText=300,-1,1000\n[Fonts]\nToolbarWeight=-99999\nToolbarFace=\x01\x02\n"
                              "[Margins]\nButtonsTop=zz\nButtonsLeft=--\nButtonsBottom=70000\nFoldersTop=1e9\n"
                              "[Misc]\nFancyWindows=maybe\n");
    }
  }

  // --- the screen ----------------------------------------------------------------------

  // Takes the whole screen into shot_ (kept as ui_scheme_MODE_N.png).
  bool Snap() {
    main_->Update();
    const std::string file = shots_ + "/ui_scheme_" + mode_ + "_" + std::to_string(++shotCount_) + ".png";
    if (std::system(("import -window root '" + file + "'").c_str()) != 0) return false;
    return shot_.LoadFile(wxString::FromUTF8(file.c_str()));
  }
  Rgb At(wxWindow* window, wxPoint point) const {
    if (!window || !shot_.IsOk()) return "none";
    const wxPoint at = window->ClientToScreen(point);
    if (!wxRect(shot_.GetSize()).Contains(at)) return "off screen";
    return std::to_string(shot_.GetRed(at.x, at.y)) + "," + std::to_string(shot_.GetGreen(at.x, at.y)) + "," +
           std::to_string(shot_.GetBlue(at.x, at.y));
  }
  // Every colour inside the picture of the toolbar button with the command.
  std::set<Rgb> PictureColours(int command) const {
    std::set<Rgb> colours;
    CButtonStrip* strip = main_->Toolbar();
    const auto& entries = strip->Entries();
    for (size_t i = 0; i < entries.size(); ++i) {
      if (entries[i].command != command) continue;
      const vyr::StripRect r = strip->Model().ImageRect(static_cast<int>(i));
      for (int y = r.y; y < r.y + r.height; ++y)
        for (int x = r.x; x < r.x + r.width; ++x) colours.insert(At(strip, {x, y}));
    }
    return colours;
  }
  // The toolbar's ground right of its last button.
  Rgb ToolbarGround() const {
    CButtonStrip* strip = main_->Toolbar();
    return At(strip, {strip->GetClientSize().x - 3, strip->GetClientSize().y / 2});
  }
  // The channel column's ground halfway down, left of its texts; the folder
  // strip's just above the page pane's right end.
  Rgb ChannelGround() const {
    wxWindow* bar = main_->ChannelBar();
    return At(bar, {3, bar->GetClientSize().y / 2});
  }
  Rgb FolderGround() const {
    wxWindow* pane = main_->Pane();
    return At(pane, {pane->GetClientSize().x - 5, -8});
  }

  // What differs from the expected look, checked on a fresh screenshot.
  std::string Look(const Rgb& ground, const Rgb& picture, const Rgb& notPicture, const Rgb& column,
                   const Rgb& folders = "") {
    if (!Snap()) return "no screenshot (ImageMagick's import, Debian package imagemagick)";
    std::string problems;
    auto expect = [&](const std::string& what, const Rgb& seen, const Rgb& want) {
      if (seen != want) problems += " " + what + " " + seen + " (want " + want + ")";
    };
    expect("toolbar ground", ToolbarGround(), ground);
    const std::set<Rgb> home = PictureColours(kCmdHome);
    if (!home.count(picture)) problems += " the Home picture lacks " + picture;
    if (!notPicture.empty() && home.count(notPicture)) problems += " the Home picture still has " + notPicture;
    if (!column.empty()) expect("channel column", ChannelGround(), column);
    if (!folders.empty()) expect("folder strip", FolderGround(), folders);
    return problems;
  }

  bool StartPageShown() const {
    return main_->GetTitle() == "Start 6130 - Vyrelle" && !main_->Pane()->IsLoading();
  }

  // --- the checks ----------------------------------------------------------------------

  // Waits for ready (at most 30 s), then prints the verdict of check ("" passed).
  void Expect(const std::string& name, const std::function<bool()>& ready,
              const std::function<std::string()>& check) {
    const std::string problem = vyr::test::PumpUntil(ready, 30000) ? check() : "timed out";
    std::printf("%s %s%s%s\n", problem.empty() ? "ok" : "FAIL", name.c_str(), problem.empty() ? "" : ":",
                problem.c_str());
    std::fflush(stdout);
    failures_ += !problem.empty();
  }

  void RunChecks() {
    const auto startPage = [this] { return StartPageShown(); };
    const auto userdir = [this] { return app_->GetString("misc", "userdir", ""); };
    if (mode_ == "switch") {
      Expect("the window starts with the default look", startPage,
             [this] { return Look("243,244,246", "45,55,72", "", "236,239,243", "232,236,241"); });
      // The look-and-feel dialog's confirm step, then what its caller does.
      vyr::LookChoice choice;
      choice.scheme = "Midnight";
      choice.fancyWindows = vyr::SchemeFancyWindows(*app_, "Midnight");
      if (vyr::ConfirmLookChoice(*app_, boxes_, choice, false) == vyr::LookOutcome::Switched)
        ApplyCurrentScheme(*app_);
      Expect("switching to Midnight redraws toolbar, pictures and channel bar in its colours", startPage,
             [this] { return Look("30,34,48", "216,222,233", "45,55,72", "35,40,56", "38,43,59"); });
    } else if (mode_ == "import") {
      Expect("a package to open is imported and applied while the start page shows",
             [&] { return StartPageShown() && userdir() == "Ocean"; },
             [this]() -> std::string {
               for (const std::string& url : documents_)
                 if (url.find("vyrscheme") != std::string::npos) return "the package was shown: " + url;
               if (!vyr::platform::FileExists(media_ + "Ocean/toolbar.bmp")) return "no media/Ocean";
               return Look("200,100,50", "216,222,233", "45,55,72", "");
             });
      boxes_.seen.clear();
      main_->OpenAddress(server_ + "/files/Ocean.vyrscheme", false, true);
      Expect("a package handed over from the server asks for a new name when taken",
             [&] { return vyr::platform::FileExists(media_ + "Ocean2/config.ini") && userdir() == "Ocean2"; },
             [this]() -> std::string {
               if (named_ != 1) return "the name dialog came " + std::to_string(named_) + " times";
               if (boxes_.seen.size() != 2) return std::to_string(boxes_.seen.size()) + " boxes";
               return StartPageShown() ? "" : "the page changed";
             });
    } else if (mode_ == "own") {
      Expect("a scheme of one toolbar picture shows it, the rest from default", startPage,
             [this]() -> std::string {
               std::string problems = Look("243,244,246", "0,160,80", "45,55,72", "236,239,243", "232,236,241");
               // Back is disabled on the first page: default's disabled picture.
               if (!PictureColours(kCmdBack).count("160,168,176")) problems += " Back not default's";
               return problems;
             });
    } else if (mode_ == "damaged") {
      Expect("damaged pictures and garbage values fall back, the frame stays whole", startPage,
             [this]() -> std::string {
               // Unreadable colours take the defaults of the key table:
               // ToolBarBack 0xA0BEBE, ButtonBack 0xA2C0C0, FoldersBack 0x649696.
               std::string problems = Look("190,190,160", "200,0,120", "", "192,192,162", "150,150,100");
               if (!main_->Toolbar()->IsShown() || main_->Toolbar()->GetSize().y < 24)
                 problems += " the toolbar lost its height";
               if (!main_->Pane()->IsShown() || main_->Pane()->GetSize().y < 200)
                 problems += " the page pane is squeezed";
               return problems;
             });
    }
  }

  // The name dialog of a taken package name: "Ocean2", then OK.
  void AnswerNameDialog() {
    for (wxWindow* window : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<CSchemeNameDlg*>(window);
      if (!dialog || !dialog->IsModal() || !dialog->IsShownOnScreen() || answered_.count(dialog)) continue;
      answered_.insert(dialog);
      ++named_;
      dynamic_cast<wxTextCtrl*>(dialog->FindWindow("name"))->SetValue("Ocean2");
      wxCommandEvent ok(wxEVT_BUTTON, wxID_OK);
      ok.SetEventObject(dialog->FindWindow(wxID_OK));
      dialog->FindWindow(wxID_OK)->GetEventHandler()->AddPendingEvent(ok);
    }
  }

  std::string mode_, server_, files_, shots_, media_;
  AnsweringBoxes boxes_;
  vyr::SilentSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  std::vector<std::string> documents_;
  std::set<wxWindow*> answered_;
  int named_ = 0;
  wxImage shot_;
  int shotCount_ = 0;
  int failures_ = 0;
  wxTimer dialogs_;
};

}  // namespace

wxIMPLEMENT_APP_NO_MAIN(SchemeWindowApp);

int main(int argc, char** argv) {
  // Pages on a virtual display are drawn without a GPU.
  setenv("WEBKIT_DISABLE_COMPOSITING_MODE", "1", 0);
  return wxEntry(argc, argv);
}

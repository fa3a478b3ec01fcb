// The main window's look read back from the screen, one run per MODE:
// switch (default to Midnight), import (a .vyrscheme opened at start), own (a
// scheme holding only toolbar.bmp), damaged (broken pictures and config.ini).
// usage: main_window_scheme_ui MODE SHIPPED_DATA SERVER_URL FILES_DIR SHOTS
#include <map>
#include <set>

#include <wx/evtloop.h>

#include "app/data_seeding.h"
#include "net/windows/download_progress_dlg.h"
#include "platform/file_system.h"
#include "platform/windows_dir.h"
#include "schemes/scheme_choice.h"
#include "schemes/windows/scheme_import.h"
#include "tools/zip_builder.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/skinned_menu_bar.h"
#include "xtest_input.h"  // last: the X headers' macros would spoil the names above

namespace {
using Rgb = std::string;  // "r,g,b"

// A toolbar picture of 16 cells, 24 x 24, all of one colour, as a BMP.
void WriteSolidToolbar(const std::string& path, unsigned char r, unsigned char g, unsigned char b) {
  vyr::test::SolidStrip(path, std::vector<wxColour>(16, wxColour(r, g, b)), 24, 24);
}

class SchemeWindowApp : public wxApp {
 public:
  bool OnInit() override {
    if (argc != 6) return false;
    mode_ = argv[1].utf8_string(), shipped_ = argv[2].utf8_string(), server_ = argv[3].utf8_string();
    files_ = argv[4].utf8_string(), shots_ = argv[5].utf8_string();
    vyr::platform::CreateDirectories(shots_);  // a picture that cannot be saved would ask in a box
    vyr::test::InitWindowTest();
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    app_ = std::make_unique<vyr::Application>(vyr::platform::GetWindowsDirectory(), boxes_, sounds_);
    vyr::SeedDataRoot(shipped_, app_->Directories());
    media_ = app_->GetDataDirectory("media", false);
    WriteProfile();
    PrepareSchemes();
    app_->LoadStartupSettings();
    main_ = vyr::test::StartMainWindow(*app_, mode_ == "import" ? LocalPackage() : std::string());
    main_->SetOnDocumentComplete([this](const std::string& url) { documents_.push_back(url); });
    RunWhenOutsideDialogs();
    return true;
  }

  void RunWhenOutsideDialogs() {
    start_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
      if (wxEventLoopBase::GetActive() != GetMainLoop()) return;
      start_.Stop();
      CallAfter([this] {
        if (wxEventLoopBase::GetActive() != GetMainLoop()) {
          start_.Start(50);
          return;
        }
        RunChecks();
        vyr::test::ExitWithVerdict();
      });
    });
    start_.Start(50);
  }

 private:
  wxTimer start_;

  // The start page: a page of the test server with a title to wait for.
  std::string StartPage() const { return vyr::test::TitledPage(server_, "Start 6130", "start"); }

  // The package as `vyrelle FILE` hands it to the window: a file address.
  std::string LocalPackage() const { return "file://" + files_ + "/Ocean.vyrscheme"; }

  void WriteProfile() {
    vyr::test::WriteWindowProfile(*app_, server_, StartPage(), wxRect(60, 40, 1000, 720));
    app_->WriteInt("Startup", "KeepAlive", 1);
    app_->WriteString("misc", "userdir", mode_ == "own" ? "Plain" : mode_ == "damaged" ? "Broken" : "default");
  }

  // A picture of the shipped scheme, read here and not through the scheme art.
  wxImage ShippedPicture(const std::string& scheme, const std::string& file) const {
    return wxImage(wxString::FromUTF8(shipped_ + "/media/" + scheme + "/" + file), wxBITMAP_TYPE_BMP);
  }

  void PrepareSchemes() {
    namespace fs = vyr::platform;
    if (mode_ == "import") {
      // Ocean: an orange toolbar ground and Midnight's pictures.
      vyr::test::WriteZip(files_ + "/Ocean.vyrscheme",
                          {{"config.ini", "[Colors]\nToolBarBack=200,100,50\n"},
                           {"toolbar.bmp", vyr::test::ReadFile(media_ + "Midnight/toolbar.bmp")}});
    } else if (mode_ == "own") {
      fs::CreateDirectories(media_ + "Plain");
      WriteSolidToolbar(media_ + "Plain/toolbar.bmp", 0, 160, 80);
    } else if (mode_ == "damaged") {
      fs::CreateDirectories(media_ + "Broken");
      WriteSolidToolbar(media_ + "default/toolbar.bmp", 200, 0, 120);
      const std::string whole = vyr::test::ReadFile(media_ + "default/toolbar.bmp");
      fs::WriteFileAtomically(media_ + "Broken/toolbar.bmp", whole.substr(0, 100));
      fs::WriteFileAtomically(media_ + "Broken/toolbar_rollover.bmp", "GIF89a is not what this is\n");
      // A BMP header with a height of 0 and no pixels.
      std::string caption = vyr::test::ReadFile(media_ + "default/captionbar.bmp").substr(0, 54);
      for (int i = 22; i < 26; ++i) caption[i] = 0;
      fs::WriteFileAtomically(media_ + "Broken/captionbar.bmp", caption);
      fs::WriteFileAtomically(media_ + "Broken/config.ini",
                              "[Colors]\nToolBarBack=green\nFoldersBack=12,34\nButtonBack=\xff\xfe\n"
                              "ToolBarText=300,-1,1000\n[Fonts]\nToolbarWeight=-99999\nToolbarFace=\x01\x02\n"
                              "[Margins]\nButtonsTop=zz\nButtonsLeft=--\nButtonsBottom=70000\nFoldersTop=1e9\n"
                              "[Misc]\nFancyWindows=maybe\n");
    }
  }

  // Takes the whole screen into shot_ (kept as ui_scheme_MODE_N.png).
  void Snap() {
    shot_ = vyr::test::SaveScreen(shots_ + "/ui_scheme_" + mode_ + "_" + std::to_string(++shotCount_) + ".png");
  }
  Rgb At(wxWindow* window, wxPoint point) const {
    return window ? vyr::test::Rgb(shot_, window->ClientToScreen(point)) : "none";
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
  Rgb ToolbarGround() const { const wxSize s = main_->Toolbar()->GetClientSize(); return At(main_->Toolbar(), {s.x - 3, s.y / 2}); }
  Rgb ChannelGround() const { return At(main_->ChannelBar(), {3, main_->ChannelBar()->GetClientSize().y / 2}); }
  Rgb FolderGround() const { return At(main_->Pane(), {main_->Pane()->GetClientSize().x - 5, -8}); }

  // What differs from the expected look, checked on a fresh screenshot.
  std::string Look(const Rgb& ground, const Rgb& picture, const Rgb& notPicture, const Rgb& column,
                   const Rgb& folders = "") {
    Snap();
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

  std::string ShowsCell(CButtonStrip* strip, int entry, const wxImage& cells, int cell) const {
    const vyr::StripRect r = strip->Model().ImageRect(entry);
    if (!cells.IsOk() || cells.GetWidth() < (cell + 1) * 24) return "no cell " + std::to_string(cell);
    if (r.width != 24 || r.height != 24) return "a picture place of " + std::to_string(r.width) + "x" +
                                                std::to_string(r.height);
    const wxPoint origin = strip->ClientToScreen(wxPoint(r.x, r.y));
    const Rgb ground = vyr::test::Rgb(shot_, origin);
    int wrong = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 24; ++x) {
        const wxPoint in(cell * 24 + x, y);
        const Rgb want = vyr::test::Rgb(cells, in);
        if (vyr::test::Rgb(shot_, origin + wxPoint(x, y)) != (want == "255,0,255" ? ground : want)) ++wrong;
      }
    return wrong ? std::to_string(wrong) + " of 576 pixels differ from cell " + std::to_string(cell) : "";
  }

  std::string ColumnPictures(const std::string& scheme) {
    static const std::map<std::string, int> kCell = {
        {"H O M E ", 0}, {"News", 26},   {"Weather", 25},       {"Sports", 9}, {"Money", 8},
        {"Travel", 6},   {"Shopping", 16}, {"Entertainment", 17}, {"Health", 12}, {"Sci/Tech", 24},
        {"Computing", 3}, {"Reference", 23}, {"Kids", 21}};
    const wxImage cells = ShippedPicture(scheme, "chanbar.bmp");
    CButtonStrip* column = main_->ChannelBar()->Column();
    shot_.GetSubImage(column->GetScreenRect())
        .SaveFile(wxString::FromUTF8(shots_ + "/ui_channel_column_" + scheme + ".png"), wxBITMAP_TYPE_PNG);
    std::string problems;
    int rows = 0;
    for (int i = 0; i < static_cast<int>(column->Entries().size()); ++i) {
      const std::string& name = column->Entries()[i].text;
      const vyr::StripRect r = column->Model().ImageRect(i);
      if (r.y < 0 || r.y + r.height > column->GetClientSize().y) continue;
      const auto cell = kCell.find(name);
      const std::string problem = cell == kCell.end() ? "not a shipped channel" : ShowsCell(column, i, cells, cell->second);
      if (!problem.empty()) problems += " " + name + ": " + problem + ";";
      ++rows;
    }
    if (rows < 8) problems += " only " + std::to_string(rows) + " rows on the screen";
    return problems;
  }

  std::string FramePictures(const std::string& scheme, const Rgb& menuBack) {
    Snap();
    const wxImage caption = ShippedPicture(scheme, "captionbar.bmp");
    if (!caption.IsOk() || caption.GetHeight() != 24) return "no captionbar.bmp";
    const wxPoint origin = main_->ClientToScreen(wxPoint(0, 0));
    int drawn = 0, wrong = 0;
    for (int y = 0; y < 24; ++y)
      for (int x = 0; x < 48; ++x) {
        const Rgb want = vyr::test::Rgb(caption, {x, y});
        if (want == "255,0,255") continue;
        ++drawn;
        if (vyr::test::Rgb(shot_, origin + wxPoint(x, y)) != want) ++wrong;
      }
    std::string problems;
    if (drawn < 500 || wrong > 0)
      problems += " " + std::to_string(wrong) + " of " + std::to_string(drawn) + " caption pixels differ";
    CSkinnedMenuBar* bar = main_->SkinnedMenuBar();
    if (!bar) return problems + " no menu bar";
    const std::vector<wxString> titles = bar->Titles();
    const std::vector<wxString> want = {"File", "Edit", "View", "Go", "Favorites", "Tools", "Help"};
    if (titles != want) problems += " menu titles differ";
    const Rgb ground = At(bar, {bar->GetClientSize().x - 5, bar->GetClientSize().y / 2});
    if (ground != menuBack) problems += " menu bar ground " + ground + " (want " + menuBack + ")";
    return problems;
  }

  // The info box's ground, inside its page's margin.
  Rgb InfoBoxGround() const { return At(main_->ChannelBar()->InfoBoxView(), {4, 4}); }
  bool InfoBoxShown() const {
    CBrowserWnd* box = main_->ChannelBar()->InfoBoxView();
    return !box->CurrentUrl().empty() && !box->IsLoading();
  }

  std::string FolderRollover() {
    CButtonStrip* folders = main_->FolderStrip();
    // H O M E, Your Home Page, Start Page, the program's folder, Help.
    if (!vyr::test::PumpUntil([&] { return folders->Entries().size() == 5 && StartPageShown(); }))
      return "the home channel is not in the folder strip";
    constexpr int kEntry = 3;
    const int image = folders->Entries()[kEntry].image;
    const wxRect rect = folders->EntryRect(kEntry);
    vyr::test::xtest::MoveTo(folders->ClientToScreen(wxPoint(rect.x + rect.width / 2, rect.y + rect.height / 2)));
    if (!vyr::test::PumpUntil([&] { return folders->Model().Hovered() == kEntry; }, 5000))
      return "the entry under the pointer is not the strip's hovered one";
    Snap();
    std::string problems;
    const wxImage normal = ShippedPicture("default", "folderbar.bmp");
    if (const std::string p = ShowsCell(folders, kEntry, ShippedPicture("default", "folderbar_rollover.bmp"), image);
        !p.empty())
      problems += " under the pointer: " + p;
    if (ShowsCell(folders, kEntry, normal, image).empty()) problems += " under the pointer the normal picture shows";
    vyr::test::xtest::MoveTo(main_->Pane()->GetScreenRect().GetPosition() + wxPoint(200, 200));
    if (!vyr::test::PumpUntil([&] { return folders->Model().Hovered() == -1; }, 5000)) problems += " still hovered";
    Snap();
    if (const std::string p = ShowsCell(folders, kEntry, normal, image); !p.empty())
      problems += " away from the pointer: " + p;
    return problems;
  }

  bool StartPageShown() const { return main_->GetTitle() == "Start 6130 - Vyrelle" && !main_->Pane()->IsLoading(); }

  // Waits for ready (at most 30 s), then checks the verdict ("" passed).
  void Expect(const std::string& name, const std::function<bool()>& ready,
              const std::function<std::string()>& check) {
    const std::string problem =
        vyr::test::PumpUntil(ready, 30000)
            ? check()
            : "timed out: the title is \"" + std::string(main_->GetTitle().utf8_str()) + "\"" +
                  (main_->Pane()->IsLoading() ? ", the page still loading" : "") + ", the scheme " +
                  app_->GetString("misc", "userdir", "") + ", " + std::to_string(boxes_.boxes.size()) + " boxes";
    vyr::test::Check(problem.empty(), name, problem);
  }

  void RunChecks() {
    const auto startPage = [this] { return StartPageShown(); };
    const auto userdir = [this] { return app_->GetString("misc", "userdir", ""); };
    if (mode_ == "switch") {
      struct Scheme {
        std::string name;
        Rgb ground, picture, notPicture, column, folders, menu;
      };
      for (const Scheme& s : {Scheme{"default", "243,244,246", "45,55,72", "", "236,239,243", "232,236,241",
                                     "250,250,251"},
                              Scheme{"Midnight", "30,34,48", "216,222,233", "45,55,72", "35,40,56", "38,43,59",
                                     "38,43,59"}}) {
        if (s.name == "Midnight") {
          // The look-and-feel dialog's confirm step, then what its caller does.
          vyr::LookChoice choice;
          choice.scheme = "Midnight";
          choice.fancyWindows = vyr::SchemeFancyWindows(*app_, "Midnight");
          if (vyr::ConfirmLookChoice(*app_, boxes_, choice, false) == vyr::LookOutcome::Switched)
            ApplyCurrentScheme(*app_, main_);
        }
        Expect(s.name + ": toolbar, its pictures and the channel bar in the scheme's colours", startPage,
               [&] { return Look(s.ground, s.picture, s.notPicture, s.column, s.folders); });
        Expect(s.name + ": each channel row shows its picture of chanbar.bmp, the info box the bar's ground",
               [&] { return StartPageShown() && InfoBoxShown(); },
               [&] {
                 Snap();
                 std::string problems = ColumnPictures(s.name);
                 if (InfoBoxGround() != s.column) problems += " info box ground " + InfoBoxGround();
                 return problems;
               });
        if (s.name == "default")
          Expect("the folder strip shows folderbar_rollover.bmp under the pointer, folderbar.bmp away from it",
                 startPage, [this] { return FolderRollover(); });
        Expect(s.name + ": the caption and the menu bar are drawn from the scheme", startPage,
               [&] { return FramePictures(s.name, s.menu); });
      }
    } else if (mode_ == "import") {
      Expect("a package to open is imported and applied while the start page shows",
             [&] { return StartPageShown() && userdir() == "Ocean"; },
             [this]() -> std::string {
               for (const std::string& url : documents_)
                 if (url.find("vyrscheme") != std::string::npos) return "the package was shown: " + url;
               if (!vyr::platform::FileExists(media_ + "Ocean/toolbar.bmp")) return "no media/Ocean";
               return Look("200,100,50", "216,222,233", "45,55,72", "");
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
               std::string problems = Look("190,190,160", "200,0,120", "", "192,192,162", "150,150,100");
               if (!main_->Toolbar()->IsShown() || main_->Toolbar()->GetSize().y < 24)
                 problems += " the toolbar lost its height";
               if (!main_->Pane()->IsShown() || main_->Pane()->GetSize().y < 200)
                 problems += " the page pane is squeezed";
               return problems;
             });
    }
  }

  std::string mode_, shipped_, server_, files_, shots_, media_;
  vyr::test::RecordingMessageBox boxes_;
  vyr::SilentSoundPlayer sounds_;
  std::unique_ptr<vyr::Application> app_;
  CVyr20Dlg* main_ = nullptr;
  std::vector<std::string> documents_;
  wxImage shot_;
  int shotCount_ = 0;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(SchemeWindowApp)

// The scheme art and the scheme dialogs on a virtual display, driven through
// their controls.
// usage: look_feel_ui SHIPPED_DATA_DIR HOME FILES_DIR SERVER_URL SCREENSHOT_DIR
#include <deque>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/clrpicker.h>
#include <wx/listbox.h>
#include <wx/settings.h>
#include <wx/textctrl.h>
#include <wx/timer.h>
#include <wx/uiaction.h>

#include "app/data_seeding.h"
#include "browser/windows/enhanced_browsing_dlg.h"
#include "browser/windows/startup_options_dlg.h"
#include "net/windows/download_progress_dlg.h"
#include "platform/file_system.h"
#include "schemes/windows/look_feel_dlg.h"
#include "schemes/windows/scheme_colours_dlg.h"
#include "schemes/windows/scheme_import.h"
#include "schemes/windows/scheme_name_dlg.h"
#include "tools/zip_builder.h"
#include "ui/windows/image_list.h"
#include "ui_test_support.h"

namespace {
using vyr::test::ReadFile;
bool Check(bool ok, const std::string& problem) { return vyr::test::Require(ok, problem); }

// Every list holds at least one cell of the stated width.
void CheckLists(const CSchemeArt& art, const std::string& where) {
  using vyr::SchemeImages;
  for (int i = 0; i < static_cast<int>(SchemeImages::Count); ++i) {
    const auto& spec = vyr::ImageSpec(static_cast<SchemeImages>(i));
    const auto list = art.Images(static_cast<SchemeImages>(i));
    if (Check(list && !list->IsEmpty(), where + ": " + spec.file + " is empty") && spec.cellWidth > 0)
      Check(list->CellSize().x == spec.cellWidth, where + ": " + spec.file + " cell width");
  }
  Check(art.Logo().IsOk(), where + ": no logo");
  Check(art.Images(SchemeImages::Toolbar)->Count() == 16, where + ": toolbar cells");
  Check(art.Images(SchemeImages::StatusAni)->Count() == 9, where + ": a resting picture and 8 animation frames");
}

// The art of the shipped default scheme and of an empty data root.
void CheckArt(vyr::Application& app) {
  const auto first = CSchemeArt::Load(app);
  CheckLists(*first, "shipped");
  Check(first->BackgroundBrush().GetColour() == wxColour(243, 244, 246), "background brush");
  Check(first->Colour(vyr::SchemeColour::CaptionBack) == wxColour(38, 70, 120), "caption colour");
  Check(first->Font(vyr::SchemeFont::Caption).GetWeight() == wxFONTWEIGHT_SEMIBOLD, "caption weight");
  Check(first->Font(vyr::SchemeFont::Toolbar).GetPointSize() == 9, "toolbar size");
  // A reload makes new art; the old one, still held, keeps its pictures.
  const auto toolbar = first->Images(vyr::SchemeImages::Toolbar);
  const auto second = CSchemeArt::Load(app);
  Check(second != first && CSchemeArt::Current() == second, "reload is current");
  Check(toolbar->Count() == 16 && toolbar->Cell(15).IsOk(), "held toolbar still whole");
  {
    vyr::test::TempDir empty;
    vyr::StderrMessageBox boxes;
    vyr::SilentSoundPlayer sounds;
    vyr::Application bare(empty.Path(), boxes, sounds);
    bare.LoadStartupSettings();
    CheckLists(*CSchemeArt::Load(bare), "compiled-in");
  }
  // A face this system lacks becomes the desktop's face.
  vyr::SchemeLook look = vyr::DefaultSchemeLook();
  look.fonts[static_cast<int>(vyr::SchemeFont::Sites)].face = "No Such Face At All";
  const wxString desktop = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetFaceName();
  Check(CSchemeArt(look).Font(vyr::SchemeFont::Sites).GetFaceName() == desktop, "face fall-back");
  CSchemeArt::Load(app);
}

void CheckChannelPictures(const std::string& shipped) {
  static const char* const kSubjects[] = {
      "no keyword", "knowledge", "help",     "computers",     "people", "local",      "travel",
      "business",   "money",     "sports",   "careers",       "education", "health",  "cars",
      "start",      "home",      "shopping", "entertainment", "family", "government", "internet",
      "kids",       "lifestyles", "reference", "sci/tech",    "weather", "news",      "today"};
  constexpr int kCells = static_cast<int>(std::size(kSubjects));
  // The column's ground (ButtonBack) of each scheme.
  const std::pair<std::string, wxColour> schemes[] = {{"default", wxColour(236, 239, 243)},
                                                      {"Midnight", wxColour(35, 40, 56)}};
  for (const auto& [scheme, ground] : schemes) {
    const std::string file = scheme + "/chanbar.bmp";
    const wxImage strip(wxString::FromUTF8(shipped + "/media/" + file), wxBITMAP_TYPE_BMP);
    if (!Check(strip.IsOk() && strip.GetHeight() == 24 && strip.GetWidth() >= 24 * kCells,
               file + " holds fewer than " + std::to_string(kCells) + " cells of 24 x 24"))
      continue;
    auto pixel = [&strip](int cell, int x, int y) {
      return wxColour(strip.GetRed(cell * 24 + x, y), strip.GetGreen(cell * 24 + x, y),
                      strip.GetBlue(cell * 24 + x, y));
    };
    for (int a = 0; a < kCells; ++a) {
      int drawn = 0;
      for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 24; ++x) drawn += pixel(a, x, y) != wxColour(255, 0, 255) && pixel(a, x, y) != ground;
      Check(drawn >= 60, file + ": the " + kSubjects[a] + " cell is nearly empty (" + std::to_string(drawn) +
                             " pixels drawn)");
      for (int b = a + 1; b < kCells; ++b) {
        int differ = 0;
        for (int y = 0; y < 24; ++y)
          for (int x = 0; x < 24; ++x) differ += pixel(a, x, y) != pixel(b, x, y);
        Check(differ >= 40, file + ": the " + kSubjects[a] + " and " + kSubjects[b] + " cells look alike (" +
                                std::to_string(differ) + " pixels differ)");
      }
    }
  }
}

template <typename T>
T* Named(wxWindow* dialog, const char* name) {
  return dynamic_cast<T*>(dialog->FindWindow(wxString::FromUTF8(name)));
}

void Press(wxWindow* dialog, const char* name, int id = wxID_ANY) {
  wxWindow* button = name ? Named<wxButton>(dialog, name) : dialog->FindWindow(id);
  if (Check(button != nullptr, std::string("no button ") + (name ? name : std::to_string(id))))
    vyr::test::Press(button);
}

std::string Selected(wxWindow* dialog) {
  auto* list = Named<wxListBox>(dialog, "schemes");
  return list->GetSelection() == wxNOT_FOUND ? "" : list->GetStringSelection().ToStdString();
}

std::string Background(CColoredDlg* dialog, const std::string& shot) {
  dialog->Update();
  wxPanel* panel = dialog->ContentPanel();
  return vyr::test::Rgb(vyr::test::SaveScreen(shot), panel->ClientToScreen(wxPoint(3, panel->GetClientSize().y - 3)));
}

class Script : public wxTimer {
 public:
  template <typename D>
  Script& Then(std::function<void(D*)> act) {
    steps_.push_back([act](wxDialog* d) {
      if (auto* mine = dynamic_cast<D*>(d)) return act(mine), true;
      return false;
    });
    return *this;
  }
  // Runs body (which opens the first dialog) with the steps played.
  template <typename F>
  auto Play(F body) {
    started_ = std::chrono::steady_clock::now();
    Start(50);
    auto result = body();
    Check(steps_.empty(), std::to_string(steps_.size()) + " scripted steps not reached");
    return result;
  }
  void Notify() override {
    if (std::chrono::steady_clock::now() - started_ > std::chrono::seconds(60)) {
      std::printf("FAIL: the dialogs did not come as scripted\n");
      std::fflush(stdout);
      std::_Exit(1);
    }
    wxDialog* top = nullptr;
    for (wxWindow* window : wxTopLevelWindows) {
      auto* dialog = dynamic_cast<wxDialog*>(window);
      if (dialog && dialog->IsModal() && dialog->IsShownOnScreen()) top = dialog;
    }
    settled_ = top && top == last_ ? settled_ + 1 : 0;
    last_ = top;
    if (steps_.empty() || settled_ < 4) return;  // a few ticks to be painted
    if (steps_.front()(top)) {
      steps_.pop_front();
      last_ = nullptr;
      if (steps_.empty()) Stop();
    }
  }

 private:
  std::deque<std::function<bool(wxDialog*)>> steps_;
  wxDialog* last_ = nullptr;
  int settled_ = 0;
  std::chrono::steady_clock::time_point started_;
};

class LookFeelApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 6) return false;
    vyr::test::InitWindowTest();
    vyr::net::SetDownloadDialogRunner(&CDownloadProgressDlg::RunRequest);
    return true;
  }

  void RunChecks() override {
    const std::string files = argv[3].ToStdString(), shots = argv[5].ToStdString();
    vyr::platform::CreateDirectories(shots);  // a picture that cannot be saved would ask in a box
    vyr::Application app(argv[2].ToStdString(), boxes_, sounds_);
    Check(vyr::SeedDataRoot(argv[1].ToStdString(), app.Directories()) > 30, "seeding");
    app.LoadStartupSettings();
    CheckArt(app);
    CheckChannelPictures(argv[1].ToStdString());
    const std::string media = app.GetDataDirectory("media", false);
    const std::string defaults = ReadFile(media + "default/config.ini");
    auto dialog = [&] { return RunLookAndFeelDialog(nullptr, app, nullptr); };

    // A new scheme, created in the dialog and switched to.
    Check(Script()
              .Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
                Check(Selected(d) == "default", "selected: " + Selected(d));
                const std::string back = Background(d, shots + "/ui_look_feel_default.png");
                Check(back == "243,244,246", "default background " + back);
                Press(d, "create");
              })
              .Then<CCreateSchemeDlg>([](CCreateSchemeDlg* d) {
                Named<wxTextCtrl>(d, "name")->SetValue("  Mine ");
                Press(d, nullptr, wxID_OK);
              })
              .Then<CLookFeelDlg>([](CLookFeelDlg* d) {
                Check(Selected(d) == "Mine", "selected after create: " + Selected(d));
                Press(d, nullptr, wxID_OK);
              })
              .Play(dialog),
          "switching to the new scheme reported no change");
    Check(app.GetString("misc", "userdir") == "Mine", "new scheme not current");
    ApplyCurrentScheme(app, nullptr);

    // Two of its colours customised: only those lines of the default's copy change.
    Check(Script()
              .Then<CLookFeelDlg>([](CLookFeelDlg* d) { Press(d, "colours"); })
              .Then<CSchemeColoursDlg>([](CSchemeColoursDlg* d) {
                Named<wxColourPickerCtrl>(d, "colour0")->SetColour(wxColour(10, 20, 30));
                Named<wxColourPickerCtrl>(d, "colour1")->SetColour(wxColour(250, 240, 230));
                Press(d, nullptr, wxID_OK);
              })
              .Then<CLookFeelDlg>([](CLookFeelDlg* d) { Press(d, nullptr, wxID_CANCEL); })
              .Play(dialog),
          "customised colours reported no change");
    std::string expected = defaults;
    expected.replace(expected.find("ToolBarBack=243,244,246"), 23, "ToolBarBack=10,20,30");
    expected.replace(expected.find("ToolBarText=45,55,72"), 20, "ToolBarText=250,240,230");
    Check(ReadFile(media + "Mine/config.ini") == expected, "Mine/config.ini:\n" + ReadFile(media + "Mine/config.ini"));
    Check(ReadFile(media + "default/config.ini") == defaults, "default/config.ini changed");
    ApplyCurrentScheme(app, nullptr);

    // The switch to the dark scheme, seen in the dialog opened again.
    Check(Script()
              .Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
                const std::string back = Background(d, shots + "/ui_look_feel_custom.png");
                Check(back == "10,20,30", "customised background " + back);
                auto* list = Named<wxListBox>(d, "schemes");
                list->SetSelection(list->FindString("Midnight", true));
                wxCommandEvent picked(wxEVT_LISTBOX, list->GetId());
                picked.SetString("Midnight");
                list->GetEventHandler()->ProcessEvent(picked);
                Check(Named<wxCheckBox>(d, "fancy")->GetValue(), "Midnight's frame setting not shown");
                Press(d, nullptr, wxID_OK);
              })
              .Play(dialog),
          "switching to Midnight reported no change");
    ApplyCurrentScheme(app, nullptr);
    Script()
        .Then<CLookFeelDlg>([&](CLookFeelDlg* d) {
          const std::string back = Background(d, shots + "/ui_look_feel_midnight.png");
          Check(back == "30,34,48" && d->IsFancy(), "Midnight background " + back);
          Press(d, nullptr, wxID_CANCEL);
        })
        .Play(dialog);

    vyr::platform::CreateDirectories(media + "Ocean");
    const std::string toolbar = ReadFile(media + "Midnight/toolbar.bmp");
    vyr::test::WriteZip(files + "/Ocean.vyrscheme",
                        {{"config.ini", "[Colors]\nToolBarBack=200,100,50\n"}, {"toolbar.bmp", toolbar}});
    std::vector<std::string> offered;
    auto rename = [&](const char* name) {
      return [&offered, name](CSchemeNameDlg* d) {
        offered.push_back(d->Name());
        Named<wxTextCtrl>(d, "name")->SetValue(name);
        Press(d, nullptr, wxID_OK);
      };
    };
    const std::string dir =
        Script().Then<CSchemeNameDlg>(rename("X ")).Then<CSchemeNameDlg>(rename("Ocean2 ")).Play([&] {
          return RunSchemeImport(app, nullptr, argv[4].ToStdString() + "/files/Ocean.vyrscheme");
        });
    Check(dir == media + "Ocean2/", "unpacked into " + dir);
    Check(offered == std::vector<std::string>{"Ocean", "Ocean"}, "name dialog not filled with Ocean");
    Check(ReadFile(media + "Ocean2/toolbar.bmp") == toolbar, "toolbar.bmp not unpacked");
    Check(app.GetString("misc", "userdir") == "Ocean2" &&
              CSchemeArt::Current()->Colour(vyr::SchemeColour::ToolBarBack) == wxColour(200, 100, 50),
          "imported scheme not applied");

    auto click = [](wxWindow* box) {
      wxUIActionSimulator pointer;
      pointer.MouseMove(box->GetScreenRect().GetPosition() + wxPoint(8, box->GetSize().y / 2));
      pointer.MouseClick();
    };
    app.WriteInt("Startup", "ShowSplash", 0);
    app.WriteInt("Startup", "ShowTooltips", 1);
    Script()
        .Then<CColoredDlg>([&](CColoredDlg* d) {
          Check(!Named<wxCheckBox>(d, "ShowSplash")->GetValue() && !Named<wxCheckBox>(d, "CheckMail")->GetValue() &&
                    Named<wxCheckBox>(d, "ShowTooltips")->GetValue(),
                "the start-up options do not show the stored values");
          click(Named<wxCheckBox>(d, "CheckMail"));
        })
        .Then<CColoredDlg>([](CColoredDlg* d) {
          Check(Named<wxCheckBox>(d, "CheckMail")->GetValue(), "the click did not tick the mail check");
          Press(d, nullptr, wxID_OK);
        })
        .Play([&] { return RunStartupOptionsDialog(nullptr, app); });
    Check(app.GetInt("Startup", "CheckMail", -1) == 1 && app.GetInt("Startup", "ShowSplash", -1) == 0 &&
              app.GetInt("Startup", "ShowTooltips", -1) == 1 && app.GetInt("Startup", "CheckDefaultBrowser", -1) == 1,
          "start-up options stored wrongly");
    Script()
        .Then<CColoredDlg>([&](CColoredDlg* d) { click(Named<wxCheckBox>(d, "web-search")); })
        .Then<CColoredDlg>([](CColoredDlg* d) {
          Check(!Named<wxCheckBox>(d, "web-search")->GetValue(), "the click did not clear the web search");
          Press(d, nullptr, wxID_OK);
        })
        .Play([&] { return RunEnhancedBrowsingDialog(nullptr, app, {}); });
    const auto flags = app.SmarterBrowsingFlags();
    Check(flags.autocomplete && flags.realNames && !flags.webSearch &&
              app.GetInt("SmarterBrowsing", "WebSearch", -1) == 0 && app.GetInt("SmarterBrowsing", "RealNames", -1) == 1,
          "enhanced-browsing options stored wrongly");
    Script()
        .Then<CColoredDlg>([&](CColoredDlg* d) {
          click(Named<wxCheckBox>(d, "ShowWelcome"));
          Press(d, nullptr, wxID_CANCEL);
        })
        .Play([&] { return RunStartupOptionsDialog(nullptr, app); });
    Check(app.GetInt("Startup", "ShowWelcome", -1) == 0, "Cancel stored the start-up options");
    vyr::net::SetDownloadDialogRunner(nullptr);
  }

  vyr::test::RecordingMessageBox boxes_;
  vyr::SilentSoundPlayer sounds_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(LookFeelApp)

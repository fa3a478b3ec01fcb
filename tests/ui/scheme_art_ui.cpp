// Loads the scheme art on a virtual display: from a data root seeded with
// the shipped files, then from an empty data root (the compiled-in pictures),
// and checks that every image list has cells of its width, that the colours
// and fonts come from the scheme, and that a reload leaves the art an open
// window still holds untouched. Prints one line per failed check and exits 0
// when there is none.
//
// usage: scheme_art_ui SHIPPED_DATA_DIR SEEDED_HOME EMPTY_HOME
#include <wx/settings.h>

#include "app/data_seeding.h"
#include "ui/windows/image_list.h"
#include "ui_test_support.h"

namespace {

using vyr::SchemeImages;

bool Check(bool ok, const std::string& what) { return vyr::test::Require(ok, what); }

// Every list holds at least one cell of the stated width.
void CheckLists(const CSchemeArt& art, const std::string& where) {
  for (int i = 0; i < static_cast<int>(SchemeImages::Count); ++i) {
    const auto& spec = vyr::ImageSpec(static_cast<SchemeImages>(i));
    const auto list = art.Images(static_cast<SchemeImages>(i));
    Check(list && !list->IsEmpty(), where + ": " + spec.file + " is empty");
    if (list && spec.cellWidth > 0 && !list->IsEmpty()) {
      Check(list->CellSize().x == spec.cellWidth, where + ": " + spec.file + " cell width");
    }
  }
  Check(art.Logo().IsOk(), where + ": no logo");
  Check(art.Images(SchemeImages::Toolbar)->Count() == 16, where + ": toolbar cells");
  Check(art.Images(SchemeImages::StatusAni)->Count() == 8, where + ": animation frames");
}

class SchemeArtApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 4) return false;
    wxInitAllImageHandlers();
    return true;
  }

  void RunChecks() override {
    const std::string shipped = argv[1].ToStdString();
    {
      vyr::Application app(argv[2].ToStdString(), boxes_, sounds_);
      Check(vyr::SeedDataRoot(shipped, app.Directories()) > 30, "seeding copied too little");
      app.LoadStartupSettings();
      const auto first = CSchemeArt::Load(app);
      CheckLists(*first, "shipped");
      Check(first->BackgroundBrush().GetColour() == wxColour(243, 244, 246), "background brush");
      Check(first->Colour(vyr::SchemeColour::CaptionBack) == wxColour(38, 70, 120), "caption colour");
      Check(first->Font(vyr::SchemeFont::Caption).GetWeight() == wxFONTWEIGHT_SEMIBOLD, "caption weight");
      Check(first->Font(vyr::SchemeFont::Toolbar).GetPointSize() == 9, "toolbar size");

      // A reload makes new art; the old one, still held, keeps its pictures.
      const auto toolbar = first->Images(SchemeImages::Toolbar);
      const auto second = CSchemeArt::Load(app);
      Check(second != first && CSchemeArt::Current() == second, "reload is current");
      Check(toolbar->Count() == 16 && toolbar->Cell(15).IsOk(), "held toolbar still whole");
    }
    {
      vyr::Application app(argv[3].ToStdString(), boxes_, sounds_);
      app.LoadStartupSettings();
      CheckLists(*CSchemeArt::Load(app), "compiled-in");
    }
    // A face this system lacks becomes the desktop's face.
    vyr::SchemeLook look = vyr::DefaultSchemeLook();
    look.fonts[static_cast<int>(vyr::SchemeFont::Sites)].face = "No Such Face At All";
    const wxString desktop = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).GetFaceName();
    Check(CSchemeArt(look).Font(vyr::SchemeFont::Sites).GetFaceName() == desktop, "face fall-back");
    std::printf("%d failures\n", vyr::test::gUiFailures);
  }

  vyr::StderrMessageBox boxes_;
  vyr::SilentSoundPlayer sounds_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(SchemeArtApp)

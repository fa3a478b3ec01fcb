// Skinned dialogs on a virtual display, under the real pointer: a fancy
// dialog drawn from a scheme whose caption and border cells each have their
// own colour (pixels sampled on the screen), its close button closing it, a
// drag in the caption moving it; a plain dialog with the system frame and the
// scheme's background; a scheme with broken pictures and garbage button
// values still giving a whole frame; the question box's check box state in
// and out. Prints one line per failed check; exits 0 when there is none.
//
// usage: colored_dlg_ui WORK_DIR BUILT_IN_CAPTIONBAR.png SCREENSHOT.png
#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/ffile.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/windows/wx_services.h"
#include "ui/windows/colored_dlg.h"
#include "ui_test_support.h"

namespace {

using vyr::SchemeImages;
using vyr::test::Screen;

bool Check(bool ok, const std::string& what) { return vyr::test::Require(ok, what); }
bool YieldUntil(const std::function<bool()>& done) { return vyr::test::PumpUntil(done, 5000); }

wxColour PixelOf(const wxImage& image, const wxPoint& p) {
  return {image.GetRed(p.x, p.y), image.GetGreen(p.x, p.y), image.GetBlue(p.x, p.y)};
}

// Waits (at most five seconds) for the pixel at the point to have the
// colour; the point is asked again each time, as a window manager may still
// be placing the window.
void CheckPixel(const std::function<wxPoint()>& at, const wxColour& expected,
                const std::string& what, wxImage* shot = nullptr) {
  wxImage screen;
  YieldUntil([&] { return PixelOf(screen = Screen(), at()) == expected; });
  if (shot) *shot = screen;
  const wxColour got = PixelOf(screen, at());
  Check(got == expected, what + " is " + got.GetAsString(wxC2S_CSS_SYNTAX).ToStdString());
}

std::shared_ptr<const CSchemeArt> MakeArt(bool fancy, const std::string& caption,
                                          const std::string& borders) {
  vyr::SchemeLook look = vyr::DefaultSchemeLook();
  look.fancyWindows = fancy;
  look.colours[static_cast<int>(vyr::SchemeColour::ToolBarBack)] = 0x405060;  // 96,80,64
  look.imageFiles[static_cast<int>(SchemeImages::CaptionBar)] = caption;
  look.imageFiles[static_cast<int>(SchemeImages::Borders)] = borders;
  return std::make_shared<const CSchemeArt>(look);
}

// Where the window is on the screen, asked of the X server: the toolkit's
// cached position of a top-level window is relative to the window manager's
// frame once it is reparented.
wxPoint Origin(wxWindow* w) { return w->ClientToScreen(wxPoint(0, 0)); }

// A dialog with one line of text and a button.
CColoredDlg* OpenDialog(const char* title) {
  auto* dlg = new CColoredDlg(nullptr, title);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(dlg->ContentPanel(), wxID_ANY, "Some text of the dialog"), 0, wxALL, 20);
  sizer->Add(new wxButton(dlg->ContentPanel(), wxID_OK), 0, wxALL, 20);
  dlg->ContentPanel()->SetSizer(sizer);
  dlg->FinishLayout();
  dlg->Move(200, 150);
  dlg->Show();
  YieldUntil([dlg] { return dlg->IsShownOnScreen() && Origin(dlg).x > 0; });
  return dlg;
}

bool Decorated(wxWindow* w) { return gtk_window_get_decorated(GTK_WINDOW(w->GetHandle())); }

class ColoredDlgApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 4) return false;
    wxInitAllImageHandlers();
    return true;
  }

  void RunChecks() override {
    const std::string work = argv[1].ToStdString();
    const wxColour red(200, 0, 0), green(0, 160, 0), blue(0, 0, 200), grey(90, 90, 90);
    const wxColour left(250, 200, 0), right(0, 200, 250), bottom(200, 0, 200);
    // Caption cells of 48 x 30 and border cells of 10 x 10, one colour each.
    vyr::test::SolidStrip(work + "/captionbar.bmp", {red, green, blue, grey, grey, grey}, 48, 30);
    vyr::test::SolidStrip(work + "/borders.bmp", {grey, grey, grey, left, right, grey, bottom, grey}, 10, 10);
    const wxColour back(96, 80, 64);
    wxUIActionSimulator pointer;

    // The fancy dialog: undecorated, 30-pixel caption, the cells in place.
    CSchemeArt::SetCurrent(MakeArt(true, work + "/captionbar.bmp", work + "/borders.bmp"));
    CColoredDlg* fancy = OpenDialog("Fancy");
    Check(fancy->IsFancy() && !Decorated(fancy) && fancy->CaptionHeight() == 30, "fancy frame");
    const wxSize size = fancy->GetSize();
    const wxSize inner = fancy->ContentPanel()->GetSize();
    Check(size.x == inner.x + 20 && size.y == inner.y + 40, "grown by the frame");
    wxImage shot;
    CheckPixel([fancy] { return Origin(fancy) + wxPoint(12, 31); }, back,
               "scheme background inside", &shot);
    shot.SaveFile(argv[3], wxBITMAP_TYPE_PNG);
    const wxPoint o = Origin(fancy);
    const struct { wxPoint at; wxColour colour; const char* what; } samples[] = {
        {{5, 2}, red, "caption left end"},        {{size.x / 2, 2}, green, "caption middle"},
        {{size.x - 5, 2}, blue, "caption right end"}, {{4, size.y / 2}, left, "left border"},
        {{size.x - 4, size.y / 2}, right, "right border"}, {{size.x / 2, size.y - 4}, bottom, "bottom border"},
    };
    for (const auto& s : samples) {
      const wxColour got = PixelOf(shot, o + s.at);
      Check(got == s.colour, std::string(s.what) + " is " + got.GetAsString(wxC2S_CSS_SYNTAX).ToStdString());
    }

    // A drag in the caption, far from the buttons, moves the window.
    pointer.MouseMove(o + wxPoint(40, 12));
    pointer.MouseDown();
    for (int step = 1; step <= 10; ++step) pointer.MouseMove(o + wxPoint(40 + 8 * step, 12 + 5 * step));
    pointer.MouseUp();
    Check(YieldUntil([&] { return Origin(fancy) == o + wxPoint(80, 50); }),
          "caption drag moved to " + std::to_string(Origin(fancy).x - o.x) + "," +
              std::to_string(Origin(fancy).y - o.y));
    CheckPixel([&] { return o + wxPoint(80 + size.x / 2, 50 + 2); }, green, "moved caption on the screen");

    // The close button closes it.
    const wxRect close = fancy->CloseButtonRect();
    Check(!close.IsEmpty(), "close button placed");
    pointer.MouseMove(Origin(fancy) + close.GetPosition() + close.GetSize() / 2);
    pointer.MouseClick();
    Check(YieldUntil([fancy] { return !fancy->IsShown(); }), "close button did not close");
    fancy->Destroy();

    // A plain dialog: the system's frame, the scheme's background.
    CSchemeArt::SetCurrent(MakeArt(false, work + "/captionbar.bmp", work + "/borders.bmp"));
    CColoredDlg* plain = OpenDialog("Plain");
    Check(!plain->IsFancy() && Decorated(plain), "plain frame");
    CheckPixel([plain] { return plain->ContentPanel()->GetScreenPosition() + wxPoint(5, 5); }, back,
               "plain background");
    plain->Destroy();

    // Broken pictures and garbage placements: the compiled-in caption.
    wxFFile(work + "/zero.bmp", "wb").Write(std::string("BM\x3e\0\0\0\0\0\0\0\x3e\0\0\0\x28\0\0\0"
                                                          "\x20\0\0\0\0\0\0\0\1\0\x18\0", 30));
    vyr::test::SolidStrip(work + "/short.bmp", {left, right}, 10, 10);
    auto bad = MakeArt(true, work + "/zero.bmp", work + "/short.bmp");
    vyr::SchemeLook look = bad->Look();
    look.closeButton = {-40, -500, 99999, -3};
    look.fancy = {99999, -99999, -5, 24, true};
    CSchemeArt::SetCurrent(std::make_shared<const CSchemeArt>(look));
    CColoredDlg* broken = OpenDialog("Broken");
    const wxImage builtIn(argv[2]);
    Check(broken->IsFancy() && broken->CaptionHeight() == 24, "broken scheme: compiled-in caption");
    CheckPixel([broken] { return Origin(broken) + wxPoint(broken->GetSize().x / 2, 20); },
               PixelOf(builtIn, {60, 20}), "broken scheme: caption drawn");
    broken->Destroy();

    // The question box: the check box shows the state given and returns the
    // one the user left.
    CWxMessageBox boxes;
    int splashCloses = 0;
    boxes.SetCloseSplash([&] { ++splashCloses; });
    for (const bool given : {true, false}) {
      CallAfter([&pointer, given] {
        wxCheckBox* box = nullptr;
        YieldUntil([&] { return (box = wxDynamicCast(wxWindow::FindWindowByName("checkbox"), wxCheckBox)) &&
                             box->IsShownOnScreen() &&
                             static_cast<wxTopLevelWindow*>(wxGetTopLevelParent(box))->IsActive(); });
        Check(box && box->GetValue() == given, "check box state in");
        if (given) Screen().SaveFile(wxString(wxTheApp->argv[3]).BeforeLast('.') + "_question.png");
        if (!box) return;
        pointer.MouseMove(box->GetScreenRect().GetPosition() + wxPoint(8, box->GetSize().y / 2));
        pointer.MouseClick();
        YieldUntil([&] { return box->GetValue() != given; });
        auto* answer = wxWindow::FindWindowById(given ? wxID_NO : wxID_YES, wxGetTopLevelParent(box));
        pointer.MouseMove(answer->GetScreenRect().GetPosition() + answer->GetSize() / 2);
        pointer.MouseClick();
      });
      bool checked = given;
      const int result = boxes.Question("Do you wish to go on?", "A question", &checked);
      Check(checked == !given && result == (given ? vyr::IDNO : vyr::IDYES),
            "check box state out: " + std::to_string(checked) + " answer " + std::to_string(result));
    }
    Check(splashCloses == 2, "splash hook ran before each box");
  }
};

}  // namespace

VYR_WINDOW_TEST_MAIN(ColoredDlgApp)

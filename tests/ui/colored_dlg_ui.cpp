// Skinned dialogs and frames under the real pointer: colours sampled on the
// screen, moved, resized, zoomed and closed by their caption; a broken scheme.
// usage: colored_dlg_ui WORK_DIR BUILT_IN_CAPTIONBAR.png SCREENSHOT.png
#include <gtk/gtk.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/ffile.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/windows/wx_services.h"
#include "ui/windows/colored_dlg.h"
#include "ui/windows/skinned_menu_bar.h"
#include "ui_test_support.h"

namespace {
using vyr::SchemeImages;
using vyr::test::Screen;

bool Check(bool ok, const std::string& what) { return vyr::test::Require(ok, what); }
bool YieldUntil(const std::function<bool()>& done) { return vyr::test::PumpUntil(done, 5000); }

wxColour PixelOf(const wxImage& image, const wxPoint& p) {
  return {image.GetRed(p.x, p.y), image.GetGreen(p.x, p.y), image.GetBlue(p.x, p.y)};
}

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

wxPoint Origin(wxWindow* w) { return w->ClientToScreen(wxPoint(0, 0)); }

// A dialog with one line of text and a button.
CColoredDlg* OpenDialog(const char* title, bool resizable = false) {
  auto* dlg = new CColoredDlg(nullptr, title, resizable);
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

constexpr int kMenuCommand = 7001;

// A resizable frame with a menu bar of two menus, the later windows' shape.
CSkinnedFrame* OpenFrame(int* chosen) {
  auto* frame = new CSkinnedFrame(nullptr, "Frame", SkinnedWindowOptions{true, true, 0});
  frame->SetSkinnedMenu([] {
    std::vector<SkinnedMenu> menus;
    auto file = std::make_unique<wxMenu>();
    file->Append(kMenuCommand, "&Pick");
    menus.push_back({"&File", std::move(file)});
    menus.push_back({"&Help", std::make_unique<wxMenu>()});
    return menus;
  });
  frame->Bind(wxEVT_MENU, [chosen](wxCommandEvent& event) { *chosen = event.GetId(); });
  // Closing hides it, as a dialog's close does, so the checks can go on.
  frame->Bind(wxEVT_CLOSE_WINDOW, [frame](wxCloseEvent&) { frame->Hide(); });
  frame->SetSize(200, 150, 360, 260);
  frame->Show();
  YieldUntil([frame] { return frame->IsShownOnScreen() && Origin(frame).x > 0; });
  return frame;
}

void PickFirstItemSoon(wxUIActionSimulator& keys) {
  g_timeout_add(500, [](gpointer data) -> gboolean {
    auto* k = static_cast<wxUIActionSimulator*>(data);
    k->Char(WXK_DOWN);
    k->Char(WXK_RETURN);
    return G_SOURCE_REMOVE;
  }, &keys);
}

bool Decorated(wxWindow* w) { return gtk_window_get_decorated(GTK_WINDOW(w->GetHandle())); }

template <class Window>
void CheckSkinnedWindow(Window* w, const std::string& kind, wxUIActionSimulator& pointer,
                        const std::vector<std::pair<wxColour, const char*>>& parts, const char* screenshot) {
  Check(w->IsFancy() && !Decorated(w) && w->CaptionHeight() == 30, kind + ": fancy frame");
  const wxSize size = w->GetSize();
  wxImage shot;
  CheckPixel([w] { return Origin(w) + wxPoint(w->GetSize().x / 2, 2); }, parts[1].first,
             kind + ": caption middle", &shot);
  if (screenshot) shot.SaveFile(screenshot, wxBITMAP_TYPE_PNG);
  const wxPoint o = Origin(w);
  const wxPoint places[] = {{5, 2}, {size.x / 2, 2}, {size.x - 5, 2}, {4, size.y / 2}, {size.x - 4, size.y / 2},
                            {size.x / 2, size.y - 4}};
  for (size_t i = 0; i < parts.size(); ++i) {
    const wxColour got = PixelOf(shot, o + places[i]);
    Check(got == parts[i].first, kind + ": " + parts[i].second + " is " + got.GetAsString(wxC2S_CSS_SYNTAX).ToStdString());
  }

  auto drag = [&pointer](wxPoint from, wxPoint by) {
    pointer.MouseMove(from);
    pointer.MouseDown();
    for (int step = 1; step <= 10; ++step) pointer.MouseMove(from + wxPoint(by.x * step / 10, by.y * step / 10));
    pointer.MouseUp();
  };
  // A drag in the caption, far from the buttons, moves the window.
  drag(o + wxPoint(40, 12), {80, 50});
  Check(YieldUntil([&] { return Origin(w) == o + wxPoint(80, 50); }), kind + ": caption drag moves it");
  // The bottom-right corner grows it.
  const wxPoint moved = Origin(w);
  drag(moved + wxPoint(size.x - 3, size.y - 3), {60, 40});
  Check(YieldUntil([&] { return w->GetSize() == size + wxSize(60, 40); }), kind + ": corner drag grows it by 60x40");
  Check(Origin(w) == moved, kind + ": the resize kept the window's place");

  // Restore fills the work area; restore again gives the place back.
  using Part = typename Window::CaptionPart;
  const wxRect before(Origin(w), w->GetSize());
  const wxRect restore = w->CaptionButtonRect(Part::Restore);
  pointer.MouseMove(Origin(w) + restore.GetPosition() + restore.GetSize() / 2);
  pointer.MouseClick();
  const wxRect area = wxDisplay(0u).GetClientArea();
  Check(YieldUntil([&] { return w->IsZoomed() && w->GetSize() == area.GetSize(); }), kind + ": restore button zoomed");
  vyr::test::Pause(300);
  const wxRect zoomedRestore = w->CaptionButtonRect(Part::Restore);
  pointer.MouseMove(Origin(w) + zoomedRestore.GetPosition() + zoomedRestore.GetSize() / 2);
  pointer.MouseClick();
  Check(YieldUntil([&] { return !w->IsZoomed() && wxRect(Origin(w), w->GetSize()) == before; }),
        kind + ": restore button gave the place back");

  // The close button closes it.
  const wxRect close = w->CloseButtonRect();
  Check(!close.IsEmpty(), kind + ": close button placed");
  pointer.MouseMove(Origin(w) + close.GetPosition() + close.GetSize() / 2);
  pointer.MouseClick();
  Check(YieldUntil([w] { return !w->IsShown(); }), kind + ": close button did not close");
}

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
    const std::vector<std::pair<wxColour, const char*>> parts = {
        {red, "caption left end"}, {green, "caption middle"}, {blue, "caption right end"},
        {left, "left border"},     {right, "right border"},   {bottom, "bottom border"}};
    wxUIActionSimulator pointer;

    // The fancy dialog: undecorated, 30-pixel caption, grown by the frame.
    CSchemeArt::SetCurrent(MakeArt(true, work + "/captionbar.bmp", work + "/borders.bmp"));
    CColoredDlg* fancy = OpenDialog("Fancy", true);
    const wxSize inner = fancy->ContentPanel()->GetSize();
    Check(fancy->GetSize() == inner + wxSize(20, 40), "grown by the frame");
    CheckPixel([fancy] { return Origin(fancy) + wxPoint(12, 31); }, back, "scheme background inside");
    CheckSkinnedWindow(fancy, "dialog", pointer, parts, argv[3].c_str());
    fancy->Destroy();

    // A frame with a menu bar, drawn whatever FancyWindows says.
    CSchemeArt::SetCurrent(MakeArt(false, work + "/captionbar.bmp", work + "/borders.bmp"));
    int chosen = 0;
    CSkinnedFrame* frame = OpenFrame(&chosen);
    CSkinnedMenuBar* bar = frame->SkinnedMenuBar();
    Check(bar && bar->GetId() == kSkinnedMenuBarId && bar->GetPosition().y == 30 &&
              bar->Titles() == std::vector<wxString>{"File", "Help"},
          "frame: menu bar under the caption, at " + std::to_string(bar ? bar->GetPosition().y : -1));
    frame->Raise();
    PickFirstItemSoon(pointer);
    pointer.Char('f', wxMOD_ALT);
    Check(YieldUntil([&] { return chosen == kMenuCommand; }), "frame: Alt+F opened the menu");
    CheckSkinnedWindow(frame, "frame", pointer, parts, nullptr);
    frame->Destroy();

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

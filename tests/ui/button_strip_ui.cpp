// Drives a toolbar strip on a virtual display with the real pointer: the
// entry under the pointer is drawn in the rollover colour and its rollover
// sound plays once, a click sends the entry's command after the select
// sound, a disabled entry ignores the click. A column strip with the same
// entries stands beside it for the screenshot. Prints one line per failed
// check and exits 0 when there is none.
//
// usage: button_strip_ui SCREENSHOT.png
#include "platform/file_system.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui_test_support.h"

namespace {

using vyr::ButtonStripModel;

// Three 24 x 24 pictures in green, blue and yellow, each framed by two
// pixels of magenta that are not drawn.
std::shared_ptr<const CImageList> MakeImages() {
  wxImage picture(72, 24);
  picture.SetRGB(wxRect(0, 0, 72, 24), 255, 0, 255);
  const unsigned char fill[3][3] = {{0, 160, 0}, {0, 0, 200}, {220, 200, 0}};
  for (int i = 0; i < 3; ++i) picture.SetRGB(wxRect(i * 24 + 2, 2, 20, 20), fill[i][0], fill[i][1], fill[i][2]);
  return std::make_shared<const CImageList>(picture, 24);
}

class StripTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 2) return false;
    wxInitAllImageHandlers();
    // The scheme's two sounds exist, so the application hands them to the
    // recording player.
    test_.app.SetCurrentSchemeName("default");
    for (const char* sound : {"ToolbarRollover.wav", "ToolbarSelect.wav"}) {
      const std::string file = test_.app.ResolveSchemeFile(sound, false);
      vyr::platform::CreateDirectories(file.substr(0, file.rfind('/')));
      vyr::test::WriteFile(file, "RIFF");
    }
    frame_ = new wxFrame(nullptr, wxID_ANY, "strip", wxPoint(0, 0), wxSize(640, 240));
    toolbar_ = MakeStrip(ButtonStripModel::Orientation::Horizontal, wxRect(0, 0, 640, 40));
    MakeStrip(ButtonStripModel::Orientation::Vertical, wxRect(0, 60, 160, 160));
    toolbar_->SetOnCommand([this](int command, int index) { commands_.push_back({command, index}); });
    toolbar_->Bind(wxEVT_MOTION, [this](wxMouseEvent& e) { ++motions_; e.Skip(); });
    toolbar_->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& e) { ++releases_; e.Skip(); });
    frame_->Show();
    return true;
  }

  CButtonStrip* MakeStrip(ButtonStripModel::Orientation orientation, const wxRect& place) {
    auto* strip = new CButtonStrip(frame_, wxID_ANY, orientation);
    strip->SetSize(place);
    strip->SetColours({wxColour(200, 200, 200), *wxBLACK, wxColour(255, 0, 0), wxColour(0, 0, 255),
                       wxColour(128, 128, 128)});
    wxFont font = strip->GetFont();
    font.SetPointSize(12);
    strip->SetFonts(font, font.Underlined());
    strip->SetImages({MakeImages(), nullptr, nullptr});
    strip->SetSounds("ToolbarRollover", "ToolbarSelect");
    strip->SetEntries({{101, "Back", "Go back", 0, 0},
                       {0, "", "", -1, ButtonStripModel::kStateSeparator},
                       {102, "Home", "Start page", 1, 0},
                       {103, "Stop", "Stop loading", 2, ButtonStripModel::kStateDisabled}});
    return strip;
  }

  static bool WaitFor(const std::function<bool()>& done) { return vyr::test::PumpUntil(done, 5000); }
  static void Check(bool ok, const std::string& what) { vyr::test::Require(ok, what); }

  wxPoint Centre(int index) {
    const vyr::StripRect r = toolbar_->Model().EntryRect(index);
    return toolbar_->ClientToScreen(wxPoint(r.x + r.width / 2, r.y + r.height / 2));
  }

  // Counts the pixels of the entry's text area (on the screen) that are
  // close to the colour.
  int PixelsNear(const wxImage& screen, int index, const wxColour& colour) {
    const vyr::StripRect r = toolbar_->Model().TextRect(index);
    const wxPoint at = toolbar_->ClientToScreen(wxPoint(r.x, r.y));
    int count = 0;
    for (int y = at.y; y < at.y + r.height; ++y) {
      for (int x = at.x; x < at.x + r.width; ++x) {
        count += std::abs(screen.GetRed(x, y) - colour.Red()) < 40 &&
                 std::abs(screen.GetGreen(x, y) - colour.Green()) < 40 &&
                 std::abs(screen.GetBlue(x, y) - colour.Blue()) < 40;
      }
    }
    return count;
  }

  void RunChecks() override {
    const auto& played = test_.sounds.played;
    wxUIActionSimulator pointer;
    Check(WaitFor([this] { return toolbar_->IsShownOnScreen() && toolbar_->GetClientSize().x == 640; }),
          "the strip is not shown");
    pointer.MouseMove(Centre(2));
    Check(WaitFor([this] { return toolbar_->Model().Hovered() == 2; }), "Home is not hovered");
    const int motions = motions_;
    pointer.MouseMove(Centre(2) + wxPoint(3, 1));
    WaitFor([&] { return motions_ > motions; });
    Check(played.size() == 1 && played[0].file.ends_with("/ToolbarRollover.wav"),
          "one rollover sound expected, got " + std::to_string(played.size()));

    frame_->Update();
    const wxImage shot = vyr::test::SaveScreen(argv[1].utf8_string());
    Check(PixelsNear(shot, 2, *wxRED) > 10, "Home is not drawn in the rollover colour");
    Check(PixelsNear(shot, 0, *wxRED) == 0 && PixelsNear(shot, 0, *wxBLACK) > 10,
          "Back is not drawn in the normal colour");
    Check(PixelsNear(shot, 3, wxColour(128, 128, 128)) > 10, "Stop is not drawn in the disabled colour");

    pointer.MouseClick();
    Check(WaitFor([this] { return !commands_.empty(); }), "the click on Home sent no command");
    Check(commands_.size() == 1 && commands_[0] == std::pair(102, 2) && toolbar_->Selection() == 2,
          "Home's click did not send 102 and select it");
    Check(played.size() == 2 && played[1].file.ends_with("/ToolbarSelect.wav"), "no select sound");

    const int releases = releases_;
    pointer.MouseMove(Centre(3));
    pointer.MouseClick();
    Check(WaitFor([&] { return releases_ > releases; }), "the click on Stop never arrived");
    Check(commands_.size() == 1 && played.size() == 2 && toolbar_->Selection() == 2,
          "the disabled Stop reacted to the click");

    frame_->Destroy();
  }

  vyr::test::TestApp test_;
  wxFrame* frame_ = nullptr;
  CButtonStrip* toolbar_ = nullptr;
  std::vector<std::pair<int, int>> commands_;
  int motions_ = 0, releases_ = 0;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(StripTestApp)

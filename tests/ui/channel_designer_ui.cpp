// The channel designer over the real main window under real XTest clicks,
// keys and drags: a dropped link, added and dragged items, export and
// import, a failed save. usage: channel_designer_ui PAGE_BASE SHOT_DIR
#include <gtk/gtk.h>

#include <filesystem>

#include <wx/textctrl.h>

#include "channels/channel_startup.h"
#include "channels/channel_test_util.h"
#include "channels/windows/channel_designer_dlg.h"
#include "xtest_input.h"  // last: the X headers' macros would spoil the names above

namespace {

namespace fs = std::filesystem;
namespace xt = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;
using vyr::test::Texts;

void Type(const std::string& text) {
  for (unsigned char c : text) {
    c == '\t' ? xt::PressKey(XK_Tab) : xt::PressCharacter(c);
    Pause(20);
  }
}

void Glide(const wxPoint& from, const wxPoint& to, const std::function<bool()>& stop = [] { return false; }) {
  for (int i = 1; i <= 12 && !stop(); ++i, Pause(40)) xt::MoveTo(from + (to - from) * i / 12);
}

// The user's channels at the end.
constexpr char kSaved[] = "Travel(Trips[],Rome,) Mine(Old,Rome & Florence guide,) Travel2(Trips[],Rome,) ";

class ChannelDesignerTestApp : public vyr::test::ChecksApp, vyr::test::TestApp {
 public:
  bool Prepare() override {
    if (argc != 3) return false;
    vyr::test::InitWindowTest();
    base_ = argv[1].ToStdString();
    shots_ = argv[2].ToStdString();
    link_ = base_ + "/files/rome.html";
    const std::string start = vyr::test::EchoPage(
        base_, "<title>links</title><a id=l href='" + link_ + "' style='font-size:40px'>Rome &amp; <b>Florence</b> guide</a>");
    vyr::test::WriteWindowProfile(app, base_, start, wxRect(0, 0, 1000, 740));
    app.LoadStartupSettings();
    user_ = app.ResolveDataFile(vyr::kUserChannelsFile, true);
    vyr::test::WriteFile(app.ResolveDataFile(vyr::kFixedChannelsFile, true), "~CH:Fixed\r~FN:f\r~FU:http://f/\r");
    vyr::test::WriteFile(user_, "~CH:Mine\r~FN:Old\r~FU:" + start + "\r");
    main_ = vyr::test::StartMainWindow(app);
    main_->Show();
    return true;
  }

  void RunChecks() override {
    CChannelBarWnd* bar = main_->ChannelBar();
    fs::create_directories(shots_);
    robot_.Start();
    dialogs_.Start();
    // Mine, the third channel, shows the page with the link.
    PumpUntil([&] { return bar->Column()->Entries().size() == 3 && main_->Pane()->Title() == "links"; }, 20000);
    vyr::test::ClickAt(bar->Column(), bar->Column()->EntryRect(2));
    PumpUntil([&] { return !main_->Pane()->IsLoading() && main_->Pane()->Title() == "links"; }, 10000);
    Pause(500);
    const wxRect link = vyr::test::ElementOnScreen(main_->Pane(), "l");
    const wxPoint from = link.GetPosition() + wxPoint(30, link.height / 2);
    const wxRect column = bar->Column()->GetScreenRect();
    robot_.When("channel_tree", [this] { InDesigner(); });
    xt::MoveTo(from);
    Pause(200);
    xt::Button(true);
    Glide(from, from + wxPoint(20, 20));
    Glide(from + wxPoint(20, 20), column.GetPosition() + column.GetSize() / 2, [this] { return designerSeen_; });
    PumpUntil([this] { return designerDone_; }, 150000);
    if (!Check(designerSeen_, "link_dragged_over_the_bar_opens_the_designer")) return;

    vyr::ChannelSet back;
    back.Load(user_, true);
    Check(vyr::test::Shape(back) == kSaved, "save_writes_only_the_user_channels");
    // Mine, now the fourth channel, is still shown with its new page.
    const std::vector<std::string> mine = {"Mine", "Old", "Rome & Florence guide"};
    Check(bar->CurrentChannel() == 3 && Texts(main_->FolderStrip()) == mine, "bar_reselects_its_channel_after_save");
    vyr::test::ClickAt(bar->Column(), bar->Column()->EntryRect(2));
    Pause(500);
    Check(Texts(main_->FolderStrip()) == std::vector<std::string>{"Travel", "Trips", "Rome"},
          "saved_channel_opens_from_the_bar");
    vyr::test::SaveScreen(shots_ + "/ui_channel_designer_bar.png");
  }

 private:
  bool SawText(const std::string& start) const {
    for (const auto& b : boxes.boxes)
      if (b.text.rfind(start, 0) == 0) return true;
    return false;
  }
  std::string Shape() const { return vyr::test::Shape(designer_->Model().Tree(), designer_->Model().LockedCount()); }
  wxPoint At(const vyr::TreePath& path) const {
    wxRect rect;
    wxTreeCtrl* tree = designer_->Tree();
    tree->EnsureVisible(designer_->ItemAt(path));
    tree->GetBoundingRect(designer_->ItemAt(path), rect, true);
    return tree->ClientToScreen(rect.GetPosition() + wxPoint(std::min(rect.width / 2, 30), rect.height / 2));
  }
  void Press(const char* button) { xt::Click(wxWindow::FindWindowByName(button, designer_)->GetScreenRect().GetPosition() + wxPoint(12, 8)); }
  void Answer(std::vector<std::string> texts) {
    dialogs_.When("prompt_first", [texts] {
      for (size_t i = 0; i < texts.size(); ++i) Type((i > 0 ? "\t" : "") + texts[i]);
      xt::PressKey(XK_Return);
    });
  }
  void Drag(const vyr::TreePath& item, const vyr::TreePath& onto) {
    xt::MoveTo(At(item));
    Pause(150);
    xt::Button(true);
    Glide(At(item), At(onto));
    Pause(200);
    xt::Button(false);
    Pause(600);
  }
  void Do(const char* button, const std::string& shape) {
    Press(button);
    PumpUntil([&] { return Shape() == shape; }, 8000);
  }

  void InDesigner() {
    designerSeen_ = true;
    designer_ = dynamic_cast<CChannelDesignerDlg*>(wxWindow::FindWindowByName("channel_designer"));
    std::string offered[2];
    dialogs_.When("prompt_first", [&offered] {
      offered[0] = xt::Named<wxTextCtrl>("prompt_first")->GetValue().utf8_string();
      offered[1] = xt::Named<wxTextCtrl>("prompt_second")->GetValue().utf8_string();
      xt::PressKey(XK_Return);
    });
    Glide(wxGetMousePosition(), At({2}));
    Pause(300);
    xt::Button(false);
    PumpUntil([&] { return Shape() == "Mine(Old,Rome & Florence guide,) "; }, 8000);
    Check(offered[0] == "Rome & Florence guide" && offered[1] == link_ && designer_->Model().At({2, 1})->url == link_,
          "dropped_link_becomes_a_page_with_its_text");
    xt::Click(At({2}));
    Answer({"Travel"});
    Do("add_channel", "Mine(Old,Rome & Florence guide,) Travel() ");
    Answer({"Trips"});
    Do("add_folder", "Mine(Old,Rome & Florence guide,) Travel(Trips[],) ");
    Answer({"Rome", "http://rome.example/"});
    Do("add_page", "Mine(Old,Rome & Florence guide,) Travel(Trips[Rome,],) ");
    Drag({3}, {2});
    Drag({2, 0, 0}, {2});
    const bool moved = Shape() == "Travel(Trips[],Rome,) Mine(Old,Rome & Florence guide,) ";
    Drag({2, 0}, {2, 1});
    vyr::test::SaveScreen(shots_ + "/ui_channel_designer.png");
    Check(moved && Shape() == "Travel(Trips[],Rome,) Mine(Old,Rome & Florence guide,) " &&
              vyr::test::Saw(boxes, "info", "You cannot drop a Folder on top of a Page"),
          "drags_move_channels_and_pages_and_refuse_a_folder_on_a_page");
    xt::Click(At({2}));
    dialogs_.When("export_file", [] { Type("shared"); xt::PressKey(XK_Return); });
    Press("export");
    const std::string exported = (fs::path(app.GetDataDirectory("channels", true)) / "shared.ndf").string();
    PumpUntil([&] { return fs::exists(exported); }, 8000);
    TypeInFileChooser(exported);
    dialogs_.When("rename", [] { xt::PressKey(XK_Return); });
    Do("import", kSaved);
    Check(SawText("You have selected 1 channel(s) to export:") && Shape() == kSaved,
          "export_and_import_with_the_duplicate_dialog");
    // A folder where the file goes: the save fails and the designer stays.
    fs::remove(user_);
    fs::create_directory(user_);
    Press("designer_save");
    PumpUntil([&] { return SawText("Your channels could not be saved to " + user_); }, 8000);
    Check(SawText("Your channels could not be saved to " + user_) && designer_->IsShown() &&
              designer_->Model().Modified(),
          "failed_save_keeps_the_designer");
    fs::remove(user_);
    Press("designer_save");
    designerDone_ = PumpUntil([&] { return !xt::Named<wxWindow>("channel_designer"); }, 8000);
  }

  // Answers the file chooser from a timer: Ctrl+L, the path, Enter.
  void TypeInFileChooser(const std::string& path) {
    chooser_.Bind(wxEVT_TIMER, [this, path](wxTimerEvent&) {
      GList* all = gtk_window_list_toplevels();
      GtkWindow* chooser = nullptr;
      for (GList* w = all; w; w = w->next)
        if (GTK_IS_FILE_CHOOSER(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) chooser = GTK_WINDOW(w->data);
      g_list_free(all);
      if (!chooser) return;
      chooser_.Stop();
      PumpUntil([&] {
        XSetInputFocus(xt::XDisplay(), gdk_x11_window_get_xid(gtk_widget_get_window(GTK_WIDGET(chooser))),
                       RevertToParent, CurrentTime);
        return gtk_window_is_active(chooser) == TRUE;
      }, 5000);
      Pause(500);
      xt::PressKey(XK_l, false, true);
      Pause(300);
      Type(path);
      Pause(300);
      xt::PressKey(XK_Return);
    });
    chooser_.Start(300);
  }

  std::string base_, shots_, link_, user_;
  CVyr20Dlg* main_ = nullptr;
  CChannelDesignerDlg* designer_ = nullptr;
  xt::ControlRobot robot_, dialogs_;
  wxTimer chooser_;
  bool designerSeen_ = false, designerDone_ = false;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(ChannelDesignerTestApp)

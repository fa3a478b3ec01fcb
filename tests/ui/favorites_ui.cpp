// The favorites menu, organizer and bookmark import under real XTest
// clicks, drags and keys. usage: favorites_ui WORK SHOTS FIXTURES
#include <filesystem>

#include <wx/button.h>
#include <wx/menu.h>
#include <wx/timer.h>
#include <wx/treectrl.h>

#include "channels/windows/favorites_menu.h"
#include "channels/windows/favorites_organizer_dlg.h"
#include "ui/windows/menu_ids.h"
#include "ui_test_support.h"
#include "xtest_input.h"

namespace {

namespace fs = std::filesystem;
namespace xt = vyr::test::xtest;
using vyr::test::Check;
using vyr::test::Pause;
using vyr::test::PumpUntil;

// No pause after it: a modal dialog's loop must not run inside a robot step.
void ClickOn(wxWindow* w) { if (w) xt::Click(w->GetScreenRect().GetPosition() + w->GetSize() / 2); }

// The items of the open menus (key marks dropped) and where they lie.
std::vector<std::pair<std::string, wxRect>> MenuItemsOnScreen() {
  std::vector<std::pair<std::string, wxRect>> items;
  GList* all = gtk_window_list_toplevels();
  for (GList* w = all; w; w = w->next) {
    GtkWidget* top = GTK_WIDGET(w->data);
    GtkWidget* menu = gtk_bin_get_child(GTK_BIN(top));
    if (!gtk_widget_get_mapped(top) || !menu || !GTK_IS_MENU(menu)) continue;
    GList* children = gtk_container_get_children(GTK_CONTAINER(menu));
    for (GList* c = children; c; c = c->next) {
      GtkWidget* item = GTK_WIDGET(c->data);
      const char* label = GTK_IS_MENU_ITEM(item) ? gtk_menu_item_get_label(GTK_MENU_ITEM(item)) : nullptr;
      if (!label || !*label || !gtk_widget_get_visible(item)) continue;
      std::string text;
      for (const char* p = label; *p; ++p) if (*p != '_') text += *p;
      int x = 0, y = 0, ox = 0, oy = 0;
      gtk_widget_translate_coordinates(item, top, 0, 0, &x, &y);
      gdk_window_get_origin(gtk_widget_get_window(top), &ox, &oy);
      items.push_back({text, wxRect(ox + x, oy + y, gtk_widget_get_allocated_width(item),
                                    gtk_widget_get_allocated_height(item))});
    }
    g_list_free(children);
  }
  g_list_free(all);
  return items;
}

void ClickMenuItem(const std::string& label) {
  for (const auto& [text, rect] : MenuItemsOnScreen())
    if (text == label) return xt::Click(rect.GetPosition() + wxPoint(20, rect.height / 2));
}

std::string MenuText() {
  std::string text;
  for (const auto& item : MenuItemsOnScreen()) text += item.first + "|";
  return text;
}

class FavoritesTestApp : public vyr::test::ChecksApp {
  bool Prepare() override {
    if (argc != 4) return false;
    vyr::test::InitWindowTest();
    robot_.Start();
    return true;
  }

  void RunChecks() override {
    shots_ = argv[2].utf8_string();
    const std::string favorites = t_.home.Path() + "/Favorites";
    for (const auto& [file, address] : std::vector<std::pair<std::string, std::string>>{
             {"News/Today.url", "http://today.example/"}, {"Top Page.url", "http://top.example/"},
             {"Channels/c.url", "http://c.example/"}, {"Moved Page.url", "http://moved.example/"},
             {"Rename Me/Existing.url", "http://old.example/"}}) {
      vyr::test::WriteFile(favorites + "/" + file, "[InternetShortcut]\nURL=" + address + "\n");
    }
    fs::create_directories(favorites + "/News/Old");
    fs::create_directories(favorites + "/Target");
    frame_ = new wxFrame(nullptr, wxID_ANY, "Vyrelle", wxPoint(0, 0), wxSize(500, 400));
    frame_->Show();
    xt::Focus(frame_);
    CheckMenu();
    CheckOrganizer(favorites);
    CheckImport(favorites, argv[1].utf8_string(), argv[3].utf8_string());
    vyr::test::ExitWithVerdict();
  }

  void CheckMenu() {
    frame_->Bind(wxEVT_MENU, [this](wxCommandEvent& e) { opened_ = favorites_.AddressFor(CommandOfMenuItem(e.GetId())); });
    wxMenu menu;
    for (const char* own : {"&Add to Favorites...", "&Organize Favorites...", "&Import Bookmarks..."})
      menu.Append(wxID_ANY, own);
    favorites_.Fill(&menu, t_.app);
    std::string top, both;
    wxTimer clicks;
    clicks.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      PumpUntil([&] { return MenuText().find("Top Page|") != std::string::npos; }, 5000);
      top = MenuText();
      ClickMenuItem("News");
      PumpUntil([&] { return MenuText().find("Today|") != std::string::npos; }, 5000);
      Pause(300);
      both = MenuText();
      vyr::test::SaveScreen(shots_ + "/favorites_menu.png");
      ClickMenuItem("Today");
    });
    clicks.StartOnce(500);
    frame_->PopupMenu(&menu, wxPoint(20, 20));
    PumpUntil([&] { return !opened_.empty(); }, 3000);
    Check(top == "Add to Favorites...|Organize Favorites...|Import Bookmarks...|Moved Page|News|Rename Me|Target|"
                 "Top Page|" && (both == top + "Old|Today|" || both == "Old|Today|" + top),
          "menu_lists_favorites_after_its_own_items_and_a_folder_when_opened");
    Check(opened_ == "http://today.example/", "menu_item_opens_its_shortcut");
  }

  void CheckOrganizer(const std::string& favorites) {
    CFavoritesOrganizerDlg* organizer = nullptr;
    auto item = [&](const std::string& path) { return organizer->ItemOf(favorites + "/" + path); };
    auto centre = [&](const wxTreeItemId& id) {
      wxRect r;
      organizer->Tree()->GetBoundingRect(id, r, true);
      return organizer->Tree()->ClientToScreen(r.GetPosition() + wxPoint(r.width / 2, r.height / 2));
    };
    robot_.When("favorites_organizer", [&] {
      organizer = dynamic_cast<CFavoritesOrganizerDlg*>(xt::Named<wxWindow>("favorites_organizer"));
      const wxPoint from = centre(item("Moved Page.url")), to = centre(item("Target"));
      xt::MoveTo(from);
      Pause(200);
      xt::Button(true);
      for (int step = 1; step <= 10; ++step, Pause(50)) xt::MoveTo(from + (to - from) * step / 10);
      Pause(300);
      xt::Button(false);
      PumpUntil([&] { return item("Target/Moved Page.url").IsOk(); }, 5000);
      vyr::test::SaveScreen(shots_ + "/favorites_organizer.png");
      Check(item("Target/Moved Page.url").IsOk() && fs::exists(favorites + "/Target/Moved Page.url") &&
                !fs::exists(favorites + "/Moved Page.url"),
            "organizer_moves_a_dragged_shortcut_into_a_folder");
      xt::Click(centre(item("Rename Me")));
      ClickOn(xt::Named<wxWindow>("organizer_modify"));
    });
    robot_.When("Enter name for Folder:", [&] {
      ClickOn(xt::Named<wxWindow>("Enter name for Folder:"));
      Pause(200);
      xt::PressKey('a', false, true);
      for (char c : std::string("Renamed")) xt::PressCharacter(c);
      ClickOn(wxGetTopLevelParent(xt::Named<wxWindow>("Enter name for Folder:"))->FindWindow(wxID_OK));
    });
    robot_.When("organizer_new_page", [&] {
      PumpUntil([&] { return item("Renamed").IsOk(); }, 3000);
      Check(item("Renamed/Existing.url").IsOk() && fs::exists(favorites + "/Renamed/Existing.url"),
            "organizer_renames_a_folder");
      ClickOn(xt::Named<wxWindow>("organizer_new_page"));
    });
    robot_.When("Name:", [&] { ClickOn(wxGetTopLevelParent(xt::Named<wxWindow>("Name:"))->FindWindow(wxID_OK)); });
    robot_.When("replace_favorite", [&] {
      vyr::test::SaveScreen(shots_ + "/favorites_replace.png");
      xt::PressKey(XK_Return);  // the default answer
      Pause(800);  // the button's activation; the box's loop ends after this step
    });
    // No (Enter) leaves the dialog open and the old shortcut as it was.
    robot_.When("Name:", [&] {
      Check(!xt::Named<wxWindow>("replace_favorite") &&
                vyr::test::ReadFile(favorites + "/Renamed/Existing.url").find("http://old.example/") != std::string::npos,
            "a_taken_name_asks_and_enter_keeps_the_old_favorite");
      ClickOn(wxGetTopLevelParent(xt::Named<wxWindow>("Name:"))->FindWindow(wxID_CANCEL));
    });
    robot_.When("organizer_close", [&] { ClickOn(xt::Named<wxWindow>("organizer_close")); });
    CFavoritesOrganizerDlg::Run(frame_, t_.app, {}, "Existing", "http://new.example/");
    Check(robot_.Done(), "organizer_steps_all_ran");
  }

  void CheckImport(const std::string& favorites, const std::string& work, const std::string& fixtures) {
    const std::string file = work + "/bookmarks.html";
    fs::copy_file(fixtures + "/fuzz/bookmark_parser_fuzz/menu_export.html", file, fs::copy_options::overwrite_existing);
    wxTimer typing;
    typing.Bind(wxEVT_TIMER, [&](wxTimerEvent&) {
      GList* all = gtk_window_list_toplevels();
      GtkWidget* chooser = nullptr;
      for (GList* w = all; w; w = w->next)
        if (GTK_IS_FILE_CHOOSER(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data))) chooser = GTK_WIDGET(w->data);
      g_list_free(all);
      if (!chooser) return;
      typing.Stop();
      XSetInputFocus(xt::XDisplay(), gdk_x11_window_get_xid(gtk_widget_get_window(chooser)), RevertToParent, CurrentTime);
      XFlush(xt::XDisplay());
      PumpUntil([&] { return gtk_window_is_active(GTK_WINDOW(chooser)) == TRUE; }, 5000);
      Pause(500);
      xt::PressKey(XK_l, false, true);
      Pause(300);
      for (char c : file) xt::PressCharacter(c);
      Pause(300);
      xt::PressKey(XK_Return);
    });
    const std::string folder = "\"" + favorites + "/Imported from Netscape\"";
    const std::string told[] = {"7 bookmarks imported into " + folder + ".",
                                "These bookmarks were imported before: " + folder +
                                    " exists already.\r\n\r\nRename or delete that folder to import them again."};
    for (const std::string& expected : told) {
      t_.boxes.boxes.clear();
      typing.Start(300);
      ImportBookmarksFromUser(frame_, t_.app);
      typing.Stop();
      Check(!t_.boxes.boxes.empty() && t_.boxes.boxes.back().text == expected &&
                fs::exists(favorites + "/Imported from Netscape/Reading-Deep- Folder/Level 2/Level 3 -old-"),
            "import_from_the_chooser_tells_its_outcome");
    }
  }

  vyr::test::TestApp t_;
  CFavoritesMenu favorites_;
  std::string opened_;
  wxFrame* frame_ = nullptr;
  std::string shots_;
  xt::ControlRobot robot_;
};

}  // namespace

VYR_WINDOW_TEST_MAIN(FavoritesTestApp)

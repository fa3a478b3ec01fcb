#include "channels/windows/favorites_menu.h"

#include <cstdint>
#include <memory>

#include <wx/filedlg.h>
#include <wx/menu.h>

#include "base/application.h"
#include "channels/bookmark_import.h"
#include "platform/string_table.h"
#include "ui/windows/menu_ids.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kChooserTitle{41785};  // "Import Bookmarks"
constexpr TextId kChooserTypes{41786};  // "Bookmark files (*.htm;*.html)|*.htm;*.html"

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

}  // namespace

void CFavoritesMenu::Fill(wxMenu* menu, const vyr::Application& app) {
  map_.Reset();
  std::string folder;
  if (!vyr::FindFavoritesFolder(app, folder)) return;
  menu->AppendSeparator();
  FillFolder(menu, folder);
}

void CFavoritesMenu::FillFolder(wxMenu* menu, const std::string& folder) {
  for (const vyr::FavoritesMenuEntry& entry : map_.FillFolder(folder)) {
    switch (entry.kind) {
      case vyr::FavoritesMenuEntry::Kind::Item:
        // Beyond the favorites' 3000 commands a menu has no numbers left.
        if (IsFavoriteCommand(entry.command)) menu->Append(MenuItemId(entry.command), Wx(entry.text));
        break;
      case vyr::FavoritesMenuEntry::Kind::Empty: menu->Append(wxID_ANY, Wx(entry.text))->Enable(false); break;
      case vyr::FavoritesMenuEntry::Kind::SubMenu: {
        // Listed when first opened: until then it holds a stand-in, so that
        // the toolkit shows it as a sub-menu at all.
        auto* sub = new wxMenu;
        sub->Append(wxID_ANY, wxS("..."))->Enable(false);
        const int id = menu->AppendSubMenu(sub, Wx(entry.text))->GetId();
        auto filled = std::make_shared<bool>(false);
        auto fill = [this, sub, filled, path = entry.path] {
          if (*filled) return;
          *filled = true;
          while (sub->GetMenuItemCount() > 0) sub->Destroy(sub->FindItemByPosition(0));
          FillFolder(sub, path);
        };
        // Highlighting the item comes before the toolkit opens the sub-menu;
        // opening it is the last moment.
        menu->Bind(wxEVT_MENU_HIGHLIGHT, [fill, id](wxMenuEvent& event) {
          if (event.GetMenuId() == id) fill();
          event.Skip();
        });
        sub->Bind(wxEVT_MENU_OPEN, [fill](wxMenuEvent& event) {
          fill();
          event.Skip();
        });
        break;
      }
    }
  }
}

std::string CFavoritesMenu::AddressFor(int command) const {
  std::string address;
  const std::string shortcut = map_.ShortcutFor(command);
  if (shortcut.empty() || !vyr::ReadShortcut(shortcut, address)) return {};
  return address;
}

void ImportBookmarksFromUser(wxWindow* parent, vyr::Application& app) {
  std::string file;
  std::uintmax_t size = 0;
  if (!vyr::FindBookmarkFile(app, file, size)) {
    wxFileDialog chooser(parent, Wx(kChooserTitle.Text()), wxEmptyString, wxEmptyString, Wx(kChooserTypes.Text()),
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() != wxID_OK) return;
    file = std::string(chooser.GetPath().utf8_str());
  }
  const vyr::UserBookmarkImport outcome = vyr::ImportBookmarksForUser(app, file);
  if (outcome.ok()) {
    app.PlaySound("save");
    app.Messages().Information(outcome.message);
  } else {
    app.Messages().Error(outcome.message);
  }
}

#pragma once
// CFavoritesMenu: the favorites in a browser window's Favorites menu. The
// menu keeps its own items first; each time it is built the favorites
// folder's entries follow them, from command 37000 up, and a sub-menu of a
// folder is filled when it is first opened. Also the bookmark import a user
// starts from that menu or a command link.
#include <string>

#include "channels/favorites.h"

class wxMenu;
class wxWindow;

namespace vyr {
class Application;
}

class CFavoritesMenu {
 public:
  // Appends the favorites to menu after its own items, forgetting the
  // commands of the menu built before.
  void Fill(wxMenu* menu, const vyr::Application& app);
  // Whether a command is one of the favorites' items.
  static bool IsFavoriteCommand(int command) {
    return command >= vyr::FavoritesMenuMap::kFirstCommand && command < vyr::FavoritesMenuMap::kFirstCommand + 3000;
  }
  // The address of the shortcut behind a chosen command ("" when none). The
  // items carry their commands as menu_ids.h shifts them.
  std::string AddressFor(int command) const;

 private:
  void FillFolder(wxMenu* menu, const std::string& folder);

  vyr::FavoritesMenuMap map_;
};

// Imports another browser's bookmark file into the favorites: the file the
// registry names, or else one the user picks (*.htm, *.html); the outcome is
// told in a box.
void ImportBookmarksFromUser(wxWindow* parent, vyr::Application& app);

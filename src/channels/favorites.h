#pragma once
// Favorites: the user's bookmarks, kept as internet-shortcut files (".url",
// the "[InternetShortcut]" "URL=" initialisation form) in the favorites
// folder, one file per bookmark and one sub-folder per group.
//
// This is the logic behind the add-to-favorites dialog, the favorites
// organizer and the favorites menu. The windows ask their questions and show
// the tree or menu; everything they decide on is here.
#include <map>
#include <string>
#include <vector>

#include "base/application.h"
#include "base/message_box.h"
#include "platform/string_table.h"

namespace vyr {

// --- the favorites folder ----------------------------------------------------

// The favorites folder: <Windows directory>/Favorites, replaced by the value
// "Favorites" of the current user's shell-folders key
// (Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders) when
// that value is set. The folder counts as found when it exists or can be
// created. False (folder still set to the candidate,
// possibly empty) when no folder is usable.
bool FindFavoritesFolder(const Application& app, std::string& folder);

// --- shortcut files ----------------------------------------------------------

// Reads the whole address of a shortcut file ([InternetShortcut] URL=).
// False when the file holds no address.
bool ReadShortcut(const std::string& path, std::string& address);

// True when the path is a shortcut: a regular file (not a link, not a
// folder) whose name ends in ".url" in any case and has a name before it.
bool IsShortcutFile(const std::string& path);

// Writes a fresh shortcut file holding only the address; a file already at
// that path is replaced. When writing fails the old file is put back. True
// when written.
bool WriteShortcut(const std::string& path, const std::string& address);

// --- names and the add-to-favorites checks -----------------------------------

// Replaces each of ! # * + / : < > ? [ \ ] ` { | } by "-"; everything else
// stays. "News: Today?" -> "News- Today-".
std::string CleanFavoriteName(const std::string& name);

// True when "<name>.url" can be created as a file: its path in the system's
// temporary folder stays below 261 characters and a probe file of that name
// can be made (and is removed again).
bool IsUsableFavoriteName(const std::string& name);

// Cuts blanks, tabs and line breaks from the end of a text.
std::string TrimTrailingSpace(const std::string& text);

// The outcome of the add-to-favorites checks: either ok with the final name
// and address, or the message to show while the dialog stays open.
struct FavoriteCheck {
  bool ok = false;
  std::string message;
  std::string name;
  std::string address;
};

// Checks the dialog's name and address in the dialog's order: "Invalid Name",
// trailing white space cut, name cleaned, "Please select a new name",
// "Invalid URL", "http://" put before an address that begins with "www" (in
// any case). Plays "save" when the entry is accepted.
FavoriteCheck CheckNewFavorite(Application& app, const std::string& name,
                               const std::string& address);

// The shortcut path for a name in a folder: <folder>/<name>.url. Empty when
// the name is not a plain file name (it would leave the folder).
std::string ShortcutPathFor(const std::string& folder, const std::string& name);

// True when <folder>/<name>.url is there already (adding under that name
// would replace it).
bool FavoriteExists(const std::string& folder, const std::string& name);

// Writes <folder>/<name>.url holding the address. path receives the file's
// path when given. False when the name would leave the folder or the file
// cannot be written.
bool WriteFavorite(const std::string& folder, const std::string& name, const std::string& address,
                   std::string* path = nullptr);

// --- the favorites menu --------------------------------------------------------

// One entry of a favorites menu.
struct FavoritesMenuEntry {
  enum class Kind {
    Item,     // a shortcut: text, path and command identifier
    SubMenu,  // a sub-folder: text and path; filled when first opened
    Empty,    // the disabled "(Empty)" placeholder
  };
  Kind kind = Kind::Item;
  std::string text;
  std::string path;
  int command = 0;  // items only
};

// The menu's command map: identifier -> shortcut path. Identifiers are given
// from 37000 up after each Reset (the menu is rebuilt every time it opens).
class FavoritesMenuMap {
 public:
  static constexpr int kFirstCommand = 37000;

  void Reset();
  // The entries of one folder's menu in the order the favorites' home file
  // system lists them (by name, without regard to case, as upper case),
  // giving the next identifiers to its shortcuts. Sub-folders come back as unfilled sub-menus; the window calls
  // this again with their path when one is first opened. Links to folders
  // are no sub-menus, and only shortcut files are items.
  std::vector<FavoritesMenuEntry> FillFolder(const std::string& folder);
  // The shortcut behind a chosen command, or empty when unknown.
  std::string ShortcutFor(int command) const;
  size_t Size() const { return commands_.size(); }

 private:
  int next_ = kFirstCommand;
  std::map<int, std::string> commands_;
};

// --- the favorites organizer ---------------------------------------------------

// What a failed delete says ("%s": the name of the favorite or folder).
inline constexpr platform::TextId kFavoriteNotDeletedText{41783};

// One entry of the organizer's tree: a folder with its entries, or a
// shortcut (text: its name without ".url").
struct FavoritesTreeNode {
  std::string text;
  std::string path;
  bool folder = false;
  std::vector<FavoritesTreeNode> children;
};

// The favorites below a folder, recursively: its folders first, then its
// shortcuts, each in the order the favorites' home file system lists them.
// Links to folders are not followed (a link can lead back up the tree) and
// other files are left out.
std::vector<FavoritesTreeNode> ListFavorites(const std::string& folder);

// The file operations of the organizer tree. The window asks its questions
// and passes the answers in; the messages for failures are shown here through
// the message-box service. Paths are those the tree items stand for.
class FavoritesOrganizer {
 public:
  enum class Outcome {
    Done,       // done; path is the new folder or shortcut
    TryAgain,   // a message was shown; the window asks the question again
    Cancelled,  // an empty answer: nothing to do
    Failed,     // nothing changed
  };
  struct Result {
    Outcome outcome = Outcome::Failed;
    std::string path;
    bool ok() const { return outcome == Outcome::Done; }
  };

  FavoritesOrganizer(std::string root, MessageBoxService& messages);

  // The tree's root: the favorites folder ("Favorite Places").
  const std::string& Root() const { return root_; }
  static constexpr const char* kRootText = "Favorite Places";

  // The folder an item belongs to: the item itself when it is a folder,
  // otherwise the folder holding it.
  static std::string FolderOfItem(const std::string& path);

  // Makes a folder named by the answer in parent.
  Result NewFolder(const std::string& parent, const std::string& answer);
  // Renames a folder to the (cleaned) answer.
  Result RenameFolder(const std::string& folder, const std::string& answer);
  // Rewrites a shortcut under a new (cleaned) name with a new address.
  Result ModifyPage(const std::string& shortcut, const std::string& name,
                    const std::string& address);
  // Deletes a shortcut, or a folder when it is empty. The root is never
  // deleted. A delete that fails says so and leaves the entry.
  bool Delete(const std::string& path);
  // Moves a shortcut into another folder.
  Result MoveShortcut(const std::string& shortcut, const std::string& targetFolder);

 private:
  bool IsRoot(const std::string& path) const;

  std::string root_;
  MessageBoxService& messages_;
};

}  // namespace vyr

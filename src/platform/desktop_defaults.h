#pragma once
// The desktop's choice of the program that opens a kind of file or address
// (the XDG "mimeapps.list"): which desktop file is the default for a MIME
// type or an "x-scheme-handler/<scheme>" type, and setting it.
//
// The choices live in mimeapps.list files, section [Default Applications],
// one line per type: "type=a.desktop;b.desktop;". They are read in this
// order, the first that counts winning: $XDG_CONFIG_HOME (~/.config when
// unset), then each of $XDG_CONFIG_DIRS (/etc/xdg), then the older places
// $XDG_DATA_HOME/applications (~/.local/share) and each of
// $XDG_DATA_DIRS/applications (/usr/local/share, /usr/share); in each folder
// "<desktop>-mimeapps.list" for every name in $XDG_CURRENT_DESKTOP
// (lower-cased, in its order) comes before the plain "mimeapps.list".
#include <string>
#include <utility>
#include <vector>

namespace vyr::platform {

// Where the desktop file of that id lies in the data folders (the user's
// first); "" when none holds it.
std::string DesktopFilePath(const std::string& id);
// The Exec line of a desktop file's [Desktop Entry] group, as written; ""
// when there is none.
std::string DesktopExecLine(const std::string& id);

// One value of a desktop file's [Desktop Entry] group ("Name", "Icon"...),
// the plain key only (no "[de]" form), as written; "" when there is none.
std::string DesktopEntryValue(const std::string& id, const std::string& key);

// The desktop files that say they handle the type, by id: those the
// mimeinfo.cache of each applications folder names for it, and those whose
// MimeType line names it, the user's data folder ($XDG_DATA_HOME) first,
// then each of $XDG_DATA_DIRS in order. An id counts once, as its first
// folder holds it; an entry that is hidden (Hidden=true), no application or
// without an Exec line is left out.
std::vector<std::string> DesktopHandlers(const std::string& mimeType);

// The user's mimeapps.list that SetDefaultApplications writes.
std::string UserMimeAppsPath();

// The default for the type: the first desktop file named for it that a
// data folder ($XDG_DATA_HOME, $XDG_DATA_DIRS; under "applications") holds,
// in the first file, in the order above, that names an installed one. ""
// when none does.
std::string DefaultApplication(const std::string& mimeType);

// Makes each desktop file the first default for its type in the user's
// mimeapps.list, and in each of the user's "<desktop>-mimeapps.list" that
// names the type (it would win otherwise), keeping every other line,
// section and comment of the files as they were. A type whose
// default is already that desktop file is left alone; when nothing changes
// the file is not written at all. False when the file cannot be written.
bool SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults);

}  // namespace vyr::platform

#pragma once
// The desktop's choice of the program that opens a kind of file or address
// (the XDG "mimeapps.list"): which desktop file is the default for a MIME
// type or an "x-scheme-handler/<scheme>" type, and setting it.
//
// The user's choices live in $XDG_CONFIG_HOME/mimeapps.list (~/.config when
// the variable is unset), section [Default Applications], one line per type:
// "type=a.desktop;b.desktop;" (the first one that is installed wins). The
// older place, $XDG_DATA_HOME/applications/mimeapps.list, is still read.
#include <string>
#include <utility>
#include <vector>

namespace vyr::platform {

// The user's mimeapps.list that SetDefaultApplications writes.
std::string UserMimeAppsPath();

// The first desktop file named for the type ("" when none is).
std::string DefaultApplication(const std::string& mimeType);

// Makes each desktop file the first default for its type, keeping every
// other line, section and comment of the file as it was. A type whose
// default is already that desktop file is left alone; when nothing changes
// the file is not written at all. False when the file cannot be written.
bool SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults);

}  // namespace vyr::platform

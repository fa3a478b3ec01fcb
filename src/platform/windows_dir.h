#pragma once
// The folder that stands in for the Windows directory: it holds the profile
// "vyr20.ini", the registry file, the previous version's channel file, the
// Favorites folder and the data root "vyrelle".
#include <string>

namespace vyr::platform {

// $VYRELLE_HOME when set and not empty, else $XDG_DATA_HOME/vyrelle-home,
// else $HOME/.local/share/vyrelle-home. Empty when none of these is known.
// The folder is not created here.
std::string GetWindowsDirectory();

// The separator the program puts between path components.
constexpr char kPathSeparator = '/';

// Joins a folder and a name with exactly one separator between them.
std::string JoinPath(const std::string& folder, const std::string& name);

// True when the text ends in a path separator ("/" or "\").
bool EndsWithSeparator(const std::string& path);

}  // namespace vyr::platform

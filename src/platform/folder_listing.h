#pragma once
// Listing the folders inside a folder.
#include <string>
#include <vector>

namespace vyr::platform {

// The names of the sub-folders of folder (links to folders count), in the
// order the file system returns them, without "." and "..". Empty when the
// folder cannot be read.
std::vector<std::string> ListSubfolders(const std::string& folder);
// The names of the regular files of folder (links to files count), sorted
// by name. Empty when the folder cannot be read.
std::vector<std::string> ListFiles(const std::string& folder);

// Copies a file's contents to target, replacing it atomically. False when
// the source cannot be read or the target cannot be written.
bool CopyWholeFile(const std::string& source, const std::string& target);

}  // namespace vyr::platform

#include "platform/folder_listing.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <memory>

#include "platform/file_system.h"

namespace vyr::platform {

std::vector<std::string> ListSubfolders(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    struct stat info {};
    if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
      names.push_back(name);
    }
  }
  return names;
}

std::vector<std::string> ListFiles(const std::string& folder) {
  std::vector<std::string> names;
  std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.c_str()), closedir);
  if (!dir) return names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    struct stat info {};
    if (stat((folder + "/" + name).c_str(), &info) == 0 && S_ISREG(info.st_mode)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

bool CopyWholeFile(const std::string& source, const std::string& target) {
  std::string contents;
  return ReadWholeFile(source, contents) && WriteFileAtomically(target, contents);
}

}  // namespace vyr::platform

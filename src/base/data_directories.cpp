#include "base/data_directories.h"

#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

using platform::JoinPath;

namespace {
constexpr platform::TextId kErrorCreatingRoot{33081};
constexpr platform::TextId kErrorCreatingFolder{33083};

// Stored names may use "\" between components; the platform uses "/".
std::string LocalName(std::string name) {
  for (char& c : name) {
    if (c == '\\') c = '/';
  }
  while (!name.empty() && name.back() == '/') name.pop_back();
  return name;
}
}  // namespace

DataDirectories::DataDirectories(std::string windowsDir, MessageBoxService* messages,
                                 std::function<std::string()> currentScheme)
    : windowsDir_(std::move(windowsDir)),
      messages_(messages),
      currentScheme_(std::move(currentScheme)) {}

std::string DataDirectories::Root() const {
  if (windowsDir_.empty()) return {};
  return JoinPath(windowsDir_, "vyrelle");
}

std::string DataDirectories::GetDataDirectory(const std::string& name, bool create) const {
  const std::string root = Root();
  if (create && !platform::CreateDirectories(root)) {
    if (messages_) messages_->Error(platform::LoadString(kErrorCreatingRoot));
    return {};
  }
  if (root.empty()) return {};
  const std::string local = LocalName(name);
  if (platform::AsciiLower(local) == "channels" || local.empty()) return root + "/";
  std::string folder = JoinPath(root, local);
  // The mail root holds the user's messages: only the user may enter it.
  const bool isPrivate = platform::AsciiLower(local) == "email";
  if (create && !(isPrivate ? platform::CreatePrivateDirectories(folder) : platform::CreateDirectories(folder))) {
    if (messages_) messages_->Error(platform::LoadString(kErrorCreatingFolder));
    return {};
  }
  return folder + "/";
}

std::string DataDirectories::ResolveSchemeFile(const std::string& name, bool fallback) const {
  const std::string root = Root();
  if (root.empty()) return {};
  std::string scheme = currentScheme_ ? currentScheme_() : std::string("default");
  std::string path = JoinPath(JoinPath(JoinPath(root, "media"), scheme), name);
  if (fallback && !platform::FileExists(path)) {
    path = JoinPath(JoinPath(JoinPath(root, "media"), "default"), name);
  }
  return path;
}

std::string DataDirectories::ResolveDataFile(const std::string& name, bool fallback) const {
  if (GetDataDirectory("Data", true).empty()) return {};
  std::string folder = GetDataDirectory("Data/Default", false);
  std::string path = JoinPath(folder, name);
  if (fallback && !platform::FileExists(path)) {
    if (GetDataDirectory("Data/Default", true).empty()) return {};
  }
  return path;
}

std::string InfoBoxPageFolder(int which) {
  return which == 2 ? "default/Dir2/" : "default/Dir1/";
}

std::string DefaultSchemeName(int colourCount) {
  return colourCount < 257 ? "LowColor" : "default";
}

}  // namespace vyr

#include "platform/windows_dir.h"

#include <cstdlib>

namespace vyr::platform {

namespace {
std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? std::string(v) : std::string();
}
}  // namespace

std::string GetWindowsDirectory() {
  std::string home = Env("VYRELLE_HOME");
  if (!home.empty()) return home;
  std::string xdg = Env("XDG_DATA_HOME");
  if (!xdg.empty()) return JoinPath(xdg, "vyrelle-home");
  std::string user = Env("HOME");
  if (!user.empty()) return JoinPath(user, ".local/share/vyrelle-home");
  return {};
}

bool EndsWithSeparator(const std::string& path) {
  return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  std::string out = folder;
  size_t start = 0;
  while (start < name.size() && (name[start] == '/' || name[start] == '\\')) ++start;
  if (!EndsWithSeparator(out)) out += kPathSeparator;
  out.append(name, start, std::string::npos);
  return out;
}

}  // namespace vyr::platform

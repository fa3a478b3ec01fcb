#include "platform/desktop_defaults.h"

#include <cstdlib>

#include "platform/file_system.h"

namespace vyr::platform {

namespace {

constexpr char kDefaultsSection[] = "[Default Applications]";

std::string EnvOrHome(const char* variable, const char* underHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + underHome;
}

std::string Trim(const std::string& text) {
  const size_t begin = text.find_first_not_of(" \t\r");
  if (begin == std::string::npos) return std::string();
  return text.substr(begin, text.find_last_not_of(" \t\r") - begin + 1);
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

// The value of `key` in the defaults section of the file's text, and where
// its line is (-1: no such line).
std::string FindDefault(const std::vector<std::string>& lines, const std::string& key, long* at) {
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = Trim(lines[i]);
    if (!line.empty() && line[0] == '[') {
      inSection = line == kDefaultsSection;
      continue;
    }
    if (!inSection) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos || Trim(line.substr(0, equals)) != key) continue;
    if (at) *at = static_cast<long>(i);
    return Trim(line.substr(equals + 1));
  }
  if (at) *at = -1;
  return std::string();
}

std::string FirstEntry(const std::string& value) { return Trim(value.substr(0, value.find(';'))); }

}  // namespace

std::string UserMimeAppsPath() {
  return EnvOrHome("XDG_CONFIG_HOME", "/.config") + "/mimeapps.list";
}

std::string DefaultApplication(const std::string& mimeType) {
  for (const std::string& path :
       {UserMimeAppsPath(), EnvOrHome("XDG_DATA_HOME", "/.local/share") + "/applications/mimeapps.list"}) {
    std::string text;
    if (!ReadWholeFile(path, text)) continue;
    const std::string value = FindDefault(Lines(text), mimeType, nullptr);
    if (!FirstEntry(value).empty()) return FirstEntry(value);
  }
  return std::string();
}

bool SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults) {
  const std::string path = UserMimeAppsPath();
  std::string text;
  ReadWholeFile(path, text);  // a missing file is an empty one
  std::vector<std::string> lines = Lines(text);
  bool changed = false;
  for (const auto& [type, desktopId] : defaults) {
    long at = -1;
    const std::string value = FindDefault(lines, type, &at);
    if (FirstEntry(value) == desktopId) continue;
    changed = true;
    // The program goes first; the others named before stay as fall-backs.
    std::string rest;
    size_t start = 0;
    while (start < value.size()) {
      size_t end = value.find(';', start);
      if (end == std::string::npos) end = value.size();
      const std::string entry = Trim(value.substr(start, end - start));
      if (!entry.empty() && entry != desktopId) rest += entry + ";";
      start = end + 1;
    }
    const std::string line = type + "=" + desktopId + ";" + rest;
    if (at >= 0) {
      lines[static_cast<size_t>(at)] = line;
      continue;
    }
    // A new line at the end of the section (made when missing).
    size_t insert = lines.size();
    bool found = false;
    for (size_t i = 0; i < lines.size(); ++i) {
      const std::string t = Trim(lines[i]);
      if (t == kDefaultsSection) {
        found = true;
        insert = i + 1;
        while (insert < lines.size() && (Trim(lines[insert]).empty() || Trim(lines[insert])[0] != '[')) ++insert;
        while (insert > i + 1 && Trim(lines[insert - 1]).empty()) --insert;
        break;
      }
    }
    if (!found) {
      if (!lines.empty() && !Trim(lines.back()).empty()) lines.push_back("");
      lines.push_back(kDefaultsSection);
      insert = lines.size();
    }
    lines.insert(lines.begin() + static_cast<long>(insert), line);
  }
  if (!changed) return true;
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  const size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) CreateDirectories(path.substr(0, slash));
  return WriteFileAtomically(path, out);
}

}  // namespace vyr::platform

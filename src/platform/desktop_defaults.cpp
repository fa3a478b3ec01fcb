#include "platform/desktop_defaults.h"

#include <cstdlib>

#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/text.h"

namespace vyr::platform {

namespace {

constexpr char kDefaultsSection[] = "[Default Applications]";

std::string EnvOrHome(const char* variable, const char* underHome) {
  const char* value = std::getenv(variable);
  if (value && value[0] == '/') return value;
  const char* home = std::getenv("HOME");
  return std::string(home ? home : "") + underHome;
}

// A line or entry without its blanks; lines keep the CR of a CR LF end (the
// file is written back as read), so the CR counts as a blank here.
std::string TrimLine(std::string_view text) { return Trim(text, kLineBlanks); }

// The value of `key` in the defaults section of the file's text, and where
// its line is (-1: no such line).
std::string FindDefault(const std::vector<std::string>& lines, const std::string& key, long* at) {
  bool inSection = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    const std::string line = TrimLine(lines[i]);
    if (!line.empty() && line[0] == '[') {
      inSection = line == kDefaultsSection;
      continue;
    }
    if (!inSection) continue;
    const size_t equals = line.find('=');
    if (equals == std::string::npos || TrimLine(line.substr(0, equals)) != key) continue;
    if (at) *at = static_cast<long>(i);
    return TrimLine(line.substr(equals + 1));
  }
  if (at) *at = -1;
  return std::string();
}

std::string FirstEntry(const std::string& value) { return TrimLine(value.substr(0, value.find(';'))); }

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) end = text.size();
    const std::string part = TrimLine(text.substr(start, end - start));
    if (!part.empty()) parts.push_back(part);
    start = end + 1;
  }
  return parts;
}

// The folders a list variable names (absolute ones only), or the fall-back.
std::vector<std::string> Folders(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  std::vector<std::string> folders;
  for (const std::string& folder : Split(value ? value : "", ':')) {
    if (folder[0] == '/') folders.push_back(folder);
  }
  return folders.empty() ? Split(fallback, ':') : folders;
}

// The desktop's names ($XDG_CURRENT_DESKTOP, "GNOME:Unity"), lower-cased:
// each has its own "<name>-mimeapps.list" that wins over the plain one.
std::vector<std::string> DesktopNames() {
  const char* value = std::getenv("XDG_CURRENT_DESKTOP");
  std::vector<std::string> names;
  for (std::string name : Split(value ? value : "", ':')) {
    if (name.find('/') != std::string::npos) continue;  // names a file in the folder, nothing else
    for (char& c : name) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    names.push_back(name);
  }
  return names;
}

// The mimeapps.list files, the one that counts most first: in the user's
// configuration folder, the system's configuration folders, then (the
// older places) the user's and the system's data folders under
// "applications"; in each folder the desktop's own files before the plain
// one.
std::vector<std::string> MimeAppsFiles() {
  std::vector<std::string> folders = {EnvOrHome("XDG_CONFIG_HOME", "/.config")};
  for (const std::string& f : Folders("XDG_CONFIG_DIRS", "/etc/xdg")) folders.push_back(f);
  folders.push_back(EnvOrHome("XDG_DATA_HOME", "/.local/share") + "/applications");
  for (const std::string& f : Folders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    folders.push_back(f + "/applications");
  }
  const std::vector<std::string> desktops = DesktopNames();
  std::vector<std::string> files;
  for (const std::string& folder : folders) {
    for (const std::string& desktop : desktops) files.push_back(folder + "/" + desktop + "-mimeapps.list");
    files.push_back(folder + "/mimeapps.list");
  }
  return files;
}

// A desktop file id names "applications/<id>" in a data folder, where a "-"
// of the id may also stand for a sub-folder ("kde-app.desktop" can be
// "applications/kde/app.desktop"). The file's path, or "".
std::string DesktopFileIn(const std::string& folder, const std::string& id) {
  if (FileExists(folder + "/" + id)) return folder + "/" + id;
  for (size_t dash = id.find('-'); dash != std::string::npos; dash = id.find('-', dash + 1)) {
    const std::string sub = folder + "/" + id.substr(0, dash);
    if (dash == 0 || !DirectoryExists(sub)) continue;
    if (std::string path = DesktopFileIn(sub, id.substr(dash + 1)); !path.empty()) return path;
  }
  return {};
}

// True when some data folder holds the desktop file: an entry the desktop
// cannot start is no default.
bool Installed(const std::string& id) { return !DesktopFilePath(id).empty(); }

// Puts each desktop file first in its type's line of the defaults section
// of the file; with `onlyNamed`, only types the file already has a line for
// are touched (and a missing file stays missing). True when nothing needed
// writing or the file was written.
bool PutFirst(const std::string& path, const std::vector<std::pair<std::string, std::string>>& defaults,
              bool onlyNamed) {
  std::string text;
  if (!ReadWholeFile(path, text) && onlyNamed) return true;  // a missing file is an empty one
  std::vector<std::string> lines = SplitLines(text, LineEnds::KeepCr);
  bool changed = false;
  for (const auto& [type, desktopId] : defaults) {
    long at = -1;
    const std::string value = FindDefault(lines, type, &at);
    if (FirstEntry(value) == desktopId || (onlyNamed && at < 0)) continue;
    changed = true;
    // The program goes first; the others named before stay as fall-backs.
    std::string rest;
    size_t start = 0;
    while (start < value.size()) {
      size_t end = value.find(';', start);
      if (end == std::string::npos) end = value.size();
      const std::string entry = TrimLine(value.substr(start, end - start));
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
      const std::string t = TrimLine(lines[i]);
      if (t == kDefaultsSection) {
        found = true;
        insert = i + 1;
        while (insert < lines.size() && (TrimLine(lines[insert]).empty() || TrimLine(lines[insert])[0] != '[')) ++insert;
        while (insert > i + 1 && TrimLine(lines[insert - 1]).empty()) --insert;
        break;
      }
    }
    if (!found) {
      if (!lines.empty() && !TrimLine(lines.back()).empty()) lines.push_back("");
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

}  // namespace

std::string DesktopFilePath(const std::string& id) {
  if (id.empty() || id.find('/') != std::string::npos || id == "." || id == "..") return {};
  if (std::string path = DesktopFileIn(EnvOrHome("XDG_DATA_HOME", "/.local/share") + "/applications", id);
      !path.empty()) {
    return path;
  }
  for (const std::string& folder : Folders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    if (std::string path = DesktopFileIn(folder + "/applications", id); !path.empty()) return path;
  }
  return {};
}

std::string DesktopExecLine(const std::string& id) { return DesktopEntryValue(id, "Exec"); }

std::string DesktopEntryValue(const std::string& id, const std::string& key) {
  std::string text;
  if (key.empty() || !ReadWholeFile(DesktopFilePath(id), text)) return {};
  bool entry = false;
  for (const std::string& raw : SplitLines(text)) {
    const std::string line = TrimLine(raw);
    if (!line.empty() && line[0] == '[') {
      entry = line == "[Desktop Entry]";
    } else if (entry && line.rfind(key, 0) == 0) {
      const size_t eq = line.find('=');
      if (eq != std::string::npos && TrimLine(line.substr(key.size(), eq - key.size())).empty()) {
        return TrimLine(line.substr(eq + 1));
      }
    }
  }
  return {};
}

std::vector<std::string> DesktopHandlers(const std::string& mimeType) {
  std::vector<std::string> folders = {EnvOrHome("XDG_DATA_HOME", "/.local/share") + "/applications"};
  for (const std::string& f : Folders("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
    folders.push_back(f + "/applications");
  }
  std::vector<std::string> ids;
  auto add = [&ids](const std::string& id) {
    for (const std::string& known : ids) {
      if (known == id) return;
    }
    ids.push_back(id);
  };
  for (const std::string& folder : folders) {
    // The folder's cache, as update-desktop-database writes it.
    std::string cache;
    if (ReadWholeFile(folder + "/mimeinfo.cache", cache)) {
      bool inSection = false;
      for (const std::string& raw : SplitLines(cache)) {
        const std::string line = TrimLine(raw);
        if (!line.empty() && line[0] == '[') {
          inSection = line == "[MIME Cache]";
          continue;
        }
        const size_t eq = line.find('=');
        if (!inSection || eq == std::string::npos || TrimLine(line.substr(0, eq)) != mimeType) continue;
        for (const std::string& id : Split(line.substr(eq + 1), ';')) add(id);
      }
    }
    // The files themselves, for a folder whose cache is missing or old.
    for (const std::string& name : ListFiles(folder)) {
      if (!EndsWith(name, ".desktop")) continue;
      std::string text;
      if (!ReadWholeFile(folder + "/" + name, text)) continue;
      bool entry = false;
      for (const std::string& raw : SplitLines(text)) {
        const std::string line = TrimLine(raw);
        if (!line.empty() && line[0] == '[') {
          entry = line == "[Desktop Entry]";
        } else if (entry && line.rfind("MimeType", 0) == 0) {
          const size_t eq = line.find('=');
          if (eq == std::string::npos || !TrimLine(line.substr(8, eq - 8)).empty()) continue;
          for (const std::string& type : Split(line.substr(eq + 1), ';')) {
            if (type == mimeType) add(name);
          }
        }
      }
    }
  }
  std::vector<std::string> handlers;
  for (const std::string& id : ids) {
    if (!Installed(id) || DesktopExecLine(id).empty() || DesktopEntryValue(id, "Hidden") == "true") continue;
    const std::string type = DesktopEntryValue(id, "Type");
    if (!type.empty() && type != "Application") continue;
    handlers.push_back(id);
  }
  return handlers;
}

std::string UserMimeAppsPath() {
  return EnvOrHome("XDG_CONFIG_HOME", "/.config") + "/mimeapps.list";
}

std::string DefaultApplication(const std::string& mimeType) {
  for (const std::string& path : MimeAppsFiles()) {
    std::string text;
    if (!ReadWholeFile(path, text)) continue;
    for (const std::string& id : Split(FindDefault(SplitLines(text, LineEnds::KeepCr), mimeType, nullptr), ';')) {
      if (Installed(id)) return id;
    }
  }
  return std::string();
}

bool SetDefaultApplications(const std::vector<std::pair<std::string, std::string>>& defaults) {
  // The desktop's own files in the user's folder win over the plain one:
  // where they name a type, the program goes first there too.
  const std::string folder = EnvOrHome("XDG_CONFIG_HOME", "/.config");
  for (const std::string& desktop : DesktopNames()) {
    if (!PutFirst(folder + "/" + desktop + "-mimeapps.list", defaults, true)) return false;
  }
  return PutFirst(UserMimeAppsPath(), defaults, false);
}

}  // namespace vyr::platform

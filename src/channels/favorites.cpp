#include "channels/favorites.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string_view>
#include <system_error>

#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "platform/registry.h"
#include "platform/windows_dir.h"
#include "platform/text.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

const char kShellFoldersKey[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";
const char kShortcutSection[] = "InternetShortcut";
const char kShortcutKey[] = "URL";
const char kNoAddress[] = "_NONE_";
constexpr size_t kMaxProbePath = 261;  // the probe's path must stay below this
// Sub-folders of the favorites that hold the system browser's update links,
// not bookmarks; the menu leaves them out.
const char kUpdateFolder[] = "/Favorites/Software Updates/Microsoft Internet Explorer";
const char kChannelsFolder[] = "Channels";
const char kEmptyText[] = "(Empty)";

const char kFolderExists[] = "This Folder already exists\n\nPlease try again";
const char kFolderCreateError[] = "Error creating folder\n\nPleae try again";
const char kAbnormalName[] = "Please select a name with normal characters";
const char kNameTaken[] = "Please select a new name";
const char kFolderNotEmpty[] = "Error Removing Folder\n\nMake sure it is empty";
const char kSameFolder[] = "You've moved it to the same folder";
const char kShortcutError[] = "Error 123 Creating shortcut";

bool IsTrailingSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

// "a/b/" -> "a/b"; a lone "/" stays.
std::string WithoutTrailingSeparators(std::string path) {
  while (path.size() > 1 && (path.back() == '/' || path.back() == '\\')) path.pop_back();
  return path;
}

bool EntryExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool SameEntry(const std::string& a, const std::string& b) {
  std::error_code ec;
  bool same = fs::equivalent(a, b, ec);
  if (!ec) return same;
  return fs::path(WithoutTrailingSeparators(a)).lexically_normal() ==
         fs::path(WithoutTrailingSeparators(b)).lexically_normal();
}

// A name for a scratch entry that nobody else uses.
std::string UniqueSuffix() {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%08x%04x", seed, counter.fetch_add(1) & 0xFFFFu);
  return buf;
}

// The full address kept in a shortcut file, however long: a shortcut that
// is opened, moved or rewritten never loses the end of its address.
bool ReadWholeAddress(const std::string& path, std::string& address) {
  auto value = platform::ReadProfileValue(path, kShortcutSection, kShortcutKey);
  if (!value || *value == kNoAddress) return false;
  address = *value;
  return true;
}

bool IsUpdateFolder(std::string path) {
  std::replace(path.begin(), path.end(), '\\', '/');
  return path.find(kUpdateFolder) != std::string::npos;
}

// Reads the code point at s[i] and moves i past it; a byte that starts no
// UTF-8 character stands for itself.
uint32_t NextCodePoint(std::string_view s, size_t& i) {
  const auto b = static_cast<unsigned char>(s[i++]);
  const int tail = b >= 0xF0 && b < 0xF8   ? 3
                   : b >= 0xE0 && b < 0xF0 ? 2
                   : b >= 0xC0 && b < 0xE0 ? 1
                                           : 0;
  if (tail == 0 || i + tail > s.size()) return b;
  uint32_t cp = b & (0x3Fu >> tail);
  for (int k = 0; k < tail; ++k) {
    const auto c = static_cast<unsigned char>(s[i + k]);
    if ((c & 0xC0) != 0x80) return b;
    cp = (cp << 6) | (c & 0x3Fu);
  }
  i += tail;
  return cp;
}

// The upper case of the letters of ASCII, Latin-1, Latin Extended-A, Greek
// and Cyrillic; other code points stay.
uint32_t UpperCase(uint32_t c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7) ||
      (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) || (c >= 0x430 && c <= 0x44F)) {
    return c - 0x20;
  }
  if (c == 0xFF) return 0x178;
  if (c == 0x3C2) return 0x3A3;  // final sigma
  if (c >= 0x450 && c <= 0x45F) return c - 0x50;
  const bool oddLower = (c >= 0x100 && c <= 0x137) || (c >= 0x14A && c <= 0x177);
  const bool evenLower = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
  if ((oddLower && (c & 1)) || (evenLower && !(c & 1))) return c - 1;
  return c;
}

// Orders names as the favorites' home file system lists a folder: by their
// upper case, character by character, so that "b" comes before "Sub" and "_"
// after the letters; names that differ only in case by their bytes.
bool ListedBefore(const std::string& a, const std::string& b) {
  size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const uint32_t x = UpperCase(NextCodePoint(a, i)), y = UpperCase(NextCodePoint(b, j));
    if (x != y) return x < y;
  }
  if (i < a.size() || j < b.size()) return j < b.size();
  return a < b;
}

}  // namespace

// --- the favorites folder ----------------------------------------------------

bool FindFavoritesFolder(const Application& app, std::string& folder) {
  folder.clear();
  if (!app.WindowsDirectory().empty()) {
    folder = platform::JoinPath(app.WindowsDirectory(), "Favorites");
  }
  auto shellValue =
      app.Registry().GetValue(platform::RegistryRoot::CurrentUser, kShellFoldersKey, "Favorites");
  if (shellValue && !shellValue->empty()) folder = WithoutTrailingSeparators(*shellValue);
  if (folder.empty()) return false;
  // There is no shell service to ask for the folder on this system. It counts
  // as found when it exists or can be made: without that a fresh install
  // would never have a favorites folder at all.
  return platform::CreateDirectories(folder);
}

// --- shortcut files ----------------------------------------------------------

bool ReadShortcut(const std::string& path, std::string& address) {
  // Read whole: an address cut at a buffer's end would open another page.
  return ReadWholeAddress(path, address);
}

bool IsShortcutFile(const std::string& path) {
  const std::string name = fs::path(WithoutTrailingSeparators(path)).filename().string();
  if (name.size() <= 4 || platform::AsciiLower(name.substr(name.size() - 4)) != ".url") return false;
  std::error_code ec;
  return fs::is_regular_file(fs::symlink_status(path, ec));
}

bool WriteShortcut(const std::string& path, const std::string& address) {
  if (path.empty()) return false;
  std::error_code ec;
  // The old file is taken away before the new one is written, so that the
  // new file holds nothing but the address. It is set aside rather than
  // deleted: when the write fails it is put back and no bookmark is lost.
  std::string aside;
  auto status = fs::symlink_status(path, ec);
  if (fs::exists(status) && !fs::is_directory(status)) {
    const std::string folder = platform::ParentFolder(path);
    for (int attempt = 0; attempt < 8 && aside.empty(); ++attempt) {
      std::string candidate = platform::JoinPath(folder, ".vyr-old-" + UniqueSuffix());
      if (EntryExists(candidate)) continue;
      fs::rename(path, candidate, ec);
      if (!ec) aside = candidate;
      break;
    }
    if (aside.empty()) fs::remove(path, ec);  // a failure here is ignored
  }
  bool written = platform::WritePrivateProfileString(kShortcutSection, kShortcutKey, address, path);
  if (!aside.empty()) {
    if (written) {
      fs::remove(aside, ec);
    } else {
      fs::rename(aside, path, ec);
    }
  }
  return written;
}

// --- names and the add-to-favorites checks -----------------------------------

std::string CleanFavoriteName(const std::string& name) {
  static const std::string kNotInNames = "!#*+/:<>?[\\]`{|}";
  std::string out(name);
  for (char& c : out) {
    if (kNotInNames.find(c) != std::string::npos) c = '-';
  }
  return out;
}

bool IsUsableFavoriteName(const std::string& name) {
  const std::string file = name + ".url";
  if (!platform::IsPlainFileName(file)) return false;
  std::error_code ec;
  const fs::path temp = fs::temp_directory_path(ec);
  if (ec || temp.empty()) return false;
  if (platform::JoinPath(temp.string(), file).size() >= kMaxProbePath) return false;

  // The probe is made inside a private folder of our own in the temporary
  // folder: a file of the same name that someone else keeps there (or a link
  // planted under that name) is then never truncated or removed.
  std::string probeFolder;
  for (int attempt = 0; attempt < 8 && probeFolder.empty(); ++attempt) {
    std::string candidate = platform::JoinPath(temp.string(), "vyrelle-name-" + UniqueSuffix());
    if (fs::create_directory(candidate, ec) && !ec) probeFolder = candidate;
  }
  if (probeFolder.empty()) return false;
  fs::permissions(probeFolder, fs::perms::owner_all, ec);

  const std::string probe = platform::JoinPath(probeFolder, file);
  bool usable = false;
  if (std::FILE* f = std::fopen(probe.c_str(), "wx")) {
    usable = true;
    std::fclose(f);
  }
  fs::remove(probe, ec);
  fs::remove(probeFolder, ec);
  return usable;
}

std::string TrimTrailingSpace(const std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsTrailingSpace(text[end - 1])) --end;
  return text.substr(0, end);
}

FavoriteCheck CheckNewFavorite(Application& app, const std::string& name,
                               const std::string& address) {
  FavoriteCheck check;
  std::string finalName = TrimTrailingSpace(name);
  // A name of nothing but blanks is as empty as no name at all.
  if (finalName.empty()) {
    check.message = "Invalid Name";
    return check;
  }
  std::string finalAddress = TrimTrailingSpace(address);
  finalName = CleanFavoriteName(finalName);
  if (!IsUsableFavoriteName(finalName)) {
    check.message = kNameTaken;
    return check;
  }
  if (finalAddress.size() < 3) {
    check.message = "Invalid URL";
    return check;
  }
  if (platform::AsciiLower(finalAddress.substr(0, 3)) == "www") finalAddress = "http://" + finalAddress;
  app.PlaySound("save");
  check.ok = true;
  check.name = std::move(finalName);
  check.address = std::move(finalAddress);
  return check;
}

std::string ShortcutPathFor(const std::string& folder, const std::string& name) {
  const std::string file = name + ".url";
  if (!platform::IsPlainFileName(file)) return {};
  return platform::JoinPath(folder, file);
}

bool FavoriteExists(const std::string& folder, const std::string& name) {
  const std::string path = ShortcutPathFor(folder, name);
  return !path.empty() && EntryExists(path);
}

bool WriteFavorite(const std::string& folder, const std::string& name, const std::string& address,
                   std::string* path) {
  std::string target = ShortcutPathFor(folder, name);
  if (target.empty() || !platform::DirectoryExists(folder)) return false;
  if (!WriteShortcut(target, address)) return false;
  if (path) *path = target;
  return true;
}

// --- the favorites menu --------------------------------------------------------

void FavoritesMenuMap::Reset() {
  next_ = kFirstCommand;
  commands_.clear();
}

std::vector<FavoritesMenuEntry> FavoritesMenuMap::FillFolder(const std::string& folder) {
  struct Listed {
    std::string name;
    bool isFolder;
  };
  std::vector<Listed> listed;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    // A link to a folder is no sub-menu: it may lead back up the tree.
    std::error_code typeError;
    listed.push_back({it->path().filename().string(), it->symlink_status(typeError).type() == fs::file_type::directory});
  }
  // The entries come in the order the favorites' home file system lists a
  // folder, whatever order this one hands them out in.
  std::sort(listed.begin(), listed.end(),
            [](const Listed& a, const Listed& b) { return ListedBefore(a.name, b.name); });

  std::vector<FavoritesMenuEntry> entries;
  for (const Listed& entry : listed) {
    const std::string path = platform::JoinPath(folder, entry.name);
    if (entry.isFolder) {
      if (entry.name == kChannelsFolder || IsUpdateFolder(path)) continue;
      entries.push_back({FavoritesMenuEntry::Kind::SubMenu, entry.name, path, 0});
    } else if (IsShortcutFile(path)) {
      const int command = next_++;
      commands_[command] = path;
      entries.push_back({FavoritesMenuEntry::Kind::Item,
                         entry.name.substr(0, entry.name.rfind('.')), path, command});
    }
  }
  if (entries.empty()) entries.push_back({FavoritesMenuEntry::Kind::Empty, kEmptyText, {}, 0});
  return entries;
}

std::string FavoritesMenuMap::ShortcutFor(int command) const {
  auto it = commands_.find(command);
  return it == commands_.end() ? std::string() : it->second;
}

// --- the favorites organizer ---------------------------------------------------

FavoritesOrganizer::FavoritesOrganizer(std::string root, MessageBoxService& messages)
    : root_(WithoutTrailingSeparators(std::move(root))), messages_(messages) {}

bool FavoritesOrganizer::IsRoot(const std::string& path) const { return SameEntry(path, root_); }

std::string FavoritesOrganizer::FolderOfItem(const std::string& path) {
  if (platform::DirectoryExists(path)) return path;
  return platform::ParentFolder(WithoutTrailingSeparators(path));
}

FavoritesOrganizer::Result FavoritesOrganizer::NewFolder(const std::string& parent,
                                                         const std::string& answer) {
  const std::string name = TrimTrailingSpace(answer);
  if (name.empty()) return {Outcome::Cancelled, {}};
  // A name with a separator (or "." / "..") would make the folder somewhere
  // other than in the parent: it cannot be made here.
  if (!platform::IsPlainFileName(name)) {
    messages_.Error(kFolderCreateError);
    return {Outcome::TryAgain, {}};
  }
  const std::string path = platform::JoinPath(parent, name);
  if (platform::DirectoryExists(path)) {
    messages_.Error(kFolderExists);
    return {Outcome::TryAgain, {}};
  }
  std::error_code ec;
  if (!fs::create_directory(path, ec) || ec) {
    messages_.Error(kFolderCreateError);
    return {Outcome::TryAgain, {}};
  }
  return {Outcome::Done, path};
}

FavoritesOrganizer::Result FavoritesOrganizer::RenameFolder(const std::string& folderIn,
                                                            const std::string& answer) {
  const std::string name = TrimTrailingSpace(answer);
  if (name.empty()) return {Outcome::Cancelled, {}};
  const std::string folder = WithoutTrailingSeparators(folderIn);
  if (IsRoot(folder) || !platform::DirectoryExists(folder)) return {Outcome::Failed, {}};
  const std::string clean = CleanFavoriteName(name);
  if (!IsUsableFavoriteName(clean)) {
    messages_.Error(kAbnormalName);
    return {Outcome::TryAgain, {}};
  }
  // The test is on the cleaned name: renaming onto any existing entry would
  // replace or hide it.
  const std::string target = platform::JoinPath(platform::ParentFolder(folder), clean);
  if (EntryExists(target)) {
    messages_.Error(kFolderExists);
    return {Outcome::TryAgain, {}};
  }
  std::error_code ec;
  fs::rename(folder, target, ec);
  if (ec) return {Outcome::Failed, {}};
  return {Outcome::Done, target};
}

FavoritesOrganizer::Result FavoritesOrganizer::ModifyPage(const std::string& shortcut,
                                                          const std::string& name,
                                                          const std::string& address) {
  const std::string trimmed = TrimTrailingSpace(name);
  if (trimmed.empty()) return {Outcome::Cancelled, {}};
  if (!platform::FileExists(shortcut)) return {Outcome::Failed, {}};
  const std::string clean = CleanFavoriteName(trimmed);
  if (!IsUsableFavoriteName(clean)) {
    messages_.Error(kAbnormalName);
    return {Outcome::TryAgain, {}};
  }
  const std::string target = ShortcutPathFor(platform::ParentFolder(shortcut), clean);
  const bool sameFile = EntryExists(target) && SameEntry(target, shortcut);
  // Another bookmark of the new name would be overwritten: ask for another.
  if (!sameFile && EntryExists(target)) {
    messages_.Error(kNameTaken);
    return {Outcome::TryAgain, {}};
  }
  // The new file is written before the old one goes, so that a failed write
  // leaves the bookmark as it was.
  if (!WriteShortcut(target, TrimTrailingSpace(address))) {
    messages_.Error(kShortcutError);
    return {Outcome::Failed, {}};
  }
  if (!sameFile) {
    std::error_code ec;
    fs::remove(shortcut, ec);
  }
  return {Outcome::Done, target};
}

bool FavoritesOrganizer::Delete(const std::string& path) {
  if (path.empty() || IsRoot(path)) return false;
  std::error_code ec;
  auto status = fs::symlink_status(path, ec);
  if (!fs::exists(status)) return false;
  // fs::remove takes an empty folder only; a folder with anything in it stays.
  if (!fs::remove(path, ec) || ec) {
    if (fs::is_directory(status) && ec == std::errc::directory_not_empty) {
      messages_.Error(kFolderNotEmpty);
    } else {
      std::string text = kFavoriteNotDeletedText.Text();
      if (const size_t at = text.find("%s"); at != std::string::npos) {
        std::string name = fs::path(path).filename().string();
        if (IsShortcutFile(path)) name.resize(name.size() - 4);
        text.replace(at, 2, name);
      }
      messages_.Error(text);
    }
    return false;
  }
  return true;
}

std::vector<FavoritesTreeNode> ListFavorites(const std::string& folder) {
  std::vector<FavoritesTreeNode> folders, shortcuts;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string path = it->path().string();
    const std::string name = it->path().filename().string();
    std::error_code typeError;
    if (it->symlink_status(typeError).type() == fs::file_type::directory) {
      folders.push_back({name, path, true, ListFavorites(path)});
    } else if (IsShortcutFile(path)) {
      shortcuts.push_back({name.substr(0, name.size() - 4), path, false, {}});
    }
  }
  auto byName = [](const FavoritesTreeNode& a, const FavoritesTreeNode& b) {
    return ListedBefore(a.text, b.text);
  };
  std::sort(folders.begin(), folders.end(), byName);
  std::sort(shortcuts.begin(), shortcuts.end(), byName);
  folders.insert(folders.end(), std::make_move_iterator(shortcuts.begin()),
                 std::make_move_iterator(shortcuts.end()));
  return folders;
}

FavoritesOrganizer::Result FavoritesOrganizer::MoveShortcut(const std::string& shortcut,
                                                            const std::string& targetFolder) {
  if (!platform::FileExists(shortcut) || !platform::DirectoryExists(targetFolder)) {
    return {Outcome::Failed, {}};
  }
  if (SameEntry(platform::ParentFolder(shortcut), targetFolder)) {
    messages_.Information(kSameFolder);
    return {Outcome::Failed, {}};
  }
  // A shortcut without an address, or one whose name is taken in the target
  // folder, is left where it is: moving it would lose a bookmark.
  std::string address;
  const std::string target =
      platform::JoinPath(targetFolder, fs::path(shortcut).filename().string());
  if (!ReadWholeAddress(shortcut, address) || EntryExists(target) ||
      !WriteShortcut(target, address)) {
    messages_.Error(kShortcutError);
    return {Outcome::Failed, {}};
  }
  std::error_code ec;
  fs::remove(shortcut, ec);
  return {Outcome::Done, target};
}

}  // namespace vyr

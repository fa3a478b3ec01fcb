#include "channels/bookmark_import.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <initializer_list>
#include <system_error>

#include "channels/favorites.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/string_table.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace fs = std::filesystem;

namespace {

const char kUsersKey[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
const char kBookmarkListKey[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Bookmark List";
const char kProgramFolder[] = "Vyrelle";

constexpr std::string_view kEntry = "<DT>";
constexpr std::string_view kListEnd = "</DL>";
constexpr std::string_view kAnchor = "<A HREF=\"";
constexpr std::string_view kAnchorEnd = "</A>";
// A file name takes 255 bytes on the file systems the favorites live on; a
// title leaves room for ".url".
constexpr size_t kMaxFileName = 255;
constexpr size_t kMaxTitle = kMaxFileName - 4;

// Finds the next occurrence of one token. The parse only ever moves forward,
// so an answer stays good until the cursor passes it; remembering it keeps a
// long file without that token from being scanned again at every entry.
class TokenFinder {
 public:
  TokenFinder(std::string_view text, std::string_view token) : text_(text), token_(token) {}
  size_t From(size_t pos) {
    if (!known_ || pos < from_ || (found_ != std::string_view::npos && found_ < pos)) {
      from_ = pos;
      found_ = text_.find(token_, pos);
      known_ = true;
    }
    return found_;
  }

 private:
  std::string_view text_, token_;
  bool known_ = false;
  size_t from_ = 0;
  size_t found_ = std::string_view::npos;
};

// The end of the longest start of text of at most limit bytes that does not
// stop inside a UTF-8 character (a text that is no UTF-8 is cut at limit).
size_t CharacterBoundary(std::string_view text, size_t limit) {
  if (text.size() <= limit) return text.size();
  size_t end = limit;
  for (int back = 0; back < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80;
       ++back) {
    --end;
  }
  return (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80 ? limit : end;
}

std::string CutText(std::string_view text, size_t begin, size_t end) {
  std::string_view part = text.substr(begin, end - begin);
  return std::string(part.substr(0, CharacterBoundary(part, kBookmarkTextLimit)));
}

// Writes one code point as UTF-8. Numbers that are no character (zero,
// surrogate halves, beyond U+10FFFF) become U+FFFD, as browsers read them.
void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
  if (cp < 0x80) {
    out += static_cast<char>(cp);
    return;
  }
  const int tail = cp < 0x800 ? 1 : cp < 0x10000 ? 2 : 3;
  static const unsigned char kLead[] = {0, 0xC0, 0xE0, 0xF0};
  out += static_cast<char>(kLead[tail] | (cp >> (6 * tail)));
  for (int i = tail - 1; i >= 0; --i) out += static_cast<char>(0x80 | ((cp >> (6 * i)) & 0x3F));
}

// Decodes the character references a bookmark file holds: the named ones
// browsers write ("&amp;", "&lt;", "&gt;", "&quot;", "&apos;") and decimal and
// hexadecimal ones ("&#39;", "&#x2F;"). Anything else, and a reference
// without its ";", stays as it is.
std::string DecodeReferences(std::string_view text) {
  static const std::pair<std::string_view, char> kNamed[] = {
      {"amp;", '&'}, {"lt;", '<'}, {"gt;", '>'}, {"quot;", '"'}, {"apos;", '\''}};
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] != '&') {
      out += text[i++];
      continue;
    }
    const std::string_view rest = text.substr(i + 1);
    bool decoded = false;
    if (rest.starts_with('#')) {
      const bool hex = rest.size() > 1 && (rest[1] == 'x' || rest[1] == 'X');
      size_t j = hex ? 2 : 1;
      const size_t digits = j;
      uint32_t value = 0;
      for (; j < rest.size(); ++j) {
        const char c = rest[j];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        // Past U+10FFFF the number only has to stay out of range.
        value = std::min<uint32_t>(value * (hex ? 16 : 10) + static_cast<uint32_t>(digit),
                                   0x110000);
      }
      if (j > digits && j < rest.size() && rest[j] == ';') {
        AppendUtf8(out, value);
        i += 1 + j + 1;
        decoded = true;
      }
    } else {
      for (const auto& [name, c] : kNamed) {
        if (rest.starts_with(name)) {
          out += c;
          i += 1 + name.size();
          decoded = true;
          break;
        }
      }
    }
    if (!decoded) out += text[i++];
  }
  return out;
}

// A folder name or title made a file name: cleaned as the organizer cleans
// names (separators included), control characters as blanks, trailing blanks
// cut, and cut to limit bytes. Empty when no usable name is left ("", "."
// or "..").
std::string FileNameOf(std::string name, size_t limit) {
  name = CleanFavoriteName(name);
  for (char& c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  name = TrimTrailingSpace(name);
  name.resize(CharacterBoundary(name, limit));
  name = TrimTrailingSpace(name);
  return IsSafeBookmarkName(name) ? name : std::string();
}

// Schemes whose addresses only mean something inside another browser, or
// run script in the page that is open: a shortcut to them is useless or unsafe.
constexpr std::string_view kLeftOutSchemes[] = {
    "javascript", "vbscript", "data",          "place", "about",   "chrome", "chrome-extension",
    "resource",   "edge",     "moz-extension", "opera", "vivaldi", "brave"};

// The address a bookmark's shortcut holds: references decoded; tabs and line
// breaks dropped, and blanks and control characters cut from both ends, as a
// browser reads an address. Empty when nothing is left or the scheme is left out.
std::string ShortcutAddressOf(std::string_view raw) {
  std::string address;
  for (char c : DecodeReferences(raw)) {
    if (c != '\t' && c != '\n' && c != '\r') address += c;
  }
  auto edge = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
  size_t begin = 0, end = address.size();
  while (begin < end && edge(address[begin])) ++begin;
  while (end > begin && edge(address[end - 1])) --end;
  address = address.substr(begin, end - begin);

  std::string scheme;
  for (char c : address) {
    if (c == ':') {
      for (std::string_view leftOut : kLeftOutSchemes) {
        if (scheme == leftOut) return {};
      }
      break;
    }
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') break;
    scheme += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return address;
}

// The parse of nested lists, kept on a stack of its own rather than the
// call stack so that a file of thousands of nested folders cannot exhaust it.
class BookmarkParser {
 public:
  BookmarkParser(std::string_view text, BookmarkSink& sink)
      : text_(text.substr(0, text.find('\0'))),
        sink_(sink),
        entry_(text_, kEntry),
        listEnd_(text_, kListEnd),
        quote_(text_, "\""),
        close_(text_, ">"),
        open_(text_, "<"),
        anchorEnd_(text_, kAnchorEnd) {}

  bool Run(const std::string& folder) {
    struct List {
      std::string folder;
      bool result;
    };
    std::vector<List> lists{{folder, true}};
    bool last = true;
    // Ends the innermost list; its result becomes its parent's current result.
    auto finish = [&](bool result) {
      lists.pop_back();
      if (lists.empty()) {
        last = result;
      } else {
        lists.back().result = result;
      }
    };

    while (!lists.empty()) {
      const size_t entry = entry_.From(cursor_);
      if (entry == std::string_view::npos) {
        finish(lists.back().result);
        continue;
      }
      const size_t listEnd = listEnd_.From(cursor_);
      if (listEnd != std::string_view::npos && listEnd < entry) {
        cursor_ = listEnd + kListEnd.size();
        finish(lists.back().result);
        continue;
      }
      cursor_ = entry + kEntry.size();

      if (text_.substr(cursor_, kAnchor.size()) == kAnchor) {
        // A bookmark: <A HREF="address" ...>title</A>
        cursor_ += kAnchor.size();
        const size_t quote = quote_.From(cursor_);
        if (quote == std::string_view::npos) {
          finish(false);
          continue;
        }
        std::string address = CutText(text_, cursor_, quote);
        cursor_ = quote;
        const size_t close = close_.From(cursor_);
        if (close == std::string_view::npos) {
          finish(false);
          continue;
        }
        cursor_ = close + 1;
        const size_t end = anchorEnd_.From(cursor_);
        if (end == std::string_view::npos) {
          finish(false);
          continue;
        }
        const std::string rawTitle = CutText(text_, cursor_, end);
        cursor_ = end + kAnchorEnd.size();
        address = ShortcutAddressOf(address);
        if (address.empty()) continue;  // left out
        // A bookmark without a usable title is named after its address.
        std::string title = FileNameOf(DecodeReferences(rawTitle), kMaxTitle);
        if (title.empty()) title = FileNameOf(address, kMaxTitle);
        if (!title.empty()) sink_.WriteBookmark(lists.back().folder, title, address);
        continue;
      }

      // A folder: <DT><H3 ...>name< followed by its own list.
      const size_t close = close_.From(cursor_);
      if (close == std::string_view::npos) {
        finish(false);
        continue;
      }
      cursor_ = close + 1;
      const size_t open = open_.From(cursor_);
      if (open == std::string_view::npos) {
        finish(false);
        continue;
      }
      const std::string name =
          FileNameOf(DecodeReferences(CutText(text_, cursor_, open)), kMaxFileName);
      cursor_ = open;
      // A name that is no file name even when cleaned ("", "." or ".."): the
      // folder is not made and its entries go into the folder around it, so
      // that nothing is lost and the parse stays in step with the lists.
      if (name.empty()) {
        lists.push_back({lists.back().folder, true});
        continue;
      }
      // A folder that cannot be made ends the whole parse.
      std::string created;
      if (!sink_.CreateFolder(lists.back().folder, name, created)) return false;
      lists.push_back({created, true});
    }
    return last;
  }

 private:
  std::string_view text_;
  BookmarkSink& sink_;
  size_t cursor_ = 0;
  TokenFinder entry_, listEnd_, quote_, close_, open_, anchorEnd_;
};

}  // namespace

// --- sinks and names -----------------------------------------------------------

bool IsSafeBookmarkName(const std::string& name) { return platform::IsPlainFileName(name); }

bool FileBookmarkSink::CreateFolder(const std::string& parent, const std::string& name,
                                    std::string& created) {
  if (!IsSafeBookmarkName(name)) return false;
  const std::string path = platform::JoinPath(parent, name);
  std::error_code ec;
  if (fs::create_directory(path, ec) && !ec) {
    if (report_) report_->folders.push_back(path);
  } else if (!fs::is_directory(fs::symlink_status(path, ec))) {
    return false;
  }
  // Otherwise a folder of that name is there already (a bookmark file may
  // hold two folders of one name): the entries of the second join it.
  created = path;
  return true;
}

void FileBookmarkSink::WriteBookmark(const std::string& folder, const std::string& title,
                                     const std::string& address) {
  if (!IsSafeBookmarkName(title)) return;
  const std::string path = ShortcutPathFor(folder, title);
  if (path.empty() || !WriteShortcut(path, address)) return;
  if (report_) report_->shortcuts.push_back(path);
}

// --- parsing -------------------------------------------------------------------

bool ParseBookmarks(std::string_view text, const std::string& folder, BookmarkSink& sink) {
  return BookmarkParser(text, sink).Run(folder);
}

bool ParseBookmarks(std::string_view text, const std::string& folder,
                    BookmarkImportReport* report) {
  FileBookmarkSink sink(report);
  return ParseBookmarks(text, folder, sink);
}

// --- finding and importing the file ----------------------------------------------

bool FindBookmarkFile(const Application& app, std::string& path, std::uintmax_t& size) {
  // The user name lives in "USERNAME" where the other browser ran; a Linux
  // session sets "USER" instead, which is taken when "USERNAME" is unset.
  if (!std::getenv("USERNAME") && !std::getenv("USER")) return false;

  const platform::Registry& registry = app.Registry();
  auto take = [&](const std::string& candidate) {
    if (!platform::FileExists(candidate)) return false;
    std::error_code ec;
    std::uintmax_t bytes = fs::file_size(candidate, ec);
    if (ec) return false;
    path = candidate;
    size = bytes;
    return true;
  };

  auto user = registry.GetValue(platform::RegistryRoot::LocalMachine, kUsersKey, "CurrentUser");
  if (user && !user->empty()) {
    auto dir = registry.GetValue(platform::RegistryRoot::LocalMachine,
                                 std::string(kUsersKey) + "\\" + *user, "DirRoot");
    if (dir && !dir->empty() && take(platform::JoinPath(*dir, "bookmark.htm"))) return true;
  }
  auto location =
      registry.GetValue(platform::RegistryRoot::CurrentUser, kBookmarkListKey, "FileLocation");
  return location && !location->empty() && take(*location);
}

BookmarkImportStatus ImportBookmarkFile(const std::string& file, const std::string& favoritesFolder,
                                        BookmarkImportReport* report) {
  if (favoritesFolder.empty() || !platform::DirectoryExists(favoritesFolder)) {
    return BookmarkImportStatus::NoFavoritesFolder;
  }
  const std::string importFolder = platform::JoinPath(favoritesFolder, kImportFolderName);
  if (platform::DirectoryExists(importFolder)) return BookmarkImportStatus::AlreadyImported;
  // The file is read before the import folder is made: a file that cannot be
  // read then leaves nothing behind, and a later import can still run.
  std::string text;
  if (!platform::ReadWholeFile(file, text)) return BookmarkImportStatus::Unreadable;
  std::error_code ec;
  if (!fs::create_directory(importFolder, ec) || ec) return BookmarkImportStatus::AlreadyImported;
  return ParseBookmarks(text, importFolder, report) ? BookmarkImportStatus::Imported
                                                    : BookmarkImportStatus::ParseFailed;
}

bool ImportBookmarks(const Application& app, BookmarkImportReport* report) {
  std::string favorites, file;
  std::uintmax_t size = 0;
  if (!FindBookmarkFile(app, file, size)) return false;
  if (!FindFavoritesFolder(app, favorites)) return false;
  return ImportBookmarkFile(file, favorites, report) == BookmarkImportStatus::Imported;
}

UserBookmarkImport ImportBookmarksForUser(const Application& app, const std::string& file) {
  constexpr platform::TextId kImported{41787};         // "%d ... into "%s"."
  constexpr platform::TextId kImportedBefore{41788};   // "... "%s" exists already ..."
  constexpr platform::TextId kUnreadable{41789};       // "%s could not be read ..."
  constexpr platform::TextId kIncomplete{41790};       // "... %s ... %d ... "%s"."
  constexpr platform::TextId kNoFavorites{41791};      // "No favorites folder ... (%s)."
  UserBookmarkImport result;
  std::string favorites;
  BookmarkImportReport report;
  if (!FindFavoritesFolder(app, favorites)) {
    result.status = BookmarkImportStatus::NoFavoritesFolder;
  } else {
    result.status = ImportBookmarkFile(file, favorites, &report);
  }
  result.imported = report.shortcuts.size();
  const std::string folder = platform::JoinPath(favorites, kImportFolderName);
  const std::string count = std::to_string(result.imported);
  // Each "%s" or "%d" of a text in turn.
  auto fill = [](std::string text, std::initializer_list<std::string> values) {
    size_t from = 0;
    for (const std::string& value : values) {
      size_t at = text.find('%', from);
      while (at != std::string::npos && (at + 1 >= text.size() || (text[at + 1] != 's' && text[at + 1] != 'd')))
        at = text.find('%', at + 1);
      if (at == std::string::npos) break;
      text.replace(at, 2, value);
      from = at + value.size();
    }
    return text;
  };
  switch (result.status) {
    case BookmarkImportStatus::Imported: result.message = fill(kImported.Text(), {count, folder}); break;
    case BookmarkImportStatus::AlreadyImported: result.message = fill(kImportedBefore.Text(), {folder}); break;
    case BookmarkImportStatus::NoBookmarkFile:
    case BookmarkImportStatus::Unreadable: result.message = fill(kUnreadable.Text(), {file}); break;
    case BookmarkImportStatus::ParseFailed: result.message = fill(kIncomplete.Text(), {file, count, folder}); break;
    case BookmarkImportStatus::NoFavoritesFolder: result.message = fill(kNoFavorites.Text(), {favorites}); break;
  }
  return result;
}

bool SeedFavorites(const Application& app, BookmarkImportReport* report) {
  std::string favorites;
  if (!FindFavoritesFolder(app, favorites)) return false;
  const std::string programFolder = platform::JoinPath(favorites, kProgramFolder);
  std::error_code ec;
  const bool created = fs::create_directory(programFolder, ec) && !ec;
  if (created) {
    const std::pair<const char*, const char*> seeds[] = {
        {"Scheme Archive.url", "/archive/schemes"},
        {"Channel Archive.url", "/archive/channels"},
        {"Vyrelle Home.url", "/"},
        {"Latest Changes.url", "/update/"},
    };
    for (const auto& [file, page] : seeds) {
      WriteShortcut(platform::JoinPath(programFolder, file), app.HomeServerUrl(page));
    }
  }
  ImportBookmarks(app, report);
  return created;
}

}  // namespace vyr

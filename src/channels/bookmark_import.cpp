#include "channels/bookmark_import.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "channels/favorites.h"
#include "platform/file_system.h"
#include "platform/registry.h"
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

std::string CutText(std::string_view text, size_t begin, size_t end) {
  size_t length = end - begin;
  if (length > kBookmarkTextLimit) length = kBookmarkTextLimit;
  return std::string(text.substr(begin, length));
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
        std::string title = CutText(text_, cursor_, end);
        cursor_ = end + kAnchorEnd.size();
        // A title that would leave the folder cannot be a file name in it:
        // the bookmark is skipped like any shortcut that cannot be written.
        if (IsSafeBookmarkName(title)) sink_.WriteBookmark(lists.back().folder, title, address);
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
      std::string name = CutText(text_, cursor_, open);
      cursor_ = open;
      // A folder that cannot be made ends the whole parse; a name that would
      // leave the folder is one of those.
      std::string created;
      if (!IsSafeBookmarkName(name) || !sink_.CreateFolder(lists.back().folder, name, created)) {
        return false;
      }
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
  // Only a folder made here counts: one that exists already is a failure.
  if (!fs::create_directory(path, ec) || ec) return false;
  created = path;
  if (report_) report_->folders.push_back(path);
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

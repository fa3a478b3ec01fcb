#pragma once
// Seeding the user's favorites: the program's own favorites folder with four
// shortcuts to the home server, and a copy of the other browser's bookmark
// file (an HTML list of "<DT>" entries) in the favorites folder
// "Imported from Netscape", one shortcut per bookmark and one folder per
// group.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/application.h"

namespace vyr {

// Folder names, titles and addresses are first cut to fit buffers of 2000
// bytes (1999 characters and the end mark), never inside a UTF-8 character.
constexpr size_t kBookmarkTextLimit = 1999;

// Where a parsed bookmark list goes. Folders are named by the text the sink
// returns for them; the list's own folder is the text given to the parse.
// The parse hands a sink only cleaned file names that stay inside their
// folder, and only addresses worth a shortcut.
class BookmarkSink {
 public:
  virtual ~BookmarkSink() = default;
  // Makes a sub-folder; false when it cannot be made (that ends the parse).
  virtual bool CreateFolder(const std::string& parent, const std::string& name,
                            std::string& created) = 0;
  // Writes one bookmark; a bookmark that cannot be written is skipped.
  virtual void WriteBookmark(const std::string& folder, const std::string& title,
                             const std::string& address) = 0;
};

// What an import or a parse into the file system wrote, in order.
struct BookmarkImportReport {
  std::vector<std::string> folders;
  std::vector<std::string> shortcuts;
};

// Writes folders and "<title>.url" shortcuts on disk. A bookmark whose
// shortcut cannot be written is skipped silently; a second folder of a name
// already made takes its entries into the first.
class FileBookmarkSink : public BookmarkSink {
 public:
  explicit FileBookmarkSink(BookmarkImportReport* report = nullptr) : report_(report) {}
  bool CreateFolder(const std::string& parent, const std::string& name,
                    std::string& created) override;
  void WriteBookmark(const std::string& folder, const std::string& title,
                     const std::string& address) override;

 private:
  BookmarkImportReport* report_;
};

// True when a folder name or title names exactly one entry directly inside
// its folder: not empty, not "." or "..", no "/", "\" or zero byte (which
// also rules out absolute paths).
bool IsSafeBookmarkName(const std::string& name);

// Parses the bookmark list at the start of text into folder. The text ends
// at its first zero byte. "<DT>", "</DL>" and the anchor opening
// <A HREF=" are matched exactly, with case. Character references in names
// and addresses are decoded. Folder names and titles are cleaned as the
// organizer cleans favorites names and cut to fit a file name; a folder whose
// name is still none ("", "." or "..") is not made and its entries go into the
// folder around it; a bookmark without a usable title is named after its
// address.
// Bookmarks whose address is empty, only means something inside another
// browser ("place:", "about:", ...) or runs script ("javascript:", "data:")
// are left out. A folder that cannot be made ends the whole parse with false;
// a missing quote, ">", "<" or "</A>" fails the list it is in. What was
// written before a failure stays.
bool ParseBookmarks(std::string_view text, const std::string& folder, BookmarkSink& sink);
// The same, writing into the folder on disk.
bool ParseBookmarks(std::string_view text, const std::string& folder,
                    BookmarkImportReport* report = nullptr);

// Finds the bookmark file through the environment and the registry. False
// when there is none.
bool FindBookmarkFile(const Application& app, std::string& path, std::uintmax_t& size);

enum class BookmarkImportStatus {
  Imported,           // the list was read to its end
  NoFavoritesFolder,  // no favorites folder is usable
  NoBookmarkFile,     // no bookmark file was found
  Unreadable,         // the file could not be read; nothing was made
  AlreadyImported,    // the import folder could not be made (it exists)
  ParseFailed,        // the list ended early; what was written stays
};

// The name of the favorites folder the bookmarks go into.
constexpr const char* kImportFolderName = "Imported from Netscape";

// Imports one bookmark file into <favoritesFolder>/Imported from Netscape.
// Nothing at all is done when that folder exists already.
BookmarkImportStatus ImportBookmarkFile(const std::string& file, const std::string& favoritesFolder,
                                        BookmarkImportReport* report = nullptr);

// Finds the favorites folder and the bookmark file and imports it. True when
// the import ran to its end.
bool ImportBookmarks(const Application& app, BookmarkImportReport* report = nullptr);

// The import a user starts (the favorites menu, the command link): one
// bookmark file imported, and its outcome in the words the user is shown.
struct UserBookmarkImport {
  BookmarkImportStatus status = BookmarkImportStatus::NoBookmarkFile;
  size_t imported = 0;  // the shortcuts written
  std::string message;
  bool ok() const { return status == BookmarkImportStatus::Imported; }
};
// Imports the file into the favorites' import folder and tells how it went:
// how many bookmarks came in; that they came in before (naming the folder,
// which is left as it is); that the file could not be read; or that its list
// ended early, what was written staying.
UserBookmarkImport ImportBookmarksForUser(const Application& app, const std::string& file);

// Makes the program's favorites folder "<favorites>/Vyrelle"; when it is new,
// writes "Scheme Archive", "Channel Archive", "Vyrelle Home" and "Latest
// Changes" into it. Then imports the bookmarks (which does nothing once the
// import folder exists). True when the program folder was made this time.
bool SeedFavorites(const Application& app, BookmarkImportReport* report = nullptr);

}  // namespace vyr

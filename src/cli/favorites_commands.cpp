// vyrelle-cli favorites: the bookmark import and the name cleaning of the
// favorites, run without windows.
#include <ostream>

#include "channels/bookmark_import.h"
#include "channels/favorites.h"
#include "cli/cli_context.h"
#include "platform/windows_dir.h"

namespace vyr::cli {

namespace {

int ImportBookmarksCommand(Context& c, const std::string& file) {
  std::string favorites;
  if (!FindFavoritesFolder(c.app, favorites)) {
    c.err << "vyrelle-cli: no favorites folder can be used"
          << (favorites.empty() ? std::string() : " (" + favorites + ")") << "\n";
    return 1;
  }
  BookmarkImportReport report;
  const BookmarkImportStatus status = ImportBookmarkFile(file, favorites, &report);
  for (const std::string& shortcut : report.shortcuts) c.out << shortcut << "\n";
  const std::string importFolder = platform::JoinPath(favorites, kImportFolderName);
  switch (status) {
    case BookmarkImportStatus::Imported:
      return 0;
    case BookmarkImportStatus::NoFavoritesFolder:
      c.err << "vyrelle-cli: no favorites folder can be used (" << favorites << ")\n";
      return 1;
    case BookmarkImportStatus::NoBookmarkFile:
    case BookmarkImportStatus::Unreadable:
      c.err << "vyrelle-cli: cannot read " << file << "\n";
      return 1;
    case BookmarkImportStatus::AlreadyImported:
      c.err << "vyrelle-cli: nothing imported: " << importFolder
            << " exists already (remove it to import again)\n";
      return 1;
    case BookmarkImportStatus::ParseFailed:
      c.err << "vyrelle-cli: the bookmark list in " << file << " is incomplete; the import stopped"
            << (report.shortcuts.empty() && report.folders.empty() ? " before writing anything"
                                                                   : " after what is listed")
            << "\n";
      return 1;
  }
  return 1;
}

}  // namespace

void AddFavoritesCommands(CommandTree& tree, CLI::App& favorites) {
  tree.Command(favorites, "import-bookmarks", "import a bookmark file into the favorites",
               [](Context& c, const CLI::App& a) { return ImportBookmarksCommand(c, Value(a, "FILE")); })
      ->add_option("FILE", "a bookmark file (bookmark.htm)")
      ->required();
  tree.Command(favorites, "clean-name", "print NAME as a favorites file name",
               [](Context& c, const CLI::App& a) {
                 c.out << CleanFavoriteName(Value(a, "NAME")) << "\n";
                 return 0;
               })
      ->add_option("NAME", "a favorite's name")
      ->required();
}

}  // namespace vyr::cli

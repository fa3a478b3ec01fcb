// The bookmark import: the list parse, its limits and safety, finding and
// importing the bookmark file, and seeding the favorites.
#include "channels/bookmark_import.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "channels/favorites.h"
#include "platform/profile_file.h"
#include "platform/registry.h"
#include "channels/channel_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::ReadFile;
using test::WriteFile;

const char kUsersKey[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Users";
const char kBookmarkListKey[] = "SOFTWARE\\Netscape\\Netscape Navigator\\Bookmark List";

// A bookmark file as the other browser writes it.
const char kBookmarkFile[] =
    "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
    "<!-- This is an automatically generated file. -->\n"
    "<TITLE>Jo's Bookmarks</TITLE>\n"
    "<H1>Jo's Bookmarks</H1>\n"
    "\n"
    "<DL><p>\n"
    "    <DT><H3 ADD_DATE=\"912345678\">News</H3>\n"
    "    <DL><p>\n"
    "        <DT><A HREF=\"http://news.test/\" ADD_DATE=\"1\" LAST_VISIT=\"2\">Daily News</A>\n"
    "        <DT><H3 FOLDED ADD_DATE=\"912345679\">Local</H3>\n"
    "        <DL><p>\n"
    "            <DT><A HREF=\"http://town.test/?a=1&b=2\">Town Hall</A>\n"
    "        </DL><p>\n"
    "        <DT><A HREF=\"http://sport.test/\">Sport</A>\n"
    "    </DL><p>\n"
    "    <DT><A HREF=\"http://search.test/\" ADD_DATE=\"3\">Search</A>\n"
    "    <HR>\n"
    "    <DT><H3>Empty</H3>\n"
    "    <DL><p>\n"
    "    </DL><p>\n"
    "</DL><p>\n";

using test::AddressOf;
using test::Tree;

// Records what a parse asks for, in order, without touching the disk.
class RecordingSink : public BookmarkSink {
 public:
  bool CreateFolder(const std::string& parent, const std::string& name,
                    std::string& created) override {
    created = parent + "/" + name;
    events.push_back("folder " + created);
    return refuseFolder.empty() || name != refuseFolder;
  }
  void WriteBookmark(const std::string& folder, const std::string& title,
                     const std::string& address) override {
    events.push_back("bookmark " + folder + " | " + title + " | " + address);
  }
  std::vector<std::string> events;
  std::string refuseFolder;
};

std::vector<std::string> Record(const std::string& text, bool* result = nullptr) {
  RecordingSink sink;
  bool ok = ParseBookmarks(text, "root", sink);
  if (result) *result = ok;
  return sink.events;
}

// --- the list parse --------------------------------------------------------------

TEST(BookmarkParse, NestedFoldersAndBookmarksComeInFileOrder) {
  bool ok = false;
  EXPECT_EQ(Record(kBookmarkFile, &ok),
            (std::vector<std::string>{
                "folder root/News",
                "bookmark root/News | Daily News | http://news.test/",
                "folder root/News/Local",
                "bookmark root/News/Local | Town Hall | http://town.test/?a=1&b=2",
                "bookmark root/News | Sport | http://sport.test/",
                "bookmark root | Search | http://search.test/",
                "folder root/Empty",
            }));
  EXPECT_TRUE(ok);
}

TEST(BookmarkParse, TextsWithoutEntriesAreAnEmptyList) {
  for (const std::string& text : {""s, "<html><body>nothing here</body></html>"s, "</DL><DL>"s,
                                  "<dt><a href=\"http://x/\">lower case</a>"s}) {
    bool ok = false;
    EXPECT_TRUE(Record(text, &ok).empty()) << text;
    EXPECT_TRUE(ok) << text;
  }
}

TEST(BookmarkParse, MarkersAreMatchedWithCase) {
  // A lower-case anchor is no bookmark: the entry reads as a folder named by
  // the text after the first ">".
  bool ok = true;
  EXPECT_EQ(Record("<DT><a href=\"http://x/\">Title</a>", &ok),
            std::vector<std::string>{"folder root/Title"});
  EXPECT_TRUE(ok);
  // A lower-case list end does not end the list.
  EXPECT_EQ(Record("<DT><H3>F</H3><DL></dl><DT><A HREF=\"u\">in F</A>"),
            (std::vector<std::string>{"folder root/F", "bookmark root/F | in F | u"}));
  // The anchor must follow "<DT>" directly.
  EXPECT_EQ(Record("<DT> <A HREF=\"u\">T</A>"), std::vector<std::string>{"folder root/T"});
}

TEST(BookmarkParse, BookmarksBeforeAnyListEndFormAFlatList) {
  // The opening "<DL>" of a list plays no part: bookmarks of an inner list
  // without a folder heading land in the same folder, and the first "</DL>"
  // ends the list.
  bool ok = false;
  EXPECT_EQ(Record("<DL><p>\n<DT><A HREF=\"a\">A</A>\n<DL><p>\n<DT><A HREF=\"b\">B</A>\n"
                   "</DL><p>\n<DT><A HREF=\"c\">C</A>\n</DL>",
                   &ok),
            (std::vector<std::string>{"bookmark root | A | a", "bookmark root | B | b"}));
  EXPECT_TRUE(ok);
  // A folder heading without a list of its own takes every following bookmark.
  EXPECT_EQ(Record("<DT><H3>F</H3>\n<DT><A HREF=\"a\">A</A>\n<DT><A HREF=\"b\">B</A>\n"),
            (std::vector<std::string>{"folder root/F", "bookmark root/F | A | a",
                                      "bookmark root/F | B | b"}));
}

TEST(BookmarkParse, MissingMarkersFailTheList) {
  struct Case {
    const char* text;
    std::vector<std::string> events;
  };
  const Case cases[] = {
      {"<DT><A HREF=\"a\">A</A><DT><A HREF=\"b\">no end", {"bookmark root | A | a"}},
      {"<DT><A HREF=\"no closing quote>T</A>", {}},
      {"<DT><A HREF=\"u\" no bracket", {}},
      {"<DT><H3 no bracket", {}},
      {"<DT><H3>name without a tag after it", {}},
  };
  for (const Case& c : cases) {
    bool ok = true;
    EXPECT_EQ(Record(c.text, &ok), c.events) << c.text;
    EXPECT_FALSE(ok) << c.text;
  }
}

TEST(BookmarkParse, AFailedInnerListGivesWayToTheResultOfTheNextFolder) {
  // The list of A fails (no closing quote anywhere); the outer list goes on,
  // and the result of the last folder's list is the result of the parse.
  const std::string broken = "<DT><H3>A</H3><DL><DT><A HREF=\"x>broken";
  bool ok = true;
  EXPECT_EQ(Record(broken + "<DT><H3>B</H3><DL></DL>", &ok),
            (std::vector<std::string>{"folder root/A", "folder root/B"}));
  EXPECT_TRUE(ok);
  EXPECT_EQ(Record(broken, &ok), std::vector<std::string>{"folder root/A"});
  EXPECT_FALSE(ok);
}

TEST(BookmarkParse, AFolderThatCannotBeMadeEndsTheWholeParse) {
  RecordingSink sink;
  sink.refuseFolder = "Refused";
  EXPECT_FALSE(
      ParseBookmarks("<DT><H3>Outer</H3><DL><DT><H3>Refused</H3><DL></DL></DL>"
                     "<DT><A HREF=\"u\">after</A>",
                     "root", sink));
  EXPECT_EQ(sink.events,
            (std::vector<std::string>{"folder root/Outer", "folder root/Outer/Refused"}));
}

TEST(BookmarkParse, LongTextsAreCutTo1999Bytes) {
  const std::string title(2500, 't'), address(3000, 'a'), folder(2100, 'f');
  bool ok = false;
  auto events = Record("<DT><H3>" + folder + "</H3><DL><DT><A HREF=\"" + address + "\">" + title +
                           "</A></DL><DT><A HREF=\"next\">Next</A>",
                       &ok);
  const std::string cutFolder = "root/" + std::string(1999, 'f');
  EXPECT_EQ(events, (std::vector<std::string>{
                        "folder " + cutFolder,
                        "bookmark " + cutFolder + " | " + std::string(1999, 't') + " | " +
                            std::string(1999, 'a'),
                        "bookmark root | Next | next",
                    }));
  EXPECT_TRUE(ok);
  // Exactly 1999 bytes stay whole.
  events = Record("<DT><A HREF=\"u\">" + std::string(1999, 'x') + "</A>");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0], "bookmark root | " + std::string(1999, 'x') + " | u");
}

TEST(BookmarkParse, TheTextEndsAtItsFirstZeroByte) {
  EXPECT_EQ(Record("<DT><A HREF=\"a\">A</A>\0<DT><A HREF=\"b\">B</A>"s),
            std::vector<std::string>{"bookmark root | A | a"});
}

TEST(BookmarkParse, NamesThatWouldLeaveTheirFolderNeverReachTheSink) {
  bool ok = false;
  EXPECT_EQ(Record("<DT><A HREF=\"1\">../x</A><DT><A HREF=\"2\">a/b</A><DT><A HREF=\"3\">..</A>"
                   "<DT><A HREF=\"4\">.</A><DT><A HREF=\"5\">/etc/x</A><DT><A HREF=\"6\">a\\b</A>"
                   "<DT><A HREF=\"7\"></A><DT><A HREF=\"8\">fine</A>",
                   &ok),
            std::vector<std::string>{"bookmark root | fine | 8"});
  EXPECT_TRUE(ok);
  for (const char* name : {"..", "../evil", "a/b", "/abs", ".", "a\\b", ""}) {
    const std::string text = "<DT><A HREF=\"0\">before</A><DT><H3>"s + name +
                             "</H3><DL><DT><A HREF=\"1\">inside</A></DL>";
    EXPECT_EQ(Record(text, &ok), std::vector<std::string>{"bookmark root | before | 0"}) << name;
    EXPECT_FALSE(ok) << name;
  }
}

// Thousands of nested folders must not exhaust the stack.
TEST(BookmarkParse, DeepNestingIsParsed) {
  class DepthSink : public BookmarkSink {
   public:
    bool CreateFolder(const std::string&, const std::string&, std::string& created) override {
      created = std::to_string(++folders);
      return true;
    }
    void WriteBookmark(const std::string& folder, const std::string&, const std::string&) override {
      bookmarkFolder = folder;
    }
    int folders = 0;
    std::string bookmarkFolder;
  } sink;
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<DT><H3>f</H3><DL>";
  text += "<DT><A HREF=\"u\">deep</A>";
  for (int i = 0; i < 100000; ++i) text += "</DL>";
  EXPECT_TRUE(ParseBookmarks(text, "r", sink));
  EXPECT_EQ(sink.folders, 100000);
  EXPECT_EQ(sink.bookmarkFolder, "100000");
}

// --- parsing into the file system ----------------------------------------------------

class BookmarkFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    fs::create_directories(favorites);
  }
  test::TempDir home;
  std::string favorites = home.File("Favorites");
  std::string import = favorites + "/Imported from Netscape";
};

TEST_F(BookmarkFilesTest, TitlesThatCannotBeFileNamesAreSkippedSilently) {
  // Titles are not cleaned: "News: Today?" is a file name here and stays as
  // it is, while a title too long for a file name yields no shortcut.
  BookmarkImportReport report;
  ASSERT_TRUE(ParseBookmarks(
      "<DT><A HREF=\"a\">" + std::string(300, 'L') + "</A><DT><A HREF=\"b\">News: Today?</A>",
      favorites, &report));
  EXPECT_EQ(Tree(favorites), std::vector<std::string>{"News: Today?.url"});
  EXPECT_EQ(report.shortcuts, std::vector<std::string>{favorites + "/News: Today?.url"});
}

TEST_F(BookmarkFilesTest, NothingIsEverWrittenOutsideTheFolder) {
  const std::string target = favorites + "/Target";
  fs::create_directories(target + "/a");
  for (const char* title : {"../x", "a/b", "..", ".", "/tmp/vyrelle-escape", "a\\b", "../../y"}) {
    ParseBookmarks("<DT><A HREF=\"http://evil/\">"s + title + "</A>", target);
  }
  for (const char* folder : {"..", "../Escaped", "a/b", "/tmp/vyrelle-escape-dir"}) {
    EXPECT_FALSE(
        ParseBookmarks("<DT><H3>"s + folder + "</H3><DL><DT><A HREF=\"u\">in</A></DL>", target))
        << folder;
  }
  EXPECT_EQ(Tree(home.Path()),
            (std::vector<std::string>{"Favorites/", "Favorites/Target/", "Favorites/Target/a/"}));
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape.url"));
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape-dir"));
}

TEST_F(BookmarkFilesTest, AnExistingFolderCannotBeMadeAndStopsTheImport) {
  BookmarkImportReport report;
  EXPECT_FALSE(
      ParseBookmarks("<DT><H3>Twice</H3><DL><DT><A HREF=\"1\">one</A></DL>"
                     "<DT><H3>Twice</H3><DL><DT><A HREF=\"2\">two</A></DL>"
                     "<DT><A HREF=\"3\">three</A>",
                     favorites, &report));
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Twice/", "Twice/one.url"}));
  EXPECT_EQ(report.shortcuts.size(), 1u);
}

// --- importing the file ----------------------------------------------------------------

TEST_F(BookmarkFilesTest, ImportGoesIntoItsOwnFolderOnceOnly) {
  const std::string file = home.File("bookmark.htm");
  WriteFile(file, kBookmarkFile);
  BookmarkImportReport report;
  ASSERT_EQ(ImportBookmarkFile(file, favorites, &report), BookmarkImportStatus::Imported);
  const auto imported = Tree(import);
  EXPECT_EQ(imported,
            (std::vector<std::string>{"Empty/", "News/", "News/Daily News.url", "News/Local/",
                                      "News/Local/Town Hall.url", "News/Sport.url", "Search.url"}));
  EXPECT_EQ(AddressOf(import + "/News/Local/Town Hall.url"), "http://town.test/?a=1&b=2");
  EXPECT_EQ(report.folders, (std::vector<std::string>{import + "/News", import + "/News/Local",
                                                      import + "/Empty"}));
  EXPECT_EQ(report.shortcuts,
            (std::vector<std::string>{import + "/News/Daily News.url",
                                      import + "/News/Local/Town Hall.url",
                                      import + "/News/Sport.url", import + "/Search.url"}));
  EXPECT_EQ(Tree(favorites).size(), 8u);  // the import folder and what is in it

  // A second import changes nothing, even with a changed file and a shortcut
  // the user edited in the meantime.
  WriteFile(file, "<DT><A HREF=\"http://new/\">New</A>");
  ASSERT_TRUE(WriteShortcut(import + "/Search.url", "http://edited/"));
  BookmarkImportReport second;
  EXPECT_EQ(ImportBookmarkFile(file, favorites, &second), BookmarkImportStatus::AlreadyImported);
  EXPECT_EQ(Tree(import), imported);
  EXPECT_EQ(Tree(favorites).size(), 8u);
  EXPECT_EQ(AddressOf(import + "/Search.url"), "http://edited/");
  EXPECT_TRUE(second.shortcuts.empty());
}

TEST_F(BookmarkFilesTest, AFileThatCannotBeReadLeavesNothingBehind) {
  EXPECT_EQ(ImportBookmarkFile(home.File("missing.htm"), favorites),
            BookmarkImportStatus::Unreadable);
  EXPECT_EQ(ImportBookmarkFile(favorites, favorites), BookmarkImportStatus::Unreadable);
  EXPECT_TRUE(Tree(favorites).empty());
  EXPECT_EQ(ImportBookmarkFile(home.File("missing.htm"), home.File("NoFavorites")),
            BookmarkImportStatus::NoFavoritesFolder);
  EXPECT_FALSE(fs::exists(home.File("NoFavorites")));

  // The next import with a readable file still runs.
  WriteFile(home.File("bookmark.htm"), "<DT><A HREF=\"u\">Later</A>");
  EXPECT_EQ(ImportBookmarkFile(home.File("bookmark.htm"), favorites),
            BookmarkImportStatus::Imported);
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Imported from Netscape/",
                                                       "Imported from Netscape/Later.url"}));
}

TEST_F(BookmarkFilesTest, ABrokenFileKeepsWhatWasImportedBeforeTheBreak) {
  WriteFile(home.File("bookmark.htm"), "<DT><A HREF=\"1\">First</A><DT><A HREF=\"2\">Second");
  BookmarkImportReport report;
  EXPECT_EQ(ImportBookmarkFile(home.File("bookmark.htm"), favorites, &report),
            BookmarkImportStatus::ParseFailed);
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Imported from Netscape/",
                                                       "Imported from Netscape/First.url"}));
  EXPECT_EQ(report.shortcuts, std::vector<std::string>{import + "/First.url"});
}

// --- finding the file and seeding ------------------------------------------------------

class BookmarkAppTest : public BookmarkFilesTest {
 protected:
  void SetUp() override {
    BookmarkFilesTest::SetUp();
    app.LoadStartupSettings();
  }
  void PointUsersKeyAt(const std::string& dir) {
    ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::LocalMachine, kUsersKey,
                                        "CurrentUser", "jo"));
    ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::LocalMachine,
                                        std::string(kUsersKey) + "\\jo", "DirRoot", dir));
  }
  void PointBookmarkListAt(const std::string& file) {
    ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::CurrentUser, kBookmarkListKey,
                                        "FileLocation", file));
  }
  test::ScopedEnv username{"USERNAME", "jo"};
  test::ScopedEnv user{"USER", "jo"};
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

TEST_F(BookmarkAppTest, TheFileIsFoundThroughTheUsersKeyFirst) {
  const std::string profileDir = home.File("profile");
  WriteFile(profileDir + "/bookmark.htm", "12345");
  WriteFile(home.File("list.htm"), "123");
  PointUsersKeyAt(profileDir + "/");
  PointBookmarkListAt(home.File("list.htm"));
  std::string path;
  std::uintmax_t size = 0;
  ASSERT_TRUE(FindBookmarkFile(app, path, size));
  EXPECT_EQ(path, profileDir + "/bookmark.htm");
  EXPECT_EQ(size, 5u);

  // Without a file in the user's directory, the bookmark list's location.
  fs::remove(profileDir + "/bookmark.htm");
  ASSERT_TRUE(FindBookmarkFile(app, path, size));
  EXPECT_EQ(path, home.File("list.htm"));
  EXPECT_EQ(size, 3u);

  fs::remove(home.File("list.htm"));
  EXPECT_FALSE(FindBookmarkFile(app, path, size));
}

TEST_F(BookmarkAppTest, WithoutAUserNameThereIsNoFile) {
  WriteFile(home.File("list.htm"), "x");
  PointBookmarkListAt(home.File("list.htm"));
  std::string path;
  std::uintmax_t size = 0;
  {
    test::ScopedEnv noUsername("USERNAME", std::nullopt);
    EXPECT_TRUE(FindBookmarkFile(app, path, size));  // USER stands in
    test::ScopedEnv noUser("USER", std::nullopt);
    EXPECT_FALSE(FindBookmarkFile(app, path, size));
  }
  test::ScopedEnv noUser("USER", std::nullopt);
  EXPECT_TRUE(FindBookmarkFile(app, path, size));
}

TEST_F(BookmarkAppTest, SeedingWritesTheProgramsShortcutsOnceAndImportsEveryTime) {
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:8123/");
  EXPECT_TRUE(SeedFavorites(app));
  const std::string mine = favorites + "/Vyrelle";
  EXPECT_EQ(Tree(favorites),
            (std::vector<std::string>{"Vyrelle/", "Vyrelle/Channel Archive.url",
                                      "Vyrelle/Latest Changes.url", "Vyrelle/Scheme Archive.url",
                                      "Vyrelle/Vyrelle Home.url"}));
  EXPECT_EQ(AddressOf(mine + "/Scheme Archive.url"), "http://127.0.0.1:8123/archive/schemes");
  EXPECT_EQ(AddressOf(mine + "/Channel Archive.url"), "http://127.0.0.1:8123/archive/channels");
  EXPECT_EQ(AddressOf(mine + "/Vyrelle Home.url"), "http://127.0.0.1:8123/");
  EXPECT_EQ(AddressOf(mine + "/Latest Changes.url"), "http://127.0.0.1:8123/update/");

  // Once the folder exists the shortcuts are the user's: a removed one stays
  // removed. The import still runs when a bookmark file turns up.
  fs::remove(mine + "/Vyrelle Home.url");
  WriteFile(home.File("list.htm"), kBookmarkFile);
  PointBookmarkListAt(home.File("list.htm"));
  BookmarkImportReport report;
  EXPECT_FALSE(SeedFavorites(app, &report));
  EXPECT_FALSE(fs::exists(mine + "/Vyrelle Home.url"));
  EXPECT_EQ(AddressOf(import + "/Search.url"), "http://search.test/");
  EXPECT_EQ(report.shortcuts.size(), 4u);

  const auto seeded = Tree(favorites);
  EXPECT_FALSE(SeedFavorites(app));
  EXPECT_EQ(Tree(favorites), seeded);
}

TEST_F(BookmarkAppTest, ImportBookmarksFindsBothFolders) {
  EXPECT_FALSE(ImportBookmarks(app));  // no bookmark file
  WriteFile(home.File("profile/bookmark.htm"), kBookmarkFile);
  PointUsersKeyAt(home.File("profile"));
  BookmarkImportReport report;
  EXPECT_TRUE(ImportBookmarks(app, &report));
  EXPECT_EQ(report.folders.front(), import + "/News");
  EXPECT_FALSE(ImportBookmarks(app));
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vyr

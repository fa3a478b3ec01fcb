// The bookmark import: the list parse with its cleaning of names and
// addresses, the import of exported bookmark files, finding the file, seeding.
#include "channels/bookmark_import.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "channels/channel_test_util.h"
#include "channels/favorites.h"
#include "platform/profile_file.h"
#include "platform/registry.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using test::Tree;
using test::WriteFile;
using Lines = std::vector<std::string>;

// Records what a parse asks for, in order. A folder named "Refused" cannot be made.
class RecordingSink : public BookmarkSink {
 public:
  bool CreateFolder(const std::string& parent, const std::string& name,
                    std::string& created) override {
    created = parent + "/" + name;
    events.push_back("folder " + created);
    return name != "Refused";
  }
  void WriteBookmark(const std::string& folder, const std::string& title,
                     const std::string& address) override {
    events.push_back(folder + " | " + title + " | " + address);
  }
  Lines events;
};

TEST(BookmarkParse, EntriesNamesAndAddresses) {
  const std::string bad = "\xEF\xBF\xBD";  // U+FFFD
  const std::string a = "<DT><A HREF=\"", b = "\">", e = "</A>";
  struct Case {
    std::string text;
    Lines events;
    bool ok;
  };
  const Case cases[] = {
      // No entries; markers are matched with case; the anchor must follow "<DT>" at once.
      {"", {}, true},
      {"<html><dt><a href=\"http://x/\">lower</a></DL>", {}, true},
      {"<DT> <A HREF=\"u\">T</A>", {"folder root/T"}, true},
      // "<DL>" plays no part: a bookmark of an inner list without heading stays in
      // the folder, and the first "</DL>" ends the list.
      {a + "a" + b + "A" + e + "<DL>" + a + "b" + b + "B" + e + "</DL>" + a + "c" + b + "C" + e,
       {"root | A | a", "root | B | b"}, true},
      // Missing markers fail the list; what came before stays.
      {a + "a" + b + "A" + e + a + "b" + b + "no end", {"root | A | a"}, false},
      {a + "no quote>T</A>", {}, false},
      {"<DT><H3 no bracket", {}, false},
      {"<DT><H3>name without a tag", {}, false},
      // A failed inner list gives way to the result of the next folder's list.
      {"<DT><H3>A</H3><DL>" + a + "x>broken<DT><H3>B</H3><DL></DL>",
       {"folder root/A", "folder root/B"}, true},
      // A folder that cannot be made ends the whole parse.
      {"<DT><H3>Refused</H3><DL></DL>" + a + "u" + b + "after" + e, {"folder root/Refused"}, false},
      {a + "a" + b + "A" + e + "\0"s + a + "b" + b + "B" + e, {"root | A | a"}, true},
      // Character references are decoded; code points that cannot be
      // characters become U+FFFD; unknown or unfinished references stay.
      {a + "http://q/?a=1&amp;b=&#50;&#x33;" + b + "&lt;Q&gt; &amp; &quot;x&quot; &#39;y&apos; &#228;&#x20AC;" + e,
       {"root | -Q- & \"x\" 'y' \xC3\xA4\xE2\x82\xAC | http://q/?a=1&b=23"}, true},
      {a + "u" + b + "&#0;&#xD800;&#x110000;&#99999999999999;&#1114111;" + e,
       {"root | " + bad + bad + bad + bad + "\xF4\x8F\xBF\xBF | u"}, true},
      {a + "u&amp" + b + "&nbsp; &amp &#; &#x; &#65" + e, {"root | &nbsp; &amp &-; &-x; &-65 | u&amp"}, true},
      // Names are cleaned as favorites names are, decoded separators included;
      // control characters become blanks and trailing blanks go.
      {"<DT><H3>Reading/Deep: Folder</H3><DL>" + a + "u" + b + "a&#47;..&#x5C;b\tc&#10; " + e + "</DL>",
       {"folder root/Reading-Deep- Folder", "root/Reading-Deep- Folder | a-..-b c | u"}, true},
      // A folder name that is still no file name: its entries go into the folder around it.
      {"<DT><H3>&#46;&#46;</H3><DL>" + a + "1" + b + "in" + e + "</DL><DT><H3> </H3><DL>" + a + "2" + b + "." + e +
           "</DL>" + a + "3" + b + "after" + e,
       {"root | in | 1", "root | 2 | 2", "root | after | 3"}, true},
      // A title that is no file name: the shortcut is named after its address.
      {a + "http://e.test/" + b + e, {"root | http---e.test- | http://e.test/"}, true},
      // Addresses of another browser's own pages or of scripts are left out;
      // tabs and line breaks in addresses go, as browsers drop them.
      {a + "place:sort=8" + b + "P" + e + a + " JavaScript:alert(1)" + b + "J" + e + a + "java&#9;script:x" + b + "T" + e +
           a + "data:text/html,x" + b + "D" + e + a + b + "E" + e + a + "http://ok/&#10;x" + b + "ok" + e,
       {"root | ok | http://ok/x"}, true},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    EXPECT_EQ(ParseBookmarks(c.text, "root", sink), c.ok) << c.text;
    EXPECT_EQ(sink.events, c.events) << c.text;
  }
}

TEST(BookmarkParse, LongTextsAreCutWholeCharactersAtATime) {
  // Addresses to 1999 bytes; folder names to 255 bytes and titles to 251,
  // so that "<title>.url" fits a file name.
  const std::string umlauts = [] { std::string s; for (int i = 0; i < 200; ++i) s += "\xC3\xA4"; return s; }();
  RecordingSink sink;
  EXPECT_TRUE(ParseBookmarks("<DT><H3>" + std::string(2100, 'f') + "</H3><DL><DT><A HREF=\"" +
                                 std::string(3000, 'a') + "\">" + std::string(2500, 't') +
                                 "</A></DL><DT><A HREF=\"u\">" + umlauts + "</A>",
                             "r", sink));
  const std::string folder = "r/" + std::string(255, 'f');
  EXPECT_EQ(sink.events, (Lines{"folder " + folder,
                                folder + " | " + std::string(251, 't') + " | " + std::string(1999, 'a'),
                                "r | " + umlauts.substr(0, 250) + " | u"}));
}

// Thousands of nested folders must not exhaust the stack.
TEST(BookmarkParse, DeepNestingIsParsed) {
  struct DepthSink : BookmarkSink {
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

// --- importing files ------------------------------------------------------------------

// Bookmark files in the forms two current browsers export (one with place:
// queries, bookmarklets, ICON_URI and separators, the other with ICON data),
// shared with the parser's fuzz seeds.
std::string Export(const std::string& name) {
  return test::ReadFile(VYRELLE_TEST_FIXTURES_DIR "/fuzz/bookmark_parser_fuzz/" + name);
}

// The entries below a folder, sorted; each shortcut with its "URL=" line.
Lines Listing(const std::string& folder) {
  Lines out;
  for (const std::string& entry : Tree(folder)) {
    if (entry.ends_with("/")) {
      out.push_back(entry);
      continue;
    }
    const std::string text = test::ReadFile(folder + "/" + entry);
    const size_t at = text.find("\nURL=") + 1;
    out.push_back(entry + " " + (at == 0 ? "<no URL>" : text.substr(at, text.find('\n', at) - at)));
  }
  return out;
}

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

TEST_F(BookmarkFilesTest, ExportsOfCurrentBrowsersAreImportedOnceOnly) {
  const std::pair<std::string, Lines> files[] = {
      {"menu_export.html",
       {"After the odd folder.url URL=https://after.example/folder", "Bookmarks Toolbar/",
        "Bookmarks Toolbar/After place.url URL=https://after.example/place",
        "Bookmarks Toolbar/Same folder name.url URL=https://after.example/again",
        "Reading-Deep- Folder/",
        "Reading-Deep- Folder/After separator.url URL=https://after.example/hr",
        "Reading-Deep- Folder/Level 2/",
        "Reading-Deep- Folder/Level 2/After bookmarklet.url URL=https://after.example/js",
        "Reading-Deep- Folder/Level 2/Level 3 -old-/",
        "Reading-Deep- Folder/Level 2/Level 3 -old-/Grüße aus Köln – 東京.url "
        "URL=https://deep.example/%E2%82%AC",
        "Reading-Deep- Folder/Query & Ampersand.url URL=https://example.org/a?b=1&c=2"}},
      {"bar_export.html",
       {"Bookmarks bar/", "Bookmarks bar/News & Weather/",
        "Bookmarks bar/News & Weather/In the dots folder.url URL=https://dots.example/",
        "Bookmarks bar/News & Weather/a-..-..-escape.url URL=https://x.example//",
        "Bookmarks bar/Search \"a\" 'de'.url URL=https://www.example.com/search?q=a&lang=de",
        "Other bookmarks/", "Other bookmarks/Привет, мир.url URL=https://after.example/other"}},
  };
  for (const auto& [file, expected] : files) {
    fs::remove_all(import);
    WriteFile(home.File("bookmarks.html"), Export(file));
    BookmarkImportReport report;
    ASSERT_EQ(ImportBookmarkFile(home.File("bookmarks.html"), favorites, &report),
              BookmarkImportStatus::Imported);
    EXPECT_EQ(Listing(import), expected);
    EXPECT_EQ(Tree(home.Path()).size(), expected.size() + 3);  // the file, Favorites/, the import folder

    // A second import, even of a changed file, changes nothing.
    WriteFile(home.File("bookmarks.html"), "<DT><A HREF=\"http://new/\">New</A>");
    EXPECT_EQ(ImportBookmarkFile(home.File("bookmarks.html"), favorites, &report),
              BookmarkImportStatus::AlreadyImported);
    EXPECT_EQ(Listing(import), expected);
  }
}

TEST_F(BookmarkFilesTest, NothingIsWrittenOutsideTheFolder) {
  std::string text;
  for (const char* name : {"..", "../x", "/tmp/vyrelle-escape", "a\\b", "&#46;&#46;&#47;y", "."}) {
    text += "<DT><H3>"s + name + "</H3><DL><DT><A HREF=\"http://e/\">" + name + "</A></DL>";
  }
  EXPECT_TRUE(ParseBookmarks(text, favorites));
  EXPECT_EQ(Tree(home.Path()),
            (Lines{"Favorites/", "Favorites/-tmp-vyrelle-escape/",
                   "Favorites/-tmp-vyrelle-escape/-tmp-vyrelle-escape.url", "Favorites/..-x/",
                   "Favorites/..-x/..-x.url", "Favorites/..-y/", "Favorites/..-y/..-y.url",
                   "Favorites/a-b/", "Favorites/a-b/a-b.url", "Favorites/http---e-.url"}));
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape.url"));
}

TEST_F(BookmarkFilesTest, UnreadableOrBrokenFiles) {
  // A file that cannot be read leaves nothing behind, so a later import can run.
  EXPECT_EQ(ImportBookmarkFile(home.File("missing.htm"), favorites), BookmarkImportStatus::Unreadable);
  EXPECT_EQ(ImportBookmarkFile(favorites, favorites), BookmarkImportStatus::Unreadable);
  EXPECT_EQ(ImportBookmarkFile(home.File("x"), home.File("None")), BookmarkImportStatus::NoFavoritesFolder);
  EXPECT_EQ(Tree(home.Path()), Lines{"Favorites/"});
  // A broken list keeps what came before the break.
  WriteFile(home.File("b.htm"), "<DT><A HREF=\"1\">First</A><DT><A HREF=\"2\">Second");
  EXPECT_EQ(ImportBookmarkFile(home.File("b.htm"), favorites), BookmarkImportStatus::ParseFailed);
  EXPECT_EQ(Listing(import), Lines{"First.url URL=1"});
}

// --- finding the file and seeding --------------------------------------------------------

class BookmarkAppTest : public BookmarkFilesTest {
 protected:
  void SetUp() override {
    BookmarkFilesTest::SetUp();
    app.LoadStartupSettings();
  }
  void Set(platform::RegistryRoot root, const std::string& key, const std::string& name,
           const std::string& value) {
    ASSERT_TRUE(app.Registry().SetValue(root, "SOFTWARE\\Netscape\\Netscape Navigator\\" + key, name, value));
  }
  test::ScopedEnv username{"USERNAME", "jo"};
  test::ScopedEnv user{"USER", "jo"};
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

TEST_F(BookmarkAppTest, TheFileIsFoundThroughTheUsersKeyThenTheBookmarkList) {
  WriteFile(home.File("profile/bookmark.htm"), "12345");
  WriteFile(home.File("list.htm"), "123");
  Set(platform::RegistryRoot::LocalMachine, "Users", "CurrentUser", "jo");
  Set(platform::RegistryRoot::LocalMachine, "Users\\jo", "DirRoot", home.File("profile/"));
  Set(platform::RegistryRoot::CurrentUser, "Bookmark List", "FileLocation", home.File("list.htm"));
  std::string path;
  std::uintmax_t size = 0;
  ASSERT_TRUE(FindBookmarkFile(app, path, size));
  EXPECT_EQ(path + " " + std::to_string(size), home.File("profile/bookmark.htm") + " 5");
  fs::remove(home.File("profile/bookmark.htm"));
  ASSERT_TRUE(FindBookmarkFile(app, path, size));
  EXPECT_EQ(path + " " + std::to_string(size), home.File("list.htm") + " 3");
  {
    test::ScopedEnv noUsername("USERNAME", std::nullopt);
    EXPECT_TRUE(FindBookmarkFile(app, path, size));  // USER stands in
    test::ScopedEnv noUser("USER", std::nullopt);
    EXPECT_FALSE(FindBookmarkFile(app, path, size));
  }
  fs::remove(home.File("list.htm"));
  EXPECT_FALSE(FindBookmarkFile(app, path, size));
}

TEST_F(BookmarkAppTest, SeedingWritesTheProgramsShortcutsOnceAndImportsEveryTime) {
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:8123/");
  EXPECT_TRUE(SeedFavorites(app));
  EXPECT_EQ(Listing(favorites), (Lines{"Vyrelle/",
                                       "Vyrelle/Channel Archive.url URL=http://127.0.0.1:8123/archive/channels",
                                       "Vyrelle/Latest Changes.url URL=http://127.0.0.1:8123/update/",
                                       "Vyrelle/Scheme Archive.url URL=http://127.0.0.1:8123/archive/schemes",
                                       "Vyrelle/Vyrelle Home.url URL=http://127.0.0.1:8123/"}));
  // Once the folder exists its shortcuts are the user's: a removed one stays
  // removed. The import runs when a bookmark file turns up, and only once.
  fs::remove(favorites + "/Vyrelle/Vyrelle Home.url");
  WriteFile(home.File("list.htm"), Export("bar_export.html"));
  Set(platform::RegistryRoot::CurrentUser, "Bookmark List", "FileLocation", home.File("list.htm"));
  EXPECT_FALSE(SeedFavorites(app));
  EXPECT_EQ(Tree(favorites).size(), 4u + 1u + 7u);
  EXPECT_FALSE(ImportBookmarks(app));
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vyr

// The bookmark import: the list parse, importing files, finding the file, seeding.
#include "channels/bookmark_import.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "channels/channel_test_util.h"
#include "platform/registry.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace test;
using Lines = std::vector<std::string>;

// Records what a parse asks for, in order. A folder named "Refused" cannot be made.
struct RecordingSink : BookmarkSink {
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

// A bookmark entry and a folder entry with its list.
std::string A(const std::string& address, const std::string& title) {
  return "<DT><A HREF=\"" + address + "\">" + title + "</A>";
}
std::string F(const std::string& name, const std::string& list) {
  return "<DT><H3>" + name + "</H3><DL>" + list + "</DL>";
}

TEST(BookmarkParse, EntriesNamesAndAddresses) {
  const std::string bad = "\xEF\xBF\xBD", umlauts = [] {  // U+FFFD; 200 times "ä"
    std::string s;
    for (int i = 0; i < 200; ++i) s += "\xC3\xA4";
    return s;
  }();
  const std::string longFolder = "root/" + std::string(255, 'f');
  const std::pair<std::string, Lines> cases[] = {  // the text, what the sink is asked, the result
      // No entries; markers are matched with case; the anchor must follow "<DT>" at once.
      {"", {"true"}},
      {"<html><dt><a href=\"http://x/\">lower</a></DL>", {"true"}},
      {"<DT> " + A("u", "T").substr(4), {"folder root/T", "true"}},
      // "<DL>" plays no part; the first "</DL>" ends the list.
      {A("a", "A") + "<DL>" + A("b", "B") + "</DL>" + A("c", "C"), {"root | A | a", "root | B | b", "true"}},
      // Missing markers fail the list; what came before stays.
      {A("a", "A") + "<DT><A HREF=\"b\">no end", {"root | A | a", "false"}},
      {"<DT><A HREF=\"no quote>T</A>", {"false"}},
      {"<DT><H3 no bracket", {"false"}},
      {"<DT><H3>name without a tag", {"false"}},
      // A failed inner list gives way to the result of the next folder's list.
      {"<DT><H3>A</H3><DL><DT><A HREF=\"x>broken" + F("B", ""), {"folder root/A", "folder root/B", "true"}},
      // A folder that cannot be made ends the whole parse.
      {F("Refused", "") + A("u", "after"), {"folder root/Refused", "false"}},
      {A("a", "A") + "\0"s + A("b", "B"), {"root | A | a", "true"}},
      // References decoded; impossible code points become U+FFFD; unknown ones stay.
      {A("http://q/?a=1&amp;b=&#50;&#x33;", "&lt;Q&gt; &amp; &quot;x&quot; &#39;y&apos; &#228;&#x20AC;"),
       {"root | -Q- & \"x\" 'y' \xC3\xA4\xE2\x82\xAC | http://q/?a=1&b=23", "true"}},
      {A("u", "&#0;&#xD800;&#x110000;&#99999999999999;&#1114111;"),
       {"root | " + bad + bad + bad + bad + "\xF4\x8F\xBF\xBF | u", "true"}},
      {A("u&amp", "&nbsp; &amp &#; &#x; &#65"), {"root | &nbsp; &amp &-; &-x; &-65 | u&amp", "true"}},
      // Names cleaned as favorites names, decoded separators included.
      {F("Reading/Deep: Folder", A("u", "a&#47;..&#x5C;b\tc&#10; ")),
       {"folder root/Reading-Deep- Folder", "root/Reading-Deep- Folder | a-..-b c | u", "true"}},
      // An unusable folder name: entries go to the parent; no title: the address.
      {F("&#46;&#46;", A("1", "in")) + F(" ", A("2", ".")) + A("http://e.test/", ""),
       {"root | in | 1", "root | 2 | 2", "root | http---e.test- | http://e.test/", "true"}},
      // Cut to 1999 / 255 / 251 bytes, never inside a character.
      {F(std::string(2100, 'f'), A(std::string(3000, 'a'), std::string(2500, 't'))) + A("u", umlauts),
       {"folder " + longFolder, longFolder + " | " + std::string(251, 't') + " | " + std::string(1999, 'a'),
        "root | " + umlauts.substr(0, 250) + " | u", "true"}},
      // Script and browser-internal addresses left out; tabs and line breaks dropped.
      {A("place:sort=8", "P") + A(" JavaScript:alert(1)", "J") + A("java&#9;script:x", "T") +
           A("data:text/html,x", "D") + A("", "E") + A("http://ok/&#10;x", "ok"),
       {"root | ok | http://ok/x", "true"}},
  };
  for (const auto& [text, expected] : cases) {
    RecordingSink sink;
    const bool ok = ParseBookmarks(text, "root", sink);
    sink.events.push_back(ok ? "true" : "false");
    EXPECT_EQ(sink.events, expected) << text;
  }
}

// Thousands of nested folders must not exhaust the stack.
TEST(BookmarkParse, DeepNestingIsParsed) {
  struct DepthSink : BookmarkSink {
    bool CreateFolder(const std::string&, const std::string&, std::string& made) override {
      return !(made = std::to_string(++folders)).empty();
    }
    void WriteBookmark(const std::string& folder, const std::string&, const std::string&) override {
      bookmarkFolder = folder;
    }
    int folders = 0;
    std::string bookmarkFolder;
  } sink;
  std::string open, close;
  for (int i = 0; i < 100000; ++i) open += "<DT><H3>f</H3><DL>", close += "</DL>";
  EXPECT_TRUE(ParseBookmarks(open + A("u", "deep") + close, "r", sink));
  EXPECT_EQ(std::to_string(sink.folders) + " " + sink.bookmarkFolder, "100000 100000");
}

// Real export forms, shared with the parser's fuzz seeds.
std::string Export(const std::string& name) {
  return ReadFile(VYRELLE_TEST_FIXTURES_DIR "/fuzz/bookmark_parser_fuzz/" + name);
}

// The entries below a folder, sorted; each shortcut with its "URL=" line.
Lines Listing(const std::string& folder) {
  Lines out;
  for (const std::string& entry : Tree(folder)) {
    const std::string text = entry.ends_with("/") ? "" : ReadFile(folder + "/" + entry);
    const size_t at = text.find("\nURL=") + 1;
    out.push_back(entry.ends_with("/") ? entry : entry + " " + text.substr(at, text.find('\n', at) - at));
  }
  return out;
}

class BookmarkFilesTest : public ::testing::Test, protected TestApp {
 protected:
  void SetUp() override {
    app.LoadStartupSettings();
    fs::create_directories(favorites);
  }
  std::string favorites = home.File("Favorites");
  std::string import = favorites + "/Imported from Netscape";
  ScopedEnv username{"USERNAME", "jo"}, user{"USER", "jo"};
};

TEST_F(BookmarkFilesTest, ExportsOfCurrentBrowsersAndHostileNamesAreImportedOnceInside) {
  std::string hostile;  // names that would leave the folder as they stand
  for (const char* name : {"..", "../x", "/tmp/vyrelle-escape", "a\\b", "&#46;&#46;&#47;y", "."}) {
    hostile += F(name, A("http://e/", name));
  }
  const std::pair<std::string, Lines> files[] = {
      {Export("menu_export.html"),
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
      {Export("bar_export.html"),
       {"Bookmarks bar/", "Bookmarks bar/News & Weather/",
        "Bookmarks bar/News & Weather/In the dots folder.url URL=https://dots.example/",
        "Bookmarks bar/News & Weather/a-..-..-escape.url URL=https://x.example//",
        "Bookmarks bar/Search \"a\" 'de'.url URL=https://www.example.com/search?q=a&lang=de",
        "Other bookmarks/", "Other bookmarks/Привет, мир.url URL=https://after.example/other"}},
      {hostile,
       {"-tmp-vyrelle-escape/", "-tmp-vyrelle-escape/-tmp-vyrelle-escape.url URL=http://e/", "..-x/",
        "..-x/..-x.url URL=http://e/", "..-y/", "..-y/..-y.url URL=http://e/", "a-b/",
        "a-b/a-b.url URL=http://e/", "http---e-.url URL=http://e/"}},
  };
  for (const auto& [text, expected] : files) {
    fs::remove_all(import);
    WriteFile(home.File("bookmarks.html"), text);
    ASSERT_EQ(ImportBookmarkFile(home.File("bookmarks.html"), favorites), BookmarkImportStatus::Imported);
    EXPECT_EQ(Listing(import), expected);
    // Nothing else: the file, "Favorites/" and the import folder.
    EXPECT_EQ(Tree(home.Path()).size(), expected.size() + 3);

    // A second import, even of a changed file, changes nothing.
    WriteFile(home.File("bookmarks.html"), "<DT><A HREF=\"http://new/\">New</A>");
    EXPECT_EQ(ImportBookmarkFile(home.File("bookmarks.html"), favorites),
              BookmarkImportStatus::AlreadyImported);
    EXPECT_EQ(Listing(import), expected);
  }
  EXPECT_FALSE(fs::exists("/tmp/vyrelle-escape.url"));
}

TEST_F(BookmarkFilesTest, AFileThatCannotBeReadLeavesNothingBehind) {
  EXPECT_EQ(ImportBookmarkFile(home.File("missing"), favorites), BookmarkImportStatus::Unreadable);
  EXPECT_EQ(ImportBookmarkFile(favorites, favorites), BookmarkImportStatus::Unreadable);
  EXPECT_EQ(ImportBookmarkFile(home.File("x"), home.File("None")),
            BookmarkImportStatus::NoFavoritesFolder);
  EXPECT_EQ(Tree(home.Path()), Lines{"Favorites/"});  // so that a later import can run
}

TEST_F(BookmarkFilesTest, AnImportTheUserStartsTellsHowItWent) {
  const std::string file = home.File("bookmarks.html"), broken = home.File("broken.html");
  WriteFile(file, Export("menu_export.html"));
  WriteFile(broken, A("http://a/", "A") + A("http://b/", "B") + "<DT><A HREF=\"c\">no end");
  const std::string folder = "\"" + import + "\"";
  const std::pair<std::string, std::string> runs[] = {  // the file, what the user is told
      {file, "7 bookmarks imported into " + folder + "."},
      {file, "These bookmarks were imported before: " + folder +
                 " exists already.\r\n\r\nRename or delete that folder to import them again."},
      {"", "remove"},
      {home.File("missing.html"), home.File("missing.html") + " could not be read. Nothing was imported."},
      {broken, "The bookmark list in " + broken + " is incomplete: the import stopped there. The 2 bookmarks "
                   "read before it stay in " + folder + "."},
  };
  for (const auto& [path, told] : runs) {
    if (path.empty()) {
      fs::remove_all(import);
      continue;
    }
    EXPECT_EQ(ImportBookmarksForUser(app, path).message, told);
  }
  EXPECT_EQ(Listing(import), (Lines{"A.url URL=http://a/", "B.url URL=http://b/"}));
}

TEST_F(BookmarkFilesTest, SeedingWritesTheProgramsShortcutsOnceAndImportsEveryTime) {
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:8123/");
  EXPECT_TRUE(SeedFavorites(app));
  const std::string at = ".url URL=http://127.0.0.1:8123/";
  EXPECT_EQ(Listing(favorites),
            (Lines{"Vyrelle/", "Vyrelle/Channel Archive" + at + "archive/channels",
                   "Vyrelle/Latest Changes" + at + "update/", "Vyrelle/Scheme Archive" + at + "archive/schemes",
                   "Vyrelle/Vyrelle Home" + at}));
  // A removed shortcut stays removed; the import runs once a file turns up.
  fs::remove(favorites + "/Vyrelle/Vyrelle Home.url");
  WriteFile(home.File("list.htm"), Export("bar_export.html"));
  ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::CurrentUser,
                                      "SOFTWARE\\Netscape\\Netscape Navigator\\Bookmark List", "FileLocation",
                                      home.File("list.htm")));
  EXPECT_FALSE(SeedFavorites(app));
  EXPECT_EQ(Tree(favorites).size(), 4u + 1u + 7u);
  EXPECT_FALSE(ImportBookmarks(app));
  EXPECT_TRUE(boxes.boxes.empty());
}

}  // namespace
}  // namespace vyr

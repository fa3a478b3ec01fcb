// Favorites: folder, shortcut files, add-to-favorites checks, menu, organizer.
#include "channels/favorites.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "channels/channel_test_util.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using namespace test;
using Lines = std::vector<std::string>;

class FavoritesTest : public ::testing::Test, protected TestApp {
 protected:
  void SetUp() override {
    app.LoadStartupSettings();
    fs::create_directories(temp);
    fs::create_directories(favorites);
  }
  TempDir scratch;
  // The name probe uses the system's temporary folder: a private one here.
  const std::string temp = scratch.Path() + "/tmp";
  ScopedEnv tmpdir{"TMPDIR", temp};
  const std::string favorites = home.File("Favorites");
};

TEST_F(FavoritesTest, ShortcutFilesAreWrittenWholeAndOnlyInsideTheirFolder) {
  const std::string path = favorites + "/Page.url";
  WriteFile(path, "[InternetShortcut]\nURL=http://old/\nIconFile=old.ico\n[Extra]\nk=v\n");
  ASSERT_TRUE(WriteShortcut(path, "http://example.test/a?b=1"));
  EXPECT_EQ(ReadFile(path), "[InternetShortcut]\nURL=http://example.test/a?b=1\n");
  EXPECT_EQ(Tree(favorites), Lines{"Page.url"});  // nothing set aside stays
  // Files written elsewhere, with CR LF and other keys, read the same way.
  WriteFile(favorites + "/Other.url",
            "[DEFAULT]\r\nBASEURL=http://b/\r\n[InternetShortcut]\r\nURL=http://o/\r\nIconIndex=1\r\n");
  EXPECT_EQ(AddressOf(favorites + "/Other.url"), "http://o/");
  ASSERT_TRUE(WriteShortcut(path, "http://long.test/" + std::string(600, 'q')));
  EXPECT_EQ(AddressOf(path), "http://long.test/" + std::string(600, 'q'));  // read whole

  WriteFile(favorites + "/nokey.url", "[InternetShortcut]\nIconFile=x\n");
  WriteFile(favorites + "/none.url", "[InternetShortcut]\nURL=_NONE_\n");
  for (const std::string& p : {favorites + "/missing.url", favorites + "/nokey.url",
                               favorites + "/none.url", favorites}) {
    EXPECT_EQ(AddressOf(p), "<none>") << p;
  }
  // A favorite is written only inside its folder.
  std::string written;
  ASSERT_TRUE(WriteFavorite(favorites + "/", "News- Today-", "http://n/", &written));
  EXPECT_EQ(written, favorites + "/News- Today-.url");
  EXPECT_TRUE(FavoriteExists(favorites, "News- Today-"));
  EXPECT_FALSE(FavoriteExists(favorites, "News"));
  EXPECT_FALSE(WriteFavorite(favorites, "../Outside", "http://x/"));
  EXPECT_FALSE(WriteFavorite(favorites, "a/b", "http://x/"));
  EXPECT_FALSE(WriteFavorite(favorites + "/Missing", "n", "http://x/"));
  EXPECT_EQ(Tree(home.Path()).size(), 6u);  // Favorites/ and its five files

  // A failed write (no room for the temporary name) keeps the old bookmark.
  const std::string kept = favorites + "/" + std::string(250, 'n') + ".url";
  WriteFile(kept, "[InternetShortcut]\nURL=http://kept/\n");
  EXPECT_FALSE(WriteShortcut(kept, "http://lost/"));
  EXPECT_EQ(ReadFile(kept), "[InternetShortcut]\nURL=http://kept/\n");
  EXPECT_FALSE(WriteShortcut(favorites, "http://x/"));  // a folder is no shortcut
  EXPECT_EQ(Tree(favorites).size(), 6u);
}

TEST_F(FavoritesTest, AddChecksComeInTheDialogsOrder) {
  WriteFile(home.Path() + "/vyrelle/media/default/save.wav", "RIFF");
  const size_t fits = 260 - temp.size() - 1 - 4;  // <temp>/<name>.url stays below 261
  const std::pair<std::string, std::string> cases[][2] = {
      {{"", "x"}, {"Invalid Name", ""}},
      {{" \t ", "http://ok/"}, {"Invalid Name", ""}},
      {{"bad\0name"s, "x"}, {"Please select a new name", ""}},
      {{std::string(fits + 1, 'a'), "http://x/"}, {"Please select a new name", ""}},
      {{"Name", "ab   \r\n"}, {"Invalid URL", ""}},
      {{"  News: Today? \t\n", "http://news.test/  \t"}, {"ok:  News- Today-", "http://news.test/"}},
      {{"a/b\\c!#*+<>[]`{|}", "abc"}, {"ok:a-b-c------------", "abc"}},
      {{std::string(fits, 'a'), "WwW.X.COM/P"}, {"ok:" + std::string(fits, 'a'), "http://WwW.X.COM/P"}},
      {{"n", "wwwhat"}, {"ok:n", "http://wwwhat"}},
      {{"n", " www.x"}, {"ok:n", " www.x"}},
      {{"n", "ww.x"}, {"ok:n", "ww.x"}},
  };
  size_t accepted = 0;
  for (const auto& [in, want] : cases) {
    FavoriteCheck check = CheckNewFavorite(app, in.first, in.second);
    accepted += check.ok;
    EXPECT_EQ(check.ok ? "ok:" + check.name : check.message, want.first) << in.first;
    EXPECT_EQ(check.address, want.second) << in.first;
  }
  EXPECT_EQ(sounds.played.size(), accepted);  // "save" for each accepted entry
  EXPECT_TRUE(sounds.played.back().file.ends_with("/save.wav"));
  EXPECT_TRUE(boxes.boxes.empty());  // the dialog shows the messages, not the check

  // The probe leaves someone else's file of that name alone and nothing behind.
  WriteFile(temp + "/Mine.url", "someone else's");
  EXPECT_TRUE(IsUsableFavoriteName("Mine"));
  EXPECT_EQ(Tree(temp), Lines{"Mine.url"});
  EXPECT_EQ(ReadFile(temp + "/Mine.url"), "someone else's");
}

std::string Describe(const std::vector<FavoritesMenuEntry>& entries) {
  std::string out;
  for (const auto& e : entries) {
    if (e.kind == FavoritesMenuEntry::Kind::Item) out += std::to_string(e.command) + ":";
    out += e.kind == FavoritesMenuEntry::Kind::SubMenu ? "[" + e.text + "];" : e.text + ";";
  }
  return out;
}

TEST_F(FavoritesTest, MenuListsEntriesInCaseInsensitiveOrderWithCommandsFrom37000) {
  for (const char* file : {"b.url", "A.URL", "Zebra.url", "_under.url", "\xC3\xA4rger.url", "\xC3\x96l.url",
                           "my.site.url", "notes.txt", "old.url.bak", "Sub/x.url", "Sub/Deeper/y.url",
                           "Channels/c.url", "Software Updates/Microsoft Internet Explorer/u.url"}) {
    WriteFile(favorites + "/" + file, "");
  }
  fs::create_directories(favorites + "/Hollow");
  fs::create_directories(favorites + "/fake.url");
  // Links are neither shortcuts nor folders.
  fs::create_symlink(favorites + "/A.URL", favorites + "/alias.url");
  fs::create_directory_symlink(favorites, favorites + "/Loop");
  FavoritesMenuMap map;
  auto top = map.FillFolder(favorites);
  // Names compare as upper case: "_" after the letters, "ä" before "Ö".
  EXPECT_EQ(Describe(top),
            "37000:A;37001:b;[fake.url];[Hollow];37002:my.site;[Software Updates];[Sub];"
            "37003:Zebra;37004:_under;37005:\xC3\xA4rger;37006:\xC3\x96l;");
  EXPECT_EQ(Describe(map.FillFolder(top[5].path)), "(Empty);");  // the update folder is left out
  auto sub = map.FillFolder(top[6].path);
  EXPECT_EQ(Describe(sub), "[Deeper];37007:x;");  // sub-menus continue the numbering
  EXPECT_EQ(Describe(map.FillFolder(sub[0].path)), "37008:y;");
  EXPECT_EQ(map.ShortcutFor(37008), favorites + "/Sub/Deeper/y.url");
  EXPECT_EQ(Describe(map.FillFolder(top[3].path)), "(Empty);");
  EXPECT_EQ(map.Size(), 9u);
  // The organizer's tree: folders first, then shortcuts, never through a link.
  std::function<std::string(const std::vector<FavoritesTreeNode>&)> tree = [&](const auto& nodes) {
    std::string out;
    for (const auto& n : nodes) out += n.folder ? "[" + n.text + ":" + tree(n.children) + "]" : n.text + ";";
    return out;
  };
  EXPECT_EQ(tree(ListFavorites(favorites)),
            "[Channels:c;][fake.url:][Hollow:][Software Updates:[Microsoft Internet Explorer:u;]][Sub:[Deeper:y;]x;]"
            "A;b;my.site;Zebra;_under;\xC3\xA4rger;\xC3\x96l;");
  // Rebuilding starts again at 37000 and forgets the old commands.
  map.Reset();
  EXPECT_EQ(Describe(map.FillFolder(favorites + "/Sub")), "[Deeper];37000:x;");
  EXPECT_EQ(map.ShortcutFor(37001), "");
  // Only the exact name "Channels" is left out.
  fs::rename(favorites + "/Channels", favorites + "/channels");
  EXPECT_EQ(Describe(map.FillFolder(favorites)).substr(0, 21), "37001:A;37002:b;[chan");
}

class FavoritesOrganizerTest : public FavoritesTest {
 protected:
  FavoritesOrganizer organizer{favorites, boxes};
  using Outcome = FavoritesOrganizer::Outcome;
};

TEST_F(FavoritesOrganizerTest, FoldersAreMadeRenamedAndDeletedInTheirParentOnly) {
  auto made = organizer.NewFolder(favorites, "Old  \t");
  ASSERT_EQ(made.path, favorites + "/Old");
  ASSERT_TRUE(WriteShortcut(made.path + "/x.url", "http://x/"));
  fs::create_directories(favorites + "/A-B");
  fs::create_directories(favorites + "/Hollow");
  WriteFile(favorites + "/Clash", "a file");
  const std::pair<int, int> outcomes[] = {  // what happened, what should
      {int(organizer.NewFolder(favorites, "Old").outcome), int(Outcome::TryAgain)},
      {int(organizer.NewFolder(favorites, "   ").outcome), int(Outcome::Cancelled)},
      {int(organizer.NewFolder(favorites, "Clash").outcome), int(Outcome::TryAgain)},
      {int(organizer.NewFolder(made.path, "../Escaped").outcome), int(Outcome::TryAgain)},
      {int(organizer.NewFolder(favorites, "..").outcome), int(Outcome::TryAgain)},
      {int(organizer.RenameFolder(made.path, "A?B").outcome), int(Outcome::TryAgain)},  // "A-B" exists
      {int(organizer.RenameFolder(made.path, "bad\0name"s).outcome), int(Outcome::TryAgain)},
      {int(organizer.RenameFolder(made.path, "").outcome), int(Outcome::Cancelled)},
      {int(organizer.RenameFolder(favorites + "/", "Elsewhere").outcome), int(Outcome::Failed)},
      {int(organizer.RenameFolder(made.path, "New: Name  ").outcome), int(Outcome::Done)},
      {organizer.Delete(favorites + "/"), false},  // the root stays
      {organizer.Delete(favorites + "/New- Name"), false},
      {organizer.Delete(favorites + "/Hollow"), true},
      {organizer.Delete(favorites + "/Clash"), true},
      {organizer.Delete(favorites + "/Clash"), false},  // gone already
  };
  for (size_t i = 0; i < std::size(outcomes); ++i) EXPECT_EQ(outcomes[i].first, outcomes[i].second) << i;
  EXPECT_EQ(boxes.boxes.size(), 7u);  // every refusal but the empty names is explained
  EXPECT_EQ(Tree(home.Path()),
            (Lines{"Favorites/", "Favorites/A-B/", "Favorites/New- Name/", "Favorites/New- Name/x.url"}));
}

TEST_F(FavoritesOrganizerTest, PagesAreRewrittenAndMovedWithoutLosingABookmark) {
  const std::string longAddress = "http://long.test/?" + std::string(700, 'q');
  ASSERT_TRUE(WriteShortcut(favorites + "/Old.url", longAddress));
  ASSERT_TRUE(WriteShortcut(favorites + "/Two.url", "http://two/"));
  ASSERT_TRUE(WriteShortcut(favorites + "/Target/Two.url", "http://theirs/"));
  WriteFile(favorites + "/Empty.url", "[InternetShortcut]\n");
  auto page = organizer.ModifyPage(favorites + "/Old.url", "News: Today? ", longAddress + " ");
  ASSERT_EQ(page.path, favorites + "/News- Today-.url");
  const std::pair<bool, bool> outcomes[] = {  // done, should be
      {organizer.ModifyPage(page.path, "News- Today-", longAddress).ok(), true},  // in place
      {organizer.ModifyPage(page.path, std::string(300, 'n'), "http://x/").ok(), false},
      {organizer.ModifyPage(page.path, "Two", "http://x/").ok(), false},
      {organizer.ModifyPage(page.path, " ", "http://x/").ok(), false},
      {organizer.MoveShortcut(page.path, favorites + "/").ok(), false},
      {organizer.MoveShortcut(favorites + "/Two.url", favorites + "/Target").ok(), false},
      {organizer.MoveShortcut(favorites + "/Empty.url", favorites + "/Target").ok(), false},
      {organizer.MoveShortcut(page.path, favorites + "/Target").ok(), true},
  };
  for (size_t i = 0; i < std::size(outcomes); ++i) EXPECT_EQ(outcomes[i].first, outcomes[i].second) << i;
  EXPECT_EQ(boxes.boxes.size(), 5u);  // every refusal but the blank name is explained
  EXPECT_EQ(Tree(favorites),
            (Lines{"Empty.url", "Target/", "Target/News- Today-.url", "Target/Two.url", "Two.url"}));
  EXPECT_EQ(AddressOf(favorites + "/Two.url") + " " + AddressOf(favorites + "/Target/Two.url"),
            "http://two/ http://theirs/");
  // The whole address moves, not only what the menu reads of it.
  EXPECT_EQ(platform::ReadProfileValue(favorites + "/Target/News- Today-.url", "InternetShortcut", "URL"),
            longAddress);
}

}  // namespace
}  // namespace vyr

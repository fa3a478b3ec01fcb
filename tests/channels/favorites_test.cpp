// The favorites: the folder, shortcut files, the add-to-favorites checks, the
// favorites menu and the organizer's file operations.
#include "channels/favorites.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

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

const char kShellFolders[] =
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders";

using test::AddressOf;
using test::Tree;

class FavoritesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    app.LoadStartupSettings();
    fs::create_directories(scratch.Path() + "/tmp");
    fs::create_directories(favorites);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> out;
    for (const auto& b : boxes.boxes) out.push_back(b.kind + ":" + b.text);
    return out;
  }

  test::TempDir home;
  test::TempDir scratch;
  // The name probe uses the system's temporary folder: a private one here.
  test::ScopedEnv tmpdir{"TMPDIR", scratch.Path() + "/tmp"};
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  const std::string favorites = home.File("Favorites");
};

// --- names -------------------------------------------------------------------

TEST(FavoritesNames, CleaningReplacesEachCharacterFileNamesCannotHold) {
  EXPECT_EQ(CleanFavoriteName("News: Today?"), "News- Today-");
  EXPECT_EQ(CleanFavoriteName("!#*+/:<>?[\\]`{|}"), "----------------");
  const std::string kept =
      "Plain name, with (brackets) & 100% more; dots... 'quotes' \"x\" ~=$@^\xE4";
  EXPECT_EQ(CleanFavoriteName(kept), kept);
  EXPECT_EQ(CleanFavoriteName(""), "");
}

// --- shortcut files --------------------------------------------------------------

TEST_F(FavoritesTest, ShortcutsRoundTripInTheInitialisationForm) {
  const std::string path = favorites + "/Example.url";
  ASSERT_TRUE(WriteShortcut(path, "http://example.test/a?b=1"));
  EXPECT_EQ(ReadFile(path), "[InternetShortcut]\nURL=http://example.test/a?b=1\n");
  EXPECT_EQ(AddressOf(path), "http://example.test/a?b=1");

  // Files written elsewhere, with CR LF and other keys, read the same way.
  WriteFile(favorites + "/Other.url",
            "[DEFAULT]\r\nBASEURL=http://base/\r\n[InternetShortcut]\r\nURL=http://other/"
            "\r\nIconIndex=1\r\n");
  EXPECT_EQ(AddressOf(favorites + "/Other.url"), "http://other/");
}

TEST_F(FavoritesTest, ShortcutsWithoutAnAddressFailToRead) {
  std::string address = "unchanged";
  EXPECT_FALSE(ReadShortcut(favorites + "/missing.url", address));
  WriteFile(favorites + "/nokey.url", "[InternetShortcut]\nIconFile=x\n");
  EXPECT_FALSE(ReadShortcut(favorites + "/nokey.url", address));
  WriteFile(favorites + "/none.url", "[InternetShortcut]\nURL=_NONE_\n");
  EXPECT_FALSE(ReadShortcut(favorites + "/none.url", address));
  EXPECT_FALSE(ReadShortcut(favorites, address));  // a folder
  EXPECT_EQ(address, "unchanged");
}

TEST_F(FavoritesTest, ReadingCutsTheAddressTo510Characters) {
  const std::string longAddress = "http://long.test/" + std::string(600, 'q');
  ASSERT_TRUE(WriteShortcut(favorites + "/long.url", longAddress));
  EXPECT_EQ(AddressOf(favorites + "/long.url"), longAddress.substr(0, 510));
}

TEST_F(FavoritesTest, WritingReplacesTheWholeOldFile) {
  const std::string path = favorites + "/Page.url";
  WriteFile(path, "[InternetShortcut]\nURL=http://old/\nIconFile=old.ico\n[Extra]\nk=v\n");
  ASSERT_TRUE(WriteShortcut(path, "http://new/"));
  EXPECT_EQ(ReadFile(path), "[InternetShortcut]\nURL=http://new/\n");
  EXPECT_EQ(Tree(favorites), std::vector<std::string>{"Page.url"});  // nothing set aside stays
}

TEST_F(FavoritesTest, AFailedWriteKeepsTheOldFile) {
  // A name this long leaves no room for the write's temporary file name, so
  // the write fails; the bookmark that was there must survive it.
  const std::string path = favorites + "/" + std::string(250, 'n') + ".url";
  WriteFile(path, "[InternetShortcut]\nURL=http://kept/\n");
  ASSERT_EQ(ReadFile(path), "[InternetShortcut]\nURL=http://kept/\n");
  EXPECT_FALSE(WriteShortcut(path, "http://lost/"));
  EXPECT_EQ(ReadFile(path), "[InternetShortcut]\nURL=http://kept/\n");
  EXPECT_EQ(Tree(favorites).size(), 1u);

  EXPECT_FALSE(WriteShortcut(favorites, "http://x/"));  // a folder is no shortcut
  EXPECT_TRUE(fs::is_directory(favorites));
}

// --- the favorites folder ----------------------------------------------------------

TEST_F(FavoritesTest, FolderDefaultsToFavoritesInTheWindowsDirectoryAndIsMadeWhenMissing) {
  fs::remove(favorites);
  std::string folder;
  EXPECT_TRUE(FindFavoritesFolder(app, folder));
  EXPECT_EQ(folder, home.Path() + "/Favorites");
  EXPECT_TRUE(fs::is_directory(folder));
}

TEST_F(FavoritesTest, FolderFromTheShellFoldersValueReplacesTheDefault) {
  const std::string mine = scratch.Path() + "/My Favorites";
  ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::CurrentUser, kShellFolders,
                                      "Favorites", mine + "/"));
  std::string folder;
  EXPECT_TRUE(FindFavoritesFolder(app, folder));
  EXPECT_EQ(folder, mine);
  EXPECT_TRUE(fs::is_directory(mine));

  // A value naming a place where no folder can be made: not found.
  WriteFile(scratch.Path() + "/blocker", "a file");
  ASSERT_TRUE(app.Registry().SetValue(platform::RegistryRoot::CurrentUser, kShellFolders,
                                      "Favorites", scratch.Path() + "/blocker/Favorites"));
  EXPECT_FALSE(FindFavoritesFolder(app, folder));
  EXPECT_EQ(folder, scratch.Path() + "/blocker/Favorites");
}

TEST(FavoritesFolder, NoWindowsDirectoryMeansNoFolder) {
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app("", boxes, sounds);
  std::string folder = "stale";
  EXPECT_FALSE(FindFavoritesFolder(app, folder));
  EXPECT_EQ(folder, "");
}

// --- the add-to-favorites checks -----------------------------------------------------

class FavoritesAddTest : public FavoritesTest {
 protected:
  void SetUp() override {
    FavoritesTest::SetUp();
    WriteFile(home.Path() + "/vyrelle/media/default/save.wav", "RIFF");
  }
  std::string Message(const std::string& name, const std::string& address) {
    FavoriteCheck check = CheckNewFavorite(app, name, address);
    return check.ok ? "ok:" + check.name + "|" + check.address : check.message;
  }
};

TEST_F(FavoritesAddTest, ChecksComeInTheDialogsOrder) {
  EXPECT_EQ(Message("", "x"), "Invalid Name");                        // before the address
  EXPECT_EQ(Message(" \t ", "http://ok/"), "Invalid Name");           // only blanks
  EXPECT_EQ(Message("bad\0name"s, "x"), "Please select a new name");  // before the address
  EXPECT_EQ(Message("Name", "ab"), "Invalid URL");
  EXPECT_EQ(Message("Name", "ab   \r\n"), "Invalid URL");  // trimmed before measuring
  EXPECT_EQ(Message("Name", "abc"), "ok:Name|abc");
  EXPECT_TRUE(sounds.played.size() == 1 && sounds.played[0].file.ends_with("/save.wav"));
  EXPECT_TRUE(boxes.boxes.empty());  // the dialog shows the messages, not the check
}

TEST_F(FavoritesAddTest, NameAndAddressAreTrimmedAtTheEndAndTheNameCleaned) {
  EXPECT_EQ(Message("  News: Today? \t\n", "http://news.test/  \t"),
            "ok:  News- Today-|http://news.test/");
  EXPECT_EQ(Message("a/b\\c", "http://x/"), "ok:a-b-c|http://x/");
}

TEST_F(FavoritesAddTest, AddressesBeginningWithWwwInAnyCaseGetHttp) {
  EXPECT_EQ(Message("n", "WwW.Example.COM/Path"), "ok:n|http://WwW.Example.COM/Path");
  EXPECT_EQ(Message("n", "www.x"), "ok:n|http://www.x");
  EXPECT_EQ(Message("n", "wwwhat"), "ok:n|http://wwwhat");
  EXPECT_EQ(Message("n", "http://www.x/"), "ok:n|http://www.x/");
  EXPECT_EQ(Message("n", " www.x"), "ok:n| www.x");
  EXPECT_EQ(Message("n", "ww.x"), "ok:n|ww.x");
}

TEST_F(FavoritesAddTest, TheNameProbeKeepsBelowTheLengthLimitAndCleansUp) {
  const std::string temp = scratch.Path() + "/tmp";
  // <temp>/<name>.url must stay below 261 characters.
  const size_t fits = 260 - temp.size() - 1 - 4;
  EXPECT_TRUE(IsUsableFavoriteName(std::string(fits, 'a')));
  EXPECT_FALSE(IsUsableFavoriteName(std::string(fits + 1, 'a')));
  EXPECT_EQ(Message(std::string(fits + 1, 'a'), "http://x/"), "Please select a new name");

  // A file of the same name that belongs to someone else is left alone, and
  // the probe leaves nothing behind.
  WriteFile(temp + "/Mine.url", "someone else's");
  EXPECT_TRUE(IsUsableFavoriteName("Mine"));
  EXPECT_EQ(ReadFile(temp + "/Mine.url"), "someone else's");
  EXPECT_EQ(Tree(temp), std::vector<std::string>{"Mine.url"});
}

TEST_F(FavoritesAddTest, WithoutAUsableTemporaryFolderNoNamePasses) {
  test::ScopedEnv broken("TMPDIR", scratch.Path() + "/no-such-folder");
  EXPECT_FALSE(IsUsableFavoriteName("Name"));
  EXPECT_EQ(Message("Name", "http://x/"), "Please select a new name");
  EXPECT_TRUE(sounds.played.empty());
}

TEST_F(FavoritesTest, WriteFavoriteStoresTheShortcutInTheFolder) {
  std::string path;
  ASSERT_TRUE(WriteFavorite(favorites, "News- Today-", "http://news.test/", &path));
  EXPECT_EQ(path, favorites + "/News- Today-.url");
  EXPECT_EQ(AddressOf(path), "http://news.test/");
  ASSERT_TRUE(WriteFavorite(favorites + "/", "Slash", "http://s/", &path));
  EXPECT_EQ(path, favorites + "/Slash.url");

  EXPECT_FALSE(WriteFavorite(favorites, "../Outside", "http://x/"));
  EXPECT_FALSE(WriteFavorite(favorites, "a/b", "http://x/"));
  EXPECT_FALSE(WriteFavorite(favorites + "/Missing", "n", "http://x/"));
  EXPECT_EQ(Tree(home.Path()), (std::vector<std::string>{"Favorites/", "Favorites/News- Today-.url",
                                                         "Favorites/Slash.url"}));
}

// --- the favorites menu ----------------------------------------------------------------

std::string Describe(const std::vector<FavoritesMenuEntry>& entries) {
  std::string out;
  for (const auto& e : entries) {
    switch (e.kind) {
      case FavoritesMenuEntry::Kind::Item:
        out += std::to_string(e.command) + ":" + e.text;
        break;
      case FavoritesMenuEntry::Kind::SubMenu:
        out += "[" + e.text + "]";
        break;
      case FavoritesMenuEntry::Kind::Empty:
        out += e.text;
        break;
    }
    out += ";";
  }
  return out;
}

TEST_F(FavoritesTest, MenuListsShortcutsAndSubFoldersSortedWithCommandsFrom37000) {
  WriteFile(favorites + "/b.url", "");
  WriteFile(favorites + "/A.URL", "");
  WriteFile(favorites + "/my.site.url", "");
  WriteFile(favorites + "/notes.txt", "");
  WriteFile(favorites + "/old.url.bak", "");
  WriteFile(favorites + "/Sub/x.url", "");
  WriteFile(favorites + "/Sub/Deeper/y.url", "");
  WriteFile(favorites + "/Channels/c.url", "");
  fs::create_directories(favorites + "/Hollow");

  FavoritesMenuMap map;
  auto top = map.FillFolder(favorites);
  EXPECT_EQ(Describe(top), "37000:A;[Hollow];[Sub];37001:b;37002:my.site;37003:old.url;");
  EXPECT_EQ(map.ShortcutFor(37000), favorites + "/A.URL");
  EXPECT_EQ(map.ShortcutFor(37002), favorites + "/my.site.url");
  EXPECT_EQ(top[2].path, favorites + "/Sub");

  // Sub-menus are filled when opened and continue the numbering.
  auto sub = map.FillFolder(top[2].path);
  EXPECT_EQ(Describe(sub), "[Deeper];37004:x;");
  EXPECT_EQ(Describe(map.FillFolder(sub[0].path)), "37005:y;");
  EXPECT_EQ(map.ShortcutFor(37005), favorites + "/Sub/Deeper/y.url");
  EXPECT_EQ(Describe(map.FillFolder(top[1].path)), "(Empty);");
  EXPECT_EQ(map.Size(), 6u);

  // Rebuilding starts again at 37000 and forgets the old commands.
  map.Reset();
  EXPECT_EQ(map.ShortcutFor(37005), "");
  EXPECT_EQ(Describe(map.FillFolder(favorites + "/Sub")), "[Deeper];37000:x;");
  EXPECT_EQ(map.ShortcutFor(37001), "");
}

TEST_F(FavoritesTest, MenuLeavesOutChannelsAndTheUpdateFolder) {
  WriteFile(favorites + "/Channels/c.url", "");
  FavoritesMenuMap map;
  EXPECT_EQ(Describe(map.FillFolder(favorites)), "(Empty);");

  // Only the exact name "Channels" is left out.
  WriteFile(favorites + "/channels/d.url", "");
  EXPECT_EQ(Describe(map.FillFolder(favorites)), "[channels];");
  fs::remove_all(favorites + "/channels");

  WriteFile(favorites + "/Software Updates/Microsoft Internet Explorer/u.url", "");
  WriteFile(favorites + "/Software Updates/Other/o.url", "");
  auto top = map.FillFolder(favorites);
  ASSERT_EQ(Describe(top), "[Software Updates];");
  EXPECT_EQ(Describe(map.FillFolder(top[0].path)), "[Other];");
  EXPECT_EQ(map.Size(), 0u);

  EXPECT_EQ(Describe(map.FillFolder(favorites + "/missing")), "(Empty);");
}

// --- the organizer -----------------------------------------------------------------------

class FavoritesOrganizerTest : public FavoritesTest {
 protected:
  FavoritesOrganizer organizer{favorites, boxes};
  using Outcome = FavoritesOrganizer::Outcome;
};

TEST_F(FavoritesOrganizerTest, NewFolderIsMadeInTheParentOrAsksAgain) {
  auto made = organizer.NewFolder(favorites, "Work  \t");
  ASSERT_EQ(made.outcome, Outcome::Done);
  EXPECT_EQ(made.path, favorites + "/Work");
  EXPECT_TRUE(fs::is_directory(made.path));

  EXPECT_EQ(organizer.NewFolder(favorites, "Work").outcome, Outcome::TryAgain);
  EXPECT_EQ(organizer.NewFolder(favorites, "   ").outcome, Outcome::Cancelled);
  WriteFile(favorites + "/Clash", "a file");
  EXPECT_EQ(organizer.NewFolder(favorites, "Clash").outcome, Outcome::TryAgain);
  // Names that would make the folder elsewhere are refused.
  EXPECT_EQ(organizer.NewFolder(favorites + "/Work", "../Escaped").outcome, Outcome::TryAgain);
  EXPECT_EQ(organizer.NewFolder(favorites, "..").outcome, Outcome::TryAgain);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "error:This Folder already exists\n\nPlease try again",
                         "error:Error creating folder\n\nPleae try again",
                         "error:Error creating folder\n\nPleae try again",
                         "error:Error creating folder\n\nPleae try again",
                     }));
  EXPECT_EQ(Tree(home.Path()),
            (std::vector<std::string>{"Favorites/", "Favorites/Clash", "Favorites/Work/"}));
}

TEST_F(FavoritesOrganizerTest, RenamingAFolderCleansTheNameAndNeverReplacesAnother) {
  WriteFile(favorites + "/Old/x.url", "[InternetShortcut]\nURL=http://x/\n");
  fs::create_directories(favorites + "/A-B");

  auto renamed = organizer.RenameFolder(favorites + "/Old", "New: Name  ");
  ASSERT_EQ(renamed.outcome, Outcome::Done);
  EXPECT_EQ(renamed.path, favorites + "/New- Name");
  EXPECT_EQ(AddressOf(renamed.path + "/x.url"), "http://x/");

  // "A?B" is cleaned to the name of a folder that exists.
  EXPECT_EQ(organizer.RenameFolder(renamed.path, "A?B").outcome, Outcome::TryAgain);
  EXPECT_EQ(organizer.RenameFolder(renamed.path, "bad\0name"s).outcome, Outcome::TryAgain);
  EXPECT_EQ(organizer.RenameFolder(renamed.path, "").outcome, Outcome::Cancelled);
  EXPECT_EQ(organizer.RenameFolder(favorites, "Elsewhere").outcome, Outcome::Failed);
  EXPECT_EQ(organizer.RenameFolder(favorites + "/", "Elsewhere").outcome, Outcome::Failed);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "error:This Folder already exists\n\nPlease try again",
                         "error:Please select a name with normal characters",
                     }));
  EXPECT_EQ(Tree(home.Path()),
            (std::vector<std::string>{"Favorites/", "Favorites/A-B/", "Favorites/New- Name/",
                                      "Favorites/New- Name/x.url"}));
}

TEST_F(FavoritesOrganizerTest, ModifyingAPageRewritesItUnderTheNewName) {
  ASSERT_TRUE(WriteShortcut(favorites + "/Old.url", "http://old/"));
  auto changed = organizer.ModifyPage(favorites + "/Old.url", "News: Today? ", "http://new/ ");
  ASSERT_EQ(changed.outcome, Outcome::Done);
  EXPECT_EQ(changed.path, favorites + "/News- Today-.url");
  EXPECT_EQ(AddressOf(changed.path), "http://new/");
  EXPECT_FALSE(fs::exists(favorites + "/Old.url"));

  // Same name, new address: rewritten in place.
  changed = organizer.ModifyPage(changed.path, "News- Today-", "http://newer/");
  ASSERT_EQ(changed.outcome, Outcome::Done);
  EXPECT_EQ(AddressOf(changed.path), "http://newer/");
  EXPECT_EQ(Tree(favorites), std::vector<std::string>{"News- Today-.url"});
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(FavoritesOrganizerTest, ModifyingAPageRefusesBadNamesAndNamesOfOtherPages) {
  ASSERT_TRUE(WriteShortcut(favorites + "/One.url", "http://one/"));
  ASSERT_TRUE(WriteShortcut(favorites + "/Two.url", "http://two/"));
  EXPECT_EQ(
      organizer.ModifyPage(favorites + "/One.url", std::string(300, 'n'), "http://x/").outcome,
      Outcome::TryAgain);
  EXPECT_EQ(organizer.ModifyPage(favorites + "/One.url", "Two", "http://x/").outcome,
            Outcome::TryAgain);
  EXPECT_EQ(organizer.ModifyPage(favorites + "/One.url", " ", "http://x/").outcome,
            Outcome::Cancelled);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "error:Please select a name with normal characters",
                         "error:Please select a new name",
                     }));
  EXPECT_EQ(AddressOf(favorites + "/One.url"), "http://one/");
  EXPECT_EQ(AddressOf(favorites + "/Two.url"), "http://two/");
}

TEST_F(FavoritesOrganizerTest, DeleteKeepsTheRootAndFoldersThatAreNotEmpty) {
  ASSERT_TRUE(WriteShortcut(favorites + "/Full/x.url", "http://x/"));
  fs::create_directories(favorites + "/Hollow");
  ASSERT_TRUE(WriteShortcut(favorites + "/Page.url", "http://p/"));

  EXPECT_FALSE(organizer.Delete(favorites));
  EXPECT_FALSE(organizer.Delete(favorites + "/"));
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_FALSE(organizer.Delete(favorites + "/Full"));
  EXPECT_EQ(Texts(),
            std::vector<std::string>{"error:Error Removing Folder\n\nMake sure it is empty"});
  EXPECT_TRUE(organizer.Delete(favorites + "/Hollow"));
  EXPECT_TRUE(organizer.Delete(favorites + "/Page.url"));
  EXPECT_FALSE(organizer.Delete(favorites + "/Page.url"));  // gone already
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Full/", "Full/x.url"}));
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FavoritesOrganizerTest, MovingAShortcutWritesItInTheTargetBeforeRemovingIt) {
  const std::string longAddress = "http://long.test/?" + std::string(700, 'q');
  ASSERT_TRUE(WriteShortcut(favorites + "/Page.url", longAddress));
  fs::create_directories(favorites + "/Target");

  auto same = organizer.MoveShortcut(favorites + "/Page.url", favorites + "/");
  EXPECT_FALSE(same.ok());
  EXPECT_EQ(Texts(), std::vector<std::string>{"info:You've moved it to the same folder"});
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Page.url", "Target/"}));

  auto moved = organizer.MoveShortcut(favorites + "/Page.url", favorites + "/Target");
  ASSERT_TRUE(moved.ok());
  EXPECT_EQ(moved.path, favorites + "/Target/Page.url");
  EXPECT_EQ(Tree(favorites), (std::vector<std::string>{"Target/", "Target/Page.url"}));
  // The whole address moves, not only what the menu reads of it.
  EXPECT_EQ(platform::ReadProfileValue(moved.path, "InternetShortcut", "URL"), longAddress);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST_F(FavoritesOrganizerTest, MovingNeverLosesABookmark) {
  ASSERT_TRUE(WriteShortcut(favorites + "/Page.url", "http://mine/"));
  ASSERT_TRUE(WriteShortcut(favorites + "/Target/Page.url", "http://theirs/"));
  WriteFile(favorites + "/Empty.url", "[InternetShortcut]\n");

  EXPECT_FALSE(organizer.MoveShortcut(favorites + "/Page.url", favorites + "/Target").ok());
  EXPECT_FALSE(organizer.MoveShortcut(favorites + "/Empty.url", favorites + "/Target").ok());
  EXPECT_EQ(Texts(), (std::vector<std::string>{"error:Error 123 Creating shortcut",
                                               "error:Error 123 Creating shortcut"}));
  EXPECT_EQ(AddressOf(favorites + "/Page.url"), "http://mine/");
  EXPECT_EQ(AddressOf(favorites + "/Target/Page.url"), "http://theirs/");
  EXPECT_EQ(Tree(favorites),
            (std::vector<std::string>{"Empty.url", "Page.url", "Target/", "Target/Page.url"}));
}

}  // namespace
}  // namespace vyr

#include "schemes/scheme_package.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>
#include <map>

#include "platform/file_system.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr {
namespace {

TEST(SchemePackageTest, AddressAndNameRules) {
  struct Case {
    const char* address;
    const char* repaired;
    const char* package;  // null: no separator
    const char* scheme;
  };
  const Case cases[] = {
      {"http:/host/Ocean.vyrscheme", "http://host/Ocean.vyrscheme", "Ocean.vyrscheme", "Ocean"},
      {"http://host/gallery/Plain", "http://host/gallery/Plain", "Plain", "Plain"},
      {"c:\\packs\\Blue.v2.vyrscheme", "c:\\packs\\Blue.v2.vyrscheme", "Blue.v2.vyrscheme", "Blue.v2"},
      {"/home/u/.hidden", "/home/u/.hidden", ".hidden", ".hidden"},
      {"Ocean.vyrscheme", "Ocean.vyrscheme", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address);
    const std::string repaired = RepairSchemeAddress(c.address);
    EXPECT_EQ(repaired, c.repaired);
    std::string package;
    ASSERT_EQ(SchemePackageName(repaired, package), c.package != nullptr);
    if (!c.package) continue;
    EXPECT_EQ(package, c.package);
    EXPECT_EQ(SchemeNameOf(package), c.scheme);
  }

  const std::pair<const char*, const char*> names[] = {
      {"Sunset \t ", "Sunset"}, {"Ok", "Ok"},         {"A  ", nullptr},   {"..", nullptr},
      {"a/b", nullptr},         {"..\\up", nullptr}, {"/abs", nullptr},  {"c:Sea", nullptr},
      {"Sea:x", nullptr},       {"Se\x01a", nullptr}, {"Se\ta", nullptr}, {"Sea\x7F", nullptr},
      {"default", nullptr},     {"Default ", nullptr}, {"DEFAULT", nullptr}, {"defaults", "defaults"},
  };
  for (const auto& [entered, accepted] : names) {
    SCOPED_TRACE(entered);
    std::string name = entered;
    ASSERT_EQ(AcceptSchemeName(name), accepted != nullptr);
    if (accepted) {
      EXPECT_EQ(name, accepted);
    }
  }
}

struct ScriptedChooser : SchemeNameChooser {
  std::deque<std::pair<Choice, std::string>> script;
  std::vector<std::string> shown;
  Choice Choose(std::string& name) override {
    shown.push_back(name);
    auto [choice, entered] = script.front();
    script.pop_front();
    name = entered;
    return choice;
  }
};

struct CountingSwitcher : SchemeSwitcher {
  int applied = 0;
  void ApplyCurrentScheme() override { ++applied; }
};

TEST(SchemePackageTest, FailuresEndWithTheirMessage) {
  struct Case {
    const char* label;
    std::string address;
    bool downloaded;
    std::string zipContents;  // empty: a good package
    std::string lastBox;
  };
  const std::string temp = "/vyrelle/_TEMP/";
  const Case cases[] = {
      {"no separator", "Ocean.vyrscheme", true, "", "error: Error 1 Importing Scheme"},
      {"dot-dot package", "http://host/..", true, "", "error: Error 1 Importing Scheme"},
      {"download failed", "http://host/Sea.vyrscheme", false, "",
       "error: Error Obtaining Scheme\r\n\r\n[http://host/Sea.vyrscheme]\r\n[HOME" + temp +
           "Sea.vyrscheme]"},
      // Names that are no safe folder name are refused before anything is
      // asked or downloaded.
      {"dots only", "http://host/...vyrscheme", true, "", "error: Error 2 Importing Scheme"},
      {"colon", "http://host/a:b.vyrscheme", true, "", "error: Error 2 Importing Scheme"},
      {"drive-like", "c:\\packs\\c:Sea.vyrscheme", true, "", "error: Error 2 Importing Scheme"},
      {"control character", "http://host/Se\x1b[2Ja.vyrscheme", true, "", "error: Error 2 Importing Scheme"},
      {"line break", "http://host/Sea\n.vyrscheme", true, "", "error: Error 2 Importing Scheme"},
      // A package that does not unpack ends the import there.
      {"not a zip", "http://host/Sea.vyrscheme", true, "text",
       "error: Error 142 Obtaining Scheme\r\n\r\n[http://host/Sea.vyrscheme]\r\n[HOME" + temp +
           "Sea.vyrscheme]"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::TestApp t;
    SchemeImport with;
    int downloads = 0;
    with.download = [&](const std::string&, const std::string& dest, bool) {
      ++downloads;
      if (!c.zipContents.empty()) test::WriteFile(dest, c.zipContents);
      return c.downloaded ? net::DownloadDialogResult::kDownloaded : net::DownloadDialogResult::kNotDownloaded;
    };
    EXPECT_EQ(ImportScheme(t.app, with, c.address), "");
    const auto& boxes = t.boxes.boxes;
    ASSERT_FALSE(boxes.empty());
    std::string last = boxes.back().kind + ": " + boxes.back().text;
    const size_t home = last.find(t.home.Path());
    if (home != std::string::npos) last.replace(home, t.home.Path().size(), "HOME");
    EXPECT_EQ(last, c.lastBox);
    const bool refusedByName = c.lastBox.find("Error 1 ") != std::string::npos ||
                               c.lastBox.find("Error 2 ") != std::string::npos;
    EXPECT_EQ(downloads, refusedByName ? 0 : 1);
    EXPECT_EQ(boxes.size(), refusedByName ? 1u : 2u);  // the import question, then the error
    // No scheme folder is left behind, no scheme switched, no sound.
    EXPECT_FALSE(std::filesystem::exists(t.home.Path() + "/vyrelle/media/Sea"));
    EXPECT_EQ(t.app.GetString("misc", "userdir", "unset"), "unset");
    EXPECT_TRUE(t.sounds.played.empty());
  }
}

// Every file of a folder with its contents, for comparing before and after.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) files[entry.path().string()] = test::ReadFile(entry.path().string());
  }
  return files;
}

// The same flow through the dialogs (a taken name, a bad one, a free one):
// the window test ui.look_feel.
TEST(SchemePackageTest, NoImportWritesIntoTheDefaultSchemeAndAFreeNameGetsTheScheme) {
  test::TestApp t;
  const std::string media = t.home.Path() + "/vyrelle/media/";
  test::WriteFile(media + "default/config.ini", "[Misc]\nFancyWindows=0\n");
  test::WriteFile(media + "default/chanbar.bmp", "default picture");
  test::WriteFile(media + "default/schemedownloaded.wav", "RIFF");
  std::filesystem::create_directory_symlink(media + "default", media + "Alias");
  const auto before = Snapshot(media + "default");
  test::TempDir source;
  for (const char* name : {"default.vyrscheme", "Alias.vyrscheme", "Sea.vyrscheme"}) {
    ASSERT_TRUE(
        test::WriteZip(source.File(name), {{"config.ini", "[Misc]\n"}, {"bitmaps/chanbar.bmp", "imported picture"}}));
  }
  std::vector<std::string> downloads;
  SchemeImport with;
  with.download = [&](const std::string& url, const std::string& dest, bool hidden) {
    EXPECT_FALSE(hidden);
    downloads.push_back(url + " -> " + dest);
    std::filesystem::copy_file(url, dest, std::filesystem::copy_options::overwrite_existing);
    return net::DownloadDialogResult::kDownloaded;
  };
  ScriptedChooser chooser;
  CountingSwitcher switcher;
  with.chooser = &chooser;
  with.switcher = &switcher;

  // By its own name, in any case, or through a link to it: "Replace" is
  // refused and asked again, and a typed "default" is no valid name.
  chooser.script = {{SchemeNameChooser::Replace, ""},
                    {SchemeNameChooser::Ok, "default"},
                    {SchemeNameChooser::Ok, "Default"},
                    {SchemeNameChooser::Ok, "Alias"},
                    {SchemeNameChooser::Replace, ""},
                    {SchemeNameChooser::Cancel, ""}};
  EXPECT_EQ(ImportScheme(t.app, with, source.File("default.vyrscheme")), "");
  EXPECT_EQ(chooser.shown, (std::vector<std::string>{"default", "default", "default", "default", "Alias", "Alias"}));
  chooser.script = {{SchemeNameChooser::Replace, ""}, {SchemeNameChooser::Cancel, ""}};
  EXPECT_EQ(ImportScheme(t.app, with, source.File("Alias.vyrscheme")), "");
  EXPECT_TRUE(t.sounds.played.empty());

  // "Sea" is taken: past "default", "..", and the taken "Sea2", the import
  // goes ahead into a folder of its own.
  test::WriteFile(media + "Sea/keep", "");
  test::WriteFile(media + "Sea2/keep", "");
  chooser.shown.clear();
  chooser.script = {{SchemeNameChooser::Ok, "default"},
                    {SchemeNameChooser::Ok, ".."},
                    {SchemeNameChooser::Ok, "Sea2"},
                    {SchemeNameChooser::Ok, "Sea3 "}};
  t.boxes.boxes.clear();
  downloads.clear();
  EXPECT_EQ(ImportScheme(t.app, with, source.File("Sea.vyrscheme")), media + "Sea3/");
  EXPECT_EQ(chooser.shown, (std::vector<std::string>{"Sea", "Sea", "Sea", "Sea2"}));
  EXPECT_EQ(downloads, std::vector<std::string>{source.File("Sea.vyrscheme") + " -> " + t.home.Path() +
                                                "/vyrelle/_TEMP/Sea.vyrscheme"});
  std::vector<std::string> boxes;
  for (auto& b : t.boxes.boxes) boxes.push_back(b.kind + ": " + b.caption + ": " + b.text);
  EXPECT_EQ(boxes, (std::vector<std::string>{
                       "question: Import Scheme ?: You are about to import a new scheme.\n\n"
                       "The new scheme is named:  Sea.vyrscheme\n\nContinue ?",
                       "error: : Invalid Scheme Name", "error: : Invalid Scheme Name",
                       "question: Restart Now ?: Do you wish to switch to the new scheme now ?"}));
  EXPECT_EQ(test::ReadFile(media + "Sea3/bitmaps/chanbar.bmp"), "imported picture");
  ASSERT_EQ(t.sounds.played.size(), 1u);
  EXPECT_EQ(t.sounds.played[0].file, media + "default/schemedownloaded.wav");
  // The switch: the new scheme current and remembered, FancyWindows in its
  // own file; the default keeps every byte.
  EXPECT_EQ(platform::GetPrivateProfileInt("Misc", "FancyWindows", 7, media + "Sea3/config.ini"), 1);
  EXPECT_EQ(Snapshot(media + "default"), before);
  EXPECT_EQ(switcher.applied, 1);
  EXPECT_EQ(t.app.CurrentSchemeName(), "Sea3");
  EXPECT_EQ(t.app.GetString("misc", "userdir"), "Sea3");
}

}  // namespace
}  // namespace vyr

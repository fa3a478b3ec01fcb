#include "schemes/scheme_package.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

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
      {"Sunset \t ", "Sunset"}, {"Ok", "Ok"}, {"A  ", nullptr}, {"..", nullptr},
      {"a/b", nullptr},         {"..\\up", nullptr}, {"/abs", nullptr},
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

TEST(SchemePackageTest, ImportAsksForAFreeNameUnpacksAndSwitches) {
  test::TestApp t;
  const std::string media = t.home.Path() + "/vyrelle/media/";
  platform::CreateDirectories(media + "Ocean");
  platform::CreateDirectories(media + "Ocean2");
  test::WriteFile(media + "default/schemedownloaded.wav", "RIFF");
  test::TempDir source;
  ASSERT_TRUE(test::WriteZip(source.File("Ocean.vyrscheme"),
                             {{"config.ini", "[Misc]\n"}, {"bitmaps/chanbar.bmp", "BM"}}));

  ScriptedChooser chooser;
  chooser.script = {{SchemeNameChooser::Ok, "X  "},
                    {SchemeNameChooser::Ok, ".."},
                    {SchemeNameChooser::Ok, "Ocean2"},
                    {SchemeNameChooser::Ok, "Ocean3 "}};
  CountingSwitcher switcher;
  std::vector<std::string> downloads;
  SchemeImport with;
  with.download = [&](const std::string& url, const std::string& dest, bool hidden) {
    EXPECT_FALSE(hidden);
    downloads.push_back(url + " -> " + dest);
    std::filesystem::copy_file(url, dest, std::filesystem::copy_options::overwrite_existing);
    return 1;
  };
  with.chooser = &chooser;
  with.switcher = &switcher;

  const std::string address = source.File("Ocean.vyrscheme");
  EXPECT_EQ(ImportScheme(t.app, with, address), media + "Ocean3/");

  const std::string temp = t.home.Path() + "/vyrelle/_TEMP/Ocean.vyrscheme";
  EXPECT_EQ(downloads, std::vector<std::string>{address + " -> " + temp});
  EXPECT_EQ(chooser.shown, (std::vector<std::string>{"Ocean", "Ocean", "Ocean", "Ocean2"}));
  std::vector<std::string> boxes;
  for (auto& b : t.boxes.boxes) boxes.push_back(b.kind + ": " + b.caption + ": " + b.text);
  EXPECT_EQ(boxes, (std::vector<std::string>{
                       "question: Import Scheme ?: You are about to import a new scheme.\n\n"
                       "The new scheme is named:  Ocean.vyrscheme\n\nContinue ?",
                       "error: : Invalid Scheme Name",
                       "error: : Invalid Scheme Name",
                       "question: Restart Now ?: Do you wish to switch to the new scheme now ?"}));
  EXPECT_EQ(test::ReadFile(media + "Ocean3/bitmaps/chanbar.bmp"), "BM");
  ASSERT_EQ(t.sounds.played.size(), 1u);
  EXPECT_EQ(t.sounds.played[0].file, media + "default/schemedownloaded.wav");
  // The switch: the new scheme current and remembered, FancyWindows in its
  // own file; the scheme left behind keeps its own value.
  EXPECT_EQ(platform::GetPrivateProfileInt("Misc", "FancyWindows", 7, media + "Ocean3/config.ini"), 1);
  EXPECT_EQ(platform::GetPrivateProfileInt("Misc", "FancyWindows", 7, media + "default/config.ini"), 7);
  EXPECT_EQ(t.app.CurrentSchemeName(), "Ocean3");
  EXPECT_EQ(t.app.GetString("misc", "userdir"), "Ocean3");
  EXPECT_EQ(switcher.applied, 1);
}

TEST(SchemePackageTest, FailuresEndWithTheirMessage) {
  struct Case {
    const char* label;
    std::string address;
    int downloadResult;
    std::string zipContents;  // empty: a good package
    std::string lastBox;
  };
  const std::string temp = "/vyrelle/_TEMP/";
  const Case cases[] = {
      {"no separator", "Ocean.vyrscheme", 1, "", "error: Error 1 Importing Scheme"},
      {"dot-dot package", "http://host/..", 1, "", "error: Error 1 Importing Scheme"},
      {"download failed", "http://host/Sea.vyrscheme", 2, "",
       "error: Error Obtaining Scheme\r\n\r\n[http://host/Sea.vyrscheme]\r\n[HOME" + temp +
           "Sea.vyrscheme]"},
      {"dots only", "http://host/...vyrscheme", 1, "", "error: Error 2 Importing Scheme"},
      {"not a zip", "http://host/Sea.vyrscheme", 1, "text",
       "question: Do you wish to switch to the new scheme now ?"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::TestApp t;
    SchemeImport with;
    with.download = [&](const std::string&, const std::string& dest, bool) {
      if (!c.zipContents.empty()) test::WriteFile(dest, c.zipContents);
      return c.downloadResult;
    };
    const std::string dir = ImportScheme(t.app, with, c.address);
    const auto& boxes = t.boxes.boxes;
    ASSERT_FALSE(boxes.empty());
    std::string last = boxes.back().kind + ": " + boxes.back().text;
    const size_t home = last.find(t.home.Path());
    if (home != std::string::npos) last.replace(home, t.home.Path().size(), "HOME");
    EXPECT_EQ(last, c.lastBox);
    EXPECT_EQ(dir.empty(), c.zipContents.empty());
    if (!c.zipContents.empty()) {
      EXPECT_EQ(boxes[1].text, "Error 142 Obtaining Scheme\r\n\r\n[http://host/Sea.vyrscheme]\r\n[" +
                                t.home.Path() + temp + "Sea.vyrscheme]");
    }
  }
}

}  // namespace
}  // namespace vyr

#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using test::ReadFile;
using test::WriteFile;

class SettingsStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    app.LoadStartupSettings();
  }
  std::string Media(const std::string& scheme, const std::string& file) {
    return home.File("vyrelle/media/" + scheme + "/" + file);
  }
  void UseScheme(const std::string& name) {
    app.WriteString("misc", "userdir", name);
    app.LoadStartupSettings();
  }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

TEST_F(SettingsStoreTest, ProfileReadsAndWritesGoToVyr20Ini) {
  EXPECT_EQ(app.GetString("Startup", "Home", "none"), "none");
  app.WriteString("Startup", "Home", "http://example.test/");
  app.WriteInt("Misc", "PI", 25);
  app.WriteString("TypedURLs", "url1", "http://a/");
  EXPECT_EQ(app.GetInt("misc", "pi", 10), 25);
  app.Settings().RemoveSection("typedurls");
  EXPECT_EQ(app.GetString("TypedURLs", "url1", "gone"), "gone");
  EXPECT_EQ(ReadFile(home.File("vyr20.ini")), "[Startup]\nHome=http://example.test/\n[Misc]\nPI=25\n[TypedURLs]\n");
  app.WriteString("misc", "PI", "abc");
  EXPECT_EQ(app.GetInt("misc", "PI", 10), 0);  // text reads as 0, not the default
}

TEST_F(SettingsStoreTest, SchemeValuesFallBackToTheDefaultSchemeFileAndAreCut) {
  WriteFile(Media("default", "config.ini"),
            "[Colors]\nBack=1,2,3\n[misc]\nFancyWindows=1\n[Support]\nSupportEmail=" +
                std::string(400, 'z') + "\n");
  WriteFile(home.File("vyrelle/Data/Default/config.ini"), "[Local]\nZip=" + std::string(400, 'z') + "\n");
  UseScheme("Ocean");
  EXPECT_EQ(app.GetString("colors", "back", "", true), "1,2,3");
  EXPECT_EQ(app.GetString("Support", "SupportEmail", "", true), std::string(253, 'z'));
  EXPECT_EQ(app.GetDataString("Local", "Zip", "none"), std::string(253, 'z'));
  EXPECT_EQ(app.GetDataString("Local", "Missing", "none"), "none");
  // Once the scheme has its own file, it wins, key by key only inside it.
  WriteFile(Media("Ocean", "config.ini"), "[Colors]\nBack=9,9,9\n");
  EXPECT_EQ(app.GetString("Colors", "Back", "", true), "9,9,9");
  EXPECT_EQ(app.GetInt("misc", "FancyWindows", 0, true), 0);
}

TEST_F(SettingsStoreTest, SchemeWriteGoesToTheFileReadsComeFrom) {
  WriteFile(Media("default", "config.ini"), "[misc]\nFancyWindows=0\nunderline_rollover=0\n");
  UseScheme("Ocean");
  app.WriteInt("misc", "FancyWindows", 1, true);
  // No file holding one key appears in the scheme to hide the default
  // scheme's other values.
  EXPECT_FALSE(std::filesystem::exists(Media("Ocean", "config.ini")));
  EXPECT_EQ(app.GetInt("misc", "FancyWindows", 0, true), 1);
  EXPECT_EQ(app.GetInt("misc", "underline_rollover", 1, true), 0);
  WriteFile(Media("Ocean", "config.ini"), "[misc]\n");
  app.WriteInt("misc", "FancyWindows", 0, true);
  EXPECT_EQ(ReadFile(Media("Ocean", "config.ini")), "[misc]\nFancyWindows=0\n");
  EXPECT_EQ(app.GetString("misc", "FancyWindows", "", false), "");  // not in the profile
}

TEST(SettingsStoreBrokenHomeTest, MissingOrUnusableHomeGivesDefaultsAndNeverCrashes) {
  test::TempDir tmp;
  test::WriteFile(tmp.File("file"), "not a folder");
  for (std::string windowsDir : {tmp.File("file/home"), std::string()}) {
    platform::ClearProfileCache();
    test::RecordingMessageBox boxes;
    test::RecordingSoundPlayer sounds;
    Application app(windowsDir, boxes, sounds);
    app.LoadStartupSettings();
    app.WriteString("misc", "PI", "5");  // reports nothing, changes nothing
    EXPECT_EQ(app.GetInt("misc", "PI", 10), 10);
    EXPECT_EQ(app.GetString("Colors", "Back", "x", true), "x");
    EXPECT_EQ(app.GetDataString("Local", "Zip", "none"), "none");
    EXPECT_EQ(app.PlaySound("welcome", 1, true), 0);
  }
  EXPECT_EQ(test::ReadFile(tmp.File("file")), "not a folder");
}

}  // namespace
}  // namespace vyr

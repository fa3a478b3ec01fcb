// The application object: folders, settings, scheme name, sounds, installation id.
#include "base/application.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/installation_id.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

class ApplicationTest : public ::testing::Test, protected test::TestApp {
 protected:
  void UseScheme(const std::string& name) {
    app.WriteString("misc", "userdir", name);
    app.LoadStartupSettings();
  }
  const std::string root = home.Path() + "/vyrelle";
  const std::string media = root + "/media/";
};

TEST_F(ApplicationTest, DataDirectoriesAndFileResolvers) {
  EXPECT_EQ(app.GetDataDirectory("email", true), root + "/email/");
  EXPECT_EQ(app.GetDataDirectory("CHANNELS", false), root + "/");
  EXPECT_EQ(app.GetDataDirectory("InfoBox", false), root + "/InfoBox/");
  EXPECT_EQ(std::make_pair(fs::is_directory(root + "/email"), fs::exists(root + "/InfoBox")), std::make_pair(true, false));
  EXPECT_EQ(app.ResolveDataFile("chanfixed.vyr", false), root + "/Data/Default/chanfixed.vyr");
  EXPECT_FALSE(fs::exists(root + "/Data/Default"));  // made only with fallback
  app.ResolveDataFile("chanfixed.vyr", true);
  EXPECT_TRUE(fs::is_directory(root + "/Data/Default"));
  app.SetCurrentSchemeName("Ocean");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), media + "default/back.bmp");
  WriteFile(media + "Ocean/back.bmp", "BM");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), media + "Ocean/back.bmp");
  // A file in the way of a folder: its message and an empty path.
  WriteFile(root + "/Search", "in the way");
  EXPECT_EQ(app.GetDataDirectory("Search", true), "");
  fs::remove_all(root);
  WriteFile(root, "in the way");
  EXPECT_EQ(app.GetDataDirectory("email", true), "");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "Error creating Vyrelle directory II");
  EXPECT_EQ(boxes.boxes[1].text, "Error creating Vyrelle directory");
  EXPECT_EQ(ReadFile(root), "in the way");
}

TEST_F(ApplicationTest, SchemeAndDataSettingsWithFallbackAndTheirLimit) {
  const std::string cut(400, 'z');
  WriteFile(media + "default/config.ini", "[misc]\nFancyWindows=0\nunderline_rollover=0\nlong=" + cut + "\n");
  WriteFile(root + "/Data/Default/config.ini", "[Local]\nZip=" + cut + "\n");
  UseScheme("Ocean");
  EXPECT_EQ(app.GetString("MISC", "long", "", true), std::string(253, 'z'));
  EXPECT_EQ(app.GetDataString("Local", "Zip", "none"), std::string(253, 'z'));
  // A scheme without its own file writes to a copy of the default's.
  app.WriteInt("misc", "FancyWindows", 1, true);
  EXPECT_EQ(ReadFile(media + "default/config.ini"),
            "[misc]\nFancyWindows=0\nunderline_rollover=0\nlong=" + cut + "\n");
  EXPECT_EQ(ReadFile(media + "Ocean/config.ini"),
            "[misc]\nFancyWindows=1\nunderline_rollover=0\nlong=" + cut + "\n");
  EXPECT_EQ(app.GetInt("misc", "FancyWindows", 0, true), 1);
  // Once the scheme has its own file, it wins, key by key only inside it.
  WriteFile(media + "Ocean/config.ini", "[misc]\n");
  app.WriteInt("misc", "FancyWindows", 0, true);
  EXPECT_EQ(ReadFile(media + "Ocean/config.ini"), "[misc]\nFancyWindows=0\n");
  EXPECT_EQ(app.GetInt("misc", "underline_rollover", 1, true), 1);
  EXPECT_EQ(app.GetString("misc", "FancyWindows", "", false), "");  // not in the profile
}

TEST_F(ApplicationTest, SchemeNameDefaultsByColourCountAndNeverLeavesTheMediaFolder) {
  const std::tuple<int, const char*, const char*> cases[] = {
      {256, "", "LowColor"}, {257, "", "default"}, {-1, "", "default"},  // unknown palette: 257
      {16, "Ocean", "Ocean"}, {16, "../../etc", "LowColor"}, {16, "..", "LowColor"},
      {16, "a/b", "LowColor"}, {16, "a\\b", "LowColor"}, {300, "c:", "default"},
      {300, ".", "default"}, {300, "Ocean\tBlue", "default"}, {300, "Sea Blue", "Sea Blue"}};
  for (const auto& [colours, userdir, scheme] : cases) {
    app.SetColourCount(colours);
    UseScheme(userdir);
    EXPECT_EQ(app.CurrentSchemeName(), scheme) << colours << " " << userdir;
  }
}

TEST_F(ApplicationTest, PlaySoundFollowsTheSoundSettings) {
  UseScheme("Ocean");
  WriteFile(media + "Ocean/save.wav", "RIFF");
  WriteFile(media + "default/welcome.wav", "RIFF");
  WriteFile(media + "default/gotmail.wav", "RIFF");
  std::vector<std::string> pages;
  app.SetNewMailPageHandler([&](const std::string& page) { pages.push_back(page); });
  EXPECT_EQ(app.PlaySound("save", 0, true), 1);
  EXPECT_EQ(app.PlaySound("welcome", 0, true), 0);  // no fall-back without mode 1
  EXPECT_EQ(app.PlaySound("welcome", 1, true), 1);
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 1);  // always synchronous
  app.WriteInt("misc", "PlayEssentialSoundsOnly", 1);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("save", 2, true), 0);  // a non-essential sound
  ASSERT_EQ(sounds.played.size(), 3u);
  EXPECT_EQ(sounds.played[1].file, media + "default/welcome.wav");
  EXPECT_FALSE(sounds.played[2].async);
  EXPECT_TRUE(pages.empty());
  WriteFile(media + "default/newmail.htm", "<html></html>");
  app.WriteInt("misc", "PlaySounds", 0);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 0);  // the page shows even when silent
  EXPECT_EQ(pages, std::vector<std::string>{media + "default/newmail.htm"});
}

TEST_F(ApplicationTest, InstallationIdIsMadeOnceAndReadBackLater) {
  const std::string id = app.InitInstallationId();
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  Application later(home.Path(), boxes, sounds);  // the next start of the program
  EXPECT_EQ(later.InitInstallationId(), id);
  EXPECT_NE(NewInstallationId(), id);
  WriteFile(home.File("file"), "x");
  Application broken(home.File("file/home"), boxes, sounds);
  EXPECT_EQ(broken.InitInstallationId(), "");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "error");
}

}  // namespace
}  // namespace vyr

// Data directories, file resolvers, the scheme name, sounds, the home server
// and the installation identifier of the application object.
#include "app/application.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/installation_id.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::WriteFile;

class ApplicationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    platform::SetStringLanguage(platform::Language::English);
    app.LoadStartupSettings();
  }
  test::TempDir home;
  const std::string root = home.Path() + "/vyrelle";
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

TEST_F(ApplicationTest, DataDirectoriesAndFileResolvers) {
  EXPECT_EQ(app.GetDataDirectory("email", true), root + "/email/");
  EXPECT_TRUE(fs::is_directory(root + "/email"));
  EXPECT_EQ(app.GetDataDirectory("CHANNELS", false), root + "/");
  EXPECT_EQ(app.GetDataDirectory("InfoBox", false), root + "/InfoBox/");
  EXPECT_FALSE(fs::exists(root + "/InfoBox"));
  EXPECT_EQ(app.ResolveDataFile("chanfixed.vyr", false), root + "/Data/Default/chanfixed.vyr");
  EXPECT_FALSE(fs::exists(root + "/Data/Default"));  // made only with fallback
  EXPECT_EQ(app.ResolveDataFile("chanfixed.vyr", true), root + "/Data/Default/chanfixed.vyr");
  EXPECT_TRUE(fs::is_directory(root + "/Data/Default"));

  app.SetCurrentSchemeName("Ocean");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", false), root + "/media/Ocean/back.bmp");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), root + "/media/default/back.bmp");
  WriteFile(root + "/media/Ocean/back.bmp", "BM");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), root + "/media/Ocean/back.bmp");
  EXPECT_TRUE(boxes.boxes.empty());

  // A file in the way of a folder: its message and an empty path.
  WriteFile(root + "/Search", "in the way");
  EXPECT_EQ(app.GetDataDirectory("Search", true), "");
  fs::remove_all(root);
  WriteFile(root, "in the way");
  EXPECT_EQ(app.GetDataDirectory("email", true), "");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[0].text, "Error creating Vyrelle directory II");
  EXPECT_EQ(boxes.boxes[1].text, "Error creating Vyrelle directory");
  EXPECT_EQ(test::ReadFile(root), "in the way");
}

TEST_F(ApplicationTest, SchemeNameDefaultsByColourCountAndNeverLeavesTheMediaFolder) {
  const std::tuple<int, const char*, const char*> cases[] = {
      {256, "", "LowColor"}, {257, "", "default"}, {-1, "", "default"},  // unknown palette: 257
      {16, "Ocean", "Ocean"}, {16, "../../etc", "LowColor"}, {16, "..", "LowColor"},
      {16, "a/b", "LowColor"}, {16, "a\\b", "LowColor"}};
  for (const auto& [colours, userdir, scheme] : cases) {
    app.SetColourCount(colours);
    app.WriteString("misc", "userdir", userdir);
    app.LoadStartupSettings();
    EXPECT_EQ(app.CurrentSchemeName(), scheme) << colours << " " << userdir;
  }
}

TEST_F(ApplicationTest, PlaySoundFollowsTheSoundSettings) {
  const std::string media = root + "/media/";
  app.WriteString("misc", "userdir", "Ocean");
  app.LoadStartupSettings();
  WriteFile(media + "Ocean/save.wav", "RIFF");
  WriteFile(media + "default/welcome.wav", "RIFF");
  WriteFile(media + "default/gotmail.wav", "RIFF");
  std::vector<std::string> pages;
  app.SetNewMailPageHandler([&](const std::string& page) { pages.push_back(page); });

  EXPECT_EQ(app.PlaySound("", 0, true), 0);
  EXPECT_EQ(app.PlaySound("save", 0, true), 1);
  EXPECT_EQ(app.PlaySound("welcome", 0, true), 0);  // no fall-back without mode 1
  EXPECT_EQ(app.PlaySound("welcome", 1, true), 1);
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 1);  // always synchronous
  app.WriteInt("misc", "PlayEssentialSoundsOnly", 1);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("save", 2, true), 0);  // a non-essential sound
  EXPECT_EQ(app.PlaySound("save", 0, false), 1);
  ASSERT_EQ(sounds.played.size(), 4u);
  EXPECT_EQ(sounds.played[1].file, media + "default/welcome.wav");
  EXPECT_EQ(std::vector<bool>({sounds.played[0].async, sounds.played[2].async, sounds.played[3].async}),
            std::vector<bool>({true, false, false}));
  EXPECT_TRUE(pages.empty());

  WriteFile(media + "default/newmail.htm", "<html></html>");
  app.WriteInt("misc", "PlaySounds", 0);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 0);  // the page shows even when silent
  EXPECT_EQ(pages, std::vector<std::string>{media + "default/newmail.htm"});
  EXPECT_EQ(sounds.played.size(), 4u);
}

TEST_F(ApplicationTest, HomeServerAddressesDeriveFromOneSetting) {
  EXPECT_EQ(app.HomeServerUrl("/channels/chanfixed.vyr"), "http://www.vyrelle.example/channels/chanfixed.vyr");
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:8080/");
  EXPECT_EQ(app.HomeServerUrl("help"), "http://127.0.0.1:8080/help");
}

TEST_F(ApplicationTest, InstallationIdIsMadeOnceAndReadBackLater) {
  const std::string id = app.InitInstallationId();
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(app.Registry().GetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "").value_or(""), id);
  platform::ClearProfileCache();
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

// Data directories, file resolvers, the scheme name, sounds and the
// installation identifier of the application object.
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
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
};

TEST_F(ApplicationTest, DataDirectoriesHangBelowTheRootWithATrailingSeparator) {
  const std::string root = home.Path() + "/vyrelle";
  EXPECT_EQ(app.Directories().Root(), root);
  EXPECT_EQ(app.GetDataDirectory("email", true), root + "/email/");
  EXPECT_TRUE(fs::is_directory(root + "/email"));
  EXPECT_EQ(app.GetDataDirectory("channels", true), root + "/");
  EXPECT_EQ(app.GetDataDirectory("CHANNELS", false), root + "/");
  EXPECT_EQ(app.GetDataDirectory("Data\\Default", true), root + "/Data/Default/");
  EXPECT_TRUE(fs::is_directory(root + "/Data/Default"));
  EXPECT_EQ(app.GetDataDirectory("InfoBox", false), root + "/InfoBox/");
  EXPECT_FALSE(fs::exists(root + "/InfoBox"));
  EXPECT_TRUE(boxes.boxes.empty());
}

TEST_F(ApplicationTest, FailingToCreateFoldersShowsTheirMessagesAndGivesEmptyPaths) {
  // The root exists as a file: it cannot be created as a folder.
  WriteFile(home.File("vyrelle"), "in the way");
  EXPECT_EQ(app.GetDataDirectory("email", true), "");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "error");
  EXPECT_EQ(boxes.boxes[0].text, "Error creating Vyrelle directory");
  fs::remove(home.File("vyrelle"));

  // A named folder is blocked by a file of that name.
  WriteFile(home.File("vyrelle/media"), "in the way");
  EXPECT_EQ(app.GetDataDirectory("media", true), "");
  ASSERT_EQ(boxes.boxes.size(), 2u);
  EXPECT_EQ(boxes.boxes[1].text, "Error creating Vyrelle directory II");
  EXPECT_EQ(test::ReadFile(home.File("vyrelle/media")), "in the way");
}

TEST_F(ApplicationTest, SchemeFilesFallBackToTheDefaultScheme) {
  app.SetCurrentSchemeName("Ocean");
  const std::string media = home.Path() + "/vyrelle/media/";
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", false), media + "Ocean/back.bmp");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), media + "default/back.bmp");
  WriteFile(media + "Ocean/back.bmp", "BM");
  EXPECT_EQ(app.ResolveSchemeFile("back.bmp", true), media + "Ocean/back.bmp");
}

TEST_F(ApplicationTest, DataFilesLiveInDataDefaultWhichIsCreatedOnDemand) {
  const std::string data = home.Path() + "/vyrelle/Data";
  EXPECT_EQ(app.ResolveDataFile("chanfixed.vyr", false), data + "/Default/chanfixed.vyr");
  EXPECT_TRUE(fs::is_directory(data));
  EXPECT_FALSE(fs::exists(data + "/Default"));
  EXPECT_EQ(app.ResolveDataFile("chanfixed.vyr", true), data + "/Default/chanfixed.vyr");
  EXPECT_TRUE(fs::is_directory(data + "/Default"));
}

TEST_F(ApplicationTest, SchemeNameDefaultsByColourCountAndNeverLeavesTheMediaFolder) {
  app.SetColourCount(256);
  app.LoadStartupSettings();
  EXPECT_EQ(app.CurrentSchemeName(), "LowColor");
  app.SetColourCount(257);
  app.LoadStartupSettings();
  EXPECT_EQ(app.CurrentSchemeName(), "default");
  app.SetColourCount(-1);  // an unknown palette counts as 257
  app.LoadStartupSettings();
  EXPECT_EQ(app.CurrentSchemeName(), "default");
  app.WriteString("misc", "userdir", "Ocean");
  app.SetColourCount(16);
  app.LoadStartupSettings();
  EXPECT_EQ(app.CurrentSchemeName(), "Ocean");
  for (const char* bad : {"../../etc", "..", "a/b", "a\\b"}) {
    app.WriteString("misc", "userdir", bad);
    app.LoadStartupSettings();
    EXPECT_EQ(app.CurrentSchemeName(), "LowColor") << bad;
  }
}

TEST_F(ApplicationTest, PlaySoundFollowsTheSoundSettings) {
  const std::string media = home.Path() + "/vyrelle/media/";
  app.WriteString("misc", "userdir", "Ocean");
  app.LoadStartupSettings();
  WriteFile(media + "Ocean/save.wav", "RIFF");
  WriteFile(media + "default/welcome.wav", "RIFF");
  WriteFile(media + "default/gotmail.wav", "RIFF");

  EXPECT_EQ(app.PlaySound("", 0, true), 0);
  EXPECT_EQ(app.PlaySound("save", 0, true), 1);
  EXPECT_EQ(app.PlaySound("welcome", 0, true), 0);  // no fall-back without mode 1
  EXPECT_EQ(app.PlaySound("welcome", 1, true), 1);  // mode 1 falls back
  EXPECT_EQ(app.PlaySound("missing", 1, true), 0);
  ASSERT_EQ(sounds.played.size(), 2u);
  EXPECT_EQ(sounds.played[0].file, media + "Ocean/save.wav");
  EXPECT_TRUE(sounds.played[0].async);
  EXPECT_EQ(sounds.played[1].file, media + "default/welcome.wav");

  // Non-essential sounds are skipped when only essential ones are wanted.
  app.WriteInt("misc", "PlayEssentialSoundsOnly", 1);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("save", 2, true), 0);
  EXPECT_EQ(app.PlaySound("save", 0, true), 1);

  // Sounds switched off: nothing at all.
  app.WriteInt("misc", "PlaySounds", 0);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("save", 0, true), 0);
  EXPECT_EQ(sounds.played.size(), 3u);
}

TEST_F(ApplicationTest, GotMailShowsTheNewMailPageAndPlaysSynchronously) {
  const std::string media = home.Path() + "/vyrelle/media/";
  std::vector<std::string> pages;
  app.SetNewMailPageHandler([&](const std::string& page) { pages.push_back(page); });
  WriteFile(media + "default/gotmail.wav", "RIFF");
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 1);
  EXPECT_TRUE(pages.empty());
  ASSERT_EQ(sounds.played.size(), 1u);
  EXPECT_FALSE(sounds.played[0].async);

  WriteFile(media + "default/newmail.htm", "<html></html>");
  app.WriteInt("misc", "PlaySounds", 0);
  app.LoadStartupSettings();
  EXPECT_EQ(app.PlaySound("gotmail", 1, true), 0);  // the page shows even when silent
  ASSERT_EQ(pages.size(), 1u);
  EXPECT_EQ(pages[0], media + "default/newmail.htm");
}

TEST_F(ApplicationTest, InstallationIdIsMadeOnceAndReadBackLater) {
  std::string id = app.InitInstallationId();
  ASSERT_EQ(id.size(), 32u);
  EXPECT_EQ(id.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(app.Registry()
                .GetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), "")
                .value_or(""),
            id);
  EXPECT_EQ(app.InitInstallationId(), id);

  // The next start of the program reads the same identifier.
  platform::ClearProfileCache();
  test::RecordingMessageBox boxes2;
  Application later(home.Path(), boxes2, sounds);
  EXPECT_EQ(later.InitInstallationId(), id);
  EXPECT_NE(NewInstallationId(), id);
}

TEST(InstallationIdFailureTest, UnwritableRegistryReportsAndStoresNothing) {
  test::TempDir tmp;
  test::WriteFile(tmp.File("file"), "x");
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app(tmp.File("file/home"), boxes, sounds);
  EXPECT_EQ(app.InitInstallationId(), "");
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].kind, "error");
}

}  // namespace
}  // namespace vyr

namespace vyr {
namespace {

TEST_F(ApplicationTest, HomeServerAddressesDeriveFromOneSetting) {
  EXPECT_EQ(app.HomeServerUrl("/channels/chanfixed.vyr"),
            "http://www.vyrelle.example/channels/chanfixed.vyr");
  EXPECT_EQ(app.HomeServerUrl(""), "http://www.vyrelle.example/");
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:8080/");
  EXPECT_EQ(app.HomeServer(), "http://127.0.0.1:8080");
  EXPECT_EQ(app.HomeServerUrl("help"), "http://127.0.0.1:8080/help");
}

}  // namespace
}  // namespace vyr

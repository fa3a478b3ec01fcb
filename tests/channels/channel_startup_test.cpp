// The application's channels: the home channel, the loading order of the
// data folder's files and the fixed-channel count.
#include "channels/channel_startup.h"

#include <gtest/gtest.h>

#include "app/application.h"
#include "channels/channel_test_util.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class ChannelStartupTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ClearProfileCache(); }
  std::string Data(const std::string& name) { return home.File("vyrelle/Data/Default/" + name); }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  ChannelLibrary library{app};
};

TEST_F(ChannelStartupTest, HomeChannelWithBuiltInDefaults) {
  library.AddHomeChannel();
  EXPECT_EQ(test::DumpTree(library.Set()),
            "0|H O M E |Channel!\n"
            "1|Start Page|http://portal.vyrelle.example/start\n"
            "1|Vyrelle|\n2|Vyrelle|http://www.vyrelle.example/\n"
            "1|Help|\n2|Internet Basics|http://www.netbasics.example/guide/\n"
            "2|Vyrelle Help|http://www.vyrelle.example/help\n");
  const ChannelItem& home = *library.Set().At(0);
  EXPECT_EQ(home.children[0]->kind, kChannelKindPage);
  EXPECT_EQ(home.children[1]->kind, kChannelKindFolder);
}

TEST_F(ChannelStartupTest, HomeChannelFromTheProfileAndTheDataFolder) {
  app.WriteInt("Startup", "UseDefaultStart", 0);
  app.WriteString("Startup", "Home", "   http://mine.example/");
  test::WriteFile(Data("config.ini"),
                  "[StartFolder]\nStartPage=http://start.example/\nFolderName=Picks\n"
                  "S1_NAME=One\nS1_URL=http://1.example/\nS2_NAME=\nS2_URL=http://skip.example/\n"
                  "S7_NAME=Seven\nS7_URL=http://7.example/\nS8_NAME=Eight\nS8_URL=http://8.example/\n"
                  "[HelpFolder]\nS1_NAME=Manual\nS1_URL=http://m.example/\n"
                  "S6_NAME=Six\nS6_URL=http://6.example/\nS7_NAME=Seven\n");
  library.AddHomeChannel();
  EXPECT_EQ(test::DumpTree(library.Set()),
            "0|H O M E |Channel!\n1|Your Home Page|http://mine.example/\n"
            "1|Start Page|http://start.example/\n"
            "1|Picks|\n2|One|http://1.example/\n2|Seven|http://7.example/\n"
            "1|Help|\n2|Manual|http://m.example/\n2|Six|http://6.example/\n");
}

TEST_F(ChannelStartupTest, OwnHomePageOnlyWhenTheShippedStartIsOffAndAHomeIsSet) {
  app.WriteString("Startup", "Home", "http://mine.example/");
  library.AddHomeChannel();  // UseDefaultStart defaults to 1
  EXPECT_EQ(library.Set().At(0)->children[0]->name, "Start Page");
  app.WriteInt("Startup", "UseDefaultStart", 0);
  app.WriteString("Startup", "Home", "   ");
  library.Set().Clear();
  library.AddHomeChannel();
  EXPECT_EQ(library.Set().At(0)->children[0]->name, "Start Page");
}

TEST_F(ChannelStartupTest, LoadingOrderAndFixedCount) {
  test::WriteFile(Data("local.vyr"), "[Tab:local]\nPage0Label=Town\nPage0URL=http://t.example/\n");
  test::WriteFile(Data("chanfixed.vyr"), "~CH:News\r~CH:Sports\r");
  test::WriteFile(Data("chanuser.vyr"), "~CH:Mine\r~CH:News\r");
  EXPECT_EQ(library.LoadAtStartup(), 4u);
  EXPECT_EQ(library.FixedCount(), 4u);
  std::vector<std::string> names;
  for (const auto& c : library.Set().Channels()) names.push_back(c->name);
  // No de-duplication: "News" of the user file comes after the fixed one.
  EXPECT_EQ(names, (std::vector<std::string>{"H O M E ", "local", "News", "Sports", "Mine", "News"}));

  // Loading again rebuilds from scratch.
  EXPECT_EQ(library.LoadAtStartup(), 4u);
  EXPECT_EQ(library.Set().Count(), 6u);
}

TEST_F(ChannelStartupTest, MissingFilesAddNothing) {
  EXPECT_EQ(library.LoadAtStartup(), 1u);  // only the home channel
  EXPECT_EQ(library.Set().Count(), 1u);
  test::WriteFile(Data("chanuser.vyr"), "~CH:Mine\r");
  EXPECT_EQ(library.LoadAtStartup(), 1u);
  EXPECT_EQ(library.Set().Count(), 2u);
  test::WriteFile(Data("chanfixed.vyr"), "~CH:Fixed\r");
  EXPECT_EQ(library.LoadAtStartup(), 2u);
}

TEST_F(ChannelStartupTest, SavingWritesOnlyTheUserChannels) {
  test::WriteFile(Data("chanfixed.vyr"), "~CH:Fixed\r~FN:p\r~FU:u\r");
  test::WriteFile(Data("chanuser.vyr"), "~CH:Mine\r");
  library.LoadAtStartup();
  library.Set().At(1)->name = "Fixed but renamed";
  ChannelSet::AddChild(library.Set().At(2), "New page", "http://n.example/", kChannelKindPage);
  ASSERT_TRUE(library.SaveUserChannels());
  EXPECT_EQ(test::ReadFile(Data("chanuser.vyr")),
            "\r\n~**:*********\r\n~CH:Mine\r\n~**:- - -\r\n~FN:New page\r\n~FU:http://n.example/");
  EXPECT_EQ(test::ReadFile(Data("chanfixed.vyr")), "~CH:Fixed\r~FN:p\r~FU:u\r");
}

}  // namespace
}  // namespace vyr

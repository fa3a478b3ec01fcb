// The application's channels: the home channel, the loading order of the
// data folder's files and the fixed-channel count.
#include "channels/channel_startup.h"

#include <gtest/gtest.h>

#include "app/application.h"
#include "channels/channel_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

class ChannelStartupTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Data(const std::string& name) { return home.File("vyrelle/Data/Default/" + name); }
  std::string HomeChannel() {
    library.Set().Clear();
    library.AddHomeChannel();
    return test::DumpTree(library.Set());
  }
  ChannelLibrary library{app};
};

TEST_F(ChannelStartupTest, HomeChannelFromDefaultsTheProfileAndTheDataFolder) {
  app.WriteString("Startup", "Home", "http://mine.example/");  // ignored: shipped start page on
  EXPECT_TRUE(HomeChannel().starts_with("0|H O M E |Channel!\n1|Start Page|http://portal.vyrelle.example/start\n"));
  app.WriteInt("Startup", "UseDefaultStart", 0);
  app.WriteString("Startup", "Home", "   ");
  HomeChannel();
  EXPECT_EQ(library.Set().At(0)->children[0]->name, "Start Page");
  app.WriteString("Startup", "Home", "   http://mine.example/");
  test::WriteFile(Data("config.ini"),
                  "[StartFolder]\nStartPage=http://start.example/\nFolderName=Picks\n"
                  "S1_NAME=One\nS1_URL=http://1.example/\nS2_NAME=\nS2_URL=http://skip.example/\n"
                  "S7_NAME=Seven\nS7_URL=http://7.example/\nS8_NAME=Eight\nS8_URL=http://8.example/\n"
                  "[HelpFolder]\nS1_NAME=Manual\nS1_URL=http://m.example/\n"
                  "S6_NAME=Six\nS6_URL=http://6.example/\nS7_NAME=Seven\n");
  EXPECT_EQ(HomeChannel(),
            "0|H O M E |Channel!\n1|Your Home Page|http://mine.example/\n"
            "1|Start Page|http://start.example/\n1|Picks|\n2|One|http://1.example/\n"
            "2|Seven|http://7.example/\n1|Help|\n2|Manual|http://m.example/\n2|Six|http://6.example/\n");
}

TEST_F(ChannelStartupTest, LoadingOrderFixedCountAndSavingTheUserChannels) {
  EXPECT_EQ(library.LoadAtStartup(), 1u);  // no files: only the home channel
  test::WriteFile(Data("local.vyr"), "[Tab:local]\nPage0Label=Town\nPage0URL=http://t.example/\n");
  test::WriteFile(Data("chanfixed.vyr"), "~CH:News\r~FN:p\r~FU:u\r~CH:Sports\r");
  test::WriteFile(Data("chanuser.vyr"), "~CH:Mine\r~CH:News\r");
  EXPECT_EQ(library.LoadAtStartup(), 4u);
  EXPECT_EQ(library.LoadAtStartup(), 4u);  // loading again rebuilds from scratch
  std::string names;
  for (const auto& c : library.Set().Channels()) names += c->name + "|";
  // No de-duplication: "News" of the user file comes after the fixed one.
  EXPECT_EQ(names, "H O M E |local|News|Sports|Mine|News|");
  library.Set().At(2)->name = "Fixed but renamed";
  ChannelSet::AddChild(library.Set().At(4), "New page", "http://n.example/", kChannelKindPage);
  ASSERT_TRUE(library.SaveUserChannels());
  EXPECT_EQ(test::ReadFile(Data("chanuser.vyr")),
            "\r\n~**:*********\r\n~CH:Mine\r\n~**:- - -\r\n~FN:New page\r\n~FU:http://n.example/"
            "\r\n~**:*********\r\n~CH:News");
  EXPECT_EQ(test::ReadFile(Data("chanfixed.vyr")), "~CH:News\r~FN:p\r~FU:u\r~CH:Sports\r");
}

}  // namespace
}  // namespace vyr

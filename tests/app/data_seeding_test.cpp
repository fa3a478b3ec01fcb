// The shipped fixed channels, and the seeding of a new data root from the shipped folder.
#include "app/data_seeding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "channels/channel_bar_model.h"
#include "channels/channel_set.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::WriteFile;

// The shipped folder of the source tree.
std::string ShippedData() { return (fs::path(VYRELLE_SOURCE_DIR).parent_path() / "data").string(); }
std::string ShippedFixedChannels() { return ShippedData() + "/Data/Default/chanfixed.vyr"; }

TEST(ShippedFixedChannelsTest, TwelveChannelsWithPicturesAndHttpsPages) {
  platform::SetStringLanguage(platform::Language::English);
  ChannelSet set;
  ASSERT_TRUE(set.Load(ShippedFixedChannels(), true)) << ShippedFixedChannels();
  ASSERT_EQ(set.Count(), 12u);
  EXPECT_EQ(set.At(0)->name, "News");
  for (size_t i = 0; i < set.Count(); ++i) {
    const ChannelItem& channel = *set.At(i);
    EXPECT_NE(ChannelIconIndex(channel.name), 0) << channel.name;  // every channel has its picture
    ASSERT_FALSE(channel.children.empty()) << channel.name;
    for (const auto& folder : channel.children) {
      ASSERT_FALSE(folder->children.empty()) << folder->name;
      for (const auto& page : folder->children) {
        EXPECT_EQ(page->url.rfind("https://", 0), 0u) << page->url;
        EXPECT_EQ(page->url.find_first_of(" \t\r\n"), std::string::npos) << page->url;
      }
    }
  }
  // The file is in the form the program writes itself.
  EXPECT_EQ(FormatChannelText(set, 0), ReadFile(ShippedFixedChannels()));
}

class SeedingTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Root(const std::string& name) const { return home.Path() + "/vyrelle/" + name; }
};

TEST_F(SeedingTest, WhatIsMissingIsCopiedLinksAreNotFollowedAndTakenNamesAreKept) {
  test::TempDir program;
  const std::string shipped = program.File("data");
  WriteFile(shipped + "/media/default/config.ini", "[Colors]\n");
  WriteFile(shipped + "/media/Night/sounds/bye.wav", "RIFF");
  WriteFile(shipped + "/InfoBox/default/Dir1/Box1.htm", "<p>box</p>");
  WriteFile(shipped + "/start.html", "<html>");  // not one of the data root's folders
  WriteFile(shipped + "/Data/Default/chanfixed.vyr", "~CH:Shipped\r\n");
  WriteFile(shipped + "/Data/Default/config.ini", "[StartFolder]\n");
  WriteFile(shipped + "/Data/Default/pages/help.htm", "<p>help</p>");
  // Outside the shipped folder: a file and a folder reached only through links.
  WriteFile(program.File("outside/secret.txt"), "secret");
  WriteFile(program.File("outside/folder/inner.txt"), "inner");
  auto link = [](const std::string& to, const std::string& at) {
    return symlink(to.c_str(), at.c_str()) == 0;
  };
  ASSERT_TRUE(link(program.File("outside/secret.txt"), shipped + "/Data/Default/chanuser.vyr"));
  ASSERT_TRUE(link(program.File("outside/folder"), shipped + "/Data/Linked"));
  ASSERT_TRUE(link(program.File("outside/secret.txt"), shipped + "/media/default/link.ini"));
  // In the data root: a file of the user's and a dangling link under shipped names.
  WriteFile(Root("Data/Default/config.ini"), "[Mine]\n");
  fs::create_directories(Root("Data/Default/pages"));
  ASSERT_TRUE(link(program.File("nowhere"), Root("Data/Default/pages/help.htm")));

  EXPECT_EQ(SeedDataRoot(shipped, app.Directories()), 4);
  EXPECT_EQ(SeedDataRoot(shipped, app.Directories()), 0);
  EXPECT_EQ(ReadFile(Root("media/default/config.ini")), "[Colors]\n");
  EXPECT_EQ(ReadFile(Root("media/Night/sounds/bye.wav")), "RIFF");
  EXPECT_EQ(ReadFile(Root("InfoBox/default/Dir1/Box1.htm")), "<p>box</p>");
  EXPECT_FALSE(fs::exists(Root("start.html")));
  EXPECT_EQ(ReadFile(Root("Data/Default/chanfixed.vyr")), "~CH:Shipped\r\n");
  EXPECT_EQ(ReadFile(Root("Data/Default/config.ini")), "[Mine]\n");
  EXPECT_TRUE(fs::is_symlink(Root("Data/Default/pages/help.htm")));
  EXPECT_FALSE(fs::exists(program.File("nowhere")));
  for (const char* name : {"Data/Default/chanuser.vyr", "Data/Linked", "media/default/link.ini"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(Root(name)))) << name;
  }

  // The shipped folder: beside the program, else the installed share folder.
  const std::string bin = program.File("bin");
  fs::create_directories(bin);
  EXPECT_EQ(FindShippedDataFolder(bin), "");
  WriteFile(program.File("share/vyrelle/media/default/config.ini"), "");
  EXPECT_EQ(FindShippedDataFolder(bin), program.File("share/vyrelle"));
  EXPECT_EQ(FindShippedDataFolder(program.Path()), shipped);
}

}  // namespace
}  // namespace vyr

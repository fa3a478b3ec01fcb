// The fixed channels shipped in data/Data/Default/chanfixed.vyr, read by the
// program's own channel reader, and the seeding of a new data root from the
// shipped folder: the fixed channels arrive without a network, files already
// there are kept, links in the shipped folder are not followed.
#include "app/data_seeding.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/user_data.h"
#include "channels/channel_bar_model.h"
#include "channels/channel_set.h"
#include "channels/channel_startup.h"
#include "platform/file_system.h"
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
  // The keywords are those of the English string table.
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
  // The file is in the form the program writes itself: nothing was dropped
  // or misread.
  EXPECT_EQ(FormatChannelText(set, 0), ReadFile(ShippedFixedChannels()));
}

class SeedingTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Root(const std::string& name) const { return home.Path() + "/vyrelle/" + name; }
};

// Regular files below a shipped folder, links left out: what a new data root
// receives from it.
int RegularFilesBelow(const std::string& folder) {
  int n = 0;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    n += e.is_regular_file() && !e.is_symlink() ? 1 : 0;
  }
  return n;
}

TEST_F(SeedingTest, ANewDataRootGetsTheShippedFixedChannelsWithoutANetwork) {
  const int shippedFiles =
      RegularFilesBelow(ShippedData() + "/media") + RegularFilesBelow(ShippedData() + "/Data") +
      RegularFilesBelow(ShippedData() + "/InfoBox");
  ASSERT_GT(shippedFiles, 30);
  EXPECT_EQ(SeedDataRoot(ShippedData(), app.Directories()), shippedFiles);
  ASSERT_TRUE(platform::FileExists(Root("Data/Default/chanfixed.vyr")));
  EXPECT_EQ(ReadFile(Root("Data/Default/chanfixed.vyr")), ReadFile(ShippedFixedChannels()));
  EXPECT_EQ(ReadFile(Root("media/default/config.ini")),
            ReadFile(ShippedData() + "/media/default/config.ini"));
  // The info box's first page, where its rotation looks for it.
  EXPECT_EQ(ReadFile(Root("InfoBox/default/Dir1/Box1.htm")),
            ReadFile(ShippedData() + "/InfoBox/default/Dir1/Box1.htm"));
  EXPECT_EQ(SeedDataRoot(ShippedData(), app.Directories()), 0);  // nothing missing any more

  // The start finds the fixed channels in place: nothing is fetched from a
  // home server that cannot be reached, and no error is shown.
  app.WriteString("misc", "HomeServer", "http://127.0.0.1:1");
  const UserDataOutcome outcome = InitUserData(app);
  EXPECT_EQ(outcome.fixedChannels, "present");
  EXPECT_TRUE(boxes.boxes.empty()) << boxes.boxes.front().text;
  EXPECT_FALSE(platform::FileExists(Root("Data/Default/chanfixed.vyr.download")));

  // The channel bar: the home channel, then the twelve shipped channels, all
  // of them fixed.
  ChannelLibrary library(app);
  EXPECT_EQ(library.LoadAtStartup(), 13);
  EXPECT_EQ(library.Set().At(0)->name, kHomeChannelName);
}

TEST_F(SeedingTest, LinksInTheShippedFolderAreNotFollowedAndTakenNamesAreKept) {
  test::TempDir program;
  const std::string shipped = program.File("data");
  WriteFile(shipped + "/media/default/config.ini", "[Colors]\n");
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

  // Copied: media/default/config.ini and Data/Default/chanfixed.vyr.
  EXPECT_EQ(SeedDataRoot(shipped, app.Directories()), 2);
  EXPECT_EQ(ReadFile(Root("media/default/config.ini")), "[Colors]\n");
  EXPECT_EQ(ReadFile(Root("Data/Default/chanfixed.vyr")), "~CH:Shipped\r\n");
  EXPECT_EQ(ReadFile(Root("Data/Default/config.ini")), "[Mine]\n");
  EXPECT_TRUE(fs::is_symlink(Root("Data/Default/pages/help.htm")));
  EXPECT_FALSE(fs::exists(program.File("nowhere")));
  for (const char* name : {"Data/Default/chanuser.vyr", "Data/Linked", "media/default/link.ini"}) {
    EXPECT_FALSE(fs::exists(fs::symlink_status(Root(name)))) << name;
  }
}

}  // namespace
}  // namespace vyr

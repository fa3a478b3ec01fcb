// The channel bar's column, strips and remembered choices.
#include "channels/channel_bar_model.h"

#include <gtest/gtest.h>

#include "app/application.h"
#include "platform/profile_file.h"
#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

TEST(ChannelIconTest, FirstKeywordInTableOrderWins) {
  platform::Language before = platform::StringLanguage();
  platform::SetStringLanguage(platform::Language::English);
  EXPECT_EQ(ChannelIconIndex("Weather Today"), 25);  // "Weather" comes before "today"
  EXPECT_EQ(ChannelIconIndex("Today"), 27);
  EXPECT_EQ(ChannelIconIndex("My City"), 6);          // " city" with its blank
  EXPECT_EQ(ChannelIconIndex("Cityscape"), 0);
  EXPECT_EQ(ChannelIconIndex("Download Help"), 2);    // "Help" before "download"
  EXPECT_EQ(ChannelIconIndex("Computer Downloads"), 3);
  EXPECT_EQ(ChannelIconIndex("Home Shopping"), 15);   // "home" before "shopping"
  EXPECT_EQ(ChannelIconIndex("Sports News"), 9);      // "sports" before "News"
  EXPECT_EQ(ChannelIconIndex("Car Auto Cars"), 13);
  EXPECT_EQ(ChannelIconIndex("Sci/Tech"), 24);
  EXPECT_EQ(ChannelIconIndex("LOCAL KNOWLEDGE"), 1);  // "knowledge" is first of all
  EXPECT_EQ(ChannelIconIndex("H O M E "), 0);
  EXPECT_EQ(ChannelIconIndex(""), 0);
  platform::SetStringLanguage(platform::Language::German);
  EXPECT_EQ(ChannelIconIndex("Wetter heute"), 25);
  platform::SetStringLanguage(before);
}

class ChannelBarModelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    // Channel 0: a page, a folder of three pages, an empty folder.
    ChannelSet& set = library.Set();
    ChannelItem* a = set.AddChannel("Alpha");
    ChannelSet::AddChild(a, "Page", "http://a.example/page", kChannelKindPage);
    ChannelItem* f = ChannelSet::AddChild(a, "Folder", kFolderUrl, kChannelKindFolder);
    for (int j = 0; j < 3; ++j) {
      ChannelSet::AddChild(f, "P" + std::to_string(j), "http://a.example/" + std::to_string(j),
                           kChannelKindPage);
    }
    ChannelSet::AddChild(a, "Empty", kFolderUrl, kChannelKindFolder);
    set.AddChannel("Nothing");  // no items
    ChannelItem* c = set.AddChannel("Folder first");
    ChannelItem* g = ChannelSet::AddChild(c, "G", "", kChannelKindFolder);
    ChannelSet::AddChild(g, "G0", "http://g.example/0", kChannelKindPage);
    library.SetFixedCount(2);
  }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  ChannelLibrary library{app};
  std::vector<std::string> visited, counted;
  ChannelBarModel bar{library, [this](const std::string& u) { visited.push_back(u); },
                      [this](const std::string& c) { counted.push_back(c); }};
};

TEST_F(ChannelBarModelTest, ColumnHasOneEntryPerChannelWithFixedOnesMarked) {
  EXPECT_TRUE(bar.FillColumn());
  ASSERT_EQ(bar.Column().size(), 3u);
  EXPECT_EQ(bar.Column()[0].command, 4200);
  EXPECT_EQ(bar.Column()[2].command, 4202);
  EXPECT_EQ(bar.Column()[1].text, "Nothing");
  EXPECT_EQ(bar.Column()[0].state, kFixedEntryState);
  EXPECT_EQ(bar.Column()[1].state, kFixedEntryState);
  EXPECT_EQ(bar.Column()[2].state, 0);
  library.SetFixedCount(0);
  EXPECT_FALSE(bar.FillColumn());  // "Error loading Channels", column still filled
  EXPECT_EQ(bar.Column().size(), 3u);
}

TEST_F(ChannelBarModelTest, SelectingAChannelFillsTheFolderStripAndOpensTheFirstItem) {
  bar.SelectChannel(0);
  const auto& strip = bar.FolderStrip();
  ASSERT_EQ(strip.size(), 4u);
  EXPECT_EQ(strip[0].text, "Alpha");
  EXPECT_EQ(strip[0].command, 4001);
  EXPECT_EQ(strip[0].image, 2);
  EXPECT_EQ(strip[1].command, 4001);
  EXPECT_EQ(strip[1].image, 3);  // a page
  EXPECT_EQ(strip[2].command, 4002);
  EXPECT_EQ(strip[2].image, 0);  // a folder
  EXPECT_EQ(bar.FolderSelection(), 1);
  EXPECT_EQ(visited, std::vector<std::string>{"http://a.example/page"});
  EXPECT_FALSE(bar.PageStripShown());
  EXPECT_EQ(counted, std::vector<std::string>{"CC"});
}

TEST_F(ChannelBarModelTest, ChoosingAChannelAgainReopensTheLastChoice) {
  bar.SelectChannel(0);
  bar.OpenItem(1);  // the folder: its remembered page 0 opens
  EXPECT_TRUE(bar.PageStripShown());
  ASSERT_EQ(bar.PageStrip().size(), 3u);
  EXPECT_EQ(bar.PageStrip()[2].command, 4102);
  EXPECT_EQ(bar.PageStrip()[2].image, 1);
  bar.OpenPage(2);
  EXPECT_EQ(visited.back(), "http://a.example/2");
  bar.SelectChannel(2);
  visited.clear();
  bar.SelectChannel(0);
  EXPECT_EQ(bar.FolderSelection(), 2);
  EXPECT_EQ(bar.PageSelection(), 2);
  EXPECT_EQ(visited, std::vector<std::string>{"http://a.example/2"});
  EXPECT_EQ(counted, (std::vector<std::string>{"CC", "FC", "SC", "CC", "CC"}));
  bar.SelectChannel(kCurrentChannel);
  EXPECT_EQ(bar.CurrentChannel(), 0);
  bar.SelectChannel(99);  // beyond the end: the last channel
  EXPECT_EQ(bar.CurrentChannel(), 2);
}

TEST_F(ChannelBarModelTest, ChannelWithoutItemsOpensNothingAndHidesThePageStrip) {
  bar.SelectChannel(0);
  bar.OpenItem(1);
  ASSERT_TRUE(bar.PageStripShown());
  visited.clear();
  bar.SelectChannel(1);
  ASSERT_EQ(bar.FolderStrip().size(), 1u);
  EXPECT_EQ(bar.FolderStrip()[0].text, "Nothing");
  EXPECT_FALSE(bar.PageStripShown());
  EXPECT_TRUE(visited.empty());
}

TEST_F(ChannelBarModelTest, RememberedPageBeyondTheFolderOpensPageZero) {
  bar.SelectChannel(0);
  bar.OpenItem(1);
  bar.OpenPage(2);
  // The designer removed pages since.
  library.Set().At(0)->children[1]->children.resize(1);
  visited.clear();
  bar.SelectChannel(0);
  EXPECT_EQ(visited, std::vector<std::string>{"http://a.example/0"});
  EXPECT_EQ(library.Set().At(0)->children[1]->value, 0);
  // A remembered item beyond the channel's items opens item 1.
  library.Set().At(0)->value = 17;
  visited.clear();
  bar.SelectChannel(0);
  EXPECT_EQ(visited, std::vector<std::string>{"http://a.example/page"});
}

TEST_F(ChannelBarModelTest, EmptyFolderAndPositionsBeyondTheEnd) {
  bar.SelectChannel(0);
  visited.clear();
  bar.OpenItem(2);  // "Empty": a folder with no pages
  EXPECT_FALSE(bar.PageStripShown());
  EXPECT_TRUE(bar.PageStrip().empty());
  bar.OpenItem(7);
  EXPECT_FALSE(bar.PageStripShown());
  EXPECT_TRUE(visited.empty());
  bar.OpenItem(1);
  visited.clear();
  bar.OpenPage(9);  // beyond the folder's pages: page 0
  EXPECT_EQ(visited, std::vector<std::string>{"http://a.example/0"});
}

TEST_F(ChannelBarModelTest, ExtraTextReplacesThePageOnlyForChoicesFromTheBar) {
  library.Set().At(2)->extra = "http://extra.example/";
  bar.SelectChannel(2, true);
  EXPECT_EQ(visited, std::vector<std::string>{"http://extra.example/"});
  bar.OpenPage(0);  // from the page strip: the page itself
  EXPECT_EQ(visited.back(), "http://g.example/0");
  bar.SelectChannel(2, false);  // asked for elsewhere
  EXPECT_EQ(visited.back(), "http://g.example/0");
}

TEST_F(ChannelBarModelTest, SuppressedNavigationStillUpdatesTheStrips) {
  bar.SetSuppressNavigation(true);
  bar.SelectChannel(0);
  bar.OpenItem(1);
  EXPECT_TRUE(visited.empty());
  EXPECT_TRUE(bar.PageStripShown());
  EXPECT_EQ(library.Set().At(0)->value, 2);
}

}  // namespace
}  // namespace vyr

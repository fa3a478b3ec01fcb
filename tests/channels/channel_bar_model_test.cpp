// The channel bar's column, strips and remembered choices.
#include "channels/channel_bar_model.h"

#include <gtest/gtest.h>

#include "base/application.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using Texts = std::vector<std::string>;

class ChannelBarModelTest : public ::testing::Test, protected test::TestApp {
 protected:
  void SetUp() override {
    // Channel 0: a page, a folder of three pages, an empty folder.
    ChannelItem* a = library.Set().AddChannel("Alpha");
    ChannelSet::AddChild(a, "Page", "http://a.example/page", kChannelKindPage);
    ChannelItem* f = ChannelSet::AddChild(a, "Folder", kFolderUrl, kChannelKindFolder);
    for (const char* j : {"0", "1", "2"}) ChannelSet::AddChild(f, j, std::string("http://a.example/") + j, kChannelKindPage);
    ChannelSet::AddChild(a, "Empty", kFolderUrl, kChannelKindFolder);
    library.Set().AddChannel("Nothing");  // no items
    ChannelItem* g = ChannelSet::AddChild(library.Set().AddChannel("Folder first"), "G", "", kChannelKindFolder);
    ChannelSet::AddChild(g, "G0", "http://g.example/0", kChannelKindPage);
    library.SetFixedCount(2);
  }
  ChannelLibrary library{app};
  Texts visited, counted;
  ChannelBarModel bar{library, [this](const std::string& u) { visited.push_back(u); },
                      [this](const std::string& c) { counted.push_back(c); }};
};

TEST_F(ChannelBarModelTest, ColumnAndStripsShowTheChannelsItemsAndPages) {
  EXPECT_TRUE(bar.FillColumn());
  ASSERT_EQ(bar.Column().size(), 3u);
  EXPECT_EQ(std::make_pair(bar.Column()[1].state, bar.Column()[2].state), std::make_pair(kFixedEntryState, 0));
  bar.SelectChannel(0);  // the first item opens
  std::vector<std::tuple<std::string, int, int>> strip;  // text, command, image
  for (const auto& e : bar.FolderStrip()) strip.emplace_back(e.text, e.command, e.image);
  EXPECT_EQ(strip, (decltype(strip){{"Alpha", 4001, 2}, {"Page", 4001, 3}, {"Folder", 4002, 0}, {"Empty", 4003, 0}}));
  EXPECT_FALSE(bar.PageStripShown());
  bar.OpenItem(1);  // the folder: its page 0 opens
  ASSERT_TRUE(bar.PageStripShown());
  EXPECT_EQ(bar.PageStrip()[2].command, 4102);
  bar.OpenItem(2);  // an empty folder hides the page strip
  EXPECT_FALSE(bar.PageStripShown());
  bar.OpenItem(7);  // beyond the items: nothing
  EXPECT_EQ(visited, (Texts{"http://a.example/page", "http://a.example/0"}));
  EXPECT_EQ(counted, (Texts{"CC", "FC", "FC", "FC"}));  // every click on the strip counts
  library.SetFixedCount(0);
  EXPECT_FALSE(bar.FillColumn());  // "Error loading Channels", column still filled
  EXPECT_EQ(bar.Column().size(), 3u);
}

TEST_F(ChannelBarModelTest, ChoosingAChannelAgainReopensTheLastChoiceUnlessNavigationIsSuppressed) {
  bar.SelectChannel(0);
  bar.OpenItem(1);
  bar.OpenPage(2);
  bar.SelectChannel(1);  // no items: nothing opens, the page strip hides
  EXPECT_FALSE(bar.PageStripShown());
  bar.SelectChannel(0);
  EXPECT_EQ(std::make_pair(bar.FolderSelection(), bar.PageSelection()), std::make_pair(2, 2));
  // Remembered choices the designer removed since fall back to the first.
  library.Set().At(0)->children[1]->children.resize(1);
  bar.SelectChannel(0);  // the remembered page is gone: page 0
  bar.OpenPage(9);       // beyond the folder's pages: page 0
  library.Set().At(0)->value = 17;  // beyond the channel's items: item 1
  bar.SelectChannel(0);
  // With navigation suppressed the choice is made and remembered, nothing opens.
  bar.SetSuppressNavigation(true);
  bar.OpenItem(1);
  EXPECT_EQ(visited, (Texts{"http://a.example/page", "http://a.example/0", "http://a.example/2", "http://a.example/2",
                            "http://a.example/0", "http://a.example/0", "http://a.example/page"}));
  EXPECT_EQ(library.Set().At(0)->value, 2);
}

TEST_F(ChannelBarModelTest, ScriptAddressesAreNeverNavigated) {
  for (auto [address, script] : {std::pair{"javascript:alert(1)", true}, {"  JavaScript:x", true},
                                  {"java\tscript:x", true}, {"VBScript:x", true}, {"data:text/html,x", true},
                                  {"\x01" "data:x", true}, {"http://a.example/javascript:", false},
                                  {"datax:y", false}, {"", false}}) {
    EXPECT_EQ(IsScriptPageAddress(address), script) << address;
  }
  library.Set().At(0)->children[0]->url = "javascript:document.title='x'";
  library.Set().At(2)->extra = "data:text/html,x";
  bar.SelectChannel(0);
  bar.SelectChannel(2, true);
  EXPECT_TRUE(visited.empty());
}

}  // namespace
}  // namespace vyr

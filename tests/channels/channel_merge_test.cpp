// Imports with duplicate names, exports, and channel files from pages.
#include "channels/channel_merge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "app/application.h"
#include "channels/channel_test_util.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

ChannelSet Make(const std::vector<std::pair<std::string, std::vector<std::string>>>& channels) {
  ChannelSet set;
  for (const auto& [name, pages] : channels) {
    ChannelItem* c = set.AddChannel(name);
    for (const auto& p : pages) ChannelSet::AddChild(c, p, "http://x.example/" + p, kChannelKindPage);
  }
  return set;
}

std::string Names(const ChannelSet& set) {
  std::string out;
  for (const auto& c : set.Channels()) {
    out += c->name + "(";
    for (const auto& i : c->children) out += i->name + ",";
    out += ") ";
  }
  return out;
}

// A chooser that answers from a script and records the questions.
struct ScriptedChooser {
  std::vector<DuplicateChoice> answers;
  std::vector<std::pair<std::string, bool>> asked;
  DuplicateChooser Fn() {
    return [this](const std::string& name, bool offerAll) {
      asked.emplace_back(name, offerAll);
      DuplicateChoice c = answers.at(asked.size() - 1);
      return c;
    };
  }
};

TEST(ChannelMergeTest, EachActionDoesWhatItSays) {
  ChannelSet tree = Make({{"Fixed", {"f"}}, {"Sports", {"s1"}}, {"News", {"n1"}},
                          {"Music", {"m1"}}, {"Kids", {"k1"}}});
  size_t locked = 1;
  ChannelSet imported = Make({{"Sports", {"s2"}}, {"News", {"n2"}}, {"Music", {"m2"}},
                              {"Kids", {"k2"}}, {"Fresh", {"x"}}});
  ScriptedChooser chooser;
  chooser.answers = {{DuplicateAction::Replace, false, false},
                     {DuplicateAction::Rename, false, false},
                     {DuplicateAction::Merge, false, false},
                     {DuplicateAction::Skip, false, false}};
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, chooser.Fn()));
  EXPECT_EQ(Names(tree),
            "Fixed(f,) News(n1,) Music(m1,m2,) Kids(k1,) Sports(s2,) News2(n2,) Fresh(x,) ");
  ASSERT_EQ(chooser.asked.size(), 4u);
  EXPECT_EQ(chooser.asked[0], (std::pair<std::string, bool>{"Sports", true}));
  EXPECT_TRUE(imported.At(3)->skip);
  EXPECT_EQ(locked, 1u);
}

TEST(ChannelMergeTest, ApplyToAllAnswersTheRemainingDuplicates) {
  ChannelSet tree = Make({{"A", {}}, {"B", {}}, {"C", {}}});
  size_t locked = 0;
  ChannelSet imported = Make({{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}});
  ScriptedChooser chooser;
  chooser.answers = {{DuplicateAction::Merge, false, false}, {DuplicateAction::Skip, true, false}};
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, chooser.Fn()));
  EXPECT_EQ(chooser.asked.size(), 2u);  // C was answered by "Apply to All"
  EXPECT_EQ(Names(tree), "A(a,) B() C() ");
}

TEST(ChannelMergeTest, SkippingEveryDuplicateLeavesTheTreeUnchanged) {
  ChannelSet tree = Make({{"A", {"a"}}, {"B", {"b"}}});
  const std::string before = test::DumpTree(tree);
  size_t locked = 1;
  ChannelSet imported = Make({{"A", {"x"}}, {"B", {"y"}}});
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, AlwaysChoose(DuplicateAction::Skip)));
  EXPECT_EQ(test::DumpTree(tree), before);
}

TEST(ChannelMergeTest, CancelAbandonsTheWholeImport) {
  ChannelSet tree = Make({{"A", {"a"}}, {"B", {"b"}}});
  const std::string before = test::DumpTree(tree);
  size_t locked = 0;
  ChannelSet imported = Make({{"A", {"x"}}, {"New", {}}, {"B", {"y"}}});
  ScriptedChooser chooser;
  chooser.answers = {{DuplicateAction::Replace, false, false}, {DuplicateAction::Skip, false, true}};
  EXPECT_FALSE(MergeChannelSet(tree, locked, imported, chooser.Fn()));
  EXPECT_EQ(test::DumpTree(tree), before);
}

TEST(ChannelMergeTest, SingleDuplicateOffersNoApplyToAll) {
  ChannelSet tree = Make({{"A", {}}});
  size_t locked = 0;
  ChannelSet imported = Make({{"A", {}}, {"Other", {}}});
  ScriptedChooser chooser;
  chooser.answers = {{DuplicateAction::Skip, false, false}};
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, chooser.Fn()));
  EXPECT_FALSE(chooser.asked[0].second);
}

TEST(ChannelMergeTest, RenameAlwaysAppendsTwoEvenWhenThatNameExists) {
  ChannelSet tree = Make({{"Sports", {}}, {"Sports2", {}}});
  size_t locked = 0;
  ChannelSet imported = Make({{"Sports", {"new"}}});
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, AlwaysChoose(DuplicateAction::Rename)));
  EXPECT_EQ(Names(tree), "Sports() Sports2() Sports2(new,) ");
}

TEST(ChannelMergeTest, FixedChannelsAreNeverReplacedOrMergedInto) {
  ChannelSet tree = Make({{"Fixed", {"f"}}, {"User", {"u"}}});
  size_t locked = 1;
  ChannelSet imported = Make({{"Fixed", {"x"}}});
  ASSERT_TRUE(MergeChannelSet(tree, locked, imported, AlwaysChoose(DuplicateAction::Replace)));
  EXPECT_EQ(Names(tree), "Fixed(f,) User(u,) Fixed(x,) ");
  ChannelSet again = Make({{"Fixed", {"y"}}});
  ASSERT_TRUE(MergeChannelSet(tree, locked, again, AlwaysChoose(DuplicateAction::Merge)));
  // The user copy made by the first import takes the merge.
  EXPECT_EQ(Names(tree), "Fixed(f,) User(u,) Fixed(x,y,) ");
}

TEST(ChannelExportTest, FileNameRules) {
  std::string problem;
  EXPECT_EQ(ExportFileName("", "/data/", &problem), "");
  EXPECT_EQ(problem, "Please supply a file name");
  EXPECT_EQ(ExportFileName("mine", "/data/", nullptr), "/data/mine.ndf");
  EXPECT_EQ(ExportFileName("mine.NDF", "/data/", nullptr), "/data/mine.NDF");
  EXPECT_EQ(ExportFileName("mine.vyr", "/data/", nullptr), "/data/mine.vyr.ndf");
  EXPECT_EQ(ExportFileName("/home/u/share", "/data/", nullptr), "/home/u/share.ndf");
  EXPECT_EQ(ExportFileName("c:\\share\\x", "/data/", nullptr), "c:\\share\\x.ndf");
  // A bare name can never leave the channels folder.
  EXPECT_EQ(ExportFileName("..", "/data/", nullptr), "/data/...ndf");
  EXPECT_EQ(ExportSummary(2, "/data/mine.ndf").substr(0, 60),
            std::string("You have selected 2 channel(s) to export: \r\nFilename: /data/mine.ndf\r\n\n")
                .substr(0, 60));
}

TEST(ChannelExportTest, WritesOnlyTheChosenChannels) {
  test::TempDir dir;
  test::RecordingMessageBox boxes;
  ChannelSet set = Make({{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}});
  ASSERT_TRUE(ExportChannels(set, {2, 0, 9}, dir.File("out.ndf"), &boxes));
  ChannelSet back;
  ASSERT_TRUE(back.Load(dir.File("out.ndf"), true));
  EXPECT_EQ(Names(back), "C(c,) A(a,) ");
  test::WriteFile(dir.File("f"), "x");
  EXPECT_FALSE(ExportChannels(set, {0}, dir.File("f/out.ndf"), &boxes));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Could not open destination file");
}

class ReceiveChannelFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::ClearProfileCache();
    test::WriteFile(home.File("vyrelle/Data/Default/chanfixed.vyr"), "~CH:Fixed\r");
    test::WriteFile(home.File("vyrelle/Data/Default/chanuser.vyr"), "~CH:Mine\r~FN:p\r~FU:u\r");
    library.LoadAtStartup();
  }
  test::TempDir home;
  test::RecordingMessageBox boxes;
  test::RecordingSoundPlayer sounds;
  Application app{home.Path(), boxes, sounds};
  ChannelLibrary library{app};
};

TEST_F(ReceiveChannelFileTest, MergesWritesUserChannelsAndDeletesTheFile) {
  const std::string temp = home.File("vyrelle/_TEMP/vyrtemp.ndf");
  test::WriteFile(temp, "~CH:Mine\r~FN:q\r~FU:v\r~CH:Fixed\r~FN:z\r~FU:w\r~CH:Shared\r");
  ASSERT_TRUE(ReceiveChannelFile(app, library, AlwaysChoose(DuplicateAction::Merge)));
  EXPECT_FALSE(std::filesystem::exists(temp));
  ChannelSet saved;
  ASSERT_TRUE(saved.Load(home.File("vyrelle/Data/Default/chanuser.vyr"), true));
  EXPECT_EQ(Names(saved), "Mine(p,q,) Fixed(z,) Shared() ");
  EXPECT_EQ(library.FixedCount(), 2u);
  EXPECT_EQ(library.Set().Count(), 5u);
  // Nothing to receive: nothing happens.
  EXPECT_FALSE(ReceiveChannelFile(app, library, AlwaysChoose(DuplicateAction::Merge)));
}

TEST_F(ReceiveChannelFileTest, CancelledMergeWritesNothing) {
  const std::string before = test::ReadFile(home.File("vyrelle/Data/Default/chanuser.vyr"));
  const std::string file = home.File("in.ndf");
  test::WriteFile(file, "~CH:Mine\r");
  auto cancel = [](const std::string&, bool) { return DuplicateChoice{DuplicateAction::Skip, false, true}; };
  EXPECT_FALSE(MergeChannelFile(library, file, cancel, false));
  EXPECT_EQ(test::ReadFile(home.File("vyrelle/Data/Default/chanuser.vyr")), before);
  EXPECT_TRUE(std::filesystem::exists(file));
}

}  // namespace
}  // namespace vyr

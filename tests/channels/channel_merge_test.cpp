// Imports with duplicate names, exports, and channel files from pages.
#include "channels/channel_merge.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/application.h"
#include "channels/channel_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using Choices = std::vector<DuplicateChoice>;

ChannelSet Make(const std::vector<std::pair<std::string, std::vector<std::string>>>& channels) {
  ChannelSet set;
  for (const auto& [name, pages] : channels) {
    for (ChannelItem* c = set.AddChannel(name); const auto& p : pages) ChannelSet::AddChild(c, p, "u", kChannelKindPage);
  }
  return set;
}

std::string Names(const ChannelSet& set) {  // "channel(page,page,) "
  std::string out;
  for (const auto& c : set.Channels()) {
    for (out += c->name + "("; const auto& i : c->children) out += i->name + ",";
    out += ") ";
  }
  return out;
}

// Merges with scripted answers, recording the questions as "name[/all]".
bool Merge(ChannelSet& tree, size_t locked, ChannelSet imported, const Choices& answers,
           std::vector<std::string>* asked = nullptr) {
  size_t n = 0;
  return MergeChannelSet(tree, locked, imported, [&](const std::string& name, bool offerAll) {
    if (asked) asked->push_back(name + (offerAll ? "/all" : ""));
    return answers.at(n++);
  });
}

TEST(ChannelMergeTest, EachActionDoesWhatItSaysAndAFixedChannelIsNeverReplaced) {
  std::vector<std::string> asked;
  ChannelSet tree = Make({{"Fixed", {"f"}}, {"Sports", {"s1"}}, {"News", {"n1"}}, {"News2", {}},
                          {"Music", {"m1"}}, {"Kids", {"k1"}}});
  ASSERT_TRUE(Merge(tree, 1,
                    Make({{"Sports", {"s2"}}, {"News", {"n2"}}, {"Music", {"m2"}}, {"Kids", {"k2"}},
                          {"Fresh", {"x"}}}),
                    {{DuplicateAction::Replace}, {DuplicateAction::Rename}, {DuplicateAction::Merge},
                     {DuplicateAction::Skip}},
                    &asked));
  // Renaming gives "News2" even though that name exists.
  EXPECT_EQ(Names(tree), "Fixed(f,) News(n1,) News2() Music(m1,m2,) Kids(k1,) Sports(s2,) "
                         "News2(n2,) Fresh(x,) ");
  EXPECT_EQ(asked, (std::vector<std::string>{"Sports/all", "News/all", "Music/all", "Kids/all"}));
  // Replacing for all keeps every imported channel of the name.
  tree = Make({{"Fixed", {"f"}}, {"Sports", {"old"}}, {"Other", {"o"}}});
  ASSERT_TRUE(Merge(tree, 1, Make({{"Sports", {"a"}}, {"Sports", {"b"}}, {"Fixed", {"x"}}}),
                    {{DuplicateAction::Replace, true}}));
  EXPECT_EQ(Names(tree), "Fixed(f,) Other(o,) Sports(a,) Sports(b,) Fixed(x,) ");
}

TEST(ChannelMergeTest, ApplyToAllCancelAndASingleDuplicate) {
  ChannelSet tree = Make({{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}});
  const std::string before = test::DumpTree(tree);
  std::vector<std::string> asked;
  // Skip with "Apply to All" leaves the tree unchanged after one question.
  ASSERT_TRUE(Merge(tree, 0, Make({{"A", {"x"}}, {"B", {"y"}}, {"C", {}}}),
                    {{DuplicateAction::Skip, true}}, &asked));
  EXPECT_EQ(test::DumpTree(tree), before);
  // Cancel at the second question abandons the answers given before it.
  EXPECT_FALSE(Merge(tree, 0, Make({{"A", {"x"}}, {"New", {}}, {"B", {"y"}}}),
                     {{DuplicateAction::Replace}, {DuplicateAction::Skip, false, true}}, &asked));
  EXPECT_EQ(test::DumpTree(tree), before);
  ASSERT_TRUE(Merge(tree, 0, Make({{"C", {}}, {"D", {}}}), {{DuplicateAction::Skip}}, &asked));
  EXPECT_EQ(asked, (std::vector<std::string>{"A/all", "A/all", "B/all", "C"}));
}

TEST(ChannelExportTest, FileNamesAndTheChosenChannels) {
  std::string problem;
  EXPECT_EQ(ExportFileName("", "/data/", &problem), "");
  EXPECT_EQ(problem, "Please supply a file name");
  const std::pair<const char*, const char*> names[] = {
      {"mine", "/data/mine.ndf"}, {"mine.NDF", "/data/mine.NDF"}, {"/home/u/share", "/home/u/share.ndf"}, {"..", "/data/...ndf"}};
  for (const auto& [typed, file] : names) EXPECT_EQ(ExportFileName(typed, "/data/", nullptr), file);
  test::TempDir dir;
  test::RecordingMessageBox boxes;
  ChannelSet set = Make({{"A", {"a"}}, {"B", {"b"}}, {"C", {"c"}}});
  ASSERT_TRUE(ExportChannels(set, {2, 0, 9}, dir.File("out.ndf"), &boxes));
  ChannelSet back;
  ASSERT_TRUE(back.Load(dir.File("out.ndf"), true));
  EXPECT_EQ(Names(back), "C(c,) A(a,) ");
  EXPECT_FALSE(ExportChannels(set, {0}, dir.File("out.ndf/x.ndf"), &boxes));
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

class ReceiveChannelFileTest : public ::testing::Test, protected test::TestApp {};

TEST_F(ReceiveChannelFileTest, MergesWritesUserChannelsAndDeletesTheFile) {
  const std::string user = home.File("vyrelle/Data/Default/chanuser.vyr");
  test::WriteFile(home.File("vyrelle/Data/Default/chanfixed.vyr"), "~CH:Fixed\r");
  test::WriteFile(user, "~CH:Mine\r~FN:p\r~FU:u\r");
  ChannelLibrary library(app);
  library.LoadAtStartup();
  const std::string temp = home.File("vyrelle/_TEMP/vyrtemp.ndf");
  test::WriteFile(temp, "~CH:Mine\r~FN:q\r~FU:v\r~CH:Fixed\r~FN:z\r~FU:w\r~CH:Shared\r");
  // A cancelled merge keeps the file and leaves the user channels alone.
  const auto cancel = [](const std::string&, bool) { return DuplicateChoice{DuplicateAction::Skip, false, true}; };
  EXPECT_FALSE(ReceiveChannelFile(app, library, cancel));
  EXPECT_TRUE(std::filesystem::exists(temp));
  EXPECT_EQ(test::ReadFile(user), "~CH:Mine\r~FN:p\r~FU:u\r");
  ASSERT_TRUE(ReceiveChannelFile(app, library, AlwaysChoose(DuplicateAction::Merge)));
  EXPECT_FALSE(std::filesystem::exists(temp));
  ChannelSet saved;
  ASSERT_TRUE(saved.Load(user, true));
  EXPECT_EQ(Names(saved), "Mine(p,q,) Fixed(z,) Shared() ");
}

}  // namespace
}  // namespace vyr

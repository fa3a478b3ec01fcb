#include "channels/channel_set.h"

#include <gtest/gtest.h>

#include "channels/channel_test_util.h"
#include "platform/profile_file.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using test::DumpTree;

ChannelSet Parse(const std::string& text) {
  ChannelSet set;
  ParseChannelText(text, set);
  return set;
}

// The example channel file, written by hand: every line ends in CR LF, the
// first line is empty, and there is no line ending after the last value.
const char kExampleFile[] =
    "\r\n~**:*********"
    "\r\n~CH:News"
    "\r\n~**:- - -"
    "\r\n~FN:Front page"
    "\r\n~FU:http://news.example/front"
    "\r\n~**:- - -"
    "\r\n~FO:Sport"
    "\r\n"
    "\r\n~PN:Results"
    "\r\n~PU:http://news.example/results";

TEST(ChannelTextTest, WriterProducesTheFileFormByteForByte) {
  ChannelSet set;
  ChannelItem* news = set.AddChannel("News");
  ChannelSet::AddChild(news, "Front page", "http://news.example/front", kChannelKindPage);
  ChannelItem* sport = ChannelSet::AddChild(news, "Sport", "", kChannelKindFolder);
  ChannelSet::AddChild(sport, "Results", "http://news.example/results", kChannelKindPage);
  EXPECT_EQ(FormatChannelText(set, 0), kExampleFile);
}

TEST(ChannelTextTest, ReaderBuildsTheTreeAndRoundTripsExactly) {
  ChannelSet set = Parse(kExampleFile);
  EXPECT_EQ(DumpTree(set),
            "0|News|Channel!\n1|Front page|http://news.example/front\n1|Sport|_FOLDER\n"
            "2|Results|http://news.example/results\n");
  EXPECT_EQ(set.At(0)->children[1]->kind, kChannelKindFolder);
  EXPECT_EQ(FormatChannelText(set, 0), kExampleFile);
}

TEST(ChannelTextTest, RecordsAreTrimmedAndOnlyCarriageReturnEndsAValue) {
  ChannelSet set = Parse(
      "~CH:  Weather  \r\n"
      "~FN: a~b:c: d \r\n~FU:http://x.example/a?b=c~d\r\n"
      "~ FN :spaced tag\r~FU:u\r"
      "~FN:line\nfeed inside\r~FU:\xC3\xA4\xFF\r");
  EXPECT_EQ(DumpTree(set),
            "0|Weather|Channel!\n1|a~b:c: d|http://x.example/a?b=c~d\n1|spaced tag|u\n"
            "1|line\nfeed inside|\xC3\xA4\xFF\n");
}

TEST(ChannelTextTest, EndOfFileInsideRecordsNeverLosesEarlierItems) {
  // "FN" or "PN" as the last record: empty url.
  EXPECT_EQ(DumpTree(Parse("~CH:A\r\n~FN:last")), "0|A|Channel!\n1|last|\n");
  EXPECT_EQ(DumpTree(Parse("~CH:A\r\n~FO:F\r\n~PN:last")), "0|A|Channel!\n1|F|_FOLDER\n2|last|\n");
  // End of file inside a tag ends the reading.
  EXPECT_EQ(DumpTree(Parse("~CH:A\r\n~FN:p\r\n~FU:u\r\n~F")), "0|A|Channel!\n1|p|u\n");
  EXPECT_EQ(DumpTree(Parse("")), "");
  EXPECT_EQ(DumpTree(Parse("no records at all\r\n")), "");
}

TEST(ChannelTextTest, OverlongTagsAndValuesAreCutNotOverrun) {
  std::string longName(5000, 'n');
  std::string longUrl = "http://" + std::string(9000, 'u');
  ChannelSet set = Parse("~CH:" + longName + "\r\n~FN:p\r\n~FU:" + longUrl + "\r\n~" +
                         std::string(3000, 'T') + ":value\r\n~FN:after\r\n~FU:ok");
  ASSERT_EQ(set.Count(), 1u);
  EXPECT_EQ(set.At(0)->name, std::string(kChannelRecordLimit, 'n'));
  ASSERT_EQ(set.At(0)->children.size(), 2u);
  EXPECT_EQ(set.At(0)->children[0]->url, longUrl.substr(0, kChannelRecordLimit));
  EXPECT_EQ(set.At(0)->children[1]->name, "after");
  EXPECT_EQ(set.At(0)->children[1]->url, "ok");
}

TEST(ChannelTextTest, PageWithoutAFolderIsKeptAsATopLevelPage) {
  ChannelSet set = Parse(
      "~PN:before any channel\r~PU:lost\r"
      "~CH:A\r~PN:direct\r~PU:u1\r~FN:page\r~FU:u2\r~PN:after page\r~PU:u3\r"
      "~FO:F\r~PN:in folder\r~PU:u4\r");
  EXPECT_EQ(DumpTree(set),
            "0|A|Channel!\n1|direct|u1\n1|page|u2\n1|after page|u3\n1|F|_FOLDER\n2|in folder|u4\n");
}

TEST(ChannelTextTest, DeletedChildrenAndEmptiedFoldersOnSave) {
  ChannelSet set = Parse(kExampleFile);
  ChannelItem* news = set.At(0);
  news->children[0]->name = kDeletedName;
  news->children[1]->children[0]->name = kDeletedName;  // the folder's last page
  ChannelSet::AddChild(news, "Kept", "http://k.example/", kChannelKindPage);
  EXPECT_EQ(FormatChannelText(set, 0),
            "\r\n~**:*********\r\n~CH:News"
            "\r\n~**:- - -\r\n~FN:Sport\r\n~FU:_FOLDER"
            "\r\n~**:- - -\r\n~FN:Kept\r\n~FU:http://k.example/");
}

TEST(ChannelTextTest, CarriageReturnInANameCannotSplitTheFile) {
  ChannelSet set;
  ChannelItem* c = set.AddChannel("Evil\r~CH:Injected");
  ChannelSet::AddChild(c, "p", "u\r~FN:x", kChannelKindPage);
  ChannelSet back = Parse(FormatChannelText(set, 0));
  EXPECT_EQ(DumpTree(back), "0|Evil ~CH:Injected|Channel!\n1|p|u ~FN:x\n");
}

class ChannelFileTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::ClearProfileCache(); }
  test::TempDir dir;
  test::RecordingMessageBox boxes;
};

TEST_F(ChannelFileTest, LoadSaveLoadGivesTheSameTree) {
  std::string text;
  for (int c = 0; c < 5; ++c) {
    text += "\r\n~**:*********\r\n~CH:Channel " + std::to_string(c);
    for (int k = 0; k < 4; ++k) {
      text += "\r\n~**:- - -";
      if (k % 2) {
        text += "\r\n~FO:Folder " + std::to_string(k);
        for (int p = 0; p < 3; ++p) {
          text += "\r\n\r\n~PN:Page " + std::to_string(p) + "\r\n~PU:http://h.example/" +
                  std::to_string(c) + "/" + std::to_string(k) + "/" + std::to_string(p);
        }
      } else {
        text += "\r\n~FN:Item " + std::to_string(k) + "\r\n~FU:http://h.example/" + std::to_string(k);
      }
    }
  }
  test::WriteFile(dir.File("in.vyr"), text);
  ChannelSet set;
  ASSERT_TRUE(set.Load(dir.File("in.vyr"), true));
  EXPECT_EQ(set.Path(), dir.File("in.vyr"));
  ASSERT_TRUE(set.Save(dir.File("out.vyr"), 0, &boxes));
  EXPECT_EQ(test::ReadFile(dir.File("out.vyr")), text);
  ChannelSet again;
  ASSERT_TRUE(again.Load(dir.File("out.vyr"), true));
  EXPECT_EQ(DumpTree(again), DumpTree(set));
}

TEST_F(ChannelFileTest, LoadAppendsOrClearsAndFailsOnlyWhenTheFileCannotBeOpened) {
  test::WriteFile(dir.File("a.vyr"), "~CH:A\r~FN:p\r~FU:u");
  test::WriteFile(dir.File("empty.vyr"), "");
  ChannelSet set;
  set.AddChannel("Existing");
  EXPECT_FALSE(set.Load(dir.File("missing.vyr"), true));
  EXPECT_EQ(set.Count(), 1u);  // a failed load with clear keeps the set
  EXPECT_FALSE(set.Load(dir.Path(), true));  // a folder is no channel file
  ASSERT_TRUE(set.Load(dir.File("a.vyr"), false));
  EXPECT_EQ(DumpTree(set), "0|Existing|Channel!\n0|A|Channel!\n1|p|u\n");
  ASSERT_TRUE(set.Load(dir.File("empty.vyr"), false));  // opens, holds nothing
  EXPECT_EQ(set.Count(), 2u);
  ASSERT_TRUE(set.Load(dir.File("a.vyr"), true));
  EXPECT_EQ(DumpTree(set), "0|A|Channel!\n1|p|u\n");
}

TEST_F(ChannelFileTest, SaveFromAPositionAndToAnUnwritablePlace) {
  ChannelSet set;
  set.AddChannel("Fixed");
  set.AddChannel("User");
  ASSERT_TRUE(set.Save(dir.File("user.vyr"), 1, &boxes));
  EXPECT_EQ(test::ReadFile(dir.File("user.vyr")), "\r\n~**:*********\r\n~CH:User");
  ASSERT_TRUE(set.Save(dir.File("none.vyr"), 2, &boxes));
  EXPECT_EQ(test::ReadFile(dir.File("none.vyr")), "");
  EXPECT_TRUE(boxes.boxes.empty());

  test::WriteFile(dir.File("blocker"), "x");
  EXPECT_FALSE(set.Save(dir.File("blocker/user.vyr"), 0, &boxes));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Could Not Open Destination File");
  // The old file survives a failed save whole.
  test::WriteFile(dir.File("keep.vyr"), "~CH:Old");
  ChannelSet big;
  big.AddChannel("New");
  ASSERT_TRUE(big.Save(dir.File("keep.vyr"), 0, &boxes));
  EXPECT_EQ(test::ReadFile(dir.File("keep.vyr")), "\r\n~**:*********\r\n~CH:New");
}

TEST_F(ChannelFileTest, SectionedFormIsReadWhenTheTextFormHoldsNoChannel) {
  test::WriteFile(dir.File("old.vyr"),
                  "[Channels]\r\nC0=Sports\r\nC1=News\r\nC2=_END_\r\nC3=Never\r\n"
                  "[Tab:Sports]\r\nPage0Label=Scores\r\nPage0URL=http://s.example/\r\n"
                  "Page0_0label=Football\r\nPage0_0URL=http://s.example/f\r\n"
                  "PAGE0_1LABEL=Tennis\r\npage0_1url=http://s.example/t\r\n"
                  "page1label=Teams\r\nPage1URL=http://s.example/teams\r\n"
                  "[Tab:News]\r\nPage0Label=\r\nPage1Label=unreachable\r\n");
  ChannelSet set;
  ASSERT_TRUE(set.Load(dir.File("old.vyr"), true));
  EXPECT_EQ(DumpTree(set),
            "0|Sports|Channel!\n1|Scores|http://s.example/\n2|Football|http://s.example/f\n"
            "2|Tennis|http://s.example/t\n1|Teams|http://s.example/teams\n0|News|Channel!\n");
  EXPECT_EQ(set.At(0)->children[0]->kind, kChannelKindSectioned);
  EXPECT_EQ(set.At(0)->children[0]->children[0]->kind, kChannelKindSectioned);
}

TEST_F(ChannelFileTest, LocalFileHoldsOneChannelNamedLocal) {
  test::WriteFile(dir.File("local.vyr"),
                  "[Channels]\nC0=Ignored\n[Tab:local]\nPage0Label=Town\nPage0URL=http://t.example/\n");
  ChannelSet set;
  ASSERT_TRUE(set.Load(dir.File("local.vyr"), false));
  EXPECT_EQ(DumpTree(set), "0|local|Channel!\n1|Town|http://t.example/\n");
}

TEST_F(ChannelFileTest, SectionedValuesAreCutTo299Characters) {
  test::WriteFile(dir.File("s.vyr"), "[Channels]\nC0=A\n[Tab:A]\nPage0Label=" + std::string(400, 'l') +
                                         "\nPage0URL=" + std::string(500, 'u') + "\n");
  ChannelSet set;
  ASSERT_TRUE(set.Load(dir.File("s.vyr"), false));
  ASSERT_EQ(set.Count(), 1u);
  EXPECT_EQ(set.At(0)->children[0]->name.size(), 299u);
  EXPECT_EQ(set.At(0)->children[0]->url.size(), 299u);
}

}  // namespace
}  // namespace vyr

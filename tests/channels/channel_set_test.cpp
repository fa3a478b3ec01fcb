// Channel files in their text and sectioned forms, and the application's
// channels loaded from the data folder.
#include "channels/channel_set.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include "base/application.h"
#include "channels/channel_startup.h"
#include "channels/channel_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

using test::DumpTree;

ChannelSet Parse(const std::string& text) {
  ChannelSet set;
  ParseChannelText(text, set);
  return set;
}

// Written by hand: CR LF lines, an empty first line, no line end at the end.
const char kExampleFile[] =
    "\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FN:Front page\r\n~FU:http://news.example/front"
    "\r\n~**:- - -\r\n~FO:Sport\r\n\r\n~PN:Results\r\n~PU:http://news.example/results";

TEST(ChannelTextTest, TheExampleFileIsReadAndWrittenByteForByte) {
  ChannelSet built;
  ChannelItem* news = built.AddChannel("News");
  ChannelSet::AddChild(news, "Front page", "http://news.example/front", kChannelKindPage);
  ChannelItem* sport = ChannelSet::AddChild(news, "Sport", "", kChannelKindFolder);
  ChannelSet::AddChild(sport, "Results", "http://news.example/results", kChannelKindPage);
  EXPECT_EQ(FormatChannelText(built, 0), kExampleFile);
  ChannelSet read = Parse(kExampleFile);
  EXPECT_EQ(DumpTree(read), "0|News|Channel!\n1|Front page|http://news.example/front\n"
                            "1|Sport|_FOLDER\n2|Results|http://news.example/results\n");
  EXPECT_EQ(FormatChannelText(read, 0), kExampleFile);
  // "*DELETED" items are not written; a folder without pages is written as a page.
  read.At(0)->children[0]->name = kDeletedName;
  read.At(0)->children[1]->children[0]->name = kDeletedName;
  EXPECT_EQ(FormatChannelText(read, 0), "\r\n~**:*********\r\n~CH:News\r\n~**:- - -\r\n~FN:Sport\r\n~FU:_FOLDER");
}

TEST(ChannelTextTest, RecordRulesAndDamagedFiles) {
  const std::pair<std::string, std::string> cases[] = {
      // Trimmed; only CR ends a value; "~" and ":" stay inside it.
      {"~CH:  Weather  \r\n~FN: a~b:c: d \r\n~FU:http://x/a?b=c~d\r\n~ FN :spaced\r~FU:u\r"
       "~FN:line\nfeed\r~FU:\xC3\xA4\xFF\r",
       "0|Weather|Channel!\n1|a~b:c: d|http://x/a?b=c~d\n1|spaced|u\n1|line\nfeed|\xC3\xA4\xFF\n"},
      // "FN" or "PN" as the last record: empty url; end of file in a tag.
      {"~CH:A\r\n~FN:last", "0|A|Channel!\n1|last|\n"},
      {"~CH:A\r\n~FO:F\r\n~PN:last", "0|A|Channel!\n1|F|_FOLDER\n2|last|\n"},
      {"~CH:A\r\n~FN:p\r\n~FU:u\r\n~F", "0|A|Channel!\n1|p|u\n"},
      {"", ""},
      {"no records at all\r\n", ""},
      // A page with no folder current stays a page of the channel.
      {"~PN:before any channel\r~PU:x\r~CH:A\r~PN:direct\r~PU:u1\r~FN:page\r~FU:u2\r"
       "~PN:after page\r~PU:u3\r~FO:F\r~PN:in folder\r~PU:u4\r",
       "0|A|Channel!\n1|direct|u1\n1|page|u2\n1|after page|u3\n1|F|_FOLDER\n2|in folder|u4\n"},
  };
  for (const auto& [text, tree] : cases) EXPECT_EQ(DumpTree(Parse(text)), tree) << text;
}

TEST(ChannelTextTest, HostileNamesCannotOverrunOrSplitTheFile) {
  ChannelSet set = Parse("~CH:" + std::string(5000, 'n') + "\r\n~FN:p\r\n~FU:" +
                         std::string(9000, 'u') + "\r\n~" + std::string(3000, 'T') +
                         ":value\r\n~FN:after\r\n~FU:ok");
  EXPECT_EQ(DumpTree(set), "0|" + std::string(2047, 'n') + "|Channel!\n1|p|" +
                               std::string(2047, 'u') + "\n1|after|ok\n");
  ChannelSet evil;  // a CR in a name cannot start a record
  ChannelSet::AddChild(evil.AddChannel("Evil\r~CH:Injected"), "p", "u\r~FN:x", kChannelKindPage);
  EXPECT_EQ(DumpTree(Parse(FormatChannelText(evil, 0))), "0|Evil ~CH:Injected|Channel!\n1|p|u ~FN:x\n");
}

class ChannelFileTest : public ::testing::Test {
 protected:
  test::TempDir dir;
  test::RecordingMessageBox boxes;
};

TEST_F(ChannelFileTest, LoadAppendsOrClearsAndFailsOnlyWhenTheFileCannotBeOpened) {
  test::WriteFile(dir.File("a.vyr"), "~CH:A\r~FN:p\r~FU:u");
  test::WriteFile(dir.File("empty.vyr"), "");
  ChannelSet set = Parse("~CH:Existing");
  EXPECT_FALSE(set.Load(dir.File("missing.vyr"), true));
  EXPECT_FALSE(set.Load(dir.Path(), true));  // a folder is no channel file
  ASSERT_TRUE(set.Load(dir.File("a.vyr"), false) && set.Load(dir.File("empty.vyr"), false));
  EXPECT_EQ(DumpTree(set), "0|Existing|Channel!\n0|A|Channel!\n1|p|u\n");
  ASSERT_TRUE(set.Load(dir.File("a.vyr"), true));
  EXPECT_EQ(DumpTree(set), "0|A|Channel!\n1|p|u\n");
}

TEST_F(ChannelFileTest, SaveWritesFromAPositionAndAFailedSaveKeepsTheOldFile) {
  ChannelSet set = Parse("~CH:Fixed\r~CH:User");
  ASSERT_TRUE(set.Save(dir.File("user.vyr"), 1, &boxes) && set.Save(dir.File("none.vyr"), 2, &boxes));
  EXPECT_EQ(test::ReadFile(dir.File("user.vyr")), "\r\n~**:*********\r\n~CH:User");
  EXPECT_EQ(test::ReadFile(dir.File("none.vyr")), "");
  test::WriteFile(dir.File("blocker"), "x");
  EXPECT_FALSE(set.Save(dir.File("blocker/user.vyr"), 0, &boxes));
  ASSERT_EQ(boxes.boxes.size(), 1u);
  EXPECT_EQ(boxes.boxes[0].text, "Could Not Open Destination File");
  // A full disk (a file size limit) part way through: the old file stays whole, no copy left.
  const std::string old = test::ReadFile(dir.File("user.vyr"));
  ChannelSet big = Parse("~CH:" + std::string(2000, 'c') + "\r~FN:p\r~FU:http://big.example/");
  const int saved = test::RunInChild([&] {
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{16, 16};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) return 2;
    return big.Save(dir.File("user.vyr"), 0, nullptr) ? 1 : 0;
  });
  EXPECT_EQ(saved, 0) << "1: the save passed for done; 2: no file size limit";
  EXPECT_EQ(test::ReadFile(dir.File("user.vyr")), old);
  EXPECT_EQ(test::Tree(dir.Path()), (std::vector<std::string>{"blocker", "none.vyr", "user.vyr"}));
}

TEST_F(ChannelFileTest, SectionedFormIsReadWhenTheTextFormHoldsNoChannel) {
  test::WriteFile(dir.File("old.vyr"),
                  "[Channels]\r\nC0=Sports\r\nC1=News\r\nC2=_END_\r\nC3=Never\r\n"
                  "[Tab:Sports]\r\nPage0Label=Scores\r\nPage0URL=http://s.example/\r\n"
                  "Page0_0label=Football\r\nPage0_0URL=http://s.example/f\r\n"
                  "PAGE0_1LABEL=" + std::string(400, 't') + "\r\npage0_1url=u\r\n"
                  "page1label=Teams\r\nPage1URL=http://s.example/teams\r\n"
                  "[Tab:News]\r\nPage0Label=\r\nPage1Label=unreachable\r\n");
  ChannelSet set;
  ASSERT_TRUE(set.Load(dir.File("old.vyr"), true));
  EXPECT_EQ(DumpTree(set), "0|Sports|Channel!\n1|Scores|http://s.example/\n"
                           "2|Football|http://s.example/f\n2|" + std::string(299, 't') +
                               "|u\n1|Teams|http://s.example/teams\n0|News|Channel!\n");
  EXPECT_EQ(set.At(0)->children[0]->children[0]->kind, kChannelKindSectioned);
  // "local.vyr" holds one channel named "local"; lone CRs end its lines.
  test::WriteFile(dir.File("local.vyr"),
                  "[Channels]\rC0=Ignored\r[Tab:local]\rPage0Label=Town\rPage0URL=http://t.example/\r");
  ASSERT_TRUE(set.Load(dir.File("local.vyr"), true));
  EXPECT_EQ(DumpTree(set), "0|local|Channel!\n1|Town|http://t.example/\n");
}

class ChannelStartupTest : public ::testing::Test, protected test::TestApp {
 protected:
  std::string Data(const std::string& name) { return home.File("vyrelle/Data/Default/" + name); }
  ChannelLibrary library{app};
};

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
  EXPECT_EQ(DumpTree(library.Set()),
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

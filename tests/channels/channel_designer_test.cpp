// The channel designer's edits, its save and the page a dropped link proposes.
#include "channels/channel_designer.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/application.h"
#include "channels/channel_test_util.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

// Two locked channels, then News (page n1, folder Sport with p1 and p2) and
// Kids (empty folder E).
ChannelDesignerModel Sample() {
  ChannelSet set;
  ChannelSet::AddChild(set.AddChannel("H"), "a", "http://a", kChannelKindPage);
  set.AddChannel("L");
  ChannelItem* news = set.AddChannel("News");
  ChannelSet::AddChild(news, "n1", "http://n1", kChannelKindPage);
  ChannelItem* sport = ChannelSet::AddChild(news, "Sport", "_FOLDER", kChannelKindFolder);
  ChannelSet::AddChild(sport, "p1", "http://p1", kChannelKindPage);
  ChannelSet::AddChild(sport, "p2", "http://p2", kChannelKindPage);
  ChannelSet::AddChild(set.AddChannel("Kids"), "E", "", kChannelKindFolder);
  return ChannelDesignerModel(set, 2);
}

using test::Shape;

constexpr char kUnchanged[] = "H(a,) L() News(n1,Sport[p1,p2,],) Kids(E[],) ";

TEST(ChannelDesignerModel, DragsMoveOrRefuse) {
  struct Case {
    std::vector<TreePath> dragged;
    TreePath target;
    unsigned refusal;
    const char* shape;
  } cases[] = {
      // A folder on a folder goes beside it, never a fourth level.
      {{{2, 1}}, {3, 0}, 0, "H(a,) L() News(n1,) Kids(Sport[p1,p2,],E[],) "},
      {{{2, 1}}, {2, 0}, 41645, kUnchanged},
      {{{2, 1}}, {2, 1, 0}, 0, kUnchanged},
      // A channel dropped on a locked one goes below the locked block.
      {{{3}}, {0}, 0, "H(a,) L() Kids(E[],) News(n1,Sport[p1,p2,],) "},
      {{{2}}, {3}, 0, "H(a,) L() Kids(E[],) News(n1,Sport[p1,p2,],) "},
      {{{3}}, {2, 0}, 41644, kUnchanged},
      {{{2, 0}, {2, 1}}, {3}, 41643, kUnchanged},
      {{{0, 0}}, {3}, 41654, kUnchanged},
      {{{2, 0}}, {1}, 41654, kUnchanged},
      {{{2, 1, 1}}, {3}, 0, "H(a,) L() News(n1,Sport[p1,],) Kids(E[],p2,) "},
      {{{2, 0}}, {3, 0}, 0, "H(a,) L() News(Sport[p1,p2,],) Kids(E[n1,],) "},
      {{{2, 1, 1}, {2, 0}}, {2, 1, 0}, 0, "H(a,) L() News(Sport[n1,p2,p1,],) Kids(E[],) "},
  };
  for (const Case& c : cases) {
    ChannelDesignerModel model = Sample();
    const DesignerResult result = model.Move(c.dragged, c.target);
    EXPECT_EQ(result.refusal.number, c.refusal) << c.shape;
    EXPECT_EQ(Shape(model.Tree()), c.shape);
    EXPECT_EQ(model.Modified(), Shape(model.Tree()) != kUnchanged) << c.shape;
  }
}

TEST(ChannelDesignerModel, AdditionsStayOutOfTheLockedBlock) {
  ChannelDesignerModel model = Sample();
  EXPECT_EQ(model.AddChannel({}, "X").refusal.number, 41622u);
  EXPECT_EQ(model.AddChannel({0}, "Travel").path, TreePath{2});
  EXPECT_EQ(model.AddFolder({1}, "F").refusal.number, 41654u);
  EXPECT_EQ(model.AddFolder({3, 0}, "F").refusal.number, 41626u);
  EXPECT_EQ(model.AddPage({0, 0}, "x", "http://x").refusal.number, 41654u);
  EXPECT_EQ(model.AddPage({3, 0}, "x", "http://x").refusal.number, 41629u);
  // A new folder is a folder before it has pages, and takes one.
  const TreePath trips = model.AddFolder({2}, "Trips").path;
  EXPECT_EQ(model.KindAt(trips), DesignerKind::Folder);
  EXPECT_TRUE(model.AddPage(trips, "Rome", "http://rome").done);
  EXPECT_EQ(model.Delete({{0}}).refusal.number, 41654u);
  EXPECT_TRUE(model.Delete({{3, 1}, {3}}).done);
  EXPECT_EQ(Shape(model.Tree()), "H(a,) L() Travel(Trips[Rome,],) Kids(E[],) ");
}

class ChannelDesignerSave : public ::testing::Test, protected test::TestApp {};

TEST_F(ChannelDesignerSave, FailureKeepsEverythingAndSuccessWritesOnlyUserChannels) {
  const std::string user = home.File("vyrelle/Data/Default/chanuser.vyr");
  test::WriteFile(home.File("vyrelle/Data/Default/chanfixed.vyr"), "~CH:Fixed\r");
  test::WriteFile(user, "~CH:Mine\r");
  ChannelLibrary library(app);
  const size_t fixed = library.LoadAtStartup();
  ChannelDesignerModel model(library.Set(), fixed);
  model.AddFolder({fixed}, "Empty");
  // A folder standing where the file goes: the write fails.
  std::filesystem::remove(user);
  std::filesystem::create_directory(user);
  std::string why;
  EXPECT_FALSE(model.Save(library, &why));
  EXPECT_NE(why.find(user), std::string::npos) << why;
  EXPECT_TRUE(model.Modified());
  EXPECT_TRUE(library.Set().At(fixed)->children.empty());
  std::filesystem::remove(user);
  ASSERT_TRUE(model.Save(library, &why));
  EXPECT_FALSE(model.Modified());
  EXPECT_EQ(test::ReadFile(user), "\r\n~**:*********\r\n~CH:Mine\r\n~**:- - -\r\n~FN:Empty\r\n~FU:");
  library.LoadAtStartup();
  EXPECT_TRUE(IsFolderItem(*library.Set().At(fixed)->children.at(0)));
}

TEST(PageFromDroppedLink, AddressAndTitle) {
  const struct {
    const char *address, *title, *url, *proposed;
  } cases[] = {
      {"www.x.com/a/Rome.html", "", "http://www.x.com/a/Rome.html", "Rome"},
      {"WWW.A.COM", "", "http://WWW.A.COM", "WWW.A.COM"},
      {"http://h/guide", "", "http://h/guide", "guide"},
      {"http://h/p/x.y.htm?q=1.2#top", "", "http://h/p/x.y.htm?q=1.2#top", "x.y"},
      {"https://h.example/", "", "https://h.example/", "h.example"},
      {"http://h/a.htm", "Rome: a guide.", "http://h/a.htm", "Rome: a guide."},
      {"http://h/b.htm", "http://h/b.htm", "http://h/b.htm", "b"},
  };
  for (const auto& c : cases) {
    const DroppedPage page = PageFromDroppedLink(c.address, c.title);
    EXPECT_EQ(page.url, c.url);
    EXPECT_EQ(page.title, c.proposed);
  }
}

}  // namespace
}  // namespace vyr

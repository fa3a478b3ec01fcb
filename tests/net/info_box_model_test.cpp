#include "net/info_box_model.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr::net {
namespace {

struct NullTimers : WindowTimers {
  void SetTimer(unsigned, unsigned ms) override { lastMs = ms; }
  void KillTimer(unsigned) override {}
  unsigned lastMs = 0;
};

struct RecordingView : InfoBoxView {
  void Navigate(const std::string& a) override { log += "nav;", address = a; }
  void Refresh() override { log += "refresh;"; }
  std::string CurrentAddress() const override { return address; }
  void Show(bool visible) override { log += visible ? "show;" : "hide;"; }
  std::string log, address;
};

struct InfoBoxFixture : ::testing::Test {
  InfoBoxFixture() : box(t.app, counters, tracked, timers, view, {{}, {}, {}, [&](const std::string& a) { opened.push_back(a); }}) {
    platform::CreateDirectories(dir1 = box.PageDirectory(1));
    platform::CreateDirectories(dir2 = box.PageDirectory(2));
  }
  void Page(const std::string& dir, int n, const std::string& text) { test::WriteFile(InfoBoxModel::PagePath(dir, n), text); }
  test::TestApp t;
  UsageCounters counters;
  TrackedUrlTable tracked;
  NullTimers timers;
  RecordingView view;
  std::vector<std::string> opened;
  InfoBoxModel box;
  std::string dir1, dir2;
};

TEST_F(InfoBoxFixture, RotationCountsAndStagesEachPage) {
  for (int n = 1; n <= 3; ++n) Page(dir1, n, "page " + std::to_string(n) + "\nVyrelle_2.0_InfoBox_AdID:" + std::to_string(10 + n) + "\n");
  box.LoadAdIds();
  const std::string staging = dir1 + "/vyrinfobox.htm";

  std::string shown;
  for (int k = 0; k < 4; ++k) {
    box.Rotate();
    shown += test::ReadFile(staging).substr(5, 1);
  }
  EXPECT_EQ(shown, "1231");
  EXPECT_EQ(view.log, "hide;nav;show;hide;refresh;show;hide;refresh;show;hide;refresh;show;");
  EXPECT_EQ(view.address, staging);
  EXPECT_EQ(timers.lastMs, 30000u);
  // Page 2 goes while the counter points at it: the next page is 1.
  std::remove(InfoBoxModel::PagePath(dir1, 2).c_str());
  box.Rotate();
  EXPECT_EQ(box.CurrentPage(), InfoBoxModel::PagePath(dir1, 1));
  EXPECT_EQ(counters.CountersText(), "&IBV=5");
  EXPECT_EQ(box.AdText(true), "11 3 0 12 1 0 13 1 0 ");
  EXPECT_EQ(box.AdText(false), "");
  box.OnBarShownOrHidden();  // it has rotated: the next page comes at once
  EXPECT_EQ(timers.lastMs, 1u);
}

TEST_F(InfoBoxFixture, ClicksLeaveTheBoxForTheMainBrowser) {
  Page(dir1, 1, "Vyrelle_2.0_InfoBox_AdID:31\n");
  box.LoadAdIds();
  tracked.TrackUrls("6 http://ads.example/*");
  box.Rotate();
  const std::string root = t.app.Directories().Root();
  struct Case {
    std::string address;
    bool cancelled;
  } cases[] = {
      {dir1 + "/vyrinfobox.htm", false},
      {"file://" + root + "/Pages/other%20page.htm", false},
      {"FILE://" + root + "/InfoBox/x.htm", false},
      {"about:blank", false},
      {"http://ads.example/offer", true},
      {"file:///etc/passwd", true},
  };
  for (const Case& c : cases) EXPECT_EQ(box.OnViewNavigating(c.address), c.cancelled) << c.address;
  // What the program itself shows is no click.
  box.ShowNow("http://news.example/", 0);
  EXPECT_FALSE(box.OnViewNavigating("http://news.example/"));
  EXPECT_EQ(timers.lastMs, 30000u);
  EXPECT_EQ(opened, (std::vector<std::string>{"http://ads.example/offer", "file:///etc/passwd"}));
  EXPECT_EQ(box.AdText(false), "31 1 2 ");
  EXPECT_EQ(counters.CountersText(), "&IBV=1&IBC=2");
  EXPECT_EQ(tracked.Entries()[0].clicks, 1);
}

// The staging page is replaced even when read-only or another account's (root
// runs as "nobody"); a folder in its place stops the copy and counts no view.
TEST_F(InfoBoxFixture, StagingPageReplacedUnlessItCannotBe) {
  Page(dir1, 1, "page 1\nVyrelle_2.0_InfoBox_AdID:41\n");
  box.LoadAdIds();
  const std::string staging = dir1 + "/vyrinfobox.htm", page = InfoBoxModel::PagePath(dir1, 1);
  const bool root = ::geteuid() == 0;
  const int status = test::RunInChild([&] {
    const struct Case {
      bool othersFile, folder, replaced;
    } cases[] = {{false, false, true}, {true, false, true}, {false, true, false}, {false, false, true}};
    const std::string home = t.app.Directories().Root() + "/..", othersFile = dir1 + "/others.htm";
    if (root) {
      for (const auto& entry : std::filesystem::recursive_directory_iterator(home))
        if (::chown(entry.path().c_str(), 65534, 65534) != 0) return 90;
      test::WriteFile(othersFile, "old");  // root's
      ::chmod(othersFile.c_str(), 0444);
      if (::chown(home.c_str(), 65534, 65534) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) return 91;
    }
    int number = 0, views = 0;
    for (const Case& c : cases) {
      ++number;
      if (c.othersFile && !root) continue;  // only root can make another account's file
      std::filesystem::remove(staging);
      if (c.folder) {
        platform::CreateDirectories(staging);
      } else if (c.othersFile) {
        std::filesystem::rename(othersFile, staging);
      } else {
        test::WriteFile(staging, "old");
        ::chmod(staging.c_str(), 0444);
      }
      view.log.clear();
      box.Rotate();
      struct stat st {};
      const bool replaced = ::stat(staging.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & S_IWUSR) &&
                            test::ReadFile(staging) == test::ReadFile(page);
      views += c.replaced;
      if (replaced != c.replaced || counters.Get("IBV") != views) return number;
      if (view.log != (c.replaced ? (number == 1 ? "hide;nav;show;" : "hide;refresh;show;") : "hide;show;")) return 10 + number;
      if (box.CurrentPage() != (views > 0 ? page : "")) return 20 + number;
    }
    return 0;
  });
  EXPECT_EQ(status, 0) << "the case (1-4) that went wrong; 90+ for the test's own set-up";
}

}  // namespace
}  // namespace vyr::net

// Tick count, file times, identifiers and the home folder.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/file_times.h"
#include "platform/guid.h"
#include "platform/tick_count.h"
#include "platform/windows_dir.h"
#include "tools/test_support.h"

namespace vyr::platform {
namespace {

TEST(TickCountTest, AdvancesInMilliseconds) {
  std::uint32_t a = GetTickCount();
  SleepMs(30);
  std::uint32_t b = GetTickCount();
  EXPECT_GE(static_cast<std::uint32_t>(b - a), 25u);
  EXPECT_LT(static_cast<std::uint32_t>(b - a), 5000u);
}

TEST(FileTimesTest, SetGetAndKeeperRestoresAfterARead) {
  test::TempDir dir;
  std::string f = dir.File("msg.txt");
  test::WriteFile(f, "Subject: hi\n\nbody\n");
  FileTimes read{1000000000LL * 900000000 + 5, 1000000000LL * 900000100 + 7};
  ASSERT_TRUE(SetFileTimes(f, read));
  FileTimes got;
  ASSERT_TRUE(GetFileTimes(f, got));
  EXPECT_EQ(got, read);
  {
    FileTimesKeeper keep(f);
    test::WriteFile(f, "Subject: changed\n");  // a write changes both times
    FileTimes during;
    GetFileTimes(f, during);
    EXPECT_NE(during.createdNs, read.createdNs);
  }
  ASSERT_TRUE(GetFileTimes(f, got));
  EXPECT_EQ(got, read);
  EXPECT_FALSE(GetFileTimes(dir.File("missing"), got));
  EXPECT_FALSE(SetFileTimes(dir.File("missing"), read));
}

TEST(GuidTest, TextFormIsBracedUpperCaseAndUnique) {
  std::set<std::string> seen;
  for (int i = 0; i < 200; ++i) {
    std::string g = NewGuidString();
    ASSERT_EQ(g.size(), 38u);
    EXPECT_EQ(g.front(), '{');
    EXPECT_EQ(g.back(), '}');
    EXPECT_EQ(g[9], '-');
    EXPECT_EQ(g[14], '-');
    EXPECT_EQ(g[19], '-');
    EXPECT_EQ(g[24], '-');
    EXPECT_EQ(g.find_first_not_of("0123456789ABCDEF-{}"), std::string::npos) << g;
    seen.insert(g);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(WindowsDirectoryTest, EnvironmentDecidesTheHomeFolder) {
  {
    test::ScopedEnv h("VYRELLE_HOME", "/tmp/vyr-home"), x("XDG_DATA_HOME", "/x");
    EXPECT_EQ(GetWindowsDirectory(), "/tmp/vyr-home");
  }
  {
    test::ScopedEnv h("VYRELLE_HOME", ""), x("XDG_DATA_HOME", "/x/data");
    EXPECT_EQ(GetWindowsDirectory(), "/x/data/vyrelle-home");
  }
  {
    test::ScopedEnv h("VYRELLE_HOME", std::nullopt), x("XDG_DATA_HOME", std::nullopt),
        home("HOME", "/home/u");
    EXPECT_EQ(GetWindowsDirectory(), "/home/u/.local/share/vyrelle-home");
  }
  {
    test::ScopedEnv h("VYRELLE_HOME", std::nullopt), x("XDG_DATA_HOME", std::nullopt),
        home("HOME", std::nullopt);
    EXPECT_EQ(GetWindowsDirectory(), "");
  }
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "\\b"), "/a/b");
  EXPECT_EQ(JoinPath("", "b"), "b");
}

}  // namespace
}  // namespace vyr::platform

#include "platform/file_system.h"

namespace vyr::platform {
namespace {

TEST(FileSystemTest, MoveWithoutReplaceNeverOverwritesAnExistingFile) {
  test::TempDir dir;
  test::WriteFile(dir.File("new/a.tmp"), "first copy");
  test::WriteFile(dir.File("inbox/S1.mail"), "stored earlier");
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/a.tmp"), dir.File("inbox/S1.mail")),
            MoveResult::TargetExists);
  EXPECT_EQ(test::ReadFile(dir.File("inbox/S1.mail")), "stored earlier");
  EXPECT_EQ(test::ReadFile(dir.File("new/a.tmp")), "first copy");  // still there
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/a.tmp"), dir.File("inbox/S2.mail")), MoveResult::Moved);
  EXPECT_EQ(test::ReadFile(dir.File("inbox/S2.mail")), "first copy");
  EXPECT_FALSE(FileExists(dir.File("new/a.tmp")));
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/none"), dir.File("inbox/S3.mail")), MoveResult::Failed);
}

TEST(FileSystemTest, PlainFileNamesCannotLeaveTheirFolder) {
  EXPECT_TRUE(IsPlainFileName("News- Today-.url"));
  EXPECT_TRUE(IsPlainFileName("...url"));
  for (const std::string& bad : std::vector<std::string>{"", ".", "..", "a/b", "/etc/passwd", "..\\x", std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  }
}

}  // namespace
}  // namespace vyr::platform

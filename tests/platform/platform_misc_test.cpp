// String table, tick count, file times, identifiers, the home folder and
// file moves.
#include <gtest/gtest.h>

#include <chrono>
#include <set>

#include "platform/file_system.h"
#include "platform/file_times.h"
#include "platform/guid.h"
#include "platform/string_table.h"
#include "platform/tick_count.h"
#include "platform/windows_dir.h"
#include "tools/test_support.h"

namespace vyr::platform {
namespace {

TEST(StringTableTest, ParsingAndTheLanguageFromTheLocale) {
  auto t = ParseStringTable(
      "# comment\n1\tplain\r\n33085\tline\\r\\n\\nnext %s \\\"q\\\" back\\\\slash\n"
      "bad line\n12 no tab\n\t7\n99999999999\ttoo big\n2\t\n");
  EXPECT_EQ(t, (decltype(t){{1, "plain"}, {2, ""}, {33085, "line\r\n\nnext %s \"q\" back\\slash"}}));
  {
    test::ScopedEnv all("LC_ALL", std::nullopt), msgs("LC_MESSAGES", std::nullopt),
        lang("LANG", "de_DE.UTF-8");
    EXPECT_EQ(LanguageFromLocale(), Language::German);
    test::ScopedEnv over("LC_ALL", "en_GB.UTF-8");
    EXPECT_EQ(LanguageFromLocale(), Language::English);
  }
  Language before = StringLanguage();
  for (unsigned id : {100u, 32822u, 32824u, 33081u, 33083u, 33084u, 33085u, 33086u, 34012u}) {
    SetStringLanguage(Language::English);
    const std::string en = LoadString(id);
    SetStringLanguage(Language::German);
    EXPECT_FALSE(en.empty()) << id;
    EXPECT_NE(LoadString(id), en) << id;  // translated
  }
  EXPECT_EQ(LoadString(33081), "Fehler beim Anlegen des Vyrelle-Verzeichnisses");
  EXPECT_EQ(LoadString(4242424), "");
  SetStringLanguage(before);
}

TEST(TickCountTest, IsTheMonotonicClockInMilliseconds) {
  auto now = [] {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch()).count());
  };
  const std::uint32_t before = now(), tick = GetTickCount(), after = now();
  EXPECT_LE(static_cast<std::uint32_t>(tick - before), static_cast<std::uint32_t>(after - before));
}

TEST(FileTimesTest, SetGetAndKeeperRestoresAfterARead) {
  test::TempDir dir;
  std::string f = dir.File("msg.txt");
  test::WriteFile(f, "Subject: hi\n\nbody\n");
  FileTimes read{1000000000LL * 900000000 + 5, 1000000000LL * 900000100 + 7};
  ASSERT_TRUE(SetFileTimes(f, read));
  FileTimes got;
  {
    FileTimesKeeper keep(f);
    test::WriteFile(f, "Subject: changed\n");  // a write changes both times
    ASSERT_TRUE(GetFileTimes(f, got));
    EXPECT_NE(got.createdNs, read.createdNs);
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
    EXPECT_EQ(g.front() + g.substr(9, 1) + g.substr(14, 1) + g.substr(19, 1) + g.substr(24, 1) + g.back(),
              "{----}");
    EXPECT_EQ(g.find_first_not_of("0123456789ABCDEF-{}"), std::string::npos) << g;
    seen.insert(g);
  }
  EXPECT_EQ(seen.size(), 200u);
}

TEST(WindowsDirectoryTest, EnvironmentDecidesTheHomeFolder) {
  using V = std::optional<std::string>;
  const std::tuple<V, V, V, std::string> cases[] = {
      {"/tmp/vyr-home", "/x", "/home/u", "/tmp/vyr-home"},
      {"", "/x/data", "/home/u", "/x/data/vyrelle-home"},
      {std::nullopt, std::nullopt, "/home/u", "/home/u/.local/share/vyrelle-home"},
      {std::nullopt, std::nullopt, std::nullopt, ""}};
  for (const auto& [home, xdg, user, expected] : cases) {
    test::ScopedEnv h("VYRELLE_HOME", home), x("XDG_DATA_HOME", xdg), u("HOME", user);
    EXPECT_EQ(GetWindowsDirectory(), expected);
  }
  EXPECT_EQ(JoinPath("/a/", "b"), "/a/b");
  EXPECT_EQ(JoinPath("/a", "\\b"), "/a/b");
}

TEST(FileSystemTest, MoveWithoutReplaceNeverOverwritesAndPlainNamesStayInTheirFolder) {
  test::TempDir dir;
  test::WriteFile(dir.File("new/a.tmp"), "first copy");
  test::WriteFile(dir.File("inbox/S1.mail"), "stored earlier");
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/a.tmp"), dir.File("inbox/S1.mail")), MoveResult::TargetExists);
  EXPECT_EQ(test::ReadFile(dir.File("inbox/S1.mail")), "stored earlier");
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/a.tmp"), dir.File("inbox/S2.mail")), MoveResult::Moved);
  EXPECT_EQ(test::ReadFile(dir.File("inbox/S2.mail")), "first copy");
  EXPECT_FALSE(FileExists(dir.File("new/a.tmp")));
  EXPECT_EQ(MoveFileNoReplace(dir.File("new/none"), dir.File("inbox/S3.mail")), MoveResult::Failed);

  EXPECT_TRUE(IsPlainFileName("News- Today-.url"));
  EXPECT_TRUE(IsPlainFileName("...url"));
  for (const std::string& bad : std::vector<std::string>{"", ".", "..", "a/b", "/etc/passwd", "..\\x", std::string("a\0b", 3)}) {
    EXPECT_FALSE(IsPlainFileName(bad)) << bad;
  }
}

}  // namespace
}  // namespace vyr::platform

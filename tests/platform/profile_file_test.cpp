#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <vector>

#include "platform/file_system.h"
#include "tools/test_support.h"

namespace vyr::platform {
namespace {

using test::ReadFile;
using test::TempDir;
using test::WriteFile;

class ProfileFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ClearProfileCache(); }
  TempDir dir;
  std::string ini = dir.File("vyr20.ini");
};

// Joins lines with the given line end after each.
std::string Lines(std::initializer_list<const char*> lines, const std::string& eol) {
  std::string out;
  for (const char* line : lines) out += std::string(line) + eol;
  return out;
}

TEST_F(ProfileFileTest, ReadAndWriteRulesHoldForEveryLineEnd) {
  for (const std::string eol : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(testing::PrintToString(eol));
    ClearProfileCache();
    WriteFile(ini, Lines({"; comment", "[misc]", "abc=abc", "mixed=12abc", "plain=42", "neg=-1",
                          "empty=", "spaced=  7  ", "huge=99999999999", "no equals sign", " = no name",
                          "[a]", "k=first", "k=second", "", "[ A ]", "k=third", "only=later", "[ Q ]",
                          "dq=\"quoted value\"", "sq='single'", "qb=\" x \"", "half=\"open",
                          "odd=\"a'", "inner=a \"b\" c", "  padded  =  both sides  ", "last=end"},
                         eol));
    const std::tuple<const char*, const char*, int> ints[] = {
        {"misc", "abc", 0},        {"misc", "mixed", 12}, {"MISC", "PLAIN", 42}, {"misc", "missing", 5},
        {"nosection", "plain", 5}, {"misc", "neg", -1},   {"misc", "empty", 5},  {"misc", "spaced", 7}};
    for (const auto& [section, key, value] : ints) EXPECT_EQ(GetPrivateProfileInt(section, key, 5, ini), value) << key;
    GetPrivateProfileInt("misc", "huge", 5, ini);  // wraps, must not crash
    const std::tuple<const char*, const char*, const char*, const char*> texts[] = {
        {"misc", "no equals sign", "none", "none"}, {"misc", "", "none", "none"},
        {"misc", "empty", "none", ""},              {"A", "K", "none", "first"},
        {"a", "only", "none", "none"},              {"q", "dq", "none", "quoted value"},
        {"q", "sq", "none", "single"},              {"q", "qb", "none", " x "},
        {"q", "half", "none", "\"open"},            {"q", "odd", "none", "\"a'"},
        {"q", "inner", "none", "a \"b\" c"},        {"q", "padded", "none", "both sides"},
        {"Q", "LAST", "none", "end"},               {"q", "missing", "default  ", "default"},
        {"none", "k", " lead\t \t", " lead"},       {"none", "k", "   ", ""}};
    for (const auto& [section, key, def, value] : texts) EXPECT_EQ(GetPrivateProfileString(section, key, def, ini), value) << key;

    // Writes keep every line they do not change and the file's line end.
    ASSERT_TRUE(WritePrivateProfileString("MISC", "plain", "43", ini));
    ASSERT_TRUE(DeleteProfileKey("misc", "NEG", ini));
    ASSERT_TRUE(WritePrivateProfileString("q", "new", "n", ini));
    ASSERT_TRUE(WritePrivateProfileSection("A", {{"x", "1"}}, ini));
    ASSERT_TRUE(WritePrivateProfileString("New", "k", "v", ini));
    EXPECT_EQ(ReadFile(ini),
              Lines({"; comment", "[misc]", "abc=abc", "mixed=12abc", "plain=43", "empty=", "spaced=  7  ",
                     "huge=99999999999", "no equals sign", " = no name", "[a]", "x=1", "", "[ A ]", "k=third",
                     "only=later", "[ Q ]", "dq=\"quoted value\"", "sq='single'", "qb=\" x \"",
                     "half=\"open", "odd=\"a'", "inner=a \"b\" c", "  padded  =  both sides  ",
                     "last=end", "new=n", "[New]", "k=v"},
                    eol));
    ClearProfileCache();
    EXPECT_EQ(ReadProfileSection(ini, "q").size(), 9u);
    EXPECT_EQ(GetPrivateProfileString("new", "K", "", ini), "v");
  }
  // The buffer size cuts values and defaults.
  WritePrivateProfileString("s", "long", std::string(300, 'v'), ini);
  EXPECT_EQ(GetPrivateProfileString("s", "long", "", ini, 254).size(), 253u);
  EXPECT_EQ(GetPrivateProfileString("s", "long", "", ini).size(), 300u);
  EXPECT_EQ(GetPrivateProfileString("s", "none", std::string(400, 'd'), ini, 254).size(), 253u);
}

TEST_F(ProfileFileTest, HostileTextCannotAddKeysAndGarbageIsSurvived) {
  WritePrivateProfileString("misc", "Home", "http://x/\n[evil]\nPlaySounds=0", ini);
  EXPECT_EQ(ReadProfileSectionNames(ini), std::vector<std::string>{"misc"});
  EXPECT_EQ(GetPrivateProfileString("misc", "Home", "", ini), "http://x/ [evil] PlaySounds=0");
  std::string garbage = "\x01\x02\xFF\xFE garbage [[[ ===\n" + std::string(1 << 20, 'L') + "\n";
  garbage += "[misc]\nname=M\xC3\xBCller \xE9t\xE9\n=no key\n]]]\n[unterminated\nk=in unterminated\n";
  garbage += std::string("nul\0byte=1\n", 11) + "[big]\nv=" + std::string(100000, 'B') + "\n";
  WriteFile(ini, garbage);
  EXPECT_EQ(GetPrivateProfileString("unterminated", "k", "", ini), "in unterminated");
  EXPECT_EQ(GetPrivateProfileString("big", "v", "", ini).size(), 100000u);
  ASSERT_TRUE(WritePrivateProfileString("misc", "added", "1", ini));
  const size_t misc = garbage.find("[misc]\n") + 7;  // everything before the section stays
  EXPECT_EQ(ReadFile(ini).substr(0, misc), garbage.substr(0, misc));
  EXPECT_EQ(GetPrivateProfileString("misc", "name", "", ini), "M\xC3\xBCller \xE9t\xE9");
}

TEST_F(ProfileFileTest, ChangesMadeOutsideTheProcessAreSeenByTheNextRead) {
  WritePrivateProfileString("misc", "k", "one", ini);
  ASSERT_EQ(GetPrivateProfileString("misc", "k", "", ini), "one");  // now cached
  // Another program replaces the file with one of the same size and the same
  // modification time: only the file's identity tells it changed.
  struct stat before {};
  ASSERT_EQ(::stat(ini.c_str(), &before), 0);
  WriteFile(ini + ".new", "[misc]\nk=two\n");
  timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (ini + ".new").c_str(), times, 0), 0);
  ASSERT_EQ(::rename((ini + ".new").c_str(), ini.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "", ini), "two");
}

TEST_F(ProfileFileTest, ConcurrentWritersInSeveralProcessesLoseNoKey) {
  EXPECT_TRUE(test::AllChildrenSucceed(4, [&](int p) {
    ClearProfileCache();
    bool ok = true;
    for (int k = 0; k < 25; ++k) ok = WritePrivateProfileString("s", std::to_string(p * 100 + k), "v", ini) && ok;
    return ok ? 0 : 1;
  }));
  EXPECT_EQ(ReadProfileSection(ini, "s").size(), 100u);
}

TEST_F(ProfileFileTest, AKilledWriterNeverLeavesAPartialProfile) {
  for (int k = 0; k < 200; ++k) WritePrivateProfileString("base", "key" + std::to_string(k), std::string(50, 'x'), ini);
  for (int round = 0; round < 5; ++round) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ClearProfileCache();
      for (int i = 0;; ++i) {
        WritePrivateProfileString("churn", "n", std::to_string(i) + std::string(i % 5000, 'y'), ini);
        if (i == 3 * round + 1 && ::write(ready[1], "r", 1) != 1) ::_exit(1);
      }
    }
    char c = 0;  // once the writer is going, it is killed in the middle of its writes
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    ClearProfileCache();
    ASSERT_EQ(ReadProfileSection(ini, "base").size(), 200u) << "round " << round;
    const std::string n = GetPrivateProfileString("churn", "n", "", ini);
    const size_t digits = n.find_first_not_of("0123456789");
    ASSERT_NE(digits, 0u);
    EXPECT_EQ(n.size(), (digits == std::string::npos ? n.size() : digits) + std::stoi(n) % 5000);
  }
  // Temporary files left by killed writers or a crash are ignored.
  WriteFile(ini + ".~999.0.tmp", "[misc]\nk=hal");
  ClearProfileCache();
  ASSERT_TRUE(WritePrivateProfileString("after", "ok", "1", ini));
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "none", ini), "none");
  EXPECT_EQ(ReadProfileSection(ini, "base").size(), 200u);
}

TEST_F(ProfileFileTest, UnwritableLocationsFailWithoutTouchingAnything) {
  WriteFile(dir.File("plainfile"), "x");
  std::filesystem::create_directories(dir.File("folder.ini"));
  for (const std::string& bad : {dir.File("plainfile/sub/vyr20.ini"), dir.File("folder.ini"), std::string()}) {
    EXPECT_FALSE(WritePrivateProfileString("misc", "k", "v", bad)) << bad;
    EXPECT_EQ(GetPrivateProfileString("misc", "k", "def", bad), "def");
  }
  EXPECT_EQ(ReadFile(dir.File("plainfile")), "x");
}

}  // namespace
}  // namespace vyr::platform

#include "platform/profile_file.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <thread>
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

TEST_F(ProfileFileTest, IntegerReadFollowsTheProfileRules) {
  WriteFile(ini,
            "[misc]\nabc=abc\nmixed=12abc\nplain=42\nneg=-1\nempty=\nspaced=  7  \n"
            "huge=99999999999\n");
  EXPECT_EQ(GetPrivateProfileInt("misc", "abc", 5, ini), 0);
  EXPECT_EQ(GetPrivateProfileInt("misc", "mixed", 5, ini), 12);
  EXPECT_EQ(GetPrivateProfileInt("misc", "plain", 5, ini), 42);
  EXPECT_EQ(GetPrivateProfileInt("misc", "missing", 5, ini), 5);
  EXPECT_EQ(GetPrivateProfileInt("nosection", "plain", 9, ini), 9);
  EXPECT_EQ(GetPrivateProfileInt("misc", "neg", 5, ini), -1);  // what "%d" wrote comes back
  EXPECT_EQ(GetPrivateProfileInt("misc", "empty", 5, ini), 5);
  EXPECT_EQ(GetPrivateProfileInt("misc", "spaced", 5, ini), 7);
  GetPrivateProfileInt("misc", "huge", 5, ini);  // wraps, must not crash
}

TEST_F(ProfileFileTest, SectionsAndKeysMatchWithoutRegardToCase) {
  WritePrivateProfileString("misc", "PlaySounds", "0", ini);
  EXPECT_EQ(GetPrivateProfileString("Misc", "playsounds", "1", ini), "0");
  WritePrivateProfileString("MISC", "PLAYSOUNDS", "1", ini);
  EXPECT_EQ(GetPrivateProfileString("misc", "PlaySounds", "", ini), "1");
  // One section and one key in the file, not two.
  std::string text = ReadFile(ini);
  EXPECT_EQ(text, "[misc]\nPLAYSOUNDS=1\n");
}

TEST_F(ProfileFileTest, FirstSectionAndFirstKeyWinAndQuotesAndBlanksAreDropped) {
  WriteFile(ini,
            "[a]\nk=first\nk=second\n[b]\nx=1\n[A]\nk=third\nonly=later\n"
            "[q]\ndq=\"quoted value\"\nsq='single'\nhalf=\"open\n  padded  =  both sides  \n");
  EXPECT_EQ(GetPrivateProfileString("a", "k", "", ini), "first");
  EXPECT_EQ(GetPrivateProfileString("a", "only", "none", ini), "none");
  EXPECT_EQ(GetPrivateProfileString("q", "dq", "", ini), "quoted value");
  EXPECT_EQ(GetPrivateProfileString("q", "sq", "", ini), "single");
  EXPECT_EQ(GetPrivateProfileString("q", "half", "", ini), "\"open");
  EXPECT_EQ(GetPrivateProfileString("q", "padded", "", ini), "both sides");
}

TEST_F(ProfileFileTest, BufferSizeCutsValuesAndDefaults) {
  WritePrivateProfileString("s", "long", std::string(300, 'v'), ini);
  EXPECT_EQ(GetPrivateProfileString("s", "long", "", ini, 254).size(), 253u);
  EXPECT_EQ(GetPrivateProfileString("s", "long", "", ini).size(), 300u);
  EXPECT_EQ(GetPrivateProfileString("s", "none", std::string(400, 'd'), ini, 254).size(), 253u);
}

TEST_F(ProfileFileTest, WritesKeepEverythingElseOfTheFile) {
  WriteFile(ini,
            "; a comment\r\n[misc]\r\nPlaySounds=1\r\n\r\n[Startup]\r\nRanOnce=1\r\n"
            "this line is not a key\r\n");
  WritePrivateProfileString("misc", "Transitions", "0", ini);
  WritePrivateProfileString("Startup", "RanOnce", "0", ini);
  WritePrivateProfileString("New", "k", "v", ini);
  EXPECT_EQ(ReadFile(ini),
            "; a comment\r\n[misc]\r\nPlaySounds=1\r\nTransitions=0\r\n\r\n[Startup]\r\n"
            "RanOnce=0\r\nthis line is not a key\r\n[New]\r\nk=v\r\n");
}

TEST_F(ProfileFileTest, LineBreaksInAValueCannotAddKeysOrSections) {
  WritePrivateProfileString("misc", "Home", "http://x/\n[evil]\nPlaySounds=0", ini);
  EXPECT_EQ(ReadProfileSectionNames(ini), std::vector<std::string>{"misc"});
  EXPECT_EQ(GetPrivateProfileString("misc", "Home", "", ini), "http://x/ [evil] PlaySounds=0");
}

TEST_F(ProfileFileTest, SectionCanBeEmptiedAndKeysDeleted) {
  WriteFile(ini, "[TypedURLs]\nurl1=a\nurl2=b\n\n[misc]\nPlaySounds=0\n");
  ASSERT_TRUE(WritePrivateProfileSection("typedurls", {}, ini));
  EXPECT_TRUE(ReadProfileSection(ini, "TypedURLs").empty());
  EXPECT_EQ(GetPrivateProfileString("TypedURLs", "url1", "gone", ini), "gone");
  EXPECT_EQ(GetPrivateProfileString("misc", "PlaySounds", "", ini), "0");
  ASSERT_TRUE(DeleteProfileKey("misc", "playsounds", ini));
  EXPECT_EQ(GetPrivateProfileString("misc", "PlaySounds", "gone", ini), "gone");
  ASSERT_TRUE(WritePrivateProfileSection("misc", {{"a", "1"}, {"b", "2"}}, ini));
  EXPECT_EQ(ReadProfileSection(ini, "MISC"),
            (std::vector<std::pair<std::string, std::string>>{{"a", "1"}, {"b", "2"}}));
}

TEST_F(ProfileFileTest, ChangesMadeOutsideTheProcessAreSeenByTheNextRead) {
  WritePrivateProfileString("misc", "k", "one", ini);
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "", ini), "one");
  // Another program replaces the file with one of the same size and the same
  // modification time: only the file's identity tells it changed.
  struct stat before {};
  ASSERT_EQ(::stat(ini.c_str(), &before), 0);
  WriteFile(ini + ".new", "[misc]\nk=two\n");
  timespec times[2] = {before.st_atim, before.st_mtim};
  ASSERT_EQ(::utimensat(AT_FDCWD, (ini + ".new").c_str(), times, 0), 0);
  ASSERT_EQ(::rename((ini + ".new").c_str(), ini.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "", ini), "two");
  // An edit in place that changes the size.
  WriteFile(ini, "[misc]\nk=three!\n");
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "", ini), "three!");
  std::filesystem::remove(ini);
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "default", ini), "default");
}

TEST_F(ProfileFileTest, ConcurrentWritersInOneProcessLoseNoKey) {
  constexpr int kThreads = 8, kKeys = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int k = 0; k < kKeys; ++k) {
        std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
        WritePrivateProfileString(t % 2 ? "odd" : "even", key, std::to_string(t * 1000 + k), ini);
        // Readers run alongside and always see a whole file.
        EXPECT_EQ(GetPrivateProfileString(t % 2 ? "odd" : "even", key, "", ini),
                  std::to_string(t * 1000 + k));
      }
    });
  }
  for (auto& th : threads) th.join();
  ClearProfileCache();  // read what is on disk
  for (int t = 0; t < kThreads; ++t) {
    for (int k = 0; k < kKeys; ++k) {
      std::string key = "t" + std::to_string(t) + "k" + std::to_string(k);
      EXPECT_EQ(GetPrivateProfileInt(t % 2 ? "ODD" : "EVEN", key, -1, ini), t * 1000 + k) << key;
    }
  }
}

TEST_F(ProfileFileTest, ConcurrentWritersInSeveralProcessesLoseNoKey) {
  constexpr int kProcs = 4, kKeys = 25;
  std::vector<pid_t> children;
  for (int p = 0; p < kProcs; ++p) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ClearProfileCache();
      bool ok = true;
      for (int k = 0; k < kKeys; ++k) {
        ok = WritePrivateProfileString("shared", "p" + std::to_string(p) + "k" + std::to_string(k),
                                       "v", ini) && ok;
      }
      ::_exit(ok ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(ReadProfileSection(ini, "shared").size(), static_cast<size_t>(kProcs * kKeys));
}

TEST_F(ProfileFileTest, AKilledWriterNeverLeavesAPartialProfile) {
  for (int k = 0; k < 200; ++k) {
    WritePrivateProfileString("base", "key" + std::to_string(k), std::string(50, 'x'), ini);
  }
  const std::string whole = ReadFile(ini);
  for (int round = 0; round < 5; ++round) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ClearProfileCache();
      for (int i = 0;; ++i) {
        WritePrivateProfileString("churn", "n", std::to_string(i) + std::string(i % 5000, 'y'), ini);
      }
    }
    // Let the writer get going (it may be scheduled late on a busy
    // machine), then kill it at some moment in the middle of its writes.
    for (int wait = 0; wait < 400 && test::ReadFile(ini).find("[churn]") == std::string::npos; ++wait) {
      ::usleep(5000);
    }
    ::usleep(5000 + round * 7000);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    ClearProfileCache();
    auto base = ReadProfileSection(ini, "base");
    ASSERT_EQ(base.size(), 200u) << "round " << round;
    EXPECT_EQ(base.back().second, std::string(50, 'x'));
    std::string n = GetPrivateProfileString("churn", "n", "", ini);
    EXPECT_FALSE(n.empty());
    size_t digits = n.find_first_not_of("0123456789");
    int i = std::stoi(n.substr(0, digits));
    EXPECT_EQ(n.size(), (digits == std::string::npos ? n.size() : digits) + i % 5000);
  }
  // Temporary files left by the killed writers are ignored, and the next
  // write still works.
  ASSERT_TRUE(WritePrivateProfileString("after", "ok", "1", ini));
  EXPECT_EQ(GetPrivateProfileString("after", "ok", "", ini), "1");
  EXPECT_EQ(ReadProfileSection(ini, "base").size(), 200u);
}

TEST_F(ProfileFileTest, LeftoverTemporaryFileDoesNotDisturbReadsOrWrites) {
  WritePrivateProfileString("misc", "k", "whole", ini);
  WriteFile(ini + ".~999.0.tmp", "[misc]\nk=hal");  // as a crash would leave it
  ClearProfileCache();
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "", ini), "whole");
  ASSERT_TRUE(WritePrivateProfileString("misc", "k2", "more", ini));
  EXPECT_EQ(ReadFile(ini), "[misc]\nk=whole\nk2=more\n");
}

TEST_F(ProfileFileTest, GarbageLongLinesAndHighBytesAreSurvived) {
  std::string garbage = "\x01\x02\xFF\xFE garbage [[[ ===\n";
  garbage += std::string(1 << 20, 'L') + "\n";                // a 1 MiB line
  garbage += "[misc]\nname=M\xC3\xBCller \xE9t\xE9\n";         // bytes above 127
  garbage += "=no key\n]]]\n[unterminated\nk=in unterminated\n";
  garbage += std::string("nul\0byte=1\n", 11);
  garbage += "[big]\nv=" + std::string(100000, 'B') + "\n";
  WriteFile(ini, garbage);
  EXPECT_EQ(GetPrivateProfileString("misc", "name", "", ini), "M\xC3\xBCller \xE9t\xE9");
  EXPECT_EQ(GetPrivateProfileString("misc", "missing", "def", ini), "def");
  EXPECT_EQ(GetPrivateProfileString("unterminated", "k", "", ini), "in unterminated");
  EXPECT_EQ(GetPrivateProfileString("big", "v", "", ini).size(), 100000u);
  ASSERT_TRUE(WritePrivateProfileString("misc", "added", "1", ini));
  std::string after = ReadFile(ini);
  EXPECT_NE(after.find(std::string(1 << 20, 'L')), std::string::npos);
  EXPECT_NE(after.find("\x01\x02\xFF\xFE garbage"), std::string::npos);
  EXPECT_EQ(GetPrivateProfileString("misc", "name", "", ini), "M\xC3\xBCller \xE9t\xE9");
}

TEST_F(ProfileFileTest, UnwritableLocationFailsWithoutTouchingAnything) {
  WriteFile(dir.File("plainfile"), "x");
  std::string bad = dir.File("plainfile/sub/vyr20.ini");
  EXPECT_FALSE(WritePrivateProfileString("misc", "k", "v", bad));
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "def", bad), "def");
  EXPECT_EQ(GetPrivateProfileInt("misc", "k", 3, bad), 3);
  EXPECT_FALSE(WritePrivateProfileString("misc", "k", "v", ""));
  EXPECT_EQ(ReadFile(dir.File("plainfile")), "x");
}

TEST_F(ProfileFileTest, AProfilePathThatIsAFolderReadsAsEmpty) {
  std::filesystem::create_directories(ini);
  EXPECT_EQ(GetPrivateProfileString("misc", "k", "def", ini), "def");
  EXPECT_FALSE(WritePrivateProfileString("misc", "k", "v", ini));
}

}  // namespace
}  // namespace vyr::platform

#include "archive/zip_archive.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <set>

#include "tools/test_support.h"
#include "tools/zip_builder.h"

namespace vyr {
namespace {

namespace fs = std::filesystem;
using test::ZipMember;

// Every file below root, as paths relative to it.
std::set<std::string> FilesBelow(const std::string& root) {
  std::set<std::string> files;
  for (auto& e : fs::recursive_directory_iterator(root)) {
    if (e.is_symlink() || !e.is_directory()) files.insert(e.path().lexically_relative(root).string());
  }
  return files;
}

struct ZipCase {
  const char* label;
  std::vector<ZipMember> members;
  bool opens;
  bool extracts;
  // What the scratch folder holds afterwards ("out/..." is the target).
  std::set<std::string> files;
};

TEST(ZipArchiveTest, ExtractsSafeMembersAndRefusesEscapes) {
  const ZipCase cases[] = {
      {"nested folders",
       {{"a.txt", "one"}, {"sub/", ""}, {"sub/deep/b.txt", "two"}, {"win\\c.txt", "three"},
        {"old.txt", "new"}},
       true,
       true,
       {"out/a.txt", "out/sub/deep/b.txt", "out/win/c.txt", "out/old.txt"}},
      {"existing file replaced", {{"old.txt", "new"}}, true, true, {"out/old.txt"}},
      {"dot-dot", {{"fine.txt", "x"}, {"../evil", "bad"}}, true, false, {"out/old.txt"}},
      {"dot-dot inside", {{"a/../../evil", "bad"}}, true, false, {"out/old.txt"}},
      {"absolute", {{"/tmp/evil", "bad"}}, true, false, {"out/old.txt"}},
      {"backslash dot-dot", {{"..\\evil", "bad"}}, true, false, {"out/old.txt"}},
      {"drive path", {{"C:\\evil", "bad"}}, true, false, {"out/old.txt"}},
      {"symlink member", {{"link", "/etc", 0120777}}, true, false, {"out/old.txt"}},
      {"through a planted link", {{"planted/evil", "bad"}}, true, false, {"out/old.txt", "out/planted"}},
  };
  for (const ZipCase& c : cases) {
    SCOPED_TRACE(c.label);
    test::TempDir scratch;
    const std::string out = scratch.File("out");
    fs::create_directories(out);
    fs::create_directories(scratch.File("outside"));
    test::WriteFile(out + "/old.txt", "old");
    if (std::string(c.label) == "through a planted link") {
      fs::create_directory_symlink(scratch.File("outside"), out + "/planted");
    }
    test::TempDir archives;
    const std::string zip = archives.File("p.zip");
    ASSERT_TRUE(test::WriteZip(zip, c.members));

    ZipArchive archive;
    EXPECT_EQ(archive.Open(zip), c.opens);
    EXPECT_EQ(archive.MemberCount(), static_cast<std::int64_t>(c.members.size()));
    EXPECT_EQ(archive.ExtractAll(out), c.extracts) << archive.ErrorText();
    EXPECT_EQ(FilesBelow(scratch.Path()), c.files);
    // Written members hold their data; a refused archive changes nothing.
    EXPECT_EQ(test::ReadFile(out + "/old.txt"), c.extracts ? c.members.back().data : "old");
  }
}

TEST(ZipArchiveTest, RefusesFilesThatAreNoWholeArchive) {
  test::TempDir dir;
  ASSERT_TRUE(test::WriteZip(dir.File("whole.zip"), {{"a.txt", std::string(5000, 'a')}}));
  const std::string whole = test::ReadFile(dir.File("whole.zip"));
  test::WriteFile(dir.File("cut.zip"), whole.substr(0, whole.size() - 30));
  test::WriteFile(dir.File("text.zip"), "This is not an archive.\n");
  for (const char* name : {"cut.zip", "text.zip"}) {
    ZipArchive archive;
    EXPECT_FALSE(archive.Open(dir.File(name)) || archive.ExtractAll(dir.Path())) << name;
    EXPECT_TRUE(archive.OpenError()) << name;
  }
}

}  // namespace
}  // namespace vyr

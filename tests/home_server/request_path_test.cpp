// The request target's checks and the containment of every opened file in
// its served folder, links included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "home_server/content_folder.h"
#include "home_server/request_path.h"
#include "tools/test_support.h"

namespace vyr::home {
namespace {

using test::WriteFile;
using Segments = std::vector<std::string>;

TEST(RequestTarget, OnlyOriginFormWithPlainBytesIsAccepted) {
  EXPECT_EQ(CheckRawTarget("/scripts/vyrcmd.dll?Ping&U=1"), "");
  EXPECT_EQ(CheckRawTarget("/" + std::string(kMaxTargetLength - 1, 'a')), "");
  for (const std::string& target : std::vector<std::string>{"http://127.0.0.1/pages/", "*", "pages/x", "", "/a b", "/a#b", "/a\\b", "/a\x01z",
                                   "/caf\xc3\xa9", "/" + std::string(kMaxTargetLength, 'a')}) {
    EXPECT_NE(CheckRawTarget(target), "") << target;
  }
}

TEST(RequestPath, DecodesOnceAndRefusesEveryWayUp) {
  struct Case {
    std::string path;
    PathVerdict verdict;
    Segments segments;
  };
  const PathVerdict ok = PathVerdict::kOk, bad = PathVerdict::kBadRequest, none = PathVerdict::kNotFound;
  std::string deep;
  for (size_t i = 0; i <= kMaxSegments; ++i) deep += "/d";
  std::vector<Case> cases = {
      {"/", ok, {}},
      {"//a//b/", ok, {"a", "b"}},
      {"/pages/two%20words.html", ok, {"pages", "two words.html"}},
      {"/pages/%252e%252e/x", ok, {"pages", "%2e%2e", "x"}},  // decoded once: a literal name
      {"/etc/passwd", ok, {"etc", "passwd"}},                 // absolute: still below the folder
      {"/.git/config", none, {}},
      {"/pages/%2ehtpasswd", none, {}},
  };
  for (const std::string& path : std::vector<std::string>{
           "/..", "/pages/../../secret.txt", "/pages/%2e%2e/secret.txt", "/pages/%2E%2E%2Fsecret.txt",
        "/pages/..%2f..%2fsecret.txt", "/./x", "/pages\\..\\secret.txt", "/pages/%5c..%5csecret.txt",
        "/pages/a%00.html", "/pages/a%0d%0aX: y", "/pages/%zz", "/pages/%4", "pages/x", "/x/.hidden/../y",
        "/" + std::string(kMaxSegmentLength + 1, 'a'), deep}) {
    cases.push_back({path, bad, {}});
  }
  for (const Case& c : cases) {
    const DecodedPath decoded = DecodeRequestPath(c.path);
    EXPECT_EQ(decoded.verdict, c.verdict) << c.path.substr(0, 80);
    EXPECT_EQ(decoded.segments, c.segments) << c.path.substr(0, 80);
  }
  EXPECT_TRUE(DecodeRequestPath("//a//b/").trailingSlash);
  EXPECT_FALSE(DecodeRequestPath("/a/b").trailingSlash);
}

// A served folder "pages" in a content folder, a secret beside the content
// folder and links of every kind; both ways of opening.
class Containment : public ::testing::TestWithParam<home::Containment> {};

TEST_P(Containment, OpensOnlyWhatStaysInsideTheServedFolder) {
  if (GetParam() == home::Containment::kBeneath && !BeneathOpenAvailable()) GTEST_SKIP() << "no openat2 here";
  test::TempDir scratch;
  WriteFile(scratch.File("secret.txt"), "TOP SECRET");
  WriteFile(scratch.File("root/pages/in.html"), "inside");
  WriteFile(scratch.File("root/pages/sub/deep.html"), "deep");
  WriteFile(scratch.File("root/commands/queue.txt"), "showmail\n");
  ASSERT_EQ(symlink("../../secret.txt", scratch.File("root/pages/out-link").c_str()), 0);
  ASSERT_EQ(symlink(scratch.File("secret.txt").c_str(), scratch.File("root/pages/abs-link").c_str()), 0);
  ASSERT_EQ(symlink("../commands", scratch.File("root/pages/up-dir").c_str()), 0);
  ASSERT_EQ(symlink("/etc", scratch.File("root/pages/etc-dir").c_str()), 0);
  ASSERT_EQ(symlink("sub/deep.html", scratch.File("root/pages/in-link").c_str()), 0);
  ASSERT_EQ(mkfifo(scratch.File("root/pages/pipe").c_str(), 0600), 0);

  const std::vector<std::pair<Segments, OpenStatus>> cases = {
      {{"sub"}, OpenStatus::kDirectory},
      {{}, OpenStatus::kDirectory},
      {{"out-link"}, OpenStatus::kOutside},
      {{"abs-link"}, OpenStatus::kOutside},
      {{"up-dir", "queue.txt"}, OpenStatus::kOutside},  // still in the content folder
      {{"etc-dir", "passwd"}, OpenStatus::kOutside},
      {{"..", "..", "secret.txt"}, OpenStatus::kOutside},
      {{"sub/../../../secret.txt"}, OpenStatus::kOutside},
      {{""}, OpenStatus::kOutside},
      {{"etc", "passwd"}, OpenStatus::kNotFound},
      {{"missing.html"}, OpenStatus::kNotFound},
      {{"in.html", "below-a-file"}, OpenStatus::kNotFound},
      {{"pipe"}, OpenStatus::kNotFound},  // answered at once, never opened for reading
  };
  for (const auto& [segments, status] : cases) {
    EXPECT_EQ(OpenBelow(scratch.File("root/pages"), segments, GetParam()).status, status)
        << ::testing::PrintToString(segments);
  }
  for (const auto& [name, text] : {std::pair<std::string, std::string>{"in.html", "inside"}, {"in-link", "deep"}}) {
    OpenedFile file = OpenBelow(scratch.File("root/pages"), {name}, GetParam());
    ASSERT_EQ(file.status, OpenStatus::kFile) << name;
    EXPECT_EQ(file.size, text.size());
    std::string read;
    EXPECT_TRUE(ReadAll(file.fd.Get(), read, 1 << 20));
    EXPECT_EQ(read, text);
  }
}

INSTANTIATE_TEST_SUITE_P(BothMethods, Containment,
                         ::testing::Values(home::Containment::kBeneath, home::Containment::kRealPath),
                         [](const auto& info) -> std::string {
                           return info.param == home::Containment::kBeneath ? "Beneath" : "RealPath";
                         });

}  // namespace
}  // namespace vyr::home

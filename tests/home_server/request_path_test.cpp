// The request target's checks and the containment of every opened file in
// its served folder, links included.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "home_server/content_folder.h"
#include "home_server/request_path.h"
#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ScratchFolder;
using testing::WriteFile;
using Segments = std::vector<std::string>;

TEST(RequestTarget, AcceptsOriginFormAndSplitsTheQueryAtTheFirstMark) {
  EXPECT_EQ(CheckRawTarget("/scripts/vyrcmd.dll?Ping&U=1"), "");
  const TargetParts parts = SplitTarget("/resolver.dll?realname=a?b");
  EXPECT_EQ(parts.path, "/resolver.dll");
  EXPECT_EQ(parts.query, "realname=a?b");
  EXPECT_TRUE(parts.hasQuery);
  const TargetParts none = SplitTarget("/pages/");
  EXPECT_EQ(none.path, "/pages/");
  EXPECT_FALSE(none.hasQuery);
}

TEST(RequestTarget, RefusesOtherFormsAndBytes) {
  for (const char* target : {"http://127.0.0.1/pages/", "*", "pages/x", "", "/a b", "/a\tb", "/a#b", "/a\\b",
                             "/a\x01z", "/caf\xc3\xa9"}) {
    EXPECT_NE(CheckRawTarget(target), "") << target;
  }
  EXPECT_NE(CheckRawTarget("/" + std::string(kMaxTargetLength, 'a')), "");
  EXPECT_EQ(CheckRawTarget("/" + std::string(kMaxTargetLength - 1, 'a')), "");
}

TEST(RequestPath, DecodesOnceIntoPlainSegments) {
  const DecodedPath plain = DecodeRequestPath("/channels/chanfixed.vyr");
  ASSERT_EQ(plain.verdict, PathVerdict::kOk);
  EXPECT_EQ(plain.segments, (Segments{"channels", "chanfixed.vyr"}));
  EXPECT_FALSE(plain.trailingSlash);

  const DecodedPath doubled = DecodeRequestPath("//a//b/");
  ASSERT_EQ(doubled.verdict, PathVerdict::kOk);
  EXPECT_EQ(doubled.segments, (Segments{"a", "b"}));
  EXPECT_TRUE(doubled.trailingSlash);

  const DecodedPath blank = DecodeRequestPath("/pages/two%20words.html");
  ASSERT_EQ(blank.verdict, PathVerdict::kOk);
  EXPECT_EQ(blank.segments, (Segments{"pages", "two words.html"}));

  // Decoded once: "%252e%252e" is the literal name "%2e%2e", never "..".
  const DecodedPath twice = DecodeRequestPath("/pages/%252e%252e/x");
  ASSERT_EQ(twice.verdict, PathVerdict::kOk);
  EXPECT_EQ(twice.segments, (Segments{"pages", "%2e%2e", "x"}));

  // An absolute path is a path below the served folder like any other.
  const DecodedPath absolute = DecodeRequestPath("/etc/passwd");
  ASSERT_EQ(absolute.verdict, PathVerdict::kOk);
  EXPECT_EQ(absolute.segments, (Segments{"etc", "passwd"}));

  EXPECT_EQ(DecodeRequestPath("/").segments, Segments{});
}

TEST(RequestPath, RefusesEveryWayUpAndEveryHiddenByte) {
  for (const char* path : {"/..", "/../secret.txt", "/pages/../../secret.txt", "/pages/%2e%2e/secret.txt",
                           "/pages/%2E%2E%2Fsecret.txt", "/pages/..%2f..%2fsecret.txt", "/pages/%2e%2E/x",
                           "/./x", "/pages/%2e/x", "/pages\\..\\secret.txt", "/pages/%5c..%5csecret.txt",
                           "/pages/a%00.html", "/pages/a%0d%0aX: y", "/pages/a%7f", "/pages/%zz", "/pages/%4",
                           "pages/x", "/x/.hidden/../y"}) {
    const DecodedPath decoded = DecodeRequestPath(path);
    EXPECT_EQ(decoded.verdict, PathVerdict::kBadRequest) << path;
    EXPECT_TRUE(decoded.segments.empty()) << path;
  }
  EXPECT_EQ(DecodeRequestPath("/" + std::string(kMaxSegmentLength + 1, 'a')).verdict, PathVerdict::kBadRequest);
  std::string deep;
  for (size_t i = 0; i <= kMaxSegments; ++i) deep += "/d";
  EXPECT_EQ(DecodeRequestPath(deep).verdict, PathVerdict::kBadRequest);
}

TEST(RequestPath, HiddenNamesAreNotFound) {
  EXPECT_EQ(DecodeRequestPath("/.git/config").verdict, PathVerdict::kNotFound);
  EXPECT_EQ(DecodeRequestPath("/pages/.htpasswd").verdict, PathVerdict::kNotFound);
  EXPECT_EQ(DecodeRequestPath("/pages/%2ehtpasswd").verdict, PathVerdict::kNotFound);
}

// A served folder "pages" inside a content folder, a secret beside the
// content folder and links of every kind.
class Containment : public ::testing::TestWithParam<home::Containment> {
 protected:
  void SetUp() override {
    if (GetParam() == home::Containment::kBeneath && !BeneathOpenAvailable()) {
      GTEST_SKIP() << "openat2 is not available here";
    }
    WriteFile(scratch_ / "secret.txt", "TOP SECRET");
    WriteFile(scratch_ / "root/pages/in.html", "inside");
    WriteFile(scratch_ / "root/pages/sub/deep.html", "deep");
    WriteFile(scratch_ / "root/commands/queue.txt", "showmail\n");
    ASSERT_EQ(symlink("../../secret.txt", (scratch_ / "root/pages/out-link").c_str()), 0);
    ASSERT_EQ(symlink((scratch_ / "secret.txt").c_str(), (scratch_ / "root/pages/abs-link").c_str()), 0);
    ASSERT_EQ(symlink("../commands", (scratch_ / "root/pages/up-dir").c_str()), 0);
    ASSERT_EQ(symlink("/etc", (scratch_ / "root/pages/etc-dir").c_str()), 0);
    ASSERT_EQ(symlink("sub/deep.html", (scratch_ / "root/pages/in-link").c_str()), 0);
    ASSERT_EQ(mkfifo((scratch_ / "root/pages/pipe").c_str(), 0600), 0);
  }

  OpenedFile Open(const Segments& segments) { return OpenBelow(scratch_ / "root/pages", segments, GetParam()); }
  std::string Read(OpenedFile& opened) {
    std::string text;
    EXPECT_TRUE(ReadAll(opened.fd.Get(), text, 1 << 20));
    return text;
  }

  ScratchFolder scratch_;
};

TEST_P(Containment, OpensFilesAndLinksThatStayInside) {
  OpenedFile file = Open({"in.html"});
  ASSERT_EQ(file.status, OpenStatus::kFile);
  EXPECT_EQ(file.size, 6u);
  EXPECT_EQ(Read(file), "inside");

  OpenedFile viaLink = Open({"in-link"});
  ASSERT_EQ(viaLink.status, OpenStatus::kFile);
  EXPECT_EQ(Read(viaLink), "deep");

  EXPECT_EQ(Open({"sub"}).status, OpenStatus::kDirectory);
  EXPECT_EQ(Open({}).status, OpenStatus::kDirectory);
}

TEST_P(Containment, RefusesLinksThatLeadOut) {
  EXPECT_EQ(Open({"out-link"}).status, OpenStatus::kOutside);
  EXPECT_EQ(Open({"abs-link"}).status, OpenStatus::kOutside);
  // Out of the served folder, though still inside the content folder.
  EXPECT_EQ(Open({"up-dir", "queue.txt"}).status, OpenStatus::kOutside);
  EXPECT_EQ(Open({"etc-dir", "passwd"}).status, OpenStatus::kOutside);
}

TEST_P(Containment, NamesThatAreNotPlainNeverReachOutside) {
  EXPECT_EQ(Open({"..", "..", "secret.txt"}).status, OpenStatus::kOutside);
  EXPECT_EQ(Open({"sub/../../../secret.txt"}).status, OpenStatus::kOutside);
  EXPECT_EQ(Open({""}).status, OpenStatus::kOutside);
  // "/etc/passwd" as the decoder gives it: a path below the folder.
  EXPECT_EQ(Open({"etc", "passwd"}).status, OpenStatus::kNotFound);
}

TEST_P(Containment, MissingFilesAndPipesAreNotFound) {
  EXPECT_EQ(Open({"missing.html"}).status, OpenStatus::kNotFound);
  EXPECT_EQ(Open({"in.html", "below-a-file"}).status, OpenStatus::kNotFound);
  // A pipe would hold the open up if it were opened for reading; it is
  // answered at once as nothing to serve.
  EXPECT_EQ(Open({"pipe"}).status, OpenStatus::kNotFound);
}

INSTANTIATE_TEST_SUITE_P(BothMethods, Containment,
                         ::testing::Values(home::Containment::kBeneath, home::Containment::kRealPath),
                         [](const ::testing::TestParamInfo<home::Containment>& info) {
                           return info.param == home::Containment::kBeneath ? std::string("Beneath")
                                                                              : std::string("RealPath");
                         });

}  // namespace
}  // namespace vyr::home

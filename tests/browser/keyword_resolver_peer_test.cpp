// The keyword resolver request against a real HTTP server on loopback
// (tests/fixtures/keyword_resolver_server.py).
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <future>

#include "browser/enhanced_browsing.h"

namespace vyr {
namespace {

// The fixture server for the lifetime of the object.
class ResolverServer {
 public:
  ResolverServer()
      : out_(::popen(("exec /usr/bin/python3 " VYRELLE_TEST_FIXTURES_DIR "/keyword_resolver_server.py"), "r")) {
    const std::string first = Line();
    if (first.rfind("PORT ", 0) == 0) host_ = "127.0.0.1:" + first.substr(5);
  }
  ~ResolverServer() {
    if (!host_.empty()) QueryResolver(host_, "/quit", "GET", 80);
    if (out_) ::pclose(out_);
  }
  // "127.0.0.1:PORT", empty when the server did not start.
  const std::string& Host() const { return host_; }
  // The next line the server prints.
  std::string Line() {
    char line[64] = "";
    if (!out_ || !std::fgets(line, sizeof line, out_)) return "";
    return std::string(line, std::strcspn(line, "\n"));
  }

 private:
  FILE* out_;
  std::string host_;
};

TEST(KeywordResolverPeerTest, JudgesTheFirst512BytesOfA200Answer) {
  ResolverServer server;
  ASSERT_FALSE(server.Host().empty()) << "needs /usr/bin/python3 (Debian package python3)";
  const std::pair<const char*, bool> rows[] = {
      {"/page/100/1000", false},  // "Centraal" early: the resolver does not know the word
      {"/page/600/1000", true},   // past byte 512: not looked at
      {"/page/504/1000", false},  // its last byte is byte 512
      {"/page/505/1000", true},   // cut by the 512-byte limit
      {"/page/20/30", false},     {"/page/-1/100", true},
      {"/missing", false},       {"/resolver.dll?realname=two words", true},
  };
  for (const auto& [path, yes] : rows) {
    EXPECT_EQ(QueryResolver(server.Host(), path, "GET", 80), yes) << path;
  }
  const std::string port = server.Host().substr(server.Host().find(':') + 1);
  EXPECT_TRUE(QueryResolver("127.0.0.1", "/page/-1/10", "GET", std::stoi(port)));
  EXPECT_FALSE(QueryResolver("127.0.0.1:1", "/page/-1/10", "GET", 80));  // nobody listens
}

TEST(KeywordResolverPeerTest, StopEndsAWaitingRequest) {
  ResolverServer server;
  ASSERT_FALSE(server.Host().empty());
  std::atomic<bool> stop{false};
  auto answer = std::async(std::launch::async,
                           [&] { return QueryResolver(server.Host(), "/hang", "GET", 80, &stop); });
  ASSERT_EQ(server.Line(), "HANG");
  stop = true;
  // Well inside the request's own 20-second limit.
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(answer.get());
}

}  // namespace
}  // namespace vyr

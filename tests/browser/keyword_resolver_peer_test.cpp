// The keyword resolver request against a real HTTP server on loopback.
#include <gtest/gtest.h>

#include <future>

#include "browser/enhanced_browsing.h"
#include "tools/http_server.h"

namespace vyr {
namespace {

TEST(KeywordResolverPeerTest, JudgesTheFirst512BytesOfA200Answer) {
  test::HttpServer server;
  ASSERT_GT(server.Port(), 0) << "needs /usr/bin/python3 (Debian package python3)";
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  const std::pair<const char*, bool> rows[] = {
      {"/page/100/1000", false},  // "Centraal" early: the resolver does not know the word
      {"/page/600/1000", true},   // past byte 512: not looked at
      {"/page/504/1000", false},  // its last byte is byte 512
      {"/page/505/1000", true},   // cut by the 512-byte limit
      {"/page/20/30", false},     {"/page/-1/100", true},
      {"/missing", false},        {"/resolver.dll?realname=two words", true},
  };
  for (const auto& [path, yes] : rows) {
    EXPECT_EQ(QueryResolver(host, path, "GET", 80), yes) << path;
  }
  EXPECT_TRUE(QueryResolver("127.0.0.1", "/page/-1/10", "GET", server.Port()));
  EXPECT_FALSE(QueryResolver("127.0.0.1:1", "/page/-1/10", "GET", 80));  // nobody listens
}

TEST(KeywordResolverPeerTest, StopEndsAWaitingRequest) {
  test::HttpServer server;
  std::atomic<bool> stop{false};
  auto answer = std::async(std::launch::async,
                           [&] { return QueryResolver("127.0.0.1", "/stall/1", "GET", server.Port(), &stop); });
  ASSERT_EQ(server.Line(), "STALL");
  stop = true;
  // Well inside the request's own 20-second limit.
  ASSERT_EQ(answer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(answer.get());
}

}  // namespace
}  // namespace vyr

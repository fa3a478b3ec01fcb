// The keyword resolver against the real vyrelle-home-server and the fixture server.
#include <gtest/gtest.h>

#include <future>

#include "browser/enhanced_browsing.h"
#include "tools/home_server.h"
#include "tools/http_server.h"

namespace vyr {
namespace {

TEST(KeywordResolverPeerTest, JudgesTheFirst512BytesOfA200Answer) {
  const struct {
    int at, size;  // "Centraal" at byte `at` of a page of `size` bytes; none for -1
    bool known;
  } pages[] = {
      {100, 1000, false},  // early: the resolver does not know the word
      {600, 1000, true},   // past byte 512: not looked at
      {504, 1000, false},  // its last byte is byte 512
      {505, 1000, true},   // cut by the 512-byte limit
      {20, 30, false},     {-1, 100, true},
  };
  const auto page = [](int at, int size) { return "/pages/centraal-" + std::to_string(at) + "-of-" + std::to_string(size); };
  test::HomeServer server([&](const std::string& root) {
    for (const auto& p : pages) {
      std::string body(static_cast<size_t>(p.size), 'x');
      if (p.at >= 0) body.replace(static_cast<size_t>(p.at), 8, "Centraal");
      test::WriteFile(root + page(p.at, p.size), body);
    }
    test::WriteFile(root + "/pages/folder/index.html", "<p>folder</p>");
    const std::string words = root + "/resolver/words.txt";
    test::WriteFile(words, test::ReadFile(words) + "two words /pages/news.html\n");
  });
  ASSERT_GT(server.Port(), 0) << server.Errors();
  const std::string host = "127.0.0.1:" + std::to_string(server.Port());
  std::vector<std::pair<std::string, bool>> rows = {
      {"/resolver.dll?realname=two words", true},      // a word of the list; blanks go as "+"
      {"//resolver.dll?realname=Two%20Words", true},   // as the browser window asks
      {"/resolver.dll?realname=three words", false},   // 404, and "Centraal" in the page
      {"/missing", false},
      {"/pages/folder", true},  // redirected to "/pages/folder/"
  };
  for (const auto& p : pages) rows.emplace_back(page(p.at, p.size), p.known);
  for (const auto& [path, known] : rows) {
    EXPECT_EQ(QueryResolver(host, path, "GET", 80), known) << path;
  }
  EXPECT_TRUE(QueryResolver("127.0.0.1", page(-1, 100), "GET", server.Port()));
  EXPECT_FALSE(QueryResolver("127.0.0.1:1", page(-1, 100), "GET", 80));  // nobody listens
  EXPECT_TRUE(server.Stop());
  EXPECT_NE(server.Log("access.log").find(" GET /resolver.dll?realname=two+words 200 "), std::string::npos)
      << server.Log("access.log");
}

// The fixture plays a server that sends half its answer and then waits.
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

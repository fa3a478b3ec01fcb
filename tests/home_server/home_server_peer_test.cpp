// The real vyrelle-home-server on a loopback port, asked over plain sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "tools/home_server.h"
#include "tools/test_support.h"

namespace vyr::home {
namespace {

using test::ReadFile;
using test::WriteFile;

constexpr char kUser[] = "0123456789ABCDEF0123456789ABCDEF";
constexpr char kOther[] = "FEDCBA9876543210FEDCBA9876543210";
const std::string kStamp = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z";

struct Answer {
  int status = 0;
  std::string body;
};

class HomeServerProgram : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GT(server_.Port(), 0) << server_.Errors(); }

  // Sends the request line with a Host header; reads the body its length names, or to the end.
  Answer Ask(const std::string& requestLine) {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{60, 0};  // only a guard against a hung test
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server_.Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    Answer answer;
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ADD_FAILURE() << "cannot connect";
      close(sock);
      return answer;
    }
    const std::string request = requestLine + "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    send(sock, request.data(), request.size(), MSG_NOSIGNAL);
    std::string all;
    char buffer[65536];
    ssize_t got;
    std::smatch match;
    const std::regex length("\r\nContent-Length: ([0-9]+)", std::regex::icase);
    while ((got = recv(sock, buffer, sizeof buffer, 0)) > 0) {
      all.append(buffer, static_cast<size_t>(got));
      const size_t end = all.find("\r\n\r\n");
      const std::string head = all.substr(0, end);
      if (end != std::string::npos && std::regex_search(head, match, length) &&
          all.size() >= end + 4 + std::stoul(match[1])) {
        break;
      }
    }
    close(sock);
    if (std::regex_search(all, match, std::regex("^HTTP/1\\.[01] ([0-9]{3})"))) answer.status = std::stoi(match[1]);
    const size_t split = all.find("\r\n\r\n");
    if (split != std::string::npos) answer.body = all.substr(split + 4);
    return answer;
  }

  Answer Get(const std::string& target) { return Ask("GET " + target + " HTTP/1.1"); }
  std::string Session(const std::string& verb, const std::string& user, const std::string& rest) {
    const Answer answer = Get("/scripts/vyrcmd.dll?" + verb + "&U=" + user + "&B=Default" + rest);
    EXPECT_EQ(answer.status, 200) << verb << rest;
    return answer.body;
  }

  // A secret beside the content folder, and links that lead out of it.
  std::string secret_;
  test::HomeServer server_{[this](const std::string& root) {
    secret_ = std::filesystem::path(root).parent_path() / "secret.txt";
    WriteFile(secret_, "SECRET-7f3a9c");
    std::filesystem::create_symlink("../../secret.txt", root + "/pages/out-link");
    std::filesystem::create_symlink(secret_, root + "/channels/abs-link.vyr");
    std::filesystem::create_symlink("..", root + "/pages/up");
  }};
};

TEST_F(HomeServerProgram, PathEscapesAreRefusedAndNothingOutsideIsRead) {
  const Answer channels = Get("/channels/chanfixed.vyr");
  EXPECT_EQ(channels.status, 200);
  EXPECT_EQ(channels.body, ReadFile(server_.File("channels/chanfixed.vyr")));
  EXPECT_NE(channels.body.find("~CH:Server News"), std::string::npos);

  // Every refusal is 400 or 404, and nothing outside the served folders gets out.
  // (Every spelling of a way up: request_path_test.cpp.)
  const std::vector<std::string> lines = {
      "/../secret.txt", "/pages/%2e%2e/%2e%2e/secret.txt", "/channels/..%2f..%2fsecret.txt", "/etc/passwd",
      "//etc/passwd", secret_, "/pages\\..\\..\\secret.txt", "/pages/index.html%00.txt", "/pages/out-link",
      "/channels/abs-link.vyr", "/pages/up/commands/queue.txt", "/commands/queue.txt", "/logs/usage.log"};
  WriteFile(server_.File("commands/queue.txt"), "showmail-queued\n");
  for (const std::string& target : lines) {
    const Answer answer = Get(target);
    EXPECT_TRUE(answer.status == 400 || answer.status == 404) << target << " -> " << answer.status;
    for (const char* leak : {"SECRET-7f3a9c", "root:x:0:0", "showmail-queued"}) {
      EXPECT_EQ(answer.body.find(leak), std::string::npos) << target;
    }
  }
  for (const char* line : {"GET http://127.0.0.1/../secret.txt HTTP/1.1", "GET secret.txt HTTP/1.1"}) {
    EXPECT_EQ(Ask(line).status, 400) << line;
  }
  EXPECT_EQ(Get("/pages/%2e%2e/x").status, 400);
  EXPECT_EQ(Get("/pages/out-link").status, 404);
  EXPECT_EQ(ReadFile(server_.File("commands/queue.txt")), "showmail-queued\n");
}

TEST_F(HomeServerProgram, SessionsAreLoggedAndEachQueuedCommandGoesOutOnce) {
  const std::string queue = server_.File("commands/queue.txt");
  WriteFile(queue, std::string("# note\nshowmail\n@") + kOther + " pinginterval 5\n* ibpush 2 http://h/ibox-2.zip\n");
  EXPECT_EQ(Session("Login", kUser, "&TZ=-1&CD=2&SW=1920&SH=1080&OS=2.6.1.0"),
            "PONG#showmail#ibpush 2 http://h/ibox-2.zip#");
  // A triple with "+" for blanks and one with "%20": both acknowledged with "+".
  EXPECT_EQ(Session("Ping", kUser, "&MO=17&S=2&PV=40&URL=5+3+1+&IBA=101%204%200%20"),
            "PONG#ack S=2&PV=40&URL=5+3+1&IBA=101+4+0#");
  EXPECT_EQ(Session("Ping", kOther, "&MO=1"), "PONG#pinginterval 5#ibpush 2 http://h/ibox-2.zip#");
  EXPECT_EQ(Session("Ping", kOther, "&MO=18&IBA="), "PONG#");
  // The one-time commands left the queue; the one for everyone stays.
  EXPECT_EQ(ReadFile(queue), "# note\n* ibpush 2 http://h/ibox-2.zip\n");
  // A logout never takes a command.
  WriteFile(queue, "showmail\n");
  EXPECT_EQ(Session("Logout", kUser, "&MO=19"), "PONG#");
  EXPECT_EQ(ReadFile(queue), "showmail\n");
  EXPECT_TRUE(server_.Stop());
  const std::string usage = server_.Log("usage.log"), u = std::string("\t") + kUser + "\t";
  EXPECT_TRUE(std::regex_match(
      usage, std::regex(kStamp + "\tLogin" + u + "-\tB=Default&TZ=-1&CD=2&SW=1920&SH=1080&OS=2\\.6\\.1\\.0\n" +
                        kStamp + "\tPing" + u + "17\tB=Default&S=2&PV=40&URL=5\\+3\\+1\\+&IBA=101%204%200%20\n" +
                        kStamp + "\tPing\t" + kOther + "\t1\tB=Default\n" + kStamp + "\tPing\t" + kOther +
                        "\t18\tB=Default&IBA=\n" + kStamp + "\tLogout" + u + "19\tB=Default\n")))
      << usage;
  const std::string sent = server_.Log("commands.log");
  EXPECT_EQ(std::count(sent.begin(), sent.end(), '\n'), 4) << sent;
  EXPECT_TRUE(std::regex_search(sent, std::regex(std::string("\t") + kOther + "\tibpush 2 http://h/ibox-2.zip\n$")))
      << sent;
}

TEST_F(HomeServerProgram, TheResolverLeadsToTheWordsAddressAndRereadsItsList) {
  EXPECT_NE(Get("/resolver.dll?realname=server+news").body.find("url=/pages/news.html"), std::string::npos);
  EXPECT_EQ(Get("/resolver.dll?realname=nosuchword").status, 404);
  WriteFile(server_.File("resolver/words.txt"), "nosuchword /pages/index.html\n");
  EXPECT_EQ(Get("/resolver.dll?realname=nosuchword").status, 200);
}

TEST_F(HomeServerProgram, MalformedRequestsAre400AndLeaveNoUsageLine) {
  const std::string u = std::string("&U=") + kUser;
  // (Every malformed session query: session_query_test.cpp.)
  const std::vector<std::string> targets = {
      "/scripts/vyrcmd.dll", "/scripts/vyrcmd.dll?Ping" + u + "&B=Default", "/scripts/vyrcmd.dll?Ping" + u +
      "&MO=1&B=a%0Ab", "/scripts/vyrcmd.dll?Ping" + u + "&MO=1&S=" + std::string(7000, '1'), "/resolver.dll",
      "/resolver.dll?realname=a%00b", "/resolver.dll?word=news", "/pages/%zz"};
  for (const std::string& target : targets) EXPECT_EQ(Get(target).status, 400) << target.substr(0, 80);
  EXPECT_EQ(Ask("GET /pages/a b HTTP/1.1").status, 400);
  EXPECT_EQ(Ask("GET * HTTP/1.1").status, 400);
  EXPECT_EQ(Ask("DELETE /channels/chanfixed.vyr HTTP/1.1").status, 405);
  EXPECT_TRUE(server_.Stop());
  EXPECT_EQ(server_.Log("usage.log"), "");
}

}  // namespace
}  // namespace vyr::home

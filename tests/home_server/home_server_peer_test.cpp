// The real vyrelle-home-server on a free loopback port, serving a scratch
// copy of data/home-server, asked over plain sockets.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <regex>

#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ReadFile;
using testing::WriteFile;

constexpr char kUser[] = "0123456789ABCDEF0123456789ABCDEF";
constexpr char kOther[] = "FEDCBA9876543210FEDCBA9876543210";
const std::string kStamp = "[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z";

struct Answer {
  int status = 0;
  std::string body;
};

class HomeServerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = scratch_ / "content";
    logs_ = scratch_ / "logs";
    std::filesystem::copy(VYRELLE_HOME_SERVER_SAMPLE, content_, std::filesystem::copy_options::recursive);
    for (const char* left : {"/logs", "/commands/delivered.txt", "/commands/queue.lock"}) {
      std::filesystem::remove_all(content_ + left);
    }
    WriteFile(scratch_ / "secret.txt", "SECRET-7f3a9c");
    ASSERT_EQ(symlink("../../secret.txt", (content_ + "/pages/out-link").c_str()), 0);
    ASSERT_EQ(symlink((scratch_ / "secret.txt").c_str(), (content_ + "/channels/abs-link.vyr").c_str()), 0);
    ASSERT_EQ(symlink("..", (content_ + "/pages/up").c_str()), 0);
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(out[1], 1);
      execl(VYRELLE_HOME_SERVER_PROGRAM, VYRELLE_HOME_SERVER_PROGRAM, "--root", content_.c_str(), "--port", "0",
            "--log-dir", logs_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    // The program prints its address once it is listening.
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)/");
    std::string printed;
    std::smatch match;
    char c;
    while (read(out[0], &c, 1) == 1 && !(c == '\n' && std::regex_search(printed, match, listening))) printed += c;
    close(out[0]);
    ASSERT_TRUE(std::regex_search(printed, match, listening)) << printed;
    port_ = std::stoi(match[1]);
  }

  void TearDown() override {
    if (pid_ > 0) Stop();
  }

  // SIGTERM; the logs are complete once the program has ended with 0.
  void Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  // Sends the request line with a Host header and reads the answer: to the
  // end of the body its length names, or to the connection's end.
  Answer Ask(const std::string& requestLine) {
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    timeval limit{60, 0};  // only a guard against a hung test
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
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

  testing::ScratchFolder scratch_;
  std::string content_;
  std::string logs_;
  pid_t pid_ = -1;
  int port_ = 0;
};

TEST_F(HomeServerProgram, PathEscapesAreRefusedAndNothingOutsideIsRead) {
  const Answer channels = Get("/channels/chanfixed.vyr");
  EXPECT_EQ(channels.status, 200);
  EXPECT_EQ(channels.body, ReadFile(content_ + "/channels/chanfixed.vyr"));
  EXPECT_NE(channels.body.find("~CH:Server News"), std::string::npos);

  // Every refusal is 400 or 404, and neither the secret beside the content
  // folder, /etc/passwd nor the files kept in the content folder get out.
  const std::vector<std::string> lines = {
      "/../secret.txt", "/pages/../../secret.txt", "/%2e%2e/secret.txt", "/pages/%2e%2e/%2e%2e/secret.txt",
      "/pages/%2E%2E%2F%2E%2E%2Fsecret.txt", "/channels/..%2f..%2fsecret.txt", "/.%2e/secret.txt",
      "/etc/passwd", "//etc/passwd", "/pages/%2Fetc%2Fpasswd", scratch_ / "secret.txt",
      "/pages\\..\\..\\secret.txt", "/pages/%5c..%5c..%5csecret.txt", "/pages/index.html%00.txt", "/pages/%00",
      "/pages/out-link", "/channels/abs-link.vyr", "/pages/up/commands/queue.txt", "/pages/up/../secret.txt",
      "/pages/%252e%252e/secret.txt", "/commands/queue.txt", "/logs/usage.log"};
  WriteFile(content_ + "/commands/queue.txt", "showmail-queued\n");
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
  EXPECT_EQ(ReadFile(content_ + "/commands/queue.txt"), "showmail-queued\n");
}

TEST_F(HomeServerProgram, LoginPingAndLogoutAreAnsweredAndLogged) {
  EXPECT_EQ(Session("Login", kUser, "&TZ=-1&CD=2&SW=1920&SH=1080&OS=2.6.1.0"), "PONG#");
  // A triple with "+" for blanks and one with "%20": both acknowledged with "+".
  EXPECT_EQ(Session("Ping", kUser, "&MO=17&S=2&PV=40&URL=5+3+1+&IBA=101%204%200%20"),
            "PONG#ack S=2&PV=40&URL=5+3+1&IBA=101+4+0#");
  EXPECT_EQ(Session("Ping", kUser, "&MO=18&IBA="), "PONG#");
  EXPECT_EQ(Session("Logout", kUser, "&MO=19"), "PONG#");
  Stop();
  const std::string usage = ReadFile(logs_ + "/usage.log");
  const std::string u = std::string("\t") + kUser + "\t";
  EXPECT_TRUE(std::regex_match(
      usage, std::regex(kStamp + "\tLogin" + u + "-\tB=Default&TZ=-1&CD=2&SW=1920&SH=1080&OS=2\\.6\\.1\\.0\n" +
                        kStamp + "\tPing" + u + "17\tB=Default&S=2&PV=40&URL=5\\+3\\+1\\+&IBA=101%204%200%20\n" +
                        kStamp + "\tPing" + u + "18\tB=Default&IBA=\n" + kStamp + "\tLogout" + u + "19\tB=Default\n")))
      << usage;
}

TEST_F(HomeServerProgram, AQueuedCommandGoesOutInTheNextPongExactlyOnce) {
  WriteFile(content_ + "/commands/queue.txt", std::string("# note\nshowmail\n@") + kOther +
                                                  " pinginterval 5\n* ibpush 2 http://h/ibox-2.zip\n");
  EXPECT_EQ(Session("Ping", kUser, "&MO=1"), "PONG#showmail#ibpush 2 http://h/ibox-2.zip#");
  EXPECT_EQ(Session("Ping", kUser, "&MO=2"), "PONG#");
  EXPECT_EQ(Session("Ping", kOther, "&MO=1"), "PONG#pinginterval 5#ibpush 2 http://h/ibox-2.zip#");
  EXPECT_EQ(Session("Ping", kOther, "&MO=2"), "PONG#");
  // The one-time commands left the queue; the one for everyone stays.
  EXPECT_EQ(ReadFile(content_ + "/commands/queue.txt"), "# note\n* ibpush 2 http://h/ibox-2.zip\n");
  // A logout never takes a command.
  WriteFile(content_ + "/commands/queue.txt", "showmail\n");
  EXPECT_EQ(Session("Logout", kUser, "&MO=3"), "PONG#");
  EXPECT_EQ(Session("Ping", kOther, "&MO=3"), "PONG#showmail#");
  Stop();
  const std::string sent = ReadFile(logs_ + "/commands.log");
  EXPECT_EQ(std::count(sent.begin(), sent.end(), '\n'), 5) << sent;
  EXPECT_TRUE(std::regex_search(sent, std::regex(std::string("\t") + kOther + "\tshowmail\n$"))) << sent;
}

TEST_F(HomeServerProgram, TheResolverKnowsTheWordsOfItsList) {
  const Answer known = Get("/resolver.dll?realname=server+news");
  EXPECT_EQ(known.status, 200);
  EXPECT_NE(known.body.find("url=/pages/news.html"), std::string::npos);
  EXPECT_EQ(known.body.substr(0, 512).find("Centraal"), std::string::npos);
  // The program's browser window asks "//resolver.dll" with "%20" blanks.
  EXPECT_EQ(Get("//resolver.dll?realname=Server%20News").body, known.body);
  const Answer unknown = Get("/resolver.dll?realname=nosuchword");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_NE(unknown.body.substr(0, 512).find("Centraal"), std::string::npos);
  // The list is read again when it changes.
  WriteFile(content_ + "/resolver/words.txt", "nosuchword /pages/index.html\n");
  EXPECT_EQ(Get("/resolver.dll?realname=nosuchword").status, 200);
}

TEST_F(HomeServerProgram, MalformedRequestsAre400AndLeaveNoUsageLine) {
  const std::string u = std::string("&U=") + kUser;
  const std::vector<std::string> targets = {
      "/scripts/vyrcmd.dll", "/scripts/vyrcmd.dll?", "/scripts/vyrcmd.dll?Ping&U=0123&B=Default&MO=1",
      "/scripts/vyrcmd.dll?Ping" + u + "&B=Default", "/scripts/vyrcmd.dll?Ping" + u + "&MO=-1",
      "/scripts/vyrcmd.dll?Ping" + u + "&MO=1&URL=1+2", "/scripts/vyrcmd.dll?Ping" + u + "&MO=1&B=a%0Ab",
      "/scripts/vyrcmd.dll?Pong" + u + "&MO=1", "/scripts/vyrcmd.dll?Logout" + u + "&S=1",
      "/scripts/vyrcmd.dll?Ping" + u + "&MO=1&S=" + std::string(7000, '1'), "/resolver.dll",
      "/resolver.dll?realname=a%00b", "/resolver.dll?word=news", "/pages/%zz"};
  for (const std::string& target : targets) EXPECT_EQ(Get(target).status, 400) << target.substr(0, 80);
  EXPECT_EQ(Ask("GET /pages/a b HTTP/1.1").status, 400);
  EXPECT_EQ(Ask("GET * HTTP/1.1").status, 400);
  EXPECT_EQ(Ask("DELETE /channels/chanfixed.vyr HTTP/1.1").status, 405);
  Stop();
  EXPECT_EQ(ReadFile(logs_ + "/usage.log"), "");
}

}  // namespace
}  // namespace vyr::home

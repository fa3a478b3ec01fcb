// The real vyrelle-home-server, started on a free loopback port with a
// scratch copy of the sample content folder (data/home-server), asked over
// plain sockets exactly as the bytes are written here.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ReadFile;
using testing::ScratchFolder;
using testing::WriteFile;

constexpr char kSecret[] = "SECRET-7f3a9c beside the content folder";
constexpr char kUser[] = "0123456789ABCDEF0123456789ABCDEF";
constexpr char kOtherUser[] = "FEDCBA9876543210FEDCBA9876543210";

struct HttpAnswer {
  int status = 0;
  std::string head;
  std::string body;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

std::vector<std::string> Fields(const std::string& line, char separator) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t end = line.find(separator, start);
    fields.push_back(line.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) return fields;
    start = end + 1;
  }
}

class HomeServerProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    content_ = scratch_ / "content";
    logs_ = scratch_ / "logs";
    std::filesystem::copy(VYRELLE_HOME_SERVER_SAMPLE, content_, std::filesystem::copy_options::recursive);
    // What a run of the server in the sample folder may have left there.
    for (const char* left : {"/logs", "/commands/delivered.txt", "/commands/queue.lock"}) {
      std::filesystem::remove_all(content_ + left);
    }
    WriteFile(scratch_ / "secret.txt", kSecret);
    ASSERT_EQ(symlink("../../secret.txt", (content_ + "/pages/out-link").c_str()), 0);
    ASSERT_EQ(symlink((scratch_ / "secret.txt").c_str(), (content_ + "/channels/abs-link.vyr").c_str()), 0);
    ASSERT_EQ(symlink("..", (content_ + "/pages/up").c_str()), 0);
    Start();
  }

  void TearDown() override {
    if (pid_ > 0) Stop();
  }

  void Start() {
    int out[2];
    ASSERT_EQ(pipe(out), 0);
    pid_ = fork();
    ASSERT_GE(pid_, 0);
    if (pid_ == 0) {
      dup2(out[1], 1);
      close(out[0]);
      close(out[1]);
      execl(VYRELLE_HOME_SERVER_PROGRAM, VYRELLE_HOME_SERVER_PROGRAM, "--root", content_.c_str(), "--port", "0",
            "--log-dir", logs_.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
    close(out[1]);
    // The program prints its address once it is listening.
    std::string printed;
    char c;
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)/");
    std::smatch match;
    while (read(out[0], &c, 1) == 1) {
      printed += c;
      if (c == '\n' && std::regex_search(printed, match, listening)) break;
    }
    close(out[0]);
    ASSERT_TRUE(std::regex_search(printed, match, listening)) << printed;
    port_ = std::stoi(match[1]);
  }

  // SIGTERM, then the exit status; the logs are complete afterwards.
  void Stop() {
    kill(pid_, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(pid_, &status, 0), pid_);
    pid_ = -1;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }

  // Sends exactly "<request line>\r\nHost: ...\r\nConnection: close\r\n\r\n"
  // and reads the whole answer.
  HttpAnswer Ask(const std::string& requestLine) {
    HttpAnswer answer;
    const int sock = socket(AF_INET, SOCK_STREAM, 0);
    EXPECT_GE(sock, 0);
    timeval limit{60, 0};  // only a guard against a hung test, never judged
    setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ADD_FAILURE() << "cannot connect";
      close(sock);
      return answer;
    }
    const std::string request = requestLine + "\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
    EXPECT_EQ(send(sock, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    // Read to the end of the body its length names (or to the connection's
    // end without one): the server may keep a connection open after an
    // answer to a request it could not read.
    const bool head = requestLine.rfind("HEAD ", 0) == 0;
    std::string all;
    char buffer[65536];
    ssize_t got;
    while ((got = recv(sock, buffer, sizeof buffer, 0)) > 0) {
      all.append(buffer, static_cast<size_t>(got));
      const size_t end = all.find("\r\n\r\n");
      if (end == std::string::npos) continue;
      std::smatch length;
      const std::string headers = all.substr(0, end);
      if (head) break;
      if (std::regex_search(headers, length, std::regex("\r\nContent-Length: ([0-9]+)", std::regex::icase)) &&
          all.size() >= end + 4 + std::stoul(length[1])) {
        break;
      }
    }
    close(sock);
    const size_t split = all.find("\r\n\r\n");
    answer.head = all.substr(0, split);
    answer.body = split == std::string::npos ? std::string() : all.substr(split + 4);
    std::smatch match;
    if (std::regex_search(answer.head, match, std::regex("^HTTP/1\\.[01] ([0-9]{3})"))) {
      answer.status = std::stoi(match[1]);
    }
    return answer;
  }

  HttpAnswer Get(const std::string& target) { return Ask("GET " + target + " HTTP/1.1"); }

  std::string Ping(const std::string& user, const std::string& rest = "&IBA=") {
    const HttpAnswer answer = Get("/scripts/vyrcmd.dll?Ping&U=" + user + "&B=Default&MO=3" + rest);
    EXPECT_EQ(answer.status, 200);
    return answer.body;
  }

  ScratchFolder scratch_;
  std::string content_;
  std::string logs_;
  pid_t pid_ = -1;
  int port_ = 0;
};

TEST_F(HomeServerProgram, ServesTheFixedChannelFileAndTheOtherFilesAsStored) {
  const HttpAnswer channels = Get("/channels/chanfixed.vyr");
  EXPECT_EQ(channels.status, 200);
  EXPECT_EQ(channels.body, ReadFile(content_ + "/channels/chanfixed.vyr"));
  EXPECT_NE(channels.body.find("~CH:Server News"), std::string::npos);

  EXPECT_EQ(Get("/infobox/Box1.htm").body, ReadFile(content_ + "/infobox/Box1.htm"));
  EXPECT_EQ(Get("/packages/versions.txt").body, ReadFile(content_ + "/packages/versions.txt"));
  EXPECT_EQ(Get("/packages/ibox-1.zip").body, ReadFile(content_ + "/packages/ibox-1.zip"));
  EXPECT_EQ(Get("/pages/news.html").body, ReadFile(content_ + "/pages/news.html"));
  EXPECT_EQ(Get("/").body, ReadFile(content_ + "/pages/index.html"));
  // A setup program larger than what is answered from memory is streamed.
  std::string setup(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < setup.size(); ++i) setup[i] = static_cast<char>((i * 7 + i / 251) % 256);
  WriteFile(content_ + "/packages/vyrsetup.exe", setup);
  const HttpAnswer streamed = Get("/packages/vyrsetup.exe");
  EXPECT_EQ(streamed.status, 200);
  EXPECT_TRUE(streamed.body == setup) << streamed.body.size() << " bytes";
  // HEAD: the status and length, no body.
  const HttpAnswer head = Ask("HEAD /channels/chanfixed.vyr HTTP/1.1");
  EXPECT_EQ(head.status, 200);
  EXPECT_EQ(head.body, "");
  EXPECT_NE(head.head.find("Content-Length: " + std::to_string(channels.body.size())), std::string::npos);
}

TEST_F(HomeServerProgram, PathEscapesAreRefusedAndNothingOutsideIsRead) {
  const std::string secretPath = scratch_ / "secret.txt";
  const std::vector<std::string> targets = {
      "/../secret.txt", "/pages/../../secret.txt", "/%2e%2e/secret.txt", "/pages/%2e%2e/%2e%2e/secret.txt",
      "/pages/%2E%2E%2F%2E%2E%2Fsecret.txt", "/channels/..%2f..%2fsecret.txt", "/etc/passwd", "//etc/passwd",
      "/pages/%2Fetc%2Fpasswd", secretPath, "/pages/out-link", "/channels/abs-link.vyr", "/pages/up/commands/queue.txt",
      "/pages/up/../secret.txt", "/pages\\..\\..\\secret.txt", "/pages/%5c..%5c..%5csecret.txt",
      "/pages/index.html%00.txt", "/pages/%00", "/pages/%zz", "/.%2e/secret.txt", "/logs/access.log",
      "/commands/queue.txt", "/pages/%252e%252e/secret.txt"};
  for (const std::string& target : targets) {
    const HttpAnswer answer = Get(target);
    EXPECT_TRUE(answer.status == 400 || answer.status == 404) << target << " -> " << answer.status;
    EXPECT_EQ(answer.body.find("SECRET-7f3a9c"), std::string::npos) << target;
    EXPECT_EQ(answer.body.find("root:x:0:0"), std::string::npos) << target;
    EXPECT_EQ(answer.body.find("showmail"), std::string::npos) << target;
  }
  // Absolute-form and asterisk targets.
  for (const std::string& line : {std::string("GET http://127.0.0.1/../secret.txt HTTP/1.1"),
                                  std::string("GET * HTTP/1.1"), std::string("GET secret.txt HTTP/1.1")}) {
    const HttpAnswer answer = Ask(line);
    EXPECT_EQ(answer.status, 400) << line;
    EXPECT_EQ(answer.body.find("SECRET-7f3a9c"), std::string::npos) << line;
  }
  EXPECT_EQ(Get("/pages/%2e%2e/x").status, 400);
  EXPECT_EQ(Get("/pages/out-link").status, 404);
}

TEST_F(HomeServerProgram, LoginPingAndLogoutAreAnsweredAndThePingIsLoggedAsSent) {
  const HttpAnswer login = Get(std::string("/scripts/vyrcmd.dll?Login&U=") + kUser +
                               "&B=Default&TZ=-1&CD=2&SW=1920&SH=1080&OS=2.6.1.0&BV=2.42.5.0&SV=3.24.38.0"
                               "&NV=0.1.0.0");
  EXPECT_EQ(login.status, 200);
  EXPECT_EQ(login.body, "PONG#");
  // Counters, a tracked address's triple with "+" for blanks (the form of
  // a window without the second interface) and the info box's with "%20".
  const HttpAnswer ping = Get(std::string("/scripts/vyrcmd.dll?Ping&U=") + kUser +
                              "&B=Default&MO=17&S=2&PV=40&URL=5+3+1+&IBA=101%204%200%20");
  EXPECT_EQ(ping.status, 200);
  // The counts are acknowledged, "+" between the numbers.
  EXPECT_EQ(ping.body, "PONG#ack S=2&PV=40&URL=5+3+1&IBA=101+4+0#");
  const HttpAnswer logout = Get(std::string("/scripts/vyrcmd.dll?Logout&U=") + kUser + "&B=Default&MO=18");
  EXPECT_EQ(logout.status, 200);
  EXPECT_EQ(logout.body, "PONG#");
  Stop();

  const std::vector<std::string> lines = Lines(ReadFile(logs_ + "/usage.log"));
  ASSERT_EQ(lines.size(), 3u);
  const std::vector<std::string> pingLine = Fields(lines[1], '\t');
  ASSERT_EQ(pingLine.size(), 5u) << lines[1];
  EXPECT_TRUE(std::regex_match(pingLine[0], std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z")));
  EXPECT_EQ(pingLine[1], "Ping");
  EXPECT_EQ(pingLine[2], kUser);
  EXPECT_EQ(pingLine[3], "17");
  EXPECT_EQ(pingLine[4], "B=Default&S=2&PV=40&URL=5+3+1+&IBA=101%204%200%20");
  EXPECT_EQ(Fields(lines[0], '\t')[1], "Login");
  EXPECT_EQ(Fields(lines[0], '\t')[3], "-");
  EXPECT_EQ(Fields(lines[2], '\t')[1], "Logout");
  EXPECT_EQ(Fields(lines[2], '\t')[3], "18");
}

TEST_F(HomeServerProgram, AQueuedCommandGoesOutInTheNextPongExactlyOnce) {
  WriteFile(content_ + "/commands/queue.txt",
            std::string("# for the next program that asks\nshowmail\n@") + kOtherUser +
                " pinginterval 5\n* ibpush 2 http://127.0.0.1/packages/ibox-2.zip\n");
  EXPECT_EQ(Ping(kUser), "PONG#showmail#ibpush 2 http://127.0.0.1/packages/ibox-2.zip#");
  EXPECT_EQ(Ping(kUser), "PONG#");
  EXPECT_EQ(Ping(kOtherUser), "PONG#pinginterval 5#ibpush 2 http://127.0.0.1/packages/ibox-2.zip#");
  EXPECT_EQ(Ping(kOtherUser), "PONG#");
  EXPECT_EQ(Ping(kUser), "PONG#");
  // The one-time commands left the queue; the one for everyone stays.
  EXPECT_EQ(ReadFile(content_ + "/commands/queue.txt"),
            "# for the next program that asks\n* ibpush 2 http://127.0.0.1/packages/ibox-2.zip\n");
  // A logout never takes a command.
  WriteFile(content_ + "/commands/queue.txt", "showmail\n");
  EXPECT_EQ(Get(std::string("/scripts/vyrcmd.dll?Logout&U=") + kUser + "&B=Default&MO=4").body, "PONG#");
  EXPECT_EQ(Ping(kOtherUser), "PONG#showmail#");
  Stop();
  const std::vector<std::string> sent = Lines(ReadFile(logs_ + "/commands.log"));
  ASSERT_EQ(sent.size(), 5u);
  EXPECT_EQ(Fields(sent[0], '\t')[1], kUser);
  EXPECT_EQ(Fields(sent[0], '\t')[2], "showmail");
  EXPECT_EQ(Fields(sent[4], '\t')[1], kOtherUser);
  EXPECT_EQ(Fields(sent[4], '\t')[2], "showmail");
}

TEST_F(HomeServerProgram, TheResolverKnowsTheWordsOfItsList) {
  const HttpAnswer known = Get("/resolver.dll?realname=server+news");
  EXPECT_EQ(known.status, 200);
  EXPECT_NE(known.body.find("url=/pages/news.html"), std::string::npos);
  EXPECT_EQ(known.body.substr(0, 512).find("Centraal"), std::string::npos);
  // The program's browser window then opens "http://host//resolver.dll?...",
  // with the blank canonicalised.
  const HttpAnswer opened = Get("//resolver.dll?realname=Server%20News");
  EXPECT_EQ(opened.status, 200);
  EXPECT_EQ(opened.body, known.body);

  const HttpAnswer unknown = Get("/resolver.dll?realname=nosuchword");
  EXPECT_EQ(unknown.status, 404);
  EXPECT_NE(unknown.body.substr(0, 512).find("Centraal"), std::string::npos);
  EXPECT_EQ(Get("/resolver.dll").status, 400);
  EXPECT_EQ(Get("/resolver.dll?realname=a%00b").status, 400);
  EXPECT_EQ(Get("/resolver.dll?word=news").status, 400);

  // The list is read again when it changes.
  WriteFile(content_ + "/resolver/words.txt", "nosuchword /pages/index.html\n");
  EXPECT_EQ(Get("/resolver.dll?realname=nosuchword").status, 200);
}

TEST_F(HomeServerProgram, MalformedRequestsAre400AndOtherMethods405) {
  const std::string script = "/scripts/vyrcmd.dll";
  const std::string u = std::string("&U=") + kUser;
  const std::vector<std::string> queries = {
      "", "?", "?Ping&U=0123&B=Default&MO=1", "?Ping" + u + "&B=Default", "?Ping" + u + "&MO=1x",
      "?Ping" + u + "&MO=-1", "?Ping" + u + "&MO=4294967296", "?Ping" + u + "&MO=1&S=abc", "?Ping" + u + "&MO=1&S=-3",
      "?Ping" + u + "&MO=1&URL=1+2", "?Ping" + u + "&MO=1&IBA=x+y+z", "?Ping" + u + "&MO=1&B=%zz",
      "?Ping" + u + "&MO=1&B=a%0Ab", "?Ping" + u + u + "&MO=1", "?Ping&B=Default&MO=1", "?Pong" + u + "&MO=1",
      "?Login" + u + "&CD=7", "?Login" + u + "&Q=1", "?Logout" + u + "&S=1",
      "?Ping" + u + "&MO=1&" + std::string(20, 'N') + "=1", "?Ping" + u + "&MO=1&flag",
      "?Ping" + u + "&MO=1&S=" + std::string(7000, '1')};
  for (const std::string& query : queries) {
    EXPECT_EQ(Get(script + query).status, 400) << query.substr(0, 80);
  }
  EXPECT_EQ(Ask("POST /scripts/vyrcmd.dll?Ping" + u + "&MO=1 HTTP/1.1\r\nContent-Length: 0").status, 405);
  EXPECT_EQ(Ask("DELETE /channels/chanfixed.vyr HTTP/1.1").status, 405);
  EXPECT_EQ(Ask("GET /pages/a b HTTP/1.1").status, 400);
  // Nothing malformed reached the usage log.
  Stop();
  EXPECT_EQ(ReadFile(logs_ + "/usage.log"), "");
}

TEST_F(HomeServerProgram, TheAccessLogHasOneLinePerRequest) {
  const std::string body = Get("/channels/chanfixed.vyr").body;
  EXPECT_EQ(Get("/pages/missing.html").status, 404);
  EXPECT_EQ(Get("/pages/%2e%2e/x").status, 400);
  Stop();
  // A line is written once its answer has gone out, so two requests close
  // together may be logged in either order: the lines are taken by target.
  const std::vector<std::string> lines = Lines(ReadFile(logs_ + "/access.log"));
  ASSERT_EQ(lines.size(), 3u);
  std::map<std::string, std::vector<std::string>> byTarget;
  for (const std::string& line : lines) {
    const std::vector<std::string> fields = Fields(line, ' ');
    ASSERT_EQ(fields.size(), 6u) << line;
    EXPECT_TRUE(std::regex_match(fields[0], std::regex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}Z")));
    EXPECT_EQ(fields[1], "127.0.0.1");
    EXPECT_EQ(fields[2], "GET");
    byTarget[fields[3]] = fields;
  }
  ASSERT_EQ(byTarget.size(), 3u);
  EXPECT_EQ(byTarget["/channels/chanfixed.vyr"][4], "200");
  EXPECT_EQ(byTarget["/channels/chanfixed.vyr"][5], std::to_string(body.size()));
  EXPECT_EQ(byTarget["/pages/missing.html"][4], "404");
  EXPECT_EQ(byTarget["/pages/%2e%2e/x"][4], "400");
}

}  // namespace
}  // namespace vyr::home

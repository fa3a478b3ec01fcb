// The POP3 client against a scripted misbehaving server, and its connection.
#include "mail/receive/pop3_client.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/tcp_socket.h"
#include "tools/python_fixture.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;

using test::Crlf;

struct AbortAfter {
  AbortAfter(MailConnection& c, std::chrono::milliseconds delay)
      : thread([this, &c, delay](std::stop_token stop) {
          std::mutex m;
          std::unique_lock lock(m);
          std::condition_variable_any wake;
          if (!wake.wait_for(lock, stop, delay, [&stop] { return stop.stop_requested(); })) fired = true, c.Abort();
        }) {}
  std::atomic<bool> fired = false;
  std::jthread thread;
};

struct RecordingProgress : Pop3Progress {
  std::string lastCheckText;
  std::vector<std::string> posted;
  bool CancelCheck(const std::string& text, bool rearm) override {
    EXPECT_TRUE(rearm);
    lastCheckText = text;
    return false;
  }
  std::string StatusText() override { return "Downloading message 1 of 1..."; }
  void PostStatus(const std::string& text) override { posted.push_back(text); }
};

constexpr std::uint16_t kClosedPort = 1;

const std::string kShortMessage =
    "From: a@example.org\nSubject: one\n\nfirst line\n.starts with a dot\n..two dots\n.\nlast\n";

class ScriptedPop3Test : public ::testing::Test {
 protected:
  bool Open(const std::string& mode, std::vector<std::string> messages) {
    server = std::make_unique<test::ScriptedPop3Server>(mode, std::move(messages));
    std::string error;
    const bool started = server->Start(&error);
    EXPECT_TRUE(started) << error;
    client = std::make_unique<Pop3Client>(static_cast<std::uint16_t>(server->Port()));
    return started;
  }
  Pop3Login Login() { return client->Login("127.0.0.1", "user", "secret"); }
  std::unique_ptr<test::ScriptedPop3Server> server;
  std::unique_ptr<Pop3Client> client;
  test::TempDir dir;
  RecordingProgress progress;
};

TEST_F(ScriptedPop3Test, HostNamesAFreshObjectAndAnAbortedLogIn) {
  EXPECT_TRUE(MailConnection::IsDottedAddress("10.1.200.3") && !MailConnection::IsDottedAddress("1.2.3.256"));
  const struct {
    std::string host;
    size_t bufferSize;
    int result;
    std::string address;
  } names[] = {
      {"localhost", 9, 1, "kept"},
      {"jane@home@localhost", 512, 0, "127.0.0.1"}, {"localhost", 512, 0, "127.0.0.1"},
      {"[::1]", 512, 0, "::1"}, {"jane@[::1]", 512, 0, "::1"}, {"::1", 512, 0, "::1"},
      {"user@no-such-host.invalid", 512, 2, "kept"},
  };
  for (const auto& n : names) {
    std::string dotted = "kept";
    EXPECT_EQ(MailConnection::ResolveHost(n.host, dotted, n.bufferSize), n.result) << n.host;
    EXPECT_EQ(dotted, n.address) << n.host;
  }
  Pop3Client fresh(kClosedPort);
  int count = -1;
  fresh.Quit();
  EXPECT_EQ(std::vector<Pop3Reply>({fresh.Stat(count), fresh.Retr(1), fresh.Dele(1)}),
            std::vector<Pop3Reply>(3, Pop3Reply::kNotConnected));
  EXPECT_EQ(fresh.Uidl("x"), 1);
  EXPECT_EQ(fresh.Login("127.0.0.1", "user", "secret"), Pop3Login::kNoConnection);
  ASSERT_TRUE(Open("stall-greeting", {}));
  {
    AbortAfter abort(*client, std::chrono::milliseconds(300));
    EXPECT_EQ(Login(), Pop3Login::kUserRefused);
  }
  EXPECT_EQ(Login(), Pop3Login::kNoConnection) << "no new connection after an abort";
  client->ClearAbort();
  EXPECT_EQ(client->Connect(static_cast<std::uint16_t>(server->Port()), "127.0.0.1"), 0);
}

TEST_F(ScriptedPop3Test, LongLinesInRepliesMessagesAndUidsStayInStep) {
  std::string dotted = std::string(8191, 'a') + ".." + std::string(8189, 'b') + ".";
  const std::string message = "Subject: long\n\n" + std::string(20000, 'x') + "\n" + dotted + "\n" + "." +
                              std::string(3000, 'y') + "\n" + std::string(1023, 'z') + "\n";
  ASSERT_TRUE(Open("long-lines", {kShortMessage, message}));
  AbortAfter guard(*client, std::chrono::seconds(30));
  ASSERT_EQ(Login(), Pop3Login::kOk);
  EXPECT_EQ(client->LastReply(), "+OK Logged in.");
  long size = 0;
  EXPECT_TRUE(client->List(2, size) == Pop3Reply::kOk && size == static_cast<long>(Crlf(message).size()));
  const std::string uid2 = "uid-2-" + std::string(3000, 'x');
  EXPECT_EQ(client->Uidl(uid2), 3);
  EXPECT_TRUE(client->UidOf(1) == "uid-1-" + std::string(3000, 'x') && client->UidOf(2) == uid2);
  EXPECT_EQ(client->RetrieveToFile(2, dir.File("M4.new"), &progress), RetrieveResult::kStored);
  EXPECT_EQ(test::ReadFile(dir.File("M4.new")), Crlf(message) + ".");
  int count = 0;
  EXPECT_TRUE(client->Stat(count) == Pop3Reply::kOk && count == 2);
  EXPECT_FALSE(guard.fired || client->OutOfStep());
}

TEST_F(ScriptedPop3Test, UidlListingsOfEveryShape) {
  const std::string m = kShortMessage;
  const struct {
    const char *mode, *lastId;
    int first;
    size_t ids;
  } cases[] = {
      {"normal", "uid-3", 4, 3},
      {"odd-uidl", "uid-2", 3, 3},
      {"short-uidl", "uid-1", 2, 1},
      {"no-uidl", "uid-1", 1, 0},
      {"trickle", "uid-1", 2, 3},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(Open(c.mode, {m, m, m}));
    AbortAfter guard(*client, std::chrono::seconds(20));
    ASSERT_EQ(Login(), Pop3Login::kOk) << c.mode;
    EXPECT_EQ(client->Uidl(c.lastId), c.first) << c.mode;
    EXPECT_TRUE(client->UidCount() == c.ids && client->UidOf(1) == (c.ids ? "uid-1" : "") &&
                client->UidOf(static_cast<int>(c.ids) + 1).empty()) << c.mode;
    EXPECT_EQ(client->RetrieveToFile(1, dir.File("M5.new"), &progress), RetrieveResult::kStored) << c.mode;
    EXPECT_EQ(test::ReadFile(dir.File("M5.new")), Crlf(m) + ".") << c.mode;
  }
}

TEST_F(ScriptedPop3Test, MessageFarLargerThanItsListSizeIsStoredWhole) {
  std::string big = "Subject: bigger than announced\n\n";
  for (int i = 0; i < 40000; ++i) big += (i % 7 == 0 ? "." : "") + std::string(40 + i % 60, 'm') + "\n";
  ASSERT_TRUE(Open("oversize", {big}));
  ASSERT_EQ(Login(), Pop3Login::kOk);
  long listed = 0;
  ASSERT_EQ(client->List(1, listed), Pop3Reply::kOk);
  EXPECT_LT(listed * 2, static_cast<long>(Crlf(big).size()));
  EXPECT_EQ(client->RetrieveToFile(1, dir.File("M7.new"), &progress), RetrieveResult::kStored);
  EXPECT_EQ(test::ReadFile(dir.File("M7.new")), Crlf(big) + ".");
  ASSERT_EQ(progress.posted.size(), 1u);
  EXPECT_EQ(progress.posted[0], "Downloading message 1 of 1 (" + std::to_string(listed / 1024) + " KB) ");
  EXPECT_EQ(progress.lastCheckText, progress.posted[0]);
}

TEST_F(ScriptedPop3Test, WriteFailureLeavesNoFileAndKeepsTheSessionInStep) {
  std::string big;
  for (int i = 0; i < 8000; ++i) big += std::string(70, 'w') + "\n";
  ASSERT_TRUE(Open("normal", {big}));
  EXPECT_EQ(test::RunInChild([&] {
    if (Login() != Pop3Login::kOk) return 1;
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit limited{100 * 1024, 100 * 1024};
    ::setrlimit(RLIMIT_FSIZE, &limited);
    if (client->RetrieveToFile(1, dir.File("M8.new"), &progress) != RetrieveResult::kFailed) return 2;
    if (fs::exists(dir.File("M8.new"))) return 3;
    int count = 0;
    return client->Stat(count) == Pop3Reply::kOk && count == 1 ? 0 : 4;
  }), 0);
}

struct Listener {
  Listener() {
    sockaddr_in6 a{};
    a.sin6_family = AF_INET6;
    a.sin6_addr = in6addr_loopback;
    socklen_t len = sizeof a;
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), len);
    ::listen(fd, 4);
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    port = ntohs(a.sin6_port);
  }
  ~Listener() { ::close(fd); }
  int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
  std::uint16_t port = 0;
};

struct SilentIPv4Listener {
  explicit SilentIPv4Listener(std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(port);
    listening = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd, 0) == 0 &&
                ::connect(queued, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
  }
  ~SilentIPv4Listener() {
    ::close(queued);
    ::close(fd);
  }
  int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  int queued = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  bool listening = false;
};

TEST(MailConnectionTest, EveryAddressIsTriedInTurnWithinTheTimeLimit) {
  if (!test::HasIPv6Loopback()) GTEST_SKIP() << "this machine has no IPv6 loopback (::1) to listen on";
  using Strings = std::vector<std::string>;
  const std::pair<Strings, Strings> orders[] = {
      {{"192.0.2.1", "192.0.2.2", "2001:db8::1", "2001:db8::2"}, {"192.0.2.1", "2001:db8::1", "192.0.2.2", "2001:db8::2"}},
      {{"2001:db8::1", "2001:db8::2", "2001:db8::3", "192.0.2.1"}, {"2001:db8::1", "192.0.2.1", "2001:db8::2", "2001:db8::3"}},
      {{"192.0.2.1"}, {"192.0.2.1"}},
  };
  for (const auto& [given, tried] : orders) EXPECT_EQ(platform::TcpSocket::AlternateFamilies(given), tried);
  Listener server;
  const Strings both = {"127.0.0.1", "::1"};
  const Strings local = platform::TcpSocket::ResolveAll("localhost");
  const bool localhostIsBoth = std::count(local.begin(), local.end(), "::1") && std::count(local.begin(), local.end(), "127.0.0.1");
  const struct {
    const char* name;
    bool silentIPv4;
    std::function<int(MailConnection&)> connect;
  } cases[] = {
      {"a refused address falls through to the next", false,
       [&](MailConnection& c) { return c.ConnectAny(server.port, both); }},
      {"an address that never answers is given up on in time", true,
       [&](MailConnection& c) { return c.ConnectAny(server.port, both, 4000); }},
      {"by name", false,
       [&](MailConnection& c) { return c.ConnectHost(server.port, localhostIsBoth ? "localhost" : "jane@[::1]"); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::unique_ptr<SilentIPv4Listener> silent;
    if (c.silentIPv4) {
      silent = std::make_unique<SilentIPv4Listener>(server.port);
      ASSERT_TRUE(silent->listening) << "the IPv4 port is taken";
    }
    MailConnection connection;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(c.connect(connection), 0) << connection.ConnectError();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15));
    EXPECT_EQ(connection.LocalAddress(), "::1");
    const int peer = ::accept(server.fd, nullptr, nullptr);
    ASSERT_GE(peer, 0);
    ::close(peer);
  }
  std::uint16_t closed;
  {
    Listener gone;
    closed = gone.port;
  }
  MailConnection connection;
  EXPECT_EQ(connection.ConnectHost(closed, "no-such-host.invalid"), 1);
  EXPECT_EQ(connection.ConnectAny(closed, both), 3);
  EXPECT_EQ(connection.ConnectError(), "No connection to port " + std::to_string(closed) +
                                           " (127.0.0.1: Connection refused; ::1: Connection refused)");
  std::promise<void> answer;
  const std::shared_future<void> answered = answer.get_future().share();
  const auto silentNameServer = [answered](const std::string&) {
    answered.wait();
    return Strings{"192.0.2.1"};
  };
  std::atomic<bool> stop{false};
  bool timedOut = false;
  EXPECT_TRUE(platform::TcpSocket::ResolveAllWithin("mail.example", 300, stop, timedOut, silentNameServer).empty());
  EXPECT_TRUE(timedOut);
  stop = true;
  EXPECT_TRUE(platform::TcpSocket::ResolveAllWithin("mail.example", 600000, stop, timedOut, silentNameServer).empty());
  EXPECT_FALSE(timedOut);
  answer.set_value();
  stop = false;
  EXPECT_EQ(platform::TcpSocket::ResolveAllWithin("mail.example", 600000, stop, timedOut,
                                                  [](const std::string&) { return Strings{"192.0.2.7"}; }),
            Strings{"192.0.2.7"});
  EXPECT_FALSE(timedOut);
  MailConnection cancelled;
  cancelled.Abort();
  EXPECT_EQ(cancelled.ConnectHost(server.port, "localhost"), 3);
  EXPECT_EQ(cancelled.ConnectError(), "Cancelled");
}

TEST(MailConnectionTest, AbortEndsAWaitingHandshake) {
  Listener server;
  Pop3Client pop(server.port);
  pop.SetSecurity(kSecurityTls, "");
  const auto start = std::chrono::steady_clock::now();
  auto login = std::async(std::launch::async, [&] { return pop.Login("::1", "alice", "secret"); });
  const int peer = ::accept(server.fd, nullptr, nullptr);
  char hello[16];
  ASSERT_GT(::recv(peer, hello, sizeof hello, 0), 0);
  pop.Abort();
  EXPECT_EQ(login.get(), Pop3Login::kTlsFailed);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ::close(peer);
}

}  // namespace
}  // namespace vyr

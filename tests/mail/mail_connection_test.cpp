// The mail connection's reach beyond dotted IPv4 (every address of a
// server, within one time limit), and its stop while a TLS handshake waits,
// against listening sockets the test makes itself.
#include "mail/receive/mail_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

#include "mail/receive/pop3_client.h"
#include "platform/tcp_socket.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

// A listener on a free port of the IPv6 loopback.
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

TEST(MailConnectionTest, IPv6AddressesAndNamesWithoutADot) {
  const struct {
    std::string host, address;
  } names[] = {{"[::1]", "::1"}, {"jane@[::1]", "::1"}, {"::1", "::1"}, {"localhost", "127.0.0.1"}};
  for (const auto& n : names) {
    std::string address;
    EXPECT_EQ(MailConnection::ResolveHost(n.host, address), 0) << n.host;
    EXPECT_EQ(address, n.address) << n.host;
  }
  Listener server;
  MailConnection c;
  ASSERT_EQ(c.Connect(server.port, "::1"), 0);
  const int peer = ::accept(server.fd, nullptr, nullptr);
  ASSERT_GE(peer, 0);
  ASSERT_EQ(::send(peer, "+OK v6\r\n", 8, 0), 8);
  char line[32];
  EXPECT_EQ(c.ReadLine(line, sizeof line, 5), 8);
  EXPECT_STREQ(line, "+OK v6\r\n");
  ::close(peer);
}

// An IPv4 loopback listener on a given port whose queue is full: a further
// connection attempt gets no answer at all.
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
  // The families take turns, each in the resolver's order, the resolver's
  // first family first.
  const std::pair<Strings, Strings> orders[] = {
      {{"192.0.2.1", "192.0.2.2", "2001:db8::1", "2001:db8::2"}, {"192.0.2.1", "2001:db8::1", "192.0.2.2", "2001:db8::2"}},
      {{"2001:db8::1", "2001:db8::2", "2001:db8::3", "192.0.2.1"}, {"2001:db8::1", "192.0.2.1", "2001:db8::2", "2001:db8::3"}},
      {{"192.0.2.1"}, {"192.0.2.1"}},
  };
  for (const auto& [given, tried] : orders) EXPECT_EQ(platform::TcpSocket::AlternateFamilies(given), tried);

  // The server listens on ::1 only; 127.0.0.1 comes first and fails.
  Listener server;
  const Strings both = {"127.0.0.1", "::1"};
  const Strings local = platform::TcpSocket::ResolveAll("localhost");
  const bool localhostIsBoth = std::count(local.begin(), local.end(), "::1") && std::count(local.begin(), local.end(), "127.0.0.1");
  const struct {
    const char* name;
    bool silentIPv4;  // 127.0.0.1 never answers (else it refuses)
    std::function<int(MailConnection&)> connect;
  } cases[] = {
      {"a refused address falls through to the next", false,
       [&](MailConnection& c) { return c.ConnectAny(server.port, both); }},
      {"an address that never answers is given up on in time", true,
       [&](MailConnection& c) { return c.ConnectAny(server.port, both, 4000); }},
      // "localhost" where it names both loopbacks, else the address form.
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

  // Nothing listens anywhere: each address is named with its reason.
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

  // The look-up counts against the limit: a name server that does not
  // answer is given up on when the time is up, at once when the check is
  // cancelled; the forgotten look-up ends by itself later.
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

  // A cancelled check waits neither for the name server nor for a server.
  MailConnection cancelled;
  cancelled.Abort();
  EXPECT_EQ(cancelled.ConnectHost(server.port, "localhost"), 3);
  EXPECT_EQ(cancelled.ConnectError(), "Cancelled");
}

TEST(MailConnectionTest, AbortEndsAWaitingHandshake) {
  // The peer takes the connection and never answers the TLS hello.
  Listener server;
  Pop3Client pop(server.port);
  pop.SetSecurity(kSecurityTls, "");
  const auto start = std::chrono::steady_clock::now();
  auto login = std::async(std::launch::async, [&] { return pop.Login("::1", "alice", "secret"); });
  const int peer = ::accept(server.fd, nullptr, nullptr);  // the client is in its handshake now
  char hello[16];
  ASSERT_GT(::recv(peer, hello, sizeof hello, 0), 0);  // its first bytes arrived
  pop.Abort();
  EXPECT_EQ(login.get(), Pop3Login::kTlsFailed);
  // Well before the handshake's own 30-second limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ::close(peer);
}

}  // namespace
}  // namespace vyr

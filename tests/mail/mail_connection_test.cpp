// The mail connection's reach beyond dotted IPv4, and its stop while a TLS
// handshake waits, against listening sockets the test makes itself.
#include "mail/receive/mail_connection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <future>

#include "mail/receive/pop3_client.h"

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
  EXPECT_EQ(login.get(), 6);
  // Well before the handshake's own 30-second limit.
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
  ::close(peer);
}

}  // namespace
}  // namespace vyr

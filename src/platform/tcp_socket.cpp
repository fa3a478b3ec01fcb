#include "platform/tcp_socket.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <system_error>
#include <thread>
#include <mutex>
#include <memory>
#include <condition_variable>

namespace vyr::platform {

namespace {

// How often a connection attempt looks at its cancel flag.
constexpr int kConnectStepMs = 100;

}  // namespace

TcpSocket::~TcpSocket() { Close(); }

bool TcpSocket::Create(bool ipv6) {
  if (fd_ >= 0) return false;
  const int fd = ::socket(ipv6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  fd_ = fd;
  return true;
}

bool TcpSocket::Connect(const std::string& dottedAddress, std::uint16_t port,
                        const std::atomic<bool>& cancel, long timeLimitMs, int* error) {
  int reason = EINVAL;
  auto fail = [&](int why) {
    if (error) *error = why;
    return false;
  };
  const int fd = fd_;
  if (fd < 0) return fail(EBADF);
  sockaddr_storage address{};
  socklen_t addressLength = 0;
  int family = AF_UNSPEC;
  socklen_t familyLength = sizeof family;
  if (::getsockopt(fd, SOL_SOCKET, SO_DOMAIN, &family, &familyLength) != 0) return fail(errno);
  if (family == AF_INET6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    in6->sin6_family = AF_INET6;
    in6->sin6_port = htons(port);
    if (::inet_pton(AF_INET6, dottedAddress.c_str(), &in6->sin6_addr) != 1) return fail(EINVAL);
    addressLength = sizeof *in6;
  } else {
    auto* in = reinterpret_cast<sockaddr_in*>(&address);
    in->sin_family = AF_INET;
    in->sin_port = htons(port);
    if (::inet_pton(AF_INET, dottedAddress.c_str(), &in->sin_addr) != 1) return fail(EINVAL);
    addressLength = sizeof *in;
  }

  // Connect without blocking and wait in steps, so that a cancel from
  // another thread is seen while the remote side does not answer, and a
  // peer that never answers is given up on in time.
  if (!SetNonBlocking(true)) return fail(errno);
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeLimitMs);
  bool connected = false;
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), addressLength) == 0) {
    connected = true;
  } else if (errno == EINPROGRESS || errno == EINTR) {
    for (;;) {
      if (cancel.load()) {
        reason = ECANCELED;
        break;
      }
      int step = kConnectStepMs;
      if (timeLimitMs > 0) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
          reason = ETIMEDOUT;
          break;
        }
        if (left < step) step = static_cast<int>(left);
      }
      pollfd p{fd, POLLOUT, 0};
      const int r = ::poll(&p, 1, step);
      if (r < 0 && errno != EINTR) {
        reason = errno;
        break;
      }
      if (r <= 0) continue;
      int soError = 0;
      socklen_t len = sizeof soError;
      if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0) {
        reason = errno;
      } else if (soError != 0) {
        reason = soError;
      } else {
        connected = true;
      }
      break;
    }
  } else {
    reason = errno;
  }
  if (!SetNonBlocking(false)) return fail(errno);
  if (connected && cancel.load()) return fail(ECANCELED);
  return connected || fail(reason);
}

std::string TcpSocket::LocalAddress() const {
  const int fd = fd_;
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  char text[INET6_ADDRSTRLEN] = {};
  const void* bytes = nullptr;
  if (address.ss_family == AF_INET6) {
    bytes = &reinterpret_cast<const sockaddr_in6*>(&address)->sin6_addr;
  } else if (address.ss_family == AF_INET) {
    bytes = &reinterpret_cast<const sockaddr_in*>(&address)->sin_addr;
  } else {
    return {};
  }
  return ::inet_ntop(address.ss_family, bytes, text, sizeof text) ? std::string(text) : std::string();
}

long TcpSocket::SendAll(const void* data, std::size_t length) {
  const int fd = fd_;
  if (fd < 0) return -1;
  const char* p = static_cast<const char*>(data);
  std::size_t sent = 0;
  while (sent < length) {
    const ssize_t n = ::send(fd, p + sent, length - sent, MSG_NOSIGNAL);
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) return -1;
    sent += static_cast<std::size_t>(n);
  }
  return static_cast<long>(sent);
}

long TcpSocket::Receive(void* buffer, std::size_t length, bool peek) {
  const int fd = fd_;
  if (fd < 0) return -1;
  for (;;) {
    const ssize_t n = ::recv(fd, buffer, length, peek ? MSG_PEEK : 0);
    if (n < 0 && errno == EINTR) continue;
    return static_cast<long>(n);
  }
}

long TcpSocket::PeekNow(int* error) {
  const int fd = fd_;
  if (fd < 0) {
    if (error) *error = EBADF;
    return -1;
  }
  char byte;
  for (;;) {
    const ssize_t n = ::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && error) *error = errno;
    return static_cast<long>(n);
  }
}

int TcpSocket::WaitReadable(long timeoutMs) {
  const int fd = fd_;
  if (fd < 0) return -1;
  // poll rather than select: select cannot watch descriptors above
  // FD_SETSIZE, and a busy process may well hand out such numbers.
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    int wait = -1;
    if (timeoutMs >= 0) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      wait = left < 0 ? 0 : static_cast<int>(left);
    }
    pollfd p{fd, POLLIN, 0};
    const int r = ::poll(&p, 1, wait);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) return 0;
    // Hang-up and errors count as readable: the next receive reports them.
    return 1;
  }
}

int TcpSocket::PendingBytes() const {
  const int fd = fd_;
  int count = 0;
  if (fd < 0 || ::ioctl(fd, FIONREAD, &count) != 0) return -1;
  return count;
}

int TcpSocket::SendBufferSize() const {
  const int fd = fd_;
  int size = 0;
  socklen_t len = sizeof size;
  if (fd < 0 || ::getsockopt(fd, SOL_SOCKET, SO_SNDBUF, &size, &len) != 0) return -1;
  return size;
}

bool TcpSocket::SetNonBlocking(bool on) {
  const int fd = fd_;
  if (fd < 0) return false;
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0) return false;
  const int wanted = on ? (flags | O_NONBLOCK) : (flags & ~O_NONBLOCK);
  return wanted == flags || ::fcntl(fd, F_SETFL, wanted) == 0;
}

bool TcpSocket::SetSendTimeout(int milliseconds) {
  const int fd = fd_;
  if (fd < 0) return false;
  timeval tv{};
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = (milliseconds % 1000) * 1000;
  return ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv) == 0;
}

bool TcpSocket::SetReceiveTimeout(int milliseconds) {
  const int fd = fd_;
  if (fd < 0) return false;
  timeval tv{};
  tv.tv_sec = milliseconds / 1000;
  tv.tv_usec = (milliseconds % 1000) * 1000;
  return ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv) == 0;
}

int TcpSocket::Shutdown() {
  const int fd = fd_;
  if (fd < 0) return -1;
  return ::shutdown(fd, SHUT_RDWR) == 0 ? 0 : -1;
}

int TcpSocket::Close() {
  const int fd = fd_.exchange(-1);
  if (fd < 0) return -1;
  return ::close(fd) == 0 ? 0 : -1;
}

std::vector<std::string> TcpSocket::ResolveAll(const std::string& name) {
  std::string bare = name;
  if (bare.size() > 2 && bare.front() == '[' && bare.back() == ']') bare = bare.substr(1, bare.size() - 2);
  std::vector<std::string> found;
  // A name with an embedded NUL would be looked up cut short.
  if (bare.empty() || bare.find('\0') != std::string::npos) return found;
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  if (::getaddrinfo(bare.c_str(), nullptr, &hints, &list) != 0) return found;
  for (const addrinfo* a = list; a; a = a->ai_next) {
    char text[INET6_ADDRSTRLEN] = {};
    const void* bytes = nullptr;
    if (a->ai_family == AF_INET6) {
      bytes = &reinterpret_cast<const sockaddr_in6*>(a->ai_addr)->sin6_addr;
    } else if (a->ai_family == AF_INET) {
      bytes = &reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr;
    } else {
      continue;
    }
    if (!::inet_ntop(a->ai_family, bytes, text, sizeof text)) continue;
    if (std::find(found.begin(), found.end(), text) == found.end()) found.emplace_back(text);
  }
  ::freeaddrinfo(list);
  return AlternateFamilies(found);
}

std::vector<std::string> TcpSocket::ResolveAllWithin(const std::string& name, long timeLimitMs,
                                                     const std::atomic<bool>& stop, bool& timedOut,
                                                     Resolve resolve) {
  timedOut = false;
  struct Lookup {
    std::mutex mutex;
    std::condition_variable answered;
    bool done = false;
    std::vector<std::string> found;
  };
  auto lookup = std::make_shared<Lookup>();
  try {
    std::thread([lookup, name, resolve] {
      std::vector<std::string> found = resolve(name);
      std::lock_guard<std::mutex> lock(lookup->mutex);
      lookup->found = std::move(found);
      lookup->done = true;
      lookup->answered.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    return resolve(name);  // no thread to be had: look it up here
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0L, timeLimitMs));
  std::unique_lock<std::mutex> lock(lookup->mutex);
  while (!lookup->done) {
    if (stop) return {};
    if (std::chrono::steady_clock::now() >= deadline) {
      timedOut = true;
      return {};
    }
    lookup->answered.wait_for(lock, std::chrono::milliseconds(50));
  }
  return std::move(lookup->found);
}

std::vector<std::string> TcpSocket::AlternateFamilies(const std::vector<std::string>& addresses) {
  std::vector<std::string> v6, v4;
  for (const std::string& a : addresses) (IsIPv6Address(a) ? v6 : v4).push_back(a);
  const bool v6First = !addresses.empty() && IsIPv6Address(addresses.front());
  const std::vector<std::string>& first = v6First ? v6 : v4;
  const std::vector<std::string>& second = v6First ? v4 : v6;
  std::vector<std::string> out;
  for (size_t i = 0; i < first.size() || i < second.size(); ++i) {
    if (i < first.size()) out.push_back(first[i]);
    if (i < second.size()) out.push_back(second[i]);
  }
  return out;
}

bool TcpSocket::IsIPv6Address(const std::string& text) {
  in6_addr address{};
  return ::inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

bool TcpSocket::IsIPv4Address(const std::string& text) {
  in_addr address{};
  return ::inet_pton(AF_INET, text.c_str(), &address) == 1;
}

}  // namespace vyr::platform

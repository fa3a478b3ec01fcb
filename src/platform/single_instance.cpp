#include "platform/single_instance.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace vyr::platform {

namespace {

// The longest address a later start may hand over.
constexpr size_t kMaxText = 64 * 1024;
// How long a connection may take to say its piece.
constexpr int kReadLimitMs = 5000;

bool FillAddress(const std::string& path, sockaddr_un& address) {
  address = {};
  address.sun_family = AF_UNIX;
  if (path.empty() || path.size() + 1 > sizeof address.sun_path) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Reads exactly n bytes within the time limit.
bool ReadExactly(int fd, char* buffer, size_t n) {
  size_t got = 0;
  while (got < n) {
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kReadLimitMs) <= 0) return false;
    const ssize_t r = ::recv(fd, buffer + got, n - got, 0);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    got += static_cast<size_t>(r);
  }
  return true;
}

bool ReadLine(int fd, std::string& line) {
  line.clear();
  char c;
  while (line.size() < 32) {
    if (!ReadExactly(fd, &c, 1)) return false;
    if (c == '\n') return true;
    line += c;
  }
  return false;
}

bool SendAll(int fd, const std::string& text) {
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(fd, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

int ConnectTo(const std::string& path) {
  sockaddr_un address;
  if (!FillAddress(path, address)) return -1;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int error = errno;  // the caller tells a leftover from a live one by it
    ::close(fd);
    errno = error;
    return -1;
  }
  return fd;
}

// Only a folder of this user that nobody else may write to holds the
// socket: in any other, another user could put a socket of their own there
// and receive the addresses later starts hand over.
bool IsPrivateFolder(const std::string& folder) {
  struct stat s {};
  return ::lstat(folder.c_str(), &s) == 0 && S_ISDIR(s.st_mode) && s.st_uid == ::getuid() &&
         (s.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string SingleInstance::SocketPath() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  std::string folder;
  if (runtime && runtime[0] == '/') {
    folder = runtime;
  } else {
    folder = "/tmp/vyrelle-" + std::to_string(::getuid());
    ::mkdir(folder.c_str(), 0700);
  }
  if (!IsPrivateFolder(folder)) return {};
  return folder + "/" + kSingleInstanceName;
}

bool SingleInstance::HandOver(const std::string& fileToOpen) {
  const int fd = ConnectTo(SocketPath());
  if (fd < 0) return false;
  std::string message;
  if (!fileToOpen.empty() && fileToOpen.size() <= kMaxText) {
    message = "238 " + std::to_string(fileToOpen.size()) + "\n" + fileToOpen;
  }
  message += "244\n";
  const bool sent = SendAll(fd, message);
  // Wait for the instance to close its end: it has taken everything then.
  char byte;
  pollfd p{fd, POLLIN, 0};
  if (sent && ::poll(&p, 1, kReadLimitMs) > 0) (void)::recv(fd, &byte, 1, 0);
  ::close(fd);
  return sent;
}

bool SingleInstance::Listen(std::function<void(const std::string&)> openAddress,
                            std::function<void()> bringToFront) {
  if (listenFd_ >= 0) return false;
  openAddress_ = std::move(openAddress);
  bringToFront_ = std::move(bringToFront);
  const std::string path = SocketPath();
  sockaddr_un address;
  if (!FillAddress(path, address)) return false;
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    // Something is there: a live instance answers, a leftover does not.
    const int probe = errno == EADDRINUSE ? ConnectTo(path) : -1;
    if (probe >= 0 || errno != ECONNREFUSED) {
      if (probe >= 0) ::close(probe);
      ::close(fd);
      return false;
    }
    ::unlink(path.c_str());
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd);
      return false;
    }
  }
  if (::listen(fd, 8) != 0) {
    ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  listenFd_ = fd;
  path_ = path;
  stop_ = false;
  thread_ = std::thread([this] { Serve(); });
  return true;
}

void SingleInstance::Serve() {
  while (!stop_) {
    pollfd p{listenFd_, POLLIN, 0};
    const int r = ::poll(&p, 1, 200);
    if (r <= 0) continue;
    const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (client < 0) continue;
    ServeConnection(client);
    ::close(client);
  }
}

void SingleInstance::ServeConnection(int fd) {
  std::string line;
  while (ReadLine(fd, line)) {
    if (line.rfind("238 ", 0) == 0) {
      const unsigned long length = std::strtoul(line.c_str() + 4, nullptr, 10);
      if (length == 0 || length > kMaxText) return;
      std::string text(length, '\0');
      if (!ReadExactly(fd, text.data(), length)) return;
      if (openAddress_) openAddress_(text);
    } else if (line == "244") {
      if (bringToFront_) bringToFront_();
      return;
    } else {
      return;
    }
  }
}

SingleInstance::~SingleInstance() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
  if (listenFd_ >= 0) {
    ::close(listenFd_);
    ::unlink(path_.c_str());
  }
}

}  // namespace vyr::platform

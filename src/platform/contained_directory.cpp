#include "platform/contained_directory.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace vyr::platform {

ContainedDirectory::~ContainedDirectory() {
  if (fd_ >= 0) ::close(fd_);
}

ContainedDirectory::ContainedDirectory(ContainedDirectory&& other) noexcept : fd_(other.fd_) {
  other.fd_ = -1;
}

ContainedDirectory& ContainedDirectory::operator=(ContainedDirectory&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

ContainedDirectory ContainedDirectory::Open(const std::string& path) {
  if (path.empty()) return ContainedDirectory();
  return ContainedDirectory(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
}

ContainedDirectory ContainedDirectory::Child(const std::string& name) const {
  if (fd_ < 0 || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string::npos) {
    return ContainedDirectory();
  }
  const int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
  int fd = ::openat(fd_, name.c_str(), flags);
  if (fd < 0 && errno == ENOENT) {
    if (::mkdirat(fd_, name.c_str(), 0755) != 0 && errno != EEXIST) return ContainedDirectory();
    fd = ::openat(fd_, name.c_str(), flags);
  }
  return ContainedDirectory(fd);
}

bool ContainedDirectory::WriteFile(const std::string& name, bool executable,
                                   const std::function<bool(const Sink& sink)>& write) const {
  if (fd_ < 0 || name.empty() || name == "." || name == ".." ||
      name.find('/') != std::string::npos) {
    return false;
  }
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int out = -1;
  for (int attempt = 0; attempt < 100 && out < 0; ++attempt) {
    temp = ".vyrpart-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    out = ::openat(fd_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                   executable ? 0755 : 0644);
    if (out < 0 && errno != EEXIST) return false;
  }
  if (out < 0) return false;
  const Sink sink = [out](const char* data, std::size_t size) {
    while (size > 0) {
      ssize_t n = ::write(out, data, size);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) return false;
      data += n;
      size -= static_cast<std::size_t>(n);
    }
    return true;
  };
  bool ok = write(sink);
  if (::close(out) != 0) ok = false;
  if (ok && ::renameat(fd_, temp.c_str(), fd_, name.c_str()) == 0) return true;
  ::unlinkat(fd_, temp.c_str(), 0);
  return false;
}

}  // namespace vyr::platform

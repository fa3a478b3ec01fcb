#include "home_server/content_folder.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace vyr::home {

namespace {

std::string JoinSegments(const std::vector<std::string>& segments) {
  std::string path;
  for (const std::string& segment : segments) {
    if (!path.empty()) path += '/';
    path += segment;
  }
  return path.empty() ? std::string(".") : path;
}

OpenStatus StatusOfErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:  // a link loop, or a last-step link under O_NOFOLLOW
      return OpenStatus::kNotFound;
    case EXDEV:  // RESOLVE_BENEATH: the path would leave the folder
      return OpenStatus::kOutside;
    case EACCES:
    case EPERM:
      return OpenStatus::kDenied;
    default:
      return OpenStatus::kError;
  }
}

// Looks at what was opened: a regular file stays open, a folder is
// reported, anything else (a device, a pipe, a socket) names nothing.
OpenedFile Classify(UniqueFd fd) {
  OpenedFile result;
  struct stat info {};
  if (fstat(fd.Get(), &info) != 0) {
    result.status = OpenStatus::kError;
    return result;
  }
  if (S_ISDIR(info.st_mode)) {
    result.status = OpenStatus::kDirectory;
    return result;
  }
  if (!S_ISREG(info.st_mode)) {
    result.status = OpenStatus::kNotFound;
    return result;
  }
  // O_NONBLOCK only kept a FIFO from holding the open up; reads of a
  // regular file do not care, but it goes anyway.
  const int flags = fcntl(fd.Get(), F_GETFL);
  if (flags >= 0) fcntl(fd.Get(), F_SETFL, flags & ~O_NONBLOCK);
  result.status = OpenStatus::kFile;
  result.size = static_cast<std::uint64_t>(info.st_size);
  result.modified = info.st_mtime;
  result.fd = std::move(fd);
  return result;
}

constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

OpenedFile OpenBeneath(const std::string& folder, const std::string& relative) {
  OpenedFile result;
  UniqueFd dir(open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (!dir) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  open_how how{};
  how.flags = kOpenFlags;
  how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
  const long fd = syscall(SYS_openat2, dir.Get(), relative.c_str(), &how, sizeof how);
  if (fd < 0) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  return Classify(UniqueFd(static_cast<int>(fd)));
}

OpenedFile OpenByRealPath(const std::string& folder, const std::string& relative) {
  OpenedFile result;
  char resolvedFolder[PATH_MAX];
  if (realpath(folder.c_str(), resolvedFolder) == nullptr) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  const std::string base = resolvedFolder;
  const std::string wanted = base + "/" + relative;
  char resolved[PATH_MAX];
  if (realpath(wanted.c_str(), resolved) == nullptr) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  const std::string target = resolved;
  const std::string prefix = base == "/" ? base : base + "/";
  if (target != base && target.compare(0, prefix.size(), prefix) != 0) {
    result.status = OpenStatus::kOutside;
    return result;
  }
  // The resolved path holds no link any more; one put in its place since
  // is not followed at the last step.
  UniqueFd fd(open(target.c_str(), kOpenFlags | O_NOFOLLOW));
  if (!fd) {
    result.status = StatusOfErrno(errno);
    return result;
  }
  return Classify(std::move(fd));
}

}  // namespace

UniqueFd::~UniqueFd() {
  if (fd_ >= 0) close(fd_);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = other.Release();
  }
  return *this;
}

bool BeneathOpenAvailable() {
  static const bool available = [] {
    open_how how{};
    how.flags = O_PATH | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_BENEATH;
    const long fd = syscall(SYS_openat2, AT_FDCWD, ".", &how, sizeof how);
    if (fd < 0) return false;
    close(static_cast<int>(fd));
    return true;
  }();
  return available;
}

OpenedFile OpenBelow(const std::string& folder, const std::vector<std::string>& segments,
                     Containment method) {
  for (const std::string& segment : segments) {
    // The segments are checked by the caller; a slip here must still not
    // reach outside.
    if (segment.empty() || segment == "." || segment == ".." || segment.find('/') != std::string::npos ||
        segment.find('\0') != std::string::npos) {
      OpenedFile refused;
      refused.status = OpenStatus::kOutside;
      return refused;
    }
  }
  const std::string relative = JoinSegments(segments);
  return method == Containment::kBeneath ? OpenBeneath(folder, relative) : OpenByRealPath(folder, relative);
}

OpenedFile OpenBelow(const std::string& folder, const std::vector<std::string>& segments) {
  return OpenBelow(folder, segments, BeneathOpenAvailable() ? Containment::kBeneath : Containment::kRealPath);
}

bool ReadAll(int fd, std::string& out, std::uint64_t limit) {
  out.clear();
  char buffer[65536];
  off_t offset = 0;
  for (;;) {
    const ssize_t got = pread(fd, buffer, sizeof buffer, offset);
    if (got < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (got == 0) return true;
    out.append(buffer, static_cast<size_t>(got));
    offset += got;
    if (out.size() > limit) return false;
  }
}

}  // namespace vyr::home

#include "platform/file_system.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <stdio.h>

namespace vyr::platform {

bool FileExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectories(const std::string& path) {
  if (path.empty()) return false;
  if (DirectoryExists(path)) return true;
  std::string partial;
  size_t pos = 0;
  while (pos <= path.size()) {
    size_t next = path.find('/', pos);
    if (next == std::string::npos) next = path.size();
    partial = path.substr(0, next);
    if (!partial.empty() && !DirectoryExists(partial)) {
      if (::mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    pos = next + 1;
  }
  return DirectoryExists(path);
}

bool CreatePrivateDirectories(const std::string& path) {
  if (!CreateDirectories(path)) return false;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  if ((st.st_mode & 07777) == 0700) return true;
  return ::chmod(path.c_str(), 0700) == 0;
}

namespace {
FileStamp StampFromStat(const struct stat& st) {
  FileStamp s;
  s.exists = true;
  s.device = st.st_dev;
  s.inode = st.st_ino;
  s.size = st.st_size;
  s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  s.changedNs = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
  return s;
}
}  // namespace

bool ReadWholeFile(const std::string& path, std::string& contents) {
  FileStamp ignored;
  return ReadWholeFile(path, contents, ignored);
}

bool ReadWholeFile(const std::string& path, std::string& contents, FileStamp& stamp) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
    ::close(fd);
    return false;
  }
  stamp = StampFromStat(st);
  std::string data;
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n > 0) {
      data.append(buf, static_cast<size_t>(n));
    } else if (n == 0) {
      break;
    } else if (errno != EINTR) {
      ok = false;
      break;
    }
  }
  ::close(fd);
  if (ok) contents.swap(data);
  return ok;
}

bool IsPlainFileName(const std::string& name) {
  return !name.empty() && name != "." && name != ".." &&
         name.find_first_of(std::string("/\\\0", 3)) == std::string::npos;
}

bool IsSafePathComponent(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (unsigned char c : name) {
    if (c < 0x20 || c == 0x7F || c == '/' || c == '\\' || c == ':') return false;
  }
  return true;
}

std::string ParentFolder(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

namespace {
bool WriteAll(int fd, const char* data, size_t size) {
  size_t done = 0;
  while (done < size) {
    ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
}

bool WriteAll(int fd, const std::string& data) { return WriteAll(fd, data.data(), data.size()); }

}  // namespace

void SyncFolder(const std::string& folder) {
  int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
}

bool WriteFileAtomically(const std::string& path, const std::string& contents, unsigned mode) {
  static std::atomic<unsigned> counter{0};
  const std::string folder = ParentFolder(path);
  if (!CreateDirectories(folder)) return false;
  const std::string temp = path + ".~" + std::to_string(::getpid()) + "." +
                           std::to_string(counter.fetch_add(1)) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, static_cast<mode_t>(mode));
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents) && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  SyncFolder(folder);
  return true;
}

bool SyncFile(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

void StartWriteBack(std::FILE* file, std::uint64_t offset, std::uint64_t length) {
  if (file) {
    ::sync_file_range(fileno(file), static_cast<off64_t>(offset), static_cast<off64_t>(length),
                      SYNC_FILE_RANGE_WRITE);
  }
}

bool WriteFileQuickly(const std::string& path, const std::string& contents) {
  const std::string temp = path + ".~" + std::to_string(::getpid()) + ".tmp";
  int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, contents);
  ok = (::close(fd) == 0) && ok;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

MoveResult MoveFileNoReplace(const std::string& from, const std::string& to, FolderSync sync) {
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
  } else if (errno == EEXIST) {
    return MoveResult::TargetExists;
  } else if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    return errno == EEXIST ? MoveResult::TargetExists : MoveResult::Failed;
  }
  if (sync == FolderSync::kLater) return MoveResult::Moved;
  SyncFolder(ParentFolder(to));
  if (ParentFolder(to) != ParentFolder(from)) SyncFolder(ParentFolder(from));
  return MoveResult::Moved;
}

bool ReplaceFileByRename(const std::string& from, const std::string& to) {
  if (!FileExists(from)) return false;
  if (::rename(from.c_str(), to.c_str()) != 0) return false;
  SyncFolder(ParentFolder(to));
  if (ParentFolder(to) != ParentFolder(from)) SyncFolder(ParentFolder(from));
  return true;
}

CopyResult CopyRegularFile(const std::string& from, const std::string& to,
                           std::uint64_t maxBytes) {
  // Not blocking on the open: a fifo would otherwise wait for a writer.
  int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (in < 0) return CopyResult::Failed;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return CopyResult::NotRegularFile;
  }
  if (maxBytes != 0 && static_cast<std::uint64_t>(st.st_size) > maxBytes) {
    ::close(in);
    return CopyResult::TooLarge;
  }
  const int flags = ::fcntl(in, F_GETFL);
  if (flags >= 0) ::fcntl(in, F_SETFL, flags & ~O_NONBLOCK);
  int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
  if (out < 0) {
    ::close(in);
    return CopyResult::Failed;
  }
  CopyResult result = CopyResult::Copied;
  std::uint64_t copied = 0;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(in, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      result = CopyResult::Failed;
      break;
    }
    if (n == 0) break;
    copied += static_cast<std::uint64_t>(n);
    if (maxBytes != 0 && copied > maxBytes) {
      result = CopyResult::TooLarge;
      break;
    }
    if (!WriteAll(out, buf, static_cast<size_t>(n))) {
      result = CopyResult::Failed;
      break;
    }
  }
  ::close(in);
  if (result == CopyResult::Copied && ::fsync(out) != 0) result = CopyResult::Failed;
  if (::close(out) != 0 && result == CopyResult::Copied) result = CopyResult::Failed;
  if (result != CopyResult::Copied) ::unlink(to.c_str());
  return result;
}

FileStamp StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return StampFromStat(st);
}

FileClaim& FileClaim::operator=(FileClaim&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    other.fd_ = -1;
  }
  return *this;
}

FileClaim FileClaim::Take(const std::string& path, bool wait) {
  FileClaim claim;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return claim;
  int rc;
  while ((rc = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB))) != 0 && errno == EINTR) {
  }
  // The path must still name the file that was claimed: a holder that
  // finished meanwhile may have moved it away (and another file may stand
  // under its name now).
  struct stat held {}, named {};
  if (rc != 0 || ::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode) || ::stat(path.c_str(), &named) != 0 ||
      held.st_dev != named.st_dev || held.st_ino != named.st_ino) {
    ::close(fd);
    return claim;
  }
  claim.fd_ = fd;
  return claim;
}

void FileClaim::Release() {
  if (fd_ < 0) return;
  ::flock(fd_, LOCK_UN);
  ::close(fd_);
  fd_ = -1;
}

bool IsFileClaimed(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  if (fd < 0) return false;
  int rc;
  while ((rc = ::flock(fd, LOCK_SH | LOCK_NB)) != 0 && errno == EINTR) {
  }
  const bool claimed = rc != 0 && errno == EWOULDBLOCK;
  if (rc == 0) ::flock(fd, LOCK_UN);
  ::close(fd);
  return claimed;
}

DirectoryLock::DirectoryLock(const std::string& folder) {
  fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd_ >= 0) {
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) {
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
  }
}

}  // namespace vyr::platform

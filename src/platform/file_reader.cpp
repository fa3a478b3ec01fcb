#include "platform/file_reader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace vyr::platform {

FileReader::FileReader(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOATIME);
  noAccessTime_ = fd_ >= 0;
  // O_NOATIME is for the file's owner (or a privileged process) only.
  if (fd_ < 0 && errno == EPERM) fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
}

FileReader::~FileReader() {
  if (fd_ >= 0) ::close(fd_);
}

bool FileReader::Examine(FileTimes* times, std::uint64_t* size, bool* regular) const {
  struct stat st {};
  if (fd_ < 0 || ::fstat(fd_, &st) != 0) return false;
  if (times) {
    times->createdNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    times->accessedNs = static_cast<std::int64_t>(st.st_atim.tv_sec) * 1000000000 + st.st_atim.tv_nsec;
  }
  if (size) *size = static_cast<std::uint64_t>(st.st_size);
  if (regular) *regular = S_ISREG(st.st_mode);
  return true;
}

long FileReader::Read(char* buffer, std::size_t n) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t got = ::read(fd_, buffer, n);
    if (got < 0 && errno == EINTR) continue;
    return static_cast<long>(got);
  }
}

}  // namespace vyr::platform

#pragma once
// Opening files below one served folder so that nothing outside it can be
// reached: not by the path (the segments come from DecodeRequestPath, which
// refuses "." and ".."), and not by a symbolic link inside the folder that
// points out of it.
//
// The kernel's openat2 with RESOLVE_BENEATH resolves the path and every
// link on it relative to the folder and fails when any step would leave it.
// Where openat2 is not available (an older kernel, or a sandbox that blocks
// the call) the fall-back resolves the path with realpath, checks that the
// result still lies below the folder's own resolved path, and opens that
// result without following a link at its last step.
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace vyr::home {

// An open file descriptor, closed with the object.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int Get() const { return fd_; }
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

enum class Containment {
  kBeneath,   // openat2 with RESOLVE_BENEATH
  kRealPath,  // realpath, a prefix check and O_NOFOLLOW
};

enum class OpenStatus {
  kFile,       // a regular file, open for reading
  kDirectory,  // a folder (nothing is kept open)
  kNotFound,   // missing, or not a file or folder (a device, a pipe)
  kOutside,    // the path, through a link, leads out of the folder
  kDenied,     // the server may not read it
  kError,      // anything else
};

struct OpenedFile {
  OpenStatus status = OpenStatus::kError;
  UniqueFd fd;
  std::uint64_t size = 0;
  std::time_t modified = 0;
};

// Whether this process can use openat2 (asked once).
bool BeneathOpenAvailable();

// Opens segments (each one plain name, as DecodeRequestPath gives them)
// below folder (an absolute or relative path). With no segments the folder
// itself is looked at.
OpenedFile OpenBelow(const std::string& folder, const std::vector<std::string>& segments,
                     Containment method);
// The same with the best method this process has.
OpenedFile OpenBelow(const std::string& folder, const std::vector<std::string>& segments);

// Reads a whole open file (from offset 0). False on a read error.
bool ReadAll(int fd, std::string& out, std::uint64_t limit);

}  // namespace vyr::home

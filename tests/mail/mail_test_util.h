#pragma once
// Helpers shared by the mail store tests.
#include <sys/resource.h>
#include <fcntl.h>
#include <unistd.h>

#include <ctime>
#include <optional>
#include <string>

#include "tools/test_support.h"

namespace vyr::mailtest {

// Local time as a fixed zone for the lifetime of the object.
class ScopedZone {
 public:
  explicit ScopedZone(const char* zone) {
    env_.emplace("TZ", std::string(zone));
    tzset();
  }
  ~ScopedZone() {
    env_.reset();
    tzset();
  }

 private:
  std::optional<test::ScopedEnv> env_;
};

// While it lives, the process cannot open another file (its open-file limit
// is lowered to the handles already open), while files can still be
// examined and their times set; spare handles are left. Works for the
// superuser too, whom file permissions would not stop.
class NoFreeFileHandles {
 public:
  explicit NoFreeFileHandles(int spare = 0) {
    ::getrlimit(RLIMIT_NOFILE, &saved_);
    const int lowest = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (lowest >= 0) ::close(lowest);
    rlimit lowered = saved_;
    lowered.rlim_cur = lowest >= 0 ? static_cast<rlim_t>(lowest + spare) : saved_.rlim_cur;
    ::setrlimit(RLIMIT_NOFILE, &lowered);
  }
  ~NoFreeFileHandles() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
  NoFreeFileHandles(const NoFreeFileHandles&) = delete;
  NoFreeFileHandles& operator=(const NoFreeFileHandles&) = delete;

 private:
  rlimit saved_{};
};

}  // namespace vyr::mailtest

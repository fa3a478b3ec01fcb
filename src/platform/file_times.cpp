#include "platform/file_times.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace vyr::platform {

namespace {
std::int64_t ToNs(const timespec& t) {
  return static_cast<std::int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec;
}
timespec FromNs(std::int64_t ns) {
  timespec t{};
  t.tv_sec = static_cast<time_t>(ns / 1000000000);
  t.tv_nsec = static_cast<long>(ns % 1000000000);
  if (t.tv_nsec < 0) {
    t.tv_nsec += 1000000000;
    t.tv_sec -= 1;
  }
  return t;
}
}  // namespace

bool GetFileTimes(const std::string& path, FileTimes& times) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  times.createdNs = ToNs(st.st_mtim);
  times.accessedNs = ToNs(st.st_atim);
  return true;
}

bool SetFileTimes(const std::string& path, const FileTimes& times) {
  timespec ts[2] = {FromNs(times.accessedNs), FromNs(times.createdNs)};
  return ::utimensat(AT_FDCWD, path.c_str(), ts, 0) == 0;
}

FileTimesKeeper::FileTimesKeeper(std::string path) : path_(std::move(path)) {
  valid_ = GetFileTimes(path_, times_);
}

FileTimesKeeper::~FileTimesKeeper() {
  if (valid_) SetFileTimes(path_, times_);
}

}  // namespace vyr::platform

#pragma once
// File times that carry the mail read state. The store speaks of a message's
// "creation time" and "last-access time"; here the creation time is the
// file's modification time and the last-access time its access time, both
// set explicitly, so the kernel's own access-time updates (noatime, relatime)
// do not matter.
#include <cstdint>
#include <string>

namespace vyr::platform {

struct FileTimes {
  std::int64_t createdNs = 0;   // modification time, nanoseconds since 1970
  std::int64_t accessedNs = 0;  // access time, nanoseconds since 1970
  bool operator==(const FileTimes&) const = default;
};

bool GetFileTimes(const std::string& path, FileTimes& times);
bool SetFileTimes(const std::string& path, const FileTimes& times);

// Remembers a file's times and puts them back when it goes out of scope, so
// that reading a message (to scan its headers, say) leaves its read state as
// it was.
class FileTimesKeeper {
 public:
  explicit FileTimesKeeper(std::string path);
  ~FileTimesKeeper();
  FileTimesKeeper(const FileTimesKeeper&) = delete;
  FileTimesKeeper& operator=(const FileTimesKeeper&) = delete;

 private:
  std::string path_;
  FileTimes times_;
  bool valid_ = false;
};

}  // namespace vyr::platform

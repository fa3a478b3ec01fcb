#pragma once
// Reads a file without leaving a trace in its times where the system allows
// it. A message's read state lives in its access time, so every read the
// program makes for its own use (a header scan, a comparison) must leave
// that time alone: opened with O_NOATIME (granted for the user's own files)
// the read never moves it, and nothing has to be put back afterwards. When
// the system refuses it (a file of another owner) the file is opened
// plainly and AccessTimeKept() says so: the caller puts the times back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/file_times.h"

namespace vyr::platform {

class FileReader {
 public:
  explicit FileReader(const std::string& path);
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  bool IsOpen() const { return fd_ >= 0; }
  // False when the read may have moved the access time.
  bool AccessTimeKept() const { return noAccessTime_; }
  // The open file's times, size and kind (a folder opens too, and fails to
  // read). False when they cannot be read.
  bool Examine(FileTimes* times, std::uint64_t* size = nullptr, bool* regular = nullptr) const;
  // Up to n bytes into buffer: how many were read, 0 at the end, -1 on an
  // error (the error number stays in errno).
  long Read(char* buffer, std::size_t n);

 private:
  int fd_ = -1;
  bool noAccessTime_ = false;
};

}  // namespace vyr::platform

#pragma once
// A log file many request threads write to: each line goes out with one
// write() on a descriptor opened for appending, under a lock, so lines never
// interleave. Reopen() starts writing to the file at the same path again
// (after a log rotation moved the old one away).
#include <mutex>
#include <string>
#include <string_view>

namespace vyr::home {

class LogFile {
 public:
  explicit LogFile(std::string path) : path_(std::move(path)) {}
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  // Opens (creating) the file. False, with errno set, when it cannot.
  bool Open();
  // Appends line and a line end. False when it could not be written whole.
  bool Write(std::string_view line);
  bool Reopen();
  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  std::mutex mutex_;
  int fd_ = -1;
};

// The access log's line: time, client address, method, target, status and
// the number of body bytes, separated by blanks. Client, method and target
// are escaped (EscapeForLog) so that no field holds a blank or line break.
std::string AccessLine(std::string_view time, std::string_view client, std::string_view method,
                       std::string_view target, int status, unsigned long long bytes);

}  // namespace vyr::home

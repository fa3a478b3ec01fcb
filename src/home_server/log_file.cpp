#include "home_server/log_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "home_server/text.h"

namespace vyr::home {

LogFile::~LogFile() {
  if (fd_ >= 0) close(fd_);
}

bool LogFile::Open() {
  std::lock_guard guard(mutex_);
  const int fd = open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0640);
  if (fd < 0) return false;
  if (fd_ >= 0) close(fd_);
  fd_ = fd;
  return true;
}

bool LogFile::Reopen() { return Open(); }

bool LogFile::Write(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::lock_guard guard(mutex_);
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t wrote = write(fd_, text.data() + done, text.size() - done);
    if (wrote < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    done += static_cast<size_t>(wrote);
  }
  return true;
}

std::string AccessLine(std::string_view time, std::string_view client, std::string_view method,
                       std::string_view target, int status, unsigned long long bytes) {
  std::string line(time);
  line += ' ';
  line += client.empty() ? std::string("-") : EscapeForLog(client);
  line += ' ';
  line += method.empty() ? std::string("-") : EscapeForLog(method);
  line += ' ';
  line += target.empty() ? std::string("-") : EscapeForLog(target);
  line += ' ';
  line += std::to_string(status);
  line += ' ';
  line += std::to_string(bytes);
  return line;
}

}  // namespace vyr::home

#pragma once
// A test server written in Python (a script in tests/fixtures run with
// Debian's /usr/bin/python3) that prints "PORT <n>" once it listens. Ended
// with SIGTERM when the object goes away.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vyr::test {

class PythonFixture {
 public:
  PythonFixture() = default;
  ~PythonFixture();
  PythonFixture(const PythonFixture&) = delete;
  PythonFixture& operator=(const PythonFixture&) = delete;

  // Starts tests/fixtures/<script> with the arguments and waits for its
  // port; false with a reason.
  bool Start(const std::string& script, const std::vector<std::string>& args, std::string* error);
  int Port() const { return port_; }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vyr::test

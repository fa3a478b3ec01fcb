#include "tools/download_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <vector>

extern char** environ;

namespace vyr::test {

namespace {
const char kPython[] = "/usr/bin/python3";
}

DownloadServer::~DownloadServer() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool DownloadServer::Start(const std::string& fixturesDir, std::string* error) {
  std::string script = fixturesDir + "/download_server.py";
  std::vector<char*> argv{const_cast<char*>(kPython), script.data(), nullptr};
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    *error = "no pipe";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const int rc = ::posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    pid_ = -1;
    *error = "cannot start /usr/bin/python3 (Debian package python3)";
    return false;
  }
  // The server prints its port once it accepts connections.
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[64];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  port_ = std::atoi(text.c_str());
  if (port_ <= 0) *error = "the download server did not start";
  return port_ > 0;
}

std::string DownloadServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

}  // namespace vyr::test

#include "tools/python_fixture.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>

extern char** environ;

namespace vyr::test {

PythonFixture::~PythonFixture() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
}

bool PythonFixture::Start(const std::string& script, const std::vector<std::string>& args,
                          std::string* error) {
  const char* python = "/usr/bin/python3";
  if (::access(python, X_OK) != 0) {
    *error = "/usr/bin/python3 is missing: install the Debian package python3";
    return false;
  }
  std::vector<std::string> all = {python, std::string(VYRELLE_TEST_FIXTURES_DIR) + "/" + script};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const int rc = ::posix_spawn(&pid_, python, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    ::close(out[0]);
    *error = "cannot start " + std::string(python);
    return false;
  }
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
    pollfd p{out[0], POLLIN, 0};
    if (::poll(&p, 1, 200) <= 0) continue;
    char buffer[128];
    const ssize_t n = ::read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(out[0]);
  if (text.rfind("PORT ", 0) != 0) {
    *error = script + " did not start (is python3-aiosmtpd installed?): " + text;
    return false;
  }
  port_ = std::atoi(text.c_str() + 5);
  return port_ > 0;
}

}  // namespace vyr::test

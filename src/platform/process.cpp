#include "platform/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <csignal>
#include <thread>
#include <utility>

extern char** environ;

namespace vyr::platform {

bool StartProcess(const std::string& program) {
  if (program.empty()) return false;
  posix_spawnattr_t attr;
  if (posix_spawnattr_init(&attr) != 0) return false;
  // The child starts in a session of its own, so that it outlives the shell
  // and its terminal; signals blocked or ignored here are not handed on.
  sigset_t none;
  sigemptyset(&none);
  sigset_t all;
  sigfillset(&all);
  posix_spawnattr_setsigmask(&attr, &none);
  posix_spawnattr_setsigdefault(&attr, &all);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK |
                                      POSIX_SPAWN_SETSIGDEF);
  char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
  pid_t pid = 0;
  const int rc = posix_spawn(&pid, program.c_str(), nullptr, &attr, argv, environ);
  posix_spawnattr_destroy(&attr);
  return rc == 0;
}

void OpenWithDesktop(const std::string& address, std::function<void(const DesktopOpenResult&)> ended) {
  DesktopOpenResult result;
  pid_t pid = 0;
  if (!address.empty()) {
    posix_spawn_file_actions_t files;
    posix_spawnattr_t attr;
    if (posix_spawn_file_actions_init(&files) == 0) {
      if (posix_spawnattr_init(&attr) == 0) {
        // Nothing to read, nothing to say on standard output; its complaints
        // go where this program's go.
        posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&files, 1, "/dev/null", O_WRONLY, 0);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        posix_spawnattr_setsigmask(&attr, &none);
        posix_spawnattr_setsigdefault(&attr, &all);
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
        char opener[] = "xdg-open";
        char* argv[] = {opener, const_cast<char*>(address.c_str()), nullptr};
        result.started = posix_spawnp(&pid, opener, &files, &attr, argv, environ) == 0;
        posix_spawnattr_destroy(&attr);
      }
      posix_spawn_file_actions_destroy(&files);
    }
  }
  if (!result.started) {
    if (ended) ended(result);
    return;
  }
  std::thread([pid, result, ended = std::move(ended)]() mutable {
    int status = 0;
    pid_t done = 0;
    while ((done = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (done == pid) result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (ended) ended(result);
  }).detach();
}

bool MarkExecutable(const std::string& path) {
  return !path.empty() && ::chmod(path.c_str(), 0755) == 0;
}

std::string ProgramDirectory() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
  if (n <= 0) return {};
  std::string path(buffer, static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return {};
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace vyr::platform

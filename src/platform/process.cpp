#include "platform/process.h"

#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <cstdlib>
#include <climits>
#include <csignal>
#include <thread>
#include <utility>

#include "platform/desktop_defaults.h"

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

namespace {

// Starts the words as a program (found on PATH) in a session of its own,
// with nothing to read and its output dropped, and hands its end to a
// thread of its own; ended is called at once when it cannot start.
void Launch(const std::vector<std::string>& words, std::function<void(const DesktopOpenResult&)> ended) {
  DesktopOpenResult result;
  pid_t pid = 0;
  if (!words.empty() && !words[0].empty()) {
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
        std::vector<char*> argv;
        for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        result.started = posix_spawnp(&pid, argv[0], &files, &attr, argv.data(), environ) == 0;
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

// The string escapes of a desktop file's value undone.
std::string Unescaped(std::string_view value) {
  std::string out;
  for (size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      out += value[i];
      continue;
    }
    switch (value[++i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: out += '\\'; out += value[i]; break;
    }
  }
  return out;
}

}  // namespace

void OpenWithDesktop(const std::string& address, std::function<void(const DesktopOpenResult&)> ended) {
  if (address.empty()) {
    if (ended) ended(DesktopOpenResult{});
    return;
  }
  Launch({"xdg-open", address}, std::move(ended));
}

void OpenWithTextEditor(const std::string& file, std::function<void(const DesktopOpenResult&)> ended) {
  const std::string editor = DefaultApplication("text/plain");
  const std::vector<std::string> words =
      editor.empty() || file.empty() ? std::vector<std::string>() : DesktopCommandWords(DesktopExecLine(editor), file);
  if (words.empty()) {
    if (ended) ended(DesktopOpenResult{});
    return;
  }
  Launch(words, std::move(ended));
}

std::vector<std::string> DesktopCommandWords(std::string_view exec, const std::string& file) {
  const std::string line = Unescaped(exec);
  // Each word as written, and whether it was quoted (a quoted word keeps
  // its "%" signs: field codes stand only in the open).
  std::vector<std::pair<std::string, bool>> words;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (quoted) {
      if (c == '"') {
        quoted = false;
      } else if (c == '\\' && i + 1 < line.size()) {
        words.back().first += line[++i];
      } else {
        words.back().first += c;
      }
    } else if (c == ' ' || c == '\t') {
      inWord = false;
    } else {
      if (!inWord) words.emplace_back(std::string(), false);
      inWord = true;
      if (c == '"') {
        quoted = true;
        words.back().second = true;
      } else {
        words.back().first += c;
      }
    }
  }
  if (quoted || words.empty()) return {};
  std::vector<std::string> out;
  bool fileGiven = false;
  for (const auto& [word, wasQuoted] : words) {
    if (wasQuoted) {
      out.push_back(word);
      continue;
    }
    std::string made;
    bool dropped = false;
    for (size_t i = 0; i < word.size(); ++i) {
      if (word[i] != '%' || i + 1 == word.size()) {
        made += word[i];
        continue;
      }
      const char code = word[++i];
      if (code == '%') {
        made += '%';
      } else if ((code == 'f' || code == 'F' || code == 'u' || code == 'U') && !file.empty()) {
        made += file;
        fileGiven = true;
      } else {
        dropped = true;
      }
    }
    if (!made.empty() || !dropped) out.push_back(made);
  }
  if (out.empty()) return {};
  if (!fileGiven && !file.empty()) out.push_back(file);
  return out;
}

void StartCommand(const std::vector<std::string>& words, std::function<void(const DesktopOpenResult&)> ended) {
  Launch(words, std::move(ended));
}

bool IsThisProgram(const std::string& commandWord) {
  if (commandWord.empty()) return false;
  std::string path = commandWord;
  if (commandWord.find('/') == std::string::npos) {
    const char* list = std::getenv("PATH");
    path.clear();
    const std::string folders = list ? list : "";
    for (size_t start = 0; start <= folders.size() && path.empty();) {
      size_t end = folders.find(':', start);
      if (end == std::string::npos) end = folders.size();
      const std::string folder = folders.substr(start, end - start);
      const std::string candidate = (folder.empty() ? std::string(".") : folder) + "/" + commandWord;
      if (::access(candidate.c_str(), X_OK) == 0) path = candidate;
      start = end + 1;
    }
    if (path.empty()) return false;
  }
  auto resolved = [](const std::string& p) {
    char buffer[PATH_MAX];
    return ::realpath(p.c_str(), buffer) ? std::string(buffer) : std::string();
  };
  const std::string target = resolved(path);
  if (target.empty()) return false;
  const std::string self = resolved("/proc/self/exe");
  const std::string dir = ProgramDirectory();
  return target == self || (!dir.empty() && target == resolved(dir + "/vyrelle"));
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

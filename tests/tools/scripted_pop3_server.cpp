#include "tools/scripted_pop3_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "tools/test_support.h"

extern char** environ;

namespace vyr::test {

namespace {

constexpr const char* kPython = "/usr/bin/python3";

std::string ScriptPath() { return std::string(VYRELLE_TEST_FIXTURES_DIR) + "/pop3_script_server.py"; }

}  // namespace

ScriptedPop3Server::ScriptedPop3Server(std::string mode, std::vector<std::string> messages)
    : mode_(std::move(mode)), messages_(std::move(messages)) {}

ScriptedPop3Server::~ScriptedPop3Server() {
  if (pid_ > 0) {
    ::kill(pid_, SIGTERM);
    int status = 0;
    ::waitpid(pid_, &status, 0);
  }
  if (!scratch_.empty()) {
    std::error_code ec;
    std::filesystem::remove_all(scratch_, ec);
  }
}

bool ScriptedPop3Server::Start(std::string* error) {
  if (::access(kPython, X_OK) != 0) {
    *error = std::string(kPython) + " is missing: install the Debian package python3";
    return false;
  }
  std::string pattern = (std::filesystem::temp_directory_path() / "vyrelle-pop3script-XXXXXX").string();
  if (!::mkdtemp(pattern.data())) {
    *error = "cannot make a scratch folder";
    return false;
  }
  scratch_ = pattern;
  logPath_ = scratch_ + "/commands.log";
  WriteFile(logPath_, "");

  std::vector<std::string> args = {kPython, ScriptPath(), "--mode", mode_, "--log", logPath_};
  for (size_t i = 0; i < messages_.size(); ++i) {
    const std::string path = scratch_ + "/message" + std::to_string(i + 1) + ".eml";
    WriteFile(path, messages_[i]);
    args.push_back("--message");
    args.push_back(path);
  }
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) {
    *error = "pipe failed";
    return false;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  const int rc = ::posix_spawn(&pid_, kPython, &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    pid_ = -1;
    ::close(out[0]);
    *error = "cannot start " + std::string(kPython);
    return false;
  }

  // The script prints "PORT <n>" once it listens.
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
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
    *error = "the scripted POP3 server did not start: " + text;
    return false;
  }
  port_ = std::atoi(text.c_str() + 5);
  return port_ > 0;
}

std::vector<std::string> ScriptedPop3Server::Commands() const {
  std::vector<std::string> lines;
  const std::string log = ReadFile(logPath_);
  size_t start = 0;
  while (start < log.size()) {
    size_t end = log.find('\n', start);
    if (end == std::string::npos) break;  // a line still being written
    lines.push_back(log.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}

bool ScriptedPop3Server::WaitForCommand(const std::string& command, int timeoutMs) const {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    for (const auto& line : Commands()) {
      if (line == command) return true;
    }
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

}  // namespace vyr::test

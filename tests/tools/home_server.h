#pragma once
// vyrelle-home-server, the project's own home server, run on a free loopback
// port for the life of the object over a content folder of its own: a
// scratch copy of data/home-server that the test may change before the
// start (and afterwards: the server reads its files at every request). Its
// logs go to the folder's logs/. The consumer target defines
// VYRELLE_HOME_SERVER_PROGRAM and VYRELLE_HOME_SERVER_SAMPLE and depends on
// the program (see tests/CMakeLists.txt).
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "tools/test_support.h"

#if !defined(VYRELLE_HOME_SERVER_PROGRAM) || !defined(VYRELLE_HOME_SERVER_SAMPLE)
#error "tests/tools/home_server.h needs VYRELLE_HOME_SERVER_PROGRAM and VYRELLE_HOME_SERVER_SAMPLE"
#endif

extern char** environ;

namespace vyr::test {

class HomeServer {
 public:
  // Gets the content folder's path before the program starts.
  using Prepare = std::function<void(const std::string& root)>;

  // args: more of the program's options, e.g. "--no-ack".
  explicit HomeServer(const Prepare& prepare = {}, std::vector<std::string> args = {}) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(VYRELLE_HOME_SERVER_SAMPLE, root_, fs::copy_options::recursive, ec);
    // What a server run in the sample folder itself may have left there.
    for (const char* left : {"logs", "commands/delivered.txt", "commands/queue.lock"}) fs::remove_all(File(left), ec);
    if (prepare) prepare(root_);
    args.insert(args.begin(), {VYRELLE_HOME_SERVER_PROGRAM, "--root", root_, "--port", "0"});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, scratch_.File("server.out").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, scratch_.File("server.err").c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (::posix_spawn(&pid_, VYRELLE_HOME_SERVER_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    // It prints its address once it listens.
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)/\n");
    std::smatch match;
    for (int i = 0; i < 1000 && pid_ > 0 && port_ == 0; ++i) {
      const std::string out = ReadFile(scratch_.File("server.out"));
      if (std::regex_search(out, match, listening)) {
        port_ = std::stoi(match[1]);
      } else if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
        pid_ = -1;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    }
    if (port_ == 0) {
      std::fprintf(stderr, "%s did not start: %s%s\n", VYRELLE_HOME_SERVER_PROGRAM,
                   ReadFile(scratch_.File("server.out")).c_str(), Errors().c_str());
    }
  }
  ~HomeServer() { Stop(); }
  HomeServer(const HomeServer&) = delete;
  HomeServer& operator=(const HomeServer&) = delete;

  // 0 when the program did not start.
  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  // A path inside the content folder.
  std::string File(const std::string& relative) const { return root_ + "/" + relative; }

  // Adds a line to commands/queue.txt under the queue's lock, as an
  // administrator does: "COMMAND" goes out in the next login's or ping's
  // reply, "@ID COMMAND" to that installation, "* COMMAND" to everyone.
  bool Queue(const std::string& line) const {
    const int lock = ::open(File("commands/queue.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (lock < 0) return false;
    bool ok = ::flock(lock, LOCK_EX) == 0;
    if (ok) {
      std::FILE* queue = std::fopen(File("commands/queue.txt").c_str(), "a");
      ok = queue && std::fputs((line + "\n").c_str(), queue) >= 0;
      if (queue) ok = std::fclose(queue) == 0 && ok;
    }
    ::close(lock);
    return ok;
  }

  // A log as written so far: "usage.log", "access.log" or "commands.log".
  // A usage line is written before its reply goes out; an access line only
  // after the answer was sent, so it is sure to be there once Stop() ends.
  std::string Log(const std::string& name) const { return ReadFile(File("logs/" + name)); }
  // The usage log's lines without their time: "VERB\tID\tMO\tPAIRS".
  std::vector<std::string> UsageLines() const {
    std::vector<std::string> lines;
    const std::string text = Log("usage.log");
    for (size_t start = 0, end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
      const size_t tab = text.find('\t', start);
      lines.push_back(text.substr(tab < end ? tab + 1 : start, end - (tab < end ? tab + 1 : start)));
    }
    return lines;
  }
  // What the program wrote on its error output.
  std::string Errors() const { return ReadFile(scratch_.File("server.err")); }

  // SIGTERM and the wait for its end; true when it ended with status 0.
  bool Stop() {
    if (pid_ <= 0) return false;
    ::kill(pid_, SIGTERM);
    int status = 0;
    const bool ended = ::waitpid(pid_, &status, 0) == pid_;
    pid_ = -1;
    return ended && WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }

 private:
  TempDir scratch_;
  std::string root_ = scratch_.File("content");
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vyr::test

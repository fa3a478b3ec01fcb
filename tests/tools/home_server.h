#pragma once
// vyrelle-home-server, the project's own home server, run on a free loopback
// port for the life of the object over a content folder of its own: a
// scratch copy of data/home-server that the test may change before the
// start (and afterwards: the server reads its files at every request). Its
// logs go to the folder's logs/. The consumer target defines
// VYRELLE_HOME_SERVER_PROGRAM and VYRELLE_HOME_SERVER_SAMPLE and depends on
// the program (see tests/CMakeLists.txt).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "tools/python_fixture.h"
#include "tools/test_support.h"

#if !defined(VYRELLE_HOME_SERVER_PROGRAM) || !defined(VYRELLE_HOME_SERVER_SAMPLE)
#error "tests/tools/home_server.h needs VYRELLE_HOME_SERVER_PROGRAM and VYRELLE_HOME_SERVER_SAMPLE"
#endif

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
    // It prints its address once it listens.
    const std::regex listening("listening on http://127\\.0\\.0\\.1:([0-9]+)/");
    std::string error, printed, line;
    std::smatch match;
    if (process_.StartProgram(args, &error)) {
      while (port_ == 0 && !(line = process_.Line()).empty()) {
        printed += line + "\n";
        if (std::regex_match(line, match, listening)) port_ = std::stoi(match[1]);
      }
    }
    if (port_ == 0) std::fprintf(stderr, "%s did not start: %s%s%s\n", VYRELLE_HOME_SERVER_PROGRAM, error.c_str(),
                                 printed.c_str(), Errors().c_str());
  }

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
  std::string Errors() const { return ReadFile(process_.File("server.err")); }
  // SIGTERM and the wait for its end; true when it ended with status 0.
  bool Stop() { return process_.Stop(); }

 private:
  PythonFixture process_;
  std::string root_ = process_.File("content");
  int port_ = 0;
};

}  // namespace vyr::test

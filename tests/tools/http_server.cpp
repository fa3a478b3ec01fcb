#include "tools/http_server.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

extern char** environ;

namespace vyr::test {

HttpServer::HttpServer(std::vector<std::string> args) {
  args.insert(args.begin(), {"/usr/bin/python3", VYRELLE_TEST_FIXTURES_DIR "/http_server.py"});
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) return;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  if (::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  out_ = out[0];
  std::sscanf(Line().c_str(), "PORT %d %d", &port_, &ftpPort_);
}

HttpServer::~HttpServer() {
  if (pid_ > 0) ::kill(pid_, SIGTERM), ::waitpid(pid_, nullptr, 0);
  ::close(out_);
}

std::string HttpServer::Url(const std::string& path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + path;
}

std::string HttpServer::Line() {
  using namespace std::chrono;
  const auto deadline = steady_clock::now() + seconds(20);
  size_t end;
  while ((end = pending_.find('\n')) == std::string::npos) {
    const auto left = duration_cast<milliseconds>(deadline - steady_clock::now()).count();
    pollfd p{out_, POLLIN, 0};
    char buffer[256];
    const ssize_t n = left > 0 && ::poll(&p, 1, static_cast<int>(left)) > 0 ? ::read(out_, buffer, sizeof buffer) : 0;
    if (n <= 0) return "";
    pending_.append(buffer, static_cast<size_t>(n));
  }
  std::string line = pending_.substr(0, end);
  pending_.erase(0, end + 1);
  return line;
}

}  // namespace vyr::test

// Downloads a large file from a loopback HTTP server of its own twice: with
// DownloadToFile (on its worker thread, reporting to a window whose messages
// are delivered here, as in the program) and with the curl command-line tool
// (Debian package curl). Prints both times, their ratio and the peak memory
// of the process during our download. Then the command-line download,
// vyrelle-cli download against curl, process against process, three runs
// each taken in turn: wall time, processor time in the program and in the
// system (min and median), and how many lines vyrelle-cli printed.
//
//   build/bench/download_bench [megabytes] [vyrelle-cli]   (default 500 and the one built)
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "net/download_worker.h"

extern char** environ;

using Clock = std::chrono::steady_clock;

namespace {

// Serves every request with `size` bytes and a Content-Length, one
// connection after the other, until the listening socket is shut down.
class BlastServer {
 public:
  explicit BlastServer(std::uint64_t size) : size_(size), block_(1 << 20) {
    for (size_t i = 0; i < block_.size(); ++i) block_[i] = static_cast<char>(i * 7);
    fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
    int on = 1;
    ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    ::listen(fd_, 4);
    thread_ = std::thread([this] { Serve(); });
  }
  ~BlastServer() {
    ::shutdown(fd_, SHUT_RDWR);
    thread_.join();
    ::close(fd_);
  }
  int Port() const { return port_; }

 private:
  void Serve() {
    for (;;) {
      int c = ::accept(fd_, nullptr, nullptr);
      if (c < 0) return;
      char request[4096];
      std::string head;
      while (head.find("\r\n\r\n") == std::string::npos) {
        ssize_t n = ::recv(c, request, sizeof request, 0);
        if (n <= 0) break;
        head.append(request, static_cast<size_t>(n));
      }
      std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(size_) +
                          "\r\nConnection: close\r\n\r\n";
      bool ok = ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(reply.size());
      for (std::uint64_t sent = 0; ok && sent < size_;) {
        size_t take = static_cast<size_t>(std::min<std::uint64_t>(block_.size(), size_ - sent));
        ssize_t n = ::send(c, block_.data(), take, MSG_NOSIGNAL);
        ok = n > 0;
        if (ok) sent += static_cast<std::uint64_t>(n);
      }
      ::close(c);
    }
  }

  std::uint64_t size_;
  std::vector<char> block_;
  int fd_ = -1;
  int port_ = 0;
  std::thread thread_;
};

long StatusKilobytes(const char* field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t n = std::strlen(field);
  while (std::getline(status, line)) {
    if (line.compare(0, n, field) == 0) return std::atol(line.c_str() + n + 1);
  }
  return -1;
}

struct Counter : vyr::platform::MessageTarget {
  void OnWindowMessage(const vyr::platform::WindowMessage& m) override {
    if (m.message == vyr::net::kDownloadDataWritten) ++chunks;
    if (m.message == vyr::net::kDownloadFinished) {
      finished = true;
      result = static_cast<int>(m.lParam);
    }
  }
  long chunks = 0;
  bool finished = false;
  int result = 0;
};

struct Timing {
  double wall = -1, user = 0, system = 0;
};

// Runs a program with its output going to a file; its times.
Timing RunTool(std::vector<std::string> args, const std::string& output) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Timing t;
  auto start = Clock::now();
  pid_t pid = -1;
  const int rc = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return t;
  int status = 0;
  rusage usage{};
  ::wait4(pid, &status, 0, &usage);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return t;
  t.wall = std::chrono::duration<double>(Clock::now() - start).count();
  t.user = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6;
  t.system = usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
  return t;
}

double RunCurlTool(const std::string& url, const std::string& file) {
  return RunTool({"curl", "-s", "-o", file, url}, "/dev/null").wall;
}

long Lines(const std::string& file) {
  std::ifstream in(file);
  std::string line;
  long n = 0;
  while (std::getline(in, line)) ++n;
  return n;
}

// "min / median" of three.
std::string MinMedian(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  char text[64];
  std::snprintf(text, sizeof text, "%.3f / %.3f", v.front(), v[v.size() / 2]);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
  const std::uint64_t size = megabytes * 1024 * 1024;
  const std::string cli = argc > 2 ? argv[2] : VYRELLE_CLI_PROGRAM;
  char pattern[] = "/tmp/vyrelle-download-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string dir = pattern;
  BlastServer server(size);
  const std::string url = "http://127.0.0.1:" + std::to_string(server.Port()) + "/big";

  auto& messages = vyr::platform::WindowMessages::Instance();
  Counter counter;
  const auto window = messages.Register(&counter);
  const long baseline = StatusKilobytes("VmRSS:");
  auto flag = std::make_shared<vyr::net::CancelFlag>(0);
  auto start = Clock::now();
  vyr::net::StartDownload(url, dir + "/ours", window, flag, 1);
  while (!counter.finished) messages.WaitAndDispatch(std::chrono::milliseconds(100));
  const double ours = std::chrono::duration<double>(Clock::now() - start).count();
  const long peak = StatusKilobytes("VmHWM:");
  messages.Unregister(window);
  if (counter.result != 0 || std::filesystem::file_size(dir + "/ours") != size) {
    std::fprintf(stderr, "our download failed: result %d\n", counter.result);
    return 1;
  }
  std::filesystem::remove(dir + "/ours");

  const double theirs = RunCurlTool(url, dir + "/curl");
  std::filesystem::remove(dir + "/curl");

  // The command-line programs, in turn.
  std::vector<double> cliWall, cliSys, cliUser, curlWall, curlSys, curlUser;
  long cliLines = 0;
  for (int run = 0; run < 3 && theirs >= 0; ++run) {
    const Timing c = RunTool({cli, "download", url, dir + "/cli"}, dir + "/cli.out");
    cliLines = Lines(dir + "/cli.out");
    const Timing k = RunTool({"curl", "-s", "-o", dir + "/curl", url}, "/dev/null");
    std::filesystem::remove(dir + "/cli");
    std::filesystem::remove(dir + "/curl");
    if (c.wall < 0 || k.wall < 0) {
      std::fprintf(stderr, "a command-line download failed\n");
      return 1;
    }
    cliWall.push_back(c.wall), cliSys.push_back(c.system), cliUser.push_back(c.user);
    curlWall.push_back(k.wall), curlSys.push_back(k.system), curlUser.push_back(k.user);
  }
  std::filesystem::remove_all(dir);
  std::printf("file:              %llu MB over loopback\n", static_cast<unsigned long long>(megabytes));
  std::printf("DownloadToFile:    %.3f s (%.0f MB/s, %ld data-written messages)\n", ours,
              static_cast<double>(megabytes) / ours, counter.chunks);
  if (theirs < 0) {
    std::printf("curl tool:         not run (install the Debian package curl)\n");
    return 1;
  }
  std::printf("curl tool:         %.3f s (%.0f MB/s)\n", theirs, static_cast<double>(megabytes) / theirs);
  std::printf("ratio ours/curl:   %.2f (target <= 1.20)\n", ours / theirs);
  std::printf("peak memory (VmHWM): %.1f MB, %.1f MB above the resident size before the download"
              " (target < 20 MB)\n",
              peak / 1024.0, (peak - baseline) / 1024.0);
  std::printf("\ncommand line, seconds (min / median of 3): wall, user, system\n");
  std::printf("vyrelle-cli download: %s  %s  %s  (%ld lines printed)\n", MinMedian(cliWall).c_str(),
              MinMedian(cliUser).c_str(), MinMedian(cliSys).c_str(), cliLines);
  std::printf("curl:                 %s  %s  %s\n", MinMedian(curlWall).c_str(), MinMedian(curlUser).c_str(),
              MinMedian(curlSys).c_str());
  std::sort(cliWall.begin(), cliWall.end()), std::sort(curlWall.begin(), curlWall.end());
  std::sort(cliSys.begin(), cliSys.end()), std::sort(curlSys.begin(), curlSys.end());
  std::printf("ratio vyrelle-cli/curl (medians): wall %.2f, system %.2f (target <= 1.10)\n",
              cliWall[1] / curlWall[1], cliSys[1] / curlSys[1]);
  return 0;
}

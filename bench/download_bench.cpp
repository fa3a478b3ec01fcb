// Downloads a large file from a loopback HTTP server of its own twice: with
// DownloadToFile (on its worker thread, reporting to a window whose messages
// are delivered here, as in the program) and with the curl command-line tool
// (Debian package curl). Prints both times, their ratio and the peak memory
// of the process during our download.
//
//   build/bench/download_bench [megabytes]     (default 500)
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

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

double RunCurlTool(const std::string& url, const std::string& file) {
  std::vector<std::string> args{"curl", "-s", "-o", file, url};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  auto start = Clock::now();
  pid_t pid = -1;
  if (::posix_spawnp(&pid, "curl", nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const std::uint64_t megabytes = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 500;
  const std::uint64_t size = megabytes * 1024 * 1024;
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
  return 0;
}

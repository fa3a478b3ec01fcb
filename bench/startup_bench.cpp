// Start-up time and memory of the windowed program against another
// WebKitGTK browser (surf, Debian package "surf"), each opening the same
// local page on a display (run it under Xvfb):
//
//   xvfb-run -a -s "-screen 0 1280x900x24" build/bench/startup_bench build/vyrelle [surf]
//
// Time: from the process start to the page's load event, which the page
// reports by fetching "/loaded" from the bench's own loopback HTTP server, so
// both programs are timed by the same outside signal. Memory: one second
// after the load, resident memory (RSS and PSS) summed over the program and
// every process below it (the engine's web and network processes). Each
// program runs once to warm the file cache, then five times; every run gets a
// fresh home folder. Prints the medians and the ratios. After each run every
// process it started is ended, the session bus and the accessibility bus
// launcher the toolkit starts by itself included (they carry a marker in
// their environment), so runs leave nothing behind.
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
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
#include <iterator>
#include <map>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char kPage[] =
    "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Bench page</title>"
    "<style>body{font-family:sans-serif;margin:2em;background:#f4f6fa}"
    "p{max-width:50em;line-height:1.5}</style></head><body><h1>Start-up bench</h1>"
    "<p>A short local page with text, a table and a script that reports the load event.</p>"
    "<table border=1><tr><th>a</th><th>b</th></tr><tr><td>1</td><td>2</td></tr></table>"
    "<script>addEventListener('load',function(){var i=new Image();i.src='/loaded?'+Date.now();});"
    "</script></body></html>";

// A loopback HTTP server: "/page.html" and the "/loaded" beacon; anything
// else is 404. One request per connection.
class BeaconServer {
 public:
  BeaconServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(fd_, 16) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
      std::perror("bench server");
      std::exit(1);
    }
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~BeaconServer() {
    stop_ = true;
    thread_.join();
    ::close(fd_);
  }
  int Port() const { return port_; }
  void Reset() {
    std::lock_guard lock(mutex_);
    loaded_.reset();
  }
  std::optional<Clock::time_point> Loaded() {
    std::lock_guard lock(mutex_);
    return loaded_;
  }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, 100) <= 0) continue;
      const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
      if (c < 0) continue;
      std::string request;
      char buffer[2048];
      while (request.find("\r\n\r\n") == std::string::npos) {
        pollfd q{c, POLLIN, 0};
        if (::poll(&q, 1, 2000) <= 0) break;
        const ssize_t n = ::recv(c, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        request.append(buffer, static_cast<size_t>(n));
      }
      std::string path;
      std::istringstream(request) >> path >> path;
      std::string status = "404 Not Found", body = "none", type = "text/plain";
      if (path == "/page.html") {
        status = "200 OK", body = kPage, type = "text/html";
      } else if (path.rfind("/loaded", 0) == 0) {
        {
          std::lock_guard lock(mutex_);
          if (!loaded_) loaded_ = Clock::now();
        }
        status = "200 OK", body = "", type = "image/gif";
      }
      const std::string reply = "HTTP/1.1 " + status + "\r\nContent-Type: " + type + "\r\nContent-Length: " +
                                std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
      (void)::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
      ::close(c);
    }
  }

  int fd_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
  std::mutex mutex_;
  std::optional<Clock::time_point> loaded_;
};

// The process and every process below it.
std::vector<pid_t> ProcessTree(pid_t root) {
  std::map<pid_t, pid_t> parent;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    const size_t close = line.rfind(')');
    if (close == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    char state;
    pid_t ppid;
    rest >> state >> ppid;
    parent[std::stoi(name)] = ppid;
  }
  std::vector<pid_t> tree{root};
  for (size_t i = 0; i < tree.size(); ++i) {
    for (const auto& [pid, ppid] : parent) {
      if (ppid == tree[i]) tree.push_back(pid);
    }
  }
  return tree;
}

// A "Key:   N kB" line of a /proc file, in kB.
long ProcKb(const std::string& file, const std::string& key) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind(key + ":", 0) == 0) return std::atol(line.c_str() + key.size() + 1);
  }
  return 0;
}

// Every process whose environment holds the marker: what a run started,
// the session bus and the accessibility bus launcher that the toolkit starts
// on its own included (they leave the run's process group, but inherit its
// environment).
std::vector<pid_t> MarkedProcesses(const std::string& marker) {
  std::vector<pid_t> found;
  for (const auto& entry : fs::directory_iterator("/proc")) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = std::stoi(name);
    if (pid == ::getpid()) continue;
    std::ifstream in(entry.path() / "environ", std::ios::binary);
    std::string env((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (env.find(marker + '\0') != std::string::npos) found.push_back(pid);
  }
  return found;
}

// Kills every process of a run, until none is left (at most 5 s); how many
// were still there once the program itself had ended.
int EndMarkedProcesses(const std::string& marker) {
  int left = -1;
  for (int i = 0; i < 50; ++i) {
    const std::vector<pid_t> pids = MarkedProcesses(marker);
    if (left < 0) left = static_cast<int>(pids.size());
    if (pids.empty()) break;
    for (pid_t p : pids) ::kill(p, SIGKILL);
    while (::waitpid(-1, nullptr, WNOHANG) > 0) {
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  return left;
}

int g_runs = 0;
int g_leftOver = 0;  // processes found after their program had ended

struct Run {
  double ms = -1;
  long rssKb = 0, pssKb = 0;
  int processes = 0;
};

Run RunOnce(BeaconServer& server, const std::string& program, bool isVyrelle) {
  const fs::path home = fs::temp_directory_path() / ("startup_bench." + std::to_string(::getpid()));
  fs::remove_all(home);
  fs::create_directories(home / "runtime");
  fs::permissions(home / "runtime", fs::perms::owner_all);
  const std::string base = "http://127.0.0.1:" + std::to_string(server.Port());
  if (isVyrelle) {
    // The channel file is in place and the home server is the bench's, so
    // nothing waits on the network.
    fs::create_directories(home / "vyrelle/Data/Default");
    std::ofstream(home / "vyrelle/Data/Default/chanfixed.vyr") << "~C:bench\n";
    std::ofstream(home / "vyr20.ini") << "[misc]\nHomeServer=" << base << "\n";
  }
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string v = *e;
    if (v.rfind("HOME=", 0) && v.rfind("XDG_", 0) && v.rfind("VYRELLE_HOME=", 0)) env.push_back(v);
  }
  const std::string marker = "VYRELLE_BENCH_RUN=" + std::to_string(::getpid()) + "." + std::to_string(++g_runs);
  env.push_back(marker);
  env.push_back("HOME=" + home.string());
  env.push_back("VYRELLE_HOME=" + home.string());
  env.push_back("XDG_RUNTIME_DIR=" + (home / "runtime").string());
  env.push_back("XDG_CACHE_HOME=" + (home / "cache").string());
  env.push_back("XDG_CONFIG_HOME=" + (home / "config").string());
  env.push_back("XDG_DATA_HOME=" + (home / "data").string());
  std::vector<char*> envp;
  for (auto& v : env) envp.push_back(v.data());
  envp.push_back(nullptr);
  std::string url = base + "/page.html";
  std::string prog = program;
  char* argv[] = {prog.data(), url.data(), nullptr};

  server.Reset();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);  // its own group, ended as one
  posix_spawnattr_setpgroup(&attr, 0);
  pid_t pid = -1;
  const Clock::time_point start = Clock::now();
  const int rc = posix_spawn(&pid, program.c_str(), &actions, &attr, argv, envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  Run run;
  if (rc != 0) {
    std::fprintf(stderr, "cannot start %s\n", program.c_str());
    return run;
  }
  const Clock::time_point limit = start + std::chrono::seconds(60);
  std::optional<Clock::time_point> loaded;
  while (!(loaded = server.Loaded()) && Clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (loaded) {
    run.ms = std::chrono::duration<double, std::milli>(*loaded - start).count();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    for (pid_t p : ProcessTree(pid)) {
      const std::string dir = "/proc/" + std::to_string(p);
      run.rssKb += ProcKb(dir + "/status", "VmRSS");
      run.pssKb += ProcKb(dir + "/smaps_rollup", "Pss");
      ++run.processes;
    }
  }
  // Ended the way a desktop session ends it; what is left of its group
  // after 10 s is killed.
  const pid_t group = pid;
  ::kill(pid, SIGTERM);
  bool ended = false;
  for (int i = 0; i < 100 && !ended; ++i) {
    ended = ::waitpid(pid, nullptr, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  ::kill(-group, SIGKILL);
  if (!ended) ::waitpid(pid, nullptr, 0);
  g_leftOver += EndMarkedProcesses(marker);
  fs::remove_all(home);
  return run;
}

template <typename T>
T Median(std::vector<T> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Summary {
  double ms;
  long rssKb, pssKb;
};

Summary Measure(BeaconServer& server, const std::string& program, bool isVyrelle) {
  RunOnce(server, program, isVyrelle);  // warms the file cache
  std::vector<double> ms;
  std::vector<long> rss, pss;
  for (int i = 0; i < 5; ++i) {
    const Run r = RunOnce(server, program, isVyrelle);
    if (r.ms < 0) {
      std::fprintf(stderr, "%s: the page did not load within 60 s\n", program.c_str());
      std::exit(1);
    }
    std::printf("  %-28s run %d: %7.1f ms  RSS %7ld kB  PSS %7ld kB  (%d processes)\n", program.c_str(), i + 1,
                r.ms, r.rssKb, r.pssKb, r.processes);
    ms.push_back(r.ms);
    rss.push_back(r.rssKb);
    pss.push_back(r.pssKb);
  }
  return {Median(ms), Median(rss), Median(pss)};
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 3) {
    std::fprintf(stderr, "usage: %s VYRELLE [SURF]   (on a display, e.g. under xvfb-run)\n", argv[0]);
    return 2;
  }
  if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY")) {
    std::fprintf(stderr, "no display: run under xvfb-run (Debian package xvfb)\n");
    return 2;
  }
  const std::string surf = argc == 3 ? argv[2] : "/usr/bin/surf";
  if (::access(surf.c_str(), X_OK) != 0) {
    std::fprintf(stderr, "%s is missing: install the Debian package surf\n", surf.c_str());
    return 2;
  }
  ::signal(SIGPIPE, SIG_IGN);
  BeaconServer server;
  std::printf("start to load event, then resident memory 1 s later (median of 5 runs)\n");
  const Summary v = Measure(server, fs::absolute(argv[1]).lexically_normal().string(), true);
  const Summary s = Measure(server, surf, false);
  std::printf("\n%-10s %10s %12s %12s\n", "program", "load ms", "RSS kB", "PSS kB");
  std::printf("%-10s %10.1f %12ld %12ld\n", "vyrelle", v.ms, v.rssKb, v.pssKb);
  std::printf("%-10s %10.1f %12ld %12ld\n", "surf", s.ms, s.rssKb, s.pssKb);
  std::printf("%-10s %10.2f %12.2f %12.2f   (targets: time <= 1.30, memory <= 1.50)\n", "ratio", v.ms / s.ms,
              static_cast<double>(v.rssKb) / s.rssKb, static_cast<double>(v.pssKb) / s.pssKb);
  std::printf("processes left by the %d runs and ended here (session and accessibility buses): %d\n", g_runs,
              g_leftOver);
  return 0;
}

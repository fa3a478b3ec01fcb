// vyrelle-home-server: the home server of the Vyrelle program, on
// cpp-httplib. Everything it answers is decided by HomeServer
// (home_server.h); this file reads the command line, puts HomeServer
// behind the HTTP server and handles the signals.
#include <httplib.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <iostream>
#include <thread>

#include "home_server/home_server.h"
#include "home_server/options.h"

namespace {

using vyr::home::HomeServer;

constexpr size_t kMaxRequestBody = 64 * 1024;

void Answer(HomeServer& server, const httplib::Request& req, httplib::Response& res) {
  vyr::home::Reply reply = server.Handle({req.method, req.target, req.remote_addr});
  res.status = reply.status;
  for (const auto& [name, value] : reply.headers) res.set_header(name, value);
  if (reply.file) {
    std::shared_ptr<vyr::home::UniqueFd> file = reply.file;
    res.set_content_provider(
        static_cast<size_t>(reply.fileSize), reply.contentType,
        [file](size_t offset, size_t length, httplib::DataSink& sink) {
          char buffer[65536];
          const ssize_t got = pread(file->Get(), buffer, std::min(length, sizeof buffer), static_cast<off_t>(offset));
          if (got <= 0) return false;  // the file shrank or broke: the connection ends
          return sink.write(buffer, static_cast<size_t>(got));
        });
  } else {
    res.set_content(reply.body, reply.contentType);
  }
}

std::string UrlHost(const std::string& address) {
  return address.find(':') != std::string::npos ? "[" + address + "]" : address;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  const vyr::home::OptionsParse parsed = vyr::home::ParseOptions(args);
  if (!parsed.options) {
    std::cerr << "vyrelle-home-server: " << parsed.error << "\nTry vyrelle-home-server --help.\n";
    return 2;
  }
  const vyr::home::Options& options = *parsed.options;
  if (options.help) {
    std::cout << vyr::home::UsageText();
    return 0;
  }

  vyr::home::ServerConfig config;
  config.root = options.root;
  config.logDir = options.logDir;
  config.acknowledge = options.acknowledge;
  std::string error;
  std::unique_ptr<HomeServer> server = HomeServer::Create(config, error);
  if (!server) {
    std::cerr << "vyrelle-home-server: " << error << "\n";
    return 2;
  }
  for (const std::string& note : server->CheckContent()) {
    std::cerr << "vyrelle-home-server: note: " << note << "\n";
  }

  // The signals go to one thread that waits for them; every other thread,
  // the request threads included, has them blocked.
  sigset_t signals;
  sigemptyset(&signals);
  for (int s : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) sigaddset(&signals, s);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  httplib::Server http;
  const size_t threads = static_cast<size_t>(options.threads);
  http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  int listenSocket = -1;
  // Replaces the library's default options: address reuse, but never a
  // shared port, so a second server on the same port fails to start.
  http.set_socket_options([&listenSocket](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    listenSocket = sock;
  });
  http.set_payload_max_length(kMaxRequestBody);
  const auto handler = [&server](const httplib::Request& req, httplib::Response& res) { Answer(*server, req, res); };
  http.Get(".*", handler);
  http.Post(".*", handler);
  http.Put(".*", handler);
  http.Patch(".*", handler);
  http.Delete(".*", handler);
  http.Options(".*", handler);
  http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
    res.status = 500;
    res.set_content("Internal error\n", "text/plain; charset=utf-8");
  });
  http.set_logger([&server](const httplib::Request& req, const httplib::Response& res) {
    const unsigned long long bytes =
        req.method == "HEAD" ? 0 : (res.body.empty() ? res.content_length_ : res.body.size());
    server->LogAccess({req.method, req.target, req.remote_addr}, res.status, bytes);
  });

  int port = options.port;
  if (port == 0) {
    port = http.bind_to_any_port(options.bind);
  } else if (!http.bind_to_port(options.bind, port)) {
    port = -1;
  }
  if (port <= 0) {
    std::cerr << "vyrelle-home-server: cannot listen on " << options.bind << " port " << options.port << "\n";
    return 2;
  }
  // The library listens with a short backlog; a busy server wants a long
  // one, and listen() on a listening socket only changes its length.
  if (listenSocket >= 0) listen(listenSocket, SOMAXCONN);

  std::atomic<bool> ended{false};
  std::thread waiter([&] {
    for (;;) {
      int received = 0;
      if (sigwait(&signals, &received) != 0) continue;
      if (received == SIGHUP) {
        server->ReopenLogs();
        continue;
      }
      if (received == SIGUSR1 && ended) return;
      if (received == SIGTERM || received == SIGINT) {
        // A signal that comes before the accept loop runs waits for it, so
        // that stopping is never lost.
        while (!http.is_running() && !ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        http.stop();
        return;
      }
    }
  });

  std::cout << "vyrelle-home-server: serving " << server->Root() << ", logs in " << server->LogDir() << "\n"
            << "listening on http://" << UrlHost(options.bind) << ":" << port << "/" << std::endl;
  const bool ok = http.listen_after_bind();
  ended = true;
  pthread_kill(waiter.native_handle(), SIGUSR1);
  waiter.join();
  return ok ? 0 : 1;
}

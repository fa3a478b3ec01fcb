#pragma once
// tests/fixtures/http_server.py run with Debian's /usr/bin/python3 on a free
// loopback port for the life of the object: the download server, the home
// server's command script and the keyword resolver of the tests. Its routes
// are described in the script.
#include <sys/types.h>

#include <string>
#include <vector>

namespace vyr::test {

class HttpServer {
 public:
  // args: "--ftp DIR" and "VERB=REPLY" pairs, as the script takes them.
  explicit HttpServer(std::vector<std::string> args = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // 0 when the server did not start.
  int Port() const { return port_; }
  int FtpPort() const { return ftpPort_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;
  // The next line the server prints; "" when none comes within 20 s.
  std::string Line();

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string pending_;
  int port_ = 0;
  int ftpPort_ = 0;
};

}  // namespace vyr::test

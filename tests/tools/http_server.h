#pragma once
// tests/fixtures/http_server.py run on a free loopback port for the life of
// the object: downloads that misbehave on request, and a session script whose
// replies break the rules (too long, not PONG, never sent). Where a test
// needs the home server itself, tools/home_server.h runs the real one. Its
// routes are described in the script.
#include <cstdio>
#include <string>
#include <vector>

#include "tools/python_fixture.h"

namespace vyr::test {

class HttpServer {
 public:
  // args: "--ftp DIR" and "VERB=REPLY" pairs, as the script takes them.
  explicit HttpServer(const std::vector<std::string>& args = {}) {
    std::string error;
    if (!fixture_.Start("http_server.py", args, &error)) std::fprintf(stderr, "%s\n", error.c_str());
    std::sscanf(fixture_.FirstLine().c_str(), "PORT %*d %d", &ftpPort_);
  }

  // 0 when the server did not start.
  int Port() const { return fixture_.Port(); }
  int FtpPort() const { return ftpPort_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(Port()) + path; }
  // The next line the server prints; "" when none comes within 20 s.
  std::string Line() { return fixture_.Line(); }

 private:
  PythonFixture fixture_;
  int ftpPort_ = 0;
};

}  // namespace vyr::test

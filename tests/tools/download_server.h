#pragma once
// The download server of the download tests and benchmark:
// tests/fixtures/download_server.py (http.server) run with Debian's
// /usr/bin/python3 on a free loopback port. Its routes and the byte pattern
// of its bodies are described in the script.
#include <sys/types.h>

#include <cstdint>
#include <string>

namespace vyr::test {

class DownloadServer {
 public:
  DownloadServer() = default;
  ~DownloadServer();
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  // Starts the server from the script in fixturesDir; false with a reason.
  bool Start(const std::string& fixturesDir, std::string* error);
  int Port() const { return port_; }
  // "http://127.0.0.1:PORT" + path.
  std::string Url(const std::string& path) const;

  // Byte i of every body the server sends.
  static unsigned char PatternByte(std::uint64_t i) {
    return static_cast<unsigned char>((i * 7 + i / 251) % 256);
  }

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

}  // namespace vyr::test

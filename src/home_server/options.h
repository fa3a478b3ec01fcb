#pragma once
// The command line of vyrelle-home-server:
//
//   vyrelle-home-server --root DIR --port N [--bind ADDR] [--log-dir DIR]
//                       [--threads N] [--no-ack]
//   vyrelle-home-server --help
//
// Each option takes its value as the next argument or after "=".
#include <optional>
#include <string>
#include <vector>

namespace vyr::home {

struct Options {
  std::string root;
  int port = -1;  // 0: any free port (printed once listening)
  std::string bind = "127.0.0.1";
  std::string logDir;  // empty: <root>/logs
  int threads = 16;
  bool acknowledge = true;
  bool help = false;
};

struct OptionsParse {
  std::optional<Options> options;
  std::string error;
};

OptionsParse ParseOptions(const std::vector<std::string>& args);

// The text of --help.
std::string UsageText();

}  // namespace vyr::home

#include "home_server/options.h"

#include "home_server/text.h"

namespace vyr::home {

std::string UsageText() {
  return "Usage: vyrelle-home-server --root DIR --port N [--bind ADDR] [--log-dir DIR]\n"
         "                           [--threads N] [--no-ack]\n"
         "Serves a Vyrelle home server's content folder over HTTP.\n"
         "\n"
         "  --root DIR      the content folder (channels/, infobox/, packages/, pages/,\n"
         "                  resolver/, commands/)\n"
         "  --port N        the TCP port; 0 takes any free port\n"
         "  --bind ADDR     the address to listen on (default 127.0.0.1)\n"
         "  --log-dir DIR   where access.log, usage.log and commands.log go\n"
         "                  (default DIR/logs)\n"
         "  --threads N     request threads (1-256, default 16)\n"
         "  --no-ack        do not acknowledge the counts a ping reports\n"
         "  --help          this text\n"
         "\n"
         "Once listening it prints \"listening on http://ADDR:PORT/\". SIGTERM or SIGINT\n"
         "ends it; SIGHUP reopens the log files.\n";
}

OptionsParse ParseOptions(const std::vector<std::string>& args) {
  OptionsParse result;
  Options options;
  bool havePort = false;
  auto fail = [&result](std::string error) {
    result.error = std::move(error);
    return result;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    std::string name = args[i];
    std::optional<std::string> value;
    const size_t eq = name.find('=');
    if (name.rfind("--", 0) == 0 && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name = name.substr(0, eq);
    }
    auto takeValue = [&]() -> std::optional<std::string> {
      if (value) return value;
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    if (name == "--help" || name == "-h") {
      options.help = true;
    } else if (name == "--no-ack") {
      if (value) return fail("--no-ack takes no value");
      options.acknowledge = false;
    } else if (name == "--root" || name == "--port" || name == "--bind" || name == "--log-dir" ||
               name == "--threads") {
      const std::optional<std::string> v = takeValue();
      if (!v || v->empty()) return fail(name + " needs a value");
      if (name == "--root") {
        options.root = *v;
      } else if (name == "--bind") {
        options.bind = *v;
      } else if (name == "--log-dir") {
        options.logDir = *v;
      } else if (name == "--port") {
        const auto port = ParseInteger(*v, 0, 65535);
        if (!port) return fail("--port must be a number from 0 to 65535");
        options.port = static_cast<int>(*port);
        havePort = true;
      } else {
        const auto threads = ParseInteger(*v, 1, 256);
        if (!threads) return fail("--threads must be a number from 1 to 256");
        options.threads = static_cast<int>(*threads);
      }
    } else {
      return fail("unknown argument " + args[i]);
    }
  }
  if (!options.help) {
    if (options.root.empty()) return fail("--root is required");
    if (!havePort) return fail("--port is required");
  }
  result.options = options;
  return result;
}

}  // namespace vyr::home

// vyrelle-cli url match PATTERN ADDRESS: the tracked-address rule.
// vyrelle-cli session ping|login|logout [--send]: the request the session
// would send to the home server's command script ([misc] PS), and with
// --send the commands of the server's reply.
#include <algorithm>
#include <vector>

#include "cli/cli_context.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "net/usage_stats.h"
#include "platform/tick_count.h"

namespace vyr::cli {

namespace {
struct NoTimers : net::WindowTimers {
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
};
}  // namespace

int RunUrlMatchCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 3 || args[0] != "match") return Usage(c.err, "url match PATTERN ADDRESS");
  const bool match = net::UrlPatternMatches(args[1], net::NormalizeTrackedAddress(args[2]));
  c.out << (match ? "match" : "no match") << "\n";
  return 0;
}

int RunSessionCommand(Context& c, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  const bool send = std::erase(args, std::string("--send")) > 0;
  if (args.size() != 1 || (args[0] != "ping" && args[0] != "login" && args[0] != "logout")) {
    return Usage(c.err, "session ping|login|logout [--send]");
  }
  if (c.app.InitInstallationId().empty()) return 1;
  // The statistics a ping would carry: those kept from the last run.
  net::UsageCounters counters;
  net::TrackedUrlTable tracked;
  net::LoadUsageStats(c.app.Registry(), tracked, counters);
  NoTimers timers;
  net::ServerSession session(c.app, counters, tracked, timers, {}, platform::QuerySystemInfo(),
                             platform::GetTickCount());
  const std::string address = args[0] == "ping"    ? session.PingAddress()
                              : args[0] == "login" ? session.LoginAddress()
                                                   : session.LogoutAddress();
  const std::string sent = net::MakeRequestAddress(address, session.PlusForSpaces());
  c.out << sent << "\n";
  if (!send) return 0;

  std::vector<char> reply(net::kReplyBufferSize);
  size_t size = reply.size() - 1;  // the reply is a text: one byte is its terminator
  const std::int32_t result = net::FetchToMemory(sent, reply.data(), size, true);
  if (result != net::kDownloadOk) {
    c.err << "vyrelle-cli: the request failed (result " << result << ")\n";
    return 1;
  }
  std::vector<std::string> commands;
  if (net::ParsePongReply(std::string_view(reply.data(), std::min(size, reply.size())), commands) != 0) {
    c.err << "vyrelle-cli: the reply does not begin with PONG\n";
    return 1;
  }
  for (const std::string& command : commands) c.out << command << "\n";
  return 0;
}

}  // namespace vyr::cli

// vyrelle-cli url match PATTERN ADDRESS: the tracked-address rule.
// vyrelle-cli session ping|login|logout [--send]: the request the session
// would send to the home server's command script ([misc] PS), and with
// --send the commands of the server's reply.
#include <algorithm>
#include <vector>

#include "cli/cli_context.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "base/usage_stats.h"
#include "platform/tick_count.h"

namespace vyr::cli {

namespace {
struct NoTimers : WindowTimers {
  void SetTimer(unsigned, unsigned) override {}
  void KillTimer(unsigned) override {}
};
}  // namespace

namespace {

// request: "ping", "login" or "logout".
int SessionCommand(Context& c, const std::string& request, bool send) {
  if (c.app.InitInstallationId().empty()) return 1;
  // The statistics a ping would carry: those kept from the last run.
  UsageCounters counters;
  TrackedUrlTable tracked;
  LoadUsageStats(c.app.Registry(), tracked, counters);
  NoTimers timers;
  net::ServerSession session(c.app, counters, tracked, timers, {}, platform::QuerySystemInfo(),
                             platform::GetTickCount());
  const std::string address = request == "ping"    ? session.PingAddress()
                              : request == "login" ? session.LoginAddress()
                                                   : session.LogoutAddress();
  const std::string sent = net::MakeRequestAddress(address, session.PlusForSpaces());
  c.out << sent << "\n";
  if (!send) return 0;

  std::vector<char> reply(net::kReplyBufferSize);
  size_t size = reply.size() - 1;  // the reply is a text: one byte is its terminator
  const net::DownloadResult result = net::FetchToMemory(sent, reply.data(), size, true);
  if (result != net::DownloadResult::kOk) {
    c.err << "vyrelle-cli: the request failed (result " << net::ResultCode(result) << ")\n";
    return 1;
  }
  std::vector<std::string> commands;
  if (net::ParsePongReply(std::string_view(reply.data(), std::min(size, reply.size())), commands) != net::DownloadResult::kOk) {
    c.err << "vyrelle-cli: the reply does not begin with PONG\n";
    return 1;
  }
  for (const std::string& command : commands) c.out << command << "\n";
  return 0;
}

}  // namespace

void AddUrlMatchCommand(CommandTree& tree, CLI::App& url) {
  CLI::App* match = tree.Command(url, "match", "\"match\" or \"no match\" by the tracked-address\nrule",
                                 [](Context& c, const CLI::App& a) {
                                   const bool match = UrlPatternMatches(
                                       Value(a, "PATTERN"), NormalizeTrackedAddress(Value(a, "ADDRESS")));
                                   c.out << (match ? "match" : "no match") << "\n";
                                   return 0;
                                 });
  match->add_option("PATTERN", "a tracked-address pattern")->required();
  match->add_option("ADDRESS", "the address to test")->required();
}

void AddSessionCommands(CommandTree& tree, CLI::App& session) {
  for (const char* request : {"ping", "login", "logout"}) {
    tree.Command(session, request,
                 std::string("the ") + request +
                     " request address the session sends;\n"
                     "with --send it goes to [misc] PS and each\n"
                     "command of the reply is printed on a line of its\n"
                     "own",
                 [request = std::string(request)](Context& c, const CLI::App& a) {
                   return SessionCommand(c, request, Given(a, "--send"));
                 })
        ->add_flag("--send")->description("send the request and print the reply's commands");
  }
}

}  // namespace vyr::cli

// vyrelle-cli url: the tokenizer of command links and the special-address
// filter, run against windows and services that only print what they were
// asked.
#include <ostream>

#include "app/command_dispatcher.h"
#include "app/command_recorder.h"
#include "cli/cli_context.h"

namespace vyr::cli {

namespace {

// One line per text: line breaks and tabs written as \r, \n, \t.
std::string OneLine(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\r') {
      out += "\\r";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else {
      out += c;
    }
  }
  return out;
}

const char* ActionName(CommandDispatcher::Action action) {
  switch (action) {
    case CommandDispatcher::Action::Mailto: return "mailto";
    case CommandDispatcher::Action::Command: return "command";
    case CommandDispatcher::Action::Setup: return "setup";
    case CommandDispatcher::Action::ChannelFile: return "channel-file";
    case CommandDispatcher::Action::None: break;
  }
  return "";
}

int SpecialCommand(Context& c, std::vector<std::string> args) {
  const bool yes = std::erase(args, std::string("--yes")) > 0;
  const bool downloadOk = std::erase(args, std::string("--download-ok")) > 0;
  const bool untrusted = std::erase(args, std::string("--untrusted")) > 0;
  const bool click = std::erase(args, std::string("--click")) > 0;
  if (args.size() != 1 || (untrusted && click)) {
    return Usage(c.err, "url special [--yes] [--download-ok] [--untrusted | --click] ADDRESS");
  }
  // Typed by the user (the default), a real click on a link of another
  // site's page, or started by a page on its own.
  NavigationVerdict verdict;
  verdict.takes = kTakesEverything;
  verdict.trust = untrusted ? Trust::None : click ? Trust::UserClick : Trust::Full;
  verdict.userStarted = !untrusted;
  CommandRecorder recorder;
  recorder.downloadSucceeds = downloadOk;
  recorder.answer = yes ? IDYES : IDNO;
  Application app(c.app.WindowsDirectory(), recorder, c.sounds);
  app.LoadStartupSettings();
  CommandDispatcher dispatcher(app, recorder, recorder);
  const bool taken = dispatcher.HandleSpecialUrl(args[0], verdict);
  c.out << (taken ? "taken" : "not taken") << "\n";
  const CommandDispatcher::Action action = dispatcher.LastAction();
  if (dispatcher.LastActionRefused()) {
    c.out << ActionName(action) << " refused: untrusted\n";
  } else if (action == CommandDispatcher::Action::Mailto || action == CommandDispatcher::Action::Command) {
    c.out << ActionName(action) << ": " << OneLine(dispatcher.LastActionText()) << "\n";
  } else if (action != CommandDispatcher::Action::None) {
    c.out << ActionName(action) << "\n";
  }
  for (const std::string& call : recorder.calls) c.out << OneLine(call) << "\n";
  return 0;
}

}  // namespace

int RunUrlCommand(Context& c, const std::vector<std::string>& args) {
  if (args.empty()) return Usage(c.err, "url needs tokens, special or match");
  if (args[0] == "tokens") {
    if (args.size() != 2) return Usage(c.err, "url tokens TEXT");
    std::string token;
    for (int pos = NextToken(args[1], 0, token, false); pos >= 0; pos = NextToken(args[1], pos, token, false)) {
      c.out << token << "\n";
    }
    return 0;
  }
  if (args[0] == "special") return SpecialCommand(c, std::vector<std::string>(args.begin() + 1, args.end()));
  if (args[0] == "match") return RunUrlMatchCommand(c, args);
  return Usage(c.err, "unknown url command '" + args[0] + "'");
}

}  // namespace vyr::cli

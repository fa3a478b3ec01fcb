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

int SpecialCommand(Context& c, const std::string& address, bool yes, bool downloadOk, bool untrusted, bool click) {
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
  const bool taken = dispatcher.HandleSpecialUrl(address, verdict);
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

void AddUrlCommands(CommandTree& tree, CLI::App& url) {
  tree.Command(url, "tokens", "the tokens of a command text, one a line",
               [](Context& c, const CLI::App& a) {
                 const std::string text = Value(a, "TEXT");
                 std::string token;
                 for (int pos = NextToken(text, 0, token, false); pos >= 0; pos = NextToken(text, pos, token, false)) {
                   c.out << token << "\n";
                 }
                 return 0;
               })
      ->add_option("TEXT", "a command text")
      ->required();
  CLI::App* special = tree.Command(
      url, "special",
      "offer ADDRESS to the special-address filter:\n"
      "\"taken\" or \"not taken\", the action chosen, then\n"
      "each box and each call to the windows and\n"
      "services",
      [](Context& c, const CLI::App& a) {
        return SpecialCommand(c, Value(a, "ADDRESS"), Given(a, "--yes"), Given(a, "--download-ok"),
                              Given(a, "--untrusted"), Given(a, "--click"));
      });
  special->add_option("ADDRESS", "the address")->required();
  special->add_flag("--yes")->description("answer questions yes");
  special->add_flag("--download-ok")->description("let downloads succeed");
  CLI::Option* untrusted =
      special->add_flag("--untrusted")->description("started by a page on its own (the default:\ntyped by the user)");
  CLI::Option* click = special->add_flag("--click")->description("a real click on a link of another site's page");
  untrusted->excludes(click);
  click->excludes(untrusted);
}

}  // namespace vyr::cli

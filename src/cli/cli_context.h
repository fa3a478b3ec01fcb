#pragma once
// What every vyrelle-cli command gets: the output streams and an application
// object on the home folder ($VYRELLE_HOME), with message boxes turned into
// lines on the error stream; and the command tree (CLI11) each file adds its
// commands to.
#include <CLI/CLI.hpp>

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "base/application.h"

namespace vyr::cli {

class StreamMessageBox : public MessageBoxService {
 public:
  explicit StreamMessageBox(std::ostream& err) : err_(err) {}
  int Error(const std::string& text, const std::string& caption = {}) override;
  int Question(const std::string& text, const std::string& caption,
               bool* dontShowAgain = nullptr) override;
  int Information(const std::string& text, const std::string& caption = {}) override;

 private:
  std::ostream& err_;
};

struct Context {
  Context(std::ostream& o, std::ostream& e);
  std::ostream& out;
  std::ostream& err;
  StreamMessageBox messages;
  SilentSoundPlayer sounds;
  Application app;
};

// A command's body: it runs once the whole command line has been read and
// checked (so that --help or a wrong line touches no file), with the command
// whose options and arguments it reads. Returns the exit status.
using CommandBody = std::function<int(Context&, const CLI::App&)>;

class CommandTree {
 public:
  // A word that only leads to further commands ("mail", "settings"): one of
  // them must follow.
  CLI::App* Group(CLI::App& parent, const std::string& name, const std::string& description);
  // A command that runs body.
  CLI::App* Command(CLI::App& parent, const std::string& name, const std::string& description,
                    CommandBody body);
  const CommandBody* BodyOf(const CLI::App* command) const;

 private:
  std::map<const CLI::App*, CommandBody> bodies_;
};

// The value the command line gave NAME (an option or an argument), or
// fallback when it gave none.
std::string Value(const CLI::App& command, const std::string& name, const std::string& fallback = {});
// Whether the command line holds the option NAME.
bool Given(const CLI::App& command, const std::string& name);

// A whole number from min to max, written in digits (a leading "-" where
// min is below zero) and nothing else.
CLI::Validator WholeNumber(long long min, long long max);
// Refuses one of command's option names as the value of another option: the
// value was left out ("--to --subject S").
CLI::Validator NotAnOption(const CLI::App& command);
// A file that exists (a folder is not one).
CLI::Validator ExistingFile();

// The commands of each subsystem, added under the word that leads to them.
void AddFavoritesCommands(CommandTree& tree, CLI::App& favorites);
void AddChannelsCommands(CommandTree& tree, CLI::App& channels);
void AddMailStoreCommands(CommandTree& tree, CLI::App& mail);  // folders ... mark
void AddMailReadCommands(CommandTree& tree, CLI::App& mail);   // decode, reply, search
void AddMailCheckCommand(CommandTree& tree, CLI::App& mail);
void AddMailSendCommands(CommandTree& tree, CLI::App& mail);   // send ... date
void AddHtmlCommands(CommandTree& tree, CLI::App& html);
void AddDownloadCommand(CommandTree& tree, CLI::App& root);
void AddPackageCommands(CommandTree& tree, CLI::App& root);    // package unpack, update package
void AddSchemeImportCommand(CommandTree& tree, CLI::App& scheme);
void AddSchemeLookCommands(CommandTree& tree, CLI::App& scheme);  // look, seed
void AddUrlCommands(CommandTree& tree, CLI::App& url);            // tokens, special
void AddUrlMatchCommand(CommandTree& tree, CLI::App& url);
void AddSessionCommands(CommandTree& tree, CLI::App& session);    // ping, login, logout
void AddDesktopCommands(CommandTree& tree, CLI::App& desktop);
void AddBrowseCommands(CommandTree& tree, CLI::App& browse);

}  // namespace vyr::cli

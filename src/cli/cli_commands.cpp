#include "cli/cli_commands.h"

#include <charconv>
#include <climits>
#include <ostream>

#include "app/app_lifecycle.h"
#include "cli/cli_context.h"
#include "base/cipher.h"
#include "platform/profile_file.h"
#include "platform/system_info.h"
#include "platform/windows_dir.h"

namespace vyr::cli {

int StreamMessageBox::Error(const std::string& text, const std::string&) {
  err_ << "error: " << text << "\n";
  return IDOK;
}

int StreamMessageBox::Question(const std::string& text, const std::string&, bool*) {
  err_ << "question: " << text << "\n";
  return IDNO;
}

int StreamMessageBox::Information(const std::string& text, const std::string&) {
  err_ << text << "\n";
  return IDOK;
}

Context::Context(std::ostream& o, std::ostream& e)
    : out(o), err(e), messages(e), app(platform::GetWindowsDirectory(), messages, sounds) {
  app.LoadStartupSettings();
}

CLI::App* CommandTree::Group(CLI::App& parent, const std::string& name, const std::string& description) {
  CLI::App* group = parent.add_subcommand(name, description);
  // Exactly one command follows; once it is there, no later word is taken
  // for a command (a word to look up may well be "mail").
  group->require_subcommand(1);
  return group;
}

CLI::App* CommandTree::Command(CLI::App& parent, const std::string& name, const std::string& description,
                               CommandBody body) {
  CLI::App* command = parent.add_subcommand(name, description);
  bodies_[command] = std::move(body);
  return command;
}

const CommandBody* CommandTree::BodyOf(const CLI::App* command) const {
  auto it = bodies_.find(command);
  return it == bodies_.end() ? nullptr : &it->second;
}

std::string Value(const CLI::App& command, const std::string& name, const std::string& fallback) {
  const CLI::Option* option = command.get_option(name);
  return option->count() > 0 ? option->as<std::string>() : fallback;
}

bool Given(const CLI::App& command, const std::string& name) { return command.get_option(name)->count() > 0; }

CLI::Validator WholeNumber(long long min, long long max) {
  const std::string range = std::to_string(min) + " to " + std::to_string(max);
  return CLI::Validator(
      [min, max, range](std::string& text) -> std::string {
        long long value = 0;
        const char* end = text.data() + text.size();
        const auto [at, error] = std::from_chars(text.data(), end, value);
        if (text.empty() || at != end || error != std::errc() || value < min || value > max) {
          return "'" + text + "' is not a whole number from " + range;
        }
        return {};
      },
      "");
}

CLI::Validator NotAnOption(const CLI::App& command) {
  return CLI::Validator(
      [&command](std::string& text) -> std::string {
        if (text.starts_with("-") && command.get_option_no_throw(text) != nullptr) {
          return "its value is missing (" + text + " is the next option)";
        }
        return {};
      },
      "");
}

CLI::Validator ExistingFile() { return CLI::Validator(CLI::ExistingFile).description(""); }

namespace {

int PathsCommand(Context& c) {
  c.out << "windows: " << c.app.WindowsDirectory() << "\n";
  c.out << "data: " << c.app.Directories().Root() << "\n";
  c.out << "profile: " << c.app.ProfilePath() << "\n";
  if (c.app.WindowsDirectory().empty()) {
    c.err << "vyrelle-cli: no home folder is known; set VYRELLE_HOME\n";
    return 1;
  }
  return 0;
}

int SettingsGetCommand(Context& c, const std::string& section, const std::string& key, const std::string& def,
                       bool scheme, bool data) {
  c.out << (data ? c.app.GetDataString(section, key, def) : c.app.GetString(section, key, def, scheme)) << "\n";
  return 0;
}

int SettingsGetIntCommand(Context& c, const std::string& section, const std::string& key,
                          const std::string& defText, bool scheme, bool data) {
  const int def = *platform::ParseProfileInt(defText);
  int value = 0;
  if (data) {
    std::string text = c.app.GetDataString(section, key, "");
    value = platform::ParseProfileInt(text).value_or(def);
  } else {
    value = c.app.GetInt(section, key, def, scheme);
  }
  c.out << value << "\n";
  return 0;
}

int SettingsSetCommand(Context& c, const std::string& section, const std::string& key, const std::string& value,
                       bool scheme, bool data) {
  if (data) {
    c.err << "vyrelle-cli: the data folder's config.ini is read-only\n";
    return 1;
  }
  std::string path = scheme ? c.app.Settings().SchemeConfigPath() : c.app.ProfilePath();
  if (path.empty() || !platform::WritePrivateProfileString(section, key, value, path)) {
    c.err << "vyrelle-cli: cannot write " << (path.empty() ? "the settings" : path) << "\n";
    return 1;
  }
  return 0;
}

int CipherDecodeCommand(Context& c, const std::string& stored) {
  std::string plain;
  if (!DecipherText(stored, plain)) {
    c.err << "vyrelle-cli: not a stored form (it must begin with \"VY01\")\n";
    return 1;
  }
  c.out << plain << "\n";
  return 0;
}

// --scheme and --data of every settings command.
void AddSettingsFlags(CLI::App& command, bool read) {
  CLI::Option* scheme = command.add_flag("--scheme")->description("use the current scheme's config.ini");
  CLI::Option* data = command.add_flag("--data")->description(
      read ? "read the data folder's config.ini (read-only)" : "the data folder's config.ini is read-only");
  scheme->excludes(data);
  data->excludes(scheme);
}

void AddSettingsCommands(CommandTree& tree, CLI::App& settings) {
  CLI::App* get = tree.Command(settings, "get", "read a text setting", [](Context& c, const CLI::App& a) {
    return SettingsGetCommand(c, Value(a, "SECTION"), Value(a, "KEY"), Value(a, "DEFAULT"), Given(a, "--scheme"),
                              Given(a, "--data"));
  });
  CLI::App* getint = tree.Command(settings, "getint", "read a number setting", [](Context& c, const CLI::App& a) {
    return SettingsGetIntCommand(c, Value(a, "SECTION"), Value(a, "KEY"), Value(a, "DEFAULT"),
                                 Given(a, "--scheme"), Given(a, "--data"));
  });
  CLI::App* set = tree.Command(settings, "set", "write a setting", [](Context& c, const CLI::App& a) {
    return SettingsSetCommand(c, Value(a, "SECTION"), Value(a, "KEY"), Value(a, "VALUE"), Given(a, "--scheme"),
                              Given(a, "--data"));
  });
  for (CLI::App* command : {get, getint, set}) {
    command->add_option("SECTION", "the section, without its brackets")->required();
    command->add_option("KEY", "the key")->required();
  }
  get->add_option("DEFAULT", "the text when the setting is missing (empty\nwithout it)");
  getint->add_option("DEFAULT", "the whole number when the setting is missing\nor not a number")
      ->required()
      ->check(WholeNumber(INT_MIN, INT_MAX));
  set->add_option("VALUE", "the new value")->required();
  AddSettingsFlags(*get, true);
  AddSettingsFlags(*getint, true);
  AddSettingsFlags(*set, false);
}

void AddCipherCommands(CommandTree& tree, CLI::App& cipher) {
  tree.Command(cipher, "encode", "print the stored form of TEXT",
               [](Context& c, const CLI::App& a) {
                 c.out << EncipherText(Value(a, "TEXT")) << "\n";
                 return 0;
               })
      ->add_option("TEXT", "the text, a password say")
      ->required();
  tree.Command(cipher, "decode", "print the text of a stored form",
               [](Context& c, const CLI::App& a) { return CipherDecodeCommand(c, Value(a, "STORED")); })
      ->add_option("STORED", "a stored form (\"VY01...\")")
      ->required();
}

// Builds the whole tree. "help" is the one command without a body: it is
// answered before any context is made.
void BuildTree(CommandTree& tree, CLI::App& root) {
  tree.Command(root, "paths", "where the program keeps its files",
               [](Context& c, const CLI::App&) { return PathsCommand(c); });
  AddSettingsCommands(tree, *tree.Group(root, "settings", "read and write settings"));
  AddCipherCommands(tree, *tree.Group(root, "cipher", "the stored form of passwords"));
  AddFavoritesCommands(tree, *tree.Group(root, "favorites", "the favorites: bookmark import, file names"));
  AddChannelsCommands(tree, *tree.Group(root, "channels", "channel files and the user's channels"));
  CLI::App* mail = tree.Group(root, "mail", "the mail store, checking and sending mail");
  AddMailStoreCommands(tree, *mail);
  AddMailReadCommands(tree, *mail);
  AddMailCheckCommand(tree, *mail);
  AddMailSendCommands(tree, *mail);
  AddHtmlCommands(tree, *tree.Group(root, "html", "the body conversions of mail"));
  AddDownloadCommand(tree, root);
  AddPackageCommands(tree, root);
  CLI::App* scheme = tree.Group(root, "scheme", "scheme packages and the current scheme's look");
  AddSchemeImportCommand(tree, *scheme);
  AddSchemeLookCommands(tree, *scheme);
  AddSessionCommands(tree, *tree.Group(root, "session", "the requests the session sends to the home server"));
  AddDesktopCommands(tree, *tree.Group(root, "desktop", "the desktop's default browser and mail handler"));
  AddBrowseCommands(tree, *tree.Group(root, "browse", "enhanced browsing without a window"));
  CLI::App* url = tree.Group(root, "url", "command links, special addresses and tracked addresses");
  AddUrlCommands(tree, *url);
  AddUrlMatchCommand(tree, *url);
  root.add_subcommand("help", "this text; with COMMAND..., that command's usage")
      ->add_option("COMMAND", "a command and its sub-commands, as in \"mail send\"")
      ->expected(0, -1)
      ->allow_extra_args();
}

// The command the line chose last ("mail send" in "mail send --to ..."),
// or the root when it chose none.
const CLI::App* Chosen(const CLI::App& root) {
  const CLI::App* at = &root;
  while (!at->get_subcommands().empty()) at = at->get_subcommands().front();
  return at;
}

// "mail send": the words that lead to command (empty for the root).
std::string PathOf(const CLI::App* command) {
  std::string path;
  for (; command->get_parent() != nullptr; command = command->get_parent()) {
    path = command->get_name() + (path.empty() ? "" : " " + path);
  }
  return path;
}

// "help mail send": the usage of that command.
int HelpCommand(const CLI::App& root, const CLI::App& help, std::ostream& out, std::ostream& err) {
  const CLI::App* at = &root;
  std::string prefix;
  const CLI::Option* option = help.get_option("COMMAND");
  const auto words = option->count() > 0 ? option->as<std::vector<std::string>>() : std::vector<std::string>();
  for (const std::string& word : words) {
    const CLI::App* next = nullptr;
    for (const CLI::App* sub : at->get_subcommands({})) {
      if (!word.empty() && sub->get_name() == word) next = sub;
    }
    if (next == nullptr) {
      err << "vyrelle-cli: help: no command '" << word << "'" << (at == &root ? "" : " in '" + PathOf(at) + "'")
          << "\n";
      return 2;
    }
    prefix += (prefix.empty() ? "" : " ") + at->get_name();
    at = next;
  }
  // The root's own help (its help() would show the chosen "help" command's).
  out << (at == &root ? root.get_formatter()->make_help(&root, root.get_name(), CLI::AppFormatMode::Normal)
                      : at->help(prefix));
  return 0;
}

}  // namespace

int RunCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  CLI::App root("vyrelle-cli: the program's logic without windows, for scripting, support and tests.",
                "vyrelle-cli");
  root.set_help_flag("-h,--help", "show this help and end");
  root.set_version_flag("--version", [] { return ProgramVersionReport(platform::QuerySystemInfo()); },
                        "the versions of Vyrelle and of the engine and\ntoolkit it was built with");
  CommandTree tree;
  BuildTree(tree, root);
  root.require_subcommand(1);
  // Set last, so that the commands do not take it over.
  root.footer(
      "\"vyrelle-cli COMMAND --help\" shows the usage of each command. A value beginning\n"
      "with \"-\" follows \"--\". The Windows-directory stand-in is $VYRELLE_HOME when set.\n"
      "Exit status: 0 success, 1 failure, 2 a wrong command line.");

  // CLI11 reads the words from the back.
  std::vector<std::string> words(args.rbegin(), args.rend());
  try {
    root.parse(words);
  } catch (const CLI::CallForHelp&) {
    out << root.help();
    return 0;
  } catch (const CLI::CallForVersion& e) {
    out << e.what();
    return 0;
  } catch (const CLI::ParseError& e) {
    const CLI::App* at = Chosen(root);
    // The words CLI11 could not place: an unknown command or option.
    const std::vector<std::string> unplaced = at->remaining();
    std::string problem = e.what();
    if (tree.BodyOf(at) == nullptr && dynamic_cast<const CLI::RequiredError*>(&e) != nullptr) {
      // A word that leads to commands, without one of them: name them all.
      problem = unplaced.empty() ? "a command is needed:" : "unknown command '" + unplaced.front() + "'; one of:";
      for (const CLI::App* sub : at->get_subcommands({})) {
        if (!sub->get_name().empty()) problem += " " + sub->get_name();
      }
    } else if (!unplaced.empty() && unplaced.front().starts_with("-") &&
               dynamic_cast<const CLI::ExtrasError*>(&e) == nullptr) {
      // An unknown option leaves its command short of an argument; the
      // option is the fault to name.
      problem = "unknown option " + unplaced.front() + " (a value beginning with \"-\" follows \"--\"); " + problem;
    }
    err << "vyrelle-cli: " << (at == &root ? "" : PathOf(at) + ": ") << problem << "\n" << root.help();
    return 2;
  }
  const CLI::App* command = Chosen(root);
  if (command->get_name() == "help" && command->get_parent() == &root) return HelpCommand(root, *command, out, err);
  const CommandBody* body = tree.BodyOf(command);
  if (body == nullptr) return 2;  // every group requires one of its commands
  Context c(out, err);
  return (*body)(c, *command);
}

}  // namespace vyr::cli

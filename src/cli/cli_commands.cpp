#include "cli/cli_commands.h"

#include <algorithm>
#include <ostream>

#include "cli/cli_context.h"
#include "mail/receive/cipher.h"
#include "platform/profile_file.h"
#include "platform/windows_dir.h"

namespace vyr::cli {

namespace {

const char kUsage[] =
    "usage: vyrelle-cli COMMAND ...\n"
    "  paths                                   where the program keeps its files\n"
    "  settings get SECTION KEY [DEFAULT]      read a text setting\n"
    "  settings getint SECTION KEY DEFAULT     read a number setting\n"
    "  settings set SECTION KEY VALUE          write a setting\n"
    "      --scheme  use the current scheme's config.ini\n"
    "      --data    read the data folder's config.ini (read-only)\n"
    "  cipher encode TEXT                      print the stored form of TEXT\n"
    "  cipher decode STORED                    print the text of a stored form\n"
    "  favorites import-bookmarks FILE         import a bookmark file into the favorites\n"
    "  favorites clean-name NAME               print NAME as a favorites file name\n"
    "  channels dump FILE                      one line per item: depth, name, url\n"
    "  channels copy IN OUT [FIRST]            load IN, save its channels from FIRST into OUT\n"
    "  channels startup                        the start-up channel set and its fixed count\n"
    "  channels merge FILE ACTION              merge FILE into the user channels; ACTION is\n"
    "                                          replace, rename, merge or skip for duplicates\n"
    "  mail folders                            the folder tree: name, bold (1/0)\n"
    "  mail list FOLDER                        one row per message, tab-separated: unread (1/0),\n"
    "                                          sort time (seconds since 1970, \"-\" when unknown),\n"
    "                                          name shown, subject shown, path; default order\n"
    "  mail summary FILE                       the header summary, one \"Field: value\" a line\n"
    "  mail key FILE                           the message key that names a received message\n"
    "  mail state FILE                         read or unread\n"
    "  mail mark read|unread FILE              set the read state\n"
    "  mail decode FILE DIR                    decode a message into DIR (missing, empty or used\n"
    "                                          for decoding before); prints \"page: NAME\" and one\n"
    "                                          \"part: NAME<TAB>TYPE\" line per part\n"
    "  mail reply FILE [all|forward]           the reply's To, CC, Subject (and Attach) lines, an\n"
    "                                          empty line and the quoted body\n"
    "  mail search TEXT [FOLDER]               one row per message holding TEXT in its first 12 KB:\n"
    "                                          subject, from, date, folder; then the final status\n"
    "  mail check                              check the configured accounts; prints each status\n"
    "                                          and \"finished: 0|1\"\n"
    "  mail send --to T [--cc C] [--bcc B] --subject S (--text FILE | --rtf FILE) [--attach PATH]...\n"
    "                                          Send Now; prints each status and error text; exit\n"
    "                                          status 0 sent, else the sending's result code\n"
    "  mail queue ...                          Send Later (the same options); prints the stored file\n"
    "  mail draft ...                          Save Draft (the same options); prints the stored file\n"
    "  mail flush-outbox                       send the pending Outbox messages; exit status 0 when\n"
    "                                          nothing failed\n"
    "  mail split FIELD                        one \"name<TAB>address\" line per recipient, or the\n"
    "                                          error text and exit status 2\n"
    "  mail date                               the date text of a message sent now\n"
    "  html text FILE                          plain text as HTML with links\n"
    "  html rtf FILE                           a rich-text body form as HTML; \"needs-html: 0|1\"\n"
    "                                          on standard error\n"
    "  html plain FILE                         a rich-text body form as plain text\n"
    "  download URL DEST                       download URL to DEST; prints each message of the\n"
    "                                          download (started, size N, written N, cancelled,\n"
    "                                          finished CODE); exit status 0 when CODE is 0\n"
    "  package unpack ZIP DIR                  unpack a package into DIR; prints 1 or 0\n"
    "  update package KIND VERSION URL         fetch and unpack a package of KIND (0-3 or ibox,\n"
    "                                          Vyr20, dict, VyrFixed) unless VERSION is not newer;\n"
    "                                          a URL starting with / is a local file; prints the\n"
    "                                          stored version afterwards\n"
    "  scheme import ADDRESS --answer yes|no   import a scheme package answering every question\n"
    "                                          (yes replaces an existing scheme folder); prints\n"
    "                                          the scheme folder it filled\n"
    "  scheme look                             the current scheme's look: fonts, colours (r,g,b),\n"
    "                                          margins, caption settings and the file of every\n"
    "                                          picture\n"
    "  scheme seed [DIR]                       copy the shipped scheme files (DIR, else those\n"
    "                                          beside or installed with the program) into the\n"
    "                                          data root, keeping files there; prints the count\n"
    "  url match PATTERN ADDRESS               \"match\" or \"no match\" by the tracked-address rule\n"
    "  session ping|login|logout [--send]      the request address the session sends; with --send\n"
    "                                          it goes to [misc] PS and each command of the reply\n"
    "                                          is printed on a line of its own\n"
    "  desktop status                          \"browser: yes|no\" and \"mail: yes|no\": whether the\n"
    "                                          desktop opens pages and mailto links with vyrelle\n"
    "  desktop default-browser                 make vyrelle the desktop's default browser\n"
    "  desktop default-mail                    make vyrelle the desktop's mailto handler\n"
    "  browse resolve WORD                     what typing WORD as an address opens: each status\n"
    "                                          text, then \"navigate: ADDRESS\"\n"
    "  url tokens TEXT                         the tokens of a command text, one a line\n"
    "  url special [--yes] [--download-ok] ADDRESS\n"
    "                                          offer ADDRESS to the special-address filter: \"taken\"\n"
    "                                          or \"not taken\", the action chosen, then each box\n"
    "                                          and each call to the windows and services; --yes\n"
    "                                          answers questions yes, --download-ok lets downloads\n"
    "                                          succeed\n"
    "The Windows-directory stand-in is $VYRELLE_HOME when set.\n";

}  // namespace

int Usage(std::ostream& err, const std::string& problem) {
  if (!problem.empty()) err << "vyrelle-cli: " << problem << "\n";
  err << kUsage;
  return 2;
}

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

namespace {

// Removes "--scheme" / "--data" from the arguments and reports them.
void TakeFlags(std::vector<std::string>& args, bool& scheme, bool& data) {
  scheme = std::erase(args, std::string("--scheme")) > 0;
  data = std::erase(args, std::string("--data")) > 0;
}

}  // namespace

int RunPathsCommand(Context& c, const std::vector<std::string>&) {
  c.out << "windows: " << c.app.WindowsDirectory() << "\n";
  c.out << "data: " << c.app.Directories().Root() << "\n";
  c.out << "profile: " << c.app.ProfilePath() << "\n";
  if (c.app.WindowsDirectory().empty()) {
    c.err << "vyrelle-cli: no home folder is known; set VYRELLE_HOME\n";
    return 1;
  }
  return 0;
}

int RunSettingsCommand(Context& c, const std::vector<std::string>& argsIn) {
  std::vector<std::string> args = argsIn;
  bool scheme = false, data = false;
  TakeFlags(args, scheme, data);
  if (args.empty()) return Usage(c.err, "settings needs get, getint or set");
  if (scheme && data) return Usage(c.err, "--scheme and --data cannot be used together");
  const std::string verb = args[0];
  if (verb == "get") {
    if (args.size() < 3 || args.size() > 4) return Usage(c.err, "settings get SECTION KEY [DEFAULT]");
    std::string def = args.size() == 4 ? args[3] : std::string();
    c.out << (data ? c.app.GetDataString(args[1], args[2], def)
                   : c.app.GetString(args[1], args[2], def, scheme))
          << "\n";
    return 0;
  }
  if (verb == "getint") {
    if (args.size() != 4) return Usage(c.err, "settings getint SECTION KEY DEFAULT");
    auto def = platform::ParseProfileInt(args[3]);
    if (!def || (args[3][0] != '-' && (args[3][0] < '0' || args[3][0] > '9'))) {
      return Usage(c.err, "DEFAULT must be a number");
    }
    int value = 0;
    if (data) {
      std::string text = c.app.GetDataString(args[1], args[2], "");
      value = platform::ParseProfileInt(text).value_or(*def);
    } else {
      value = c.app.GetInt(args[1], args[2], *def, scheme);
    }
    c.out << value << "\n";
    return 0;
  }
  if (verb == "set") {
    if (args.size() != 4) return Usage(c.err, "settings set SECTION KEY VALUE");
    if (data) {
      c.err << "vyrelle-cli: the data folder's config.ini is read-only\n";
      return 1;
    }
    std::string path = scheme ? c.app.Settings().SchemeConfigPath() : c.app.ProfilePath();
    if (path.empty() || !platform::WritePrivateProfileString(args[1], args[2], args[3], path)) {
      c.err << "vyrelle-cli: cannot write " << (path.empty() ? "the settings" : path) << "\n";
      return 1;
    }
    return 0;
  }
  return Usage(c.err, "unknown settings command '" + verb + "'");
}

int RunCipherCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 2) return Usage(c.err, "cipher encode TEXT | cipher decode STORED");
  if (args[0] == "encode") {
    c.out << EncipherText(args[1]) << "\n";
    return 0;
  }
  if (args[0] == "decode") {
    std::string plain;
    if (!DecipherText(args[1], plain)) {
      c.err << "vyrelle-cli: not a stored form (it must begin with \"VY01\")\n";
      return 1;
    }
    c.out << plain << "\n";
    return 0;
  }
  return Usage(c.err, "unknown cipher command '" + args[0] + "'");
}

namespace {
using Handler = int (*)(Context&, const std::vector<std::string>&);

// Each subsystem adds its command word here.
const std::pair<const char*, Handler> kCommands[] = {
    {"paths", RunPathsCommand},
    {"settings", RunSettingsCommand},
    {"cipher", RunCipherCommand},
    {"favorites", RunFavoritesCommand},
    {"channels", RunChannelsCommand},
    {"mail", RunMailCommand},
    {"html", RunHtmlCommand},
    {"download", RunDownloadCommand},
    {"package", RunPackageCommand},
    {"update", RunUpdateCommand},
    {"scheme", RunSchemeCommand},
    {"session", RunSessionCommand},
    {"desktop", RunDesktopCommand},
    {"browse", RunBrowseCommand},
    {"url", RunUrlCommand},
};
}  // namespace

int RunCommand(const std::vector<std::string>& argsIn, std::ostream& out, std::ostream& err) {
  if (argsIn.empty()) return Usage(err, "");
  const std::string command = argsIn[0];
  std::vector<std::string> rest(argsIn.begin() + 1, argsIn.end());
  if (command == "help" || command == "--help" || command == "-h") {
    out << kUsage;
    return 0;
  }
  for (const auto& [word, handler] : kCommands) {
    if (command == word) {
      Context c(out, err);
      return handler(c, rest);
    }
  }
  return Usage(err, "unknown command '" + command + "'");
}

}  // namespace vyr::cli

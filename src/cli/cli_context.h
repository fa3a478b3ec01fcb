#pragma once
// What every vyrelle-cli command gets: the output streams and an application
// object on the home folder ($VYRELLE_HOME), with message boxes turned into
// lines on the error stream.
#include <ostream>
#include <string>
#include <vector>

#include "app/application.h"

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

// Prints the problem and the usage text; returns exit status 2.
int Usage(std::ostream& err, const std::string& problem);

// Commands of each subsystem: args start after the command word.
int RunPathsCommand(Context& c, const std::vector<std::string>& args);
int RunSettingsCommand(Context& c, const std::vector<std::string>& args);
int RunCipherCommand(Context& c, const std::vector<std::string>& args);
int RunFavoritesCommand(Context&, const std::vector<std::string>&);
int RunChannelsCommand(Context& c, const std::vector<std::string>& args);
int RunMailCommand(Context&, const std::vector<std::string>&);
int RunMailCheckCommand(Context&, const std::vector<std::string>&);
int RunMailReadCommand(Context&, const std::vector<std::string>&);
int RunMailSendCommand(Context&, const std::vector<std::string>&);
int RunHtmlCommand(Context&, const std::vector<std::string>&);
int RunPackageCommand(Context&, const std::vector<std::string>&);
int RunUpdateCommand(Context&, const std::vector<std::string>&);
int RunSchemeCommand(Context&, const std::vector<std::string>&);
// "scheme look" and "scheme seed [DIR]" (args start with the word).
int RunSchemeLookCommand(Context&, const std::vector<std::string>&);
int RunDownloadCommand(Context&, const std::vector<std::string>&);
// "url match PATTERN ADDRESS" (args start with "match").
int RunUrlMatchCommand(Context&, const std::vector<std::string>&);
int RunSessionCommand(Context&, const std::vector<std::string>&);
int RunDesktopCommand(Context&, const std::vector<std::string>&);
int RunBrowseCommand(Context&, const std::vector<std::string>&);
int RunUrlCommand(Context&, const std::vector<std::string>&);

}  // namespace vyr::cli

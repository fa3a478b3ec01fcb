#pragma once
// The special-address filter and the command dispatcher. Every navigation a
// browser window is about to start is offered to HandleSpecialUrl first: it
// takes "mailto:" links (for the mail program the user chose), command
// links under the home server's "/_cmd/" path, links to the program's setup
// file on the home servers, and channel files (".ndf"). A command link
// carries one VyrScript command: a command word and its arguments, run by
// RunCommand. Server-pushed commands (ping replies) come to RunCommand too.
//
// Any page can link to a command address, so every argument is treated as
// hostile: nothing is copied into a fixed buffer, settings writes cannot
// reach other keys or sections, names cannot leave their folder, and
// software may only come from the home server.
#include <functional>
#include <string>

#include "base/application.h"
#include "app/command_services.h"
#include "browser/navigation_verdict.h"
#include "app/shell.h"
#include "platform/memory_status.h"
#include "platform/string_table.h"

namespace vyr {

inline constexpr platform::TextId kUnknownCommandText{33079};  // "%s": the command text

// Reads the token that starts at or after position: a maximal run of
// printable characters other than the blank (blanks and non-printable
// characters separate tokens). Returns the position after the token, or -1
// when the text ends before any token (the token is then empty). With
// lowerCase the token is lower-cased.
int NextToken(const std::string& text, int position, std::string& token, bool lowerCase);

// The address with its %XX escapes decoded (nothing is encoded), cut at a
// decoded NUL. Empty when the result would not fit a buffer of
// kCanonicalBufferSize characters (terminator included).
inline constexpr size_t kCanonicalBufferSize = 4096;
std::string CanonicalizeAddress(const std::string& address);

// The host of an http, https or ftp address, lower-cased and without port;
// empty for other addresses and for any address that carries user
// information ("user@host"), whose host is not what it seems.
std::string AddressHost(const std::string& address);

// The memory report of the test commands.
std::string FormatMemoryReport(const platform::MemoryStatus& status);

// Commands that only open or show something (windows, dialogs, the channel
// bar, the info box): the only ones a page of another site may run, after a
// real click on a link. word: the lower-cased command word.
bool IsShowOnlyCommand(const std::string& word);

class CommandDispatcher {
 public:
  // What HandleSpecialUrl decided last (for the command-line companion).
  enum class Action { None, Mailto, Command, Setup, ChannelFile };

  CommandDispatcher(Application& app, Shell& shell, CommandServices& services);

  // True when the address was taken (the caller cancels its navigation),
  // false when the navigation is to go ahead. The verdict is the pane's (see
  // browser/navigation_policy.h): with Trust::Full a command link runs; with
  // Trust::UserClick only a command that opens or shows something runs
  // (IsShowOnlyCommand); otherwise a command link, setup program link or
  // channel file is taken, so that the browser does not load it, but
  // nothing runs, nothing is asked and nothing is downloaded. A "mailto:"
  // link opens the composer only when the user started it; one the pane
  // does not take, or a page started, is cancelled.
  bool HandleSpecialUrl(const std::string& address, const NavigationVerdict& verdict);
  // Runs one command with full trust (a trusted page, the home server's ping
  // reply); an unknown word shows message 33079 with the text, a missing
  // argument ends the command without doing anything.
  void RunCommand(const std::string& commandText);

  Action LastAction() const { return lastAction_; }
  // The last address taken was refused as untrusted: nothing of it ran.
  bool LastActionRefused() const { return lastActionRefused_; }
  // The recipient of a mailto link or the text of a command link.
  const std::string& LastActionText() const { return lastActionText_; }

  // The command prefix: the home server's address followed by "/_cmd/",
  // lower-cased.
  std::string CommandPrefix() const;
  // The home server's web host and its FTP host ("www." made "ftp.", or
  // "ftp." put in front).
  std::string WebHost() const;
  std::string FtpHost() const;

  // Replaces the memory reading (tests).
  void SetMemoryReader(std::function<platform::MemoryStatus()> reader) {
    readMemory_ = std::move(reader);
  }

 private:
  struct Entry;
  static const Entry kTable[];

  // An http or https address of the home server's exact origin (scheme,
  // host and port): the only place software, packages and command servers
  // come from.
  bool IsHomeAddress(const std::string& address) const;
  // Shows the channel bar: the setting, the button strip and the layout.
  void SetChannelBarShown(bool shown);
  // Shows the memory report; returns the available physical memory.
  long ShowMemoryReport();
  void RunMailTest(bool send);

  // The commands with more to do than one call; text is the command text,
  // pos the position after the command word.
  void UpdateSoftware(const std::string& text, int pos);
  void ShowInfoBox(const std::string& text, int pos);
  void SetIniFile(const std::string& text, int pos);
  void ImportScheme(const std::string& text, int pos);
  void PingInterval(const std::string& text, int pos);
  void PingServer(const std::string& text, int pos);
  void RunRoundsTest(const char* summary, bool reportBoxes, const std::function<int()>& rounds);
  void PackageUpdate(const std::string& text, int pos,
                     void (CommandServices::*update)(const std::string&, const std::string&));
  void AutoUpdate(const std::string& text, int pos);
  void Set(const std::string& text, int pos);
  void ArtDir(const std::string& text, int pos);

  Application& app_;
  Shell& shell_;
  CommandServices& services_;
  std::function<platform::MemoryStatus()> readMemory_;
  Action lastAction_ = Action::None;
  bool lastActionRefused_ = false;
  std::string lastActionText_;
};

}  // namespace vyr

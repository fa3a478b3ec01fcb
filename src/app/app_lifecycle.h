#pragma once
// The application's start-up decisions and its shutdown, without windows:
// the windowed program asks these and shows what they say.
#include <functional>
#include <string>
#include <vector>

#include "net/server_session.h"
#include "platform/system_info.h"

namespace vyr {

class Application;

// [Startup] ShowSplash is 1 and no file is to be opened.
bool ShouldShowSplash(const Application& app, bool haveFileToOpen);

// The default-browser offer of a start. Only without a file to open and
// with [Startup] CheckDefaultBrowser (default 1): the first run ([Startup]
// RanOnce 0) only writes RanOnce=1; later runs ask while the program is not
// the default browser.
enum class DefaultBrowserOffer { None, FirstRun, Ask };
DefaultBrowserOffer DecideDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                              const std::function<bool()>& isDefaultBrowser);

// Runs the offer: writes RanOnce on the first run; asks through `ask` (true:
// the user said yes) and then calls makeDefault. Returns what was decided.
DefaultBrowserOffer RunDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                           const std::function<bool()>& isDefaultBrowser,
                                           const std::function<bool()>& ask,
                                           const std::function<void()>& makeDefault);

// The windowed program's command line: the words after the program's name.
struct ProgramCommandLine {
  enum class Mode { Open, Screenshot, Help, Version, Wrong };
  Mode mode = Mode::Open;
  std::string argument;        // what to open: an address, a file or words ("" for the start page)
  std::string screenshotFile;  // Screenshot: the picture to write
  std::string showWindow;      // Screenshot: the window to take instead of the main window ("": main)
  std::string problem;         // Wrong: what is wrong with the words
};
// "--help" (or "-h") and "--version" as the first word; "--screenshot FILE
// [--show NAME] [ADDRESS]". "--" makes the next word the one to open even when it begins
// with "-"; any other first word beginning with "-" is an unknown option.
// Words after the one to open are not used.
ProgramCommandLine ParseProgramCommandLine(const std::vector<std::string>& words);
// What --help prints.
std::string ProgramUsageText();
// What --version prints: "Vyrelle <version>", then the browser engine's and
// the window toolkit's versions from engines (their browserVersion and
// shellVersion).
std::string ProgramVersionReport(const platform::SystemInfo& engines);

// The file to open of a start: the command line's argument (a pending
// address handed over wins), with the ".url" rule applied.
std::string FileToOpen(const std::string& pendingAddress, const std::string& argument);

// What the shutdown did.
struct ShutdownOutcome {
  bool trackedSaved = false;     // the tracked addresses are in the key (or there are none)
  bool logoutSent = false;       // a session existed and sent its logout
  bool logoutFinished = false;   // ... and it finished within the wait
  bool setupStarted = false;     // a waiting setup program was started
  bool statsSaved = false;       // the unsent statistics are in the key
  bool downloadsStopped = false; // no download or other worker thread was left running
  int trashEmptied = 0;          // messages removed from the mail's Trash
};

// The shutdown, run once the main window is gone: the tracked addresses are
// saved; the session's logout is sent and waited for once, at most
// logoutWaitMs (whether it answers or not); the setup program a software
// update left is started; the unsent statistics are saved; every download
// still running is stopped (waiting up to downloadWaitMs for the workers,
// and for every other worker thread left running, such as a forgotten mail
// check: the application object goes next); the mail's Trash is emptied, as
// the status line promised when messages went there ("emptied when Vyrelle
// is closed").
ShutdownOutcome RunShutdown(Application& app, unsigned logoutWaitMs = net::kLogoutWaitMs,
                            unsigned downloadWaitMs = 2000);

}  // namespace vyr

#include "app/app_lifecycle.h"

#include <chrono>

#include "base/application.h"
#include "app/shell_integration.h"
#include "mail/store/mail_store.h"
#include "net/download_worker.h"
#include "base/usage_stats.h"
#include "platform/process.h"

namespace vyr {

bool ShouldShowSplash(const Application& app, bool haveFileToOpen) {
  return !haveFileToOpen && app.Get(kStartupShowSplash) == 1;
}

DefaultBrowserOffer DecideDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                              const std::function<bool()>& isDefaultBrowser) {
  if (haveFileToOpen || !app.IsOn(kStartupCheckDefaultBrowser)) {
    return DefaultBrowserOffer::None;
  }
  if (!app.IsOn(kStartupRanOnce)) return DefaultBrowserOffer::FirstRun;
  return isDefaultBrowser() ? DefaultBrowserOffer::None : DefaultBrowserOffer::Ask;
}

DefaultBrowserOffer RunDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                           const std::function<bool()>& isDefaultBrowser,
                                           const std::function<bool()>& ask,
                                           const std::function<void()>& makeDefault) {
  const DefaultBrowserOffer offer = DecideDefaultBrowserOffer(app, haveFileToOpen, isDefaultBrowser);
  if (offer == DefaultBrowserOffer::FirstRun) {
    app.Write(kStartupRanOnce, 1);
  } else if (offer == DefaultBrowserOffer::Ask && ask()) {
    makeDefault();
  }
  return offer;
}

ProgramCommandLine ParseProgramCommandLine(const std::vector<std::string>& words) {
  ProgramCommandLine line;
  if (words.empty()) return line;
  const std::string& first = words[0];
  if (first == "--help" || first == "-h") {
    line.mode = ProgramCommandLine::Mode::Help;
  } else if (first == "--version") {
    line.mode = ProgramCommandLine::Mode::Version;
  } else if (first == "--screenshot") {
    // --screenshot FILE [--show NAME] [ADDRESS]
    std::vector<std::string> rest(words.begin() + 1, words.end());
    std::string show;
    if (rest.size() >= 3 && rest[1] == "--show") {
      show = rest[2];
      rest.erase(rest.begin() + 1, rest.begin() + 3);
    }
    const bool showWithoutName = words.size() >= 3 && words[2] == "--show" && show.empty();
    if (rest.empty() || rest.size() > 2 || rest[0].empty() || showWithoutName) {
      line.mode = ProgramCommandLine::Mode::Wrong;
      line.problem = "--screenshot needs the picture's file, at most one window to show and at most one address";
    } else {
      line.mode = ProgramCommandLine::Mode::Screenshot;
      line.screenshotFile = rest[0];
      line.showWindow = show;
      if (rest.size() == 2) line.argument = rest[1];
    }
  } else if (first == "--") {
    if (words.size() > 1) line.argument = words[1];
  } else if (first.size() > 1 && first[0] == '-') {
    line.mode = ProgramCommandLine::Mode::Wrong;
    line.problem = "unknown option " + first;
  } else {
    line.argument = first;
  }
  return line;
}

std::string ProgramUsageText() {
  return "Usage: vyrelle [ADDRESS | FILE | WORDS]\n"
         "       vyrelle --screenshot PICTURE.png [--show WINDOW] [ADDRESS]\n"
         "       vyrelle --help | --version\n"
         "\n"
         "Opens a web address, a local file or words to look up, in the running Vyrelle\n"
         "window when there is one; without any, the start page.\n"
         "\n"
         "  --screenshot PICTURE.png [ADDRESS]  open the address (or the start page) in a\n"
         "                                      window of its own, save a picture of it, end\n"
         "  --show WINDOW                       (after --screenshot PICTURE.png) the picture\n"
         "                                      of that window instead: main, lookandfeel,\n"
         "                                      startupoptions, enhancedbrowsing, mail,\n"
         "                                      designer, organizer, addfavorite (the add\n"
         "                                      dialog on the page), search, searchbar,\n"
         "                                      quotelookup, history, startpage, open,\n"
         "                                      dialup, speedbooster, settings, multipop,\n"
         "                                      mailclient, addressbook (with the vCard\n"
         "                                      file ADDRESS imported when given),\n"
         "                                      viewer (the message viewer on the stored\n"
         "                                      message whose file is the ADDRESS) or compose\n"
         "                                      (a new message, filled from the ADDRESS when\n"
         "                                      it is a mailto: link)\n"
         "  --help                              show this text and end\n"
         "  --version                           show the versions of Vyrelle and its engine\n"
         "  --                                  the next word is what to open, even when it\n"
         "                                      begins with \"-\"\n";
}

std::string ProgramVersionReport(const platform::SystemInfo& engines) {
  auto three = [](const int (&v)[3]) {
    return std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
  };
  return "Vyrelle " + net::ProgramVersion() + "\nWebKitGTK " + three(engines.browserVersion) + "\nGTK " +
         three(engines.shellVersion) + "\n";
}

std::string FileToOpen(const std::string& pendingAddress, const std::string& argument) {
  return ResolveShortcutAddress(pendingAddress.empty() ? argument : pendingAddress);
}

ShutdownOutcome RunShutdown(Application& app, unsigned logoutWaitMs, unsigned downloadWaitMs) {
  ShutdownOutcome outcome;
  outcome.trackedSaved = SaveTrackedUrls(app.Registry(), app.TrackedUrls());
  if (net::ServerSession* session = app.Session()) {
    outcome.logoutSent = true;
    outcome.logoutFinished = session->Logout(logoutWaitMs);
  }
  if (!app.ProgramAtExit().empty()) {
    outcome.setupStarted = platform::StartProcess(app.ProgramAtExit());
    app.SetProgramAtExit({});
  }
  outcome.statsSaved = SaveUnsentStats(app.Registry(), app.Counters(), app.TrackedUrls());
  outcome.downloadsStopped = net::StopAllDownloads(std::chrono::milliseconds(downloadWaitMs));
  // Last, once the windows that move messages into Trash are gone. A store
  // that was never made stays unmade.
  outcome.trashEmptied = MailStore(app).EmptyTrash();
  return outcome;
}

}  // namespace vyr

#include "app/app_lifecycle.h"

#include <chrono>

#include "app/application.h"
#include "app/shell_integration.h"
#include "net/download_worker.h"
#include "net/usage_stats.h"
#include "platform/process.h"

namespace vyr {

bool ShouldShowSplash(const Application& app, bool haveFileToOpen) {
  return !haveFileToOpen && app.GetInt("Startup", "ShowSplash", 1) == 1;
}

DefaultBrowserOffer DecideDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                              const std::function<bool()>& isDefaultBrowser) {
  if (haveFileToOpen || app.GetInt("Startup", "CheckDefaultBrowser", 1) == 0) {
    return DefaultBrowserOffer::None;
  }
  if (app.GetInt("Startup", "RanOnce", 0) == 0) return DefaultBrowserOffer::FirstRun;
  return isDefaultBrowser() ? DefaultBrowserOffer::None : DefaultBrowserOffer::Ask;
}

DefaultBrowserOffer RunDefaultBrowserOffer(const Application& app, bool haveFileToOpen,
                                           const std::function<bool()>& isDefaultBrowser,
                                           const std::function<bool()>& ask,
                                           const std::function<void()>& makeDefault) {
  const DefaultBrowserOffer offer = DecideDefaultBrowserOffer(app, haveFileToOpen, isDefaultBrowser);
  if (offer == DefaultBrowserOffer::FirstRun) {
    app.WriteInt("Startup", "RanOnce", 1);
  } else if (offer == DefaultBrowserOffer::Ask && ask()) {
    makeDefault();
  }
  return offer;
}

std::string FileToOpen(const std::string& pendingAddress, const std::string& argument) {
  return ResolveShortcutAddress(pendingAddress.empty() ? argument : pendingAddress);
}

ShutdownOutcome RunShutdown(Application& app, unsigned logoutWaitMs, unsigned downloadWaitMs) {
  ShutdownOutcome outcome;
  outcome.trackedSaved = net::SaveTrackedUrls(app.Registry(), app.TrackedUrls());
  if (net::ServerSession* session = app.Session()) {
    outcome.logoutSent = true;
    outcome.logoutFinished = session->Logout(logoutWaitMs);
  }
  if (!app.ProgramAtExit().empty()) {
    outcome.setupStarted = platform::StartProcess(app.ProgramAtExit());
    app.SetProgramAtExit({});
  }
  outcome.statsSaved = net::SaveUnsentStats(app.Registry(), app.Counters(), app.TrackedUrls());
  outcome.downloadsStopped = net::StopAllDownloads(std::chrono::milliseconds(downloadWaitMs));
  return outcome;
}

}  // namespace vyr

#include "app/user_data.h"

#include <filesystem>
#include <system_error>

#include "base/application.h"
#include "net/download_progress.h"
#include "net/download_worker.h"
#include "net/server_session.h"
#include "base/usage_stats.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/window_messages.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace {

constexpr platform::TextId kChannelErrorText{33084};
constexpr platform::TextId kUpgradeQuestionText{33085};
constexpr platform::TextId kUpgradeCaption{33086};
const char kUserDirectoryError[] = "Error creating user directory";
const char kDisplayName[] = "Vyrelle";

// A download needs a window to report to; the start-up's download has no
// one that cares, so its reports go to a handle that drops them.
struct DroppedReports : platform::MessageTarget {
  void OnWindowMessage(const platform::WindowMessage&) override {}
};

// Fetches a home-server file into its place. The data arrive in a side file
// first, so a broken transfer never leaves a file that later starts would
// take for whole.
bool FetchChannelFile(Application& app, const std::string& path, const std::string& serverPath) {
  if (path.empty() || !app.HasHomeServer()) return false;
  const std::string partial = path + ".download";
  DroppedReports reports;
  const platform::WindowHandle handle = platform::WindowMessages::Instance().Register(&reports);
  const net::DownloadResult result =
      net::DownloadToFile(app.HomeServerUrl(serverPath), partial, handle, nullptr, 0, nullptr,
                          net::MaxDownloadBytes(app));
  platform::WindowMessages::Instance().Unregister(handle);
  std::error_code ec;
  if (result == net::DownloadResult::kOk) {
    std::filesystem::rename(partial, path, ec);
    if (!ec) return true;
  }
  std::filesystem::remove(partial, ec);
  return false;
}

// The fixed channels are never fetched while the user waits: a server that
// does not answer would hold the window back, and a new data root has the
// shipped channels (StartFixedChannelFetch renews them).
std::string FixedChannels(Application& app) {
  const std::string path = app.ResolveDataFile("chanfixed.vyr", true);
  return platform::FileExists(path) ? "present" : "missing";
}

std::string UserChannels(Application& app) {
  const std::string path = app.ResolveDataFile("chanuser.vyr", true);
  if (platform::FileExists(path)) return "present";
  const std::string previous = platform::JoinPath(app.WindowsDirectory(), "vyrchan1.vyr");
  if (!platform::FileExists(previous)) return "none";
  app.CloseSplash();
  std::string question = kUpgradeQuestionText.Text();
  const size_t at = question.find("%s");
  if (at != std::string::npos) question.replace(at, 2, kDisplayName);
  bool dontShowAgain = false;
  const int answer = app.Messages().Question(question, kUpgradeCaption.Text(), &dontShowAgain);
  if (answer == IDOK || answer == IDYES) {
    if (FetchChannelFile(app, path, "/channels/chanuser.vyr")) return "downloaded";
    app.Messages().Error(kChannelErrorText.Text());
    return "failed";
  }
  std::error_code ec;
  std::filesystem::copy_file(previous, path, ec);
  return ec ? "failed" : "copied";
}

}  // namespace

bool StartFixedChannelFetch(Application& app, platform::WindowHandle window) {
  const std::string url = app.HomeServerUrl("/channels/chanfixed.vyr");
  const std::string target = app.ResolveDataFile("newchanfixed.vyr", true);
  if (url.empty() || target.empty()) return false;
  // Written under a temporary name and renamed when whole: a broken
  // transfer never leaves a file the next start would take.
  net::StartDownload(url, target, window, nullptr, kFixedChannelFetchCookie, true, nullptr,
                     net::MaxDownloadBytes(app));
  return true;
}

UserDataOutcome InitUserData(Application& app) {
  UserDataOutcome outcome;
  app.InitInstallationId();
  LoadUsageStats(app.Registry(), app.TrackedUrls(), app.Counters());

  const std::string media = app.GetDataDirectory("media", true);
  const std::string userDir = media.empty() ? std::string() : media + app.CurrentSchemeName();
  outcome.userDirectory = !userDir.empty() && platform::CreateDirectories(userDir);
  if (!outcome.userDirectory) app.Messages().Error(kUserDirectoryError);

  outcome.fixedChannels = FixedChannels(app);
  outcome.userChannels = UserChannels(app);
  app.SetVersionText(net::ProgramVersionText() + "\r\n");
  return outcome;
}

}  // namespace vyr

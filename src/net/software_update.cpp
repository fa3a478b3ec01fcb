#include "net/software_update.h"

#include <climits>
#include <cstdio>

#include "base/application.h"
#include "archive/zip_archive.h"
#include "net/download_progress.h"
#include "net/download_worker.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/string_table.h"

namespace vyr::net {

namespace {

using platform::TextId;

constexpr TextId kAskUpdateText{33112};
constexpr TextId kErrorOccuredText{33113};
constexpr TextId kTryAgainCaption{33415};
constexpr TextId kUpdateCaption{40110};

constexpr PackageKindInfo kKinds[] = {
    {kMiscInfoBoxVersion, "ibox", true},
    {kMiscProgramVersion, "Vyr20", true},
    {kMiscDictionaryVersion, "dict", false},
    {kMiscFixedChannelsVersion, "VyrFixed", true},
};

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

}  // namespace

const PackageKindInfo* PackageKindOf(int kind) {
  if (kind < 0 || kind > 3) return nullptr;
  return &kKinds[kind];
}

std::uint32_t PackageRequestId(int kind, int version) {
  return (static_cast<std::uint32_t>(kind) << 16) |
         (static_cast<std::uint32_t>(version) & 0xFFFFu);
}

int ParseVersion(const std::string& text) {
  size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT_MAX) value = INT_MAX;  // no wrap-around into small numbers
  }
  return static_cast<int>(negative ? -value : value);
}

PackageResult UnpackPackage(const std::string& packagePath, const std::string& targetDir) {
  if (!platform::CreateDirectories(targetDir)) return PackageResult::kNotUnpacked;
  ZipArchive archive;
  if (!archive.Open(packagePath) || archive.OpenError() || archive.MemberCount() < 1) {
    return PackageResult::kNotUnpacked;
  }
  const bool ok = archive.ExtractAll(targetDir);
  archive.Release();
  return ok ? PackageResult::kUnpacked : PackageResult::kNotUnpacked;
}

SoftwareUpdate::SoftwareUpdate(Application& app) : SoftwareUpdate(app, nullptr, nullptr, nullptr) {}

SoftwareUpdate::SoftwareUpdate(Application& app, DownloadStarter start, DownloadDialog dialog,
                               ProcessStarter startProcess)
    : app_(app),
      start_(std::move(start)),
      dialog_(std::move(dialog)),
      startProcess_(std::move(startProcess)),
      programDir_(platform::ProgramDirectory()) {
  if (!start_) {
    start_ = [&app](const std::string& url, const std::string& destination,
                    platform::WindowHandle notify, std::uint32_t cookie, std::uint64_t maxBytes) {
      StartDownload(url, destination, notify, nullptr, cookie, true, &app.Messages(), maxBytes);
    };
  }
  if (!dialog_) {
    dialog_ = [&app](const std::string& url, const std::string& destination, bool hidden) {
      return RunDownloadDialog(url, destination, hidden, &app.Messages());
    };
  }
  if (!startProcess_) startProcess_ = platform::StartProcess;
}

bool SoftwareUpdate::FromHomeServer(const std::string& source) const {
  return FetchesFromOrigin(source, app_.HomeServer());
}

std::string SoftwareUpdate::PackageDirectory(int kind) const {
  switch (kind) {
    case kInfoBoxPackage: {
      const std::string dir = app_.GetDataDirectory("InfoBox", true);
      return dir.empty() ? dir : dir + InfoBoxPageFolder(1);
    }
    case kProgramFilesPackage: return programDir_.empty() ? programDir_ : WithSlash(programDir_);
    case kDictionaryPackage: return app_.GetDataDirectory("email", true);
    case kFixedChannelsPackage: return app_.GetDataDirectory("Data/Default", true);
    default: return {};
  }
}

std::string SoftwareUpdate::PendingPackage(std::uint32_t requestId) const {
  auto it = pending_.find(requestId);
  return it == pending_.end() ? std::string() : it->second.package;
}

bool SoftwareUpdate::RequestPackageUpdate(int kind, const std::string& versionText,
                                          const std::string& source) {
  const PackageKindInfo* info = PackageKindOf(kind);
  if (info == nullptr || !FromHomeServer(source)) return false;
  const int version = ParseVersion(versionText);
  if (info->recordsVersion) {
    const int current = app_.Get(info->version);
    if (version < current || (version == current && version != 0)) return false;
  }
  // One download per kind: a second one would write the same package file
  // while the first is still under way.
  for (const auto& entry : pending_) {
    if (static_cast<int>(entry.first >> 16) == kind) return false;
  }

  const std::string temp = app_.GetDataDirectory("_TEMP", true);
  if (temp.empty()) return false;
  const std::string package = temp + info->packageName + ".zip";
  const std::uint32_t id = PackageRequestId(kind, version);
  // A package left from an earlier run must not be taken for this one.
  std::remove(package.c_str());
  pending_[id] = Pending{package, version};
  start_(source, package, mainWindow_, id, MaxDownloadBytes(app_));
  return true;
}

bool SoftwareUpdate::OnPackageDownloaded(std::uint32_t requestId, DownloadResult result) {
  const int kind = static_cast<int>(requestId >> 16);
  const PackageKindInfo* info = PackageKindOf(kind);
  auto it = pending_.find(requestId);
  if (info == nullptr || it == pending_.end()) return false;
  const Pending done = it->second;
  pending_.erase(it);
  // Only a whole download is unpacked, and only when no newer version was
  // stored while it ran: a stored version never goes down.
  const bool stale =
      info->recordsVersion && done.version < app_.Get(info->version);
  const bool unpacked = result == DownloadResult::kOk && !stale &&
                        UnpackPackage(done.package, PackageDirectory(kind)) == PackageResult::kUnpacked;
  std::remove(done.package.c_str());
  if (unpacked && info->recordsVersion) app_.Write(info->version, done.version);
  if (kind == kInfoBoxPackage && reloadInfoBox_) reloadInfoBox_();
  return unpacked;
}

bool SoftwareUpdate::UpdateSoftware(const std::string& setupAddress, bool askFirst) {
  if (!FromHomeServer(setupAddress)) return false;
  MessageBoxService& boxes = app_.Messages();
  if (askFirst && boxes.Question(kAskUpdateText.Text(), kUpdateCaption.Text()) != IDYES) return false;
  for (;;) {
    const std::string temp = app_.GetDataDirectory("_TEMP", true);
    setupPath_ = temp.empty() ? std::string() : temp + "vyrsetup.exe";
    if (!setupPath_.empty() &&
        dialog_(setupAddress, setupPath_, false) == DownloadDialogResult::kDownloaded &&
        platform::MarkExecutable(setupPath_)) {
      break;
    }
    setupPath_.clear();
    bool dontShowAgain = false;
    if (boxes.Question(kErrorOccuredText.Text(), kTryAgainCaption.Text(), &dontShowAgain) != IDYES) {
      return false;
    }
  }
  // The application starts it once everything else has ended, even when
  // this object (the main window's) is gone by then.
  app_.SetProgramAtExit(setupPath_);
  platform::PostMessage(mainWindow_, kCommandMessage, kExitShellCommand, 0);
  return true;
}

bool SoftwareUpdate::StartSetupAtExit() {
  if (setupPath_.empty()) return false;
  return startProcess_(setupPath_);
}

}  // namespace vyr::net

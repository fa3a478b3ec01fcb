#include "net/software_update.h"

#include <climits>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/application.h"
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
    {"ibver", "ibox", true},
    {"exever", "Vyr20", true},
    {"dictver", "dict", false},
    {"fixedchanver", "VyrFixed", true},
};

std::string WithSlash(std::string dir) {
  if (!dir.empty() && dir.back() != '/') dir += '/';
  return dir;
}

// A source that names a file on this machine rather than an address.
bool IsLocalSource(const std::string& source) {
  return !source.empty() && (source[0] == 'c' || source[0] == '/');
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

int UnpackPackage(const std::string& packagePath, const std::string& targetDir) {
  if (!platform::CreateDirectories(targetDir)) return 0;
  ZipArchive archive;
  if (!archive.Open(packagePath) || archive.OpenError() || archive.MemberCount() < 1) return 0;
  const bool ok = archive.ExtractAll(targetDir);
  archive.Release();
  return ok ? 1 : 0;
}

SoftwareUpdate::SoftwareUpdate(Application& app)
    : SoftwareUpdate(
          app,
          [&app](const std::string& url, const std::string& destination,
                 platform::WindowHandle notify, std::uint32_t cookie) {
            StartDownload(url, destination, notify, nullptr, cookie, true, &app.Messages());
          },
          [&app](const std::string& url, const std::string& destination, bool hidden) {
            return RunDownloadDialog(url, destination, hidden, &app.Messages());
          },
          platform::StartProcess) {}

SoftwareUpdate::SoftwareUpdate(Application& app, DownloadStarter start, DownloadDialog dialog,
                               ProcessStarter startProcess)
    : app_(app),
      start_(std::move(start)),
      dialog_(std::move(dialog)),
      startProcess_(std::move(startProcess)),
      programDir_(platform::ProgramDirectory()) {}

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
  return it == pending_.end() ? std::string() : it->second;
}

int SoftwareUpdate::RequestPackageUpdate(int kind, const std::string& versionText,
                                         const std::string& source) {
  const PackageKindInfo* info = PackageKindOf(kind);
  if (info == nullptr) return 0;
  const int version = ParseVersion(versionText);
  const int current = app_.GetInt("misc", info->versionKey, 0);
  if (version != 0 && version <= current) return 0;

  const std::string temp = app_.GetDataDirectory("_TEMP", true);
  if (temp.empty()) return 0;
  const std::string package = temp + info->packageName + ".zip";
  const std::uint32_t id = PackageRequestId(kind, version);
  pending_[id] = package;
  // A package left from an earlier request must not be taken for this one
  // when the download fails before writing anything.
  std::remove(package.c_str());

  if (IsLocalSource(source)) {
    std::error_code ec;
    std::filesystem::copy_file(source, package, std::filesystem::copy_options::overwrite_existing,
                               ec);
    platform::PostMessage(mainWindow_, kDownloadFinished, id, ec ? kErrorOpenAddress : kDownloadOk);
    return 1;
  }
  start_(source, package, mainWindow_, id);
  return 1;
}

bool SoftwareUpdate::OnPackageDownloaded(std::uint32_t requestId, std::int32_t result) {
  const int kind = static_cast<int>(requestId >> 16);
  const PackageKindInfo* info = PackageKindOf(kind);
  if (info == nullptr) return false;
  auto it = pending_.find(requestId);
  // A failed download may have left part of a file (or nothing); only a
  // whole download is unpacked, so the version stays for the next try.
  const bool unpacked = it != pending_.end() && result == kDownloadOk &&
                        UnpackPackage(it->second, PackageDirectory(kind)) == 1;
  if (unpacked && info->recordsVersion) {
    app_.WriteInt("misc", info->versionKey, static_cast<int>(requestId & 0xFFFFu));
  }
  if (kind == kInfoBoxPackage && reloadInfoBox_) reloadInfoBox_();
  return unpacked;
}

int SoftwareUpdate::UpdateSoftware(const std::string& setupAddress, bool askFirst) {
  MessageBoxService& boxes = app_.Messages();
  if (askFirst && boxes.Question(kAskUpdateText.Text(), kUpdateCaption.Text()) != IDYES) return 0;
  for (;;) {
    const std::string temp = app_.GetDataDirectory("_TEMP", true);
    setupPath_ = temp.empty() ? std::string() : temp + "vyrsetup.exe";
    if (!setupPath_.empty() && dialog_(setupAddress, setupPath_, false) == 1 &&
        platform::MarkExecutable(setupPath_)) {
      break;
    }
    setupPath_.clear();
    bool dontShowAgain = false;
    if (boxes.Question(kErrorOccuredText.Text(), kTryAgainCaption.Text(), &dontShowAgain) != IDYES) {
      return 0;
    }
  }
  // The application starts it once everything else has ended, even when
  // this object (the main window's) is gone by then.
  app_.SetProgramAtExit(setupPath_);
  platform::PostMessage(mainWindow_, kCommandMessage, kExitShellCommand, 0);
  return 1;
}

bool SoftwareUpdate::StartSetupAtExit() {
  if (setupPath_.empty()) return false;
  return startProcess_(setupPath_);
}

}  // namespace vyr::net

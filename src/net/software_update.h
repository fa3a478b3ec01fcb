#pragma once
// Keeping the program and its content fresh from the home server.
//
// Package updates fetch a ZIP package of one of four kinds (info box pages,
// program files, the spelling dictionary, the fixed channel file), unpack it
// over the kind's folder and record the package's version under [misc], so
// that the same package is not fetched twice. The software update downloads
// a setup program, asks the main window to close and starts the setup program
// when the application object goes away at exit.
//
// The application owns one SoftwareUpdate for the whole run; it holds the
// packages waiting for their downloads and the setup program's path. All of
// it runs on the user-interface thread; downloads report through the main
// window's posted messages.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "platform/window_messages.h"

namespace vyr {
class Application;
}

namespace vyr::net {

// A menu command posted to a window: wParam is the command number.
inline constexpr std::uint32_t kCommandMessage = 273;
// The main window's command that closes the shell like its exit command.
inline constexpr std::uint32_t kExitShellCommand = 33459;

// The package kinds; the kind travels in the high 16 bits of a request id.
enum PackageKind : int {
  kInfoBoxPackage = 0,
  kProgramFilesPackage = 1,
  kDictionaryPackage = 2,
  kFixedChannelsPackage = 3,
};

struct PackageKindInfo {
  const char* versionKey;   // under [misc]
  const char* packageName;  // <_TEMP>/<name>.zip
  bool recordsVersion;      // the dictionary records none
};

// The table entry of a kind; null for kinds above 3 (or negative).
const PackageKindInfo* PackageKindOf(int kind);

// (kind << 16) | (version & 0xFFFF).
std::uint32_t PackageRequestId(int kind, int version);

// A version number as the home server sends it: leading decimal digits
// (optionally signed); text that does not start with a number is 0.
int ParseVersion(const std::string& text);

// Unpacks the package into the target folder (created when missing): 1 when
// the package opened without error, listed at least one member and every
// member was unpacked; else 0.
int UnpackPackage(const std::string& packagePath, const std::string& targetDir);

class SoftwareUpdate {
 public:
  // Starts an asynchronous download that posts its messages to notify with
  // the cookie (no cancel flag).
  using DownloadStarter = std::function<void(const std::string& url, const std::string& destination,
                                             platform::WindowHandle notify, std::uint32_t cookie)>;
  // Runs a download with its progress dialog: 1 on success, 2 otherwise.
  using DownloadDialog =
      std::function<int(const std::string& url, const std::string& destination, bool hidden)>;
  // Starts a program without waiting for it; false when it could not start.
  using ProcessStarter = std::function<bool(const std::string& program)>;

  // Real downloads, progress dialog and process start.
  explicit SoftwareUpdate(Application& app);
  SoftwareUpdate(Application& app, DownloadStarter start, DownloadDialog dialog,
                 ProcessStarter startProcess);

  // The main window: receives the package downloads' messages and the close
  // request of a software update.
  void SetMainWindow(platform::WindowHandle window) { mainWindow_ = window; }
  // Called after an info box package was handled: the info box reloads.
  void SetInfoBoxReload(std::function<void()> reload) { reloadInfoBox_ = std::move(reload); }
  // The folder program-file packages go to (the running program's folder by
  // default).
  void SetProgramDirectory(std::string dir) { programDir_ = std::move(dir); }

  // Starts fetching a package of the kind unless its version is not newer
  // than the stored one (version 0 is always fetched). A source whose first
  // character is 'c' (a drive path) or '/' is a local package file: it is
  // copied instead of downloaded and the completion is posted at once.
  // Returns 1 when a download was started, 0 otherwise.
  int RequestPackageUpdate(int kind, const std::string& versionText, const std::string& source);
  int UpdateInfoBox(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kInfoBoxPackage, version, url);
  }
  int UpdateProgramFiles(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kProgramFilesPackage, version, url);
  }
  int UpdateSpellingDictionary(const std::string& url) {
    return RequestPackageUpdate(kDictionaryPackage, "0", url);
  }
  int UpdateFixedChannels(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kFixedChannelsPackage, version, url);
  }

  // The main window's handler of a finished package download (the cookie is
  // the request id). Unpacks the package and records its version only when
  // the download succeeded and the package unpacked whole. True when the
  // package was unpacked.
  bool OnPackageDownloaded(std::uint32_t requestId, std::int32_t result);

  // The folder a kind's packages are unpacked into (empty for unknown kinds).
  std::string PackageDirectory(int kind) const;
  // The package path waiting under a request id (empty when none).
  std::string PendingPackage(std::uint32_t requestId) const;

  // The full software update: asks first when told to, downloads the setup
  // program with the progress dialog (offering to try again after a
  // failure) and on success asks the main window to close. 1 when the setup
  // program is waiting, else 0.
  int UpdateSoftware(const std::string& setupAddress, bool askFirst);

  // Empty until a software update has downloaded its setup program.
  const std::string& SetupPath() const { return setupPath_; }
  // At exit (the application object's destruction): starts the waiting
  // setup program, if any, without waiting for it. True when one started.
  bool StartSetupAtExit();

 private:
  Application& app_;
  DownloadStarter start_;
  DownloadDialog dialog_;
  ProcessStarter startProcess_;
  platform::WindowHandle mainWindow_ = 0;
  std::function<void()> reloadInfoBox_;
  std::string programDir_;
  std::unordered_map<std::uint32_t, std::string> pending_;
  std::string setupPath_;
};

}  // namespace vyr::net

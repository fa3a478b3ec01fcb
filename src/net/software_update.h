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
// Packages and the setup program come from the home server only: an http or
// https address of exactly the origin of [misc] HomeServer. A file:
// address, a local path, another host or another port is refused before
// anything is downloaded or recorded.
//
// The application owns one SoftwareUpdate for the whole run; it holds the
// packages waiting for their downloads and the setup program's path. All of
// it runs on the user-interface thread; downloads report through the main
// window's posted messages.
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "base/settings_table.h"
#include "net/download_progress.h"
#include "net/download_worker.h"
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
  IntSetting version;       // the installed version
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

// What unpacking a package came to. The numbers are kept: vyrelle-cli's
// "package unpack" prints them.
enum class PackageResult {
  kNotUnpacked = 0,  // no folder, no package, an empty one, or a member not unpacked
  kUnpacked = 1,     // the package opened without error and every member was unpacked
};

// Unpacks the package into the target folder (created when missing).
PackageResult UnpackPackage(const std::string& packagePath, const std::string& targetDir);

class SoftwareUpdate {
 public:
  // Starts an asynchronous download that posts its messages to notify with
  // the cookie (no cancel flag) and stops at maxBytes.
  using DownloadStarter =
      std::function<void(const std::string& url, const std::string& destination,
                          platform::WindowHandle notify, std::uint32_t cookie, std::uint64_t maxBytes)>;
  // Runs a download with its progress dialog.
  using DownloadDialog = std::function<DownloadDialogResult(const std::string& url,
                                                            const std::string& destination, bool hidden)>;
  // Starts a program without waiting for it; false when it could not start.
  using ProcessStarter = std::function<bool(const std::string& program)>;

  // Real downloads, progress dialog and process start; an empty function
  // given to the second form is the real one too.
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

  // Starts fetching a package of the kind from source, within the size
  // limit ([misc] MaxDownloadMB). Refused (false, nothing downloaded or
  // recorded) when the source is not on the home server's origin, when a
  // download of the kind is still pending, or for the kinds that record
  // their version when the version is below the stored one or equal to it
  // (a stored version never goes down; version 0 equal to a stored 0 is
  // fetched). The dictionary records no version and is always fetched.
  // True when a download was started.
  bool RequestPackageUpdate(int kind, const std::string& versionText, const std::string& source);
  bool UpdateInfoBox(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kInfoBoxPackage, version, url);
  }
  bool UpdateProgramFiles(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kProgramFilesPackage, version, url);
  }
  bool UpdateSpellingDictionary(const std::string& url) {
    return RequestPackageUpdate(kDictionaryPackage, "0", url);
  }
  bool UpdateFixedChannels(const std::string& version, const std::string& url) {
    return RequestPackageUpdate(kFixedChannelsPackage, version, url);
  }

  // The main window's handler of a finished package download (the cookie is
  // the request id). Ends the request's pending state; unpacks the package
  // and records its version only when the download succeeded, the version is
  // still not below the stored one and the package unpacked whole. The
  // package file is deleted in every case. True when the package was
  // unpacked; false (and nothing done) for a request that is not pending.
  bool OnPackageDownloaded(std::uint32_t requestId, DownloadResult result);

  // The folder a kind's packages are unpacked into (empty for unknown kinds).
  std::string PackageDirectory(int kind) const;
  // The package path waiting under a request id (empty when none).
  std::string PendingPackage(std::uint32_t requestId) const;

  // The full software update: refuses (false, without a question) an
  // address that is not on the home server's origin, asks first when told
  // to, downloads the setup program with the progress dialog (offering to
  // try again after a failure) and on success asks the main window to
  // close. True when the setup program is waiting.
  bool UpdateSoftware(const std::string& setupAddress, bool askFirst);

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
  // True when source may be fetched: the home server's origin.
  bool FromHomeServer(const std::string& source) const;

  struct Pending {
    std::string package;  // the path the download writes
    int version;          // as requested (the request id keeps 16 bits)
  };
  std::unordered_map<std::uint32_t, Pending> pending_;
  std::string setupPath_;
};

}  // namespace vyr::net

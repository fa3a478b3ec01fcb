#include "schemes/scheme_package.h"

#include <filesystem>
#include <system_error>

#include "base/application.h"
#include "base/message_box.h"
#include "archive/zip_archive.h"
#include "net/download_progress.h"
#include "platform/file_system.h"

namespace vyr {

namespace {

// Fills the "%s" places of a text in order.
std::string Fill(const std::string& pattern, std::initializer_list<std::string> values) {
  std::string out;
  auto value = values.begin();
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern.compare(i, 2, "%s") == 0 && value != values.end()) {
      out += *value++;
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

bool Affirmative(int answer) { return answer == IDYES || answer == IDOK; }

// "default" is the scheme every other one falls back to, file by file: an
// import never writes into it, under any spelling of its name.
bool IsDefaultSchemeName(const std::string& name) {
  static const char kDefault[] = "default";
  if (name.size() != sizeof kDefault - 1) return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const char c = name[i];
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != kDefault[i]) return false;
  }
  return true;
}

// The folder is the default scheme's, by name or through a link to it.
bool IsDefaultSchemeFolder(const std::string& media, const std::string& scheme) {
  if (IsDefaultSchemeName(scheme)) return true;
  std::error_code ec;
  return std::filesystem::equivalent(media + scheme, media + "default", ec) && !ec;
}

}  // namespace

std::string RepairSchemeAddress(const std::string& address) {
  if (address.size() >= 6 && address.compare(4, 2, ":/") == 0 &&
      (address.size() < 7 || address[6] != '/')) {
    return "http://" + address.substr(6);
  }
  return address;
}

bool SchemePackageName(const std::string& address, std::string& packageName) {
  size_t cut = address.rfind('\\');
  if (cut == std::string::npos) cut = address.rfind('/');
  if (cut == std::string::npos) return false;
  packageName = address.substr(cut + 1);
  return true;
}

std::string SchemeNameOf(const std::string& packageName) {
  const size_t dot = packageName.rfind('.');
  if (dot == std::string::npos || dot == 0) return packageName;
  return packageName.substr(0, dot);
}

bool AcceptSchemeName(std::string& name) {
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t' || name.back() == '\r' ||
                           name.back() == '\n')) {
    name.pop_back();
  }
  return name.size() >= 2 && platform::IsSafePathComponent(name) && !IsDefaultSchemeName(name);
}

std::string ImportScheme(Application& app, const SchemeImport& with, const std::string& address) {
  MessageBoxService& boxes = with.boxes ? *with.boxes : app.Messages();
  const std::string url = RepairSchemeAddress(address);

  // The package name becomes a file name in "_TEMP": it must be one plain
  // name there.
  std::string package;
  if (!SchemePackageName(url, package) || !platform::IsPlainFileName(package)) {
    boxes.Error("Error 1 Importing Scheme");
    return {};
  }
  // It also names the scheme folder and the userdir setting: both must be a
  // safe folder name, checked before anything is asked or downloaded.
  std::string scheme = SchemeNameOf(package);
  if (!platform::IsSafePathComponent(package) || !platform::IsSafePathComponent(scheme)) {
    boxes.Error("Error 2 Importing Scheme");
    return {};
  }

  bool dontShowAgain = false;
  const std::string question = Fill(
      "You are about to import a new scheme.\n\nThe new scheme is named:  %s\n\nContinue ?",
      {package});
  if (!Affirmative(boxes.Question(question, "Import Scheme ?", &dontShowAgain))) return {};

  const std::string temp = app.GetDataDirectory("_TEMP", true);
  const std::string target = temp + package;
  const net::DownloadDialogResult downloaded =
      temp.empty()    ? net::DownloadDialogResult::kNotDownloaded
      : with.download ? with.download(url, target, false)
                      : net::RunDownloadDialog(url, target, false, &boxes, net::MaxDownloadBytes(app));
  if (downloaded != net::DownloadDialogResult::kDownloaded) {
    boxes.Error(Fill("Error Obtaining Scheme\r\n\r\n[%s]\r\n[%s]", {url, target}));
    return {};
  }

  const std::string media = app.GetDataDirectory("media", true);
  if (media.empty()) {
    boxes.Error("Error Creating Directory");
    return {};
  }
  // A name whose folder exists is asked about again; "default" always is,
  // and can be neither chosen nor replaced.
  std::string dir = media + scheme;
  while (IsDefaultSchemeFolder(media, scheme) || platform::DirectoryExists(dir)) {
    std::string entered = scheme;
    const SchemeNameChooser::Choice choice =
        with.chooser ? with.chooser->Choose(entered) : SchemeNameChooser::Cancel;
    if (choice == SchemeNameChooser::Cancel) return {};
    if (choice == SchemeNameChooser::Replace) {
      if (!IsDefaultSchemeFolder(media, scheme)) break;
      boxes.Error("Invalid Scheme Name");
      continue;
    }
    if (!AcceptSchemeName(entered)) {
      boxes.Error("Invalid Scheme Name");
      continue;
    }
    scheme = entered;
    dir = media + scheme;
  }
  const bool created = !platform::DirectoryExists(dir);
  if (created && !platform::CreateDirectories(dir)) {
    boxes.Error("Error Creating Directory");
    return {};
  }
  if (!platform::DirectoryExists(dir)) {
    boxes.Error(Fill("Error 82 importing scheme\n\n[%s]", {dir}));
    return {};
  }

  // A package that does not unpack ends the import: no sound, no switch, no
  // setting written, and a folder made for it is removed again.
  ZipArchive archive;
  const bool opened = archive.Open(target) && !archive.OpenError() && archive.MemberCount() >= 1;
  const bool unpacked = opened && archive.ExtractAll(dir);
  archive.Release();
  if (!unpacked) {
    boxes.Error(Fill("Error 142 Obtaining Scheme\r\n\r\n[%s]\r\n[%s]", {url, target}));
    if (created) {
      std::error_code ec;
      std::filesystem::remove_all(dir, ec);
    }
    return {};
  }

  app.PlaySound("schemedownloaded");

  dontShowAgain = false;
  if (Affirmative(boxes.Question("Do you wish to switch to the new scheme now ?", "Restart Now ?",
                                 &dontShowAgain))) {
    // The frame setting belongs to the new scheme: written once it is
    // current, into its own "config.ini" (a copy of the default scheme's
    // when the package brought none). The scheme left behind keeps its own.
    app.SetCurrentSchemeName(scheme);
    app.Write(kMiscUserDir, scheme);
    app.Write(kSchemeFancyWindows, 1);
    if (with.switcher) with.switcher->ApplyCurrentScheme();
  }
  return dir + "/";
}

}  // namespace vyr

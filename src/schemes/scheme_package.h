#pragma once
// Importing a scheme package: a ZIP archive whose name ends in ".vyrscheme"
// and whose members make up one scheme folder. The import repairs the
// address, asks the user, downloads the package into "_TEMP", picks a free
// scheme folder under "media" (or replaces one), unpacks the package there
// and offers to switch to the new scheme.
//
// Package addresses come from pages and files, so the names taken from them
// (and names the user types) must be one safe folder name
// (platform::IsSafePathComponent): anything that would put the scheme folder
// outside "media" is refused. No import writes into the "default" scheme,
// which every other scheme falls back to; an import that fails leaves the
// current scheme and every config.ini as they were.
#include <functional>
#include <string>

#include "net/download_progress.h"

namespace vyr {

class Application;
class MessageBoxService;

// Asks for another scheme name when the folder exists: the dialog shows the
// name, and the user renames, replaces or cancels.
class SchemeNameChooser {
 public:
  enum Choice { Cancel, Ok, Replace };
  virtual ~SchemeNameChooser() = default;
  // name holds the current name on entry and the entered one after Ok.
  virtual Choice Choose(std::string& name) = 0;
};

// Applies the scheme now current in the application: loads it and rebuilds
// the windows.
class SchemeSwitcher {
 public:
  virtual ~SchemeSwitcher() = default;
  virtual void ApplyCurrentScheme() = 0;
};

// "http:/host/x" (one slash after the scheme) gets its second slash back.
std::string RepairSchemeAddress(const std::string& address);
// The text after the last "\" or else the last "/"; false when the address
// has neither.
bool SchemePackageName(const std::string& address, std::string& packageName);
// The package name up to its last "." (a name whose only "." is its first
// character is kept whole).
std::string SchemeNameOf(const std::string& packageName);
// A name the user entered for a scheme: trailing white space trimmed; false
// when it is shorter than 2 characters, is not one safe folder name or is
// "default" (in any case).
bool AcceptSchemeName(std::string& name);

struct SchemeImport {
  // Runs the progress dialog. Empty: the program's progress dialog.
  std::function<net::DownloadDialogResult(const std::string& url, const std::string& destination,
                                          bool hidden)>
      download;
  SchemeNameChooser* chooser = nullptr;
  SchemeSwitcher* switcher = nullptr;
  // The boxes to ask with; null: the application's.
  MessageBoxService* boxes = nullptr;
};

// Imports the package at address (an internet address or a local path) on
// the user-interface thread. Returns the scheme folder the package was
// unpacked into (with a trailing "/"), empty when the import ended without
// unpacking it.
std::string ImportScheme(Application& app, const SchemeImport& with, const std::string& address);

}  // namespace vyr

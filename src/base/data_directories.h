#pragma once
// The per-machine data directories and the file resolvers every subsystem
// uses. The data root is the Windows-directory stand-in plus "vyrelle"; named
// folders hang below it ("media", "Data", "Data/Default", "InfoBox", "email",
// "_TEMP", "Pages", "Search"); the name "channels" means the root itself.
#include <functional>
#include <string>

#include "base/message_box.h"

namespace vyr {

class DataDirectories {
 public:
  // windowsDir: the Windows-directory stand-in (may be empty when unknown).
  // currentScheme: gives the current scheme's name at the moment of use.
  DataDirectories(std::string windowsDir, MessageBoxService* messages,
                  std::function<std::string()> currentScheme);

  const std::string& WindowsDirectory() const { return windowsDir_; }

  // <Windows directory>/vyrelle, without a trailing separator; empty when the
  // Windows directory is unknown.
  std::string Root() const;

  // <root>/<name>/ (always with a trailing separator); "channels" (any case)
  // gives <root>/. With create, the root and the folder are created when
  // missing. When the root cannot be created: message 33081 and an empty
  // result. When the named folder cannot be created: message 33083 and an
  // empty result.
  std::string GetDataDirectory(const std::string& name, bool create) const;

  // <root>/media/<current scheme>/<name>; with fallback, when that file does
  // not exist, <root>/media/default/<name>.
  std::string ResolveSchemeFile(const std::string& name, bool fallback) const;

  // <root>/Data/Default/<name>. The "Data" folder is created when missing;
  // with fallback, when the file does not exist, "Data/Default" is created
  // too. Empty when the folders cannot be created.
  std::string ResolveDataFile(const std::string& name, bool fallback) const;

 private:
  std::string windowsDir_;
  MessageBoxService* messages_;
  std::function<std::string()> currentScheme_;
};

// The info box's page folder 1 or 2 below the "InfoBox" data folder, one
// spelling for the packages that fill it and the box that shows it:
// "default/Dir1/", "default/Dir2/".
std::string InfoBoxPageFolder(int which);

// The default scheme name when none is set: "LowColor" for displays of fewer
// than 257 colours, else "default".
std::string DefaultSchemeName(int colourCount);

}  // namespace vyr

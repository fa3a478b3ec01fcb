#pragma once
// The Open dialog's list of recently opened files and where an opened text
// goes: a page in the browser pane, or a local file to the desktop's
// handler.
#include <string>
#include <vector>

#include "base/settings_table.h"

namespace vyr {

class Application;

inline constexpr IntSetting kFilesOpenedNum{"FilesOpened", "Num", 0};
inline constexpr StringSettingFamily kFilesOpened{"FilesOpened", "File", "", ""};

// [FilesOpened] File1 .. File<Num>, newest first, at most ten.
class OpenedFileList {
 public:
  static constexpr size_t kMaxEntries = 10;
  // Num is taken as 0 to 10 whatever the profile says, so a huge or
  // negative count reads no more than ten keys.
  void Load(const Application& app);
  // The text goes on top (the same file opened twice is listed twice); the
  // oldest beyond ten drops out; Num and the File keys are written. A blank
  // text changes nothing (false).
  bool Add(const Application& app, const std::string& text);
  const std::vector<std::string>& Entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

struct OpenPlan {
  bool inPane = true;   // the browser pane opens address; else the desktop's handler opens it
  std::string address;  // a file: address for a local page, the text as typed for anything not local,
                        // the file's path for the desktop
};
// A local path ("/...", "~/..." in the user's home, or a file: address) is
// local; it opens in the pane as a file: address when the last five
// characters of the text, upper-cased, hold ".HTM", else it goes to the
// desktop. Anything else opens in the pane as typed. home: the user's home
// folder for "~/".
OpenPlan PlanOpen(const std::string& text, const std::string& home);

}  // namespace vyr

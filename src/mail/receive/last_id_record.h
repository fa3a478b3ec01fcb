#pragma once
// Where a running mail check keeps each account's last fetched message id
// ("IDLastMessageDownloaded" of the profile) while it runs. Rewriting and
// flushing the whole profile after every message costs more than the rest
// of the message's storing, so the check notes the id in this small record
// beside the profile ("lastmessage.ini", "IDLastMessageDownloaded<n>=<id>"
// lines), replaced without a flush, and writes the profile once when the
// account's session ends, which removes the record.
//
// A record still there at the next run's start is what a check that ended
// without its last write (a crash, a kill) had reached: the run puts it into
// the profile first. A record lost or cut short by a crash costs nothing
// but time: the check fetches again from the profile's older id, and the
// stored copies are recognised as duplicates. The check notes an id only
// after the Inbox holding the message was flushed, so the record never
// claims a message the disk does not have.
#include <map>
#include <string>

#include "base/application.h"

namespace vyr {

class LastIdRecord {
 public:
  explicit LastIdRecord(Application& app);

  // Puts what a record left behind into the profile and removes it.
  void Recover();
  // Notes an account's id (the profile key's name, e.g.
  // "IDLastMessageDownloaded1") in the record.
  void Note(const SettingMember<StringSetting>& setting, const std::string& id);
  // Writes the noted ids into the profile and removes the record.
  void Commit();

  const std::string& Path() const { return path_; }

 private:
  Application& app_;
  std::string path_;
  std::map<std::string, std::string> noted_;
};

}  // namespace vyr

#include "mail/receive/last_id_record.h"

#include <cstdio>
#include <sstream>

#include "platform/file_system.h"

namespace vyr {

LastIdRecord::LastIdRecord(Application& app) : app_(app) {
  const std::string profile = app.ProfilePath();
  if (!profile.empty()) path_ = platform::ParentFolder(profile) + "/lastmessage.ini";
}

void LastIdRecord::Recover() {
  std::string text;
  if (path_.empty() || !platform::ReadWholeFile(path_, text)) return;
  std::istringstream lines(text);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t eq = line.find('=');
    // Only the last-id keys: a damaged record can change nothing else.
    if (eq == std::string::npos || line.compare(0, kEmailLastMessageId.key.size(), kEmailLastMessageId.key) != 0) {
      continue;
    }
    const std::string key = line.substr(0, eq), id = line.substr(eq + 1);
    if (id.empty()) continue;
    const std::string tag = key.substr(kEmailLastMessageId.key.size());
    if (tag.find_first_not_of("0123456789") != std::string::npos || tag.size() > 1) continue;
    app_.Write(OfAccount(tag, kEmailLastMessageId, kEmailExtraLastMessageId), id);
  }
  std::remove(path_.c_str());
}

void LastIdRecord::Note(const SettingMember<StringSetting>& setting, const std::string& id) {
  noted_[setting.Key()] = id;
  if (path_.empty()) return;
  std::string text;
  for (const auto& [key, value] : noted_) text += key + "=" + value + "\n";
  platform::WriteFileQuickly(path_, text);
}

void LastIdRecord::Commit() {
  if (noted_.empty()) return;
  for (const auto& [key, value] : noted_) {
    app_.Write(OfAccount(key.substr(kEmailLastMessageId.key.size()), kEmailLastMessageId,
                         kEmailExtraLastMessageId), value);
  }
  noted_.clear();
  // The profile is flushed by its write; only then may the record go.
  if (!path_.empty()) std::remove(path_.c_str());
}

}  // namespace vyr

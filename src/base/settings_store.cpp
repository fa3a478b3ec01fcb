#include "base/settings_store.h"

#include "platform/file_system.h"
#include "platform/profile_file.h"

namespace vyr {

using namespace platform;

SettingsStore::SettingsStore(std::string profilePath, std::function<std::string()> schemeConfig,
                             std::function<std::string()> dataConfig,
                             std::function<std::string()> ownSchemeConfig)
    : profilePath_(std::move(profilePath)),
      schemeConfig_(std::move(schemeConfig)),
      dataConfig_(std::move(dataConfig)),
      ownSchemeConfig_(std::move(ownSchemeConfig)) {}

std::string SettingsStore::SchemeWritePath() const {
  if (!ownSchemeConfig_) return schemeConfig_();
  const std::string own = ownSchemeConfig_();
  if (own.empty() || FileExists(own)) return own;
  const std::string readFrom = schemeConfig_();
  std::string contents;
  if (readFrom != own && ReadWholeFile(readFrom, contents)) {
    // A copy that cannot be made leaves the write to fail on its own: the
    // default scheme's file is never written in the scheme's place.
    if (CreateDirectories(ParentFolder(own))) WriteFileAtomically(own, contents);
  }
  return own;
}

std::string SettingsStore::GetString(const std::string& section, const std::string& key,
                                     const std::string& defaultValue, bool fromScheme) const {
  if (fromScheme) {
    return GetPrivateProfileString(section, key, defaultValue, schemeConfig_(), kBufferSize);
  }
  return GetPrivateProfileString(section, key, defaultValue, profilePath_);
}

int SettingsStore::GetInt(const std::string& section, const std::string& key, int defaultValue,
                          bool fromScheme) const {
  return GetPrivateProfileInt(section, key, defaultValue,
                              fromScheme ? schemeConfig_() : profilePath_);
}

void SettingsStore::WriteString(const std::string& section, const std::string& key,
                                const std::string& value, bool toScheme) const {
  WritePrivateProfileString(section, key, value, toScheme ? SchemeWritePath() : profilePath_);
}

void SettingsStore::WriteInt(const std::string& section, const std::string& key, int value,
                             bool toScheme) const {
  WriteString(section, key, std::to_string(value), toScheme);
}

std::string SettingsStore::GetDataString(const std::string& section, const std::string& key,
                                         const std::string& defaultValue) const {
  return GetPrivateProfileString(section, key, defaultValue, dataConfig_(), kBufferSize);
}

void SettingsStore::RemoveSection(const std::string& section) const {
  WritePrivateProfileSection(section, {}, profilePath_);
}

}  // namespace vyr

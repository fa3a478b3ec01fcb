#include "app/settings_store.h"

#include "platform/profile_file.h"

namespace vyr {

using namespace platform;

SettingsStore::SettingsStore(std::string profilePath, std::function<std::string()> schemeConfig,
                             std::function<std::string()> dataConfig)
    : profilePath_(std::move(profilePath)),
      schemeConfig_(std::move(schemeConfig)),
      dataConfig_(std::move(dataConfig)) {}

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
  // A scheme value goes into the file its reads come from, so a scheme
  // without a file of its own does not suddenly hide the default scheme's
  // values behind a file holding one key.
  WritePrivateProfileString(section, key, value, toScheme ? schemeConfig_() : profilePath_);
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

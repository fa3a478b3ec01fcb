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

int SettingsStore::GetOr(const IntSetting& s, int fallback) const {
  const std::string section(s.section), key(s.key);
  switch (s.file) {
    case SettingsFile::kProfile: return GetPrivateProfileInt(section, key, fallback, profilePath_);
    case SettingsFile::kScheme: return GetPrivateProfileInt(section, key, fallback, schemeConfig_());
    case SettingsFile::kData: return GetPrivateProfileInt(section, key, fallback, dataConfig_());
  }
  return fallback;
}

std::string SettingsStore::GetOr(const StringSetting& s, const std::string& fallback) const {
  const std::string section(s.section), key(s.key);
  switch (s.file) {
    case SettingsFile::kProfile: return GetString(section, key, fallback, false);
    case SettingsFile::kScheme: return GetString(section, key, fallback, true);
    case SettingsFile::kData: return GetDataString(section, key, fallback);
  }
  return fallback;
}

void SettingsStore::Write(const IntSetting& s, int value) const {
  Write(StringSetting{s.section, s.key, {}, s.file}, std::to_string(value));
}

void SettingsStore::Write(const StringSetting& s, const std::string& value) const {
  if (s.file == SettingsFile::kData) return;  // shipped with the program: read-only
  WriteString(std::string(s.section), std::string(s.key), value, s.file == SettingsFile::kScheme);
}

int SettingsStore::GetFrom(const IntSetting& s, const std::string& file) {
  return GetPrivateProfileInt(std::string(s.section), std::string(s.key), s.defaultValue, file);
}

void SettingsStore::RemoveSection(const std::string& section) const {
  WritePrivateProfileSection(section, {}, profilePath_);
}

}  // namespace vyr

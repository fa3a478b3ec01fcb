#pragma once
// The settings accessors of the application object. Three stores:
//  - the profile "vyr20.ini" in the Windows directory (the user's settings);
//  - the current scheme's "config.ini" (look and scheme-supplied values),
//    falling back to the default scheme's file when the scheme has none;
//  - the data folder's "config.ini" (shipped lists), read-only.
// Values are read at the moment of use; the profile layer keeps parsed
// copies, so a read costs a file-stamp check and a hash look-up.
#include <functional>
#include <string>

#include "base/settings_table.h"

namespace vyr {

class SettingsStore {
 public:
  // Scheme and data values come through a fixed buffer of this many
  // characters, so at most 253 characters are returned.
  static constexpr size_t kBufferSize = 254;

  // profilePath: the profile file. schemeConfig / dataConfig: give the path
  // of the scheme's and the data folder's "config.ini" at the moment of use
  // (resolved with fallback). ownSchemeConfig: the path of the current
  // scheme's own "config.ini" (no fallback), where scheme values are written.
  SettingsStore(std::string profilePath, std::function<std::string()> schemeConfig,
                std::function<std::string()> dataConfig,
                std::function<std::string()> ownSchemeConfig = {});

  const std::string& ProfilePath() const { return profilePath_; }

  // --- the settings of the table (base/settings_table.h) --------------------
  // Read from the setting's own file; a missing key reads as the table's
  // default. GetOr: as the fallback given, for the few settings whose
  // default is known only at run time (the table says which).
  int Get(const IntSetting& s) const { return GetOr(s, s.defaultValue); }
  std::string Get(const StringSetting& s) const { return GetOr(s, std::string(s.defaultValue)); }
  int GetOr(const IntSetting& s, int fallback) const;
  std::string GetOr(const StringSetting& s, const std::string& fallback) const;
  bool IsOn(const IntSetting& s) const { return Get(s) != 0; }
  // Into the profile, or the scheme's own "config.ini" (see WriteString); a
  // setting of the data folder's file is never written.
  void Write(const IntSetting& s, int value) const;
  void Write(const StringSetting& s, const std::string& value) const;
  template <typename S>
  auto Get(const SettingMember<S>& m) const {
    return Get(m.Setting());
  }
  template <typename S, typename V>
  auto GetOr(const SettingMember<S>& m, const V& fallback) const {
    return GetOr(m.Setting(), fallback);
  }
  template <typename S>
  bool IsOn(const SettingMember<S>& m) const {
    return IsOn(m.Setting());
  }
  template <typename S, typename V>
  void Write(const SettingMember<S>& m, const V& value) const {
    Write(m.Setting(), value);
  }
  // A scheme setting as another scheme's "config.ini" (file) holds it.
  static int GetFrom(const IntSetting& s, const std::string& file);

  // --- names given at run time ----------------------------------------------
  // For a section and key only known when the program runs: the
  // command-line companion's settings commands and the "setinifile" command
  // link. Everything else goes through the table above.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultValue = {}, bool fromScheme = false) const;
  int GetInt(const std::string& section, const std::string& key, int defaultValue,
             bool fromScheme = false) const;
  // Writes report nothing: a failed write leaves the old file whole. A
  // scheme value goes into the scheme's own "config.ini"; a scheme without
  // one first gets a copy of the file its values were read from (the
  // default scheme's), so it keeps every other value it showed and the
  // default scheme is never changed for it.
  void WriteString(const std::string& section, const std::string& key, const std::string& value,
                   bool toScheme = false) const;
  void WriteInt(const std::string& section, const std::string& key, int value,
                bool toScheme = false) const;
  std::string GetDataString(const std::string& section, const std::string& key,
                            const std::string& defaultValue = {}) const;

  // Empties a whole section of the profile (its header stays).
  void RemoveSection(const std::string& section) const;

  std::string SchemeConfigPath() const { return schemeConfig_(); }
  std::string DataConfigPath() const { return dataConfig_(); }

 private:
  std::string profilePath_;
  std::function<std::string()> schemeConfig_;
  std::function<std::string()> dataConfig_;
  std::function<std::string()> ownSchemeConfig_;

  // The file a scheme write goes to, made a copy of the file read so far
  // when the scheme has none of its own.
  std::string SchemeWritePath() const;
};

}  // namespace vyr

#pragma once
// The application object's logic: one per process. It owns the settings
// accessors, the data directories and file resolvers, the registry, the
// sound decision, the cached start-up flags, the current scheme name, the
// installation identifier and the process-wide mail lock. The windowed
// program wraps it in its wx application; the command-line companion and the
// tests create it directly.
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "base/data_directories.h"
#include "base/message_box.h"
#include "base/settings_store.h"
#include "base/sound_player.h"
#include "base/usage_stats.h"
#include "platform/registry.h"

namespace vyr {

namespace net {
class ServerSession;
}

class Application {
 public:
  // windowsDir: the Windows-directory stand-in (platform::GetWindowsDirectory()
  // in the programs, a temporary folder in tests). The services must outlive
  // the application object.
  Application(std::string windowsDir, MessageBoxService& messages, SoundPlayer& sounds);
  ~Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // The object registered as the process's application (the last one
  // constructed and not yet destroyed), or null.
  static Application* Current();

  // --- settings accessors ---------------------------------------------------
  const SettingsStore& Settings() const { return settings_; }
  // The settings of the table (base/settings_table.h), each from its own
  // file with its own default; see SettingsStore.
  int Get(const IntSetting& s) const { return settings_.Get(s); }
  std::string Get(const StringSetting& s) const { return settings_.Get(s); }
  // Missing: the home server's address for the setting's path.
  std::string Get(const HomeUrlSetting& s) const;
  int GetOr(const IntSetting& s, int fallback) const { return settings_.GetOr(s, fallback); }
  std::string GetOr(const StringSetting& s, const std::string& fallback) const {
    return settings_.GetOr(s, fallback);
  }
  bool IsOn(const IntSetting& s) const { return settings_.IsOn(s); }
  void Write(const IntSetting& s, int value) const { settings_.Write(s, value); }
  void Write(const StringSetting& s, const std::string& value) const { settings_.Write(s, value); }
  template <typename S>
  auto Get(const SettingMember<S>& m) const {
    return settings_.Get(m);
  }
  template <typename S, typename V>
  auto GetOr(const SettingMember<S>& m, const V& fallback) const {
    return settings_.GetOr(m, fallback);
  }
  template <typename S>
  bool IsOn(const SettingMember<S>& m) const {
    return settings_.IsOn(m);
  }
  template <typename S, typename V>
  void Write(const SettingMember<S>& m, const V& value) const {
    settings_.Write(m, value);
  }
  // Names given at run time only (the command-line companion's settings
  // commands, the "setinifile" command link); everything else goes through
  // the table.
  std::string GetString(const std::string& section, const std::string& key,
                        const std::string& defaultValue = {}, bool fromScheme = false) const {
    return settings_.GetString(section, key, defaultValue, fromScheme);
  }
  int GetInt(const std::string& section, const std::string& key, int defaultValue,
             bool fromScheme = false) const {
    return settings_.GetInt(section, key, defaultValue, fromScheme);
  }
  void WriteString(const std::string& section, const std::string& key, const std::string& value,
                   bool toScheme = false) const {
    settings_.WriteString(section, key, value, toScheme);
  }
  void WriteInt(const std::string& section, const std::string& key, int value,
                bool toScheme = false) const {
    settings_.WriteInt(section, key, value, toScheme);
  }
  std::string GetDataString(const std::string& section, const std::string& key,
                            const std::string& defaultValue = {}) const {
    return settings_.GetDataString(section, key, defaultValue);
  }

  // --- home server ----------------------------------------------------------
  // [misc] HomeServer without a trailing "/" (default
  // "http://www.vyrelle.example"); every home-server address derives from it.
  // The setting present and empty means "no home server": "" here, and no
  // request is ever sent to one.
  std::string HomeServer() const;
  bool HasHomeServer() const { return !HomeServer().empty(); }
  // The home server's address for a path ("/channels/chanfixed.vyr"); ""
  // without a home server.
  std::string HomeServerUrl(const std::string& path) const;

  // --- data directories -----------------------------------------------------
  const DataDirectories& Directories() const { return dirs_; }
  const std::string& WindowsDirectory() const { return dirs_.WindowsDirectory(); }
  std::string ProfilePath() const { return settings_.ProfilePath(); }
  std::string GetDataDirectory(const std::string& name, bool create = true) const {
    return dirs_.GetDataDirectory(name, create);
  }
  std::string ResolveSchemeFile(const std::string& name, bool fallback) const {
    return dirs_.ResolveSchemeFile(name, fallback);
  }
  std::string ResolveDataFile(const std::string& name, bool fallback) const {
    return dirs_.ResolveDataFile(name, fallback);
  }

  // --- display and start-up flags ---------------------------------------------
  // The display's colour count (palette size; a negative count means 257).
  void SetColourCount(int colours) { colourCount_ = colours < 0 ? 257 : colours; }
  int ColourCount() const { return colourCount_; }

  // Reads the cached start-up flags: [misc] PlaySounds, Transitions,
  // PlayEssentialSoundsOnly, userdir (the current scheme), [Startup]
  // ShowTooltips, AllowInfoboxClick.
  void LoadStartupSettings();

  bool SoundsEnabled() const { return soundsEnabled_; }
  void SetSoundsEnabled(bool on) { soundsEnabled_ = on; }
  bool TransitionsEnabled() const { return transitions_; }
  void SetTransitionsEnabled(bool on) { transitions_ = on; }
  bool EssentialSoundsOnly() const { return essentialSoundsOnly_; }
  void SetEssentialSoundsOnly(bool on) { essentialSoundsOnly_ = on; }
  bool ShowTooltips() const { return showTooltips_; }
  void SetShowTooltips(bool on) { showTooltips_ = on; }
  bool AllowInfoboxClick() const { return allowInfoboxClick_; }

  // The [SmarterBrowsing] switches of enhanced browsing, read by
  // LoadStartupSettings and changed by the options dialog. User-interface
  // thread only: a browsing worker gets a copy when it starts.
  struct SmarterBrowsing {
    bool autocomplete = true;
    bool realNames = true;
    bool webSearch = true;
  };
  const SmarterBrowsing& SmarterBrowsingFlags() const { return smarterBrowsing_; }
  void SetSmarterBrowsingFlags(const SmarterBrowsing& flags) { smarterBrowsing_ = flags; }
  // The extra buttons of the main window's button strip: switched by a
  // command for this run, never stored.
  bool ExtraButtons() const { return extraButtons_; }
  void SetExtraButtons(bool on) { extraButtons_ = on; }

  // The current scheme's name: [misc] userdir, or the default for the
  // display. A name that is not one plain folder name ("", ".", "..", or
  // holding "/", "\", ":" or a control character) is not used.
  const std::string& CurrentSchemeName() const { return schemeName_; }
  void SetCurrentSchemeName(const std::string& name);

  // --- sounds ---------------------------------------------------------------
  // Plays the scheme file "<name>.wav". mode 1: fall back to the default
  // scheme's file; mode 2: a non-essential sound. Returns the player's result
  // or 0 when nothing is played.
  int PlaySound(const std::string& name, int mode = 0, bool async = true);
  // Shows "newmail.htm" in the info box when the "gotmail" sound plays.
  void SetNewMailPageHandler(std::function<void(const std::string& page)> handler) {
    newMailPage_ = std::move(handler);
  }

  // --- installation ---------------------------------------------------------
  const platform::Registry& Registry() const { return registry_; }
  // Generates the identifier on the first start and reads it back later.
  // Errors go to the message-box service; the result is empty then.
  const std::string& InitInstallationId();
  const std::string& InstallationId() const { return installationId_; }

  // The tracked addresses and the usage counters reported to the home
  // server: loaded by InitUserData, saved at shutdown. User-interface thread
  // only.
  UsageCounters& Counters() { return counters_; }
  TrackedUrlTable& TrackedUrls() { return trackedUrls_; }
  // The home-server session of this run (login, pings, logout), when the
  // windowed program made one; null otherwise.
  net::ServerSession* Session() const { return session_; }
  void SetSession(net::ServerSession* session) { session_ = session; }

  // The program's own version as "%d.%d.%d.%d\r\n", set by InitUserData.
  const std::string& VersionText() const { return versionText_; }
  void SetVersionText(std::string text) { versionText_ = std::move(text); }

  // The program a software update left to run when this one has ended
  // (the downloaded setup program); empty when none.
  const std::string& ProgramAtExit() const { return programAtExit_; }
  void SetProgramAtExit(std::string path) { programAtExit_ = std::move(path); }

  // --- splash window --------------------------------------------------------
  // The windowed program's way of closing its splash window (the start-up
  // steps that show a box or wait on the network close it first).
  void SetSplashCloser(std::function<void()> close) { closeSplash_ = std::move(close); }
  void CloseSplash() const {
    if (closeSplash_) closeSplash_();
  }

  // --- services -------------------------------------------------------------
  MessageBoxService& Messages() const { return messages_; }
  std::mutex& MailLock() { return mailLock_; }

 private:
  MessageBoxService& messages_;
  SoundPlayer& sounds_;
  DataDirectories dirs_;
  SettingsStore settings_;
  platform::Registry registry_;
  std::mutex mailLock_;
  std::function<void(const std::string&)> newMailPage_;
  std::function<void()> closeSplash_;
  UsageCounters counters_;
  TrackedUrlTable trackedUrls_;
  net::ServerSession* session_ = nullptr;
  std::string versionText_;
  std::string programAtExit_;

  int colourCount_ = 1 << 24;
  bool soundsEnabled_ = true;
  bool transitions_ = true;
  bool essentialSoundsOnly_ = false;
  bool showTooltips_ = true;
  bool allowInfoboxClick_ = false;
  SmarterBrowsing smarterBrowsing_;
  bool extraButtons_ = false;
  std::string schemeName_ = "default";
  std::string installationId_;
};

}  // namespace vyr

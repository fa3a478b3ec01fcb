#include "base/application.h"

#include <atomic>

#include "base/installation_id.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace {
std::atomic<Application*> gCurrent{nullptr};

}  // namespace

Application::Application(std::string windowsDir, MessageBoxService& messages, SoundPlayer& sounds)
    : messages_(messages),
      sounds_(sounds),
      dirs_(windowsDir, &messages, [this] { return schemeName_; }),
      settings_(windowsDir.empty() ? std::string() : platform::JoinPath(windowsDir, "vyr20.ini"),
                [this] { return dirs_.ResolveSchemeFile("config.ini", true); },
                [this] { return dirs_.ResolveDataFile("config.ini", true); },
                [this] { return dirs_.ResolveSchemeFile("config.ini", false); }),
      registry_(windowsDir.empty() ? std::string() : platform::JoinPath(windowsDir, "registry.reg")) {
  gCurrent = this;
}

Application::~Application() {
  Application* self = this;
  gCurrent.compare_exchange_strong(self, nullptr);
}

Application* Application::Current() { return gCurrent.load(); }

std::string Application::HomeServer() const {
  std::string server = Get(kMiscHomeServer);
  while (!server.empty() && server.back() == '/') server.pop_back();
  return server;
}

std::string Application::Get(const HomeUrlSetting& s) const {
  return settings_.GetString(std::string(s.section), std::string(s.key), HomeServerUrl(std::string(s.homePath)));
}

std::string Application::HomeServerUrl(const std::string& path) const {
  const std::string server = HomeServer();
  if (server.empty()) return {};
  if (path.empty()) return server + "/";
  return server + (path[0] == '/' ? "" : "/") + path;
}

void Application::LoadStartupSettings() {
  soundsEnabled_ = IsOn(kMiscPlaySounds);
  transitions_ = IsOn(kMiscTransitions);
  essentialSoundsOnly_ = IsOn(kMiscPlayEssentialSoundsOnly);
  SetCurrentSchemeName(Get(kMiscUserDir));
  showTooltips_ = IsOn(kStartupShowTooltips);
  allowInfoboxClick_ = IsOn(kStartupAllowInfoboxClick);
  smarterBrowsing_.autocomplete = IsOn(kSmarterBrowsingAutocomplete);
  smarterBrowsing_.realNames = IsOn(kSmarterBrowsingRealNames);
  smarterBrowsing_.webSearch = IsOn(kSmarterBrowsingWebSearch);
}

void Application::SetCurrentSchemeName(const std::string& name) {
  // A scheme name is one folder below "media".
  schemeName_ = platform::IsSafePathComponent(name) ? name : DefaultSchemeName(colourCount_);
}

int Application::PlaySound(const std::string& name, int mode, bool async) {
  if (name.empty()) return 0;
  if (name == "gotmail") {
    std::string page = ResolveSchemeFile("newmail.htm", true);
    if (platform::FileExists(page) && newMailPage_) newMailPage_(page);
    async = false;
  }
  if (!soundsEnabled_) return 0;
  if (mode == 2 && essentialSoundsOnly_) return 0;
  std::string file = ResolveSchemeFile(name + ".wav", mode == 1);
  if (!platform::FileExists(file)) return 0;
  return sounds_.Play(file, async);
}

const std::string& Application::InitInstallationId() {
  std::string error;
  std::string id = EnsureInstallationId(registry_, &error);
  if (id.empty()) {
    messages_.Error(error);
  } else {
    installationId_ = id;
  }
  return installationId_;
}

}  // namespace vyr

#include "app/shell_integration.h"

#include <cctype>
#include <cstdint>
#include <utility>

#include "base/application.h"
#include "channels/favorites.h"
#include "net/download_worker.h"
#include "platform/desktop_defaults.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "platform/window_messages.h"
#include "platform/text.h"

namespace vyr {

namespace {

using platform::RegistryRoot;
constexpr RegistryRoot kRoot = RegistryRoot::ClassesRoot;

std::string CommandKey(const std::string& cls) { return cls + "\\shell\\open\\command"; }
std::string DdeKey(const std::string& cls) { return cls + "\\shell\\open\\ddeexec"; }
std::string IconKey(const std::string& cls) { return cls + "\\DefaultIcon"; }

bool HasDefault(const platform::Registry& registry, const std::string& key, const std::string& want) {
  const std::optional<std::string> value = registry.GetValue(kRoot, key, "");
  return value && *value == want;
}

constexpr platform::TextId kOpenerMissing{40320};
constexpr platform::TextId kOpenerFailed{40321};

// Brings the opener's failures from the thread that waited for it to the
// user-interface thread, where the application's message box says them.
// Made at the first hand-over, on the user-interface thread; a failure that
// arrives after the application object is gone is dropped.
class DesktopFailureRelay : private platform::MessageTarget {
 public:
  static constexpr std::uint32_t kFailedMessage = 0x8110;

  DesktopFailureRelay() : handle_(platform::WindowMessages::Instance().Register(this)) {}
  ~DesktopFailureRelay() override { platform::WindowMessages::Instance().Unregister(handle_); }
  platform::WindowHandle Handle() const { return handle_; }

 private:
  void OnWindowMessage(const platform::WindowMessage& message) override {
    Application* app = Application::Current();
    if (message.message == kFailedMessage && message.text && app) app->Messages().Error(*message.text);
  }

  platform::WindowHandle handle_;
};

}  // namespace

std::string DesktopHandOverFailureText(const std::string& address, bool started, int status) {
  std::string shown = address.substr(0, address.find('?'));
  if (shown.size() > 120) shown = shown.substr(0, 117) + "...";
  std::string text = started ? kOpenerFailed.Text() : kOpenerMissing.Text();
  if (const size_t at = text.find("%s"); at != std::string::npos) text.replace(at, 2, shown);
  if (const size_t at = text.find("%d"); at != std::string::npos) text.replace(at, 2, std::to_string(status));
  return text;
}

void HandToDesktop(const std::string& address) {
  static DesktopFailureRelay relay;
  const platform::WindowHandle handle = relay.Handle();
  platform::OpenWithDesktop(address, [handle, address](const platform::DesktopOpenResult& result) {
    if (result.started && result.status == 0) return;
    platform::PostText(handle, DesktopFailureRelay::kFailedMessage,
                       DesktopHandOverFailureText(address, result.started, result.status));
  });
}

const std::vector<std::string>& BrowserMimeTypes() {
  static const std::vector<std::string> types = {"text/html", "x-scheme-handler/http",
                                                 "x-scheme-handler/https"};
  return types;
}

const std::vector<std::string>& BrowserFileTypes() {
  static const std::vector<std::string> types = {"text/html", "application/x-javascript"};
  return types;
}

const std::vector<std::string>& BrowserSchemeTypes() {
  static const std::vector<std::string> types = {
      "application/x-http-protocol", "application/x-https-protocol", "application/x-ftp-protocol"};
  return types;
}

std::string WindowedProgramPath() {
  const std::string dir = platform::ProgramDirectory();
  return dir.empty() ? std::string("vyrelle") : dir + "/vyrelle";
}

std::string ShellRegistration::OpenCommand() const { return program_ + " \"%1\""; }

std::string ShellRegistration::DdeCommand() { return "[open(\"%1\")]"; }

bool ShellRegistration::IsHandlerFor(const std::string& type) const {
  if (type == "text/html") {
    return HasDefault(registry_, ".htm", kProgramId) && HasDefault(registry_, ".html", kProgramId);
  }
  return HasDefault(registry_, CommandKey(kShellClass), OpenCommand()) &&
         HasDefault(registry_, DdeKey(kShellClass), DdeCommand());
}

bool ShellRegistration::TakeOverFileType(const std::string& type) const {
  if (type == "text/html") {
    const bool htm = registry_.SetValue(kRoot, ".htm", "", kProgramId);
    const bool html = registry_.SetValue(kRoot, ".html", "", kProgramId);
    return htm && html;
  }
  bool ok = registry_.SetValue(kRoot, CommandKey(kShellClass), "", OpenCommand());
  ok = registry_.SetValue(kRoot, DdeKey(kShellClass), "", DdeCommand()) && ok;
  // Without these the shell's "open" reaches the running program through
  // its default application and topic.
  ok = registry_.DeleteKey(kRoot, DdeKey(kShellClass) + "\\Application") && ok;
  ok = registry_.DeleteKey(kRoot, DdeKey(kShellClass) + "\\Topic") && ok;
  const char* icon = ",1";
  if (type == "text/x-javascript" || type == "application/x-javascript") {
    icon = ",7";
  } else if (type.compare(0, 5, "image") == 0) {
    icon = ",6";
  }
  return registry_.SetValue(kRoot, IconKey(kShellClass), "", program_ + icon) && ok;
}

bool ShellRegistration::TakeOverScheme(const std::string& /*type*/) const { return false; }

std::string ShellRegistration::SchemeOfType(const std::string& type) {
  const size_t first = type.find('-');
  const size_t last = type.rfind('-');
  if (first == std::string::npos || last == first) return {};
  return type.substr(first + 1, last - first - 1);
}

bool ShellRegistration::IsDefaultBrowser() const {
  for (const std::string& type : BrowserFileTypes()) {
    if (!IsHandlerFor(type)) return false;
  }
  return true;  // the schemes count as handled without the shortcut object
}

bool ShellRegistration::MakeDefaultBrowser() const {
  bool ok = true;
  for (const std::string& type : BrowserFileTypes()) ok = TakeOverFileType(type) && ok;
  for (const std::string& type : BrowserSchemeTypes()) TakeOverScheme(type);
  return ok;
}

bool IsDefaultBrowser(const platform::Registry& registry, const std::string& programPath) {
  return ShellRegistration(registry, programPath).IsDefaultBrowser() && IsDesktopDefaultBrowser();
}

bool MakeDefaultBrowser(const platform::Registry& registry, const std::string& programPath) {
  const bool registryHalf = ShellRegistration(registry, programPath).MakeDefaultBrowser();
  return MakeDesktopDefaultBrowser() && registryHalf;
}

bool IsDesktopDefaultBrowser() {
  for (const std::string& type : BrowserMimeTypes()) {
    if (platform::DefaultApplication(type) != kDesktopFileId) return false;
  }
  return true;
}

bool MakeDesktopDefaultBrowser() {
  std::vector<std::pair<std::string, std::string>> defaults;
  for (const std::string& type : BrowserMimeTypes()) defaults.emplace_back(type, kDesktopFileId);
  return platform::SetDefaultApplications(defaults);
}

bool IsDefaultMailClient() { return platform::DefaultApplication(kMailtoMimeType) == kDesktopFileId; }

bool MakeDefaultMailClient() { return platform::SetDefaultApplications({{kMailtoMimeType, kDesktopFileId}}); }

std::optional<std::string> AddressFromOpenCommand(const std::string& commandText) {
  const size_t first = commandText.find('"');
  const size_t last = commandText.rfind('"');
  if (first == std::string::npos || last == first) return std::nullopt;
  return commandText.substr(first + 1, last - first - 1);
}

std::string ResolveShortcutAddress(const std::string& fileToOpen) {
  if (!platform::EndsWithNoCase(fileToOpen, ".url")) return fileToOpen;
  std::string path = net::LocalSourcePath(fileToOpen);
  if (path.empty()) path = fileToOpen;  // a relative path
  std::string address;
  return ReadShortcut(path, address) && !address.empty() ? address : fileToOpen;
}

}  // namespace vyr

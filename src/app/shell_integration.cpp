#include "app/shell_integration.h"

#include <utility>

#include "platform/desktop_defaults.h"

namespace vyr {

const std::vector<std::string>& BrowserMimeTypes() {
  static const std::vector<std::string> types = {"text/html", "x-scheme-handler/http",
                                                 "x-scheme-handler/https"};
  return types;
}

bool IsDefaultBrowser() {
  for (const std::string& type : BrowserMimeTypes()) {
    if (platform::DefaultApplication(type) != kDesktopFileId) return false;
  }
  return true;
}

bool MakeDefaultBrowser() {
  std::vector<std::pair<std::string, std::string>> defaults;
  for (const std::string& type : BrowserMimeTypes()) defaults.emplace_back(type, kDesktopFileId);
  return platform::SetDefaultApplications(defaults);
}

bool IsDefaultMailClient() { return platform::DefaultApplication(kMailtoMimeType) == kDesktopFileId; }

bool MakeDefaultMailClient() { return platform::SetDefaultApplications({{kMailtoMimeType, kDesktopFileId}}); }

}  // namespace vyr

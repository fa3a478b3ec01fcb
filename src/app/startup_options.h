#pragma once
// The start-up options the user sets in the start-up options dialog, all in
// the profile's [Startup] section: the splash window, the default-browser
// offer, the mail check at start, the welcome page and the tooltips.
#include "base/settings_table.h"

namespace vyr {

class Application;

// A profile that never set an option reads as these.
struct StartupOptions {
  bool showSplash = kStartupShowSplash.defaultValue == 1;
  bool checkDefaultBrowser = kStartupCheckDefaultBrowser.defaultValue != 0;
  bool checkMail = kStartupCheckMail.defaultValue != 0;
  bool showWelcome = kStartupShowWelcome.defaultValue != 0;
  bool showTooltips = kStartupShowTooltips.defaultValue != 0;
};

StartupOptions ReadStartupOptions(const Application& app);
// Writes every option; the tooltips take effect at once.
void WriteStartupOptions(Application& app, const StartupOptions& options);

}  // namespace vyr

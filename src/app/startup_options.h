#pragma once
// The start-up options the user sets in the start-up options dialog, all in
// the profile's [Startup] section: the splash window, the default-browser
// offer, the mail check at start, the welcome page and the tooltips.
namespace vyr {

class Application;

struct StartupOptions {
  bool showSplash = true;           // ShowSplash
  bool checkDefaultBrowser = true;  // CheckDefaultBrowser
  bool checkMail = false;           // CheckMail: as the start-up check reads it
  bool showWelcome = false;         // ShowWelcome
  bool showTooltips = true;         // ShowTooltips
};

StartupOptions ReadStartupOptions(const Application& app);
// Writes every option; the tooltips take effect at once.
void WriteStartupOptions(Application& app, const StartupOptions& options);

}  // namespace vyr

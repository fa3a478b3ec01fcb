#include "app/startup_options.h"

#include "base/application.h"

namespace vyr {

StartupOptions ReadStartupOptions(const Application& app) {
  const StartupOptions d;
  StartupOptions o;
  o.showSplash = app.GetInt("Startup", "ShowSplash", d.showSplash) == 1;
  o.checkDefaultBrowser = app.GetInt("Startup", "CheckDefaultBrowser", d.checkDefaultBrowser) != 0;
  o.checkMail = app.GetInt("Startup", "CheckMail", d.checkMail) != 0;
  o.showWelcome = app.GetInt("Startup", "ShowWelcome", d.showWelcome) != 0;
  o.showTooltips = app.ShowTooltips();
  return o;
}

void WriteStartupOptions(Application& app, const StartupOptions& o) {
  app.WriteInt("Startup", "ShowSplash", o.showSplash ? 1 : 0);
  app.WriteInt("Startup", "CheckDefaultBrowser", o.checkDefaultBrowser ? 1 : 0);
  app.WriteInt("Startup", "CheckMail", o.checkMail ? 1 : 0);
  app.WriteInt("Startup", "ShowWelcome", o.showWelcome ? 1 : 0);
  app.WriteInt("Startup", "ShowTooltips", o.showTooltips ? 1 : 0);
  app.SetShowTooltips(o.showTooltips);
}

}  // namespace vyr

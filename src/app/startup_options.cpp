#include "app/startup_options.h"

#include "base/application.h"

namespace vyr {

StartupOptions ReadStartupOptions(const Application& app) {
  StartupOptions o;
  o.showSplash = app.Get(kStartupShowSplash) == 1;
  o.checkDefaultBrowser = app.IsOn(kStartupCheckDefaultBrowser);
  o.checkMail = app.IsOn(kStartupCheckMail);
  o.showWelcome = app.IsOn(kStartupShowWelcome);
  o.showTooltips = app.ShowTooltips();
  return o;
}

void WriteStartupOptions(Application& app, const StartupOptions& o) {
  app.Write(kStartupShowSplash, o.showSplash ? 1 : 0);
  app.Write(kStartupCheckDefaultBrowser, o.checkDefaultBrowser ? 1 : 0);
  app.Write(kStartupCheckMail, o.checkMail ? 1 : 0);
  app.Write(kStartupShowWelcome, o.showWelcome ? 1 : 0);
  app.Write(kStartupShowTooltips, o.showTooltips ? 1 : 0);
  app.SetShowTooltips(o.showTooltips);
}

}  // namespace vyr

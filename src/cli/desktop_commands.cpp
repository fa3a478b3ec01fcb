// vyrelle-cli desktop: the desktop's default browser and mail handler.
#include "app/shell_integration.h"
#include "cli/cli_context.h"
#include "platform/desktop_defaults.h"

namespace vyr::cli {

namespace {

int MakeDefaultCommand(Context& c, bool browser) {
  const bool ok = browser ? MakeDefaultBrowser(c.app.Registry(), WindowedProgramPath()) : MakeDefaultMailClient();
  if (!ok) {
    c.err << "vyrelle-cli: cannot write " << platform::UserMimeAppsPath() << " or " << c.app.Registry().File()
          << "\n";
    return 1;
  }
  return 0;
}

}  // namespace

void AddDesktopCommands(CommandTree& tree, CLI::App& desktop) {
  tree.Command(desktop, "status",
               "\"browser: yes|no\" and \"mail: yes|no\": whether\n"
               "the desktop opens pages and mailto links with\n"
               "vyrelle",
               [](Context& c, const CLI::App&) {
                 c.out << "browser: " << (IsDefaultBrowser(c.app.Registry(), WindowedProgramPath()) ? "yes" : "no")
                       << "\n"
                       << "mail: " << (IsDefaultMailClient() ? "yes" : "no") << "\n";
                 return 0;
               });
  tree.Command(desktop, "default-browser", "make vyrelle the desktop's default browser",
               [](Context& c, const CLI::App&) { return MakeDefaultCommand(c, true); });
  tree.Command(desktop, "default-mail", "make vyrelle the desktop's mailto handler",
               [](Context& c, const CLI::App&) { return MakeDefaultCommand(c, false); });
}

}  // namespace vyr::cli

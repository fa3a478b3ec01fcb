// vyrelle-cli desktop: the desktop's default browser and mail handler.
#include "app/shell_integration.h"
#include "cli/cli_context.h"
#include "platform/desktop_defaults.h"

namespace vyr::cli {

int RunDesktopCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 1) return Usage(c.err, "desktop status | default-browser | default-mail");
  if (args[0] == "status") {
    c.out << "browser: " << (IsDefaultBrowser(c.app.Registry(), WindowedProgramPath()) ? "yes" : "no") << "\n"
          << "mail: " << (IsDefaultMailClient() ? "yes" : "no") << "\n";
    return 0;
  }
  if (args[0] == "default-browser" || args[0] == "default-mail") {
    const bool ok = args[0] == "default-browser" ? MakeDefaultBrowser(c.app.Registry(), WindowedProgramPath())
                                                 : MakeDefaultMailClient();
    if (!ok) {
      c.err << "vyrelle-cli: cannot write " << platform::UserMimeAppsPath() << " or "
            << c.app.Registry().File() << "\n";
      return 1;
    }
    return 0;
  }
  return Usage(c.err, "unknown desktop command '" + args[0] + "'");
}

}  // namespace vyr::cli

#include <cstdio>
#include <string>
#include <vector>

#include "app/windows/vyr_app.h"
#include "ui/windows/browser_wnd.h"

wxIMPLEMENT_APP_NO_MAIN(CVyrApp);

int main(int argc, char** argv) {
  // --help, --version and a wrong option are answered before anything else:
  // no display is opened, no running instance asked, no folder touched.
  const vyr::ProgramCommandLine line = vyr::ParseProgramCommandLine(std::vector<std::string>(argv + 1, argv + argc));
  switch (line.mode) {
    case vyr::ProgramCommandLine::Mode::Help:
      std::fputs(vyr::ProgramUsageText().c_str(), stdout);
      return 0;
    case vyr::ProgramCommandLine::Mode::Version: {
      vyr::platform::SystemInfo engines;
      CBrowserWnd::AddEngineVersions(engines);
      std::fputs(vyr::ProgramVersionReport(engines).c_str(), stdout);
      return 0;
    }
    case vyr::ProgramCommandLine::Mode::Wrong:
      std::fprintf(stderr, "vyrelle: %s\n\n%s", line.problem.c_str(), vyr::ProgramUsageText().c_str());
      return 2;
    default:
      // As the toolkit's own main does: a release build shows no assertion
      // boxes and writes no debug log.
      wxDISABLE_DEBUG_SUPPORT();
      CVyrApp::SetCommandLine(line);
      return wxEntry(argc, argv);
  }
}

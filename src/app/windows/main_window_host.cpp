#include "app/windows/main_window_host.h"

#include <wx/window.h>

#include "browser/windows/vyr20_dlg.h"

void MainWindowHost::EndForGood() {
  if (wxWindow* window = Window()) window->Destroy();
}

std::unique_ptr<MainWindowHost> CreateMainWindow(vyr::Application& app) { return CreateVyr20Host(app); }

#include "ui/windows/system_tray.h"

#include <wx/taskbar.h>

bool SystemTrayAvailable() { return wxTaskBarIcon::IsAvailable(); }

#pragma once
// Whether the desktop has a system tray the program's icon can live in (on
// X11: a tray holds the _NET_SYSTEM_TRAY selection). Keep-alive hides the
// main window into the tray only when there is one.
bool SystemTrayAvailable();

#pragma once
// The program as the desktop's browser and mail handler.
//
// The desktop's half of becoming the default browser and mail client: the
// XDG defaults that send web pages, http/https addresses and mailto links to
// "vyrelle.desktop". The registry stand-in's half (the file types and
// schemes under HKEY_CLASSES_ROOT) is added to MakeDefaultBrowser and
// IsDefaultBrowser beside these calls, so that both halves are written and
// both must hold.
#include <string>
#include <vector>

namespace vyr {

// The installed desktop file's name.
inline constexpr char kDesktopFileId[] = "vyrelle.desktop";

// The types a browser handles on the desktop, and the mail client's one.
const std::vector<std::string>& BrowserMimeTypes();
inline constexpr char kMailtoMimeType[] = "x-scheme-handler/mailto";

// True when the desktop opens every browser type with this program.
bool IsDefaultBrowser();
// Makes this program the desktop's default for every browser type. A type
// already handled is left alone. False when the choice cannot be stored.
bool MakeDefaultBrowser();

// The same for mailto links (the system's default mail client).
bool IsDefaultMailClient();
bool MakeDefaultMailClient();

}  // namespace vyr

#pragma once
// The program as the system's browser and mail handler.
//
// Becoming the default browser has two halves, and both must hold:
// - the desktop's half: the XDG defaults that send web pages, http/https
//   addresses and mailto links to "vyrelle.desktop";
// - the registry's half: the file types and address schemes under
//   HKEY_CLASSES_ROOT of the registry stand-in ("Vyr20.Application" for
//   ".htm"/".html", the open command and "[open("%1")]" command of the
//   program's class "Vyr20"), which the program's own tools and a later
//   Windows build read.
// The Internet Shortcut object does not exist on this platform, so the
// address schemes count as handled in the registry and are never written
// there; the desktop's half covers http and https.
#include <optional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace vyr {

// The installed desktop file's name.
inline constexpr char kDesktopFileId[] = "vyrelle.desktop";

// The types a browser handles on the desktop, and the mail client's one.
const std::vector<std::string>& BrowserMimeTypes();
inline constexpr char kMailtoMimeType[] = "x-scheme-handler/mailto";

// The program's programmatic identifier and shell class.
inline constexpr char kProgramId[] = "Vyr20.Application";
inline constexpr char kShellClass[] = "Vyr20";

// The file types and scheme types a default browser takes over, in order.
const std::vector<std::string>& BrowserFileTypes();    // text/html, application/x-javascript
const std::vector<std::string>& BrowserSchemeTypes();  // application/x-http-protocol ...

// The windowed program's file: "vyrelle" in the folder of the running
// program (the companion tools sit beside it).
std::string WindowedProgramPath();

// The registry's half, over the HKEY_CLASSES_ROOT of a registry stand-in,
// for the program file programPath (used as it is: paths here are
// case-sensitive and have no short form).
class ShellRegistration {
 public:
  ShellRegistration(const platform::Registry& registry, std::string programPath)
      : registry_(registry), program_(std::move(programPath)) {}

  // The open command: the program, a blank and "%1" in double quotes.
  std::string OpenCommand() const;
  // The DDE command: [open("%1")].
  static std::string DdeCommand();

  // "text/html": ".htm" and ".html" both name "Vyr20.Application". Any other
  // type: the class "Vyr20" holds the open command and the DDE command.
  bool IsHandlerFor(const std::string& type) const;
  // Writes what IsHandlerFor checks (and the class's DefaultIcon: ",7" for
  // the script types, ",6" for image types, ",1" for others). False when the
  // registry cannot be written.
  bool TakeOverFileType(const std::string& type) const;
  // Schemes are taken over only with the Internet Shortcut object, which
  // this platform lacks: nothing is written and the answer is false.
  bool TakeOverScheme(const std::string& type) const;
  // The scheme of a scheme type: the text between its first and last "-"
  // ("application/x-http-protocol" -> "http"); "" when there is none.
  static std::string SchemeOfType(const std::string& type);

  // Both file types handled (the schemes count as handled, see above).
  bool IsDefaultBrowser() const;
  // Takes over the two file types (and, where possible, the schemes).
  bool MakeDefaultBrowser() const;

 private:
  const platform::Registry& registry_;
  std::string program_;
};

// True when both halves say this program is the browser.
bool IsDefaultBrowser(const platform::Registry& registry, const std::string& programPath);
// Writes both halves. False when either cannot be stored.
bool MakeDefaultBrowser(const platform::Registry& registry, const std::string& programPath);

// The desktop's half alone.
bool IsDesktopDefaultBrowser();
// Makes this program the desktop's default for every browser type. A type
// already handled is left alone. False when the choice cannot be stored.
bool MakeDesktopDefaultBrowser();

// The same for mailto links (the system's default mail client).
bool IsDefaultMailClient();
bool MakeDefaultMailClient();

// The address of a shell "open" command text: the text between its first
// and last double quote; nothing when it has no such pair (the pending
// address then stays as it was).
std::optional<std::string> AddressFromOpenCommand(const std::string& commandText);

// Hands an address (a mailto link, the support mail, a page) to the desktop's
// opener, xdg-open, and never waits for it on this thread. When the opener is
// missing or ends with a failure, the user is told in an error box of the
// current application object, shown on the user-interface thread when that
// thread next handles its window messages. User-interface thread only.
void HandToDesktop(const std::string& address);
// The error text for a hand-over that failed (status: xdg-open's exit
// status; started false: xdg-open was not found). The address is cut at its
// query and to 120 characters: a mail's whole body is no message.
std::string DesktopHandOverFailureText(const std::string& address, bool started, int status);

// The ".url" rule for a file handed to the program: when its lower-cased
// text ends in ".url" (a path or a file: address), the address the Internet
// shortcut holds ([InternetShortcut] URL=). Anything else, and a shortcut
// that holds no address, comes back as it was.
std::string ResolveShortcutAddress(const std::string& fileToOpen);

}  // namespace vyr

#pragma once
// Which navigations may run what the special-address filter takes (command
// links, the setup program offer, channel files). Any page can point a hidden
// frame or a script at a command address, so only these are trusted:
//   - a top-level navigation the user started (a typed address or a shell
//     button: started by the shell; a click or a key in the page: the engine
//     reports the user's gesture);
//   - a top-level navigation that a page of the home server itself or a page
//     from the program's own data root (start page, info box) started.
// Everything else that the filter would take is cancelled without running.
#include <string>

namespace vyr {

class Application;

struct NavigationOrigin {
  bool topLevel = true;        // the navigation replaces the window's document
  bool userGesture = false;    // the engine saw the user click or type for it
  bool startedByShell = false; // our own code asked for this address
  std::string sourceUrl;       // the address of the page that started it ("" if none)
};

// homeServer: [misc] HomeServer without a trailing "/"; dataRoot: the data
// root folder (either may be empty: nothing is trusted through it then).
bool IsTrustedNavigation(const NavigationOrigin& origin, const std::string& homeServer,
                         const std::string& dataRoot);

// The same with the home server and data root of the application (none when
// app is null).
bool IsTrustedNavigation(const NavigationOrigin& origin, const Application* app);

// True for one plain file name: not empty, not ".", and without "..", "/",
// "\", ":" or control characters, so that it can never name anything outside
// the folder it is looked up in.
bool IsPlainFileName(const std::string& name);

// window.external.InsertImage: the path of the current scheme's file of that
// name (falling back to the default scheme) when the name is a plain file
// name and the file exists; "" otherwise.
std::string SchemeImagePath(const Application& app, const std::string& name);

}  // namespace vyr

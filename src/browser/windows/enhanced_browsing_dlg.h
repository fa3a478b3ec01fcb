#pragma once
// The enhanced-browsing options: three check boxes (complete a word to a
// ".com" host, ask the keyword resolver, search the web) and a help button.
// OK stores them in the profile and in the application, and plays "save".
#include <functional>
#include <string>

class wxWindow;

namespace vyr {
class Application;
}

// Runs the dialog modally; openHelp receives the help page's address.
// Whether the user chose OK.
bool RunEnhancedBrowsingDialog(wxWindow* parent, vyr::Application& app,
                               const std::function<void(const std::string&)>& openHelp);

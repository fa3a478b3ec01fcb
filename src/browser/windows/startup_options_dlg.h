#pragma once
// The start-up options dialog: a check box per start-up option (splash
// window, default-browser offer, mail check, welcome page, tooltips). OK
// stores them and plays "save".
class wxWindow;

namespace vyr {
class Application;
}

// Runs the dialog modally; whether the user chose OK.
bool RunStartupOptionsDialog(wxWindow* parent, vyr::Application& app);

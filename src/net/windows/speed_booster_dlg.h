#pragma once
// The "Speed Booster": this system's TCP/IP settings (the largest packet of
// each interface, the default time-to-live, the receive buffers) as a
// report. They belong to the operating system, so the dialog changes
// nothing; its OK says the option is not available here.
class wxWindow;

namespace vyr {
class Application;
}

// Runs the dialog modally over the parent.
void RunSpeedBoosterDialog(wxWindow* parent, vyr::Application& app);

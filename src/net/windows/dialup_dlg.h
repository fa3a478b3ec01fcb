#pragma once
// The dial-up window "Connect": the dial-up connections of the system's
// network service with "<New Connection>" (the desktop's connection editor)
// last, the state of the connection as a line of text beside the scheme's
// connection picture and its moving indicator, and the two buttons:
// "Connect" and "Work Offline" while nothing is up, "Hang up" and "Cancel"
// while a connection is up or being made. The window closes by itself once
// the connection it made is up.
class wxWindow;

namespace vyr {
class Application;
}
namespace vyr::net {
class ConnectionManager;
}

// Runs the window modally over the parent.
void RunDialUpDialog(wxWindow* parent, vyr::Application& app, vyr::net::ConnectionManager& manager);

#pragma once
// A notification on the desktop instead of a modal box: the desktop's
// notification service (org.freedesktop.Notifications, or the toolkit's own
// service where the session has one) through GIO's GNotification, sent by
// one GApplication of the program that claims no name on the session bus.
// The user-interface thread only.
#include <functional>
#include <string>

// Sends the notification (a newer one of the same kind replaces it). A click
// on it runs onActivate on the user-interface thread. False when there is no
// session bus to send it over.
bool ShowDesktopNotification(const std::string& title, const std::string& body,
                             std::function<void()> onActivate = {});

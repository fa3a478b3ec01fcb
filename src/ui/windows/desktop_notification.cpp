#include "ui/windows/desktop_notification.h"

#include <gio/gio.h>

namespace {

// What a click on the last notification runs.
std::function<void()>& ActivateHandler() {
  static std::function<void()> handler;
  return handler;
}

void OnActivate(GSimpleAction*, GVariant*, gpointer) {
  // A copy: the handler may send the next notification.
  const std::function<void()> handler = ActivateHandler();
  if (handler) handler();
}

// The program's one GApplication for notifications, registered on first use;
// null when there is no session bus.
GApplication* NotificationApplication() {
  static GApplication* application = [] () -> GApplication* {
    // No name is claimed on the bus (several copies of the program may run);
    // the id names the program to the notification service.
    GApplication* app = g_application_new("org.vyrelle.Vyrelle", G_APPLICATION_NON_UNIQUE);
    GSimpleAction* action = g_simple_action_new("show-mail", nullptr);
    g_signal_connect(action, "activate", G_CALLBACK(OnActivate), nullptr);
    g_action_map_add_action(G_ACTION_MAP(app), G_ACTION(action));
    g_object_unref(action);
    GError* error = nullptr;
    if (!g_application_register(app, nullptr, &error) || !g_application_get_dbus_connection(app)) {
      if (error) g_error_free(error);
      g_object_unref(app);
      return nullptr;
    }
    return app;
  }();
  return application;
}

}  // namespace

bool ShowDesktopNotification(const std::string& title, const std::string& body,
                             std::function<void()> onActivate) {
  GApplication* app = NotificationApplication();
  if (!app) return false;
  ActivateHandler() = std::move(onActivate);
  GNotification* notification = g_notification_new(title.c_str());
  g_notification_set_body(notification, body.c_str());
  g_notification_set_default_action(notification, "app.show-mail");
  g_application_send_notification(app, "vyrelle-mail", notification);
  g_object_unref(notification);
  return true;
}

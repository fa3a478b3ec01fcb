#include "platform/network_manager.h"

#include <gio/gio.h>

#include <algorithm>
#include <chrono>
#include <map>

namespace vyr::platform {

namespace {

constexpr const char* kService = "org.freedesktop.NetworkManager";
constexpr const char* kManagerPath = "/org/freedesktop/NetworkManager";
constexpr const char* kManagerInterface = "org.freedesktop.NetworkManager";
constexpr const char* kSettingsPath = "/org/freedesktop/NetworkManager/Settings";
constexpr const char* kSettingsInterface = "org.freedesktop.NetworkManager.Settings";
constexpr const char* kProfileInterface = "org.freedesktop.NetworkManager.Settings.Connection";
constexpr const char* kActiveInterface = "org.freedesktop.NetworkManager.Connection.Active";
constexpr const char* kDeviceInterface = "org.freedesktop.NetworkManager.Device";
constexpr int kCallTimeoutMs = 25000;

std::string StringProperty(GDBusProxy* proxy, const char* name) {
  if (!proxy) return {};
  GVariant* value = g_dbus_proxy_get_cached_property(proxy, name);
  if (!value) return {};
  std::string text;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE_STRING) || g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH))
    text = g_variant_get_string(value, nullptr);
  g_variant_unref(value);
  return text;
}

unsigned UintProperty(GDBusProxy* proxy, const char* name) {
  if (!proxy) return 0;
  GVariant* value = g_dbus_proxy_get_cached_property(proxy, name);
  if (!value) return 0;
  unsigned number = g_variant_is_of_type(value, G_VARIANT_TYPE_UINT32) ? g_variant_get_uint32(value) : 0;
  g_variant_unref(value);
  return number;
}

std::vector<std::string> PathsProperty(GDBusProxy* proxy, const char* name) {
  std::vector<std::string> paths;
  if (!proxy) return paths;
  GVariant* value = g_dbus_proxy_get_cached_property(proxy, name);
  if (!value) return paths;
  if (g_variant_is_of_type(value, G_VARIANT_TYPE("ao"))) {
    GVariantIter iter;
    g_variant_iter_init(&iter, value);
    const char* path = nullptr;
    while (g_variant_iter_next(&iter, "&o", &path)) paths.emplace_back(path);
  }
  g_variant_unref(value);
  return paths;
}

// The error's text without the bus's "GDBus.Error:name: " prefix; frees it.
std::string TakeErrorText(GError* error) {
  if (!error) return {};
  if (g_dbus_error_is_remote_error(error)) g_dbus_error_strip_remote_error(error);
  std::string text = error->message ? error->message : "";
  g_error_free(error);
  return text.empty() ? "?" : text;
}

// Whether a change set of properties names the property.
bool Names(GVariant* changed, const char* name) {
  GVariant* value = changed ? g_variant_lookup_value(changed, name, nullptr) : nullptr;
  if (value) g_variant_unref(value);
  return value != nullptr;
}

bool Cancelled(GError* error) { return error && g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED); }

}  // namespace

struct NetworkManagerClient::Impl {
  explicit Impl(Events e) : events(std::move(e)), cancel(g_cancellable_new()) {}
  ~Impl() {
    g_cancellable_cancel(cancel);
    if (watch) g_bus_unwatch_name(watch);
    DropProxies();
    if (bus) g_object_unref(bus);
    g_object_unref(cancel);
  }

  Events events;
  GCancellable* cancel;
  GDBusConnection* bus = nullptr;
  guint watch = 0;
  bool ready = false;
  bool available = false;
  GDBusProxy* manager = nullptr;
  std::map<std::string, GDBusProxy*> actives;  // by object path
  std::map<std::string, GDBusProxy*> devices;

  void DropProxy(GDBusProxy*& proxy) {
    if (!proxy) return;
    g_signal_handlers_disconnect_by_data(proxy, this);
    g_object_unref(proxy);
    proxy = nullptr;
  }
  void DropProxies() {
    DropProxy(manager);
    for (auto& [path, proxy] : actives) DropProxy(proxy);
    for (auto& [path, proxy] : devices) DropProxy(proxy);
    actives.clear();
    devices.clear();
  }

  void ServiceChanged() {
    if (events.serviceChanged) events.serviceChanged();
  }

  NmActiveConnection Describe(const std::string& path, GDBusProxy* proxy) const {
    NmActiveConnection active;
    active.path = path;
    active.id = StringProperty(proxy, "Id");
    active.type = StringProperty(proxy, "Type");
    active.connection = StringProperty(proxy, "Connection");
    active.state = UintProperty(proxy, "State");
    const std::vector<std::string> devicePaths = PathsProperty(proxy, "Devices");
    if (!devicePaths.empty()) {
      const auto device = devices.find(devicePaths.front());
      if (device != devices.end()) active.deviceState = UintProperty(device->second, "State");
    }
    return active;
  }

  void ReportActive(const std::string& path, unsigned reason) {
    const auto found = actives.find(path);
    if (found == actives.end() || !found->second || !events.activeChanged) return;
    events.activeChanged(Describe(path, found->second), reason);
  }

  // A proxy made asynchronously; `done` runs on success unless the client
  // is gone by then.
  // The request keeps its own hold on the cancellable, which tells it
  // whether the client (and so `impl`) is still there.
  struct ProxyRequest {
    Impl* impl;
    GCancellable* cancel;
    std::string path;
    void (*done)(Impl*, const std::string&, GDBusProxy*);
    ~ProxyRequest() { g_object_unref(cancel); }
  };
  void MakeProxy(const std::string& path, const char* interface,
                 void (*done)(Impl*, const std::string&, GDBusProxy*)) {
    g_dbus_proxy_new(bus, G_DBUS_PROXY_FLAGS_GET_INVALIDATED_PROPERTIES, nullptr, kService, path.c_str(), interface,
                     cancel, &Impl::ProxyMade,
                     new ProxyRequest{this, static_cast<GCancellable*>(g_object_ref(cancel)), path, done});
  }
  static void ProxyMade(GObject*, GAsyncResult* result, gpointer data) {
    std::unique_ptr<ProxyRequest> request(static_cast<ProxyRequest*>(data));
    GError* error = nullptr;
    GDBusProxy* proxy = g_dbus_proxy_new_finish(result, &error);
    if (!proxy) {
      if (!Cancelled(error)) TakeErrorText(error);
      else g_error_free(error);
      return;
    }
    if (g_cancellable_is_cancelled(request->cancel)) {
      g_object_unref(proxy);
      return;
    }
    request->done(request->impl, request->path, proxy);
  }

  // --- the service's object ---------------------------------------------------
  static void ManagerMade(Impl* impl, const std::string&, GDBusProxy* proxy) {
    impl->DropProxy(impl->manager);
    impl->manager = proxy;
    g_signal_connect(proxy, "g-properties-changed", G_CALLBACK(&Impl::ManagerPropertiesChanged), impl);
    impl->available = true;
    impl->ready = true;
    impl->SyncActives();
    impl->ServiceChanged();
  }
  static void ManagerPropertiesChanged(GDBusProxy*, GVariant* changed, GStrv, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (Names(changed, "ActiveConnections")) impl->SyncActives();
    impl->ServiceChanged();
  }

  // Follows the list of active connections: a proxy for each new one, the
  // ones that went are dropped.
  void SyncActives() {
    const std::vector<std::string> now = PathsProperty(manager, "ActiveConnections");
    for (auto it = actives.begin(); it != actives.end();) {
      if (std::find(now.begin(), now.end(), it->first) == now.end()) {
        // A connection that went without saying so has ended.
        if (it->second && events.activeChanged) {
          NmActiveConnection gone = Describe(it->first, it->second);
          if (gone.state != kNmActiveDeactivated) {
            gone.state = kNmActiveDeactivated;
            events.activeChanged(gone, 0);
          }
        }
        DropProxy(it->second);
        it = actives.erase(it);
      } else {
        ++it;
      }
    }
    for (const std::string& path : now) {
      if (actives.count(path)) continue;
      actives[path] = nullptr;  // on its way
      MakeProxy(path, kActiveInterface, &Impl::ActiveMade);
    }
  }
  static void ActiveMade(Impl* impl, const std::string& path, GDBusProxy* proxy) {
    const auto slot = impl->actives.find(path);
    if (slot == impl->actives.end() || slot->second) {  // gone meanwhile, or made twice
      g_object_unref(proxy);
      return;
    }
    slot->second = proxy;
    g_signal_connect(proxy, "g-properties-changed", G_CALLBACK(&Impl::ActivePropertiesChanged), impl);
    g_signal_connect(proxy, "g-signal", G_CALLBACK(&Impl::ActiveSignal), impl);
    impl->WatchDevices(proxy);
    impl->ReportActive(path, 0);
    impl->ServiceChanged();
  }
  void WatchDevices(GDBusProxy* active) {
    for (const std::string& device : PathsProperty(active, "Devices")) {
      if (devices.count(device) || device == "/") continue;
      devices[device] = nullptr;
      MakeProxy(device, kDeviceInterface, &Impl::DeviceMade);
    }
  }
  static void ActivePropertiesChanged(GDBusProxy* proxy, GVariant* changed, GStrv, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (Names(changed, "Devices")) impl->WatchDevices(proxy);
    impl->ReportActive(g_dbus_proxy_get_object_path(proxy), 0);
  }
  static void ActiveSignal(GDBusProxy* proxy, gchar*, gchar* name, GVariant* parameters, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (g_strcmp0(name, "StateChanged") != 0 || !g_variant_is_of_type(parameters, G_VARIANT_TYPE("(uu)"))) return;
    guint32 state = 0, reason = 0;
    g_variant_get(parameters, "(uu)", &state, &reason);
    // The signal can come before the property: report the signal's state.
    const std::string path = g_dbus_proxy_get_object_path(proxy);
    if (!impl->events.activeChanged) return;
    NmActiveConnection active = impl->Describe(path, proxy);
    active.state = state;
    impl->events.activeChanged(active, reason);
  }
  static void DeviceMade(Impl* impl, const std::string& path, GDBusProxy* proxy) {
    const auto slot = impl->devices.find(path);
    if (slot == impl->devices.end() || slot->second) {
      g_object_unref(proxy);
      return;
    }
    slot->second = proxy;
    g_signal_connect(proxy, "g-properties-changed", G_CALLBACK(&Impl::DevicePropertiesChanged), impl);
    DevicePropertiesChanged(proxy, nullptr, nullptr, impl);
  }
  static void DevicePropertiesChanged(GDBusProxy* proxy, GVariant* changed, GStrv, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    if (changed && !Names(changed, "State")) return;
    const std::string device = g_dbus_proxy_get_object_path(proxy);
    for (const auto& [path, active] : impl->actives) {
      const std::vector<std::string> paths = PathsProperty(active, "Devices");
      if (!paths.empty() && paths.front() == device) impl->ReportActive(path, 0);
    }
  }

  // --- the bus and the name -------------------------------------------------------
  static void BusReady(GObject*, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_finish(result, &error);
    if (!bus) {
      const bool cancelled = Cancelled(error);
      g_error_free(error);
      if (cancelled) return;
      auto* impl = static_cast<Impl*>(data);
      impl->ready = true;  // no system bus: no service
      impl->ServiceChanged();
      return;
    }
    auto* impl = static_cast<Impl*>(data);
    if (g_cancellable_is_cancelled(impl->cancel)) {
      g_object_unref(bus);
      return;
    }
    impl->bus = bus;
    impl->watch = g_bus_watch_name_on_connection(bus, kService, G_BUS_NAME_WATCHER_FLAGS_NONE, &Impl::NameAppeared,
                                                 &Impl::NameVanished, impl, nullptr);
  }
  static void NameAppeared(GDBusConnection*, const gchar*, const gchar*, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    impl->MakeProxy(kManagerPath, kManagerInterface, &Impl::ManagerMade);
  }
  static void NameVanished(GDBusConnection*, const gchar*, gpointer data) {
    auto* impl = static_cast<Impl*>(data);
    impl->DropProxies();
    impl->available = false;
    impl->ready = true;
    impl->ServiceChanged();
  }
};

NetworkManagerClient::NetworkManagerClient(Events events) : impl_(std::make_unique<Impl>(std::move(events))) {}
NetworkManagerClient::~NetworkManagerClient() = default;

void NetworkManagerClient::Start() {
  if (impl_->bus || impl_->ready) return;
  g_bus_get(G_BUS_TYPE_SYSTEM, impl_->cancel, &Impl::BusReady, impl_.get());
}

bool NetworkManagerClient::Ready() const { return impl_->ready; }
bool NetworkManagerClient::Available() const { return impl_->available; }
unsigned NetworkManagerClient::GlobalState() const { return UintProperty(impl_->manager, "State"); }
std::string NetworkManagerClient::PrimaryConnectionType() const {
  return StringProperty(impl_->manager, "PrimaryConnectionType");
}

std::vector<NmActiveConnection> NetworkManagerClient::ActiveConnections() const {
  std::vector<NmActiveConnection> list;
  for (const std::string& path : PathsProperty(impl_->manager, "ActiveConnections")) {
    const auto found = impl_->actives.find(path);
    if (found != impl_->actives.end() && found->second) list.push_back(impl_->Describe(path, found->second));
  }
  return list;
}

namespace {

// One call on the bus whose answer goes to a function of the caller's.
struct CallRequest {
  std::function<void(GVariant* reply, const std::string& error)> done;
};

void CallDone(GObject* source, GAsyncResult* result, gpointer data) {
  std::unique_ptr<CallRequest> request(static_cast<CallRequest*>(data));
  GError* error = nullptr;
  GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
  if (!reply && Cancelled(error)) {  // the client is gone
    g_error_free(error);
    return;
  }
  request->done(reply, reply ? std::string() : TakeErrorText(error));
  if (reply) g_variant_unref(reply);
}

void Call(NetworkManagerClient::Impl& impl, const char* path, const char* interface, const char* method,
          GVariant* parameters, const char* replyType, std::function<void(GVariant*, const std::string&)> done) {
  if (!impl.bus || !impl.available) {
    if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
    done(nullptr, "NetworkManager is not running");
    return;
  }
  g_dbus_connection_call(impl.bus, kService, path, interface, method, parameters,
                         replyType ? G_VARIANT_TYPE(replyType) : nullptr, G_DBUS_CALL_FLAGS_NONE, kCallTimeoutMs,
                         impl.cancel, &CallDone, new CallRequest{std::move(done)});
}

// The "connection" setting's text value of a profile's settings.
std::string SettingText(GVariant* settings, const char* key) {
  GVariant* connection = g_variant_lookup_value(settings, "connection", G_VARIANT_TYPE("a{sv}"));
  if (!connection) return {};
  std::string text;
  const char* value = nullptr;
  if (g_variant_lookup(connection, key, "&s", &value)) text = value;
  g_variant_unref(connection);
  return text;
}

}  // namespace

void NetworkManagerClient::ListConnections(ListDone done) {
  Impl& impl = *impl_;
  Call(impl, kSettingsPath, kSettingsInterface, "ListConnections", nullptr, "(ao)",
       [&impl, done = std::move(done)](GVariant* reply, const std::string&) {
         if (!reply) return done(false, {});
         struct Gather {
           std::vector<NmConnection> connections;
           size_t waiting = 0;
           ListDone done;
         };
         auto gather = std::make_shared<Gather>();
         gather->done = done;
         GVariant* paths = g_variant_get_child_value(reply, 0);
         GVariantIter iter;
         g_variant_iter_init(&iter, paths);
         const char* path = nullptr;
         while (g_variant_iter_next(&iter, "&o", &path)) gather->connections.push_back({path, {}, {}});
         g_variant_unref(paths);
         gather->waiting = gather->connections.size();
         if (gather->waiting == 0) return done(true, {});
         for (size_t i = 0; i < gather->connections.size(); ++i) {
           Call(impl, gather->connections[i].path.c_str(), kProfileInterface, "GetSettings", nullptr, "(a{sa{sv}})",
                [gather, i](GVariant* settings, const std::string&) {
                  if (settings) {
                    GVariant* all = g_variant_get_child_value(settings, 0);
                    gather->connections[i].id = SettingText(all, "id");
                    gather->connections[i].type = SettingText(all, "type");
                    g_variant_unref(all);
                  }
                  if (--gather->waiting > 0) return;
                  // A profile whose settings could not be read is left out.
                  std::vector<NmConnection> read;
                  for (auto& c : gather->connections)
                    if (!c.type.empty()) read.push_back(std::move(c));
                  gather->done(true, std::move(read));
                });
         }
       });
}

void NetworkManagerClient::Activate(const std::string& connectionPath, ActivateDone done) {
  Call(*impl_, kManagerPath, kManagerInterface, "ActivateConnection",
       g_variant_new("(ooo)", connectionPath.c_str(), "/", "/"), "(o)",
       [done = std::move(done)](GVariant* reply, const std::string& error) {
         if (!reply) return done({}, error);
         const char* path = nullptr;
         g_variant_get(reply, "(&o)", &path);
         done(path, {});
       });
}

void NetworkManagerClient::Deactivate(const std::string& activePath, std::function<void(const std::string&)> done) {
  Call(*impl_, kManagerPath, kManagerInterface, "DeactivateConnection", g_variant_new("(o)", activePath.c_str()),
       nullptr, [done = std::move(done)](GVariant*, const std::string& error) { done(error); });
}

void NetworkManagerClient::Pump(int ms, const std::function<bool()>& until) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  GMainContext* context = g_main_context_default();
  while (Clock::now() < end) {
    if (until && until()) return;
    if (!g_main_context_iteration(context, FALSE)) g_usleep(2000);
  }
}

}  // namespace vyr::platform

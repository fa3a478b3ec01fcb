#pragma once
// The system's network service (NetworkManager) over its D-Bus interface on
// the system bus. Every call is asynchronous: answers and the service's
// signals arrive on the thread that made the client, from that thread's
// main loop (the toolkit runs it on the user-interface thread). What the
// service said last is kept, so the questions below never wait.
//
// Passwords are never handled here: when a connection needs one, the
// service's own agent of the desktop asks the user.
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vyr::platform {

// The service's global state meaning "connected to the Internet".
inline constexpr unsigned kNmConnectedGlobal = 70;

// The service's states of an active connection.
enum NmActiveState : unsigned {
  kNmActiveUnknown = 0,
  kNmActiveActivating = 1,
  kNmActiveActivated = 2,
  kNmActiveDeactivating = 3,
  kNmActiveDeactivated = 4,
};

// A stored connection profile: its object path, name and type
// ("gsm", "802-3-ethernet", ...).
struct NmConnection {
  std::string path, id, type;
};

// A connection that is up or on its way.
struct NmActiveConnection {
  std::string path, id, type;
  std::string connection;     // the profile's object path
  unsigned state = 0;         // NmActiveState
  unsigned deviceState = 0;   // the state of its first device; 0 when unknown
};

class NetworkManagerClient {
 public:
  struct Events {
    // The service came or went, or its global state, primary connection
    // type or list of active connections changed.
    std::function<void()> serviceChanged;
    // An active connection (or its device) changed state; reason is the
    // service's reason of an active connection's state change, 0 when the
    // change came without one.
    std::function<void(const NmActiveConnection&, unsigned reason)> activeChanged;
  };

  explicit NetworkManagerClient(Events events);
  ~NetworkManagerClient();
  NetworkManagerClient(const NetworkManagerClient&) = delete;
  NetworkManagerClient& operator=(const NetworkManagerClient&) = delete;

  // Connects to the system bus and starts watching the service. Ready()
  // turns true once it is known whether the service runs.
  void Start();
  bool Ready() const;
  bool Available() const;
  unsigned GlobalState() const;
  // The type of the connection that carries the default route; "" when none.
  std::string PrimaryConnectionType() const;
  std::vector<NmActiveConnection> ActiveConnections() const;

  // The stored profiles, in the service's order; ok false when they could
  // not be read.
  using ListDone = std::function<void(bool ok, std::vector<NmConnection> connections)>;
  void ListConnections(ListDone done);
  // Activates a profile; the active connection's path, or an error text.
  using ActivateDone = std::function<void(const std::string& activePath, const std::string& error)>;
  void Activate(const std::string& connectionPath, ActivateDone done);
  // Ends one active connection; an error text, "" on success.
  void Deactivate(const std::string& activePath, std::function<void(const std::string& error)> done);

  // Runs the calling thread's pending main-loop work for up to `ms`
  // milliseconds, or until `until` holds (for programs without a toolkit).
  static void Pump(int ms, const std::function<bool()>& until = {});

  struct Impl;

 private:
  std::unique_ptr<Impl> impl_;
};

}  // namespace vyr::platform

#pragma once
// The dial-up connection manager: the dial-up kinds of connection the
// system's network service knows (mobile broadband, PPPoE, Bluetooth, ADSL)
// are the entries the user dials and hangs up; the service's state changes
// become the status line of the table below; and the program-wide answer to
// "may the program go on the net now?" (IsOnline) comes from the service's
// global state as last reported, never from a blocking question.
//
// "Work Offline" is the program's own state: until the user connects again
// no mail check starts, the info box does not rotate and the home server's
// session sends nothing. The web engine itself has no offline mode: pages
// the user opens still load when the network is up.
//
// One manager serves the whole program; the main window makes it.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/settings_table.h"
#include "platform/network_manager.h"

namespace vyr {
class Application;
}

namespace vyr::net {

// [dialup] NoDialup: 1 (the default) leaves dial-up to the system and the
// window does not manage it; lastdialup: the entry chosen last.
inline constexpr IntSetting kDialupNoDialup{"dialup", "NoDialup", 1};
inline constexpr StringSetting kDialupLastEntry{"dialup", "lastdialup", ""};

// The program's own states beside the connection states.
inline constexpr int kStateNotConnected = 900;
inline constexpr int kStateNotInstalled = 901;
inline constexpr int kStateDisconnecting = 902;
inline constexpr int kStateConnected = 8192;
inline constexpr int kStateDisconnected = 8193;
// At most this many entries are listed.
inline constexpr size_t kMaxEntries = 30;
// A hang-up counts as under way for at most this long.
inline constexpr unsigned kHangUpMs = 5000;

// The text of a state of the table ("%s" filled with the entry's name) and
// the indicator's activity: 0 idle, 1 dialling, 2 authenticating, 3
// connected, -1 unchanged.
struct StateDescription {
  std::string text;
  int activity = -1;
};
StateDescription DescribeState(int state, const std::string& entry);

// The state of the table that an active connection's state and its
// device's state (the service's numbers) stand for.
int TableState(unsigned activeState, unsigned deviceState);

// Whether a connection type is one of the dial-up kinds.
bool IsDialupType(const std::string& type);

// The support report's connection type: "Modem" for a dial-up kind, "Lan"
// for any other, "Unknown" without a primary connection. Without the
// service: "Lan" when there is a default route, else "Unknown".
std::string ConnectionTypeText(bool serviceAvailable, const std::string& primaryType, bool defaultRoute);

class ConnectionManager {
 public:
  explicit ConnectionManager(Application& app);
  ~ConnectionManager();
  ConnectionManager(const ConnectionManager&) = delete;
  ConnectionManager& operator=(const ConnectionManager&) = delete;

  // Starts listening to the service (answers come from the main loop).
  void Start();

  // --- what the window shows ---------------------------------------------------
  // Called after every change of the status, the entries, the buttons or
  // the online answer.
  void SetObserver(std::function<void()> observer) { observer_ = std::move(observer); }
  bool ServiceReady() const;
  bool ServiceAvailable() const;
  const std::vector<platform::NmConnection>& Entries() const { return entries_; }
  bool EntriesRead() const { return entriesRead_; }
  const std::string& EntryName() const { return entryName_; }
  const std::string& StatusText() const { return statusText_; }
  // The state of the table the status line shows; -1 for an error's text.
  int StatusState() const { return statusState_; }
  int Activity() const { return activity_; }
  // Whether the buttons read "Hang up" and "Cancel": a dial-up connection is
  // up or being made.
  bool ConnectedOrDialling() const;
  bool Dialling() const { return dialling_; }
  bool HangingUp() const;
  // The entry the window selects: the last one chosen, else the first.
  int SelectedEntry() const;

  // --- what the user does --------------------------------------------------------
  // Reads the entries again (the window calls this when it opens) and shows
  // the connection's state.
  void Refresh();
  // Dials entry `index` of Entries(); ends the offline state.
  void Connect(size_t index);
  // Ends the connection this manager started, or the active dial-up
  // connection named like the entry; never another one.
  void HangUp();
  void WorkOffline();
  bool Offline() const;
  // Tells the observer that the offline state was changed elsewhere.
  void OfflineChanged() { Changed(); }
  void SetNoDialup(bool on);
  bool NoDialup() const;

  // --- the program's gate ----------------------------------------------------------
  bool IsOnline() const;
  std::string ConnectionType() const;

 private:
  void ShowState(int state);
  void ShowText(const std::string& text, int activity);
  void OnServiceChanged();
  void OnActiveChanged(const platform::NmActiveConnection& active, unsigned reason);
  // The active dial-up connection this manager follows, if any.
  const platform::NmActiveConnection* Followed(const std::vector<platform::NmActiveConnection>& actives) const;
  void Changed();

  Application& app_;
  std::unique_ptr<platform::NetworkManagerClient> client_;
  std::function<void()> observer_;
  std::vector<platform::NmConnection> entries_;
  bool entriesRead_ = false;
  bool entriesPending_ = false;
  std::string entryName_;
  std::string startedPath_;  // the active connection this manager started
  std::string statusText_;
  int statusState_ = kStateNotConnected;
  int activity_ = 0;
  bool dialling_ = false;
  bool hangingUp_ = false;
  unsigned hangUpTick_ = 0;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

// The program's manager (made by the main window), or nullptr.
ConnectionManager* TheConnectionManager();
void SetTheConnectionManager(ConnectionManager* manager);
// Whether the program may go on the net: false while the user works
// offline (which outlives the main window, so the logout at the end obeys
// it too); else the manager's answer, or the default-route rule while there
// is no manager.
bool IsOnline();
// The program-wide "Work Offline" state, which the Connect window sets and
// its Connect ends; the mail window's Send & Receive may end it too, when
// the user says so.
bool WorkingOffline();
void SetWorkingOffline(bool offline);

}  // namespace vyr::net

#include "net/connection_manager.h"

#include <algorithm>
#include <array>

#include "base/application.h"
#include "platform/network_route.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "platform/tick_count.h"

namespace vyr::net {

namespace {

using platform::TextId;

// States 0-23 have the texts 42340-42363 in order.
constexpr unsigned kFirstStateText = 42340;
constexpr std::array<int, 24> kActivities = {1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2,
                                             2, 2, 2, 2, 0, 0, 0, 2, 2, 2, 0, 0};
struct OwnState {
  int state;
  unsigned text;
  int activity;
};
constexpr OwnState kOwnStates[] = {
    {kStateNotConnected, 42364, 0}, {kStateNotInstalled, 42365, 0}, {kStateDisconnecting, 42366, -1},
    {4096, 42367, 0},               {4097, 42368, 2},               {4098, 42369, 2},
    {4099, 42370, 2},               {kStateConnected, 42371, 3},    {kStateDisconnected, 42372, 0},
};
constexpr TextId kUnknownState{42373};
// "Connection failed: %s", then the service's reasons 3-14 of an active
// connection's end.
constexpr TextId kFailed{42374};
constexpr unsigned kFirstReasonText = 42375;
constexpr unsigned kFirstFailureReason = 3, kLastFailureReason = 14;

// The service's device states on the way up.
constexpr unsigned kDeviceConfig = 50, kDeviceNeedAuth = 60, kDeviceIpConfig = 70,
                   kDeviceSecondaries = 90;

std::string Fill(std::string text, const std::string& value) { return platform::FillPlaceholders(std::move(text), {value}); }

ConnectionManager* theManager = nullptr;
// The program-wide "Work Offline" state.
bool workingOffline = false;

}  // namespace

StateDescription DescribeState(int state, const std::string& entry) {
  if (state >= 0 && state < static_cast<int>(kActivities.size()))
    return {Fill(TextId{kFirstStateText + static_cast<unsigned>(state)}.Text(), entry), kActivities[state]};
  for (const OwnState& own : kOwnStates)
    if (own.state == state) return {Fill(TextId{own.text}.Text(), entry), own.activity};
  return {kUnknownState.Text(), -1};
}

int TableState(unsigned activeState, unsigned deviceState) {
  switch (activeState) {
    case platform::kNmActiveActivating:
      if (deviceState >= kDeviceIpConfig && deviceState <= kDeviceSecondaries) return 14;  // "Authenticated"
      if (deviceState == kDeviceNeedAuth) return 5;                                         // "Logging on to %s"
      if (deviceState == kDeviceConfig) return 2;                                           // "Dialing %s"
      return 0;  // "Opening Port", also before the device is known (prepare)
    case platform::kNmActiveActivated: return kStateConnected;
    case platform::kNmActiveDeactivating: return kStateDisconnecting;
    case platform::kNmActiveDeactivated: return kStateDisconnected;
    default: return kStateNotConnected;
  }
}

bool IsDialupType(const std::string& type) {
  return type == "gsm" || type == "cdma" || type == "pppoe" || type == "bluetooth" || type == "adsl";
}

std::string ConnectionTypeText(bool serviceAvailable, const std::string& primaryType, bool defaultRoute) {
  if (!serviceAvailable) return defaultRoute ? "Lan" : "Unknown";
  if (primaryType.empty()) return "Unknown";
  return IsDialupType(primaryType) ? "Modem" : "Lan";
}

ConnectionManager::ConnectionManager(Application& app) : app_(app) {
  platform::NetworkManagerClient::Events events;
  events.serviceChanged = [this] { OnServiceChanged(); };
  events.activeChanged = [this](const platform::NmActiveConnection& active, unsigned reason) {
    OnActiveChanged(active, reason);
  };
  client_ = std::make_unique<platform::NetworkManagerClient>(std::move(events));
  entryName_ = app_.Get(kDialupLastEntry);
  ShowState(kStateNotConnected);
}

ConnectionManager::~ConnectionManager() {
  *alive_ = false;
  if (theManager == this) theManager = nullptr;
}

void ConnectionManager::Start() {
  client_->Start();
}

bool ConnectionManager::ServiceReady() const { return client_->Ready(); }
bool ConnectionManager::ServiceAvailable() const { return client_->Available(); }

bool ConnectionManager::NoDialup() const { return app_.Get(kDialupNoDialup) != 0; }
void ConnectionManager::SetNoDialup(bool on) {
  app_.Write(kDialupNoDialup, on ? 1 : 0);
  Changed();
}

bool ConnectionManager::HangingUp() const {
  return hangingUp_ && platform::GetTickCount() - hangUpTick_ < kHangUpMs;
}

bool ConnectionManager::ConnectedOrDialling() const {
  if (dialling_) return true;
  const auto actives = client_->ActiveConnections();
  const platform::NmActiveConnection* followed = Followed(actives);
  return followed && (followed->state == platform::kNmActiveActivating ||
                      followed->state == platform::kNmActiveActivated);
}

int ConnectionManager::SelectedEntry() const {
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].id == entryName_) return static_cast<int>(i);
  return 0;
}

const platform::NmActiveConnection* ConnectionManager::Followed(
    const std::vector<platform::NmActiveConnection>& actives) const {
  for (const auto& active : actives)
    if (!startedPath_.empty() && active.path == startedPath_) return &active;
  for (const auto& active : actives)
    if (IsDialupType(active.type) && !entryName_.empty() && active.id == entryName_) return &active;
  return nullptr;
}

void ConnectionManager::ShowState(int state) {
  const StateDescription description = DescribeState(state, entryName_);
  ShowText(description.text, description.activity);
  statusState_ = state;
}

void ConnectionManager::ShowText(const std::string& text, int activity) {
  statusText_ = text;
  statusState_ = -1;
  if (activity >= 0) activity_ = activity;
}

void ConnectionManager::Changed() {
  if (observer_) observer_();
}

void ConnectionManager::Refresh() {
  if (client_->Ready() && !client_->Available()) {
    entries_.clear();
    entriesRead_ = true;
    ShowState(kStateNotInstalled);
    Changed();
    return;
  }
  std::weak_ptr<bool> alive = alive_;
  client_->ListConnections([this, alive](bool ok, std::vector<platform::NmConnection> connections) {
    if (alive.expired()) return;
    // Asked before the service answered: read again once it does.
    entriesPending_ = !ok && !client_->Ready();
    entries_.clear();
    // An entry list that cannot be read leaves [dialup] NoDialup as it is:
    // turning dial-up management on then would keep the program offline.
    if (ok) {
      for (auto& connection : connections)
        if (IsDialupType(connection.type) && entries_.size() < kMaxEntries) entries_.push_back(std::move(connection));
    }
    entriesRead_ = true;
    OnServiceChanged();
  });
  // What is up already: the first dial-up connection names the entry.
  const auto actives = client_->ActiveConnections();
  if (!Followed(actives)) {
    for (const auto& active : actives) {
      if (!IsDialupType(active.type)) continue;
      entryName_ = active.id;
      break;
    }
  }
  if (const platform::NmActiveConnection* followed = Followed(actives))
    ShowState(TableState(followed->state, followed->deviceState));
  else if (!dialling_ && !HangingUp())
    ShowState(client_->Available() || !client_->Ready() ? kStateNotConnected : kStateNotInstalled);
  Changed();
}

void ConnectionManager::Connect(size_t index) {
  if (index >= entries_.size() || dialling_) return;
  workingOffline = false;
  entryName_ = entries_[index].id;
  app_.Write(kDialupLastEntry, entryName_);
  dialling_ = true;
  hangingUp_ = false;
  startedPath_.clear();
  ShowState(0);
  Changed();
  std::weak_ptr<bool> alive = alive_;
  client_->Activate(entries_[index].path, [this, alive](const std::string& activePath, const std::string& error) {
    if (alive.expired()) return;
    if (!error.empty()) {
      // The dial never started: nothing is under way any more.
      dialling_ = false;
      ShowText(Fill(kFailed.Text(), error), 0);
      Changed();
      return;
    }
    startedPath_ = activePath;
    for (const auto& active : client_->ActiveConnections())
      if (active.path == activePath) OnActiveChanged(active, 0);
  });
}

void ConnectionManager::HangUp() {
  const auto actives = client_->ActiveConnections();
  const platform::NmActiveConnection* followed = Followed(actives);
  if (!followed) {
    dialling_ = false;
    ShowState(kStateNotConnected);
    Changed();
    return;
  }
  const std::string path = followed->path;
  hangingUp_ = true;
  hangUpTick_ = platform::GetTickCount();
  ShowState(kStateDisconnecting);
  Changed();
  std::weak_ptr<bool> alive = alive_;
  client_->Deactivate(path, [this, alive](const std::string& error) {
    if (alive.expired() || error.empty()) return;
    hangingUp_ = false;
    ShowText(Fill(kFailed.Text(), error), -1);
    Changed();
  });
}

void ConnectionManager::WorkOffline() {
  workingOffline = true;
  Changed();
}

void ConnectionManager::OnServiceChanged() {
  if (entriesPending_ && client_->Ready()) {
    entriesPending_ = false;
    Refresh();
    return;
  }
  if (client_->Ready() && !client_->Available()) {
    dialling_ = false;
    hangingUp_ = false;
    ShowState(kStateNotInstalled);
  } else if (statusState_ == kStateNotInstalled) {
    ShowState(kStateNotConnected);
  }
  if (!Followed(client_->ActiveConnections()) && !startedPath_.empty() && !dialling_) startedPath_.clear();
  Changed();
}

void ConnectionManager::OnActiveChanged(const platform::NmActiveConnection& active, unsigned reason) {
  const bool ours = (!startedPath_.empty() && active.path == startedPath_) ||
                    (IsDialupType(active.type) && !entryName_.empty() && active.id == entryName_);
  if (!ours) return;
  const int state = TableState(active.state, active.deviceState);
  if (state == kStateConnected) dialling_ = false;
  if (state == kStateDisconnected) {
    dialling_ = false;
    hangingUp_ = false;
    if (active.path == startedPath_) startedPath_.clear();
    if (reason >= kFirstFailureReason && reason <= kLastFailureReason) {
      ShowText(Fill(kFailed.Text(), TextId{kFirstReasonText + (reason - kFirstFailureReason)}.Text()),
               0);
      Changed();
      return;
    }
  }
  ShowState(state);
  Changed();
}

bool ConnectionManager::Offline() const { return workingOffline; }

bool ConnectionManager::IsOnline() const {
  if (workingOffline) return false;
  if (!NoDialup() && (dialling_ || HangingUp())) return false;
  if (!client_->Ready() || !client_->Available()) return platform::HasDefaultRoute();
  return client_->GlobalState() == platform::kNmConnectedGlobal;
}

std::string ConnectionManager::ConnectionType() const {
  const bool available = client_->Ready() && client_->Available();
  return ConnectionTypeText(available, available ? client_->PrimaryConnectionType() : std::string(),
                            !available && platform::HasDefaultRoute());
}

ConnectionManager* TheConnectionManager() { return theManager; }
void SetTheConnectionManager(ConnectionManager* manager) { theManager = manager; }

bool WorkingOffline() { return workingOffline; }

void SetWorkingOffline(bool offline) {
  workingOffline = offline;
  if (theManager) theManager->OfflineChanged();
}

bool IsOnline() {
  if (workingOffline) return false;
  return theManager ? theManager->IsOnline() : platform::HasDefaultRoute();
}

}  // namespace vyr::net

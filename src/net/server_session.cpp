#include "net/server_session.h"

#include <openssl/crypto.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <thread>

#include "base/application.h"
#include "net/download_worker.h"
#include "platform/tick_count.h"

// The build names the program's version (the project's version).
#ifndef VYRELLE_VERSION
#error "VYRELLE_VERSION is not defined"
#endif

namespace vyr::net {

namespace {

const char kBrand[] = "Default";
const char kDefaultScriptPath[] = "/scripts/vyrcmd.dll";

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

void AppendEscape(std::string& out, unsigned char c) {
  static const char kHex[] = "0123456789ABCDEF";
  out += '%';
  out += kHex[c >> 4];
  out += kHex[c & 15];
}

std::string Format(const char* format, auto... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return buffer;
}

}  // namespace

DownloadResult ParsePongReply(std::string_view reply, std::vector<std::string>& commands) {
  commands.clear();
  const size_t end = reply.find('\0');
  if (end != std::string_view::npos) reply = reply.substr(0, end);
  size_t close = reply.find('#');
  if (!EqualsIgnoreCase(reply.substr(0, close), "PONG")) return DownloadResult::kBadReply;
  while (close != std::string_view::npos) {
    const size_t start = close + 1;
    close = reply.find('#', start);
    if (close != std::string_view::npos && close > start) {
      commands.emplace_back(reply.substr(start, close - start));
    }
  }
  return DownloadResult::kOk;
}

std::string MakeRequestAddress(std::string_view address, bool plusForSpaces) {
  std::string out;
  out.reserve(address.size() * 3);
  for (char ch : address) {
    const auto c = static_cast<unsigned char>(ch);
    if (plusForSpaces) {
      if (c == ' ') {
        out += '+';
      } else if (c < 0x20 || c == 0x7F) {
        AppendEscape(out, c);
      } else {
        out += ch;
      }
    } else if (c <= 0x20 || c >= 0x7F || std::strchr("\"<>\\^`{|}", ch)) {
      AppendEscape(out, c);
    } else {
      out += ch;
    }
  }
  return out;
}

int ColourClass(int colours) {
  if (colours < 256) return 0;
  if (colours <= 257) return 1;
  if (colours <= 16777216) return 2;
  return 3;
}

std::string ProgramVersion() { return VYRELLE_VERSION; }

std::string ProgramVersionText() {
  int part[4] = {0, 0, 0, 0};
  const char* p = VYRELLE_VERSION;
  for (int k = 0; k < 4 && *p; ++k) {
    while (*p >= '0' && *p <= '9') part[k] = part[k] * 10 + (*p++ - '0');
    if (*p != '.') break;
    ++p;
  }
  return Format("%d.%d.%d.%d", part[0], part[1], part[2], part[3]);
}

DownloadResult RunServerRequest(const std::string& address, platform::WindowHandle notifyWindow) {
  // The last byte is the terminator's: the reply is cut one byte short of
  // the buffer, so a command closed only by the buffer's last byte is an
  // unclosed one and dropped.
  std::vector<char> buffer(kReplyBufferSize, '\0');
  size_t size = buffer.size() - 1;
  const DownloadResult fetched = FetchToMemory(address, buffer.data(), size, true);
  if (fetched != DownloadResult::kOk) return fetched;
  size = std::min(size, buffer.size() - 1);
  buffer[size] = '\0';
  if (notifyWindow == 0 || !platform::IsWindow(notifyWindow)) return DownloadResult::kNoWindow;
  std::vector<std::string> commands;
  const DownloadResult result = ParsePongReply(std::string_view(buffer.data(), size), commands);
  if (result != DownloadResult::kOk) return result;
  for (std::string& command : commands) {
    platform::PostText(notifyWindow, kServerCommandMessage, std::move(command));
  }
  return DownloadResult::kOk;
}

// --- the session ------------------------------------------------------------

ServerSession::ServerSession(Application& app, UsageCounters& counters, TrackedUrlTable& tracked,
                             WindowTimers& timers, SessionHooks hooks, platform::SystemInfo system,
                             std::uint32_t startTick)
    : app_(app),
      counters_(counters),
      tracked_(tracked),
      timers_(timers),
      hooks_(std::move(hooks)),
      system_(system),
      startTick_(startTick) {}

ServerSession::~ServerSession() {
  if (!loggedOut_) WaitForRequests(kLogoutWaitMs);
}

std::string ServerSession::ServerScript() const {
  std::string script = app_.Get(kMiscServerScript);
  return script.empty() ? app_.HomeServerUrl(kDefaultScriptPath) : script;
}

std::string ServerSession::BaseQuery(const char* verb) const {
  return ServerScript() + "?" + verb + "&U=" + app_.InstallationId() + "&B=" + kBrand;
}

std::string ServerSession::LoginAddress() const {
  const platform::SystemInfo& s = system_;
  const std::string os = Format("%d.%d.%d.%d", s.os.platformId, s.os.major, s.os.minor, s.os.build);
  const std::string bv = Format("%d.%d.%d.0", s.browserVersion[0], s.browserVersion[1], s.browserVersion[2]);
  const std::string sv = Format("%d.%d.%d.0", s.shellVersion[0], s.shellVersion[1], s.shellVersion[2]);
  return BaseQuery("Login") +
         Format("&TZ=%d&CD=%d&SW=%d&SH=%d", static_cast<int>(s.timeZoneSecondsWest / 3600),
                ColourClass(app_.ColourCount()), s.screenWidth, s.screenHeight) +
         "&OS=" + os + "&BV=" + bv + "&SV=" + sv + "&NV=" + ProgramVersionText();
}

std::string ServerSession::PingAddress() const {
  const std::uint32_t minutes = (platform::GetTickCount() - startTick_) / 60000u;
  std::string address = BaseQuery("Ping") + Format("&MO=%u", minutes);
  address += UnsentStatsText(counters_, tracked_);
  address += "&IBA=";
  if (infoBoxAds_) address += infoBoxAds_->TriplesText();
  return address;
}

std::string ServerSession::LogoutAddress() const {
  const std::uint32_t minutes = (platform::GetTickCount() - startTick_) / 60000u;
  return BaseQuery("Logout") + Format("&MO=%u", minutes);
}

platform::WindowHandle ServerSession::MainWindow() const {
  return hooks_.mainWindow ? hooks_.mainWindow() : 0;
}

bool ServerSession::PlusForSpaces() const {
  return MainWindow() == 0 || !hooks_.mainBrowserNavigates2 || !hooks_.mainBrowserNavigates2();
}

bool ServerSession::Online() const { return !hooks_.online || hooks_.online(); }

void ServerSession::SendSessionEvent(const std::string& kind) {
  if (!Online()) return;
  if (loginDeferred_ && !EqualsIgnoreCase(kind, "logout")) {
    loginDeferred_ = false;
    SendLogin();
  }
  if (EqualsIgnoreCase(kind, "logout")) {
    StartServerRequest(LogoutAddress(), MainWindow(), PlusForSpaces());
    return;
  }
  // Without a main window that navigates through its second interface no
  // completed document will send the login, so the start event does.
  if (EqualsIgnoreCase(kind, "start") && PlusForSpaces()) SendLogin();
  StartServerRequest(PingAddress(), MainWindow(), PlusForSpaces());
}

void ServerSession::SendLogin() {
  if (loginSent_) return;
  if (!Online()) {
    loginDeferred_ = true;  // sent with the first event once online again
    return;
  }
  loginSent_ = true;
  StartServerRequest(LoginAddress(), MainWindow(), PlusForSpaces());
}

void ServerSession::OnFirstDocumentComplete() {
  if (!PlusForSpaces()) SendLogin();
}

void ServerSession::StartServerRequest(const std::string& address, platform::WindowHandle notifyWindow,
                                       bool plusForSpaces) {
  // Without a home server the session is silent: no login, ping or logout.
  if (!app_.HasHomeServer()) return;
  std::string safe = MakeRequestAddress(address, plusForSpaces);
  std::shared_ptr<Tracker> tracker = tracker_;
  {
    std::lock_guard lock(tracker->mutex);
    ++tracker->running;
  }
  // The thread owns its address and reply; it reaches the window only by
  // posting, and the tracker lets the logout wait for it without holding it.
  auto done = [tracker] {
    std::lock_guard lock(tracker->mutex);
    --tracker->running;
    tracker->idle.notify_all();
  };
  try {
    std::thread([safe = std::move(safe), notifyWindow, done] {
      RunServerRequest(safe, notifyWindow);
      // The crypto library's per-thread state goes before the logout's wait
      // can end, so a process ending right after it leaves nothing behind.
      OPENSSL_thread_stop();
      done();
    }).detach();
  } catch (const std::system_error&) {
    done();  // no thread to be had: the request is dropped, like a failed one
  }
}

bool ServerSession::WaitForRequests(unsigned timeoutMs) {
  std::unique_lock lock(tracker_->mutex);
  return tracker_->idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                 [&] { return tracker_->running == 0; });
}

void ServerSession::OnBarCreated() { timers_.SetTimer(kStartTimer, kStartDelayMs); }

void ServerSession::ArmPingTimer() {
  // A period of 1 minute to a day: a longer one is a day; below a minute (0
  // would ping without pause) is the default.
  int minutes = app_.Get(kMiscPingInterval);
  if (minutes < 1) minutes = kMiscPingInterval.defaultValue;
  minutes = std::min(minutes, kMaxPingMinutes);
  timers_.KillTimer(kPingTimer);
  timers_.SetTimer(kPingTimer, static_cast<unsigned>(minutes) * 60000u);
  pingArmed_ = true;
}

void ServerSession::OnTimer(unsigned id) {
  if (id == kStartTimer) {
    timers_.KillTimer(kStartTimer);
    SendSessionEvent("START");
    ArmPingTimer();
  } else if (id == kPingTimer) {
    if (hooks_.browserWindowVisible && hooks_.browserWindowVisible()) SendSessionEvent("PING");
  }
}

void ServerSession::SetPingInterval(int minutes) {
  app_.Write(kMiscPingInterval, std::min(minutes, kMaxPingMinutes));
  if (pingArmed_) ArmPingTimer();
}

void ServerSession::SetServerScript(const std::string& address) {
  app_.Write(kMiscServerScript, address);
}

bool ServerSession::Logout(unsigned waitMs) {
  SendSessionEvent("logout");
  loggedOut_ = true;
  return WaitForRequests(waitMs);
}

}  // namespace vyr::net

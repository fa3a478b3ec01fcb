#pragma once
// The light session the shell keeps with its home server's command script:
// a login when browsing starts, a ping at a fixed interval while a browser
// window is visible (carrying the usage counters, the tracked addresses' hits
// and the info box's counts), and a logout at exit. Each request is a GET of
// the script address with a query string, run on a worker thread of its own;
// a ping reply "PONG#command#command#..." carries commands, which reach the
// main window as message 4025 with the command text and run through the
// command dispatcher there.
//
// Everything here except the request threads runs on the user-interface
// thread: the counters and tracked lists are not shared with the workers,
// which get their own copy of the address.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "base/usage_stats.h"
#include "base/window_timers.h"
#include "net/download_worker.h"
#include "platform/system_info.h"
#include "platform/window_messages.h"

namespace vyr {
class Application;
}

namespace vyr::net {

// A command from a ping reply, posted to the main window with its text.
inline constexpr std::uint32_t kServerCommandMessage = 4025;
// Timers of the channel bar window that drive the session.
inline constexpr unsigned kStartTimer = 2;  // one shot, 40000 ms after the bar is made
inline constexpr unsigned kPingTimer = 3;   // every [misc] PI minutes
inline constexpr unsigned kStartDelayMs = 40000;
// A reply is read into a buffer of this many bytes with its terminator: at
// most kReplyBufferSize - 1 bytes of it count, the rest is cut off.
inline constexpr size_t kReplyBufferSize = 20480;
// How long the program waits, once, for the logout (and any request still
// under way) before it goes on ending.
inline constexpr unsigned kLogoutWaitMs = 4000;

// Splits a reply into its commands. The reply is text (it ends at a zero
// byte); it is read as segments closed by "#". The first must be "PONG" in
// any case, else the result is kBadReply and there are no commands. Every
// later segment closed by "#" is a command (empty ones are skipped); an
// unclosed last segment is dropped. Returns kOk otherwise.
DownloadResult ParsePongReply(std::string_view reply, std::vector<std::string>& commands);

// The address a request thread is given. plusForSpaces: every blank becomes
// "+" (and control characters are escaped so that no request line can be
// broken); otherwise the address is canonicalised: blanks, control
// characters, bytes above 126 and the characters "<>\"\\^`{|} are escaped as
// %XX, everything else (escapes already present included) is kept.
std::string MakeRequestAddress(std::string_view address, bool plusForSpaces);

// The display's colour class for the login: 0 below 256 colours, 1 for 256
// or 257, 2 up to 16777216, 3 above.
int ColourClass(int colours);

// The program's own version as "%d.%d.%d.%d".
std::string ProgramVersionText();
// The program's version as the build names it ("0.1.0").
std::string ProgramVersion();

// One request: fetches the reply (reloaded from the server), at most
// kReplyBufferSize - 1 bytes of it, and posts each command to notifyWindow.
// A failed fetch ends quietly (nothing is shown or posted) with the fetch's
// result; no window (or a closed one) gives kNoWindow, a reply that is not
// a "PONG" kBadReply.
DownloadResult RunServerRequest(const std::string& address, platform::WindowHandle notifyWindow);

// What the session asks of the windows. Unset functions mean: no main
// window, no visible browser window.
struct SessionHooks {
  // The main window's handle (receives the reply commands), or 0.
  std::function<platform::WindowHandle()> mainWindow;
  // True when the main window exists and its browser host navigates with
  // its second navigation interface: requests are then canonicalised, and
  // the login waits for the first completed document.
  std::function<bool()> mainBrowserNavigates2;
  // True when the main window, its second view or a popup browser window is
  // visible.
  std::function<bool()> browserWindowVisible;
  // False while the program works offline: no login, ping or logout is
  // sent then (a login waits for the next chance). Unset: online.
  std::function<bool()> online;
};

class ServerSession {
 public:
  // startTick: the tick count taken at start-up (MO counts from it).
  ServerSession(Application& app, UsageCounters& counters, TrackedUrlTable& tracked,
                WindowTimers& timers, SessionHooks hooks, platform::SystemInfo system,
                std::uint32_t startTick);
  // Waits up to kLogoutWaitMs for requests still under way, unless Logout
  // already waited: shutdown waits only once.
  ~ServerSession();
  ServerSession(const ServerSession&) = delete;
  ServerSession& operator=(const ServerSession&) = delete;

  // The info box's advertisement list, reported as "&IBA=" and reduced by
  // "ack" (none until the info box attaches it).
  void AttachInfoBoxAds(TrackedUrlTable* ads) { infoBoxAds_ = ads; }
  // The display, once a window measured it.
  platform::SystemInfo& System() { return system_; }

  // [misc] PS, or the home server's "/scripts/vyrcmd.dll".
  std::string ServerScript() const;
  std::string LoginAddress() const;
  std::string PingAddress() const;
  std::string LogoutAddress() const;
  // Whether requests use "+" for blanks (no main window, or its browser host
  // does not navigate with the second interface) rather than canonicalising.
  bool PlusForSpaces() const;
  bool Online() const;

  // "logout" (any case) sends the logout; anything else a ping, and "start"
  // first the login when the main window will not send it.
  void SendSessionEvent(const std::string& kind);
  // Sends the login; only the first call of a run sends anything.
  void SendLogin();
  bool LoginSent() const { return loginSent_; }
  // The main window saw its first completed document.
  void OnFirstDocumentComplete();

  // Starts a request thread for the address made safe as MakeRequestAddress
  // says. It posts the reply's commands to notifyWindow.
  void StartServerRequest(const std::string& address, platform::WindowHandle notifyWindow,
                          bool plusForSpaces);
  // Waits up to timeoutMs until no request is under way. True when none is.
  bool WaitForRequests(unsigned timeoutMs);

  // Timers: the bar was created (arms the start timer); a timer fired.
  void OnBarCreated();
  void OnTimer(unsigned id);
  // At exit: sends the logout and waits up to waitMs for it (and any other
  // request) to finish. True when nothing was left running.
  bool Logout(unsigned waitMs = kLogoutWaitMs);

  // --- entry points of the commands --------------------------------------
  void TrackUrls(const std::string& text) { tracked_.TrackUrls(text); }
  void LoadIds(const std::string& text) { tracked_.LoadIds(text); }
  void Acknowledge(const std::string& text) { vyr::Acknowledge(text, counters_, tracked_, infoBoxAds_); }
  bool RecordVisit(const std::string& address, bool isClick) {
    return tracked_.RecordVisit(address, isClick);
  }
  // Writes [misc] PI (more than kMaxPingMinutes is written as that) and,
  // when the ping timer runs, restarts it with the new period. A period
  // below one minute is the default one.
  void SetPingInterval(int minutes);
  std::string CountersText() const { return counters_.CountersText(); }
  // "pingserver": writes [misc] PS, which every later request uses.
  void SetServerScript(const std::string& address);

 private:
  struct Tracker {
    std::mutex mutex;
    std::condition_variable idle;
    int running = 0;
  };

  std::string BaseQuery(const char* verb) const;
  platform::WindowHandle MainWindow() const;
  void ArmPingTimer();

  Application& app_;
  UsageCounters& counters_;
  TrackedUrlTable& tracked_;
  TrackedUrlTable* infoBoxAds_ = nullptr;
  WindowTimers& timers_;
  SessionHooks hooks_;
  platform::SystemInfo system_;
  std::uint32_t startTick_;
  bool loginSent_ = false;
  bool loginDeferred_ = false;
  bool pingArmed_ = false;
  bool loggedOut_ = false;
  std::shared_ptr<Tracker> tracker_ = std::make_shared<Tracker>();
};

}  // namespace vyr::net

#pragma once
// Enhanced browsing: a bare word typed as an address is turned into an
// address on a worker thread of the browser window, in a fixed order, each
// step switched by the user's [SmarterBrowsing] flags:
//   1. Autocomplete: the host "www.<word>.com", when it resolves;
//   2. RealNames: the keyword resolver's page for the word, when the
//      resolver knows the word;
//   3. WebSearch: the search address for the word.
// The owner's status text tells what is being tried.
//
// The worker never touches a window. It posts its reports (download begun,
// status texts, the address to open) to a window handle of the
// EnhancedBrowsing object itself, and the object hands them to the owner's
// notifications on the user-interface thread, where window messages are
// delivered. Every report carries the run's generation: whatever a stopped
// run still posts is dropped there, so a new navigation (or stop, back,
// forward, refresh, home) ends a running look-up without it navigating
// afterwards. Stopping is cooperative: a stop flag that the host look-up and
// the resolver request check while they wait.
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "base/application.h"
#include "base/stoppable_worker.h"
#include "platform/host_resolver.h"
#include "platform/window_messages.h"

namespace vyr {

// True when text holds none of ":", "/", "\" and ".": a word, not an address.
bool IsBareWord(const std::string& text);

// The address a typed text that is no bare word opens, trimmed of blanks: a
// text that begins with a scheme ("https:", "file:", "about:", "mailto:")
// as it stands; a local path (beginning with "/") as a file address; any
// other text is a host, with or without port and path, and gets "http://"
// in front ("//host" gets "http:"). A name followed by ":" and a port of one
// to five digits ("localhost:8765", "127.0.0.1:8765/page") is a host and
// port, not a scheme.
std::string AddressForTypedText(const std::string& text);

// The pattern with every "%s" replaced by word and "%%" by "%"; any other "%"
// stays as it is. (Patterns come from the settings, so they never go through
// printf.)
std::string FormatWithWord(const std::string& pattern, const std::string& word);

// The word as it goes into an address template ([Search] URL, RNURL): every
// byte other than a letter, a digit, "-", ".", "_", "~" and the blank is
// percent-encoded, so "AT&T" searches for "AT&T" and not for "AT". Blanks
// stay: the resolver request sends them as "+", the canonical address as
// "%20".
std::string EncodeWordForAddress(const std::string& word);

// Where the search and the keyword resolver live, read from [Search] when a
// browser window is made. The defaults are on the home server.
struct EnhancedBrowsingSettings {
  std::string searchUrl;     // URL: "%s" receives the word
  std::string resolverHost;  // RNServer: a host name, or "host:port"
  std::string resolverPath;  // RNURL: "%s" receives the word
};
EnhancedBrowsingSettings LoadEnhancedBrowsingSettings(const Application& app);

// The options dialog's help page: [SmarterBrowsing] RealHelp.
std::string EnhancedBrowsingHelpAddress(const Application& app);

// The options dialog's OK: writes the flags to [SmarterBrowsing], keeps them
// in the application object and plays "save".
void SaveSmarterBrowsingFlags(Application& app, const Application::SmarterBrowsing& flags);

// The keyword resolver request: verb on http://host:port/path (a port in
// host wins over `port`), each blank of the path sent as "+". True when the
// answer is 200 and its first 512 bytes do not contain "Centraal"; false on
// any failure, after a time limit, or when `stop` is set while it runs.
// Reads no more of the body than the 512 bytes it judges.
bool QueryResolver(const std::string& host, const std::string& path, const std::string& verb,
                   int port, const std::atomic<bool>* stop = nullptr);

// The resolver step's question: does the resolver know the word behind path?
using KeywordQuery =
    std::function<bool(const std::string& host, const std::string& path, const std::atomic<bool>& stop)>;
// QueryResolver with the verb "GET" and port 80.
bool AskKeywordResolver(const std::string& host, const std::string& path,
                        const std::atomic<bool>& stop);

// What the browser window (the owner) hears. Called on the user-interface
// thread only.
class BrowsingOwner {
 public:
  virtual ~BrowsingOwner() = default;
  virtual void DownloadBegin() = 0;
  virtual void StatusTextChange(const std::string& text) = 0;
  virtual void RollOverTextChange(const std::string& text) = 0;
  // Navigates the browser control to address as it stands (never back
  // through enhanced browsing).
  virtual void NavigateControl(const std::string& address) = 0;
};

// One per browser window; lives on the user-interface thread.
class EnhancedBrowsing : private platform::MessageTarget {
 public:
  // hosts and query must be safe to use from the worker thread; the worker
  // keeps its own references, so a worker left behind never depends on this
  // object.
  EnhancedBrowsing(BrowsingOwner& owner, EnhancedBrowsingSettings settings,
                   std::shared_ptr<platform::HostResolver> hosts =
                       std::make_shared<platform::SystemHostResolver>(),
                   KeywordQuery query = AskKeywordResolver);
  ~EnhancedBrowsing() override;
  EnhancedBrowsing(const EnhancedBrowsing&) = delete;
  EnhancedBrowsing& operator=(const EnhancedBrowsing&) = delete;

  // The navigate entry. Ends a running look-up first. A bare word starts the
  // worker with a copy of flags (true); any other text goes to the control
  // at once as AddressForTypedText makes it (false).
  bool Navigate(const std::string& text, const Application::SmarterBrowsing& flags);
  // Stop, back, forward, refresh and home: ends a running look-up; nothing it
  // found is navigated to.
  void Stop();

  bool IsRunning() const { return worker_.IsRunning(); }
  // Waits for the running worker to end (its reports may still be queued).
  bool WaitUntilFinished(std::chrono::milliseconds timeout) const {
    return worker_.WaitUntilFinished(timeout);
  }

 private:
  void OnWindowMessage(const platform::WindowMessage& message) override;

  BrowsingOwner& owner_;
  const EnhancedBrowsingSettings settings_;
  const std::shared_ptr<platform::HostResolver> hosts_;
  const KeywordQuery query_;
  platform::WindowHandle handle_ = 0;
  StoppableWorker<std::atomic<bool>> worker_;
};

}  // namespace vyr

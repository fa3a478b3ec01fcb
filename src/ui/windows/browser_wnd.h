#pragma once
// CBrowserWnd: the browser control host. A WebKitWebView created by this
// class in the program's one engine context, placed in a wx window through
// wxNativeWindow, so that every engine signal reaches our own handlers. The
// engine's events are translated into the owner notifications below (their
// numbers are the program's notification numbers, kept for recording and
// for the tests).
#include <deque>
#include <functional>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include <wx/nativewin.h>

#include "browser/enhanced_browsing.h"
#include "browser/navigation_policy.h"
#include "platform/string_table.h"
#include "platform/system_info.h"

typedef struct _WebKitWebView WebKitWebView;
typedef struct _WebKitDownload WebKitDownload;
typedef struct _WebKitResponsePolicyDecision WebKitResponsePolicyDecision;
typedef struct _WebKitUserContentFilter WebKitUserContentFilter;

class CBrowserWnd;

// The notification numbers.
enum class BrowserNotification {
  CreateNewExplorerWnd = 1, GetExplorerDispatch = 2, StatusTextChange = 3,
  RollOverTextChange = 4, DownloadComplete = 5, DownloadBegin = 6, BeforeNavigate = 7,
  CommandStateChange = 8, ProgressChange = 9, TitleChange = 10, NavigateComplete = 11,
  OnToolBar = 12, OnMenuBar = 13, OnStatusBar = 14, OnFullScreen = 15, OnVisible = 16,
  DocumentComplete = 17, PropertyChanged = 18,
};

// Command numbers of CommandStateChange.
inline constexpr int kCommandForward = 1;
inline constexpr int kCommandBack = 2;

// The title of the dialogs that ask where a file goes (a download, an
// attachment).
inline constexpr vyr::platform::TextId kSaveAsTitle{40594};  // "Save As"

// Menu commands the browser's keys post to the owner (Ctrl+N, Ctrl+O, Ctrl+R).
inline constexpr int kNewBrowserWindowCommand = 32806;
inline constexpr int kOpenCommand = 32808;
inline constexpr int kRefreshCommand = 32774;

// What the window that owns a browser control hears. Every call comes on the
// user-interface thread. Only CreateNewExplorerWnd and InsertImage are called
// inside an engine signal, and there the owner only decides (makes the
// control, answers the text). The navigation questions (NavigationAnnounced,
// HandleSpecialUrl, BeforeNavigate) come from a posted event while the
// engine waits for the answer, so the owner may run what it took (even a
// modal question) right there; the window notifications that show or close
// a window (OnVisible, OnToolBar...) and OnBrowserCommand and DoSearch are
// posted too.
class CBrowserOwner {
 public:
  virtual ~CBrowserOwner() = default;

  // 1: a page asks for a new window. The control the page's window opens in
  // (made, not yet shown), or nullptr to refuse (the request is cancelled).
  virtual CBrowserWnd* CreateNewExplorerWnd() { return nullptr; }
  virtual void StatusTextChange(const std::string& /*text*/) {}
  virtual void RollOverTextChange(const std::string& /*text*/) {}
  virtual void DownloadComplete() {}
  virtual void DownloadBegin() {}
  // 7: a navigation that no special-address rule took. Setting cancel stops it.
  virtual void BeforeNavigate(const std::string& /*url*/, bool /*topLevel*/, bool& /*cancel*/) {}
  virtual void CommandStateChange(int /*command*/, bool /*enabled*/) {}
  virtual void ProgressChange(int /*progress*/, int /*maximum*/) {}
  virtual void TitleChange(const std::string& /*title*/) {}
  virtual void NavigateComplete(const std::string& /*url*/, bool /*topLevel*/) {}
  virtual void OnToolBar(bool) {}
  virtual void OnMenuBar(bool) {}
  virtual void OnStatusBar(bool) {}
  virtual void OnFullScreen(bool) {}
  // true: the page's new window is ready to be shown ("ready-to-show");
  // false: the page closed its window (window.close()): the owner closes the
  // window the control is in.
  virtual void OnVisible(bool) {}
  virtual void DocumentComplete(const std::string& /*url*/, bool /*topLevel*/) {}
  virtual void PropertyChanged(const std::string& /*name*/) {}

  // Message 1362: every navigation's address, before anything else.
  virtual void NavigationAnnounced(const std::string& /*url*/) {}
  // The special-address filter (command links, setup program, channel files,
  // mailto), with what the pane's policy decided about the navigation (see
  // browser/navigation_policy.h). Returns true when the address was taken;
  // the navigation is then cancelled and BeforeNavigate is not called.
  virtual bool HandleSpecialUrl(const std::string& /*url*/, const vyr::NavigationVerdict& /*verdict*/) {
    return false;
  }
  // A page's download the user started in the main frame: the file's
  // destination, or "" to cancel it. The default asks with a save dialog in
  // the download folder.
  virtual std::string ChooseDownloadDestination(const std::string& suggestedName);
  // A page of a pane that opens no windows asked for one (a link with a
  // target, window.open) and the special-address filter did not take the
  // address: the request is refused; the owner may open the address
  // elsewhere, as far as the verdict allows.
  virtual void NewWindowRefused(const std::string& /*url*/, const vyr::NavigationVerdict& /*verdict*/) {}
  // A key of the browser posted a menu command (kNewBrowserWindowCommand...).
  virtual void OnBrowserCommand(int /*command*/) {}

  // The page-facing external object (window.external in page script); only
  // a trusted top document reaches these.
  virtual void DoSearch() {}
  // The path of the current scheme's file of that name; "" when there is no
  // such file or the name is not a plain file name. The default answers
  // through vyr::SchemeImagePath with the current application.
  virtual std::string InsertImage(const std::string& name);
};

// The control of a page's new window: made inside the engine's "create"
// signal (through the owner's CreateNewExplorerWnd), its view is made related
// to the requesting page's view, so that the page's window.open returns a
// working window object.
class CBrowserWnd : public wxNativeWindow, private vyr::BrowsingOwner {
 public:
  // Where the engine keeps cookies, caches and local storage for the whole
  // program; only before the first control is made.
  static void SetEngineDataDirectory(const std::string& folder);
  // The engine stands where the browser control stood and the toolkit where
  // the shell library stood: their versions for the login and the support
  // report.
  static void AddEngineVersions(vyr::platform::SystemInfo& system);
  // Clears everything the engine keeps of the sites visited (history of
  // visits, caches, cookies, site storage) in the background; done is
  // called on the user-interface thread once the engine has finished, with
  // "" or the engine's reason for failing.
  static void ClearWebsiteData(std::function<void(const std::string& error)> done);

  // policy: what this pane trusts and may do; the default trusts nothing.
  CBrowserWnd(wxWindow* parent, CBrowserOwner* owner, vyr::NavigationPolicy policy = {},
              wxWindowID id = wxID_ANY);
  ~CBrowserWnd() override;

  void SetOwner(CBrowserOwner* owner);
  const vyr::NavigationPolicy& Policy() const { return policy_; }

  // Typed text: a bare word goes through enhanced browsing first; anything
  // else is navigated as it stands.
  void Navigate(const std::string& text);
  void LoadHtml(const std::string& html, const std::string& baseUrl = {});
  // Each of these first ends a running enhanced-browsing look-up.
  void GoBack();
  void GoForward();
  void Reload();
  void Stop();
  bool CanGoBack() const;
  bool CanGoForward() const;
  bool IsLoading() const;
  std::string CurrentUrl() const;
  std::string Title() const;
  // 0.5 .. 3.0; the text size setting 0..4 maps onto it.
  void SetZoom(double level);
  double Zoom() const;

  WebKitWebView* WebView() const;
  // A style sheet of the user's level under every document of this view,
  // the documents shown now included; it replaces the one set before ("" sets
  // none). A page's own rules win over it.
  void SetUserStyleSheet(const std::string& css);
  // While the owner is asked about a navigation (NavigationAnnounced,
  // HandleSpecialUrl, BeforeNavigate): what the engine reported about it;
  // null at any other time.
  const vyr::NavigationFacts* DecidingFacts() const { return decidingFacts_; }
  // The document the main frame shows is a trusted one (the home server's
  // or the program's own): only then does window.external answer.
  bool ShowsTrustedDocument() const;

  // A pane whose policy loads no remote content (a mail message): nothing
  // loads over the network (http, https, ws, wss, ftp) and no local file
  // outside the policy's message folder loads at all. The engine's rules
  // for that are made once per program, in the background; what the pane
  // is asked to load meanwhile waits for them. AllowRemoteContent(true)
  // lets the network in for what the pane loads next (the user asked to
  // see the message's remote content); false shuts it out again.
  void AllowRemoteContent(bool allowed);
  bool RemoteContentAllowed() const { return remoteAllowed_; }
  // The rules are in place (always, for a pane that needs none).
  bool ContentRulesReady() const { return rulesReady_; }

  // Enhanced browsing with other settings or a scripted resolver (tests).
  // Ends a running look-up.
  void SetEnhancedBrowsing(vyr::EnhancedBrowsingSettings settings,
                           std::shared_ptr<vyr::platform::HostResolver> hosts,
                           vyr::KeywordQuery query);
  bool IsLookingUp() const;

  // Every download the engine starts: one this pane allowed asks where to
  // save it; any other is cancelled.
  static void StartedDownload(WebKitDownload* download);

 private:
  struct Signals;  // the engine's signal handlers, in the source file
  struct PendingDecision;
  struct Downloads;  // the engine's downloads, in the source file
  struct ContentRules;  // the rules of panes without remote content, in the source file

  // vyr::BrowsingOwner: the enhanced-browsing worker's reports.
  void DownloadBegin() override;
  void StatusTextChange(const std::string& text) override;
  void RollOverTextChange(const std::string& text) override;
  void NavigateControl(const std::string& address) override;

  // Runs fn on the user-interface thread later, unless this control is gone
  // by then.
  template <typename Fn>
  void Post(Fn fn);
  void ShowStatus(const std::string& text);
  // Ends a running enhanced-browsing look-up and clears its busy state.
  void EndLookUp();
  void Decide(PendingDecision& pending);
  // Shows the program's page in place of the one at address that could not
  // be shown (a failed load, a refused certificate, a web process that
  // ended). The page is never trusted.
  void ShowFailurePage(const std::string& html, const std::string& address);
  // A response: a file to save is let through only as the user's download.
  int DecideResponse(WebKitResponsePolicyDecision* decision);
  void UpdateHistoryState();
  // Keeps the newest load asked for before the pane's rules are in place.
  void HoldUntilRulesReady(const std::string& address, std::function<void()> load);

  WebKitWebView* view_ = nullptr;  // one reference of our own, see the destructor
  CBrowserOwner* owner_ = nullptr;
  std::unique_ptr<vyr::EnhancedBrowsing> browsing_;
  // Expires with the control: posted work and late engine answers check it.
  std::shared_ptr<CBrowserWnd*> alive_;
  // The next navigation the engine reports was asked for by our own code.
  enum class ShellRequest { None, Address, History };
  ShellRequest shellRequest_ = ShellRequest::None;
  std::string shellAddress_;  // normalised, for ShellRequest::Address
  vyr::NavigationPolicy policy_;
  std::string committedUrl_;     // the document the main frame shows
  std::string failureAddress_;   // the failure page under way stands at this address
  std::string shellChainStart_;  // our own request whose redirects are under way
  // The engine's hit test: the link under the pointer, and the one it was
  // on at the user's last real press (normalised), with the press's time.
  std::string hoverLink_;
  std::string pressLink_;
  long long pressTime_ = 0;  // microseconds of the monotonic clock
  // Recent navigations (normalised address) and whether the user started
  // them: a download must come from one the user started.
  std::deque<std::pair<std::string, bool>> recentNavigations_;
  bool lastUserStarted_ = false;
  std::string allowedDownload_;  // the one address whose download the pane let through
  std::string pressForNewWindow_;  // the pressed link of a new window being made
  // Handed only to the external object of this pane's top documents: a
  // frame or a page that calls the host's prompt itself does not know it.
  std::string externalToken_;
  bool canGoBack_ = false;
  bool canGoForward_ = false;
  std::string statusText_;
  bool lookUpBusy_ = false;  // a look-up told the owner DownloadBegin
  const vyr::NavigationFacts* decidingFacts_ = nullptr;
  // A pane without remote content: its rules (owned by the program) and
  // what it was asked to load before they were in place.
  bool rulesReady_ = true;
  bool remoteAllowed_ = false;
  WebKitUserContentFilter* networkRule_ = nullptr;
  std::vector<std::string> ruleIds_;  // the network rules, then the message folder's
  std::string rulesError_;            // the engine refused them: the pane loads nothing
  std::function<void()> heldLoad_;
};

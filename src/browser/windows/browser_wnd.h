#pragma once
// CBrowserWnd: the browser control host. A WebKitWebView created by this
// class in the program's one engine context, placed in a wx window through
// wxNativeWindow, so that every engine signal reaches our own handlers. The
// engine's events are translated into the owner notifications below (their
// numbers are the program's notification numbers, kept for recording and
// for the tests).
#include <memory>
#include <string>

#include <wx/nativewin.h>

typedef struct _WebKitWebView WebKitWebView;

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

// Menu commands the browser's keys post to the owner (Ctrl+N, Ctrl+O, Ctrl+R).
inline constexpr int kNewBrowserWindowCommand = 32806;
inline constexpr int kOpenCommand = 32808;
inline constexpr int kRefreshCommand = 32774;

// What the window that owns a browser control hears. Every call comes on the
// user-interface thread, from a posted event or an engine signal; inside an
// engine signal (BeforeNavigate, CreateNewExplorerWnd) the owner only
// decides: anything that opens or closes a window is posted.
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
  virtual void OnVisible(bool) {}
  virtual void DocumentComplete(const std::string& /*url*/, bool /*topLevel*/) {}
  virtual void PropertyChanged(const std::string& /*name*/) {}

  // Message 1362: every navigation's address, before anything else.
  virtual void NavigationAnnounced(const std::string& /*url*/) {}
  // The special-address filter (command links, setup program, channel files,
  // mailto). trusted: a top-level navigation the user started, or one a page
  // of the home server or of the program's own data started. Returns true
  // when the address was taken; the navigation is then cancelled and
  // BeforeNavigate is not called. The owner runs what it took from a posted
  // event, never inside the engine's signal.
  virtual bool HandleSpecialUrl(const std::string& /*url*/, bool /*trusted*/) { return false; }
  // A key of the browser posted a menu command (kNewBrowserWindowCommand...).
  virtual void OnBrowserCommand(int /*command*/) {}

  // The page-facing external object (window.external in page script).
  virtual void DoSearch() {}
  // The path of the current scheme's file of that name; "" when there is no
  // such file or the name is not a plain file name.
  virtual std::string InsertImage(const std::string& /*name*/) { return {}; }
};

class CBrowserWnd : public wxNativeWindow {
 public:
  // Where the engine keeps cookies, caches and local storage for the whole
  // program; only before the first control is made.
  static void SetEngineDataDirectory(const std::string& folder);

  CBrowserWnd(wxWindow* parent, CBrowserOwner* owner, wxWindowID id = wxID_ANY);
  ~CBrowserWnd() override;

  void SetOwner(CBrowserOwner* owner);

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
};

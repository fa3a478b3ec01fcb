#pragma once
// CBrowserWnd: the browser control. A WebKitWebView created by this class
// (never the engine's default context) placed in a wx window through
// wxNativeWindow, so that every engine signal reaches our own handlers.
#include <functional>
#include <string>

#include <wx/nativewin.h>

typedef struct _WebKitWebView WebKitWebView;

class CBrowserWnd : public wxNativeWindow {
 public:
  // What the owner of the control hears about. Every callback runs on the
  // user-interface thread and may be left empty.
  struct Events {
    // The page's title changed; empty when the page has none.
    std::function<void(const std::string& title)> titleChanged;
    // A load began; the address is the one requested (it may still be
    // redirected, and then this is called again with the new address).
    std::function<void(const std::string& url)> loadStarted;
    // The address is final: the engine committed to showing that document.
    std::function<void(const std::string& url)> loadCommitted;
    // The load ended. succeeded is false after loadFailed was reported.
    std::function<void(const std::string& url, bool succeeded)> loadFinished;
    // The load failed (a cancelled load, from Stop() or from starting another
    // load, is not reported). The engine then shows its own error page.
    std::function<void(const std::string& url, const std::string& message)> loadFailed;
  };

  // Where the engine keeps its cookies, caches and local storage for the
  // whole program. Takes effect only when called before the first control is
  // created; without it the engine keeps nothing on disk.
  static void SetEngineDataDirectory(const std::string& folder);

  explicit CBrowserWnd(wxWindow* parent, wxWindowID id = wxID_ANY);
  ~CBrowserWnd() override;

  void SetEvents(Events events) { events_ = std::move(events); }

  void Navigate(const std::string& url);
  // Shows a document given as text; baseUrl resolves its relative links.
  void LoadHtml(const std::string& html, const std::string& baseUrl = {});
  void GoBack();
  void GoForward();
  bool CanGoBack() const;
  bool CanGoForward() const;
  // Loads the document again. (Named Reload because wxWindow::Refresh, which
  // repaints, would otherwise be hidden or made ambiguous.)
  void Reload();
  void Stop();
  bool IsLoading() const;

  // The address of the document shown (or being committed); empty before the
  // first load.
  std::string CurrentUrl() const;
  // The page's title; empty when it has none.
  std::string Title() const;

  WebKitWebView* WebView() const { return view_; }

 private:
  // The engine's signal handlers (defined with the engine's types in the
  // source file).
  struct Signals;

  WebKitWebView* view_ = nullptr;  // one reference of our own, see the destructor
  Events events_;
  bool loadFailed_ = false;
};

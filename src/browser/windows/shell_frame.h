#pragma once
// CShellFrame: a top-level window showing one browser control over its whole
// client area, with the page title in the caption and the load state in the
// status bar.
#include <functional>
#include <string>

#include <wx/frame.h>

#include "browser/windows/browser_wnd.h"

class CShellFrame : public wxFrame, public CBrowserOwner {
 public:
  CShellFrame();
  ~CShellFrame() override;

  CBrowserWnd* Browser() const { return browser_; }
  // Called with the address of every document that finished loading.
  void SetOnDocumentComplete(std::function<void(const std::string& url)> f) { onComplete_ = std::move(f); }

  // The caption for a page title: "<title> - Vyrelle", or "Vyrelle" when the
  // page has no title.
  static wxString CaptionFor(const std::string& pageTitle);

  // CBrowserOwner
  void TitleChange(const std::string& title) override;
  void StatusTextChange(const std::string& text) override;
  void DocumentComplete(const std::string& url, bool topLevel) override;
  CBrowserWnd* CreateNewExplorerWnd() override;
  void OnVisible(bool visible) override;

 private:
  CBrowserWnd* browser_ = nullptr;  // a child window, deleted by wx
  std::function<void(const std::string&)> onComplete_;
  bool madeForPage_ = false;        // opened by a page's window.open
};

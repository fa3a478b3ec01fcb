#pragma once
// CShellFrame: a top-level window showing one browser control over its whole
// client area, with the page title in the caption and the load state in the
// status bar.
#include <functional>
#include <string>

#include <wx/frame.h>

class CBrowserWnd;

class CShellFrame : public wxFrame {
 public:
  CShellFrame();

  CBrowserWnd* Browser() const { return browser_; }
  // Called with the address of every document that finished loading.
  void SetOnDocumentComplete(std::function<void(const std::string& url)> f) { onComplete_ = std::move(f); }

  // The caption for a page title: "<title> - Vyrelle", or "Vyrelle" when the
  // page has no title.
  static wxString CaptionFor(const std::string& pageTitle);

 private:
  CBrowserWnd* browser_ = nullptr;  // a child window, deleted by wx
  std::function<void(const std::string&)> onComplete_;
};

#include "browser/windows/shell_frame.h"

#include <wx/sizer.h>
#include <wx/statusbr.h>

#include "browser/windows/browser_wnd.h"

namespace {
const wxString kProgramName = wxS("Vyrelle");

wxString FromUtf8(const std::string& text) { return wxString::FromUTF8(text.c_str(), text.size()); }
}  // namespace

CShellFrame::CShellFrame()
    : wxFrame(nullptr, wxID_ANY, kProgramName, wxDefaultPosition, wxSize(1024, 768)) {
  CreateStatusBar();

  browser_ = new CBrowserWnd(this);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(browser_, 1, wxEXPAND);
  SetSizer(sizer);

  CBrowserWnd::Events events;
  events.titleChanged = [this](const std::string& title) { SetTitle(CaptionFor(title)); };
  events.loadStarted = [this](const std::string& url) { SetStatusText(FromUtf8(url)); };
  events.loadFinished = [this](const std::string& url, bool succeeded) {
    if (!succeeded) return;
    SetStatusText(wxS("Done"));
    if (onComplete_) onComplete_(url);
  };
  events.loadFailed = [this](const std::string& url, const std::string& message) {
    SetStatusText(FromUtf8(url + ": " + message));
  };
  browser_->SetEvents(std::move(events));
}

wxString CShellFrame::CaptionFor(const std::string& pageTitle) {
  if (pageTitle.empty()) return kProgramName;
  return FromUtf8(pageTitle) + wxS(" - ") + kProgramName;
}

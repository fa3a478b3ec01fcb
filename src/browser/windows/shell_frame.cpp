#include "browser/windows/shell_frame.h"

#include <wx/sizer.h>
#include <wx/statusbr.h>

#include "app/application.h"
#include "browser/windows/browser_wnd.h"

namespace {
const wxString kProgramName = wxS("Vyrelle");

wxString FromUtf8(const std::string& text) { return wxString::FromUTF8(text.c_str(), text.size()); }
}  // namespace

CShellFrame::CShellFrame()
    : wxFrame(nullptr, wxID_ANY, kProgramName, wxDefaultPosition, wxSize(1024, 768)) {
  CreateStatusBar();

  browser_ = new CBrowserWnd(this, this);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(browser_, 1, wxEXPAND);
  SetSizer(sizer);
}

CShellFrame::~CShellFrame() {
  if (browser_) browser_->SetOwner(nullptr);
}

wxString CShellFrame::CaptionFor(const std::string& pageTitle) {
  if (pageTitle.empty()) return kProgramName;
  return FromUtf8(pageTitle) + wxS(" - ") + kProgramName;
}

void CShellFrame::TitleChange(const std::string& title) { SetTitle(CaptionFor(title)); }

void CShellFrame::StatusTextChange(const std::string& text) { SetStatusText(FromUtf8(text)); }

void CShellFrame::DocumentComplete(const std::string& url, bool topLevel) {
  SetStatusText(wxS("Done"));
  if (topLevel && onComplete_) onComplete_(url);
}

CBrowserWnd* CShellFrame::CreateNewExplorerWnd() {
  // Shown when the page's window is ready (OnVisible).
  auto* frame = new CShellFrame();
  frame->madeForPage_ = true;
  return frame->Browser();
}

void CShellFrame::OnVisible(bool visible) {
  // Only a window a page opened may be closed by its page.
  if (visible) {
    Show();
  } else if (madeForPage_) {
    Close();
  }
}

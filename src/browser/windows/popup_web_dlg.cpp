#include "browser/windows/popup_web_dlg.h"

#include <algorithm>

#include <wx/app.h>
#include <wx/combobox.h>
#include <wx/display.h>
#include <wx/gauge.h>

#include "base/application.h"
#include "base/message_box.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/system_tray.h"

namespace {

// How long a declined window waits for its page before it ends anyway.
constexpr int kDeclinedTimeoutMs = 3000;

std::vector<CPopupWebDlg*>& Popups() {
  static std::vector<CPopupWebDlg*> popups;
  return popups;
}

wxString DisplayName() { return wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("Vyrelle"); }

}  // namespace

const std::vector<CPopupWebDlg*>& CPopupWebDlg::All() { return Popups(); }

bool CPopupWebDlg::AnyVisibleExcept(const CPopupWebDlg* except) {
  return std::any_of(Popups().begin(), Popups().end(),
                     [except](const CPopupWebDlg* p) { return p != except && p->IsShown(); });
}

void CPopupWebDlg::ApplyArtToAll() {
  for (CPopupWebDlg* popup : Popups()) popup->ApplyArt();
}

CPopupWebDlg::CPopupWebDlg(vyr::Application& app, const FrameServicesPtr& frame, bool fullFrame)
    : CVyrBrowserDlg(app, DisplayName(), false, frame), fullFrame_(fullFrame) {
  Popups().push_back(this);
  Bind(wxEVT_CLOSE_WINDOW, &CPopupWebDlg::OnCloseWindow, this);
  declinedTimeout_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { EndDeclined(); });
  RebuildButtonStrip();
  LayoutParts();
}

CPopupWebDlg::~CPopupWebDlg() {
  if (pane_) pane_->SetOwner(nullptr);
  declinedTimeout_.Stop();
  auto& popups = Popups();
  popups.erase(std::remove(popups.begin(), popups.end(), this), popups.end());
}

CBrowserWnd* CPopupWebDlg::CreateForPage(vyr::Application& app, const FrameServicesPtr& frame) {
  auto* popup = new CPopupWebDlg(app, frame, true);
  // Inside the engine's request only the window is made; asking, placing and
  // showing happen once the engine has its answer.
  if (app.IsOn(vyr::kMiscWarnOnPopup)) {
    popup->answered_ = false;
    popup->CallAfter([popup] { popup->Ask(); });
  } else {
    popup->CallAfter([popup] { popup->PlaceInCascade(); });
  }
  return popup->Pane();
}

CPopupWebDlg* CPopupWebDlg::OpenPopup(vyr::Application& app, const FrameServicesPtr& frame,
                                      const std::string& address) {
  auto* popup = new CPopupWebDlg(app, frame, true);
  popup->PlaceInCascade();
  popup->NavigatePane(address);
  return popup;
}

CPopupWebDlg* CPopupWebDlg::OpenBeside(vyr::Application& app, const FrameServicesPtr& frame, const std::string& address, int width,
                                       int height) {
  auto* popup = new CPopupWebDlg(app, frame, false);
  const wxRect main = frame->mainRect ? frame->mainRect() : wxRect();
  const wxRect screen = wxDisplay(static_cast<unsigned>(std::max(0, wxDisplay::GetFromWindow(popup)))).GetClientArea();
  // To the right of the main window when there is room, else over its
  // right edge; never off the screen.
  int x = main.GetRight() + 1;
  if (x + width > screen.GetRight()) x = std::max(screen.x, std::min(main.GetRight(), screen.GetRight()) - width);
  const int y = std::clamp(main.y, screen.y, std::max(screen.y, screen.GetBottom() - height));
  popup->SetSize(x, y, width, height);
  popup->Show();
  popup->NavigatePane(address);
  return popup;
}

void CPopupWebDlg::PlaceInCascade() {
  const wxRect screen = wxDisplay(0u).GetGeometry();
  const vyr::Rect r = vyr::PopupRectangle(vyr::NextPopupCascadeOffset(), screen.width, screen.height);
  SetSize(screen.x + r.x, screen.y + r.y, r.width, r.height);
  if (showWhenPlaced_ && !declined_) {
    Show();
    Raise();
  }
}

void CPopupWebDlg::Ask() {
  bool dontAsk = false;
  const int answer = app_.Messages().Question(vyr::kPopupQuestion.Text(), vyr::kPopupQuestionTitle.Text(),
                                              &dontAsk);
  if (dontAsk) app_.Write(vyr::kMiscWarnOnPopup, 0);
  answered_ = true;
  if (answer == vyr::IDOK || answer == vyr::IDYES) {
    PlaceInCascade();
    return;
  }
  declined_ = true;
  // The page may already have started; otherwise its first load event, or
  // the time-out, ends the window.
  if (pageActive_) {
    CallAfter([this] { EndDeclined(); });
  } else {
    declinedTimeout_.StartOnce(kDeclinedTimeoutMs);
  }
}

void CPopupWebDlg::EndDeclined() {
  if (ending_) return;
  ending_ = true;
  declinedTimeout_.Stop();
  if (Pane()) Pane()->Stop();
  Destroy();
}

void CPopupWebDlg::OnCloseWindow(wxCloseEvent&) {
  if (ending_) return;
  ending_ = true;
  if (declined_ || !answered_) {
    Destroy();
    return;
  }
  const bool mainVisible = frame_->mainVisible && frame_->mainVisible();
  const vyr::CloseDecision decision = vyr::KeepAliveAllowsClose(
      app_.Get(vyr::kStartupKeepAlive), SystemTrayAvailable(), false, mainVisible, AnyVisibleExcept(this));
  Hide();
  Destroy();
  if (decision.endProgram && frame_->endProgram) {
    auto end = frame_->endProgram;
    wxTheApp->CallAfter([end] { end(); });
  }
}

// --- notifications -------------------------------------------------------------------

void CPopupWebDlg::BeforeNavigate(const std::string& url, bool topLevel, bool& cancel) {
  if (declined_) {
    cancel = true;
    CallAfter([this] { EndDeclined(); });
    return;
  }
  pageActive_ = true;
  CVyrBrowserDlg::BeforeNavigate(url, topLevel, cancel);
}

void CPopupWebDlg::DownloadBegin() {
  if (declined_) {
    CallAfter([this] { EndDeclined(); });
    return;
  }
  pageActive_ = true;
  CVyrBrowserDlg::DownloadBegin();
}

void CPopupWebDlg::DownloadComplete() {
  if (declined_) {
    CallAfter([this] { EndDeclined(); });
    return;
  }
  pageActive_ = true;
  CVyrBrowserDlg::DownloadComplete();
}

void CPopupWebDlg::TitleChange(const std::string&) {
  // The caption stays the program's name.
}

bool CPopupWebDlg::OnFrameCommand(int command) {
  if (CVyrBrowserDlg::OnFrameCommand(command)) return true;
  // Everything else (new window, search, menus) is the main window's.
  if (wxWindow* main = wxTheApp->GetTopWindow(); main && main != this) {
    wxCommandEvent event(wxEVT_MENU, command);
    main->GetEventHandler()->AddPendingEvent(event);
    return true;
  }
  return false;
}

void CPopupWebDlg::PlaceParts(int width, int height) {
  const int stripHeight = vyr::ToolbarHeight(vyr::kToolbarSmall) - 6;
  vyr::PopupLayout layout = vyr::LayoutPopup(width, height, fullFrame_, stripHeight);
  // Buttons wider than their place push the address box right (it keeps at
  // least 100 pixels) rather than being cut under it.
  if (fullFrame_ && toolbar_) {
    const int extra = std::min(toolbar_->ContentLength() + 4 - layout.buttons.width,
                               layout.addressBox.width - 100);
    if (extra > 0) {
      layout.buttons.width += extra;
      layout.addressBox.x += extra;
      layout.addressBox.width -= extra;
    }
  }
  Place(toolbar_, layout.buttons);
  Place(addressBox_, layout.addressBox);
  Place(pane_, layout.pane);
  // The status bar: text, progress and animation as on the main window.
  vyr::FrameLayoutInput in;
  in.clientWidth = width;
  in.clientHeight = layout.statusBar.height;
  in.showToolbar = in.showAddressBar = in.showContentBar = false;
  in.animationWidth = art_->Images(vyr::SchemeImages::StatusAni)->CellSize().x;
  vyr::FrameLayout status = vyr::LayoutFrame(in);
  auto shift = [&](vyr::Rect r) {
    r.y += layout.statusBar.y;
    return r;
  };
  layout_ = vyr::FrameLayout{};
  layout_.statusBar = layout.statusBar;
  layout_.statusText = shift(status.statusText);
  layout_.progress = shift(status.progress);
  layout_.animation = shift(status.animation);
  Place(gauge_, layout_.progress);
  toolbarRect_ = fullFrame_ ? vyr::Rect{0, 0, width, layout.pane.y} : vyr::Rect{};
  logoRect_ = {};
  addressRowRect_ = {};
  securityRect_ = {};
  statusRect_ = layout_.statusText;
  animationRect_ = layout_.animation;
}

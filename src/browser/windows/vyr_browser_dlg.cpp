#include "browser/windows/vyr_browser_dlg.h"

#include <webkit2/webkit2.h>

#include <algorithm>
#include <iterator>

#include <wx/accel.h>
#include <wx/combobox.h>
#include <wx/dcbuffer.h>
#include <wx/gauge.h>
#include <wx/menu.h>
#include <wx/panel.h>

#include "base/application.h"
#include "app/shell.h"
#include "browser/windows/frame_texts.h"
#include "browser/windows/popup_web_dlg.h"
#include "channels/favorites.h"
#include "channels/windows/add_favorite_dlg.h"
#include "channels/windows/favorites_menu.h"
#include "channels/windows/favorites_organizer_dlg.h"
#include "base/usage_stats.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui/windows/menu_ids.h"
#include "ui/windows/scheme_art.h"

namespace {

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

// The toolbar image of each button (the scheme's toolbar pictures).
enum ToolbarImage {
  kImgBack = 0, kImgForward, kImgStop, kImgRefresh, kImgHome, kImgSearch, kImgFavorites, kImgMail,
  kImgPrint, kImgMenu, kImgTheNet, kImgNews, kImgMoney, kImgLocal, kImgZoom, kImgHistory,
};

// The scheme's logo in its upper and lower pieces; both invalid unless the
// scheme has both.
struct LogoPieces {
  wxBitmap top, bottom;
};
LogoPieces LogoOf(const CSchemeArt& art) {
  const auto top = art.Images(vyr::SchemeImages::LogoTop);
  const auto bottom = art.Images(vyr::SchemeImages::LogoBottom);
  if (top->IsEmpty() || bottom->IsEmpty()) return {};
  return {top->Cell(0), bottom->Cell(0)};
}

}  // namespace

CVyrBrowserDlg::CVyrBrowserDlg(vyr::Application& app, const wxString& title, bool isMain, FrameServicesPtr frame)
    : CSkinnedFrame(nullptr, title, SkinnedWindowOptions{true, true, 0}),
      app_(app),
      isMain_(isMain),
      frame_(frame ? std::move(frame) : std::make_shared<BrowserFrameServices>()),
      art_(CSchemeArt::Current()) {
  toolbarSize_ = isMain ? vyr::ReadToolbarSize(app) : vyr::kToolbarSmall;

  SetSize(900, 650);
  canvas_ = ContentPanel();
  // Everything is drawn into a buffer first: no flicker while the frame
  // animates or resizes.
  canvas_->SetBackgroundStyle(wxBG_STYLE_PAINT);
  canvas_->Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
    wxAutoBufferedPaintDC dc(canvas_);
    OnPaintCanvas(dc);
  });
  canvas_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    LayoutParts();
    event.Skip();
  });

  toolbar_ = new CButtonStrip(canvas_, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  toolbar_->SetName(Wx(frame_text::kToolbarName));  // what screen readers call it
  toolbar_->SetOnCommand([this](int command, int) {
    // Run after the click has been handled: a command may open a dialog.
    CallAfter([this, command] {
      OnFrameCommand(command);
      // A menu or a dialog the command opened had the pointer meanwhile.
      toolbar_->FollowPointer();
    });
  });

  addressBox_ = new wxComboBox(canvas_, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                               0, nullptr, wxTE_PROCESS_ENTER);
  addressBox_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) {
    const std::string text(addressBox_->GetValue().utf8_str());
    CallAfter([this, text] { OnAddressEntered(text); });
  });
  addressBox_->Bind(wxEVT_COMBOBOX, [this](wxCommandEvent&) {
    const std::string text(addressBox_->GetStringSelection().utf8_str());
    if (!text.empty()) CallAfter([this, text] { OnAddressEntered(text); });
  });

  gauge_ = new wxGauge(canvas_, wxID_ANY, 100, wxDefaultPosition, wxDefaultSize,
                       wxGA_HORIZONTAL | wxGA_SMOOTH);
  gauge_->SetValue(0);

  pane_ = new CBrowserWnd(canvas_, this, frame_->policy);
  pane_->SetZoom(vyr::ZoomForTextSize(vyr::ReadTextSize(app)));

  favoritesMenu_ = std::make_unique<CFavoritesMenu>();

  animation_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) {
    ++animationFrame_;
    canvas_->RefreshRect(wxRect(animationRect_.x, animationRect_.y, animationRect_.width,
                                animationRect_.height),
                         false);
  });

  Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
    if (!OnFrameCommand(CommandOfMenuItem(event.GetId()))) event.Skip();
  });
  // The keys every browser has. The page takes Ctrl+N, Ctrl+O and Ctrl+R
  // itself; these reach the frame from the address box and the bars.
  // Nothing here is an editing key of the address box (Ctrl+A, C, V, X, Z).
  wxAcceleratorEntry keys[] = {
      {wxACCEL_ALT, WXK_LEFT, kCmdBack},        {wxACCEL_ALT, WXK_RIGHT, kCmdForward},
      {wxACCEL_NORMAL, WXK_F5, kCmdRefresh},    {wxACCEL_CTRL, 'L', kCmdFocusAddress},
      {wxACCEL_ALT, WXK_HOME, kCmdHome},        {wxACCEL_CTRL, 'P', kCmdPrint},
      {wxACCEL_CTRL, 'N', kNewBrowserWindowCommand}, {wxACCEL_CTRL, 'O', kOpenCommand},
      {wxACCEL_CTRL, 'R', kCmdRefresh},
  };
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));
  // A new window's keys go to its page, not to the first button of its
  // toolbar (where Enter would press it).
  Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
    if (event.IsShown() && !focusGiven_) {
      focusGiven_ = true;
      CallAfter([this] {
        if (pane_) pane_->SetFocus();
      });
    }
    event.Skip();
  });
  // The main window has the menu bar; popups reach the menu by its button.
  if (isMain) SetSkinnedMenu([this] { return BuildMenus(); });
  ApplyArt();
}

CVyrBrowserDlg::~CVyrBrowserDlg() {
  animation_.Stop();
  // The pane may still report while the children go; nothing reaches this
  // half-destroyed frame.
  if (pane_) pane_->SetOwner(nullptr);
}

void CVyrBrowserDlg::ApplyArt() {
  art_ = CSchemeArt::Current();
  ApplySkinArt(art_);
  const CSchemeArt& art = *art_;
  using vyr::SchemeColour;
  CButtonStrip::Colours colours{art.Colour(SchemeColour::ToolBarBack), art.Colour(SchemeColour::ToolBarText),
                                art.Colour(SchemeColour::ToolBarTextRollover),
                                art.Colour(SchemeColour::ToolBarTextSelected),
                                art.Colour(SchemeColour::ToolBarTextDisabled)};
  toolbar_->SetColours(colours);
  toolbar_->SetFonts(art.Font(vyr::SchemeFont::Toolbar), art.Font(vyr::SchemeFont::ToolbarRollover));
  toolbar_->SetImages({art.Images(vyr::SchemeImages::Toolbar), art.Images(vyr::SchemeImages::ToolbarDisabled),
                       art.Images(vyr::SchemeImages::ToolbarRollover)});
  toolbar_->SetSounds("ToolbarRollover", "ToolbarSelect");
  toolbar_->SetSelectOnClick(false);
  addressBox_->SetFont(art.Font(vyr::SchemeFont::URLBar));
  RebuildButtonStrip();
  LayoutParts();
  canvas_->Refresh(false);
}

std::vector<vyr::ButtonStripEntry> CVyrBrowserDlg::ToolbarEntries() const {
  // Each button's tip is its text.
  auto entry = [](int command, const vyr::platform::TextId& text, int image) {
    return vyr::ButtonStripEntry{command, text.Text(), text.Text(), image, 0};
  };
  using namespace frame_text;
  std::vector<vyr::ButtonStripEntry> entries = {
      entry(kCmdBack, kBackButton, kImgBack),
      entry(kCmdForward, kForwardButton, kImgForward),
      entry(kCmdStop, kStopButton, kImgStop),
      entry(kCmdRefresh, kRefreshButton, kImgRefresh),
      entry(kCmdPrint, kPrintButton, kImgPrint),
  };
  entries[0].state = pane_ && pane_->CanGoBack() ? 0 : vyr::ButtonStripModel::kStateDisabled;
  entries[1].state = pane_ && pane_->CanGoForward() ? 0 : vyr::ButtonStripModel::kStateDisabled;
  return entries;
}

void CVyrBrowserDlg::RebuildButtonStrip() {
  toolbar_->SetEntries(ToolbarEntries());
  FitToolbarTexts();
}

void CVyrBrowserDlg::FitToolbarTexts() {
  // Texts on the two bigger toolbars, as long as every button fits with
  // its text; pictures only otherwise.
  const bool texts = toolbarSize_ != vyr::kToolbarSmall;
  toolbar_->SetShowText(texts);
  if (texts && toolbar_->ContentLength() > toolbar_->GetClientSize().x) toolbar_->SetShowText(false);
}

void CVyrBrowserDlg::Place(wxWindow* window, const vyr::Rect& rect) {
  if (!window) return;
  if (rect.width <= 0 || rect.height <= 0) {
    window->Hide();
    return;
  }
  window->SetSize(rect.x, rect.y, rect.width, rect.height);
  window->Show();
}

void CVyrBrowserDlg::LayoutParts() {
  if (!canvas_) return;
  const wxSize size = canvas_->GetClientSize();
  PlaceParts(size.x, size.y);
  FitToolbarTexts();
  canvas_->Refresh(false);
}

vyr::FrameLayoutInput CVyrBrowserDlg::LayoutInput(int width, int height) const {
  vyr::FrameLayoutInput in;
  in.clientWidth = width;
  in.clientHeight = height;
  in.toolbarSize = toolbarSize_;
  in.showToolbar = showToolbar_;
  in.showAddressBar = showAddressBar_;
  in.showContentBar = false;
  in.showStatusBar = showStatusBar_;
  const LogoPieces logo = LogoOf(*art_);
  in.logoWidth = logo.top.IsOk() ? std::max(logo.top.GetWidth(), logo.bottom.GetWidth())
                 : art_->Logo().IsOk() ? art_->Logo().GetWidth()
                                       : 0;
  in.animationWidth = art_->Images(vyr::SchemeImages::StatusAni)->CellSize().x;
  const vyr::SchemeLook& look = art_->Look();
  in.buttons = {look.buttons.top, look.buttons.left, look.buttons.right, look.buttons.bottom};
  return in;
}

void CVyrBrowserDlg::PlaceFrameParts(const vyr::FrameLayoutInput& in) {
  layout_ = vyr::LayoutFrame(in);
  Place(toolbar_, layout_.buttons);
  Place(addressBox_, layout_.addressBox);
  Place(pane_, layout_.pane);
  Place(gauge_, layout_.progress);
  toolbarRect_ = layout_.toolbar;
  logoRect_ = layout_.logo;
  addressRowRect_ = layout_.addressBar;
  securityRect_ = layout_.security;
  statusRect_ = layout_.statusText;
  animationRect_ = layout_.animation;
}

void CVyrBrowserDlg::PlaceParts(int width, int height) { PlaceFrameParts(LayoutInput(width, height)); }

void CVyrBrowserDlg::OnPaintCanvas(wxDC& dc) {
  const CSchemeArt& art = *art_;
  using vyr::SchemeColour;
  const wxSize size = canvas_->GetClientSize();
  dc.SetBackground(art.BackgroundBrush());
  dc.Clear();
  auto fill = [&dc](const vyr::Rect& r, const wxColour& colour) {
    if (r.width <= 0 || r.height <= 0) return;
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(r.x, r.y, r.width, r.height);
  };
  const wxColour back = art.Colour(SchemeColour::ToolBarBack);
  fill(toolbarRect_, back);
  fill(logoRect_, art.Colour(SchemeColour::LogoBack));
  const LogoPieces pieces = LogoOf(art);
  if (pieces.top.IsOk() && logoRect_.width > 0) {
    // The two pieces one above the other, centred together.
    wxDCClipper clip(dc, wxRect(logoRect_.x, logoRect_.y, logoRect_.width, logoRect_.height));
    const int middle = logoRect_.y + logoRect_.height / 2;
    const int shift = (pieces.bottom.GetHeight() - pieces.top.GetHeight()) / 2;
    dc.DrawBitmap(pieces.top, logoRect_.x + (logoRect_.width - pieces.top.GetWidth()) / 2,
                  middle - shift - pieces.top.GetHeight(), true);
    dc.DrawBitmap(pieces.bottom, logoRect_.x + (logoRect_.width - pieces.bottom.GetWidth()) / 2, middle - shift,
                  true);
  } else if (art.Logo().IsOk() && logoRect_.width > 0) {
    const wxBitmap& logo = art.Logo();
    dc.DrawBitmap(logo, logoRect_.x + (logoRect_.width - logo.GetWidth()) / 2,
                  logoRect_.y + (logoRect_.height - logo.GetHeight()) / 2, true);
  }
  // A thin line under the toolbar, darker than its background.
  const wxColour line = back.ChangeLightness(70);
  if (toolbarRect_.height > 0) {
    dc.SetPen(wxPen(line));
    dc.DrawLine(0, toolbarRect_.Bottom() - 1, toolbarRect_.Right(), toolbarRect_.Bottom() - 1);
  }
  if (addressRowRect_.height > 0) {
    fill(addressRowRect_, back.ChangeLightness(108));
    dc.SetFont(art.Font(vyr::SchemeFont::URLBar));
    dc.SetTextForeground(art.Colour(SchemeColour::ToolBarText));
    const wxString label = Wx(vyr::kAddressLabel.Text());
    const wxSize extent = dc.GetTextExtent(label);
    dc.DrawText(label, 8, addressRowRect_.y + (addressRowRect_.height - extent.y) / 2);
    DrawSecurity(dc);
    dc.SetPen(wxPen(line));
    dc.DrawLine(0, addressRowRect_.Bottom() - 1, size.x, addressRowRect_.Bottom() - 1);
  }
  if (layout_.statusBar.height > 0) {
    fill(layout_.statusBar, back);
    dc.SetPen(wxPen(line));
    dc.DrawLine(0, layout_.statusBar.y, size.x, layout_.statusBar.y);
    dc.SetFont(art.Font(vyr::SchemeFont::Toolbar));
    dc.SetTextForeground(art.Colour(SchemeColour::StatusBarText));
    wxDCClipper clip(dc, wxRect(statusRect_.x, statusRect_.y, statusRect_.width, statusRect_.height));
    const wxString text = Wx(statusText_);
    const wxSize extent = dc.GetTextExtent(text.empty() ? wxString("Ag") : text);
    dc.DrawText(text, statusRect_.x, statusRect_.y + (statusRect_.height - extent.y) / 2);
  }
  const auto frames = art.Images(vyr::SchemeImages::StatusAni);
  if (animationRect_.width > 0 && !frames->IsEmpty()) {
    // Frame 0 is the resting picture; the others turn while a page loads.
    const int count = frames->Count();
    const int frame = busy_ && count > 1 ? 1 + animationFrame_ % (count - 1) : 0;
    frames->Draw(dc, frame,
                 wxPoint(animationRect_.x,
                         animationRect_.y + (animationRect_.height - frames->CellSize().y) / 2));
  }
}

void CVyrBrowserDlg::DrawSecurity(wxDC& dc) {
  if (securityRect_.width <= 0 || securityRect_.height <= 0) return;
  // A padlock: closed and green on a secure page, open and grey otherwise.
  const bool secure = vyr::IsSecureAddress(pageUrl_);
  const wxColour colour = secure ? wxColour(46, 125, 50) : wxColour(150, 150, 150);
  const int cx = securityRect_.x + securityRect_.width / 2;
  const int top = securityRect_.y + 3;
  const int bodyTop = securityRect_.y + securityRect_.height / 2 - 1;
  dc.SetPen(wxPen(colour, 2));
  dc.SetBrush(*wxTRANSPARENT_BRUSH);
  if (secure) {
    dc.DrawEllipticArc(cx - 5, top, 10, 12, 0, 180);
    dc.DrawLine(cx - 5, top + 6, cx - 5, bodyTop);
    dc.DrawLine(cx + 5, top + 6, cx + 5, bodyTop);
  } else {
    dc.DrawEllipticArc(cx - 1, top - 2, 10, 12, 0, 180);
    dc.DrawLine(cx + 9, top + 4, cx + 9, bodyTop - 3);
  }
  dc.SetPen(*wxTRANSPARENT_PEN);
  dc.SetBrush(wxBrush(colour));
  dc.DrawRoundedRectangle(cx - 7, bodyTop, 14, securityRect_.Bottom() - bodyTop - 2, 2);
}

void CVyrBrowserDlg::NavigatePane(const std::string& address) {
  if (pane_ && !address.empty()) pane_->Navigate(address);
}

void CVyrBrowserDlg::SetStatus(const std::string& text) {
  // With nothing of its own to say, the line shows the window's notice.
  const std::string shown = text.empty() ? notice_ : text;
  if (shown == statusText_) return;
  statusText_ = shown;
  canvas_->RefreshRect(wxRect(statusRect_.x, statusRect_.y, statusRect_.width, statusRect_.height), false);
}

void CVyrBrowserDlg::SetNotice(const std::string& text) {
  notice_ = text;
  SetStatus(text);
}

void CVyrBrowserDlg::StartBusy() {
  busy_ = true;
  animationFrame_ = 0;
  if (!animation_.IsRunning()) animation_.Start(100);
}

void CVyrBrowserDlg::StopBusy() {
  busy_ = false;
  animation_.Stop();
  canvas_->RefreshRect(wxRect(animationRect_.x, animationRect_.y, animationRect_.width, animationRect_.height),
                       false);
}

// --- notifications ---------------------------------------------------------------

void CVyrBrowserDlg::StatusTextChange(const std::string& text) {
  SetStatus(text);
  if (!showStatusBar_) {
    showStatusBar_ = true;
    LayoutParts();
  }
}

void CVyrBrowserDlg::RollOverTextChange(const std::string& text) { StatusTextChange(text); }

void CVyrBrowserDlg::DownloadBegin() {
  gauge_->SetRange(100);
  gauge_->SetValue(5);
  SetStatus(vyr::kGrabbingText.Text());
  StartBusy();
}

void CVyrBrowserDlg::DownloadComplete() {
  gauge_->SetRange(100);
  gauge_->SetValue(0);
  SetStatus("");
  StopBusy();
}

void CVyrBrowserDlg::BeforeNavigate(const std::string&, bool, bool&) {}

void CVyrBrowserDlg::CommandStateChange(int command, bool enabled) {
  if (command == kCommandForward) toolbar_->EnableCommand(kCmdForward, enabled);
  if (command == kCommandBack) toolbar_->EnableCommand(kCmdBack, enabled);
}

void CVyrBrowserDlg::ProgressChange(int progress, int maximum) {
  if (maximum <= 0) return;
  gauge_->SetRange(maximum);
  gauge_->SetValue(std::clamp(progress, 0, maximum));
}

void CVyrBrowserDlg::NavigateComplete(const std::string& url, bool topLevel) {
  if (!topLevel) return;
  // A page view: the engine reports commits of the main frame only, so a
  // page's frames are never counted.
  if (frame_->countUsage) frame_->countUsage(vyr::kUsagePageView);
  pageUrl_ = pane_ ? pane_->CurrentUrl() : url;
  if (pageUrl_.empty()) pageUrl_ = url;
  addressBox_->ChangeValue(Wx(pageUrl_));
  canvas_->RefreshRect(wxRect(securityRect_.x, securityRect_.y, securityRect_.width, securityRect_.height),
                       false);
}

void CVyrBrowserDlg::OnToolBar(bool show) {
  showAddressBar_ = show;
  LayoutParts();
}

void CVyrBrowserDlg::OnMenuBar(bool show) {
  showToolbar_ = show;
  LayoutParts();
}

void CVyrBrowserDlg::OnStatusBar(bool show) {
  showStatusBar_ = show;
  LayoutParts();
}

void CVyrBrowserDlg::OnVisible(bool visible) {
  if (!visible) {
    // The page closed its window: a popup goes; the main window stays.
    if (!isMain_) CallAfter([this] { Close(); });
    return;
  }
  if (MayShow()) CallAfter([this] { Show(); });
}

CBrowserWnd* CVyrBrowserDlg::CreateNewExplorerWnd() { return CPopupWebDlg::CreateForPage(app_, frame_); }

void CVyrBrowserDlg::OnBrowserCommand(int command) {
  CallAfter([this, command] { OnFrameCommand(command); });
}

bool CVyrBrowserDlg::HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) {
  if (frame_->specialAddress) return frame_->specialAddress(url, verdict);
  // Without a filter nothing special runs, and a command link or a mailto
  // link is not loaded either.
  return (verdict.takes & (vyr::kTakesCommands | vyr::kTakesMailto)) != 0 && url.rfind("mailto:", 0) == 0;
}

void CVyrBrowserDlg::DoSearch() {
  CallAfter([this] { OnFrameCommand(kCmdSearch); });
}

// --- commands --------------------------------------------------------------------

std::string CVyrBrowserDlg::HomeAddress() const { return {}; }

void CVyrBrowserDlg::OnAddressEntered(const std::string& text) { NavigatePane(text); }

void CVyrBrowserDlg::EditCommand(const char* command) {
  if (pane_ && pane_->WebView()) webkit_web_view_execute_editing_command(pane_->WebView(), command);
}

bool CVyrBrowserDlg::OnFrameCommand(int command) {
  switch (command) {
    case kCmdBack: pane_->GoBack(); return true;
    case kCmdForward: pane_->GoForward(); return true;
    case kCmdStop: pane_->Stop(); return true;
    case kCmdRefresh: pane_->Reload(); return true;
    case kCmdHome: NavigatePane(HomeAddress()); return true;
    case kCmdPrint:
      if (pane_->WebView()) {
        WebKitPrintOperation* print = webkit_print_operation_new(pane_->WebView());
        webkit_print_operation_run_dialog(print, nullptr);
        g_object_unref(print);
      }
      return true;
    case kCmdCut: EditCommand(WEBKIT_EDITING_COMMAND_CUT); return true;
    case kCmdCopy: EditCommand(WEBKIT_EDITING_COMMAND_COPY); return true;
    case kCmdPaste: EditCommand(WEBKIT_EDITING_COMMAND_PASTE); return true;
    case kCmdSelectAll: EditCommand(WEBKIT_EDITING_COMMAND_SELECT_ALL); return true;
    case kCmdClose: Close(); return true;
    case kCmdMenu: ShowFullMenu(); return true;
    case kCmdPlaySounds:
      app_.SetSoundsEnabled(!app_.SoundsEnabled());
      app_.Write(vyr::kMiscPlaySounds, app_.SoundsEnabled() ? 1 : 0);
      return true;
    case kCmdAddFavorite: {
      std::string folder;
      if (vyr::FindFavoritesFolder(app_, folder))
        AddToFavorites(this, app_, folder, pane_->Title(), pane_->CurrentUrl());
      return true;
    }
    case kCmdFavorites:
      CFavoritesOrganizerDlg::Run(
          this, app_,
          [this](const std::string& address) {
            NavigatePane(address);
            return true;
          },
          pane_->Title(), pane_->CurrentUrl());
      return true;
    case kCmdImportBookmarks: ImportBookmarksFromUser(this, app_); return true;
    case kCmdFocusAddress:
      if (addressBox_->IsShown()) {
        addressBox_->SetFocus();
        addressBox_->SelectAll();
      }
      return true;
    default:
      if (CFavoritesMenu::IsFavoriteCommand(command)) {
        if (const std::string address = favoritesMenu_->AddressFor(command); !address.empty()) NavigatePane(address);
        return true;
      }
      if (command >= kCmdTextSize0 && command <= kCmdTextSize0 + 4) {
        const int size = command - kCmdTextSize0;
        app_.Write(vyr::kMiscTextSize, size);
        pane_->SetZoom(vyr::ZoomForTextSize(size));
        return true;
      }
      return false;
  }
}

std::unique_ptr<wxMenu> CVyrBrowserDlg::BuildFullMenu() {
  using namespace frame_text;
  // The keys shown beside an item are added here: they are the same in
  // every language.
  auto withKey = [](const TextId& text, const char* key) { return Wx(text.Text() + "\t" + key); };
  auto menu = std::make_unique<wxMenu>();
  auto* file = new wxMenu;
  file->Append(MenuItemId(kNewBrowserWindowCommand), withKey(kNewWindowItem, "Ctrl+N"));
  file->Append(MenuItemId(kOpenCommand), withKey(kOpenItem, "Ctrl+O"));
  file->Append(MenuItemId(kCmdPrint), Wx(kPrintItem));
  file->AppendSeparator();
  file->Append(MenuItemId(kCmdClose), Wx(kCloseItem));
  file->Append(MenuItemId(kCmdExit), Wx(kExitItem));
  menu->AppendSubMenu(file, Wx(kFileMenu));

  auto* edit = new wxMenu;
  edit->Append(MenuItemId(kCmdCut), Wx(kCutItem));
  edit->Append(MenuItemId(kCmdCopy), Wx(kCopyItem));
  edit->Append(MenuItemId(kCmdPaste), Wx(kPasteItem));
  edit->AppendSeparator();
  edit->Append(MenuItemId(kCmdSelectAll), Wx(kSelectAllItem));
  menu->AppendSubMenu(edit, Wx(kEditMenu));

  auto* view = new wxMenu;
  view->Append(MenuItemId(kCmdToolbarSize), Wx(kToolbarSizeItem));
  view->Append(MenuItemId(kCmdZoom), Wx(kZoomItem));
  view->AppendCheckItem(MenuItemId(kCmdShowContentBar), Wx(kContentBarItem));
  auto* text = new wxMenu;
  const int current = vyr::ReadTextSize(app_);
  for (int i = 0; i < 5; ++i)
    text->AppendRadioItem(MenuItemId(kCmdTextSize0 + i), Wx(kTextSizeItems[i]))->Check(i == current);
  view->AppendSubMenu(text, Wx(kTextSizeMenu));
  view->AppendSeparator();
  view->Append(MenuItemId(kCmdStop), Wx(kStopItem));
  view->Append(MenuItemId(kCmdRefresh), withKey(kRefreshItem, "Ctrl+R"));
  menu->AppendSubMenu(view, Wx(kViewMenu));

  auto* go = new wxMenu;
  go->Append(MenuItemId(kCmdBack), Wx(kBackItem))->Enable(pane_->CanGoBack());
  go->Append(MenuItemId(kCmdForward), Wx(kForwardItem))->Enable(pane_->CanGoForward());
  go->Append(MenuItemId(kCmdHome), Wx(kHomePageItem));
  go->Append(MenuItemId(kCmdSearch), Wx(kSearchItem));
  go->Append(MenuItemId(kCmdHistory), Wx(kHistoryItem));
  menu->AppendSubMenu(go, Wx(kGoMenu));

  auto* favorites = new wxMenu;
  favorites->Append(MenuItemId(kCmdAddFavorite), Wx(kAddFavoriteItem));
  favorites->Append(MenuItemId(kCmdFavorites), Wx(kOrganizeFavoritesItem));
  favorites->Append(MenuItemId(kCmdImportBookmarks), Wx(kImportBookmarksItem));
  favoritesMenu_->Fill(favorites, app_);
  menu->AppendSubMenu(favorites, Wx(kFavoritesMenu));

  auto* tools = new wxMenu;
  tools->Append(MenuItemId(kCmdMail), Wx(kReadMailItem));
  tools->AppendCheckItem(MenuItemId(kCmdWarnOnPopup), Wx(kWarnOnPopupItem))
      ->Check(app_.IsOn(vyr::kMiscWarnOnPopup));
  tools->AppendSeparator();
  tools->Append(MenuItemId(vyr::kChannelDesignerCommand), Wx(kChannelDesignerItem));
  tools->AppendCheckItem(MenuItemId(kCmdPlaySounds), Wx(kPlaySoundsItem))->Check(app_.SoundsEnabled());
  tools->AppendSeparator();
  tools->Append(MenuItemId(kCmdStartupOptions), Wx(kStartupOptionsItem));
  tools->Append(MenuItemId(kCmdEnhancedBrowsing), Wx(kEnhancedBrowsingItem));
  tools->Append(MenuItemId(kCmdEmailSettings), Wx(kEmailSettingsItem));
  tools->Append(MenuItemId(kCmdSpeedBooster), Wx(kSpeedBoosterItem));
  tools->Append(MenuItemId(kCmdDialUp), Wx(kDialUpItem));
  tools->Append(MenuItemId(vyr::kLookAndFeelCommand), Wx(kLookAndFeelItem));
  menu->AppendSubMenu(tools, Wx(kToolsMenu));

  auto* help = new wxMenu;
  help->Append(MenuItemId(kCmdRelatedPages), Wx(kRelatedPagesItem));
  help->Append(MenuItemId(kCmdSupportMail), Wx(kSupportMailItem));
  help->Append(MenuItemId(wxID_ABOUT), Wx(kAboutItem));
  menu->AppendSubMenu(help, Wx(kHelpMenu));
  return menu;
}

std::vector<SkinnedMenu> CVyrBrowserDlg::BuildMenus() {
  std::unique_ptr<wxMenu> full = BuildFullMenu();
  std::vector<SkinnedMenu> menus;
  while (full->GetMenuItemCount() > 0) {
    wxMenuItem* item = full->Remove(full->FindItemByPosition(0));
    if (wxMenu* sub = item->GetSubMenu()) {
      item->SetSubMenu(nullptr);
      menus.push_back({item->GetItemLabel(), std::unique_ptr<wxMenu>(sub)});
    }
    delete item;
  }
  return menus;
}

void CVyrBrowserDlg::ShowFullMenu() {
  std::unique_ptr<wxMenu> menu = BuildFullMenu();
  // At the pointer, which is on the Menu button that was clicked.
  canvas_->PopupMenu(menu.get());
}

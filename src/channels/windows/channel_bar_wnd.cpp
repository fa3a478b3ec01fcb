#include "channels/windows/channel_bar_wnd.h"

#include <glib.h>

#include <algorithm>
#include <optional>

#include <wx/dcbuffer.h>
#include <wx/toplevel.h>

#include "base/application.h"
#include "net/connection_manager.h"
#include "platform/file_system.h"
#include "platform/memory_status.h"
#include "platform/string_table.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/link_drop_target.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/window_timers.h"

namespace {

using vyr::SchemeColour;
using vyr::platform::TextId;

constexpr TextId kErrorLoadingChannels{40620};
// What screen readers call the column and the strips.
constexpr TextId kColumnName{40630};
constexpr TextId kFolderStripName{40631};
constexpr TextId kPageStripName{40632};

wxString Wx(const TextId& text) { return wxString::FromUTF8(text.Text()); }

// The welcome page the info box shows until its first rotation.
const char kStartupPageText[] =
    "<HTML><BODY BGCOLOR=000000>\n<TABLE WIDTH=100><TR><TD ALIGN=CENTER>\n"
    "<FONT COLOR=AAAAFF>Welcome<BR>to<BR>Vyrelle</FONT>\n\t\t\t<TR></TD></TABLE></HTML>";

constexpr int kTopButtonHeight = 24;
// The info box view is wider than the column, so that its own scroll bar
// falls outside the bar.
constexpr int kBoxExtra = 20;

std::vector<vyr::ButtonStripEntry> StripEntries(const std::vector<vyr::StripEntry>& from) {
  std::vector<vyr::ButtonStripEntry> entries;
  for (const vyr::StripEntry& e : from) entries.push_back({e.command, e.text, {}, e.image, e.state});
  return entries;
}

// Local pages are shown as file addresses.
std::string AddressOf(const std::string& pathOrAddress) {
  if (pathOrAddress.empty() || pathOrAddress[0] != '/') return pathOrAddress;
  gchar* uri = g_filename_to_uri(pathOrAddress.c_str(), nullptr, nullptr);
  if (!uri) return pathOrAddress;
  std::string address = uri;
  g_free(uri);
  return address;
}

// A strip's look: its scheme colours and font, and its pictures. The column
// has one list; the folder and page strips also have the lists for an entry
// under the pointer and a disabled one.
struct StripLook {
  SchemeColour back, text, rollover, selected, disabled;
  vyr::SchemeFont font;
  vyr::SchemeImages images;
  std::optional<vyr::SchemeImages> disabledImages, rolloverImages;
};

constexpr StripLook kColumnLook{SchemeColour::ButtonBack,         SchemeColour::ButtonText,
                                SchemeColour::ButtonTextRollover, SchemeColour::ButtonTextSelected,
                                SchemeColour::ButtonTextDisabled, vyr::SchemeFont::Channel,
                                vyr::SchemeImages::ChanBar,       std::nullopt,
                                std::nullopt};
constexpr StripLook kFolderLook{SchemeColour::FoldersBack,         SchemeColour::FoldersText,
                                SchemeColour::FoldersTextRollover, SchemeColour::FoldersTextSelected,
                                SchemeColour::FoldersTextDisabled, vyr::SchemeFont::Folder,
                                vyr::SchemeImages::FolderBar,      vyr::SchemeImages::FolderBarDisabled,
                                vyr::SchemeImages::FolderBarRollover};
constexpr StripLook kPageLook{SchemeColour::SitesBack,         SchemeColour::SitesText,
                              SchemeColour::SitesTextRollover, SchemeColour::SitesTextSelected,
                              SchemeColour::SitesTextDisabled, vyr::SchemeFont::Sites,
                              vyr::SchemeImages::FolderBar,    vyr::SchemeImages::FolderBarDisabled,
                              vyr::SchemeImages::FolderBarRollover};

void StyleStrip(CButtonStrip& strip, const CSchemeArt& art, const StripLook& look) {
  strip.SetColours({art.Colour(look.back), art.Colour(look.text), art.Colour(look.rollover),
                    art.Colour(look.selected), art.Colour(look.disabled)});
  wxFont rolloverFont = art.Font(look.font);
  if (art.Look().underlineRollover) rolloverFont.SetUnderlined(true);
  strip.SetFonts(art.Font(look.font), rolloverFont);
  auto optional = [&art](std::optional<vyr::SchemeImages> which) {
    return which ? art.Images(*which) : nullptr;
  };
  strip.SetImages({art.Images(look.images), optional(look.disabledImages), optional(look.rolloverImages)});
  strip.SetBackgroundColour(art.Colour(look.back));
}

std::string CssColour(const wxColour& colour) {
  return std::string(colour.GetAsString(wxC2S_HTML_SYNTAX).utf8_str());
}

// The info box's pages that come with the program (the start page, the
// rotating pages, "newmail.htm") draw with these properties, so that the box
// takes the colours of the bar around it in every scheme. Other pages keep
// their own look: the sheet only names colours.
std::string InfoBoxStyleSheet(const CSchemeArt& art) {
  return ":root{--vyrelle-box-back:" + CssColour(art.Colour(SchemeColour::ButtonBack)) +
         ";--vyrelle-box-text:" + CssColour(art.Colour(SchemeColour::ButtonText)) +
         ";--vyrelle-box-accent:" + CssColour(art.Colour(SchemeColour::ButtonTextRollover)) + "}";
}

}  // namespace

// The info box view as the rotation sees it.
class CChannelBarWnd::BoxView : public vyr::net::InfoBoxView {
 public:
  explicit BoxView(CChannelBarWnd& bar) : bar_(bar) {}
  void Navigate(const std::string& address) override {
    if (bar_.view_) bar_.view_->Navigate(AddressOf(address));
  }
  void Refresh() override {
    if (bar_.view_) bar_.view_->Reload();
  }
  std::string CurrentAddress() const override { return bar_.view_ ? bar_.view_->CurrentUrl() : std::string(); }
  // Only the view itself: the bar's own show and hide restart the rotation,
  // which the rotation's copy of a page must not do.
  void Show(bool visible) override {
    if (bar_.view_) bar_.view_->Show(visible);
  }

 private:
  CChannelBarWnd& bar_;
};

bool CChannelBarOwner::ProgramHasFocus() const {
  // A window of the program is the active one even when no part of it holds
  // the focus (the part that had it was hidden, as the bar by
  // "hidechannelbar").
  for (wxWindow* window : wxTopLevelWindows) {
    auto* topLevel = dynamic_cast<wxTopLevelWindow*>(window);
    if (topLevel && topLevel->IsActive()) return true;
  }
  return wxWindow::FindFocus() != nullptr;
}

CChannelBarWnd::CChannelBarWnd(wxWindow* parent, CChannelBarOwner& owner, Services services, wxWindowID id)
    : wxPanel(parent, id, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE),
      owner_(owner),
      services_(std::move(services)),
      art_(CSchemeArt::Current()),
      model_(
          services_.channels, [this](const std::string& address) { owner_.NavigateMainBrowser(address); },
          [this](const std::string& counter) { services_.counters.CountUsage(counter); }) {
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  timers_ = std::make_unique<CWindowTimers>([this](unsigned timer) { OnTimer(timer); });
  handle_ = vyr::platform::WindowMessages::Instance().Register(this);

  if (services_.session) {
    sessionInUse_ = services_.session;
  } else {
    vyr::net::SessionHooks sessionHooks;
    sessionHooks.mainWindow = [this] { return handle_; };
    sessionHooks.mainBrowserNavigates2 = [this] { return owner_.MainBrowserNavigates2(); };
    sessionHooks.browserWindowVisible = [this] { return owner_.BrowserWindowVisible(); };
    sessionHooks.online = [] { return vyr::net::IsOnline(); };
    session_ = std::make_unique<vyr::net::ServerSession>(services_.app, services_.counters, services_.tracked,
                                                         *timers_, std::move(sessionHooks), services_.system,
                                                         services_.startTick);
    sessionInUse_ = session_.get();
  }

  column_ = new CButtonStrip(this, wxID_ANY, vyr::ButtonStripModel::Orientation::Vertical);
  column_->SetName(Wx(kColumnName));
  column_->SetSounds("ChannelsRollover", "ChannelsSelect");
  column_->SetOnCommand([this](int command, int) { ChooseFromColumn(command); });

  // The box shows the home server's and the program's own pages; it opens no
  // windows and saves no files.
  view_ = new CBrowserWnd(this, this, vyr::NavigationPolicy::ForInfoBox(services_.app, ""), kInfoBoxControlId);
  boxView_ = std::make_unique<BoxView>(*this);
  vyr::net::InfoBoxHooks boxHooks;
  boxHooks.rotationOn = [this] { return owner_.RotationOn(); };
  boxHooks.connected = [] { return vyr::net::IsOnline(); };
  boxHooks.focusInProgram = [this] { return owner_.ProgramHasFocus(); };
  boxHooks.openInMainBrowser = [this](const std::string& address) { OpenInMainWindow(address); };
  infoBox_ = std::make_unique<vyr::net::InfoBoxModel>(services_.app, services_.counters, services_.tracked,
                                                      *timers_, *boxView_, std::move(boxHooks));
  sessionInUse_->AttachInfoBoxAds(&infoBox_->Ads());
  infoBox_->LoadAdIds();

  // A link dragged onto the bar or its column asks for the channel designer.
  auto report = [this](unsigned message, int, const std::string& address) { OnLinkDragged(message, address); };
  SetDropTarget(new CLinkDropTarget(report));
  column_->SetDropTarget(new CLinkDropTarget(report));

  ApplyArt(art_);
  ShowStartupPage();
  if (session_) session_->OnBarCreated();
  infoBox_->OnBarShownOrHidden();  // the first rotation after [Misc] box seconds

  Bind(wxEVT_SIZE, &CChannelBarWnd::OnSize, this);
  Bind(wxEVT_PAINT, &CChannelBarWnd::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CChannelBarWnd::OnMouseDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CChannelBarWnd::OnMouseDown, this);
  Bind(wxEVT_LEFT_UP, &CChannelBarWnd::OnMouseUp, this);
  Bind(wxEVT_MOTION, &CChannelBarWnd::OnMotion, this);
  Bind(wxEVT_LEAVE_WINDOW, [this](wxMouseEvent&) { StopScrolling(); });
  Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { StopScrolling(); });

  FillColumn();
}

CChannelBarWnd::~CChannelBarWnd() {
  // Nothing fires or calls back once the bar is going.
  if (HasCapture()) ReleaseMouse();
  timers_->KillTimer(kScrollTimer);
  for (unsigned id : {vyr::net::kStartTimer, vyr::net::kPingTimer, vyr::net::kRotationTimer}) timers_->KillTimer(id);
  vyr::platform::WindowMessages::Instance().Unregister(handle_);
  if (view_) view_->SetOwner(nullptr);
  if (!session_ && sessionInUse_) sessionInUse_->AttachInfoBoxAds(nullptr);
  infoBox_.reset();
  session_.reset();  // waits a moment for requests still under way
}

CButtonStrip* CChannelBarWnd::CreateFolderStrip(wxWindow* parent) {
  if (folderStrip_) return folderStrip_;
  folderStrip_ = new CButtonStrip(parent, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  folderStrip_->SetName(Wx(kFolderStripName));
  folderStrip_->SetOnCommand([this](int command, int) { ChooseFolderEntry(command); });
  StyleStrip(*folderStrip_, *art_, kFolderLook);
  UpdateStrips();
  return folderStrip_;
}

CButtonStrip* CChannelBarWnd::CreatePageStrip(wxWindow* parent) {
  if (pageStrip_) return pageStrip_;
  pageStrip_ = new CButtonStrip(parent, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  pageStrip_->SetName(Wx(kPageStripName));
  pageStrip_->SetOnCommand([this](int command, int) { ChoosePage(command); });
  StyleStrip(*pageStrip_, *art_, kPageLook);
  UpdateStrips();
  return pageStrip_;
}

void CChannelBarWnd::ApplyArt(std::shared_ptr<const CSchemeArt> art) {
  if (!art) return;
  art_ = std::move(art);
  SetBackgroundColour(art_->Colour(SchemeColour::ButtonBack));
  StyleStrip(*column_, *art_, kColumnLook);
  if (folderStrip_) {
    StyleStrip(*folderStrip_, *art_, kFolderLook);
    folderStrip_->Refresh();
  }
  if (pageStrip_) {
    StyleStrip(*pageStrip_, *art_, kPageLook);
    pageStrip_->Refresh();
  }
  view_->SetUserStyleSheet(InfoBoxStyleSheet(*art_));
  column_->Refresh();
  wxPanel::Refresh();
}

void CChannelBarWnd::ShowStartupPage() {
  std::string page = services_.app.ResolveSchemeFile("startup.htm", true);
  if (page.empty()) return;
  if (!vyr::platform::FileExists(page)) {
    vyr::platform::CreateDirectories(vyr::platform::ParentFolder(page));
    // A scheme folder that cannot be written leaves the box empty.
    if (!vyr::platform::WriteFileAtomically(page, kStartupPageText)) return;
  }
  infoBoxAddress_ = page;
  boxView_->Navigate(page);
}

void CChannelBarWnd::FillColumn() {
  if (!model_.FillColumn()) services_.app.Messages().Error(kErrorLoadingChannels);
  column_->SetEntries(StripEntries(model_.Column()));
  column_->Select(-1);
  column_->Refresh();
}

void CChannelBarWnd::SelectChannel(int index, bool fromBar) {
  model_.SetSuppressNavigation(owner_.SuppressNavigation());
  model_.SelectChannel(index, fromBar);
  column_->Select(model_.CurrentChannel());
  column_->Refresh();
  UpdateStrips();
}

void CChannelBarWnd::ChannelsChanged(const std::string& shownChannel) {
  FillColumn();
  const vyr::ChannelSet& set = services_.channels.Set();
  if (set.Count() == 0) return;
  int index = 0;
  for (size_t i = 0; i < set.Count(); ++i) {
    if (set.At(i)->name == shownChannel) {
      index = static_cast<int>(i);
      break;
    }
  }
  model_.SetSuppressNavigation(true);
  model_.SelectChannel(index, false);
  column_->Select(model_.CurrentChannel());
  column_->Refresh();
  UpdateStrips();
}

void CChannelBarWnd::ChooseFromColumn(int command) { SelectChannel(command - vyr::kChannelCommandBase, true); }

void CChannelBarWnd::ChooseFolderEntry(int command) {
  model_.SetSuppressNavigation(owner_.SuppressNavigation());
  // Entry 0, the channel's name, carries the first item's command too, so no
  // entry ever names a position before the first item.
  model_.OpenItem(std::max(0, command - vyr::kItemCommandBase));
  UpdateStrips();
}

void CChannelBarWnd::ChoosePage(int command) {
  model_.SetSuppressNavigation(owner_.SuppressNavigation());
  model_.OpenPage(std::max(0, command - vyr::kPageCommandBase));
  UpdateStrips();
}

void CChannelBarWnd::UpdateStrips() {
  if (folderStrip_) {
    folderStrip_->SetEntries(StripEntries(model_.FolderStrip()));
    folderStrip_->Select(model_.FolderStrip().empty() ? -1 : model_.FolderSelection());
    folderStrip_->Refresh();
  }
  if (pageStrip_) {
    pageStrip_->SetEntries(StripEntries(model_.PageStrip()));
    pageStrip_->Select(model_.PageStrip().empty() ? -1 : model_.PageSelection());
    pageStrip_->Refresh();
  }
  if (model_.PageStripShown() != pageStripShown_) {
    pageStripShown_ = model_.PageStripShown();
    owner_.ShowPageStrip(pageStripShown_);
  }
}

void CChannelBarWnd::ScrollUp() {
  column_->ScrollBy(-1);
  column_->Refresh();
}

void CChannelBarWnd::ScrollDown() {
  column_->ScrollBy(1, true);
  column_->Refresh();
}

void CChannelBarWnd::ShowInfoBoxHome() {
  if (!owner_.ProgramHasFocus()) return;
  const std::string temp = services_.app.GetDataDirectory("_TEMP", true);
  if (!temp.empty()) boxView_->Navigate(temp + "vyrbox.htm");
}

void CChannelBarWnd::ShowBar(bool shown) {
  wxPanel::Show(shown);
  infoBox_->OnBarShownOrHidden();
}

void CChannelBarWnd::Layout(const wxSize& size) {
  topStrip_ = kTopButtonHeight;
  const int w = size.x, h = size.y, t = topStrip_, b = boxHeight_;
  column_->SetSize(0, t, w, std::max(0, h - t - b - t));
  view_->SetSize(0, h - b, w + kBoxExtra, b + kBoxExtra);
  wxPanel::Refresh();
}

void CChannelBarWnd::OnSize(wxSizeEvent& event) {
  Layout(GetClientSize());
  event.Skip();
}

void CChannelBarWnd::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(art_->Colour(SchemeColour::ButtonBack)));
  dc.Clear();
  // The two scroll strips, each with an arrow pointing the way it scrolls.
  const wxColour ink = art_->Colour(SchemeColour::ButtonText);
  dc.SetPen(wxPen(ink));
  dc.SetBrush(wxBrush(ink));
  const int mid = size.x / 2, t = topStrip_;
  const int topMid = std::min(kTopButtonHeight, t) / 2;
  const int bottomMid = size.y - boxHeight_ - t / 2;
  const wxPoint up[] = {{mid - 5, topMid + 3}, {mid + 5, topMid + 3}, {mid, topMid - 3}};
  const wxPoint down[] = {{mid - 5, bottomMid - 3}, {mid + 5, bottomMid - 3}, {mid, bottomMid + 3}};
  dc.DrawPolygon(3, up);
  dc.DrawPolygon(3, down);
}

int CChannelBarWnd::ScrollStripAt(const wxPoint& point) const {
  const int h = GetClientSize().y, y = point.y;
  if (point.x < 0 || point.x >= GetClientSize().x) return 0;
  if (y >= 1 && y <= topStrip_ - 1) return -1;
  if (y >= h - boxHeight_ - topStrip_ && y < h - boxHeight_) return 1;
  return 0;
}

void CChannelBarWnd::OnMouseDown(wxMouseEvent& event) {
  const int direction = ScrollStripAt(event.GetPosition());
  if (direction == 0) return;
  direction < 0 ? ScrollUp() : ScrollDown();
  autoScroll_ = direction;
  if (!HasCapture()) CaptureMouse();
  timers_->SetTimer(kScrollTimer, kScrollRepeatMs);
}

void CChannelBarWnd::OnMouseUp(wxMouseEvent&) { StopScrolling(); }

void CChannelBarWnd::OnMotion(wxMouseEvent& event) {
  if (autoScroll_ != 0 && ScrollStripAt(event.GetPosition()) == 0) StopScrolling();
}

void CChannelBarWnd::StopScrolling() {
  autoScroll_ = 0;
  timers_->KillTimer(kScrollTimer);
  if (HasCapture()) ReleaseMouse();
}

void CChannelBarWnd::OnTimer(unsigned id) {
  if (id == kScrollTimer) {
    if (autoScroll_ < 0) ScrollUp();
    if (autoScroll_ > 0) ScrollDown();
    if (autoScroll_ == 0) timers_->KillTimer(kScrollTimer);
    return;
  }
  vyr::platform::CompactHeap();
  if (session_ && (id == vyr::net::kStartTimer || id == vyr::net::kPingTimer)) session_->OnTimer(id);
  if (id == vyr::net::kRotationTimer) infoBox_->Rotate();
}

void CChannelBarWnd::OnWindowMessage(const vyr::platform::WindowMessage& message) {
  if (message.message == vyr::net::kServerCommandMessage && message.text) owner_.RunServerCommand(*message.text);
}

void CChannelBarWnd::BeforeNavigate(const std::string& url, bool topLevel, bool& cancel) {
  // Sub-frames of the box's pages load inside it.
  if (!topLevel) return;
  const vyr::NavigationFacts* origin = view_ ? view_->DecidingFacts() : nullptr;
  if (origin && origin->startedByShell) {
    // The program's own page: the one navigation the suppress flag waits for.
    if (infoBox_->SuppressNext()) infoBox_->OnViewNavigating(url);
    return;
  }
  // Only a navigation the user started is a click; a redirect, a page's
  // script or the engine's blank page load in the box. The view announces a
  // navigation twice (message 1362 and this question): counting here alone
  // makes one user action one click.
  if (!origin || !origin->userGesture) return;
  cancel = infoBox_->OnViewNavigating(url);
}

void CChannelBarWnd::NewWindowRefused(const std::string& url, const vyr::NavigationVerdict& verdict) {
  if (!verdict.userStarted) return;
  // A click: counted as one, and opened in the main window even when it
  // names a page of the box's own folders.
  if (!infoBox_->OnViewNavigating(url)) OpenInMainWindow(url);
}

void CChannelBarWnd::OpenInMainWindow(const std::string& address) {
  const vyr::NavigationFacts* facts = view_ ? view_->DecidingFacts() : nullptr;
  vyr::NavigationVerdict verdict = facts ? view_->Policy().Verdict(*facts) : vyr::NavigationVerdict{};
  // Whatever the main window would take of its own pages it takes here.
  verdict.takes = vyr::kTakesEverything;
  if (owner_.HandleSpecialUrl(address, verdict)) return;
  owner_.NavigateMainBrowser(address);
}

void CChannelBarWnd::OnLinkDragged(unsigned message, const std::string& address) {
  // Moving from the column to the bar around it enters the one before the
  // other is left: one drag over the bar asks once.
  if (message == kLinkDragEnterMessage) {
    if (linkOver_++ == 0) owner_.PostMenuCommand(kLinkDraggedOnBarCommand);
  } else if (message == kLinkDropMessage) {
    lastDroppedLink_ = address;
    // A drop without an entering drag (another program's) asks too.
    if (linkOver_ == 0) owner_.PostMenuCommand(kLinkDraggedOnBarCommand);
    linkOver_ = 0;
  } else if (message == kLinkDragLeaveMessage) {
    linkOver_ = std::max(0, linkOver_ - 1);
  }
}

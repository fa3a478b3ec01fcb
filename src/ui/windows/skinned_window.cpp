#include "ui/windows/skinned_window.h"

#include <algorithm>
#include <array>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/menu.h>
#include <wx/sizer.h>
#include <wx/utils.h>

#include "platform/string_table.h"
#include "schemes/skinned_frame.h"
#include "ui/windows/built_in_pictures.h"
#include "ui/windows/drawn_accessible.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/skinned_menu_bar.h"

namespace {

using vyr::FrameHit;
using vyr::SchemeColour;
using vyr::SchemeImages;

// The caption bar picture's cells: the left end, the middle (tiled), the
// right end, then the close, restore and minimise buttons.
enum CaptionCell { kCaptionLeft, kCaptionMiddle, kCaptionRight, kCaptionClose, kCaptionRestore,
                   kCaptionMinimize, kCaptionCells };
// The border picture's 10 x 10 cells, in this order; the top ones are under
// the caption and not drawn.
enum BorderCell { kBorderTopLeft, kBorderTop, kBorderTopRight, kBorderLeft, kBorderRight,
                  kBorderBottomLeft, kBorderBottom, kBorderBottomRight, kBorderCells };

constexpr int kBuiltInCaptionHeight = 24;

// Commands of the window menu (Alt+Space).
enum WindowMenuCommand { kWindowRestore = 31990, kWindowMinimize, kWindowZoom, kWindowClose };
// Its items; the caption buttons are named after them.
constexpr vyr::platform::TextId kRestoreItem{40600};
constexpr vyr::platform::TextId kMinimizeItem{40601};
constexpr vyr::platform::TextId kMaximizeItem{40602};
constexpr vyr::platform::TextId kCloseItem{40603};

wxString ItemText(const vyr::platform::TextId& text) { return wxString::FromUTF8(text.Text()); }

// An item's text without the mark of its key letter, as a screen reader
// reads a button.
std::string ButtonName(const vyr::platform::TextId& text) {
  return std::string(wxStripMenuCodes(ItemText(text)).utf8_str());
}

std::shared_ptr<const CImageList> BuiltInList(const char* name, int cellWidth) {
  const auto* picture = vyr::detail::FindBuiltInSchemePicture(name);
  if (!picture) return std::make_shared<const CImageList>();
  return CImageList::FromMemory(picture->data, picture->size, cellWidth);
}

bool CaptionListUsable(const CImageList& list) {
  const int h = list.CellSize().GetHeight();
  return list.Count() >= kCaptionCells && vyr::UsableCaptionHeight(h, -1) == h;
}

bool BorderListUsable(const CImageList& list) {
  return list.Count() >= kBorderCells && list.CellSize().GetWidth() >= vyr::kFrameBorder &&
         list.CellSize().GetHeight() >= vyr::kFrameBorder;
}

// The caption pieces drawn when the window is not active: the same cells,
// dimmed.
std::vector<wxBitmap> DimmedCells(const CImageList& list) {
  std::vector<wxBitmap> cells;
  for (int i = 0; i < list.Count(); ++i) {
    cells.emplace_back(list.Cell(i).ConvertToImage().ConvertToDisabled(200));
  }
  return cells;
}

wxStockCursor CursorFor(FrameHit hit) {
  switch (hit) {
    case FrameHit::Left: case FrameHit::Right: return wxCURSOR_SIZEWE;
    case FrameHit::Top: case FrameHit::Bottom: return wxCURSOR_SIZENS;
    case FrameHit::TopLeft: case FrameHit::BottomRight: return wxCURSOR_SIZENWSE;
    case FrameHit::TopRight: case FrameHit::BottomLeft: return wxCURSOR_SIZENESW;
    default: return wxCURSOR_ARROW;
  }
}

#ifdef GDK_WINDOWING_X11
GdkWindowEdge GdkEdgeFor(FrameHit hit) {
  switch (hit) {
    case FrameHit::Left: return GDK_WINDOW_EDGE_WEST;
    case FrameHit::Right: return GDK_WINDOW_EDGE_EAST;
    case FrameHit::Top: return GDK_WINDOW_EDGE_NORTH;
    case FrameHit::Bottom: return GDK_WINDOW_EDGE_SOUTH;
    case FrameHit::TopLeft: return GDK_WINDOW_EDGE_NORTH_WEST;
    case FrameHit::TopRight: return GDK_WINDOW_EDGE_NORTH_EAST;
    case FrameHit::BottomLeft: return GDK_WINDOW_EDGE_SOUTH_WEST;
    default: return GDK_WINDOW_EDGE_SOUTH_EAST;
  }
}
#endif

bool IsBorder(FrameHit hit) {
  switch (hit) {
    case FrameHit::Left: case FrameHit::Right: case FrameHit::Top: case FrameHit::Bottom:
    case FrameHit::TopLeft: case FrameHit::TopRight: case FrameHit::BottomLeft:
    case FrameHit::BottomRight:
      return true;
    default:
      return false;
  }
}

// Whether a window manager answers move and resize requests. Under X11 that
// is one that announces _NET_WM_MOVERESIZE; other displays (Wayland) always
// do.
bool WindowManagerMoves(GtkWidget* widget) {
#ifdef GDK_WINDOWING_X11
  GdkDisplay* display = gtk_widget_get_display(widget);
  if (GDK_IS_X11_DISPLAY(display)) {
    return gdk_x11_screen_supports_net_wm_hint(gtk_widget_get_screen(widget),
                                                gdk_atom_intern_static_string("_NET_WM_MOVERESIZE"));
  }
#endif
  (void)widget;
  return true;
}

enum class Pressed { Nothing = -1, Close, Restore, Minimize };

}  // namespace

struct SkinnedChrome {
  std::shared_ptr<const CSchemeArt> art;
  wxPanel* content = nullptr;
  CSkinnedMenuBar* menuBar = nullptr;
  bool fancy = false;
  bool resizable = false;
  bool active = true;
  int captionHeight = 0;
  std::shared_ptr<const CImageList> caption, borders;
  std::vector<wxBitmap> dimmed;
  Pressed pressed = Pressed::Nothing;
  bool pressedInside = false;
  // The move or resize this window does itself when no window manager
  // answers: what is dragged, where the pointer and the window started.
  FrameHit dragging = FrameHit::Nowhere;
  wxPoint dragStart;
  wxRect dragRect;
  bool zoomed = false;
  wxRect restoreRect;
  std::unique_ptr<CDrawnAccessible> captionButtons;  // what screen readers see of them
};

namespace {

// Takes the caption and border pictures of the art (the compiled-in ones
// for an unusable picture); whether a drawn frame is possible and wanted.
bool LoadSkin(SkinnedChrome& c, std::shared_ptr<const CSchemeArt> art, bool drawn) {
  c.art = std::move(art);
  if (!drawn) return false;
  c.caption = c.art->Images(SchemeImages::CaptionBar);
  if (!CaptionListUsable(*c.caption)) c.caption = BuiltInList("captionbar", 48);
  c.borders = c.art->Images(SchemeImages::Borders);
  if (!BorderListUsable(*c.borders)) c.borders = BuiltInList("borders", 10);
  if (!BorderListUsable(*c.borders)) c.borders.reset();
  if (!CaptionListUsable(*c.caption)) return false;
  c.captionHeight = vyr::UsableCaptionHeight(c.caption->CellSize().GetHeight(), kBuiltInCaptionHeight);
  c.dimmed = DimmedCells(*c.caption);
  return true;
}

}  // namespace

// The caption buttons as push buttons for screen readers, named as the
// window menu names them; their "click" sends the window menu's command.
template <class TopLevel>
std::unique_ptr<CDrawnAccessible> CaptionButtonsAccessible(CSkinnedWindow<TopLevel>& window) {
  using Part = typename CSkinnedWindow<TopLevel>::CaptionPart;
  struct Button { Part part; int command; };
  auto shown = [&window] {
    std::vector<Button> buttons;
    for (const Button& b : {Button{Part::Close, kWindowClose}, Button{Part::Restore, kWindowZoom},
                            Button{Part::Minimize, kWindowMinimize}}) {
      if (!window.CaptionButtonRect(b.part).IsEmpty()) buttons.push_back(b);
    }
    return buttons;
  };
  DrawnPartsSource source;
  source.parts = [&window, shown] {
    std::vector<DrawnPart> parts;
    for (const Button& b : shown()) {
      DrawnPart part;
      part.name = ButtonName(b.part == Part::Close     ? kCloseItem
                             : b.part == Part::Minimize ? kMinimizeItem
                             : window.IsZoomed()        ? kRestoreItem
                                                        : kMaximizeItem);
      part.rect = window.CaptionButtonRect(b.part);
      parts.push_back(part);
    }
    return parts;
  };
  source.press = [&window, shown](int index) {
    const std::vector<Button> buttons = shown();
    if (index < 0 || index >= static_cast<int>(buttons.size())) return;
    wxCommandEvent command(wxEVT_MENU, buttons[index].command);
    command.SetEventObject(&window);
    window.GetEventHandler()->ProcessEvent(command);
  };
  return std::make_unique<CDrawnAccessible>(&window, std::move(source), DrawnWindowRole::AsIs);
}

template <class TopLevel>
CSkinnedWindow<TopLevel>::CSkinnedWindow(wxWindow* parent, const wxString& title,
                                         const SkinnedWindowOptions& options)
    : chrome_(std::make_unique<SkinnedChrome>()) {
  SkinnedChrome& c = *chrome_;
  c.resizable = options.resizable;
  // Without a usable caption picture the window keeps the system's frame.
  c.fancy = LoadSkin(c, CSchemeArt::Current(), options.alwaysDrawn || CSchemeArt::Current()->Look().fancyWindows);
  long style = options.extraStyle;
  if (c.fancy) {
    style |= wxBORDER_NONE;
    // Resizable for the window manager too, which otherwise refuses to
    // resize it; the window still has no frame of the system's.
    if (options.resizable) style |= wxRESIZE_BORDER | wxMINIMIZE_BOX | wxMAXIMIZE_BOX;
  } else if constexpr (std::is_same_v<TopLevel, wxDialog>) {
    style |= wxDEFAULT_DIALOG_STYLE | (options.resizable ? wxRESIZE_BORDER : 0);
  } else {
    style |= options.resizable ? wxDEFAULT_FRAME_STYLE : (wxDEFAULT_FRAME_STYLE & ~wxRESIZE_BORDER);
  }
  this->Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);

  const wxColour back = c.art->Colour(SchemeColour::ToolBarBack);
  this->SetBackgroundColour(back);
  c.content = new wxPanel(this, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxTAB_TRAVERSAL | wxNO_BORDER);
  c.content->SetBackgroundColour(back);
  c.content->SetForegroundColour(c.art->Colour(SchemeColour::ToolBarText));
  this->SetSizer(new wxBoxSizer(wxVERTICAL));
  PlaceChildren();

  if (c.fancy) {
    this->SetBackgroundStyle(wxBG_STYLE_PAINT);
    this->Bind(wxEVT_PAINT, &CSkinnedWindow::OnPaint, this);
    this->Bind(wxEVT_LEFT_DOWN, &CSkinnedWindow::OnLeftDown, this);
    this->Bind(wxEVT_LEFT_DCLICK, &CSkinnedWindow::OnLeftDown, this);
    this->Bind(wxEVT_LEFT_UP, &CSkinnedWindow::OnLeftUp, this);
    this->Bind(wxEVT_MOTION, &CSkinnedWindow::OnMotion, this);
    this->Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { EndDrag(); });
    this->Bind(wxEVT_ACTIVATE, &CSkinnedWindow::OnActivate, this);
    if (options.resizable) {
      // A window without the system's frame is given no window functions
      // by the toolkit, and the window manager then refuses the resizes the
      // borders ask for: they are given back once the window exists.
      this->Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
        auto* widget = static_cast<GtkWidget*>(this->GetHandle());
        if (event.IsShown() && widget && gtk_widget_get_window(widget))
          gdk_window_set_functions(gtk_widget_get_window(widget), GDK_FUNC_ALL);
        event.Skip();
      });
    }
    this->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
      this->Refresh(false);
      event.Skip();
    });
    this->Bind(wxEVT_MENU, [this](wxCommandEvent& event) {
      switch (event.GetId()) {
        case kWindowRestore: case kWindowZoom: ToggleZoom(); break;
        case kWindowMinimize: this->Iconize(true); break;
        case kWindowClose: this->Close(); break;
        default: event.Skip(); break;
      }
    });
    c.captionButtons = CaptionButtonsAccessible(*this);
  }
  this->Bind(wxEVT_CHAR_HOOK, &CSkinnedWindow::OnCharHook, this);
}

template <class TopLevel>
CSkinnedWindow<TopLevel>::~CSkinnedWindow() {
  if (this->HasCapture()) this->ReleaseMouse();
}

// Caption (and menu bar) above the content, the borders around it; with the
// system's frame only the menu bar.
template <class TopLevel>
void CSkinnedWindow<TopLevel>::PlaceChildren() {
  SkinnedChrome& c = *chrome_;
  wxSizer* sizer = this->GetSizer();
  sizer->Clear(false);
  const int b = c.fancy ? vyr::kFrameBorder : 0;
  if (c.fancy) sizer->AddSpacer(c.captionHeight);
  if (c.menuBar) {
    // The menu bar starts at the scheme's menu margin, never inside the
    // caption bar's picture.
    if (c.fancy) sizer->AddSpacer(std::clamp(c.art->Look().fancy.menuTopMargin - c.captionHeight, 0, 40));
    sizer->Add(c.menuBar, 0, wxEXPAND | wxLEFT | wxRIGHT, b);
  }
  sizer->Add(c.content, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, b);
  this->Layout();
}

template <class TopLevel>
int CSkinnedWindow<TopLevel>::TopInset() const {
  const wxPoint at = chrome_->content->GetPosition();
  return at.y;
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::SetContentSize(const wxSize& content) {
  const SkinnedChrome& c = *chrome_;
  const int b = c.fancy ? vyr::kFrameBorder : 0;
  int top = c.fancy ? c.captionHeight : 0;
  if (c.menuBar) {
    if (c.fancy) top += std::clamp(c.art->Look().fancy.menuTopMargin - c.captionHeight, 0, 40);
    top += c.menuBar->GetBestSize().y;
  }
  const wxSize whole(content.x + 2 * b, content.y + top + b);
  this->SetClientSize(whole);
  this->SetMinClientSize(whole);
}

template <class TopLevel>
wxPanel* CSkinnedWindow<TopLevel>::ContentPanel() const { return chrome_->content; }

template <class TopLevel>
bool CSkinnedWindow<TopLevel>::IsFancy() const { return chrome_->fancy; }

template <class TopLevel>
const std::shared_ptr<const CSchemeArt>& CSkinnedWindow<TopLevel>::Art() const { return chrome_->art; }

template <class TopLevel>
int CSkinnedWindow<TopLevel>::CaptionHeight() const { return chrome_->captionHeight; }

template <class TopLevel>
bool CSkinnedWindow<TopLevel>::CaptionActive() const { return chrome_->active; }

template <class TopLevel>
bool CSkinnedWindow<TopLevel>::IsZoomed() const { return chrome_->zoomed || this->IsMaximized(); }

template <class TopLevel>
CSkinnedMenuBar* CSkinnedWindow<TopLevel>::SkinnedMenuBar() const { return chrome_->menuBar; }

template <class TopLevel>
void CSkinnedWindow<TopLevel>::SetSkinnedMenu(SkinnedMenuBuilder builder) {
  SkinnedChrome& c = *chrome_;
  if (c.menuBar) c.menuBar->Destroy();
  c.menuBar = new CSkinnedMenuBar(this, *c.art, std::move(builder));
  PlaceChildren();
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::ApplySkinArt(std::shared_ptr<const CSchemeArt> art) {
  SkinnedChrome& c = *chrome_;
  if (!art || art == c.art) return;
  // A window keeps its kind of frame: only a drawn one takes new pictures.
  if (c.fancy) {
    LoadSkin(c, art, true);
  } else {
    c.art = art;
  }
  const wxColour back = c.art->Colour(SchemeColour::ToolBarBack);
  this->SetBackgroundColour(back);
  c.content->SetBackgroundColour(back);
  c.content->SetForegroundColour(c.art->Colour(SchemeColour::ToolBarText));
  if (c.menuBar) c.menuBar->SetArt(*c.art);
  PlaceChildren();
  this->Refresh(false);
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::SetTitle(const wxString& title) {
  TopLevel::SetTitle(title);
  if (chrome_ && chrome_->fancy) this->RefreshRect(wxRect(0, 0, this->GetClientSize().x, chrome_->captionHeight), false);
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::DrawCaptionExtras(wxDC&, const wxSize&) {}

// The buttons a window shows: close always; restore and minimise only when
// the window can change its size.
template <class TopLevel>
wxRect CSkinnedWindow<TopLevel>::CaptionButtonRect(CaptionPart which) const {
  const SkinnedChrome& c = *chrome_;
  if (!c.fancy) return {};
  const vyr::SchemeLook& look = c.art->Look();
  if (which != CaptionPart::Close && !c.resizable) return {};
  const vyr::SchemeLook::CaptionButton& place = which == CaptionPart::Close     ? look.closeButton
                                                : which == CaptionPart::Restore ? look.restoreButton
                                                                           : look.minimizeButton;
  const vyr::FrameRect r = vyr::CaptionButtonRect(place, this->GetClientSize().x, c.captionHeight);
  return r.Empty() ? wxRect() : wxRect(r.left, r.top, r.Width(), r.Height());
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const SkinnedChrome& c = *chrome_;
  const wxSize size = this->GetClientSize();
  const int ch = c.captionHeight;
  const int cw = c.caption->CellSize().GetWidth();

  auto cell = [&c](int index) -> const wxBitmap& {
    return c.active || index >= static_cast<int>(c.dimmed.size()) ? c.caption->Cell(index) : c.dimmed[index];
  };
  // The caption bar: the middle tiled across, the two ends over it.
  for (int x = 0; x < size.x; x += cw) dc.DrawBitmap(cell(kCaptionMiddle), x, 0, true);
  dc.DrawBitmap(cell(kCaptionLeft), 0, 0, true);
  dc.DrawBitmap(cell(kCaptionRight), size.x - cw, 0, true);

  // Between the caption and the menu bar, the scheme's background.
  const int gapTop = ch, gapBottom = c.menuBar ? c.menuBar->GetPosition().y : ch;
  dc.SetPen(*wxTRANSPARENT_PEN);
  if (gapBottom > gapTop) {
    dc.SetBrush(wxBrush(c.art->Colour(SchemeColour::MenuBack)));
    dc.DrawRectangle(0, gapTop, size.x, gapBottom - gapTop);
  }

  // The borders: left and right down from the caption, the bottom across.
  const int b = vyr::kFrameBorder;
  if (c.borders) {
    auto tile = [&](int index, int x, int y, int w, int h) {
      const wxBitmap& bmp = c.borders->Cell(index);
      wxDCClipper clip(dc, wxRect(x, y, w, h));
      for (int ty = y; ty < y + h; ty += b) {
        for (int tx = x; tx < x + w; tx += b) dc.DrawBitmap(bmp, tx, ty, true);
      }
    };
    tile(kBorderLeft, 0, ch, b, size.y - ch - b);
    tile(kBorderRight, size.x - b, ch, b, size.y - ch - b);
    tile(kBorderBottom, b, size.y - b, size.x - 2 * b, b);
    tile(kBorderBottomLeft, 0, size.y - b, b, b);
    tile(kBorderBottomRight, size.x - b, size.y - b, b, b);
  } else {
    dc.SetBrush(wxBrush(wxColour(0x40, 0x40, 0x40)));
    dc.DrawRectangle(0, ch, b, size.y - ch);
    dc.DrawRectangle(size.x - b, ch, b, size.y - ch);
    dc.DrawRectangle(0, size.y - b, size.x, b);
  }

  DrawCaptionExtras(dc, size);

  // The caption text between the margins.
  const vyr::CaptionTextPlace place = vyr::CaptionTextRect(c.art->Look().fancy, size.x, ch);
  if (!place.rect.Empty()) {
    const wxRect r(place.rect.left, place.rect.top, place.rect.Width(), place.rect.Height());
    dc.SetFont(c.art->Font(vyr::SchemeFont::Caption));
    wxColour fore = c.art->Colour(SchemeColour::CaptionText);
    if (!c.active) fore = fore.ChangeLightness(60);
    dc.SetTextForeground(fore);
    // Magenta, the default caption background, means "no background"; an
    // inactive caption, drawn dimmed, has none either.
    const wxColour back = c.art->Colour(SchemeColour::CaptionBack);
    const bool opaque = c.active && back != wxColour(255, 0, 255);
    dc.SetBackgroundMode(opaque ? wxBRUSHSTYLE_SOLID : wxBRUSHSTYLE_TRANSPARENT);
    if (opaque) dc.SetTextBackground(back);
    wxDCClipper clip(dc, r);
    const wxString text = wxControl::Ellipsize(this->GetTitle(), dc, wxELLIPSIZE_END, r.width);
    dc.DrawLabel(text, r, (place.centred ? wxALIGN_CENTER_HORIZONTAL : wxALIGN_LEFT) | wxALIGN_TOP);
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  }

  // The caption buttons: the button's picture centred on its place, moved a
  // pixel and framed when pressed.
  const std::array<std::pair<CaptionPart, int>, 3> buttons{std::pair{CaptionPart::Close, kCaptionClose},
                                                      {CaptionPart::Restore, kCaptionRestore},
                                                      {CaptionPart::Minimize, kCaptionMinimize}};
  for (const auto& [button, index] : buttons) {
    const wxRect r = CaptionButtonRect(button);
    if (r.IsEmpty()) continue;
    const bool down = c.pressed == static_cast<Pressed>(button) && c.pressedInside;
    const wxBitmap& bmp = cell(index);
    wxDCClipper clip(dc, r);
    const int x = r.x + (r.width - bmp.GetWidth()) / 2 + (down ? 1 : 0);
    const int y = (ch - bmp.GetHeight()) / 2 + (down ? 1 : 0);
    dc.DrawBitmap(bmp, x, y, true);
    if (down) {
      dc.SetPen(wxPen(wxColour(0, 0, 0)));
      dc.SetBrush(*wxTRANSPARENT_BRUSH);
      dc.DrawRectangle(r);
    }
  }
  if (c.captionButtons) c.captionButtons->Update();
}

template <class TopLevel>
int CSkinnedWindow<TopLevel>::ButtonAt(const wxPoint& at) const {
  for (CaptionPart b : {CaptionPart::Close, CaptionPart::Restore, CaptionPart::Minimize}) {
    if (CaptionButtonRect(b).Contains(at)) return static_cast<int>(b);
  }
  return static_cast<int>(Pressed::Nothing);
}

template <class TopLevel>
int CSkinnedWindow<TopLevel>::HitAt(const wxPoint& at) const {
  const wxSize size = this->GetClientSize();
  return static_cast<int>(vyr::HitTestFrame({0, 0, size.x, size.y}, at.x, at.y,
                                            chrome_->resizable && !IsZoomed(), chrome_->captionHeight));
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnLeftDown(wxMouseEvent& event) {
  SkinnedChrome& c = *chrome_;
  const wxPoint at = event.GetPosition();
  const auto button = static_cast<Pressed>(ButtonAt(at));
  if (button != Pressed::Nothing) {
    c.pressed = button;
    c.pressedInside = true;
    if (!this->HasCapture()) this->CaptureMouse();
    this->Refresh(false);
    return;
  }
  const auto hit = static_cast<FrameHit>(HitAt(at));
  if (hit == FrameHit::Caption && event.ButtonDClick() && c.resizable) {
    ToggleZoom();
    return;
  }
  if (hit == FrameHit::SysMenu && at.x < this->GetClientSize().x - vyr::kCaptionButtonZone / 2) {
    // The caption button zone holds no button here: it moves the window.
    BeginDrag(static_cast<int>(FrameHit::Caption), this->ClientToScreen(at));
    return;
  }
  if (hit != FrameHit::Caption && !IsBorder(hit)) return;
  BeginDrag(static_cast<int>(hit), this->ClientToScreen(at));
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::BeginDrag(int code, const wxPoint& screenAt) {
  SkinnedChrome& c = *chrome_;
  const auto hit = static_cast<FrameHit>(code);
  auto* widget = static_cast<GtkWidget*>(this->GetHandle());
  if (widget && WindowManagerMoves(widget)) {
    // The window manager moves and resizes the window as it does its own
    // frames: smooth, and it keeps to the screen's edges.
    if (this->HasCapture()) this->ReleaseMouse();
    const guint32 time = gtk_get_current_event_time();
    if (hit == FrameHit::Caption) {
      gtk_window_begin_move_drag(GTK_WINDOW(widget), 1, screenAt.x, screenAt.y, time);
    }
#ifdef GDK_WINDOWING_X11
    else {
      gtk_window_begin_resize_drag(GTK_WINDOW(widget), GdkEdgeFor(hit), 1, screenAt.x, screenAt.y, time);
    }
#endif
    return;
  }
  // No window manager: the window follows the pointer itself.
  c.dragging = hit;
  c.dragStart = screenAt;
  c.dragRect = wxRect(this->ClientToScreen(wxPoint(0, 0)), this->GetSize());
  if (!this->HasCapture()) this->CaptureMouse();
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnMotion(wxMouseEvent& event) {
  SkinnedChrome& c = *chrome_;
  const wxPoint at = event.GetPosition();
  if (c.pressed != Pressed::Nothing) {
    const bool inside = CaptionButtonRect(static_cast<CaptionPart>(c.pressed)).Contains(at);
    if (inside != c.pressedInside) {
      c.pressedInside = inside;
      this->Refresh(false);
    }
    return;
  }
  if (c.dragging != FrameHit::Nowhere && event.LeftIsDown()) {
    const wxPoint d = this->ClientToScreen(at) - c.dragStart;
    wxRect r = c.dragRect;
    const wxSize min = this->GetMinSize();
    auto moveLeft = [&] { const int w = std::max(r.width - d.x, min.x); r.x += r.width - w; r.width = w; };
    auto moveTop = [&] { const int h = std::max(r.height - d.y, min.y); r.y += r.height - h; r.height = h; };
    auto moveRight = [&] { r.width = std::max(r.width + d.x, min.x); };
    auto moveBottom = [&] { r.height = std::max(r.height + d.y, min.y); };
    switch (c.dragging) {
      case FrameHit::Caption: r.Offset(d); break;
      case FrameHit::Left: moveLeft(); break;
      case FrameHit::Right: moveRight(); break;
      case FrameHit::Top: moveTop(); break;
      case FrameHit::Bottom: moveBottom(); break;
      case FrameHit::TopLeft: moveTop(); moveLeft(); break;
      case FrameHit::TopRight: moveTop(); moveRight(); break;
      case FrameHit::BottomLeft: moveBottom(); moveLeft(); break;
      default: moveBottom(); moveRight(); break;
    }
    this->SetSize(r);
    return;
  }
  this->SetCursor(wxCursor(CursorFor(static_cast<FrameHit>(HitAt(at)))));
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnLeftUp(wxMouseEvent& event) {
  SkinnedChrome& c = *chrome_;
  const Pressed pressed = c.pressed;
  const bool clicked = pressed != Pressed::Nothing &&
                       CaptionButtonRect(static_cast<CaptionPart>(pressed)).Contains(event.GetPosition());
  EndDrag();
  if (!clicked) return;
  switch (pressed) {
    case Pressed::Close: this->Close(); break;
    case Pressed::Restore: ToggleZoom(); break;
    case Pressed::Minimize: this->Iconize(true); break;
    default: break;
  }
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::EndDrag() {
  SkinnedChrome& c = *chrome_;
  if (this->HasCapture()) this->ReleaseMouse();
  if (c.pressed != Pressed::Nothing) this->Refresh(false);
  c.pressed = Pressed::Nothing;
  c.pressedInside = false;
  c.dragging = FrameHit::Nowhere;
}

// Zoomed, the window fills the work area of its display (the screen without
// the panels); the restore button gives the old place back. A window the
// window manager maximised is restored by it.
template <class TopLevel>
void CSkinnedWindow<TopLevel>::ToggleZoom() {
  SkinnedChrome& c = *chrome_;
  if (this->IsMaximized()) {
    this->Maximize(false);
  } else if (c.zoomed) {
    c.zoomed = false;
    this->SetSize(c.restoreRect);
  } else {
    // The window's origin as the X server has it (the cached position can be
    // relative to a window manager's frame).
    c.restoreRect = wxRect(this->ClientToScreen(wxPoint(0, 0)), this->GetSize());
    const int index = wxDisplay::GetFromWindow(this);
    const wxDisplay display(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index));
    c.zoomed = true;
    this->SetSize(display.GetClientArea());
  }
  this->Refresh(false);
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnActivate(wxActivateEvent& event) {
  if (chrome_->active != event.GetActive()) {
    chrome_->active = event.GetActive();
    this->RefreshRect(wxRect(0, 0, this->GetClientSize().x, chrome_->captionHeight), false);
  }
  event.Skip();
}

// Alt+Space: the window menu, the keyboard's way to the caption buttons; F10
// and Alt with a menu's key letter: the menu bar.
template <class TopLevel>
void CSkinnedWindow<TopLevel>::OnCharHook(wxKeyEvent& event) {
  SkinnedChrome& c = *chrome_;
  const int key = event.GetKeyCode();
  const int modifiers = event.GetModifiers();
  if (c.fancy && modifiers == wxMOD_ALT && key == WXK_SPACE) {
    ShowWindowMenu();
    return;
  }
  if (c.menuBar && modifiers == wxMOD_NONE && key == WXK_F10) {
    c.menuBar->FocusBar();
    return;
  }
  if (c.menuBar && modifiers == wxMOD_ALT) {
    const int index = c.menuBar->TitleForKey(key);
    if (index >= 0) {
      this->CallAfter([bar = c.menuBar, index] { bar->OpenMenu(index); });
      return;
    }
  }
  event.Skip();
}

template <class TopLevel>
void CSkinnedWindow<TopLevel>::ShowWindowMenu() {
  const SkinnedChrome& c = *chrome_;
  wxMenu menu;
  menu.Append(kWindowRestore, ItemText(kRestoreItem))->Enable(c.resizable && IsZoomed());
  menu.Append(kWindowMinimize, ItemText(kMinimizeItem))->Enable(c.resizable);
  menu.Append(kWindowZoom, ItemText(kMaximizeItem))->Enable(c.resizable && !IsZoomed());
  menu.AppendSeparator();
  menu.Append(kWindowClose, ItemText(kCloseItem) + "\tAlt+F4");
  this->PopupMenu(&menu, wxPoint(vyr::kFrameBorder, c.captionHeight));
}

template class CSkinnedWindow<wxDialog>;
template class CSkinnedWindow<wxFrame>;

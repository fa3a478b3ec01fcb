#include "ui/windows/colored_dlg.h"

#include <algorithm>
#include <array>

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/statbox.h>
#include <wx/stattext.h>

#include "schemes/skinned_frame.h"
#include "ui/windows/built_in_pictures.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"


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

enum class CaptionButton { Nothing, Close, Restore, Minimize };

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

}  // namespace

struct CColoredDlg::Frame {
  std::shared_ptr<const CSchemeArt> art;
  wxPanel* content = nullptr;
  bool fancy = false;
  bool resizable = false;
  bool active = true;
  int captionHeight = 0;
  std::shared_ptr<const CImageList> caption, borders;
  std::vector<wxBitmap> dimmed;
  CaptionButton pressed = CaptionButton::Nothing;
  bool pressedInside = false;
  // The move or resize this window does itself when no window manager
  // answers: what is dragged, where the pointer and the window started.
  FrameHit dragging = FrameHit::Nowhere;
  wxPoint dragStart;
  wxRect dragRect;
  bool zoomed = false;
  wxRect restoreRect;
};

CColoredDlg::CColoredDlg(wxWindow* parent, const wxString& title, bool resizable, long extraStyle)
    : frame_(std::make_unique<Frame>()) {
  Frame& f = *frame_;
  f.art = CSchemeArt::Current();
  f.resizable = resizable;
  if (f.art->Look().fancyWindows) {
    f.caption = f.art->Images(SchemeImages::CaptionBar);
    if (!CaptionListUsable(*f.caption)) f.caption = BuiltInList("captionbar", 48);
    f.borders = f.art->Images(SchemeImages::Borders);
    if (!BorderListUsable(*f.borders)) f.borders = BuiltInList("borders", 10);
    if (!BorderListUsable(*f.borders)) f.borders.reset();
    // Without a usable caption picture the dialog keeps the system's frame.
    f.fancy = CaptionListUsable(*f.caption);
  }
  long style = extraStyle;
  if (f.fancy) {
    style |= wxBORDER_NONE;
    f.captionHeight = vyr::UsableCaptionHeight(f.caption->CellSize().GetHeight(),
                                               kBuiltInCaptionHeight);
    f.dimmed = DimmedCells(*f.caption);
  } else {
    style |= wxDEFAULT_DIALOG_STYLE | (resizable ? wxRESIZE_BORDER : 0);
  }
  Create(parent, wxID_ANY, title, wxDefaultPosition, wxDefaultSize, style);

  const wxColour back = f.art->Colour(SchemeColour::ToolBarBack);
  const wxColour text = f.art->Colour(SchemeColour::ToolBarText);
  SetBackgroundColour(back);
  f.content = new wxPanel(this, wxID_ANY);
  f.content->SetBackgroundColour(back);
  f.content->SetForegroundColour(text);

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  if (f.fancy) {
    const vyr::FrameInsets in = vyr::ClientInsets(f.captionHeight);
    sizer->AddSpacer(in.top);
    sizer->Add(f.content, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, in.left);
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    Bind(wxEVT_PAINT, &CColoredDlg::OnPaint, this);
    Bind(wxEVT_LEFT_DOWN, &CColoredDlg::OnLeftDown, this);
    Bind(wxEVT_LEFT_DCLICK, &CColoredDlg::OnLeftDown, this);
    Bind(wxEVT_LEFT_UP, &CColoredDlg::OnLeftUp, this);
    Bind(wxEVT_MOTION, &CColoredDlg::OnMotion, this);
    Bind(wxEVT_MOUSE_CAPTURE_LOST, [this](wxMouseCaptureLostEvent&) { EndDrag(); });
    Bind(wxEVT_ACTIVATE, &CColoredDlg::OnActivate, this);
    Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
      Refresh(false);
      event.Skip();
    });
  } else {
    sizer->Add(f.content, 1, wxEXPAND);
  }
  SetSizer(sizer);
}

CColoredDlg::~CColoredDlg() {
  if (HasCapture()) ReleaseMouse();
}

wxPanel* CColoredDlg::ContentPanel() const { return frame_->content; }

wxSizer* CColoredDlg::OkCancelRow(wxButton** okOut) {
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = new wxButton(ContentPanel(), wxID_OK);
  row->Add(ok, 0, wxRIGHT, 6);
  row->Add(new wxButton(ContentPanel(), wxID_CANCEL));
  ok->SetDefault();
  if (okOut) *okOut = ok;
  return row;
}

void CColoredDlg::FinishLayout() {
  ColourControls(frame_->content);
  frame_->content->Layout();
  wxSize inner = frame_->content->GetBestSize();
  if (frame_->fancy) {
    // Wide enough for the caption text between its margins (within reason).
    const vyr::SchemeLook::FancyCaption& margins = frame_->art->Look().fancy;
    int textWidth = 0, textHeight = 0;
    GetTextExtent(GetTitle(), &textWidth, &textHeight, nullptr, nullptr,
                  &frame_->art->Font(vyr::SchemeFont::Caption));
    const int wanted = std::clamp(margins.leftMargin, 0, 400) + std::clamp(margins.rightMargin, 0, 400) +
                       textWidth - 2 * vyr::kFrameBorder;
    inner.x = std::max(inner.x, std::min(wanted, 600));
    const vyr::FrameSize grown = vyr::GrownSize(inner.x, inner.y, frame_->captionHeight);
    SetClientSize(grown.width, grown.height);
    SetMinClientSize(wxSize(grown.width, grown.height));
  } else {
    GetSizer()->SetSizeHints(this);
  }
  Layout();
  CentreOnParent();
}

void CColoredDlg::ColourControls(wxWindow* parent) {
  const wxColour back = frame_->art->Colour(SchemeColour::ToolBarBack);
  const wxColour text = frame_->art->Colour(SchemeColour::ToolBarText);
  for (wxWindow* child : parent->GetChildren()) {
    // Edit fields and buttons keep the system's colours; texts, boxes,
    // check boxes, lists and panels take the scheme's.
    if (wxDynamicCast(child, wxStaticText) || wxDynamicCast(child, wxStaticBox) ||
        wxDynamicCast(child, wxCheckBox) || wxDynamicCast(child, wxRadioButton) ||
        wxDynamicCast(child, wxListBox) || wxDynamicCast(child, wxPanel)) {
      child->SetBackgroundColour(back);
      child->SetForegroundColour(text);
    }
    ColourControls(child);
  }
}

bool CColoredDlg::IsFancy() const { return frame_->fancy; }

const std::shared_ptr<const CSchemeArt>& CColoredDlg::Art() const { return frame_->art; }

int CColoredDlg::CaptionHeight() const { return frame_->captionHeight; }

bool CColoredDlg::CaptionActive() const { return frame_->active; }

bool CColoredDlg::IsZoomed() const { return frame_->zoomed; }

wxRect CColoredDlg::CloseButtonRect() const {
  return frame_->fancy ? ButtonRect(static_cast<int>(CaptionButton::Close)) : wxRect();
}

// The buttons a dialog shows: close always; restore and minimise only when
// the dialog can change its size.
wxRect CColoredDlg::ButtonRect(int which) const {
  const vyr::SchemeLook& look = frame_->art->Look();
  const auto button = static_cast<CaptionButton>(which);
  if (button != CaptionButton::Close && !frame_->resizable) return {};
  const vyr::SchemeLook::CaptionButton& place =
      button == CaptionButton::Close     ? look.closeButton
      : button == CaptionButton::Restore ? look.restoreButton
                                         : look.minimizeButton;
  const vyr::FrameRect r =
      vyr::CaptionButtonRect(place, GetClientSize().x, frame_->captionHeight);
  return r.Empty() ? wxRect() : wxRect(r.left, r.top, r.Width(), r.Height());
}

void CColoredDlg::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  const Frame& f = *frame_;
  const wxSize size = GetClientSize();
  const int ch = f.captionHeight;
  const int cw = f.caption->CellSize().GetWidth();

  auto cell = [&f](int index) -> const wxBitmap& {
    return f.active || index >= static_cast<int>(f.dimmed.size()) ? f.caption->Cell(index)
                                                                 : f.dimmed[index];
  };
  // The caption bar: the middle tiled across, the two ends over it.
  for (int x = 0; x < size.x; x += cw) dc.DrawBitmap(cell(kCaptionMiddle), x, 0, true);
  dc.DrawBitmap(cell(kCaptionLeft), 0, 0, true);
  dc.DrawBitmap(cell(kCaptionRight), size.x - cw, 0, true);

  // The borders: left and right down from the caption, the bottom across.
  const int b = vyr::kFrameBorder;
  if (f.borders) {
    auto tile = [&](int index, int x, int y, int w, int h) {
      const wxBitmap& bmp = f.borders->Cell(index);
      for (int ty = y; ty < y + h; ty += b) {
        for (int tx = x; tx < x + w; tx += b) {
          dc.SetClippingRegion(x, y, w, h);
          dc.DrawBitmap(bmp, tx, ty, true);
          dc.DestroyClippingRegion();
        }
      }
    };
    tile(kBorderLeft, 0, ch, b, size.y - ch - b);
    tile(kBorderRight, size.x - b, ch, b, size.y - ch - b);
    tile(kBorderBottom, b, size.y - b, size.x - 2 * b, b);
    tile(kBorderBottomLeft, 0, size.y - b, b, b);
    tile(kBorderBottomRight, size.x - b, size.y - b, b, b);
  } else {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(wxColour(0x40, 0x40, 0x40)));
    dc.DrawRectangle(0, ch, b, size.y - ch);
    dc.DrawRectangle(size.x - b, ch, b, size.y - ch);
    dc.DrawRectangle(0, size.y - b, size.x, b);
  }

  // The caption text between the margins.
  const vyr::CaptionTextPlace place = vyr::CaptionTextRect(f.art->Look().fancy, size.x, ch);
  if (!place.rect.Empty()) {
    const wxRect r(place.rect.left, place.rect.top, place.rect.Width(), place.rect.Height());
    dc.SetFont(f.art->Font(vyr::SchemeFont::Caption));
    wxColour fore = f.art->Colour(SchemeColour::CaptionText);
    if (!f.active) fore = fore.ChangeLightness(60);
    dc.SetTextForeground(fore);
    // Magenta, the default caption background, means "no background".
    const wxColour back = f.art->Colour(SchemeColour::CaptionBack);
    const bool opaque = back != wxColour(255, 0, 255);
    dc.SetBackgroundMode(opaque ? wxBRUSHSTYLE_SOLID : wxBRUSHSTYLE_TRANSPARENT);
    if (opaque) dc.SetTextBackground(back);
    dc.SetClippingRegion(r);
    const wxString text = wxControl::Ellipsize(GetTitle(), dc, wxELLIPSIZE_END, r.width);
    dc.DrawLabel(text, r, (place.centred ? wxALIGN_CENTER_HORIZONTAL : wxALIGN_LEFT) | wxALIGN_TOP);
    dc.DestroyClippingRegion();
    dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  }

  // The caption buttons: the button's picture centred on its place, moved a
  // pixel and framed when pressed.
  const std::array<std::pair<CaptionButton, int>, 3> buttons{
      std::pair{CaptionButton::Close, kCaptionClose}, {CaptionButton::Restore, kCaptionRestore},
      {CaptionButton::Minimize, kCaptionMinimize}};
  for (const auto& [button, index] : buttons) {
    const wxRect r = ButtonRect(static_cast<int>(button));
    if (r.IsEmpty()) continue;
    const bool down = f.pressed == button && f.pressedInside;
    const wxBitmap& bmp = cell(index);
    dc.SetClippingRegion(r);
    const int x = r.x + (r.width - bmp.GetWidth()) / 2 + (down ? 1 : 0);
    const int y = (ch - bmp.GetHeight()) / 2 + (down ? 1 : 0);
    dc.DrawBitmap(bmp, x, y, true);
    if (down) {
      dc.SetPen(wxPen(wxColour(0, 0, 0)));
      dc.SetBrush(*wxTRANSPARENT_BRUSH);
      dc.DrawRectangle(r);
    }
    dc.DestroyClippingRegion();
  }
}

int CColoredDlg::ButtonAt(const wxPoint& at) const {
  for (CaptionButton b : {CaptionButton::Close, CaptionButton::Restore, CaptionButton::Minimize}) {
    if (ButtonRect(static_cast<int>(b)).Contains(at)) return static_cast<int>(b);
  }
  return static_cast<int>(CaptionButton::Nothing);
}

int CColoredDlg::HitAt(const wxPoint& at) const {
  const wxSize size = GetClientSize();
  return static_cast<int>(vyr::HitTestFrame({0, 0, size.x, size.y}, at.x, at.y,
                                            frame_->resizable && !frame_->zoomed,
                                            frame_->captionHeight));
}

void CColoredDlg::OnLeftDown(wxMouseEvent& event) {
  Frame& f = *frame_;
  const wxPoint at = event.GetPosition();
  const auto button = static_cast<CaptionButton>(ButtonAt(at));
  if (button != CaptionButton::Nothing) {
    f.pressed = button;
    f.pressedInside = true;
    if (!HasCapture()) CaptureMouse();
    Refresh(false);
    return;
  }
  const auto hit = static_cast<FrameHit>(HitAt(at));
  if (hit == FrameHit::Caption && event.ButtonDClick() && f.resizable) {
    ToggleZoom();
    return;
  }
  if (hit != FrameHit::Caption && !IsBorder(hit)) return;
  BeginDrag(HitAt(at), ClientToScreen(at));
}

void CColoredDlg::BeginDrag(int code, const wxPoint& screenAt) {
  Frame& f = *frame_;
  const auto hit = static_cast<FrameHit>(code);
  auto* widget = static_cast<GtkWidget*>(GetHandle());
  if (widget && WindowManagerMoves(widget)) {
    // The window manager moves and resizes the window as it does its own
    // frames: smooth, and it keeps to the screen's edges.
    if (HasCapture()) ReleaseMouse();
    const guint32 time = gtk_get_current_event_time();
    if (hit == FrameHit::Caption) {
      gtk_window_begin_move_drag(GTK_WINDOW(widget), 1, screenAt.x, screenAt.y, time);
    }
#ifdef GDK_WINDOWING_X11
    else {
      gtk_window_begin_resize_drag(GTK_WINDOW(widget), GdkEdgeFor(hit), 1, screenAt.x,
                                   screenAt.y, time);
    }
#endif
    return;
  }
  // No window manager: the window follows the pointer itself.
  f.dragging = hit;
  f.dragStart = screenAt;
  f.dragRect = wxRect(ClientToScreen(wxPoint(0, 0)), GetSize());
  if (!HasCapture()) CaptureMouse();
}

void CColoredDlg::OnMotion(wxMouseEvent& event) {
  Frame& f = *frame_;
  const wxPoint at = event.GetPosition();
  if (f.pressed != CaptionButton::Nothing) {
    const bool inside = ButtonRect(static_cast<int>(f.pressed)).Contains(at);
    if (inside != f.pressedInside) {
      f.pressedInside = inside;
      Refresh(false);
    }
    return;
  }
  if (f.dragging != FrameHit::Nowhere && event.LeftIsDown()) {
    const wxPoint d = ClientToScreen(at) - f.dragStart;
    wxRect r = f.dragRect;
    const wxSize min = GetMinSize();
    auto moveLeft = [&] { const int w = std::max(r.width - d.x, min.x); r.x += r.width - w; r.width = w; };
    auto moveTop = [&] { const int h = std::max(r.height - d.y, min.y); r.y += r.height - h; r.height = h; };
    auto moveRight = [&] { r.width = std::max(r.width + d.x, min.x); };
    auto moveBottom = [&] { r.height = std::max(r.height + d.y, min.y); };
    switch (f.dragging) {
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
    SetSize(r);
    return;
  }
  SetCursor(wxCursor(CursorFor(static_cast<FrameHit>(HitAt(at)))));
}

void CColoredDlg::OnLeftUp(wxMouseEvent& event) {
  Frame& f = *frame_;
  const CaptionButton pressed = f.pressed;
  const bool clicked =
      pressed != CaptionButton::Nothing && ButtonRect(static_cast<int>(pressed)).Contains(event.GetPosition());
  EndDrag();
  if (!clicked) return;
  switch (pressed) {
    case CaptionButton::Close: Close(); break;
    case CaptionButton::Restore: ToggleZoom(); break;
    case CaptionButton::Minimize: Iconize(true); break;
    default: break;
  }
}

void CColoredDlg::EndDrag() {
  Frame& f = *frame_;
  if (HasCapture()) ReleaseMouse();
  if (f.pressed != CaptionButton::Nothing) Refresh(false);
  f.pressed = CaptionButton::Nothing;
  f.pressedInside = false;
  f.dragging = FrameHit::Nowhere;
}

// Zoomed, the window fills the work area of its display (the screen without
// the panels); the restore button gives the old place back.
void CColoredDlg::ToggleZoom() {
  Frame& f = *frame_;
  if (f.zoomed) {
    f.zoomed = false;
    SetSize(f.restoreRect);
  } else {
    // The window's origin as the X server has it (the cached position can be
    // relative to a window manager's frame).
    f.restoreRect = wxRect(ClientToScreen(wxPoint(0, 0)), GetSize());
    const int index = wxDisplay::GetFromWindow(this);
    const wxDisplay display(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index));
    f.zoomed = true;
    SetSize(display.GetClientArea());
  }
  Refresh(false);
}

void CColoredDlg::OnActivate(wxActivateEvent& event) {
  if (frame_->active != event.GetActive()) {
    frame_->active = event.GetActive();
    Refresh(false);
  }
  event.Skip();
}

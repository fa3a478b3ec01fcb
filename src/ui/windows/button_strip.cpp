#include "ui/windows/button_strip.h"

#include <algorithm>
#include <utility>

#include <gtk/gtk.h>

#include <wx/dcbuffer.h>
#include <wx/display.h>
#include <wx/pen.h>
#include <wx/popupwin.h>
#include <wx/settings.h>
#include <wx/utils.h>

#include "base/application.h"
#include "ui/windows/image_list.h"

using vyr::ButtonStripEntry;
using vyr::ButtonStripModel;
using vyr::StripRect;

namespace {

// The strip's own choice for every text colour, and the toolbar's default
// background (190, 190, 160).
constexpr unsigned long kMagenta = 0xFF00FF;
const wxColour kDefaultBack(190, 190, 160);

wxRect ToWx(const StripRect& rect) { return wxRect(rect.x, rect.y, rect.width, rect.height); }

// A colour not given at all counts as magenta: the strip's own choice.
wxUint32 ColourValue(const wxColour& colour) { return colour.IsOk() ? colour.GetRGB() : kMagenta; }

// Two-tone edges around a rectangle: `topLeft` along the top and left,
// `bottomRight` along the bottom and right.
void DrawEdges(wxDC& dc, const wxRect& rect, const wxColour& topLeft, const wxColour& bottomRight) {
  if (rect.width < 2 || rect.height < 2) return;
  dc.SetPen(wxPen(topLeft));
  dc.DrawLine(rect.GetLeft(), rect.GetBottom(), rect.GetLeft(), rect.GetTop());
  dc.DrawLine(rect.GetLeft(), rect.GetTop(), rect.GetRight(), rect.GetTop());
  dc.SetPen(wxPen(bottomRight));
  dc.DrawLine(rect.GetRight(), rect.GetTop(), rect.GetRight(), rect.GetBottom());
  dc.DrawLine(rect.GetRight(), rect.GetBottom(), rect.GetLeft() - 1, rect.GetBottom());
}

}  // namespace

// The tip of one entry: a small window of the desktop's tip colours with the
// text, under the entry. The strip is one window with many entries, so it
// places each tip itself at the entry the pointer is on. Screen readers find
// the tip's text as the window's name.
class CButtonStrip::TipWindow : public wxPopupWindow {
 public:
  explicit TipWindow(wxWindow* parent) : wxPopupWindow(parent, wxBORDER_NONE) {
    SetBackgroundStyle(wxBG_STYLE_PAINT);
    gtk_window_set_type_hint(GTK_WINDOW(GetHandle()), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    Bind(wxEVT_PAINT, [this](wxPaintEvent&) {
      wxAutoBufferedPaintDC dc(this);
      const wxColour back = wxSystemSettings::GetColour(wxSYS_COLOUR_INFOBK);
      dc.SetBackground(wxBrush(back));
      dc.Clear();
      dc.SetPen(wxPen(back.ChangeLightness(60)));
      dc.SetBrush(*wxTRANSPARENT_BRUSH);
      dc.DrawRectangle(wxRect(GetClientSize()));
      dc.SetFont(GetFont());
      dc.SetTextForeground(wxSystemSettings::GetColour(wxSYS_COLOUR_INFOTEXT));
      dc.DrawText(text_, kPadX, kPadY);
    });
  }
  void SetText(const wxString& text) {
    text_ = text;
    const wxSize extent = GetTextExtent(text);
    SetSize(extent.x + 2 * kPadX, extent.y + 2 * kPadY);
    atk_object_set_name(gtk_widget_get_accessible(static_cast<GtkWidget*>(GetHandle())), text.utf8_str());
    Refresh();
  }

 private:
  static constexpr int kPadX = 6, kPadY = 3;
  wxString text_;
};

CButtonStrip::CButtonStrip(wxWindow* parent, wxWindowID id, ButtonStripModel::Orientation orientation)
    : model_(orientation) {
  // Everything is painted into a buffer first: no background erase, no flicker.
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  Create(parent, id, wxDefaultPosition, wxDefaultSize, wxFULL_REPAINT_ON_RESIZE | wxBORDER_NONE);
  font_ = rolloverFont_ = GetFont();
  SetColours({kDefaultBack, *wxBLACK, wxColour(kMagenta), wxColour(kMagenta), wxColour(kMagenta)});
  model_.SetTextMeasure([this](const ButtonStripEntry& entry) {
    const wxFont font = (entry.state & ButtonStripModel::kStateFixed) ? font_.Bold() : font_;
    int width = 0, height = 0;
    GetTextExtent(wxString::FromUTF8(entry.text.c_str()), &width, &height, nullptr, nullptr, &font);
    return vyr::StripTextSize{width, height};
  });
  model_.SetViewSize(GetClientSize().x, GetClientSize().y);

  Bind(wxEVT_PAINT, &CButtonStrip::OnPaint, this);
  Bind(wxEVT_SIZE, &CButtonStrip::OnSize, this);
  Bind(wxEVT_MOTION, &CButtonStrip::OnMotion, this);
  Bind(wxEVT_ENTER_WINDOW, &CButtonStrip::OnMotion, this);
  Bind(wxEVT_LEAVE_WINDOW, &CButtonStrip::OnLeave, this);
  Bind(wxEVT_LEFT_DOWN, &CButtonStrip::OnLeftDown, this);
  Bind(wxEVT_LEFT_DCLICK, &CButtonStrip::OnLeftDown, this);
  Bind(wxEVT_LEFT_UP, &CButtonStrip::OnLeftUp, this);
  Bind(wxEVT_MOUSEWHEEL, &CButtonStrip::OnWheel, this);
  Bind(wxEVT_MOUSE_CAPTURE_LOST, &CButtonStrip::OnCaptureLost, this);

  tipTimer_.SetOwner(this);
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { PlaceTip(); }, tipTimer_.GetId());
  Bind(wxEVT_SHOW, [this](wxShowEvent& event) {
    if (!event.IsShown()) ShowTip(-1);
    event.Skip();
  });
  AttachKeysAndAccessible();
}

// The tip window is a child of the strip and goes with it.
CButtonStrip::~CButtonStrip() { tipTimer_.Stop(); }

void CButtonStrip::SetColours(const Colours& colours) {
  const auto resolved = ButtonStripModel::ResolveTextColours(
      {ColourValue(colours.text), ColourValue(colours.rollover), ColourValue(colours.selected),
       ColourValue(colours.disabled)});
  colours_.back = colours.back.IsOk() ? colours.back : kDefaultBack;
  colours_.text = wxColour(resolved[0]);
  colours_.rollover = wxColour(resolved[1]);
  colours_.selected = wxColour(resolved[2]);
  colours_.disabled = wxColour(resolved[3]);
  SetBackgroundColour(colours_.back);
  Refresh();
}

void CButtonStrip::SetFonts(const wxFont& normal, const wxFont& rollover) {
  font_ = normal.IsOk() ? normal : GetFont();
  rolloverFont_ = rollover.IsOk() ? rollover : font_;
  SetFont(font_);
  UpdateMetrics();
}

void CButtonStrip::SetImages(Images images) {
  images_ = std::move(images);
  UpdateMetrics();
}

void CButtonStrip::SetSounds(std::string rollover, std::string select) {
  rolloverSound_ = std::move(rollover);
  selectSound_ = std::move(select);
}

void CButtonStrip::SetOnCommand(std::function<void(int command, int index)> onCommand) {
  onCommand_ = std::move(onCommand);
}

void CButtonStrip::SetShowText(bool show) {
  ButtonStripModel::Metrics metrics = model_.GetMetrics();
  metrics.showText = show;
  model_.SetMetrics(metrics);
  InvalidateBestSize();
  Refresh();
}

void CButtonStrip::SetSelectOnClick(bool on) { model_.SetSelectOnClick(on); }

void CButtonStrip::UpdateMetrics() {
  // SetMetrics also measures every text again in the current font.
  ButtonStripModel::Metrics metrics = model_.GetMetrics();
  const bool images = images_.normal && !images_.normal->IsEmpty();
  metrics.imageWidth = images ? images_.normal->CellSize().x : 0;
  metrics.imageHeight = images ? images_.normal->CellSize().y : 0;
  model_.SetMetrics(metrics);
  InvalidateBestSize();
  Refresh();
}

void CButtonStrip::SetEntries(std::vector<ButtonStripEntry> entries) {
  model_.SetEntries(std::move(entries));
  ShowTip(-1);
  InvalidateBestSize();
  Refresh();
}

const std::vector<ButtonStripEntry>& CButtonStrip::Entries() const { return model_.Entries(); }

void CButtonStrip::EnableCommand(int command, bool enabled) {
  if (model_.EnableCommand(command, enabled)) Refresh();
}

void CButtonStrip::SetEntryState(int index, int state) {
  if (model_.SetEntryState(index, state)) {
    InvalidateBestSize();
    Refresh();
  }
}

void CButtonStrip::Select(int index) {
  model_.Select(index);
  Refresh();
}

int CButtonStrip::Selection() const { return model_.Selection(); }

void CButtonStrip::ScrollBy(int entries, bool wrapAtEnd) {
  if (model_.ScrollBy(entries, wrapAtEnd)) Refresh();
}

int CButtonStrip::ScrollOffset() const { return model_.ScrollOffset(); }

int CButtonStrip::ContentLength() const { return model_.ContentLength(); }

int CButtonStrip::ImagesOnlyLength() const {
  ButtonStripModel model = model_;
  ButtonStripModel::Metrics metrics = model.GetMetrics();
  metrics.showText = false;
  model.SetMetrics(metrics);
  return model.ContentLength();
}

void CButtonStrip::FollowPointer() {
  const wxPoint at = ScreenToClient(wxGetMousePosition());
  const int index = wxRect(GetClientSize()).Contains(at) ? model_.HitTest(at.x, at.y) : -1;
  if (model_.Hover(index)) Refresh();
  ShowTip(index);
}

ButtonStripModel& CButtonStrip::Model() { return model_; }

wxRect CButtonStrip::EntryRect(int index) const { return ToWx(model_.EntryRect(index)); }

wxSize CButtonStrip::DoGetBestClientSize() const {
  const int along = std::max(1, model_.ContentLength());
  const int across = std::max(1, model_.CrossLength());
  return model_.GetOrientation() == ButtonStripModel::Orientation::Horizontal
             ? wxSize(along, across)
             : wxSize(across, along);
}

// --- drawing -----------------------------------------------------------------

wxFont CButtonStrip::EntryFont(int index) const {
  wxFont font = index == model_.Hovered() ? rolloverFont_ : font_;
  if (model_.Entries()[index].state & ButtonStripModel::kStateFixed) font = font.Bold();
  return font;
}

void CButtonStrip::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  dc.SetBackground(wxBrush(colours_.back));
  dc.Clear();
  const wxSize size = GetClientSize();
  const bool horizontal = model_.GetOrientation() == ButtonStripModel::Orientation::Horizontal;
  for (int i = model_.ScrollOffset(); i < model_.Count(); ++i) {
    const StripRect rect = model_.EntryRect(i);
    if ((horizontal ? rect.x : rect.y) >= (horizontal ? size.x : size.y)) break;
    DrawEntry(dc, i);
  }
  AfterPaint(dc);
}

void CButtonStrip::DrawEntry(wxDC& dc, int index) {
  const ButtonStripEntry& entry = model_.Entries()[index];
  const wxRect rect = ToWx(model_.EntryRect(index));
  const wxColour light = colours_.back.ChangeLightness(135);
  const wxColour dark = colours_.back.ChangeLightness(65);
  const bool horizontal = model_.GetOrientation() == ButtonStripModel::Orientation::Horizontal;

  if (entry.state & ButtonStripModel::kStateSeparator) {
    // An etched line across the strip, in the middle of the gap.
    const int inset = model_.GetMetrics().padding;
    dc.SetPen(wxPen(dark));
    if (horizontal) {
      const int x = rect.x + rect.width / 2;
      dc.DrawLine(x, rect.y + inset, x, rect.GetBottom() - inset);
      dc.SetPen(wxPen(light));
      dc.DrawLine(x + 1, rect.y + inset, x + 1, rect.GetBottom() - inset);
    } else {
      const int y = rect.y + rect.height / 2;
      dc.DrawLine(rect.x + inset, y, rect.GetRight() - inset, y);
      dc.SetPen(wxPen(light));
      dc.DrawLine(rect.x + inset, y + 1, rect.GetRight() - inset, y + 1);
    }
    return;
  }

  // Selected or held down: sunken on a slightly darker ground; under the
  // pointer: raised.
  const bool sunken = index == model_.Pressed() || index == model_.Selection();
  if (sunken) {
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colours_.back.ChangeLightness(92)));
    dc.DrawRectangle(rect);
    DrawEdges(dc, rect, dark, light);
  } else if (index == model_.Hovered()) {
    DrawEdges(dc, rect, light, dark);
  }

  const bool disabled = entry.state & ButtonStripModel::kStateDisabled;
  const StripRect imageRect = model_.ImageRect(index);
  if (imageRect.width > 0 && images_.normal) {
    const wxPoint at(imageRect.x, imageRect.y);
    if (disabled && images_.disabled && entry.image < images_.disabled->Count()) {
      images_.disabled->Draw(dc, entry.image, at);
    } else if (disabled) {
      const wxBitmap& cell = images_.normal->Cell(entry.image);
      if (cell.IsOk()) dc.DrawBitmap(cell.ConvertToDisabled(), at, true);
    } else if (index == model_.Hovered() && images_.rollover &&
               entry.image < images_.rollover->Count()) {
      images_.rollover->Draw(dc, entry.image, at);
    } else {
      images_.normal->Draw(dc, entry.image, at);
    }
  }

  const StripRect textRect = model_.TextRect(index);
  if (textRect.width <= 0 || entry.text.empty()) return;
  switch (model_.ColourFor(index)) {
    case ButtonStripModel::TextColour::Disabled: dc.SetTextForeground(colours_.disabled); break;
    case ButtonStripModel::TextColour::Rollover: dc.SetTextForeground(colours_.rollover); break;
    case ButtonStripModel::TextColour::Selected: dc.SetTextForeground(colours_.selected); break;
    case ButtonStripModel::TextColour::Normal: dc.SetTextForeground(colours_.text); break;
  }
  dc.SetFont(EntryFont(index));
  dc.SetBackgroundMode(wxBRUSHSTYLE_TRANSPARENT);
  wxDCClipper clip(dc, ToWx(textRect));
  dc.DrawText(wxString::FromUTF8(entry.text.c_str()), textRect.x, textRect.y);
}

// --- mouse -------------------------------------------------------------------

void CButtonStrip::OnSize(wxSizeEvent& event) {
  const wxSize size = GetClientSize();
  model_.SetViewSize(size.x, size.y);
  Refresh();
  event.Skip();
}

void CButtonStrip::PointerAt(const wxPoint& point) {
  const int index = model_.HitTest(point.x, point.y);
  ShowTip(index);
  if (model_.Hover(index)) {
    Refresh();
    if (model_.Hovered() >= 0) Play(rolloverSound_);
  }
}

void CButtonStrip::OnMotion(wxMouseEvent& event) {
  PointerAt(event.GetPosition());
  event.Skip();
}

void CButtonStrip::OnLeave(wxMouseEvent& event) {
  ShowTip(-1);
  if (model_.Hover(-1)) Refresh();
  event.Skip();
}

void CButtonStrip::OnLeftDown(wxMouseEvent& event) {
  // A click ends the tip until the pointer moves to another entry.
  tipTimer_.Stop();
  if (tip_) tip_->Hide();
  model_.Press(model_.HitTest(event.GetX(), event.GetY()));
  if (model_.Pressed() >= 0) {
    if (!HasCapture()) CaptureMouse();
    Refresh();
  }
  event.Skip();
}

void CButtonStrip::OnLeftUp(wxMouseEvent& event) {
  if (HasCapture()) ReleaseMouse();
  const int index = model_.HitTest(event.GetX(), event.GetY());
  const bool wasPressed = model_.Pressed() >= 0;
  const bool clicked = model_.Release(index);
  if (wasPressed) Refresh();
  if (!clicked) return;
  Play(selectSound_);
  // The handler may rebuild or destroy this window: nothing of it is used
  // after the call.
  const int command = model_.Entries()[index].command;
  auto handler = onCommand_;
  if (handler) handler(command, index);
}

void CButtonStrip::OnWheel(wxMouseEvent& event) {
  if (event.GetWheelRotation() == 0) return;
  ScrollBy(event.GetWheelRotation() > 0 ? -1 : 1);
  PointerAt(event.GetPosition());
}

void CButtonStrip::OnCaptureLost(wxMouseCaptureLostEvent&) {
  model_.Press(-1);
  Refresh();
}

void CButtonStrip::ShowTip(int index) {
  if (index == tipEntry_) return;
  tipEntry_ = index;
  const vyr::Application* app = vyr::Application::Current();
  const bool tips = !app || app->ShowTooltips();
  if (!tips || index < 0 || index >= model_.Count() || model_.Entries()[index].tip.empty()) {
    tipTimer_.Stop();
    if (tip_) tip_->Hide();
    return;
  }
  // While a tip is shown the next one follows at once; otherwise after the
  // pointer rested a moment.
  if (tip_ && tip_->IsShown()) {
    PlaceTip();
  } else {
    tipTimer_.StartOnce(kTipDelayMs);
  }
}

void CButtonStrip::PlaceTip() {
  if (tipEntry_ < 0 || tipEntry_ >= model_.Count() || !IsShownOnScreen()) return;
  if (!tip_) tip_ = new TipWindow(this);
  tip_->SetText(wxString::FromUTF8(model_.Entries()[tipEntry_].tip.c_str()));
  // Centred under the entry, on the screen; above it when there is no room
  // below.
  const wxRect entry = EntryRect(tipEntry_);
  const wxRect onScreen(ClientToScreen(entry.GetTopLeft()), entry.GetSize());
  const wxSize size = tip_->GetSize();
  const int index = wxDisplay::GetFromWindow(this);
  const wxRect area = wxDisplay(index == wxNOT_FOUND ? 0u : static_cast<unsigned>(index)).GetClientArea();
  int x = onScreen.x + (onScreen.width - size.x) / 2;
  int y = onScreen.GetBottom() + 1 + kTipGap;
  if (y + size.y > area.GetBottom()) y = onScreen.y - kTipGap - size.y;
  x = std::clamp(x, area.x, std::max(area.x, area.GetRight() + 1 - size.x));
  tip_->Move(x, y);
  tip_->Show();
}

void CButtonStrip::Play(const std::string& sound) const {
  if (sound.empty()) return;
  if (vyr::Application* app = vyr::Application::Current()) app->PlaySound(sound, 2);
}

// The button strip for the keyboard and for screen readers: the focus, the
// mark the arrows move, and the accessible buttons.
#include <gtk/gtk.h>

#include <wx/dc.h>
#include <wx/pen.h>

#include "ui/windows/button_strip.h"

using vyr::ButtonStripEntry;
using vyr::ButtonStripModel;

void CButtonStrip::AttachKeysAndAccessible() {
  Bind(wxEVT_KEY_DOWN, &CButtonStrip::OnKey, this);
  // The mark shows while the strip has the focus; it starts on the chosen
  // entry, or the first.
  Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
    model_.MoveKey(0);
    Refresh();
    event.Skip();
  });
  Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
    Refresh();
    event.Skip();
  });
  DrawnPartsSource source;
  source.parts = [this] { return AccessibleParts(); };
  // A screen reader's click runs from the event loop, as a pointer's does.
  source.press = [this](int index) { PressEntry(index); };
  source.focus = [this](int index) {
    model_.SetKeyEntry(index);
    SetFocus();
    Refresh();
  };
  source.name = [this] {
    const wxString name = GetName();
    return name == wxPanelNameStr ? std::string() : std::string(name.utf8_str());
  };
  accessible_ = std::make_unique<CDrawnAccessible>(this, std::move(source), DrawnWindowRole::ToolBar);
}

bool CButtonStrip::AcceptsFocus() const {
  // The toolkit gives a window the focus when the pointer presses on it if
  // the window accepts it: not during a press.
  GdkEvent* event = gtk_get_current_event();
  const bool press = event && (event->type == GDK_BUTTON_PRESS || event->type == GDK_2BUTTON_PRESS ||
                               event->type == GDK_3BUTTON_PRESS);
  if (event) gdk_event_free(event);
  return !press;
}

void CButtonStrip::OnKey(wxKeyEvent& event) {
  if (event.GetModifiers() != wxMOD_NONE) {
    event.Skip();
    return;
  }
  switch (event.GetKeyCode()) {
    case WXK_LEFT: case WXK_UP: case WXK_NUMPAD_LEFT: case WXK_NUMPAD_UP: model_.MoveKey(-1); break;
    case WXK_RIGHT: case WXK_DOWN: case WXK_NUMPAD_RIGHT: case WXK_NUMPAD_DOWN: model_.MoveKey(1); break;
    case WXK_HOME: case WXK_NUMPAD_HOME: model_.MoveKeyToEnd(false); break;
    case WXK_END: case WXK_NUMPAD_END: model_.MoveKeyToEnd(true); break;
    case WXK_RETURN: case WXK_NUMPAD_ENTER: case WXK_SPACE:
      PressEntry(model_.KeyEntry());
      return;
    default: event.Skip(); return;
  }
  Refresh();
}

void CButtonStrip::PressEntry(int index) {
  if (!model_.IsClickable(index)) return;
  // As a click: the entry becomes the selection when the strip selects.
  model_.Press(index);
  model_.Release(index);
  Refresh();
  Play(selectSound_);
  // The handler may rebuild or destroy this window: nothing of it is used
  // after the call.
  const int command = model_.Entries()[index].command;
  auto handler = onCommand_;
  if (handler) handler(command, index);
}

std::vector<DrawnPart> CButtonStrip::AccessibleParts() const {
  const bool texts = model_.GetMetrics().showText;
  const bool chooses = model_.SelectOnClick();
  const bool focused = HasFocus();
  const wxRect client(GetClientSize());
  std::vector<DrawnPart> parts;
  parts.reserve(model_.Count());
  for (int i = 0; i < model_.Count(); ++i) {
    const ButtonStripEntry& entry = model_.Entries()[i];
    DrawnPart part;
    part.rect = EntryRect(i);
    part.shown = i >= model_.ScrollOffset() && client.Intersects(part.rect);
    if (entry.state & ButtonStripModel::kStateSeparator) {
      part.role = DrawnRole::Separator;
      part.enabled = false;
      parts.push_back(part);
      continue;
    }
    // Named by what the entry shows; by its tip when it shows only its
    // picture.
    part.name = texts && !entry.text.empty() ? entry.text : entry.tip;
    if (part.name.empty()) part.name = entry.text;
    if (entry.tip != part.name) part.description = entry.tip;
    part.role = chooses ? DrawnRole::ToggleButton : DrawnRole::PushButton;
    part.enabled = model_.IsClickable(i);
    part.checked = chooses && i == model_.Selection();
    part.focused = focused && i == model_.KeyEntry();
    parts.push_back(part);
  }
  return parts;
}

void CButtonStrip::AfterPaint(wxDC& dc) {
  const int key = model_.KeyEntry();
  if (HasFocus() && key >= 0) {
    // A dotted frame inside the entry, in the strip's text colour.
    const wxRect mark = EntryRect(key).Deflate(2);
    dc.SetPen(wxPen(colours_.text, 1, wxPENSTYLE_DOT));
    dc.SetBrush(*wxTRANSPARENT_BRUSH);
    dc.DrawRectangle(mark);
  }
  if (accessible_) accessible_->Update();
}

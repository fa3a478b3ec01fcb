#include "ui/windows/skinned_menu_bar.h"

#include <wx/dcbuffer.h>
#include <wx/menu.h>
#include <wx/utils.h>

#include "platform/string_table.h"
#include "ui/windows/scheme_art.h"

namespace {

// What screen readers call the bar.
constexpr vyr::platform::TextId kMenuBarName{40604};

constexpr int kTitlePadding = 8;  // left and right of each title
constexpr int kBarPadding = 3;    // above and below the titles

// The title's key letter: the one after a single '&'.
int KeyLetter(const wxString& title) {
  for (size_t i = 0; i + 1 < title.length(); ++i) {
    if (title[i] != '&') continue;
    if (title[i + 1] == '&') {
      ++i;
      continue;
    }
    return wxToupper(title[i + 1]);
  }
  return 0;
}

}  // namespace

CSkinnedMenuBar::CSkinnedMenuBar(wxWindow* parent, const CSchemeArt& art, SkinnedMenuBuilder builder)
    : wxControl(parent, kSkinnedMenuBarId, wxDefaultPosition, wxDefaultSize, wxBORDER_NONE | wxWANTS_CHARS),
      builder_(std::move(builder)),
      back_(art.Colour(vyr::SchemeColour::MenuBack)),
      text_(art.Colour(vyr::SchemeColour::MenuText)),
      font_(art.Font(vyr::SchemeFont::Toolbar)) {
  SetName(wxString::FromUTF8(kMenuBarName.Text()));
  DrawnPartsSource source;
  source.parts = [this] { return AccessibleParts(); };
  source.press = [this](int index) { OpenMenu(index); };
  source.focus = [this](int index) {
    FocusBar();
    Highlight(index);
  };
  source.name = [this] { return std::string(GetName().utf8_str()); };
  accessible_ = std::make_unique<CDrawnAccessible>(this, std::move(source), DrawnWindowRole::MenuBar);
  SetBackgroundStyle(wxBG_STYLE_PAINT);
  SetFont(font_);
  Bind(wxEVT_PAINT, &CSkinnedMenuBar::OnPaint, this);
  Bind(wxEVT_LEFT_DOWN, &CSkinnedMenuBar::OnMouse, this);
  Bind(wxEVT_MOTION, &CSkinnedMenuBar::OnMouse, this);
  Bind(wxEVT_LEAVE_WINDOW, &CSkinnedMenuBar::OnMouse, this);
  Bind(wxEVT_KEY_DOWN, &CSkinnedMenuBar::OnKey, this);
  // The key letters are underlined only while the bar has the focus.
  Bind(wxEVT_SET_FOCUS, [this](wxFocusEvent& event) {
    Refresh(false);
    event.Skip();
  });
  Bind(wxEVT_KILL_FOCUS, [this](wxFocusEvent& event) {
    if (open_ < 0) Highlight(-1);
    Refresh(false);
    event.Skip();
  });
  Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    places_.clear();
    Refresh(false);
    event.Skip();
  });
  Rebuild();
  SetInitialSize(DoGetBestSize());
}

void CSkinnedMenuBar::SetArt(const CSchemeArt& art) {
  back_ = art.Colour(vyr::SchemeColour::MenuBack);
  text_ = art.Colour(vyr::SchemeColour::MenuText);
  font_ = art.Font(vyr::SchemeFont::Toolbar);
  SetFont(font_);
  places_.clear();
  SetInitialSize(DoGetBestSize());
  Refresh(false);
}

void CSkinnedMenuBar::Rebuild() {
  titles_.clear();
  if (builder_) {
    for (const SkinnedMenu& m : builder_()) titles_.push_back(m.title);
  }
  places_.clear();
  accessible_->Update();
  Refresh(false);
}

std::vector<wxString> CSkinnedMenuBar::Titles() const {
  std::vector<wxString> shown;
  for (const wxString& t : titles_) shown.push_back(wxStripMenuCodes(t, wxStrip_Mnemonics));
  return shown;
}

wxSize CSkinnedMenuBar::DoGetBestSize() const {
  int width = 0, height = 0;
  GetTextExtent("Ag", &width, &height, nullptr, nullptr, &font_);
  int total = 0;
  for (const wxString& t : Titles()) {
    int w = 0;
    GetTextExtent(t, &w, &height, nullptr, nullptr, &font_);
    total += w + 2 * kTitlePadding;
  }
  return {total, height + 2 * kBarPadding + 2};
}

void CSkinnedMenuBar::Layout(wxDC& dc) {
  places_.clear();
  dc.SetFont(font_);
  int x = 2;
  const int h = GetClientSize().y;
  for (const wxString& t : Titles()) {
    const int w = dc.GetTextExtent(t).x + 2 * kTitlePadding;
    places_.emplace_back(x, 1, w, h - 2);
    x += w;
  }
}

wxRect CSkinnedMenuBar::TitleRect(int index) const {
  if (places_.empty()) {
    wxClientDC dc(const_cast<CSkinnedMenuBar*>(this));
    const_cast<CSkinnedMenuBar*>(this)->Layout(dc);
  }
  return index >= 0 && index < static_cast<int>(places_.size()) ? places_[index] : wxRect();
}

int CSkinnedMenuBar::TitleForKey(int key) const {
  for (size_t i = 0; i < titles_.size(); ++i) {
    if (KeyLetter(titles_[i]) == wxToupper(key)) return static_cast<int>(i);
  }
  return -1;
}

void CSkinnedMenuBar::OnPaint(wxPaintEvent&) {
  wxAutoBufferedPaintDC dc(this);
  if (places_.empty()) Layout(dc);
  const wxSize size = GetClientSize();
  dc.SetBackground(wxBrush(back_));
  dc.Clear();
  dc.SetFont(font_);
  const bool focused = HasFocus();
  const std::vector<wxString> shown = Titles();
  for (size_t i = 0; i < shown.size() && i < places_.size(); ++i) {
    const wxRect& r = places_[i];
    const bool lit = static_cast<int>(i) == highlighted_ || static_cast<int>(i) == open_;
    if (lit) {
      // A highlighted title: the colours swapped, as menus do.
      dc.SetPen(*wxTRANSPARENT_PEN);
      dc.SetBrush(wxBrush(text_));
      dc.DrawRectangle(r);
      dc.SetTextForeground(back_);
    } else {
      dc.SetTextForeground(text_);
    }
    const wxSize extent = dc.GetTextExtent(shown[i]);
    const int x = r.x + kTitlePadding, y = r.y + (r.height - extent.y) / 2;
    dc.DrawText(shown[i], x, y);
    // The key letter underlined while the keyboard is in the bar.
    const int key = KeyLetter(titles_[i]);
    if (focused && key) {
      const int at = shown[i].Upper().Find(wxUniChar(key));
      if (at != wxNOT_FOUND) {
        const int before = dc.GetTextExtent(shown[i].Left(at)).x;
        const int width = dc.GetTextExtent(shown[i].Mid(at, 1)).x;
        dc.SetPen(wxPen(lit ? back_ : text_));
        dc.DrawLine(x + before, y + extent.y, x + before + width, y + extent.y);
      }
    }
  }
  // A thin line under the bar, darker than its background.
  dc.SetPen(wxPen(back_.ChangeLightness(75)));
  dc.DrawLine(0, size.y - 1, size.x, size.y - 1);
  accessible_->Update();
}

void CSkinnedMenuBar::OnMouse(wxMouseEvent& event) {
  int at = -1;
  for (size_t i = 0; i < places_.size(); ++i) {
    if (places_[i].Contains(event.GetPosition())) at = static_cast<int>(i);
  }
  if (event.LeftDown()) {
    if (at >= 0) CallAfter([this, at] { OpenMenu(at); });
    return;
  }
  if (!HasFocus()) Highlight(event.Leaving() ? -1 : at);
}

void CSkinnedMenuBar::OnKey(wxKeyEvent& event) {
  const int count = static_cast<int>(titles_.size());
  if (count == 0) {
    event.Skip();
    return;
  }
  switch (event.GetKeyCode()) {
    case WXK_LEFT: Highlight((highlighted_ + count - 1) % count); return;
    case WXK_RIGHT: Highlight((highlighted_ + 1) % count); return;
    case WXK_HOME: Highlight(0); return;
    case WXK_END: Highlight(count - 1); return;
    case WXK_DOWN: case WXK_RETURN: case WXK_NUMPAD_ENTER: case WXK_SPACE:
      if (highlighted_ >= 0) CallAfter([this, index = highlighted_] { OpenMenu(index); });
      return;
    case WXK_ESCAPE: case WXK_F10:
      Highlight(-1);
      if (focusBefore_ && focusBefore_ != this) focusBefore_->SetFocus();
      return;
    default: {
      const int index = TitleForKey(event.GetKeyCode());
      if (index >= 0) {
        CallAfter([this, index] { OpenMenu(index); });
        return;
      }
      event.Skip();
    }
  }
}

void CSkinnedMenuBar::FocusBar() {
  wxWindow* focus = FindFocus();
  if (focus != this) focusBefore_ = focus;
  SetFocus();
  Highlight(0);
}

void CSkinnedMenuBar::Highlight(int index) {
  if (index == highlighted_) return;
  highlighted_ = index;
  Refresh(false);
  // Screen readers follow the highlighted title.
  accessible_->Update();
}

void CSkinnedMenuBar::OpenMenu(int index) {
  if (!builder_ || open_ >= 0) return;
  std::vector<SkinnedMenu> menus = builder_();
  if (index < 0 || index >= static_cast<int>(menus.size()) || !menus[index].menu) return;
  const wxRect at = TitleRect(index);
  open_ = index;
  Refresh(false);
  Update();
  // The commands go to the window: the bar is its child, and menu events
  // climb to the top-level window.
  PopupMenu(menus[index].menu.get(), at.GetBottomLeft());
  open_ = -1;
  // The pointer may have left while the menu was open: the title under it
  // now is the one lit (none from the keyboard's side).
  if (!HasFocus()) {
    const wxPoint pointer = ScreenToClient(wxGetMousePosition());
    int under = -1;
    for (size_t i = 0; i < places_.size(); ++i) {
      if (places_[i].Contains(pointer)) under = static_cast<int>(i);
    }
    highlighted_ = under;
  }
  Refresh(false);
}

std::vector<DrawnPart> CSkinnedMenuBar::AccessibleParts() const {
  const bool focused = HasFocus();
  const wxRect client(GetClientSize());
  const std::vector<wxString> shown = Titles();
  std::vector<DrawnPart> parts;
  for (size_t i = 0; i < shown.size(); ++i) {
    DrawnPart part;
    part.name = std::string(shown[i].utf8_str());
    part.role = DrawnRole::Menu;
    // The places are laid out once the bar is on the screen.
    if (IsShownOnScreen()) part.rect = TitleRect(static_cast<int>(i));
    part.shown = client.Intersects(part.rect);
    part.focused = focused && static_cast<int>(i) == highlighted_;
    parts.push_back(part);
  }
  return parts;
}

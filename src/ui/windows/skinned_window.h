#pragma once
// CSkinnedWindow<TopLevel>: the one skinned window of the program, for
// dialogs (CSkinnedWindow<wxDialog>, through CColoredDlg) and for frames
// (CSkinnedFrame: the browser windows and every later frame with a menu).
//
// It gives the window the scheme's colours and, when the window is drawn
// (always for the browser frames; for dialogs when the scheme's
// [Misc] FancyWindows is 1), a frame of the program's own drawing: the caption
// bar with the title and the close, restore and minimise buttons, the
// borders, moving by the caption and resizing by the borders (through the
// window manager when there is one, by itself otherwise), Alt+Space for the
// window menu. Under the caption it can hold the skinned menu bar (control
// 559). Derived windows put their controls on ContentPanel().
//
// Only wxDialog and wxFrame are made (in skinned_window.cpp).
#include <functional>
#include <memory>
#include <vector>

#include <wx/dialog.h>
#include <wx/frame.h>
#include <wx/panel.h>

class CSchemeArt;
class CSkinnedMenuBar;
class wxMenu;

struct SkinnedWindowOptions {
  bool resizable = false;  // the borders resize it; restore and minimise shown
  // Draw the frame whatever the scheme's FancyWindows says (the browser
  // frames); otherwise the scheme decides.
  bool alwaysDrawn = false;
  long extraStyle = 0;  // added to the window style (wxSTAY_ON_TOP, ...)
};

// A top-level menu of a menu bar: its title (with a '&' before the key
// letter) and its items.
struct SkinnedMenu {
  wxString title;
  std::unique_ptr<wxMenu> menu;
};
// Makes the menus anew each time one opens, so that ticks and disabled
// items show the state of that moment.
using SkinnedMenuBuilder = std::function<std::vector<SkinnedMenu>()>;

struct SkinnedChrome;

template <class TopLevel>
class CSkinnedWindow : public TopLevel {
 public:
  CSkinnedWindow(wxWindow* parent, const wxString& title, const SkinnedWindowOptions& options);
  ~CSkinnedWindow() override;

  // The client area inside the drawn frame and under the menu bar.
  wxPanel* ContentPanel() const;
  // Whether the frame is drawn by the program (false: the system's frame).
  bool IsFancy() const;
  // The scheme art the window draws with: read at construction, replaced by
  // ApplySkinArt (dialogs keep theirs; a scheme switch reaches the ones
  // opened afterwards).
  const std::shared_ptr<const CSchemeArt>& Art() const;
  // Draws the frame and the menu bar with another scheme's art from now on
  // (the browser windows, at a scheme switch).
  void ApplySkinArt(std::shared_ptr<const CSchemeArt> art);

  // The caption bar's height (the caption picture's cell height, or the
  // compiled-in height when the scheme's picture is unusable); 0 with the
  // system's frame.
  int CaptionHeight() const;
  // Whether the caption is drawn active.
  bool CaptionActive() const;
  // Whether the window fills the work area (restore button).
  bool IsZoomed() const;
  // A caption button's place in window coordinates; empty when the scheme's
  // placement leaves it no room, the window has the system's frame, or the
  // button is not shown.
  enum class CaptionPart { Close, Restore, Minimize };
  wxRect CaptionButtonRect(CaptionPart which) const;
  wxRect CloseButtonRect() const { return CaptionButtonRect(CaptionPart::Close); }

  // Gives the window the skinned menu bar (made on the first call) with
  // these menus; the commands of their items go to this window as wxEVT_MENU.
  void SetSkinnedMenu(SkinnedMenuBuilder builder);
  CSkinnedMenuBar* SkinnedMenuBar() const;

  void SetTitle(const wxString& title) override;

 protected:
  // Draws what the window shows in the caption besides the title (the
  // browser frames' logo); called after the caption bar, before the text.
  virtual void DrawCaptionExtras(wxDC& dc, const wxSize& windowSize);
  // The frame's strip above the content: caption and menu bar.
  int TopInset() const;
  // Grows the window around a content area of this size.
  void SetContentSize(const wxSize& content);

 private:
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnActivate(wxActivateEvent& event);
  void OnCharHook(wxKeyEvent& event);
  int ButtonAt(const wxPoint& at) const;
  int HitAt(const wxPoint& at) const;
  void BeginDrag(int hit, const wxPoint& screenAt);
  void EndDrag();
  void ToggleZoom();
  void ShowWindowMenu();
  void PlaceChildren();

  std::unique_ptr<SkinnedChrome> chrome_;
};

extern template class CSkinnedWindow<wxDialog>;
extern template class CSkinnedWindow<wxFrame>;

// A resizable frame of the program's own drawing.
using CSkinnedFrame = CSkinnedWindow<wxFrame>;

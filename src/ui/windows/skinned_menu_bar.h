#pragma once
// CSkinnedMenuBar: the menu bar of a skinned window (control 559), drawn in
// the scheme's MenuBack and MenuText colours with the toolbar font. A click
// on a title, or Alt with the title's key letter, opens that menu under it;
// F10 gives the bar the keyboard focus, where Left and Right move between the
// titles, Enter, Space or Down open one and Escape gives the focus back. The
// commands of the items go to the window as wxEVT_MENU. Screen readers see it
// as a menu bar named "Menu bar" and each title as a menu whose "click"
// opens it; the highlighted title has their focus while the bar has the
// keyboard's.
#include <memory>
#include <vector>

#include <wx/control.h>

#include "ui/windows/drawn_accessible.h"
#include "ui/windows/skinned_window.h"

class CSchemeArt;

inline constexpr int kSkinnedMenuBarId = 559;

class CSkinnedMenuBar : public wxControl {
 public:
  CSkinnedMenuBar(wxWindow* parent, const CSchemeArt& art, SkinnedMenuBuilder builder);

  // The titles as shown ('&' removed).
  std::vector<wxString> Titles() const;
  // The title's place in the bar's coordinates; empty for a bad index.
  wxRect TitleRect(int index) const;
  // Opens the menu at the index under its title (returns once it closed).
  void OpenMenu(int index);
  // The index of the title whose key letter is the key, or -1.
  int TitleForKey(int key) const;
  // Takes the keyboard focus with the first title highlighted.
  void FocusBar();
  // Asks the builder again (a title changed).
  void Rebuild();
  // Draws with another scheme's colours and font.
  void SetArt(const CSchemeArt& art);

  wxSize DoGetBestSize() const override;
  bool AcceptsFocus() const override { return true; }

 private:
  void OnPaint(wxPaintEvent& event);
  void OnMouse(wxMouseEvent& event);
  void OnKey(wxKeyEvent& event);
  void Highlight(int index);
  std::vector<DrawnPart> AccessibleParts() const;
  void Layout(wxDC& dc);

  SkinnedMenuBuilder builder_;
  wxColour back_, text_;
  wxFont font_;
  std::vector<wxString> titles_;  // as given, with '&'
  std::vector<wxRect> places_;
  int highlighted_ = -1;
  int open_ = -1;
  wxWindow* focusBefore_ = nullptr;
  std::unique_ptr<CDrawnAccessible> accessible_;  // last: goes first, while the titles are there
};

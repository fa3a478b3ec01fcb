#pragma once
// CButtonStrip: the owner-drawn row (or column) of buttons every bar of the
// program is made of: the toolbar, the folder and page strips, the channel
// column and the header buttons of skinned dialogs. Each entry has a command,
// a text, a tip, an image and a state; the strip draws them in the scheme's
// four text colours over its background, plays the rollover sound when the
// pointer enters an entry and the select sound when one is clicked, scrolls
// by whole entries and keeps one selected entry.
//
// The entry rules (hit test, scrolling, selection, what colour an entry takes)
// live in vyr::ButtonStripModel (src/ui/button_strip_model.h), tested
// headless; this window only draws and forwards the mouse and the keys.
//
// Look: each entry's image with its text on the right, the text centred on
// the image's middle, in both orientations. The entry under the pointer is
// drawn raised, the selected entry and the entry held down sunken, both with
// edges in lighter and darker shades of the background; a separator is an
// etched line across the strip; a fixed entry's text is bold.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/font.h>
#include <wx/timer.h>
#include <wx/window.h>

#include "ui/button_strip_model.h"
#include "ui/windows/drawn_accessible.h"

class CImageList;

class CButtonStrip : public wxWindow {
 public:
  struct Colours {
    wxColour back;
    wxColour text;
    wxColour rollover;
    wxColour selected;
    wxColour disabled;
  };
  struct Images {
    std::shared_ptr<const CImageList> normal;
    std::shared_ptr<const CImageList> disabled;  // may be empty: normal is drawn greyed
    std::shared_ptr<const CImageList> rollover;  // may be empty: normal is drawn
  };

  CButtonStrip(wxWindow* parent, wxWindowID id, vyr::ButtonStripModel::Orientation orientation);
  ~CButtonStrip() override;

  // A text colour of magenta (255, 0, 255) asks for the strip's own choice
  // (vyr::ButtonStripModel::ResolveTextColours).
  void SetColours(const Colours& colours);
  const Colours& GetColours() const { return colours_; }
  // rollover is used for the entry under the pointer (an underlined copy when
  // the scheme asks for one).
  void SetFonts(const wxFont& normal, const wxFont& rollover);
  void SetImages(Images images);
  // Sound names played through the application's sound player ("" none).
  void SetSounds(std::string rollover, std::string select);
  // Called with the entry's command and index when an enabled entry is
  // clicked (after the select sound). The strip touches nothing of itself
  // after the call, so the handler may rebuild or destroy it.
  void SetOnCommand(std::function<void(int command, int index)> onCommand);
  // Images only, without texts (the small toolbar).
  void SetShowText(bool show);
  // Whether a click makes the clicked entry the selection (default on; a
  // toolbar of actions turns it off).
  void SetSelectOnClick(bool on);

  // Replaces every entry; selection and scroll offset return to the start.
  void SetEntries(std::vector<vyr::ButtonStripEntry> entries);
  const std::vector<vyr::ButtonStripEntry>& Entries() const;
  void EnableCommand(int command, bool enabled);
  void SetEntryState(int index, int state);
  void Select(int index);  // -1: none
  int Selection() const;
  // Scrolls by whole entries (negative: towards the start); clamped. With
  // wrapAtEnd an offset reaching the entry count starts again at 0.
  void ScrollBy(int entries, bool wrapAtEnd = false);
  int ScrollOffset() const;
  // The size the entries need along the strip (for layout), and what they
  // need as pictures without their texts.
  int ContentLength() const;
  int ImagesOnlyLength() const;

  // The entry under the pointer as the pointer is now. A menu or a dialog
  // that a click opened takes the pointer without the strip hearing it
  // leave; once it is gone the strip asks where the pointer is.
  void FollowPointer();

  // Where an entry lies in the window (scroll offset applied; empty out of
  // range): for a menu opened under its button.
  wxRect EntryRect(int index) const;

  // For changes made through the model directly, call Refresh() afterwards.
  vyr::ButtonStripModel& Model();

  // Tab reaches the strip; a pointer's click leaves the focus where it was
  // (in the page, in the address bar), as a toolbar's buttons do.
  bool AcceptsFocus() const override;

 protected:
  wxSize DoGetBestClientSize() const override;

 private:
  void UpdateMetrics();
  void OnPaint(wxPaintEvent& event);
  void OnSize(wxSizeEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnLeave(wxMouseEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnWheel(wxMouseEvent& event);
  void OnCaptureLost(wxMouseCaptureLostEvent& event);
  void PointerAt(const wxPoint& point);
  // The tip of the entry (-1: none) shown under that entry.
  void ShowTip(int index);
  void PlaceTip();
  class TipWindow;
  void Play(const std::string& sound) const;
  wxFont EntryFont(int index) const;
  void DrawEntry(wxDC& dc, int index);

  // The keyboard and screen readers (button_strip_access.cpp): the strip
  // takes the focus (Tab), the arrows, Home and End move a mark drawn
  // around an entry, Enter and Space press it; each entry is a button to
  // screen readers, with a "click" action.
  void AttachKeysAndAccessible();
  void OnKey(wxKeyEvent& event);
  // What a click on the entry runs (nothing for one that is not clickable).
  void PressEntry(int index);
  std::vector<DrawnPart> AccessibleParts() const;
  // The keyboard's mark, and the accessible parts told what changed.
  void AfterPaint(wxDC& dc);

  vyr::ButtonStripModel model_;
  Colours colours_;
  wxFont font_;
  wxFont rolloverFont_;
  Images images_;
  std::string rolloverSound_;
  std::string selectSound_;
  std::function<void(int, int)> onCommand_;
  int tipEntry_ = -1;
  static constexpr int kTipDelayMs = 500, kTipGap = 2;
  TipWindow* tip_ = nullptr;
  wxTimer tipTimer_;
  std::unique_ptr<CDrawnAccessible> accessible_;  // last: goes first, while the entries are there
};

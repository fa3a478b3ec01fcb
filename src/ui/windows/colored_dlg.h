#pragma once
// CColoredDlg: the base of every dialog of the program. It gives the dialog
// the scheme's colours (backgrounds and static texts; edit fields and buttons
// keep the system colours) and, when the scheme's [Misc] FancyWindows is 1, a
// frame of the program's own drawing: caption bar, borders, caption buttons,
// moving by the caption and resizing by the borders.
//
// Derived dialogs put their controls on ContentPanel() (the client area inside
// the drawn frame) and call FinishLayout() after adding a sizer to it.
#include <memory>

#include <wx/dialog.h>
#include <wx/panel.h>

class wxButton;
class wxSizer;

class CSchemeArt;

class CColoredDlg : public wxDialog {
 public:
  // resizable: whether the borders resize the dialog. extraStyle is added to
  // the dialog's window style (wxSTAY_ON_TOP, for example).
  CColoredDlg(wxWindow* parent, const wxString& title, bool resizable = false,
              long extraStyle = 0);
  ~CColoredDlg() override;

  wxPanel* ContentPanel() const;
  // Fits the dialog around the content panel's sizer (plus the drawn frame
  // in fancy mode) and centres it on its parent.
  void FinishLayout();
  // The OK and Cancel buttons in a row, OK the default button; `ok`, when
  // given, receives the OK button.
  wxSizer* OkCancelRow(wxButton** ok = nullptr);
  bool IsFancy() const;
  // The scheme art the dialog was made with (read once, at construction).
  const std::shared_ptr<const CSchemeArt>& Art() const;

  // Fancy mode: the caption bar's height (the caption bar picture's cell
  // height, or the compiled-in height when the scheme's picture is unusable)
  // and whether the caption is drawn active.
  int CaptionHeight() const;
  bool CaptionActive() const;
  // Fancy mode: whether the window fills the work area (restore button).
  bool IsZoomed() const;
  // Fancy mode: the close button's place in window coordinates; empty when
  // the scheme's placement leaves it no room.
  wxRect CloseButtonRect() const;

  struct Frame;

 private:
  void ColourControls(wxWindow* parent);
  wxRect ButtonRect(int which) const;
  int ButtonAt(const wxPoint& at) const;
  int HitAt(const wxPoint& at) const;
  void OnPaint(wxPaintEvent& event);
  void OnLeftDown(wxMouseEvent& event);
  void OnLeftUp(wxMouseEvent& event);
  void OnMotion(wxMouseEvent& event);
  void OnActivate(wxActivateEvent& event);
  void BeginDrag(int hit, const wxPoint& screenAt);
  void EndDrag();
  void ToggleZoom();

  std::unique_ptr<Frame> frame_;
};

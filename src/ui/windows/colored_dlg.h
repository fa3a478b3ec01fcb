#pragma once
// CColoredDlg: the base of every dialog of the program: the skinned window
// (see skinned_window.h) as a dialog. It gives the dialog the scheme's
// colours (backgrounds and static texts; edit fields and buttons keep the
// system colours) and, when the scheme's [Misc] FancyWindows is 1, the frame
// of the program's own drawing.
//
// Derived dialogs put their controls on ContentPanel() (the client area inside
// the drawn frame) and call FinishLayout() after adding a sizer to it.
#include "ui/windows/skinned_window.h"

class wxButton;
class wxSizer;

class CColoredDlg : public CSkinnedWindow<wxDialog> {
 public:
  // resizable: whether the borders resize the dialog. extraStyle is added to
  // the dialog's window style (wxSTAY_ON_TOP, for example).
  CColoredDlg(wxWindow* parent, const wxString& title, bool resizable = false,
              long extraStyle = 0);

  // Fits the dialog around the content panel's sizer (plus the drawn frame
  // in fancy mode) and centres it on its parent.
  void FinishLayout();
  // The OK and Cancel buttons in a row, OK the default button; `ok`, when
  // given, receives the OK button.
  wxSizer* OkCancelRow(wxButton** ok = nullptr);
  // A button of the usual kind (wxID_OK, wxID_CANCEL, wxID_YES, wxID_NO)
  // labelled from the string table, in the user's language.
  static wxButton* StandardButton(wxWindow* parent, int id);
  // That button's label ("&OK", "&Cancel", "&Yes", "&No" in English).
  static wxString StandardLabel(int id);

 private:
  void ColourControls(wxWindow* parent);
};

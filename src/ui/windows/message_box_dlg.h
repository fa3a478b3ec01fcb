#pragma once
// CMessageBoxDlg: the program's error, question and information boxes, as
// skinned modal dialogs: an icon, the text, an optional check box (such as
// "Don't show me this again") and OK, or Yes and No.
#include <wx/string.h>

#include "ui/windows/colored_dlg.h"

class wxCheckBox;

class CMessageBoxDlg : public CColoredDlg {
 public:
  // A cautious question is a question whose default button is No: Enter
  // alone never says yes to it.
  enum class Kind { Error, Question, Information, CautiousQuestion };

  // checkBoxText empty: no check box. ShowModal() returns wxID_OK (error and
  // information), wxID_YES or wxID_NO (question; closing the box is No).
  CMessageBoxDlg(wxWindow* parent, Kind kind, const wxString& text, const wxString& caption,
                 const wxString& checkBoxText = {}, bool checked = false);

  bool IsChecked() const;

 private:
  wxCheckBox* check_ = nullptr;
};

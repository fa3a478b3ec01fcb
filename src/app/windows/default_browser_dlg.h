#pragma once
// CDefaultBrowserDlg: the start-up offer to become the default browser, with
// Yes and No and the check box that keeps the offer coming at later starts.
#include "ui/windows/colored_dlg.h"

class wxCheckBox;

class CDefaultBrowserDlg : public CColoredDlg {
 public:
  explicit CDefaultBrowserDlg(wxWindow* parent);

  // Shows the dialog. True when the user chose Yes. alwaysCheck is the check
  // box's state when the dialog closed.
  bool Ask(bool& alwaysCheck);

 private:
  wxCheckBox* alwaysCheck_ = nullptr;
};

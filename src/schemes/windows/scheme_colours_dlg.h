#pragma once
// CSchemeColoursDlg: the ten colours of the current scheme a user may
// change, each with a colour picker. On OK they are written into the
// scheme's own "config.ini".
#include <array>

#include "schemes/scheme_choice.h"
#include "ui/windows/colored_dlg.h"

class wxColourPickerCtrl;

namespace vyr {
class Application;
}

class CSchemeColoursDlg : public CColoredDlg {
 public:
  CSchemeColoursDlg(wxWindow* parent, vyr::Application& app);
  // Shows the dialog; true when the colours were saved.
  bool Run();
  vyr::CustomColours Chosen() const;

 private:
  vyr::Application& app_;
  std::array<wxColourPickerCtrl*, 10> pickers_{};
};

#pragma once
// The two name dialogs of the schemes: CSchemeNameDlg asks for another name
// when an imported scheme's folder exists (rename, replace or cancel);
// CCreateSchemeDlg asks for a new scheme's name and whether it gets its own
// channel set.
#include <string>

#include "schemes/scheme_package.h"
#include "ui/windows/colored_dlg.h"

class wxCheckBox;
class wxTextCtrl;

class CSchemeNameDlg : public CColoredDlg {
 public:
  CSchemeNameDlg(wxWindow* parent, const std::string& name);
  // Shows the dialog modally: Ok (with Name()), Replace or Cancel.
  vyr::SchemeNameChooser::Choice Run();
  std::string Name() const;

 private:
  wxTextCtrl* name_ = nullptr;
};

class CCreateSchemeDlg : public CColoredDlg {
 public:
  explicit CCreateSchemeDlg(wxWindow* parent);
  std::string Name() const;
  bool OwnChannels() const;

 private:
  wxTextCtrl* name_ = nullptr;
  wxCheckBox* ownChannels_ = nullptr;
};

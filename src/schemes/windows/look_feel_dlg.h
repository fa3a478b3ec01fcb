#pragma once
// CLookFeelDlg: the look-and-feel dialog (menu command 32798). The scheme
// list with the current scheme selected, the skinned-frame, sound and
// transition options, and the buttons that create a scheme, customise its
// colours, set its logo and open the scheme gallery.
#include <string>

#include "ui/windows/colored_dlg.h"

class wxCheckBox;
class wxListBox;
class wxStaticText;
class CSchemeHost;

namespace vyr {
class Application;
}

class CLookFeelDlg : public CColoredDlg {
 public:
  // host: where "More Schemes" opens the scheme gallery (none: nowhere).
  CLookFeelDlg(wxWindow* parent, vyr::Application& app, CSchemeHost* host);
  // Shows the dialog; true when the scheme or its look changed and the
  // windows must take the new scheme.
  bool Run();

 private:
  void FillSchemes(const std::string& select);
  void OnOk(wxCommandEvent& event);
  void OnCreate(wxCommandEvent& event);
  void OnColours(wxCommandEvent& event);
  void OnChooseLogo(wxCommandEvent& event);
  void OnRemoveLogo(wxCommandEvent& event);
  void OnMoreSchemes(wxCommandEvent& event);

  vyr::Application& app_;
  CSchemeHost* host_;
  wxListBox* schemes_ = nullptr;
  wxCheckBox* fancy_ = nullptr;
  wxCheckBox* sounds_ = nullptr;
  wxCheckBox* essential_ = nullptr;
  wxCheckBox* transitions_ = nullptr;
  wxStaticText* logo_ = nullptr;
  bool fancyBefore_ = false;
  bool changed_ = false;
  bool dontAskColours_ = false;
  std::string gallery_;
};

// Runs the dialog over parent. True when the scheme changed: the caller
// loads the new scheme art and rebuilds its windows.
bool RunLookAndFeelDialog(wxWindow* parent, vyr::Application& app, CSchemeHost* host);

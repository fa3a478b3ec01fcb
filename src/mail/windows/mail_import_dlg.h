#pragma once
// "Import Email Settings": the accounts other mail programs keep on this
// machine, offered while the mail settings are still unset, so that the
// servers, the user name and the address need not be typed.
#include <vector>

#include "mail/receive/mail_import.h"
#include "ui/windows/colored_dlg.h"

class wxListBox;
class wxTextCtrl;

namespace vyr {
class Application;
}

class CMailImportDlg : public CColoredDlg {
 public:
  // The buttons' results besides wxID_CANCEL.
  enum { kImportResult = wxID_OK, kContinueResult = wxID_IGNORE };

  CMailImportDlg(wxWindow* parent, std::vector<vyr::FoundMailAccount> accounts);
  // The account selected in the list (the first at the start).
  const vyr::FoundMailAccount& Selected() const;

 private:
  void ShowSelected();

  std::vector<vyr::FoundMailAccount> accounts_;
  wxListBox* list_ = nullptr;
  wxTextCtrl* smtp_ = nullptr;
  wxTextCtrl* pop_ = nullptr;
  wxTextCtrl* user_ = nullptr;
  wxTextCtrl* address_ = nullptr;
  wxTextCtrl* name_ = nullptr;
};

// What the offer ended with.
enum class ImportOffer {
  kImported,   // an account was stored as the mail settings
  kContinued,  // nothing to offer, settings already made, or "Continue without importing"
  kCancelled,  // "Cancel" (or Escape, or the close box)
};

// The settings dialog's offer: while the mail settings are unset, the
// accounts of other mail programs (FindMailAccounts) in the dialog; the one
// the user imports is stored as the mail settings. Only an explicit Cancel
// ends in kCancelled: finding nothing, settings already made and "Continue
// without importing" all let the settings dialog open.
ImportOffer OfferImport(vyr::Application& app, wxWindow* parent);
// The same over a given list of accounts (tests, other homes).
ImportOffer OfferImport(vyr::Application& app, wxWindow* parent, std::vector<vyr::FoundMailAccount> accounts);

#pragma once
// "Configure your E-mail Settings" and the Multi-POP dialog. Both show the
// values of mail/receive/mail_accounts and hand what the user entered back
// to it; OK saves unless the logic refuses (the dialog then stays open and
// says why). Passwords are typed into masked fields.
#include <array>

#include "mail/receive/mail_accounts.h"
#include "ui/windows/colored_dlg.h"

class wxCheckBox;
class wxChoice;
class wxSpinCtrl;
class wxTextCtrl;

namespace vyr {
class Application;
}

class CMailSettingsDlg : public CColoredDlg {
 public:
  CMailSettingsDlg(wxWindow* parent, vyr::Application& app, const vyr::MailSettings& settings);
  // The values as the controls hold them.
  vyr::MailSettings Values() const;

 private:
  void EnableControls();
  // A security choice changed: the port follows when it was that of the
  // choice before.
  void SecurityChanged(wxChoice* security, wxTextCtrl* port, int& before, int (*defaultPort)(int));
  void Save();

  vyr::Application& app_;
  vyr::MailSettings initial_;
  int pop3SecurityShown_ = 0, smtpSecurityShown_ = 0;
  wxCheckBox* useMail_ = nullptr;
  wxTextCtrl* name_ = nullptr;
  wxTextCtrl* address_ = nullptr;
  wxTextCtrl* pop3Server_ = nullptr;
  wxChoice* pop3Security_ = nullptr;
  wxTextCtrl* pop3Port_ = nullptr;
  wxTextCtrl* account_ = nullptr;
  wxTextCtrl* password_ = nullptr;
  wxCheckBox* leaveOnServer_ = nullptr;
  wxTextCtrl* smtpServer_ = nullptr;
  wxChoice* smtpSecurity_ = nullptr;
  wxTextCtrl* smtpPort_ = nullptr;
  wxCheckBox* smtpLogIn_ = nullptr;
  wxTextCtrl* smtpUser_ = nullptr;
  wxTextCtrl* smtpPassword_ = nullptr;
  wxCheckBox* unencrypted_ = nullptr;
  wxCheckBox* checkAtStart_ = nullptr;
  wxCheckBox* checkEvery_ = nullptr;
  wxSpinCtrl* minutes_ = nullptr;
  wxCheckBox* notification_ = nullptr;
  wxCheckBox* downloadLine_ = nullptr;
  wxChoice* spellCheck_ = nullptr;
  wxTextCtrl* signature_ = nullptr;
};

class CMultiPopDlg : public CColoredDlg {
 public:
  CMultiPopDlg(wxWindow* parent, vyr::Application& app);

 private:
  struct Row {
    wxCheckBox* active = nullptr;
    wxTextCtrl* account = nullptr;
    wxTextCtrl* password = nullptr;
    wxTextCtrl* server = nullptr;
    wxChoice* security = nullptr;
    wxCheckBox* leaveOnServer = nullptr;
  };
  void Save();

  vyr::Application& app_;
  std::array<Row, vyr::kExtraAccounts> rows_;
  wxCheckBox* unencrypted_ = nullptr;
};

// Opens the mail settings: while no account is set up, first the offer to
// import another mail program's settings (its Cancel ends here, false);
// then the settings dialog, modal. True when the settings were saved.
bool OpenMailSettings(vyr::Application& app, wxWindow* parent);

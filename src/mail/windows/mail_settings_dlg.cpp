#include "mail/windows/mail_settings_dlg.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <vector>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/spinctrl.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "app/shell_integration.h"
#include "base/application.h"
#include "mail/windows/mail_client_dlg.h"
#include "mail/windows/mail_import_dlg.h"
#include "mail/windows/mail_settings_texts.h"

namespace {

using namespace settings_text;

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
wxString U(const TextId& id) { return U(id.Text()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// A label's text as screen readers say it: without the key letter's mark
// and the colon.
wxString Spoken(const wxString& label) {
  wxString text = wxStripMenuCodes(label);
  if (text.EndsWith(":")) text.RemoveLast();
  return text;
}

// Gives a control the name screen readers read for it (a field is not named
// by the label beside it).
void NameForScreenReaders(wxWindow* control, const wxString& name) {
  control->SetName(name);
  if (AtkObject* accessible = gtk_widget_get_accessible(control->GetConnectWidget())) {
    atk_object_set_name(accessible, name.utf8_str());
  }
}

// The field shows "?" (never filled in) as empty; an empty field is stored
// as "?" again.
wxString Shown(const std::string& value) { return value == vyr::kUnsetText ? wxString() : U(value); }
std::string Stored(const wxTextCtrl* field) {
  const std::string value = Utf8(field->GetValue());
  return value.empty() ? std::string(vyr::kUnsetText) : value;
}

int PortOf(const wxTextCtrl* field) {
  long port = 0;
  // Not a number, or none: 0, which the logic refuses.
  return field->GetValue().ToLong(&port) && port >= 0 && port <= 99999 ? static_cast<int>(port) : 0;
}

wxChoice* SecurityChoice(wxWindow* parent, int value, const wxString& name) {
  auto* choice = new wxChoice(parent, wxID_ANY);
  for (const TextId& id : {kSecurityNone, kSecurityStartTls, kSecurityTls}) choice->Append(U(id));
  // A stored value the program does not know stays unselected: saving then
  // refuses it instead of taking it for a plain connection.
  if (vyr::IsMailSecurity(value)) choice->SetSelection(value);
  NameForScreenReaders(choice, name);
  return choice;
}

wxStaticText* Heading(wxWindow* parent, const TextId& id) {
  auto* text = new wxStaticText(parent, wxID_ANY, U(id));
  wxFont font = text->GetFont();
  font.MakeBold();
  text->SetFont(font);
  return text;
}

// The logic's questions, asked through the application's boxes.
class DialogQuestions : public vyr::MailSettingsQuestions {
 public:
  explicit DialogQuestions(vyr::Application& app) : app_(app) {}
  void Warn(const std::string& text) override { app_.Messages().Information(text, kTitle.Text()); }
  bool KeepInvalidAccountActive(const std::string& text, const std::string& title) override {
    bool dontShow = false;
    return app_.Messages().Question(text, title, &dontShow) == vyr::IDYES;
  }

 private:
  vyr::Application& app_;
};

}  // namespace

// --- the settings dialog -----------------------------------------------------------------

CMailSettingsDlg::CMailSettingsDlg(wxWindow* parent, vyr::Application& app, const vyr::MailSettings& s)
    : CColoredDlg(parent, U(kTitle)), app_(app), initial_(s) {
  wxPanel* panel = ContentPanel();
  // Each field is made right after its label, so that the label's key
  // letter moves the focus to it.
  // The labels before the fields of every row start share one width, so
  // that the fields line up from group to group.
  std::vector<wxStaticText*> rowLabels;
  auto labelled = [&](wxFlexGridSizer* grid, const TextId& label, wxWindow* (*make)(wxWindow*), wxWindow** out) {
    auto* text = new wxStaticText(panel, wxID_ANY, U(label));
    if (grid->GetChildren().GetCount() % grid->GetCols() == 0) rowLabels.push_back(text);
    wxWindow* control = make(panel);
    NameForScreenReaders(control, Spoken(text->GetLabel()));
    grid->Add(text, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
    grid->Add(control, 1, wxEXPAND);
    *out = control;
  };
  auto field = [](wxWindow* p) -> wxWindow* { return new wxTextCtrl(p, wxID_ANY, {}, wxDefaultPosition, wxSize(260, -1)); };
  auto masked = [](wxWindow* p) -> wxWindow* {
    return new wxTextCtrl(p, wxID_ANY, {}, wxDefaultPosition, wxSize(260, -1), wxTE_PASSWORD);
  };
  auto portField = [](wxWindow* p) -> wxWindow* { return new wxTextCtrl(p, wxID_ANY, {}, wxDefaultPosition, wxSize(70, -1)); };
  auto as = [](wxWindow* w) { return static_cast<wxTextCtrl*>(w); };
  wxWindow* made = nullptr;
  // A server's row: its name, its security and its port, the last two named
  // for screen readers with the heading they stand under.
  auto serverRow = [&](wxFlexGridSizer* grid, const TextId& heading, const TextId& serverLabel,
                       const TextId& securityLabel, const TextId& portLabel, int security, wxTextCtrl** server,
                       wxChoice** choice, wxTextCtrl** port) {
    labelled(grid, serverLabel, field, &made), *server = as(made);
    auto* label = new wxStaticText(panel, wxID_ANY, U(securityLabel));
    *choice = SecurityChoice(panel, security, Spoken(U(heading)) + " " + Spoken(label->GetLabel()));
    grid->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
    grid->Add(*choice);
    labelled(grid, portLabel, portField, &made), *port = as(made);
    NameForScreenReaders(*port, Spoken(U(heading)) + " " + Spoken(U(portLabel)));
  };

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  useMail_ = new wxCheckBox(panel, wxID_ANY, U(kUseMail));
  sizer->Add(useMail_, 0, wxALL, 10);

  auto* who = new wxFlexGridSizer(2, 4, 6);
  who->AddGrowableCol(1);
  labelled(who, kName, field, &made), name_ = as(made);
  labelled(who, kAddress, field, &made), address_ = as(made);
  sizer->Add(who, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);

  // Incoming: server, security and port on one row; user and password.
  sizer->Add(Heading(panel, kIncoming), 0, wxLEFT | wxTOP, 10);
  auto* in = new wxFlexGridSizer(6, 4, 6);
  in->AddGrowableCol(1);
  serverRow(in, kIncoming, kIncomingServer, kIncomingSecurity, kIncomingPort, s.pop3Security, &pop3Server_,
            &pop3Security_, &pop3Port_);
  labelled(in, kUser, field, &made), account_ = as(made);
  in->AddSpacer(0), in->AddSpacer(0), in->AddSpacer(0), in->AddSpacer(0);
  labelled(in, kPassword, masked, &made), password_ = as(made);
  in->AddSpacer(0), in->AddSpacer(0), in->AddSpacer(0), in->AddSpacer(0);
  sizer->Add(in, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  leaveOnServer_ = new wxCheckBox(panel, wxID_ANY, U(kLeaveOnServer));
  sizer->Add(leaveOnServer_, 0, wxLEFT | wxTOP, 10);

  // Outgoing: server, security and port; the log-in.
  sizer->Add(Heading(panel, kOutgoing), 0, wxLEFT | wxTOP, 10);
  auto* out = new wxFlexGridSizer(6, 4, 6);
  out->AddGrowableCol(1);
  serverRow(out, kOutgoing, kOutgoingServer, kOutgoingSecurity, kOutgoingPort, s.smtpSecurity, &smtpServer_,
            &smtpSecurity_, &smtpPort_);
  sizer->Add(out, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  smtpLogIn_ = new wxCheckBox(panel, wxID_ANY, U(kOutgoingLogIn));
  sizer->Add(smtpLogIn_, 0, wxLEFT | wxTOP, 10);
  auto* logIn = new wxFlexGridSizer(4, 4, 6);
  logIn->AddGrowableCol(1), logIn->AddGrowableCol(3);
  labelled(logIn, kOutgoingUser, field, &made), smtpUser_ = as(made);
  labelled(logIn, kOutgoingPassword, masked, &made), smtpPassword_ = as(made);
  // The outgoing log-in's fields are told apart from the incoming ones.
  NameForScreenReaders(smtpUser_, Spoken(U(kOutgoing)) + " " + Spoken(U(kOutgoingUser)));
  NameForScreenReaders(smtpPassword_, Spoken(U(kOutgoing)) + " " + Spoken(U(kOutgoingPassword)));
  sizer->Add(logIn, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(kOutgoingBlank)), 0, wxLEFT | wxTOP, 10);
  unencrypted_ = new wxCheckBox(panel, wxID_ANY, U(kSendUnencrypted));
  sizer->Add(unencrypted_, 0, wxLEFT | wxTOP, 10);

  // Options.
  sizer->Add(Heading(panel, kOptions), 0, wxLEFT | wxTOP, 10);
  checkAtStart_ = new wxCheckBox(panel, wxID_ANY, U(kCheckAtStart));
  sizer->Add(checkAtStart_, 0, wxLEFT | wxTOP, 10);
  auto* every = new wxBoxSizer(wxHORIZONTAL);
  checkEvery_ = new wxCheckBox(panel, wxID_ANY, U(kCheckEvery));
  minutes_ = new wxSpinCtrl(panel, wxID_ANY, {}, wxDefaultPosition, wxDefaultSize, wxSP_ARROW_KEYS, 1, 1440,
                            s.PeriodicCheck() ? s.minutesBetweenChecks : 15);
  NameForScreenReaders(minutes_, Spoken(checkEvery_->GetLabel()) + " " + U(kMinutes));
  every->Add(checkEvery_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  every->Add(minutes_, 0, wxRIGHT, 6);
  every->Add(new wxStaticText(panel, wxID_ANY, U(kMinutes)), 0, wxALIGN_CENTER_VERTICAL);
  sizer->Add(every, 0, wxLEFT | wxTOP, 10);
  notification_ = new wxCheckBox(panel, wxID_ANY, U(kNotification));
  sizer->Add(notification_, 0, wxLEFT | wxTOP, 10);
  downloadLine_ = new wxCheckBox(panel, wxID_ANY, U(kDownloadLine));
  sizer->Add(downloadLine_, 0, wxLEFT | wxTOP, 10);
  auto* spelling = new wxBoxSizer(wxHORIZONTAL);
  auto* spellLabel = new wxStaticText(panel, wxID_ANY, U(kSpellCheck));
  spellCheck_ = new wxChoice(panel, wxID_ANY);
  for (const TextId& id : {kSpellPrompt, kSpellAlways, kSpellNever}) spellCheck_->Append(U(id));
  NameForScreenReaders(spellCheck_, Spoken(spellLabel->GetLabel()));
  spelling->Add(spellLabel, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  spelling->Add(spellCheck_);
  sizer->Add(spelling, 0, wxLEFT | wxTOP, 10);

  auto* signatureLabel = new wxStaticText(panel, wxID_ANY, U(kSignature));
  sizer->Add(signatureLabel, 0, wxLEFT | wxTOP, 10);
  signature_ = new wxTextCtrl(panel, wxID_ANY, {}, wxDefaultPosition, wxSize(-1, 60), wxTE_MULTILINE);
  NameForScreenReaders(signature_, Spoken(signatureLabel->GetLabel()));
  sizer->Add(signature_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* extra = new wxButton(panel, wxID_ANY, U(kExtraAccounts));
  auto* help = new wxButton(panel, wxID_HELP, U(kHelp));
  buttons->Add(extra, 0, wxRIGHT, 6);
  buttons->Add(help, 0);
  buttons->AddStretchSpacer();
  wxButton* ok = nullptr;
  buttons->Add(OkCancelRow(&ok), 0);
  sizer->Add(buttons, 0, wxEXPAND | wxALL, 10);
  panel->SetSizer(sizer);

  int labelWidth = 0;
  for (wxStaticText* text : rowLabels) labelWidth = std::max(labelWidth, text->GetBestSize().GetWidth());
  for (wxStaticText* text : rowLabels) text->SetMinSize(wxSize(labelWidth, -1));

  // The values.
  useMail_->SetValue(s.useMail);
  name_->ChangeValue(Shown(s.name));
  address_->ChangeValue(Shown(s.address));
  pop3Server_->ChangeValue(Shown(s.pop3Server));
  pop3Port_->ChangeValue(wxString::Format("%d", s.pop3Port));
  account_->ChangeValue(Shown(s.account));
  password_->ChangeValue(U(s.password));
  leaveOnServer_->SetValue(s.leaveOnServer);
  smtpServer_->ChangeValue(Shown(s.smtpServer));
  smtpPort_->ChangeValue(wxString::Format("%d", s.smtpPort));
  smtpLogIn_->SetValue(s.smtpLogIn);
  smtpUser_->ChangeValue(U(s.smtpUser));
  smtpPassword_->ChangeValue(U(s.smtpPassword));
  unencrypted_->SetValue(s.sendPasswordUnencrypted);
  checkAtStart_->SetValue(s.checkAtStartup);
  checkEvery_->SetValue(s.PeriodicCheck());
  notification_->SetValue(s.popupNotification);
  downloadLine_->SetValue(s.downloadLink);
  spellCheck_->SetSelection(s.spellCheck >= 0 && s.spellCheck <= 2 ? s.spellCheck : 0);
  signature_->ChangeValue(U(s.signature));
  pop3SecurityShown_ = s.pop3Security;
  smtpSecurityShown_ = s.smtpSecurity;

  useMail_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) {
    if (useMail_->GetValue()) {
      // Switching the integrated client on is the mail program choice:
      // that dialog stores it, and the box shows what it stored.
      ShowMailClientDialog(app_, this);
      const bool on = app_.Get(vyr::kEmailUseVyrMail) == 1;
      useMail_->SetValue(on);
      if (!on) checkEvery_->SetValue(false);
    }
    EnableControls();
  });
  smtpLogIn_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { EnableControls(); });
  checkEvery_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { EnableControls(); });
  pop3Security_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
    SecurityChanged(pop3Security_, pop3Port_, pop3SecurityShown_, vyr::DefaultPop3Port);
  });
  smtpSecurity_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) {
    SecurityChanged(smtpSecurity_, smtpPort_, smtpSecurityShown_, vyr::DefaultSmtpPort);
  });
  extra->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    CMultiPopDlg dialog(this, app_);
    dialog.ShowModal();
  });
  help->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    const std::string address = vyr::MailSettingsHelpAddress(app_);
    if (!address.empty()) vyr::HandToDesktop(address);
  });
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Save(); });
  EnableControls();
  FinishLayout();
  name_->SetFocus();
}

void CMailSettingsDlg::EnableControls() {
  const bool on = useMail_->GetValue();
  for (wxWindow* w : std::initializer_list<wxWindow*>{
           name_, address_, pop3Server_, pop3Security_, pop3Port_, account_, password_, leaveOnServer_, smtpServer_,
           smtpSecurity_, smtpPort_, smtpLogIn_, unencrypted_, checkAtStart_, checkEvery_, notification_,
           downloadLine_, spellCheck_, signature_}) {
    w->Enable(on);
  }
  smtpUser_->Enable(on && smtpLogIn_->GetValue());
  smtpPassword_->Enable(on && smtpLogIn_->GetValue());
  minutes_->Enable(on && checkEvery_->GetValue());
}

void CMailSettingsDlg::SecurityChanged(wxChoice* security, wxTextCtrl* port, int& before, int (*defaultPort)(int)) {
  const int now = security->GetSelection();
  if (PortOf(port) == defaultPort(before)) port->ChangeValue(wxString::Format("%d", defaultPort(now)));
  before = now;
}

vyr::MailSettings CMailSettingsDlg::Values() const {
  vyr::MailSettings s = initial_;
  s.useMail = useMail_->GetValue();
  s.name = Stored(name_);
  s.address = Stored(address_);
  s.pop3Server = Stored(pop3Server_);
  s.pop3Security = pop3Security_->GetSelection();  // none selected: -1, refused
  s.pop3Port = PortOf(pop3Port_);
  s.account = Stored(account_);
  s.password = Utf8(password_->GetValue());
  s.leaveOnServer = leaveOnServer_->GetValue();
  s.smtpServer = Stored(smtpServer_);
  s.smtpSecurity = smtpSecurity_->GetSelection();
  s.smtpPort = PortOf(smtpPort_);
  s.smtpLogIn = smtpLogIn_->GetValue();
  s.smtpUser = Utf8(smtpUser_->GetValue());
  s.smtpPassword = Utf8(smtpPassword_->GetValue());
  s.sendPasswordUnencrypted = unencrypted_->GetValue();
  s.checkAtStartup = checkAtStart_->GetValue();
  s.minutesBetweenChecks = checkEvery_->GetValue() ? minutes_->GetValue() : 0;
  s.popupNotification = notification_->GetValue();
  s.downloadLink = downloadLine_->GetValue();
  s.spellCheck = spellCheck_->GetSelection();
  s.signature = Utf8(signature_->GetValue());
  return s;
}

void CMailSettingsDlg::Save() {
  DialogQuestions questions(app_);
  const std::string refusal = vyr::SaveMailSettings(app_, Values(), questions);
  if (!refusal.empty()) {
    // Nothing was written: the dialog stays for the user to mend it.
    app_.Messages().Error(refusal, kTitle.Text());
    return;
  }
  EndModal(wxID_OK);
}

// --- the Multi-POP dialog ------------------------------------------------------------------

CMultiPopDlg::CMultiPopDlg(wxWindow* parent, vyr::Application& app)
    : CColoredDlg(parent, U(kMultiPopTitle)), app_(app) {
  wxPanel* panel = ContentPanel();
  const vyr::ExtraAccounts accounts = vyr::LoadExtraAccounts(app);
  auto* grid = new wxFlexGridSizer(6, 6, 8);
  for (const TextId& id : {kActiveColumn, kUserColumn, kPasswordColumn, kServerColumn, kSecurityColumn, kLeaveColumn}) {
    grid->Add(Heading(panel, id));
  }
  for (int n = 1; n <= vyr::kExtraAccounts; ++n) {
    const vyr::ExtraAccount& a = accounts[static_cast<size_t>(n - 1)];
    Row& row = rows_[static_cast<size_t>(n - 1)];
    std::string box = kRow.Text();
    if (size_t at = box.find("%d"); at != std::string::npos) box.replace(at, 2, std::to_string(n));
    row.active = new wxCheckBox(panel, wxID_ANY, U(box));
    const wxString prefix = Spoken(row.active->GetLabel()) + " ";
    row.account = new wxTextCtrl(panel, wxID_ANY, Shown(a.account), wxDefaultPosition, wxSize(170, -1));
    row.password = new wxTextCtrl(panel, wxID_ANY, U(a.password), wxDefaultPosition, wxSize(120, -1), wxTE_PASSWORD);
    row.server = new wxTextCtrl(panel, wxID_ANY, Shown(a.server), wxDefaultPosition, wxSize(170, -1));
    row.security = SecurityChoice(panel, a.security, prefix + U(kSecurityColumn));
    row.leaveOnServer = new wxCheckBox(panel, wxID_ANY, wxString());
    NameForScreenReaders(row.active, Spoken(row.active->GetLabel()));
    NameForScreenReaders(row.account, prefix + U(kUserColumn));
    NameForScreenReaders(row.password, prefix + U(kPasswordColumn));
    NameForScreenReaders(row.server, prefix + U(kServerColumn));
    NameForScreenReaders(row.leaveOnServer, prefix + U(kLeaveColumn));
    row.active->SetValue(a.active);
    row.leaveOnServer->SetValue(a.leaveOnServer);
    grid->Add(row.active, 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(row.account);
    grid->Add(row.password);
    grid->Add(row.server);
    grid->Add(row.security);
    grid->Add(row.leaveOnServer, 0, wxALIGN_CENTER);
  }
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(grid, 0, wxALL, 10);
  unencrypted_ = new wxCheckBox(panel, wxID_ANY, U(kSendUnencrypted));
  unencrypted_->SetValue(app.IsOn(vyr::kEmailSendPasswordUnencrypted));
  sizer->Add(unencrypted_, 0, wxLEFT | wxRIGHT, 10);
  wxButton* ok = nullptr;
  sizer->Add(OkCancelRow(&ok), 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Save(); });
  FinishLayout();
  rows_[0].active->SetFocus();
}

void CMultiPopDlg::Save() {
  vyr::ExtraAccounts accounts;
  for (size_t i = 0; i < rows_.size(); ++i) {
    const Row& row = rows_[i];
    vyr::ExtraAccount& a = accounts[i];
    a.active = row.active->GetValue();
    a.account = Stored(row.account);
    a.password = Utf8(row.password->GetValue());
    a.server = Stored(row.server);
    a.security = row.security->GetSelection();
    a.leaveOnServer = row.leaveOnServer->GetValue();
  }
  DialogQuestions questions(app_);
  const std::string refusal = vyr::SaveExtraAccounts(app_, accounts, unencrypted_->GetValue(), questions);
  if (!refusal.empty()) {
    app_.Messages().Error(refusal, kMultiPopTitle.Text());
    return;
  }
  EndModal(wxID_OK);
}

// --- opening -------------------------------------------------------------------------------

bool OpenMailSettings(vyr::Application& app, wxWindow* parent) {
  vyr::MailSettings settings = vyr::LoadMailSettings(app);
  if (settings.account == vyr::kUnsetText || settings.account == " ") {
    // Only the offer's own Cancel ends here: finding nothing, or going on
    // without importing, leads to the settings.
    if (OfferImport(app, parent) == ImportOffer::kCancelled) return false;
    settings = vyr::LoadMailSettings(app);
  }
  CMailSettingsDlg dialog(parent, app, settings);
  return dialog.ShowModal() == wxID_OK;
}

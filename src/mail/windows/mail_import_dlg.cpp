#include "mail/windows/mail_import_dlg.h"

#include <gtk/gtk.h>

#include <wx/button.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "base/application.h"
#include "mail/windows/mail_client_texts.h"

namespace {

using namespace mail_client_text;

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

void NameForScreenReaders(wxWindow* control, const wxString& name) {
  if (AtkObject* accessible = gtk_widget_get_accessible(control->GetConnectWidget())) {
    wxString spoken = wxStripMenuCodes(name).Strip(wxString::both);
    if (spoken.EndsWith(":")) spoken.RemoveLast();
    atk_object_set_name(accessible, spoken.Strip(wxString::both).utf8_str());
  }
}

}  // namespace

CMailImportDlg::CMailImportDlg(wxWindow* parent, std::vector<vyr::FoundMailAccount> accounts)
    : CColoredDlg(parent, U(kImportTitle.Text())), accounts_(std::move(accounts)) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(kImportFound.Text())), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  list_ = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(420, 110), 0, nullptr, wxLB_SINGLE,
                        wxDefaultValidator, "import_accounts");
  for (const vyr::FoundMailAccount& account : accounts_) list_->Append(U(account.label));
  NameForScreenReaders(list_, U(kAccountsName.Text()));
  sizer->Add(list_, 0, wxEXPAND | wxALL, 10);

  // The read-only fields, each after its label.
  auto* grid = new wxFlexGridSizer(2, 6, 8);
  grid->AddGrowableCol(1, 1);
  auto field = [&](const TextId& label, const char* name) {
    auto* text = new wxStaticText(panel, wxID_ANY, U(label.Text()));
    grid->Add(text, 0, wxALIGN_CENTER_VERTICAL);
    auto* box = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, wxTE_READONLY,
                               wxDefaultValidator, name);
    grid->Add(box, 1, wxEXPAND);
    NameForScreenReaders(box, text->GetLabel());
    return box;
  };
  smtp_ = field(kSmtpServer, "import_smtp");
  pop_ = field(kPopServer, "import_pop");
  user_ = field(kPopUser, "import_user");
  address_ = field(kAddress, "import_address");
  name_ = field(kName, "import_name");
  sizer->Add(grid, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(kImportHint.Text())), 0, wxALL, 10);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* import = new wxButton(panel, kImportResult, U(kImport.Text()), wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "import_import");
  auto* cancel = StandardButton(panel, wxID_CANCEL);
  auto* next = new wxButton(panel, kContinueResult, U(kContinue.Text()), wxDefaultPosition, wxDefaultSize, 0,
                            wxDefaultValidator, "import_continue");
  buttons->Add(import, 0, wxRIGHT, 6);
  buttons->Add(cancel, 0, wxRIGHT, 6);
  buttons->Add(next, 0);
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  import->SetDefault();
  SetEscapeId(wxID_CANCEL);
  import->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kImportResult); });
  next->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kContinueResult); });
  list_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) { ShowSelected(); });
  list_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent&) { EndModal(kImportResult); });
  if (!accounts_.empty()) list_->SetSelection(0);
  ShowSelected();
  import->Enable(!accounts_.empty());
  list_->SetFocus();
  FinishLayout();
}

const vyr::FoundMailAccount& CMailImportDlg::Selected() const {
  const int at = list_->GetSelection();
  return accounts_[at == wxNOT_FOUND ? 0 : static_cast<size_t>(at)];
}

void CMailImportDlg::ShowSelected() {
  if (accounts_.empty()) return;
  const vyr::FoundMailAccount& a = Selected();
  smtp_->ChangeValue(U(a.outgoingServer));
  pop_->ChangeValue(U(a.incomingServer));
  user_->ChangeValue(U(a.userName));
  address_->ChangeValue(U(a.address));
  name_->ChangeValue(U(a.displayName));
}

ImportOffer OfferImport(vyr::Application& app, wxWindow* parent) {
  if (!vyr::MailSettingsUnset(app)) return ImportOffer::kContinued;
  return OfferImport(app, parent, vyr::FindMailAccounts());
}

ImportOffer OfferImport(vyr::Application& app, wxWindow* parent, std::vector<vyr::FoundMailAccount> accounts) {
  if (!vyr::MailSettingsUnset(app) || accounts.empty()) return ImportOffer::kContinued;
  CMailImportDlg dialog(parent, std::move(accounts));
  switch (dialog.ShowModal()) {
    case CMailImportDlg::kImportResult:
      vyr::ImportMailAccount(app, dialog.Selected());
      return ImportOffer::kImported;
    case CMailImportDlg::kContinueResult:
      return ImportOffer::kContinued;
    default:
      return ImportOffer::kCancelled;
  }
}

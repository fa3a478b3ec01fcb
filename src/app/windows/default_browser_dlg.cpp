#include "app/windows/default_browser_dlg.h"

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "platform/string_table.h"

namespace {
constexpr vyr::platform::TextId kCaption{40140};
constexpr vyr::platform::TextId kQuestion{40141};
constexpr vyr::platform::TextId kAlwaysCheck{40142};

wxString Text(vyr::platform::TextId id) { return wxString::FromUTF8(id.Text().c_str()); }
}  // namespace

CDefaultBrowserDlg::CDefaultBrowserDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, Text(kCaption), wxDefaultPosition, wxDefaultSize,
               wxDEFAULT_DIALOG_STYLE | wxSTAY_ON_TOP) {
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(new wxStaticBitmap(this, wxID_ANY, wxArtProvider::GetBitmap(wxART_QUESTION, wxART_MESSAGE_BOX)),
           0, wxALL, 12);
  auto* text = new wxStaticText(this, wxID_ANY, Text(kQuestion));
  text->Wrap(FromDIP(380));
  top->Add(text, 1, wxTOP | wxRIGHT | wxBOTTOM | wxALIGN_CENTER_VERTICAL, 12);

  alwaysCheck_ = new wxCheckBox(this, wxID_ANY, Text(kAlwaysCheck));
  alwaysCheck_->SetValue(true);

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND);
  all->Add(alwaysCheck_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  all->Add(CreateStdDialogButtonSizer(wxYES | wxNO), 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 12);
  SetSizerAndFit(all);
  SetEscapeId(wxID_NO);
  SetAffirmativeId(wxID_YES);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_NO); }, wxID_NO);
  Centre(wxBOTH);
}

bool CDefaultBrowserDlg::Ask(bool& alwaysCheck) {
  const int answer = ShowModal();
  alwaysCheck = alwaysCheck_->GetValue();
  return answer == wxID_YES;
}

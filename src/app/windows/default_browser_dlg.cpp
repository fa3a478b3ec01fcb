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

CDefaultBrowserDlg::CDefaultBrowserDlg(wxWindow* parent) : CColoredDlg(parent, Text(kCaption), false, wxSTAY_ON_TOP) {
  wxPanel* panel = ContentPanel();
  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(new wxStaticBitmap(panel, wxID_ANY, wxArtProvider::GetBitmap(wxART_QUESTION, wxART_MESSAGE_BOX)),
           0, wxALL, 12);
  auto* text = new wxStaticText(panel, wxID_ANY, Text(kQuestion));
  text->Wrap(FromDIP(380));
  top->Add(text, 1, wxTOP | wxRIGHT | wxBOTTOM | wxALIGN_CENTER_VERTICAL, 12);

  alwaysCheck_ = new wxCheckBox(panel, wxID_ANY, Text(kAlwaysCheck));
  alwaysCheck_->SetValue(true);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* yes = StandardButton(panel, wxID_YES);
  buttons->Add(yes, 0, wxRIGHT, 6);
  buttons->Add(StandardButton(panel, wxID_NO));
  yes->SetDefault();

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND);
  all->Add(alwaysCheck_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  all->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 12);
  panel->SetSizer(all);
  SetEscapeId(wxID_NO);
  SetAffirmativeId(wxID_YES);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_YES); }, wxID_YES);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(wxID_NO); }, wxID_NO);
  FinishLayout();
  Centre(wxBOTH);
}

bool CDefaultBrowserDlg::Ask(bool& alwaysCheck) {
  const int answer = ShowModal();
  alwaysCheck = alwaysCheck_->GetValue();
  return answer == wxID_YES;
}

#include "schemes/windows/scheme_name_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "platform/string_table.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kNameTitle{40185};      // "Scheme Name"
constexpr TextId kCreateTitle{40182};    // "Create Scheme"
constexpr TextId kCreateLabel{40183};    // "Name of the new scheme:"
constexpr int kReplaceId = wxID_HIGHEST + 1;

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

wxStaticText* Label(wxWindow* parent, const char* text) {
  return new wxStaticText(parent, wxID_ANY, U(text));
}

}  // namespace

CSchemeNameDlg::CSchemeNameDlg(wxWindow* parent, const std::string& name)
    : CColoredDlg(parent, U(kNameTitle.Text())) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  const int gap = 6;
  sizer->Add(Label(panel, "A Scheme already exists with this name."), 0, wxALL, 10);
  sizer->Add(Label(panel, "Option 1 - Rename the new scheme"), 0, wxLEFT | wxRIGHT, 10);
  sizer->Add(Label(panel, "Enter a new name for the scheme:"), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  name_ = new wxTextCtrl(panel, wxID_ANY, U(name), wxDefaultPosition, wxSize(260, -1), 0,
                         wxDefaultValidator, wxS("name"));
  sizer->Add(name_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(Label(panel, "Option 2 - Replace the existing scheme"), 0,
             wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(Label(panel, "Press replace to replace the existing scheme"), 0,
             wxLEFT | wxRIGHT | wxTOP, gap);
  sizer->Add(Label(panel, "Or press Cancel if you do not wish to import the scheme"), 0,
             wxLEFT | wxRIGHT | wxTOP, gap);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = new wxButton(panel, wxID_OK);
  buttons->Add(ok, 0, wxRIGHT, gap);
  buttons->Add(new wxButton(panel, kReplaceId, wxS("Replace"), wxDefaultPosition, wxDefaultSize,
                            0, wxDefaultValidator, wxS("replace")),
               0, wxRIGHT, gap);
  buttons->Add(new wxButton(panel, wxID_CANCEL));
  ok->SetDefault();
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(kReplaceId); }, kReplaceId);
  FinishLayout();
  name_->SetFocus();
  name_->SelectAll();
}

vyr::SchemeNameChooser::Choice CSchemeNameDlg::Run() {
  switch (ShowModal()) {
    case wxID_OK:
      return vyr::SchemeNameChooser::Ok;
    case kReplaceId:
      return vyr::SchemeNameChooser::Replace;
    default:
      return vyr::SchemeNameChooser::Cancel;
  }
}

std::string CSchemeNameDlg::Name() const { return name_->GetValue().ToStdString(wxConvUTF8); }

CCreateSchemeDlg::CCreateSchemeDlg(wxWindow* parent) : CColoredDlg(parent, U(kCreateTitle.Text())) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(kCreateLabel.Text())), 0,
             wxLEFT | wxRIGHT | wxTOP, 10);
  name_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(260, -1), 0,
                         wxDefaultValidator, wxS("name"));
  sizer->Add(name_, 0, wxEXPAND | wxALL, 10);
  ownChannels_ = new wxCheckBox(panel, wxID_ANY, wxS("This Profile will have it's own channel set"),
                                wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                                wxS("ownchannels"));
  sizer->Add(ownChannels_, 0, wxLEFT | wxRIGHT, 10);
  wxButton* ok = nullptr;
  wxSizer* buttons = OkCancelRow(&ok);
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  FinishLayout();
  name_->SetFocus();
}

std::string CCreateSchemeDlg::Name() const { return name_->GetValue().ToStdString(wxConvUTF8); }

bool CCreateSchemeDlg::OwnChannels() const { return ownChannels_->GetValue(); }

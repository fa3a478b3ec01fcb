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
constexpr TextId kExists{40650};         // "A Scheme already exists with this name."
constexpr TextId kRenameOption{40651};
constexpr TextId kNewNameLabel{40652};
constexpr TextId kReplaceOption{40653};
constexpr TextId kReplaceHint{40654};
constexpr TextId kCancelHint{40655};
constexpr TextId kReplaceButton{40656};  // "Replace"
constexpr TextId kOwnChannels{40657};    // "This Profile will have it's own channel set"
constexpr int kReplaceId = wxID_HIGHEST + 1;

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

wxStaticText* Label(wxWindow* parent, const TextId& text) {
  return new wxStaticText(parent, wxID_ANY, U(text.Text()));
}

}  // namespace

CSchemeNameDlg::CSchemeNameDlg(wxWindow* parent, const std::string& name)
    : CColoredDlg(parent, U(kNameTitle.Text())) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  const int gap = 6;
  sizer->Add(Label(panel, kExists), 0, wxALL, 10);
  sizer->Add(Label(panel, kRenameOption), 0, wxLEFT | wxRIGHT, 10);
  sizer->Add(Label(panel, kNewNameLabel), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  name_ = new wxTextCtrl(panel, wxID_ANY, U(name), wxDefaultPosition, wxSize(260, -1), 0,
                         wxDefaultValidator, wxS("name"));
  sizer->Add(name_, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(Label(panel, kReplaceOption), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(Label(panel, kReplaceHint), 0, wxLEFT | wxRIGHT | wxTOP, gap);
  sizer->Add(Label(panel, kCancelHint), 0, wxLEFT | wxRIGHT | wxTOP, gap);

  auto* buttons = new wxBoxSizer(wxHORIZONTAL);
  auto* ok = StandardButton(panel, wxID_OK);
  buttons->Add(ok, 0, wxRIGHT, gap);
  buttons->Add(new wxButton(panel, kReplaceId, U(kReplaceButton.Text()), wxDefaultPosition, wxDefaultSize,
                            0, wxDefaultValidator, wxS("replace")),
               0, wxRIGHT, gap);
  buttons->Add(StandardButton(panel, wxID_CANCEL));
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
  ownChannels_ = new wxCheckBox(panel, wxID_ANY, U(kOwnChannels.Text()),
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

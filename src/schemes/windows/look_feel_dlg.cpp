#include "schemes/windows/look_feel_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "base/application.h"
#include "platform/string_table.h"
#include "schemes/scheme_choice.h"
#include "schemes/windows/scheme_colours_dlg.h"
#include "schemes/windows/scheme_import.h"
#include "schemes/windows/scheme_name_dlg.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kTitle{40170};          // "Look and Feel"
constexpr TextId kSchemesLabel{40171};   // "Schemes:"
constexpr TextId kFancy{40172};          // "Fancy Windows"
constexpr TextId kSounds{40173};         // "Play Sounds"
constexpr TextId kEssential{40174};      // "Play Essential Sounds Only"
constexpr TextId kTransitions{40175};    // "Transitions"
constexpr TextId kCreate{40176};         // "Create Scheme..."
constexpr TextId kColours{40177};        // "Customise Colours..."
constexpr TextId kLogo{40178};           // "Logo:"
constexpr TextId kChooseLogo{40179};     // "Choose..."
constexpr TextId kRemoveLogo{40180};     // "Remove"
constexpr TextId kMore{40181};           // "More Schemes..."
constexpr TextId kOpenLogoTitle{40658};  // "Open"
constexpr TextId kLogoFileTypes{40659};  // "Bitmap Files (*.bmp)|*.bmp"

enum { kCreateId = wxID_HIGHEST + 10, kColoursId, kChooseLogoId, kRemoveLogoId, kMoreId };

wxString U(const std::string& text) { return wxString::FromUTF8(text); }

std::string LowerCase(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

wxButton* Button(wxWindow* parent, int id, const TextId& text, const char* name) {
  return new wxButton(parent, id, U(text.Text()), wxDefaultPosition, wxDefaultSize, 0,
                      wxDefaultValidator, wxString::FromUTF8(name));
}

wxCheckBox* Check(wxWindow* parent, const TextId& text, const char* name, bool on) {
  auto* box = new wxCheckBox(parent, wxID_ANY, U(text.Text()), wxDefaultPosition, wxDefaultSize, 0,
                             wxDefaultValidator, wxString::FromUTF8(name));
  box->SetValue(on);
  return box;
}

}  // namespace

CLookFeelDlg::CLookFeelDlg(wxWindow* parent, vyr::Application& app, CSchemeHost* host)
    : CColoredDlg(parent, U(kTitle.Text())), app_(app), host_(host) {
  wxPanel* panel = ContentPanel();
  fancyBefore_ = app.IsOn(vyr::kSchemeFancyWindows);
  gallery_ = app.Get(vyr::kMiscSchemeUrl);

  auto* left = new wxBoxSizer(wxVERTICAL);
  left->Add(new wxStaticText(panel, wxID_ANY, U(kSchemesLabel.Text())), 0, wxBOTTOM, 4);
  schemes_ = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(180, 180), 0, nullptr,
                           wxLB_SINGLE, wxDefaultValidator, wxS("schemes"));
  left->Add(schemes_, 1, wxEXPAND);
  left->Add(Button(panel, kCreateId, kCreate, "create"), 0, wxEXPAND | wxTOP, 6);
  left->Add(Button(panel, kMoreId, kMore, "more"), 0, wxEXPAND | wxTOP, 4);

  auto* right = new wxBoxSizer(wxVERTICAL);
  fancy_ = Check(panel, kFancy, "fancy", fancyBefore_);
  sounds_ = Check(panel, kSounds, "sounds", app.IsOn(vyr::kMiscPlaySounds));
  essential_ = Check(panel, kEssential, "essential",
                     app.IsOn(vyr::kMiscPlayEssentialSoundsOnly));
  transitions_ = Check(panel, kTransitions, "transitions", app.IsOn(vyr::kMiscTransitions));
  for (wxCheckBox* box : {fancy_, sounds_, essential_, transitions_}) right->Add(box, 0, wxBOTTOM, 6);
  right->Add(Button(panel, kColoursId, kColours, "colours"), 0, wxEXPAND | wxTOP, 6);
  auto* logoRow = new wxBoxSizer(wxHORIZONTAL);
  logoRow->Add(new wxStaticText(panel, wxID_ANY, U(kLogo.Text())), 0,
               wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  logo_ = new wxStaticText(panel, wxID_ANY, U(vyr::SchemeLogoField(app)), wxDefaultPosition,
                           wxDefaultSize, 0, wxS("logo"));
  logoRow->Add(logo_, 1, wxALIGN_CENTER_VERTICAL);
  right->Add(logoRow, 0, wxEXPAND | wxTOP, 10);
  auto* logoButtons = new wxBoxSizer(wxHORIZONTAL);
  logoButtons->Add(Button(panel, kChooseLogoId, kChooseLogo, "chooselogo"), 0, wxRIGHT, 4);
  logoButtons->Add(Button(panel, kRemoveLogoId, kRemoveLogo, "removelogo"));
  right->Add(logoButtons, 0, wxTOP, 4);

  auto* columns = new wxBoxSizer(wxHORIZONTAL);
  columns->Add(left, 1, wxEXPAND | wxRIGHT, 12);
  columns->Add(right, 0, wxEXPAND);

  wxSizer* buttons = OkCancelRow();

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(columns, 1, wxEXPAND | wxALL, 10);
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  panel->SetSizer(sizer);
  FillSchemes(app.CurrentSchemeName());

  // The frame box shows the selected scheme's own setting.
  schemes_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& event) {
    fancy_->SetValue(vyr::SchemeFancyWindows(app_, event.GetString().ToStdString(wxConvUTF8)));
  });
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnOk, this, wxID_OK);
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnCreate, this, kCreateId);
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnColours, this, kColoursId);
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnChooseLogo, this, kChooseLogoId);
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnRemoveLogo, this, kRemoveLogoId);
  Bind(wxEVT_BUTTON, &CLookFeelDlg::OnMoreSchemes, this, kMoreId);
  FinishLayout();
}

void CLookFeelDlg::FillSchemes(const std::string& select) {
  schemes_->Clear();
  for (const std::string& name : vyr::ListSchemes(app_)) {
    const int at = schemes_->Append(U(name));
    if (LowerCase(name) == LowerCase(select)) schemes_->SetSelection(at);
  }
}

bool CLookFeelDlg::Run() {
  ShowModal();
  return changed_;
}

void CLookFeelDlg::OnOk(wxCommandEvent&) {
  vyr::LookChoice choice;
  const int at = schemes_->GetSelection();
  choice.scheme = at == wxNOT_FOUND ? app_.CurrentSchemeName()
                                    : schemes_->GetString(at).ToStdString(wxConvUTF8);
  choice.fancyWindows = fancy_->GetValue();
  choice.playSounds = sounds_->GetValue();
  choice.essentialSoundsOnly = essential_->GetValue();
  choice.transitions = transitions_->GetValue();
  vyr::LookConfirm with;
  with.dontShowAgain = &dontAskColours_;
  switch (vyr::ConfirmLookChoice(app_, app_.Messages(), choice, fancyBefore_, with)) {
    case vyr::LookOutcome::Declined:
      FillSchemes(app_.CurrentSchemeName());
      return;  // the dialog stays open with the old scheme
    case vyr::LookOutcome::Switched:
      changed_ = true;
      break;
    case vyr::LookOutcome::OptionsOnly:
      break;
  }
  EndModal(wxID_OK);
}

void CLookFeelDlg::OnCreate(wxCommandEvent&) {
  CCreateSchemeDlg dialog(this);
  if (dialog.ShowModal() != wxID_OK) return;
  std::string name = dialog.Name();
  if (vyr::CreateScheme(app_, app_.Messages(), name, dialog.OwnChannels())) FillSchemes(name);
}

void CLookFeelDlg::OnColours(wxCommandEvent&) {
  CSchemeColoursDlg dialog(this, app_);
  if (dialog.Run()) changed_ = true;
}

void CLookFeelDlg::OnChooseLogo(wxCommandEvent&) {
  wxFileDialog pick(this, U(kOpenLogoTitle.Text()), wxEmptyString, wxEmptyString, U(kLogoFileTypes.Text()),
                    wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (pick.ShowModal() != wxID_OK) return;
  if (vyr::SetSchemeLogo(app_, pick.GetPath().ToStdString(wxConvUTF8))) changed_ = true;
  logo_->SetLabel(U(vyr::SchemeLogoField(app_)));
}

void CLookFeelDlg::OnRemoveLogo(wxCommandEvent&) {
  if (vyr::SchemeLogoField(app_) != "--DEFAULT--" && vyr::RemoveSchemeLogo(app_)) changed_ = true;
  logo_->SetLabel(U(vyr::SchemeLogoField(app_)));
}

void CLookFeelDlg::OnMoreSchemes(wxCommandEvent&) {
  EndModal(wxID_CANCEL);
  if (host_) host_->NavigateForSchemes(gallery_);
}

bool RunLookAndFeelDialog(wxWindow* parent, vyr::Application& app, CSchemeHost* host) {
  CLookFeelDlg dialog(parent, app, host);
  return dialog.Run();
}

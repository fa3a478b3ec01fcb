#include "schemes/windows/scheme_colours_dlg.h"

#include <wx/button.h>
#include <wx/clrpicker.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "platform/string_table.h"

namespace {

constexpr vyr::platform::TextId kColoursTitle{40184};  // "Customise Colours"

// The labels, in the order of vyr::kCustomColours: "Toolbar Background",
// "Toolbar Text", "Toolbar Tip Background", "Toolbar Tip Text", "Folderbar
// Background", "Folderbar Text", "Sitesbar Background", "Sitesbar Text",
// "Channel Buttons Background", "Channel Buttons Text".
constexpr vyr::platform::TextId kLabels[] = {
    vyr::platform::TextId{40660}, vyr::platform::TextId{40661}, vyr::platform::TextId{40662},
    vyr::platform::TextId{40663}, vyr::platform::TextId{40664}, vyr::platform::TextId{40665},
    vyr::platform::TextId{40666}, vyr::platform::TextId{40667}, vyr::platform::TextId{40668},
    vyr::platform::TextId{40669}};
static_assert(std::size(kLabels) == vyr::kCustomColours.size());

wxColour ToWx(vyr::ColorRef c) { return wxColour(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

vyr::ColorRef FromWx(const wxColour& c) {
  return static_cast<vyr::ColorRef>(c.Red()) | (static_cast<vyr::ColorRef>(c.Green()) << 8) |
         (static_cast<vyr::ColorRef>(c.Blue()) << 16);
}

}  // namespace

CSchemeColoursDlg::CSchemeColoursDlg(wxWindow* parent, vyr::Application& app)
    : CColoredDlg(parent, wxString::FromUTF8(kColoursTitle.Text())), app_(app) {
  wxPanel* panel = ContentPanel();
  const vyr::CustomColours colours = vyr::ReadCustomColours(app);
  auto* grid = new wxFlexGridSizer(2, 6, 12);
  for (size_t i = 0; i < pickers_.size(); ++i) {
    grid->Add(new wxStaticText(panel, wxID_ANY, wxString::FromUTF8(kLabels[i].Text())), 0,
              wxALIGN_CENTER_VERTICAL);
    pickers_[i] = new wxColourPickerCtrl(panel, wxID_ANY, ToWx(colours[i]), wxDefaultPosition,
                                         wxDefaultSize, wxCLRP_DEFAULT_STYLE, wxDefaultValidator,
                                         wxString::Format("colour%zu", i));
    grid->Add(pickers_[i], 0, wxEXPAND);
  }
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(grid, 1, wxEXPAND | wxALL, 10);
  wxSizer* buttons = OkCancelRow();
  sizer->Add(buttons, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 10);
  panel->SetSizer(sizer);
  FinishLayout();
}

vyr::CustomColours CSchemeColoursDlg::Chosen() const {
  vyr::CustomColours chosen{};
  for (size_t i = 0; i < pickers_.size(); ++i) chosen[i] = FromWx(pickers_[i]->GetColour());
  return chosen;
}

bool CSchemeColoursDlg::Run() {
  if (ShowModal() != wxID_OK) return false;
  vyr::SaveCustomColours(app_, Chosen());
  return true;
}

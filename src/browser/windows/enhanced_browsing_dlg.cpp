#include "browser/windows/enhanced_browsing_dlg.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "base/application.h"
#include "browser/enhanced_browsing.h"
#include "platform/string_table.h"
#include "ui/windows/colored_dlg.h"

namespace {

constexpr vyr::platform::TextId kTitle{40400};         // "Enhanced Browsing"
constexpr vyr::platform::TextId kIntro{40401};         // what the steps do
constexpr vyr::platform::TextId kComplete{40402};      // "www.%s.com" step
constexpr vyr::platform::TextId kResolver{40403};      // keyword resolver step
constexpr vyr::platform::TextId kSearch{40404};        // web search step
constexpr vyr::platform::TextId kHelp{40405};          // "&Help"

wxString Text(vyr::platform::TextId id) { return wxString::FromUTF8(id.Text().c_str()); }

}  // namespace

bool RunEnhancedBrowsingDialog(wxWindow* parent, vyr::Application& app,
                               const std::function<void(const std::string&)>& openHelp) {
  CColoredDlg dlg(parent, Text(kTitle));
  wxPanel* panel = dlg.ContentPanel();
  const vyr::Application::SmarterBrowsing flags = app.SmarterBrowsingFlags();

  auto* intro = new wxStaticText(panel, wxID_ANY, Text(kIntro));
  intro->Wrap(dlg.FromDIP(380));
  auto box = [panel](vyr::platform::TextId label, bool on) {
    auto* check = new wxCheckBox(panel, wxID_ANY, Text(label));
    check->SetValue(on);
    return check;
  };
  wxCheckBox* complete = box(kComplete, flags.autocomplete);
  wxCheckBox* resolver = box(kResolver, flags.realNames);
  wxCheckBox* search = box(kSearch, flags.webSearch);
  complete->SetName("complete-com");
  resolver->SetName("keyword-resolver");
  search->SetName("web-search");

  auto* help = new wxButton(panel, wxID_HELP, Text(kHelp));
  help->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    const std::string address = vyr::EnhancedBrowsingHelpAddress(app);
    // The page opens in the browser once the dialog has closed.
    if (!address.empty() && openHelp) {
      dlg.EndModal(wxID_CANCEL);
      openHelp(address);
    }
  });
  help->Enable(!vyr::EnhancedBrowsingHelpAddress(app).empty());

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(intro, 0, wxALL, 12);
  for (wxCheckBox* check : {complete, resolver, search}) all->Add(check, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(help);
  row->AddStretchSpacer();
  row->Add(dlg.OkCancelRow());
  all->Add(row, 0, wxEXPAND | wxALL, 12);
  panel->SetSizer(all);
  dlg.FinishLayout();
  complete->SetFocus();

  if (dlg.ShowModal() != wxID_OK) return false;
  vyr::SaveSmarterBrowsingFlags(app, {complete->GetValue(), resolver->GetValue(), search->GetValue()});
  return true;
}

#include "browser/windows/startup_options_dlg.h"

#include <wx/checkbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "base/application.h"
#include "app/startup_options.h"
#include "platform/string_table.h"
#include "ui/windows/colored_dlg.h"

namespace {

constexpr vyr::platform::TextId kTitle{40410};           // "Startup Options"
constexpr vyr::platform::TextId kIntro{40411};           // "When Vyrelle starts:"
constexpr vyr::platform::TextId kSplash{40412};
constexpr vyr::platform::TextId kDefaultBrowser{40413};
constexpr vyr::platform::TextId kCheckMail{40414};
constexpr vyr::platform::TextId kWelcome{40415};
constexpr vyr::platform::TextId kTooltips{40416};

wxString Text(vyr::platform::TextId id) { return wxString::FromUTF8(id.Text().c_str()); }

}  // namespace

bool RunStartupOptionsDialog(wxWindow* parent, vyr::Application& app) {
  CColoredDlg dlg(parent, Text(kTitle));
  wxPanel* panel = dlg.ContentPanel();
  const vyr::StartupOptions now = vyr::ReadStartupOptions(app);

  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(new wxStaticText(panel, wxID_ANY, Text(kIntro)), 0, wxALL, 12);
  auto box = [&](vyr::platform::TextId label, bool on, const char* name) {
    auto* check = new wxCheckBox(panel, wxID_ANY, Text(label));
    check->SetValue(on);
    check->SetName(name);
    all->Add(check, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
    return check;
  };
  wxCheckBox* splash = box(kSplash, now.showSplash, "ShowSplash");
  wxCheckBox* browser = box(kDefaultBrowser, now.checkDefaultBrowser, "CheckDefaultBrowser");
  wxCheckBox* mail = box(kCheckMail, now.checkMail, "CheckMail");
  wxCheckBox* welcome = box(kWelcome, now.showWelcome, "ShowWelcome");
  wxCheckBox* tips = box(kTooltips, now.showTooltips, "ShowTooltips");
  all->Add(dlg.OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 12);
  panel->SetSizer(all);
  dlg.FinishLayout();
  splash->SetFocus();

  if (dlg.ShowModal() != wxID_OK) return false;
  vyr::WriteStartupOptions(app, {splash->GetValue(), browser->GetValue(), mail->GetValue(), welcome->GetValue(),
                                 tips->GetValue()});
  app.PlaySound("save", 1, false);
  return true;
}

#include "browser/windows/address_dlgs.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/filedlg.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "base/application.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "ui/windows/browser_wnd.h"
#include "ui/windows/colored_dlg.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kErased{41660};           // "Your history has been erased"
constexpr TextId kNotErased{41661};        // "Your history could not be erased: %s"
constexpr TextId kEngineFailed{41662};     // what the engine said
constexpr TextId kProfileFailed{41663};    // the settings file
constexpr TextId kEraserTitle{41664};
constexpr TextId kEraserText{41665};
constexpr TextId kEraseButton{41666};
constexpr TextId kStartPageTitle{41667};
constexpr TextId kUseShippedStart{41668};
constexpr TextId kOwnStartLabel{41669};
constexpr TextId kOpenTitle{41670};
constexpr TextId kOpenText{41671};
constexpr TextId kBrowseButton{41672};
constexpr TextId kFileDialogTitle{33420};  // "Open"
constexpr TextId kFileTypes{33425};

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
wxString Wx(const TextId& text) { return Wx(text.Text()); }
std::string Std(const wxString& text) { return std::string(text.utf8_str()); }

std::string WithArgument(const TextId& pattern, const std::string& argument) {
  return vyr::platform::FillPlaceholders(pattern.Text(), {argument});
}

}  // namespace

bool RunHistoryEraser(wxWindow* parent, vyr::Application& app, const std::function<bool()>& eraseLists) {
  CColoredDlg dlg(parent, Wx(kEraserTitle));
  dlg.SetName("historyeraser");
  wxPanel* panel = dlg.ContentPanel();
  auto* all = new wxBoxSizer(wxVERTICAL);
  auto* text = new wxStaticText(panel, wxID_ANY, Wx(kEraserText));
  text->Wrap(dlg.FromDIP(360));
  all->Add(text, 0, wxALL, dlg.FromDIP(12));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* erase = new wxButton(panel, wxID_ANY, Wx(kEraseButton));
  erase->SetName("erasehistory");
  erase->SetDefault();
  wxButton* cancel = CColoredDlg::StandardButton(panel, wxID_CANCEL);
  row->Add(erase);
  row->Add(cancel, 0, wxLEFT, dlg.FromDIP(6));
  all->Add(row, 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, dlg.FromDIP(12));
  panel->SetSizer(all);
  dlg.FinishLayout();
  erase->SetFocus();

  // The engine clears in the background: the dialog stays up, its buttons
  // off, until the engine has answered.
  std::string engineError;
  erase->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    erase->Disable();
    cancel->Disable();
    wxBeginBusyCursor();
    CBrowserWnd::ClearWebsiteData([&dlg, &engineError](const std::string& error) {
      wxEndBusyCursor();
      engineError = error;
      dlg.EndModal(wxID_OK);
    });
  });
  dlg.Bind(wxEVT_CLOSE_WINDOW, [&](wxCloseEvent& event) {
    if (cancel->IsEnabled()) {
      dlg.EndModal(wxID_CANCEL);
    } else {
      event.Veto();
    }
  });
  if (dlg.ShowModal() != wxID_OK) return false;

  const bool listsErased = eraseLists();
  std::string failed;
  if (!engineError.empty()) failed = WithArgument(kEngineFailed, engineError);
  if (!listsErased) failed += (failed.empty() ? "" : " ") + WithArgument(kProfileFailed, app.ProfilePath());
  if (failed.empty()) {
    app.Messages().Information(kErased.Text());
  } else {
    app.Messages().Error(WithArgument(kNotErased, failed));
  }
  return true;
}

bool RunStartPageDialog(wxWindow* parent, vyr::Application& app) {
  CColoredDlg dlg(parent, Wx(kStartPageTitle));
  dlg.SetName("startpage");
  wxPanel* panel = dlg.ContentPanel();
  const std::string home = app.Get(vyr::kStartupHome);
  auto* shipped = new wxCheckBox(panel, wxID_ANY, Wx(kUseShippedStart));
  shipped->SetName("usedefaultstart");
  shipped->SetValue(app.IsOn(vyr::kStartupUseDefaultStart) || vyr::platform::Trim(home, " \t").empty());
  auto* label = new wxStaticText(panel, wxID_ANY, Wx(kOwnStartLabel));
  auto* address = new wxTextCtrl(panel, wxID_ANY, Wx(home), wxDefaultPosition, dlg.FromDIP(wxSize(360, -1)));
  address->SetName("homeaddress");
  auto follow = [&] { address->Enable(!shipped->GetValue()); };
  follow();
  shipped->Bind(wxEVT_CHECKBOX, [&](wxCommandEvent&) { follow(); });
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(shipped, 0, wxALL, dlg.FromDIP(12));
  all->Add(label, 0, wxLEFT | wxRIGHT, dlg.FromDIP(12));
  all->Add(address, 0, wxEXPAND | wxALL, dlg.FromDIP(12));
  all->Add(dlg.OkCancelRow(), 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, dlg.FromDIP(12));
  panel->SetSizer(all);
  dlg.FinishLayout();
  shipped->SetFocus();
  if (dlg.ShowModal() != wxID_OK) return false;
  app.Write(vyr::kStartupHome, vyr::platform::Trim(Std(address->GetValue()), " \t\r\n"));
  app.Write(vyr::kStartupUseDefaultStart, shipped->GetValue() ? 1 : 0);
  app.PlaySound("save", 1, false);
  return true;
}

void RunOpenDialog(wxWindow* parent, vyr::Application& app, const std::function<void(const vyr::OpenPlan&)>& open) {
  CColoredDlg dlg(parent, Wx(kOpenTitle));
  dlg.SetName("opendialog");
  wxPanel* panel = dlg.ContentPanel();
  vyr::OpenedFileList files;
  files.Load(app);
  auto* text = new wxStaticText(panel, wxID_ANY, Wx(kOpenText));
  auto* box = new wxComboBox(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, dlg.FromDIP(wxSize(380, -1)));
  box->SetName("openaddress");
  for (const std::string& entry : files.Entries()) box->Append(Wx(entry));
  auto* browse = new wxButton(panel, wxID_ANY, Wx(kBrowseButton));
  browse->SetName("openbrowse");
  browse->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    std::string types = kFileTypes.Text();
    while (!types.empty() && types.back() == '|') types.pop_back();
    wxFileDialog chooser(&dlg, Wx(kFileDialogTitle), wxEmptyString, wxEmptyString, Wx(types),
                         wxFD_OPEN | wxFD_FILE_MUST_EXIST);
    if (chooser.ShowModal() == wxID_OK) box->SetValue(chooser.GetPath());
  });
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(box, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, dlg.FromDIP(6));
  row->Add(browse, 0, wxALIGN_CENTER_VERTICAL);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(text, 0, wxALL, dlg.FromDIP(12));
  all->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, dlg.FromDIP(12));
  all->Add(dlg.OkCancelRow(), 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, dlg.FromDIP(12));
  panel->SetSizer(all);
  dlg.FinishLayout();
  box->SetFocus();
  if (dlg.ShowModal() != wxID_OK) return;
  const std::string chosen = Std(box->GetValue());
  if (!files.Add(app, chosen)) return;
  const char* home = std::getenv("HOME");
  open(vyr::PlanOpen(chosen, home ? home : ""));
}

#include "channels/windows/add_favorite_dlg.h"

#include <wx/button.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "base/application.h"
#include "channels/favorites.h"
#include "platform/string_table.h"
#include "platform/text.h"
#include "ui/windows/message_box_dlg.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kAddTitle{41777};        // "Add to Favorites"
constexpr TextId kNameLabel{41778};       // "&Name:"
constexpr TextId kAddressLabel{41779};    // "&Address:"
constexpr TextId kReplaceQuestion{41781};  // "\"%s\" is in your favorites already. ... Replace it?"
constexpr TextId kReplaceCaption{41782};  // "Replace Favorite?"
constexpr TextId kNotWritten{41784};      // "%s could not be written."

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

std::string WithName(std::string text, const std::string& name) {
  return vyr::platform::FillPlaceholders(std::move(text), {name});
}

}  // namespace

CAddFavoriteDlg::CAddFavoriteDlg(wxWindow* parent, const wxString& title,
                                 const std::vector<std::pair<wxString, wxString>>& fields, Accept accept)
    : CColoredDlg(parent, title), accept_(std::move(accept)) {
  SetName(wxS("add_favorite"));
  wxPanel* panel = ContentPanel();
  auto* grid = new wxFlexGridSizer(2, 8, 8);
  grid->AddGrowableCol(1);
  for (const auto& [label, value] : fields) {
    auto* text = new wxStaticText(panel, wxID_ANY, label);
    auto* field = new wxTextCtrl(panel, wxID_ANY, value, wxDefaultPosition, wxSize(320, -1));
    // Screen readers name the field by its label without the key mark.
    field->SetName(wxStripMenuCodes(label));
    grid->Add(text, 0, wxALIGN_CENTER_VERTICAL);
    grid->Add(field, 1, wxEXPAND);
    fields_.push_back(field);
  }
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(grid, 1, wxEXPAND | wxALL, 12);
  wxButton* ok = nullptr;
  all->Add(OkCancelRow(&ok), 0, wxALIGN_RIGHT | wxLEFT | wxRIGHT | wxBOTTOM, 12);
  panel->SetSizer(all);
  FinishLayout();
  if (!fields_.empty()) {
    fields_[0]->SetFocus();
    fields_[0]->SelectAll();
  }
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    if (!accept_ || accept_(*this)) EndModal(wxID_OK);
  });
}

std::string CAddFavoriteDlg::Value(size_t i) const {
  return i < fields_.size() ? std::string(fields_[i]->GetValue().utf8_str()) : std::string();
}

std::string AddToFavorites(wxWindow* parent, vyr::Application& app, const std::string& folder,
                           const std::string& title, const std::string& address) {
  std::string written;
  CAddFavoriteDlg dialog(parent, Wx(kAddTitle.Text()), {{Wx(kNameLabel.Text()), Wx(title)},
                                                        {Wx(kAddressLabel.Text()), Wx(address)}},
                         [&](CAddFavoriteDlg& dlg) {
                           const vyr::FavoriteCheck check = vyr::CheckNewFavorite(app, dlg.Value(0), dlg.Value(1));
                           if (!check.ok) {
                             app.Messages().Error(check.message);
                             return false;
                           }
                           if (vyr::FavoriteExists(folder, check.name)) {
                             CMessageBoxDlg box(&dlg, CMessageBoxDlg::Kind::CautiousQuestion,
                                                Wx(WithName(kReplaceQuestion.Text(), check.name)),
                                                Wx(kReplaceCaption.Text()));
                             box.SetName(wxS("replace_favorite"));
                             if (box.ShowModal() != wxID_YES) return false;
                           }
                           if (!vyr::WriteFavorite(folder, check.name, check.address, &written)) {
                             app.Messages().Error(WithName(kNotWritten.Text(), check.name));
                             return false;
                           }
                           return true;
                         });
  return dialog.ShowModal() == wxID_OK ? written : std::string();
}

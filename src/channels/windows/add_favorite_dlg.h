#pragma once
// CAddFavoriteDlg: the "Add to Favorites" dialog (a name and an address), and
// the same small form for the organizer's questions (a folder's name, a
// page's name and address). OK runs the caller's check, which shows its own
// message and keeps the dialog open when it refuses.
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "ui/windows/colored_dlg.h"

class wxTextCtrl;

namespace vyr {
class Application;
}

class CAddFavoriteDlg : public CColoredDlg {
 public:
  // One text field per entry of fields (its label and its first text);
  // accept decides whether OK ends the dialog (none: always).
  using Accept = std::function<bool(CAddFavoriteDlg&)>;
  CAddFavoriteDlg(wxWindow* parent, const wxString& title, const std::vector<std::pair<wxString, wxString>>& fields,
                  Accept accept = {});

  // The text of field i as typed.
  std::string Value(size_t i) const;
  wxTextCtrl* Field(size_t i) const { return i < fields_.size() ? fields_[i] : nullptr; }

 private:
  std::vector<wxTextCtrl*> fields_;
  Accept accept_;
};

// The add-to-favorites dialog for a page, writing its shortcut into folder.
// The dialog's checks come first; a name already in the folder asks whether
// to replace it (No unless the user says Yes, and No keeps the dialog open
// for another name). Returns the shortcut written, or "" when cancelled.
std::string AddToFavorites(wxWindow* parent, vyr::Application& app, const std::string& folder,
                           const std::string& title, const std::string& address);

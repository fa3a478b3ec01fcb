#pragma once
// CFavoritesOrganizerDlg: the favorites organizer, a tree of the favorites
// folder under "Favorite Places" with Open, New Folder, New Page, Modify,
// Delete and Close. Shortcuts are moved by dragging them onto a folder; a
// link dragged in from a page or the desktop becomes a new page. Every file
// operation is the logic's (vyr::FavoritesOrganizer); the tree follows what
// it did.
#include <functional>
#include <memory>
#include <string>

#include "ui/windows/colored_dlg.h"

#include <wx/treebase.h>

class wxTreeCtrl;

namespace vyr {
class Application;
class FavoritesOrganizer;
}  // namespace vyr

class CFavoritesOrganizerDlg : public CColoredDlg {
 public:
  // open: navigates the browser to an address, true when it took it (the
  // organizer then closes). title and address: the current page, for New
  // Page.
  CFavoritesOrganizerDlg(wxWindow* parent, vyr::Application& app, std::function<bool(const std::string&)> open,
                         std::string title, std::string address);
  ~CFavoritesOrganizerDlg() override;

  // Runs the organizer modally.
  static void Run(wxWindow* parent, vyr::Application& app, std::function<bool(const std::string&)> open,
                  const std::string& title, const std::string& address);

  wxTreeCtrl* Tree() const { return tree_; }
  // The tree item that stands for a path (invalid when none does).
  wxTreeItemId ItemOf(const std::string& path) const;
  // The path a tree item stands for.
  std::string PathOf(const wxTreeItemId& item) const;

 private:
  void Fill();
  bool IsFolder(const wxTreeItemId& item) const;
  wxTreeItemId FolderItemOf(const wxTreeItemId& item) const;
  void Open(const wxTreeItemId& item);
  void NewFolder();
  void NewPage(const std::string& title, const std::string& address);
  void Modify();
  void Delete();
  void Move(const wxTreeItemId& shortcut, const wxTreeItemId& target);

  vyr::Application& app_;
  std::function<bool(const std::string&)> open_;
  std::string title_, address_;
  std::string root_;
  std::unique_ptr<vyr::FavoritesOrganizer> organizer_;
  wxTreeCtrl* tree_ = nullptr;
  std::unique_ptr<wxTreeItemId> dragged_;
};

#pragma once
// CChannelDesignerDlg: "Customize your experience", the modal dialog in which
// the user arranges the channels. The tree shows every channel with its
// folders and pages (the fixed channels locked); beside it the item editor
// shows what the selection is, and twelve buttons add, change, delete,
// export, import, expand, collapse, save and cancel. Items are dragged inside
// the tree; links dragged from a page or the desktop onto the tree become
// pages. Save puts the user channels into the application's set and writes
// "chanuser.vyr"; when that fails the dialog stays open with its changes.
#include <array>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <wx/treectrl.h>

#include "channels/channel_designer.h"
#include "ui/windows/colored_dlg.h"

class CLinkDropTarget;
class wxButton;
class wxStaticText;
class wxTextCtrl;

namespace vyr {
class Application;
}

class CChannelDesignerDlg : public CColoredDlg {
 public:
  // pending: the page "Add Current Page" offers (the main browser's address
  // and title); empty when there is none.
  CChannelDesignerDlg(wxWindow* parent, vyr::Application& app, vyr::ChannelLibrary& library,
                      vyr::DroppedPage pending = {});

  // Opens the designer modally; true when the user saved. Refuses with
  // "Error: No fixed channels found" when there are no fixed channels.
  static bool Run(wxWindow* parent, vyr::Application& app, vyr::ChannelLibrary& library,
                  vyr::DroppedPage pending = {});

  const vyr::ChannelDesignerModel& Model() const { return model_; }
  wxTreeCtrl* Tree() const { return tree_; }
  // The tree item of a path (invalid when there is none).
  wxTreeItemId ItemAt(const vyr::TreePath& path) const;

 private:
  void Fill(const vyr::TreePath& select = {});
  vyr::TreePath PathOf(wxTreeItemId item) const;
  std::vector<vyr::TreePath> SelectedPaths() const;
  vyr::TreePath Selected() const;
  void ShowSelection();
  // Shows a refusal; true when there was one.
  bool Refused(const vyr::DesignerResult& result);
  void Apply(const vyr::DesignerResult& result);

  void AddChannel();
  void AddFolder();
  void AddPage(const vyr::DroppedPage& proposed);
  void Modify();
  void Delete();
  void Export();
  void Import();
  void Save();
  void Cancel();
  void OnBeginDrag(wxTreeEvent& event);
  void OnEndDrag(wxTreeEvent& event);
  void OnLinkDropped(const std::string& address, const std::string& title);
  void Finish(int code);

  vyr::Application& app_;
  vyr::ChannelLibrary& library_;
  vyr::ChannelDesignerModel model_;
  vyr::DroppedPage pending_;
  wxTreeCtrl* tree_ = nullptr;
  CLinkDropTarget* dropTarget_ = nullptr;  // owned by the tree
  std::array<wxStaticText*, 2> labels_{};
  std::array<wxTextCtrl*, 2> fields_{};
  std::vector<vyr::TreePath> dragged_;
  std::set<const vyr::ChannelItem*> expanded_;
};

#include "channels/windows/channel_designer_dlg.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <map>

#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/imaglist.h>
#include <wx/settings.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "base/application.h"
#include "base/message_box.h"
#include "channels/windows/duplicate_channel_dlg.h"
#include "schemes/scheme_look.h"
#include "ui/windows/image_list.h"
#include "ui/windows/link_drop_target.h"
#include "ui/windows/scheme_art.h"

namespace {

namespace dt = vyr::designer_text;
using vyr::DesignerKind;
using vyr::TreePath;

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// The channel or folder a tree item shows (its open state is kept by it
// across a refill, the item keeping its identity when it moves).
struct ItemData : wxTreeItemData {
  explicit ItemData(const vyr::ChannelItem* shown) : item(shown) {}
  const vyr::ChannelItem* item;
};

// Pictures of "chanedit.bmp" the tree uses.
enum TreeImage { kChannelImage = 3, kLockedImage = 1, kPageImage = 4, kFolderImage = 6 };

// A question answered with "Don't show me this again" keeps its answer for
// the rest of the run.
int AskOnce(vyr::Application& app, vyr::platform::TextId text, vyr::platform::TextId caption) {
  static std::map<unsigned, int> remembered;
  if (auto found = remembered.find(text.number); found != remembered.end()) return found->second;
  bool dontShow = false;
  const int answer = app.Messages().Question(text.Text(), caption.Text(), &dontShow);
  if (dontShow && answer != vyr::IDCANCEL) remembered[text.number] = answer;
  return answer;
}

// A channel file dialog's filter: the design's form ends in "||", which the
// toolkit would take as an empty pair.
wxString Filter(vyr::platform::TextId id) {
  std::string filter = id.Text();
  while (!filter.empty() && filter.back() == '|') filter.pop_back();
  return U(filter);
}

// The question for a new or changed item: one or two labelled fields under
// the caption. False when the user cancels.
bool AskItem(wxWindow* parent, vyr::platform::TextId caption, vyr::platform::TextId firstLabel, std::string& first,
             vyr::platform::TextId secondLabel = {}, std::string* second = nullptr) {
  CColoredDlg dialog(parent, U(caption.Text()));
  wxPanel* panel = dialog.ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto field = [&](vyr::platform::TextId label, const std::string& value, const char* name) {
    sizer->Add(new wxStaticText(panel, wxID_ANY, U(label.Text())), 0, wxLEFT | wxRIGHT | wxTOP, 10);
    auto* text = new wxTextCtrl(panel, wxID_ANY, U(value), wxDefaultPosition, wxSize(340, -1), 0,
                                wxDefaultValidator, name);
    sizer->Add(text, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
    return text;
  };
  wxTextCtrl* firstText = field(firstLabel, first, "prompt_first");
  wxTextCtrl* secondText = second ? field(secondLabel, *second, "prompt_second") : nullptr;
  sizer->Add(dialog.OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  dialog.FinishLayout();
  firstText->SetFocus();
  firstText->SelectAll();
  if (dialog.ShowModal() != wxID_OK) return false;
  first = Utf8(firstText->GetValue().Trim().Trim(false));
  if (secondText) *second = Utf8(secondText->GetValue().Trim().Trim(false));
  return true;
}

// "Export and Share": how many channels go, and the file they go to. Gives
// the file's full name, or empty when cancelled.
std::string AskExportFile(wxWindow* parent, vyr::Application& app, size_t count) {
  CColoredDlg dialog(parent, U(dt::kExportCaption.Text()));
  wxPanel* panel = dialog.ContentPanel();
  const std::string folder = app.GetDataDirectory("channels", true);
  std::string count_text = dt::kExportCount.Text();
  if (size_t at = count_text.find("%d"); at != std::string::npos) count_text.replace(at, 2, std::to_string(count));
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(count_text)), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(dt::kExportFileLabel.Text())), 0, wxLEFT | wxRIGHT | wxTOP, 10);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* file = new wxTextCtrl(panel, wxID_ANY, {}, wxDefaultPosition, wxSize(320, -1), 0, wxDefaultValidator,
                              "export_file");
  auto* browse = new wxButton(panel, wxID_ANY, U(dt::kBrowse.Text()), wxDefaultPosition, wxDefaultSize, 0,
                              wxDefaultValidator, "export_browse");
  row->Add(file, 1, wxALIGN_CENTER_VERTICAL);
  row->Add(browse, 0, wxLEFT, 6);
  sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(dialog.OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  dialog.FinishLayout();
  file->SetFocus();

  browse->Bind(wxEVT_BUTTON, [&](wxCommandEvent&) {
    wxFileDialog chooser(&dialog, U(dt::kExportChooserTitle.Text()), U(folder), {}, Filter(dt::kExportFilter),
                         wxFD_SAVE);
    if (chooser.ShowModal() == wxID_OK) file->SetValue(chooser.GetPath());
  });
  std::string chosen;
  dialog.Bind(wxEVT_BUTTON, [&](wxCommandEvent& event) {
    if (event.GetId() != wxID_OK) {
      event.Skip();
      return;
    }
    std::string problem;
    chosen = vyr::ExportFileName(Utf8(file->GetValue().Trim().Trim(false)), folder, &problem);
    if (!problem.empty()) {
      app.Messages().Error(problem);  // the dialog stays for another name
      return;
    }
    dialog.EndModal(wxID_OK);
  });
  return dialog.ShowModal() == wxID_OK ? chosen : std::string();
}

}  // namespace

CChannelDesignerDlg::CChannelDesignerDlg(wxWindow* parent, vyr::Application& app, vyr::ChannelLibrary& library,
                                         vyr::DroppedPage pending)
    : CColoredDlg(parent, U(dt::kCaption.Text()), true),
      app_(app),
      library_(library),
      model_(library.Set(), library.FixedCount()),
      pending_(std::move(pending)) {
  SetName("channel_designer");
  wxPanel* panel = ContentPanel();
  tree_ = new wxTreeCtrl(panel, wxID_ANY, wxDefaultPosition, wxSize(320, 380),
                         wxTR_HAS_BUTTONS | wxTR_LINES_AT_ROOT | wxTR_HIDE_ROOT | wxTR_MULTIPLE,
                         wxDefaultValidator, "channel_tree");
  if (GtkWidget* widget = static_cast<GtkWidget*>(tree_->GetHandle()))
    atk_object_set_name(gtk_widget_get_accessible(widget), dt::kTreeName.Text().c_str());
  if (auto art = CSchemeArt::Current()) {
    if (auto cells = art->Images(vyr::SchemeImages::ChanEdit); cells && !cells->IsEmpty()) {
      auto* images = new wxImageList(cells->CellSize().x, cells->CellSize().y, true, cells->Count());
      for (int i = 0; i < cells->Count(); ++i) images->Add(cells->Cell(i));
      tree_->AssignImageList(images);
    }
  }

  // The item editor: what the selection is, with the labels of its kind.
  auto* editor = new wxFlexGridSizer(2, 4, 6);
  editor->AddGrowableCol(1);
  const char* fieldNames[2] = {"item_name", "item_url"};
  for (size_t i = 0; i < 2; ++i) {
    labels_[i] = new wxStaticText(panel, wxID_ANY, {});
    fields_[i] = new wxTextCtrl(panel, wxID_ANY, {}, wxDefaultPosition, wxSize(260, -1), wxTE_READONLY,
                                wxDefaultValidator, fieldNames[i]);
    editor->Add(labels_[i], 0, wxALIGN_CENTER_VERTICAL);
    editor->Add(fields_[i], 1, wxEXPAND);
  }

  // The twelve buttons, two to a row.
  auto* buttons = new wxGridSizer(2, 6, 6);
  auto button = [&](vyr::platform::TextId text, const char* name, void (CChannelDesignerDlg::*action)()) {
    auto* b = new wxButton(panel, wxID_ANY, U(text.Text()), wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                           name);
    b->Bind(wxEVT_BUTTON, [this, action](wxCommandEvent&) { (this->*action)(); });
    buttons->Add(b, 0, wxEXPAND);
    return b;
  };
  button(dt::kAddChannel, "add_channel", &CChannelDesignerDlg::AddChannel);
  button(dt::kAddFolder, "add_folder", &CChannelDesignerDlg::AddFolder);
  button(dt::kAddPage, "add_page", nullptr)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddPage({}); });
  button(dt::kAddCurrentPage, "add_current_page", nullptr)
      ->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { AddPage(pending_); });
  button(dt::kModify, "modify", &CChannelDesignerDlg::Modify);
  button(dt::kDelete, "delete", &CChannelDesignerDlg::Delete);
  button(dt::kExport, "export", &CChannelDesignerDlg::Export);
  button(dt::kImport, "import", &CChannelDesignerDlg::Import);
  button(dt::kExpandAll, "expand_all", nullptr)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { tree_->ExpandAll(); });
  button(dt::kCollapseAll, "collapse_all", nullptr)->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    tree_->CollapseAll();
  });
  wxButton* save = button(dt::kSave, "designer_save", &CChannelDesignerDlg::Save);
  button(dt::kCancel, "designer_cancel", &CChannelDesignerDlg::Cancel);
  FindWindow("add_current_page")->Enable(!pending_.url.empty());

  auto* right = new wxBoxSizer(wxVERTICAL);
  right->Add(editor, 0, wxEXPAND | wxBOTTOM, 12);
  right->Add(buttons, 0, wxEXPAND);
  right->AddStretchSpacer();
  auto* hintTitle = new wxStaticText(panel, wxID_ANY, U(dt::kHintTitle.Text()));
  hintTitle->SetFont(hintTitle->GetFont().Bold());
  auto* hint = new wxStaticText(panel, wxID_ANY, U(dt::kHint.Text()));
  hint->Wrap(360);
  right->Add(hintTitle, 0, wxTOP, 12);
  right->Add(hint, 0, wxTOP, 4);

  auto* top = new wxBoxSizer(wxHORIZONTAL);
  top->Add(tree_, 1, wxEXPAND | wxRIGHT, 12);
  top->Add(right, 0, wxEXPAND);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(top, 1, wxEXPAND | wxALL, 12);
  all->Add(new wxStaticText(panel, wxID_ANY, U(dt::kStatusLine.Text()), wxDefaultPosition, wxDefaultSize, 0,
                            "designer_status"),
           0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  panel->SetSizer(all);

  tree_->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent&) { ShowSelection(); });
  tree_->Bind(wxEVT_TREE_BEGIN_DRAG, &CChannelDesignerDlg::OnBeginDrag, this);
  tree_->Bind(wxEVT_TREE_END_DRAG, &CChannelDesignerDlg::OnEndDrag, this);
  tree_->Bind(wxEVT_TREE_ITEM_ACTIVATED, [this](wxTreeEvent&) { Modify(); });
  // The keys of a tree: Delete deletes, F2 changes the item.
  tree_->Bind(wxEVT_TREE_KEY_DOWN, [this](wxTreeEvent& event) {
    const int key = event.GetKeyCode();
    if (key == WXK_DELETE) {
      Delete();
    } else if (key == WXK_F2) {
      Modify();
    } else {
      event.Skip();
    }
  });
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { Cancel(); });
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_ESCAPE) {
      Cancel();
    } else {
      event.Skip();
    }
  });
  dropTarget_ = new CLinkDropTarget([this](unsigned message, int, const std::string& address) {
    if (message != kLinkDropMessage) return;
    // After the drop has ended: the question about the page is a dialog.
    const std::string title = dropTarget_->DroppedTitle();
    CallAfter([this, address, title] { OnLinkDropped(address, title); });
  });
  tree_->SetDropTarget(dropTarget_);

  Fill();
  // The user's own channels open, the locked ones closed.
  for (size_t c = model_.LockedCount(); c < model_.Tree().Count(); ++c) tree_->Expand(ItemAt({c}));
  ShowSelection();
  FinishLayout();
  save->SetDefault();
  tree_->SetFocus();
}

bool CChannelDesignerDlg::Run(wxWindow* parent, vyr::Application& app, vyr::ChannelLibrary& library,
                              vyr::DroppedPage pending) {
  if (library.FixedCount() < 1) {
    app.Messages().Error(dt::kNoFixedChannels.Text());
    return false;
  }
  CChannelDesignerDlg dialog(parent, app, library, std::move(pending));
  return dialog.ShowModal() == wxID_OK;
}

void CChannelDesignerDlg::Fill(const TreePath& select) {
  // Open channels and folders stay open across a refill.
  std::set<const vyr::ChannelItem*> open = std::exchange(expanded_, {});
  std::vector<wxTreeItemId> pending{tree_->GetRootItem()};
  while (!pending.empty()) {
    const wxTreeItemId id = pending.back();
    pending.pop_back();
    if (!id.IsOk()) continue;
    if (auto* data = static_cast<ItemData*>(tree_->GetItemData(id)); data && tree_->IsExpanded(id)) open.insert(data->item);
    wxTreeItemIdValue cookie;
    for (wxTreeItemId c = tree_->GetFirstChild(id, cookie); c.IsOk(); c = tree_->GetNextChild(id, cookie))
      pending.push_back(c);
  }
  tree_->Freeze();
  tree_->DeleteAllItems();
  const wxTreeItemId root = tree_->AddRoot({});
  const vyr::ChannelSet& set = model_.Tree();
  std::vector<std::pair<wxTreeItemId, const vyr::ChannelItem*>> all;
  for (size_t c = 0; c < set.Count(); ++c) {
    const vyr::ChannelItem* channel = set.At(c);
    const bool locked = c < model_.LockedCount();
    const wxTreeItemId channelId = tree_->AppendItem(root, U(channel->name), locked ? kLockedImage : kChannelImage,
                                                       -1, new ItemData(channel));
    if (locked) tree_->SetItemTextColour(channelId, wxSystemSettings::GetColour(wxSYS_COLOUR_GRAYTEXT));
    all.emplace_back(channelId, channel);
    for (const auto& item : channel->children) {
      const bool folder = vyr::IsFolderItem(*item);
      const wxTreeItemId itemId = tree_->AppendItem(channelId, U(item->name), folder ? kFolderImage : kPageImage, -1,
                                                    new ItemData(item.get()));
      all.emplace_back(itemId, item.get());
      for (const auto& page : item->children) tree_->AppendItem(itemId, U(page->name), kPageImage);
    }
  }
  for (const auto& [id, item] : all)
    if (open.count(item)) tree_->Expand(id);
  tree_->Thaw();
  if (const wxTreeItemId chosen = ItemAt(select); chosen.IsOk()) {
    tree_->UnselectAll();
    tree_->SelectItem(chosen);
    tree_->EnsureVisible(chosen);
  }
  ShowSelection();
}

wxTreeItemId CChannelDesignerDlg::ItemAt(const TreePath& path) const {
  wxTreeItemId item = tree_->GetRootItem();
  for (size_t index : path) {
    wxTreeItemIdValue cookie;
    wxTreeItemId child = tree_->GetFirstChild(item, cookie);
    for (size_t i = 0; i < index && child.IsOk(); ++i) child = tree_->GetNextSibling(child);
    if (!child.IsOk()) return {};
    item = child;
  }
  return path.empty() ? wxTreeItemId() : item;
}

TreePath CChannelDesignerDlg::PathOf(wxTreeItemId item) const {
  TreePath path;
  while (item.IsOk() && item != tree_->GetRootItem()) {
    size_t index = 0;
    for (wxTreeItemId prev = tree_->GetPrevSibling(item); prev.IsOk(); prev = tree_->GetPrevSibling(prev)) ++index;
    path.insert(path.begin(), index);
    item = tree_->GetItemParent(item);
  }
  return path;
}

std::vector<TreePath> CChannelDesignerDlg::SelectedPaths() const {
  wxArrayTreeItemIds ids;
  tree_->GetSelections(ids);
  std::vector<TreePath> paths;
  for (size_t i = 0; i < ids.size(); ++i) paths.push_back(PathOf(ids[i]));
  return paths;
}

TreePath CChannelDesignerDlg::Selected() const {
  // The focused item among several selected ones.
  const wxTreeItemId focused = tree_->GetFocusedItem();
  if (focused.IsOk() && tree_->IsSelected(focused)) return PathOf(focused);
  const std::vector<TreePath> paths = SelectedPaths();
  return paths.empty() ? TreePath() : paths.front();
}

void CChannelDesignerDlg::ShowSelection() {
  const TreePath path = Selected();
  const vyr::ChannelItem* item = model_.At(path);
  std::string name, url;
  vyr::platform::TextId first = dt::kChannelLabel, second = dt::kUrlLabel;
  switch (model_.KindAt(path)) {
    case DesignerKind::LockedChannel: first = dt::kLockedLabel; break;
    case DesignerKind::Folder: first = dt::kFolderLabel; break;
    case DesignerKind::Page: first = dt::kTitleLabel; break;
    case DesignerKind::Channel: break;
    case DesignerKind::None:
      // Nothing chosen: the page the designer was opened with.
      first = dt::kTitleLabel;
      name = pending_.title;
      url = pending_.url;
      break;
  }
  if (item) {
    name = item->name;
    url = model_.KindAt(path) == DesignerKind::Page ? item->url : std::string();
  }
  labels_[0]->SetLabel(U(first.Text()));
  labels_[1]->SetLabel(U(second.Text()));
  fields_[0]->ChangeValue(U(name));
  fields_[1]->ChangeValue(U(url));
  const bool pageFields = model_.KindAt(path) == DesignerKind::Page || !item;
  labels_[1]->Show(pageFields);
  fields_[1]->Show(pageFields);
  // The hidden row keeps its place: the buttons below do not jump.
}

bool CChannelDesignerDlg::Refused(const vyr::DesignerResult& result) {
  if (result.refusal.number == 0) return false;
  app_.Messages().Information(result.refusal.Text());
  return true;
}

void CChannelDesignerDlg::Apply(const vyr::DesignerResult& result) {
  if (Refused(result) || !result.done) return;
  // The parents of the changed place open.
  TreePath parent = result.path;
  while (parent.size() > 1) {
    parent.pop_back();
    expanded_.insert(model_.At(parent));
  }
  Fill(result.path);
}

void CChannelDesignerDlg::AddChannel() {
  const TreePath selection = Selected();
  if (model_.KindAt(selection) != DesignerKind::Channel && model_.KindAt(selection) != DesignerKind::LockedChannel) {
    app_.Messages().Information(dt::kSelectChannelForChannel.Text());
    return;
  }
  std::string name;
  if (!AskItem(this, dt::kNewChannelCaption, dt::kNewChannelPrompt, name) || name.empty()) return;
  const vyr::DesignerResult result = model_.AddChannel(selection, name);
  if (!result.done && result.refusal.number == 0) app_.Messages().Error(dt::kInsertFailed.Text());
  Apply(result);
}

void CChannelDesignerDlg::AddFolder() {
  const TreePath selection = Selected();
  // Refusals before the question.
  if (Refused(model_.AddFolder(selection, {}))) return;
  std::string name;
  if (!AskItem(this, dt::kNewFolderCaption, dt::kNewFolderPrompt, name)) return;
  Apply(model_.AddFolder(selection, name));
}

void CChannelDesignerDlg::AddPage(const vyr::DroppedPage& proposed) {
  TreePath selection = Selected();
  // A page chosen in a folder or a channel stands for its parent.
  if (model_.KindAt(selection) == DesignerKind::Page) selection.pop_back();
  if (Refused(model_.AddPage(selection, {}, {}))) return;
  std::string name = proposed.title, url = proposed.url;
  if (!AskItem(this, dt::kNewPageCaption, dt::kNewPageNamePrompt, name, dt::kPageUrlPrompt, &url)) return;
  Apply(model_.AddPage(selection, name, url));
}

void CChannelDesignerDlg::Modify() {
  const TreePath path = Selected();
  const DesignerKind kind = model_.KindAt(path);
  if (kind == DesignerKind::None) {
    app_.Messages().Information(dt::kSelectToModify.Text());
    return;
  }
  if (model_.InLockedChannel(path)) {
    app_.Messages().Information(dt::kLocked.Text());
    return;
  }
  std::string name = model_.At(path)->name, url = model_.At(path)->url;
  bool asked = false;
  if (kind == DesignerKind::Channel) {
    asked = AskItem(this, dt::kChangeChannelCaption, dt::kChannelNamePrompt, name);
  } else if (kind == DesignerKind::Folder) {
    asked = AskItem(this, dt::kChangeFolderCaption, dt::kFolderNamePrompt, name);
  } else {
    asked = AskItem(this, dt::kChangePageCaption, dt::kPageNamePrompt, name, dt::kPageUrlPrompt, &url);
  }
  if (asked) Apply(model_.Modify(path, name, url));
}

void CChannelDesignerDlg::Delete() {
  const std::vector<TreePath> paths = SelectedPaths();
  if (paths.empty()) {
    app_.Messages().Information(dt::kSelectToDelete.Text());
    return;
  }
  for (const TreePath& p : paths) {
    if (model_.InLockedChannel(p)) {
      app_.Messages().Information(dt::kLocked.Text());
      return;
    }
  }
  if (AskOnce(app_, dt::kDeleteQuestion, dt::kDeleteCaption) != vyr::IDYES) return;
  TreePath after = paths.front();
  const vyr::DesignerResult result = model_.Delete(paths);
  if (Refused(result)) return;
  // The item before the first deleted one keeps the selection.
  if (after.back() > 0) {
    --after.back();
  } else if (after.size() > 1) {
    after.pop_back();
  }
  Fill(after);
}

void CChannelDesignerDlg::Export() {
  std::vector<size_t> chosen;
  for (const TreePath& p : SelectedPaths())
    if (p.size() == 1) chosen.push_back(p[0]);
  if (chosen.empty()) {
    app_.Messages().Information(dt::kSelectToExport.Text());
    return;
  }
  std::sort(chosen.begin(), chosen.end());
  const std::string file = AskExportFile(this, app_, chosen.size());
  if (file.empty()) return;
  app_.Messages().Information(vyr::ExportSummary(chosen.size(), file));
  vyr::ExportChannels(model_.Tree(), chosen, file, &app_.Messages());
}

void CChannelDesignerDlg::Import() {
  wxFileDialog chooser(this, U(dt::kImportChooserTitle.Text()), U(app_.GetDataDirectory("channels", true)), {},
                       Filter(dt::kChannelFileFilter), wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (chooser.ShowModal() != wxID_OK) return;
  vyr::ChannelSet imported;
  // A file that cannot be opened ends the import without a word.
  if (!imported.Load(Utf8(chooser.GetPath()), true)) return;
  if (!model_.Import(imported, DuplicateChannelDialogChooser(this))) return;
  Fill(Selected());
}

void CChannelDesignerDlg::Save() {
  app_.PlaySound("save");
  std::string why;
  if (!model_.Save(library_, &why)) {
    // Nothing is lost: the designer stays with every change.
    app_.Messages().Error(why);
    return;
  }
  Finish(wxID_OK);
}

void CChannelDesignerDlg::Cancel() {
  if (model_.Modified() && AskOnce(app_, dt::kLoseChanges, dt::kDesignerCaption) != vyr::IDYES) return;
  app_.PlaySound("cancel");
  Finish(wxID_CANCEL);
}

void CChannelDesignerDlg::Finish(int code) {
  if (IsModal()) {
    EndModal(code);
  } else {
    SetReturnCode(code);
    Hide();
  }
}

void CChannelDesignerDlg::OnBeginDrag(wxTreeEvent& event) {
  dragged_ = SelectedPaths();
  const TreePath grabbed = PathOf(event.GetItem());
  // Grabbing an item outside the selection drags that item alone.
  if (std::find(dragged_.begin(), dragged_.end(), grabbed) == dragged_.end()) dragged_ = {grabbed};
  event.Allow();
}

void CChannelDesignerDlg::OnEndDrag(wxTreeEvent& event) {
  const std::vector<TreePath> dragged = std::exchange(dragged_, {});
  if (!event.GetItem().IsOk() || dragged.empty()) return;
  const vyr::DesignerResult result = model_.Move(dragged, PathOf(event.GetItem()));
  // The refusal's box after the tree let the pointer go.
  CallAfter([this, result] { Apply(result); });
}

void CChannelDesignerDlg::OnLinkDropped(const std::string& address, const std::string& title) {
  // The item under the pointer marks the place, else the selection.
  int flags = 0;
  const wxTreeItemId under = tree_->HitTest(tree_->ScreenToClient(wxGetMousePosition()), flags);
  if (under.IsOk()) {
    tree_->UnselectAll();
    tree_->SelectItem(under);
  }
  AddPage(vyr::PageFromDroppedLink(address, title));
}

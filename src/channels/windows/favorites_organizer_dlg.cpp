#include "channels/windows/favorites_organizer_dlg.h"

#include <set>

#include <wx/artprov.h>
#include <wx/button.h>
#include <wx/imaglist.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/treectrl.h>

#include "base/application.h"
#include "channels/favorites.h"
#include "channels/windows/add_favorite_dlg.h"
#include "platform/file_system.h"
#include "platform/string_table.h"
#include "ui/windows/link_drop_target.h"
#include "ui/windows/symbolic_icons.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kCaptionLine{41762};  // "Draw and Drop to arrange favorites"
constexpr TextId kOpenButton{41763};
constexpr TextId kNewFolderButton{41764};
constexpr TextId kNewPageButton{41765};
constexpr TextId kModifyButton{41766};
constexpr TextId kDeleteButton{41767};
constexpr TextId kCloseButton{41768};
constexpr TextId kRootText{41769};  // "Favorite Places"
constexpr TextId kNewFolderQuestion{41770};
constexpr TextId kNewFolderCaption{41771};
constexpr TextId kFolderCaption{41772};
constexpr TextId kFolderQuestion{41773};
constexpr TextId kPageCaption{41774};
constexpr TextId kPageNameQuestion{41775};
constexpr TextId kPageAddressQuestion{41776};
constexpr TextId kTreeName{41780};
constexpr TextId kNoFavorites{41792};  // "Error 1 Processing Favorites"
constexpr TextId kTitle{41793};        // "Organize Favorites"

enum Picture { kRootPicture, kFolderPicture, kShortcutPicture };

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
wxString Wx(TextId id) { return Wx(id.Text()); }

// What a tree item stands for.
class ItemData : public wxTreeItemData {
 public:
  ItemData(std::string path, bool folder) : path(std::move(path)), folder(folder) {}
  std::string path;
  bool folder;
};

wxImageList* TreePictures() {
  const wxSize size(16, 16);
  auto* pictures = new wxImageList(size.x, size.y, true);
  wxBitmap folder = wxArtProvider::GetBitmap(wxART_FOLDER, wxART_OTHER, size);
  wxBitmap root = wxArtProvider::GetBitmap(wxS("user-bookmarks"), wxART_OTHER, size);
  wxBitmap page = FileTypeIcon("text/html", "page.html", size.x);
  if (!page.IsOk()) page = wxArtProvider::GetBitmap(wxART_NORMAL_FILE, wxART_OTHER, size);
  for (const wxBitmap& picture : {root.IsOk() ? root : folder, folder, page}) {
    wxImage image = picture.ConvertToImage();
    if (image.GetWidth() != size.x || image.GetHeight() != size.y)
      image.Rescale(size.x, size.y, wxIMAGE_QUALITY_HIGH);
    pictures->Add(wxBitmap(image));
  }
  return pictures;
}

}  // namespace

CFavoritesOrganizerDlg::CFavoritesOrganizerDlg(wxWindow* parent, vyr::Application& app,
                                               std::function<bool(const std::string&)> open, std::string title,
                                               std::string address)
    : CColoredDlg(parent, Wx(kTitle), true),
      app_(app),
      open_(std::move(open)),
      title_(std::move(title)),
      address_(std::move(address)) {
  SetName(wxS("favorites_organizer"));
  wxPanel* panel = ContentPanel();
  tree_ = new wxTreeCtrl(panel, wxID_ANY, wxDefaultPosition, wxSize(320, 360),
                         wxTR_HAS_BUTTONS | wxTR_SINGLE | wxTR_LINES_AT_ROOT);
  tree_->SetName(Wx(kTreeName));
  tree_->AssignImageList(TreePictures());

  auto* buttons = new wxBoxSizer(wxVERTICAL);
  auto button = [&](TextId label, const char* name, void (CFavoritesOrganizerDlg::*act)()) {
    auto* b = new wxButton(panel, wxID_ANY, Wx(label));
    b->SetName(name);
    b->Bind(wxEVT_BUTTON, [this, act](wxCommandEvent&) { (this->*act)(); });
    buttons->Add(b, 0, wxEXPAND | wxBOTTOM, 6);
    return b;
  };
  auto* openButton = new wxButton(panel, wxID_ANY, Wx(kOpenButton));
  openButton->SetName("organizer_open");
  openButton->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Open(tree_->GetSelection()); });
  buttons->Add(openButton, 0, wxEXPAND | wxBOTTOM, 6);
  button(kNewFolderButton, "organizer_new_folder", &CFavoritesOrganizerDlg::NewFolder);
  auto* newPage = new wxButton(panel, wxID_ANY, Wx(kNewPageButton));
  newPage->SetName("organizer_new_page");
  newPage->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { NewPage(title_, address_); });
  buttons->Add(newPage, 0, wxEXPAND | wxBOTTOM, 6);
  button(kModifyButton, "organizer_modify", &CFavoritesOrganizerDlg::Modify);
  button(kDeleteButton, "organizer_delete", &CFavoritesOrganizerDlg::Delete);
  buttons->AddStretchSpacer();
  auto* close = new wxButton(panel, wxID_CANCEL, Wx(kCloseButton));
  close->SetName("organizer_close");
  buttons->Add(close, 0, wxEXPAND);
  SetEscapeId(wxID_CANCEL);

  auto* body = new wxBoxSizer(wxHORIZONTAL);
  body->Add(tree_, 1, wxEXPAND | wxRIGHT, 10);
  body->Add(buttons, 0, wxEXPAND);
  auto* all = new wxBoxSizer(wxVERTICAL);
  all->Add(new wxStaticText(panel, wxID_ANY, Wx(kCaptionLine)), 0, wxLEFT | wxRIGHT | wxTOP, 12);
  all->Add(body, 1, wxEXPAND | wxALL, 12);
  panel->SetSizer(all);
  FinishLayout();

  tree_->Bind(wxEVT_TREE_ITEM_ACTIVATED, [this](wxTreeEvent& event) {
    if (IsFolder(event.GetItem())) {
      event.Skip();  // a folder opens or closes
    } else {
      Open(event.GetItem());
    }
  });
  tree_->Bind(wxEVT_TREE_KEY_DOWN, [this](wxTreeEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) {
      Delete();
    } else {
      event.Skip();
    }
  });
  // Shortcuts are dragged onto folders; folders and the root stay.
  tree_->Bind(wxEVT_TREE_BEGIN_DRAG, [this](wxTreeEvent& event) {
    if (event.GetItem().IsOk() && !IsFolder(event.GetItem())) {
      dragged_ = std::make_unique<wxTreeItemId>(event.GetItem());
      event.Allow();
    }
  });
  tree_->Bind(wxEVT_TREE_END_DRAG, [this](wxTreeEvent& event) {
    if (!dragged_) return;
    const wxTreeItemId shortcut = *dragged_, target = event.GetItem();
    dragged_.reset();
    // Moved once the toolkit has finished the drag: the move may show a box.
    if (target.IsOk()) CallAfter([this, shortcut, target] { Move(shortcut, target); });
  });
  // A link dragged in from a page or the desktop: a new page in the selected
  // folder, named after its address until the user names it.
  tree_->SetDropTarget(new CLinkDropTarget([this](unsigned message, int, const std::string& address) {
    if (message == kLinkDropMessage && !address.empty())
      CallAfter([this, address] { NewPage(address, address); });
  }));

  std::string root;
  if (vyr::FindFavoritesFolder(app_, root) && vyr::platform::DirectoryExists(root)) {
    root_ = root;
    organizer_ = std::make_unique<vyr::FavoritesOrganizer>(root_, app_.Messages());
  }
  Fill();
  tree_->SetFocus();
}

CFavoritesOrganizerDlg::~CFavoritesOrganizerDlg() = default;

void CFavoritesOrganizerDlg::Run(wxWindow* parent, vyr::Application& app,
                                 std::function<bool(const std::string&)> open, const std::string& title,
                                 const std::string& address) {
  CFavoritesOrganizerDlg dialog(parent, app, std::move(open), title, address);
  if (!dialog.organizer_) {
    // Shown over the organizer, which then stays empty.
    dialog.CallAfter([&dialog] { dialog.app_.Messages().Error(kNoFavorites.Text()); });
  }
  dialog.ShowModal();
}

void CFavoritesOrganizerDlg::Fill() {
  // The folders open now stay open, and the selection stays on its path.
  std::set<std::string> expanded;
  std::string selected = PathOf(tree_->GetSelection());
  std::function<void(const wxTreeItemId&)> remember = [&](const wxTreeItemId& item) {
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree_->GetFirstChild(item, cookie); child.IsOk();
         child = tree_->GetNextChild(item, cookie)) {
      if (tree_->IsExpanded(child)) expanded.insert(PathOf(child));
      remember(child);
    }
  };
  if (tree_->GetRootItem().IsOk()) remember(tree_->GetRootItem());

  tree_->Freeze();
  tree_->DeleteAllItems();
  const wxTreeItemId root = tree_->AddRoot(Wx(kRootText), kRootPicture, -1, new ItemData(root_, true));
  if (organizer_) {
    std::function<void(const wxTreeItemId&, const std::vector<vyr::FavoritesTreeNode>&)> add =
        [&](const wxTreeItemId& parent, const std::vector<vyr::FavoritesTreeNode>& nodes) {
          for (const vyr::FavoritesTreeNode& node : nodes) {
            const wxTreeItemId item = tree_->AppendItem(parent, Wx(node.text), node.folder ? kFolderPicture : kShortcutPicture,
                                                        -1, new ItemData(node.path, node.folder));
            add(item, node.children);
            if (node.folder && expanded.count(node.path)) tree_->Expand(item);
          }
        };
    add(root, vyr::ListFavorites(root_));
  }
  tree_->Expand(root);
  const wxTreeItemId keep = ItemOf(selected);
  if (keep.IsOk()) {
    tree_->EnsureVisible(keep);
    tree_->SelectItem(keep);
  } else {
    tree_->SelectItem(root);
  }
  tree_->Thaw();
}

wxTreeItemId CFavoritesOrganizerDlg::ItemOf(const std::string& path) const {
  if (path.empty() || !tree_->GetRootItem().IsOk()) return {};
  std::function<wxTreeItemId(const wxTreeItemId&)> find = [&](const wxTreeItemId& item) -> wxTreeItemId {
    if (PathOf(item) == path) return item;
    wxTreeItemIdValue cookie;
    for (wxTreeItemId child = tree_->GetFirstChild(item, cookie); child.IsOk();
         child = tree_->GetNextChild(item, cookie)) {
      if (const wxTreeItemId found = find(child); found.IsOk()) return found;
    }
    return {};
  };
  return find(tree_->GetRootItem());
}

std::string CFavoritesOrganizerDlg::PathOf(const wxTreeItemId& item) const {
  if (!item.IsOk()) return {};
  auto* data = static_cast<ItemData*>(tree_->GetItemData(item));
  return data ? data->path : std::string();
}

bool CFavoritesOrganizerDlg::IsFolder(const wxTreeItemId& item) const {
  if (!item.IsOk()) return false;
  auto* data = static_cast<ItemData*>(tree_->GetItemData(item));
  return data && data->folder;
}

wxTreeItemId CFavoritesOrganizerDlg::FolderItemOf(const wxTreeItemId& item) const {
  if (!item.IsOk()) return tree_->GetRootItem();
  return IsFolder(item) ? item : tree_->GetItemParent(item);
}

void CFavoritesOrganizerDlg::Open(const wxTreeItemId& item) {
  const std::string path = PathOf(item);
  std::string address;
  if (IsFolder(item) || !vyr::IsShortcutFile(path) || !vyr::ReadShortcut(path, address)) return;
  if (open_ && open_(address)) EndModal(wxID_OK);
}

void CFavoritesOrganizerDlg::NewFolder() {
  if (!organizer_) return;
  const std::string parent = PathOf(FolderItemOf(tree_->GetSelection()));
  std::string answer;
  // The question comes again after each refusal; cancel or an empty answer ends it.
  for (;;) {
    CAddFavoriteDlg ask(this, Wx(kNewFolderCaption), {{Wx(kNewFolderQuestion), Wx(answer)}});
    if (ask.ShowModal() != wxID_OK) return;
    answer = ask.Value(0);
    const auto result = organizer_->NewFolder(parent, answer);
    if (result.outcome == vyr::FavoritesOrganizer::Outcome::TryAgain) continue;
    if (result.ok()) {
      Fill();
      if (const wxTreeItemId made = ItemOf(result.path); made.IsOk()) tree_->SelectItem(made);
    }
    return;
  }
}

void CFavoritesOrganizerDlg::NewPage(const std::string& title, const std::string& address) {
  if (!organizer_) return;
  const std::string folder = PathOf(FolderItemOf(tree_->GetSelection()));
  const std::string written = AddToFavorites(this, app_, folder, title, address);
  if (written.empty()) return;
  Fill();
  if (const wxTreeItemId made = ItemOf(written); made.IsOk()) tree_->SelectItem(made);
}

void CFavoritesOrganizerDlg::Modify() {
  const wxTreeItemId item = tree_->GetSelection();
  if (!organizer_ || !item.IsOk() || item == tree_->GetRootItem()) return;
  const std::string path = PathOf(item);
  const bool folder = IsFolder(item);
  std::string name(tree_->GetItemText(item).utf8_str()), address;
  if (!folder) vyr::ReadShortcut(path, address);
  for (;;) {
    std::vector<std::pair<wxString, wxString>> fields = {{Wx(folder ? kFolderQuestion : kPageNameQuestion), Wx(name)}};
    if (!folder) fields.push_back({Wx(kPageAddressQuestion), Wx(address)});
    CAddFavoriteDlg ask(this, Wx(folder ? kFolderCaption : kPageCaption), fields);
    if (ask.ShowModal() != wxID_OK) return;
    name = ask.Value(0);
    if (!folder) address = ask.Value(1);
    const auto result = folder ? organizer_->RenameFolder(path, name) : organizer_->ModifyPage(path, name, address);
    if (result.outcome == vyr::FavoritesOrganizer::Outcome::TryAgain) continue;
    if (result.ok()) {
      Fill();
      if (const wxTreeItemId changed = ItemOf(result.path); changed.IsOk()) tree_->SelectItem(changed);
    }
    return;
  }
}

void CFavoritesOrganizerDlg::Delete() {
  const wxTreeItemId item = tree_->GetSelection();
  if (!organizer_ || !item.IsOk()) return;
  // A delete that fails has said why; the item stays.
  if (organizer_->Delete(PathOf(item))) Fill();
}

void CFavoritesOrganizerDlg::Move(const wxTreeItemId& shortcut, const wxTreeItemId& target) {
  if (!organizer_ || !shortcut.IsOk() || !target.IsOk()) return;
  const auto result = organizer_->MoveShortcut(PathOf(shortcut), PathOf(FolderItemOf(target)));
  if (!result.ok()) return;
  Fill();
  if (const wxTreeItemId moved = ItemOf(result.path); moved.IsOk()) {
    tree_->EnsureVisible(moved);
    tree_->SelectItem(moved);
  }
}

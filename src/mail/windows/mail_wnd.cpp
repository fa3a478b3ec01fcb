#include "mail/windows/mail_wnd.h"

#include <algorithm>
#include <set>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/dcmemory.h>
#include <wx/display.h>
#include <wx/dnd.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/splitter.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/treectrl.h>
#include <wx/weakref.h>

#include "base/application.h"
#include "base/settings_table.h"
#include "base/text_trim.h"
#include "browser/main_window_model.h"
#include "mail/send/outbox.h"
#include "mail/store/folder_unread.h"
#include "mail/windows/address_book_wnd.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/mail_dialogs.h"
#include "mail/windows/mail_settings_dlg.h"
#include "mail/windows/mail_texts.h"
#include "net/connection_manager.h"
#include "platform/text.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/desktop_notification.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/symbolic_icons.h"

namespace {

using vyr::platform::TextId;

constexpr int kMinuteMs = 60000;
// Rows the loader adds between two redraws of the list while a folder loads.
constexpr size_t kRowsPerRedraw = 64;

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

wxWeakRef<CMailWnd> gWindow;
CMessageViewerHost* gViewerHost = nullptr;

bool SameFolder(const std::string& a, const std::string& b) {
  return vyr::platform::EqualsNoCase(a, b);
}

// --- pictures ----------------------------------------------------------------------------

// One cell of a scheme picture as an image, its transparent part magenta.
wxImage CellImage(const CSchemeArt& art, vyr::SchemeImages list, int index, const wxSize& size) {
  wxImage cell(size.x, size.y);
  cell.SetRGB(wxRect(size), 255, 0, 255);
  const auto images = art.Images(list);
  const wxBitmap& bitmap = images->Cell(index);
  if (!bitmap.IsOk()) return cell;
  wxImage picture = bitmap.ConvertToImage();
  if (picture.HasAlpha()) picture.ConvertAlphaToMask();
  if (picture.HasMask()) {
    picture.Replace(picture.GetMaskRed(), picture.GetMaskGreen(), picture.GetMaskBlue(), 255, 0, 255);
    picture.SetMask(false);
  }
  cell.Paste(picture, (size.x - picture.GetWidth()) / 2, (size.y - picture.GetHeight()) / 2);
  return cell;
}

struct CellRef {
  vyr::SchemeImages list;
  vyr::SchemeImages rollover;  // the same list when the scheme has no rollover picture of it
  int index;
};

// The mail toolbar's pictures, one per button in button order, cut from the
// scheme's pictures (the toolbar, the composer's pad, the big buttons and
// the folder strip), with the rollover pictures where the scheme has them.
enum ToolbarImage { kImgSendReceive, kImgWrite, kImgOpen, kImgMarkRead, kImgMarkUnread, kImgDelete,
                    kImgAddressBook, kImgFolders, kImgSettings, kImgSearch, kImgCancel, kImgCount };

CButtonStrip::Images ToolbarImages(const CSchemeArt& art) {
  using vyr::SchemeImages;
  const CellRef cells[kImgCount] = {
      {SchemeImages::VyrPad, SchemeImages::VyrPadRollover, 6},        // mail-send
      {SchemeImages::VyrPad, SchemeImages::VyrPadRollover, 0},        // document-new
      {SchemeImages::VyrPad, SchemeImages::VyrPadRollover, 1},        // document-open
      {SchemeImages::SmallImages, SchemeImages::SmallImages, 5},      // emblem-ok
      {SchemeImages::Toolbar, SchemeImages::ToolbarRollover, 7},      // mail-unread
      {SchemeImages::BigButtons, SchemeImages::BigButtons, 6},        // edit-delete
      {SchemeImages::ChanIcon, SchemeImages::ChanIcon, 4},            // a card
      {SchemeImages::FolderBar, SchemeImages::FolderBarRollover, 0},  // folder
      {SchemeImages::BigButtons, SchemeImages::BigButtons, 7},        // document-properties
      {SchemeImages::Toolbar, SchemeImages::ToolbarRollover, 5},      // system-search
      {SchemeImages::Toolbar, SchemeImages::ToolbarRollover, 2},      // process-stop
  };
  const wxSize cell = art.Images(SchemeImages::Toolbar)->IsEmpty() ? wxSize(24, 24)
                                                                   : art.Images(SchemeImages::Toolbar)->CellSize();
  wxImage normal(cell.x * kImgCount, cell.y), rollover(cell.x * kImgCount, cell.y);
  for (int i = 0; i < kImgCount; ++i) {
    normal.Paste(CellImage(art, cells[i].list, cells[i].index, cell), i * cell.x, 0);
    rollover.Paste(CellImage(art, cells[i].rollover, cells[i].index, cell), i * cell.x, 0);
  }
  return {std::make_shared<CImageList>(normal, cell.x), nullptr, std::make_shared<CImageList>(rollover, cell.x)};
}

// The folder tree's icons: Inbox, Trash, the outgoing folders, the user's.
wxImageList* FolderImages(const CSchemeArt& art) {
  using vyr::SchemeImages;
  const wxSize size(24, 24);
  auto* images = new wxImageList(size.x, size.y, true);
  const std::pair<SchemeImages, int> cells[] = {
      {SchemeImages::Toolbar, 7}, {SchemeImages::BigButtons, 6}, {SchemeImages::VyrPad, 6}, {SchemeImages::FolderBar, 0}};
  for (const auto& [list, index] : cells) {
    wxImage image = CellImage(art, list, index, size);
    image.SetMaskColour(255, 0, 255);
    images->Add(wxBitmap(image));
  }
  return images;
}
int FolderImage(vyr::FolderIcon icon) {
  switch (icon) {
    case vyr::FolderIcon::Inbox: return 0;
    case vyr::FolderIcon::Trash: return 1;
    case vyr::FolderIcon::Outgoing: return 2;
    default: return 3;
  }
}

// The message list's icons, drawn 16 pixels square in the order of
// vyr::MessageIcon: an envelope, filled in the scheme's accent while
// unread, with a clip for an attachment, an arrow for an outgoing message
// and a pencil for a draft.
wxImageList* MessageImages(const wxColour& accent) {
  auto* images = new wxImageList(16, 16, true);
  const wxColour ink(60, 60, 60), paper(*wxWHITE), key(255, 0, 255);
  for (int kind = 0; kind <= static_cast<int>(vyr::MessageIcon::Draft); ++kind) {
    const auto icon = static_cast<vyr::MessageIcon>(kind);
    const bool unread = icon == vyr::MessageIcon::Unread || icon == vyr::MessageIcon::UnreadAttachment ||
                        icon == vyr::MessageIcon::OutgoingUnread;
    wxBitmap bitmap(16, 16, 24);
    {
      wxMemoryDC dc(bitmap);
      dc.SetBackground(wxBrush(key));
      dc.Clear();
      dc.SetPen(wxPen(ink));
      dc.SetBrush(wxBrush(unread ? accent : paper));
      dc.DrawRectangle(1, 4, 14, 10);
      dc.DrawLine(1, 4, 8, 10);
      dc.DrawLine(8, 10, 15, 4);
      if (icon == vyr::MessageIcon::UnreadAttachment || icon == vyr::MessageIcon::ReadAttachment) {
        dc.SetBrush(*wxTRANSPARENT_BRUSH);
        dc.DrawRoundedRectangle(11, 0, 4, 9, 1);
      }
      if (icon == vyr::MessageIcon::OutgoingUnread || icon == vyr::MessageIcon::OutgoingRead) {
        dc.SetBrush(wxBrush(ink));
        const wxPoint arrow[] = {{9, 0}, {15, 3}, {9, 6}};
        dc.DrawPolygon(3, arrow);
      }
      if (icon == vyr::MessageIcon::Draft) {
        dc.SetPen(wxPen(ink, 2));
        dc.DrawLine(9, 8, 15, 1);
      }
    }
    bitmap.SetMask(new wxMask(bitmap, key));
    images->Add(bitmap);
  }
  return images;
}

// A folder of the tree.
class FolderData : public wxTreeItemData {
 public:
  explicit FolderData(std::string name) : name(std::move(name)) {}
  std::string name;
};

// The key letter after the "&" of a label, upper-cased; 0 for none.
int KeyLetterOf(const std::string& label) {
  const size_t at = label.find('&');
  if (at == std::string::npos || at + 1 >= label.size()) return 0;
  const unsigned char c = static_cast<unsigned char>(label[at + 1]);
  return c < 128 ? std::toupper(c) : 0;
}

std::string FillText(std::string text, const std::string& value) {
  return vyr::platform::FillPlaceholders(std::move(text), {value});
}

constexpr int kCmdFocusSearchText = 4190, kCmdFocusSearchFolder = 4191;

}  // namespace

// --- the message list ---------------------------------------------------------------

// The virtual list over the window's MessageList: each row's texts, its
// icon in the first column and bold while unread.
class CMessageListCtrl : public wxListView {
 public:
  CMessageListCtrl(wxWindow* parent, const vyr::MessageList& list)
      : wxListView(parent, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_VIRTUAL),
        list_(list) {
    wxFont bold = GetFont();
    bold.MakeBold();
    unread_.SetFont(bold);
  }
  // The columns of the folder shown.
  void SetColumns(const std::vector<vyr::ListColumn>& columns) {
    if (GetColumnCount() == static_cast<int>(columns.size())) {
      for (size_t i = 0; i < columns.size(); ++i) {
        wxListItem item;
        item.SetMask(wxLIST_MASK_TEXT);
        item.SetText(U(columns[i].title));
        SetColumn(static_cast<long>(i), item);
      }
      return;
    }
    DeleteAllColumns();
    for (size_t i = 0; i < columns.size(); ++i)
      InsertColumn(static_cast<long>(i), U(columns[i].title), wxLIST_FORMAT_LEFT, columns[i].width);
  }

 protected:
  wxString OnGetItemText(long item, long column) const override {
    const auto& rows = list_.Rows();
    if (item < 0 || static_cast<size_t>(item) >= rows.size()) return {};
    const vyr::MessageRow& row = rows[static_cast<size_t>(item)];
    switch (column) {
      case 1: return U(row.subjectShown);
      case 2: return U(row.nameShown);
      case 3: return U(row.dateShown);
      default: return {};
    }
  }
  int OnGetItemColumnImage(long item, long column) const override {
    const auto& rows = list_.Rows();
    if (column != 0 || item < 0 || static_cast<size_t>(item) >= rows.size()) return -1;
    return static_cast<int>(vyr::IconOf(rows[static_cast<size_t>(item)]));
  }
  int OnGetItemImage(long item) const override { return OnGetItemColumnImage(item, 0); }
  wxItemAttr* OnGetItemAttr(long item) const override {
    const auto& rows = list_.Rows();
    if (item < 0 || static_cast<size_t>(item) >= rows.size()) return nullptr;
    return rows[static_cast<size_t>(item)].unread ? &unread_ : nullptr;
  }

 private:
  const vyr::MessageList& list_;
  mutable wxItemAttr unread_;
};

// Message files dropped on a folder of the tree: the folder under the
// pointer is highlighted while the drag passes over it; the move itself
// runs once the drag has ended (the store may ask or refuse in a box).
class CFolderDropTarget : public wxFileDropTarget {
 public:
  CFolderDropTarget(CMailWnd& window, wxTreeCtrl* tree) : window_(window), tree_(tree) {}

  wxDragResult OnDragOver(wxCoord x, wxCoord y, wxDragResult) override {
    Highlight(ItemAt(x, y));
    return highlighted_.IsOk() ? wxDragMove : wxDragNone;
  }
  void OnLeave() override { Highlight({}); }
  bool OnDropFiles(wxCoord x, wxCoord y, const wxArrayString& names) override {
    const wxTreeItemId item = ItemAt(x, y);
    Highlight({});
    auto* data = item.IsOk() ? static_cast<FolderData*>(tree_->GetItemData(item)) : nullptr;
    if (!data) return false;
    std::vector<std::string> files;
    for (const wxString& name : names) files.push_back(Utf8(name));
    wxWeakRef<CMailWnd> window(&window_);
    const std::string folder = data->name;
    window_.CallAfter([window, files, folder] {
      if (window) window->DropOnFolder(files, folder);
    });
    return true;
  }

 private:
  wxTreeItemId ItemAt(wxCoord x, wxCoord y) const {
    int flags = 0;
    const wxTreeItemId item = tree_->HitTest(wxPoint(x, y), flags);
    return item.IsOk() && (flags & (wxTREE_HITTEST_ONITEMLABEL | wxTREE_HITTEST_ONITEMICON |
                                    wxTREE_HITTEST_ONITEMRIGHT | wxTREE_HITTEST_ONITEMINDENT))
               ? item
               : wxTreeItemId();
  }
  void Highlight(const wxTreeItemId& item) {
    if (item == highlighted_) return;
    if (highlighted_.IsOk()) tree_->SetItemDropHighlight(highlighted_, false);
    highlighted_ = item;
    if (highlighted_.IsOk()) tree_->SetItemDropHighlight(highlighted_, true);
  }

  CMailWnd& window_;
  wxTreeCtrl* tree_;
  wxTreeItemId highlighted_;
};

namespace {

// The check's questions, asked from its worker through the application's
// boxes (which hand a worker's box to the user-interface thread).
class WindowQuestions : public vyr::MailCheckQuestions {
 public:
  WindowQuestions(vyr::Application& app, wxWindow* window) : app_(app), window_(window) {}
  bool AskToCheckSettings(const std::string& text, const std::string& title) override {
    bool dontShow = false;
    return app_.Messages().Question(text, title, &dontShow) == vyr::IDYES;
  }
  // From the worker (a failed check) the settings open on the
  // user-interface thread once the worker's run has gone on; the worker
  // never waits for a dialog.
  void OpenMailSettings() override {
    if (wxThread::IsMain()) {
      if (window_) ::OpenMailSettings(app_, window_.get());
      return;
    }
    wxWeakRef<wxWindow> window = window_;
    vyr::Application* app = &app_;
    wxTheApp->CallAfter([app, window] {
      if (window) ::OpenMailSettings(*app, window.get());
    });
  }

 private:
  vyr::Application& app_;
  wxWeakRef<wxWindow> window_;
};

}  // namespace

// --- the window -------------------------------------------------------------------------

CMailWnd* CMailWnd::Open(vyr::Application& app) {
  if (CMailWnd* window = gWindow.get()) {
    window->Show();
    if (window->IsIconized()) window->Iconize(false);
    window->Raise();
    return window;
  }
  auto* window = new CMailWnd(app);
  window->Show();
  window->Raise();
  return window;
}

CMailWnd* CMailWnd::Current() { return gWindow.get(); }
void CMailWnd::SetViewerHost(CMessageViewerHost* host) { gViewerHost = host; }

CMailWnd::CMailWnd(vyr::Application& app)
    : CSkinnedFrame(nullptr, U(mail_text::kWindowTitle.Text()), SkinnedWindowOptions{true, true, 0}),
      app_(app),
      store_(app),
      loader_(store_),
      search_(store_),
      schedule_(app),
      driver_(app, *this) {
  gWindow = this;
  handle_ = vyr::platform::WindowMessages::Instance().Register(this);

  // Left at 4 % and right at 93 % of the screen's width, top at 5 % and
  // bottom at 75 % of its height.
  const wxRect screen = wxDisplay(0u).GetGeometry();
  const int left = screen.x + screen.width * 4 / 100, top = screen.y + screen.height * 5 / 100;
  SetSize(left, top, screen.x + screen.width * 93 / 100 - left, screen.y + screen.height * 75 / 100 - top);

  wxPanel* content = ContentPanel();
  toolbar_ = new CButtonStrip(content, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  toolbar_->SetName(U(mail_text::kToolbarName.Text()));
  toolbar_->SetOnCommand([this](int command, int) {
    // After the click has been handled: a command may open a dialog.
    CallAfter([this, command] {
      RunCommand(command);
      toolbar_->FollowPointer();
    });
  });

  splitter_ = new wxSplitterWindow(content, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                                   wxSP_LIVE_UPDATE | wxSP_3DSASH);
  splitter_->SetMinimumPaneSize(80);
  tree_ = new wxTreeCtrl(splitter_, wxID_ANY, wxDefaultPosition, wxDefaultSize,
                         wxTR_HIDE_ROOT | wxTR_NO_LINES | wxTR_NO_BUTTONS | wxTR_SINGLE | wxTR_FULL_ROW_HIGHLIGHT);
  tree_->SetName(U(mail_text::kFolderTreeName.Text()));
  tree_->AddRoot(wxS("mail"));
  tree_->SetDropTarget(new CFolderDropTarget(*this, tree_));

  auto* right = new wxPanel(splitter_);
  listCtrl_ = new CMessageListCtrl(right, list_);
  listCtrl_->SetName(U(mail_text::kMessageListName.Text()));
  BuildSearchPanel(right);
  auto* rightSizer = new wxBoxSizer(wxVERTICAL);
  rightSizer->Add(listCtrl_, 3, wxEXPAND);
  rightSizer->Add(searchPanel_, 2, wxEXPAND);
  right->SetSizer(rightSizer);
  searchPanel_->Hide();
  splitter_->SplitVertically(tree_, right, 190);

  statusBar_ = new wxPanel(content);
  status_ = new wxStaticText(statusBar_, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  status_->SetName(U(mail_text::kStatusName.Text()));
  auto* statusSizer = new wxBoxSizer(wxHORIZONTAL);
  statusSizer->Add(status_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 6);
  statusBar_->SetSizer(statusSizer);
  statusBar_->SetMinSize(wxSize(-1, status_->GetCharHeight() + 10));

  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(toolbar_, 0, wxEXPAND);
  sizer->Add(splitter_, 1, wxEXPAND);
  sizer->Add(statusBar_, 0, wxEXPAND);
  content->SetSizer(sizer);

  BuildToolbar();
  BuildMenus();
  ApplyArt();

  // The tree, the list and the search results.
  tree_->Bind(wxEVT_TREE_SEL_CHANGED, [this](wxTreeEvent& event) {
    if (refreshingTree_) return;
    if (auto* data = static_cast<FolderData*>(tree_->GetItemData(event.GetItem()))) LoadFolder(data->name);
  });
  tree_->Bind(wxEVT_TREE_KEY_DOWN, [this](wxTreeEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) {
      DeleteFolder();
    } else {
      event.Skip();
    }
  });
  listCtrl_->Bind(wxEVT_LIST_COL_CLICK, [this](wxListEvent& event) {
    const std::vector<std::string> selected = SelectedMessages();
    list_.ColumnClick(event.GetColumn());
    ListChanged();
    SelectMessages(selected);
  });
  listCtrl_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { OpenSelected(); });
  listCtrl_->Bind(wxEVT_LIST_KEY_DOWN, [this](wxListEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) {
      DeleteSelected();
    } else {
      event.Skip();
    }
  });
  listCtrl_->Bind(wxEVT_LIST_BEGIN_DRAG, [this](wxListEvent&) {
    const std::vector<std::string> paths = SelectedMessages();
    if (paths.empty()) return;
    wxFileDataObject data;
    for (const std::string& path : paths) data.AddFile(U(path));
    wxDropSource source(data, listCtrl_);
    source.DoDragDrop(wxDrag_DefaultMove);
  });
  results_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent& event) {
    const long row = static_cast<long>(event.GetData());
    if (row >= 0 && static_cast<size_t>(row) < resultRows_.size()) OpenMessage(resultRows_[row].path);
  });

  // Texts under the pictures while every button fits with its text;
  // pictures alone otherwise. The last column takes the list's spare width.
  toolbar_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    if (event.GetSize().x != toolbarWidth_) {
      toolbarWidth_ = event.GetSize().x;
      CallAfter([this] { FitToolbar(); });
    }
    event.Skip();
  });
  listCtrl_->Bind(wxEVT_SIZE, [this](wxSizeEvent& event) {
    FitLastColumn();
    event.Skip();
  });
  Bind(wxEVT_MENU, [this](wxCommandEvent& event) { RunCommand(event.GetId()); });
  Bind(wxEVT_CLOSE_WINDOW, &CMailWnd::OnClose, this);
  minuteTimer_.Bind(wxEVT_TIMER, [this](wxTimerEvent&) { MinuteTick(); });

  // The store's folders (and the mail root) are made when missing, a new
  // Inbox gets the welcome message, and the messages waiting to be sent are
  // pending again (but for those a run is sending now).
  for (const char* folder : vyr::kSystemFolders) store_.FolderPath(folder, true);
  store_.EnsureWelcomeMessage();
  store_.MarkOutgoingPendingExceptClaimed();

  passwords_ = std::make_unique<CPasswordQuestion>(this);
  questions_ = std::make_unique<WindowQuestions>(app_, this);
  driver_.SetPasswordPrompt(passwords_.get());
  driver_.SetQuestions(questions_.get());
  driver_.SetFolderLoaderRunning([this] { return loader_.IsRunning(); });

  ShowFolder(vyr::kInboxFolder);
  CheckStateChanged();
  minuteTimer_.Start(kMinuteMs);
  // The start-up check, when the user asked for one.
  if (vyr::StartupMailCheckWanted(app_, false, vyr::net::IsOnline())) StartCheck(true);
  listCtrl_->SetFocus();
}

CMailWnd::~CMailWnd() {
  if (gWindow.get() == this) gWindow = nullptr;
  minuteTimer_.Stop();
  // A worker waiting in the password question gets Cancel; the check is
  // then stopped by the driver (last member, destroyed first).
  passwords_->Close();
  vyr::platform::WindowMessages::Instance().Unregister(handle_);
  loader_.Stop();
  search_.Stop();
}

void CMailWnd::OnClose(wxCloseEvent&) {
  // Half-written Outbox files go; what the viewer left in _TEMP is released.
  store_.CleanLeftovers();
  Destroy();
}

// --- building -----------------------------------------------------------------------------

void CMailWnd::BuildToolbar() {
  using namespace mail_text;
  auto entry = [](int command, const TextId& label, const TextId& tip, int image) {
    return vyr::ButtonStripEntry{command, label.Text(), tip.Text(), image, 0};
  };
  toolbarEntries_ = {
      entry(kCmdSendReceive, kSendReceiveButton, kSendReceiveTip, kImgSendReceive),
      entry(kCmdCancel, kCancelButton, kCancelTip, kImgCancel),
      entry(kCmdWrite, kWriteButton, kWriteTip, kImgWrite),
      entry(kCmdOpen, kOpenButton, kOpenTip, kImgOpen),
      entry(kCmdMarkRead, kMarkReadButton, kMarkReadTip, kImgMarkRead),
      entry(kCmdMarkUnread, kMarkUnreadButton, kMarkUnreadTip, kImgMarkUnread),
      entry(kCmdDelete, kDeleteButton, kDeleteTip, kImgDelete),
      entry(kCmdSearch, kSearchButton, kSearchTip, kImgSearch),
      entry(kCmdFolders, kFoldersButton, kFoldersTip, kImgFolders),
      entry(kCmdAddressBook, kAddressBookButton, kAddressBookTip, kImgAddressBook),
      entry(kCmdSettings, kSettingsButton, kSettingsTip, kImgSettings),
  };
  FitToolbar();
}

void CMailWnd::FitToolbar() {
  // Every button with its text while they all fit; otherwise the last ones
  // (the settings first) show their pictures alone, their tips and
  // screen-reader names unchanged.
  std::vector<vyr::ButtonStripEntry> entries = toolbarEntries_;
  for (vyr::ButtonStripEntry& entry : entries) {
    const bool off = entry.command == (Checking() ? kCmdSendReceive : kCmdCancel);
    entry.state = off ? vyr::ButtonStripModel::kStateDisabled : 0;
  }
  const int width = toolbar_->GetClientSize().x;
  toolbar_->SetShowText(true);
  toolbar_->SetEntries(entries);
  for (size_t i = entries.size(); i-- > 0 && width > 0 && toolbar_->ContentLength() > width;) {
    entries[i].text.clear();
    toolbar_->SetEntries(entries);
  }
  toolbar_->Refresh();
}

void CMailWnd::BuildMenus() {
  using namespace mail_text;
  SetSkinnedMenu([this] {
    auto item = [](wxMenu* menu, int command, const TextId& text, const char* key = nullptr) {
      wxString label = U(text.Text());
      if (key) label += wxS("\t") + wxString::FromUTF8(key);
      menu->Append(command, label);
    };
    std::vector<SkinnedMenu> menus;
    auto file = std::make_unique<wxMenu>();
    item(file.get(), kCmdNewFolder, kNewFolderItem);
    item(file.get(), kCmdRenameFolder, kRenameFolderItem);
    item(file.get(), kCmdDeleteFolder, kDeleteFolderItem);
    item(file.get(), kCmdEmptyTrash, kEmptyTrashItem);
    file->AppendSeparator();
    item(file.get(), kCmdClose, kCloseItem, "Ctrl+W");
    auto edit = std::make_unique<wxMenu>();
    item(edit.get(), kCmdSelectAll, kSelectAllItem);
    item(edit.get(), kCmdDelete, kDeleteItem, "Del");
    item(edit.get(), kCmdMove, kMoveItem);
    auto view = std::make_unique<wxMenu>();
    item(view.get(), kCmdSearch, kSearchItem, "Ctrl+F");
    item(view.get(), kCmdRefresh, kRefreshItem);
    auto message = std::make_unique<wxMenu>();
    item(message.get(), kCmdOpen, kOpenItem, "Enter");
    item(message.get(), kCmdWrite, kWriteItem, "Ctrl+N");
    item(message.get(), kCmdMarkRead, kMarkReadItem);
    item(message.get(), kCmdMarkUnread, kMarkUnreadItem);
    item(message.get(), kCmdDelete, kDeleteMessageItem);
    auto tools = std::make_unique<wxMenu>();
    item(tools.get(), kCmdSendReceive, kSendReceiveItem, "F5");
    item(tools.get(), kCmdCancel, kCancelCheckItem);
    tools->Enable(kCmdSendReceive, !Checking());
    tools->Enable(kCmdCancel, Checking());
    tools->AppendSeparator();
    item(tools.get(), kCmdAddressBook, kAddressBookItem);
    item(tools.get(), kCmdSettings, kSettingsItem);
    menus.push_back({U(kFileMenu.Text()), std::move(file)});
    menus.push_back({U(kEditMenu.Text()), std::move(edit)});
    menus.push_back({U(kViewMenu.Text()), std::move(view)});
    menus.push_back({U(kMessageMenu.Text()), std::move(message)});
    menus.push_back({U(kToolsMenu.Text()), std::move(tools)});
    return menus;
  });
  // The keys. Delete, Enter and Ctrl+A are the list's own (the search
  // field keeps them); the search panel's labels move the focus to their
  // fields.
  std::vector<wxAcceleratorEntry> keys = {
      {wxACCEL_NORMAL, WXK_F5, kCmdSendReceive}, {wxACCEL_CTRL, 'N', kCmdWrite},
      {wxACCEL_CTRL, 'F', kCmdSearch},           {wxACCEL_CTRL, 'W', kCmdClose},
  };
  if (int letter = KeyLetterOf(kSearchForLabel.Text())) keys.push_back({wxACCEL_ALT, letter, kCmdFocusSearchText});
  if (int letter = KeyLetterOf(kLookInLabel.Text())) keys.push_back({wxACCEL_ALT, letter, kCmdFocusSearchFolder});
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(keys.size()), keys.data()));
  listCtrl_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
    if (event.GetModifiers() == wxMOD_CONTROL && event.GetKeyCode() == 'A') {
      RunCommand(kCmdSelectAll);
    } else {
      event.Skip();
    }
  });
}

void CMailWnd::BuildSearchPanel(wxWindow* parent) {
  using namespace mail_text;
  searchPanel_ = new wxPanel(parent);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  row->Add(new wxStaticText(searchPanel_, wxID_ANY, U(kSearchForLabel.Text())), 0,
           wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  searchText_ = new wxTextCtrl(searchPanel_, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(200, -1),
                               wxTE_PROCESS_ENTER);
  searchText_->SetName(U(kSearchTextName.Text()));
  row->Add(searchText_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
  row->Add(new wxStaticText(searchPanel_, wxID_ANY, U(kLookInLabel.Text())), 0,
           wxALIGN_CENTER_VERTICAL | wxRIGHT, 4);
  searchFolder_ = new wxChoice(searchPanel_, wxID_ANY);
  searchFolder_->SetName(U(kFolderChoiceName.Text()));
  row->Add(searchFolder_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 10);
  searchGo_ = new wxButton(searchPanel_, wxID_ANY, U(kSearchButton.Text()));
  row->Add(searchGo_, 0, wxALIGN_CENTER_VERTICAL);
  results_ = new wxListCtrl(searchPanel_, wxID_ANY, wxDefaultPosition, wxDefaultSize, wxLC_REPORT | wxLC_SINGLE_SEL);
  results_->SetName(U(kResultsName.Text()));
  results_->InsertColumn(0, U(vyr::MailText(vyr::mailtext::kColumnSubject)), wxLIST_FORMAT_LEFT, 260);
  results_->InsertColumn(1, U(vyr::MailText(vyr::mailtext::kColumnFrom)), wxLIST_FORMAT_LEFT, 170);
  results_->InsertColumn(2, U(vyr::MailText(vyr::mailtext::kColumnDate)), wxLIST_FORMAT_LEFT, 200);
  results_->InsertColumn(3, U(kFolderColumn.Text()), wxLIST_FORMAT_LEFT, 110);
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(row, 0, wxEXPAND | wxALL, 6);
  sizer->Add(results_, 1, wxEXPAND | wxLEFT | wxRIGHT | wxBOTTOM, 6);
  searchPanel_->SetSizer(sizer);
  searchGo_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { SearchButton(); });
  searchText_->Bind(wxEVT_TEXT_ENTER, [this](wxCommandEvent&) { SearchButton(); });
}

void CMailWnd::ApplyArt() {
  const CSchemeArt& art = *Art();
  using vyr::SchemeColour;
  DressAsToolbar(*toolbar_, art);
  toolbar_->SetImages(ToolbarImages(art));
  toolbar_->SetSelectOnClick(false);
  toolbar_->SetMinSize(wxSize(-1, toolbar_->GetBestSize().y));

  // The folder tree in the folder strip's colours; the status line in the
  // toolbar's ground with the status text's colour.
  tree_->SetBackgroundColour(art.Colour(SchemeColour::FoldersBack));
  tree_->SetForegroundColour(art.Colour(SchemeColour::FoldersText));
  tree_->SetFont(art.Font(vyr::SchemeFont::Folder));
  tree_->AssignImageList(FolderImages(art));
  listCtrl_->AssignImageList(MessageImages(art.Colour(SchemeColour::ToolBarTextRollover)), wxIMAGE_LIST_SMALL);
  statusBar_->SetBackgroundColour(art.Colour(SchemeColour::ToolBarBack));
  status_->SetForegroundColour(art.Colour(SchemeColour::StatusBarText));
  ContentPanel()->SetBackgroundColour(art.Colour(SchemeColour::ToolBarBack));
  splitter_->SetBackgroundColour(art.Colour(SchemeColour::ToolBarBack));
  searchPanel_->SetBackgroundColour(art.Colour(SchemeColour::ToolBarBack));
  for (wxWindow* child : searchPanel_->GetChildren())
    if (wxDynamicCast(child, wxStaticText)) child->SetForegroundColour(art.Colour(SchemeColour::ToolBarText));
  ContentPanel()->Layout();
}

// --- folders and the list -------------------------------------------------------------

void CMailWnd::RefreshFolderTree() {
  const std::vector<vyr::FolderEntry> folders = store_.FolderTree();
  const wxTreeItemId root = tree_->GetRootItem();
  // The items as they are, when the folders are the same (no flicker, the
  // selection kept); made anew when a folder came or went.
  std::vector<wxTreeItemId> items;
  wxTreeItemIdValue cookie;
  for (wxTreeItemId item = tree_->GetFirstChild(root, cookie); item.IsOk(); item = tree_->GetNextChild(root, cookie))
    items.push_back(item);
  bool same = items.size() == folders.size();
  for (size_t i = 0; same && i < items.size(); ++i)
    same = static_cast<FolderData*>(tree_->GetItemData(items[i]))->name == folders[i].name;
  refreshingTree_ = true;
  if (!same) {
    tree_->DeleteChildren(root);
    items.clear();
    for (const vyr::FolderEntry& folder : folders) {
      items.push_back(tree_->AppendItem(root, U(folder.name), FolderImage(folder.icon), -1, new FolderData(folder.name)));
    }
  }
  for (size_t i = 0; i < folders.size(); ++i) {
    const int unread = vyr::CountUnreadMessages(folders[i].path);
    std::string label = folders[i].name;
    if (unread > 0) label += " (" + std::to_string(unread) + ")";
    if (Utf8(tree_->GetItemText(items[i])) != label) tree_->SetItemText(items[i], U(label));
    const bool bold = folders[i].bold || unread > 0;
    if (tree_->IsBold(items[i]) != bold) tree_->SetItemBold(items[i], bold);
    if (SameFolder(folders[i].name, folderShown_) && tree_->GetSelection() != items[i]) tree_->SelectItem(items[i]);
  }
  refreshingTree_ = false;
}

wxTreeItemId CMailWnd::FolderItem(const std::string& name) const {
  wxTreeItemIdValue cookie;
  const wxTreeItemId root = tree_->GetRootItem();
  for (wxTreeItemId item = tree_->GetFirstChild(root, cookie); item.IsOk(); item = tree_->GetNextChild(root, cookie)) {
    if (SameFolder(static_cast<FolderData*>(tree_->GetItemData(item))->name, name)) return item;
  }
  return {};
}

std::string CMailWnd::FolderLabel(const std::string& name) const {
  const wxTreeItemId item = FolderItem(name);
  return item.IsOk() ? Utf8(tree_->GetItemText(item)) : std::string();
}

bool CMailWnd::FolderBold(const std::string& name) const {
  const wxTreeItemId item = FolderItem(name);
  return item.IsOk() && tree_->IsBold(item);
}

std::string CMailWnd::SelectedFolder() const {
  const wxTreeItemId item = tree_->GetSelection();
  auto* data = item.IsOk() ? static_cast<FolderData*>(tree_->GetItemData(item)) : nullptr;
  return data ? data->name : folderShown_;
}

void CMailWnd::ShowFolder(const std::string& name) {
  folderShown_ = name;
  RefreshFolderTree();  // selects it, without loading it twice
  LoadFolder(name);
}

void CMailWnd::LoadFolder(const std::string& name) {
  const std::string path = store_.FolderPath(name, true);
  if (path.empty()) return;
  folderShown_ = name;
  if (SameFolder(name, vyr::kInboxFolder)) inboxLoaded_ = true;
  list_.Reset(path);
  listCtrl_->SetColumns(list_.Columns());
  FitLastColumn();
  ListChanged();
  loadPending_ = true;
  listCtrl_->SetCursor(wxCursor(wxCURSOR_ARROWWAIT));
  loader_.Start(path, SameFolder(name, vyr::kInboxFolder) ? lastNewCount_ : 0, vyr::PostToWindow(handle_));
}

void CMailWnd::FitLastColumn() {
  const int columns = listCtrl_->GetColumnCount();
  if (columns == 0) return;
  const std::vector<vyr::ListColumn> wanted = list_.Columns();
  int others = 0;
  for (int i = 0; i + 1 < columns; ++i) others += listCtrl_->GetColumnWidth(i);
  const int least = static_cast<size_t>(columns) <= wanted.size() ? wanted[static_cast<size_t>(columns) - 1].width : 100;
  listCtrl_->SetColumnWidth(columns - 1, std::max(least, listCtrl_->GetClientSize().x - others));
}

void CMailWnd::ListChanged() {
  listCtrl_->SetItemCount(static_cast<long>(list_.Rows().size()));
  listCtrl_->Refresh();
}

wxListCtrl* CMailWnd::MessageListCtrl() const { return listCtrl_; }

std::vector<std::string> CMailWnd::SelectedMessages() const {
  std::vector<std::string> paths;
  const auto& rows = list_.Rows();
  for (long item = listCtrl_->GetFirstSelected(); item != -1; item = listCtrl_->GetNextSelected(item)) {
    if (static_cast<size_t>(item) < rows.size()) paths.push_back(rows[static_cast<size_t>(item)].path);
  }
  return paths;
}

void CMailWnd::SelectMessages(const std::vector<std::string>& paths) {
  const std::set<std::string> wanted(paths.begin(), paths.end());
  const auto& rows = list_.Rows();
  bool focused = false;
  for (size_t i = 0; i < rows.size(); ++i) {
    const bool on = wanted.count(rows[i].path) > 0;
    const long item = static_cast<long>(i);
    if (listCtrl_->IsSelected(item) != on) listCtrl_->Select(item, on);
    if (on && !focused) {
      listCtrl_->Focus(item);
      focused = true;
    }
  }
}

void CMailWnd::SetStatus(const std::string& text) {
  status_->SetLabel(U(text));
  status_->SetToolTip(U(text));
}

std::string CMailWnd::StatusText() const { return Utf8(status_->GetLabel()); }

// --- posted messages --------------------------------------------------------------------

void CMailWnd::OnWindowMessage(const vyr::platform::WindowMessage& message) {
  vyr::LoaderEvent loaded;
  if (vyr::DecodeLoaderMessage(message, loaded)) {
    if (loaded.kind == vyr::LoaderEventKind::OpenFailed) {
      if (loaded.generation == loader_.Generation()) SetStatus(loaded.text + ": " + loaded.row.path);
      return;
    }
    std::string status;
    if (!list_.Apply(loaded, loader_.Generation(), &status)) return;
    switch (loaded.kind) {
      case vyr::LoaderEventKind::Started:
        listCtrl_->SetColumns(list_.Columns());
        FitLastColumn();
        ListChanged();
        SetStatus(status);
        break;
      case vyr::LoaderEventKind::Row:
        if (list_.Rows().size() % kRowsPerRedraw == 0) ListChanged();
        break;
      case vyr::LoaderEventKind::Finished:
        loadPending_ = false;
        listCtrl_->SetCursor(wxNullCursor);
        ListChanged();
        // The check's words stay on the status line while it runs.
        if (!Checking()) SetStatus(status);
        break;
      default:
        break;
    }
    return;
  }
  vyr::SearchEvent found;
  if (vyr::DecodeSearchMessage(message, found)) {
    if (found.generation != search_.Generation()) return;
    switch (found.kind) {
      case vyr::SearchEventKind::Status:
        SetStatus(found.text);
        break;
      case vyr::SearchEventKind::Row: {
        const long row = results_->GetItemCount();
        results_->InsertItem(row, U(found.row.subject));
        results_->SetItem(row, 1, U(found.row.from));
        results_->SetItem(row, 2, U(found.row.date));
        results_->SetItem(row, 3, U(found.row.folder));
        results_->SetItemData(row, static_cast<long>(resultRows_.size()));
        resultRows_.push_back(found.row);
        break;
      }
      case vyr::SearchEventKind::Finished:
        SetStatus(found.text);
        searchGo_->SetLabel(U(vyr::kSearchButtonDone));
        searchPanel_->Layout();
        break;
    }
  }
}

// --- the mail check ------------------------------------------------------------------------

bool CMailWnd::StartCheck(bool silent) {
  // The minute timer rests while a check runs; when none starts (one runs
  // elsewhere, the settings are incomplete) it goes on at once.
  minuteTimer_.Stop();
  const bool started = driver_.Start(silent);
  if (started) {
    schedule_.CheckStarted();
  } else {
    minuteTimer_.Start(kMinuteMs);
  }
  CheckStateChanged();
  return started;
}

void CMailWnd::MinuteTick() {
  if (Checking()) return;
  if (schedule_.MinutePassed(vyr::net::IsOnline())) StartCheck(true);
}

void CMailWnd::CheckStateChanged() {
  toolbar_->EnableCommand(kCmdCancel, Checking());
  toolbar_->EnableCommand(kCmdSendReceive, !Checking());
  toolbar_->Refresh();
}

void CMailWnd::MailCheckStatus(const std::string& text, bool progress) {
  SetStatus(vyr::ShownStatus(text, progress));
}

void CMailWnd::MailStored(const std::string& path, int) {
  if (!InboxShown()) return;
  if (list_.AddMessage(store_, path)) ListChanged();
}

void CMailWnd::MailSendError(const std::string& text) { SetStatus(text); }

void CMailWnd::MailRowAdded(const std::string& path) {
  if (SameFolder(vyr::MailStore::FolderNameOf(path), folderShown_) && list_.AddMessage(store_, path)) ListChanged();
}

void CMailWnd::MailRowRemoved(const std::string& path) {
  if (list_.Remove(path)) ListChanged();
}

void CMailWnd::MailFoldersChanged() { RefreshFolderTree(); }

void CMailWnd::MailCheckFinished(const vyr::MailCheckEnd& end) {
  lastNewCount_ = end.newCount;
  SetStatus(end.statusLine);
  minuteTimer_.Start(kMinuteMs);
  CheckStateChanged();
  RefreshFolderTree();
  if (!end.notification.empty()) {
    // On the desktop, not in a box the user must answer: a click on it
    // shows the mailboxes.
    vyr::Application* app = &app_;
    ShowDesktopNotification(mail_text::kWindowTitle.Text(), end.notification, [app] { CMailWnd::Open(*app); });
  }
}

void CMailWnd::NewMailArrived(int) {
  // The sound shows the scheme's "newmail.htm" in the main window's info box.
  app_.PlaySound("gotmail");
  RefreshFolderTree();
}

bool CMailWnd::InboxShown() const { return SameFolder(folderShown_, vyr::kInboxFolder); }
bool CMailWnd::InForeground() const {
  return IsShown() && !IsIconized() && const_cast<CMailWnd*>(this)->IsActive();
}

// --- commands ----------------------------------------------------------------------------

void CMailWnd::RunCommand(int command) {
  switch (command) {
    case kCmdSendReceive:
      // Working offline means no mail check until the user goes online: the
      // button asks whether to, and No leaves everything as it is.
      if (vyr::net::WorkingOffline()) {
        if (app_.Messages().Question(mail_text::kGoOnlineQuestion.Text(), mail_text::kGoOnlineCaption.Text()) !=
            vyr::IDYES)
          break;
        vyr::net::SetWorkingOffline(false);
      }
      if (!InboxShown()) ShowFolder(vyr::kInboxFolder);
      StartCheck(false);
      break;
    case kCmdCancel: driver_.Cancel(); break;
    case kCmdWrite: CComposeWnd::OpenNew(app_); break;
    case kCmdOpen: OpenSelected(); break;
    case kCmdMarkRead: MarkSelected(true); break;
    case kCmdMarkUnread: MarkSelected(false); break;
    case kCmdDelete: DeleteSelected(); break;
    case kCmdAddressBook: CAddressBookWnd::Open(app_, this, nullptr); break;
    case kCmdSettings: OpenMailSettings(app_, this); break;
    case kCmdFolders: ShowFoldersMenu(); break;
    case kCmdSearch: ToggleSearchPanel(); break;
    case kCmdNewFolder: NewFolder(); break;
    case kCmdRenameFolder: RenameFolder(); break;
    case kCmdDeleteFolder: DeleteFolder(); break;
    case kCmdEmptyTrash: EmptyTrash(); break;
    case kCmdClose: Close(); break;
    case kCmdSelectAll:
      for (long i = 0; i < listCtrl_->GetItemCount(); ++i) listCtrl_->Select(i, true);
      break;
    case kCmdMove: MoveSelected(); break;
    case kCmdRefresh: ShowFolder(folderShown_); break;
    case kCmdFocusSearchText:
    case kCmdFocusSearchFolder:
      if (!searchPanel_->IsShown()) ToggleSearchPanel();
      if (command == kCmdFocusSearchText) searchText_->SetFocus(); else searchFolder_->SetFocus();
      break;
    default:
      break;
  }
}

void CMailWnd::NotAvailable(const std::string& what) {
  app_.Messages().Information(FillText(vyr::kNotAvailableYet.Text(), what));
}

void CMailWnd::OpenSelected() {
  const std::vector<std::string> selected = SelectedMessages();
  if (selected.empty()) {
    app_.Messages().Information(mail_text::kSelectMessage.Text());
    return;
  }
  // The row with the keyboard's focus when it is selected, else the first.
  const long focused = listCtrl_->GetFocusedItem();
  if (focused >= 0 && listCtrl_->IsSelected(focused)) {
    OpenMessage(list_.Rows()[static_cast<size_t>(focused)].path);
  } else {
    OpenMessage(selected.front());
  }
}

void CMailWnd::OpenMessage(const std::string& path) {
  if (vyr::MailStore::IsOutgoingPath(path)) {
    // A message of the Outbox cannot be opened while outgoing mail is being
    // sent: the Outbox says so (a flush of this program, or a run of any
    // program holding this message).
    const bool inOutbox = SameFolder(vyr::MailStore::FolderNameOf(path), vyr::kOutboxFolder);
    if (inOutbox && (vyr::Outbox::AnyFlushing() || vyr::Outbox::IsBeingSent(path))) {
      app_.Messages().Information(mail_text::kOutboxBusy.Text());
      return;
    }
    CComposeWnd::OpenStored(app_, path);
    return;
  }
  const int row = list_.Find(path);
  if (row >= 0) {
    list_.MarkRead(static_cast<size_t>(row), true);
    listCtrl_->RefreshItem(row);
  } else {
    vyr::MailStore::MarkRead(path);
  }
  RefreshFolderTree();
  vyr::MessageViewer* viewer = gViewerHost ? gViewerHost->ViewerFor(this, *this) : nullptr;
  if (!viewer) {
    NotAvailable(mail_text::kViewerName.Text());
    return;
  }
  viewer->ShowMessage(path);
  viewer->Raise();
}

std::string CMailWnd::NextMessage(const std::string& path, int step) {
  const int row = list_.Find(path);
  const long next = row < 0 ? -1 : row + step;
  if (row < 0 || next < 0 || static_cast<size_t>(next) >= list_.Rows().size()) return {};
  const std::string nextPath = list_.Rows()[static_cast<size_t>(next)].path;
  // The list follows the viewer: that row alone selected, read, in sight.
  SelectMessages({nextPath});
  listCtrl_->EnsureVisible(next);
  if (!vyr::MailStore::IsOutgoingPath(nextPath)) {
    list_.MarkRead(static_cast<size_t>(next), true);
    listCtrl_->RefreshItem(next);
    RefreshFolderTree();
  }
  return nextPath;
}

void CMailWnd::MessageDeleted(const std::string& path) {
  if (list_.Remove(path)) ListChanged();
  RefreshFolderTree();
}

void CMailWnd::DeleteSelected() {
  const vyr::DeleteOutcome outcome =
      store_.DeleteMessages(SelectedMessages(), SameFolder(folderShown_, vyr::kTrashFolder));
  if (outcome.cancelled) return;
  if (list_.RemoveAll(outcome.removed) > 0) ListChanged();
  RefreshFolderTree();
  if (!outcome.status.empty()) SetStatus(outcome.status);
}

void CMailWnd::MarkSelected(bool read) {
  const auto& rows = list_.Rows();
  for (long item = listCtrl_->GetFirstSelected(); item != -1; item = listCtrl_->GetNextSelected(item)) {
    if (static_cast<size_t>(item) >= rows.size()) break;
    list_.MarkRead(static_cast<size_t>(item), read);
    listCtrl_->RefreshItem(item);
  }
  RefreshFolderTree();
}

void CMailWnd::DropOnFolder(const std::vector<std::string>& files, const std::string& folder) {
  const vyr::MoveOutcome outcome = store_.MoveDroppedFiles(files, folder);
  bool changed = list_.RemoveAll(outcome.movedFrom) > 0;
  if (SameFolder(folder, folderShown_)) {
    for (const std::string& moved : outcome.movedTo) changed = list_.AddMessage(store_, moved) || changed;
  }
  if (changed) ListChanged();
  RefreshFolderTree();
  if (!outcome.status.empty()) SetStatus(outcome.status);
}

void CMailWnd::MoveSelected() {
  const std::vector<std::string> selected = SelectedMessages();
  if (selected.empty()) {
    app_.Messages().Information(mail_text::kSelectMessage.Text());
    return;
  }
  std::vector<std::string> folders;
  for (const std::string& name : store_.FolderNames())
    if (!SameFolder(name, folderShown_)) folders.push_back(name);
  std::string chosen;
  if (ChooseFolder(this, folders, chosen)) DropOnFolder(selected, chosen);
}

void CMailWnd::NewFolder() {
  std::string name;
  if (!AskFolderName(this, vyr::MailStore::NewFolderTitle(), vyr::MailStore::NewFolderPrompt(), name)) return;
  if (store_.NewFolder(vyr::TrimBlanks(name)) == vyr::FolderResult::Done) RefreshFolderTree();
}

void CMailWnd::RenameFolder() {
  const std::string current = SelectedFolder();
  if (vyr::MailStore::IsSystemFolder(current)) {
    store_.RenameFolder(current, current);  // says the system folders keep their names
    return;
  }
  std::string name = current;
  if (!AskFolderName(this, vyr::MailStore::RenameFolderTitle(), vyr::MailStore::RenameFolderPrompt(current), name))
    return;
  name = vyr::TrimBlanks(name);
  if (store_.RenameFolder(current, name) != vyr::FolderResult::Done) return;
  if (SameFolder(current, folderShown_)) {
    ShowFolder(name);
  } else {
    RefreshFolderTree();
  }
}

void CMailWnd::DeleteFolder() {
  const std::string name = SelectedFolder();
  if (store_.DeleteFolder(name) != vyr::FolderResult::Done) return;
  if (SameFolder(name, folderShown_)) {
    ShowFolder(vyr::kInboxFolder);
  } else {
    RefreshFolderTree();
  }
}

void CMailWnd::EmptyTrash() {
  store_.EmptyTrash();
  if (SameFolder(folderShown_, vyr::kTrashFolder)) {
    ShowFolder(vyr::kTrashFolder);
  } else {
    RefreshFolderTree();
  }
}

void CMailWnd::ShowFoldersMenu() {
  using namespace mail_text;
  wxMenu menu;
  menu.Append(kCmdNewFolder, U(kNewFolderItem.Text()));
  menu.Append(kCmdRenameFolder, U(kRenameFolderItem.Text()));
  menu.Append(kCmdDeleteFolder, U(kDeleteFolderItem.Text()));
  menu.AppendSeparator();
  menu.Append(kCmdEmptyTrash, U(kEmptyTrashItem.Text()));
  int index = 0;
  for (const auto& entry : toolbar_->Entries()) {
    if (entry.command == kCmdFolders) break;
    ++index;
  }
  const wxRect button = toolbar_->EntryRect(index);
  toolbar_->PopupMenu(&menu, button.GetBottomLeft());
}

// --- search -----------------------------------------------------------------------------

void CMailWnd::ToggleSearchPanel() {
  const bool show = !searchPanel_->IsShown();
  if (!show && search_.IsRunning()) search_.Stop();
  if (show) {
    // The folders to search: all of them, or one, in the tree's order.
    const std::string chosen = Utf8(searchFolder_->GetStringSelection());
    searchFolder_->Clear();
    searchFolder_->Append(U(mail_text::kAllFolders.Text()));
    for (const std::string& name : store_.FolderNames()) searchFolder_->Append(U(name));
    if (chosen.empty() || !searchFolder_->SetStringSelection(U(chosen))) searchFolder_->SetSelection(0);
  }
  searchPanel_->Show(show);
  searchPanel_->GetParent()->Layout();
  (show ? static_cast<wxWindow*>(searchText_) : static_cast<wxWindow*>(listCtrl_))->SetFocus();
}

void CMailWnd::SearchButton() {
  if (search_.IsRunning()) {
    search_.Stop();
    return;
  }
  const int choice = searchFolder_->GetSelection();
  StartSearch(Utf8(searchText_->GetValue()), choice <= 0 ? std::string() : Utf8(searchFolder_->GetString(choice)));
}

void CMailWnd::StartSearch(const std::string& text, const std::string& folder) {
  if (!searchPanel_->IsShown()) ToggleSearchPanel();
  if (vyr::TrimBlanks(text).empty()) return;
  results_->DeleteAllItems();
  resultRows_.clear();
  searchGo_->SetLabel(U(vyr::kSearchButtonStop));
  searchPanel_->Layout();
  search_.Start(text, folder, vyr::PostSearchToWindow(handle_));
}

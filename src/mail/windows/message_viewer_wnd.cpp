#include "mail/windows/message_viewer_wnd.h"

#include <glib.h>

#include <algorithm>
#include <filesystem>
#include <iterator>

#include <wx/accel.h>
#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/filename.h>
#include <wx/imaglist.h>
#include <wx/listctrl.h>
#include <wx/panel.h>
#include <wx/renderer.h>
#include <wx/sizer.h>
#include <wx/stattext.h>

#include "app/shell_integration.h"
#include "base/application.h"
#include "browser/main_window_model.h"
#include "mail/read/remote_content.h"
#include "mail/read/reply_builder.h"
#include "mail/send/compose_rules.h"
#include "mail/send/mailto_link.h"
#include "mail/store/mail_store.h"
#include "mail/windows/compose_wnd.h"
#include "mail/windows/mail_client_dlg.h"
#include "platform/desktop_defaults.h"
#include "platform/file_system.h"
#include "platform/process.h"
#include "platform/string_table.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/symbolic_icons.h"
#include "platform/text.h"

namespace {

using vyr::platform::TextId;

constexpr TextId kReplyText{40800};          // "Reply"
constexpr TextId kReplyAllText{40801};       // "Reply to All"
constexpr TextId kForwardText{40802};        // "Forward"
constexpr TextId kDeleteText{40803};         // "Delete"
constexpr TextId kPreviousText{40804};       // "Previous"
constexpr TextId kNextText{40805};           // "Next"
constexpr TextId kReplyTip{40806};           // "Reply to the sender"
constexpr TextId kReplyAllTip{40807};        // "Reply to the sender and to everyone the message went to"
constexpr TextId kForwardTip{40808};         // "Send the message on, with its attachments"
constexpr TextId kDeleteTip{40809};          // "Move the message to the Trash folder"
constexpr TextId kPreviousTip{40810};        // "Show the message before this one"
constexpr TextId kNextTip{40811};            // "Show the message after this one"
constexpr TextId kHeadersTip{40812};         // "Show the message's header lines"
constexpr TextId kRemoteNotice{40813};       // "Pictures and other content from the Internet were not loaded..."
constexpr TextId kShowRemoteText{40814};     // "Show remote content"
constexpr TextId kPartsName{40815};          // "Attachments"
constexpr TextId kNameColumn{40816};         // "Name"
constexpr TextId kTypeColumn{40817};         // "Type"
constexpr TextId kSizeColumn{40818};         // "Size"
constexpr TextId kSaveAsButton{40819};       // "&Save As..."
constexpr TextId kOpenButton{40820};         // "&Open"
constexpr TextId kEditorButton{40821};       // "Open with &Text Editor"
constexpr TextId kSaveFailed{40823};         // "The attachment could not be saved as %s."
constexpr TextId kNoTextEditor{40824};       // "This desktop names no text editor for text files."
constexpr TextId kEditorFailed{40825};       // "The text editor could not open %s."
constexpr TextId kToolbarName{40826};        // "Message toolbar"
constexpr TextId kPaneName{40827};           // "Message"

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

std::string Fill(std::string text, const std::string& value) {
  return vyr::platform::FillPlaceholders(std::move(text), {value});
}

CMessageViewerWnd::WebLinkOpener& LinkOpener() {
  static CMessageViewerWnd::WebLinkOpener opener;
  return opener;
}

const std::vector<std::string> kToolbarIcons = {"mail-reply-sender", "mail-reply-all", "mail-forward", "edit-delete",
                                                "go-previous",       "go-next",        "document-properties"};

std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

}  // namespace

void CMessageViewerWnd::SetWebLinkOpener(WebLinkOpener opener) { LinkOpener() = std::move(opener); }

CMessageViewerWnd::CMessageViewerWnd(vyr::Application& app, vyr::MessageViewerOwner* owner, wxWindow* parent)
    : CSkinnedFrame(parent, wxTheApp ? wxTheApp->GetAppDisplayName() : wxString("Vyrelle"),
                    SkinnedWindowOptions{true, true, 0}),
      app_(app),
      owner_(owner),
      view_(app, vyr::DisplayDirectory(vyr::MailStore(app))) {
  wxPanel* content = ContentPanel();
  sizer_ = new wxBoxSizer(wxVERTICAL);

  toolbar_ = new CButtonStrip(content, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  toolbar_->SetName(Wx(kToolbarName.Text()));
  toolbar_->SetSelectOnClick(false);
  toolbar_->SetOnCommand([this](int command, int) {
    // After the click is done: a command may ask a question or close the
    // window.
    CallAfter([this, command] {
      OnCommand(command);
      toolbar_->FollowPointer();
    });
  });
  sizer_->Add(toolbar_, 0, wxEXPAND);

  // The bar that offers the message's remote content: the viewer's own
  // control above the page, never a part of it.
  remoteBar_ = new wxPanel(content, wxID_ANY);
  auto* barSizer = new wxBoxSizer(wxHORIZONTAL);
  remoteText_ = new wxStaticText(remoteBar_, wxID_ANY, Wx(kRemoteNotice.Text()));
  remoteButton_ = new wxButton(remoteBar_, kShowRemote, Wx(kShowRemoteText.Text()));
  remoteButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { ShowRemoteContent(); });
  barSizer->Add(remoteText_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 8);
  barSizer->Add(remoteButton_, 0, wxALL, 4);
  remoteBar_->SetSizer(barSizer);
  remoteBar_->Hide();
  sizer_->Add(remoteBar_, 0, wxEXPAND);

  pane_ = new CBrowserWnd(content, this, vyr::NavigationPolicy::ForMailMessage(view_.DisplayDir()));
  pane_->SetName(Wx(kPaneName.Text()));
  sizer_->Add(pane_, 1, wxEXPAND);

  partsPanel_ = new wxPanel(content, wxID_ANY);
  auto* partsSizer = new wxBoxSizer(wxHORIZONTAL);
  parts_ = new wxListCtrl(partsPanel_, wxID_ANY, wxDefaultPosition, wxSize(-1, 96), wxLC_REPORT | wxLC_SINGLE_SEL);
  parts_->SetName(Wx(kPartsName.Text()));
  parts_->InsertColumn(0, Wx(kNameColumn.Text()), wxLIST_FORMAT_LEFT, 280);
  parts_->InsertColumn(1, Wx(kTypeColumn.Text()), wxLIST_FORMAT_LEFT, 180);
  parts_->InsertColumn(2, Wx(kSizeColumn.Text()), wxLIST_FORMAT_RIGHT, 90);
  parts_->Bind(wxEVT_LIST_ITEM_SELECTED, [this](wxListEvent&) { UpdateCommands(); });
  parts_->Bind(wxEVT_LIST_ITEM_DESELECTED, [this](wxListEvent&) { UpdateCommands(); });
  parts_->Bind(wxEVT_LIST_ITEM_ACTIVATED, [this](wxListEvent&) { OpenPart(false); });
  partsSizer->Add(parts_, 1, wxEXPAND | wxALL, 4);
  auto* buttons = new wxBoxSizer(wxVERTICAL);
  saveButton_ = new wxButton(partsPanel_, kSaveAs, Wx(kSaveAsButton.Text()));
  openButton_ = new wxButton(partsPanel_, kOpen, Wx(kOpenButton.Text()));
  editorButton_ = new wxButton(partsPanel_, kOpenWithEditor, Wx(kEditorButton.Text()));
  for (wxButton* button : {saveButton_, openButton_, editorButton_}) {
    buttons->Add(button, 0, wxEXPAND | wxTOP | wxRIGHT, 4);
    button->Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) { OnCommand(event.GetId()); });
  }
  partsSizer->Add(buttons, 0, wxEXPAND);
  partsPanel_->SetSizer(partsSizer);
  partsPanel_->Hide();
  sizer_->Add(partsPanel_, 0, wxEXPAND);
  content->SetSizer(sizer_);

  // Menu commands of the keys; the page passes Ctrl+N and Ctrl+R through
  // the pane (OnBrowserCommand).
  Bind(wxEVT_MENU, [this](wxCommandEvent& event) { OnCommand(event.GetId()); });
  wxAcceleratorEntry keys[] = {
      {wxACCEL_NORMAL, WXK_ESCAPE, kClose}, {wxACCEL_CTRL, 'N', kNext},     {wxACCEL_CTRL, 'P', kPrevious},
      {wxACCEL_CTRL, 'R', kReply},          {wxACCEL_CTRL | wxACCEL_SHIFT, 'R', kReplyAll},
      {wxACCEL_CTRL, 'F', kForward},        {wxACCEL_CTRL, 'D', kDelete},  {wxACCEL_CTRL, 'H', kHeaders},
  };
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));

  ApplyArt();
  BuildToolbar();
  // Large enough for a page of text; the window manager places it.
  SetSize(FromDIP(wxSize(820, 640)));
}

CMessageViewerWnd::~CMessageViewerWnd() {
  // The pane may still report while the children go.
  if (pane_) pane_->SetOwner(nullptr);
}

void CMessageViewerWnd::ApplyArt() {
  const CSchemeArt& art = *Art();
  using vyr::SchemeColour;
  DressAsToolbar(*toolbar_, art, kToolbarIcons);
  const wxColour ground = art.Colour(SchemeColour::ToolBarBack);
  // The bar speaks in the colours of the scheme's tips.
  remoteBar_->SetBackgroundColour(art.Colour(SchemeColour::ToolBarTipBack));
  remoteText_->SetForegroundColour(art.Colour(SchemeColour::ToolBarTipText));
  partsPanel_->SetBackgroundColour(ground);
}

void CMessageViewerWnd::BuildToolbar() {
  auto entry = [](int command, const TextId& text, const TextId& tip, int image) {
    return vyr::ButtonStripEntry{command, text.Text(), tip.Text(), image, 0};
  };
  std::vector<vyr::ButtonStripEntry> entries = {
      entry(kReply, kReplyText, kReplyTip, 0),         entry(kReplyAll, kReplyAllText, kReplyAllTip, 1),
      entry(kForward, kForwardText, kForwardTip, 2),   entry(kDelete, kDeleteText, kDeleteTip, 3),
      entry(kPrevious, kPreviousText, kPreviousTip, 4), entry(kNext, kNextText, kNextTip, 5),
  };
  entries.push_back({kHeaders, view_.HeadersButtonLabel(), kHeadersTip.Text(), 6, 0});
  toolbar_->SetEntries(std::move(entries));
  toolbar_->SetMinSize(wxSize(-1, toolbar_->GetBestSize().y));
  UpdateCommands();
}

void CMessageViewerWnd::UpdateCommands() {
  const bool shown = !view_.MessagePath().empty();
  for (int command : {kReply, kReplyAll, kForward, kDelete, kHeaders}) toolbar_->EnableCommand(command, shown);
  toolbar_->EnableCommand(kPrevious, shown && owner_);
  toolbar_->EnableCommand(kNext, shown && owner_);
  const bool part = SelectedPart() >= 0;
  for (wxButton* button : {saveButton_, openButton_, editorButton_}) button->Enable(part);
  toolbar_->Refresh(false);
}

// --- showing ------------------------------------------------------------------------

void CMessageViewerWnd::ShowMessage(const std::string& path) {
  // Every message is decoded into the one display folder: while the
  // engine still reads the page before, the folder stays as it is.
  if (loading_) return;
  int decoded = 0;
  if (!view_.Open(path, &decoded)) return;
  vyr::MailStore::MarkRead(path);
  SetTitle(Wx(view_.Caption()));
  if (decoded < 0) app_.Messages().Error(vyr::kErrorProcessingEmail);

  const std::string page = view_.PageUrl();
  std::string html;
  remoteOffered_ = !page.empty() &&
                   vyr::platform::ReadWholeFile(view_.DisplayDir() + view_.Decoded().page, html) &&
                   vyr::MayHoldRemoteContent(html);
  // Remote content stays out of every message until the user asks for it
  // on that message.
  pane_->AllowRemoteContent(false);
  remoteBar_->Show(remoteOffered_);
  remoteButton_->Enable(true);
  FillParts();
  BuildToolbar();
  sizer_->Layout();
  LoadPage(page);
  if (!IsShown()) Show();
}

void CMessageViewerWnd::LoadPage(const std::string& url) {
  pageUrl_ = url;
  if (url.empty()) return;
  loading_ = true;
  pane_->Navigate(url);
}

void CMessageViewerWnd::DocumentComplete(const std::string& url, bool topLevel) {
  if (topLevel) loading_ = false;
  (void)url;
}

void CMessageViewerWnd::Raise() {
  if (view_.MessagePath().empty()) return;  // nothing shown yet: no empty window
  if (!IsShown()) Show();
  if (IsIconized()) Iconize(false);
  CSkinnedFrame::Raise();
}

void CMessageViewerWnd::FillParts() {
  parts_->DeleteAllItems();
  listedParts_ = view_.ListedParts();
  const int size = FromDIP(16);
  auto* images = new wxImageList(size, size, true, static_cast<int>(listedParts_.size()));
  const vyr::DecodedMessage& m = view_.Decoded();
  for (size_t row = 0; row < listedParts_.size(); ++row) {
    const size_t part = listedParts_[row];
    const std::string& name = m.partNames[part];
    const std::string& type = m.partTypes[part];
    const int image = images->Add(FileTypeIcon(type, name, size));
    const long item = parts_->InsertItem(static_cast<long>(row), Wx(name), image);
    parts_->SetItem(item, 1, Wx(type));
    std::error_code ec;
    const auto bytes = std::filesystem::file_size(view_.PartPath(part), ec);
    parts_->SetItem(item, 2, ec ? wxString() : wxFileName::GetHumanReadableSize(wxULongLong(bytes)));
  }
  parts_->AssignImageList(images, wxIMAGE_LIST_SMALL);
  // Room for every part up to five, the rest by scrolling.
  wxRect first;
  const int rowHeight = parts_->GetItemCount() > 0 && parts_->GetItemRect(0, first) ? first.height : size + FromDIP(6);
  const int rows = std::min<int>(static_cast<int>(listedParts_.size()), 5);
  parts_->SetMinSize(wxSize(-1, wxRendererNative::Get().GetHeaderButtonHeight(parts_) + rows * rowHeight + FromDIP(6)));
  partsPanel_->Show(!listedParts_.empty());
}

int CMessageViewerWnd::SelectedPart() const {
  const long row = parts_->GetNextItem(-1, wxLIST_NEXT_ALL, wxLIST_STATE_SELECTED);
  if (row < 0 || static_cast<size_t>(row) >= listedParts_.size()) return -1;
  return static_cast<int>(listedParts_[static_cast<size_t>(row)]);
}

// --- commands ---------------------------------------------------------------------

void CMessageViewerWnd::OnCommand(int command) {
  switch (command) {
    case kReply: Compose(vyr::ReplyKind::Reply); break;
    case kReplyAll: Compose(vyr::ReplyKind::ReplyAll); break;
    case kForward: Compose(vyr::ReplyKind::Forward); break;
    case kDelete: DeleteShown(); break;
    case kPrevious: Step(-1); break;
    case kNext: Step(1); break;
    case kHeaders: ToggleHeaders(); break;
    case kSaveAs: SavePartAs(); break;
    case kOpen: OpenPart(false); break;
    case kOpenWithEditor: OpenPart(true); break;
    case kShowRemote: ShowRemoteContent(); break;
    case kClose: Close(); break;
    default: break;
  }
}

void CMessageViewerWnd::OnBrowserCommand(int command) {
  // The page's own keys: Ctrl+N the next message, Ctrl+R a reply.
  if (command == kNewBrowserWindowCommand) OnCommand(kNext);
  if (command == kRefreshCommand) OnCommand(kReply);
}

void CMessageViewerWnd::Step(int step) {
  if (!owner_ || view_.MessagePath().empty() || loading_) return;
  const std::string next = owner_->NextMessage(view_.MessagePath(), step);
  if (!next.empty()) ShowMessage(next);
}

void CMessageViewerWnd::DeleteShown() {
  const std::string shown = view_.MessagePath();
  if (shown.empty()) return;
  const vyr::MailStore store(app_);
  const vyr::DeleteOutcome deleted = store.DeleteMessages({shown}, vyr::MailStore::IsTrashPath(shown));
  if (deleted.cancelled || deleted.removed.empty()) return;
  // The row after it, or before it after the last row, while the list still
  // holds it; then the list lets it go.
  std::string next;
  if (owner_) {
    next = owner_->NextMessage(shown, 1);
    if (next.empty()) next = owner_->NextMessage(shown, -1);
    owner_->MessageDeleted(shown);
  }
  if (next.empty()) {
    Close();
    return;
  }
  loading_ = false;  // the page shown went with the message
  ShowMessage(next);
}

void CMessageViewerWnd::ToggleHeaders() {
  if (view_.MessagePath().empty() || loading_) return;
  const vyr::HeadersToggle toggle = view_.ToggleHeaders();
  BuildToolbar();
  LoadPage(toggle.url);
}

void CMessageViewerWnd::Compose(vyr::ReplyKind kind) {
  if (view_.MessagePath().empty()) return;
  // A forward's attachments are copied under the mail root, where they stay
  // for as long as a stored message names them.
  const vyr::ReplyDraft draft = vyr::PrepareReply(view_.Decoded(), kind, view_.DisplayDir(),
                                                  vyr::ForwardCopiesDirectory(vyr::MailStore(app_)),
                                                  vyr::OwnAddresses(app_));
  CComposeWnd::OpenNew(app_, {draft.to, draft.cc, draft.subject, draft.body, draft.attachments});
}

void CMessageViewerWnd::ComposeLink(const std::string& url) {
  // Written with the mail program the user chose.
  const vyr::MailtoFields fields = vyr::ParseMailtoLink(url);
  ComposeMail(app_, {fields.to, fields.cc, fields.subject, fields.body, {}});
}

void CMessageViewerWnd::ShowRemoteContent() {
  if (pageUrl_.empty()) return;
  pane_->AllowRemoteContent(true);
  remoteButton_->Enable(false);
  remoteBar_->Hide();
  sizer_->Layout();
  loading_ = true;
  pane_->Reload();
}

// --- parts --------------------------------------------------------------------------

bool CMessageViewerWnd::SavePart(long row, const std::string& target) {
  if (row < 0 || static_cast<size_t>(row) >= listedParts_.size()) return false;
  return view_.SavePartAs(listedParts_[static_cast<size_t>(row)], target);
}

void CMessageViewerWnd::SavePartAs() {
  const int part = SelectedPart();
  if (part < 0) return;
  const std::string name = view_.Decoded().partNames[static_cast<size_t>(part)];
  const char* folder = g_get_user_special_dir(G_USER_DIRECTORY_DOWNLOAD);
  wxFileDialog dialog(this, Wx(kSaveAsTitle.Text()), Wx(folder ? folder : g_get_home_dir()), Wx(name),
                      wxFileSelectorDefaultWildcardStr, wxFD_SAVE | wxFD_OVERWRITE_PROMPT);
  if (dialog.ShowModal() != wxID_OK) return;
  const std::string target = Utf8(dialog.GetPath());
  if (!view_.SavePartAs(static_cast<size_t>(part), target)) app_.Messages().Error(Fill(kSaveFailed.Text(), target));
}

void CMessageViewerWnd::OpenPart(bool textEditor) {
  const int part = SelectedPart();
  if (part < 0) return;
  const std::string path = view_.PartPath(static_cast<size_t>(part));
  if (!textEditor) {
    // The desktop's program for the file's type, the path its one argument.
    vyr::HandToDesktop(path);
    return;
  }
  vyr::Application* app = &app_;
  vyr::platform::OpenWithTextEditor(path, [app, path](const vyr::platform::DesktopOpenResult& result) {
    if (result.started) return;
    // Told on the user-interface thread; the application outlives it.
    if (wxTheApp) {
      wxTheApp->CallAfter([app, path] {
        const std::string editor = vyr::platform::DefaultApplication("text/plain");
        app->Messages().Error(editor.empty() ? kNoTextEditor.Text() : Fill(kEditorFailed.Text(), path));
      });
    }
  });
}

// --- the pane's navigations ---------------------------------------------------------------

bool CMessageViewerWnd::Route(const std::string& url) {
  const vyr::NavigationFacts* facts = pane_->DecidingFacts();
  if (!facts) return true;  // nothing known about it: refused
  switch (pane_->Policy().RouteMessageNavigation(*facts)) {
    case vyr::MessageNavigation::Show:
      return false;
    case vyr::MessageNavigation::OpenInBrowser:
      if (const WebLinkOpener& open = LinkOpener()) open(url, vyr::kFindingTitle + url);
      return true;
    case vyr::MessageNavigation::Compose:
      ComposeLink(url);
      return true;
    case vyr::MessageNavigation::Refuse:
      return true;
  }
  return true;
}

bool CMessageViewerWnd::HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict&) {
  // Every navigation of the message passes here; what is not shown in the
  // pane is cancelled.
  return Route(url);
}

vyr::MessageViewer* CMessageViewers::ViewerFor(wxWindow* parent, vyr::MessageViewerOwner& owner) {
  if (!viewer_) viewer_ = new CMessageViewerWnd(app_, &owner, parent);
  return viewer_.get();
}

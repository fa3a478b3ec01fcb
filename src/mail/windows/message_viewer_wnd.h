#pragma once
// CMessageViewerWnd: the message viewer, a skinned frame that shows one
// stored message at a time. The message is decoded into the viewer's
// display folder ("_TEMP/Viewer") by MessageView and its page shown in an
// engine pane with the mail message policy: no script runs, nothing loads
// from the network until the user presses "Show remote content" on the bar
// above the message, and only the user's own click on a link leaves the
// message (a web link opens in a browser window of its own, titled
// "Finding " and the address; a mailto link starts a new message).
//
// Around the pane: the toolbar (Reply, Reply to All, Forward, Delete,
// Previous, Next, Show/Hide Headers), the remote-content bar and, for a
// message with attachments, the parts list with the desktop's icon of each
// part's type and its commands (Save As, Open with the desktop's program
// for the type, Open with the desktop's text editor).
//
// The viewer shows at once: decoding runs on the user-interface thread and
// the page loads while the window is already up; a second message asked for
// while a page is still loading is ignored. Escape closes the window; Ctrl+N
// and Ctrl+P show the next and the previous message.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/weakref.h>

#include "mail/read/message_decoder.h"
#include "mail/read/reply_builder.h"
#include "mail/windows/mail_wnd.h"
#include "mail/windows/message_viewer.h"
#include "ui/windows/browser_wnd.h"
#include "ui/windows/skinned_window.h"

class CButtonStrip;
class wxBoxSizer;
class wxButton;
class wxListCtrl;
class wxListEvent;
class wxPanel;
class wxStaticText;

namespace vyr {
class Application;
}

class CMessageViewerWnd : public CSkinnedFrame, public vyr::MessageViewer, private CBrowserOwner {
 public:
  // Opens a web address the user clicked in a message in a browser window
  // of its own with that caption; one that names a special address (a
  // command link, a setup program, a channel file) is refused there,
  // running nothing. Set by the main window for as long as it lives; unset,
  // a clicked web link opens nothing.
  using WebLinkOpener = std::function<void(const std::string& address, const std::string& caption)>;
  static void SetWebLinkOpener(WebLinkOpener opener);

  // owner: the window whose list the messages come from (Next, Previous,
  // Delete); null for a viewer of one message. A parent window (the mail
  // window) keeps the viewer above it and takes it along when it goes.
  CMessageViewerWnd(vyr::Application& app, vyr::MessageViewerOwner* owner, wxWindow* parent = nullptr);
  ~CMessageViewerWnd() override;

  // --- MessageViewer -----------------------------------------------------------
  // Decodes and shows the message (marked read); ignored while the page of
  // the one before is still loading. A message that cannot be read leaves
  // the viewer as it was.
  void ShowMessage(const std::string& path) override;
  void Raise() override;

  // What the viewer shows (for the window tests).
  const std::string& MessagePath() const { return view_.MessagePath(); }
  CBrowserWnd* Pane() const { return pane_; }
  bool Loading() const { return loading_; }
  const vyr::DecodedMessage& Decoded() const { return view_.Decoded(); }
  // The bar that offers the message's remote content, and its button.
  wxPanel* RemoteContentBar() const { return remoteBar_; }
  wxButton* RemoteContentButton() const { return remoteButton_; }
  wxListCtrl* PartsList() const { return parts_; }
  CButtonStrip* Toolbar() const { return toolbar_; }
  // Saves the listed part (its row in the parts list) to the path, as Save
  // As does once the user has chosen it. False when it could not be saved.
  bool SavePart(long row, const std::string& target);

 private:
  // Commands of the toolbar, the buttons and the keys (window and menu ids
  // stay below 32767).
  enum Command : int {
    kReply = 20600, kReplyAll, kForward, kDelete, kPrevious, kNext, kHeaders,
    kSaveAs, kOpen, kOpenWithEditor, kShowRemote, kClose,
  };

  void BuildToolbar();
  void ApplyArt();
  void OnCommand(int command);
  void Step(int step);
  void DeleteShown();
  void ToggleHeaders();
  // Reply, reply to all, forward, and a mailto link the user clicked: a
  // compose window with the message started.
  void Compose(vyr::ReplyKind kind);
  void ComposeLink(const std::string& url);
  void ShowRemoteContent();
  void FillParts();
  // The listed part of the selected row (index into the decoded parts), or
  // -1 with nothing selected.
  int SelectedPart() const;
  void SavePartAs();
  void OpenPart(bool textEditor);
  void UpdateCommands();
  void LoadPage(const std::string& url);

  // CBrowserOwner: what the pane reports.
  // Every navigation of the pane, new windows included, is routed here:
  // true cancels it.
  bool HandleSpecialUrl(const std::string& url, const vyr::NavigationVerdict& verdict) override;
  void DocumentComplete(const std::string& url, bool topLevel) override;
  void OnBrowserCommand(int command) override;
  std::string ChooseDownloadDestination(const std::string&) override { return {}; }
  // Where a navigation of the pane goes, from the engine's facts.
  bool Route(const std::string& url);

  vyr::Application& app_;
  vyr::MessageViewerOwner* owner_;
  vyr::MessageView view_;
  CButtonStrip* toolbar_ = nullptr;
  wxPanel* remoteBar_ = nullptr;
  wxStaticText* remoteText_ = nullptr;
  wxButton* remoteButton_ = nullptr;
  CBrowserWnd* pane_ = nullptr;
  wxPanel* partsPanel_ = nullptr;
  wxListCtrl* parts_ = nullptr;
  std::vector<size_t> listedParts_;  // row -> index of the decoded part
  wxButton* saveButton_ = nullptr;
  wxButton* openButton_ = nullptr;
  wxButton* editorButton_ = nullptr;
  wxBoxSizer* sizer_ = nullptr;
  std::string pageUrl_;       // the page the pane was last sent to
  bool loading_ = false;      // that page has not finished loading
  bool remoteOffered_ = false;  // the shown page may hold remote content
};

// The program's one message viewer for the mail window: made on first use
// over the mail window that asks (and gone with it).
class CMessageViewers : public CMessageViewerHost {
 public:
  explicit CMessageViewers(vyr::Application& app) : app_(app) {}
  vyr::MessageViewer* ViewerFor(wxWindow* parent, vyr::MessageViewerOwner& owner) override;

 private:
  vyr::Application& app_;
  wxWeakRef<CMessageViewerWnd> viewer_;
};

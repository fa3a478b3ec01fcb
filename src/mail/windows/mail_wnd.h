#pragma once
// CMailWnd: the mail window, the user's view of the mail store. The folder
// tree (Inbox, Outbox, Sent Items, Draft, Trash, then the user's folders,
// with their unread counts, bold while they hold unread mail), the message
// list of the folder shown (a virtual list over vyr::MessageList: sorted by a
// click on a column, unread rows bold, several rows at once), the toolbar of
// mail commands, the status line, and the search panel over the mail search.
//
// Nothing here waits: the folder is listed by the folder loader's thread,
// the search runs on its worker, the mail check on the driver; each reports
// by posted messages. Messages are moved by dragging their rows onto a
// folder of the tree (the store refuses what may not move), deleted to the
// Trash, opened in the message viewer (incoming folders) or the compose
// window (outgoing ones).
//
// The automatic check: a one-minute timer ticks MailCheckSchedule; the
// timer stops while a check runs and starts again when the run ends and on
// every path that starts no run, so a refused start never ends the
// automatic checks.
//
// One mail window at a time: Open() makes it or brings the one there is to
// the front.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <wx/timer.h>
#include <wx/treebase.h>

#include "mail/check/mail_check_driver.h"
#include "mail/check/mail_check_schedule.h"
#include "mail/read/mail_search.h"
#include "mail/store/folder_loader.h"
#include "mail/store/mail_store.h"
#include "mail/windows/message_viewer.h"
#include "platform/window_messages.h"
#include "ui/button_strip_model.h"
#include "ui/windows/skinned_window.h"

class CButtonStrip;
class CMessageListCtrl;
class CPasswordQuestion;
class wxButton;
class wxChoice;
class wxListCtrl;
class wxListEvent;
class wxPanel;
class wxSplitterWindow;
class wxStaticText;
class wxTextCtrl;
class wxTreeCtrl;
class wxTreeEvent;

namespace vyr {
class Application;
}

// Gives the mail window the program's message viewer: the one viewer window,
// made on first use. The viewer asks `owner` for the next message and tells
// it of a deletion. Null when the program has no viewer: the window then
// says the viewer is not available yet.
class CMessageViewerHost {
 public:
  virtual ~CMessageViewerHost() = default;
  virtual vyr::MessageViewer* ViewerFor(wxWindow* parent, vyr::MessageViewerOwner& owner) = 0;
};

class CMailWnd : public CSkinnedFrame,
                 public vyr::MessageViewerOwner,
                 private vyr::MailCheckObserver,
                 private vyr::platform::MessageTarget {
 public:
  // The window's commands (toolbar, menus, keys).
  enum Command {
    kCmdSendReceive = 4100, kCmdWrite, kCmdOpen, kCmdMarkRead, kCmdMarkUnread, kCmdDelete,
    kCmdAddressBook, kCmdFolders, kCmdSettings, kCmdSearch, kCmdCancel,
    kCmdNewFolder, kCmdRenameFolder, kCmdDeleteFolder, kCmdEmptyTrash, kCmdClose,
    kCmdSelectAll, kCmdMove, kCmdRefresh,
  };

  // Opens the mail window on Inbox, or brings the one there is to the front.
  static CMailWnd* Open(vyr::Application& app);
  // The mail window, when one is open.
  static CMailWnd* Current();
  // The viewer host of every mail window from now on (the program sets it
  // once); without one, messages are not shown.
  static void SetViewerHost(CMessageViewerHost* host);

  explicit CMailWnd(vyr::Application& app);
  ~CMailWnd() override;

  // Runs a command as the toolbar and the menus do.
  void RunCommand(int command);
  // Shows a folder (its name as the tree has it).
  void ShowFolder(const std::string& name);
  // The one-minute timer's handler: the window's clock for the automatic
  // check (tests tick it themselves).
  void MinuteTick();
  bool MinuteTimerRunning() const { return minuteTimer_.IsRunning(); }

  // What the window shows, for tests and screen readers alike.
  const std::string& FolderShown() const { return folderShown_; }
  const vyr::MessageList& List() const { return list_; }
  std::string StatusText() const;
  bool Loading() const { return loader_.IsRunning() || loadPending_; }
  bool Checking() const { return driver_.IsRunning(); }
  bool Searching() const { return search_.IsRunning(); }
  CButtonStrip* Toolbar() const { return toolbar_; }
  vyr::platform::WindowHandle Handle() const { return handle_; }
  wxTreeCtrl* Tree() const { return tree_; }
  wxListCtrl* MessageListCtrl() const;
  wxListCtrl* ResultsCtrl() const { return results_; }
  // The tree item of a folder; invalid when not in the tree.
  wxTreeItemId FolderItem(const std::string& name) const;
  // The text of a folder's tree item ("Inbox (2)") and whether it is bold.
  std::string FolderLabel(const std::string& name) const;
  bool FolderBold(const std::string& name) const;
  // Selects the rows of these messages (and no other).
  void SelectMessages(const std::vector<std::string>& paths);
  std::vector<std::string> SelectedMessages() const;
  // Starts a search as the panel's button does.
  void StartSearch(const std::string& text, const std::string& folder);

  // --- the viewer's owner ------------------------------------------------------
  std::string NextMessage(const std::string& path, int step) override;
  void MessageDeleted(const std::string& path) override;

  // Drop of message files on a folder of the tree (the drop target's work,
  // run after the drag has ended).
  void DropOnFolder(const std::vector<std::string>& files, const std::string& folder);

 private:
  // --- the mail check's observer ---------------------------------------------------
  void MailCheckStatus(const std::string& text, bool progress) override;
  void MailStored(const std::string& path, int count) override;
  void MailSendError(const std::string& text) override;
  void MailRowAdded(const std::string& path) override;
  void MailRowRemoved(const std::string& path) override;
  void MailFoldersChanged() override;
  void MailCheckFinished(const vyr::MailCheckEnd& end) override;
  void NewMailArrived(int count) override;
  bool InboxShown() const override;
  bool InForeground() const override;

  void OnWindowMessage(const vyr::platform::WindowMessage& message) override;

  void BuildToolbar();
  void FitToolbar();
  void BuildMenus();
  void BuildSearchPanel(wxWindow* parent);
  void ApplyArt();
  void RefreshFolderTree();
  void LoadFolder(const std::string& name);
  void ListChanged();
  void FitLastColumn();
  void SetStatus(const std::string& text);
  // Starts a check (Send & Receive: not silent); the minute timer starts
  // again when none started.
  bool StartCheck(bool silent);
  void CheckStateChanged();
  void OpenSelected();
  void OpenMessage(const std::string& path);
  void DeleteSelected();
  void MarkSelected(bool read);
  void MoveSelected();
  void NewFolder();
  void RenameFolder();
  void DeleteFolder();
  void EmptyTrash();
  void ShowFoldersMenu();
  void ToggleSearchPanel();
  void SearchButton();
  void NotAvailable(const std::string& what);
  std::string SelectedFolder() const;
  void OnClose(wxCloseEvent& event);

  vyr::Application& app_;
  vyr::MailStore store_;
  vyr::platform::WindowHandle handle_ = 0;
  vyr::MessageList list_;
  vyr::FolderLoader loader_;
  vyr::MailSearch search_;
  std::unique_ptr<CPasswordQuestion> passwords_;
  std::unique_ptr<vyr::MailCheckQuestions> questions_;
  vyr::MailCheckSchedule schedule_;
  wxTimer minuteTimer_;

  CButtonStrip* toolbar_ = nullptr;
  std::vector<vyr::ButtonStripEntry> toolbarEntries_;  // with every text
  int toolbarWidth_ = -1;
  wxSplitterWindow* splitter_ = nullptr;
  wxTreeCtrl* tree_ = nullptr;
  CMessageListCtrl* listCtrl_ = nullptr;
  wxPanel* searchPanel_ = nullptr;
  wxTextCtrl* searchText_ = nullptr;
  wxChoice* searchFolder_ = nullptr;
  wxButton* searchGo_ = nullptr;
  wxListCtrl* results_ = nullptr;
  std::vector<vyr::SearchRow> resultRows_;
  wxStaticText* status_ = nullptr;
  wxPanel* statusBar_ = nullptr;

  std::string folderShown_;
  bool loadPending_ = false;
  bool inboxLoaded_ = false;
  bool refreshingTree_ = false;
  int lastNewCount_ = 0;  // messages the last check stored (the Inbox's status line)

  vyr::MailCheckDriver driver_;  // last: it reports to the members above
};

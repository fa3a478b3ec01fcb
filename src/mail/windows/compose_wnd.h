#pragma once
// CComposeWnd: the compose window "Keep in touch", where a message is
// written. Address boxes (To, CC, BCC, completing known addresses), the
// subject, the attached files (added from the toolbar or dropped on the
// window), the formatting bar, the rich-text editor (CComposeEditor, over
// the program's rich-text body model) and the status line with Cancel
// while a message is being sent.
//
// The message leaves the window through the Outbox: Send Now (stored in
// Outbox and sent by a worker, which reports by posted messages), Send
// Later, Save Draft. While the window has changes that are not stored it
// saves them to an autosaved draft every 30 seconds and whenever it loses
// the focus, so a crash loses little; the autosave goes when the message is
// sent, stored or discarded.
//
// Closing during Send Now never loses the message: before its data is
// handed over the send is stopped and the message stays pending in the
// Outbox (the user is told); after it, the send finishes on its own.
#include <memory>
#include <string>
#include <vector>

#include <wx/colour.h>
#include <wx/timer.h>

#include "mail/send/compose_rules.h"
#include "mail/send/outbox.h"
#include "platform/window_messages.h"
#include "ui/windows/skinned_window.h"

class CButtonStrip;
class CComposeEditor;
class wxBitmapButton;
class wxBoxSizer;
class wxButton;
class wxChoice;
class wxListBox;
class wxPanel;
class wxStaticText;
class wxTextCtrl;

namespace vyr {
class Application;
class Speller;
}

class CComposeWnd : public CSkinnedFrame, public vyr::ComposeWindow, private vyr::platform::MessageTarget {
 public:
  // What a new message starts with (a mailto link, a reply, a forward).
  struct Prefill {
    std::string to, cc, subject;
    std::string body;  // plain text, line ends as "\r\n" or "\n"
    std::vector<std::string> attachments;
  };

  // The window's commands (toolbar, menus, keys, buttons).
  enum Command : int {
    kSendNow = 20700, kSendLater, kSaveAs, kSaveDraft, kAddressBook, kAttach, kSpellCheck, kSettings,
    kTextOnly, kCancelSend, kClose, kBold, kItalic, kUnderline, kLeft, kCenter, kBackColour, kTextColour,
    kRemoveAttachment, kPaste,
  };

  // A new message, shown.
  static CComposeWnd* OpenNew(vyr::Application& app, const Prefill& fill = {});
  // A stored outgoing message (Outbox, Draft or Sent Items), shown; null
  // when it cannot be read (the user is told).
  static CComposeWnd* OpenStored(vyr::Application& app, const std::string& path);
  // Opens the drafts autosaved by a program that ended without closing
  // its compose windows; how many were opened.
  static int OpenRecoveredDrafts(vyr::Application& app);
  // Program exit: waits for the sends of closed windows that were past the
  // point of no return, at most this long.
  static void FinishSends(int seconds);
  // Whether the setup question about an unusable outgoing server is asked
  // when a window opens (not in the screenshot mode).
  static void SetAskAboutSettings(bool ask);

  explicit CComposeWnd(vyr::Application& app);
  ~CComposeWnd() override;

  // --- ComposeWindow ----------------------------------------------------------------
  std::string ToText() const override;
  std::string CcText() const override;
  std::string BccText() const override;
  std::string SubjectText() const override;
  std::string BodyForm() const override;
  std::vector<std::string> Attachments() const override { return attachments_; }
  std::string StoredPath() const override { return storedPath_; }
  void SetStoredPath(const std::string& path) override { storedPath_ = path; }
  void SetSubjectText(const std::string& subject) override;
  void FocusToBox() override;
  void FocusSubjectBox() override;
  vyr::platform::WindowHandle Handle() const override { return handle_; }

  // Runs a command as the toolbar, the menus and the keys do.
  void RunCommand(int command);
  // Appends comma-separated entries to a recipient box (the address book's
  // pick), leaving out addresses the box holds already; false while the
  // message cannot be changed (read-only or being sent).
  enum class Field { kTo, kCc, kBcc };
  bool AddRecipients(Field field, const std::string& entries);
  // Adds files to the attachment list (the dialog's and the drop's work);
  // an unreadable one is refused with a message.
  void AttachFiles(const std::vector<std::string>& paths);
  // Saves the autosaved draft now when there are unsaved changes; false
  // when there were none or it could not be written.
  bool AutosaveNow();

  // What the window shows, for the window tests and screen readers alike.
  CComposeEditor* Editor() const { return editor_; }
  wxTextCtrl* ToBox() const { return to_; }
  wxTextCtrl* SubjectBox() const { return subject_; }
  CButtonStrip* Toolbar() const { return toolbar_; }
  wxPanel* FormatBar() const { return formatBar_; }
  std::string StatusText() const;
  bool Sending() const { return sending_; }
  bool HasChanges() const;
  bool ReadOnlyMode() const { return readOnly_; }
  const std::string& AutosavePath() const { return autosave_.Path(); }

 private:
  void BuildToolbar();
  void BuildMenus();
  void BuildFields(wxWindow* parent, wxBoxSizer* sizer);
  void BuildFormatBar(wxWindow* parent);
  void ApplyArt();
  void Fill(const Prefill& fill);
  bool LoadStored(const std::string& path);
  void SetReadOnlyMode(bool readOnly);
  void SetEditing(bool editable);
  void SetStatus(const std::string& text);
  void Changed();
  void AskAboutSettings();

  void SendNow();
  // Send Later (draft false) or Save Draft; true when stored.
  bool Queue(bool draft);
  void SaveAs();
  void ToggleTextOnly();
  void ShowTextOnly(bool textOnly);
  void CancelSend(bool closing);
  void ChooseAttachments();
  void RemoveAttachments();
  void ApplyCharFormat(int command);
  void ApplyAlignment(int command);
  void ChooseColour(bool background);
  void ApplyFace();
  void ApplySize();
  void UpdateFormatBar();
  void RunSpellCheck();
  // Opens the lexicon of the mail root (seeded from the system's dictionary
  // on first use); without one there is no spelling check.
  void LoadSpeller();
  bool SpellingAvailable() const;
  // The spelling step of Send Now: false when the message is not to be
  // sent now (back to the editor).
  bool SpellBeforeSending();
  // A send that is stopped or past the point of no return finishes on a
  // thread of its own.
  void FinishInBackground();
  vyr::platform::WindowHandle MailWindow() const;

  void OnWindowMessage(const vyr::platform::WindowMessage& message) override;
  void OnClose(wxCloseEvent& event);

  vyr::Application& app_;
  vyr::platform::WindowHandle handle_ = 0;
  vyr::DraftAutosave autosave_;
  std::shared_ptr<vyr::Outbox> sendOutbox_;
  std::unique_ptr<vyr::Speller> speller_;
  wxTimer autosaveTimer_;

  CButtonStrip* toolbar_ = nullptr;
  wxTextCtrl* to_ = nullptr;
  wxTextCtrl* cc_ = nullptr;
  wxTextCtrl* bcc_ = nullptr;
  wxTextCtrl* subject_ = nullptr;
  wxListBox* attachList_ = nullptr;
  wxButton* removeButton_ = nullptr;
  wxPanel* formatBar_ = nullptr;
  std::vector<wxBitmapButton*> formatButtons_;
  wxChoice* fonts_ = nullptr;
  wxChoice* sizes_ = nullptr;
  CComposeEditor* editor_ = nullptr;
  wxPanel* statusBar_ = nullptr;
  wxStaticText* status_ = nullptr;
  wxButton* cancel_ = nullptr;
  wxBoxSizer* sizer_ = nullptr;

  wxColour textColour_ = *wxBLACK;  // the colour button's last choice
  std::vector<std::string> attachments_;
  std::string storedPath_;
  bool sourceWasUnread_ = false;  // the stored message's read state when it was opened
  std::string statusText_;
  bool changed_ = false;            // fields or attachments changed since the last store
  bool changedSinceAutosave_ = false;
  bool sending_ = false;
  bool handedOver_ = false;
  bool cancelled_ = false;  // the running send was stopped: its close is not ours
  bool readOnly_ = false;
  bool textOnly_ = false;
  bool filling_ = false;  // programmatic changes are not the user's
};

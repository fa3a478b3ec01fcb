#include "mail/windows/compose_wnd.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <thread>

#include <wx/app.h>
#include <wx/bmpbuttn.h>
#include <wx/button.h>
#include <wx/choice.h>
#include <wx/clipbrd.h>
#include <wx/colordlg.h>
#include <wx/dcmemory.h>
#include <wx/settings.h>
#include <wx/dnd.h>
#include <wx/filedlg.h>
#include <wx/fontenum.h>
#include <wx/listbox.h>
#include <wx/menu.h>
#include <wx/panel.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/stockitem.h>
#include <wx/textcompleter.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include "base/application.h"
#include "base/message_box.h"
#include "base/settings_table.h"
#include "base/text_trim.h"
#include "mail/body/body_converter.h"
#include "mail/body/rich_text.h"
#include "mail/body/spelling.h"
#include "mail/store/mail_store.h"
#include "mail/read/message_decoder.h"
#include "mail/receive/mail_check.h"
#include "mail/send/address_lists.h"
#include "mail/send/mail_address.h"
#include "mail/windows/address_book_wnd.h"
#include "mail/windows/mail_settings_dlg.h"
#include "mail/windows/mail_texts.h"
#include "mail/windows/mail_wnd.h"
#include "mail/windows/rich_text_editor.h"
#include "mail/windows/spell_dialog.h"
#include "platform/file_system.h"
#include "platform/file_times.h"
#include "net/connection_manager.h"
#include "platform/string_table.h"
#include "platform/tick_count.h"
#include "ui/windows/button_strip.h"
#include "ui/windows/image_list.h"
#include "ui/windows/scheme_art.h"
#include "ui/windows/symbolic_icons.h"
#include "platform/text.h"

namespace {

using vyr::platform::TextId;
namespace ct = vyr::composetext;

constexpr TextId kSendNowText{33237}, kSendLaterText{33238}, kSaveDraftText{33239}, kAttachText{33240},
    kAddressBookText{33241}, kSendAgainText{33255}, kSettingsText{32937};
constexpr TextId kSendNowTip{33258}, kSendLaterTip{33259}, kSaveDraftTip{33260}, kAttachTip{33261},
    kAddressBookTip{33262}, kSettingsTip{33263}, kSendAgainTip{33267};
constexpr TextId kToolbarError{33264}, kEditorError{33265}, kTextOnlyItem{33458};
constexpr TextId kSaveAsTip{40845}, kSpellText{40846}, kSpellTip{40847}, kSaveAsText{40848}, kToolbarName{40849};
constexpr TextId kToLabel{40850}, kCcLabel{40851}, kBccLabel{40852}, kSubjectLabel{40853}, kAttachmentsName{40854},
    kRemoveText{40855}, kEditorName{40856}, kFormatBarName{40857};
constexpr TextId kFormatTips[] = {{40858}, {40859}, {40860}, {40861}, {40862}, {40863}, {40864}};
constexpr TextId kFontTip{40865}, kSizeTip{40866};
constexpr TextId kSizeNames[] = {{40867}, {40868}, {40869}, {40870}, {40871}, {40872}, {40873}};
constexpr TextId kCancelText{40874}, kFormatMenu{40877}, kCannotAttach{40879}, kNoDictionary{40880},
    kRemoveTip{40882}, kStatusName{40883};
using mail_text::kCloseItem;
using mail_text::kEditMenu;
using mail_text::kFileMenu;
using mail_text::kToolsMenu;

constexpr int kAutosaveMs = 30000;

wxString Wx(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

std::string FillText(std::string text, const std::string& value) {
  return vyr::platform::FillPlaceholders(std::move(text), {value});
}

// The toolbar's pictures, in button order; the last is the Spell Check
// button's picture when no dictionary is installed.
const std::vector<std::string> kToolbarIcons = {
    "mail-send",           "mail-send-receive", "document-save-as",  "document-save", "x-office-address-book",
    "mail-attachment",     "tools-check-spelling", "preferences-system", "dialog-warning"};
constexpr int kNoDictionaryImage = 8;

// The two colour buttons draw their own pictures (ColourGlyph); the theme
// gives the others.
const char* const kFormatIcons[] = {"",                   "",                      "format-text-bold",
                                    "format-text-italic", "format-text-underline", "format-justify-left",
                                    "format-justify-center"};
constexpr int kFormatCommands[] = {CComposeWnd::kBackColour, CComposeWnd::kTextColour, CComposeWnd::kBold,
                                   CComposeWnd::kItalic,     CComposeWnd::kUnderline,  CComposeWnd::kLeft,
                                   CComposeWnd::kCenter};

// Windows a question may be answered for once: "Don't show me this again"
// keeps the answer for the rest of the run.
std::map<unsigned, int>& RememberedAnswers() {
  static std::map<unsigned, int> answers;
  return answers;
}

int Ask(vyr::Application& app, unsigned key, const std::string& text, const std::string& caption) {
  auto& remembered = RememberedAnswers();
  if (auto found = remembered.find(key); found != remembered.end()) return found->second;
  bool dontShow = false;
  const int answer = app.Messages().Question(text, caption, &dontShow);
  if (dontShow && answer != vyr::IDCANCEL) remembered[key] = answer;
  return answer;
}

// The colour buttons' pictures: a letter over a bar of the colour (text
// colour), or a framed swatch of it (background).
wxBitmap ColourGlyph(bool background, const wxColour& colour, const wxColour& ink, const wxColour& ground, int size) {
  wxBitmap bitmap(size, size);
  wxMemoryDC dc(bitmap);
  dc.SetBackground(wxBrush(ground));
  dc.Clear();
  const int bar = std::max(3, size / 5);
  if (background) {
    dc.SetPen(wxPen(ink));
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(size / 6, size / 6, size - size / 3, size - size / 3);
  } else {
    wxFont font = wxSystemSettings::GetFont(wxSYS_DEFAULT_GUI_FONT).Bold();
    font.SetPixelSize(wxSize(0, size - bar - 4));
    dc.SetFont(font);
    dc.SetTextForeground(ink);
    const wxSize extent = dc.GetTextExtent(wxS("A"));
    dc.DrawText(wxS("A"), (size - extent.x) / 2, 1);
    dc.SetPen(*wxTRANSPARENT_PEN);
    dc.SetBrush(wxBrush(colour));
    dc.DrawRectangle(2, size - bar - 1, size - 4, bar);
  }
  dc.SelectObject(wxNullBitmap);
  return bitmap;
}

bool gAskAboutSettings = true;

// The compose windows open now.
std::vector<CComposeWnd*>& OpenWindows() {
  static std::vector<CComposeWnd*> windows;
  return windows;
}

// Sends of closed windows that were already handed over: they finish on a
// thread of their own, and the program's exit waits for them.
std::atomic<int> gFinishing{0};

// Completes the last entry of an address box from the known addresses.
class CAddressCompleter : public wxTextCompleterSimple {
 public:
  explicit CAddressCompleter(std::vector<std::string> known) : known_(std::move(known)) {}
  void GetCompletions(const wxString& prefix, wxArrayString& res) override {
    for (const std::string& completion : vyr::CompleteAddress(known_, Utf8(prefix))) res.push_back(Wx(completion));
  }

 private:
  std::vector<std::string> known_;
};

// Files dropped on the window are attached.
class CAttachDropTarget : public wxFileDropTarget {
 public:
  explicit CAttachDropTarget(CComposeWnd& window) : window_(window) {}
  bool OnDropFiles(wxCoord, wxCoord, const wxArrayString& names) override {
    std::vector<std::string> paths;
    for (const wxString& name : names) paths.push_back(Utf8(name));
    // After the drop has ended: attaching may show a message.
    window_.CallAfter([this, paths] { window_.AttachFiles(paths); });
    return true;
  }

 private:
  CComposeWnd& window_;
};

// Plain text as the body model holds it: a line ends with '\n' alone.
std::string WithoutCarriageReturns(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c != '\r') out += c;
  }
  return out;
}

}  // namespace

// --- opening -----------------------------------------------------------------------------

void CComposeWnd::SetAskAboutSettings(bool ask) { gAskAboutSettings = ask; }

CComposeWnd* CComposeWnd::OpenNew(vyr::Application& app, const Prefill& fill) {
  auto* window = new CComposeWnd(app);
  window->Fill(fill);
  window->Show();
  window->Raise();
  if (fill.to.empty()) window->to_->SetFocus(); else window->editor_->SetFocus();
  return window;
}

CComposeWnd* CComposeWnd::OpenStored(vyr::Application& app, const std::string& path) {
  // A stored message is edited in one window at a time: a second window
  // would store it twice, or remove what the first one stored.
  for (CComposeWnd* open : OpenWindows()) {
    if (open->StoredPath() == path) {
      if (open->IsIconized()) open->Iconize(false);
      open->Raise();
      return open;
    }
  }
  auto* window = new CComposeWnd(app);
  if (!window->LoadStored(path)) {
    window->Destroy();
    app.Messages().Error(FillText(vyr::kErrorOpeningFile, path));
    return nullptr;
  }
  window->Show();
  window->Raise();
  return window;
}

int CComposeWnd::OpenRecoveredDrafts(vyr::Application& app) {
  int opened = 0;
  for (const std::string& path : vyr::DraftAutosave::Recover(app)) {
    if (OpenStored(app, path)) ++opened;
  }
  return opened;
}

void CComposeWnd::FinishSends(int seconds) {
  for (int waited = 0; gFinishing.load() > 0 && waited < seconds * 20; ++waited) vyr::platform::SleepMs(50);
}

CComposeWnd::CComposeWnd(vyr::Application& app)
    : CSkinnedFrame(nullptr, Wx(ct::kTitle.Text()), SkinnedWindowOptions{true, true, 0}),
      app_(app),
      autosave_(app),
      autosaveTimer_(this) {
  handle_ = vyr::platform::WindowMessages::Instance().Register(this);
  OpenWindows().push_back(this);
  wxPanel* content = ContentPanel();
  sizer_ = new wxBoxSizer(wxVERTICAL);

  toolbar_ = new CButtonStrip(content, wxID_ANY, vyr::ButtonStripModel::Orientation::Horizontal);
  if (!toolbar_) app_.Messages().Error(kToolbarError.Text());
  toolbar_->SetName(Wx(kToolbarName.Text()));
  toolbar_->SetSelectOnClick(false);
  toolbar_->SetOnCommand([this](int command, int) {
    CallAfter([this, command] {
      RunCommand(command);
      if (toolbar_) toolbar_->FollowPointer();
    });
  });
  sizer_->Add(toolbar_, 0, wxEXPAND);

  BuildFields(content, sizer_);
  BuildFormatBar(content);
  sizer_->Add(formatBar_, 0, wxEXPAND);

  editor_ = new CComposeEditor(content, wxID_ANY, wxRE_MULTILINE | wxBORDER_THEME | wxWANTS_CHARS);
  if (!editor_) app_.Messages().Error(kEditorError.Text());
  editor_->SetName(Wx(kEditorName.Text()));
  editor_->SetBackgroundColour(*wxWHITE);
  {
    // The editor's own format: black 12-point text in the desktop's face.
    wxRichTextAttr base;
    base.SetTextColour(*wxBLACK);
    base.SetFontPointSize(PointsForTwips(vyr::kDefaultHeightTwips));
    base.SetFontFaceName(editor_->GetFont().GetFaceName());
    base.SetAlignment(wxTEXT_ALIGNMENT_LEFT);
    // Room between the text and the editor's edges (tenths of a millimetre).
    base.SetLeftIndent(25, 0);
    base.SetRightIndent(25);
    editor_->SetBasicStyle(base);
  }
  editor_->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
    Changed();
    event.Skip();
  });
  editor_->Bind(wxEVT_RICHTEXT_STYLE_CHANGED, [this](wxRichTextEvent& event) {
    Changed();
    event.Skip();
  });
  editor_->Bind(wxEVT_RICHTEXT_SELECTION_CHANGED, [this](wxRichTextEvent& event) {
    UpdateFormatBar();
    event.Skip();
  });
  editor_->Bind(wxEVT_KEY_UP, [this](wxKeyEvent& event) {
    UpdateFormatBar();
    event.Skip();
  });
  editor_->Bind(wxEVT_LEFT_UP, [this](wxMouseEvent& event) {
    UpdateFormatBar();
    event.Skip();
  });
  sizer_->Add(editor_, 1, wxEXPAND);

  statusBar_ = new wxPanel(content, wxID_ANY);
  auto* statusSizer = new wxBoxSizer(wxHORIZONTAL);
  status_ = new wxStaticText(statusBar_, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize,
                             wxST_NO_AUTORESIZE | wxST_ELLIPSIZE_END);
  status_->SetName(Wx(kStatusName.Text()));
  cancel_ = new wxButton(statusBar_, kCancelSend, Wx(kCancelText.Text()));
  cancel_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunCommand(kCancelSend); });
  cancel_->Hide();
  statusSizer->Add(status_, 1, wxALIGN_CENTER_VERTICAL | wxLEFT | wxRIGHT, 8);
  statusSizer->Add(cancel_, 0, wxALL, 3);
  statusBar_->SetSizer(statusSizer);
  statusBar_->SetMinSize(wxSize(-1, FromDIP(28)));
  sizer_->Add(statusBar_, 0, wxEXPAND);
  content->SetSizer(sizer_);

  content->SetDropTarget(new CAttachDropTarget(*this));

  Bind(wxEVT_MENU, [this](wxCommandEvent& event) { RunCommand(event.GetId()); });
  Bind(wxEVT_CLOSE_WINDOW, &CComposeWnd::OnClose, this);
  Bind(wxEVT_ACTIVATE, [this](wxActivateEvent& event) {
    // Leaving the window keeps what was typed.
    if (!event.GetActive() && changedSinceAutosave_) AutosaveNow();
    event.Skip();
  });
  Bind(wxEVT_TIMER, [this](wxTimerEvent&) { AutosaveNow(); });
  autosaveTimer_.Start(kAutosaveMs);

  wxAcceleratorEntry keys[] = {
      {wxACCEL_CTRL, WXK_RETURN, kSendNow}, {wxACCEL_CTRL, 'S', kSaveDraft},  {wxACCEL_CTRL, 'W', kClose},
      {wxACCEL_CTRL, 'B', kBold},           {wxACCEL_CTRL, 'I', kItalic},     {wxACCEL_CTRL, 'U', kUnderline},
      {wxACCEL_NORMAL, WXK_F7, kSpellCheck}, {wxACCEL_CTRL | wxACCEL_SHIFT, 'A', kAttach},
  };
  SetAcceleratorTable(wxAcceleratorTable(static_cast<int>(std::size(keys)), keys));

  textOnly_ = app_.IsOn(vyr::kEmailSendTextOnly);
  LoadSpeller();
  ApplyArt();
  BuildToolbar();
  BuildMenus();
  SetStatus(ct::kStartStatus.Text());
  if (textOnly_) ShowTextOnly(true);
  fonts_->SetStringSelection(editor_->GetFont().GetFaceName());
  SetSize(FromDIP(wxSize(900, 640)));
  if (gAskAboutSettings) CallAfter([this] { AskAboutSettings(); });
}

CComposeWnd::~CComposeWnd() {
  auto& windows = OpenWindows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
  autosaveTimer_.Stop();
  vyr::platform::WindowMessages::Instance().Unregister(handle_);
  FinishInBackground();
}

void CComposeWnd::FinishInBackground() {
  if (!sendOutbox_) return;
  std::shared_ptr<vyr::Outbox> outbox = std::move(sendOutbox_);
  ++gFinishing;
  std::thread([outbox] {
    outbox->WaitForSendNow();
    --gFinishing;
  }).detach();
}

void CComposeWnd::AskAboutSettings() {
  const std::string server = app_.Get(vyr::kEmailSmtpServer);
  if (server.find('.') != std::string::npos) return;
  if (Ask(app_, vyr::kSettingsIncompleteQuestion.number, vyr::kSettingsIncompleteQuestion.Text(),
          vyr::kSetupRequiredTitle.Text()) == vyr::IDYES) {
    OpenMailSettings(app_, this);
  }
}

// --- building -----------------------------------------------------------------------------

void CComposeWnd::BuildFields(wxWindow* parent, wxBoxSizer* sizer) {
  auto* grid = new wxFlexGridSizer(2, FromDIP(4), FromDIP(6));
  grid->AddGrowableCol(1, 1);
  const std::vector<std::string> known = vyr::KnownAddresses(app_);
  auto field = [&](const TextId& label, bool addresses) {
    auto* text = new wxStaticText(parent, wxID_ANY, Wx(label.Text()));
    auto* box = new wxTextCtrl(parent, wxID_ANY);
    // The label names the box for screen readers too.
    std::string name = label.Text();
    if (!name.empty() && name.back() == ':') name.pop_back();
    box->SetName(Wx(name));
    if (addresses) box->AutoComplete(new CAddressCompleter(known));
    box->Bind(wxEVT_TEXT, [this](wxCommandEvent& event) {
      Changed();
      event.Skip();
    });
    grid->Add(text, 0, wxALIGN_CENTER_VERTICAL | wxALIGN_RIGHT);
    grid->Add(box, 1, wxEXPAND);
    return box;
  };
  to_ = field(kToLabel, true);
  cc_ = field(kCcLabel, true);
  bcc_ = field(kBccLabel, true);
  subject_ = field(kSubjectLabel, false);

  auto* attachLabel = new wxStaticText(parent, wxID_ANY, Wx(kAttachmentsName.Text() + ":"));
  auto* attachRow = new wxBoxSizer(wxHORIZONTAL);
  attachList_ = new wxListBox(parent, wxID_ANY, wxDefaultPosition, wxSize(-1, FromDIP(48)), 0, nullptr,
                              wxLB_EXTENDED | wxLB_HSCROLL);
  attachList_->SetName(Wx(kAttachmentsName.Text()));
  attachList_->SetDropTarget(new CAttachDropTarget(*this));
  attachList_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent&) {
    wxArrayInt selected;
    removeButton_->Enable(attachList_->GetSelections(selected) > 0 && !sending_ && !readOnly_);
  });
  attachList_->Bind(wxEVT_KEY_DOWN, [this](wxKeyEvent& event) {
    if (event.GetKeyCode() == WXK_DELETE) RunCommand(kRemoveAttachment); else event.Skip();
  });
  removeButton_ = new wxButton(parent, kRemoveAttachment, Wx(kRemoveText.Text()));
  removeButton_->SetToolTip(Wx(kRemoveTip.Text()));
  removeButton_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { RunCommand(kRemoveAttachment); });
  removeButton_->Enable(false);
  attachRow->Add(attachList_, 1, wxEXPAND);
  attachRow->Add(removeButton_, 0, wxLEFT | wxALIGN_TOP, FromDIP(6));
  grid->Add(attachLabel, 0, wxALIGN_TOP | wxALIGN_RIGHT | wxTOP, FromDIP(4));
  grid->Add(attachRow, 1, wxEXPAND);
  sizer->Add(grid, 0, wxEXPAND | wxALL, FromDIP(8));
}

void CComposeWnd::BuildFormatBar(wxWindow* parent) {
  formatBar_ = new wxPanel(parent, wxID_ANY);
  formatBar_->SetName(Wx(kFormatBarName.Text()));
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  const int size = FromDIP(22);
  for (size_t i = 0; i < std::size(kFormatCommands); ++i) {
    auto* button = new wxBitmapButton(formatBar_, kFormatCommands[i], wxBitmap(size, size), wxDefaultPosition,
                                      wxDefaultSize, wxBU_EXACTFIT);
    button->SetToolTip(Wx(kFormatTips[i].Text()));
    button->SetName(Wx(kFormatTips[i].Text()));
    button->Bind(wxEVT_BUTTON, [this](wxCommandEvent& event) { RunCommand(event.GetId()); });
    row->Add(button, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(2));
    formatButtons_.push_back(button);
    if (i == 1 || i == 4) row->AddSpacer(FromDIP(8));
  }
  row->AddSpacer(FromDIP(8));
  wxArrayString faces = wxFontEnumerator::GetFacenames();
  faces.Sort();
  fonts_ = new wxChoice(formatBar_, wxID_ANY, wxDefaultPosition, wxSize(FromDIP(190), -1), faces);
  fonts_->SetToolTip(Wx(kFontTip.Text()));
  fonts_->SetName(Wx(kFontTip.Text()));
  fonts_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ApplyFace(); });
  wxArrayString sizeNames;
  for (const TextId& name : kSizeNames) sizeNames.push_back(Wx(name.Text()));
  sizes_ = new wxChoice(formatBar_, wxID_ANY, wxDefaultPosition, wxDefaultSize, sizeNames);
  sizes_->SetToolTip(Wx(kSizeTip.Text()));
  sizes_->SetName(Wx(kSizeTip.Text()));
  sizes_->SetSelection(2);
  sizes_->Bind(wxEVT_CHOICE, [this](wxCommandEvent&) { ApplySize(); });
  row->Add(fonts_, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, FromDIP(4));
  row->Add(sizes_, 0, wxALIGN_CENTER_VERTICAL);
  formatBar_->SetSizer(row);
  auto* outer = new wxBoxSizer(wxVERTICAL);
  outer->Add(row, 0, wxALL, FromDIP(4));
  formatBar_->SetSizer(outer, false);
}

void CComposeWnd::ApplyArt() {
  const CSchemeArt& art = *Art();
  using vyr::SchemeColour;
  DressAsToolbar(*toolbar_, art, kToolbarIcons);
  const wxColour ground = art.Colour(SchemeColour::ToolBarBack);
  // The formatting bar and the status line wear the toolbar's colours.
  for (wxWindow* bar : {static_cast<wxWindow*>(formatBar_), static_cast<wxWindow*>(statusBar_)}) {
    bar->SetBackgroundColour(ground);
  }
  status_->SetForegroundColour(art.Colour(SchemeColour::ToolBarText));
  const wxColour ink = art.Colour(SchemeColour::ToolBarText);
  const int size = FromDIP(22);
  for (size_t i = 0; i < formatButtons_.size(); ++i) {
    formatButtons_[i]->SetBitmap(i == 0   ? ColourGlyph(true, editor_->GetBackgroundColour(), ink, ground, size)
                                 : i == 1 ? ColourGlyph(false, textColour_, ink, ground, size)
                                          : SymbolicIcon(kFormatIcons[i], ink, ground, size));
    formatButtons_[i]->SetBackgroundColour(ground);
  }
}

void CComposeWnd::BuildToolbar() {
  auto entry = [](int command, const std::string& text, const std::string& tip, int image) {
    return vyr::ButtonStripEntry{command, text, tip, image, 0};
  };
  const bool spelling = SpellingAvailable();
  std::vector<vyr::ButtonStripEntry> entries = {
      readOnly_ ? entry(kSendNow, kSendAgainText.Text(), kSendAgainTip.Text(), 0)
                : entry(kSendNow, kSendNowText.Text(), kSendNowTip.Text(), 0),
      entry(kSendLater, kSendLaterText.Text(), kSendLaterTip.Text(), 1),
      entry(kSaveAs, kSaveAsText.Text(), kSaveAsTip.Text(), 2),
      entry(kSaveDraft, kSaveDraftText.Text(), kSaveDraftTip.Text(), 3),
      entry(kAddressBook, kAddressBookText.Text(), kAddressBookTip.Text(), 4),
      entry(kAttach, kAttachText.Text(), kAttachTip.Text(), 5),
      entry(kSpellCheck, kSpellText.Text(), spelling ? kSpellTip.Text() : kNoDictionary.Text(),
            spelling ? 6 : kNoDictionaryImage),
      entry(kSettings, kSettingsText.Text(), kSettingsTip.Text(), 7),
  };
  toolbar_->SetEntries(std::move(entries));
  toolbar_->SetMinSize(wxSize(-1, toolbar_->GetBestSize().y));
  const bool editable = !readOnly_ && !sending_;
  for (int command : {kSendLater, kSaveDraft, kAttach, kAddressBook, kSpellCheck}) {
    toolbar_->EnableCommand(command, editable);
  }
  toolbar_->EnableCommand(kSendNow, !sending_);
  toolbar_->Refresh(false);
}

void CComposeWnd::BuildMenus() {
  SetSkinnedMenu([this] {
    auto item = [](wxMenu* menu, int command, const std::string& text, const char* key = nullptr) {
      wxString label = Wx(text);
      if (key) label += wxS("\t") + wxString::FromUTF8(key);
      return menu->Append(command, label);
    };
    const bool editable = !readOnly_ && !sending_;
    std::vector<SkinnedMenu> menus;
    auto file = std::make_unique<wxMenu>();
    item(file.get(), kSendNow, readOnly_ ? kSendAgainText.Text() : kSendNowText.Text(), "Ctrl+Enter");
    item(file.get(), kSendLater, kSendLaterText.Text());
    item(file.get(), kSaveDraft, kSaveDraftText.Text(), "Ctrl+S");
    item(file.get(), kSaveAs, kSaveAsText.Text() + "...");
    file->AppendSeparator();
    item(file.get(), kAttach, kAttachText.Text() + "...", "Ctrl+Shift+A");
    file->AppendSeparator();
    item(file.get(), kClose, kCloseItem.Text(), "Ctrl+W");
    for (int command : {kSendLater, kSaveDraft, kAttach}) file->Enable(command, editable);
    file->Enable(kSendNow, !sending_);
    auto edit = std::make_unique<wxMenu>();
    edit->Append(wxID_UNDO);
    edit->Append(wxID_REDO);
    edit->AppendSeparator();
    edit->Append(wxID_CUT);
    edit->Append(wxID_COPY);
    edit->Append(kPaste, wxGetStockLabel(wxID_PASTE));
    edit->Append(wxID_SELECTALL);
    edit->AppendSeparator();
    item(edit.get(), kSpellCheck, kSpellText.Text() + "...", "F7");
    edit->Enable(kSpellCheck, editable && SpellingAvailable());
    auto format = std::make_unique<wxMenu>();
    item(format.get(), kBold, kFormatTips[2].Text(), "Ctrl+B");
    item(format.get(), kItalic, kFormatTips[3].Text(), "Ctrl+I");
    item(format.get(), kUnderline, kFormatTips[4].Text(), "Ctrl+U");
    format->AppendSeparator();
    item(format.get(), kLeft, kFormatTips[5].Text());
    item(format.get(), kCenter, kFormatTips[6].Text());
    format->AppendSeparator();
    item(format.get(), kTextColour, kFormatTips[1].Text() + "...");
    item(format.get(), kBackColour, kFormatTips[0].Text() + "...");
    format->AppendSeparator();
    format->AppendCheckItem(kTextOnly, Wx(kTextOnlyItem.Text()));
    format->Check(kTextOnly, textOnly_);
    for (int command : {kBold, kItalic, kUnderline, kLeft, kCenter, kTextColour, kBackColour}) {
      format->Enable(command, editable && !textOnly_);
    }
    auto tools = std::make_unique<wxMenu>();
    item(tools.get(), kAddressBook, kAddressBookText.Text() + "...");
    item(tools.get(), kSettings, kSettingsText.Text());
    menus.push_back({Wx(kFileMenu.Text()), std::move(file)});
    menus.push_back({Wx(kEditMenu.Text()), std::move(edit)});
    menus.push_back({Wx(kFormatMenu.Text()), std::move(format)});
    menus.push_back({Wx(kToolsMenu.Text()), std::move(tools)});
    return menus;
  });
}

// --- content -----------------------------------------------------------------------------

void CComposeWnd::Fill(const Prefill& fill) {
  filling_ = true;
  to_->ChangeValue(Wx(fill.to));
  cc_->ChangeValue(Wx(fill.cc));
  subject_->ChangeValue(Wx(fill.subject));
  attachments_ = fill.attachments;
  attachList_->Clear();
  for (const std::string& path : attachments_) attachList_->Append(Wx(path));
  if (!fill.body.empty()) {
    vyr::RichTextDocument doc;
    vyr::CharFormat format = doc.DefaultFormat();
    doc.Append(WithoutCarriageReturns(fill.body), format);
    LoadDocument(*editor_, doc);
    editor_->SetBackgroundColour(*wxWHITE);
  }
  filling_ = false;
  // A prefilled message is a change of its own: closing it asks.
  changed_ = !fill.to.empty() || !fill.subject.empty() || !fill.body.empty() || !fill.attachments.empty();
}

bool CComposeWnd::LoadStored(const std::string& path) {
  std::string text;
  const bool wasUnread = vyr::MailStore::IsUnread(path);
  {
    // Reading the file must not change its read state.
    vyr::platform::FileTimesKeeper keep(path);
    if (!vyr::platform::ReadWholeFile(path, text)) return false;
  }
  const vyr::StoredMessage stored = vyr::ParseStoredMessage(text);
  filling_ = true;
  to_->ChangeValue(Wx(stored.to));
  cc_->ChangeValue(Wx(stored.cc));
  bcc_->ChangeValue(Wx(stored.bcc));
  subject_->ChangeValue(Wx(stored.subject));
  attachments_ = stored.attachments;
  attachList_->Clear();
  for (const std::string& file : attachments_) attachList_->Append(Wx(file));
  vyr::RichTextDocument doc;
  vyr::SetBodyRichText(stored.body, doc);
  LoadDocument(*editor_, doc);
  if (textOnly_) ShowTextOnly(true);
  filling_ = false;
  changed_ = false;
  storedPath_ = path;
  sourceWasUnread_ = wasUnread;
  // While it is open here it is not pending: a flush leaves it alone.
  vyr::MailStore::MarkRead(path);
  // A message of Sent Items is shown as it went out until Send Again.
  SetReadOnlyMode(vyr::SourceOf(path) == vyr::ComposeSource::SentItems);
  return true;
}

std::string CComposeWnd::ToText() const { return Utf8(to_->GetValue()); }
std::string CComposeWnd::CcText() const { return Utf8(cc_->GetValue()); }
std::string CComposeWnd::BccText() const { return Utf8(bcc_->GetValue()); }
std::string CComposeWnd::SubjectText() const { return Utf8(subject_->GetValue()); }

std::string CComposeWnd::BodyForm() const { return vyr::GetBodyRichText(ReadDocument(*editor_)); }

void CComposeWnd::SetSubjectText(const std::string& subject) {
  filling_ = true;
  subject_->ChangeValue(Wx(subject));
  filling_ = false;
}

void CComposeWnd::FocusToBox() { to_->SetFocus(); }
void CComposeWnd::FocusSubjectBox() { subject_->SetFocus(); }

std::string CComposeWnd::StatusText() const { return statusText_; }

void CComposeWnd::SetStatus(const std::string& text) {
  statusText_ = text;
  status_->SetLabel(Wx(text));
  statusBar_->Layout();
}

void CComposeWnd::Changed() {
  if (filling_) return;
  changed_ = true;
  changedSinceAutosave_ = true;
}

bool CComposeWnd::HasChanges() const { return changed_ || editor_->IsModified(); }

bool CComposeWnd::AutosaveNow() {
  if (!changedSinceAutosave_ || sending_ || !HasChanges()) return false;
  const std::string text = vyr::BuildStoredMessage(ToText(), CcText(), BccText(), vyr::SenderText(app_), SubjectText(), BodyForm(),
                                                   attachments_, vyr::MailDateNow());
  if (!autosave_.Save(text)) return false;
  changedSinceAutosave_ = false;
  return true;
}

void CComposeWnd::AttachFiles(const std::vector<std::string>& paths) {
  if (readOnly_ || sending_) return;
  for (const std::string& path : paths) {
    if (!vyr::platform::FileExists(path) || !std::ifstream(path).good()) {
      app_.Messages().Error(FillText(kCannotAttach.Text(), path));
      continue;
    }
    if (std::find(attachments_.begin(), attachments_.end(), path) != attachments_.end()) continue;
    attachments_.push_back(path);
    attachList_->Append(Wx(path));
    changed_ = changedSinceAutosave_ = true;
  }
}

void CComposeWnd::RemoveAttachments() {
  wxArrayInt selected;
  if (attachList_->GetSelections(selected) == 0 || readOnly_ || sending_) return;
  std::sort(selected.begin(), selected.end(), std::greater<int>());
  for (int index : selected) {
    attachments_.erase(attachments_.begin() + index);
    attachList_->Delete(static_cast<unsigned>(index));
  }
  removeButton_->Enable(false);
  changed_ = changedSinceAutosave_ = true;
}

void CComposeWnd::ChooseAttachments() {
  wxFileDialog dialog(this, Wx(kAttachTip.Text()), wxEmptyString, wxEmptyString, wxFileSelectorDefaultWildcardStr,
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST | wxFD_MULTIPLE);
  if (dialog.ShowModal() != wxID_OK) return;
  wxArrayString chosen;
  dialog.GetPaths(chosen);
  std::vector<std::string> paths;
  for (const wxString& path : chosen) paths.push_back(Utf8(path));
  AttachFiles(paths);
}

// --- modes --------------------------------------------------------------------------------

void CComposeWnd::SetReadOnlyMode(bool readOnly) {
  readOnly_ = readOnly;
  SetEditing(!readOnly);
  SetStatus(readOnly ? ct::kSendAgainStatus.Text() : ct::kStartStatus.Text());
  BuildToolbar();
}

void CComposeWnd::SetEditing(bool editable) {
  for (wxTextCtrl* box : {to_, cc_, bcc_, subject_}) box->SetEditable(editable);
  editor_->SetEditable(editable);
  formatBar_->Enable(editable);
  wxArrayInt selected;
  removeButton_->Enable(editable && attachList_->GetSelections(selected) > 0);
  BuildToolbar();
}

void CComposeWnd::ShowTextOnly(bool textOnly) {
  formatBar_->Show(!textOnly);
  formatBar_->Enable(!textOnly && !readOnly_ && !sending_);
  if (textOnly) {
    // The content becomes its own plain text in the editor's own format.
    vyr::BodyConverter converter(&app_.Messages());
    const std::string plain = converter.RichTextToPlainText(BodyForm());
    const bool wasChanged = HasChanges();
    vyr::RichTextDocument doc;
    doc.Append(WithoutCarriageReturns(plain), doc.DefaultFormat());
    filling_ = true;
    LoadDocument(*editor_, doc);
    filling_ = false;
    editor_->SetBackgroundColour(*wxWHITE);
    if (wasChanged) changed_ = true;
  }
  sizer_->Layout();
  editor_->Refresh();
}

void CComposeWnd::ToggleTextOnly() {
  if (!textOnly_) {
    vyr::BodyConverter converter(&app_.Messages());
    bool needsHtml = false;
    converter.RichTextToHtml(BodyForm(), needsHtml);
    if (needsHtml &&
        Ask(app_, ct::kTextOnlyQuestion.number, ct::kTextOnlyQuestion.Text(), ct::kHtmlFormatting.Text()) != vyr::IDYES) {
      return;
    }
  }
  textOnly_ = !textOnly_;
  app_.Write(vyr::kEmailSendTextOnly, textOnly_ ? 1 : 0);
  ShowTextOnly(textOnly_);
}

// --- commands ----------------------------------------------------------------------------

void CComposeWnd::RunCommand(int command) {
  switch (command) {
    case kSendNow:
      if (readOnly_) {
        SetReadOnlyMode(false);
        break;
      }
      SendNow();
      break;
    case kSendLater:
      if (!readOnly_ && !sending_) Queue(false);
      break;
    case kSaveDraft:
      if (!readOnly_ && !sending_) Queue(true);
      break;
    case kSaveAs: SaveAs(); break;
    case kAddressBook: CAddressBookWnd::Open(app_, this, this); break;
    case kSettings: OpenMailSettings(app_, this); break;
    case kAttach:
      if (!readOnly_ && !sending_) ChooseAttachments();
      break;
    case kRemoveAttachment: RemoveAttachments(); break;
    case kSpellCheck: RunSpellCheck(); break;
    case kTextOnly: ToggleTextOnly(); break;
    case kCancelSend: CancelSend(false); break;
    case kClose: Close(); break;
    case kBold:
    case kItalic:
    case kUnderline: ApplyCharFormat(command); break;
    case kLeft:
    case kCenter: ApplyAlignment(command); break;
    case kBackColour: ChooseColour(true); break;
    case kTextColour: ChooseColour(false); break;
    case kPaste:
      if (!editor_->IsEditable()) break;
      editor_->Paste();
      if (textOnly_) ShowTextOnly(true);
      break;
    case wxID_UNDO: editor_->Undo(); break;
    case wxID_REDO: editor_->Redo(); break;
    case wxID_CUT: editor_->Cut(); break;
    case wxID_COPY: editor_->Copy(); break;
    case wxID_SELECTALL: editor_->SelectAll(); break;
    default: break;
  }
}

bool CComposeWnd::AddRecipients(Field field, const std::string& entries) {
  if (readOnly_ || sending_) return false;
  wxTextCtrl* box = field == Field::kTo ? to_ : field == Field::kCc ? cc_ : bcc_;
  box->SetValue(Wx(vyr::AppendRecipients(Utf8(box->GetValue()), entries)));
  box->SetInsertionPointEnd();
  return true;
}

vyr::platform::WindowHandle CComposeWnd::MailWindow() const {
  CMailWnd* mail = CMailWnd::Current();
  return mail ? mail->Handle() : 0;
}

void CComposeWnd::SendNow() {
  if (sending_) return;
  // A server on this machine is reached without a network.
  const std::string server = app_.Get(vyr::kEmailSmtpServer);
  const bool local = server == "localhost" || server.rfind("127.", 0) == 0 || server == "::1";
  if (!local && !vyr::net::IsOnline()) {
    // No network: the message waits in the Outbox for the next check.
    app_.Messages().Information(ct::kQueued.Text());
    Queue(false);
    return;
  }
  if (!SpellBeforeSending()) return;
  SetEditing(false);
  cancel_->Show();
  statusBar_->Layout();
  handedOver_ = false;
  cancelled_ = false;
  app_.PlaySound("sendmail");
  FinishInBackground();  // a send stopped before
  sendOutbox_ = std::make_shared<vyr::Outbox>(app_, MailWindow());
  sending_ = true;
  if (!sendOutbox_->StartSendNow(*this)) {
    sending_ = false;
    sendOutbox_.reset();
    cancel_->Hide();
    SetEditing(true);
    return;
  }
  // The message is stored in the Outbox now: the autosave has done its work.
  autosave_.Discard();
  changedSinceAutosave_ = false;
  BuildToolbar();
}

bool CComposeWnd::Queue(bool draft) {
  SetStatus(ct::kQueueing.Text());
  if (draft) {
    to_->ChangeValue(Wx(vyr::TrimBlanks(ToText())));
    subject_->ChangeValue(Wx(vyr::TrimBlanks(SubjectText())));
  }
  vyr::Outbox outbox(app_, MailWindow());
  if (outbox.QueueMessage(*this, draft) != 0) {
    SetStatus(ct::kStartStatus.Text());
    return false;
  }
  // Stored: nothing is left to lose.
  autosave_.Discard();
  changed_ = changedSinceAutosave_ = false;
  editor_->DiscardEdits();
  sourceWasUnread_ = vyr::MailStore::IsUnread(storedPath_);
  return true;
}

void CComposeWnd::SaveAs() {
  const std::string body = BodyForm();
  vyr::BodyConverter converter(&app_.Messages());
  bool needsHtml = false;
  const std::string html = converter.RichTextToHtml(body, needsHtml);
  const bool asHtml = Ask(app_, ct::kSaveAsHtml.number, vyr::SaveAsQuestion(needsHtml), ct::kHtmlFormatting.Text()) ==
                      vyr::IDYES;
  const vyr::SaveAsForm form = vyr::SaveAsFormFor(asHtml);
  std::string filter = form.filter;
  while (!filter.empty() && filter.back() == '|') filter.pop_back();
  wxFileDialog dialog(this, Wx(ct::kSaveAsTitle.Text()), wxEmptyString, wxEmptyString, Wx(filter), wxFD_SAVE);
  if (dialog.ShowModal() != wxID_OK) return;
  const std::string path = vyr::WithDefaultExtension(Utf8(dialog.GetPath()), form);
  if (vyr::platform::FileExists(path) &&
      Ask(app_, ct::kFileExists.number, ct::kFileExists.Text(), ct::kOverwrite.Text()) != vyr::IDYES) {
    return;
  }
  const std::string text = asHtml ? html : converter.RichTextToPlainText(body);
  if (!vyr::platform::WriteFileAtomically(path, text)) app_.Messages().Error(ct::kCannotWrite.Text());
}

void CComposeWnd::CancelSend(bool closing) {
  if (!sending_ || handedOver_ || !sendOutbox_) return;
  // The worker stops at its next step, never inside a file operation; the
  // message it stored stays in the Outbox, pending, for the next check.
  // Its last reports are not this window's any more.
  cancelled_ = true;
  sendOutbox_->Abort();
  FinishInBackground();
  sending_ = false;
  cancel_->Hide();
  statusBar_->Layout();
  if (closing) {
    app_.Messages().Information(ct::kSendStopped.Text());
    return;
  }
  SetEditing(true);
  SetStatus(ct::kCanceled.Text());
}

// --- formatting ----------------------------------------------------------------------------

void CComposeWnd::ApplyCharFormat(int command) {
  if (textOnly_ || !editor_->IsEditable()) return;
  switch (command) {
    case kBold: editor_->ApplyBoldToSelection(); break;
    case kItalic: editor_->ApplyItalicToSelection(); break;
    case kUnderline: editor_->ApplyUnderlineToSelection(); break;
  }
  Changed();
  editor_->SetFocus();
}

void CComposeWnd::ApplyAlignment(int command) {
  if (textOnly_ || !editor_->IsEditable()) return;
  editor_->ApplyAlignmentToSelection(command == kCenter ? wxTEXT_ALIGNMENT_CENTRE : wxTEXT_ALIGNMENT_LEFT);
  Changed();
  editor_->SetFocus();
}

void CComposeWnd::ChooseColour(bool background) {
  if (textOnly_ || !editor_->IsEditable()) return;
  wxColourData data;
  data.SetColour(background ? editor_->GetBackgroundColour() : *wxBLACK);
  wxColourDialog dialog(this, &data);
  if (dialog.ShowModal() != wxID_OK) return;
  const wxColour colour = dialog.GetColourData().GetColour();
  if (!background) textColour_ = colour;
  if (background) {
    editor_->SetBackgroundColour(colour);
    editor_->Refresh();
  } else {
    wxRichTextAttr attr;
    attr.SetTextColour(colour);
    if (editor_->HasSelection()) {
      editor_->SetStyleEx(editor_->GetSelectionRange(), attr, wxRICHTEXT_SETSTYLE_WITH_UNDO);
    } else {
      editor_->BeginTextColour(colour);
    }
  }
  ApplyArt();
  Changed();
  editor_->SetFocus();
}

void CComposeWnd::ApplyFace() {
  if (textOnly_ || !editor_->IsEditable() || fonts_->GetSelection() == wxNOT_FOUND) return;
  wxRichTextAttr attr;
  attr.SetFontFaceName(fonts_->GetStringSelection());
  if (editor_->HasSelection()) {
    editor_->SetStyleEx(editor_->GetSelectionRange(), attr, wxRICHTEXT_SETSTYLE_WITH_UNDO);
  } else {
    editor_->BeginFont(wxFont(wxFontInfo(PointsForTwips(vyr::kDefaultHeightTwips)).FaceName(fonts_->GetStringSelection())));
  }
  Changed();
  editor_->SetFocus();
}

void CComposeWnd::ApplySize() {
  const int index = sizes_->GetSelection();
  if (textOnly_ || !editor_->IsEditable() || index < 0 || index >= 7) return;
  wxRichTextAttr attr;
  attr.SetFontPointSize(PointsForTwips(kEditorSizesTwips[index]));
  if (editor_->HasSelection()) {
    editor_->SetStyleEx(editor_->GetSelectionRange(), attr, wxRICHTEXT_SETSTYLE_WITH_UNDO);
  } else {
    editor_->BeginFontSize(PointsForTwips(kEditorSizesTwips[index]));
  }
  Changed();
  editor_->SetFocus();
}

void CComposeWnd::UpdateFormatBar() {
  if (textOnly_) return;
  wxRichTextAttr attr;
  if (!editor_->GetStyle(std::max(0L, editor_->GetInsertionPoint() - 1), attr)) return;
  const vyr::CharFormat format = FormatOf(attr);
  for (int i = 0; i < 7; ++i) {
    if (kEditorSizesTwips[i] == format.height) sizes_->SetSelection(i);
  }
  const wxString face = format.face.empty() ? editor_->GetFont().GetFaceName() : Wx(format.face);
  fonts_->SetSelection(fonts_->FindString(face));
}

// --- spelling ------------------------------------------------------------------------------

namespace {

// The editor as the spelling check sees it: its text with '\n' between
// paragraphs, a correction written in the format of the word it replaces.
class CEditorSpellTarget : public vyr::SpellTarget {
 public:
  explicit CEditorSpellTarget(CComposeEditor& editor) : editor_(editor) {}
  std::string Text() const override { return EditorText(editor_); }
  void ReplaceRange(size_t begin, size_t end, const std::string& with) override {
    const std::string text = Text();
    const long from = PositionOfOffset(text, begin), to = PositionOfOffset(text, end);
    wxRichTextAttr attr;
    editor_.GetStyle(from, attr);
    editor_.Remove(from, to);
    editor_.SetInsertionPoint(from);
    editor_.BeginStyle(attr);
    editor_.WriteText(Wx(with));
    editor_.EndStyle();
  }
  void ShowRange(size_t begin, size_t end) override {
    const std::string text = Text();
    const long from = PositionOfOffset(text, begin);
    editor_.SetSelection(from, PositionOfOffset(text, end));
    editor_.ShowPosition(from);
  }

 private:
  CComposeEditor& editor_;
};

}  // namespace

void CComposeWnd::LoadSpeller() {
  const std::string root = vyr::MailStore(app_).MailRoot(false);
  speller_.reset();
  if (!root.empty() && vyr::SpellCheckAvailable(root)) {
    speller_ = std::make_unique<vyr::Speller>(root);
    if (!speller_->Ok()) speller_.reset();
  }
  if (!speller_) {
    editor_->SetChecker(nullptr);
    return;
  }
  editor_->SetChecker([this](const std::string& text) {
    std::vector<std::pair<size_t, size_t>> out;
    if (speller_) {
      for (const vyr::ByteRange& range : vyr::MisspeltWords(*speller_, text)) out.emplace_back(range.begin, range.end);
    }
    return out;
  });
}

bool CComposeWnd::SpellingAvailable() const { return speller_ != nullptr; }

bool CComposeWnd::SpellBeforeSending() {
  CEditorSpellTarget target(*editor_);
  const vyr::SpellBeforeSend step = SpellCheckBeforeSending(
      app_, this, target, [this](const std::string& text) { SetStatus(text); }, speller_.get());
  editor_->Recheck();
  if (step == vyr::SpellBeforeSend::kBackToEditor) {
    editor_->SetFocus();
    return false;
  }
  if (step == vyr::SpellBeforeSend::kCheckCancelled) {
    return Ask(app_, ct::kContinueSending.number, ct::kContinueSending.Text(), ct::kSpellCanceled.Text()) ==
           vyr::IDYES;
  }
  return true;
}

void CComposeWnd::RunSpellCheck() {
  if (!SpellingAvailable()) {
    app_.Messages().Information(kNoDictionary.Text());
    return;
  }
  if (readOnly_ || sending_) return;
  CEditorSpellTarget target(*editor_);
  ::RunSpellCheck(app_, this, target, [this](const std::string& text) { SetStatus(text); }, speller_.get());
  // Words added to the user's list are no longer marked.
  editor_->Recheck();
  editor_->SetFocus();
}

// --- what the workers report -------------------------------------------------------------

void CComposeWnd::OnWindowMessage(const vyr::platform::WindowMessage& message) {
  const std::string text = message.text.value_or(std::string());
  switch (message.message) {
    case vyr::kMsgSendStatus:
      if (!cancelled_) SetStatus(text);
      break;
    case vyr::kMsgSendError:
      if (cancelled_) break;
      sending_ = false;
      cancel_->Hide();
      SetEditing(true);
      if (!text.empty()) app_.Messages().Error(text);
      break;
    case vyr::kMsgSendEndOfData:
      // From here on the server has the message: closing no longer stops it.
      handedOver_ = true;
      cancel_->Hide();
      statusBar_->Layout();
      break;
    case vyr::kMsgComposeClose:
      if (cancelled_) {
        cancelled_ = false;
        break;
      }
      // The message is stored (Outbox, Draft or Sent Items).
      sending_ = false;
      changed_ = changedSinceAutosave_ = false;
      editor_->DiscardEdits();
      autosave_.Discard();
      storedPath_.clear();
      Destroy();
      break;
    default: break;
  }
}

void CComposeWnd::OnClose(wxCloseEvent& event) {
  if (sending_ && !handedOver_) {
    CancelSend(true);
  } else if (!sending_ && HasChanges() && event.CanVeto()) {
    const vyr::CloseQuestion question = vyr::ClosingQuestion(vyr::SourceOf(storedPath_), ToText(), SubjectText());
    const unsigned key = vyr::SourceOf(storedPath_) == vyr::ComposeSource::Outbox  ? ct::kSaveChanges.number
                    : vyr::SourceOf(storedPath_) == vyr::ComposeSource::Draft ? ct::kSaveChanges.number + 1
                                                                               : ct::kNotSentOrSaved.number;
    const int answer = Ask(app_, key, question.text, question.caption);
    if (answer == vyr::IDYES) {
      // The window goes only once the message is stored: an empty To, the
      // subject question or a write error keep it open.
      const bool stored = Queue(question.onYes == vyr::CloseQuestion::Save::SaveDraft);
      if (!stored) {
        event.Veto();
        return;
      }
    } else if (answer != vyr::IDNO) {
      event.Veto();
      return;
    }
  }
  autosave_.Discard();
  // A stored message that was pending before it was opened is pending again.
  if (!storedPath_.empty() && sourceWasUnread_ && vyr::platform::FileExists(storedPath_)) {
    vyr::MailStore::MarkUnread(storedPath_);
  }
  Destroy();
}

#include "mail/windows/spell_dialog.h"

#include <gtk/gtk.h>

#include <memory>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/evtloop.h>
#include <wx/listbox.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/stopwatch.h>
#include <wx/textctrl.h>
#include <wx/utils.h>

#include "base/application.h"
#include "mail/windows/spell_texts.h"

namespace {

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }

// How long the check's counts stay in the status line before sending goes on.
constexpr long kStatusPauseMs = 500;

// Gives a control the name screen readers read for it (a text field or a
// list is not named by the label beside it).
void NameForScreenReaders(wxWindow* control, const wxString& name, const wxString& description = {}) {
  AtkObject* accessible = gtk_widget_get_accessible(control->GetConnectWidget());
  if (!accessible) return;
  atk_object_set_name(accessible, name.utf8_str());
  if (!description.empty()) atk_object_set_description(accessible, description.utf8_str());
}

// A label's text as screen readers say it: without the key letter's mark
// and the colon.
wxString Spoken(const wxString& label) {
  wxString text = wxStripMenuCodes(label);
  if (text.EndsWith(":")) text.RemoveLast();
  return text;
}

// The character position in a text control of a byte offset of UTF-8 text.
long CharPosition(const std::string& text, size_t byte) { return static_cast<long>(U(text.substr(0, byte)).length()); }

// The status line's half second: the window keeps drawing (paint and size
// events go on) while the user's clicks and keys wait until it is over, so
// nothing starts a second send in the middle of it.
void PauseDrawing(wxWindow* window, long ms) {
  if (window) window->Update();
  wxStopWatch clock;
  while (clock.Time() < ms) {
    if (wxEventLoopBase* loop = wxEventLoopBase::GetActive()) loop->YieldFor(wxEVT_CATEGORY_UI);
    wxMilliSleep(10);
  }
}

// The key letter of a label ("&Change": 'C'), 0 when it has none.
wxChar KeyLetter(const wxString& label) {
  const int mark = label.Find('&');
  if (mark == wxNOT_FOUND || static_cast<size_t>(mark) + 1 >= label.length()) return 0;
  return wxToupper(label[static_cast<size_t>(mark) + 1]);
}

// Presses the enabled button or check box of the panel whose key letter is
// the key, at once (the toolkit's own key letters press a button only after
// a short show of it being pressed). Whether one was there.
bool PressForKey(wxWindow* panel, int key, bool buttonsOnly = false) {
  if (key <= 0 || key > 0xFFFF) return false;
  for (wxWindow* child : panel->GetChildren()) {
    auto* box = buttonsOnly ? nullptr : wxDynamicCast(child, wxCheckBox);
    auto* button = wxDynamicCast(child, wxButton);
    if ((!box && !button) || !child->IsEnabled() || KeyLetter(child->GetLabel()) != wxToupper(key)) continue;
    if (box) {
      box->SetFocus();
      box->SetValue(!box->GetValue());
      wxCommandEvent toggled(wxEVT_CHECKBOX, box->GetId());
      toggled.SetEventObject(box);
      toggled.SetInt(box->GetValue());
      box->ProcessWindowEvent(toggled);
    } else {
      wxCommandEvent click(wxEVT_BUTTON, button->GetId());
      click.SetEventObject(button);
      button->ProcessWindowEvent(click);
    }
    return true;
  }
  return false;
}

}  // namespace

// --- the spelling dialog ------------------------------------------------------------------

CSpellDialog::CSpellDialog(wxWindow* parent, vyr::SpellSession& session, const vyr::Misspelling& first)
    : CColoredDlg(parent, U(spell_text::kDialogTitle.Text())), session_(session) {
  wxPanel* panel = ContentPanel();
  auto* left = new wxBoxSizer(wxVERTICAL);
  auto* notFound = new wxStaticText(panel, wxID_ANY, U(spell_text::kNotInDictionary.Text()));
  left->Add(notFound, 0, wxBOTTOM, 4);
  context_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(360, 64),
                            wxTE_MULTILINE | wxTE_READONLY | wxTE_RICH2 | wxTE_WORDWRAP, wxDefaultValidator,
                            "spell_context");
  left->Add(context_, 0, wxEXPAND | wxBOTTOM, 10);
  // Each field is made after its label: the label's key letter moves the
  // focus to it.
  auto* changeLabel = new wxStaticText(panel, wxID_ANY, U(spell_text::kChangeTo.Text()));
  left->Add(changeLabel, 0, wxBOTTOM, 4);
  changeTo_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxDefaultSize, 0,
                             wxDefaultValidator, "spell_change_to");
  left->Add(changeTo_, 0, wxEXPAND | wxBOTTOM, 10);
  auto* listLabel = new wxStaticText(panel, wxID_ANY, U(spell_text::kSuggestions.Text()));
  left->Add(listLabel, 0, wxBOTTOM, 4);
  suggestions_ = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(-1, 130), 0, nullptr, wxLB_SINGLE,
                               wxDefaultValidator, "spell_suggestions");
  left->Add(suggestions_, 1, wxEXPAND);
  NameForScreenReaders(context_, Spoken(notFound->GetLabel()));
  NameForScreenReaders(changeTo_, Spoken(changeLabel->GetLabel()));
  NameForScreenReaders(suggestions_, Spoken(listLabel->GetLabel()));

  auto* buttons = new wxBoxSizer(wxVERTICAL);
  auto button = [&](const vyr::platform::TextId& label, const char* name, int id = wxID_ANY) {
    auto* b = new wxButton(panel, id, U(label.Text()), wxDefaultPosition, wxDefaultSize, 0, wxDefaultValidator,
                           name);
    buttons->Add(b, 0, wxEXPAND | wxBOTTOM, 6);
    return b;
  };
  wxButton* ignore = button(spell_text::kIgnore, "spell_ignore");
  wxButton* ignoreAll = button(spell_text::kIgnoreAll, "spell_ignore_all");
  wxButton* add = button(spell_text::kAdd, "spell_add");
  buttons->AddSpacer(8);
  wxButton* change = button(spell_text::kChange, "spell_change");
  wxButton* changeAll = button(spell_text::kChangeAll, "spell_change_all");
  buttons->AddSpacer(8);
  button(spell_text::kCancel, "spell_cancel", wxID_CANCEL);
  change->SetDefault();
  SetEscapeId(wxID_CANCEL);
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    if (e.GetModifiers() == wxMOD_ALT && PressForKey(ContentPanel(), e.GetKeyCode())) return;
    e.Skip();
  });

  ignore->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    session_.Ignore();
    Advance();
  });
  ignoreAll->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    session_.IgnoreAll();
    Advance();
  });
  add->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    session_.Add();
    Advance();
  });
  change->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    session_.Change(ChangeTo());
    Advance();
  });
  changeAll->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) {
    session_.ChangeAll(ChangeTo());
    Advance();
  });
  suggestions_->Bind(wxEVT_LISTBOX, [this](wxCommandEvent& e) { changeTo_->ChangeValue(e.GetString()); });
  suggestions_->Bind(wxEVT_LISTBOX_DCLICK, [this](wxCommandEvent& e) {
    session_.Change(std::string(e.GetString().utf8_str()));
    Advance();
  });

  auto* sizer = new wxBoxSizer(wxHORIZONTAL);
  sizer->Add(left, 1, wxEXPAND | wxALL, 10);
  sizer->Add(buttons, 0, wxTOP | wxRIGHT | wxBOTTOM, 10);
  panel->SetSizer(sizer);
  FinishLayout();
  ShowWord(first);
}

void CSpellDialog::ShowWord(const vyr::Misspelling& word) {
  context_->ChangeValue(U(word.context));
  wxTextAttr marked;
  marked.SetTextColour(wxColour(192, 0, 0));
  marked.SetFontWeight(wxFONTWEIGHT_BOLD);
  context_->SetStyle(CharPosition(word.context, word.inContext.begin), CharPosition(word.context, word.inContext.end),
                     marked);
  context_->ShowPosition(CharPosition(word.context, word.inContext.begin));
  // Screen readers hear the word itself as the box's description.
  NameForScreenReaders(context_, Spoken(U(spell_text::kNotInDictionary.Text())), U(word.word));

  suggestions_->Clear();
  for (const std::string& s : word.suggestions) suggestions_->Append(U(s));
  if (!word.suggestions.empty()) suggestions_->SetSelection(0);
  changeTo_->ChangeValue(U(word.suggestions.empty() ? word.word : word.suggestions.front()));
  changeTo_->SetFocus();
  changeTo_->SelectAll();
}

std::string CSpellDialog::ChangeTo() const { return std::string(changeTo_->GetValue().utf8_str()); }

void CSpellDialog::Advance() {
  if (const vyr::Misspelling* next = session_.Next()) {
    ShowWord(*next);
  } else {
    EndModal(wxID_OK);
  }
}

// --- the question before sending -------------------------------------------------------------

CSpellOptionsDlg::CSpellOptionsDlg(wxWindow* parent, vyr::Application& app)
    : CColoredDlg(parent, U(spell_text::kOptionsTitle.Text())), app_(app) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  text_ = new wxStaticText(panel, wxID_ANY, U(spell_text::kQuestion.Text()), wxDefaultPosition, wxDefaultSize, 0,
                           "spell_question");
  sizer->Add(text_, 0, wxALL, 12);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  yes_ = new wxButton(panel, wxID_YES, StandardLabel(wxID_YES), wxDefaultPosition, wxDefaultSize, 0,
                      wxDefaultValidator, "spell_yes");
  no_ = new wxButton(panel, wxID_NO, StandardLabel(wxID_NO), wxDefaultPosition, wxDefaultSize, 0,
                     wxDefaultValidator, "spell_no");
  row->Add(yes_, 0, wxRIGHT, 8);
  row->Add(no_);
  sizer->Add(row, 0, wxALIGN_CENTER_HORIZONTAL | wxLEFT | wxRIGHT | wxBOTTOM, 12);
  always_ = new wxCheckBox(panel, wxID_ANY, U(spell_text::kAlwaysBox.Text()), wxDefaultPosition, wxDefaultSize, 0,
                           wxDefaultValidator, "spell_always");
  never_ = new wxCheckBox(panel, wxID_ANY, U(spell_text::kNeverBox.Text()), wxDefaultPosition, wxDefaultSize, 0,
                          wxDefaultValidator, "spell_never");
  sizer->Add(always_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  sizer->Add(never_, 0, wxLEFT | wxRIGHT | wxBOTTOM, 12);
  panel->SetSizer(sizer);
  yes_->SetDefault();
  // Escape and the close box end the dialog with neither answer.
  SetEscapeId(wxID_NONE);
  Bind(wxEVT_CLOSE_WINDOW, [this](wxCloseEvent&) { EndModal(wxID_CANCEL); });

  yes_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(end_ = wxID_YES); });
  no_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { EndModal(end_ = wxID_NO); });
  always_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent& e) {
    if (e.IsChecked()) app_.PlaySound("save", 1);
    FollowBoxes();
  });
  never_->Bind(wxEVT_CHECKBOX, [this](wxCommandEvent&) { FollowBoxes(); });
  // Y and N (the buttons' key letters) answer without Alt too, as in a
  // box; Escape closes.
  Bind(wxEVT_CHAR_HOOK, [this](wxKeyEvent& e) {
    const int key = e.GetKeyCode();
    if (e.GetModifiers() == wxMOD_NONE && key == WXK_ESCAPE) {
      EndModal(wxID_CANCEL);
      return;
    }
    if (e.GetModifiers() == wxMOD_NONE && PressForKey(ContentPanel(), key, true)) return;
    if (e.GetModifiers() == wxMOD_ALT && PressForKey(ContentPanel(), key)) return;
    e.Skip();
  });
  FinishLayout();
  yes_->SetFocus();
}

void CSpellOptionsDlg::FollowBoxes() {
  const bool always = always_->GetValue();
  const bool never = never_->GetValue();
  text_->SetLabel(U(always  ? spell_text::kAlwaysQuestion.Text()
                    : never ? spell_text::kNeverQuestion.Text()
                            : spell_text::kQuestion.Text()));
  never_->Enable(!always);
  no_->Enable(!always);
  always_->Enable(!never);
  yes_->Enable(!never);
  // The scheme's text colour holds in every state: a box that is off is
  // drawn halfway to the background.
  const wxColour text = text_->GetForegroundColour(), back = ContentPanel()->GetBackgroundColour();
  const wxColour faded((text.Red() + back.Red()) / 2, (text.Green() + back.Green()) / 2,
                       (text.Blue() + back.Blue()) / 2);
  for (wxCheckBox* box : {always_, never_}) {
    box->SetForegroundColour(box->IsEnabled() ? text : faded);
    box->Refresh();
  }
  no_->SetLabel(StandardLabel(never ? wxID_OK : wxID_NO));
  (never ? no_ : yes_)->SetDefault();
  // A control that went off takes the keyboard with it: it goes to the box
  // the user just ticked.
  wxWindow* focus = FindFocus();
  if (!focus || !focus->IsEnabled()) {
    wxWindow* ticked = always ? always_ : never ? never_ : static_cast<wxWindow*>(yes_);
    ticked->SetFocus();
  }
  ContentPanel()->Layout();
}

vyr::SpellQuestionAnswer CSpellOptionsDlg::Answer() const {
  vyr::SpellQuestionAnswer answer;
  answer.end = end_ == wxID_YES  ? vyr::SpellQuestionAnswer::End::kYes
               : end_ == wxID_NO ? vyr::SpellQuestionAnswer::End::kNo
                                 : vyr::SpellQuestionAnswer::End::kClosed;
  answer.always = always_->GetValue();
  answer.never = never_->GetValue();
  return answer;
}

// --- running a check -----------------------------------------------------------------------

int RunSpellCheck(vyr::Application& app, wxWindow* parent, vyr::SpellTarget& target, SpellStatusSetter setStatus,
                  vyr::Speller* speller) {
  std::unique_ptr<vyr::Speller> own;
  if (!speller) {
    wxBusyCursor busy;
    own = std::make_unique<vyr::Speller>(app.GetDataDirectory("email", true));
    speller = own.get();
  }
  if (!speller->Ok()) return 0;
  vyr::SpellSession session(*speller, target);
  if (const vyr::Misspelling* first = session.Next()) {
    CSpellDialog dialog(parent, session, *first);
    if (dialog.ShowModal() != wxID_OK) return 0;
  }
  if (setStatus) setStatus(vyr::SpellStatusText(session.Stats()));
  PauseDrawing(parent, kStatusPauseMs);
  return 1;
}

vyr::SpellBeforeSend SpellCheckBeforeSending(vyr::Application& app, wxWindow* parent, vyr::SpellTarget& target,
                                             SpellStatusSetter setStatus, vyr::Speller* speller) {
  const bool available = vyr::SpellCheckAvailable(app.GetDataDirectory("email", true));
  return vyr::SpellStepBeforeSending(
      app, available,
      [&] {
        CSpellOptionsDlg question(parent, app);
        question.ShowModal();
        return question.Answer();
      },
      [&] { return RunSpellCheck(app, parent, target, setStatus, speller) == 1; });
}

#pragma once
// Spelling in the compose window: the spelling dialog over a SpellSession,
// the whole check run from the toolbar, and the question before sending
// ("Spell Check Options"). All of it is modal over the compose window and
// runs on the user-interface thread.
//
// The controls carry fixed window names for the window tests:
//   spelling dialog: spell_context, spell_change_to, spell_suggestions,
//     spell_change (Alt+C), spell_change_all (Alt+L), spell_ignore (Alt+I),
//     spell_ignore_all (Alt+G), spell_add (Alt+A), spell_cancel (Escape);
//   question: spell_question (its text line), spell_yes (Y), spell_no (N,
//     then O while it reads "OK"), spell_always (Alt+W), spell_never (Alt+E).
#include <functional>
#include <string>

#include "mail/body/spelling.h"
#include "ui/windows/colored_dlg.h"

namespace vyr {
class Application;
}

class wxButton;
class wxCheckBox;
class wxListBox;
class wxStaticText;
class wxTextCtrl;

// "Not in dictionary:": the word in its sentence, "Change to:" with the first
// suggestion, the suggestions and the answers. Ends with wxID_OK when the
// session has gone through the whole text, wxID_CANCEL when cancelled.
class CSpellDialog : public CColoredDlg {
 public:
  CSpellDialog(wxWindow* parent, vyr::SpellSession& session, const vyr::Misspelling& first);

 private:
  void ShowWord(const vyr::Misspelling& word);
  // After an answer: the next word, or the end of the check.
  void Advance();
  std::string ChangeTo() const;

  vyr::SpellSession& session_;
  wxTextCtrl* context_ = nullptr;
  wxTextCtrl* changeTo_ = nullptr;
  wxListBox* suggestions_ = nullptr;
};

// The question before sending: the text line, Yes, No and the two boxes
// that store the answer for good.
class CSpellOptionsDlg : public CColoredDlg {
 public:
  CSpellOptionsDlg(wxWindow* parent, vyr::Application& app);
  // How the dialog ended (after ShowModal).
  vyr::SpellQuestionAnswer Answer() const;

 private:
  void FollowBoxes();

  vyr::Application& app_;
  wxStaticText* text_ = nullptr;
  wxButton* yes_ = nullptr;
  wxButton* no_ = nullptr;
  wxCheckBox* always_ = nullptr;
  wxCheckBox* never_ = nullptr;
  int end_ = 0;
};

using SpellStatusSetter = std::function<void(const std::string&)>;

// Checks the target's spelling with the dialog. 1: the check went through
// the whole text (then the status line shows the counts for half a second);
// 0: cancelled, or no lexicon to check with. A text without a misspelt word
// completes at once. speller: the compose window's own, so that added and
// ignored words count in its underline too; null opens one for this check.
int RunSpellCheck(vyr::Application& app, wxWindow* parent, vyr::SpellTarget& target,
                  SpellStatusSetter setStatus, vyr::Speller* speller = nullptr);

// The spelling step of Send Now: as "SpellCheckWhenSending" says, or as the
// question is answered. Closing the question goes back to the editor.
vyr::SpellBeforeSend SpellCheckBeforeSending(vyr::Application& app, wxWindow* parent, vyr::SpellTarget& target,
                                             SpellStatusSetter setStatus, vyr::Speller* speller = nullptr);

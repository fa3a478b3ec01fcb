#include "mail/windows/mail_dialogs.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include <wx/app.h>
#include <wx/checkbox.h>
#include <wx/choice.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/weakref.h>

#include "mail/windows/mail_texts.h"
#include "platform/text.h"

namespace {

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

std::string Fill(std::string text, const std::string& first, const std::string& second) {
  return vyr::platform::FillPlaceholders(std::move(text), {first, second});
}

// A dialog of one line of text above one control, with OK and Cancel.
class CPromptDlg : public CColoredDlg {
 public:
  CPromptDlg(wxWindow* parent, const std::string& title, const std::string& prompt)
      : CColoredDlg(parent, U(title)) {
    prompt_ = new wxStaticText(ContentPanel(), wxID_ANY, U(prompt));
  }
  // Lays out the prompt, the control (named for screen readers by the
  // prompt) and the buttons.
  void Finish(wxWindow* control) {
    control->SetName(prompt_->GetLabel());
    auto* sizer = new wxBoxSizer(wxVERTICAL);
    sizer->Add(prompt_, 0, wxALL, 10);
    sizer->Add(control, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
    sizer->Add(OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 10);
    ContentPanel()->SetSizer(sizer);
    FinishLayout();
    control->SetFocus();
  }

 private:
  wxStaticText* prompt_ = nullptr;
};

}  // namespace

CMailPasswordDlg::CMailPasswordDlg(wxWindow* parent, const std::string& account, const std::string& server)
    : CColoredDlg(parent, U(mail_text::kPasswordTitle.Text())) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  sizer->Add(new wxStaticText(panel, wxID_ANY, U(Fill(mail_text::kPasswordText.Text(), account, server))), 0,
             wxALL, 10);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  auto* label = new wxStaticText(panel, wxID_ANY, U(mail_text::kPasswordLabel.Text()));
  row->Add(label, 0, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  // Created after its label: the label's key letter moves the focus here.
  password_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(220, -1), wxTE_PASSWORD);
  password_->SetName(wxStripMenuCodes(label->GetLabel()));
  row->Add(password_, 1);
  sizer->Add(row, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
  remember_ = new wxCheckBox(panel, wxID_ANY, U(mail_text::kRememberPassword.Text()));
  sizer->Add(remember_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
  sizer->Add(OkCancelRow(), 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);
  FinishLayout();
  password_->SetFocus();
}

std::string CMailPasswordDlg::Password() const { return Utf8(password_->GetValue()); }
bool CMailPasswordDlg::Remember() const { return remember_->GetValue(); }

// --- the question from the worker -------------------------------------------------

struct CPasswordQuestion::State {
  std::mutex mutex;
  std::condition_variable answered;
  wxWeakRef<wxWindow> parent;
  bool closed = false;
  unsigned asked = 0, done = 0;  // questions handed over and answered
  bool ok = false;
  std::string password;
  bool remember = false;
};

CPasswordQuestion::CPasswordQuestion(wxWindow* parent) : state_(std::make_shared<State>()) {
  state_->parent = parent;
}

CPasswordQuestion::~CPasswordQuestion() { Close(); }

void CPasswordQuestion::Close() {
  std::lock_guard<std::mutex> lock(state_->mutex);
  state_->closed = true;
  state_->answered.notify_all();
}

bool CPasswordQuestion::AskPassword(const std::string& account, const std::string& server, std::string& password,
                                    bool& remember) {
  // Only the shared state is used from here on: a worker that is forgotten
  // while it waits may outlive this object.
  std::shared_ptr<State> state = state_;
  unsigned number = 0;
  {
    std::lock_guard<std::mutex> lock(state->mutex);
    if (state->closed || !wxTheApp) return false;
    number = ++state->asked;
  }
  auto ask = [state, number, account, server] {
    bool ok = false, keep = false;
    std::string typed;
    wxWindow* parent = nullptr;
    {
      std::lock_guard<std::mutex> lock(state->mutex);
      if (!state->closed) parent = state->parent.get();
    }
    if (parent) {
      CMailPasswordDlg dialog(parent, account, server);
      ok = dialog.ShowModal() == wxID_OK;
      typed = dialog.Password();
      keep = dialog.Remember();
    }
    std::lock_guard<std::mutex> lock(state->mutex);
    state->ok = ok;
    state->password = typed;
    state->remember = keep;
    state->done = number;
    state->answered.notify_all();
  };
  if (wxThread::IsMain()) {
    ask();
  } else {
    wxTheApp->CallAfter(ask);
  }
  std::unique_lock<std::mutex> lock(state->mutex);
  state->answered.wait(lock, [&] { return state->closed || state->done == number; });
  if (state->done != number || !state->ok) return false;
  password = state->password;
  remember = state->remember;
  return true;
}

// --- names and folders ---------------------------------------------------------------

bool AskFolderName(wxWindow* parent, const std::string& title, const std::string& prompt, std::string& name) {
  CPromptDlg dialog(parent, title, prompt);
  auto* field = new wxTextCtrl(dialog.ContentPanel(), wxID_ANY, U(name), wxDefaultPosition, wxSize(260, -1));
  dialog.Finish(field);
  field->SelectAll();
  if (dialog.ShowModal() != wxID_OK) return false;
  name = Utf8(field->GetValue());
  return true;
}

bool ChooseFolder(wxWindow* parent, const std::vector<std::string>& folders, std::string& chosen) {
  CPromptDlg dialog(parent, mail_text::kMoveTitle.Text(), mail_text::kMovePrompt.Text());
  auto* choice = new wxChoice(dialog.ContentPanel(), wxID_ANY);
  for (const std::string& folder : folders) choice->Append(U(folder));
  choice->SetSelection(0);
  dialog.Finish(choice);
  if (dialog.ShowModal() != wxID_OK || choice->GetSelection() == wxNOT_FOUND) return false;
  chosen = folders[static_cast<size_t>(choice->GetSelection())];
  return true;
}

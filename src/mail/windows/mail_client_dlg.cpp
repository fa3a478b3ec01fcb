#include "mail/windows/mail_client_dlg.h"

#include <gtk/gtk.h>

#include <wx/app.h>
#include <wx/button.h>
#include <wx/filedlg.h>
#include <wx/listbox.h>
#include <wx/radiobut.h>
#include <wx/sizer.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "base/application.h"
#include "base/settings_table.h"
#include "mail/windows/mail_client_texts.h"
#include "mail/windows/mail_wnd.h"
#include "platform/text.h"

namespace {

using namespace mail_client_text;

wxString U(const std::string& text) { return wxString::FromUTF8(text.c_str()); }
std::string Utf8(const wxString& text) { return std::string(text.utf8_str()); }

// The text with each "%s" filled in turn.
std::string Fill(std::string text, std::initializer_list<std::string_view> values) {
  return vyr::platform::FillPlaceholders(std::move(text), values);
}

void NameForScreenReaders(wxWindow* control, const std::string& name) {
  if (AtkObject* accessible = gtk_widget_get_accessible(control->GetConnectWidget())) {
    atk_object_set_name(accessible, name.c_str());
  }
}

// A question whose "Don't show me this again" box keeps a yes for the rest
// of the run (a kept no would leave the user nowhere to go).
bool AskKeepingYes(vyr::Application& app, bool& keptYes, const std::string& text, const std::string& title) {
  if (keptYes) return true;
  bool dontShow = false;
  const bool yes = app.Messages().Question(text, title, &dontShow) == vyr::IDYES;
  if (yes && dontShow) keptYes = true;
  return yes;
}

bool keptChangeAnswer = false;

// The program did not take what it was given: the user may check the
// choice. With a message, the message then opens in the compose window.
// "Don't show me this again" silences the question for the mail program
// alone; a message that was not handed over is always told about.
bool quietProgramFailures = false;

void TellProgramFailed(vyr::Application& app, const std::string& program, const CComposeWnd::Prefill* message) {
  const std::string shown = program.empty() ? kNoneFound.Text() : program;
  if (message || !quietProgramFailures) {
    bool dontShow = false;
    const int answer =
        app.Messages().Question(vyr::MailProgramFailureText(shown), vyr::MailProgramFailureTitle(), &dontShow);
    if (dontShow && !message) quietProgramFailures = true;
    if (answer == vyr::IDYES) ShowMailClientDialog(app, wxTheApp ? wxTheApp->GetTopWindow() : nullptr);
  }
  if (message) CComposeWnd::OpenNew(app, *message);
}

}  // namespace

CMailClientDlg::CMailClientDlg(vyr::Application& app, wxWindow* parent)
    : CColoredDlg(parent, U(kTitle.Text())), app_(app), clients_(vyr::DesktopMailClients()),
      current_(vyr::CurrentMailClient()) {
  wxPanel* panel = ContentPanel();
  auto* sizer = new wxBoxSizer(wxVERTICAL);
  auto* explanation = new wxStaticText(panel, wxID_ANY, U(kExplanation.Text()));
  explanation->Wrap(420);
  sizer->Add(explanation, 0, wxALL, 10);

  desktop_ = new wxRadioButton(panel, wxID_ANY, U(kUseDesktop.Text()), wxDefaultPosition, wxDefaultSize, wxRB_GROUP,
                               wxDefaultValidator, "client_desktop");
  sizer->Add(desktop_, 0, wxLEFT | wxRIGHT, 10);
  // The desktop's current default: its name when its desktop file can be
  // read, "None found" when there is none.
  vyr::MailClient current;
  std::string currentName = kNoneFound.Text();
  if (!current_.empty()) currentName = vyr::ReadMailClient(current_, current) ? current.name : current_;
  auto* currentLabel = new wxStaticText(panel, wxID_ANY, U(Fill(kCurrent.Text(), {currentName})), wxDefaultPosition,
                                        wxDefaultSize, 0, "client_current");
  // What belongs to a choice stands indented under it.
  auto* desktopParts = new wxBoxSizer(wxVERTICAL);
  desktopParts->Add(currentLabel, 0, wxTOP | wxBOTTOM, 4);
  list_ = new wxListBox(panel, wxID_ANY, wxDefaultPosition, wxSize(-1, 110), 0, nullptr, wxLB_SINGLE,
                        wxDefaultValidator, "client_list");
  for (const vyr::MailClient& client : clients_) list_->Append(U(client.name));
  for (size_t i = 0; i < clients_.size(); ++i) {
    if (clients_[i].id == current_) list_->SetSelection(static_cast<int>(i));
  }
  if (list_->GetSelection() == wxNOT_FOUND && !clients_.empty()) list_->SetSelection(0);
  NameForScreenReaders(list_, kClientsName.Text());
  desktopParts->Add(list_, 0, wxEXPAND);
  sizer->Add(desktopParts, 0, wxEXPAND | wxLEFT | wxRIGHT, 10);
  sizer->GetItem(desktopParts)->SetBorder(28);

  integrated_ = new wxRadioButton(panel, wxID_ANY, U(kUseIntegrated.Text()), wxDefaultPosition, wxDefaultSize, 0,
                                  wxDefaultValidator, "client_integrated");
  sizer->Add(integrated_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
  program_ = new wxRadioButton(panel, wxID_ANY, U(kUseProgram.Text()), wxDefaultPosition, wxDefaultSize, 0,
                               wxDefaultValidator, "client_program");
  sizer->Add(program_, 0, wxLEFT | wxRIGHT | wxTOP, 10);
  auto* row = new wxBoxSizer(wxHORIZONTAL);
  path_ = new wxTextCtrl(panel, wxID_ANY, wxEmptyString, wxDefaultPosition, wxSize(300, -1), 0, wxDefaultValidator,
                         "client_path");
  NameForScreenReaders(path_, kCommandName.Text());
  find_ = new wxButton(panel, wxID_ANY, U(kFindProgram.Text()), wxDefaultPosition, wxDefaultSize, 0,
                       wxDefaultValidator, "client_find");
  row->Add(path_, 1, wxALIGN_CENTER_VERTICAL | wxRIGHT, 6);
  row->Add(find_, 0, wxALIGN_CENTER_VERTICAL);
  auto* programParts = new wxBoxSizer(wxVERTICAL);
  programParts->Add(row, 0, wxEXPAND | wxTOP, 4);
  sizer->Add(programParts, 0, wxEXPAND | wxLEFT | wxRIGHT, 28);

  wxButton* ok = nullptr;
  sizer->Add(OkCancelRow(&ok), 0, wxALIGN_RIGHT | wxALL, 10);
  panel->SetSizer(sizer);

  switch (vyr::ReadMailClientUse(app_)) {
    case vyr::MailClientUse::kDesktop: desktop_->SetValue(true); break;
    case vyr::MailClientUse::kIntegrated: integrated_->SetValue(true); break;
    case vyr::MailClientUse::kProgram:
      program_->SetValue(true);
      path_->ChangeValue(U(app_.Get(vyr::kEmailClientPath)));
      break;
  }
  for (wxRadioButton* radio : {desktop_, integrated_, program_}) {
    radio->Bind(wxEVT_RADIOBUTTON, [this](wxCommandEvent&) { EnableParts(); });
  }
  find_->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { FindProgram(); });
  ok->Bind(wxEVT_BUTTON, [this](wxCommandEvent&) { Accept(); });
  EnableParts();
  FinishLayout();
}

void CMailClientDlg::EnableParts() {
  list_->Enable(desktop_->GetValue());
  path_->Enable(program_->GetValue());
  find_->Enable(program_->GetValue());
}

void CMailClientDlg::FindProgram() {
  wxFileDialog picker(this, U(kPickerTitle.Text()), wxEmptyString, wxEmptyString, wxFileSelectorDefaultWildcardStr,
                      wxFD_OPEN | wxFD_FILE_MUST_EXIST);
  if (picker.ShowModal() != wxID_OK) return;
  // The command line reads like a desktop file's Exec line: a path with
  // blanks or quotes is quoted, so it stays one word.
  std::string path = Utf8(picker.GetPath());
  if (path.find_first_of(" \t\"\\%") != std::string::npos) {
    std::string quoted = "\"";
    for (char c : path) {
      if (c == '"' || c == '\\' || c == '`' || c == '$') quoted += '\\';
      quoted += c;
    }
    path = quoted + "\"";
    // A "%" inside quotes is kept as it is.
  }
  path_->ChangeValue(U(path));
  path_->SetFocus();
}

void CMailClientDlg::Accept() {
  app_.PlaySound("save", 0, true);
  int use = 1;
  if (program_->GetValue()) {
    const std::string command = Utf8(path_->GetValue().Strip(wxString::both));
    if (command.empty()) {
      app_.Messages().Error(kProgramMissing.Text());
      path_->SetFocus();
      return;
    }
    app_.Write(vyr::kEmailClientPath, command);
    use = 2;
  } else if (desktop_->GetValue()) {
    const int selected = list_->GetSelection();
    const std::string chosen =
        selected == wxNOT_FOUND ? current_ : clients_[static_cast<size_t>(selected)].id;
    if (chosen.empty()) {
      // Nothing to choose and no default: the desktop cannot take mail.
      app_.Messages().Error(kReadFailed.Text());
      return;
    }
    if (chosen != current_) {
      vyr::MailClient client;
      vyr::ReadMailClient(chosen, client);
      vyr::MailClient was;
      const std::string currentName =
          current_.empty() ? kNoneFound.Text() : (vyr::ReadMailClient(current_, was) ? was.name : current_);
      // "No" leaves everything as it was and the dialog open.
      if (!AskKeepingYes(app_, keptChangeAnswer, Fill(kChangeQuestion.Text(), {client.name, currentName}),
                         kChangeTitle.Text())) {
        return;
      }
      if (!vyr::SetDefaultMailClient(app_, chosen)) {
        app_.Messages().Error(kChangeFailed.Text());
        return;
      }
      current_ = chosen;
    } else {
      vyr::MailClient client;
      if (!vyr::ReadMailClient(chosen, client)) {
        app_.Messages().Error(kReadFailed.Text());
        return;
      }
      app_.Write(vyr::kEmailClientPath, client.openCommand);
    }
    use = 0;
  }
  app_.Write(vyr::kEmailUseVyrMail, use);
  EndModal(wxID_OK);
}

bool ShowMailClientDialog(vyr::Application& app, wxWindow* parent) {
  CMailClientDlg dialog(app, parent);
  return dialog.ShowModal() == wxID_OK;
}

void ComposeMail(vyr::Application& app, const CComposeWnd::Prefill& message) {
  const vyr::MailHandOver plan = vyr::PlanComposeMail(app, {message.to, message.cc, message.subject, message.body});
  switch (plan.route) {
    case vyr::MailHandOver::Route::kIntegrated:
      CComposeWnd::OpenNew(app, message);
      return;
    case vyr::MailHandOver::Route::kNoProgram:
      TellProgramFailed(app, plan.program, &message);
      return;
    case vyr::MailHandOver::Route::kProgram:
      break;
  }
  if (!message.attachments.empty()) {
    app.Messages().Information(vyr::AttachmentsNotHandedText(plan.program, message.attachments));
  }
  vyr::Application* target = &app;
  vyr::StartMailProgram(plan, [target, plan, message](const vyr::platform::DesktopOpenResult& result) {
    if (result.started && result.status == 0) return;
    // Told on the user-interface thread; the application outlives it.
    if (wxTheApp) wxTheApp->CallAfter([target, plan, message] { TellProgramFailed(*target, plan.program, &message); });
  });
}

void OpenMailProgram(vyr::Application& app) {
  const vyr::MailHandOver plan = vyr::PlanOpenMailProgram(app);
  switch (plan.route) {
    case vyr::MailHandOver::Route::kIntegrated:
      CMailWnd::Open(app);
      return;
    case vyr::MailHandOver::Route::kNoProgram:
      TellProgramFailed(app, plan.program, nullptr);
      return;
    case vyr::MailHandOver::Route::kProgram:
      break;
  }
  vyr::Application* target = &app;
  vyr::StartMailProgram(plan, [target, plan](const vyr::platform::DesktopOpenResult& result) {
    if (result.started) return;  // a mail program may end with any status once the user closes it
    if (wxTheApp) wxTheApp->CallAfter([target, plan] { TellProgramFailed(*target, plan.program, nullptr); });
  });
}

#pragma once
// The mail window's small dialogs: the password question of the mail check
// (a masked field and a box to remember the password), a name asked for a
// folder, and the folder chosen to move messages to. Each is a CColoredDlg.
#include <memory>
#include <string>
#include <vector>

#include "mail/receive/mail_check.h"
#include "ui/windows/colored_dlg.h"

class wxCheckBox;
class wxChoice;
class wxTextCtrl;

class CMailPasswordDlg : public CColoredDlg {
 public:
  CMailPasswordDlg(wxWindow* parent, const std::string& account, const std::string& server);
  std::string Password() const;
  bool Remember() const;

 private:
  wxTextCtrl* password_ = nullptr;
  wxCheckBox* remember_ = nullptr;
};

// The mail check's password question. The check asks on its worker thread;
// the question is handed to the user-interface thread, shown there over the
// window, and the worker waits for the answer. Once Close() was called (the
// window goes), every waiting and every later question is answered Cancel,
// so no worker ever waits for a window that is gone.
class CPasswordQuestion : public vyr::PasswordPrompt {
 public:
  explicit CPasswordQuestion(wxWindow* parent);
  ~CPasswordQuestion() override;
  bool AskPassword(const std::string& account, const std::string& server, std::string& password,
                   bool& remember) override;
  void Close();

  struct State;

 private:
  std::shared_ptr<State> state_;
};

// Asks for a folder name; false when cancelled.
bool AskFolderName(wxWindow* parent, const std::string& title, const std::string& prompt, std::string& name);
// Lets the user choose one of the folders; false when cancelled.
bool ChooseFolder(wxWindow* parent, const std::vector<std::string>& folders, std::string& chosen);

#pragma once
// The mail program the user reads and writes mail with: the "Select E-Mail
// Client" dialog (the desktop's mail client, the integrated one, or another
// program), and the two requests every window makes through it: write a
// message, and open the mail program.
#include <string>
#include <vector>

#include "mail/send/mail_client.h"
#include "mail/windows/compose_wnd.h"
#include "ui/windows/colored_dlg.h"

class wxButton;
class wxListBox;
class wxRadioButton;
class wxStaticText;
class wxTextCtrl;

namespace vyr {
class Application;
}

class CMailClientDlg : public CColoredDlg {
 public:
  CMailClientDlg(vyr::Application& app, wxWindow* parent);

 private:
  void EnableParts();
  void FindProgram();
  // OK: stores the choice and closes, or tells what is wrong and stays.
  void Accept();

  vyr::Application& app_;
  std::vector<vyr::MailClient> clients_;
  std::string current_;  // the desktop's default mail client ("" none)
  wxRadioButton* desktop_ = nullptr;
  wxRadioButton* integrated_ = nullptr;
  wxRadioButton* program_ = nullptr;
  wxListBox* list_ = nullptr;
  wxTextCtrl* path_ = nullptr;
  wxButton* find_ = nullptr;
};

// Shows the dialog over the parent; true when the user pressed OK and the
// choice was stored.
bool ShowMailClientDialog(vyr::Application& app, wxWindow* parent);

// A message to write: the integrated compose window, or the chosen program
// with the message as one mailto link. A program that cannot take it is
// reported (with the offer of this dialog) and the message then opens in the
// compose window, so nothing the user or a link wrote is lost; attachments
// that cannot go with a link are named to the user.
void ComposeMail(vyr::Application& app, const CComposeWnd::Prefill& message);

// The main window's mail command: the mail window, or the chosen program.
void OpenMailProgram(vyr::Application& app);

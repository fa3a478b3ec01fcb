// vyrelle-cli mail check: runs the mail check for the accounts configured in
// the profile, without windows, printing each status text on its own line.
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <optional>

#include "cli/cli_context.h"
#include "mail/check/mail_check_driver.h"

namespace vyr::cli {

namespace {

// Asks on the terminal; without one there is nobody to ask.
class TerminalPasswordPrompt : public PasswordPrompt {
 public:
  bool AskPassword(const std::string& account, const std::string& server, std::string& password,
                   bool& remember) override {
    if (!::isatty(STDIN_FILENO)) return false;
    std::cerr << "Password for " << account << " on " << server << ": " << std::flush;
    if (!std::getline(std::cin, password)) return false;
    remember = false;
    return true;
  }
};

class PrintedQuestions : public MailCheckQuestions {
 public:
  explicit PrintedQuestions(std::ostream& err) : err_(err) {}
  bool AskToCheckSettings(const std::string& text, const std::string& title) override {
    err_ << title << ": " << text << "\n";
    return false;
  }
  void OpenMailSettings() override {}

 private:
  std::ostream& err_;
};

// Prints what the check reports, on this thread.
class PrintedCheck : public MailCheckObserver {
 public:
  explicit PrintedCheck(std::ostream& out) : out_(out) {}
  void MailCheckStatus(const std::string& text, bool) override { out_ << text << "\n" << std::flush; }
  void MailSendError(const std::string& text) override { out_ << text << "\n" << std::flush; }
  void MailCheckFinished(const MailCheckEnd& end) override { ended = end; }
  // The terminal is the window: in the foreground, with Inbox in view.
  bool InboxShown() const override { return true; }

  std::optional<MailCheckEnd> ended;

 private:
  std::ostream& out_;
};

int MailCheckCommand(Context& c) {
  // The prompt and the questions outlive the driver, which may still wait
  // for a worker inside one of them when it goes.
  TerminalPasswordPrompt prompt;
  PrintedQuestions questions(c.err);
  PrintedCheck printed(c.out);
  MailCheckDriver driver(c.app, printed);
  driver.SetPasswordPrompt(&prompt);
  driver.SetQuestions(&questions);
  if (!driver.Start(false)) {
    c.err << "vyrelle-cli: the mail settings are incomplete (pop3-server)\n";
    return 1;
  }
  // After the accounts, what waits in the Outbox is sent; a run cut short
  // by a stalled account goes on with the next one by itself.
  while (!printed.ended) platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(200));
  if (printed.ended->cancelled) {
    // The password question was answered with nothing.
    c.err << "vyrelle-cli: the check was cancelled\n";
    return 1;
  }
  c.out << "finished: " << (printed.ended->allWell ? 0 : 1) << "\n";
  return printed.ended->allWell ? 0 : 1;
}

}  // namespace

void AddMailCheckCommand(CommandTree& tree, CLI::App& mail) {
  tree.Command(mail, "check",
               "check the configured accounts, then send what\n"
               "waits in the Outbox; prints each status and\n"
               "\"finished: 0|1\"",
               [](Context& c, const CLI::App&) { return MailCheckCommand(c); });
}

}  // namespace vyr::cli

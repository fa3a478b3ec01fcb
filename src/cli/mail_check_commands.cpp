// vyrelle-cli mail check: runs the mail check for the accounts configured in
// the profile, without windows, printing each status text on its own line.
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <thread>

#include "cli/cli_context.h"
#include "mail/receive/mail_check.h"
#include "mail/send/outbox.h"

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

// Receives the check's messages on this thread.
class CheckWindow : public platform::MessageTarget {
 public:
  CheckWindow(std::ostream& out, MailCheck*& check) : out_(out), check_(check) {}
  void OnWindowMessage(const platform::WindowMessage& m) override {
    switch (m.message) {
      case kMsgMailStatus:
      case kMsgSendError:
        out_ << m.text.value_or("") << "\n" << std::flush;
        break;
      case kMsgMailNewMessage:
        if (check_) check_->NewMessageNoticed();
        break;
      case kMsgMailCheckFinished:
        finished = true;
        result = static_cast<int>(m.lParam);
        break;
      default:
        break;
    }
  }
  bool finished = false;
  int result = 1;

 private:
  std::ostream& out_;
  MailCheck*& check_;
};

int MailCheckCommand(Context& c) {
  MailCheck* checkPtr = nullptr;
  CheckWindow window(c.out, checkPtr);
  auto& messages = platform::WindowMessages::Instance();
  platform::WindowHandle handle = messages.Register(&window);
  int result = 1;
  {
    // After the accounts, what waits in the Outbox is sent (the outbox
    // outlives the check, which may stop it while it is being destroyed).
    Outbox outbox(c.app, handle);
    MailCheck check(c.app, handle);
    checkPtr = &check;
    TerminalPasswordPrompt prompt;
    PrintedQuestions questions(c.err);
    check.SetPasswordPrompt(&prompt);
    check.SetQuestions(&questions);
    check.SetOutboxSender(&outbox);
    if (!check.StartMailCheck(false)) {
      c.err << "vyrelle-cli: the mail settings are incomplete (pop3-server)\n";
      messages.Unregister(handle);
      return 1;
    }
    for (;;) {
      messages.WaitAndDispatch(std::chrono::milliseconds(200));
      if (!window.finished) {
        if (!check.IsRunning() && messages.PendingCount() == 0) {
          // A run that ended without a finished message (the password
          // question was cancelled); its last messages may still be on
          // their way, so look once more before giving up.
          messages.WaitAndDispatch(std::chrono::milliseconds(300));
          if (!window.finished) {
            c.err << "vyrelle-cli: the check was cancelled\n";
            break;
          }
        }
        if (!window.finished) continue;
      }
      window.finished = false;
      CheckFinishedOutcome outcome = check.CheckFinished(window.result, true, true);
      if (outcome.restartAfterMs >= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(outcome.restartAfterMs));
        check.StartMailCheck(true);
        continue;
      }
      result = window.result;
      c.out << "finished: " << result << "\n";
      break;
    }
    checkPtr = nullptr;
  }
  messages.Unregister(handle);
  return result == 0 ? 0 : 1;
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

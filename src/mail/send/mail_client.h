#pragma once
// The user's choice of mail program ([email] "UseVyrMail" and "clientpath")
// and what a request to write a message, or to open the mail program, does
// with it:
//  - 1: the program's own mail client (the windows open its compose window
//    or mail window);
//  - 0: the desktop's mail client, the desktop file that mimeapps.list makes
//    the default for mailto links, started as its Exec line says;
//  - 2 (and any other value): the command line of "clientpath", read like
//    an Exec line (quotes group words, %u stands for the link, without it
//    the link is the last word).
// A message handed to another program goes as one RFC 6068 link (every
// field percent-encoded, CC kept), one argument of the command. When the
// chosen program would be this program again (it is the desktop's mailto
// handler) the message stays in the own compose window: never a loop.
#include <functional>
#include <string>
#include <vector>

#include "mail/send/mailto_link.h"
#include "platform/process.h"

namespace vyr {

class Application;

// The desktop file this program installs.
inline constexpr char kOwnDesktopFile[] = "vyrelle.desktop";

// "UseVyrMail": 0 the desktop's client, 1 the integrated one, 2 another
// program; any other stored value reads as 2.
enum class MailClientUse { kDesktop = 0, kIntegrated = 1, kProgram = 2 };
MailClientUse ReadMailClientUse(const Application& app);

// A mail program of the desktop: a desktop file that handles mailto links.
struct MailClient {
  std::string id;            // "thunderbird.desktop"
  std::string name;          // its Name, else the id
  std::string openCommand;   // its Exec line: starts it, and with a link writes a message
  std::string icon;          // its Icon ("" when it has none)
};

// The desktop's mail programs, this program's own desktop file left out
// (choosing it is the integrated client).
std::vector<MailClient> DesktopMailClients();
// The desktop file that is the default for mailto links ("" when none is).
std::string CurrentMailClient();
// The client's values; false when the desktop file cannot be found or has
// no Exec line.
bool ReadMailClient(const std::string& id, MailClient& client);
// Makes the client the desktop's default for mailto links (the user's
// mimeapps.list) and its Exec line "clientpath". False, with "clientpath"
// untouched, when it cannot be read or mimeapps.list cannot be written.
bool SetDefaultMailClient(Application& app, const std::string& id);

// Where a message or the mail program goes.
struct MailHandOver {
  enum class Route {
    kIntegrated,  // the own compose window (mail window)
    kProgram,     // start `command`
    kNoProgram,   // another program was chosen, but there is none to start
  };
  Route route = Route::kIntegrated;
  std::vector<std::string> command;  // the words; a link is one of them
  std::string program;               // what the user is told: the client's name or "clientpath"
  std::string link;                  // the message's link ("" for the mail program alone)
};

// The words of a command line (an Exec line or "clientpath") with the link
// as one word: where %u, %U, %f or %F stands, else at the end. An empty link
// adds nothing. Empty for an empty line or an unclosed quote.
std::vector<std::string> MailCommandWords(const std::string& commandLine, const std::string& link);

// A message to write: the integrated compose window, or the program and the
// link to hand it.
MailHandOver PlanComposeMail(const Application& app, const MailtoFields& fields);
// The main window's mail command: the integrated mail window, or the
// program started without a link.
MailHandOver PlanOpenMailProgram(const Application& app);

// Starts the plan's command (route kProgram); ended is called on a thread of
// its own when it ends, or at once when it cannot be started. A start that
// fails or a program that ends with a failure status did not take the
// message: the caller tells the user.
void StartMailProgram(const MailHandOver& plan, std::function<void(const platform::DesktopOpenResult&)> ended);

// The question asked when the program did not start: "Could not open mail
// client\n[ %s ]\nDo you want to check your email settings?" filled with the
// program, and its title.
std::string MailProgramFailureText(const std::string& program);
std::string MailProgramFailureTitle();
// What the user is told when attachments cannot go with the link: the
// program and the files' names, one a line.
std::string AttachmentsNotHandedText(const std::string& program, const std::vector<std::string>& files);

}  // namespace vyr

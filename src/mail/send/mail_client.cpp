#include "mail/send/mail_client.h"

#include <utility>

#include "base/application.h"
#include "base/settings_table.h"
#include "platform/desktop_defaults.h"
#include "platform/string_table.h"
#include "platform/text.h"

namespace vyr {

namespace {

constexpr platform::TextId kProgramFailed{38041};
constexpr platform::TextId kProgramFailedTitle{38042};
constexpr platform::TextId kAttachmentsNotHanded{41301};

constexpr char kMailtoType[] = "x-scheme-handler/mailto";

std::string Filled(std::string text, const std::string& value) {
  return platform::FillPlaceholders(std::move(text), {value});
}

// A command that would start this program again: a link handed there comes
// straight back.
bool ComesBack(const std::vector<std::string>& words) { return !words.empty() && platform::IsThisProgram(words[0]); }

// The desktop's client as a plan; the integrated window when it is this
// program, no program when there is none.
MailHandOver DesktopPlan(const std::string& link) {
  MailHandOver plan;
  plan.link = link;
  const std::string id = CurrentMailClient();
  MailClient client;
  if (id == kOwnDesktopFile) return plan;  // kIntegrated
  if (id.empty() || !ReadMailClient(id, client)) {
    plan.route = MailHandOver::Route::kNoProgram;
    plan.program = id;
    return plan;
  }
  plan.program = client.name;
  plan.command = MailCommandWords(client.openCommand, link);
  plan.route = plan.command.empty() ? MailHandOver::Route::kNoProgram : MailHandOver::Route::kProgram;
  if (ComesBack(plan.command)) {
    plan.route = MailHandOver::Route::kIntegrated;
    plan.command.clear();
  }
  return plan;
}

MailHandOver ProgramPlan(const Application& app, const std::string& link) {
  MailHandOver plan;
  plan.link = link;
  plan.program = platform::Trim(app.Get(kEmailClientPath), " \t\r\n");
  plan.command = MailCommandWords(plan.program, link);
  plan.route = plan.command.empty() ? MailHandOver::Route::kNoProgram : MailHandOver::Route::kProgram;
  if (ComesBack(plan.command)) {
    plan.route = MailHandOver::Route::kIntegrated;
    plan.command.clear();
  }
  return plan;
}

}  // namespace

MailClientUse ReadMailClientUse(const Application& app) {
  switch (app.Get(kEmailUseVyrMail)) {
    case 0: return MailClientUse::kDesktop;
    case 1: return MailClientUse::kIntegrated;
    default: return MailClientUse::kProgram;
  }
}

bool ReadMailClient(const std::string& id, MailClient& client) {
  const std::string exec = platform::DesktopExecLine(id);
  if (exec.empty()) return false;
  client.id = id;
  client.openCommand = exec;
  client.icon = platform::DesktopEntryValue(id, "Icon");
  client.name = platform::DesktopEntryValue(id, "Name");
  if (client.name.empty()) client.name = id;
  return true;
}

std::vector<MailClient> DesktopMailClients() {
  std::vector<MailClient> clients;
  for (const std::string& id : platform::DesktopHandlers(kMailtoType)) {
    MailClient client;
    if (id != kOwnDesktopFile && ReadMailClient(id, client)) clients.push_back(std::move(client));
  }
  return clients;
}

std::string CurrentMailClient() { return platform::DefaultApplication(kMailtoType); }

bool SetDefaultMailClient(Application& app, const std::string& id) {
  MailClient client;
  if (!ReadMailClient(id, client) || !platform::SetDefaultApplications({{kMailtoType, id}})) return false;
  app.Write(kEmailClientPath, client.openCommand);
  return true;
}

std::vector<std::string> MailCommandWords(const std::string& commandLine, const std::string& link) {
  return platform::DesktopCommandWords(commandLine, link);
}

MailHandOver PlanComposeMail(const Application& app, const MailtoFields& fields) {
  switch (ReadMailClientUse(app)) {
    case MailClientUse::kIntegrated: return {};
    case MailClientUse::kDesktop: return DesktopPlan(FormatMailtoLink(fields));
    case MailClientUse::kProgram: break;
  }
  return ProgramPlan(app, FormatMailtoLink(fields));
}

MailHandOver PlanOpenMailProgram(const Application& app) {
  switch (ReadMailClientUse(app)) {
    case MailClientUse::kIntegrated: return {};
    case MailClientUse::kDesktop: return DesktopPlan({});
    case MailClientUse::kProgram: break;
  }
  return ProgramPlan(app, {});
}

void StartMailProgram(const MailHandOver& plan, std::function<void(const platform::DesktopOpenResult&)> ended) {
  if (plan.route != MailHandOver::Route::kProgram) {
    if (ended) ended(platform::DesktopOpenResult{});
    return;
  }
  platform::StartCommand(plan.command, std::move(ended));
}

std::string MailProgramFailureText(const std::string& program) { return Filled(kProgramFailed.Text(), program); }

std::string MailProgramFailureTitle() { return kProgramFailedTitle.Text(); }

std::string AttachmentsNotHandedText(const std::string& program, const std::vector<std::string>& files) {
  std::string list;
  for (const std::string& file : files) list += "\n" + file;
  return Filled(kAttachmentsNotHanded.Text(), program) + list;
}

}  // namespace vyr

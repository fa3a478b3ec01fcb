// vyrelle-cli mail send / queue / draft / flush-outbox / split / date:
// outgoing mail without windows. The compose window is played by the
// command line's options, and every status and error text the sending posts
// to it is printed on its own line.
#include <chrono>
#include <ostream>

#include "cli/cli_context.h"
#include "mail/send/mail_address.h"
#include "mail/receive/mail_check.h"
#include "mail/send/outbox.h"
#include "mail/body/rich_text.h"
#include "platform/file_system.h"

namespace vyr::cli {

namespace {

// Windows-1252 characters 0x80 to 0x9F (0 where the code page has none).
constexpr std::uint32_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

bool IsUtf8(const std::string& s) {
  for (size_t i = 0; i < s.size();) {
    if (Utf8At(s, i) == 0xFFFD && !(s.compare(i, 3, "\xEF\xBF\xBD") == 0)) return false;
    i += Utf8Length(s, i);
  }
  return true;
}

// A plain text file as the body form the sender expects: one paragraph a
// line, in the editor's default format on a white page. Text that is not
// UTF-8 is read as Windows-1252.
std::string BodyFormFromText(const std::string& raw) {
  std::string text;
  if (IsUtf8(raw)) {
    text = raw;
  } else {
    for (unsigned char c : raw) {
      std::uint32_t cp = c;
      if (c >= 0x80 && c < 0xA0) cp = kCp1252High[c - 0x80] ? kCp1252High[c - 0x80] : 0xFFFD;
      AppendUtf8(text, cp);
    }
  }
  std::string lines;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r') {
      lines += '\n';
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      lines += text[i];
    }
  }
  RichTextDocument doc;
  doc.Append(lines, doc.DefaultFormat());
  return GetBodyRichText(doc);
}

// An RTF file as a body form: a white page unless it names its own.
std::string BodyFormFromRtf(const std::string& rtf) {
  if (rtf.find(kBackgroundMarker) != std::string::npos) return rtf;
  return rtf + kBackgroundMarker + std::to_string(kWhite);
}

// The compose window of the command line: its boxes hold the options; what
// the sending posts to it is printed.
class CliComposeWindow : public ComposeWindow, public platform::MessageTarget {
 public:
  explicit CliComposeWindow(std::ostream& out)
      : out_(out), handle_(platform::WindowMessages::Instance().Register(this)) {}
  ~CliComposeWindow() override { platform::WindowMessages::Instance().Unregister(handle_); }

  std::string ToText() const override { return to; }
  std::string CcText() const override { return cc; }
  std::string BccText() const override { return bcc; }
  std::string SubjectText() const override { return subject; }
  std::string BodyForm() const override { return body; }
  std::vector<std::string> Attachments() const override { return attachments; }
  std::string StoredPath() const override { return storedPath; }
  void SetStoredPath(const std::string& path) override { storedPath = path; }
  void SetSubjectText(const std::string& s) override { subject = s; }
  void FocusToBox() override {}
  void FocusSubjectBox() override {}
  platform::WindowHandle Handle() const override { return handle_; }

  void OnWindowMessage(const platform::WindowMessage& m) override {
    switch (m.message) {
      case kMsgSendStatus:
      case kMsgSendError:
      case kMsgMailStatus:
        out_ << m.text.value_or("") << "\n" << std::flush;
        break;
      default:
        break;
    }
  }

  std::string to, cc, bcc, subject, body, storedPath;
  std::vector<std::string> attachments;

 private:
  std::ostream& out_;
  platform::WindowHandle handle_;
};

// Fills the window from the compose options. False when the body file
// cannot be read.
bool ReadComposeOptions(Context& c, const CLI::App& a, CliComposeWindow& window) {
  window.to = Value(a, "--to");
  window.cc = Value(a, "--cc");
  window.bcc = Value(a, "--bcc");
  window.subject = Value(a, "--subject");
  const bool text = Given(a, "--text");
  if (text || Given(a, "--rtf")) {
    const std::string file = Value(a, text ? "--text" : "--rtf");
    std::string content;
    if (!platform::ReadWholeFile(file, content)) {
      c.err << "vyrelle-cli: cannot read " << file << "\n";
      return false;
    }
    window.body = text ? BodyFormFromText(content) : BodyFormFromRtf(content);
  }
  if (Given(a, "--attach")) window.attachments = a.get_option("--attach")->as<std::vector<std::string>>();
  return true;
}

int SendCommand(Context& c, const CLI::App& a) {
  CliComposeWindow window(c.out);
  if (!ReadComposeOptions(c, a, window)) return 1;
  auto& messages = platform::WindowMessages::Instance();
  Outbox outbox(c.app);
  if (!outbox.StartSendNow(window)) {
    messages.DispatchPending();
    return 1;
  }
  while (outbox.SendNowRunning()) messages.WaitAndDispatch(std::chrono::milliseconds(100));
  const SmtpResult result = outbox.WaitForSendNow();
  messages.DispatchPending();
  return static_cast<int>(result);  // the exit status is the result's number
}

int QueueCommand(Context& c, const CLI::App& a, bool draft) {
  CliComposeWindow window(c.out);
  if (!ReadComposeOptions(c, a, window)) return 1;
  Outbox outbox(c.app);
  const int result = outbox.QueueMessage(window, draft);
  platform::WindowMessages::Instance().DispatchPending();
  if (result == 0) c.out << window.storedPath << "\n";
  return result;
}

int FlushCommand(Context& c) {
  CliComposeWindow window(c.out);
  Outbox outbox(c.app);
  const SmtpResult result = outbox.FlushOutbox(window.Handle());
  platform::WindowMessages::Instance().DispatchPending();
  return static_cast<int>(result);
}

}  // namespace

namespace {

// The options of send, queue and draft. A draft may lack any of them; a
// message to send needs its To and Subject boxes and one body.
void AddComposeOptions(CLI::App& command, bool draft) {
  const CLI::Validator valueGiven = NotAnOption(command);
  CLI::Option* to = command.add_option("--to", "the To box: recipients separated by \",\" or \";\"");
  CLI::Option* cc = command.add_option("--cc", "the CC box");
  CLI::Option* bcc = command.add_option("--bcc", "the BCC box");
  CLI::Option* subject = command.add_option("--subject", "the Subject box");
  CLI::Option_group* body = command.add_option_group("body", "the message body");
  CLI::Option* text = body->add_option("--text", "plain text (UTF-8, else Windows-1252), a\nparagraph a line");
  CLI::Option* rtf = body->add_option("--rtf", "a rich-text file (RTF)");
  body->require_option(draft ? 0 : 1, 1);
  CLI::Option* attach = command.add_option("--attach", "a file to attach; once for each file")
                            ->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
  const std::pair<CLI::Option*, const char*> values[] = {{to, "T"},      {cc, "C"},      {bcc, "B"},
                                                         {subject, "S"}, {text, "FILE"}, {rtf, "FILE"},
                                                         {attach, "PATH"}};
  for (const auto& [option, type] : values) option->type_name(type)->check(valueGiven);
  for (CLI::Option* file : {text, rtf, attach}) file->check(ExistingFile());
  if (!draft) {
    to->required();
    subject->required();
  }
}

}  // namespace

void AddMailSendCommands(CommandTree& tree, CLI::App& mail) {
  AddComposeOptions(*tree.Command(mail, "send",
                                  "Send Now; prints each status and error text;\n"
                                  "exit status 0 sent, else the sending's result\n"
                                  "code",
                                  [](Context& c, const CLI::App& a) { return SendCommand(c, a); }),
                    false);
  AddComposeOptions(*tree.Command(mail, "queue", "Send Later; prints the stored file",
                                  [](Context& c, const CLI::App& a) { return QueueCommand(c, a, false); }),
                    false);
  AddComposeOptions(*tree.Command(mail, "draft", "Save Draft; prints the stored file",
                                  [](Context& c, const CLI::App& a) { return QueueCommand(c, a, true); }),
                    true);
  tree.Command(mail, "flush-outbox", "send the pending Outbox messages; exit status 0\n"
               "when nothing failed",
               [](Context& c, const CLI::App&) { return FlushCommand(c); });
  tree.Command(mail, "split",
               "one \"name<TAB>address\" line per recipient, or\n"
               "the error text and exit status 2",
               [](Context& c, const CLI::App& a) {
                 std::vector<std::string> addresses, names;
                 std::string error;
                 if (SplitRecipients(Value(a, "FIELD"), addresses, names, error) != 0) {
                   c.out << error << "\n";
                   return 2;
                 }
                 for (size_t i = 0; i < addresses.size(); ++i) c.out << names[i] << '\t' << addresses[i] << '\n';
                 return 0;
               })
      ->add_option("FIELD", "the text of a To, CC or BCC box")
      ->required();
  tree.Command(mail, "date", "the date text of a message sent now", [](Context& c, const CLI::App&) {
    c.out << MailDateNow() << "\n";
    return 0;
  });
}

}  // namespace vyr::cli

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

const char kComposeUsage[] =
    "mail send|queue|draft --to T [--cc C] [--bcc B] --subject S (--text FILE | --rtf FILE) "
    "[--attach PATH]...";

// Reads the compose options into the window. False with a usage error.
bool ReadComposeOptions(Context& c, const std::vector<std::string>& args, bool draft,
                        CliComposeWindow& window, int& status) {
  bool haveTo = false, haveSubject = false, haveBody = false;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) {
      status = Usage(c.err, std::string("missing value after ") + option + "; " + kComposeUsage);
      return false;
    }
    const std::string& value = args[++i];
    if (option == "--to") {
      window.to = value;
      haveTo = true;
    } else if (option == "--cc") {
      window.cc = value;
    } else if (option == "--bcc") {
      window.bcc = value;
    } else if (option == "--subject") {
      window.subject = value;
      haveSubject = true;
    } else if (option == "--text" || option == "--rtf") {
      if (haveBody) {
        status = Usage(c.err, std::string("one body only; ") + kComposeUsage);
        return false;
      }
      std::string content;
      if (!platform::ReadWholeFile(value, content)) {
        c.err << "vyrelle-cli: cannot read " << value << "\n";
        status = 1;
        return false;
      }
      window.body = option == "--text" ? BodyFormFromText(content) : BodyFormFromRtf(content);
      haveBody = true;
    } else if (option == "--attach") {
      window.attachments.push_back(value);
    } else {
      status = Usage(c.err, "unknown option " + option + "; " + kComposeUsage);
      return false;
    }
  }
  if (!draft && (!haveTo || !haveSubject || !haveBody)) {
    status = Usage(c.err, kComposeUsage);
    return false;
  }
  return true;
}

int SendCommand(Context& c, const std::vector<std::string>& args) {
  CliComposeWindow window(c.out);
  int status = 0;
  if (!ReadComposeOptions(c, args, false, window, status)) return status;
  auto& messages = platform::WindowMessages::Instance();
  Outbox outbox(c.app);
  if (!outbox.StartSendNow(window)) {
    messages.DispatchPending();
    return 1;
  }
  while (outbox.SendNowRunning()) messages.WaitAndDispatch(std::chrono::milliseconds(100));
  const int result = outbox.WaitForSendNow();
  messages.DispatchPending();
  return result;
}

int QueueCommand(Context& c, const std::vector<std::string>& args, bool draft) {
  CliComposeWindow window(c.out);
  int status = 0;
  if (!ReadComposeOptions(c, args, draft, window, status)) return status;
  Outbox outbox(c.app);
  const int result = outbox.QueueMessage(window, draft);
  platform::WindowMessages::Instance().DispatchPending();
  if (result == 0) c.out << window.storedPath << "\n";
  return result;
}

int FlushCommand(Context& c) {
  CliComposeWindow window(c.out);
  Outbox outbox(c.app);
  const int result = outbox.FlushOutbox(window.Handle());
  platform::WindowMessages::Instance().DispatchPending();
  return result;
}

}  // namespace

int RunMailSendCommand(Context& c, const std::vector<std::string>& args) {
  const std::string& verb = args.at(0);
  if (verb == "send") return SendCommand(c, args);
  if (verb == "queue") return QueueCommand(c, args, false);
  if (verb == "draft") return QueueCommand(c, args, true);
  if (verb == "flush-outbox") {
    if (args.size() != 1) return Usage(c.err, "mail flush-outbox takes no arguments");
    return FlushCommand(c);
  }
  if (verb == "split") {
    if (args.size() != 2) return Usage(c.err, "mail split FIELD");
    std::vector<std::string> addresses, names;
    std::string error;
    if (SplitRecipients(args[1], addresses, names, error) != 0) {
      c.out << error << "\n";
      return 2;
    }
    for (size_t i = 0; i < addresses.size(); ++i) c.out << names[i] << '\t' << addresses[i] << '\n';
    return 0;
  }
  if (verb == "date") {
    if (args.size() != 1) return Usage(c.err, "mail date takes no arguments");
    c.out << MailDateNow() << "\n";
    return 0;
  }
  return Usage(c.err, "unknown mail command '" + verb + "'");
}

}  // namespace vyr::cli

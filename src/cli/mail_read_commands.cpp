// vyrelle-cli mail decode, reply and search: showing, answering and finding
// stored messages from the command line, through the same logic the viewer
// and the mail window's search panel use.
#include <chrono>
#include <ostream>

#include "cli/cli_context.h"
#include "mail/read/mail_search.h"
#include "mail/store/mail_store.h"
#include "mail/read/message_decoder.h"
#include "mail/read/reply_builder.h"
#include "platform/file_system.h"

namespace vyr::cli {

namespace {

// Tabs and line breaks in a value would break the line-and-tab layout.
std::string OneLine(std::string s) {
  for (char& c : s) {
    if (c == '\t' || c == '\r' || c == '\n') c = ' ';
  }
  return s;
}

bool NeedMessage(Context& c, const std::string& file) {
  if (platform::FileExists(file)) return true;
  c.err << "vyrelle-cli: no message file " << file << "\n";
  return false;
}

int DecodeCommand(Context& c, const std::string& file, const std::string& dir) {
  if (!NeedMessage(c, file)) return 1;
  MessageDecoder decoder(c.app);
  std::string page;
  if (decoder.DecodeMessage(file, dir, page) < 0) {
    c.err << "vyrelle-cli: " << kErrorProcessingEmail
          << " (the message cannot be read, or " << dir
          << " is not empty and was not used for decoding before)\n";
    return 1;
  }
  const DecodedMessage& m = decoder.Decoded();
  c.out << "page: " << page << '\n';
  for (size_t i = 0; i < m.partNames.size(); ++i) {
    c.out << "part: " << OneLine(m.partNames[i]) << '\t' << OneLine(m.partTypes[i]) << '\n';
  }
  return 0;
}

int ReplyCommand(Context& c, const std::string& file, ReplyKind kind) {
  if (!NeedMessage(c, file)) return 1;
  MailStore store(c.app);
  const std::string dir = DisplayDirectory(store);
  if (dir.empty()) {
    c.err << "vyrelle-cli: the display directory cannot be created\n";
    return 1;
  }
  MessageDecoder decoder(c.app);
  std::string page;
  if (decoder.DecodeMessage(file, dir, page) < 0) {
    c.err << "vyrelle-cli: " << kErrorProcessingEmail << "\n";
    return 1;
  }
  const ReplyDraft draft = PrepareReply(decoder.Decoded(), kind, dir, {}, OwnAddresses(c.app));
  c.out << "To: " << OneLine(draft.to) << '\n';
  c.out << "CC: " << OneLine(draft.cc) << '\n';
  c.out << "Subject: " << OneLine(draft.subject) << '\n';
  for (const std::string& path : draft.attachments) c.out << "Attach: " << path << '\n';
  c.out << '\n' << draft.body;
  return 0;
}

int SearchCommand(Context& c, const std::string& text, const std::string& folder) {
  MailStore store(c.app);
  if (!folder.empty() && store.FolderPath(folder, false).empty()) {
    c.err << "vyrelle-cli: no mail folder '" << folder << "'\n";
    return 1;
  }
  SearchStop stop;
  std::string final;
  // Without a window to keep responsive there is no pause between files.
  RunMailSearch(
      store, text, folder, stop,
      [&](const SearchEvent& e) {
        if (e.kind == SearchEventKind::Row) {
          c.out << OneLine(e.row.subject) << '\t' << OneLine(e.row.from) << '\t' << OneLine(e.row.date) << '\t'
                << OneLine(e.row.folder) << '\n';
        } else if (e.kind == SearchEventKind::Finished) {
          final = e.text;
        }
        return true;
      },
      std::chrono::milliseconds(0));
  c.out << final << '\n';
  return 0;
}

}  // namespace

void AddMailReadCommands(CommandTree& tree, CLI::App& mail) {
  CLI::App* decode = tree.Command(
      mail, "decode",
      "decode a message into DIR; prints \"page: NAME\"\n"
      "and one \"part: NAME<TAB>TYPE\" line per part",
      [](Context& c, const CLI::App& a) { return DecodeCommand(c, Value(a, "FILE"), Value(a, "DIR")); });
  decode->add_option("FILE", "a stored message")->required();
  decode->add_option("DIR", "missing, empty or used for decoding before")->required();
  CLI::App* reply = tree.Command(
      mail, "reply",
      "the reply's To, CC, Subject (and Attach) lines,\n"
      "an empty line and the quoted body",
      [](Context& c, const CLI::App& a) {
        const std::string kind = Value(a, "KIND");
        return ReplyCommand(c, Value(a, "FILE"),
                            kind == "all"       ? ReplyKind::ReplyAll
                            : kind == "forward" ? ReplyKind::Forward
                                                : ReplyKind::Reply);
      });
  reply->add_option("FILE", "a stored message")->required();
  reply->add_option("KIND", "all (reply to all) or forward; without it, a\nreply to the sender")
      ->check(CLI::IsMember({"all", "forward"}));
  CLI::App* search = tree.Command(
      mail, "search",
      "one row per message holding TEXT in its first\n"
      "12 KB: subject, from, date, folder; then the\n"
      "final status",
      [](Context& c, const CLI::App& a) { return SearchCommand(c, Value(a, "TEXT"), Value(a, "FOLDER")); });
  search->add_option("TEXT", "the text to find")->required();
  search->add_option("FOLDER", "the folder to search; every folder without it");
}

}  // namespace vyr::cli

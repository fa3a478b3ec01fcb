// vyrelle-cli mail: the mail store from the command line (folders, message
// lists, summaries, keys and read state). "mail check" has its own file.
#include <ostream>

#include "cli/cli_context.h"
#include "mail/store/folder_loader.h"
#include "mail/store/mail_store.h"
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

// A folder given by name (in the mail root) or as a path.
std::string FolderArgument(const MailStore& store, const std::string& folder) {
  if (folder.find('/') != std::string::npos) {
    std::string path = folder;
    if (path.back() != '/') path += '/';
    return platform::DirectoryExists(folder) ? path : std::string();
  }
  return store.FolderPath(folder, false);
}

int ListCommand(Context& c, const MailStore& store, const std::string& folder) {
  const std::string path = FolderArgument(store, folder);
  if (path.empty()) {
    c.err << "vyrelle-cli: no mail folder '" << folder << "'\n";
    return 1;
  }
  std::vector<MessageRow> rows;
  ScanFolder(
      store, path, nullptr,
      [&](MessageRow&& row) {
        rows.push_back(std::move(row));
        return true;
      },
      [&](const std::string& file) {
        c.err << "vyrelle-cli: cannot open " << file << "\n";
        return true;
      });
  SortRows(rows, DefaultSortKey(path), 1);
  for (const MessageRow& row : rows) {
    c.out << (row.unread ? 1 : 0) << '\t';
    if (row.sortTimeValid) {
      std::int64_t seconds = row.sortTimeNs / 1000000000;
      if (row.sortTimeNs < 0 && row.sortTimeNs % 1000000000 != 0) --seconds;
      c.out << seconds;
    } else {
      c.out << '-';
    }
    c.out << '\t' << OneLine(row.nameShown) << '\t' << OneLine(row.subjectShown) << '\t'
          << OneLine(row.path) << '\n';
  }
  return 0;
}

int SummaryCommand(Context& c, const MailStore& store, const std::string& file) {
  MessageSummary s;
  if (!store.ReadSummary(file, s)) {
    c.err << "vyrelle-cli: no message summary can be read from " << file << "\n";
    return 1;
  }
  const std::pair<const char*, std::string> fields[] = {
      {"From", s.from},
      {"Subject", s.subject},
      {"To", s.to},
      {"CC", s.cc},
      {"BCC", s.bcc},
      {"Date", s.date},
      {"MIME-Version", s.mimeVersion},
      {"Content-Type", s.contentType},
      {"Content-Transfer-Encoding", s.contentTransferEncoding},
      {"File-Name", s.fileName},
      {"Boundary", s.boundary},
      {"Id", s.id},
      {"Number", std::to_string(s.number)},
      {"Total", std::to_string(s.total)},
  };
  for (const auto& [name, value] : fields) c.out << name << ": " << OneLine(value) << '\n';
  return 0;
}

bool NeedFile(Context& c, const std::string& file) {
  if (platform::FileExists(file)) return true;
  c.err << "vyrelle-cli: no message file " << file << "\n";
  return false;
}

}  // namespace

int RunMailCommand(Context& c, const std::vector<std::string>& args) {
  if (args.empty()) return Usage(c.err, "mail needs folders, list, summary, key, state, mark or check");
  const std::string& verb = args[0];
  if (verb == "check") return RunMailCheckCommand(c, std::vector<std::string>(args.begin() + 1, args.end()));
  if (verb == "decode" || verb == "reply" || verb == "search") return RunMailReadCommand(c, args);
  if (verb == "send" || verb == "queue" || verb == "draft" || verb == "flush-outbox" || verb == "split" ||
      verb == "date") {
    return RunMailSendCommand(c, args);
  }
  MailStore store(c.app);
  if (verb == "folders") {
    if (args.size() != 1) return Usage(c.err, "mail folders");
    for (const FolderEntry& e : store.FolderTree()) c.out << e.name << '\t' << (e.bold ? 1 : 0) << '\n';
    return 0;
  }
  if (verb == "list") {
    if (args.size() != 2) return Usage(c.err, "mail list FOLDER");
    return ListCommand(c, store, args[1]);
  }
  if (verb == "summary") {
    if (args.size() != 2) return Usage(c.err, "mail summary FILE");
    return SummaryCommand(c, store, args[1]);
  }
  if (verb == "key") {
    if (args.size() != 2) return Usage(c.err, "mail key FILE");
    if (!NeedFile(c, args[1])) return 1;
    std::string error;
    const std::string key = store.MessageKey(args[1], &error);
    if (!error.empty()) {
      c.err << "vyrelle-cli: " << error << "\n";
      return 1;
    }
    c.out << key << '\n';
    return 0;
  }
  if (verb == "state") {
    if (args.size() != 2) return Usage(c.err, "mail state FILE");
    if (!NeedFile(c, args[1])) return 1;
    c.out << (MailStore::IsUnread(args[1]) ? "unread" : "read") << '\n';
    return 0;
  }
  if (verb == "mark") {
    if (args.size() != 3 || (args[1] != "read" && args[1] != "unread")) {
      return Usage(c.err, "mail mark read|unread FILE");
    }
    if (!NeedFile(c, args[2])) return 1;
    const bool ok = args[1] == "read" ? MailStore::MarkRead(args[2]) : MailStore::MarkUnread(args[2]);
    if (!ok) {
      c.err << "vyrelle-cli: cannot set the times of " << args[2] << "\n";
      return 1;
    }
    return 0;
  }
  return Usage(c.err, "unknown mail command '" + verb + "'");
}

}  // namespace vyr::cli

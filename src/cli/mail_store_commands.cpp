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

void AddMailStoreCommands(CommandTree& tree, CLI::App& mail) {
  tree.Command(mail, "folders", "the folder tree: name, bold (1/0)", [](Context& c, const CLI::App&) {
    MailStore store(c.app);
    for (const FolderEntry& e : store.FolderTree()) c.out << e.name << '\t' << (e.bold ? 1 : 0) << '\n';
    return 0;
  });
  tree.Command(mail, "list",
               "one row per message, tab-separated: unread (1/0),\n"
               "sort time (seconds since 1970, \"-\" when unknown),\n"
               "name shown, subject shown, path; default order",
               [](Context& c, const CLI::App& a) { return ListCommand(c, MailStore(c.app), Value(a, "FOLDER")); })
      ->add_option("FOLDER", "a folder's name (\"Inbox\"), or a folder's path")
      ->required();
  tree.Command(mail, "summary", "the header summary, one \"Field: value\" a line",
               [](Context& c, const CLI::App& a) { return SummaryCommand(c, MailStore(c.app), Value(a, "FILE")); })
      ->add_option("FILE", "a stored message")
      ->required();
  tree.Command(mail, "key", "the message key that names a received message",
               [](Context& c, const CLI::App& a) {
                 const std::string file = Value(a, "FILE");
                 if (!NeedFile(c, file)) return 1;
                 MailStore store(c.app);
                 std::string error;
                 const std::string key = store.MessageKey(file, &error);
                 if (!error.empty()) {
                   c.err << "vyrelle-cli: " << error << "\n";
                   return 1;
                 }
                 c.out << key << '\n';
                 return 0;
               })
      ->add_option("FILE", "a stored message")
      ->required();
  tree.Command(mail, "state", "read or unread",
               [](Context& c, const CLI::App& a) {
                 const std::string file = Value(a, "FILE");
                 if (!NeedFile(c, file)) return 1;
                 c.out << (MailStore::IsUnread(file) ? "unread" : "read") << '\n';
                 return 0;
               })
      ->add_option("FILE", "a stored message")
      ->required();
  CLI::App* mark = tree.Command(mail, "mark", "set the read state", [](Context& c, const CLI::App& a) {
    const std::string file = Value(a, "FILE");
    if (!NeedFile(c, file)) return 1;
    const bool ok = Value(a, "STATE") == "read" ? MailStore::MarkRead(file) : MailStore::MarkUnread(file);
    if (!ok) {
      c.err << "vyrelle-cli: cannot set the times of " << file << "\n";
      return 1;
    }
    return 0;
  });
  mark->add_option("STATE", "read or unread")->required()->check(CLI::IsMember({"read", "unread"}));
  mark->add_option("FILE", "a stored message")->required();
}

}  // namespace vyr::cli

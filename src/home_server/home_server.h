#pragma once
// The home server's answers, apart from any HTTP library: a request
// (method, raw target, client address) goes in, a reply (status, type,
// body or an open file) comes out. main.cpp puts it behind cpp-httplib.
//
// The content folder:
//   channels/             channel files; /channels/NAME
//   infobox/              info box pages Box1.htm, Box2.htm, ...; /infobox/NAME,
//                         and one in turn at /scripts/adserv.dll
//   packages/             update packages and setup programs; /packages/NAME,
//                         with versions.txt listing them for the administrator
//   pages/                every other page: /pages/NAME and /NAME both serve
//                         pages/NAME, "/" serves pages/index.html
//   resolver/words.txt    the keyword resolver's word list: /resolver.dll
//   commands/queue.txt    commands for the session replies: /scripts/vyrcmd.dll
// and the log folder (default <root>/logs) with access.log, usage.log and
// commands.log.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "home_server/command_queue.h"
#include "home_server/content_folder.h"
#include "home_server/log_file.h"
#include "home_server/word_list.h"

namespace vyr::home {

// Files up to this size are answered from memory; larger ones are streamed
// from the open file.
inline constexpr std::uint64_t kInMemoryFileLimit = 1u << 20;
// Info box pages Box1.htm ... are counted up to this number.
inline constexpr int kMaxInfoBoxPages = 999;

struct ServerConfig {
  std::string root;
  std::string logDir;  // empty: <root>/logs
  bool acknowledge = true;
  // Where problems found while serving go (bad queue lines, word list
  // errors, a log that cannot be written). Default: standard error.
  std::function<void(const std::string&)> warn;
};

struct Request {
  std::string method;
  std::string target;  // raw, as in the request line
  std::string client;  // the peer's address
};

struct Reply {
  int status = 200;
  std::string contentType = "text/plain; charset=utf-8";
  std::string body;
  std::vector<std::pair<std::string, std::string>> headers;
  // A file too large to hold in memory: the front end streams fileSize
  // bytes of it.
  std::shared_ptr<UniqueFd> file;
  std::uint64_t fileSize = 0;
};

// One line of packages/versions.txt: "KIND VERSION FILE".
struct PackageEntry {
  std::string kind;  // ibox, Vyr20, dict, VyrFixed or setup
  std::string version;
  std::string file;  // a plain name inside packages/
};
struct VersionsParse {
  std::vector<PackageEntry> packages;
  std::vector<std::string> problems;
};
VersionsParse ParseVersionsFile(std::string_view text);

// The content type for a file name, from its extension.
std::string ContentTypeFor(std::string_view name);

class HomeServer {
 public:
  // Checks the content folder, creates the log folder and commands/ when
  // missing and opens the logs. Null, with error set, when that fails.
  static std::unique_ptr<HomeServer> Create(ServerConfig config, std::string& error);

  Reply Handle(const Request& request);

  // One access log line (the front end calls it once the reply is sent).
  void LogAccess(const Request& request, int status, unsigned long long bytes);
  // After a log rotation: the three logs are opened at their paths again.
  bool ReopenLogs();

  // What an administrator should know at start: missing files, bad lines.
  std::vector<std::string> CheckContent();

  const std::string& Root() const { return config_.root; }
  const std::string& LogDir() const { return config_.logDir; }

 private:
  explicit HomeServer(ServerConfig config);

  Reply Session(std::string_view query, bool hasQuery);
  Reply Resolver(std::string_view query);
  Reply InfoBoxPage(std::string_view query);
  Reply ServeFile(const std::string& folder, const std::vector<std::string>& rest,
                  const std::vector<std::string>& requestSegments, bool trailingSlash);
  Reply FileReply(OpenedFile opened, const std::string& name);
  int CountInfoBoxPages();
  void Warn(const std::string& text);

  ServerConfig config_;
  LogFile accessLog_;
  LogFile usageLog_;
  LogFile commandLog_;
  CommandQueue queue_;
  WordListFile words_;
  std::atomic<std::uint64_t> infoBoxTurn_{0};
};

}  // namespace vyr::home

#include "home_server/home_server.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <iostream>
#include <mutex>

#include "home_server/request_path.h"
#include "home_server/session_query.h"
#include "home_server/text.h"

namespace vyr::home {

namespace {

constexpr char kChannels[] = "channels";
constexpr char kInfoBox[] = "infobox";
constexpr char kPackages[] = "packages";
constexpr char kPages[] = "pages";
constexpr char kCommands[] = "commands";
constexpr char kIndexPage[] = "index.html";

std::string Join(const std::string& folder, const std::string& name) {
  if (folder.empty() || folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

Reply TextReply(int status, std::string text) {
  Reply reply;
  reply.status = status;
  reply.body = std::move(text);
  if (!reply.body.empty() && reply.body.back() != '\n') reply.body += '\n';
  return reply;
}

Reply BadRequest(const std::string& why) { return TextReply(400, "Bad request: " + why); }
Reply NotFound() { return TextReply(404, "Not found"); }

bool SegmentsAre(const std::vector<std::string>& segments, std::initializer_list<const char*> names) {
  if (segments.size() != names.size()) return false;
  size_t i = 0;
  for (const char* name : names) {
    if (!EqualsIgnoreCase(segments[i++], name)) return false;
  }
  return true;
}

std::string InfoBoxPageName(int number) { return "Box" + std::to_string(number) + ".htm"; }

void StderrWarning(const std::string& text) {
  static std::mutex mutex;
  std::lock_guard guard(mutex);
  std::cerr << "vyrelle-home-server: " << text << std::endl;
}

}  // namespace

VersionsParse ParseVersionsFile(std::string_view text) {
  VersionsParse result;
  size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = TrimBlanks(text.substr(start, end - start));
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line = TrimBlanks(line.substr(0, line.size() - 1));
    if (line.empty() || line.front() == '#') continue;
    std::vector<std::string> fields;
    size_t pos = 0;
    while (pos < line.size()) {
      while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
      size_t stop = line.find_first_of(" \t", pos);
      if (stop == std::string_view::npos) stop = line.size();
      if (stop > pos) fields.emplace_back(line.substr(pos, stop - pos));
      pos = stop;
    }
    const std::string where = "versions.txt line " + std::to_string(number) + ": ";
    if (fields.size() != 3) {
      result.problems.push_back(where + "KIND VERSION FILE expected");
      continue;
    }
    PackageEntry entry{fields[0], fields[1], fields[2]};
    const bool knownKind = entry.kind == "ibox" || entry.kind == "Vyr20" || entry.kind == "dict" ||
                           entry.kind == "VyrFixed" || entry.kind == "setup";
    if (!knownKind) {
      result.problems.push_back(where + "the kind must be ibox, Vyr20, dict, VyrFixed or setup");
      continue;
    }
    if (entry.kind != "setup" && !ParseInteger(entry.version, 0, 65535)) {
      result.problems.push_back(where + "a package version is a whole number from 0 to 65535");
      continue;
    }
    const DecodedPath file = DecodeRequestPath("/" + entry.file);
    if (file.verdict != PathVerdict::kOk || file.segments.size() != 1 || entry.file.find('%') != std::string::npos) {
      result.problems.push_back(where + "the file must be a plain name inside packages/");
      continue;
    }
    result.packages.push_back(std::move(entry));
  }
  return result;
}

std::string ContentTypeFor(std::string_view name) {
  const size_t dot = name.rfind('.');
  const std::string ext = dot == std::string_view::npos ? std::string() : ToLowerAscii(name.substr(dot + 1));
  if (ext == "html" || ext == "htm") return "text/html; charset=utf-8";
  if (ext == "txt") return "text/plain; charset=utf-8";
  if (ext == "css") return "text/css";
  if (ext == "js") return "text/javascript";
  if (ext == "png") return "image/png";
  if (ext == "gif") return "image/gif";
  if (ext == "jpg" || ext == "jpeg") return "image/jpeg";
  if (ext == "bmp") return "image/bmp";
  if (ext == "ico") return "image/x-icon";
  if (ext == "svg") return "image/svg+xml";
  if (ext == "zip") return "application/zip";
  // Channel files, setup programs and everything else: bytes to be saved.
  return "application/octet-stream";
}

HomeServer::HomeServer(ServerConfig config)
    : config_(std::move(config)),
      accessLog_(Join(config_.logDir, "access.log")),
      usageLog_(Join(config_.logDir, "usage.log")),
      commandLog_(Join(config_.logDir, "commands.log")),
      queue_(Join(Join(config_.root, kCommands), "queue.txt"), Join(Join(config_.root, kCommands), "queue.lock"),
             Join(Join(config_.root, kCommands), "delivered.txt")),
      words_(Join(config_.root, "resolver/words.txt")) {}

std::unique_ptr<HomeServer> HomeServer::Create(ServerConfig config, std::string& error) {
  struct stat info {};
  if (config.root.empty() || stat(config.root.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    error = "the content folder " + config.root + " is not a folder";
    return nullptr;
  }
  while (config.root.size() > 1 && config.root.back() == '/') config.root.pop_back();
  if (config.logDir.empty()) config.logDir = Join(config.root, "logs");
  if (!config.warn) config.warn = StderrWarning;
  std::error_code ec;
  std::filesystem::create_directories(config.logDir, ec);
  if (ec) {
    error = "cannot create the log folder " + config.logDir + ": " + ec.message();
    return nullptr;
  }
  std::filesystem::create_directories(Join(config.root, kCommands), ec);
  if (ec) {
    error = "cannot create " + Join(config.root, kCommands) + ": " + ec.message();
    return nullptr;
  }
  std::unique_ptr<HomeServer> server(new HomeServer(std::move(config)));
  for (LogFile* log : {&server->accessLog_, &server->usageLog_, &server->commandLog_}) {
    if (!log->Open()) {
      error = "cannot open " + log->Path() + ": " + std::strerror(errno);
      return nullptr;
    }
  }
  return server;
}

void HomeServer::Warn(const std::string& text) { config_.warn(text); }

bool HomeServer::ReopenLogs() {
  bool ok = true;
  for (LogFile* log : {&accessLog_, &usageLog_, &commandLog_}) {
    if (!log->Reopen()) {
      Warn("cannot reopen " + log->Path() + ": " + std::strerror(errno));
      ok = false;
    }
  }
  return ok;
}

void HomeServer::LogAccess(const Request& request, int status, unsigned long long bytes) {
  if (!accessLog_.Write(AccessLine(UtcTimestampNow(), request.client, request.method, request.target, status, bytes))) {
    Warn("cannot write to " + accessLog_.Path());
  }
}

std::vector<std::string> HomeServer::CheckContent() {
  std::vector<std::string> notes;
  auto needFile = [&](const std::string& folder, const std::string& name, const std::string& why) {
    if (OpenBelow(Join(config_.root, folder), {name}).status != OpenStatus::kFile) {
      notes.push_back("missing " + folder + "/" + name + " (" + why + ")");
    }
  };
  needFile(kChannels, "chanfixed.vyr", "the program fetches it at its first start");
  needFile(kInfoBox, "Box1.htm", "the info box pages");
  needFile("resolver", "words.txt", "the keyword resolver knows no word without it");
  needFile(kPages, kIndexPage, "the page at /");

  const OpenedFile versions = OpenBelow(Join(config_.root, kPackages), {"versions.txt"});
  if (versions.status == OpenStatus::kFile) {
    std::string text;
    ReadAll(versions.fd.Get(), text, 1u << 20);
    VersionsParse parsed = ParseVersionsFile(text);
    for (std::string& problem : parsed.problems) notes.push_back(std::move(problem));
    for (const PackageEntry& entry : parsed.packages) {
      if (OpenBelow(Join(config_.root, kPackages), {entry.file}).status != OpenStatus::kFile) {
        notes.push_back("versions.txt lists " + entry.file + " but packages/" + entry.file + " is missing");
      }
    }
  }
  std::vector<std::string> wordProblems;
  words_.Lookup("", &wordProblems);
  for (std::string& problem : wordProblems) notes.push_back("resolver/words.txt " + problem);
  return notes;
}

Reply HomeServer::Handle(const Request& request) {
  if (request.method != "GET" && request.method != "HEAD") {
    Reply reply = TextReply(405, "Only GET and HEAD are answered");
    reply.headers.emplace_back("Allow", "GET, HEAD");
    return reply;
  }
  const std::string targetError = CheckRawTarget(request.target);
  if (!targetError.empty()) return BadRequest(targetError);
  const TargetParts parts = SplitTarget(request.target);
  const DecodedPath path = DecodeRequestPath(parts.path);
  if (path.verdict == PathVerdict::kBadRequest) return BadRequest(path.reason);
  if (path.verdict == PathVerdict::kNotFound) return NotFound();
  const std::vector<std::string>& segments = path.segments;

  if (SegmentsAre(segments, {"scripts", "vyrcmd.dll"})) {
    // A session request logs and hands out commands: a HEAD, whose reply
    // has no body, would lose them.
    if (request.method != "GET") {
      Reply reply = TextReply(405, "The session script answers GET only");
      reply.headers.emplace_back("Allow", "GET");
      return reply;
    }
    return Session(parts.query, parts.hasQuery);
  }
  if (SegmentsAre(segments, {"resolver.dll"})) return Resolver(parts.query);
  if (SegmentsAre(segments, {"scripts", "adserv.dll"})) return InfoBoxPage(parts.query);
  if (!segments.empty() && EqualsIgnoreCase(segments.front(), "scripts")) return NotFound();

  if (!segments.empty()) {
    for (const char* tree : {kChannels, kInfoBox, kPackages, kPages}) {
      if (segments.front() == tree) {
        const std::vector<std::string> rest(segments.begin() + 1, segments.end());
        return ServeFile(Join(config_.root, tree), rest, segments, path.trailingSlash);
      }
    }
  }
  return ServeFile(Join(config_.root, kPages), segments, segments, path.trailingSlash);
}

Reply HomeServer::FileReply(OpenedFile opened, const std::string& name) {
  Reply reply;
  reply.contentType = ContentTypeFor(name);
  if (opened.size <= kInMemoryFileLimit) {
    if (!ReadAll(opened.fd.Get(), reply.body, kInMemoryFileLimit)) return TextReply(500, "The file could not be read");
  } else {
    reply.fileSize = opened.size;
    reply.file = std::make_shared<UniqueFd>(std::move(opened.fd));
  }
  return reply;
}

Reply HomeServer::ServeFile(const std::string& folder, const std::vector<std::string>& rest,
                            const std::vector<std::string>& requestSegments, bool trailingSlash) {
  OpenedFile opened = OpenBelow(folder, rest);
  if (opened.status == OpenStatus::kDirectory) {
    if (!trailingSlash && !requestSegments.empty()) {
      // A folder named without its "/": sent to the spelling with it, built
      // from the checked segments (never from the raw target).
      std::string location;
      for (const std::string& segment : requestSegments) location += "/" + EncodePathSegment(segment);
      Reply reply = TextReply(301, "Moved to " + location + "/");
      reply.headers.emplace_back("Location", location + "/");
      return reply;
    }
    std::vector<std::string> index = rest;
    index.emplace_back(kIndexPage);
    opened = OpenBelow(folder, index);
    if (opened.status == OpenStatus::kDirectory) return NotFound();
  }
  switch (opened.status) {
    case OpenStatus::kFile: return FileReply(std::move(opened), rest.empty() ? kIndexPage : rest.back());
    case OpenStatus::kDenied: return TextReply(403, "Forbidden");
    case OpenStatus::kError: return TextReply(500, "The file could not be opened");
    case OpenStatus::kOutside:
      Warn("refused a path that leads out of " + folder + " through a link");
      return NotFound();
    default: return NotFound();
  }
}

Reply HomeServer::Session(std::string_view query, bool hasQuery) {
  if (!hasQuery) return BadRequest("Login, Ping or Logout is missing");
  const SessionParse parsed = ParseSessionQuery(query);
  if (!parsed.request) return BadRequest(parsed.error);
  const SessionRequest& request = *parsed.request;

  const std::string now = UtcTimestampNow();
  // What a ping reported is recorded before anything is acknowledged: a
  // count the log did not take is never taken off the program's counters.
  if (!usageLog_.Write(UsageLine(now, request))) {
    Warn("cannot write to " + usageLog_.Path());
    return TextReply(500, "The usage log cannot be written");
  }

  std::vector<std::string> commands;
  if (request.verb != SessionVerb::kLogout) {
    // A logout comes as the program ends: commands wait for its next run.
    std::vector<std::string> acks;
    if (config_.acknowledge) acks = AckCommands(request);
    size_t budget = kReplyLimit - std::strlen("PONG#");
    for (const std::string& ack : acks) budget -= std::min(budget, ack.size() + 1);
    CommandQueue::Taken taken = queue_.TakeFor(request.user, budget);
    for (const std::string& problem : taken.problems) Warn("commands/queue.txt: " + problem);
    if (!taken.ok) Warn("commands/queue.txt could not be read or rewritten; no command was taken");
    for (const std::string& command : taken.commands) {
      if (!commandLog_.Write(now + "\t" + ToUpperAscii(request.user) + "\t" + command)) {
        Warn("cannot write to " + commandLog_.Path());
      }
    }
    commands = std::move(taken.commands);
    commands.insert(commands.end(), acks.begin(), acks.end());
  }
  Reply reply;
  reply.body = PongReply(commands);
  reply.headers.emplace_back("Cache-Control", "no-store");
  return reply;
}

Reply HomeServer::Resolver(std::string_view query) {
  std::optional<std::string> word;
  size_t start = 0;
  while (start <= query.size()) {
    size_t end = query.find('&', start);
    if (end == std::string_view::npos) end = query.size();
    const std::string_view pair = query.substr(start, end - start);
    start = end + 1;
    const size_t eq = pair.find('=');
    if (eq == std::string_view::npos || pair.substr(0, eq) != "realname") {
      return BadRequest("the resolver takes realname=WORD only");
    }
    if (word) return BadRequest("realname appears twice");
    const std::optional<std::string> decoded = PercentDecode(pair.substr(eq + 1), true);
    if (!decoded) return BadRequest("the word holds a malformed escape");
    if (HasControlByte(*decoded)) return BadRequest("the word holds a control byte");
    if (decoded->size() > 256) return BadRequest("the word is too long");
    word = *decoded;
    if (end == query.size()) break;
  }
  if (!word) return BadRequest("realname is missing");

  std::vector<std::string> problems;
  const std::optional<std::string> address = NormalizeKeyword(*word).empty() ? std::nullopt : words_.Lookup(*word, &problems);
  for (const std::string& problem : problems) Warn("resolver/words.txt " + problem);
  Reply reply;
  reply.contentType = "text/html; charset=utf-8";
  if (address) {
    reply.body = ResolverFoundPage(*address);
  } else {
    reply.status = 404;
    reply.body = ResolverUnknownPage();
  }
  return reply;
}

int HomeServer::CountInfoBoxPages() {
  const std::string folder = Join(config_.root, kInfoBox);
  int count = 0;
  while (count < kMaxInfoBoxPages && OpenBelow(folder, {InfoBoxPageName(count + 1)}).status == OpenStatus::kFile) {
    ++count;
  }
  return count;
}

Reply HomeServer::InfoBoxPage(std::string_view query) {
  int number = 0;
  if (!query.empty()) {
    if (query.rfind("page=", 0) != 0) return BadRequest("the info box takes page=N only");
    const auto page = ParseInteger(query.substr(5), 1, kMaxInfoBoxPages);
    if (!page) return BadRequest("page must be a number from 1 to 999");
    number = static_cast<int>(*page);
  } else {
    const int count = CountInfoBoxPages();
    if (count == 0) return NotFound();
    number = static_cast<int>(infoBoxTurn_.fetch_add(1) % static_cast<std::uint64_t>(count)) + 1;
  }
  OpenedFile opened = OpenBelow(Join(config_.root, kInfoBox), {InfoBoxPageName(number)});
  if (opened.status != OpenStatus::kFile) return NotFound();
  Reply reply = FileReply(std::move(opened), InfoBoxPageName(number));
  reply.headers.emplace_back("Cache-Control", "no-store");
  return reply;
}

}  // namespace vyr::home

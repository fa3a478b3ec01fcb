#include "browser/navigation_policy.h"

#include <algorithm>
#include <cctype>

#include "base/application.h"
#include "net/web_origin.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"
#include "platform/text.h"

namespace vyr {

namespace {

// The decoded path of a file: address ("" for anything else, and for a path
// with a "." or ".." segment or a zero byte, which is refused rather than
// resolved).
std::string FilePath(const std::string& url) {
  const std::string lower = platform::AsciiLower(url.substr(0, 17));
  std::string rest;
  if (platform::StartsWith(lower, "file:///")) {
    rest = url.substr(7);
  } else if (platform::StartsWith(lower, "file://localhost/")) {
    rest = url.substr(16);
  } else {
    return {};
  }
  rest = rest.substr(0, rest.find_first_of("?#"));
  const std::string path = platform::DecodePercentEscapes(rest);
  if (path.find('\0') != std::string::npos) return {};
  for (size_t start = 0; start < path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return {};
    start = end + 1;
  }
  return path;
}

std::vector<std::string> ProgramFolders(const Application& app, const std::string& shippedFolder) {
  std::vector<std::string> folders;
  const std::string root = app.Directories().Root();
  if (!root.empty()) {
    // The scheme pages, the info box pages and the shipped data copied into
    // the data root; never "_TEMP", the mail folder or anything downloaded.
    for (const char* name : {"media", "InfoBox", "Data"}) folders.push_back(root + "/" + name);
  }
  if (!shippedFolder.empty()) folders.push_back(shippedFolder);
  return folders;
}

}  // namespace

NavigationPolicy::NavigationPolicy(Options options) : options_(std::move(options)) {
  std::string& home = options_.homeServer;
  while (!home.empty() && home.back() == '/') home.pop_back();
  for (std::string& folder : options_.programFolders) {
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  }
  std::string& messages = options_.messageFolder;
  while (messages.size() > 1 && messages.back() == '/') messages.pop_back();
}

NavigationPolicy NavigationPolicy::ForBrowserWindow(const Application& app, const std::string& shippedFolder) {
  Options options;
  options.homeServer = app.HomeServer();
  options.programFolders = ProgramFolders(app, shippedFolder);
  options.popups = options.downloads = true;
  options.takes = kTakesEverything;
  return NavigationPolicy(std::move(options));
}

NavigationPolicy NavigationPolicy::ForInfoBox(const Application& app, const std::string& shippedFolder) {
  Options options;
  options.homeServer = app.HomeServer();
  options.programFolders = ProgramFolders(app, shippedFolder);
  options.takes = kTakesCommands | kTakesChannelFiles;
  return NavigationPolicy(std::move(options));
}

NavigationPolicy NavigationPolicy::ForMailMessage(const std::string& messageFolder) {
  Options options;
  options.takes = kTakesMailto;
  options.script = false;
  options.remoteContent = false;
  options.messageFolder = messageFolder;
  return NavigationPolicy(std::move(options));
}

bool NavigationPolicy::IsMessageFile(const std::string& address) const {
  const std::string& folder = options_.messageFolder;
  const std::string path = FilePath(address);
  return !folder.empty() && folder[0] == '/' && platform::StartsWith(path, folder + "/") &&
         path.size() > folder.size() + 1;
}

MessageNavigation NavigationPolicy::RouteMessageNavigation(const NavigationFacts& f) const {
  if (f.startedByShell && !f.newWindow) return MessageNavigation::Show;
  // Only a real click leaves the message: the engine's link-clicked type
  // with a gesture, the pointer pressed on that very link, no redirect, and
  // nothing that shows a frame started it.
  const bool click = f.kind == NavigationKind::LinkClicked && f.userGesture && f.pointerOnLink && !f.redirect &&
                     MayBeMainFrame(f);
  if (!click) return MessageNavigation::Refuse;
  const std::string scheme = platform::AsciiLower(f.url.substr(0, f.url.find(':') + 1));
  if (scheme == "http:" || scheme == "https:") return MessageNavigation::OpenInBrowser;
  if (scheme == "mailto:") return MessageNavigation::Compose;
  if (IsMessageFile(f.url) && !f.newWindow) return MessageNavigation::Show;
  return MessageNavigation::Refuse;
}

bool NavigationPolicy::IsHomeOrigin(const std::string& address) const {
  return !options_.homeServer.empty() && net::IsSameOrigin(address, options_.homeServer);
}

bool NavigationPolicy::IsProgramPage(const std::string& address) const {
  const std::string path = FilePath(address);
  if (path.empty()) return false;
  return std::any_of(options_.programFolders.begin(), options_.programFolders.end(),
                     [&path](const std::string& folder) {
                       return !folder.empty() && folder[0] == '/' && platform::StartsWith(path, folder + "/");
                     });
}

bool NavigationPolicy::IsTrustedDocument(const std::string& address) const {
  return IsHomeOrigin(address) || IsProgramPage(address);
}

Trust NavigationPolicy::Assess(const NavigationFacts& f) const {
  if (f.startedByShell) return Trust::Full;
  // The engine names the destination on redirects: anything but the main
  // frame's document is a sub-frame's navigation.
  if (!f.fetchDestination.empty() && f.fetchDestination != "document") return Trust::None;
  if (f.redirect) {
    // The chain's first page chose where it leads, and a redirect is never a
    // click: trusted only when a trusted main-frame document began the chain
    // (or our own request did, to the home server).
    if (!f.referrer.empty()) {
      return IsHomeOrigin(f.referrer) && net::IsSameOrigin(f.referrer, f.mainDocument) ? Trust::Full : Trust::None;
    }
    if (!f.shellChainStart.empty()) return IsHomeOrigin(f.shellChainStart) ? Trust::Full : Trust::None;
    return IsProgramPage(f.mainDocument) ? Trust::Full : Trust::None;
  }
  if (!f.referrer.empty()) {
    // A document of another origin than the main frame's started it: a
    // sub-frame's navigation, which never counts.
    if (!net::IsSameOrigin(f.referrer, f.mainDocument)) return Trust::None;
    if (IsHomeOrigin(f.referrer)) return Trust::Full;
  } else if (IsProgramPage(f.mainDocument)) {
    // The engine sends no Referer from the program's own file pages (and the
    // pane refuses frames of other origins inside them).
    return Trust::Full;
  }
  const bool realLink = f.kind == NavigationKind::LinkClicked || f.kind == NavigationKind::FormSubmitted;
  if (realLink && f.userGesture && f.pointerOnLink) return Trust::UserClick;
  return Trust::None;
}

bool MayBeMainFrame(const NavigationFacts& f) {
  if (f.startedByShell || f.newWindow) return true;
  if (!f.fetchDestination.empty()) return f.fetchDestination == "document";
  if (f.referrer.empty() || f.mainDocument.empty()) return true;
  return net::IsSameOrigin(f.referrer, f.mainDocument) || !net::ParseWebOrigin(f.mainDocument);
}

NavigationVerdict NavigationPolicy::Verdict(const NavigationFacts& facts) const {
  NavigationVerdict verdict;
  verdict.trust = Assess(facts);
  verdict.takes = options_.takes;
  const bool mainFrameClick = facts.pointerOnLink && facts.userGesture && !facts.redirect &&
                              facts.kind == NavigationKind::LinkClicked &&
                              (facts.referrer.empty() || net::IsSameOrigin(facts.referrer, facts.mainDocument) ||
                               IsProgramPage(facts.mainDocument));
  verdict.userStarted = facts.startedByShell || (verdict.trust != Trust::None && mainFrameClick);
  return verdict;
}

bool IsPlainFileName(const std::string& name) {
  if (name.empty() || name == "." || name.find("..") != std::string::npos) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return c == '/' || c == '\\' || c == ':' || u < 0x20 || u == 0x7f;
  });
}

std::string SchemeImagePath(const Application& app, const std::string& name) {
  if (!IsPlainFileName(name)) return {};
  const std::string path = app.ResolveSchemeFile(name, true);
  return !path.empty() && platform::FileExists(path) ? path : std::string();
}

}  // namespace vyr

#include "browser/navigation_trust.h"

#include <algorithm>
#include <cctype>

#include "app/application.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"

namespace vyr {

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

bool StartsWith(const std::string& s, const std::string& prefix) {
  return s.compare(0, prefix.size(), prefix) == 0;
}

// The address is the home server's own: its whole scheme and host (and port)
// followed by the end or by "/", "?" or "#". "http://www.vyrelle.example.evil"
// and "http://www.vyrelle.example@evil" are not.
bool IsOnHomeServer(const std::string& url, const std::string& homeServer) {
  if (homeServer.empty()) return false;
  std::string home = Lower(homeServer);
  while (!home.empty() && home.back() == '/') home.pop_back();
  if (home.find("://") == std::string::npos) return false;
  const std::string lower = Lower(url);
  if (!StartsWith(lower, home)) return false;
  return lower.size() == home.size() || std::string("/?#").find(lower[home.size()]) != std::string::npos;
}

// A file address whose path lies inside the data root. The path is decoded
// first; any "." or ".." segment refuses it rather than being resolved.
bool IsInDataRoot(const std::string& url, const std::string& dataRoot) {
  if (dataRoot.empty() || dataRoot[0] != '/') return false;
  std::string lower = Lower(url.substr(0, 17));
  std::string rest;
  if (StartsWith(lower, "file:///")) {
    rest = url.substr(7);
  } else if (StartsWith(lower, "file://localhost/")) {
    rest = url.substr(16);
  } else {
    return false;
  }
  rest = rest.substr(0, rest.find_first_of("?#"));
  const std::string path = platform::DecodePercentEscapes(rest);
  if (path.find('\0') != std::string::npos) return false;
  for (size_t start = 0; start < path.size();) {
    const size_t end = std::min(path.find('/', start), path.size());
    const std::string segment = path.substr(start, end - start);
    if (segment == "." || segment == "..") return false;
    start = end + 1;
  }
  std::string root = dataRoot;
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return StartsWith(path, root + "/");
}

}  // namespace

bool IsTrustedNavigation(const NavigationOrigin& origin, const std::string& homeServer,
                         const std::string& dataRoot) {
  if (!origin.topLevel) return false;
  if (origin.userGesture || origin.startedByShell) return true;
  return IsOnHomeServer(origin.sourceUrl, homeServer) || IsInDataRoot(origin.sourceUrl, dataRoot);
}

bool IsTrustedNavigation(const NavigationOrigin& origin, const Application* app) {
  if (!app) return IsTrustedNavigation(origin, std::string(), std::string());
  return IsTrustedNavigation(origin, app->HomeServer(), app->Directories().Root());
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

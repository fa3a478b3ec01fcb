#include "browser/enhanced_browsing.h"

#include <curl/curl.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <optional>

#include "base/text_trim.h"
#include "platform/url_canonicalizer.h"

namespace vyr {

namespace {

// Reports of the worker to the object's own window handle; wParam is the
// run's generation.
constexpr std::uint32_t kReportDownloadBegin = 1;
constexpr std::uint32_t kReportStatusText = 2;
constexpr std::uint32_t kReportNavigate = 3;

// How long a new command waits for the previous worker before forgetting it.
constexpr std::chrono::milliseconds kStopWait{100};

constexpr char kLookingFor[] = "* ENHANCED BROWSING: looking for %s";
constexpr char kRealNameSearch[] = "* ENHANCED BROWSING: RealName search for: %s";
constexpr char kComHost[] = "www.%s.com";
constexpr char kCentraal[] = "Centraal";
constexpr size_t kJudgedBytes = 512;
constexpr long kResolverTimeoutSeconds = 20;



// "www.vyrelle.example" from "http://www.vyrelle.example/...", the port kept.
std::string HostPart(const std::string& url) {
  size_t start = url.find("://");
  start = start == std::string::npos ? 0 : start + 3;
  const size_t end = url.find_first_of("/?#", start);
  return url.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// A built address canonicalised; one whose canonical form is too long for
// the canonicaliser's buffer is used as it is.
std::string Canonical(const std::string& address) {
  std::string out;
  return platform::CanonicalizeUrl(address, out) ? out : address;
}

// The worker's steps. status() shows a text; nullopt when stopped.
std::optional<std::string> AddressForWord(const std::string& pending,
                                          const Application::SmarterBrowsing& flags,
                                          const EnhancedBrowsingSettings& settings,
                                          platform::HostResolver& hosts, const KeywordQuery& query,
                                          const std::atomic<bool>& stop,
                                          const std::function<void(const std::string&)>& status) {
  const std::string word = TrimBlanks(pending);
  std::string address = word;
  if (!IsBareWord(word)) return address;
  bool found = false;
  if (flags.autocomplete && std::none_of(word.begin(), word.end(), IsBlank)) {
    address = FormatWithWord(kComHost, word);
    status(FormatWithWord(kLookingFor, word));
    found = hosts.Resolves(address, stop);
  }
  if (stop) return std::nullopt;
  if (!found && flags.realNames) {
    address = word;
    status(FormatWithWord(kRealNameSearch, word));
    const std::string path = FormatWithWord(settings.resolverPath, EncodeWordForAddress(word));
    // No resolver host (no home server): no look-up.
    if (!settings.resolverHost.empty() && query(settings.resolverHost, path, stop)) {
      // The path begins with "/", so the address holds "//" after the host.
      address = Canonical("http://" + settings.resolverHost + "/" + path);
      found = true;
    }
  }
  if (stop) return std::nullopt;
  if (!found && flags.webSearch && !settings.searchUrl.empty()) {
    address = Canonical(FormatWithWord(settings.searchUrl, EncodeWordForAddress(word)));
  }
  return address;
}

// --- the resolver request ------------------------------------------------------

struct ResolverReply {
  std::string head;  // the first kJudgedBytes of the body
  bool full = false;
  const std::atomic<bool>* stop = nullptr;
};

size_t TakeBody(char* data, size_t size, size_t count, void* user) {
  auto* reply = static_cast<ResolverReply*>(user);
  const size_t bytes = size * count;
  const size_t take = std::min(bytes, kJudgedBytes - reply->head.size());
  reply->head.append(data, take);
  if (reply->head.size() < kJudgedBytes) return bytes;
  reply->full = true;
  return 0;  // enough read: ends the transfer
}

int CheckStop(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* reply = static_cast<const ResolverReply*>(user);
  return reply->stop && *reply->stop ? 1 : 0;
}

bool HasPort(const std::string& host) {
  const size_t bracket = host.rfind(']');
  return host.find(':', bracket == std::string::npos ? 0 : bracket) != std::string::npos;
}

struct CurlHandle {
  CURL* curl = curl_easy_init();
  ~CurlHandle() {
    if (curl) curl_easy_cleanup(curl);
  }
};

}  // namespace

bool IsBareWord(const std::string& text) { return text.find_first_of(":/\\.") == std::string::npos; }

std::string AddressForTypedText(const std::string& typed) {
  const std::string text = TrimBlanks(typed);
  if (text.empty()) return text;
  if (text.rfind("//", 0) == 0) return "http:" + text;
  if (text[0] == '/') return "file://" + platform::PercentEncode(text, "/");
  // A scheme: a letter, then letters, digits, "+", "-" or ".", then ":".
  const auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
  size_t colon = 0;
  if (isLetter(text[0])) {
    colon = 1;
    while (colon < text.size() && (isLetter(text[colon]) || (text[colon] >= '0' && text[colon] <= '9') ||
                                   text[colon] == '+' || text[colon] == '-' || text[colon] == '.'))
      ++colon;
  }
  if (colon > 0 && colon < text.size() && text[colon] == ':') {
    // After a host comes a port: one to five digits up to the path, the
    // query, the fragment or the end.
    size_t end = colon + 1;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    const size_t digits = end - colon - 1;
    const bool port = digits >= 1 && digits <= 5 && (end == text.size() || std::strchr("/?#", text[end]));
    if (!port) return text;
  }
  return "http://" + text;
}

std::string EncodeWordForAddress(const std::string& word) { return platform::PercentEncode(word, " "); }

std::string FormatWithWord(const std::string& pattern, const std::string& word) {
  std::string out;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '%' && i + 1 < pattern.size() && (pattern[i + 1] == 's' || pattern[i + 1] == '%')) {
      out += pattern[i + 1] == 's' ? word : "%";
      ++i;
    } else {
      out += pattern[i];
    }
  }
  return out;
}

EnhancedBrowsingSettings LoadEnhancedBrowsingSettings(const Application& app) {
  EnhancedBrowsingSettings s;
  s.searchUrl = app.Get(kSearchUrl);
  s.resolverHost = app.GetOr(kSearchResolverHost, HostPart(app.HomeServer()));
  s.resolverPath = app.Get(kSearchResolverPath);
  return s;
}

std::string EnhancedBrowsingHelpAddress(const Application& app) {
  return app.Get(kSmarterBrowsingHelp);
}

void SaveSmarterBrowsingFlags(Application& app, const Application::SmarterBrowsing& flags) {
  app.Write(kSmarterBrowsingAutocomplete, flags.autocomplete ? 1 : 0);
  app.Write(kSmarterBrowsingRealNames, flags.realNames ? 1 : 0);
  app.Write(kSmarterBrowsingWebSearch, flags.webSearch ? 1 : 0);
  app.SetSmarterBrowsingFlags(flags);
  app.PlaySound("save", 1, false);
}

bool QueryResolver(const std::string& host, const std::string& path, const std::string& verb,
                   int port, const std::atomic<bool>* stop) {
  static std::once_flag curlReady;
  std::call_once(curlReady, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  if (host.empty() || host.find_first_of("/?#@ \t\r\n") != std::string::npos) return false;
  if (stop && *stop) return false;

  std::string sent = path;
  std::replace(sent.begin(), sent.end(), ' ', '+');
  if (sent.empty() || sent[0] != '/') sent.insert(0, "/");
  const std::string url =
      "http://" + host + (HasPort(host) ? "" : ":" + std::to_string(port)) + sent;

  CurlHandle handle;
  CURL* curl = handle.curl;
  if (!curl) return false;
  ResolverReply reply;
  reply.stop = stop;
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  if (verb != "GET") curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, verb.c_str());
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http");
  curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, kResolverTimeoutSeconds);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, TakeBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, CheckStop);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &reply);
  const CURLcode rc = curl_easy_perform(curl);
  if (rc != CURLE_OK && !(rc == CURLE_WRITE_ERROR && reply.full)) return false;
  if (stop && *stop) return false;
  long status = 0;
  if (curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200) {
    return false;
  }
  return reply.head.find(kCentraal) == std::string::npos;
}

bool AskKeywordResolver(const std::string& host, const std::string& path,
                        const std::atomic<bool>& stop) {
  return QueryResolver(host, path, "GET", 80, &stop);
}

// --- the worker and its owner ----------------------------------------------------

EnhancedBrowsing::EnhancedBrowsing(BrowsingOwner& owner, EnhancedBrowsingSettings settings,
                                   std::shared_ptr<platform::HostResolver> hosts, KeywordQuery query)
    : owner_(owner),
      settings_(std::move(settings)),
      hosts_(std::move(hosts)),
      query_(std::move(query)),
      handle_(platform::WindowMessages::Instance().Register(this)) {}

EnhancedBrowsing::~EnhancedBrowsing() {
  platform::WindowMessages::Instance().Unregister(handle_);
  worker_.StopRun(kStopWait);
}

bool EnhancedBrowsing::Navigate(const std::string& text, const Application::SmarterBrowsing& flags) {
  Stop();
  if (!IsBareWord(text)) {
    owner_.NavigateControl(AddressForTypedText(text));
    return false;
  }
  worker_.StartRun(kStopWait, [handle = handle_, text, flags, settings = settings_, hosts = hosts_,
                               query = query_](std::shared_ptr<StoppableWorker<std::atomic<bool>>::Run> run,
                                               unsigned generation) {
    StoppableWorker<std::atomic<bool>>::DoneMark done(*run);
    auto& messages = platform::WindowMessages::Instance();
    messages.PostMessage(handle, kReportDownloadBegin, generation);
    auto status = [&](const std::string& line) {
      messages.PostMessage(handle, kReportStatusText, line, generation);
    };
    std::optional<std::string> address =
        AddressForWord(text, flags, settings, *hosts, query, run->stop, status);
    if (address && !run->stop) messages.PostMessage(handle, kReportNavigate, *address, generation);
  });
  return true;
}

void EnhancedBrowsing::Stop() { worker_.StopRun(kStopWait); }

void EnhancedBrowsing::OnWindowMessage(const platform::WindowMessage& message) {
  if (message.wParam != worker_.Generation()) return;  // from a stopped run
  const std::string text = message.text.value_or("");
  switch (message.message) {
    case kReportDownloadBegin:
      owner_.DownloadBegin();
      break;
    case kReportStatusText: {
      const std::string shown = text.substr(std::min(text.find_first_not_of(' '), text.size()));
      if (shown.rfind("://", 0) == 0) {
        owner_.RollOverTextChange(shown);
      } else {
        owner_.StatusTextChange(shown);
      }
      break;
    }
    case kReportNavigate:
      // The host the ".com" step found is opened over http; a word no step
      // turned into an address goes to the control as it is.
      owner_.NavigateControl(IsBareWord(text) ? text : AddressForTypedText(text));
      break;
  }
}

}  // namespace vyr

#include "net/download_worker.h"

#include <curl/curl.h>
#include <openssl/crypto.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <mutex>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

#include "base/message_box.h"
#include "base/stoppable_worker.h"
#include "net/web_origin.h"
#include "platform/file_system.h"
#include "platform/url_canonicalizer.h"

namespace vyr::net {

namespace {

constexpr char kUserAgent[] = "Vyrelle 2.0";
constexpr char kSchemeMarker[] = "vyrscheme";
constexpr char kBoxTitle[] = "PSERROR";
constexpr int kWindowAttempts = 100;
constexpr auto kWindowAttemptPause = std::chrono::milliseconds(30);
// How much one read of the connection may bring.
constexpr long kReceiveBufferSize = 256 * 1024;
// A download's data starts on its way to disk every this many bytes.
constexpr std::uint64_t kWriteBackEvery = 8 * 1024 * 1024;
// Data-written messages wake the window's thread at most this often.
constexpr auto kProgressWakeEvery = std::chrono::milliseconds(100);

// curl_global_init is not thread-safe; every entry point goes through here
// first so that the first download does it exactly once.
void InitCurlOnce() {
  static const bool done = [] {
    curl_global_init(CURL_GLOBAL_DEFAULT);
    return true;
  }();
  (void)done;
}

struct CurlDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

struct HeaderListDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using HeaderList = std::unique_ptr<curl_slist, HeaderListDeleter>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

HeaderList NoCacheHeaders() {
  curl_slist* list = curl_slist_append(nullptr, "Cache-Control: no-cache");
  if (list) {
    curl_slist* more = curl_slist_append(list, "Pragma: no-cache");
    if (!more) {
      curl_slist_free_all(list);
      return nullptr;
    }
    list = more;
  }
  return HeaderList(list);
}

// The options every request shares: agent, redirects, protocols. Only http
// and https reach the network, for the address itself and for every
// redirect: a server must not be able to send a download to a local file
// (file:) or to any other protocol. Servers that answer without a status
// line are accepted so that the caller can decide what a missing status
// means.
void SetCommonOptions(CURL* h, const std::string& url) {
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_HTTP09_ALLOWED, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
  // A server that sends nothing for a minute has gone: the transfer fails
  // instead of holding its worker (and a dialog without Cancel) forever.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
}

bool IsDrivePath(const std::string& s) { return s.size() >= 4 && s[1] == ':'; }


}  // namespace

bool FetchesFromOrigin(const std::string& url, const std::string& origin) {
  const std::optional<WebOrigin> wanted = ParseWebOrigin(origin);
  const std::optional<WebOrigin> named = ParseWebOrigin(url);
  if (!wanted || !named || !(*wanted == *named)) return false;
  for (unsigned char c : url) {
    if (c <= 0x20 || c == 0x7F) return false;
  }
  struct UrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
  };
  InitCurlOnce();
  std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return false;
  auto part = [&](CURLUPart which, unsigned flags, std::string& out) {
    char* text = nullptr;
    if (curl_url_get(parsed.get(), which, &text, flags) != CURLUE_OK || !text) return false;
    out = text;
    curl_free(text);
    return true;
  };
  std::string scheme, host, port, ignored;
  if (part(CURLUPART_USER, 0, ignored) || part(CURLUPART_PASSWORD, 0, ignored)) return false;
  if (!part(CURLUPART_SCHEME, 0, scheme) || !part(CURLUPART_HOST, 0, host) ||
      !part(CURLUPART_PORT, CURLU_DEFAULT_PORT, port)) {
    return false;
  }
  auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  return lower(scheme) == wanted->scheme && lower(host) == wanted->host &&
         port == std::to_string(wanted->port);
}

std::string LocalSourcePath(const std::string& url) {
  if (IsDrivePath(url)) return url;
  if (!url.empty() && url[0] == '/') return url;
  // file:///path, file://localhost/path, file:/path
  if (url.size() < 6 || !std::equal(url.begin(), url.begin() + 5, "file:", [](char a, char b) {
        return static_cast<char>(std::tolower(static_cast<unsigned char>(a))) == b;
      })) {
    return {};
  }
  std::string rest = url.substr(5);
  if (rest.rfind("//", 0) == 0) {
    rest = rest.substr(2);
    size_t slash = rest.find('/');
    if (slash == std::string::npos) return {};
    std::string host = rest.substr(0, slash);
    if (!host.empty() && host != "localhost") return {};
    rest = rest.substr(slash);
  }
  if (rest.empty() || rest[0] != '/') return {};
  std::string path = platform::DecodePercentEscapes(rest);
  if (path.find('\0') != std::string::npos) return {};
  return path;
}

namespace {

// A name for the download's data beside its destination (same folder, so
// that the final rename stays on one file system) that no other download of
// this or another process picks.
std::string TemporaryName(const std::string& destination) {
  static std::atomic<std::uint32_t> counter{0};
  static const std::uint64_t salt = [] {
    std::random_device device;
    return (std::uint64_t{device()} << 32) ^ device();
  }();
  char suffix[48];
  std::snprintf(suffix, sizeof suffix, ".~%016llx%08x.part", static_cast<unsigned long long>(salt),
                static_cast<unsigned>(counter.fetch_add(1)));
  return destination + suffix;
}

// Creates the temporary file as this download's own: "wbx" fails on any
// existing name, a link included. Empty name and null handle when no such
// file could be made.
std::FILE* CreateTemporaryFile(const std::string& destination, std::string& path) {
  for (int attempt = 0; attempt < 8; ++attempt) {
    path = TemporaryName(destination);
    if (std::FILE* f = std::fopen(path.c_str(), "wbx")) return f;
    if (errno != EEXIST) break;
  }
  path.clear();
  return nullptr;
}

void RemoveFile(const std::string& path) {
  if (!path.empty()) std::remove(path.c_str());
}

// Puts a whole download in the place of its destination: its data flushed
// to disk first, then one rename, so the destination is at every moment the
// old file or the new one.
bool CommitDownload(const std::string& temporary, const std::string& destination) {
  return platform::SyncFile(temporary) && platform::ReplaceFileByRename(temporary, destination);
}

// The program is closing: every download stops at its next check.
bool Stopping() { return WorkerThreads::Closing(); }

// One network download in progress: the state the curl callbacks share.
class Transfer {
 public:
  Transfer(CURL* h, const std::string& destination, platform::WindowHandle window,
           const CancelFlag* cancel, std::uint32_t cookie, bool scheme, MessageBoxService* boxes,
           std::uint64_t maxBytes)
      : h_(h),
        destination_(destination),
        window_(window),
        cancel_(cancel),
        cookie_(cookie),
        scheme_(scheme),
        boxes_(boxes),
        maxBytes_(maxBytes) {
    buffer_.resize(kDownloadChunkSize);
  }

  // The file the data went to (empty until the reply's head was accepted).
  const std::string& TemporaryPath() const { return temporary_; }

  DownloadResult Run() {
    curl_easy_setopt(h_, CURLOPT_WRITEFUNCTION, &Transfer::WriteCallback);
    curl_easy_setopt(h_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h_, CURLOPT_XFERINFOFUNCTION, &Transfer::ProgressCallback);
    curl_easy_setopt(h_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h_, CURLOPT_NOPROGRESS, 0L);
    // The connection is read in larger pieces than the chunks (which stay
    // 32678 bytes each, one message each): fewer reads, as a plain
    // command-line download makes.
    curl_easy_setopt(h_, CURLOPT_BUFFERSIZE, static_cast<long>(kReceiveBufferSize));
    // A reply that announces more than the limit is refused as soon as its
    // length is read, before any of it is written.
    if (maxBytes_ != 0) {
      curl_easy_setopt(h_, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(maxBytes_));
    }

    CURLcode rc = curl_easy_perform(h_);
    if (ended_) return result_;
    if (rc == CURLE_FILESIZE_EXCEEDED) return DownloadResult::kTooLarge;
    if (rc == CURLE_ABORTED_BY_CALLBACK) return Cancelled();
    if (rc != CURLE_OK && !opened_) {
      // The address could not be opened (or not over http or https): no
      // reply came.
      Box("PSError 3");
      return DownloadResult::kAddressFailed;
    }
    if (!opened_ && !Open()) return result_;
    // The reply broke off: the download failed, and what arrived is
    // discarded with the temporary file.
    if (rc != CURLE_OK) return DownloadResult::kAddressFailed;
    if (!FlushChunk()) return result_;
    if (!Close()) return DownloadResult::kWriteFailed;
    return DownloadResult::kOk;
  }

 private:
  // The reply's head is complete: report the size, check the status and the
  // limit, create the temporary file. False (with result_ set) when the
  // download ends here.
  bool Open() {
    opened_ = true;
    curl_off_t length = -1;
    if (curl_easy_getinfo(h_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length < 0) {
      length = 0;
    }
    contentLength_ = length;
    platform::PostMessage(window_, kDownloadSizeKnown, cookie_, static_cast<platform::LParam>(length));
    long status = 0;
    if (curl_easy_getinfo(h_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0) {
      // No status line: only a scheme download takes such a reply.
      if (!scheme_) return End(DownloadResult::kAddressFailed);
      status = 200;
    }
    if (status != 200) {
      if (scheme_ && boxes_) {
        char text[64];
        std::snprintf(text, sizeof text, "PS Error(%ld)", status);
        boxes_->Error(text, kBoxTitle);
      }
      return End(DownloadResult::kAddressFailed);
    }
    if (maxBytes_ != 0 && static_cast<std::uint64_t>(length) > maxBytes_) {
      return End(DownloadResult::kTooLarge);
    }
    file_.reset(CreateTemporaryFile(destination_, temporary_));
    if (!file_) {
      Box("PSError 5");
      return End(DownloadResult::kCannotCreateFile);
    }
    // Every chunk goes to the file in one write of its own.
    std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    return true;
  }

  // Writes the chunk gathered so far (if any) after checking the cancel flag.
  bool FlushChunk() {
    if (filled_ == 0) return true;
    if (CancelRequested()) return End(Cancelled());
    if (std::fwrite(buffer_.data(), 1, filled_, file_.get()) != filled_) {
      return End(DownloadResult::kWriteFailed);
    }
    written_ += filled_;
    // The data is flushed to disk before the download takes its place; its
    // writing starts every few megabytes, so that flush waits for little.
    if (written_ - writeBackFrom_ >= kWriteBackEvery) {
      platform::StartWriteBack(file_.get(), writeBackFrom_, written_ - writeBackFrom_);
      writeBackFrom_ = written_;
    }
    // Every chunk is reported, but the window's thread is woken for them at
    // most about ten times a second: a chunk reaches it within 100 ms,
    // together with the others of that time.
    platform::WindowMessages::Instance().PostMessageSoon(window_, kDownloadDataWritten, kProgressWakeEvery, cookie_,
                                                         static_cast<platform::LParam>(filled_));
    filled_ = 0;
    return true;
  }

  bool Close() {
    std::FILE* f = file_.release();
    return f == nullptr || std::fclose(f) == 0;
  }

  bool CancelRequested() const {
    return Stopping() || (cancel_ && cancel_->load(std::memory_order_relaxed) != 0);
  }

  DownloadResult Cancelled() {
    platform::PostMessage(window_, kDownloadCancelled, cookie_, 0);
    return DownloadResult::kCancelled;
  }

  bool End(DownloadResult result) {
    ended_ = true;
    result_ = result;
    return false;
  }

  void Box(const char* text) {
    if (scheme_ && boxes_ && !Stopping()) boxes_->Error(text, kBoxTitle);
  }

  // Takes the data up to the limit (so the chunks written do not depend on
  // how the network split the data) and ends the transfer once a byte more
  // than the limit has arrived: a reply without a length cannot run on.
  static size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t total = size * count;
    if (!t->opened_ && !t->Open()) return CURL_WRITEFUNC_ERROR;
    size_t accepted = total;
    if (t->maxBytes_ != 0) {
      const std::uint64_t received = t->written_ + t->filled_;
      const std::uint64_t room = t->maxBytes_ > received ? t->maxBytes_ - received : 0;
      if (total > room) accepted = static_cast<size_t>(room);
    }
    size_t used = 0;
    while (used < accepted) {
      size_t take = std::min(accepted - used, t->buffer_.size() - t->filled_);
      std::copy(data + used, data + used + take, t->buffer_.data() + t->filled_);
      t->filled_ += take;
      used += take;
      if (t->filled_ == t->buffer_.size() && !t->FlushChunk()) return CURL_WRITEFUNC_ERROR;
    }
    if (accepted < total) {
      t->End(DownloadResult::kTooLarge);
      return CURL_WRITEFUNC_ERROR;
    }
    return total;
  }

  // Stops a transfer that waits for data once the flag is set. A download
  // whose every byte is already on disk is left to finish.
  static int ProgressCallback(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    auto* t = static_cast<Transfer*>(user);
    if (!t->CancelRequested()) return 0;
    bool complete = t->opened_ && t->filled_ == 0 && t->contentLength_ > 0 &&
                    static_cast<curl_off_t>(t->written_) == t->contentLength_;
    return complete ? 0 : 1;
  }

  CURL* h_;
  const std::string& destination_;
  platform::WindowHandle window_;
  const CancelFlag* cancel_;
  std::uint32_t cookie_;
  bool scheme_;
  MessageBoxService* boxes_;
  std::uint64_t maxBytes_;

  std::string temporary_;
  std::vector<char> buffer_;
  size_t filled_ = 0;
  std::uint64_t writeBackFrom_ = 0;
  std::uint64_t written_ = 0;
  curl_off_t contentLength_ = 0;
  bool opened_ = false;
  bool ended_ = false;
  DownloadResult result_ = DownloadResult::kOk;
  FileHandle file_;
};

DownloadResult DownloadBody(const std::string& url, const std::string& destination,
                            platform::WindowHandle window, const CancelFlag* cancelFlag,
                            std::uint32_t cookie, MessageBoxService* boxes, std::uint64_t maxBytes) {
  const bool scheme = destination.find(kSchemeMarker) != std::string::npos;
  auto box = [&](const char* text) {
    if (scheme && boxes && !Stopping()) boxes->Error(text, kBoxTitle);
  };

  for (int attempt = 0; attempt < kWindowAttempts; ++attempt) {
    if (window != 0) {
      if (!platform::IsWindow(window)) {
        box("PSError 1");
        return DownloadResult::kNoWindow;
      }
      break;
    }
    std::this_thread::sleep_for(kWindowAttemptPause);
  }

  // A file on this machine is copied, and only a regular one: a device such
  // as /dev/zero never ends, a fifo waits for a writer. It is never handed
  // to the network code instead.
  const std::string local = LocalSourcePath(url);
  if (!local.empty()) {
    // The copy creates the temporary file exclusively, like the network's.
    const std::string temporary = TemporaryName(destination);
    switch (platform::CopyRegularFile(local, temporary, maxBytes)) {
      case platform::CopyResult::Copied: break;
      case platform::CopyResult::TooLarge: return DownloadResult::kTooLarge;
      default:
        box("PSError 3");
        return DownloadResult::kAddressFailed;
    }
    if (!platform::ReplaceFileByRename(temporary, destination)) {
      RemoveFile(temporary);
      box("PSError 5");
      return DownloadResult::kCannotCreateFile;
    }
    return DownloadResult::kOk;
  }

  InitCurlOnce();
  CurlHandle h(curl_easy_init());
  HeaderList headers = NoCacheHeaders();
  if (!h || !headers) {
    box("PSError 2");
    return DownloadResult::kNoConnection;
  }
  SetCommonOptions(h.get(), url);
  curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get());
  DownloadResult result = DownloadResult::kOk;
  std::string temporary;
  {
    Transfer transfer(h.get(), destination, window, cancelFlag, cookie, scheme, boxes, maxBytes);
    result = transfer.Run();
    temporary = transfer.TemporaryPath();
  }  // the temporary file is closed here on every way out
  if (result == DownloadResult::kOk && !CommitDownload(temporary, destination)) {
    box("PSError 5");
    result = DownloadResult::kCannotCreateFile;
  }
  if (result != DownloadResult::kOk) RemoveFile(temporary);
  return result;
}

std::uint32_t NextThreadHandle() {
  static std::atomic<std::uint32_t> next{0x100};
  return next.fetch_add(4);
}

}  // namespace

namespace {

DownloadResult DownloadAndReport(const std::string& url, const std::string& destination,
                                 platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                                 std::uint32_t cookie, MessageBoxService* boxes, std::uint64_t maxBytes,
                                 bool ownThread) {
  const DownloadResult result =
      DownloadBody(url, destination, notifyWindow, cancelFlag, cookie, boxes, maxBytes);
  // A worker thread hands back the crypto library's per-thread state before
  // its last message: whoever waits for that message may end the process
  // before the thread has finished ending.
  if (ownThread) OPENSSL_thread_stop();
  platform::PostMessage(notifyWindow, kDownloadFinished, cookie, ResultCode(result));
  return result;
}

}  // namespace

DownloadResult DownloadToFile(const std::string& url, const std::string& destination,
                              platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                              std::uint32_t cookie, MessageBoxService* boxes, std::uint64_t maxBytes) {
  return DownloadAndReport(url, destination, notifyWindow, cancelFlag, cookie, boxes, maxBytes, false);
}

DownloadResult RunDownloadWorker(const std::string& url, const std::string& destination,
                                 platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                                 std::uint32_t cookie, MessageBoxService* boxes, std::uint64_t maxBytes) {
  const std::uint32_t handle = NextThreadHandle();
  const auto id = static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  platform::PostMessage(notifyWindow, kDownloadStarted, handle, id);
  return DownloadAndReport(url, destination, notifyWindow, cancelFlag, cookie, boxes, maxBytes, true);
}

DownloadResult StartDownload(const std::string& url, const std::string& destination,
                             platform::WindowHandle notifyWindow,
                             std::shared_ptr<const CancelFlag> cancelFlag, std::uint32_t cookie,
                             MessageBoxService* boxes, std::uint64_t maxBytes) {
  // Nobody joins a download: it ends by itself, and the program's end waits
  // for it with every other worker left running.
  try {
    WorkerThreads::StartDetached([url, destination, notifyWindow, flag = std::move(cancelFlag), cookie,
                                  boxes, maxBytes] {
      RunDownloadWorker(url, destination, notifyWindow, flag.get(), cookie, boxes, maxBytes);
    });
  } catch (const std::system_error&) {
    platform::PostMessage(notifyWindow, kDownloadFinished, cookie, ResultCode(DownloadResult::kNoConnection));
  }
  return DownloadResult::kOk;
}

bool StopAllDownloads(std::chrono::milliseconds wait) { return WorkerThreads::StopAll(wait); }

DownloadResult StartDownload(const std::string& url, const std::string& destination,
                             platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                             std::uint32_t cookie, bool asynchronous, MessageBoxService* boxes,
                             std::uint64_t maxBytes) {
  if (!asynchronous) {
    return DownloadToFile(url, destination, notifyWindow, cancelFlag, cookie, boxes, maxBytes);
  }
  // The caller keeps its flag alive for the download's lifetime.
  std::shared_ptr<const CancelFlag> flag(cancelFlag, [](const CancelFlag*) {});
  return StartDownload(url, destination, notifyWindow, std::move(flag), cookie, boxes, maxBytes);
}

DownloadResult FetchToMemory(const std::string& url, char* buffer, std::size_t& inOutSize, bool reload) {
  const std::size_t capacity = buffer ? inOutSize : 0;
  inOutSize = 0;
  InitCurlOnce();
  CurlHandle h(curl_easy_init());
  if (!h) return DownloadResult::kNoConnection;
  SetCommonOptions(h.get(), url);
  HeaderList headers;
  if (reload) {
    headers = NoCacheHeaders();
    if (!headers) return DownloadResult::kNoConnection;
    curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get());
  }
  struct Sink {
    char* buffer;
    std::size_t capacity;
    std::size_t used = 0;
    bool received = false;
  } sink{buffer, capacity};
  auto write = +[](char* data, size_t size, size_t count, void* user) -> size_t {
    auto* s = static_cast<Sink*>(user);
    const size_t total = size * count;
    s->received = true;
    size_t take = std::min(total, s->capacity - s->used);
    std::copy(data, data + take, s->buffer + s->used);
    s->used += take;
    // A full buffer ends the reading; what fitted is the reply.
    return take == total ? total : CURL_WRITEFUNC_ERROR;
  };
  curl_easy_setopt(h.get(), CURLOPT_WRITEFUNCTION, write);
  curl_easy_setopt(h.get(), CURLOPT_WRITEDATA, &sink);
  CURLcode rc = curl_easy_perform(h.get());
  long status = 0;
  curl_easy_getinfo(h.get(), CURLINFO_RESPONSE_CODE, &status);
  if (rc != CURLE_OK && !sink.received && status == 0) return DownloadResult::kAddressFailed;
  inOutSize = sink.used;
  return DownloadResult::kOk;
}

}  // namespace vyr::net

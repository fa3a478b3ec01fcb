#include "net/download_worker.h"

#include <curl/curl.h>
#include <openssl/crypto.h>
#include <strings.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <mutex>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>
#include <thread>
#include <vector>

#include "app/message_box.h"
#include "platform/url_canonicalizer.h"

namespace vyr::net {

namespace {

constexpr char kUserAgent[] = "Vyrelle 2.0";
constexpr char kSchemeMarker[] = "vyrscheme";
constexpr char kBoxTitle[] = "PSERROR";
constexpr int kWindowAttempts = 100;
constexpr auto kWindowAttemptPause = std::chrono::milliseconds(30);

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

// The options every request shares: agent, redirects, protocols. Servers
// that answer without a status line are accepted so that the caller can
// decide what a missing status means.
void SetCommonOptions(CURL* h, const std::string& url) {
  curl_easy_setopt(h, CURLOPT_URL, url.c_str());
  curl_easy_setopt(h, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 20L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https,ftp,ftps,file");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https,ftp,ftps");
  curl_easy_setopt(h, CURLOPT_HTTP09_ALLOWED, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, 60L);
  // A server that sends nothing for a minute has gone: the transfer fails
  // instead of holding its worker (and a dialog without Cancel) forever.
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, 60L);
}

bool IsHttp(CURL* h) {
  const char* scheme = nullptr;
  if (curl_easy_getinfo(h, CURLINFO_SCHEME, &scheme) != CURLE_OK || !scheme) return true;
  return strcasecmp(scheme, "http") == 0 || strcasecmp(scheme, "https") == 0;
}

bool IsDrivePath(const std::string& s) { return s.size() >= 4 && s[1] == ':'; }


}  // namespace

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

bool CopyLocalFile(const std::string& from, const std::string& to) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(from, ec)) return false;
  return std::filesystem::copy_file(from, to, std::filesystem::copy_options::overwrite_existing,
                                    ec) &&
         !ec;
}

// Every download worker of the process: how many run, and the stop that
// ends them all when the program closes.
struct Workers {
  std::atomic<bool> stopping{false};
  std::mutex mutex;
  std::condition_variable idle;
  int running = 0;
};
Workers& AllWorkers() {
  static Workers* workers = new Workers;  // outlives every worker
  return *workers;
}
bool Stopping() { return AllWorkers().stopping.load(std::memory_order_relaxed); }

// One network download in progress: the state the curl callbacks share.
class Transfer {
 public:
  Transfer(CURL* h, const std::string& destination, platform::WindowHandle window,
           const CancelFlag* cancel, std::uint32_t cookie, bool scheme, MessageBoxService* boxes)
      : h_(h),
        destination_(destination),
        window_(window),
        cancel_(cancel),
        cookie_(cookie),
        scheme_(scheme),
        boxes_(boxes) {
    buffer_.resize(kDownloadChunkSize);
  }

  std::int32_t Run() {
    curl_easy_setopt(h_, CURLOPT_WRITEFUNCTION, &Transfer::WriteCallback);
    curl_easy_setopt(h_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(h_, CURLOPT_XFERINFOFUNCTION, &Transfer::ProgressCallback);
    curl_easy_setopt(h_, CURLOPT_XFERINFODATA, this);
    curl_easy_setopt(h_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h_, CURLOPT_BUFFERSIZE, static_cast<long>(kDownloadChunkSize));

    CURLcode rc = curl_easy_perform(h_);
    if (ended_) return result_;
    if (rc == CURLE_ABORTED_BY_CALLBACK) return Cancelled();
    if (rc != CURLE_OK && !opened_) {
      // The address could not be opened: no reply came.
      Box("PSError 3");
      return kErrorOpenAddress;
    }
    if (!opened_ && !Open()) return result_;
    if (rc != CURLE_OK) {
      // The reply broke off: what arrived is written, the download failed.
      FlushChunk();
      return ended_ ? result_ : kErrorOpenAddress;
    }
    if (!FlushChunk()) return result_;
    if (!Close()) return kErrorWriteFile;
    return kDownloadOk;
  }

 private:
  // The reply's head is complete: report the size, check the status, create
  // the destination. False (with result_ set) when the download ends here.
  bool Open() {
    opened_ = true;
    curl_off_t length = -1;
    if (curl_easy_getinfo(h_, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) != CURLE_OK || length < 0) {
      length = 0;
    }
    contentLength_ = length;
    platform::PostMessage(window_, kDownloadSizeKnown, cookie_, static_cast<platform::LParam>(length));
    // Only HTTP has a status to check. An FTP or file transfer that curl
    // opened has found its file (a missing one fails in curl itself), so it
    // counts as a 200.
    long status = 200;
    if (IsHttp(h_) &&
        (curl_easy_getinfo(h_, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status == 0)) {
      if (!scheme_) return End(kErrorOpenAddress);
      status = 200;
    }
    if (status != 200) {
      if (scheme_ && boxes_) {
        char text[64];
        std::snprintf(text, sizeof text, "PS Error(%ld)", status);
        boxes_->Error(text, kBoxTitle);
      }
      return End(kErrorOpenAddress);
    }
    file_.reset(std::fopen(destination_.c_str(), "wb"));
    if (!file_) {
      Box("PSError 5");
      return End(kErrorCreateFile);
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
      return End(kErrorWriteFile);
    }
    written_ += filled_;
    platform::PostMessage(window_, kDownloadDataWritten, cookie_, static_cast<platform::LParam>(filled_));
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

  std::int32_t Cancelled() {
    platform::PostMessage(window_, kDownloadCancelled, cookie_, 0);
    return kErrorCancelled;
  }

  bool End(std::int32_t result) {
    ended_ = true;
    result_ = result;
    return false;
  }

  void Box(const char* text) {
    if (scheme_ && boxes_ && !Stopping()) boxes_->Error(text, kBoxTitle);
  }

  static size_t WriteCallback(char* data, size_t size, size_t count, void* user) {
    auto* t = static_cast<Transfer*>(user);
    const size_t total = size * count;
    if (!t->opened_ && !t->Open()) return CURL_WRITEFUNC_ERROR;
    size_t used = 0;
    while (used < total) {
      size_t take = std::min(total - used, t->buffer_.size() - t->filled_);
      std::copy(data + used, data + used + take, t->buffer_.data() + t->filled_);
      t->filled_ += take;
      used += take;
      if (t->filled_ == t->buffer_.size() && !t->FlushChunk()) return CURL_WRITEFUNC_ERROR;
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

  std::vector<char> buffer_;
  size_t filled_ = 0;
  std::uint64_t written_ = 0;
  curl_off_t contentLength_ = 0;
  bool opened_ = false;
  bool ended_ = false;
  std::int32_t result_ = kDownloadOk;
  FileHandle file_;
};

std::int32_t DownloadBody(const std::string& url, const std::string& destination,
                          platform::WindowHandle window, const CancelFlag* cancelFlag,
                          std::uint32_t cookie, MessageBoxService* boxes) {
  const bool scheme = destination.find(kSchemeMarker) != std::string::npos;
  auto box = [&](const char* text) {
    if (scheme && boxes && !Stopping()) boxes->Error(text, kBoxTitle);
  };

  for (int attempt = 0; attempt < kWindowAttempts; ++attempt) {
    if (window != 0) {
      if (!platform::IsWindow(window)) {
        box("PSError 1");
        return kErrorNoWindow;
      }
      break;
    }
    std::this_thread::sleep_for(kWindowAttemptPause);
  }

  const std::string local = LocalSourcePath(url);
  if (!local.empty() && CopyLocalFile(local, destination)) return kDownloadOk;

  InitCurlOnce();
  CurlHandle h(curl_easy_init());
  HeaderList headers = NoCacheHeaders();
  if (!h || !headers) {
    box("PSError 2");
    return kErrorOpenConnection;
  }
  SetCommonOptions(h.get(), url);
  curl_easy_setopt(h.get(), CURLOPT_HTTPHEADER, headers.get());
  Transfer transfer(h.get(), destination, window, cancelFlag, cookie, scheme, boxes);
  return transfer.Run();
}

std::uint32_t NextThreadHandle() {
  static std::atomic<std::uint32_t> next{0x100};
  return next.fetch_add(4);
}

}  // namespace

namespace {

std::int32_t DownloadAndReport(const std::string& url, const std::string& destination,
                               platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                               std::uint32_t cookie, MessageBoxService* boxes, bool ownThread) {
  std::int32_t result = DownloadBody(url, destination, notifyWindow, cancelFlag, cookie, boxes);
  // A worker thread hands back the crypto library's per-thread state before
  // its last message: whoever waits for that message may end the process
  // before the thread has finished ending.
  if (ownThread) OPENSSL_thread_stop();
  platform::PostMessage(notifyWindow, kDownloadFinished, cookie, result);
  return result;
}

}  // namespace

std::int32_t DownloadToFile(const std::string& url, const std::string& destination,
                            platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                            std::uint32_t cookie, MessageBoxService* boxes) {
  return DownloadAndReport(url, destination, notifyWindow, cancelFlag, cookie, boxes, false);
}

std::int32_t RunDownloadWorker(const std::string& url, const std::string& destination,
                               platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                               std::uint32_t cookie, MessageBoxService* boxes) {
  const std::uint32_t handle = NextThreadHandle();
  const auto id = static_cast<std::uint32_t>(std::hash<std::thread::id>{}(std::this_thread::get_id()));
  platform::PostMessage(notifyWindow, kDownloadStarted, handle, id);
  return DownloadAndReport(url, destination, notifyWindow, cancelFlag, cookie, boxes, true);
}

std::int32_t StartDownload(const std::string& url, const std::string& destination,
                           platform::WindowHandle notifyWindow, std::shared_ptr<const CancelFlag> cancelFlag,
                           std::uint32_t cookie, MessageBoxService* boxes) {
  Workers& workers = AllWorkers();
  auto done = [&workers] {
    std::lock_guard lock(workers.mutex);
    --workers.running;
    workers.idle.notify_all();
  };
  {
    std::lock_guard lock(workers.mutex);
    ++workers.running;
  }
  try {
    std::thread worker([url, destination, notifyWindow, flag = std::move(cancelFlag), cookie, boxes, done] {
      RunDownloadWorker(url, destination, notifyWindow, flag.get(), cookie, boxes);
      done();
    });
    worker.detach();
  } catch (const std::system_error&) {
    done();
    platform::PostMessage(notifyWindow, kDownloadFinished, cookie, kErrorOpenConnection);
  }
  return 0;
}

bool StopAllDownloads(std::chrono::milliseconds wait) {
  Workers& workers = AllWorkers();
  workers.stopping = true;
  std::unique_lock lock(workers.mutex);
  return workers.idle.wait_for(lock, wait, [&] { return workers.running == 0; });
}

std::int32_t StartDownload(const std::string& url, const std::string& destination,
                           platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                           std::uint32_t cookie, bool asynchronous, MessageBoxService* boxes) {
  if (!asynchronous) return DownloadToFile(url, destination, notifyWindow, cancelFlag, cookie, boxes);
  // The caller keeps its flag alive for the download's lifetime.
  std::shared_ptr<const CancelFlag> flag(cancelFlag, [](const CancelFlag*) {});
  return StartDownload(url, destination, notifyWindow, std::move(flag), cookie, boxes);
}

std::int32_t FetchToMemory(const std::string& url, char* buffer, std::size_t& inOutSize, bool reload) {
  const std::size_t capacity = buffer ? inOutSize : 0;
  inOutSize = 0;
  InitCurlOnce();
  CurlHandle h(curl_easy_init());
  if (!h) return kErrorOpenConnection;
  SetCommonOptions(h.get(), url);
  HeaderList headers;
  if (reload) {
    headers = NoCacheHeaders();
    if (!headers) return kErrorOpenConnection;
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
  if (rc != CURLE_OK && !sink.received && status == 0) return kErrorOpenAddress;
  inOutSize = sink.used;
  return kDownloadOk;
}

}  // namespace vyr::net

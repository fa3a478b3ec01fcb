#pragma once
// Downloads: every file the shell fetches (updates, content packages,
// channel files, scheme packages) goes through DownloadToFile, normally on a
// worker thread of its own that reports to a window through posted messages.
// FetchToMemory reads a short server reply into a buffer (server requests).
//
// Only http and https addresses go to the network, redirects included; a
// file: address or a local path names a regular file on this machine that is
// copied. A download is written under a temporary name beside its
// destination and renamed over it only once it is whole, so a failed,
// cancelled or over-size download leaves an existing destination as it was
// and no partial file behind.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "platform/window_messages.h"

namespace vyr {
class MessageBoxService;
}

namespace vyr::net {

// Messages a download posts to its window (wParam is the job's cookie except
// for kDownloadStarted).
inline constexpr std::uint32_t kDownloadStarted = 3925;      // thread handle, thread id
inline constexpr std::uint32_t kDownloadFinished = 3926;     // cookie, result (DownloadResult's number)
inline constexpr std::uint32_t kDownloadSizeKnown = 3929;    // cookie, content length (0: none)
inline constexpr std::uint32_t kDownloadDataWritten = 3930;  // cookie, bytes in this chunk
inline constexpr std::uint32_t kDownloadCancelled = 3933;    // cookie, 0

// How a download or a server request ended. The numbers are kept: the
// finished message carries them as its lParam to whatever window waits for
// the download, and vyrelle-cli prints them ("finished CODE").
enum class DownloadResult : std::int32_t {
  kOk = 0,                  // the file (or the reply) is whole
  kNoConnection = -18,      // the internet connection cannot be opened
  kAddressFailed = -20,     // the address cannot be opened, the server answered other than 200, the
                            // reply broke off, or (not a scheme download) no status came
  kNoWindow = -34,          // the window to report to does not exist (any more)
  kCannotCreateFile = -36,  // the destination (or its temporary file) cannot be created
  kWriteFailed = -37,       // a chunk could not be written
  kTooLarge = -38,          // larger than the caller's limit: announced so (nothing written), or
                            // its data went past the limit
  kCancelled = -41,         // cancelled through the cancel flag
  kBadReply = -42,          // a server reply did not begin with the expected token
};

// The number a result travels as, and the result a finished message carries.
constexpr std::int32_t ResultCode(DownloadResult result) { return static_cast<std::int32_t>(result); }
constexpr DownloadResult DownloadResultOf(platform::LParam lParam) {
  return static_cast<DownloadResult>(static_cast<std::int32_t>(lParam));
}

// A download moves its data in chunks of this many bytes, one data-written
// message per chunk.
inline constexpr std::size_t kDownloadChunkSize = 32678;

// The caller's cancel flag: non-zero stops the download at its next chunk.
using CancelFlag = std::atomic<std::int32_t>;

// Downloads url (an http(s) address, a file: address or a local path) to
// destination. A local source must be a regular file (a device, a fifo or a
// folder fails at once with kAddressFailed) and is copied; its only
// message is finished. Anything else goes to the network over http or https only.
// maxBytes bounds the file (0: no limit): more gives kTooLarge. Scheme
// downloads (a destination containing "vyrscheme") show their error boxes
// through boxes (none shown when it is null).
DownloadResult DownloadToFile(const std::string& url, const std::string& destination,
                              platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                              std::uint32_t cookie, MessageBoxService* boxes = nullptr,
                              std::uint64_t maxBytes = 0);

// Starts DownloadToFile on a worker thread of its own (detached; it ends by
// itself, cooperatively when the flag is set). The synchronous form runs it on
// the calling thread. Returns the result for the synchronous form, 0 for the
// asynchronous one.
DownloadResult StartDownload(const std::string& url, const std::string& destination,
                             platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                             std::uint32_t cookie, bool asynchronous,
                             MessageBoxService* boxes = nullptr, std::uint64_t maxBytes = 0);

// The same, for a caller whose flag may go away before the worker has seen
// it (a dialog closed with Cancel): the worker keeps the flag alive.
DownloadResult StartDownload(const std::string& url, const std::string& destination,
                             platform::WindowHandle notifyWindow,
                             std::shared_ptr<const CancelFlag> cancelFlag, std::uint32_t cookie,
                             MessageBoxService* boxes = nullptr, std::uint64_t maxBytes = 0);

// What a worker thread started by StartDownload runs: posts download started
// (a job number as the thread handle, the thread's id) and then runs
// DownloadToFile. A caller that must see its worker end (a program about to
// exit) runs this on a thread of its own and joins it.
DownloadResult RunDownloadWorker(const std::string& url, const std::string& destination,
                                 platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                                 std::uint32_t cookie, MessageBoxService* boxes = nullptr,
                                 std::uint64_t maxBytes = 0);

// The file a source address names on this machine, or "" when it names none:
// a drive path (second character ':', at least 4 characters), an absolute
// path, or a file: address (file:///p, file://localhost/p, file:/p; %XX
// escapes decoded).
std::string LocalSourcePath(const std::string& url);

// True when url is an http or https address that a download fetches from
// exactly the origin (scheme, host and port) of the address `origin`, with
// no user information: the address is read both as a web origin
// (ParseWebOrigin) and as libcurl will read it when it connects, and both
// must name that origin, so that no spelling the two read differently
// ("http://home\@elsewhere/") reaches another host.
bool FetchesFromOrigin(const std::string& url, const std::string& origin);

// When the program closes: every running and later download stops at its
// next check (cancelled, without boxes), and the call waits up to `wait` for
// the asynchronous workers to end, and with them every other worker thread
// left running (WorkerThreads: a forgotten mail check, say). True when none
// is left running.
bool StopAllDownloads(std::chrono::milliseconds wait);

// Reads the whole reply of url (http or https) into buffer (at most
// inOutSize bytes; a longer reply is cut there and the transfer ended) and
// sets inOutSize to the number of bytes read. reload bypasses caches.
DownloadResult FetchToMemory(const std::string& url, char* buffer, std::size_t& inOutSize,
                             bool reload);

}  // namespace vyr::net

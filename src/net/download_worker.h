#pragma once
// Downloads: every file the shell fetches (updates, content packages,
// channel files, scheme packages) goes through DownloadToFile, normally on a
// worker thread of its own that reports to a window through posted messages.
// FetchToMemory reads a short server reply into a buffer (server requests).
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
inline constexpr std::uint32_t kDownloadFinished = 3926;     // cookie, result code
inline constexpr std::uint32_t kDownloadSizeKnown = 3929;    // cookie, content length (0: none)
inline constexpr std::uint32_t kDownloadDataWritten = 3930;  // cookie, bytes in this chunk
inline constexpr std::uint32_t kDownloadCancelled = 3933;    // cookie, 0

// Result codes of downloads and server requests.
inline constexpr std::int32_t kDownloadOk = 0;
inline constexpr std::int32_t kErrorOpenConnection = -18;
inline constexpr std::int32_t kErrorOpenAddress = -20;
inline constexpr std::int32_t kErrorCloseHandle = -22;
inline constexpr std::int32_t kErrorNoWindow = -34;
inline constexpr std::int32_t kErrorCreateFile = -36;
inline constexpr std::int32_t kErrorWriteFile = -37;  // a chunk could not be written
inline constexpr std::int32_t kErrorCancelled = -41;
inline constexpr std::int32_t kErrorBadReply = -42;

// A download moves its data in chunks of this many bytes, one data-written
// message per chunk.
inline constexpr std::size_t kDownloadChunkSize = 32678;

// The caller's cancel flag: non-zero stops the download at its next chunk.
using CancelFlag = std::atomic<std::int32_t>;

// Downloads url (an http(s) or file: address, or a local path) to
// destination. Scheme downloads (a destination containing "vyrscheme") show
// their error boxes through boxes (none shown when it is null).
std::int32_t DownloadToFile(const std::string& url, const std::string& destination,
                            platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                            std::uint32_t cookie, MessageBoxService* boxes = nullptr);

// Starts DownloadToFile on a worker thread of its own (detached; it ends by
// itself, cooperatively when the flag is set). The synchronous form runs it on
// the calling thread. Returns the result for the synchronous form, 0 for the
// asynchronous one.
std::int32_t StartDownload(const std::string& url, const std::string& destination,
                           platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                           std::uint32_t cookie, bool asynchronous,
                           MessageBoxService* boxes = nullptr);

// The same, for a caller whose flag may go away before the worker has seen
// it (a dialog closed with Cancel): the worker keeps the flag alive.
std::int32_t StartDownload(const std::string& url, const std::string& destination,
                           platform::WindowHandle notifyWindow,
                           std::shared_ptr<const CancelFlag> cancelFlag, std::uint32_t cookie,
                           MessageBoxService* boxes = nullptr);

// What a worker thread started by StartDownload runs: posts download started
// (a job number as the thread handle, the thread's id) and then runs
// DownloadToFile. A caller that must see its worker end (a program about to
// exit) runs this on a thread of its own and joins it.
std::int32_t RunDownloadWorker(const std::string& url, const std::string& destination,
                               platform::WindowHandle notifyWindow, const CancelFlag* cancelFlag,
                               std::uint32_t cookie, MessageBoxService* boxes = nullptr);

// The file a source address names on this machine, or "" when it names none:
// a drive path (second character ':', at least 4 characters), an absolute
// path, or a file: address (file:///p, file://localhost/p, file:/p; %XX
// escapes decoded).
std::string LocalSourcePath(const std::string& url);

// When the program closes: every running and later download stops at its
// next check (cancelled, without boxes), and the call waits up to `wait` for
// the asynchronous workers to end. True when none is left running.
bool StopAllDownloads(std::chrono::milliseconds wait);

// Reads the whole reply of url into buffer (at most inOutSize bytes) and sets
// inOutSize to the number of bytes read. reload bypasses caches.
std::int32_t FetchToMemory(const std::string& url, char* buffer, std::size_t& inOutSize,
                           bool reload);

}  // namespace vyr::net

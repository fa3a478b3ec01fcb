#pragma once
// The progress dialog's logic: it starts one download, turns the worker's
// posted messages into the dialog's status line and progress, and ends the
// dialog with DownloadDialogResult. The window itself is
// a small view; the logic here runs the same with a window or without one.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "net/download_worker.h"
#include "platform/string_table.h"
#include "platform/window_messages.h"

namespace vyr {
class Application;
class MessageBoxService;
}

namespace vyr::net {

inline constexpr platform::TextId kUpdatingSoftwareText{33087};
inline constexpr platform::TextId kInvalidCommandText{33375};
inline constexpr platform::TextId kDownloadAbortedText{33376};
inline constexpr platform::TextId kDownloadCancelledText{33377};
inline constexpr platform::TextId kBeginningDownloadText{38053};
inline constexpr platform::TextId kCancelButtonText{32830};
inline constexpr platform::TextId kStartingText{40640};
inline constexpr platform::TextId kDownloadedText{40641};  // "%s", "%s": the amount done and the size
inline constexpr platform::TextId kCleaningUpText{40642};

// How the progress dialog ended. The numbers are kept: they are the
// window's modal end codes.
enum class DownloadDialogResult {
  kDownloaded = 1,     // the download succeeded
  kNotDownloaded = 2,  // it failed or was cancelled, or there was no job
};

// The cookie of the dialog's download.
inline constexpr std::uint32_t kDialogCookie = 1000;

// [misc] MaxDownloadMB in bytes: the limit the callers of package, scheme
// and channel file downloads pass on. A value below 1 (or none) is the
// default; there is always a limit.
std::uint64_t MaxDownloadBytes(const Application& app);

// A byte count as the dialog shows it: "%.2f MB" of bytes / 1048576 from
// 1048577 bytes up, else "%d KB" of bytes / 1024 (whole kilobytes).
std::string FormatDownloadAmount(std::uint64_t bytes);

// What the dialog window does for its logic.
class DownloadProgressView {
 public:
  virtual ~DownloadProgressView() = default;
  virtual void ShowWindow() = 0;
  // The message line (the caption text or a final word).
  virtual void SetMessage(const std::string& text) = 0;
  // The status line; the window repaints it at once.
  virtual void SetStatus(const std::string& text) = 0;
  // bytesTotal is 0 when the server sent no length.
  virtual void SetProgress(std::uint64_t bytesDone, std::uint64_t bytesTotal) = 0;
  // Ends the modal run.
  virtual void EndDialog(DownloadDialogResult result) = 0;
};

class DownloadProgress : private platform::MessageTarget {
 public:
  // url and destination empty: no job (the dialog says "Invalid Command").
  // maxBytes: the download's size limit (0: none).
  DownloadProgress(DownloadProgressView& view, std::string caption, std::string url,
                   std::string destination, bool hidden, MessageBoxService* boxes = nullptr,
                   std::uint64_t maxBytes = 0);
  ~DownloadProgress() override;
  DownloadProgress(const DownloadProgress&) = delete;
  DownloadProgress& operator=(const DownloadProgress&) = delete;

  // User-interface thread: registers the dialog's window, fills in its texts
  // and starts the download.
  void Open();
  // The Cancel button: asks the worker to stop and ends the dialog (not
  // downloaded).
  void Cancel();

  bool HasJob() const { return hasJob_; }
  bool Closed() const { return closed_; }
  DownloadDialogResult Result() const { return result_; }
  const std::string& Status() const { return status_; }
  const std::string& Message() const { return message_; }
  std::uint64_t BytesDone() const { return bytesDone_; }
  std::uint64_t BytesTotal() const { return bytesTotal_; }
  platform::WindowHandle Window() const { return window_; }

 private:
  void OnWindowMessage(const platform::WindowMessage& message) override;
  void SetStatus(std::string text);
  void SetMessage(std::string text);
  void Close(DownloadDialogResult result);

  DownloadProgressView& view_;
  MessageBoxService* boxes_;
  std::string caption_;
  std::string url_;
  std::string destination_;
  bool hidden_;
  std::uint64_t maxBytes_;
  bool hasJob_;
  // Shared with the worker, which may still look at it after the dialog has
  // gone.
  std::shared_ptr<CancelFlag> cancelRequested_;
  platform::WindowHandle window_ = 0;
  platform::WParam workerThread_ = 0;
  std::uint64_t bytesDone_ = 0;
  std::uint64_t bytesTotal_ = 0;
  std::string status_;
  std::string message_;
  bool closed_ = false;
  DownloadDialogResult result_ = DownloadDialogResult::kNotDownloaded;
};

// One request for the progress dialog.
struct DownloadDialogRequest {
  std::string caption;
  std::string url;
  std::string destination;
  bool hidden = false;
  MessageBoxService* boxes = nullptr;  // error boxes of scheme downloads
  std::uint64_t maxBytes = 0;          // the size limit; 0: none
};

// Runs the dialog to its end.
using DownloadDialogRunner = std::function<DownloadDialogResult(const DownloadDialogRequest&)>;

// The windowed program installs its dialog here; until then (and in
// headless programs) the logic runs without a window on the calling thread,
// delivering the process's posted messages until the download has finished.
// Returns the runner that was installed before; an empty runner restores the
// headless one.
DownloadDialogRunner SetDownloadDialogRunner(DownloadDialogRunner runner);

// Downloads url to destination under the progress dialog with the caption
// "Updating your software...  Please wait." A file over maxBytes (unless it
// is 0) is not downloaded.
DownloadDialogResult RunDownloadDialog(const std::string& url, const std::string& destination, bool hidden,
                                       MessageBoxService* boxes = nullptr, std::uint64_t maxBytes = 0);

// The headless runner (what RunDownloadDialog uses when none is installed).
DownloadDialogResult RunDownloadDialogHeadless(const DownloadDialogRequest& request);

}  // namespace vyr::net

#include "net/download_progress.h"

#include <chrono>
#include <cstdio>
#include <mutex>
#include <utility>

#include "base/application.h"
#include "platform/text.h"

namespace vyr::net {

std::string FormatDownloadAmount(std::uint64_t bytes) {
  char text[48];
  if (bytes >= 1048577) {
    std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
  } else {
    std::snprintf(text, sizeof text, "%d KB", static_cast<int>(bytes / 1024));
  }
  return text;
}

namespace {

// "Downloaded %s of %s" with the two amounts put in, in that order.
std::string DownloadedText(std::uint64_t done, std::uint64_t total) {
  return platform::FillPlaceholders(kDownloadedText.Text(), {FormatDownloadAmount(done), FormatDownloadAmount(total)});
}

}  // namespace

std::uint64_t MaxDownloadBytes(const Application& app) {
  int megabytes = app.Get(kMiscMaxDownloadMB);
  if (megabytes < 1) megabytes = kMiscMaxDownloadMB.defaultValue;
  return static_cast<std::uint64_t>(megabytes) * 1048576u;
}

DownloadProgress::DownloadProgress(DownloadProgressView& view, std::string caption, std::string url,
                                   std::string destination, bool hidden, MessageBoxService* boxes,
                                   std::uint64_t maxBytes)
    : view_(view),
      boxes_(boxes),
      caption_(std::move(caption)),
      url_(std::move(url)),
      destination_(std::move(destination)),
      hidden_(hidden),
      maxBytes_(maxBytes),
      hasJob_(!url_.empty() && !destination_.empty()),
      cancelRequested_(std::make_shared<CancelFlag>(0)) {}

DownloadProgress::~DownloadProgress() {
  if (window_ != 0) platform::WindowMessages::Instance().Unregister(window_);
}

void DownloadProgress::Open() {
  window_ = platform::WindowMessages::Instance().Register(this);
  SetMessage(caption_);
  SetStatus(kStartingText);
  if (!hidden_) view_.ShowWindow();
  if (!hasJob_) {
    SetMessage(kInvalidCommandText);
    return;
  }
  cancelRequested_->store(0);
  StartDownload(url_, destination_, window_, std::shared_ptr<const CancelFlag>(cancelRequested_),
                kDialogCookie, boxes_, maxBytes_);
}

void DownloadProgress::Cancel() {
  if (closed_) return;
  cancelRequested_->store(1);
  SetMessage(kDownloadCancelledText);
  Close(DownloadDialogResult::kNotDownloaded);
}

void DownloadProgress::OnWindowMessage(const platform::WindowMessage& m) {
  if (closed_) return;
  if (m.message == kDownloadStarted) {
    workerThread_ = m.wParam;
    char text[96];
    std::snprintf(text, sizeof text, "Worker thread started hThread: %X, thread ID: %X",
                  static_cast<unsigned>(m.wParam), static_cast<unsigned>(m.lParam));
    SetStatus(text);
    return;
  }
  if (m.wParam != kDialogCookie) return;
  switch (m.message) {
    case kDownloadSizeKnown:
      SetStatus(kBeginningDownloadText);
      bytesTotal_ = static_cast<std::uint64_t>(m.lParam);
      view_.SetProgress(bytesDone_, bytesTotal_);
      break;
    case kDownloadDataWritten:
      bytesDone_ += static_cast<std::uint64_t>(m.lParam);
      SetStatus(DownloadedText(bytesDone_, bytesTotal_));
      view_.SetProgress(bytesDone_, bytesTotal_);
      break;
    case kDownloadFinished:
      SetStatus(kCleaningUpText);
      workerThread_ = 0;
      if (cancelRequested_->load() != 0) {
        SetMessage(kDownloadAbortedText);
        Close(DownloadDialogResult::kNotDownloaded);
      } else {
        Close(DownloadResultOf(m.lParam) == DownloadResult::kOk ? DownloadDialogResult::kDownloaded
                                                                : DownloadDialogResult::kNotDownloaded);
      }
      break;
    case kDownloadCancelled: {
      char text[112];
      std::snprintf(text, sizeof text,
                    "Worker thread terminated at user request hThread: %X, thread ID: %X",
                    static_cast<unsigned>(m.wParam), static_cast<unsigned>(m.lParam));
      SetStatus(text);
      Close(DownloadDialogResult::kNotDownloaded);
      break;
    }
    default:
      break;
  }
}

void DownloadProgress::SetStatus(std::string text) {
  status_ = std::move(text);
  view_.SetStatus(status_);
}

void DownloadProgress::SetMessage(std::string text) {
  message_ = std::move(text);
  view_.SetMessage(message_);
}

// Once closed, the window is forgotten: the worker's later messages are
// dropped on posting.
void DownloadProgress::Close(DownloadDialogResult result) {
  closed_ = true;
  result_ = result;
  if (window_ != 0) {
    platform::WindowMessages::Instance().Unregister(window_);
    window_ = 0;
  }
  view_.EndDialog(result);
}

namespace {

class HeadlessView : public DownloadProgressView {
 public:
  void ShowWindow() override {}
  void SetMessage(const std::string&) override {}
  void SetStatus(const std::string&) override {}
  void SetProgress(std::uint64_t, std::uint64_t) override {}
  void EndDialog(DownloadDialogResult) override {}
};

std::mutex g_runnerMutex;
DownloadDialogRunner g_runner;

}  // namespace

DownloadDialogResult RunDownloadDialogHeadless(const DownloadDialogRequest& request) {
  HeadlessView view;
  DownloadProgress progress(view, request.caption, request.url, request.destination,
                            request.hidden, request.boxes, request.maxBytes);
  progress.Open();
  // Without a window nobody could press Cancel on "Invalid Command".
  if (!progress.HasJob()) return DownloadDialogResult::kNotDownloaded;
  while (!progress.Closed()) {
    platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(200));
  }
  return progress.Result();
}

DownloadDialogRunner SetDownloadDialogRunner(DownloadDialogRunner runner) {
  std::lock_guard lock(g_runnerMutex);
  return std::exchange(g_runner, std::move(runner));
}

DownloadDialogResult RunDownloadDialog(const std::string& url, const std::string& destination, bool hidden,
                                       MessageBoxService* boxes, std::uint64_t maxBytes) {
  DownloadDialogRunner runner;
  {
    std::lock_guard lock(g_runnerMutex);
    runner = g_runner;
  }
  DownloadDialogRequest request{kUpdatingSoftwareText.Text(), url, destination, hidden, boxes,
                                maxBytes};
  return runner ? runner(request) : RunDownloadDialogHeadless(request);
}

}  // namespace vyr::net

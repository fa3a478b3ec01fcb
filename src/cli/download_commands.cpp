// vyrelle-cli download URL DEST: runs one download on its worker thread and
// prints the messages the worker posts, one line each, as they arrive; the
// data-written ones are summed into at most ten "written" lines a second.
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "cli/cli_context.h"
#include "net/download_worker.h"

namespace vyr::cli {

namespace {

// Ctrl+C asks the worker to stop at its next check; the handler only stores.
net::CancelFlag g_interrupted{0};

extern "C" void OnInterrupt(int) { g_interrupted.store(1); }

// Message boxes of a worker arrive on its thread; one line at a time.
class LockedMessageBox : public MessageBoxService {
 public:
  explicit LockedMessageBox(MessageBoxService& inner) : inner_(inner) {}
  int Error(const std::string& text, const std::string& caption) override {
    std::lock_guard lock(mutex_);
    return inner_.Error(caption.empty() ? text : caption + ": " + text);
  }
  int Question(const std::string& text, const std::string& caption, bool* check) override {
    std::lock_guard lock(mutex_);
    return inner_.Question(text, caption, check);
  }
  int Information(const std::string& text, const std::string& caption) override {
    std::lock_guard lock(mutex_);
    return inner_.Information(text, caption);
  }

 private:
  MessageBoxService& inner_;
  std::mutex mutex_;
};

std::string Amount(double bytes) {
  char text[32];
  if (bytes >= 1048576.0) {
    std::snprintf(text, sizeof text, "%.1f MB", bytes / 1048576.0);
  } else {
    std::snprintf(text, sizeof text, "%.0f KB", bytes / 1024.0);
  }
  return text;
}

class DownloadPrinter : public platform::MessageTarget {
 public:
  DownloadPrinter(std::ostream& out, bool bar) : out_(out), bar_(bar) {}

  void OnWindowMessage(const platform::WindowMessage& m) override {
    switch (m.message) {
      case net::kDownloadStarted:
        Line("started");
        break;
      case net::kDownloadSizeKnown:
        total_ = static_cast<std::uint64_t>(m.lParam);
        Line("size " + std::to_string(m.lParam));
        break;
      case net::kDownloadDataWritten:
        done_ += static_cast<std::uint64_t>(m.lParam);
        unprinted_ += static_cast<std::uint64_t>(m.lParam);
        PrintWritten(false);
        break;
      case net::kDownloadCancelled:
        Line("cancelled");
        break;
      case net::kDownloadFinished:
        finished_ = true;
        result_ = net::DownloadResultOf(m.lParam);
        Line("finished " + std::to_string(net::ResultCode(result_)));
        if (bar_) std::fputs("\n", stderr);
        break;
      default:
        break;
    }
  }

  void DrawBar() {
    if (!bar_ || finished_) return;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done_) / seconds : 0;
    std::string line = "\r" + Amount(static_cast<double>(done_));
    if (total_ > 0) {
      line += " of " + Amount(static_cast<double>(total_));
      char pct[16];
      std::snprintf(pct, sizeof pct, "  %3.0f%%", 100.0 * static_cast<double>(done_) / static_cast<double>(total_));
      line += pct;
    }
    line += "  " + Amount(rate) + "/s   ";
    std::fputs(line.c_str(), stderr);
    std::fflush(stderr);
  }

  // Prints what was written since the last "written" line once a tenth of
  // a second has passed since it (or at once with all).
  void PrintWritten(bool all) {
    const auto now = std::chrono::steady_clock::now();
    if (unprinted_ == 0 || (!all && now - lastWritten_ < kWrittenLineEvery)) return;
    lastWritten_ = now;
    out_ << "written " << unprinted_ << "\n" << std::flush;
    unprinted_ = 0;
  }

  bool finished() const { return finished_; }
  net::DownloadResult result() const { return result_; }

 private:
  // Any other line comes after what was written before it.
  void Line(const std::string& text) {
    PrintWritten(true);
    out_ << text << std::endl;
  }

  // At most ten "written" lines a second: each tells the bytes written
  // since the line before.
  static constexpr std::chrono::milliseconds kWrittenLineEvery{100};

  std::ostream& out_;
  bool bar_;
  std::uint64_t total_ = 0;
  std::uint64_t done_ = 0;
  std::uint64_t unprinted_ = 0;
  std::chrono::steady_clock::time_point lastWritten_{};
  bool finished_ = false;
  net::DownloadResult result_ = net::DownloadResult::kOk;
  const std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

int DownloadCommand(Context& c, const std::string& url, const std::string& dest) {
  auto& messages = platform::WindowMessages::Instance();
  DownloadPrinter printer(c.out, ::isatty(STDERR_FILENO) == 1);
  const platform::WindowHandle window = messages.Register(&printer);
  LockedMessageBox boxes(c.messages);

  g_interrupted.store(0);
  auto previous = std::signal(SIGINT, OnInterrupt);

  // The worker is joined before the program ends, so that it has let go of
  // everything it held (libraries keep per-thread state until then).
  std::thread worker(
      [&] { net::RunDownloadWorker(url, dest, window, &g_interrupted, 1, &boxes); });
  auto lastBar = std::chrono::steady_clock::now();
  while (!printer.finished()) {
    messages.WaitAndDispatch(std::chrono::milliseconds(100));
    printer.PrintWritten(false);
    auto now = std::chrono::steady_clock::now();
    if (now - lastBar >= std::chrono::milliseconds(200)) {
      printer.DrawBar();
      lastBar = now;
    }
  }
  worker.join();
  std::signal(SIGINT, previous);
  messages.Unregister(window);
  return printer.result() == net::DownloadResult::kOk ? 0 : 1;
}

}  // namespace

void AddDownloadCommand(CommandTree& tree, CLI::App& root) {
  CLI::App* download = tree.Command(
      root, "download",
      "download URL to DEST; prints each message of the\n"
      "download (started, size N, written N, cancelled,\n"
      "finished CODE), the written bytes at most ten lines\n"
      "a second; exit status 0 when CODE is 0;\n"
      "Ctrl+C cancels",
      [](Context& c, const CLI::App& a) { return DownloadCommand(c, Value(a, "URL"), Value(a, "DEST")); });
  download->add_option("URL", "the address to fetch")->required();
  download->add_option("DEST", "the file to write")->required();
}

}  // namespace vyr::cli

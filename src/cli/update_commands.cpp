// vyrelle-cli package / update / scheme: unpacking packages, package updates
// and scheme imports without windows. Downloads run on their worker thread
// and report to a headless window of this command as they would to the main
// window; the progress dialog runs without a window.
#include <chrono>
#include <cstdint>
#include <string>

#include "cli/cli_context.h"
#include "net/download_worker.h"
#include "net/software_update.h"
#include "schemes/scheme_package.h"

namespace vyr::cli {

namespace {

// Collects the finished message of one download.
class FinishWaiter : public platform::MessageTarget {
 public:
  FinishWaiter() : handle_(platform::WindowMessages::Instance().Register(this)) {}
  ~FinishWaiter() override { platform::WindowMessages::Instance().Unregister(handle_); }
  FinishWaiter(const FinishWaiter&) = delete;
  FinishWaiter& operator=(const FinishWaiter&) = delete;

  void OnWindowMessage(const platform::WindowMessage& m) override {
    if (m.message != net::kDownloadFinished) return;
    finished_ = true;
    cookie_ = static_cast<std::uint32_t>(m.wParam);
    result_ = static_cast<std::int32_t>(m.lParam);
  }

  void Wait() {
    while (!finished_) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(500));
    }
  }

  platform::WindowHandle Handle() const { return handle_; }
  std::uint32_t Cookie() const { return cookie_; }
  std::int32_t Result() const { return result_; }

 private:
  platform::WindowHandle handle_;
  bool finished_ = false;
  std::uint32_t cookie_ = 0;
  std::int32_t result_ = 0;
};

// Answers every question with one answer; errors and notes go to the error
// stream.
class AnsweringMessageBox : public MessageBoxService {
 public:
  AnsweringMessageBox(std::ostream& err, int answer) : err_(err), answer_(answer) {}
  int Error(const std::string& text, const std::string&) override {
    err_ << "error: " << text << "\n";
    return IDOK;
  }
  int Question(const std::string& text, const std::string&, bool*) override {
    err_ << "question: " << text << " -> " << (answer_ == IDYES ? "yes" : "no") << "\n";
    return answer_;
  }
  int Information(const std::string& text, const std::string&) override {
    err_ << text << "\n";
    return IDOK;
  }

 private:
  std::ostream& err_;
  int answer_;
};

// An existing scheme folder: yes replaces it, no cancels the import. Asked
// again, the replace was refused (the "default" scheme): the import ends.
class AnsweringChooser : public SchemeNameChooser {
 public:
  explicit AnsweringChooser(bool yes) : yes_(yes) {}
  Choice Choose(std::string&) override { return yes_ && asked_++ == 0 ? Replace : Cancel; }

 private:
  bool yes_;
  int asked_ = 0;
};

class NoteSwitcher : public SchemeSwitcher {
 public:
  NoteSwitcher(std::ostream& err, Application& app) : err_(err), app_(app) {}
  void ApplyCurrentScheme() override { err_ << "scheme: " << app_.CurrentSchemeName() << "\n"; }

 private:
  std::ostream& err_;
  Application& app_;
};

int KindFromText(const std::string& text) {
  for (int kind = 0; kind <= 3; ++kind) {
    if (text == std::to_string(kind) || text == net::PackageKindOf(kind)->packageName) return kind;
  }
  return -1;
}

}  // namespace

int RunPackageCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 3 || args[0] != "unpack") return Usage(c.err, "package unpack ZIP DIR");
  const int result = net::UnpackPackage(args[1], args[2]);
  c.out << result << "\n";
  return result == 1 ? 0 : 1;
}

int RunUpdateCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 4 || args[0] != "package") {
    return Usage(c.err, "update package KIND VERSION URL");
  }
  const int kind = KindFromText(args[1]);
  if (kind < 0) return Usage(c.err, "KIND is 0-3 or ibox, Vyr20, dict, VyrFixed");
  const net::PackageKindInfo* info = net::PackageKindOf(kind);

  FinishWaiter window;
  net::SoftwareUpdate update(c.app);
  update.SetMainWindow(window.Handle());
  int status = 0;
  if (update.RequestPackageUpdate(kind, args[2], args[3]) == 0) {
    c.err << "vyrelle-cli: the package was refused (not from the home server, not newer than "
             "the stored version, or one of its kind still pending); nothing fetched\n";
  } else {
    window.Wait();
    if (!update.OnPackageDownloaded(window.Cookie(), window.Result())) {
      c.err << "vyrelle-cli: the package was not unpacked (download result " << window.Result()
            << ")\n";
      status = 1;
    }
  }
  c.out << c.app.GetInt("misc", info->versionKey, 0) << "\n";
  return status;
}

int RunSchemeCommand(Context& c, const std::vector<std::string>& args) {
  if (!args.empty() && (args[0] == "look" || args[0] == "seed")) {
    return RunSchemeLookCommand(c, args);
  }
  if (args.size() != 4 || args[0] != "import" || args[2] != "--answer" ||
      (args[3] != "yes" && args[3] != "no")) {
    return Usage(c.err, "scheme import ADDRESS --answer yes|no");
  }
  const bool yes = args[3] == "yes";
  AnsweringMessageBox boxes(c.err, yes ? IDYES : IDNO);
  AnsweringChooser chooser(yes);
  NoteSwitcher switcher(c.err, c.app);
  SchemeImport with;
  with.chooser = &chooser;
  with.switcher = &switcher;
  with.boxes = &boxes;
  const std::string dir = ImportScheme(c.app, with, args[1]);
  if (dir.empty()) {
    c.err << "vyrelle-cli: the scheme was not imported\n";
    return 1;
  }
  c.out << dir << "\n";
  return 0;
}

}  // namespace vyr::cli

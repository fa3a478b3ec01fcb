// vyrelle-cli package / update / scheme: unpacking packages, package updates
// and scheme imports without windows. Downloads run on their worker thread
// and report to a headless window of this command as they would to the main
// window; the progress dialog runs without a window.
#include <chrono>
#include <climits>
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
    result_ = net::DownloadResultOf(m.lParam);
  }

  void Wait() {
    while (!finished_) {
      platform::WindowMessages::Instance().WaitAndDispatch(std::chrono::milliseconds(500));
    }
  }

  platform::WindowHandle Handle() const { return handle_; }
  std::uint32_t Cookie() const { return cookie_; }
  net::DownloadResult Result() const { return result_; }

 private:
  platform::WindowHandle handle_;
  bool finished_ = false;
  std::uint32_t cookie_ = 0;
  net::DownloadResult result_ = net::DownloadResult::kOk;
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

int UpdatePackageCommand(Context& c, int kind, const std::string& version, const std::string& source) {
  const net::PackageKindInfo* info = net::PackageKindOf(kind);

  FinishWaiter window;
  net::SoftwareUpdate update(c.app);
  update.SetMainWindow(window.Handle());
  int status = 0;
  if (!update.RequestPackageUpdate(kind, version, source)) {
    c.err << "vyrelle-cli: the package was refused (not from the home server, not newer than "
             "the stored version, or one of its kind still pending); nothing fetched\n";
  } else {
    window.Wait();
    if (!update.OnPackageDownloaded(window.Cookie(), window.Result())) {
      c.err << "vyrelle-cli: the package was not unpacked (download result "
            << net::ResultCode(window.Result()) << ")\n";
      status = 1;
    }
  }
  c.out << c.app.Get(info->version) << "\n";
  return status;
}

int SchemeImportCommand(Context& c, const std::string& address, bool yes) {
  AnsweringMessageBox boxes(c.err, yes ? IDYES : IDNO);
  AnsweringChooser chooser(yes);
  NoteSwitcher switcher(c.err, c.app);
  SchemeImport with;
  with.chooser = &chooser;
  with.switcher = &switcher;
  with.boxes = &boxes;
  const std::string dir = ImportScheme(c.app, with, address);
  if (dir.empty()) {
    c.err << "vyrelle-cli: the scheme was not imported\n";
    return 1;
  }
  c.out << dir << "\n";
  return 0;
}

}  // namespace

void AddPackageCommands(CommandTree& tree, CLI::App& root) {
  CLI::App* unpack =
      tree.Command(*tree.Group(root, "package", "packages (ZIP files)"), "unpack",
                   "unpack a package into DIR; prints 1 or 0", [](Context& c, const CLI::App& a) {
                     const net::PackageResult result =
                         net::UnpackPackage(Value(a, "ZIP"), Value(a, "DIR"));
                     c.out << static_cast<int>(result) << "\n";  // the number is the output
                     return result == net::PackageResult::kUnpacked ? 0 : 1;
                   });
  unpack->add_option("ZIP", "the package")->required();
  unpack->add_option("DIR", "the folder to fill (made when missing)")->required();

  CLI::App* package = tree.Command(
      *tree.Group(root, "update", "package updates"), "package",
      "fetch and unpack a package of KIND unless\n"
      "VERSION is not newer; prints the stored version\n"
      "afterwards",
      [](Context& c, const CLI::App& a) {
        return UpdatePackageCommand(c, KindFromText(Value(a, "KIND")), Value(a, "VERSION"), Value(a, "URL"));
      });
  package->add_option("KIND", "0-3 or ibox, Vyr20, dict, VyrFixed")
      ->required()
      ->check(CLI::Validator(
          [](std::string& text) -> std::string {
            return KindFromText(text) < 0 ? "'" + text + "' is not 0-3, ibox, Vyr20, dict or VyrFixed" : "";
          },
          ""));
  package->add_option("VERSION", "the package's version")->required()->check(WholeNumber(0, INT_MAX));
  package->add_option("URL", "the package's address on the home server; one\nstarting with / is a local file")
      ->required();
}

void AddSchemeImportCommand(CommandTree& tree, CLI::App& scheme) {
  CLI::App* import = tree.Command(
      scheme, "import",
      "import a scheme package answering every\n"
      "question (yes replaces an existing scheme\n"
      "folder); prints the scheme folder it filled",
      [](Context& c, const CLI::App& a) {
        return SchemeImportCommand(c, Value(a, "ADDRESS"), Value(a, "--answer") == "yes");
      });
  import->add_option("ADDRESS", "the package's address")->required();
  import->add_option("--answer", "the answer to every question")
      ->type_name("yes|no")
      ->required()
      ->check(CLI::IsMember({"yes", "no"}));
}

}  // namespace vyr::cli

// vyrelle-cli browse: enhanced browsing without a window.
#include <chrono>
#include <ostream>

#include "browser/enhanced_browsing.h"
#include "cli/cli_context.h"

namespace vyr::cli {

namespace {

// Prints what the browser window would show and where it would go.
class PrintingOwner : public BrowsingOwner {
 public:
  explicit PrintingOwner(std::ostream& out) : out_(out) {}
  void DownloadBegin() override {}
  void StatusTextChange(const std::string& text) override { out_ << text << "\n"; }
  void RollOverTextChange(const std::string& text) override { out_ << text << "\n"; }
  void NavigateControl(const std::string& address) override {
    out_ << "navigate: " << address << "\n";
    navigated = true;
  }
  bool navigated = false;

 private:
  std::ostream& out_;
};

}  // namespace

int RunBrowseCommand(Context& c, const std::vector<std::string>& args) {
  if (args.size() != 2 || args[0] != "resolve") return Usage(c.err, "browse resolve WORD");
  PrintingOwner owner(c.out);
  EnhancedBrowsing browsing(owner, LoadEnhancedBrowsingSettings(c.app));
  browsing.Navigate(args[1], c.app.SmarterBrowsingFlags());
  auto& messages = platform::WindowMessages::Instance();
  // The worker posts every report before it ends, so once it has ended and
  // the queue is empty nothing more will come.
  while (!owner.navigated && (browsing.IsRunning() || messages.PendingCount() > 0)) {
    messages.WaitAndDispatch(std::chrono::milliseconds(200));
  }
  if (!owner.navigated) {
    c.err << "vyrelle-cli: the look-up ended without an address\n";
    return 1;
  }
  return 0;
}

}  // namespace vyr::cli

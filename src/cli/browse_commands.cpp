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

int ResolveCommand(Context& c, const std::string& word) {
  PrintingOwner owner(c.out);
  EnhancedBrowsing browsing(owner, LoadEnhancedBrowsingSettings(c.app));
  browsing.Navigate(word, c.app.SmarterBrowsingFlags());
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

}  // namespace

void AddBrowseCommands(CommandTree& tree, CLI::App& browse) {
  tree.Command(browse, "resolve",
               "what typing WORD as an address opens: each\n"
               "status text, then \"navigate: ADDRESS\"",
               [](Context& c, const CLI::App& a) { return ResolveCommand(c, Value(a, "WORD")); })
      ->add_option("WORD", "what is typed in the address box")
      ->required();
}

}  // namespace vyr::cli

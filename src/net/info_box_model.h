#pragma once
// The info box: the small browser view at the foot of the channel bar. It
// shows, in turn, the local pages "Box1.htm", "Box2.htm", ... of the info box
// content folder, counts how often each advertisement page was shown and
// clicked (reported with the ping as "&IBA=" and reduced by the server's
// "ack"), and opens clicked links in the main browser instead of inside
// itself. The window (a browser view in the bar) is reached only through
// InfoBoxView; the rotation runs on timer 4 of the bar window.
#include <functional>
#include <string>

#include "net/server_session.h"
#include "base/usage_stats.h"

namespace vyr {
class Application;
}

namespace vyr::net {

inline constexpr unsigned kRotationTimer = 4;
// The line that names a page's advertisement, followed by its id.
inline constexpr char kAdMarker[] = "Vyrelle_2.0_InfoBox_AdID:";
// The page the view always shows: each page is copied over it first.
inline constexpr char kStagingPage[] = "vyrinfobox.htm";

class InfoBoxView {
 public:
  virtual ~InfoBoxView() = default;
  virtual void Navigate(const std::string& address) = 0;
  virtual void Refresh() = 0;
  virtual std::string CurrentAddress() const = 0;
  // Hides or shows the view and the bar around it.
  virtual void Show(bool visible) = 0;
};

// What the info box asks of the rest of the program. Unset functions mean:
// rotation on, connected, focus in the program, nowhere to open clicks.
struct InfoBoxHooks {
  // The main window's rotation switch.
  std::function<bool()> rotationOn;
  // The machine is connected (the dial-up check).
  std::function<bool()> connected;
  // The window with the keyboard focus belongs to the program.
  std::function<bool()> focusInProgram;
  // Opens a clicked address in the main browser.
  std::function<void(const std::string&)> openInMainBrowser;
};

class InfoBoxModel {
 public:
  // tracked: the tracked addresses, which count clicks made in the box.
  InfoBoxModel(Application& app, UsageCounters& counters, TrackedUrlTable& tracked,
               WindowTimers& timers, InfoBoxView& view, InfoBoxHooks hooks = {});

  // <root>/InfoBox/default/ and its page folders "Dir1" and "Dir2".
  std::string ContentDirectory() const;
  std::string PageDirectory(int which) const;  // 1 or 2
  // "<folder>/Box<n>.htm".
  static std::string PagePath(const std::string& folder, int number);

  // Rebuilds the advertisement list from the pages of "Dir1", then "Dir2":
  // in each page the first marker line followed by a non-zero id registers
  // that id for the page's lower-cased path, unless the id is already listed.
  void LoadAdIds();
  // An info box package was installed: the pages and ids are read afresh
  // (which clears the counts).
  void OnPackageInstalled() { LoadAdIds(); }
  TrackedUrlTable& Ads() { return ads_; }

  // The next page of a folder with its counter (1 or 2 for the folder): the
  // page of the counter's number when it exists (the counter then moves
  // on), else page 1 (the counter becomes 2), else none (empty, counter 1).
  std::string NextPage(int which);

  // Timer 4.
  void Rotate();
  // Shows an address at once and restarts the rotation after seconds (the
  // [Misc] box seconds when not above 0); only while rotation is on.
  void ShowNow(const std::string& address, int seconds);
  // The bar was shown or hidden: the rotation restarts, at once when the box
  // has rotated before.
  void OnBarShownOrHidden();
  // The view is about to navigate. Returns true when the navigation is to be
  // cancelled: a click out of the box, counted and opened in the main
  // browser. The program's own pages (under the data root) and the address
  // the program itself put into the view navigate normally.
  bool OnViewNavigating(const std::string& address);

  // "%d %d %d " for each advertisement shown at least once; reset sets the
  // listed ones back to 0.
  std::string AdText(bool reset);
  // Counts a view (or a click) for the advertisement of a page path.
  void Count(const std::string& path, bool click) { ads_.CountExact(path, click); }

  const std::string& CurrentPage() const { return currentPage_; }
  int Rotations() const { return rotations_; }
  bool SuppressNext() const { return suppressNext_; }

 private:
  unsigned RotationMs() const;
  bool RotationOn() const { return !hooks_.rotationOn || hooks_.rotationOn(); }
  // Puts a page into the view; false when it could not be staged.
  bool ShowPage(const std::string& page);
  bool InsideDataRoot(const std::string& address) const;

  Application& app_;
  UsageCounters& counters_;
  TrackedUrlTable& tracked_;
  WindowTimers& timers_;
  InfoBoxView& view_;
  InfoBoxHooks hooks_;
  TrackedUrlTable ads_;
  int counter_[2] = {1, 1};
  std::string currentPage_;
  int rotations_ = 0;
  bool suppressNext_ = false;
};

// The advertisement id in a page's text: the number after the first marker
// line whose number is not 0; 0 when there is none.
int AdIdOfPage(const std::string& text);

}  // namespace vyr::net

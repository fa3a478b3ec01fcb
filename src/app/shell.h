#pragma once
// What the command dispatcher asks of the windows: the main window implements
// this interface; the command-line companion and the tests record the calls.
// Every call comes on the user-interface thread.
#include <string>

namespace vyr {

// Menu commands the dispatcher posts to the main window.
inline constexpr int kSearchInternetCommand = 32878;   // "Search the &Internet..."
inline constexpr int kChannelDesignerCommand = 32968;  // "Channel &Designer..."
inline constexpr int kLookAndFeelCommand = 32798;      // "Look and &Feel...."
inline constexpr int kReadMailCommand = 32788;         // "&Read E-Mail..."
inline constexpr int kAboutCommand = 0xE140;           // the about box

class Shell {
 public:
  virtual ~Shell() = default;

  // Posts a menu command to the main window.
  virtual void PostMenuCommand(int command) = 0;
  // Opens the search window (created on first use) and shows it.
  virtual void OpenSearchWindow() = 0;
  // Opens the search dialog modally on a category (0 e-mail, 1 web, 2 usenet,
  // 3 yellow pages, 4 news, 5 white pages, 6 pictures).
  virtual void OpenSearchDialog(int category) = 0;
  // A new popup browser window, titled with the program's name, navigated to
  // the address.
  virtual void OpenPopupWindow(const std::string& address) = 0;
  // Selects the first channel named so (names compared lower-cased) on the
  // channel bar and opens it; no such channel does nothing.
  virtual void NavigateChannel(const std::string& name) = 0;
  // Re-reads the current scheme, lays out and repaints the main window and
  // every popup window.
  virtual void RefreshArt() = 0;
  // Rebuilds the main window's button strip (channel bar shown or hidden,
  // extra buttons switched).
  virtual void RebuildButtonStrip() = 0;
  // Lays the main window out again (the channel bar was shown or hidden).
  virtual void LayoutMainWindow() = 0;
  // Modal dialogs.
  virtual void OpenStartupOptions() = 0;
  virtual void OpenEmailSettings() = 0;
  virtual void OpenSpeedBooster() = 0;
  // Navigates the main window.
  virtual void NavigateMainWindow(const std::string& address) = 0;
  // Lets waiting window messages run (between the steps of long tests).
  virtual void PumpMessages() = 0;

  // Self-tests of the windows. The counting ones return how many rounds they
  // did, for the report the dispatcher shows afterwards.
  virtual void RunBrowserTest() = 0;
  // Hides and shows the main window repeatedly with a 10 ms pause.
  virtual int RepaintTest() = 0;
  // Rebuilds the channel list repeatedly (variant 1 or 2).
  virtual int ChannelListTest(int variant) = 0;
  // Opens each channel in turn, pumping messages between.
  virtual int OpenEveryChannel() = 0;
  // Repaints the main window in a loop of colour changes.
  virtual void ColorTest() = 0;
  // Moves the mouse pointer across the screen in a loop, pumping messages.
  virtual int MouseTest() = 0;
};

}  // namespace vyr

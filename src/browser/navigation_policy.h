#pragma once
// What a browser pane trusts. Every pane is made with a NavigationPolicy of
// its own: which documents it trusts (the home server's exact origin and
// the program's own page folders), whether its pages may open windows or
// start downloads, and which special addresses (command links, the setup
// program offer, channel files, mailto) it takes at all. A pane given none
// trusts nothing, opens no windows, downloads nothing and runs nothing.
//
// Trust is decided from what the engine itself reports about a navigation
// (NavigationFacts), never from anything a page's script says:
//   - Full: our own code or the user's typing started it, or it was started
//     by a document of the main frame that is trusted (committed from the
//     home server's exact origin, or one of the program's own pages). A
//     redirect counts as started by the document that began the chain.
//   - UserClick: the user pressed the pointer on a real link to exactly this
//     address in a page of any site, in the main frame. Only commands that
//     open or show something may run then (see the command table).
//   - None: everything else: script-set locations, timers, redirects from
//     other sites, any navigation a sub-frame starts.
//
// A mail message's pane (ForMailMessage) trusts nothing at all: no script
// runs in it, nothing loads from the network until the user asks for the
// message's remote content, and only the user's own click on a link leaves
// the message (RouteMessageNavigation).
#include <string>
#include <vector>

#include "browser/navigation_verdict.h"

namespace vyr {

class Application;

// The engine's navigation types.
enum class NavigationKind { LinkClicked, FormSubmitted, BackForward, Reload, FormResubmitted, Other };

// What the engine reports about one navigation, gathered by the pane.
struct NavigationFacts {
  std::string url;
  bool newWindow = false;       // it opens a new window
  bool redirect = false;        // a server's redirect of an earlier request
  NavigationKind kind = NavigationKind::Other;
  bool userGesture = false;     // the engine's gesture flag (true for script inside a click handler too)
  bool startedByShell = false;  // our own code asked for this address (typed, a button, history)
  // The user's last real pointer press, just before, was on a link to this
  // very address (the engine's hit test under the pointer).
  bool pointerOnLink = false;
  // The Referer the engine put on the request: the document that started
  // the navigation (a redirect keeps the one that began the chain). Pages
  // can only drop it or cut it to their origin, never choose it.
  std::string referrer;
  // Sec-Fetch-Dest when the engine already set it (on redirects): "document"
  // for the main frame, "iframe" for a sub-frame.
  std::string fetchDestination;
  // The address of the document the pane's main frame shows.
  std::string mainDocument;
  // For a redirect with no Referer: the address our own code asked for at
  // the start of this chain ("" when the chain was not ours).
  std::string shellChainStart;
};

// Where a navigation of a mail message's pane goes.
enum class MessageNavigation {
  Show,           // our own request (the message, its headers), or the user's click on a file of the message's folder
  OpenInBrowser,  // the user's click on a web link: a browser window of its own
  Compose,        // the user's click on a mailto: link
  Refuse,         // anything else: script, refreshes, forms, frames, redirects, command links
};

class NavigationPolicy {
 public:
  struct Options {
    std::string homeServer;                 // [misc] HomeServer ("" : none)
    std::vector<std::string> programFolders;  // absolute folders of the program's own pages
    bool popups = false;
    bool downloads = false;
    unsigned takes = kTakesNothing;
    bool script = true;         // page script runs in the pane
    bool remoteContent = true;  // the pane's documents load from the network
    std::string messageFolder;  // a mail message's pane: the folder its pages are decoded into
  };

  // Trusts nothing, opens nothing, takes nothing.
  NavigationPolicy() = default;
  explicit NavigationPolicy(Options options);

  // The main window and the popups: the home server, the scheme and info
  // box pages of the data root and the shipped pages in shippedFolder; pages
  // may open windows and (after a gesture, with a question) download; every
  // special address is taken.
  static NavigationPolicy ForBrowserWindow(const Application& app, const std::string& shippedFolder);
  // The info box: the same trusted documents; no windows, no downloads;
  // command links and channel files only.
  static NavigationPolicy ForInfoBox(const Application& app, const std::string& shippedFolder);
  // A mail message shown from the files decoded into messageFolder: trusts
  // no document, runs no script, loads nothing from the network until the
  // user asks, opens no windows, downloads nothing; of the special addresses
  // only mailto (a click on it starts a message). Its navigations are routed
  // by RouteMessageNavigation.
  static NavigationPolicy ForMailMessage(const std::string& messageFolder);

  Trust Assess(const NavigationFacts& facts) const;
  NavigationVerdict Verdict(const NavigationFacts& facts) const;

  // A document committed from the home server's exact origin, or one of the
  // program's own pages.
  bool IsTrustedDocument(const std::string& address) const;
  // A file: address inside one of the program's page folders.
  bool IsProgramPage(const std::string& address) const;
  bool IsHomeOrigin(const std::string& address) const;

  // A mail message's pane: where the navigation goes, from the engine's
  // facts alone. Our own requests are shown; the user's real click (a link
  // clicked with the pointer on that very link, in the main frame) opens a
  // web address in a browser window, a mailto: address in a new message and
  // a file of the message's folder in the pane; everything else is refused.
  MessageNavigation RouteMessageNavigation(const NavigationFacts& facts) const;
  // A file: address inside the message's folder.
  bool IsMessageFile(const std::string& address) const;

  bool RunsScript() const { return options_.script; }
  bool LoadsRemoteContent() const { return options_.remoteContent; }
  bool MayOpenPopups() const { return options_.popups; }
  bool MayDownload() const { return options_.downloads; }
  unsigned Takes() const { return options_.takes; }
  const Options& GetOptions() const { return options_; }

 private:
  Options options_;
};

// False when the engine's facts show a sub-frame navigating: Sec-Fetch-Dest
// names a frame, or a document of another origin than the main frame's
// started it. True otherwise, which includes frames of the main document's
// own origin (the engine does not say which frame navigates): good for
// what a window shows, not for trust.
bool MayBeMainFrame(const NavigationFacts& facts);

// True for one plain file name: not empty, not ".", and without "..", "/",
// "\", ":" or control characters, so that it can never name anything outside
// the folder it is looked up in.
bool IsPlainFileName(const std::string& name);

// window.external.InsertImage: the path of the current scheme's file of that
// name (falling back to the default scheme) when the name is a plain file
// name and the file exists; "" otherwise.
std::string SchemeImagePath(const Application& app, const std::string& name);

}  // namespace vyr

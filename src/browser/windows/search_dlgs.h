#pragma once
// The search bar, the search window and the quote lookup: small skinned
// windows that turn typed words into a page of the main browser. The bar and
// the search window show the program's own pages in an embedded pane whose
// navigations are routed by vyr::RouteEmbeddedNavigation: only a link the
// user clicked in the pane's main frame, leaving the pane's own pages,
// reaches the main browser.
#include <functional>
#include <string>

#include "browser/navigation_verdict.h"

class wxWindow;

namespace vyr {
class Application;
}

// What the windows ask of the main window.
struct SearchHost {
  std::function<void(const std::string& address)> navigate;  // opens the address in the main browser
  // The command link filter; true when it took the address.
  std::function<bool(const std::string& address, const vyr::NavigationVerdict& verdict)> special;
};

// The search bar (one at a time), opened on the type given (-1: the stored
// one); counts "F". Returns the window (for tests).
wxWindow* OpenSearchBar(vyr::Application& app, const SearchHost& host, wxWindow* parent, int type = -1);
// The search window, made on first use and shown; counts "S".
wxWindow* OpenSearchWindow(vyr::Application& app, const SearchHost& host, wxWindow* parent);
// The quote lookup (one at a time).
wxWindow* OpenQuoteLookup(vyr::Application& app, const SearchHost& host, wxWindow* parent);

#pragma once
// The search bar, the search window and the quote lookup without a window:
// the seven search types with their address templates, the remembered
// lists of terms and symbols, the search window's tree read from
// "search.nsf", and where a navigation of their embedded panes goes.
#include <string>
#include <string_view>
#include <vector>

#include "base/settings_table.h"
#include "browser/navigation_policy.h"
#include "platform/string_table.h"

namespace vyr {

class Application;

// --- search types -------------------------------------------------------------

inline constexpr int kSearchTypeCount = 7;
inline constexpr int kYellowPagesType = 3;  // has no template: searching shows "Yellow Search"

struct SearchTypeInfo {
  StringSetting address;         // [Search] key and the default template
  platform::TextId hint;         // what the term box asks for
  platform::TextId description;  // what the search gives
};
// The type's template setting, hint and description; a type outside 0-6 is
// type 1's.
const SearchTypeInfo& SearchType(int type);

// [Search] type, default 1; a stored value outside 0-6 reads as 1.
inline constexpr IntSetting kSearchType{"Search", "type", 1};
int ReadSearchType(const Application& app);
// [Search] AutoHide, default 1: the bar closes once it has sent a search.
inline constexpr IntSetting kSearchAutoHide{"Search", "AutoHide", 1};

// The address a search for the term goes to: the type's template with the
// term percent-encoded in place of its "%s" ("%%" gives "%"); "" for the
// yellow pages type and for a term that is blank.
std::string SearchAddress(const Application& app, int type, const std::string& term);

// --- the quote lookup ---------------------------------------------------------

enum class QuoteAction { Headlines = 0, Chart, Quote, MarketOverview };
inline constexpr StringSetting kQuoteHeadlines{"Quotes", "Headlines",
                                               "https://news.search.yahoo.com/search?p=%s+stock"};
inline constexpr StringSetting kQuoteChart{"Quotes", "Chart", "https://finance.yahoo.com/chart/%s"};
inline constexpr StringSetting kQuoteQuote{"Quotes", "Quote", "https://finance.yahoo.com/quote/%s/"};
inline constexpr StringSetting kQuoteMarket{"Quotes", "Market", "https://finance.yahoo.com/markets/"};
// The address of the action for the symbol (the market overview's is
// fixed); "" for a blank symbol, except for the market overview.
std::string QuoteAddress(const Application& app, QuoteAction action, const std::string& symbol);

// --- remembered terms -----------------------------------------------------------

// A remembered list of terms in the profile: [section] mru1 .. mru19, mru1
// the newest.
class TermList {
 public:
  static constexpr size_t kMaxEntries = 19;
  explicit TermList(const StringSettingFamily& keys) : keys_(keys) {}
  // Reads mru1 .. mru19, skipping empty ones. With seeds, an empty list
  // becomes the seeds (the current term the last of them).
  void Load(const Application& app, const std::vector<std::string>& seeds = {});
  // A search for the term: it moves to (or is put at) the top, never twice;
  // entries reading "clear" and empty ones drop out; at most 19 are kept,
  // and every key mru1 .. mru19 is written (the ones past the list empty),
  // so no stale term comes back. A blank term changes nothing (false).
  bool Remember(const Application& app, const std::string& term);
  const std::vector<std::string>& Entries() const { return entries_; }
  // The term shown when the window opens: the newest.
  std::string Current() const { return entries_.empty() ? std::string() : entries_.front(); }

 private:
  StringSettingFamily keys_;
  std::vector<std::string> entries_;
};


// --- the search window's tree ------------------------------------------------------

struct SearchPage {
  std::string name, address;
};
struct SearchFolder {
  std::string name;
  std::vector<SearchFolder> folders;
  std::vector<SearchPage> pages;
};
struct SearchTree {
  SearchFolder root;
  // The names of pages left out: no "~PU:" record followed their "~PN:".
  std::vector<std::string> badPages;
};
// "~FO:" opens a folder inside the open one, "~PN:" names a page whose
// address is the "~PU:" record right after it, "~XX:" closes the open
// folder (and is ignored when none is open). A record after a page name
// that is not its address is read as itself.
SearchTree ParseSearchTree(std::string_view data);

// --- navigations of the embedded panes -------------------------------------------------

enum class EmbeddedNavigation {
  Stay,        // loads in the pane (or in its frame)
  HandToMain,  // the main browser opens it (the pane's navigation is cancelled)
  Refuse,      // cancelled: a new window the pane does not open
};

// The pages a pane keeps: files below ownFolder (the data folder of its
// pages) and the home server's pages below "/pages/" ("" : none).
struct EmbeddedPages {
  std::string ownFolder;
  std::string homeServer;
};
// From the engine's facts alone: a top-level navigation the user started (a
// real pointer click on that link, in the main frame, no redirect) that
// leaves the pane's own pages (and "about:") goes to the main browser;
// a frame's navigation never does; a new window otherwise is refused, and
// everything else loads in the pane.
EmbeddedNavigation RouteEmbeddedNavigation(const NavigationFacts& facts, const EmbeddedPages& pages);

}  // namespace vyr

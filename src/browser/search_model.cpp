#include "browser/search_model.h"

#include <algorithm>

#include "base/application.h"
#include "browser/main_window_model.h"
#include "channels/channel_set.h"
#include "net/web_origin.h"
#include "platform/text.h"
#include "platform/url_canonicalizer.h"

namespace vyr {

namespace {

// The templates: well-known public search pages. The e-mail and white
// pages types look the name up on the web with words that find directory
// entries; Usenet postings are searched in the one archive the web keeps
// of them.
constexpr platform::TextId kNameHint{33390};      // "LASTNAME, FIRSTNAME (example: Smith, John)"
constexpr platform::TextId kWordsHint{33386};     // "Enter words to find"
constexpr platform::TextId kPicturesHint{33388};  // "Enter words to find pictures of"
constexpr platform::TextId kEmailText{33383};
constexpr platform::TextId kWebText{33384};
constexpr platform::TextId kUsenetText{33385};
constexpr platform::TextId kNewsText{33387};  // the yellow pages' too
constexpr platform::TextId kWhiteText{33382};
constexpr platform::TextId kPicturesText{33389};
const SearchTypeInfo kTypes[kSearchTypeCount] = {
    {{"Search", "Email", "https://duckduckgo.com/html/?q=%%22%s%%22+e-mail+address"}, kNameHint, kEmailText},
    {{"Search", "Web", "https://duckduckgo.com/html/?q=%s"}, kWordsHint, kWebText},
    {{"Search", "Usenet", "https://www.bing.com/search?q=%s+site%%3Agroups.google.com"}, kWordsHint, kUsenetText},
    {{"Search", "", ""}, kWordsHint, kNewsText},
    {{"Search", "News", "https://www.bing.com/news/search?q=%s"}, kWordsHint, kNewsText},
    {{"Search", "White", "https://duckduckgo.com/html/?q=%%22%s%%22+white+pages"}, kNameHint, kWhiteText},
    {{"Search", "Pictures", "https://commons.wikimedia.org/w/index.php?title=Special:MediaSearch&type=image&search=%s"},
     kPicturesHint, kPicturesText},
};

std::string Trimmed(const std::string& text) { return platform::Trim(text, " \t\r\n"); }

// The path of an http(s) address, from the "/" after its host on.
std::string PathOf(const std::string& address) {
  const size_t scheme = address.find("://");
  if (scheme == std::string::npos) return {};
  const size_t slash = address.find('/', scheme + 3);
  return slash == std::string::npos ? "/" : address.substr(slash);
}

// The decoded path of a file: address ("" for anything else, and for one
// with "." or ".." segments, which never count as inside a folder).
std::string LocalPath(const std::string& address) {
  const std::string lower = platform::AsciiLower(address.substr(0, 8));
  if (lower != "file:///") return {};
  std::string path = platform::DecodePercentEscapes(address.substr(7, address.find_first_of("?#") - 7));
  if (path.find('\0') != std::string::npos || path.find("/./") != std::string::npos ||
      path.find("/../") != std::string::npos)
    return {};
  return path;
}

bool IsOwnPage(const std::string& address, const EmbeddedPages& pages) {
  if (platform::StartsWithNoCase(address, "about:")) return true;
  std::string folder = pages.ownFolder;
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  const std::string path = LocalPath(address);
  if (!folder.empty() && folder[0] == '/' && platform::StartsWith(path, folder + "/")) return true;
  return !pages.homeServer.empty() && net::IsSameOrigin(address, pages.homeServer) &&
         platform::StartsWith(PathOf(address), "/pages/");
}

// Started in the pane's main frame: the engine names the document as the
// destination (on redirects), and the document that started it is the one
// the main frame shows (the engine sends no Referer from the program's own
// file pages, so one from a web page there came from a frame).
bool InMainFrame(const NavigationFacts& f) {
  if (!f.fetchDestination.empty() && f.fetchDestination != "document") return false;
  if (f.referrer.empty()) return true;
  return net::IsSameOrigin(f.referrer, f.mainDocument);
}

}  // namespace

const SearchTypeInfo& SearchType(int type) { return kTypes[type >= 0 && type < kSearchTypeCount ? type : 1]; }

int ReadSearchType(const Application& app) {
  const int type = app.Get(kSearchType);
  return type >= 0 && type < kSearchTypeCount ? type : 1;
}

std::string SearchAddress(const Application& app, int type, const std::string& term) {
  const std::string words = Trimmed(term);
  if (type == kYellowPagesType || words.empty()) return {};
  return FillAddressTemplate(app.Get(SearchType(type).address), words);
}

std::string QuoteAddress(const Application& app, QuoteAction action, const std::string& symbol) {
  if (action == QuoteAction::MarketOverview) return app.Get(kQuoteMarket);
  const std::string text = Trimmed(symbol);
  if (text.empty()) return {};
  const StringSetting& pattern = action == QuoteAction::Headlines ? kQuoteHeadlines
                                 : action == QuoteAction::Chart   ? kQuoteChart
                                                                  : kQuoteQuote;
  return FillAddressTemplate(app.Get(pattern), text);
}

void TermList::Load(const Application& app, const std::vector<std::string>& seeds) {
  entries_.clear();
  for (size_t n = 1; n <= kMaxEntries; ++n) {
    std::string term = app.Get(keys_.At(static_cast<int>(n)));
    if (!Trimmed(term).empty()) entries_.push_back(std::move(term));
  }
  // The seeds in the order shown, the current one (the last) first.
  if (entries_.empty()) entries_.assign(seeds.rbegin(), seeds.rend());
}

bool TermList::Remember(const Application& app, const std::string& term) {
  const std::string text = Trimmed(term);
  if (text.empty()) return false;
  std::vector<std::string> next{text};
  for (const std::string& entry : entries_) {
    const std::string e = Trimmed(entry);
    if (e.empty() || e == text || platform::AsciiLower(e) == "clear") continue;
    if (next.size() < kMaxEntries) next.push_back(e);
  }
  entries_ = std::move(next);
  for (size_t n = 0; n < kMaxEntries; ++n)
    app.Write(keys_.At(static_cast<int>(n + 1)), n < entries_.size() ? entries_[n] : std::string());
  return true;
}

SearchTree ParseSearchTree(std::string_view data) {
  SearchTree tree;
  std::vector<SearchFolder*> open{&tree.root};
  size_t pos = 0;
  ChannelRecord record;
  bool pending = ReadChannelRecord(data, pos, record);
  while (pending) {
    if (record.tag == "FO") {
      open.back()->folders.push_back({record.value, {}, {}});
      open.push_back(&open.back()->folders.back());
    } else if (record.tag == "XX") {
      if (open.size() > 1) open.pop_back();
    } else if (record.tag == "PN") {
      SearchPage page{record.value, {}};
      pending = ReadChannelRecord(data, pos, record);
      if (pending && record.tag == "PU") {
        page.address = record.value;
        open.back()->pages.push_back(std::move(page));
      } else {
        tree.badPages.push_back(page.name);
        continue;  // the record read ahead is read as itself
      }
    }
    pending = ReadChannelRecord(data, pos, record);
  }
  return tree;
}

EmbeddedNavigation RouteEmbeddedNavigation(const NavigationFacts& f, const EmbeddedPages& pages) {
  if (f.startedByShell && !f.newWindow) return EmbeddedNavigation::Stay;
  // Only the user's own click on a link of the pane's main frame, leaving
  // the pane's pages, reaches the main browser. A frame's navigation (its
  // first load included) stays in its frame, whatever the user clicked in
  // it; a page's script or redirect moves the pane at most.
  const bool click = (f.kind == NavigationKind::LinkClicked || f.kind == NavigationKind::FormSubmitted) &&
                     f.userGesture && f.pointerOnLink && !f.redirect;
  if (click && InMainFrame(f) && !IsOwnPage(f.url, pages)) return EmbeddedNavigation::HandToMain;
  return f.newWindow ? EmbeddedNavigation::Refuse : EmbeddedNavigation::Stay;
}

}  // namespace vyr

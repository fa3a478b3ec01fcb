#pragma once
// What the shell reports to its home server with every ping: the usage
// counters, the hit counts of the tracked addresses and (in the same record
// form) the info box's advertisement counts. The amounts stay until the
// server acknowledges them ("ack"); between runs they are kept, enciphered,
// in two values of the installation key.
//
// All of this is touched on the user-interface thread only.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::platform {
class Registry;
}

namespace vyr {

// The eleven counters, by index.
enum UsageCounter : int {
  kUsageSearchWindow = 0,  // "S"
  kUsageMail = 1,          // "MW"
  kUsageTypedUrl = 2,      // "TU"
  kUsageChannel = 3,       // "CC"
  kUsageFolderStrip = 4,   // "FC"
  kUsageSitesStrip = 5,    // "SC"
  kUsagePageView = 6,      // "PV"
  kUsageSearchBar = 7,     // "F"
  kUsageInfoBoxView = 8,   // "IBV"
  kUsageInfoBoxClick = 9,  // "IBC"
  kUsageLaf = 10,          // "LAF": only ever restored
};
inline constexpr std::array<const char*, 11> kUsageCounterNames = {
    "S", "MW", "TU", "CC", "FC", "SC", "PV", "F", "IBV", "IBC", "LAF"};

class UsageCounters {
 public:
  // Adds amount to the counter of that index (ignored outside 0..10), or of
  // that name; a counter not yet present starts at 0. Counts saturate at the
  // largest 32-bit value and never go below 0.
  void CountUsage(int index, int amount = 1);
  void CountUsage(const std::string& name, int amount = 1);

  bool Has(const std::string& name) const { return counts_.count(name) != 0; }
  std::int32_t Get(const std::string& name) const;

  // "&%s=%d" per counter, in the counters' order: the eleven names in their
  // index order, then any other restored name in name order. withZero
  // includes counters at 0 (the "showcounters" box); the ping leaves them out.
  std::string Text(bool withZero) const;
  // The box of "showcounters".
  std::string CountersText() const { return Text(true); }

  // Reduces a present counter by amount (a negative amount reduces nothing);
  // a result below 1 becomes 0.
  void Reduce(const std::string& name, std::int64_t amount);

  // Adds the "&"-separated name=value pairs of a saved statistics text. Pairs
  // without a name or "=" are skipped, as are "URL" (the tracked addresses'
  // part, restored by TrackedUrlTable::RestoreTriples) and "IBA" (the info
  // box's list of triples): neither is a counter.
  void Restore(std::string_view text);

  void Clear() { counts_.clear(); }

 private:
  std::map<std::string, std::int32_t> counts_;
};

struct TrackedUrl {
  std::int32_t id = 0;
  std::string pattern;
  std::int32_t visits = 0;
  std::int32_t clicks = 0;
};

// A list of records {id, pattern, visits, clicks}: the tracked addresses,
// and the info box's advertisements (pattern = the page's lower-cased path).
class TrackedUrlTable {
 public:
  // The "trackurls" text: whitespace-separated tokens read in pairs, an id
  // (leading decimal digits, 0 when there are none) and a pattern. An id
  // already in the list gets the new pattern; a new id is appended. A last id
  // without a pattern is ignored.
  void TrackUrls(std::string_view text);
  // The "load_ids" argument: the same, on the lower-cased text.
  void LoadIds(std::string_view text);

  // Adds a record unless the id is already in the list. True when added.
  bool AddIfNew(std::int32_t id, const std::string& pattern);

  // Counts a visit (or a click) for the first record whose pattern matches
  // the address: the address is lower-cased and one trailing "/" dropped.
  // True when a record matched.
  bool RecordVisit(std::string_view address, bool isClick);
  // The same with the patterns compared whole (the info box's page paths).
  bool CountExact(std::string_view path, bool isClick);

  // "%d %d %d " (id, visits, clicks) for every record whose visits are not
  // 0, in list order.
  std::string TriplesText() const;
  bool AnyVisits() const;
  // Sets visits and clicks of the records TriplesText lists back to 0.
  void ResetReported();

  // The saved form: "%d %s" per record, joined by single spaces.
  std::string SavedText() const;

  // Reduces visits and clicks of the records named by a run of integer
  // triples (id, visits, clicks), separated by blanks or "+"; never below 0.
  void ReduceTriples(std::string_view triples);
  // Adds the visits and clicks of the triples to the records they name.
  void RestoreTriples(std::string_view triples);

  const std::vector<TrackedUrl>& Entries() const { return entries_; }
  void Clear() { entries_.clear(); }

 private:
  TrackedUrl* Find(std::int32_t id);
  std::vector<TrackedUrl> entries_;
};

// The star rule of the tracked addresses. address is already lower-cased
// with its trailing "/" dropped. A pattern equal to the address matches;
// otherwise, with the first "*" at position k, the part before the star must
// begin the address (or be empty) and the part after it must occur in the
// address from position k on (or be empty). Without a star only the exact
// text matches.
bool UrlPatternMatches(std::string_view pattern, std::string_view address);
// Lower-cases an address and drops one trailing "/".
std::string NormalizeTrackedAddress(std::string_view address);

// Decodes %XX escapes (the only canonicalisation the "ack" text needs: the
// server may escape its blanks). Other characters are kept.
std::string DecodeEscapes(std::string_view text);

// The longest acknowledgement text handled at once, terminator included.
inline constexpr size_t kAckBufferSize = 2048;

// The "ack" command: the argument is canonicalised into kAckBufferSize
// bytes (a longer text is cut before its last pair that would not fit
// whole), one leading "&" dropped, and read as "&"-separated name=value
// pairs: "URL" reduces the tracked addresses, "IBA" the info box's list
// (when given), any other name the usage counter of that name.
void Acknowledge(std::string_view argument, UsageCounters& counters, TrackedUrlTable& tracked,
                 TrackedUrlTable* infoBoxAds);

// The two values of the installation key that keep the statistics between
// runs, each stored with the password cipher.
extern const char kTrackedUrlsValue[];  // "%d %s" records
extern const char kUnsentStatsValue[];  // counters and "&URL=" triples

// The unsent statistics as saved and as sent with a ping: the non-zero
// counters, then "&URL=" and the triples when some tracked address was
// visited.
std::string UnsentStatsText(const UsageCounters& counters, const TrackedUrlTable& tracked);

// Start: restores the tracked addresses, then the counters and the visits
// of the tracked addresses. Values that are missing or not in the stored
// form change nothing.
void LoadUsageStats(const platform::Registry& registry, TrackedUrlTable& tracked,
                    UsageCounters& counters);
// Exit: the tracked addresses (only when there are any). False when the
// value cannot be written.
bool SaveTrackedUrls(const platform::Registry& registry, const TrackedUrlTable& tracked);
// Exit: the unsent statistics.
bool SaveUnsentStats(const platform::Registry& registry, const UsageCounters& counters,
                     const TrackedUrlTable& tracked);

}  // namespace vyr

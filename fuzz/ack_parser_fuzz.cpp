// Feeds arbitrary bytes to the readers of server-sent and stored statistics
// texts: the "ack" command, the "trackurls" / "load_ids" lists and the saved
// counters. Checks that an acknowledgement only ever lowers counts (never
// below 0) and adds nothing, that a parsed list and restored counters come
// back unchanged through their own written forms, and that matching an
// address against the parsed patterns stays within the text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/usage_stats.h"

namespace {
void Require(bool condition) {
  if (!condition) std::abort();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vyr;
  const std::string input(reinterpret_cast<const char*>(data), size);

  UsageCounters counters;
  counters.CountUsage("S", 5);
  counters.CountUsage("IBV", 2147483647);
  TrackedUrlTable tracked, ads;
  tracked.TrackUrls("1 a* 2 *b");
  for (int k = 0; k < 6; ++k) tracked.RecordVisit(k % 2 ? "ab" : "xb", k > 3);
  ads.AddIfNew(17, "/p/box1.htm");
  ads.CountExact("/p/box1.htm", false);
  Acknowledge(input, counters, tracked, &ads);
  Require(counters.CountersText().rfind("&S=", 0) == 0);
  Require(counters.Get("S") >= 0 && counters.Get("S") <= 5);
  Require(counters.Get("IBV") >= 0);
  Require(tracked.Entries().size() == 2 && ads.Entries().size() == 1);
  Require(tracked.Entries()[0].visits >= 0 && tracked.Entries()[0].visits <= 2);
  Require(tracked.Entries()[1].visits >= 0 && tracked.Entries()[1].visits <= 2);
  Require(tracked.Entries()[1].clicks >= 0 && tracked.Entries()[1].clicks <= 2);
  Require(ads.Entries()[0].visits >= 0 && ads.Entries()[0].visits <= 1);

  TrackedUrlTable list;
  list.TrackUrls(input);
  TrackedUrlTable again;
  again.TrackUrls(list.SavedText());
  Require(again.SavedText() == list.SavedText());
  for (size_t i = 0; i < list.Entries().size(); ++i) {
    Require(!list.Entries()[i].pattern.empty());
    for (size_t j = i + 1; j < list.Entries().size(); ++j) Require(list.Entries()[i].id != list.Entries()[j].id);
  }
  list.RecordVisit(input, false);
  list.LoadIds(input);

  UsageCounters restored, back;
  restored.Restore(input);
  Require(!restored.Has("URL"));
  back.Restore(restored.Text(true));
  Require(back.Text(true) == restored.Text(true));
  return 0;
}

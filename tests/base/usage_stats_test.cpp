#include "base/usage_stats.h"

#include <gtest/gtest.h>

#include "base/installation_id.h"
#include "base/cipher.h"
#include "tools/test_support.h"

namespace vyr {
namespace {

TEST(TrackedUrls, StarRuleAndAddressNormalising) {
  struct Case {
    const char* pattern;
    const char* address;
    bool match;
  } cases[] = {
      {"ab*news", "abc/news/today", true},   // begins with ab, news from position 2 on
      {"ab*news", "xab/news", false},        // does not begin with ab
      {"abc*c", "abc", false},               // "c" only before position 3
      {"*news", "thenews", true},
      {"ab*", "abc", true},
      {"*", "anything", true},
      {"http://a.example/x", "HTTP://A.example/x/", true},  // lower-cased, one "/" dropped
      {"http://a.example/x", "http://a.example/x//", false},
      {"news", "newsx", false},              // no star: only the exact text
      {"News", "news", false},               // patterns are not lower-cased
  };
  for (const Case& c : cases) {
    TrackedUrlTable table;
    table.TrackUrls(std::string("7 ") + c.pattern);
    EXPECT_EQ(table.RecordVisit(c.address, false), c.match) << c.pattern << " / " << c.address;
  }
}

TEST(Acknowledge, ReducesNamedAmountsNeverBelowZero) {
  struct Case {
    std::string ack;
    const char* counters;  // CountersText afterwards
    const char* urls;      // triples of the tracked addresses
    const char* ads;       // triples of the info box's list
  } cases[] = {
      {"&S=2&URL=1 3 5 &IBA=9 1 1 ", "&S=3&MW=1&IBV=3", "1 1 0 ", "9 2 0 "},
      {"S=9", "&S=0&MW=1&IBV=3", "1 4 2 ", "9 3 1 "},
      {"MW=1&XX=4&=2&junk", "&S=5&MW=0&IBV=3", "1 4 2 ", "9 3 1 "},
      {"URL=1+4+2+&IBA=9+1", "&S=5&MW=1&IBV=3", "", "9 3 1 "},   // an incomplete triple reduces nothing
      {"URL=1%203%200%208%201%201", "&S=5&MW=1&IBV=3", "1 1 2 ", "9 3 1 "},  // id 8 is unknown
      {"IBV=-5&S=%2B2", "&S=3&MW=1&IBV=3", "1 4 2 ", "9 3 1 "},
      // Past the buffer only the pairs that fit whole count: MW is cut off.
      {"S=1&F=" + std::string(2040, '0') + "&MW=1", "&S=4&MW=1&IBV=3", "1 4 2 ", "9 3 1 "},
  };
  for (const Case& c : cases) {
    UsageCounters counters;
    counters.CountUsage("S", 5);
    counters.CountUsage("MW", 1);
    counters.CountUsage("IBV", 3);
    TrackedUrlTable tracked, ads;
    tracked.TrackUrls("1 a");
    for (int k = 0; k < 6; ++k) tracked.RecordVisit("a", k >= 4);
    ads.AddIfNew(9, "/p/box1.htm");
    for (int k = 0; k < 4; ++k) ads.CountExact("/P/Box1.htm", k == 3);
    Acknowledge(c.ack, counters, tracked, &ads);
    EXPECT_EQ(counters.CountersText(), c.counters) << c.ack.substr(0, 40);
    EXPECT_EQ(tracked.TriplesText(), c.urls) << c.ack.substr(0, 40);
    EXPECT_EQ(ads.TriplesText(), c.ads) << c.ack.substr(0, 40);
  }
}

TEST(UsageStats, ListsCountersAndTheirSavedForms) {
  test::TestApp t;
  const platform::Registry& registry = t.app.Registry();
  TrackedUrlTable tracked;
  UsageCounters counters;
  tracked.TrackUrls("1 a*  2 b\t1 c*b 7");  // id 1 gets the new pattern, the lone 7 is ignored
  tracked.LoadIds("5 HTTP://X");
  EXPECT_EQ(tracked.SavedText(), "1 c*b 2 b 5 http://x");
  for (const char* address : {"CXB/", "cab"}) tracked.RecordVisit(address, false);
  tracked.RecordVisit("B", true);  // a click alone is not reported
  EXPECT_EQ(counters.Text(false), "");  // all 0: nothing for the ping
  counters.CountUsage("ZZ");
  counters.CountUsage(kUsageInfoBoxClick);
  counters.CountUsage(kUsageSearchWindow, 2);
  counters.CountUsage(11);  // no such index
  counters.CountUsage("MW", 0);
  EXPECT_EQ(counters.CountersText(), "&S=2&MW=0&IBC=1&ZZ=1");
  ASSERT_TRUE(SaveTrackedUrls(registry, tracked));
  ASSERT_TRUE(SaveUnsentStats(registry, counters, tracked));

  auto stored = [&](const char* name) {
    return *registry.GetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), name);
  };
  std::string plain;
  EXPECT_EQ(stored(kTrackedUrlsValue).size(), 4u + 2 * 20);
  ASSERT_TRUE(DecipherText(stored(kTrackedUrlsValue), plain));
  EXPECT_EQ(plain, "1 c*b 2 b 5 http://x");
  ASSERT_TRUE(DecipherText(stored(kUnsentStatsValue), plain));
  EXPECT_EQ(plain, "&S=2&IBC=1&ZZ=1&URL=1 2 0 ");

  TrackedUrlTable tracked2, many, back;
  UsageCounters counters2;
  LoadUsageStats(registry, tracked2, counters2);
  EXPECT_EQ(tracked2.SavedText(), "1 c*b 2 b 5 http://x");
  EXPECT_EQ(tracked2.TriplesText(), "1 2 0 ");
  EXPECT_EQ(counters2.CountersText(), "&S=2&IBC=1&ZZ=1");  // "URL" is no counter
  // A list longer than a password's limit comes back whole.
  for (int id = 1; id <= 150; ++id) many.TrackUrls(std::to_string(id) + " http://site.example/" + std::to_string(id));
  ASSERT_TRUE(SaveTrackedUrls(registry, many));
  LoadUsageStats(registry, back, counters2);
  EXPECT_EQ(back.SavedText(), many.SavedText());
}

// The saved info box list ("&IBA=") is no counter and is not restored as one.
TEST(UsageStats, RestoringSkipsTheInfoBoxList) {
  test::TestApp t;
  const platform::Registry& registry = t.app.Registry();
  ASSERT_TRUE(registry.SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), kTrackedUrlsValue,
                                EncipherText("1 a*")));
  ASSERT_TRUE(registry.SetValue(platform::RegistryRoot::ClassesRoot, InstallationKeyPath(), kUnsentStatsValue,
                                EncipherText("&S=2&IBA=9 3 1 &PV=4&URL=1 2 0 &IBA=7 1 1 ")));
  TrackedUrlTable tracked;
  UsageCounters counters;
  LoadUsageStats(registry, tracked, counters);
  EXPECT_FALSE(counters.Has("IBA"));
  EXPECT_FALSE(counters.Has("URL"));
  EXPECT_EQ(counters.CountersText(), "&S=2&PV=4");
  EXPECT_EQ(tracked.TriplesText(), "1 2 0 ");
  EXPECT_EQ(UnsentStatsText(counters, tracked), "&S=2&PV=4&URL=1 2 0 ");
}

}  // namespace
}  // namespace vyr

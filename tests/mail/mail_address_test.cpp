// Splitting recipient fields, parsing one entry, and the date text of sent
// mail.
#include "mail/send/mail_address.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mail/mail_test_util.h"

namespace vyr {
namespace {

struct Parsed {
  bool ok = false;
  std::string name, address;
};

Parsed Parse(const std::string& entry) {
  Parsed p;
  p.name = "unchanged";
  p.address = "unchanged";
  p.ok = ParseAddress(entry, p.name, p.address);
  return p;
}

struct Split {
  int result = -1;
  std::vector<std::string> addresses, names;
  std::string error;
};

Split DoSplit(const std::string& field) {
  Split s;
  s.result = SplitRecipients(field, s.addresses, s.names, s.error);
  return s;
}

TEST(ParseAddressTest, NameAndAngleAddress) {
  Parsed p = Parse("John Smith <john@mail.example>");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "john@mail.example");
  EXPECT_EQ(p.name, "John Smith");
}

TEST(ParseAddressTest, QuotedNameWithCommaLosesItsQuotes) {
  Parsed p = Parse("\"Smith, John\" <john@mail.example>");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "john@mail.example");
  EXPECT_EQ(p.name, "Smith, John");
}

TEST(ParseAddressTest, NameInParenthesesAfterTheAddress) {
  Parsed p = Parse("john@mail.example (John)");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "john@mail.example");
  EXPECT_EQ(p.name, "John");
}

TEST(ParseAddressTest, BareAddressIsNamedByItsLocalPart) {
  Parsed p = Parse("john@mail.example");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "john@mail.example");
  EXPECT_EQ(p.name, "john");
  Parsed angle = Parse("  <john@mail.example>  ");
  ASSERT_TRUE(angle.ok);
  EXPECT_EQ(angle.address, "john@mail.example");
  EXPECT_EQ(angle.name, "john");
}

TEST(ParseAddressTest, TextAfterTheAddressIsTheName) {
  Parsed p = Parse("john@mail.example John Smith");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "john@mail.example");
  EXPECT_EQ(p.name, "John Smith");
}

TEST(ParseAddressTest, QuoteWithoutItsCloseTakesTheRest) {
  Parsed p = Parse("\"John Smith <john@mail.example>");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.name, "John Smith");
}

TEST(ParseAddressTest, RejectsEntriesWithoutAnAddress) {
  for (const char* entry : {"", "   ", "bob", "@mail.example", " @mail.example", "bob@", "a @b"}) {
    Parsed p = Parse(entry);
    EXPECT_FALSE(p.ok) << entry;
    EXPECT_EQ(p.name, "unchanged") << entry;
    EXPECT_EQ(p.address, "unchanged") << entry;
  }
}

TEST(ParseAddressTest, NoParsedAddressCarriesALineBreakOrControlCharacter) {
  Parsed p = Parse("bob@mail.example\r\nRCPT to:<evil@mail.example>");
  ASSERT_TRUE(p.ok);
  EXPECT_EQ(p.address, "bob@mail.example");
  EXPECT_FALSE(Parse(std::string("bob@mail\x01.example")).ok);
  EXPECT_FALSE(Parse(std::string("bob@mail\0x.example", 18)).ok);
  Parsed tab = Parse("Bob\tbob@mail.example");
  ASSERT_TRUE(tab.ok);
  EXPECT_EQ(tab.address, "bob@mail.example");
  EXPECT_EQ(tab.name, "Bob");
}

TEST(SplitRecipientsTest, EmptyFieldSucceedsWithNoEntries) {
  Split s = DoSplit("");
  EXPECT_EQ(s.result, 0);
  EXPECT_TRUE(s.addresses.empty());
  EXPECT_TRUE(s.names.empty());
}

TEST(SplitRecipientsTest, CommasAndSemicolonsSeparate) {
  Split s = DoSplit("John Smith <john@mail.example>, ann@mail.example (Ann)");
  ASSERT_EQ(s.result, 0);
  EXPECT_EQ(s.addresses, (std::vector<std::string>{"john@mail.example", "ann@mail.example"}));
  EXPECT_EQ(s.names, (std::vector<std::string>{"John Smith", "Ann"}));

  Split semi = DoSplit("a@mail.example; b@mail.example;c@mail.example");
  ASSERT_EQ(semi.result, 0);
  EXPECT_EQ(semi.addresses,
            (std::vector<std::string>{"a@mail.example", "b@mail.example", "c@mail.example"}));
}

TEST(SplitRecipientsTest, MixedSeparatorsLoseNoRecipient) {
  // The first two separated by a comma, the last two by a semicolon: all
  // three are recipients.
  Split s = DoSplit("a@mail.example, b@mail.example; c@mail.example");
  ASSERT_EQ(s.result, 0);
  EXPECT_EQ(s.addresses,
            (std::vector<std::string>{"a@mail.example", "b@mail.example", "c@mail.example"}));
  Split reverse = DoSplit("a@mail.example; b@mail.example, c@mail.example");
  ASSERT_EQ(reverse.result, 0);
  EXPECT_EQ(reverse.addresses,
            (std::vector<std::string>{"a@mail.example", "b@mail.example", "c@mail.example"}));
}

TEST(SplitRecipientsTest, QuotedNameWithSeparatorIsOneEntry) {
  Split s = DoSplit("\"Smith, John\" <john@mail.example>, \"Doe; Jane\" <jane@mail.example>");
  ASSERT_EQ(s.result, 0);
  EXPECT_EQ(s.addresses, (std::vector<std::string>{"john@mail.example", "jane@mail.example"}));
  EXPECT_EQ(s.names, (std::vector<std::string>{"Smith, John", "Doe; Jane"}));

  // A quoted name after a closed one still protects its separator.
  Split second = DoSplit("\"A\" <a@mail.example>, \"B, C\" <b@mail.example>");
  ASSERT_EQ(second.result, 0);
  EXPECT_EQ(second.names, (std::vector<std::string>{"A", "B, C"}));
}

TEST(SplitRecipientsTest, EntryWithoutAtStopsTheSplit) {
  Split s = DoSplit("bob");
  EXPECT_EQ(s.result, 2);
  EXPECT_EQ(s.error, "Invalid Recipient: :bob");
  EXPECT_TRUE(s.addresses.empty());

  Split later = DoSplit("a@mail.example, bob, c@mail.example");
  EXPECT_EQ(later.result, 2);
  EXPECT_EQ(later.error, "Invalid Recipient: : bob");
  // Entries before the bad one stay.
  EXPECT_EQ(later.addresses, (std::vector<std::string>{"a@mail.example"}));
  EXPECT_EQ(later.names, (std::vector<std::string>{"a"}));
}

TEST(SplitRecipientsTest, EntryParseAddressRejectsStopsTheSplit) {
  Split s = DoSplit("a@mail.example;@mail.example");
  EXPECT_EQ(s.result, 2);
  EXPECT_EQ(s.error, "Invalid Recipient: :@mail.example");
  EXPECT_EQ(s.addresses.size(), 1u);
}

TEST(SplitRecipientsTest, ListsAreAppendedTo) {
  std::vector<std::string> addresses{"x@mail.example"}, names{"x"};
  std::string error;
  ASSERT_EQ(SplitRecipients("y@mail.example", addresses, names, error), 0);
  EXPECT_EQ(addresses, (std::vector<std::string>{"x@mail.example", "y@mail.example"}));
  EXPECT_EQ(names, (std::vector<std::string>{"x", "y"}));
}

// --- dates ------------------------------------------------------------------------------

constexpr std::time_t kJuly4 = 1783168496;    // 2026-07-04 12:34:56 UTC
constexpr std::time_t kJanuary15 = 1768478400;  // 2026-01-15 12:00:00 UTC

std::string DateIn(const char* zone, std::time_t when) {
  mailtest::ScopedZone z(zone);
  char buffer[64];
  EXPECT_EQ(FormatMailDate(buffer, sizeof buffer, when), 0);
  return buffer;
}

TEST(FormatMailDateTest, ZonesWestOfUtc) {
  // Daylight saving moves the clock, never the zone: the standard offset is
  // written.
  EXPECT_EQ(DateIn("EST5EDT", kJuly4), "04 Jul 2026 08:34:56 -0500");
  EXPECT_EQ(DateIn("EST5EDT", kJanuary15), "15 Jan 2026 07:00:00 -0500");
  EXPECT_EQ(DateIn("PST8PDT", kJanuary15), "15 Jan 2026 04:00:00 -0800");
  EXPECT_EQ(DateIn("HST10", kJanuary15), "15 Jan 2026 02:00:00 -1000");
  // Half an hour is lost, toward zero.
  EXPECT_EQ(DateIn("NST3:30NDT", kJanuary15), "15 Jan 2026 08:30:00 -0300");
}

TEST(FormatMailDateTest, ZonesEastOfUtcAndUtc) {
  EXPECT_EQ(DateIn("CET-1CEST,M3.5.0,M10.5.0/3", kJuly4), "04 Jul 2026 14:34:56 +0100");
  EXPECT_EQ(DateIn("CET-1CEST,M3.5.0,M10.5.0/3", kJanuary15), "15 Jan 2026 13:00:00 +0100");
  EXPECT_EQ(DateIn("IST-5:30", kJuly4), "04 Jul 2026 18:04:56 +0500");
  EXPECT_EQ(DateIn("UTC0", kJuly4), "04 Jul 2026 12:34:56 +0000");
  EXPECT_EQ(DateIn("<+14>-14", kJanuary15), "16 Jan 2026 02:00:00 +1400");
}

TEST(FormatMailDateTest, SmallBufferGetsNothing) {
  mailtest::ScopedZone z("UTC0");
  char buffer[40];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(FormatMailDate(buffer, 31, kJuly4), 1);
  for (char c : buffer) EXPECT_EQ(c, 'Z');
  EXPECT_EQ(FormatMailDate(nullptr, 64, kJuly4), 1);
  EXPECT_EQ(FormatMailDate(buffer, 32, kJuly4), 0);
  EXPECT_STREQ(buffer, "04 Jul 2026 12:34:56 +0000");
}

TEST(FormatMailDateTest, NowHasTheSameShape) {
  const std::string now = MailDateNow();
  ASSERT_EQ(now.size(), 26u) << now;
  EXPECT_EQ(now[2], ' ');
  EXPECT_EQ(now[14], ':');
  EXPECT_TRUE(now[21] == '+' || now[21] == '-') << now;
}

TEST(OneLineHeaderValueTest, LineBreaksBecomeSpaces) {
  EXPECT_EQ(OneLineHeaderValue("Hi\r\nBcc: evil@mail.example\n."), "Hi  Bcc: evil@mail.example .");
  EXPECT_EQ(OneLineHeaderValue("plain"), "plain");
}

}  // namespace
}  // namespace vyr

// Splitting recipient fields, parsing one entry, the date text of sent
// mail, and non-ASCII header text as encoded words.
#include "mail/send/mail_address.h"

#include <gtest/gtest.h>

#include <cstring>

#include "mail/mail_test_util.h"
#include "mail/send/header_words.h"

namespace vyr {
namespace {

using Strings = std::vector<std::string>;

TEST(ParseAddressTest, NamesAndAddresses) {
  struct Case {
    std::string entry, name, address;
  } cases[] = {
      {"John Smith <john@mail.example>", "John Smith", "john@mail.example"},
      {"\"Smith, John\" <john@mail.example>", "Smith, John", "john@mail.example"},
      {"john@mail.example (John)", "John", "john@mail.example"},
      {"john@mail.example", "john", "john@mail.example"},
      {"  <john@mail.example>  ", "john", "john@mail.example"},
      {"john@mail.example John Smith", "John Smith", "john@mail.example"},
      {"\"John Smith <john@mail.example>", "John Smith", "john@mail.example"},
      {"Bob\tbob@mail.example", "Bob", "bob@mail.example"},
      // A line break ends the address: nothing after it reaches a command.
      {"bob@mail.example\r\nRCPT to:<evil@mail.example>", "RCPT to:<evil@mail.example>",
       "bob@mail.example"},
  };
  for (const Case& c : cases) {
    std::string name, address;
    EXPECT_TRUE(ParseAddress(c.entry, name, address) && name == c.name && address == c.address)
        << c.entry << ": " << name << "|" << address;
  }
  for (const std::string entry : {"", "   ", "bob", "@mail.example", " @mail.example", "bob@", "a @b",
                                  "bob@mail\x01.example", "bob@mail\x7F.example"}) {
    std::string name = "unchanged", address = "unchanged";
    EXPECT_FALSE(ParseAddress(entry, name, address)) << entry;
    EXPECT_EQ(name + address, "unchangedunchanged") << entry;
  }
  std::string name, address;
  EXPECT_FALSE(ParseAddress(std::string("bob@mail\0x.example", 18), name, address));
}

TEST(SplitRecipientsTest, FieldsSplitIntoEntries) {
  struct Case {
    std::string field;
    int result;
    Strings addresses, names;
    std::string error;
  } cases[] = {
      {"", 0, {}, {}, ""},
      {"John Smith <john@mail.example>, ann@mail.example (Ann)", 0,
       {"john@mail.example", "ann@mail.example"}, {"John Smith", "Ann"}, ""},
      // Mixed separators lose no recipient.
      {"a@mail.example; b@mail.example, c@mail.example", 0,
       {"a@mail.example", "b@mail.example", "c@mail.example"}, {"a", "b", "c"}, ""},
      // A separator inside a quoted name does not split, also after a
      // name that was closed before it.
      {"\"Smith, John\" <john@mail.example>, \"Doe; Jane\" <jane@mail.example>", 0,
       {"john@mail.example", "jane@mail.example"}, {"Smith, John", "Doe; Jane"}, ""},
      {"\"A\" <a@mail.example>, \"B, C\" <b@mail.example>", 0,
       {"a@mail.example", "b@mail.example"}, {"A", "B, C"}, ""},
      // A bad entry stops the split; the entries before it stay.
      {"bob", 2, {}, {}, "Invalid Recipient: :bob"},
      {"a@mail.example, bob, c@mail.example", 2, {"a@mail.example"}, {"a"}, "Invalid Recipient: : bob"},
      {"a@mail.example;@mail.example", 2, {"a@mail.example"}, {"a"},
       "Invalid Recipient: :@mail.example"},
  };
  for (const Case& c : cases) {  // (appending To, CC and BCC in turn: the outbox test)
    Strings addresses, names;
    std::string error;
    EXPECT_EQ(SplitRecipients(c.field, addresses, names, error), c.result) << c.field;
    EXPECT_EQ(addresses, c.addresses) << c.field;
    EXPECT_EQ(names, c.names) << c.field;
    EXPECT_EQ(error, c.error) << c.field;
  }
}

// --- dates ------------------------------------------------------------------------------

constexpr std::time_t kJuly4 = 1783168496;      // 2026-07-04 12:34:56 UTC
constexpr std::time_t kJanuary15 = 1768520707;  // 2026-01-15 23:45:07 UTC

TEST(FormatMailDateTest, OffsetInForceAtThatMomentAndBufferSize) {
  struct Case {
    const char* zone;
    std::time_t when;
    const char* expected;
  } cases[] = {
      {"UTC", kJuly4, "04 Jul 2026 12:34:56 +0000"},
      {"Asia/Kolkata", kJanuary15, "16 Jan 2026 05:15:07 +0530"},
      {"America/New_York", kJuly4, "04 Jul 2026 08:34:56 -0400"},
      {"America/New_York", kJanuary15, "15 Jan 2026 18:45:07 -0500"},
      {"America/St_Johns", kJuly4, "04 Jul 2026 10:04:56 -0230"},
      {"Asia/Kathmandu", kJanuary15, "16 Jan 2026 05:30:07 +0545"},
  };
  for (const Case& c : cases) {
    mailtest::ScopedZone zone(c.zone);
    char buffer[64];
    ASSERT_EQ(FormatMailDate(buffer, sizeof buffer, c.when), 0) << c.zone;
    EXPECT_STREQ(buffer, c.expected) << c.zone;
  }
  // A buffer below 32 bytes gets nothing.
  mailtest::ScopedZone z("UTC");
  char buffer[40];
  std::memset(buffer, 'Z', sizeof buffer);
  EXPECT_EQ(FormatMailDate(buffer, 31, kJuly4) + FormatMailDate(nullptr, 64, kJuly4), 2);
  EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(40, 'Z'));
  EXPECT_EQ(FormatMailDate(buffer, 32, kJuly4), 0);
  EXPECT_STREQ(buffer, "04 Jul 2026 12:34:56 +0000");
}

// --- encoded words

TEST(HeaderWordsTest, NonAsciiTextBecomesEncodedWords) {
  const struct {
    std::string text, expected;
  } subjects[] = {
      {"Greetings, all", "Greetings, all"},
      {"Grüße aus Köln", "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?="},
      // 43 bytes: the "ö" would straddle the 42-byte limit, so it opens the
      // second word.
      {std::string(41, 'a') + "ö",
       "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?= =?UTF-8?B?w7Y=?="},
  };
  for (const auto& c : subjects) EXPECT_EQ(EncodeHeaderText(c.text), c.expected) << c.text;

  const struct {
    std::string list, expected;
  } lists[] = {
      {"Bob <b@x.example>", "Bob <b@x.example>"},
      {"Jörg <j@x.example>, Bob <b@x.example>", "=?UTF-8?B?SsO2cmc=?= <j@x.example>, Bob <b@x.example>"},
      // The comma inside the quotes does not split; the quotes go.
      {"Bob <b@x.example>; \"Jörg, Sr.\" <j@x.example>",
       "Bob <b@x.example>; =?UTF-8?B?SsO2cmcsIFNyLg==?= <j@x.example>"},
      {"jörg@x.example", "jörg@x.example"},
  };
  for (const auto& c : lists) EXPECT_EQ(EncodeAddressList(c.list), c.expected) << c.list;
}

}  // namespace
}  // namespace vyr

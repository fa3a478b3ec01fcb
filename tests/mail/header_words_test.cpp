#include "mail/send/header_words.h"

#include <gtest/gtest.h>

namespace vyr {
namespace {

TEST(HeaderWordsTest, NonAsciiTextBecomesEncodedWords) {
  const struct {
    std::string text, expected;
  } subjects[] = {
      {"Greetings, all", "Greetings, all"},
      {"Grüße aus Köln", "=?UTF-8?B?R3LDvMOfZSBhdXMgS8O2bG4=?="},
      // 46 bytes: the "ö" would straddle the 45-byte limit, so it opens the
      // second word.
      {std::string(44, 'a') + "ö",
       "=?UTF-8?B?YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE=?= =?UTF-8?B?w7Y=?="},
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

#include "mail/body/utf8.h"

#include <gtest/gtest.h>

#include <string>


namespace vyr {
namespace {

const std::string R = "\xEF\xBF\xBD";  // U+FFFD

TEST(Utf8Test, EachMalformedByteBecomesOneReplacementCharacter) {
  struct Case {
    std::string input, expected;
  };
  const Case cases[] = {
      // Well-formed, at the edges of each length and around the gaps.
      {"plain ASCII", "plain ASCII"},
      {"\xC2\x80\xDF\xBF", "\xC2\x80\xDF\xBF"},                // U+0080, U+07FF
      {"\xE0\xA0\x80\xED\x9F\xBF", "\xE0\xA0\x80\xED\x9F\xBF"},  // U+0800, U+D7FF
      {"\xEE\x80\x80\xEF\xBF\xBF", "\xEE\x80\x80\xEF\xBF\xBF"},  // U+E000, U+FFFF
      {"\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
      {R, R},
      // Over-long forms.
      {"\xE0\x8A\xA0", R + R + R},
      {"\xC0\xAF", R + R},
      {"\xC1\xBF", R + R},
      {"\xF0\x8F\xBF\xBF", R + R + R + R},
      // Surrogates, and beyond U+10FFFF.
      {"\xED\xA0\x80", R + R + R},
      {"\xED\xBF\xBF", R + R + R},
      {"\xF4\x90\x80\x80", R + R + R + R},
      {"\xF5\x80\x80\x80", R + R + R + R},
      {"\xFF", R},
      // Lone continuation bytes.
      {"a\x80\xBF" "b", "a" + R + R + "b"},
      // Truncated sequences, at the end and before other characters.
      {"x\xE2\x82", "x" + R + R},
      {"\xF0\x9F\x98", R + R + R},
      {"\xC3", R},
      {"\xE2\x82" "A\xC3\xA9", R + R + "A\xC3\xA9"},
      {"\xE2(\xA1", R + "(" + R},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.input));
    EXPECT_EQ(ValidUtf8(c.input), c.expected);
    EXPECT_EQ(IsValidUtf8(c.input), c.input == c.expected);
  }
  EXPECT_EQ(Utf8At("\xE0\x8A\xA0", 0), 0xFFFDu);
  EXPECT_EQ(Utf8At("\xF4\x8F\xBF\xBF", 0), 0x10FFFFu);
  EXPECT_EQ(Utf8At("\xE2\x82\xAC", 0), 0x20ACu);
}

}  // namespace
}  // namespace vyr

// The string table: its format, the language choice, and that the shipped
// tables hold every number the program's sources name, once, in both
// languages.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "platform/string_table.h"
#include "tools/test_support.h"

namespace vyr::platform {
namespace {

TEST(StringTableTest, ParsesNumbersTabsAndEscapes) {
  auto t = ParseStringTable(
      "# comment\n1\tplain\r\n33085\tline\\r\\n\\nnext %s \\\"q\\\" back\\\\slash\n"
      "bad line\n12 no tab\n\t7\n99999999999\ttoo big\n2\t\n");
  EXPECT_EQ(t.size(), 3u);
  EXPECT_EQ(t[1], "plain");
  EXPECT_EQ(t[33085], "line\r\n\nnext %s \"q\" back\\slash");
  EXPECT_EQ(t[2], "");
}

TEST(StringTableTest, LanguageComesFromTheLocaleAndGermanFallsBackToEnglish) {
  using V = std::optional<std::string>;
  const std::tuple<V, V, Language> locales[] = {  // LC_ALL, LANG (LC_MESSAGES unset)
      {std::nullopt, "de_DE.UTF-8", Language::German},
      {"en_GB.UTF-8", "de_DE.UTF-8", Language::English},
      {std::nullopt, std::nullopt, Language::English}};
  for (const auto& [all, lang, language] : locales) {
    test::ScopedEnv a("LC_ALL", all), m("LC_MESSAGES", std::nullopt), l("LANG", lang);
    EXPECT_EQ(LanguageFromLocale(), language);
  }
  Language before = StringLanguage();
  SetStringLanguage(Language::English);
  EXPECT_EQ(LoadString(33081), "Error creating Vyrelle directory");
  SetStringLanguage(Language::German);
  EXPECT_EQ(LoadString(TextId{33081}), "Fehler beim Anlegen des Vyrelle-Verzeichnisses");
  EXPECT_EQ(LoadString(4242424), "");
  SetStringLanguage(before);
}

// The lines of a shipped table: number -> how many lines carry it; lines
// that are neither comments nor "number TAB text" are collected as bad.
std::map<unsigned, int> CountLines(const std::string& table, std::vector<std::string>& bad) {
  std::map<unsigned, int> counts;
  std::istringstream in(table);
  std::string line;
  static const std::regex form(R"(^(\d{1,9})\t.*$)");
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::smatch m;
    if (std::regex_match(line, m, form)) {
      ++counts[static_cast<unsigned>(std::stoul(m[1]))];
    } else {
      bad.push_back(line);
    }
  }
  return counts;
}

// The printf-style markers of a text, in order ("%s", "%d", "%ld", ...).
std::vector<std::string> Markers(const std::string& text) {
  static const std::regex marker(R"(%l?[dsu])");
  std::vector<std::string> out;
  for (std::sregex_iterator it(text.begin(), text.end(), marker), end; it != end; ++it) {
    out.push_back(it->str());
  }
  return out;
}

TEST(StringTableTest, ShippedTablesHoldEveryNumberOnceWithATranslation) {
  std::vector<std::string> bad;
  const auto enLines = CountLines(StringTableSource(Language::English), bad);
  const auto deLines = CountLines(StringTableSource(Language::German), bad);
  EXPECT_TRUE(bad.empty()) << ::testing::PrintToString(bad);
  for (const auto* lines : {&enLines, &deLines}) {
    for (const auto& [number, count] : *lines) EXPECT_EQ(count, 1) << "number " << number << " repeated";
  }
  const auto en = ParseStringTable(StringTableSource(Language::English));
  const auto de = ParseStringTable(StringTableSource(Language::German));
  for (const auto& [number, text] : de) EXPECT_TRUE(en.count(number)) << number << " only in German";

  // Words that read the same in German (channel icon keywords, the mark of
  // a multi-part message).
  const std::set<unsigned> sameInBoth = {40002, 40003, 40009, 40016, 40017, 40018, 40023, 40044};
  for (const auto& [number, english] : en) {
    auto it = de.find(number);
    ASSERT_TRUE(it != de.end()) << number << " only in English";
    const std::string& german = it->second;
    EXPECT_FALSE(english.empty()) << number;
    EXPECT_FALSE(german.empty()) << number;
    // The values are filled in by position, so both must ask for the same.
    EXPECT_EQ(Markers(english), Markers(german)) << number;
    if (!sameInBoth.count(number)) {
      EXPECT_NE(english, german) << number << " is not translated";
    }
  }
}

TEST(StringTableTest, EveryNumberTheSourcesNameIsDeclaredOnceAndInBothTables) {
  // Every table number in the sources is written "TextId name{n}" or
  // "TextId{n}"; a number passed to LoadString directly would escape this
  // check and is refused.
  static const std::regex declared(R"(\bTextId\s*(\w*)\s*\{\s*(\d+)\s*\})");
  static const std::regex bareNumber(R"(\bLoadString\s*\(\s*\d)");
  std::map<unsigned, std::vector<std::string>> places;
  std::vector<std::string> bare;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(VYRELLE_SOURCE_DIR)) {
    const std::string ext = entry.path().extension().string();
    if (ext != ".cpp" && ext != ".h") continue;
    std::ifstream in(entry.path());
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
      const std::string where = entry.path().filename().string() + ":" + std::to_string(n);
      if (std::regex_search(line, bareNumber)) bare.push_back(where);
      for (std::sregex_iterator it(line.begin(), line.end(), declared), end; it != end; ++it) {
        places[static_cast<unsigned>(std::stoul((*it)[2]))].push_back(where + " " + (*it)[1].str());
      }
    }
  }
  EXPECT_TRUE(bare.empty()) << ::testing::PrintToString(bare);
  // The scan sees constants in headers, in sources and in arrays.
  for (unsigned known : {33244u, 32822u, 40000u, 40030u, 40090u}) EXPECT_TRUE(places.count(known)) << known;

  const auto en = ParseStringTable(StringTableSource(Language::English));
  const auto de = ParseStringTable(StringTableSource(Language::German));
  for (const auto& [number, where] : places) {
    EXPECT_EQ(where.size(), 1u) << number << " declared at " << ::testing::PrintToString(where);
    EXPECT_TRUE(en.count(number) && !en.at(number).empty()) << number << " missing in English";
    EXPECT_TRUE(de.count(number) && !de.at(number).empty()) << number << " missing in German";
  }
}

}  // namespace
}  // namespace vyr::platform

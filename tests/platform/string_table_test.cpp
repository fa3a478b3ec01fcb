// The string table: format, language choice, and the shipped tables.
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

// Number -> how many lines carry it; malformed lines go to bad.
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

TEST(StringTableTest, ShippedTablesHoldEveryNumberTheSourcesNameOnceWithATranslation) {
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
  // a multi-part message, the OK button).
  const std::set<unsigned> sameInBoth = {40002, 40003, 40009, 40016, 40017, 40018, 40023, 40044, 40605};
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

  // Numbers are named "TextId name{n}" or "TextId{n}", never passed to LoadString bare.
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
  for (unsigned known : {33244u, 32822u, 40000u, 40030u, 40090u, 40500u, 40523u, 40624u, 40660u})
    EXPECT_TRUE(places.count(known)) << known;
  for (const auto& [number, where] : places) {
    EXPECT_EQ(where.size(), 1u) << number << " declared at " << ::testing::PrintToString(where);
    EXPECT_TRUE(en.count(number) && de.count(number)) << number << " missing in a table";
  }
}

// The lower-cased letter after a single "&" ("&&" is a plain "&"); marks counts them.
std::string KeyLetter(const std::string& text, int& marks) {
  std::string letter;
  marks = 0;
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] != '&') continue;
    if (text[i + 1] == '&') {
      ++i;
      continue;
    }
    ++marks;
    const auto first = static_cast<unsigned char>(text[i + 1]);
    if (first >= 'A' && first <= 'Z') {
      letter = std::string(1, static_cast<char>(first - 'A' + 'a'));
    } else if (first == 0xC3 && i + 2 < text.size()) {
      auto second = static_cast<unsigned char>(text[i + 2]);
      if (second >= 0x80 && second <= 0x9E && second != 0x97) second += 0x20;  // "Ö" -> "ö"
      letter = {static_cast<char>(first), static_cast<char>(second)};
    } else {
      letter = std::string(1, static_cast<char>(first));
    }
  }
  return letter;
}

TEST(StringTableTest, EveryMenuGivesItsItemsOneKeyLetterEachAndNoLetterTwice) {
  const std::vector<std::pair<const char*, std::vector<unsigned>>> menus = {
      {"menu bar", {40500, 40501, 40502, 40503, 40504, 40505, 40506}},
      {"File", {32806, 32808, 40510, 40511, 40512}},
      {"Edit", {40513, 40514, 40515, 40516}},
      {"View", {40517, 40518, 40519, 40520, 40521, 40522}},
      {"Text Size", {40523, 40524, 40525, 40526, 40527}},
      {"Go", {40528, 40529, 40530, 32878, 40531}},
      {"Favorites", {41760, 40532, 41761}},
      {"favorites organizer", {41763, 41764, 41765, 41766, 41767, 41768}},
      {"Tools", {32788, 40533, 32968, 40534, 40535, 40536, 40537, 40538, 32798}},
      {"Help", {40539, 40540, 40541}},
      {"window menu", {40600, 40601, 40602, 40603}},
      {"tray menu", {40580, 40512}},
      {"OK and Cancel", {40605, 40606}},
      {"Yes and No", {40607, 40608}},
      {"mail menu bar", {40725, 40726, 40727, 40728, 40729}},
      {"mail File", {40730, 40731, 40732, 40733, 40734}},
      {"mail Edit", {40735, 40736, 40737}},
      {"mail View", {40738, 40740}},
      {"mail Message", {40741, 40742, 40743, 40744, 40745}},
      {"mail Tools", {40746, 40747, 40748, 40749}},
  };
  for (Language language : {Language::English, Language::German}) {
    const auto table = ParseStringTable(StringTableSource(language));
    const char* tableName = language == Language::English ? "English" : "German";
    for (const auto& [menu, numbers] : menus) {
      std::map<std::string, unsigned> taken;
      for (unsigned number : numbers) {
        auto it = table.find(number);
        ASSERT_TRUE(it != table.end()) << number << " missing in " << tableName;
        EXPECT_EQ(it->second.find('\t'), std::string::npos) << tableName << " " << number;
        int marks = 0;
        const std::string letter = KeyLetter(it->second, marks);
        EXPECT_EQ(marks, 1) << tableName << " " << number;
        if (!letter.empty()) EXPECT_TRUE(taken.emplace(letter, number).second) << tableName << " " << menu << " " << number;
      }
    }
  }
}

}  // namespace
}  // namespace vyr::platform

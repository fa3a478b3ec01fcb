#include "platform/string_table.h"

#include <atomic>
#include <cstdlib>

#include "platform/text.h"

namespace vyr::platform {

namespace detail {
extern const char* const kStringTableEnglish;
extern const char* const kStringTableGerman;
}  // namespace detail

namespace {

std::string Unescape(const std::string& s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '\\' || i + 1 == s.size()) {
      out += s[i];
      continue;
    }
    char e = s[++i];
    switch (e) {
      case 'r': out += '\r'; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      default: out += e;
    }
  }
  return out;
}

const std::map<unsigned, std::string>& Table(Language language) {
  static const auto english = ParseStringTable(detail::kStringTableEnglish);
  static const auto german = ParseStringTable(detail::kStringTableGerman);
  return language == Language::German ? german : english;
}

std::atomic<int> gLanguage{-1};

}  // namespace

Language LanguageFromLocale() {
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* v = std::getenv(name);
    if (v && *v) {
      std::string s(v);
      return (s.size() >= 2 && (s[0] == 'd' || s[0] == 'D') && (s[1] == 'e' || s[1] == 'E'))
                 ? Language::German
                 : Language::English;
    }
  }
  return Language::English;
}

std::map<unsigned, std::string> ParseStringTable(const std::string& text) {
  std::map<unsigned, std::string> table;
  for (const std::string& line : SplitLines(text)) {
    if (line.empty() || line[0] == '#') continue;
    size_t digits = 0;
    while (digits < line.size() && line[digits] >= '0' && line[digits] <= '9') ++digits;
    if (digits == 0 || digits > 9 || digits >= line.size() || line[digits] != '\t') continue;
    unsigned id = static_cast<unsigned>(std::stoul(line.substr(0, digits)));
    table.try_emplace(id, Unescape(line.substr(digits + 1)));
  }
  return table;
}

void SetStringLanguage(Language language) { gLanguage = static_cast<int>(language); }

Language StringLanguage() {
  int l = gLanguage.load();
  if (l < 0) {
    l = static_cast<int>(LanguageFromLocale());
    gLanguage = l;
  }
  return static_cast<Language>(l);
}

std::string LoadString(unsigned id) {
  const auto& table = Table(StringLanguage());
  auto it = table.find(id);
  if (it != table.end()) return it->second;
  const auto& english = Table(Language::English);
  it = english.find(id);
  return it != english.end() ? it->second : std::string();
}

std::string LoadString(TextId id) { return LoadString(id.number); }

std::string TextId::Text() const { return LoadString(number); }

const char* StringTableSource(Language language) {
  return language == Language::German ? detail::kStringTableGerman : detail::kStringTableEnglish;
}

}  // namespace vyr::platform

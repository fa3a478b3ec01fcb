#pragma once
// The numbered string table: the texts the user sees, in English and German.
// The tables are compiled in from res/strings/*.txt: one string per line, its
// number, a tab, the text with the escapes \r \n \t \\ and \". Lines starting
// with "#" are comments.
#include <map>
#include <string>

namespace vyr::platform {

enum class Language { English, German };

// German when the locale (LC_ALL, then LC_MESSAGES, then LANG) starts with
// "de", else English.
Language LanguageFromLocale();

// A number of the string table. Code names every table text it shows with a
// constant of this type, spelled "TextId name{number}" or "TextId{number}"
// (a unit test finds the numbers by that spelling and checks that both tables hold each of them
// and that no number is declared twice). Numbers below 40000 are fixed;
// free numbers are taken from 40000 up.
struct TextId {
  unsigned number = 0;
  // The text in the current language (see LoadString).
  std::string Text() const;
  operator std::string() const { return Text(); }
};

// Parses one table in the format above.
std::map<unsigned, std::string> ParseStringTable(const std::string& text);

// The language used by LoadString; chosen from the locale at first use.
void SetStringLanguage(Language language);
Language StringLanguage();

// The text of string number id in the current language, falling back to the
// English text when the German table lacks it; empty when neither has it.
std::string LoadString(unsigned id);
std::string LoadString(TextId id);

// A table's text as compiled in (for checks of the table itself).
const char* StringTableSource(Language language);

}  // namespace vyr::platform

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

// Parses one table in the format above.
std::map<unsigned, std::string> ParseStringTable(const std::string& text);

// The language used by LoadString; chosen from the locale at first use.
void SetStringLanguage(Language language);
Language StringLanguage();

// The text of string number id in the current language, falling back to the
// English text when the German table lacks it; empty when neither has it.
std::string LoadString(unsigned id);

}  // namespace vyr::platform

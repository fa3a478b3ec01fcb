#include "mail/body/spelling.h"

#include <hunspell.hxx>

#include <algorithm>

#include "base/application.h"
#include "base/settings_table.h"
#include "mail/body/utf8.h"
#include "platform/char_class.h"
#include "platform/charset.h"
#include "platform/file_system.h"
#include "platform/folder_listing.h"
#include "platform/text.h"
#include "platform/windows_dir.h"

namespace vyr {

namespace {

constexpr platform::TextId kStatusText{40900};  // "%lu words checked, ..."

constexpr size_t kMaxSuggestions = 10;
// How much of the sentence around a word the dialog shows, each side.
constexpr size_t kContextReach = 150;
// The answers kept before the store of known words starts afresh.
constexpr size_t kMaxKnownWords = 100000;

// --- characters -----------------------------------------------------------------

bool IsBlank(std::uint32_t cp) {
  return cp == ' ' || (cp >= '\t' && cp <= '\r') || cp == 0xA0 || (cp >= 0x2000 && cp <= 0x200A) ||
         cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

// The Brahmic scripts' blocks (Devanagari to Sinhala) number their digits
// 0x66-0x6F within each block of 0x80.
bool IsIndicBlock(std::uint32_t cp) { return cp >= 0x0900 && cp <= 0x0DFF; }

bool IsDigit(std::uint32_t cp) {
  return (cp >= '0' && cp <= '9') || (cp >= 0x0660 && cp <= 0x0669) || (cp >= 0x06F0 && cp <= 0x06F9) ||
         (IsIndicBlock(cp) && (cp & 0x7F) >= 0x66 && (cp & 0x7F) <= 0x6F) || (cp >= 0xFF10 && cp <= 0xFF19);
}

// Marks that belong to the letter before them (accents written apart, the
// vowel signs and viramas of the Brahmic scripts, the zero-width joiners).
bool IsMark(std::uint32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF) ||
         (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE20 && cp <= 0xFE2F) || cp == 0x200C || cp == 0x200D ||
         (cp >= 0x3099 && cp <= 0x309A) ||
         (IsIndicBlock(cp) && !IsDigit(cp) && cp != 0x0964 && cp != 0x0965);
}

// What may stand between two letters of one word: apostrophes and hyphens.
bool IsJoiner(std::uint32_t cp) { return cp == '\'' || cp == 0x2019 || cp == '-' || cp == 0x2010 || cp == 0x2011; }

size_t CharLength(std::string_view s, size_t i) { return std::max<size_t>(Utf8Length(s, i), 1); }

// The start of the character that ends just before byte i.
size_t PreviousChar(std::string_view s, size_t i) {
  size_t j = i - 1;
  while (j > 0 && i - j < 4 && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) --j;
  return Utf8Length(s, j) == i - j ? j : i - 1;
}

// A blank-separated piece of text that is an address or a link.
bool IsAddressOrLink(std::string_view piece) {
  const std::string lower = platform::AsciiLower(platform::TrimView(piece, "([<{\"'"));
  return lower.find('@') != std::string::npos || lower.find("://") != std::string::npos ||
         lower.starts_with("www.");
}

// The first word of [from, end) within one piece of text.
std::optional<ByteRange> WordIn(std::string_view text, size_t from, size_t end) {
  size_t i = from;
  while (i < end) {
    std::uint32_t cp = Utf8At(text, i);
    if (!platform::IsLetter(cp) && !IsDigit(cp)) {
      i += CharLength(text, i);
      continue;
    }
    const size_t begin = i;
    bool digit = false;
    int letters = 0;
    while (i < end) {
      cp = Utf8At(text, i);
      const size_t length = CharLength(text, i);
      if (platform::IsLetter(cp)) {
        ++letters;
      } else if (IsDigit(cp)) {
        digit = true;
      } else if (IsMark(cp)) {
        // belongs to the letter before it
      } else if (IsJoiner(cp) && i + length < end &&
                 (platform::IsLetter(Utf8At(text, i + length)) || IsDigit(Utf8At(text, i + length)))) {
        // inside the word
      } else {
        break;
      }
      i += length;
    }
    if (!digit && letters >= 2) return ByteRange{begin, i};
  }
  return std::nullopt;
}

// The word as the dictionary spells it: typographic apostrophes and
// hyphens as their plain forms.
std::string Plain(std::string_view word) {
  std::string out;
  out.reserve(word.size());
  for (size_t i = 0; i < word.size();) {
    const std::uint32_t cp = Utf8At(word, i);
    const size_t length = CharLength(word, i);
    if (cp == 0x2019) {
      out += '\'';
    } else if (cp == 0x2010 || cp == 0x2011) {
      out += '-';
    } else {
      out.append(word.substr(i, length));
    }
    i += length;
  }
  return out;
}

// --- lexicon files ------------------------------------------------------------------

bool IsOneLine(const std::string& text) { return text.find_first_of("\t\r\n") == std::string::npos; }

std::vector<std::string> FileLines(const std::string& path) {
  std::string contents;
  if (!platform::ReadWholeFile(path, contents)) return {};
  return platform::SplitLines(contents);
}

std::vector<std::pair<std::string, std::string>> ReadCorrections(const std::string& path) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::string& line : FileLines(path)) {
    const size_t tab = line.find('\t');
    if (tab == 0 || tab == std::string::npos) continue;
    out.emplace_back(line.substr(0, tab), line.substr(tab + 1));
  }
  return out;
}

// The dictionary's character set as the converter knows it.
std::string ConverterName(const std::string& encoding) {
  std::string name = encoding;
  if (platform::StartsWithNoCase(name, "microsoft-")) name.erase(0, 10);  // "microsoft-cp1251"
  return name;
}

}  // namespace

// --- the lexicon ------------------------------------------------------------------------

std::vector<std::string> DictionarySource::SystemFolders() {
  return {"/usr/share/hunspell", "/usr/share/myspell/dicts"};
}

std::string DictionarySource::NameFor(platform::Language language) {
  return language == platform::Language::German ? "de_DE" : "en_US";
}

bool SpellCheckAvailable(const std::string& mailRoot, const DictionarySource& source) {
  if (mailRoot.empty()) return false;
  const std::string words = platform::JoinPath(mailRoot, kLexiconWordsFile);
  const std::string rules = platform::JoinPath(mailRoot, kLexiconRulesFile);
  if (platform::FileExists(words) && platform::FileExists(rules)) return true;
  std::string systemWords, systemRules;
  for (const std::string& folder : source.folders) {
    const std::string dic = platform::JoinPath(folder, source.name + ".dic");
    const std::string aff = platform::JoinPath(folder, source.name + ".aff");
    if (platform::FileExists(dic) && platform::FileExists(aff)) {
      systemWords = dic;
      systemRules = aff;
      break;
    }
  }
  // The rules first: a word list is never there without them.
  if (!platform::FileExists(rules)) {
    if (!systemRules.empty()) {
      platform::CopyWholeFile(systemRules, rules);
    } else if (platform::FileExists(words)) {
      // A word list of the user's own without rules: plain words in UTF-8.
      platform::WriteFileAtomically(rules, "SET UTF-8\n");
    }
  }
  if (!platform::FileExists(words) && !systemWords.empty() && platform::FileExists(rules)) {
    platform::CopyWholeFile(systemWords, words);
  }
  return platform::FileExists(words);
}

std::optional<ByteRange> NextWord(std::string_view text, size_t from) {
  from = std::min(from, text.size());
  // The blank-separated piece holding `from`.
  size_t start = from;
  while (start > 0) {
    const size_t before = PreviousChar(text, start);
    if (IsBlank(Utf8At(text, before))) break;
    start = before;
  }
  while (true) {
    while (start < text.size() && IsBlank(Utf8At(text, start))) start += CharLength(text, start);
    if (start >= text.size()) return std::nullopt;
    size_t end = start;
    while (end < text.size() && !IsBlank(Utf8At(text, end))) end += CharLength(text, end);
    if (!IsAddressOrLink(text.substr(start, end - start))) {
      if (auto word = WordIn(text, std::max(from, start), end)) return word;
    }
    start = end;
  }
}

// --- Speller ------------------------------------------------------------------------------

Speller::Speller(std::string mailRoot, const DictionarySource& source) : root_(std::move(mailRoot)) {
  if (!SpellCheckAvailable(root_, source)) return;
  const std::string rules = platform::JoinPath(root_, kLexiconRulesFile);
  const std::string words = platform::JoinPath(root_, kLexiconWordsFile);
  engine_ = std::make_unique<Hunspell>(rules.c_str(), words.c_str());
  encoding_ = ConverterName(engine_->get_dict_encoding());
  for (const std::string& word : FileLines(platform::JoinPath(root_, kUserWordsFile))) {
    if (!word.empty()) TakeWord(word);
  }
  corrections_ = ReadCorrections(platform::JoinPath(root_, kCorrectionsFile));
}

Speller::~Speller() = default;

void Speller::TakeWord(const std::string& word) {
  accepted_.insert(word);
  std::string encoded;
  if (engine_ && platform::ConvertFromUtf8(Plain(word), encoding_, encoded)) engine_->add(encoded);
  known_.clear();
}

bool Speller::Check(std::string_view word) const {
  if (!engine_ || word.empty()) return true;
  const std::string key(word);
  if (auto it = known_.find(key); it != known_.end()) return it->second;
  bool right = accepted_.count(key) > 0;
  std::string encoded;
  if (!right && platform::ConvertFromUtf8(Plain(word), encoding_, encoded)) right = engine_->spell(encoded);
  // A word the dictionary's character set cannot write is in no list of it.
  if (known_.size() >= kMaxKnownWords) known_.clear();
  known_.emplace(key, right);
  return right;
}

std::vector<std::string> Speller::Suggest(std::string_view word) const {
  std::vector<std::string> out;
  auto offer = [&out](const std::string& s) {
    if (!s.empty() && out.size() < kMaxSuggestions && std::find(out.begin(), out.end(), s) == out.end())
      out.push_back(s);
  };
  for (const auto& [wrong, right] : corrections_) {
    if (wrong == word) offer(right);
  }
  std::string encoded;
  if (engine_ && platform::ConvertFromUtf8(Plain(word), encoding_, encoded)) {
    for (const std::string& s : engine_->suggest(encoded)) {
      std::string utf8;
      if (platform::ConvertToUtf8(s, encoding_, utf8)) offer(utf8);
    }
  }
  return out;
}

bool Speller::AddWord(const std::string& word) {
  if (word.empty() || !IsOneLine(word)) return false;
  TakeWord(word);
  // Read afresh: another window may have added words since this one opened.
  const std::string path = platform::JoinPath(root_, kUserWordsFile);
  const std::vector<std::string> lines = FileLines(path);
  if (std::find(lines.begin(), lines.end(), word) != lines.end()) return true;
  std::string contents;
  for (const std::string& line : lines) contents += line + "\n";
  return platform::WriteFileAtomically(path, contents + word + "\n");
}

void Speller::IgnoreAll(const std::string& word) {
  accepted_.insert(word);
  known_.erase(word);
}

bool Speller::LearnCorrection(const std::string& wrong, const std::string& right) {
  if (wrong.empty() || !IsOneLine(wrong) || !IsOneLine(right)) return false;
  const std::string path = platform::JoinPath(root_, kCorrectionsFile);
  corrections_ = ReadCorrections(path);
  auto it = std::find_if(corrections_.begin(), corrections_.end(), [&](const auto& c) { return c.first == wrong; });
  if (it != corrections_.end()) {
    it->second = right;
  } else {
    corrections_.emplace_back(wrong, right);
  }
  std::string contents;
  for (const auto& [w, r] : corrections_) contents += w + "\t" + r + "\n";
  return platform::WriteFileAtomically(path, contents);
}

// --- a check of the editor's text ---------------------------------------------------------

std::string SpellStatusText(const SpellStats& stats) {
  // Filled by position; the table's text is never used as a format.
  std::string text = kStatusText.Text();
  size_t at = 0;
  for (unsigned long count : {stats.checked, stats.errors, stats.changed}) {
    at = text.find("%lu", at);
    if (at == std::string::npos) break;
    const std::string number = std::to_string(count);
    text.replace(at, 3, number);
    at += number.size();
  }
  return text;
}

namespace {

bool EndsSentence(std::string_view text, size_t i) {
  const char c = text[i];
  return (c == '.' || c == '!' || c == '?') && (i + 1 >= text.size() || IsBlank(Utf8At(text, i + 1)));
}

// The sentence around [begin, end), and the word's place in it.
std::pair<std::string, ByteRange> Sentence(std::string_view text, ByteRange word) {
  size_t from = word.begin;
  while (from > 0 && word.begin - from < kContextReach && text[from - 1] != '\n' && !EndsSentence(text, from - 1))
    --from;
  while (from < word.begin && (static_cast<unsigned char>(text[from]) & 0xC0) == 0x80) ++from;
  size_t to = word.end;
  while (to < text.size() && to - word.end < kContextReach && text[to] != '\n') {
    if (EndsSentence(text, to++)) break;
  }
  to = word.end + Utf8CutBefore(text.substr(word.end), to - word.end);
  while (from < word.begin && IsBlank(static_cast<unsigned char>(text[from]))) ++from;
  return {std::string(text.substr(from, to - from)), ByteRange{word.begin - from, word.end - from}};
}

}  // namespace

SpellSession::SpellSession(Speller& speller, SpellTarget& target)
    : speller_(speller), target_(target), text_(target.Text()) {}

void SpellSession::Replace(ByteRange range, const std::string& with) {
  target_.ReplaceRange(range.begin, range.end, with);
  text_.replace(range.begin, range.end - range.begin, with);
  next_ = range.begin + with.size();
}

const Misspelling* SpellSession::Next() {
  if (current_) Ignore();
  while (auto range = NextWord(text_, next_)) {
    ++stats_.checked;
    next_ = range->end;
    const std::string word = text_.substr(range->begin, range->end - range->begin);
    if (speller_.Check(word)) continue;
    ++stats_.errors;
    if (auto it = changeAll_.find(word); it != changeAll_.end()) {
      const std::string to = it->second;
      Replace(*range, to);
      ++stats_.changed;
      continue;
    }
    Misspelling found;
    found.word = word;
    found.range = *range;
    std::tie(found.context, found.inContext) = Sentence(text_, *range);
    found.suggestions = speller_.Suggest(word);
    current_ = std::move(found);
    target_.ShowRange(range->begin, range->end);
    return &*current_;
  }
  next_ = text_.size();
  return nullptr;
}

void SpellSession::Change(const std::string& to) {
  if (!current_) return;
  if (to != current_->word) {
    Replace(current_->range, to);
    ++stats_.changed;
  }
  current_.reset();
}

void SpellSession::ChangeAll(const std::string& to) {
  if (!current_) return;
  if (to != current_->word) {
    changeAll_[current_->word] = to;
    speller_.LearnCorrection(current_->word, to);
  }
  Change(to);
}

void SpellSession::Ignore() {
  if (current_) next_ = current_->range.end;
  current_.reset();
}

void SpellSession::IgnoreAll() {
  if (current_) speller_.IgnoreAll(current_->word);
  Ignore();
}

void SpellSession::Add() {
  if (current_) speller_.AddWord(current_->word);
  Ignore();
}

std::vector<ByteRange> MisspeltWords(const Speller& speller, std::string_view text) {
  std::vector<ByteRange> out;
  size_t at = 0;
  while (auto range = NextWord(text, at)) {
    if (!speller.Check(text.substr(range->begin, range->end - range->begin))) out.push_back(*range);
    at = range->end;
  }
  return out;
}

// --- before sending ---------------------------------------------------------------------------

SpellWhenSending ReadSpellWhenSending(const Application& app) {
  const std::string value = app.Get(kEmailSpellCheck);
  if (value == "Always") return SpellWhenSending::kAlways;
  if (value == "Never") return SpellWhenSending::kNever;
  return SpellWhenSending::kPrompt;
}

SpellBeforeSend SpellStepBeforeSending(const Application& app, bool available,
                                       const std::function<SpellQuestionAnswer()>& ask,
                                       const std::function<bool()>& runCheck) {
  auto check = [&runCheck] { return runCheck() ? SpellBeforeSend::kGoOn : SpellBeforeSend::kCheckCancelled; };
  if (!available) return SpellBeforeSend::kGoOn;
  switch (ReadSpellWhenSending(app)) {
    case SpellWhenSending::kNever:
      return SpellBeforeSend::kGoOn;
    case SpellWhenSending::kAlways:
      return check();
    case SpellWhenSending::kPrompt:
      break;
  }
  const SpellQuestionAnswer answer = ask();
  // Closing the question takes back a ticked box along with the send.
  if (answer.end == SpellQuestionAnswer::End::kClosed) return SpellBeforeSend::kBackToEditor;
  if (answer.always) app.Write(kEmailSpellCheck, "Always");
  if (answer.never) app.Write(kEmailSpellCheck, "Never");
  switch (answer.end) {
    case SpellQuestionAnswer::End::kYes:
      return check();
    case SpellQuestionAnswer::End::kNo:
      return SpellBeforeSend::kGoOn;
    case SpellQuestionAnswer::End::kClosed:
      break;
  }
  return SpellBeforeSend::kBackToEditor;
}

}  // namespace vyr

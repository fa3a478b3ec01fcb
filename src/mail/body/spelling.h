#pragma once
// The spelling of the message being written, over Hunspell. The lexicons are
// files in the mail root:
//   "VyrLex.tlx"  the main word list (a Hunspell word list) and
//   "VyrLex.clx"  its affix rules; both copied from the system dictionary of
//                 the user's language at first use;
//   "Correct.tlx" the corrections the user taught with Change All, one
//                 "wrong<TAB>right" a line, offered first among suggestions;
//   "UserDic.tlx" the user's own words, one a line, in UTF-8.
// Callers always speak UTF-8; the dictionary's own character set stays
// inside Speller. Everything here runs on the user-interface thread.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "platform/string_table.h"

class Hunspell;

namespace vyr {

class Application;

inline constexpr char kLexiconWordsFile[] = "VyrLex.tlx";
inline constexpr char kLexiconRulesFile[] = "VyrLex.clx";
inline constexpr char kCorrectionsFile[] = "Correct.tlx";
inline constexpr char kUserWordsFile[] = "UserDic.tlx";

// Where a new lexicon is copied from: the first of the folders holding
// <name>.dic and <name>.aff.
struct DictionarySource {
  // /usr/share/hunspell, then /usr/share/myspell/dicts.
  static std::vector<std::string> SystemFolders();
  // "en_US" for English, "de_DE" for German.
  static std::string NameFor(platform::Language language);

  std::vector<std::string> folders = SystemFolders();
  std::string name = NameFor(platform::StringLanguage());
};

// Makes the main lexicon when the mail root has none (each file written
// whole under a temporary name and renamed, the rules first, so a word list
// without its rules never appears), then tells whether "VyrLex.tlx" exists:
// without it there is no spelling check at all.
bool SpellCheckAvailable(const std::string& mailRoot, const DictionarySource& source = {});

// One span of a text, in bytes.
struct ByteRange {
  size_t begin = 0;
  size_t end = 0;
  bool operator==(const ByteRange&) const = default;
};

// The next word to check at or after `from`: a run of letters (of any
// script, with their combining marks) that may hold an apostrophe (' or ’)
// or a hyphen between two letters. Runs of one letter and runs holding a
// digit are passed over, and so is every blank-separated piece of text that
// holds "@" or "://" or starts with "www." (an address or a link).
std::optional<ByteRange> NextWord(std::string_view text, size_t from);

// A Hunspell dictionary over the lexicon files of a mail root, with the
// user's words and this run's ignored words. Not Ok() without a lexicon:
// then every word is taken as right.
class Speller {
 public:
  explicit Speller(std::string mailRoot, const DictionarySource& source = {});
  ~Speller();
  Speller(const Speller&) = delete;
  Speller& operator=(const Speller&) = delete;

  bool Ok() const { return engine_ != nullptr; }
  bool Check(std::string_view word) const;
  // The learned corrections of the word first, then the dictionary's; no
  // word twice, at most 10.
  std::vector<std::string> Suggest(std::string_view word) const;
  // Takes the word into "UserDic.tlx" and into this dictionary.
  bool AddWord(const std::string& word);
  // Takes the word as right for as long as this object lives.
  void IgnoreAll(const std::string& word);
  // Keeps "wrong<TAB>right" in "Correct.tlx" (replacing an earlier
  // correction of the same word).
  bool LearnCorrection(const std::string& wrong, const std::string& right);

 private:
  void TakeWord(const std::string& word);

  std::string root_;
  std::unique_ptr<Hunspell> engine_;
  std::string encoding_;  // the dictionary's character set
  // Words right by the user's say: added ones the dictionary's character
  // set cannot hold, and ignored ones.
  std::unordered_set<std::string> accepted_;
  std::vector<std::pair<std::string, std::string>> corrections_;
  mutable std::unordered_map<std::string, bool> known_;  // answers already found
};

// The editor a check runs over.
class SpellTarget {
 public:
  virtual ~SpellTarget() = default;
  // The editor's text as UTF-8, '\n' between paragraphs.
  virtual std::string Text() const = 0;
  // Replaces bytes [begin, end) of Text(), keeping the replaced word's format.
  virtual void ReplaceRange(size_t begin, size_t end, const std::string& with) = 0;
  // Selects the span and scrolls it into view.
  virtual void ShowRange(size_t begin, size_t end) = 0;
};

struct SpellStats {
  unsigned long checked = 0;
  unsigned long errors = 0;
  unsigned long changed = 0;
};

// "%lu words checked, %lu errors detected, %lu words changed."
std::string SpellStatusText(const SpellStats& stats);

struct Misspelling {
  std::string word;
  ByteRange range;             // in the target's text as it is now
  std::string context;         // the sentence around the word
  ByteRange inContext;         // the word's place in context
  std::vector<std::string> suggestions;
};

// One check of a target's text from its start: Next() finds the next
// misspelt word, and one answer (Change, Change All, Ignore, Ignore All,
// Add) deals with it. A word left without an answer counts as ignored.
class SpellSession {
 public:
  SpellSession(Speller& speller, SpellTarget& target);

  // The next misspelt word, shown in the editor; null at the end. Later
  // occurrences of a word answered with Change All are changed on the way.
  const Misspelling* Next();
  void Change(const std::string& to);
  void ChangeAll(const std::string& to);
  void Ignore();
  void IgnoreAll();
  void Add();

  const SpellStats& Stats() const { return stats_; }

 private:
  void Replace(ByteRange range, const std::string& with);

  Speller& speller_;
  SpellTarget& target_;
  std::string text_;  // the target's text, kept in step with each replacement
  size_t next_ = 0;   // where the search goes on
  std::optional<Misspelling> current_;
  std::unordered_map<std::string, std::string> changeAll_;
  SpellStats stats_;
};

// The misspelt words of a text, in order (the editor's underline).
std::vector<ByteRange> MisspeltWords(const Speller& speller, std::string_view text);

// --- the check before sending -----------------------------------------------------

// "SpellCheckWhenSending": "Always" and "Never" as written, anything else
// (another case, empty, missing) asks.
enum class SpellWhenSending { kPrompt, kAlways, kNever };
SpellWhenSending ReadSpellWhenSending(const Application& app);

// What Send Now does after the spelling step.
enum class SpellBeforeSend {
  kGoOn,            // send
  kCheckCancelled,  // the user cancelled the check: ask whether to send anyway
  kBackToEditor,    // the question was closed: back to writing, nothing sent
};

// How the question before sending ended.
struct SpellQuestionAnswer {
  enum class End { kYes, kNo, kClosed } end = End::kClosed;
  bool always = false;  // "Always spell check before sending." ticked
  bool never = false;   // "Never spell check before sending." ticked
};

// The spelling step of Send Now. Without a lexicon, or with "Never", it
// sends at once; "Always" checks; otherwise it asks (ask shows the question)
// and stores a ticked "always" or "never" (not when the question was
// closed: that goes back to the editor). runCheck runs the check and is
// true when it completed.
SpellBeforeSend SpellStepBeforeSending(const Application& app, bool available,
                                       const std::function<SpellQuestionAnswer()>& ask,
                                       const std::function<bool()>& runCheck);

}  // namespace vyr

// Spelling of the message being written.
#include "mail/body/spelling.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/settings_table.h"
#include "tools/test_support.h"

namespace vyr {
namespace {
namespace fs = std::filesystem;
using Strings = std::vector<std::string>;

const DictionarySource kEnglish{{"/usr/share/hunspell"}, "en_US"};

Strings FilesIn(const std::string& folder) {
  Strings names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

Strings Words(const std::string& text, const std::vector<ByteRange>& ranges) {
  Strings out;
  for (const ByteRange& r : ranges) out.push_back(text.substr(r.begin, r.end - r.begin));
  return out;
}

struct RecordingTarget : SpellTarget {
  std::string text;
  Strings shown;
  std::string Text() const override { return text; }
  void ReplaceRange(size_t begin, size_t end, const std::string& with) override {
    text.replace(begin, end - begin, with);
  }
  void ShowRange(size_t begin, size_t end) override { shown.push_back(text.substr(begin, end - begin)); }
};

TEST(SpellingTest, TheLexiconIsCopiedWholeFromTheSystemDictionaryOfTheLanguage) {
  test::TempDir empty, noDictionary;
  struct Case {
    const char* name;
    DictionarySource source;
    const char* ownWords;
    bool available;
    Strings files;
  } cases[] = {
      {"found in the second folder", {{empty.Path(), "/usr/share/hunspell"}, "en_US"}, nullptr, true,
       {"VyrLex.clx", "VyrLex.tlx"}},
      {"no dictionary", {{empty.Path()}, "en_US"}, nullptr, false, {}},
      {"none of the language", {{"/usr/share/hunspell"}, "xx_XX"}, nullptr, false, {}},
      {"own word list kept", {{empty.Path()}, "en_US"}, "1\nVyrellix\n", true, {"VyrLex.clx", "VyrLex.tlx"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::TempDir root;
    if (c.ownWords) test::WriteFile(root.File("VyrLex.tlx"), c.ownWords);
    EXPECT_EQ(SpellCheckAvailable(root.Path(), c.source), c.available);
    EXPECT_EQ(FilesIn(root.Path()), c.files);
    if (c.ownWords) {
      EXPECT_EQ(test::ReadFile(root.File("VyrLex.tlx")), c.ownWords);
      EXPECT_TRUE(Speller(root.Path(), c.source).Check("Vyrellix"));
    } else if (c.available) {
      EXPECT_EQ(test::ReadFile(root.File("VyrLex.tlx")), test::ReadFile("/usr/share/hunspell/en_US.dic"));
      EXPECT_EQ(test::ReadFile(root.File("VyrLex.clx")), test::ReadFile("/usr/share/hunspell/en_US.aff"));
    }
  }
  EXPECT_FALSE(Speller(noDictionary.Path(), {{empty.Path()}, "en_US"}).Ok());
}

TEST(SpellingTest, EnglishWordsSuggestionsAndCorrections) {
  test::TempDir root;
  Speller speller(root.Path(), kEnglish);
  ASSERT_TRUE(speller.Ok());
  const std::pair<const char*, bool> words[] = {
      {"receive", true},    {"recieve", false}, {"don\xE2\x80\x99t", true}, {"well-known", true},
      {"HELLO", true},      {"XQZT", false},    {"Tuesday", true},          {"tuesday", false},
  };
  for (const auto& [word, right] : words) EXPECT_EQ(speller.Check(word), right) << word;
  Strings offered = speller.Suggest("recieve");
  EXPECT_NE(std::find(offered.begin(), offered.end(), "receive"), offered.end());
  EXPECT_TRUE(speller.LearnCorrection("recieve", "relieve"));
  EXPECT_TRUE(speller.LearnCorrection("recieve", "receive"));
  offered = speller.Suggest("recieve");
  ASSERT_FALSE(offered.empty());
  EXPECT_EQ(offered[0], "receive");
  EXPECT_EQ(std::count(offered.begin(), offered.end(), "receive"), 1);
  EXPECT_LE(offered.size(), 10u);
  EXPECT_EQ(test::ReadFile(root.File("Correct.tlx")), "recieve\treceive\n");
  EXPECT_EQ(Speller(root.Path(), kEnglish).Suggest("recieve").at(0), "receive");
}

TEST(SpellingTest, WhatCountsAsAWord) {
  test::TempDir root;
  Speller speller(root.Path(), kEnglish);
  const std::pair<std::string, Strings> cases[] = {
      {"recieve http://recieve.example/recieve", {"recieve"}},
      {"(www.recieve.com) <me@recieve.org> ftp://host/recieve HTTPS://RECIEVE.EXAMPLE", {}},
      {"recieve2 3recieve re4cieve 2nd", {}},
      {"a b x I", {}},
      {"recieve\xE2\x80\x99s well-known recieve-x 'recieve' -recieve-", {"recieve\xE2\x80\x99s", "recieve-x",
                                                                         "recieve", "recieve"}},
      {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82,recieve.", {"\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82",
                                                                   "recieve"}},
      {"NASA XQZT", {"XQZT"}},
  };
  for (const auto& [text, misspelt] : cases) EXPECT_EQ(Words(text, MisspeltWords(speller, text)), misspelt) << text;
}

TEST(SpellingTest, ACheckChangesAddsIgnoresAndCountsWithTheOffsetsKeptRight) {
  test::TempDir root;
  Speller speller(root.Path(), kEnglish);
  RecordingTarget editor;
  editor.text =
      "I will acommodate you tommorrow, thx.\n"
      "See you tommorrow, or tommorrow night at www.tommorrow.com or me@tommorrow.org.\n"
      "Vyrellix 4tommorrow Zorblat and Zorblat";
  SpellSession session(speller, editor);
  const Misspelling* word = session.Next();
  ASSERT_TRUE(word);
  EXPECT_EQ(word->word, "acommodate");
  EXPECT_EQ(word->context, "I will acommodate you tommorrow, thx.");
  EXPECT_EQ(word->inContext, (ByteRange{7, 17}));
  EXPECT_NE(std::find(word->suggestions.begin(), word->suggestions.end(), "accommodate"), word->suggestions.end());
  session.Change("host");
  ASSERT_TRUE((word = session.Next()));
  EXPECT_EQ(word->word, "tommorrow");
  session.ChangeAll("tomorrow");
  ASSERT_TRUE((word = session.Next()));
  EXPECT_EQ(word->word, "thx");
  session.Change("thanks");
  ASSERT_TRUE((word = session.Next()));
  EXPECT_EQ(word->word, "Vyrellix");
  EXPECT_EQ(word->context, "Vyrellix 4tommorrow Zorblat and Zorblat");
  session.Add();
  ASSERT_TRUE((word = session.Next()));
  EXPECT_EQ(word->word, "Zorblat");
  session.IgnoreAll();
  EXPECT_FALSE(session.Next());
  EXPECT_EQ(editor.text,
            "I will host you tomorrow, thanks.\n"
            "See you tomorrow, or tomorrow night at www.tommorrow.com or me@tommorrow.org.\n"
            "Vyrellix 4tommorrow Zorblat and Zorblat");
  EXPECT_EQ(editor.shown, (Strings{"acommodate", "tommorrow", "thx", "Vyrellix", "Zorblat"}));
  EXPECT_EQ(SpellStatusText(session.Stats()), "17 words checked, 7 errors detected, 5 words changed.");
  EXPECT_EQ(test::ReadFile(root.File("Correct.tlx")), "tommorrow\ttomorrow\n");
  EXPECT_EQ(test::ReadFile(root.File("UserDic.tlx")), "Vyrellix\n");
  Speller again(root.Path(), kEnglish);
  EXPECT_TRUE(again.Check("Vyrellix"));
  EXPECT_FALSE(again.Check("Zorblat"));
}

TEST(SpellingTest, ADictionaryInLatin1IsUsedInUtf8) {
  test::TempDir root;
  test::WriteFile(root.File("VyrLex.clx"), "SET ISO8859-1\nTRY esianrtolcdugmphbyfvkwz\xF6\xE4\xFC\xDF\n");
  test::WriteFile(root.File("VyrLex.tlx"), "3\nGr\xF6\xDF" "e\nMa\xDF\nStra\xDF" "e\n");
  {
    Speller speller(root.Path(), {{}, "de_DE"});
    ASSERT_TRUE(speller.Ok());
    EXPECT_TRUE(speller.Check("Gr\xC3\xB6\xC3\x9F" "e"));
    EXPECT_FALSE(speller.Check("Gr\xC3\xB6sse"));
    const Strings offered = speller.Suggest("Gr\xC3\xB6sse");
    EXPECT_NE(std::find(offered.begin(), offered.end(), "Gr\xC3\xB6\xC3\x9F" "e"), offered.end());
    EXPECT_TRUE(speller.AddWord("\xC3\x96l"));
    EXPECT_TRUE(speller.AddWord("\xC5\x81\xC3\xB3\x64\xC5\xBA"));
  }
  Speller again(root.Path(), {{}, "de_DE"});
  EXPECT_TRUE(again.Check("\xC3\x96l"));
  EXPECT_TRUE(again.Check("\xC5\x81\xC3\xB3\x64\xC5\xBA"));
  EXPECT_FALSE(again.Check("\xC3\x96lig"));
}

TEST(SpellingTest, TheStepBeforeSending) {
  using End = SpellQuestionAnswer::End;
  struct Case {
    const char* stored;
    bool available;
    SpellQuestionAnswer answer;
    bool checkCompletes;
    SpellBeforeSend result;
    bool asked, checked;
    std::string storedAfter;
  } cases[] = {
      {nullptr, false, {}, true, SpellBeforeSend::kGoOn, false, false, ""},
      {"Never", true, {}, true, SpellBeforeSend::kGoOn, false, false, "Never"},
      {"Always", true, {}, true, SpellBeforeSend::kGoOn, false, true, "Always"},
      {"Always", true, {}, false, SpellBeforeSend::kCheckCancelled, false, true, "Always"},
      {"always", true, {End::kNo}, true, SpellBeforeSend::kGoOn, true, false, "always"},
      {"", true, {End::kYes}, false, SpellBeforeSend::kCheckCancelled, true, true, ""},
      {"Prompt", true, {End::kYes, true, false}, true, SpellBeforeSend::kGoOn, true, true, "Always"},
      {nullptr, true, {End::kClosed}, true, SpellBeforeSend::kBackToEditor, true, false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.stored ? c.stored : "(none)") + " " + std::to_string(&c - cases));
    test::TestApp t;
    if (c.stored) t.app.Write(kEmailSpellCheck, c.stored);
    bool asked = false, checked = false;
    const SpellBeforeSend result = SpellStepBeforeSending(
        t.app, c.available, [&] { return asked = true, c.answer; }, [&] { return checked = true, c.checkCompletes; });
    EXPECT_EQ(result, c.result);
    EXPECT_EQ(asked, c.asked);
    EXPECT_EQ(checked, c.checked);
    EXPECT_EQ(t.app.GetOr(kEmailSpellCheck, ""), c.storedAfter);
  }
}

}  // namespace
}  // namespace vyr

// The keyword resolver's word list and its pages.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "home_server/word_list.h"
#include "home_server_test_support.h"

namespace vyr::home {
namespace {

using testing::ScratchFolder;
using testing::WriteFile;

TEST(WordList, ReadsKeywordsOfOneOrMoreWordsAndTheirAddresses) {
  const WordListParse parsed = ParseWordList(
      "news http://a.example/\n"
      "Two   Words\thttps://b.example/x?y=1\r\n"
      "# a comment\n"
      "\n"
      "lonely\n"
      "local /pages/x.html\n"
      "evil javascript:alert(1)\n"
      "proto //c.example/\n"
      "marked http://d.example/Centraal\n"
      "quoted http://e.example/\"x\n"
      "news http://f.example/\n");
  const std::map<std::string, std::string> expected = {
      {"news", "http://f.example/"}, {"two words", "https://b.example/x?y=1"}, {"local", "/pages/x.html"}};
  EXPECT_EQ(parsed.words, expected);
  ASSERT_EQ(parsed.problems.size(), 5u);
  EXPECT_EQ(parsed.problems[0].rfind("line 5:", 0), 0u);
  EXPECT_EQ(parsed.problems[1].rfind("line 7:", 0), 0u);
  EXPECT_EQ(parsed.problems[4].rfind("line 10:", 0), 0u);
}

TEST(WordList, KeywordsCompareWithoutCaseAndExtraBlanks) {
  EXPECT_EQ(NormalizeKeyword("  Two \t  WORDS "), "two words");
  EXPECT_EQ(NormalizeKeyword("   "), "");
  EXPECT_EQ(NormalizeKeyword("Grüße"), "grüße");
}

TEST(WordList, TheFileIsReadAgainWhenItChanges) {
  ScratchFolder scratch;
  const std::string path = scratch / "words.txt";
  WordListFile words(path);
  EXPECT_EQ(words.Lookup("news"), std::nullopt);  // no file yet

  WriteFile(path, "news http://a.example/\n");
  std::vector<std::string> problems;
  EXPECT_EQ(words.Lookup("NEWS", &problems), "http://a.example/");
  EXPECT_TRUE(problems.empty());

  WriteFile(path, "weather http://w.example/\nbroken\n");
  problems.clear();
  EXPECT_EQ(words.Lookup("news", &problems), std::nullopt);
  EXPECT_EQ(problems.size(), 1u);
  EXPECT_EQ(words.Lookup("Weather"), "http://w.example/");
}

TEST(ResolverPages, AKnownWordLeadsOnAndOnlyAnUnknownOneCarriesTheMarker) {
  const std::string found = ResolverFoundPage("http://a.example/?q=<b>&c");
  EXPECT_NE(found.find("content=\"0; url=http://a.example/?q=&lt;b&gt;&amp;c\""), std::string::npos);
  EXPECT_EQ(found.find("<b>"), std::string::npos);
  EXPECT_EQ(found.substr(0, 512).find("Centraal"), std::string::npos);
  EXPECT_NE(ResolverUnknownPage().substr(0, 512).find("Centraal"), std::string::npos);
}

}  // namespace
}  // namespace vyr::home

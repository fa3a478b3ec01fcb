// HomeServer's answers without a network, for what the peer test does not
// reach (folder spellings, large files, the info box pages, a HEAD that must
// not take a command, the start check), and the resolver's word list.
#include <gtest/gtest.h>
#include <unistd.h>

#include "home_server/home_server.h"
#include "home_server/word_list.h"
#include "tools/test_support.h"

namespace vyr::home {
namespace {

using test::ReadFile;
using test::WriteFile;

TEST(Server, AnswersFromTheContentFolder) {
  test::TempDir scratch;
  const std::string root = scratch.File("root");
  WriteFile(root + "/channels/chanfixed.vyr", "~CH:Server News");
  WriteFile(root + "/resolver/words.txt", "news /pages/index.html\n");
  WriteFile(root + "/pages/index.html", "<p>start</p>");
  WriteFile(root + "/pages/whatsnew/index.html", "<p>new</p>");
  for (const char* box : {"1", "2", "3", "5"}) WriteFile(root + "/infobox/Box" + box + ".htm", box);
  WriteFile(root + "/packages/big.zip", std::string(kInMemoryFileLimit + 10, 'z'));
  WriteFile(root + "/packages/versions.txt", "ibox 2 ibox-2.zip\nVyrFixed 1 big.zip\nbogus 1 x.zip\n");
  ServerConfig config;
  config.root = root;
  std::string error;
  std::unique_ptr<HomeServer> server = HomeServer::Create(config, error);
  ASSERT_TRUE(server) << error;
  const auto get = [&](const std::string& target, const std::string& method = "GET") {
    return server->Handle({method, target, "127.0.0.1"});
  };

  for (const char* start : {"/", "/pages/", "/index.html"}) EXPECT_EQ(get(start).body, "<p>start</p>") << start;
  EXPECT_EQ(get("/pages/whatsnew/").body, "<p>new</p>");
  const Reply folder = get("/whatsnew");
  EXPECT_EQ(folder.status, 301);
  EXPECT_EQ(folder.headers, (std::vector<std::pair<std::string, std::string>>{{"Location", "/whatsnew/"}}));

  const Reply big = get("/packages/big.zip");
  EXPECT_EQ(big.status, 200);
  ASSERT_TRUE(big.file);
  EXPECT_EQ(big.fileSize, kInMemoryFileLimit + 10);
  char byte = 0;
  EXPECT_EQ(pread(big.file->Get(), &byte, 1, static_cast<off_t>(kInMemoryFileLimit)), 1);
  EXPECT_EQ(byte, 'z');

  // The info box pages in turn, up to the first gap.
  std::vector<std::string> seen;
  for (int i = 0; i < 4; ++i) seen.push_back(get("/scripts/adserv.dll").body);
  EXPECT_EQ(seen, (std::vector<std::string>{"1", "2", "3", "1"}));
  EXPECT_EQ(get("/scripts/adserv.dll?page=3").body, "3");
  EXPECT_EQ(get("/scripts/adserv.dll?page=4").status, 404);
  EXPECT_EQ(get("/scripts/adserv.dll?page=0").status, 400);

  WriteFile(root + "/commands/queue.txt", "showmail\n");
  EXPECT_EQ(get("/scripts/vyrcmd.dll?Ping&U=0123456789ABCDEF0123456789ABCDEF&MO=6", "HEAD").status, 405);
  EXPECT_EQ(ReadFile(root + "/commands/queue.txt"), "showmail\n");

  const std::vector<std::string> notes = server->CheckContent();
  ASSERT_EQ(notes.size(), 2u);
  EXPECT_NE(notes[0].find("line 3"), std::string::npos);
  EXPECT_NE(notes[1].find("ibox-2.zip"), std::string::npos);
}

TEST(WordList, ReadsKeywordsOfOneOrMoreWordsAndNamesBadLines) {
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
  const int lines[] = {5, 7, 8, 9, 10};
  for (size_t i = 0; i < 5; ++i) {
    EXPECT_EQ(parsed.problems[i].rfind("line " + std::to_string(lines[i]) + ":", 0), 0u) << parsed.problems[i];
  }
  EXPECT_EQ(NormalizeKeyword("  Two \t  WORDS "), "two words");
}

TEST(ResolverPages, AKnownWordLeadsOnEscapedAndOnlyAnUnknownOneCarriesTheMarker) {
  const std::string found = ResolverFoundPage("http://a.example/?q=<b>&c");
  EXPECT_NE(found.find("content=\"0; url=http://a.example/?q=&lt;b&gt;&amp;c\""), std::string::npos);
  EXPECT_EQ(found.find("<b>"), std::string::npos);
  EXPECT_EQ(found.substr(0, 512).find("Centraal"), std::string::npos);
  EXPECT_NE(ResolverUnknownPage().substr(0, 512).find("Centraal"), std::string::npos);
}

}  // namespace
}  // namespace vyr::home

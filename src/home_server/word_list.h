#pragma once
// The keyword resolver's word list: a text file of lines
//
//   KEYWORD ADDRESS
//
// where ADDRESS is the last blank-separated field and KEYWORD everything
// before it (one or more words). Keywords are matched without regard to the
// case of ASCII letters, with runs of blanks taken as one. An address begins
// with "http://", "https://" or "/" (a page of this server), holds no blank,
// control byte, quote or angle bracket, and may not contain "Centraal": the
// program takes a page that contains that word among its first 512 bytes as
// "unknown keyword". Blank lines and lines that begin with "#" are comments.
// A later line for the same keyword wins.
#include <ctime>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vyr::home {

// The form a keyword is compared in: blanks trimmed, runs of blanks made
// one, ASCII letters in lower case.
std::string NormalizeKeyword(std::string_view word);

struct WordListParse {
  std::map<std::string, std::string> words;  // normalised keyword -> address
  std::vector<std::string> problems;         // "line N: why"
};

WordListParse ParseWordList(std::string_view text);

// The word list file, read again when its size or modification time
// changes. Safe to use from many threads.
class WordListFile {
 public:
  explicit WordListFile(std::string path) : path_(std::move(path)) {}
  // The address for a keyword, or nullopt. problems receives what a fresh
  // read found wrong (empty when the file was not read again).
  std::optional<std::string> Lookup(std::string_view word, std::vector<std::string>* problems = nullptr);

 private:
  std::string path_;
  std::mutex mutex_;
  bool loaded_ = false;
  std::time_t modified_ = 0;
  long long modifiedNanos_ = 0;
  long long size_ = -1;
  std::map<std::string, std::string> words_;
};

// The resolver's page for a known keyword: it sends the browser on to the
// address at once (a refresh) and links to it.
std::string ResolverFoundPage(const std::string& address);
// The page for an unknown keyword (served with 404); it also carries the
// word the program reads as "unknown".
std::string ResolverUnknownPage();

}  // namespace vyr::home

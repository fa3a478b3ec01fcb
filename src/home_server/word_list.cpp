#include "home_server/word_list.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "home_server/text.h"

namespace vyr::home {

namespace {

bool IsAcceptableAddress(std::string_view address) {
  const bool absolute = address.rfind("http://", 0) == 0 || address.rfind("https://", 0) == 0;
  const bool local = address.size() > 1 && address.front() == '/' && address[1] != '/';
  if (!absolute && !local) return false;
  if (!IsPrintableToken(address)) return false;
  if (address.find_first_of("\"'<>\\`") != std::string_view::npos) return false;
  return address.find("Centraal") == std::string_view::npos;
}

}  // namespace

std::string NormalizeKeyword(std::string_view word) {
  std::string out;
  bool blank = false;
  for (char c : TrimBlanks(word)) {
    if (c == ' ' || c == '\t') {
      blank = true;
      continue;
    }
    if (blank) out += ' ';
    blank = false;
    out += (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

WordListParse ParseWordList(std::string_view text) {
  WordListParse result;
  size_t start = 0;
  int number = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    ++number;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    line = TrimBlanks(line);
    if (line.empty() || line.front() == '#') continue;
    const size_t split = line.find_last_of(" \t");
    if (split == std::string_view::npos) {
      result.problems.push_back("line " + std::to_string(number) + ": a keyword and an address are needed");
      continue;
    }
    const std::string keyword = NormalizeKeyword(line.substr(0, split));
    const std::string_view address = line.substr(split + 1);
    if (HasControlByte(keyword)) {
      result.problems.push_back("line " + std::to_string(number) + ": the keyword holds a control character");
      continue;
    }
    if (!IsAcceptableAddress(address)) {
      result.problems.push_back("line " + std::to_string(number) +
                                ": the address must begin with http://, https:// or /, hold no blank, "
                                "quote or angle bracket and not contain Centraal");
      continue;
    }
    result.words[keyword] = std::string(address);
  }
  return result;
}

std::optional<std::string> WordListFile::Lookup(std::string_view word, std::vector<std::string>* problems) {
  struct stat info {};
  const bool exists = stat(path_.c_str(), &info) == 0;
  std::lock_guard guard(mutex_);
  const long long size = exists ? static_cast<long long>(info.st_size) : -1;
  const std::time_t modified = exists ? info.st_mtim.tv_sec : 0;
  const long long nanos = exists ? info.st_mtim.tv_nsec : 0;
  if (!loaded_ || size != size_ || modified != modified_ || nanos != modifiedNanos_) {
    loaded_ = true;
    size_ = size;
    modified_ = modified;
    modifiedNanos_ = nanos;
    words_.clear();
    if (exists) {
      std::ifstream in(path_, std::ios::binary);
      std::stringstream text;
      text << in.rdbuf();
      WordListParse parsed = ParseWordList(text.str());
      words_ = std::move(parsed.words);
      if (problems) *problems = std::move(parsed.problems);
    }
  }
  const auto found = words_.find(NormalizeKeyword(word));
  if (found == words_.end()) return std::nullopt;
  return found->second;
}

std::string ResolverFoundPage(const std::string& address) {
  const std::string a = HtmlEscape(address);
  return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\">"
         "<meta http-equiv=\"refresh\" content=\"0; url=" + a + "\">"
         "<title>Keyword</title></head>\n<body><p><a href=\"" + a + "\">" + a + "</a></p></body></html>\n";
}

std::string ResolverUnknownPage() {
  return "<!DOCTYPE html>\n<!-- Centraal: no such keyword -->\n"
         "<html><head><meta charset=\"utf-8\"><title>Unknown keyword</title></head>\n"
         "<body><p>This keyword is not known.</p></body></html>\n";
}

}  // namespace vyr::home

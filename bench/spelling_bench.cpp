// The underline's search for misspelt words on a 200 KB message of words
// drawn from the whole dictionary: the first pass over the text (nearly
// every word asked for the first time), a pass once the words are known,
// and one paragraph of it as at a key press. Needs the
// system's en_US dictionary (package hunspell-en-us).
//
//   build/bench/spelling_bench [kilobytes]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "mail/body/spelling.h"

using Clock = std::chrono::steady_clock;

namespace {

double Milliseconds(Clock::time_point from) {
  return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

}  // namespace

int main(int argc, char** argv) {
  const size_t target = static_cast<size_t>((argc > 1 ? std::atof(argv[1]) : 200.0) * 1024);
  // Words of the dictionary itself (each word's stem), every seventh with
  // two letters swapped, and pieces that are no words: links, addresses,
  // numbers, typographic apostrophes, other scripts.
  std::ifstream list("/usr/share/hunspell/en_US.dic");
  std::vector<std::string> stems;
  for (std::string line; std::getline(list, line);) {
    const std::string stem = line.substr(0, line.find('/'));
    if (stem.size() > 1 && !std::isdigit(static_cast<unsigned char>(stem[0]))) stems.push_back(stem);
  }
  if (stems.empty()) {
    std::printf("no en_US dictionary in /usr/share/hunspell\n");
    return 2;
  }
  const char* const others[] = {"see http://www.example.com/page", "me@mail.example", "2nd", "don\xE2\x80\x99t",
                                "\xD0\xBF\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", "well-known", "NASA"};
  std::string text;
  unsigned seed = 12345;
  for (size_t n = 0; text.size() < target; ++n) {
    seed = seed * 1103515245u + 12345u;
    std::string word = n % 11 == 10 ? others[(seed >> 16) % 7] : stems[(seed >> 8) % stems.size()];
    if (n % 7 == 3 && word.size() > 3) std::swap(word[1], word[2]);
    text += word + (n % 12 == 11 ? ".\n" : " ");
  }

  char folder[] = "/tmp/vyrelle-spelling-bench-XXXXXX";
  if (!mkdtemp(folder)) return 2;
  const auto opened = Clock::now();
  vyr::Speller speller(folder, {{"/usr/share/hunspell"}, "en_US"});
  const double openMs = Milliseconds(opened);
  if (!speller.Ok()) {
    std::printf("no en_US dictionary in /usr/share/hunspell\n");
    return 2;
  }
  auto t0 = Clock::now();
  const size_t misspelt = vyr::MisspeltWords(speller, text).size();
  const double firstMs = Milliseconds(t0);
  double knownMs = 1e9;
  for (int round = 0; round < 5; ++round) {
    t0 = Clock::now();
    vyr::MisspeltWords(speller, text);
    knownMs = std::min(knownMs, Milliseconds(t0));
  }
  const std::string paragraph = text.substr(0, std::min<size_t>(text.size(), 600));
  double paragraphMs = 1e9;
  for (int round = 0; round < 50; ++round) {
    t0 = Clock::now();
    vyr::MisspeltWords(speller, paragraph);
    paragraphMs = std::min(paragraphMs, Milliseconds(t0));
  }
  std::filesystem::remove_all(folder);
  std::printf("lexicon seeded and opened: %.0f ms\n", openMs);
  std::printf("%zu KB, %zu misspelt words: first pass %.1f ms, words known %.1f ms (targets 100 ms, 20 ms)\n",
              text.size() / 1024, misspelt, firstMs, knownMs);
  std::printf("a paragraph of 600 bytes: %.3f ms (target 2 ms, at every key press)\n", paragraphMs);
  return firstMs <= 100 && knownMs <= 20 && paragraphMs <= 2 ? 0 : 1;
}

// Plain text to HTML on 10 MB of mixed text: prose with punctuation, runs
// of spaces, tabs, line ends, characters that need escapes, web and mail
// addresses and non-ASCII words.
//
//   build/bench/text_to_html_bench [megabytes]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "mail/body/text_to_html.h"

using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const double megabytes = argc > 1 ? std::atof(argv[1]) : 10.0;
  const size_t target = static_cast<size_t>(megabytes * 1024 * 1024);
  const char* const pieces[] = {
      "The ", "quick ", "brown ", "fox ", "jumps ", "over ", "the ", "lazy ", "dog. ",
      "Hello,  world! ", "see http://www.example.com/path/page.html?x=1&y=2 ",
      "or www.vyrelle.example, ", "mail first.last@mail.example.org. ", "a < b && c > d ",
      "\"quoted\" ", "caf\xC3\xA9 na\xC3\xAFve \xE2\x82\xAC ", "\tindented\t", "line end\r\n",
      "another\n", "numbers 12345 67890 ", "user@host ", "http://a.b/c ", "wow@ ", "@ ", "w h ",
  };
  const size_t count = sizeof pieces / sizeof pieces[0];
  std::string text;
  text.reserve(target + 128);
  unsigned seed = 12345;
  while (text.size() < target) {
    seed = seed * 1103515245u + 12345u;
    text += pieces[(seed >> 16) % count];
  }

  double best = 1e9;
  size_t outSize = 0;
  for (int round = 0; round < 5; ++round) {
    std::string out;
    const auto t0 = Clock::now();
    vyr::TextToHtml(text, out);
    const auto t1 = Clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
    outSize = out.size();
  }
  const double mb = static_cast<double>(text.size()) / (1024.0 * 1024.0);
  std::printf("input: %.1f MB of mixed text, output %.1f MB\n", mb, outSize / (1024.0 * 1024.0));
  std::printf("TextToHtml: %.1f ms, %.0f MB/s (best of 5; target >= 50 MB/s)\n", best * 1000,
              mb / best);
  return mb / best >= 50 ? 0 : 1;
}

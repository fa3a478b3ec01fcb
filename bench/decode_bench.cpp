// Decoding a message with a 20 MB base64 attachment for the viewer, until
// its page is written and the attachment lies decoded in the display
// folder, against the uudeview command-line tool (package "uudeview";
// skipped when it is missing) decoding the same file with the same library.
// The message is stored as the mail check stores it (CRLF lines, the POP3
// terminator's "." at the end). The decode runs in a process with more than
// one thread, as in the program: the C library's streams then take a lock
// for every character read, which a single-threaded tool never pays.
// Targets: DecodeMessage under 500 ms, and no slower than 1.5 times the
// tool.
//
//   build/bench/decode_bench [megabytes] [runs]
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "base/application.h"
#include "base/message_box.h"
#include "base/sound_player.h"
#include "mail/read/message_decoder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

static double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

// Returns the attachment's size (whole groups of three bytes).
static size_t WriteMessage(const std::string& path, size_t attachmentBytes) {
  static const char kB64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::ofstream out(path, std::ios::binary);
  out << "Return-Path: <sender@example.org>\r\n"
         "Received: from mail.example.org by mx.example.com; Tue, 3 Mar 2020 10:15:00 +0100\r\n"
         "From: Sender <sender@example.org>\r\nTo: me@example.com\r\nSubject: the big file\r\n"
         "Date: Tue, 3 Mar 2020 10:15:00 +0100\r\nMIME-Version: 1.0\r\n"
         "Content-Type: multipart/mixed; boundary=\"BENCH-BOUNDARY\"\r\n\r\n"
         "--BENCH-BOUNDARY\r\nContent-Type: text/plain; charset=us-ascii\r\n\r\n"
         "Here is the archive you asked for.\r\n\r\n"
         "--BENCH-BOUNDARY\r\nContent-Type: application/octet-stream; name=\"big.bin\"\r\n"
         "Content-Transfer-Encoding: base64\r\n"
         "Content-Disposition: attachment; filename=\"big.bin\"\r\n\r\n";
  std::uint32_t x = 12345;
  std::string line;
  size_t written = 0;
  while (written < attachmentBytes) {
    line.clear();
    for (int group = 0; group < 19 && written < attachmentBytes; ++group, written += 3) {
      x = x * 1103515245u + 12345u;
      const std::uint32_t v = x >> 8;
      for (int s = 18; s >= 0; s -= 6) line += kB64[(v >> s) & 63];
    }
    line += "\r\n";
    out << line;
  }
  out << "\r\n--BENCH-BOUNDARY--\r\n.";
  return written;
}

static double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

int main(int argc, char** argv) {
  const size_t megabytes = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 20;
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  char pattern[] = "/tmp/vyrelle-decode-bench-XXXXXX";
  const std::string root = ::mkdtemp(pattern);
  const std::string message = root + "/big.mail";
  const size_t attachment = WriteMessage(message, megabytes * 1024 * 1024);
  std::printf("message: %.1f MB on disk, attachment %zu MB\n",
              static_cast<double>(fs::file_size(message)) / (1024 * 1024), megabytes);

  // The program always runs more than one thread; from the first one on,
  // the process counts as multi-threaded for good.
  std::thread([] {}).join();
  vyr::StderrMessageBox boxes;
  vyr::SilentSoundPlayer sounds;
  vyr::Application app(root + "/home", boxes, sounds);
  const std::string display = root + "/display/";

  const bool haveTool = std::system("command -v uudeview >/dev/null 2>&1") == 0;
  std::vector<double> ours, tool;
  for (int r = 0; r < runs; ++r) {
    vyr::MessageDecoder decoder(app);
    std::string page;
    const auto a = Clock::now();
    const int result = decoder.DecodeMessage(message, display, page);
    const auto b = Clock::now();
    std::ifstream pageFile(display + page, std::ios::binary);
    const std::string pageText((std::istreambuf_iterator<char>(pageFile)), std::istreambuf_iterator<char>());
    if (result != 1 || decoder.Decoded().partNames.size() != 2 || page != "PlainText.htm" ||
        pageText.find("Here  is  the  archive  you  asked  for.") == std::string::npos ||
        fs::file_size(display + "big.bin") != attachment) {
      std::fprintf(stderr, "decode failed\n");
      return 1;
    }
    ours.push_back(Ms(a, b));
    if (!haveTool) continue;

    const std::string out = root + "/tool/";
    fs::remove_all(out);
    fs::create_directories(out);
    const std::string command = "uudeview -i -o -q -t -p '" + out + "' '" + message + "' >/dev/null 2>&1";
    const auto c = Clock::now();
    const int status = std::system(command.c_str());
    const auto d = Clock::now();
    if (status != 0 || !fs::exists(out + "big.bin")) {
      std::fprintf(stderr, "uudeview failed (is the package \"uudeview\" installed?)\n");
      return 1;
    }
    tool.push_back(Ms(c, d));
  }
  const double mine = Median(ours);
  std::printf("DecodeMessage: median %.1f ms (best %.1f) over %d runs (target: under 500 ms)\n", mine,
              *std::min_element(ours.begin(), ours.end()), runs);
  if (haveTool) {
    const double theirs = Median(tool);
    std::printf("uudeview -i -o -q -t: median %.1f ms (best %.1f)\n", theirs,
                *std::min_element(tool.begin(), tool.end()));
    std::printf("ratio %.2f (target <= 1.50)\n", mine / theirs);
  }
  fs::remove_all(root);
  return 0;
}

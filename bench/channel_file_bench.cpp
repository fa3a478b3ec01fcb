// Load and save of a large channel file: 5 000 channels with 20 pages each
// (half as top-level pages, half in two folders).
//
//   build/bench/channel_file_bench [channels] [pages]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "channels/channel_set.h"

using Clock = std::chrono::steady_clock;

static double Ms(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double, std::milli>(b - a).count();
}

int main(int argc, char** argv) {
  const int channels = argc > 1 ? std::atoi(argv[1]) : 5000;
  const int pages = argc > 2 ? std::atoi(argv[2]) : 20;
  char pattern[] = "/tmp/vyrelle-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string dir = pattern, file = dir + "/big.vyr", copy = dir + "/copy.vyr";

  vyr::ChannelSet source;
  for (int c = 0; c < channels; ++c) {
    vyr::ChannelItem* ch = source.AddChannel("Channel number " + std::to_string(c));
    vyr::ChannelItem* folders[2] = {
        vyr::ChannelSet::AddChild(ch, "Folder A", "", vyr::kChannelKindFolder),
        vyr::ChannelSet::AddChild(ch, "Folder B", "", vyr::kChannelKindFolder)};
    for (int p = 0; p < pages; ++p) {
      std::string url = "http://www.site" + std::to_string(c) + ".example/section/page" + std::to_string(p) + ".html";
      vyr::ChannelItem* parent = p < pages / 2 ? ch : folders[p % 2];
      vyr::ChannelSet::AddChild(parent, "Page title " + std::to_string(p), url, vyr::kChannelKindPage);
    }
  }
  if (!source.Save(file, 0, nullptr)) return 1;
  const auto bytes = std::filesystem::file_size(file);

  double bestLoad = 1e9, bestSave = 1e9;
  size_t items = 0;
  for (int round = 0; round < 5; ++round) {
    vyr::ChannelSet set;
    auto t0 = Clock::now();
    if (!set.Load(file, true)) return 1;
    auto t1 = Clock::now();
    if (!set.Save(copy, 0, nullptr)) return 1;
    auto t2 = Clock::now();
    bestLoad = std::min(bestLoad, Ms(t0, t1));
    bestSave = std::min(bestSave, Ms(t1, t2));
    items = set.Count();
  }
  std::printf("file: %d channels x %d pages, %ju bytes, %zu channels read back\n", channels, pages,
              static_cast<uintmax_t>(bytes), items);
  std::printf("load: %.1f ms  save: %.1f ms  (best of 5; target < 100 ms each)\n", bestLoad, bestSave);
  bool same = std::filesystem::file_size(copy) == bytes;
  std::filesystem::remove_all(dir);
  return same ? 0 : 1;
}

// Measures the cost of a settings read: 100 000 GetString reads of different
// keys from a 500-key profile, while another thread keeps writing to the
// same profile. Also checks that every write is seen by the very next read.
//
//   build/bench/settings_read_bench [reads]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "base/application.h"
#include "platform/profile_file.h"

using namespace vyr;
using Clock = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int reads = argc > 1 ? std::atoi(argv[1]) : 100000;
  char pattern[] = "/tmp/vyrelle-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return 1;
  const std::string home = pattern;

  StderrMessageBox boxes;
  SilentSoundPlayer sounds;
  Application app(home, boxes, sounds);
  const int sections = 10, keysPerSection = 50;
  for (int s = 0; s < sections; ++s) {
    std::vector<std::pair<std::string, std::string>> pairs;
    for (int k = 0; k < keysPerSection; ++k) {
      pairs.emplace_back("key" + std::to_string(k), "value of " + std::to_string(s * 1000 + k));
    }
    platform::WritePrivateProfileSection("section" + std::to_string(s), pairs, app.ProfilePath());
  }

  // A writer keeps changing the profile while the reads run.
  std::atomic<bool> stop{false};
  std::atomic<int> writes{0};
  std::thread writer([&] {
    while (!stop) {
      app.WriteInt("writer", "counter", writes.load() + 1);
      ++writes;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });

  size_t checksum = 0;
  auto start = Clock::now();
  for (int i = 0; i < reads; ++i) {
    int s = i % sections, k = (i / sections) % keysPerSection;
    checksum += app.GetString("Section" + std::to_string(s), "KEY" + std::to_string(k), "").size();
  }
  auto elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
  stop = true;
  writer.join();

  // Hand-over check: a value written by one thread is what the other
  // thread's next read returns.
  int stale = 0;
  for (int i = 0; i < 200; ++i) {
    std::thread w([&] { app.WriteInt("handover", "n", i); });
    w.join();
    if (app.GetInt("handover", "n", -1) != i) ++stale;
  }

  std::printf("reads: %d  total: %.0f us  per read: %.3f us  (target < 10 us)\n", reads, elapsed,
              elapsed / reads);
  std::printf("writes by the other thread during the reads: %d\n", writes.load());
  std::printf("hand-over reads that missed the latest write: %d of 200\n", stale);
  std::printf("checksum: %zu\n", checksum);
  std::filesystem::remove_all(home);
  return stale == 0 ? 0 : 1;
}

// Runs a fuzz target's checks over given files instead of generated input:
// each file named on the command line, and every file in each folder named
// there, in name order. Built against the ordinary logic library, so that
// the seeds (and each input that once made a target fail) are checked by
// every test run, not only while fuzzing.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  std::vector<fs::path> files;
  for (int k = 1; k < argc; ++k) {
    std::error_code ec;
    if (fs::is_directory(argv[k], ec)) {
      std::vector<fs::path> inFolder;
      for (const auto& entry : fs::directory_iterator(argv[k], ec)) {
        if (entry.is_regular_file()) inFolder.push_back(entry.path());
      }
      std::sort(inFolder.begin(), inFolder.end());
      files.insert(files.end(), inFolder.begin(), inFolder.end());
    } else if (fs::is_regular_file(argv[k], ec)) {
      files.emplace_back(argv[k]);
    } else {
      std::fprintf(stderr, "no such file or folder: %s\n", argv[k]);
      return 2;
    }
  }
  if (files.empty()) {
    std::fprintf(stderr, "no input files\n");
    return 2;
  }
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::printf("%s\n", file.filename().c_str());
    std::fflush(stdout);
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(data.data()), data.size());
  }
  std::printf("%zu inputs checked\n", files.size());
  return 0;
}

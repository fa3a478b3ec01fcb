// Feeds arbitrary bytes as a scheme picture (scheme packages come from
// anywhere) to the check that decides whether a ".bmp" goes to the picture
// reader. Whatever it passes must be readable row by row: a reader of its
// own here walks every row of an uncompressed picture with checked access
// and stops the run when a row lies outside the bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "schemes/scheme_look.h"

namespace {
// The little-endian number of `size` (2 or 4) bytes at `at`, signed when asked.
std::int64_t Number(const std::string& bytes, size_t at, size_t size, bool sign) {
  std::uint64_t value = 0;
  for (size_t i = 0; i < size; ++i)
    value |= std::uint64_t{static_cast<unsigned char>(bytes.at(at + i))} << (8 * i);
  const std::int64_t number = static_cast<std::int64_t>(value);
  const bool negative = sign && (value >> (8 * size - 1)) != 0;
  return negative ? number - (std::int64_t{1} << (8 * size)) : number;
}

volatile unsigned gSink;  // keeps the row reads
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  if (!vyr::BmpIsWhole(bytes)) return 0;
  if (bytes.compare(0, 2, "BM") != 0) std::abort();
  try {
    const bool core = Number(bytes, 14, 4, false) == 12;
    const std::int64_t width = core ? Number(bytes, 18, 2, true) : Number(bytes, 18, 4, true);
    const std::int64_t height = core ? Number(bytes, 20, 2, true) : Number(bytes, 22, 4, true);
    const std::int64_t bits = core ? Number(bytes, 24, 2, false) : Number(bytes, 28, 2, false);
    if (width <= 0 || height == 0) std::abort();
    if (!core && Number(bytes, 30, 4, false) != 0) return 0;  // packed rows
    const std::int64_t row = (width * bits + 31) / 32 * 4;
    const std::int64_t offset = Number(bytes, 10, 4, false);
    for (std::int64_t y = 0; y < (height < 0 ? -height : height); ++y)
      gSink = static_cast<unsigned char>(bytes.at(static_cast<size_t>(offset + y * row + row - 1)));
  } catch (const std::out_of_range&) {
    std::abort();
  }
  return 0;
}

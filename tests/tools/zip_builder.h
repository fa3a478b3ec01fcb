#pragma once
// Writes ZIP archives for tests through libzip's writer, member names taken
// exactly as given (so a test can make hostile ones).
#include <cstdint>
#include <string>
#include <vector>

namespace vyr::test {

struct ZipMember {
  std::string name;
  std::string data;
  std::uint32_t unixMode = 0;  // 0: none recorded; 0120777 makes a link
};

// True when the archive was written.
bool WriteZip(const std::string& path, const std::vector<ZipMember>& members);

}  // namespace vyr::test

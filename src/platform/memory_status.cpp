#include "platform/memory_status.h"

#include <malloc.h>
#include <sys/resource.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>

namespace vyr::platform {

namespace {

// "Name:   1234 kB" lines of a /proc file, values in bytes.
std::map<std::string, long> ReadKbFields(const std::string& text) {
  std::map<std::string, long> fields;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) {
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    const char* p = line.c_str() + colon + 1;
    char* end = nullptr;
    const long long kb = std::strtoll(p, &end, 10);
    if (end == p || kb < 0) continue;
    fields[line.substr(0, colon)] = static_cast<long>(kb * 1024);
  }
  return fields;
}

std::string ReadWholeFile(const char* path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

long Field(const std::map<std::string, long>& fields, const char* name) {
  auto it = fields.find(name);
  return it == fields.end() ? 0 : it->second;
}

}  // namespace

MemoryStatus ParseMemInfo(const std::string& meminfo) {
  const auto f = ReadKbFields(meminfo);
  MemoryStatus s;
  s.physicalTotal = Field(f, "MemTotal");
  s.physicalAvail = f.count("MemAvailable") ? Field(f, "MemAvailable") : Field(f, "MemFree");
  if (s.physicalAvail > s.physicalTotal) s.physicalAvail = s.physicalTotal;
  if (s.physicalTotal > 0) {
    s.percentInUse = static_cast<long>((static_cast<long double>(s.physicalTotal - s.physicalAvail) * 100) /
                                       s.physicalTotal);
  }
  s.pageFileTotal = s.physicalTotal + Field(f, "SwapTotal");
  s.pageFileAvail = s.physicalAvail + Field(f, "SwapFree");
  return s;
}

MemoryStatus ReadMemoryStatus() {
  MemoryStatus s = ParseMemInfo(ReadWholeFile("/proc/meminfo"));
  // The address space: the process's limit, or the user half of a 48-bit
  // address space when there is none.
  long total = 1L << 47;
  rlimit limit{};
  if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
      limit.rlim_cur < static_cast<rlim_t>(total)) {
    total = static_cast<long>(limit.rlim_cur);
  }
  const long mapped = Field(ReadKbFields(ReadWholeFile("/proc/self/status")), "VmSize");
  s.virtualTotal = total;
  s.virtualAvail = mapped < total ? total - mapped : 0;
  return s;
}

void CompactHeap() { ::malloc_trim(0); }

}  // namespace vyr::platform

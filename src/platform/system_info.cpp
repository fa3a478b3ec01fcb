#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cctype>
#include <ctime>

namespace vyr::platform {

OsVersion ParseKernelRelease(const std::string& release) {
  OsVersion v;
  int* parts[3] = {&v.major, &v.minor, &v.build};
  size_t pos = 0;
  for (int k = 0; k < 3; ++k) {
    if (pos >= release.size() || !std::isdigit(static_cast<unsigned char>(release[pos]))) break;
    long value = 0;
    while (pos < release.size() && std::isdigit(static_cast<unsigned char>(release[pos]))) {
      if (value < 100000000) value = value * 10 + (release[pos] - '0');
      ++pos;
    }
    *parts[k] = static_cast<int>(value);
    if (pos >= release.size() || release[pos] != '.') break;
    ++pos;
  }
  return v;
}

SystemInfo QuerySystemInfo() {
  SystemInfo info;
  ::tzset();
  info.timeZoneSecondsWest = ::timezone;
  struct utsname name;
  if (::uname(&name) == 0) info.os = ParseKernelRelease(name.release);
  return info;
}

}  // namespace vyr::platform

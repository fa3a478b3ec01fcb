#include "platform/system_info.h"

#include <sys/utsname.h>

#include <cctype>
#include <ctime>

// The build names the engine and toolkit versions it compiled against.
#if !defined(VYRELLE_ENGINE_VERSION) || !defined(VYRELLE_TOOLKIT_VERSION)
#error "VYRELLE_ENGINE_VERSION and VYRELLE_TOOLKIT_VERSION are not defined"
#endif

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
  const OsVersion engine = ParseKernelRelease(VYRELLE_ENGINE_VERSION), toolkit = ParseKernelRelease(VYRELLE_TOOLKIT_VERSION);
  info.browserVersion[0] = engine.major;
  info.browserVersion[1] = engine.minor;
  info.browserVersion[2] = engine.build;
  info.shellVersion[0] = toolkit.major;
  info.shellVersion[1] = toolkit.minor;
  info.shellVersion[2] = toolkit.build;
  return info;
}

}  // namespace vyr::platform

#pragma once
// What the login request tells the home server about the machine: the time
// zone, the operating system's version numbers and the display. The display
// values are filled in by the windowed program once it has measured the
// screen; a program without windows keeps the defaults.
#include <string>

namespace vyr::platform {

// Platform id reported for this system. The numbers below it name the
// system families the server already knows (0 to 3); a Linux kernel is 10.
inline constexpr int kPlatformIdLinux = 10;

struct OsVersion {
  int platformId = kPlatformIdLinux;
  int major = 0;
  int minor = 0;
  int build = 0;
};

struct SystemInfo {
  // The C runtime's offset of local standard time in seconds west of UTC.
  long timeZoneSecondsWest = 0;
  OsVersion os;
  // The display: 0 x 0 and 16777216 colours when no window measured it.
  int screenWidth = 0;
  int screenHeight = 0;
  int colourCount = 1 << 24;
  // Versions of the browser engine and of the shell library (the window
  // toolkit), as major.minor.build; 0 when not known. QuerySystemInfo gives
  // the ones the program was built with; the windowed program puts in the
  // ones it runs with.
  int browserVersion[3] = {0, 0, 0};
  int shellVersion[3] = {0, 0, 0};
};

// The time zone and the kernel's version from uname: its release text
// "6.1.0-18-amd64" gives major 6, minor 1, build 0 (the first three numbers).
SystemInfo QuerySystemInfo();

// The three leading numbers of a release text such as "6.1.0-18-amd64"
// (missing numbers are 0).
OsVersion ParseKernelRelease(const std::string& release);

}  // namespace vyr::platform

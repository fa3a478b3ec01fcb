#pragma once
#include <string>

namespace vyr::platform {

// A new random identifier in the system's text form,
// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hexadecimal digits
// (version 4, random). Empty when the system's random source fails.
std::string NewGuidString();

}  // namespace vyr::platform

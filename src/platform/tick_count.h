#pragma once
#include <cstdint>

namespace vyr::platform {

// Milliseconds of a monotonic clock, wrapping at 32 bits like the system's
// tick count. Used for temporary mail file names and timeouts.
std::uint32_t GetTickCount();

// Pauses the calling thread.
void SleepMs(unsigned milliseconds);

}  // namespace vyr::platform

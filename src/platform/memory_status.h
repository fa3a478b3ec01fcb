#pragma once
// The system's memory status, read from /proc/meminfo and the process's own
// figures, in bytes; and a heap compaction that hands freed memory back.
#include <string>

namespace vyr::platform {

struct MemoryStatus {
  long percentInUse = 0;     // of physical memory
  long physicalTotal = 0;
  long physicalAvail = 0;
  long pageFileTotal = 0;    // physical memory plus swap: what may be committed
  long pageFileAvail = 0;
  long virtualTotal = 0;     // the process's address space
  long virtualAvail = 0;     // what of it is not mapped yet
};

// Reads the current status. Figures that cannot be read stay 0.
MemoryStatus ReadMemoryStatus();

// The system part of the status from the text of /proc/meminfo (values in
// kB there); the virtual figures are left 0.
MemoryStatus ParseMemInfo(const std::string& meminfo);

// Returns freed heap memory to the system where the allocator allows it.
void CompactHeap();

}  // namespace vyr::platform

// The process's resident memory, for tests that run something many times and check that memory stays flat.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <fstream>

namespace reader::testing {

// Resident set size in bytes, from /proc/self/statm (its second field counts pages); 0 when unreadable.
inline std::size_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::size_t sizePages = 0, residentPages = 0;
  if (!(statm >> sizePages >> residentPages)) return 0;
  return residentPages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
}

}  // namespace reader::testing

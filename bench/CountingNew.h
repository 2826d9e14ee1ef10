// Counts the heap allocations of a benchmark program: its global operator
// new is replaced by one that counts (CountingNew.cpp), and the framework's
// own memory functions count theirs in its allocation statistics.
#pragma once

#include <cstdint>

namespace BenchSupport {

// Allocations made so far, by every thread: through operator new, and
// through the framework's memory functions (the blocks its trees take).
std::uint64_t HeapAllocations();

// Minor page faults of the process so far.
std::uint64_t MinorPageFaults();

}  // namespace BenchSupport

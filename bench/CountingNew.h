// Counts the heap allocations of a benchmark program: its global operator
// new is replaced by one that counts (CountingNew.cpp).
#pragma once

#include <cstdint>

namespace BenchSupport {

// Allocations made through operator new, by every thread, so far.
std::uint64_t HeapAllocations();

}  // namespace BenchSupport

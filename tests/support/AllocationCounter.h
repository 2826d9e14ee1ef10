// Counts the heap allocations of the calling thread in the test program, so
// tests can show that a path allocates nothing.
#pragma once

#include <cstdint>

namespace TestSupport {

// Allocations made through operator new by this thread so far.
std::uint64_t ThreadAllocations();

}  // namespace TestSupport

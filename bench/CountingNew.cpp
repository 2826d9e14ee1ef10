// The benchmark programs' global allocation functions, counting across all
// threads.
#include "CountingNew.h"

#include <atomic>

#include "support/CountingOperatorNew.h"

namespace {
std::atomic<std::uint64_t> allocations{0};
}  // namespace

void CountingNew::CountAllocation() noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t BenchSupport::HeapAllocations() { return allocations.load(); }

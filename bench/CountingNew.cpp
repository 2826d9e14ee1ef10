// The benchmark programs' global allocation functions, counting across all
// threads.
#include "CountingNew.h"

#include <sys/resource.h>

#include <atomic>

#include "logging/Allocation.h"
#include "support/CountingOperatorNew.h"

namespace {
std::atomic<std::uint64_t> allocations{0};
}  // namespace

void CountingNew::CountAllocation() noexcept {
  allocations.fetch_add(1, std::memory_order_relaxed);
}

// In a benchmark program operator new does not go through the framework's
// memory functions, so the two counts never see the same block.
std::uint64_t BenchSupport::HeapAllocations() {
  return allocations.load() + Corvan::GetMemoryStats().allocationCount;
}

std::uint64_t BenchSupport::MinorPageFaults() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<std::uint64_t>(usage.ru_minflt);
}

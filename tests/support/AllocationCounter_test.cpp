// The test program's global allocation functions, counting per thread.
// (The file ends in _test so the test target picks it up.)
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include "support/CountingOperatorNew.h"

namespace {
thread_local std::uint64_t allocations = 0;
}  // namespace

void CountingNew::CountAllocation() noexcept { ++allocations; }

std::uint64_t TestSupport::ThreadAllocations() { return allocations; }

// Under AddressSanitizer the runtime's own operator new serves the shared
// C++ library while these replacements serve the program; both end in
// malloc and free, so the pairing check would only report that split.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "alloc_dealloc_mismatch=0";
}

TEST(AllocationCounter, CountsThisThreadsAllocations) {
  const std::uint64_t before = TestSupport::ThreadAllocations();
  delete new int(5);
  EXPECT_EQ(TestSupport::ThreadAllocations(), before + 1);
}

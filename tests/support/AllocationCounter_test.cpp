// Replacements of the test program's global allocation functions that count
// per thread. (The file ends in _test so the test target picks it up.)
#include "support/AllocationCounter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

namespace {
thread_local std::uint64_t allocations = 0;

void* CountedAllocate(std::size_t size) {
  ++allocations;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

void* CountedAllocateAligned(std::size_t size, std::align_val_t alignment) {
  ++allocations;
  const auto align = static_cast<std::size_t>(alignment);
  if (void* memory = std::aligned_alloc(align, (size + align - 1) / align * align)) return memory;
  throw std::bad_alloc();
}
}  // namespace

std::uint64_t TestSupport::ThreadAllocations() { return allocations; }

// Under AddressSanitizer the runtime's own operator new serves the shared
// C++ library while these replacements serve the program; both end in
// malloc and free, so the pairing check would only report that split.
extern "C" __attribute__((visibility("default"))) const char* __asan_default_options() {
  return "alloc_dealloc_mismatch=0";
}

#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) { return CountedAllocate(size); }
void* operator new[](std::size_t size) { return CountedAllocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return CountedAllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return CountedAllocateAligned(size, alignment);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept { std::free(memory); }

TEST(AllocationCounter, CountsThisThreadsAllocations) {
  const std::uint64_t before = TestSupport::ThreadAllocations();
  delete new int(5);
  EXPECT_EQ(TestSupport::ThreadAllocations(), before + 1);
}

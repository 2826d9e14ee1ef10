#include "logging/Allocation.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace Corvan {
namespace {

// The counters as one comparable text, so a failure shows all six.
std::string Text(const MemoryCounters& c) {
  return "peak " + std::to_string(c.peakBytesInUse) + " at peak " +
         std::to_string(c.allocationsAtPeak) + " allocated " + std::to_string(c.bytesAllocated) +
         "/" + std::to_string(c.allocationCount) + " freed " + std::to_string(c.bytesFreed) + "/" +
         std::to_string(c.freeCount);
}

// Counts into the test's own counters for its lifetime, then puts the
// module's counting hooks back.
class LocalCounting {
 public:
  LocalCounting() {
    const AllocationHooks hooks = MakeCountingHooks(stats_);
    SetAllocationHooks(hooks.allocate, hooks.free, hooks.reallocate, hooks.duplicateText,
                       hooks.usableSize, hooks.context);
  }
  ~LocalCounting() { InstallCountingHooks(); }
  std::string counters() const {
    return Text({stats_.peakBytesInUse.load(), stats_.allocationsAtPeak.load(),
                 stats_.bytesAllocated.load(), stats_.allocationCount.load(),
                 stats_.bytesFreed.load(), stats_.freeCount.load()});
  }

 private:
  MemoryStats stats_;
};

TEST(Allocation, ModuleCountersMoveWithEachBlock) {
  // Deltas: other code of the process may allocate through the layer too.
  const MemoryCounters before = GetMemoryStats();
  void* block = Allocate(100);
  ASSERT_NE(block, nullptr);
  const std::size_t size = UsableSize(block);
  EXPECT_EQ(GetMemoryStats().bytesAllocated - before.bytesAllocated, size);
  EXPECT_EQ(GetMemoryStats().allocationCount - before.allocationCount, 1u);
  Free(block);
  EXPECT_EQ(GetMemoryStats().bytesFreed - before.bytesFreed, size);
  EXPECT_EQ(GetMemoryStats().freeCount - before.freeCount, 1u);
}

TEST(Allocation, OneBlockAndItsFree) {
  LocalCounting counting;
  void* block = Allocate(100);
  ASSERT_NE(block, nullptr);
  const std::uint64_t size = UsableSize(block);
  EXPECT_GE(size, 100u);
  Free(block);
  EXPECT_EQ(counting.counters(), Text({size, 1, size, 1, size, 1}));
  // Freeing nothing changes nothing.
  Free(nullptr);
  EXPECT_EQ(counting.counters(), Text({size, 1, size, 1, size, 1}));
}

TEST(Allocation, PeakKeepsTheHighestUse) {
  LocalCounting counting;
  void* first = Allocate(1000);
  void* second = Allocate(3000);
  const std::uint64_t a = UsableSize(first), b = UsableSize(second);
  Free(second);
  void* third = Allocate(10);
  const std::uint64_t c = UsableSize(third);
  Free(first);
  Free(third);
  EXPECT_EQ(counting.counters(), Text({a + b, 2, a + b + c, 3, a + b + c, 3}));
}

TEST(Allocation, ReallocateCountsTheOldBlockFreedAndTheNewAllocated) {
  LocalCounting counting;
  // From nothing: an allocation only.
  void* block = Reallocate(nullptr, 10);
  ASSERT_NE(block, nullptr);
  const std::uint64_t small = UsableSize(block);
  EXPECT_EQ(counting.counters(), Text({small, 1, small, 1, 0, 0}));

  block = Reallocate(block, 5000);
  ASSERT_NE(block, nullptr);
  const std::uint64_t large = UsableSize(block);
  EXPECT_EQ(counting.counters(), Text({large, 1, small + large, 2, small, 1}));

  // To size 0: the block is freed.
  EXPECT_EQ(Reallocate(block, 0), nullptr);
  EXPECT_EQ(counting.counters(), Text({large, 1, small + large, 2, small + large, 2}));
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define KYN_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define KYN_SANITIZED_HEAP 1
#endif
#endif

#if !defined(KYN_SANITIZED_HEAP)  // sanitizers stop the program on a huge request
TEST(Allocation, FailedReallocateKeepsTheOldBlockCounted) {
  LocalCounting counting;
  void* block = Allocate(64);
  ASSERT_NE(block, nullptr);
  const std::string before = counting.counters();
  volatile std::size_t huge = SIZE_MAX - 4096;
  EXPECT_EQ(Reallocate(block, huge), nullptr);
  EXPECT_EQ(counting.counters(), before);
  Free(block);
}
#endif

TEST(Allocation, DuplicateText) {
  LocalCounting counting;
  EXPECT_EQ(DuplicateText(nullptr), nullptr);
  char* copy = DuplicateText("Main thread");
  ASSERT_NE(copy, nullptr);
  EXPECT_STREQ(copy, "Main thread");
  const std::uint64_t size = UsableSize(copy);
  Free(copy);
  EXPECT_EQ(counting.counters(), Text({size, 1, size, 1, size, 1}));
}

TEST(Allocation, InUseNeverRunsBelowZero) {
  LocalCounting counting;
  // A block from before the counting hooks, freed through them.
  void* early = std::malloc(256);
  const std::uint64_t earlySize = UsableSize(early);
  Free(early);
  void* block = Allocate(16);
  const std::uint64_t size = UsableSize(block);
  EXPECT_EQ(counting.counters(), Text({0, 0, size, 1, earlySize, 1}));
  Free(block);
}

struct HookCalls {
  std::vector<std::string> calls;
  void* context = nullptr;
};

char g_arena[64];

void* Record(void* context, const char* call) {
  static_cast<HookCalls*>(context)->calls.push_back(call);
  static_cast<HookCalls*>(context)->context = context;
  return g_arena;
}

TEST(Allocation, CustomHooksReceiveTheirContext) {
  HookCalls record;
  const MemoryCounters before = GetMemoryStats();
  SetAllocationHooks(
      [](std::size_t, void* context) { return Record(context, "allocate"); },
      [](void*, void* context) { Record(context, "free"); },
      [](void*, std::size_t, void* context) { return Record(context, "reallocate"); },
      [](const char*, void* context) { return static_cast<char*>(Record(context, "duplicate")); },
      [](void*, void* context) { return Record(context, "size") ? sizeof g_arena : 0; }, &record);
  EXPECT_EQ(Allocate(8), g_arena);
  EXPECT_EQ(Reallocate(g_arena, 16), g_arena);
  EXPECT_EQ(DuplicateText("x"), g_arena);
  EXPECT_EQ(UsableSize(g_arena), sizeof g_arena);
  Free(g_arena);
  InstallCountingHooks();

  EXPECT_EQ(record.calls,
            (std::vector<std::string>{"allocate", "reallocate", "duplicate", "size", "free"}));
  EXPECT_EQ(record.context, &record);
  EXPECT_EQ(GetMemoryStats().allocationCount, before.allocationCount);
  // Restored: the module counts again.
  Free(Allocate(1));
  EXPECT_EQ(GetMemoryStats().allocationCount, before.allocationCount + 1);
}

TEST(Allocation, CountsFromManyThreads) {
  MemoryStats stats;
  const AllocationHooks hooks = MakeCountingHooks(stats);
  SetAllocationHooks(hooks.allocate, hooks.free, hooks.reallocate, hooks.duplicateText,
                     hooks.usableSize, hooks.context);
  constexpr int kThreads = 4;
  constexpr int kRounds = 10000;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kRounds; ++i) {
        void* block = Allocate(static_cast<std::size_t>(16 + (i + t) % 200));
        if (i % 3 == 0) block = Reallocate(block, 300);
        Free(block);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  InstallCountingHooks();
  const std::uint64_t blocks = kThreads * (kRounds + (kRounds + 2) / 3);
  EXPECT_EQ(stats.allocationCount.load(), blocks);
  EXPECT_EQ(stats.freeCount.load(), blocks);
  EXPECT_EQ(stats.bytesAllocated.load(), stats.bytesFreed.load());
  EXPECT_GE(stats.peakBytesInUse.load(), 300u);
  EXPECT_GE(stats.allocationsAtPeak.load(), 1u);
}

}  // namespace
}  // namespace Corvan

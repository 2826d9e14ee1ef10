// The module's operator new counts what the module allocates and nothing
// the program that loaded it allocates.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>

#include "support/ModuleLibrary.h"

namespace {

struct Probe {
  void* handle = nullptr;
  void* (*allocate)(std::size_t) = nullptr;
  void (*free)(void*) = nullptr;
  std::size_t (*growText)(std::size_t) = nullptr;
  void (*stats)(std::uint64_t*) = nullptr;

  // The module stays loaded: the C++ runtime inside it keeps blocks for the
  // life of the process, as the plugin's does inside the host.
  bool Load() {
    using TestSupport::ModuleFunction;
    handle = TestSupport::OpenModule(KYN_ALLOCATION_PROBE);
    if (handle == nullptr) return false;
    allocate = ModuleFunction<void* (*)(std::size_t)>(handle, "kyn_probe_allocate");
    free = ModuleFunction<void (*)(void*)>(handle, "kyn_probe_free");
    growText = ModuleFunction<std::size_t (*)(std::size_t)>(handle, "kyn_probe_grow_text");
    stats = ModuleFunction<void (*)(std::uint64_t*)>(handle, "kyn_probe_stats");
    return allocate && free && growText && stats;
  }
};

struct Counters {
  std::uint64_t value[6] = {};
  std::uint64_t allocations() const { return value[3]; }
  std::uint64_t frees() const { return value[5]; }
  std::uint64_t bytesAllocated() const { return value[2]; }
  std::uint64_t bytesFreed() const { return value[4]; }
};

Counters Read(const Probe& probe) {
  Counters counters;
  probe.stats(counters.value);
  return counters;
}

TEST(ModuleAllocation, CountsTheModuleAndNotTheProgram) {
  Probe probe;
  ASSERT_TRUE(probe.Load()) << TestSupport::ModuleError();

  const Counters start = Read(probe);
  void* block = probe.allocate(100);
  const Counters allocated = Read(probe);
  EXPECT_EQ(allocated.allocations(), start.allocations() + 1);
  EXPECT_GE(allocated.bytesAllocated() - start.bytesAllocated(), 100u);
  probe.free(block);
  const Counters freed = Read(probe);
  EXPECT_EQ(freed.frees(), start.frees() + 1);
  EXPECT_EQ(freed.bytesFreed() - start.bytesFreed(),
            allocated.bytesAllocated() - start.bytesAllocated());

  // The program's own allocations leave the module's counters alone.
  auto programBlock = std::make_unique<char[]>(1000);
  const Counters afterProgram = Read(probe);
  EXPECT_EQ(afterProgram.allocations(), freed.allocations());
  EXPECT_EQ(afterProgram.frees(), freed.frees());
}

TEST(ModuleAllocation, RuntimeAllocationsInsideTheModuleBalance) {
  Probe probe;
  ASSERT_TRUE(probe.Load()) << TestSupport::ModuleError();
  const Counters start = Read(probe);
  EXPECT_EQ(probe.growText(100000), 100000u);
  const Counters end = Read(probe);
  // Every growth step of the text is counted, and every block it freed was
  // one the module counted: nothing comes from or goes to another heap.
  EXPECT_GT(end.allocations() - start.allocations(), 5u);
  EXPECT_EQ(end.allocations() - start.allocations(), end.frees() - start.frees());
  EXPECT_EQ(end.bytesAllocated() - start.bytesAllocated(), end.bytesFreed() - start.bytesFreed());
}

}  // namespace

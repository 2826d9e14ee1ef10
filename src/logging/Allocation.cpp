// The memory functions, their hooks and the counting hooks.
#include "logging/Allocation.h"

#include <cstdlib>

#include "platform/Platform.h"

namespace Corvan {

namespace {

constinit AllocationHooks g_hooks;
constinit MemoryStats g_stats;
constinit std::atomic<bool> g_initialised{false};

// Every counter changes by compare-and-exchange, so no update is lost
// whichever threads allocate at once.
void Add(std::atomic<std::uint64_t>& counter, std::uint64_t amount) {
  std::uint64_t current = counter.load();
  while (!counter.compare_exchange_weak(current, current + amount)) {
  }
}

// Counters that would run below zero (a block allocated before the counting
// hooks and freed through them) read as 0 rather than wrapping.
std::uint64_t Difference(std::uint64_t larger, std::uint64_t smaller) {
  return larger > smaller ? larger - smaller : 0;
}

void UpdatePeak(MemoryStats& stats) {
  // The freed counters are read first: the allocated ones only grow, so the
  // snapshot never shows more freed than allocated for counted blocks.
  const std::uint64_t bytesFreed = stats.bytesFreed.load();
  const std::uint64_t freeCount = stats.freeCount.load();
  const std::uint64_t inUse = Difference(stats.bytesAllocated.load(), bytesFreed);
  const std::uint64_t blocks = Difference(stats.allocationCount.load(), freeCount);
  std::uint64_t peak = stats.peakBytesInUse.load();
  while (inUse > peak) {
    if (stats.peakBytesInUse.compare_exchange_weak(peak, inUse)) {
      stats.allocationsAtPeak.store(blocks);
      return;
    }
  }
}

// Only blocks that exist are counted, so that allocation count minus free
// count stays the number of live blocks.
void CountAllocation(void* context, void* memory) {
  auto* stats = static_cast<MemoryStats*>(context);
  if (stats == nullptr || memory == nullptr) return;
  Add(stats->bytesAllocated, Platform::HeapBlockSize(memory));
  Add(stats->allocationCount, 1);
  UpdatePeak(*stats);
}

void CountFree(void* context, std::size_t size) {
  auto* stats = static_cast<MemoryStats*>(context);
  if (stats == nullptr) return;
  Add(stats->bytesFreed, size);
  Add(stats->freeCount, 1);
}

void* CountingAllocate(std::size_t size, void* context) {
  void* memory = std::malloc(size);
  CountAllocation(context, memory);
  return memory;
}

void CountingFree(void* memory, void* context) {
  if (memory == nullptr) return;
  const std::size_t size = Platform::HeapBlockSize(memory);
  std::free(memory);
  CountFree(context, size);
}

void* CountingReallocate(void* memory, std::size_t size, void* context) {
  // realloc of size 0 differs between runtimes; here it always frees.
  if (size == 0) {
    CountingFree(memory, context);
    return nullptr;
  }
  const std::size_t oldSize = Platform::HeapBlockSize(memory);
  void* resized = std::realloc(memory, size);
  if (resized == nullptr) return nullptr;  // the old block lives on and stays counted
  if (memory != nullptr) CountFree(context, oldSize);
  CountAllocation(context, resized);
  return resized;
}

char* CountingDuplicateText(const char* text, void* context) {
  char* copy = Platform::HeapDuplicateText(text);
  CountAllocation(context, copy);
  return copy;
}

std::size_t CountingUsableSize(void* memory, void*) { return Platform::HeapBlockSize(memory); }

void EnsureInitialised() {
  if (!g_initialised.load(std::memory_order_acquire)) InstallCountingHooks();
}

// The module's static initialisation installs the counting hooks before any
// other thread can allocate, unless an earlier Allocate already did.
[[maybe_unused]] const bool g_initialisedAtLoad = (EnsureInitialised(), true);

}  // namespace

bool SetAllocationHooks(AllocateHook allocate, FreeHook free, ReallocateHook reallocate,
                        DuplicateTextHook duplicateText, UsableSizeHook usableSize, void* context) {
  g_hooks = AllocationHooks{allocate, free, reallocate, duplicateText, usableSize, context};
  // Hooks chosen by the caller must survive the layer's first use.
  g_initialised.store(true, std::memory_order_release);
  return true;
}

AllocationHooks GetAllocationHooks() { return g_hooks; }

bool InstallCountingHooks() {
  const AllocationHooks counting = MakeCountingHooks(g_stats);
  return SetAllocationHooks(counting.allocate, counting.free, counting.reallocate,
                            counting.duplicateText, counting.usableSize, counting.context);
}

AllocationHooks MakeCountingHooks(MemoryStats& stats) {
  return AllocationHooks{CountingAllocate,      CountingFree,       CountingReallocate,
                         CountingDuplicateText, CountingUsableSize, &stats};
}

void* Allocate(std::size_t size) {
  EnsureInitialised();
  if (g_hooks.allocate != nullptr) return g_hooks.allocate(size, g_hooks.context);
  return std::malloc(size);
}

void Free(void* memory) {
  if (g_hooks.free != nullptr) {
    g_hooks.free(memory, g_hooks.context);
  } else {
    std::free(memory);
  }
}

void* Reallocate(void* memory, std::size_t size) {
  if (g_hooks.reallocate != nullptr) return g_hooks.reallocate(memory, size, g_hooks.context);
  if (size == 0) {
    std::free(memory);
    return nullptr;
  }
  return std::realloc(memory, size);
}

char* DuplicateText(const char* text) {
  if (g_hooks.duplicateText != nullptr) return g_hooks.duplicateText(text, g_hooks.context);
  return Platform::HeapDuplicateText(text);
}

std::size_t UsableSize(void* memory) {
  if (g_hooks.usableSize != nullptr) return g_hooks.usableSize(memory, g_hooks.context);
  return Platform::HeapBlockSize(memory);
}

MemoryCounters GetMemoryStats() {
  MemoryCounters counters;
  counters.peakBytesInUse = g_stats.peakBytesInUse.load();
  counters.allocationsAtPeak = g_stats.allocationsAtPeak.load();
  counters.bytesAllocated = g_stats.bytesAllocated.load();
  counters.allocationCount = g_stats.allocationCount.load();
  counters.bytesFreed = g_stats.bytesFreed.load();
  counters.freeCount = g_stats.freeCount.load();
  return counters;
}

}  // namespace Corvan

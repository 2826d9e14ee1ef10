// The framework's memory functions and the module's heap statistics.
//
// Allocate, Free, Reallocate, DuplicateText and UsableSize call the module's
// allocation hooks (each with the hooks' context) or, for a hook that is not
// set, the C runtime. The first Allocate, or the module's static
// initialisation if it comes first, installs the counting hooks, which keep
// the module's MemoryStats; the module's operator new and delete go through
// them, so GetMemoryStats reports what the module has allocated:
//
//   void* block = Allocate(100);
//   ...
//   Free(block);
//   const MemoryCounters counters = GetMemoryStats();
//
// Memory must be freed through the hooks that allocated it; replace the
// hooks only while no other thread allocates.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace Corvan {

using AllocateHook = void* (*)(std::size_t size, void* context);
using FreeHook = void (*)(void* memory, void* context);
using ReallocateHook = void* (*)(void* memory, std::size_t size, void* context);
using DuplicateTextHook = char* (*)(const char* text, void* context);
using UsableSizeHook = std::size_t (*)(void* memory, void* context);

// The six values the memory functions go through; all null at start.
struct AllocationHooks {
  AllocateHook allocate = nullptr;
  FreeHook free = nullptr;
  ReallocateHook reallocate = nullptr;
  DuplicateTextHook duplicateText = nullptr;
  UsableSizeHook usableSize = nullptr;
  void* context = nullptr;  // passed to every hook
};

// The counters the counting hooks keep, each changed atomically. Bytes are
// usable block sizes, not requested sizes.
struct MemoryStats {
  std::atomic<std::uint64_t> peakBytesInUse{0};
  std::atomic<std::uint64_t> allocationsAtPeak{0};  // allocations in use at that peak
  std::atomic<std::uint64_t> bytesAllocated{0};
  std::atomic<std::uint64_t> allocationCount{0};
  std::atomic<std::uint64_t> bytesFreed{0};
  std::atomic<std::uint64_t> freeCount{0};
};

// A copy of the six counters, in the order of MemoryStats.
struct MemoryCounters {
  std::uint64_t peakBytesInUse = 0;
  std::uint64_t allocationsAtPeak = 0;
  std::uint64_t bytesAllocated = 0;
  std::uint64_t allocationCount = 0;
  std::uint64_t bytesFreed = 0;
  std::uint64_t freeCount = 0;
};

// Replaces the module's hooks (a null hook falls back to the C runtime);
// returns true.
bool SetAllocationHooks(AllocateHook allocate, FreeHook free, ReallocateHook reallocate,
                        DuplicateTextHook duplicateText, UsableSizeHook usableSize, void* context);

// The hooks the memory functions currently call.
AllocationHooks GetAllocationHooks();

// Installs the counting hooks with the module's MemoryStats as context, as
// the layer's first use does; returns true.
bool InstallCountingHooks();

// The counting hooks with the given counters as context.
AllocationHooks MakeCountingHooks(MemoryStats& stats);

// A block of at least `size` bytes, or null.
void* Allocate(std::size_t size);

// Releases a block of Allocate, Reallocate or DuplicateText; null is ignored.
void Free(void* memory);

// Resizes a block as realloc does (null memory allocates), or null on
// failure with the old block left as it was; with the C runtime or the
// counting hooks, size 0 frees the block and gives null.
void* Reallocate(void* memory, std::size_t size);

// A copy of a zero-terminated text, or null (also for a null text).
char* DuplicateText(const char* text);

// The usable size of a block; 0 for null.
std::size_t UsableSize(void* memory);

// The module's counters, each read atomically.
MemoryCounters GetMemoryStats();

}  // namespace Corvan

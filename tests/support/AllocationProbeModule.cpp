// A module linked like the plugin module, for tests of its allocation
// counting: the test program loads it and allocates inside it.
#include <cstddef>
#include <cstdint>
#include <string>

#include "logging/Allocation.h"

#if defined(_WIN32)
#define KYN_PROBE_EXPORT extern "C" __declspec(dllexport)
#else
#define KYN_PROBE_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Allocates with the module's operator new.
KYN_PROBE_EXPORT void* kyn_probe_allocate(std::size_t size) { return new char[size]; }

// Frees a block of kyn_probe_allocate.
KYN_PROBE_EXPORT void kyn_probe_free(void* block) { delete[] static_cast<char*>(block); }

// Grows a text through the C++ runtime linked into the module; returns its length.
KYN_PROBE_EXPORT std::size_t kyn_probe_grow_text(std::size_t length) {
  std::string text;
  for (std::size_t i = 0; i < length; ++i) text.push_back('x');
  return text.size();
}

// The module's six heap counters.
KYN_PROBE_EXPORT void kyn_probe_stats(std::uint64_t* out) {
  const Corvan::MemoryCounters counters = Corvan::GetMemoryStats();
  out[0] = counters.peakBytesInUse;
  out[1] = counters.allocationsAtPeak;
  out[2] = counters.bytesAllocated;
  out[3] = counters.allocationCount;
  out[4] = counters.bytesFreed;
  out[5] = counters.freeCount;
}

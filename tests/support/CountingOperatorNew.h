// Replacements of a program's global allocation functions that call
// CountingNew::CountAllocation() for every allocation, which the including
// source defines (per process in the benchmarks, per thread in the tests).
// Include this in exactly one source file of a program: it defines the
// replacements, which a program may have only once.
//
//   #include "support/CountingOperatorNew.h"
//   void CountingNew::CountAllocation() noexcept { ++count; }
#pragma once

#include <cstdlib>
#if defined(_WIN32)
#include <malloc.h>
#endif
#include <new>

namespace CountingNew {

// Called once for every allocation made through operator new.
void CountAllocation() noexcept;

inline void* Allocate(std::size_t size) {
  CountAllocation();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

inline void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  CountAllocation();
  const auto align = static_cast<std::size_t>(alignment);
#if defined(_WIN32)
  // Windows' C library has no aligned_alloc; its aligned blocks have their
  // own free.
  if (void* memory = _aligned_malloc(size == 0 ? 1 : size, align)) return memory;
#else
  if (void* memory = std::aligned_alloc(align, (size + align - 1) / align * align)) return memory;
#endif
  throw std::bad_alloc();
}

inline void FreeAligned(void* memory) noexcept {
#if defined(_WIN32)
  _aligned_free(memory);
#else
  std::free(memory);
#endif
}

}  // namespace CountingNew

// (GCC sees malloc behind operator new and free behind operator delete and
// takes the pair for a mismatch.)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) { return CountingNew::Allocate(size); }
void* operator new[](std::size_t size) { return CountingNew::Allocate(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  return CountingNew::AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return CountingNew::AllocateAligned(size, alignment);
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete(void* memory, std::align_val_t) noexcept { CountingNew::FreeAligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { CountingNew::FreeAligned(memory); }
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept {
  CountingNew::FreeAligned(memory);
}
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  CountingNew::FreeAligned(memory);
}
#pragma GCC diagnostic pop

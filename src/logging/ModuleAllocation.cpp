// The plugin module's global operator new and delete, in every form, routed
// through Allocate and Free so that the module's heap statistics count what
// the module's C++ code allocates.
//
// This file belongs to the plugin module alone and is never linked into the
// tests or any other program. In the module the linker version script keeps
// these definitions local (on Windows a DLL's operators are its own), so the
// host process's allocations never reach them.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>

#include "logging/Allocation.h"

namespace {

// A zero-byte request still needs a distinct block.
std::size_t AtLeastOne(std::size_t size) { return size == 0 ? 1 : size; }

// The standard allocation loop: ask the new-handler for memory until it
// gives up by being absent, then fail with bad_alloc.
void* AllocateOrThrow(std::size_t size) {
  for (;;) {
    if (void* memory = Corvan::Allocate(AtLeastOne(size))) return memory;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

// An over-aligned block is carved out of a larger plain one; the plain
// block's address sits just before the aligned one, so delete finds it.
void* AllocateAligned(std::size_t size, std::align_val_t alignment) {
  const auto align = static_cast<std::size_t>(alignment);
  const std::size_t overhead = align + sizeof(void*);
  if (size > SIZE_MAX - overhead) return nullptr;
  void* raw = Corvan::Allocate(AtLeastOne(size) + overhead);
  if (raw == nullptr) return nullptr;
  const std::uintptr_t first = reinterpret_cast<std::uintptr_t>(raw) + sizeof(void*);
  const std::uintptr_t aligned = (first + align - 1) & ~static_cast<std::uintptr_t>(align - 1);
  std::memcpy(reinterpret_cast<void*>(aligned - sizeof(void*)), &raw, sizeof raw);
  return reinterpret_cast<void*>(aligned);
}

void* AllocateAlignedOrThrow(std::size_t size, std::align_val_t alignment) {
  for (;;) {
    if (void* memory = AllocateAligned(size, alignment)) return memory;
    const std::new_handler handler = std::get_new_handler();
    if (handler == nullptr) throw std::bad_alloc();
    handler();
  }
}

void FreeAligned(void* memory) {
  if (memory == nullptr) return;
  void* raw = nullptr;
  std::memcpy(&raw, static_cast<char*>(memory) - sizeof(void*), sizeof raw);
  Corvan::Free(raw);
}

}  // namespace

void* operator new(std::size_t size) { return AllocateOrThrow(size); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Corvan::Allocate(AtLeastOne(size));
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Corvan::Allocate(AtLeastOne(size));
}

void* operator new(std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return AllocateAlignedOrThrow(size, alignment);
}
void* operator new(std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}
void* operator new[](std::size_t size, std::align_val_t alignment, const std::nothrow_t&) noexcept {
  return AllocateAligned(size, alignment);
}

void operator delete(void* memory) noexcept { Corvan::Free(memory); }
void operator delete[](void* memory) noexcept { Corvan::Free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { Corvan::Free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { Corvan::Free(memory); }
void operator delete(void* memory, std::size_t) noexcept { Corvan::Free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { Corvan::Free(memory); }

void operator delete(void* memory, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete[](void* memory, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete(void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(memory);
}
void operator delete[](void* memory, std::align_val_t, const std::nothrow_t&) noexcept {
  FreeAligned(memory);
}
void operator delete(void* memory, std::size_t, std::align_val_t) noexcept { FreeAligned(memory); }
void operator delete[](void* memory, std::size_t, std::align_val_t) noexcept {
  FreeAligned(memory);
}

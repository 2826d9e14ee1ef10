// TreeBlockCache: the memory BindingProperty trees are made of, kept for the
// next tree instead of going back to the heap.
//
// A tree's store takes 4096-byte blocks, and larger objects (a collection's
// elements, a long text) take spans of 2, 4, ... 64 blocks. When a tree goes,
// its blocks and spans come back here, so a steady stream of requests builds
// its trees from memory the heap already gave: no heap growth, no page
// faults once warm. Each thread keeps its own cache, at most kCacheBound
// bytes; what would go past the bound, and spans larger than kLargestSpan,
// go back to the heap at once. The cache of a thread is emptied when the
// thread ends.
//
// Blocks and spans are allocated with the framework's Allocate, so the
// module's memory statistics count them: a cached block counts as in use,
// and a block counts as allocated once, when the heap first gives it, however
// many trees use it afterwards.
//
//   void* block = TreeBlockCache::Take(TreeBlockCache::kBlockSize);
//   ...
//   TreeBlockCache::Give(block, TreeBlockCache::kBlockSize);
#pragma once

#include <cstddef>

namespace Corvan::TreeBlockCache {

inline constexpr std::size_t kBlockSize = 4096;
// The largest span kept; larger ones come from the heap and go back to it.
inline constexpr std::size_t kLargestSpan = 64 * kBlockSize;
// Bytes one thread's cache keeps at most.
inline constexpr std::size_t kCacheBound = std::size_t{4} << 20;

// The bytes a request of `size` bytes takes: the smallest power-of-two
// multiple of kBlockSize that holds it (larger than kLargestSpan: `size`
// itself).
std::size_t SpanBytes(std::size_t size);

// Memory of `spanBytes` bytes (a SpanBytes result), 8-byte aligned: cached when there is
// some, else from the heap. Null when the heap has none.
void* Take(std::size_t spanBytes);

// Hands back memory of Take; it is cached when the bound allows.
void Give(void* span, std::size_t spanBytes);

// Bytes this thread's cache holds now.
std::size_t CachedBytes();

// Returns this thread's cached memory to the heap.
void Trim();

}  // namespace Corvan::TreeBlockCache

#include "binding/TreeBlockCache.h"

#include <bit>
#include <cstdint>

#include "logging/Allocation.h"

#if defined(__SANITIZE_ADDRESS__)
#define KYN_POISON_CACHED_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define KYN_POISON_CACHED_BLOCKS 1
#endif
#endif
#ifdef KYN_POISON_CACHED_BLOCKS
#include <sanitizer/asan_interface.h>
#endif

namespace Corvan::TreeBlockCache {
namespace {

// Span classes: 1, 2, 4, ... 64 blocks.
constexpr std::size_t kClasses = 7;

// A cached span's first word links it to the next of its class.
struct CachedSpan {
  CachedSpan* next;
};

// Trivially destructible, so it stays usable while the thread ends, after
// the closer below has emptied it.
struct ThreadCache {
  CachedSpan* spans[kClasses];
  std::size_t bytes;
  bool closed;
};
thread_local constinit ThreadCache t_cache{};

void FreeAll(ThreadCache& cache) {
  for (CachedSpan*& head : cache.spans) {
    while (head != nullptr) {
      CachedSpan* span = head;
#ifdef KYN_POISON_CACHED_BLOCKS
      ASAN_UNPOISON_MEMORY_REGION(span, sizeof(CachedSpan));
#endif
      head = span->next;
      Free(span);
    }
  }
  cache.bytes = 0;
}

// Empties the thread's cache when the thread ends; trees freed later on this
// thread give their memory straight back to the heap.
struct ThreadCacheCloser {
  bool registered = false;
  ~ThreadCacheCloser() {
    FreeAll(t_cache);
    t_cache.closed = true;
  }
};
thread_local ThreadCacheCloser t_closer;

std::size_t ClassOf(std::size_t spanBytes) {
  return static_cast<std::size_t>(std::countr_zero(spanBytes / kBlockSize));
}

void Poison([[maybe_unused]] void* span, [[maybe_unused]] std::size_t bytes) {
#ifdef KYN_POISON_CACHED_BLOCKS
  ASAN_POISON_MEMORY_REGION(span, bytes);
#endif
}

void Unpoison([[maybe_unused]] void* span, [[maybe_unused]] std::size_t bytes) {
#ifdef KYN_POISON_CACHED_BLOCKS
  ASAN_UNPOISON_MEMORY_REGION(span, bytes);
#endif
}

}  // namespace

std::size_t SpanBytes(std::size_t size) {
  if (size > kLargestSpan) return size;
  return size <= kBlockSize ? kBlockSize : std::bit_ceil(size);
}

void* Take(std::size_t spanBytes) {
  ThreadCache& cache = t_cache;
  if (spanBytes <= kLargestSpan) {
    CachedSpan*& head = cache.spans[ClassOf(spanBytes)];
    if (head != nullptr) {
      CachedSpan* span = head;
      Unpoison(span, spanBytes);
      head = span->next;
      cache.bytes -= spanBytes;
      return span;
    }
  }
  return Allocate(spanBytes);
}

void Give(void* span, std::size_t spanBytes) {
  if (span == nullptr) return;
  ThreadCache& cache = t_cache;
  if (spanBytes > kLargestSpan || cache.closed || cache.bytes + spanBytes > kCacheBound) {
    Free(span);
    return;
  }
  // The closer's first use registers its destructor for this thread.
  if (!t_closer.registered) t_closer.registered = true;
  auto* cached = static_cast<CachedSpan*>(span);
  CachedSpan*& head = cache.spans[ClassOf(spanBytes)];
  cached->next = head;
  head = cached;
  cache.bytes += spanBytes;
  Poison(static_cast<char*>(span) + sizeof(CachedSpan), spanBytes - sizeof(CachedSpan));
}

std::size_t CachedBytes() { return t_cache.bytes; }

void Trim() { FreeAll(t_cache); }

}  // namespace Corvan::TreeBlockCache

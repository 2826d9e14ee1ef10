// The operating-system services the framework's logging and diagnostics
// use: the local clock, a high-resolution counter, thread ids, the
// executable's path, the debugger console, a recursive lock, UTC calendar
// conversion, heap block sizes and event tracing.
//
// Everything above this layer is written once. win32/ implements it with
// the Windows calls of the same purpose; posix/ with POSIX and glibc
// equivalents (no debugger console and no event tracing there).
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>

namespace Corvan::Platform {

// The local wall-clock time, to the millisecond.
struct LocalTime {
  std::int32_t year = 0;
  std::int32_t month = 0;
  std::int32_t day = 0;
  std::int32_t hour = 0;
  std::int32_t minute = 0;
  std::int32_t second = 0;
  std::int32_t millisecond = 0;
};

// Reads the local wall clock.
LocalTime GetLocalTime();

// A monotonic high-resolution counter and its ticks per second.
std::uint64_t HighResolutionCounter();
std::uint64_t HighResolutionFrequency();

// The calling thread's identifier.
std::uint32_t CurrentThreadId();

// The character that separates the folders of the executable's path.
extern const char kExecutablePathSeparator;

// Writes the full path of the process's executable (zero-terminated, cut to
// the buffer) and returns its length; 0 when it cannot be read.
std::size_t ExecutablePath(char* buffer, std::size_t size);

// Writes a text to the debugger's console; nothing where there is none.
void WriteDebuggerConsole(const char* text);

// The usable size of a block from the C heap (malloc and friends).
std::size_t HeapBlockSize(void* block);

// A copy of a text on the C heap, freed with free().
char* HeapDuplicateText(const char* text);

// A lock that its owning thread may take again.
class RecursiveLock {
 public:
  RecursiveLock();
  ~RecursiveLock();
  RecursiveLock(const RecursiveLock&) = delete;
  RecursiveLock& operator=(const RecursiveLock&) = delete;

  void lock();
  void unlock();

 private:
  // Large and aligned enough for a CRITICAL_SECTION or a pthread mutex.
  alignas(8) unsigned char storage_[64];
};

}  // namespace Corvan::Platform

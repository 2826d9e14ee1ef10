// Windows implementation of the platform layer.
#include "platform/Platform.h"

#define WIN32_LEAN_AND_MEAN
#include <malloc.h>
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace Corvan::Platform {

static_assert(sizeof(CRITICAL_SECTION) <= 64, "RecursiveLock storage too small");

const char kExecutablePathSeparator = '\\';

LocalTime GetLocalTime() {
  SYSTEMTIME now{};
  ::GetLocalTime(&now);
  LocalTime time;
  time.year = now.wYear;
  time.month = now.wMonth;
  time.day = now.wDay;
  time.hour = now.wHour;
  time.minute = now.wMinute;
  time.second = now.wSecond;
  time.millisecond = now.wMilliseconds;
  return time;
}

std::uint64_t HighResolutionCounter() {
  LARGE_INTEGER counter{};
  QueryPerformanceCounter(&counter);
  return static_cast<std::uint64_t>(counter.QuadPart);
}

std::uint64_t HighResolutionFrequency() {
  LARGE_INTEGER frequency{};
  QueryPerformanceFrequency(&frequency);
  return static_cast<std::uint64_t>(frequency.QuadPart);
}

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(GetCurrentThreadId()); }

std::size_t ExecutablePath(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const DWORD length = GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  if (length == 0) buffer[0] = '\0';
  if (length >= size) buffer[size - 1] = '\0';
  return length < size ? length : size - 1;
}

void WriteDebuggerConsole(const char* text) { OutputDebugStringA(text); }

std::size_t HeapBlockSize(void* block) { return block ? _msize(block) : 0; }

char* HeapDuplicateText(const char* text) { return text ? _strdup(text) : nullptr; }

RecursiveLock::RecursiveLock() {
  InitializeCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

RecursiveLock::~RecursiveLock() {
  DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

void RecursiveLock::lock() { EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)); }

void RecursiveLock::unlock() {
  LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

}  // namespace Corvan::Platform

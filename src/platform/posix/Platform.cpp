// POSIX and glibc implementation of the platform layer.
#include "platform/Platform.h"

#include <malloc.h>
#include <pthread.h>
#include <sys/syscall.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <new>

namespace Corvan::Platform {

static_assert(sizeof(pthread_mutex_t) <= 64, "RecursiveLock storage too small");

const char kExecutablePathSeparator = '/';

LocalTime GetLocalTime() {
  struct timespec now {};
  clock_gettime(CLOCK_REALTIME, &now);
  std::tm local{};
  const time_t seconds = now.tv_sec;
  localtime_r(&seconds, &local);
  LocalTime time;
  time.year = local.tm_year + 1900;
  time.month = local.tm_mon + 1;
  time.day = local.tm_mday;
  time.hour = local.tm_hour;
  time.minute = local.tm_min;
  time.second = local.tm_sec;
  time.millisecond = static_cast<std::int32_t>(now.tv_nsec / 1000000);
  return time;
}

std::uint64_t HighResolutionCounter() {
  struct timespec now {};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
         static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t HighResolutionFrequency() { return 1000000000u; }

std::uint32_t CurrentThreadId() { return static_cast<std::uint32_t>(syscall(SYS_gettid)); }

std::size_t ExecutablePath(char* buffer, std::size_t size) {
  if (buffer == nullptr || size == 0) return 0;
  const ssize_t length = readlink("/proc/self/exe", buffer, size - 1);
  if (length <= 0) {
    buffer[0] = '\0';
    return 0;
  }
  buffer[length] = '\0';
  return static_cast<std::size_t>(length);
}

void WriteDebuggerConsole(const char*) {}

std::size_t HeapBlockSize(void* block) { return block ? malloc_usable_size(block) : 0; }

char* HeapDuplicateText(const char* text) { return text ? strdup(text) : nullptr; }

RecursiveLock::RecursiveLock() {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(reinterpret_cast<pthread_mutex_t*>(storage_), &attributes);
  pthread_mutexattr_destroy(&attributes);
}

RecursiveLock::~RecursiveLock() {
  pthread_mutex_destroy(reinterpret_cast<pthread_mutex_t*>(storage_));
}

void RecursiveLock::lock() { pthread_mutex_lock(reinterpret_cast<pthread_mutex_t*>(storage_)); }

void RecursiveLock::unlock() { pthread_mutex_unlock(reinterpret_cast<pthread_mutex_t*>(storage_)); }

}  // namespace Corvan::Platform

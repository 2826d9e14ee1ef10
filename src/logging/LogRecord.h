// The plain records and tables of the logger, shared by everything that
// logs and by code on the other side of a module boundary. They hold only
// fixed-width fields and function pointers, so no class layout is shared.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

namespace Corvan {

// Log levels.
inline constexpr std::int32_t kLogOkay = 0;
inline constexpr std::int32_t kLogWarn = 1;
inline constexpr std::int32_t kLogError = 2;
inline constexpr std::int32_t kLogAlways = 3;

// The predefined categories (bits of the 64-bit category mask).
namespace LogCategory {
inline constexpr std::uint64_t DBG = 1u << 0;
inline constexpr std::uint64_t GEN = 1u << 1;
inline constexpr std::uint64_t XTR = 1u << 2;
inline constexpr std::uint64_t PRF = 1u << 3;
inline constexpr std::uint64_t MEM = 1u << 4;
inline constexpr std::uint64_t DSK = 1u << 5;
inline constexpr std::uint64_t NET = 1u << 6;
inline constexpr std::uint64_t TST = 1u << 7;
}  // namespace LogCategory

// What targets receive for one log call.
struct LogRecord {
  std::int32_t year;
  std::int32_t month;
  std::int32_t day;
  std::int32_t hour;
  std::int32_t minute;
  std::int32_t second;
  std::int32_t millisecond;
  std::int32_t level;
  std::uint64_t categories;
  const char* message;  // valid only while the record is dispatched
};

// The table every log target carries. Each slot receives the table itself
// first; a null table is no target (getters answer 0, "" or false).
struct LogTargetInterface {
  std::int32_t (*version)(LogTargetInterface* self);
  void (*setLevel)(LogTargetInterface* self, std::int32_t level);
  std::int32_t (*getLevel)(LogTargetInterface* self);
  // Stores included AND NOT excluded, and excluded.
  void (*setCategoryMasks)(LogTargetInterface* self, std::uint64_t included,
                           std::uint64_t excluded);
  std::uint64_t (*getIncludedCategories)(LogTargetInterface* self);
  std::uint64_t (*getExcludedCategories)(LogTargetInterface* self);
  const char* (*getName)(LogTargetInterface* self);
  const char* (*getFormat)(LogTargetInterface* self, const LogRecord* record);
  void (*registerTarget)(LogTargetInterface* self);
  void (*unregisterTarget)(LogTargetInterface* self);
  bool (*isRegistered)(LogTargetInterface* self);
  bool (*write)(LogTargetInterface* self, const LogRecord* record);
};

// The table through which the process's logger is reached.
struct LoggerInterface {
  std::int32_t (*version)();
  void (*addRef)();
  void (*release)();
  void (*setMinLevel)(std::int32_t level);
  std::int32_t (*getMinLevel)();
  void (*setExcludedCategories)(std::uint64_t mask);
  std::uint64_t (*getExcludedCategories)();
  void (*disable)();
  void (*enable)();
  void (*setReservedFlag)();
  void (*clearReservedFlag)();
  void (*registerTarget)(LogTargetInterface* target);
  void (*unregisterTarget)(LogTargetInterface* target);
  LogTargetInterface* (*findTarget)(const char* name);
  LogTargetInterface* (*stdOutTarget)();
  LogTargetInterface* (*stdErrTarget)();
  LogTargetInterface* (*debuggerConsoleTarget)();
  std::uint64_t (*registerCategory)(const char* code);
  std::size_t (*formatCategories)(char* buffer, std::size_t size, std::uint64_t mask);
  std::size_t (*formatRecord)(char* buffer, std::size_t size, const char* format,
                              const LogRecord* record);
  const char* (*getLevelName)(std::int32_t level);
  const char* (*getExecutableName)();
  void (*getLocalTimeRecord)(LogRecord* record);
  std::size_t (*formatTimestamp)(char* buffer, std::size_t size, const LogRecord* time);
  std::size_t (*formatFileTimestamp)(char* buffer, std::size_t size, const LogRecord* time);
  void (*logV)(std::int32_t level, std::uint64_t categories, const char* format,
               std::va_list arguments);
};

}  // namespace Corvan

// The process-wide logger.
//
// A log call names a level and a set of categories and gives a printf
// format. The logger drops it before any formatting when it is disabled,
// when the level is below its minimum or when a category is excluded;
// otherwise it formats the message once (at most 4095 bytes), stamps it with
// the local time and hands the record to each registered target, in
// registration order, under its lock. Targets filter again and write the
// record in their own line format.
//
//   Log(kLogWarn, LogCategory::DBG, "kyn-highlights: %s: %s", operation, text);
//
// The logger is created by the first log call or AddRef and destroyed by the
// Release that brings the reference count to 0. Any thread may log; lines
// never interleave.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>

#include "logging/LogRecord.h"

namespace Corvan {

// Logs a printf-formatted message.
#if defined(__GNUC__)
__attribute__((format(printf, 3, 4)))
#endif
void Log(std::int32_t level, std::uint64_t categories, const char* format, ...);

// Logs with an argument list.
void LogV(std::int32_t level, std::uint64_t categories, const char* format, std::va_list arguments);

// The logger's table.
const LoggerInterface* GetLoggerInterface();

// The mask of a three-letter category code, registering it in a free slot
// when it is new; 0 when all 64 slots are taken.
std::uint64_t RegisterCategory(const char* code);

// The category codes of a mask, separated by ";", cut to the buffer.
std::size_t FormatCategories(char* buffer, std::size_t size, std::uint64_t mask);

// Formats a record with a line format (tokens #D #E #G #H #L #M #T, "##"),
// always ending in exactly one line break; returns the length written.
std::size_t FormatRecord(char* buffer, std::size_t size, const char* format,
                         const LogRecord& record);

// "YYYY-MM-DDTHH:MM:SS.mmm" of a record's time.
std::size_t FormatTimestamp(char* buffer, std::size_t size, const LogRecord& time);
// "YYYY-MM-DDTHH-MM-SS" of a record's time, usable in file names.
std::size_t FormatFileTimestamp(char* buffer, std::size_t size, const LogRecord& time);

// Fills the seven time fields of a record from the local clock.
void GetLocalTimeRecord(LogRecord& record);

// The six-character name of a level; "     ?" outside 0 to 3.
const char* GetLevelName(std::int32_t level);

}  // namespace Corvan

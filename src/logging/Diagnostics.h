// The framework's small diagnostic facilities: assertion reports that end up
// in the log, a trace call that prints nothing, ISO 8601 text of a
// millisecond time stamp and a high-resolution elapsed-time counter.
//
// An assertion never stops the program; it writes one report at ERROR with
// category DBG:
//
//   if (!ok) AssertReport("ok", __FILE__, __LINE__, __func__, "scan of %s", path);
//
// Trace points keep their messages in the code without producing output:
//
//   DebugTrace("Sending event: %s", name);
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#if defined(__GNUC__)
#define KYN_PRINTF_FORMAT(formatIndex, firstArgument) \
  __attribute__((format(printf, formatIndex, firstArgument)))
#else
#define KYN_PRINTF_FORMAT(formatIndex, firstArgument)
#endif

namespace Corvan {

// The longest description AssertReport formats; longer ones are cut.
inline constexpr std::size_t kAssertDescriptionLimit = 1023;

// Builds the text of an assertion report from its parts; null or empty parts
// and line 0 are left out (the heading is always there).
std::string BuildAssertReport(const char* expression, const char* description, const char* file,
                              int line, const char* function);

// Formats the description printf-style (at most 1023 characters) and logs
// the assertion report.
KYN_PRINTF_FORMAT(5, 6)
void AssertReport(const char* expression, const char* file, int line, const char* function,
                  const char* descriptionFormat, ...);

// Logs the assertion report of a description that is already text.
void AssertReportText(const char* expression, const char* description, const char* file, int line,
                      const char* function);

// Accepts a printf-style trace message and does nothing with it.
KYN_PRINTF_FORMAT(1, 2)
inline void DebugTrace(const char* /*format*/, ...) {}

// "YYYY-MM-DDTHH:MM:SS.mmmZ" (UTC) of milliseconds since 1970-01-01; the
// empty text, after an assertion report, for times past the year 3000.
std::string FormatIso8601Utc(std::uint64_t milliseconds);

// Seconds since the module first read its high-resolution counter.
double GetElapsedSeconds();

}  // namespace Corvan

// Assertion reports, ISO 8601 time text and the elapsed-time counter.
#include "logging/Diagnostics.h"

#include <cstdarg>
#include <cstdint>
#include <cstring>
#include <cstdio>

#include "logging/LogRecord.h"
#include "logging/Logger.h"
#include "platform/Platform.h"

namespace Corvan {

namespace {

bool IsPresent(const char* text) { return text != nullptr && text[0] != '\0'; }

// The report always goes through "%s": its parts may hold '%' of their own.
void LogReport(const std::string& report) {
  Log(kLogError, LogCategory::DBG, "%s", report.c_str());
}

constexpr std::uint32_t kSecondsPerDay = 86400;

struct CivilDate {
  std::uint32_t year, month, day;
};

// The Gregorian date of a day counted from 1970-01-01, by eras of 400 years
// (146,097 days), which repeat exactly; years start on March 1 inside the
// calculation, so the leap day falls at a year's end. Formatting by hand
// keeps the C library's time zone lock and format parser off a scan that
// dates every file, and gives the same dates where time_t has 32 bits.
CivilDate CivilDateOfDay(std::uint32_t day) {
  constexpr std::uint32_t kDaysFromYear0March1To1970 = 719468;
  const std::uint32_t days = day + kDaysFromYear0March1To1970;
  const std::uint32_t era = days / 146097;
  const std::uint32_t dayOfEra = days - era * 146097;
  const std::uint32_t yearOfEra =
      (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
  const std::uint32_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const std::uint32_t monthFromMarch = (5 * dayOfYear + 2) / 153;
  const std::uint32_t month = monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9;
  return {era * 400 + yearOfEra + (month <= 2 ? 1 : 0), month,
          dayOfYear - (153 * monthFromMarch + 2) / 5 + 1};
}

// Writes `value` as `count` decimal digits, zero-padded.
void PutDigits(char* at, std::uint32_t value, int count) {
  for (int i = count - 1; i >= 0; --i, value /= 10) at[i] = static_cast<char>('0' + value % 10);
}

}  // namespace

std::string BuildAssertReport(const char* expression, const char* description, const char* file,
                              int line, const char* function) {
  std::string report = "Assertion failed!\n\n";
  if (IsPresent(file)) report.append("File: ").append(file).append("\n");
  if (line != 0) report.append("Line: ").append(std::to_string(line)).append("\n\n");
  if (IsPresent(function)) report.append("Function: ").append(function).append("\n\n");
  if (IsPresent(expression)) report.append("Expression: ").append(expression);
  if (IsPresent(description)) report.append("\n\nDescription: ").append(description);
  return report;
}

void AssertReport(const char* expression, const char* file, int line, const char* function,
                  const char* descriptionFormat, ...) {
  char description[kAssertDescriptionLimit + 1] = "";
  if (descriptionFormat != nullptr) {
    std::va_list arguments;
    va_start(arguments, descriptionFormat);
    std::vsnprintf(description, sizeof description, descriptionFormat, arguments);
    va_end(arguments);
  }
  LogReport(BuildAssertReport(expression, description, file, line, function));
}

void AssertReportText(const char* expression, const char* description, const char* file, int line,
                      const char* function) {
  LogReport(BuildAssertReport(expression, description, file, line, function));
}

std::string FormatIso8601Utc(std::uint64_t milliseconds) {
  // Times past the year 3000 are refused, as the Windows run-time's
  // conversion always refused them, on every platform alike.
  constexpr std::uint64_t kLastMillisecondOfYear3000 = 32535215999999;
  if (milliseconds > kLastMillisecondOfYear3000) {
    AssertReportText("ALE-8A14EBBK", "", "", 0, "");
    return std::string();
  }
  const std::uint64_t seconds = milliseconds / 1000;
  const CivilDate date = CivilDateOfDay(static_cast<std::uint32_t>(seconds / kSecondsPerDay));
  const auto second = static_cast<std::uint32_t>(seconds % kSecondsPerDay);
  // "YYYY-MM-DDTHH:MM:SS.mmmZ": every field has its fixed width up to 3000.
  std::string text = "0000-00-00T00:00:00.000Z";
  char* out = text.data();
  PutDigits(out, date.year, 4);
  PutDigits(out + 5, date.month, 2);
  PutDigits(out + 8, date.day, 2);
  PutDigits(out + 11, second / 3600, 2);
  PutDigits(out + 14, second / 60 % 60, 2);
  PutDigits(out + 17, second % 60, 2);
  PutDigits(out + 20, static_cast<std::uint32_t>(milliseconds % 1000), 3);
  return text;
}

double GetElapsedSeconds() {
  // Taken once, on the first call, and kept for the life of the module.
  struct Origin {
    double secondsPerTick;
    std::uint64_t start;
  };
  static const Origin origin{1.0 / static_cast<double>(Platform::HighResolutionFrequency()),
                             Platform::HighResolutionCounter()};
  return static_cast<double>(Platform::HighResolutionCounter() - origin.start) *
         origin.secondsPerTick;
}

}  // namespace Corvan

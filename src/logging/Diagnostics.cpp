// Assertion reports, ISO 8601 time text and the elapsed-time counter.
#include "logging/Diagnostics.h"

#include <cstdarg>
#include <cstring>
#include <cstdio>
#include <ctime>

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
  const std::uint64_t seconds = milliseconds / 1000;
  const std::uint64_t millis = milliseconds - seconds * 1000;
  std::tm calendar{};
  // Seconds fit in int64 for every u64 input (at most about 1.8e16).
  if (!Platform::UtcCalendarTime(static_cast<std::int64_t>(seconds), calendar)) {
    AssertReportText("ALE-8A14EBBK", "", "", 0, "");
    return std::string();
  }
  char text[32];
  const std::size_t length = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &calendar);
  if (length == 0) return std::string();
  // The fraction goes before the last character, in place, so the text is
  // allocated once.
  char whole[sizeof text + 4];
  std::memcpy(whole, text, length - 1);
  std::snprintf(whole + length - 1, 5, ".%03d", static_cast<int>(millis));
  whole[length + 3] = text[length - 1];
  return std::string(whole, length + 4);
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

#include "logging/Diagnostics.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace Corvan {
namespace {

TEST(Diagnostics, AssertReportText) {
  struct Case {
    const char* name;
    const char* expression;
    const char* description;
    const char* file;
    int line;
    const char* function;
    const char* expected;
  };
  constexpr Case kCases[] = {
      {"only an expression", "x > 0", nullptr, nullptr, 0, nullptr,
       "Assertion failed!\n\nExpression: x > 0"},
      {"all parts", "ok", "scan of a.webm", "Scan.cpp", 42, "Scan",
       "Assertion failed!\n\nFile: Scan.cpp\nLine: 42\n\nFunction: Scan\n\n"
       "Expression: ok\n\nDescription: scan of a.webm"},
      {"line 0 is left out", "ok", nullptr, "Scan.cpp", 0, "Scan",
       "Assertion failed!\n\nFile: Scan.cpp\nFunction: Scan\n\nExpression: ok"},
      {"empty parts are left out", "ALE-8A14EBBK", "", "", 0, "",
       "Assertion failed!\n\nExpression: ALE-8A14EBBK"},
      {"only a description", nullptr, "text", nullptr, 0, nullptr,
       "Assertion failed!\n\n\n\nDescription: text"},
      {"only a line", "", "", "", 7, "", "Assertion failed!\n\nLine: 7\n\n"},
      {"percent signs are text", "a % b", "100%s", nullptr, 0, nullptr,
       "Assertion failed!\n\nExpression: a % b\n\nDescription: 100%s"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(BuildAssertReport(c.expression, c.description, c.file, c.line, c.function),
              c.expected);
  }
}

TEST(Diagnostics, FormatIso8601Utc) {
  struct Case {
    const char* name;
    std::uint64_t milliseconds;
    const char* expected;
  };
  constexpr Case kCases[] = {
      {"epoch", 0, "1970-01-01T00:00:00.000Z"},
      {"seconds and milliseconds", 1234, "1970-01-01T00:00:01.234Z"},
      {"milliseconds below one second", 999, "1970-01-01T00:00:00.999Z"},
      {"a date", 1551443696789, "2019-03-01T12:34:56.789Z"},
      {"a leap day", 951782400005, "2000-02-29T00:00:00.005Z"},
      {"2100 is no leap year", 4107542399999, "2100-02-28T23:59:59.999Z"},
      {"the day after", 4107542400000, "2100-03-01T00:00:00.000Z"},
      {"past 2038", 2147483648000, "2038-01-19T03:14:08.000Z"},
      {"first second after the year 3000", 32535216000000, ""},
      {"largest input", UINT64_MAX, ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FormatIso8601Utc(c.milliseconds), c.expected);
  }
}

TEST(Diagnostics, FormatIso8601UtcReachesTheEndOfTheYear3000) {
  EXPECT_EQ(FormatIso8601Utc(32535215999999), "3000-12-31T23:59:59.999Z");
}

TEST(Diagnostics, ElapsedSecondsFollowTheClock) {
  const double first = GetElapsedSeconds();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  const double second = GetElapsedSeconds();
  EXPECT_GE(first, 0.0);
  EXPECT_GE(second - first, 0.015);
  EXPECT_LT(second - first, 5.0);
}

}  // namespace
}  // namespace Corvan

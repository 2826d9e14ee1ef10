#include "logging/Logger.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "logging/LogTarget.h"
#include "support/AllocationCounter.h"

namespace Corvan {
namespace {

// Records every line it is handed, formatted with its own format.
class RecordingTarget final : public LogTarget {
 public:
  const char* GetName() const override { return "RecordingTarget"; }
  bool Write(const LogRecord& record) override {
    char line[4096];
    FormatRecord(line, sizeof line, GetFormat(&record), record);
    std::lock_guard guard(mutex_);
    lines.emplace_back(line);
    return true;
  }
  std::vector<std::string> lines;

 private:
  std::mutex mutex_;
};

// Each test starts with a logger with the defaults and ends by destroying it.
class LoggerTest : public testing::Test {
 protected:
  void SetUp() override { GetLoggerInterface()->addRef(); }
  void TearDown() override { GetLoggerInterface()->release(); }

  static LogTargetSettings Everything(const char* format = "#M") {
    LogTargetSettings settings;
    settings.level = kLogOkay;
    settings.format = format;
    return settings;
  }

  static LogRecord Record(std::int32_t level, std::uint64_t categories, const char* message) {
    LogRecord record{};
    record.year = 2024, record.month = 3, record.day = 5;
    record.hour = 6, record.minute = 7, record.second = 8, record.millisecond = 9;
    record.level = level;
    record.categories = categories;
    record.message = message;
    return record;
  }

  static std::string Line(const char* format, const LogRecord& record, std::size_t size = 4096) {
    std::vector<char> buffer(size);
    const std::size_t length = FormatRecord(buffer.data(), buffer.size(), format, record);
    EXPECT_EQ(length, std::strlen(buffer.data()));
    return buffer.data();
  }
};

TEST_F(LoggerTest, DefaultRouting) {
  const LoggerInterface* logger = GetLoggerInterface();
  LogTargetInterface* stdErr = logger->stdErrTarget();
  LogTargetInterface* debugger = logger->debuggerConsoleTarget();
  LogTargetInterface* stdOut = logger->stdOutTarget();
  EXPECT_TRUE(stdErr->isRegistered(stdErr));
  EXPECT_TRUE(debugger->isRegistered(debugger));
  EXPECT_FALSE(stdOut->isRegistered(stdOut));
  EXPECT_EQ(logger->findTarget("StdErrLogTarget"), stdErr);
  EXPECT_EQ(logger->findTarget("StdOutLogTarget"), nullptr);
  EXPECT_STREQ(stdErr->getFormat(stdErr, nullptr), "#E(#T): #L| #M");
  EXPECT_STREQ(stdOut->getFormat(stdOut, nullptr), "#M");
  EXPECT_EQ(logger->getMinLevel(), kLogWarn);
  EXPECT_EQ(logger->getExcludedCategories(), LogCategory::XTR);

  testing::internal::CaptureStderr();
  Log(kLogOkay, LogCategory::GEN, "progress %d", 1);  // below the minimum level
  Log(kLogWarn, LogCategory::DBG, "failure %d", 2);
  Log(kLogAlways, LogCategory::XTR, "extra");    // XTR is excluded
  Log(kLogAlways, LogCategory::GEN, "general");  // standard error excludes GEN
  const std::string written = testing::internal::GetCapturedStderr();
  const std::string expected = std::string(logger->getExecutableName()) + "(";
  EXPECT_EQ(written.rfind(expected, 0), 0u) << written;
  EXPECT_NE(written.find("):   WARN| failure 2\n"), std::string::npos) << written;
  EXPECT_EQ(written.find("progress"), std::string::npos);
  EXPECT_EQ(written.find("extra"), std::string::npos);
  EXPECT_EQ(written.find("general"), std::string::npos);
  // The debugger console takes the same record.
  EXPECT_TRUE(LogTarget::Accepts(debugger, Record(kLogWarn, LogCategory::DBG, "m")));
}

TEST_F(LoggerTest, TargetFilters) {
  RecordingTarget target;
  LogTargetSettings settings = Everything();
  settings.level = kLogWarn;
  settings.includedCategories = LogCategory::DBG | LogCategory::NET;
  settings.excludedCategories = LogCategory::NET;
  target.Configure(settings);
  EXPECT_EQ(target.includedCategories(), LogCategory::DBG);  // loses the excluded bit
  GetLoggerInterface()->setMinLevel(kLogOkay);

  Log(kLogWarn, 0, "no category passes");
  Log(kLogWarn, LogCategory::DBG | LogCategory::GEN, "one included category");
  Log(kLogWarn, LogCategory::GEN, "not included");
  Log(kLogWarn, LogCategory::DBG | LogCategory::NET, "excluded wins");
  Log(kLogOkay, LogCategory::DBG, "below the target level");
  EXPECT_EQ(target.lines,
            (std::vector<std::string>{"no category passes\n", "one included category\n"}));
}

TEST_F(LoggerTest, DisabledLoggerAndRegistration) {
  RecordingTarget target;
  target.Configure(Everything());
  target.Configure(Everything());  // registered once, at the end
  const LoggerInterface* logger = GetLoggerInterface();
  logger->disable();
  Log(kLogAlways, 0, "dropped");
  logger->enable();
  Log(kLogAlways, 0, "kept");
  EXPECT_EQ(target.lines, std::vector<std::string>{"kept\n"});
  target.Unregister();
  EXPECT_FALSE(target.IsRegistered());
  Log(kLogAlways, 0, "after");
  EXPECT_EQ(target.lines.size(), 1u);
}

TEST_F(LoggerTest, FormatTokens) {
  const LogRecord record = Record(kLogError, LogCategory::DBG | LogCategory::NET, "text");
  struct Case {
    const char* format;
    const char* expected;
  } const cases[] = {
      {"#D| #L| #G| #M", "2024-03-05T06:07:08.009|  ERROR| DBG;NET| text\n"},
      {"a##b", "a#b\n"},
      {"#M#", "text\n"},
      {"#Xy", "Xy\n"},
      {"", "\n"},
      {"#M\n", "text\n"},
      {"x\n\ny", "x\n\ny\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format);
    EXPECT_EQ(Line(c.format, record), c.expected);
  }
  EXPECT_EQ(Line("#M", Record(0, 0, "ends in a break\n")), "ends in a break\n");
  // Every slot set: all codes in slot order, none cut off.
  const std::string all = Line("#G", Record(0, ~std::uint64_t{0}, ""));
  EXPECT_EQ(all.rfind("DBG;GEN;", 0), 0u) << all;
  EXPECT_EQ(all.find('\0'), std::string::npos);
  EXPECT_EQ(std::count(all.begin(), all.end(), ';'), 63);
  EXPECT_EQ(Line("#L", Record(7, 0, "")), "     ?\n");
  EXPECT_EQ(Line("#L", Record(-1, 0, "")), "     ?\n");
  const std::string thread = Line("#T", record);
  EXPECT_EQ(thread.size(), 9u);
  EXPECT_EQ(thread.find_first_not_of("0123456789ABCDEF"), 8u);
  const std::string elapsed = Line("#H", record);
  EXPECT_EQ(elapsed.size(), 11u) << elapsed;  // "%06d.%03d" and the break
}

TEST_F(LoggerTest, LongMessagesAreCut) {
  RecordingTarget target;
  target.Configure(Everything("#M"));
  const std::string message(5000, 'm');
  Log(kLogAlways, 0, "%s", message.c_str());
  ASSERT_EQ(target.lines.size(), 1u);
  EXPECT_EQ(target.lines[0], std::string(4094, 'm') + "\n");

  // Every token and copied character stays within the buffer.
  const LogRecord record = Record(kLogWarn, LogCategory::DBG, message.c_str());
  EXPECT_EQ(Line("ab#M", record, 10), "abmmmmmm\n");
  // The walk stops once fewer than two bytes of room are left.
  EXPECT_EQ(Line("#Mxyz", Record(kLogWarn, 0, "1234567"), 10), "1234567\n");
  EXPECT_EQ(Line("#D", record, 8), "2024-0\n");
  EXPECT_EQ(Line("abc", record, 2), "\n");
  EXPECT_EQ(Line("abc", record, 1), "");
}

// Takes the console targets out for one scope, so that a test's many lines
// reach only its own target (the debugger console is slow under Wine).
class QuietConsoles {
 public:
  QuietConsoles() {
    const LoggerInterface* logger = GetLoggerInterface();
    for (LogTargetInterface* console : {logger->stdErrTarget(), logger->debuggerConsoleTarget()}) {
      if (console->isRegistered(console)) {
        console->unregisterTarget(console);
        quieted_.push_back(console);
      }
    }
  }
  ~QuietConsoles() {
    for (LogTargetInterface* console : quieted_) console->registerTarget(console);
  }

 private:
  std::vector<LogTargetInterface*> quieted_;
};

TEST_F(LoggerTest, ManyThreadsLoseAndInterleaveNothing) {
  const QuietConsoles quiet;
  RecordingTarget target;
  target.Configure(Everything("#M"));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 10000; ++i) Log(kLogAlways, 0, "thread %d line %05d end", t, i);
    });
  }
  for (std::thread& thread : threads) thread.join();
  ASSERT_EQ(target.lines.size(), 40000u);
  std::set<std::string> distinct(target.lines.begin(), target.lines.end());
  EXPECT_EQ(distinct.size(), 40000u);
  for (const std::string& line : target.lines) {
    ASSERT_EQ(line.size(), 24u) << line;
    ASSERT_EQ(line.substr(line.size() - 4), "end\n");
  }
}

TEST_F(LoggerTest, CallsAllocateNothing) {
  // A target that formats every line but keeps nothing.
  class FormattingTarget final : public LogTarget {
   public:
    bool Write(const LogRecord& record) override {
      char line[4096];
      return FormatRecord(line, sizeof line, GetFormat(&record), record) > 0;
    }
  } formatting;
  formatting.Configure(Everything("#D| #E| #G| #H| #L| #T| #M"));

  Log(kLogAlways, 0, "warm up %d", 0);
  const std::uint64_t before = TestSupport::ThreadAllocations();
  Log(kLogOkay, LogCategory::GEN, "rejected %s", "by level");
  Log(kLogAlways, LogCategory::XTR, "rejected %s", "by category");
  Log(kLogAlways, LogCategory::DBG, "accepted %d", 42);
  EXPECT_EQ(TestSupport::ThreadAllocations(), before);
}

TEST(LogCategories, RegistrationAndFormatting) {
  EXPECT_EQ(RegisterCategory("LOC"), 0x100u);
  EXPECT_EQ(RegisterCategory("LOC"), 0x100u);
  EXPECT_EQ(RegisterCategory("GEN"), LogCategory::GEN);
  EXPECT_EQ(RegisterCategory("LOCATION"), 0x100u);  // the first three bytes count
  char text[64];
  FormatCategories(text, sizeof text, 0);
  EXPECT_STREQ(text, "");
  FormatCategories(text, sizeof text, LogCategory::DBG | LogCategory::TST | 0x100);
  EXPECT_STREQ(text, "DBG;TST;LOC");
  FormatCategories(text, 6, LogCategory::DBG | LogCategory::GEN);
  EXPECT_STREQ(text, "DBG;G");
  FormatCategories(text, sizeof text, std::uint64_t{1} << 40);
  EXPECT_STREQ(text, "???");

  // 55 more codes fill slots 9 to 63; the next new code gets no slot.
  for (int i = 0; i < 55; ++i) {
    const char code[4] = {'Q', static_cast<char>('A' + i / 26), static_cast<char>('A' + i % 26), 0};
    EXPECT_EQ(RegisterCategory(code), std::uint64_t{1} << (9 + i)) << code;
  }
  EXPECT_EQ(RegisterCategory("ZZZ"), 0u);
  EXPECT_EQ(RegisterCategory("QAA"), std::uint64_t{1} << 9);
}

TEST(LogFormats, Timestamps) {
  LogRecord time{};
  time.year = 2024, time.month = 3, time.day = 5, time.hour = 6, time.minute = 7, time.second = 8;
  time.millisecond = 9;
  char text[32];
  EXPECT_EQ(FormatFileTimestamp(text, sizeof text, time), 19u);
  EXPECT_STREQ(text, "2024-03-05T06-07-08");
  EXPECT_EQ(FormatTimestamp(text, sizeof text, time), 23u);
  EXPECT_STREQ(text, "2024-03-05T06:07:08.009");
  EXPECT_EQ(FormatTimestamp(text, 5, time), 4u);
  EXPECT_STREQ(text, "2024");
}

}  // namespace
}  // namespace Corvan

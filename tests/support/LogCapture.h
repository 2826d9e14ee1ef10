// Captures the logger's records for a test: while a LogCapture lives, every
// record of any level and category is kept (level, categories, message).
//
//   LogCapture log;
//   DoSomething();
//   EXPECT_EQ(log.Messages(), (std::vector<std::string>{"kyn-highlights: ..."}));
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "logging/LogTarget.h"

namespace Corvan::Testing {

struct CapturedLine {
  std::int32_t level = 0;
  std::uint64_t categories = 0;
  std::string message;
};

class LogCapture final : public LogTarget {
 public:
  // Holds a reference to the logger and registers with it.
  LogCapture();
  ~LogCapture() override;

  const char* GetName() const override { return "LogCapture"; }
  bool Write(const LogRecord& record) override;

  // The records so far.
  std::vector<CapturedLine> Lines() const;
  // The messages so far.
  std::vector<std::string> Messages() const;

 private:
  mutable std::mutex mutex_;
  std::vector<CapturedLine> lines_;
};

}  // namespace Corvan::Testing

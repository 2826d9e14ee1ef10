#include "support/LogCapture.h"

#include "logging/Logger.h"

namespace Corvan::Testing {

LogCapture::LogCapture() {
  GetLoggerInterface()->addRef();
  LogTargetSettings settings;
  settings.level = kLogOkay;
  settings.format = "#M";
  Configure(settings);
}

LogCapture::~LogCapture() {
  Unregister();
  GetLoggerInterface()->release();
}

bool LogCapture::Write(const LogRecord& record) {
  std::lock_guard guard(mutex_);
  lines_.push_back({record.level, record.categories, record.message});
  return true;
}

std::vector<CapturedLine> LogCapture::Lines() const {
  std::lock_guard guard(mutex_);
  return lines_;
}

std::vector<std::string> LogCapture::Messages() const {
  std::vector<std::string> messages;
  for (const CapturedLine& line : Lines()) messages.push_back(line.message);
  return messages;
}

}  // namespace Corvan::Testing

// The logger object behind Log and the LoggerInterface table (internal to
// the logging component).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "logging/LogRecord.h"
#include "logging/LogTarget.h"
#include "platform/Platform.h"

namespace Corvan {

class Logger {
 public:
  // The logger, created with the defaults when there is none.
  static Logger* Instance();
  // The logger if one exists.
  static Logger* Existing();
  // Reference counting of the module's users; 1 -> 0 destroys the logger.
  static void AddRef();
  static void Release();

  void Dispatch(std::int32_t level, std::uint64_t categories, const char* format,
                std::va_list arguments);

  void AppendTarget(LogTargetInterface* target);
  void RemoveTarget(LogTargetInterface* target);
  LogTargetInterface* FindTarget(const char* name);

  void SetMinLevel(std::int32_t level);
  std::int32_t minLevel();
  void SetExcludedCategories(std::uint64_t mask);
  std::uint64_t excludedCategories();
  void SetDisabled(bool disabled) { disabled_.store(disabled); }
  void SetReservedFlag(bool flag) { reservedFlag_.store(flag); }
  const char* executableName() const { return executableName_; }

  StdOutLogTarget& stdOut() { return stdOut_; }
  StdErrLogTarget& stdErr() { return stdErr_; }
  DebuggerConsoleLogTarget& debuggerConsole() { return debuggerConsole_; }

 private:
  Logger();
  ~Logger();
  bool Rejects(std::int32_t level, std::uint64_t categories) const;
  void ReadExecutableName();
  void RegisterOwnTarget(LogTarget& target);

  Platform::RecursiveLock lock_;
  std::vector<LogTargetInterface*> targets_;
  std::atomic<bool> disabled_{false};
  std::atomic<std::int32_t> minLevel_{kLogWarn};
  std::atomic<std::uint64_t> excluded_{LogCategory::XTR};
  std::atomic<bool> reservedFlag_{false};
  char moduleFileName_[1024] = {};
  const char* executableName_ = "<unknown>";
  StdErrLogTarget stdErr_;
  StdOutLogTarget stdOut_;
  DebuggerConsoleLogTarget debuggerConsole_;
};

}  // namespace Corvan

#include "logging/Logger.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <new>

#include "logging/LoggerState.h"

namespace Corvan {

namespace {

std::atomic<Logger*> currentLogger{nullptr};
std::atomic<int> loggerReferences{0};

// Creation and destruction of the logger are rare; this keeps two first
// uses from creating two loggers.
std::mutex& LifecycleMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

// ---- Lifecycle --------------------------------------------------------------

Logger::Logger() {
  ReadExecutableName();
  RegisterOwnTarget(stdErr_);
  RegisterOwnTarget(debuggerConsole_);
}

// The logger is not reachable yet while it is built, so its own targets are
// put on the list directly rather than through their register operation.
void Logger::RegisterOwnTarget(LogTarget& target) {
  target.registered_.store(true);
  targets_.push_back(target.Interface());
}

Logger::~Logger() {
  // Targets still registered forget it, so that a later logger takes them.
  std::vector<LogTargetInterface*> targets;
  {
    std::lock_guard guard(lock_);
    targets.swap(targets_);
  }
  for (LogTargetInterface* target : targets) target->unregisterTarget(target);
}

void Logger::ReadExecutableName() {
  std::lock_guard guard(lock_);
  if (Platform::ExecutablePath(moduleFileName_, sizeof moduleFileName_) == 0) return;
  const char* separator = std::strrchr(moduleFileName_, Platform::kExecutablePathSeparator);
  executableName_ = separator ? separator + 1 : moduleFileName_;
}

Logger* Logger::Existing() { return currentLogger.load(std::memory_order_acquire); }

Logger* Logger::Instance() {
  if (Logger* logger = Existing()) return logger;
  std::lock_guard guard(LifecycleMutex());
  if (Logger* logger = Existing()) return logger;
  auto* logger = new (std::nothrow) Logger();
  if (logger == nullptr) return nullptr;  // no memory: nothing is logged
  currentLogger.store(logger, std::memory_order_release);
  return logger;
}

void Logger::AddRef() {
  if (loggerReferences.fetch_add(1) == 0) Instance();
}

void Logger::Release() {
  int references = loggerReferences.load();
  do {
    if (references == 0) return;  // an unmatched Release changes nothing
  } while (!loggerReferences.compare_exchange_weak(references, references - 1));
  if (references != 1) return;
  std::lock_guard guard(LifecycleMutex());
  Logger* logger = currentLogger.exchange(nullptr);
  delete logger;
}

// ---- Dispatch ---------------------------------------------------------------

bool Logger::Rejects(std::int32_t level, std::uint64_t categories) const {
  return disabled_.load(std::memory_order_relaxed) ||
         level < minLevel_.load(std::memory_order_relaxed) ||
         (categories & excluded_.load(std::memory_order_relaxed)) != 0;
}

void Logger::Dispatch(std::int32_t level, std::uint64_t categories, const char* format,
                      std::va_list arguments) {
  if (Rejects(level, categories)) return;
  char message[4096];
  std::vsnprintf(message, sizeof message, format ? format : "", arguments);
  LogRecord record{};
  GetLocalTimeRecord(record);
  record.level = level;
  record.categories = categories;
  record.message = message;
  std::lock_guard guard(lock_);
  for (LogTargetInterface* target : targets_) {
    if (LogTarget::Accepts(target, record)) target->write(target, &record);
  }
}

// ---- Targets and settings -----------------------------------------------------

void Logger::AppendTarget(LogTargetInterface* target) {
  std::lock_guard guard(lock_);
  targets_.push_back(target);
}

void Logger::RemoveTarget(LogTargetInterface* target) {
  std::lock_guard guard(lock_);
  targets_.erase(std::remove(targets_.begin(), targets_.end(), target), targets_.end());
}

LogTargetInterface* Logger::FindTarget(const char* name) {
  if (name == nullptr) return nullptr;
  std::lock_guard guard(lock_);
  for (LogTargetInterface* target : targets_) {
    if (std::strcmp(target->getName(target), name) == 0) return target;
  }
  return nullptr;
}

void Logger::SetMinLevel(std::int32_t level) {
  std::lock_guard guard(lock_);
  minLevel_.store(level);
}

std::int32_t Logger::minLevel() {
  std::lock_guard guard(lock_);
  return minLevel_.load();
}

void Logger::SetExcludedCategories(std::uint64_t mask) {
  std::lock_guard guard(lock_);
  excluded_.store(mask);
}

std::uint64_t Logger::excludedCategories() {
  std::lock_guard guard(lock_);
  return excluded_.load();
}

// ---- Entry points -------------------------------------------------------------

void LogV(std::int32_t level, std::uint64_t categories, const char* format,
          std::va_list arguments) {
  if (Logger* logger = Logger::Instance()) logger->Dispatch(level, categories, format, arguments);
}

void Log(std::int32_t level, std::uint64_t categories, const char* format, ...) {
  std::va_list arguments;
  va_start(arguments, format);
  LogV(level, categories, format, arguments);
  va_end(arguments);
}

}  // namespace Corvan

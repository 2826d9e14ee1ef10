// Log targets: where the logger's records go.
//
// A LogTarget filters records by level and categories and writes the ones
// it accepts in its own line format. Each target carries a plain
// LogTargetInterface table through which the logger (and code in other
// modules) reaches it. The framework's console targets write to standard
// error, standard output and the debugger console; a plugin adds its own
// target that forwards to the host.
//
// Lock order: the logger's lock, then a target's own lock. Registration
// changes take the logger's lock without holding the target's.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <string>

#include "logging/LogRecord.h"
#include "platform/Platform.h"

namespace Corvan {

// The input of LogTarget::Configure.
struct LogTargetSettings {
  std::int32_t level = kLogWarn;
  std::uint64_t includedCategories = 0;
  std::uint64_t excludedCategories = 0;
  const char* format = "#D| #L| #G| #M";
};

class LogTarget {
 public:
  LogTarget();
  virtual ~LogTarget();
  LogTarget(const LogTarget&) = delete;
  LogTarget& operator=(const LogTarget&) = delete;

  // Removes the target from the logger's list, if it is registered.
  virtual void Unregister();
  // The class name.
  virtual const char* GetName() const { return "LogTarget"; }
  // The line format (the record is not consulted by the framework's targets).
  virtual const char* GetFormat(const LogRecord* record) const;
  // Writes an accepted record; true when written.
  virtual bool Write(const LogRecord& record) = 0;

  // Unregisters, applies the settings and registers again at the end of the
  // logger's list; the included mask loses the excluded bits.
  void Configure(const LogTargetSettings& settings);

  // The table through which the logger reaches this target.
  LogTargetInterface* Interface() { return &holder_.table; }
  // The target behind a table made by a LogTarget (null for null).
  static LogTarget* FromInterface(LogTargetInterface* table);

  // What the table's slots do.
  void SetLevel(std::int32_t level);
  std::int32_t level() const { return level_.load(std::memory_order_relaxed); }
  void SetCategoryMasks(std::uint64_t included, std::uint64_t excluded);
  std::uint64_t includedCategories() const { return included_.load(std::memory_order_relaxed); }
  std::uint64_t excludedCategories() const { return excluded_.load(std::memory_order_relaxed); }
  void Register();
  bool IsRegistered() const { return registered_.load(); }

  // Whether a record passes this target's level and category filter.
  static bool Accepts(LogTargetInterface* table, const LogRecord& record);

 protected:
  Platform::RecursiveLock& lock() { return lock_; }
  void SetFormat(const char* format) { format_ = format ? format : ""; }

 private:
  friend class Logger;

  struct Holder {
    LogTargetInterface table;
    LogTarget* owner;
  };

  Holder holder_;
  std::atomic<bool> registered_{false};
  Platform::RecursiveLock lock_;
  std::atomic<std::int32_t> level_{kLogWarn};
  std::atomic<std::uint64_t> included_{0};
  std::atomic<std::uint64_t> excluded_{0};
  std::string format_ = "#D| #L| #G| #M";
};

// A target that writes formatted lines to a console.
class BaseConsoleLogTarget : public LogTarget {
 public:
  const char* GetName() const override { return "BaseConsoleLogTarget"; }
  bool Write(const LogRecord& record) override;
  // Flushes the console.
  virtual void Flush() = 0;

 protected:
  // Writes one formatted line, under the target's lock.
  virtual void WriteLine(const char* line) = 0;
};

class StdErrLogTarget final : public BaseConsoleLogTarget {
 public:
  StdErrLogTarget();
  const char* GetName() const override { return "StdErrLogTarget"; }
  void Flush() override { std::fflush(stderr); }

 protected:
  void WriteLine(const char* line) override { std::fputs(line, stderr); }
};

class StdOutLogTarget final : public BaseConsoleLogTarget {
 public:
  StdOutLogTarget();
  const char* GetName() const override { return "StdOutLogTarget"; }
  void Flush() override { std::fflush(stdout); }
  void SetFlushAfterWrite(bool flush) { flushAfterWrite_ = flush; }

 protected:
  void WriteLine(const char* line) override;

 private:
  bool flushAfterWrite_ = false;
};

class DebuggerConsoleLogTarget final : public BaseConsoleLogTarget {
 public:
  DebuggerConsoleLogTarget();
  const char* GetName() const override { return "DebuggerConsoleLogTarget"; }
  void Flush() override {}

 protected:
  void WriteLine(const char* line) override { Platform::WriteDebuggerConsole(line); }
};

}  // namespace Corvan

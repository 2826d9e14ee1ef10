// The LoggerInterface table: the logger reached through plain functions.
#include <cstdio>

#include "logging/Logger.h"
#include "logging/LoggerState.h"
#include "platform/Platform.h"

namespace Corvan {

namespace {

std::int32_t Version() { return 1; }
void AddRef() { Logger::AddRef(); }
void Release() { Logger::Release(); }

void SetMinLevel(std::int32_t level) {
  if (Logger* logger = Logger::Instance()) logger->SetMinLevel(level);
}

std::int32_t GetMinLevel() {
  Logger* logger = Logger::Instance();
  return logger ? logger->minLevel() : kLogWarn;
}

void SetExcluded(std::uint64_t mask) {
  if (Logger* logger = Logger::Instance()) logger->SetExcludedCategories(mask);
}

std::uint64_t GetExcluded() {
  Logger* logger = Logger::Instance();
  return logger ? logger->excludedCategories() : LogCategory::XTR;
}

void Disable() {
  if (Logger* logger = Logger::Instance()) logger->SetDisabled(true);
}

void Enable() {
  if (Logger* logger = Logger::Instance()) logger->SetDisabled(false);
}

void SetReserved() {
  if (Logger* logger = Logger::Instance()) logger->SetReservedFlag(true);
}

void ClearReserved() {
  if (Logger* logger = Logger::Instance()) logger->SetReservedFlag(false);
}

void RegisterTarget(LogTargetInterface* target) {
  Logger* logger = Logger::Instance();
  if (logger && target) logger->AppendTarget(target);
}

void UnregisterTarget(LogTargetInterface* target) {
  if (Logger* logger = Logger::Existing()) logger->RemoveTarget(target);
}

LogTargetInterface* FindTarget(const char* name) {
  Logger* logger = Logger::Instance();
  return logger ? logger->FindTarget(name) : nullptr;
}

LogTargetInterface* StdOutTarget() {
  Logger* logger = Logger::Instance();
  return logger ? logger->stdOut().Interface() : nullptr;
}

LogTargetInterface* StdErrTarget() {
  Logger* logger = Logger::Instance();
  return logger ? logger->stdErr().Interface() : nullptr;
}

LogTargetInterface* DebuggerTarget() {
  Logger* logger = Logger::Instance();
  return logger ? logger->debuggerConsole().Interface() : nullptr;
}

std::size_t FormatRecordSlot(char* buffer, std::size_t size, const char* format,
                             const LogRecord* record) {
  if (record == nullptr) return 0;
  return FormatRecord(buffer, size, format, *record);
}

const char* ExecutableName() {
  Logger* logger = Logger::Instance();
  return logger ? logger->executableName() : "<unknown>";
}

void LocalTimeRecord(LogRecord* record) {
  if (record == nullptr) return;
  const Platform::LocalTime now = Platform::GetLocalTime();
  record->year = now.year;
  record->month = now.month;
  record->day = now.day;
  record->hour = now.hour;
  record->minute = now.minute;
  record->second = now.second;
  record->millisecond = now.millisecond;
}

std::size_t TimestampSlot(char* buffer, std::size_t size, const LogRecord* time) {
  return time ? FormatTimestamp(buffer, size, *time) : 0;
}

std::size_t FileTimestampSlot(char* buffer, std::size_t size, const LogRecord* time) {
  return time ? FormatFileTimestamp(buffer, size, *time) : 0;
}

constexpr LoggerInterface kLoggerTable = {
    Version,       AddRef,         Release,          SetMinLevel,      GetMinLevel,
    SetExcluded,   GetExcluded,    Disable,          Enable,           SetReserved,
    ClearReserved, RegisterTarget, UnregisterTarget, FindTarget,       StdOutTarget,
    StdErrTarget,  DebuggerTarget, RegisterCategory, FormatCategories, FormatRecordSlot,
    GetLevelName,  ExecutableName, LocalTimeRecord,  TimestampSlot,    FileTimestampSlot,
    LogV,
};

}  // namespace

const LoggerInterface* GetLoggerInterface() { return &kLoggerTable; }

void GetLocalTimeRecord(LogRecord& record) { LocalTimeRecord(&record); }

}  // namespace Corvan

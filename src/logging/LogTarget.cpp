#include "logging/LogTarget.h"

#include <mutex>

#include "logging/Logger.h"
#include "logging/LoggerState.h"

namespace Corvan {

namespace {

// The slots of every target's table; each finds its target from the table.
std::int32_t TargetVersion(LogTargetInterface*) { return 1; }

void TargetSetLevel(LogTargetInterface* self, std::int32_t level) {
  if (LogTarget* target = LogTarget::FromInterface(self)) target->SetLevel(level);
}

std::int32_t TargetGetLevel(LogTargetInterface* self) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target ? target->level() : 0;
}

void TargetSetMasks(LogTargetInterface* self, std::uint64_t included, std::uint64_t excluded) {
  if (LogTarget* target = LogTarget::FromInterface(self))
    target->SetCategoryMasks(included, excluded);
}

std::uint64_t TargetIncluded(LogTargetInterface* self) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target ? target->includedCategories() : 0;
}

std::uint64_t TargetExcluded(LogTargetInterface* self) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target ? target->excludedCategories() : 0;
}

const char* TargetName(LogTargetInterface* self) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target ? target->GetName() : "";
}

const char* TargetFormat(LogTargetInterface* self, const LogRecord* record) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target ? target->GetFormat(record) : "";
}

void TargetRegister(LogTargetInterface* self) {
  if (LogTarget* target = LogTarget::FromInterface(self)) target->Register();
}

void TargetUnregister(LogTargetInterface* self) {
  if (LogTarget* target = LogTarget::FromInterface(self)) target->LogTarget::Unregister();
}

bool TargetIsRegistered(LogTargetInterface* self) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target && target->IsRegistered();
}

bool TargetWrite(LogTargetInterface* self, const LogRecord* record) {
  LogTarget* target = LogTarget::FromInterface(self);
  return target && record && target->Write(*record);
}

constexpr LogTargetInterface kTargetTable = {
    TargetVersion,  TargetSetLevel,   TargetGetLevel,     TargetSetMasks,
    TargetIncluded, TargetExcluded,   TargetName,         TargetFormat,
    TargetRegister, TargetUnregister, TargetIsRegistered, TargetWrite,
};

}  // namespace

LogTarget::LogTarget() : holder_{kTargetTable, this} {}

LogTarget::~LogTarget() { LogTarget::Unregister(); }

LogTarget* LogTarget::FromInterface(LogTargetInterface* table) {
  // Every table a LogTarget hands out is the first member of its holder.
  return table ? reinterpret_cast<Holder*>(table)->owner : nullptr;
}

void LogTarget::Unregister() {
  if (!registered_.exchange(false)) return;
  if (Logger* logger = Logger::Existing()) logger->RemoveTarget(Interface());
}

void LogTarget::Register() {
  if (registered_.exchange(true)) return;
  if (Logger* logger = Logger::Instance()) logger->AppendTarget(Interface());
}

const char* LogTarget::GetFormat(const LogRecord*) const { return format_.c_str(); }

void LogTarget::SetLevel(std::int32_t level) {
  std::lock_guard guard(lock_);
  level_.store(level);
}

void LogTarget::SetCategoryMasks(std::uint64_t included, std::uint64_t excluded) {
  std::lock_guard guard(lock_);
  included_.store(included & ~excluded);
  excluded_.store(excluded);
}

void LogTarget::Configure(const LogTargetSettings& settings) {
  Unregister();
  level_.store(settings.level);
  included_.store(settings.includedCategories);
  excluded_.store(settings.excludedCategories);
  format_ = settings.format ? settings.format : "";
  Register();
  holder_.table.setCategoryMasks(Interface(), settings.includedCategories,
                                 settings.excludedCategories);
}

bool LogTarget::Accepts(LogTargetInterface* table, const LogRecord& record) {
  if (record.level < table->getLevel(table)) return false;
  if (record.categories == 0) return true;
  if ((record.categories & table->getExcludedCategories(table)) != 0) return false;
  const std::uint64_t included = table->getIncludedCategories(table);
  return included == 0 || (record.categories & included) != 0;
}

// ---- Console targets --------------------------------------------------------

bool BaseConsoleLogTarget::Write(const LogRecord& record) {
  char line[4096];
  FormatRecord(line, sizeof line, GetFormat(&record), record);
  std::lock_guard guard(lock());
  WriteLine(line);
  return true;
}

namespace {
constexpr const char* kConsoleFormat = "#E(#T): #L| #M";
}  // namespace

StdErrLogTarget::StdErrLogTarget() {
  SetFormat(kConsoleFormat);
  SetCategoryMasks(LogCategory::DBG, LogCategory::GEN);
}

StdOutLogTarget::StdOutLogTarget() {
  SetFormat("#M");
  SetCategoryMasks(LogCategory::GEN, LogCategory::DBG);
}

void StdOutLogTarget::WriteLine(const char* line) {
  std::fputs(line, stdout);
  if (flushAfterWrite_) std::fflush(stdout);
}

DebuggerConsoleLogTarget::DebuggerConsoleLogTarget() {
  SetFormat(kConsoleFormat);
  SetCategoryMasks(LogCategory::DBG, 0);
}

}  // namespace Corvan

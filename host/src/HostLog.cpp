#include "HostLog.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>

#include "abi/HostAbi.h"
#include "logging/Diagnostics.h"

namespace Corvan::Host {

namespace {
std::mutex gLogLock;
}  // namespace

const char* LogLevelName(std::int32_t level) {
  switch (level) {
    case LOG_LEVEL_OKAY: return "OKAY";
    case LOG_LEVEL_WARN: return "WARN";
    case LOG_LEVEL_ERROR: return "ERROR";
    case LOG_LEVEL_ALWAYS: return "ALWAYS";
    default: return "?";
  }
}

void WriteLogLine(std::string_view source, std::int32_t level, std::string_view message) {
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r')) {
    message.remove_suffix(1);
  }
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
  const std::string time = FormatIso8601Utc(static_cast<std::uint64_t>(millis));
  std::lock_guard<std::mutex> lock(gLogLock);
  std::fprintf(stderr, "%s %.*s %-6s %.*s\n", time.c_str(), static_cast<int>(source.size()),
               source.data(), LogLevelName(level), static_cast<int>(message.size()),
               message.data());
  std::fflush(stderr);
}

void HostLog(std::int32_t level, const char* format, ...) {
  char buffer[2048];
  va_list arguments;
  va_start(arguments, format);
  std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  WriteLogLine("kyn-host", level, buffer);
}

}  // namespace Corvan::Host

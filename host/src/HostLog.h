// HostLog: the host's own log lines and the plugin's (HostApi slot 9), one
// line each on standard error with its level:
//
//   2026-12-08T19:30:00.123Z kyn-host WARN  settings file unreadable: ...
//   2026-12-08T19:30:00.456Z kyn-test OKAY  started
//
// Lines from several threads never interleave.
#pragma once

#include <cstdint>
#include <string_view>

namespace Corvan::Host {

// The name of a LOG_LEVEL_* code ("OKAY", "WARN", "ERROR", "ALWAYS"), "?"
// for an unknown one.
const char* LogLevelName(std::int32_t level);

// Writes one line for `source` at `level`; a trailing line break of the
// message is dropped.
void WriteLogLine(std::string_view source, std::int32_t level, std::string_view message);

// Writes a host line, printf-style.
void HostLog(std::int32_t level, const char* format, ...) __attribute__((format(printf, 2, 3)));

}  // namespace Corvan::Host

// The module's event-tracing providers.
//
// The module registers four providers when it is loaded and unregisters
// them when it is unloaded. Each provider keeps a state record that its
// enable callback maintains: the session's level and keywords and one
// enabled bit per event of the provider, so that writing an event costs
// nothing while no session listens. The only event the module writes is
// "Main thread" of the second provider, once at load.
//
// Where the system has no event tracing (POSIX), nothing is registered and
// every bit stays clear.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "platform/EventTracing.h"

namespace Corvan {

// One event a provider can write: the level it is written at (0 is every
// level) and its keyword mask (0 matches every session).
struct TraceEventInfo {
  std::uint8_t level = 0;
  std::uint64_t keywordMask = 0;
};

// The most events one provider can have (one enabled bit each).
inline constexpr std::size_t kMaxTraceEvents = 64;

// A provider's state record, kept by its enable callback.
struct TraceProviderState {
  constexpr TraceProviderState() = default;
  constexpr TraceProviderState(const TraceEventInfo* eventTable, std::size_t tableSize)
      : events(eventTable), eventCount(tableSize) {}

  Platform::EventProviderRegistration registration;  // the handle, 0 while not registered
  bool enabled = false;
  std::uint8_t level = 0;
  std::uint64_t matchAnyKeyword = 0;
  std::uint64_t matchAllKeyword = 0;
  const TraceEventInfo* events = nullptr;
  std::size_t eventCount = 0;                   // at most kMaxTraceEvents
  std::atomic<std::uint64_t> enabledEvents{0};  // bit i: event i is enabled
};

// The number of providers the module registers.
inline constexpr std::size_t kTraceProviderCount = 4;

// The providers' GUIDs, in registration order.
extern const Platform::EventGuid kTraceProviderGuids[kTraceProviderCount];

// The provider of the "Main thread" event, as an index into the GUIDs.
inline constexpr std::size_t kThreadTraceProvider = 1;

// Applies a session's control code to a provider's state: disable clears
// it, enable stores level and keywords and sets each event's bit by the
// level and keyword rule, other codes change nothing.
void ApplyTraceControl(TraceProviderState& state, std::uint32_t controlCode, std::uint8_t level,
                       std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword);

// Whether event `index` of a provider is enabled (false for an unknown one).
bool IsTraceEventEnabled(const TraceProviderState& state, std::size_t index);

// The state record of the module's provider `index` (below kTraceProviderCount).
TraceProviderState& GetTraceProvider(std::size_t index);

// Writes the "Main thread" event with the calling thread's id when a session
// enabled it; returns whether it was written.
bool WriteMainThreadEvent();

}  // namespace Corvan

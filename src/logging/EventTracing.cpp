// Registration of the module's providers and their enable callback.
#include "logging/EventTracing.h"

#include <cstring>
#include <iterator>

#include "platform/Platform.h"

namespace Corvan {

const Platform::EventGuid kTraceProviderGuids[kTraceProviderCount] = {
    {0x2F9EFE86, 0x4AF7, 0x4F37, {0xA4, 0x0F, 0x94, 0xB9, 0x09, 0xA1, 0x57, 0xD6}},
    {0xEA08C559, 0x95A8, 0x4AA2, {0xAF, 0xA6, 0x18, 0x73, 0x8E, 0xEC, 0x6D, 0x37}},
    {0x10F6728C, 0xEF92, 0x4BF1, {0x83, 0x97, 0x49, 0xE6, 0x93, 0xA6, 0xEB, 0x74}},
    {0x46DD7F96, 0x60CB, 0x416B, {0x80, 0x85, 0xDA, 0x5C, 0xD8, 0xF4, 0x91, 0xDD}},
};

namespace {

// "Main thread": id 103, task 2, opcode 14, keyword 1, written at the
// information level (4) so that sessions asking only for warnings and
// errors do not receive it.
constexpr std::uint8_t kMainThreadLevel = 4;
constexpr TraceEventInfo kThreadProviderEvents[] = {{kMainThreadLevel, 1}};
constexpr std::size_t kMainThreadEvent = 0;

Platform::EventDescription MainThreadDescription() {
  Platform::EventDescription event;
  event.id = 103;
  event.task = 2;
  event.opcode = 14;
  event.level = kMainThreadLevel;
  event.keyword = kThreadProviderEvents[kMainThreadEvent].keywordMask;
  return event;
}

// Constant-initialised, and trivially destroyed, so the records are in place
// before any registration and still there when the last unregistration runs.
constinit TraceProviderState g_providers[kTraceProviderCount] = {
    {},
    {kThreadProviderEvents, std::size(kThreadProviderEvents)},
    {},
    {},
};

// Kept as the tracing state's clock rate, read once at load.
constinit std::uint64_t g_counterFrequency = 0;

bool EventMatches(const TraceProviderState& state, const TraceEventInfo& event) {
  const bool levelMatches = state.level == 0 || event.level <= state.level;
  const std::uint64_t mask = event.keywordMask;
  const bool keywordsMatch = mask == 0 || ((mask & state.matchAnyKeyword) != 0 &&
                                           (mask & state.matchAllKeyword) == state.matchAllKeyword);
  return levelMatches && keywordsMatch;
}

void OnTraceControl(std::uint32_t controlCode, std::uint8_t level, std::uint64_t matchAnyKeyword,
                    std::uint64_t matchAllKeyword, void* context) {
  if (context == nullptr) return;
  ApplyTraceControl(*static_cast<TraceProviderState*>(context), controlCode, level, matchAnyKeyword,
                    matchAllKeyword);
}

// A missing text is written as "NULL", always with its terminator.
Platform::EventDataItem TextItem(const char* text) {
  if (text == nullptr) text = "NULL";
  return {text, static_cast<std::uint32_t>(std::strlen(text) + 1)};
}

void RegisterProviders() {
  g_counterFrequency = Platform::HighResolutionFrequency();
  if (!Platform::LoadEventTracing()) return;
  for (std::size_t i = 0; i < kTraceProviderCount; ++i) {
    TraceProviderState& state = g_providers[i];
    state.registration.callback = OnTraceControl;
    state.registration.context = &state;
    // A refused registration leaves the provider off; there is no one to tell.
    (void)Platform::RegisterEventProvider(kTraceProviderGuids[i], state.registration);
  }
  WriteMainThreadEvent();
}

void UnregisterProviders() {
  for (TraceProviderState& state : g_providers) {
    Platform::UnregisterEventProvider(state.registration);
  }
}

// Ties the registration to the module's load and unload.
struct ProviderRegistration {
  ProviderRegistration() { RegisterProviders(); }
  ~ProviderRegistration() { UnregisterProviders(); }
  ProviderRegistration(const ProviderRegistration&) = delete;
  ProviderRegistration& operator=(const ProviderRegistration&) = delete;
};

const ProviderRegistration g_registration;

}  // namespace

void ApplyTraceControl(TraceProviderState& state, std::uint32_t controlCode, std::uint8_t level,
                       std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword) {
  if (controlCode == Platform::kEventControlDisable) {
    state.enabled = false;
    state.level = 0;
    state.matchAnyKeyword = 0;
    state.matchAllKeyword = 0;
    state.enabledEvents.store(0);
    return;
  }
  if (controlCode != Platform::kEventControlEnable) return;
  state.enabled = true;
  state.level = level;
  state.matchAnyKeyword = matchAnyKeyword;
  state.matchAllKeyword = matchAllKeyword;
  std::uint64_t bits = 0;
  const std::size_t count = state.eventCount < kMaxTraceEvents ? state.eventCount : kMaxTraceEvents;
  for (std::size_t i = 0; i < count; ++i) {
    if (EventMatches(state, state.events[i])) bits |= std::uint64_t{1} << i;
  }
  state.enabledEvents.store(bits);
}

bool IsTraceEventEnabled(const TraceProviderState& state, std::size_t index) {
  return index < kMaxTraceEvents && (state.enabledEvents.load() >> index & 1u) != 0;
}

TraceProviderState& GetTraceProvider(std::size_t index) { return g_providers[index]; }

bool WriteMainThreadEvent() {
  const TraceProviderState& state = g_providers[kThreadTraceProvider];
  if (!IsTraceEventEnabled(state, kMainThreadEvent)) return false;
  const std::uint32_t threadId = Platform::CurrentThreadId();
  const Platform::EventDataItem items[] = {{&threadId, sizeof threadId}, TextItem("Main thread")};
  return Platform::WriteEvent(state.registration, MainThreadDescription(), items, std::size(items));
}

}  // namespace Corvan

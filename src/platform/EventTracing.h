// The operating system's event tracing, as far as the framework uses it:
// load the tracing functions, register a provider by GUID with an enable
// callback, write an event made of data items, unregister the provider.
//
// win32/ loads EventRegister, EventWrite and EventUnregister from
// Advapi32.dll at run time; posix/ has no tracing, so loading fails there and
// nothing is ever registered.
//
//   if (LoadEventTracing()) {
//     registration.callback = OnEnable;
//     registration.context = &state;
//     if (RegisterEventProvider(guid, registration)) ...
//   }
#pragma once

#include <cstddef>
#include <cstdint>

namespace Corvan::Platform {

// A GUID in the layout of the Windows GUID record.
struct EventGuid {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// The control codes an enable callback receives.
inline constexpr std::uint32_t kEventControlDisable = 0;
inline constexpr std::uint32_t kEventControlEnable = 1;
inline constexpr std::uint32_t kEventControlCaptureState = 2;

// Called by the system when a tracing session enables or disables the
// provider, possibly on a thread of its own and already inside the
// registration.
using EventEnableCallback = void (*)(std::uint32_t controlCode, std::uint8_t level,
                                     std::uint64_t matchAnyKeyword, std::uint64_t matchAllKeyword,
                                     void* context);

// One registered provider. The record must stay in place from registration
// until it is unregistered: the system's callbacks reach it by address.
struct EventProviderRegistration {
  std::uint64_t handle = 0;  // 0 while not registered
  EventEnableCallback callback = nullptr;
  void* context = nullptr;  // passed to the callback
};

// The fixed fields of one event.
struct EventDescription {
  std::uint16_t id = 0;
  std::uint8_t version = 0;
  std::uint8_t channel = 0;
  std::uint8_t level = 0;
  std::uint8_t opcode = 0;
  std::uint16_t task = 0;
  std::uint64_t keyword = 0;
};

// One piece of an event's payload; the bytes are copied by the write.
struct EventDataItem {
  const void* data = nullptr;
  std::uint32_t size = 0;
};

// Loads the tracing functions once; false where tracing is unavailable.
[[nodiscard]] bool LoadEventTracing();

// Registers a provider with the registration's callback and context and
// stores its handle; false when tracing is unavailable or the system refuses.
[[nodiscard]] bool RegisterEventProvider(const EventGuid& guid,
                                         EventProviderRegistration& registration);

// Writes one event of a registered provider; false when it was not written.
bool WriteEvent(const EventProviderRegistration& registration, const EventDescription& event,
                const EventDataItem* items, std::size_t count);

// Unregisters a provider and clears its handle; nothing when not registered.
void UnregisterEventProvider(EventProviderRegistration& registration);

}  // namespace Corvan::Platform

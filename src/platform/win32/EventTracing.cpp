// Event tracing for Windows through Advapi32.dll, loaded at run time so that
// the module starts also where the functions are missing.
#include "platform/EventTracing.h"

// evntprov.h builds on the types of windows.h, so the order must stay.
// clang-format off
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#include <evntprov.h>
// clang-format on

#include <cstring>

namespace Corvan::Platform {

namespace {

static_assert(sizeof(EventGuid) == sizeof(GUID), "EventGuid must have the layout of GUID");

using EventRegisterFunction = ULONG(WINAPI*)(LPCGUID providerId, PENABLECALLBACK enableCallback,
                                             PVOID callbackContext, PREGHANDLE handle);
using EventWriteFunction = ULONG(WINAPI*)(REGHANDLE handle, PCEVENT_DESCRIPTOR event, ULONG count,
                                          PEVENT_DATA_DESCRIPTOR data);
using EventUnregisterFunction = ULONG(WINAPI*)(REGHANDLE handle);

struct TracingFunctions {
  EventRegisterFunction eventRegister = nullptr;
  EventWriteFunction eventWrite = nullptr;
  EventUnregisterFunction eventUnregister = nullptr;

  bool loaded() const {
    return eventRegister != nullptr && eventWrite != nullptr && eventUnregister != nullptr;
  }
};

// The library is never freed: registered providers keep calling into it.
TracingFunctions LoadFunctions() {
  TracingFunctions functions;
  const HMODULE library = LoadLibraryW(L"Advapi32.dll");
  if (library == nullptr) return functions;
  // A FARPROC goes through void* to the real type to keep the cast explicit.
  functions.eventRegister = reinterpret_cast<EventRegisterFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "EventRegister")));
  functions.eventWrite = reinterpret_cast<EventWriteFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "EventWrite")));
  functions.eventUnregister = reinterpret_cast<EventUnregisterFunction>(
      reinterpret_cast<void*>(GetProcAddress(library, "EventUnregister")));
  return functions;
}

const TracingFunctions& Functions() {
  static const TracingFunctions functions = LoadFunctions();
  return functions;
}

// The system calls back with its own calling convention and arguments; the
// registration record, given as the context, says whom to tell.
void NTAPI EnableTrampoline(LPCGUID, ULONG controlCode, UCHAR level, ULONGLONG matchAnyKeyword,
                            ULONGLONG matchAllKeyword, PEVENT_FILTER_DESCRIPTOR, PVOID context) {
  const auto* registration = static_cast<const EventProviderRegistration*>(context);
  if (registration == nullptr || registration->callback == nullptr) return;
  registration->callback(controlCode, level, matchAnyKeyword, matchAllKeyword,
                         registration->context);
}

// The framework's events have a few items; more is a caller's mistake.
constexpr std::size_t kMaxDataItems = 16;

}  // namespace

bool LoadEventTracing() { return Functions().loaded(); }

bool RegisterEventProvider(const EventGuid& guid, EventProviderRegistration& registration) {
  registration.handle = 0;
  if (!LoadEventTracing()) return false;
  GUID providerId;
  std::memcpy(&providerId, &guid, sizeof providerId);
  REGHANDLE handle = 0;
  if (Functions().eventRegister(&providerId, EnableTrampoline, &registration, &handle) !=
      ERROR_SUCCESS) {
    return false;
  }
  registration.handle = handle;
  return true;
}

bool WriteEvent(const EventProviderRegistration& registration, const EventDescription& event,
                const EventDataItem* items, std::size_t count) {
  if (registration.handle == 0 || !LoadEventTracing() || count > kMaxDataItems) return false;
  EVENT_DESCRIPTOR descriptor;
  EventDescCreate(&descriptor, event.id, event.version, event.channel, event.level, event.task,
                  event.opcode, event.keyword);
  EVENT_DATA_DESCRIPTOR data[kMaxDataItems];
  for (std::size_t i = 0; i < count; ++i) {
    EventDataDescCreate(&data[i], items[i].data, items[i].size);
  }
  return Functions().eventWrite(registration.handle, &descriptor, static_cast<ULONG>(count),
                                count == 0 ? nullptr : data) == ERROR_SUCCESS;
}

void UnregisterEventProvider(EventProviderRegistration& registration) {
  if (registration.handle == 0) return;
  if (LoadEventTracing()) Functions().eventUnregister(registration.handle);
  registration.handle = 0;
}

}  // namespace Corvan::Platform

// The builtin types and event every BindingRegistry starts with.
//
// The plugin SDK describes events, callbacks and asynchronous operations
// with these records. InitializeBuiltins registers them after the help
// types (BindingHelpProvider.h), declares the event "OnCallback" and marks
// the registry initialised:
//
//   BindingRegistry registry;
//   InitializeBuiltins(registry);
//   registry.FindType("BindingCallbackEvent");   // registered
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/BindingProperty.h"
#include "binding/StaticType.h"

namespace Corvan {

class BindingRegistry;

struct BindingAsyncState {
  enum Type : std::int32_t {
    None = 0,
    Running = 1,
    Cancelling = 2,
    Cancelled = 3,
    Succeeded = 4,
    Failed = 5,
  };
};

struct BindingGenericEvent {
  BindingProperty data;
};

struct BindingCallbackEvent {
  std::uint32_t id = 0;
  std::vector<BindingProperty> parameters;
};

struct BindingGenericAsyncEvent {
  std::uint32_t asyncToken = 0;
  BindingProperty data;
};

struct BindingAsyncFailureEvent {
  std::uint32_t asyncToken = 0;
  std::string error;
};

struct BindingAsyncCancelEvent {
  std::uint32_t asyncToken = 0;
};

// Clears a registry initialised before, then registers the help types, the
// builtin types and "OnCallback", and marks the registry initialised.
void InitializeBuiltins(BindingRegistry& registry);

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::BindingAsyncState::Type, "enum Corvan::BindingAsyncState::Type")
KYN_TYPE_TEXT(Corvan::BindingGenericEvent, "struct Corvan::BindingGenericEvent")
KYN_TYPE_TEXT(Corvan::BindingCallbackEvent, "struct Corvan::BindingCallbackEvent")
KYN_TYPE_TEXT(Corvan::BindingGenericAsyncEvent, "struct Corvan::BindingGenericAsyncEvent")
KYN_TYPE_TEXT(Corvan::BindingAsyncFailureEvent, "struct Corvan::BindingAsyncFailureEvent")
KYN_TYPE_TEXT(Corvan::BindingAsyncCancelEvent, "struct Corvan::BindingAsyncCancelEvent")

#include "binding/BuiltinTypes.h"

#include "binding/BindingHelpProvider.h"
#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"

namespace Corvan {

namespace {

constexpr const char* kTokenText = "Asynchronous operation token";
constexpr const char* kEventDataText = "Event data";

void RegisterAsyncState(BindingRegistry& registry) {
  TypeBuilder builder = registry.RegisterType<BindingAsyncState::Type>("BindingAsyncState");
  if (builder.existing()) return;
  builder.AddEnumerator("None", BindingAsyncState::None, "Invalid state")
      .AddEnumerator("Running", BindingAsyncState::Running, "The operation is in flight")
      .AddEnumerator("Cancelling", BindingAsyncState::Cancelling,
                     "A request to cancel the operation has been made")
      .AddEnumerator("Cancelled", BindingAsyncState::Cancelled, "The operation was cancelled")
      .AddEnumerator("Succeeded", BindingAsyncState::Succeeded,
                     "The operation completed successfully")
      .AddEnumerator("Failed", BindingAsyncState::Failed, "The operation encountered an error")
      .SetDescription("Possible states of an asynchronous operation.")
      .AddTags({"$builtin", "async"});
}

void RegisterEvents(BindingRegistry& registry) {
  using Generic = BindingGenericEvent;
  registry.RegisterType<Generic>("BindingGenericEvent")
      .AddField("data", kEventDataText, &Generic::data)
      .SetDescription("Represents generic data for an event.")
      .AddTag("$builtin");

  using Callback = BindingCallbackEvent;
  registry.RegisterType<Callback>("BindingCallbackEvent")
      .AddField("id", "ID of the callback being invoked", &Callback::id)
      .AddField("parameters", "Callback parameters", &Callback::parameters)
      .SetDescription("Represents the parameters of a call to a provided callback.")
      .AddTag("$builtin");
}

void RegisterAsyncEvents(BindingRegistry& registry) {
  using GenericAsync = BindingGenericAsyncEvent;
  registry.RegisterType<GenericAsync>("BindingGenericAsyncEvent")
      .AddField("asyncToken", kTokenText, &GenericAsync::asyncToken)
      .AddField("data", kEventDataText, &GenericAsync::data)
      .SetDescription("Represents generic data for an asynchronous event.")
      .AddTags({"$builtin", "async"});

  using Failure = BindingAsyncFailureEvent;
  registry.RegisterType<Failure>("BindingAsyncFailureEvent")
      .AddField("asyncToken", kTokenText, &Failure::asyncToken)
      .AddField("error", "Error message", &Failure::error)
      .SetDescription("Represents a failed asynchronous operation.")
      .AddTags({"$builtin", "async"});

  using Cancel = BindingAsyncCancelEvent;
  registry.RegisterType<Cancel>("BindingAsyncCancelEvent")
      .AddField("asyncToken", kTokenText, &Cancel::asyncToken)
      .SetDescription("Represents a cancelled asynchronous operation.")
      .AddTags({"$builtin", "async"});
}

}  // namespace

void InitializeBuiltins(BindingRegistry& registry) {
  if (registry.IsInitialized()) registry.Clear();
  BindingHelpProvider::RegisterTypes(registry);
  RegisterAsyncState(registry);
  RegisterEvents(registry);
  RegisterAsyncEvents(registry);
  BindingEventDescriptor callback;
  callback.name = "OnCallback";
  callback.payload = TypeRefFor<BindingCallbackEvent>(&registry);
  callback.description = "Fired when a callback is invoked.";
  callback.tags = {"$builtin"};
  static_cast<void>(registry.AddEvent(std::move(callback)));
  registry.MarkInitialized();
}

}  // namespace Corvan

#include "plugin/PluginManagerTypes.h"

#include <utility>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"
#include "plugin/ServiceProxy.h"

namespace Corvan {
namespace {

void RegisterStates(BindingRegistry& registry) {
  registry.RegisterType<PluginManagerState>("PluginManagerState")
      .AddEnumerator("NotReady", 0)
      .AddEnumerator("PluginsInitialized", 1);
  // Fields find their enum descriptor when they are added, so the enums come
  // first.
  registry.RegisterType<PluginManagerResource>("PluginManagerResource")
      .AddField("state", "", &PluginManagerResource::state)
      .AddTag("hclient");
}

void RegisterResourceEvents(BindingRegistry& registry) {
  registry.RegisterType<PluginResourceEventType>("PluginResourceEventType")
      .AddEnumerator("Create", 0)
      .AddEnumerator("Update", 1)
      .AddEnumerator("Delete", 2);
  using Event = PluginResourceEvent;
  registry.RegisterType<Event>("PluginResourceEvent")
      .AddField("uri", "", &Event::uri)
      .AddField("eventType", "", &Event::eventType)
      .AddField("data", "", &Event::data);
}

void RegisterLcdsRecords(BindingRegistry& registry) {
  using Event = PluginLcdsEvent;
  registry.RegisterType<Event>("PluginLcdsEvent")
      .AddField("clientId", "", &Event::clientId)
      .AddField("subtopic", "", &Event::subtopic)
      .AddField("typeName", "", &Event::typeName)
      .AddField("body", "", &Event::body);
  using Response = PluginLcdsResponse;
  registry.RegisterType<Response>("PluginLcdsResponse")
      .AddField("typeName", "", &Response::typeName)
      .AddField("body", "", &Response::body);
}

template <class Payload>
void DeclareEvent(BindingRegistry& registry, const char* name, const char* description) {
  BindingEventDescriptor event;
  event.name = name;
  event.payload = TypeRefFor<Payload>(&registry);
  event.description = description;
  static_cast<void>(registry.AddEvent(std::move(event)));
}

}  // namespace

void RegisterPluginManagerTypes(BindingRegistry& registry) {
  RegisterStates(registry);
  RegisterResourceEvents(registry);
  RegisterLcdsRecords(registry);
  RegisterServiceProxyResponse(registry);

  using Proxy = PluginServiceProxyResponse;
  DeclareEvent<PluginResourceEvent>(registry, "OnJsonApiEvent",
                                    "Fired when a resource is changed.");
  DeclareEvent<PluginLcdsEvent>(registry, "OnLcdsEvent",
                                "Fired when a message is received over the LCDS connection.");
  DeclareEvent<Proxy>(registry, "OnServiceProxyUuidEvent",
                      "Fired when a uuid-based service proxy message is received.");
  DeclareEvent<Proxy>(registry, "OnServiceProxyMethodEvent",
                      "Fired when a method-based service proxy message is received.");
  DeclareEvent<Proxy>(registry, "OnServiceProxyAsyncEvent",
                      "Fired when an async service proxy message is received.");
}

}  // namespace Corvan

// PluginBase: what every plugin of the host is made of. A concrete plugin
// derives from it, declares its records and routes in RegisterApi and starts
// its work in OnInitialize:
//
//   class MyPlugin : public PluginBase {
//     void RegisterApi() override {
//       router().Get("/my-plugin/v1/items", this, &MyPlugin::GetItems);
//     }
//     bool OnInitialize() override {
//       SubscribeToResource<Settings>("/kyn-settings/v1/local/x",
//           [this](const std::string&, PluginResourceEventType, const Settings& s) { ... });
//       return true;
//     }
//   };
//
// The export hands a new plugin object to LoadPlugin (PluginEntry.h), which
// registers it and fills the host's load block; from then on the host owns
// the object and ends it through the Shutdown callback.
//
// Events: Subscribe counts subscriptions per event name and subscribes with
// the host at the first one; delivered resource events reach the handler of
// their exact path and those of the matching "*" patterns. Publishing sends a
// resource event under its path's event name and under "OnJsonApiEvent".
//
// Threads: the host may call in on several threads. The subscription tables
// and the service proxy tables carry their own locks, never held while a
// handler or the host runs; everything else a derived plugin keeps is its
// own to protect.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingRegistry.h"
#include "binding/FlatBlock.h"
#include "binding/NativeCodec.h"
#include "logging/Diagnostics.h"
#include "plugin/ApiVersion.h"
#include "plugin/EndpointClient.h"
#include "plugin/EventSubscriptions.h"
#include "plugin/PluginLogTarget.h"
#include "plugin/PluginManagerTypes.h"
#include "plugin/PluginName.h"
#include "plugin/ServiceProxy.h"
#include "plugin/TelemetrySink.h"
#include "routing/Router.h"

namespace Corvan {

// A subscriber's handler for the typed events of one resource.
template <class T>
using TypedResourceHandler =
    std::function<void(const std::string& uri, PluginResourceEventType type, const T& value)>;

// The flags of the two kinds of subscriptions made with the host.
inline constexpr std::uint32_t kResourceEventFlag = 0;
inline constexpr std::uint32_t kServiceProxyEventFlag = 1;

class PluginBase {
 public:
  PluginBase();
  PluginBase(const PluginBase&) = delete;
  PluginBase& operator=(const PluginBase&) = delete;

  // Counts a subscription to the event name of a path; the first one
  // registers the resource dispatcher for that name with the host.
  virtual void Subscribe(const std::string& path);
  // Drops one; the last one unsubscribes the name with the host.
  virtual void Unsubscribe(const std::string& path);
  virtual ~PluginBase();
  // Unsubscribes every event name that still has a handler and empties the
  // tables; Shutdown calls it before destroying the plugin.
  virtual void OnShutdown();

  // The host's table, slot by slot; each does nothing without a host.
  virtual void CallEndpoint(HostResponse* out, const HostRequest* request);
  virtual void Reserved1(std::uint32_t word1, std::uint32_t word2);
  virtual void PublishEvent(const HostEvent* event);
  virtual void HostSubscribe(const char* eventName, ConnectionId connection,
                             HostEventCallback callback, void* userData, std::uint32_t flag);
  virtual void HostUnsubscribe(const char* eventName, ConnectionId connection);
  virtual void Reserved5(std::uint32_t word1, std::uint32_t word2, std::uint32_t word3,
                         double number, std::uint32_t word4);
  virtual void RunPendingWork();
  virtual void BeginWait(const char* label, std::uint32_t word);
  virtual void EndWait();

  // The derived plugin's register hook: declares its records and routes.
  virtual void RegisterApi();
  // The derived plugin's start hook: starts its work; false refuses to start.
  virtual bool OnInitialize();

  // Registration at load (steps in PluginEntry.cpp): checks the host's
  // version, names the plugin, registers the types, calls RegisterApi and
  // fills the block. False, with the block's out fields untouched, when the
  // host's version is not compatible.
  [[nodiscard]] bool Register(PluginLoadBlock& block, const char* shortName);
  // Starts the plugin with the host's link; returns OnInitialize's answer.
  [[nodiscard]] bool Initialize(const HostLink* link);
  // Marks the plugin as shutting down and runs OnShutdown.
  void BeginShutdown();

  // Stores the handler of an event name and subscribes it with the host.
  void RegisterEventHandler(const std::string& name, EventHandler handler, std::uint32_t flag);

  // Subscribes to one resource (or, with "*" in the path, to every resource
  // the pattern matches). An exact path is read at once: when the read
  // succeeds the handler sees a Create event before this returns.
  template <class T>
  void SubscribeToResource(const std::string& path, TypedResourceHandler<T> handler);

  // Publishes a change of a resource; returns the conversion's error text,
  // empty when the event was sent.
  template <class T>
  std::string PublishResourceEvent(const std::string& path, PluginResourceEventType type,
                                   const T& record);
  // The same for data already in flat form (a shared snapshot), which goes
  // out as it is.
  std::string PublishResourceEvent(const std::string& path, PluginResourceEventType type,
                                   const SharedFlatValue& data);
  // Sends a resource event under its uri's event name and under `name`
  // (normally "OnJsonApiEvent"); returns the conversion's error text.
  std::string SendEvent(const char* name, const PluginResourceEvent& event);

  // Hands a resource event to the handlers of its path.
  void DispatchResourceEvent(const PluginResourceEvent& event) const;

  // Calls to other endpoints, through the host's table.
  [[nodiscard]] const EndpointClient& endpoints() const { return endpoints_; }
  [[nodiscard]] TelemetrySink* telemetry() const { return telemetry_.get(); }
  [[nodiscard]] ServiceProxy& serviceProxy() { return serviceProxy_; }
  [[nodiscard]] BindingRegistry& registry() { return *registry_; }
  [[nodiscard]] const BindingRegistry& registry() const { return *registry_; }
  [[nodiscard]] Router& router() { return *router_; }
  [[nodiscard]] const PluginName& name() const { return name_; }
  [[nodiscard]] const ApiVersion& hostVersion() const { return hostVersion_; }
  [[nodiscard]] const std::string& userAgent() const { return userAgent_; }
  [[nodiscard]] ConnectionId connectionId() const { return connectionId_; }
  [[nodiscard]] bool shuttingDown() const { return shuttingDown_ != 0; }
  [[nodiscard]] const std::vector<std::string>& tags() const { return tags_; }
  [[nodiscard]] const PluginCallbacks& callbacks() const { return callbacks_; }
  [[nodiscard]] const EventSubscriptions& subscriptions() const { return subscriptions_; }

  // The callbacks the host gets for resource events and service proxy
  // messages; the user data is the plugin.
  static void KYN_CALL OnResourceHostEvent(const HostEvent* event);
  static void KYN_CALL OnServiceProxyHostEvent(const HostEvent* event);

 protected:
  // Replaces the telemetry sink (tests put a recording one in place).
  void SetTelemetrySink(std::unique_ptr<TelemetrySink> sink) { telemetry_ = std::move(sink); }

 private:
  template <class T>
  static ResourceEventHandler MakeTypedHandler(const BindingRegistry* registry,
                                               TypedResourceHandler<T> handler);
  void RegisterServiceProxyHandlers();
  // The tree of a resource event without its data.
  [[nodiscard]] bool ConvertEventShell(BindingResult& converted, const std::string& uri,
                                       PluginResourceEventType type) const;
  // Publishes an event's tree under the uri's event name and under `name`;
  // with `data`, that flat value stands for the tree's "data" field.
  void SendEventTree(const char* name, const std::string& uri, const BindingProperty& tree,
                     const FlatProperty* data = nullptr);
  [[nodiscard]] HostApi* Host() const { return link_ != nullptr ? link_->api : nullptr; }
  // Reads a resource once for a new subscription; false when the read failed.
  [[nodiscard]] bool ReadResource(const std::string& path, PluginResourceEvent& out) const;

  EventSubscriptions subscriptions_;
  ServiceProxy serviceProxy_;
  ConnectionId connectionId_ = 0;
  std::string userAgent_;
  std::unique_ptr<TelemetrySink> telemetry_;
  std::uint8_t shuttingDown_ = 0;
  ApiVersion hostVersion_;
  std::unique_ptr<PluginLogTarget> logTarget_;
  PluginName name_;
  std::vector<std::string> tags_;
  std::unique_ptr<BindingRegistry> registry_;
  const HostLink* link_ = nullptr;
  PluginCallbacks callbacks_{};
  const PluginApiDescription* description_ = nullptr;
  // The routes of RegisterApi, and the client of calls to other endpoints.
  std::unique_ptr<Router> router_;
  EndpointClient endpoints_;
};

template <class T>
ResourceEventHandler PluginBase::MakeTypedHandler(const BindingRegistry* registry,
                                                  TypedResourceHandler<T> handler) {
  return [registry, handler = std::move(handler)](const PluginResourceEvent& event) {
    if (event.eventType == PluginResourceEventType::Delete) {
      handler(event.uri, event.eventType, T{});
      return;
    }
    T value{};
    BindingResult result;
    if (!AssignNative(result, value, event.data, "<value>", registry)) {
      DebugTrace("Couldn't convert resource %s to C++ while handling update for URL: %s",
                 StaticType::Name<T>().name, event.uri.c_str());
      return;
    }
    handler(event.uri, event.eventType, value);
  };
}

template <class T>
void PluginBase::SubscribeToResource(const std::string& path, TypedResourceHandler<T> handler) {
  ResourceEventHandler typed = MakeTypedHandler<T>(registry_.get(), std::move(handler));
  const bool pattern = path.find('*') != std::string::npos;
  if (pattern) {
    subscriptions_.AddPatternHandler(path, typed);
  } else {
    subscriptions_.SetResourceHandler(path, typed);
  }
  Subscribe(path);
  if (pattern) return;
  PluginResourceEvent initial;
  if (ReadResource(path, initial)) typed(initial);
}

template <class T>
std::string PluginBase::PublishResourceEvent(const std::string& path, PluginResourceEventType type,
                                             const T& record) {
  // The record is converted straight into the event's "data", so a large
  // record's tree is built once and never copied.
  BindingResult converted;
  if (!ConvertEventShell(converted, path, type)) return converted.ErrorText();
  BindingProperty& data = converted.property.Field("data");
  if (!NativeCodec<T>::Convert(converted, data, record, TypeRefFor<T>(registry_.get()),
                               registry_.get())) {
    DebugTrace("Couldn't convert resource %s for event uri \"%s\"", StaticType::Name<T>().name,
               path.c_str());
    return converted.ErrorText();
  }
  SendEventTree("OnJsonApiEvent", path, converted.property);
  return {};
}

}  // namespace Corvan

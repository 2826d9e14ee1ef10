// ServiceProxy: the plugin's side of service proxy messages, the answers the
// host relays from remote services.
//
//   ServiceProxy proxy;
//   proxy.AddPendingRequest("1234-uuid", [](const PluginServiceProxyResponse& r) { ... });
//   proxy.OnUuidEvent(response);   // stored, then handed to the pending request
//   proxy.Clear();                 // at shutdown
//
// Uuid and method messages are stored under their key until a pending
// request claims them; async messages go to the handler of their key or are
// logged as unhandled. The three tables share one mutex, held also while a
// completion or handler runs; it is recursive so that a completion may add
// the next pending request.
#pragma once

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "binding/StaticType.h"

namespace Corvan {

class BindingRegistry;

// A service proxy message as the host delivers it.
struct PluginServiceProxyResponse {
  std::string uuid;
  std::string serviceName;
  std::string methodName;
  std::string payload;
  std::string status;
  std::string error;
};

// Registers PluginServiceProxyResponse (fields in declaration order).
void RegisterServiceProxyResponse(BindingRegistry& registry);

using ServiceProxyHandler = std::function<void(const PluginServiceProxyResponse&)>;

class ServiceProxy {
 public:
  // The key of a uuid-based message: its uuid.
  static std::string UuidKey(const PluginServiceProxyResponse& response);
  // The key of a method-based or async message: "serviceName.methodName".
  static std::string MethodKey(const PluginServiceProxyResponse& response);

  // Stores a uuid-based message and fulfils the first claimed key.
  void OnUuidEvent(const PluginServiceProxyResponse& response);
  // Stores a method-based message and fulfils the first claimed key.
  void OnMethodEvent(const PluginServiceProxyResponse& response);
  // Hands an async message to its handler, or logs that none is registered.
  void OnAsyncEvent(const PluginServiceProxyResponse& response);

  // Waits for the messages of a key; a later request replaces an earlier one.
  void AddPendingRequest(const std::string& key, ServiceProxyHandler completion);
  // Receives the async messages of a key; a later handler replaces an earlier one.
  void AddAsyncHandler(const std::string& key, ServiceProxyHandler handler);

  // The stored messages of a key, in arrival order.
  std::vector<PluginServiceProxyResponse> ReceivedResponses(const std::string& key) const;
  // Empties the three tables.
  void Clear();

 private:
  void Receive(const std::string& key, const PluginServiceProxyResponse& response);
  void Fulfil();

  mutable std::recursive_mutex mutex_;
  std::map<std::string, ServiceProxyHandler> pending_;
  std::map<std::string, std::vector<PluginServiceProxyResponse>> received_;
  std::map<std::string, ServiceProxyHandler> asyncHandlers_;
};

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::PluginServiceProxyResponse, "struct Corvan::PluginServiceProxyResponse")

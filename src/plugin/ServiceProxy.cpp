#include "plugin/ServiceProxy.h"

#include <utility>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"
#include "logging/Logger.h"

namespace Corvan {

void RegisterServiceProxyResponse(BindingRegistry& registry) {
  using R = PluginServiceProxyResponse;
  registry.RegisterType<R>("PluginServiceProxyResponse")
      .AddField("uuid", "", &R::uuid)
      .AddField("serviceName", "", &R::serviceName)
      .AddField("methodName", "", &R::methodName)
      .AddField("payload", "", &R::payload)
      .AddField("status", "", &R::status)
      .AddField("error", "", &R::error);
}

std::string ServiceProxy::UuidKey(const PluginServiceProxyResponse& response) {
  return response.uuid;
}

std::string ServiceProxy::MethodKey(const PluginServiceProxyResponse& response) {
  return response.serviceName + "." + response.methodName;
}

void ServiceProxy::OnUuidEvent(const PluginServiceProxyResponse& response) {
  Receive(UuidKey(response), response);
  Fulfil();
}

void ServiceProxy::OnMethodEvent(const PluginServiceProxyResponse& response) {
  Receive(MethodKey(response), response);
  Fulfil();
}

void ServiceProxy::OnAsyncEvent(const PluginServiceProxyResponse& response) {
  const std::string key = MethodKey(response);
  std::lock_guard lock(mutex_);
  const auto found = asyncHandlers_.find(key);
  if (found == asyncHandlers_.end() || !found->second) {
    Log(kLogError, LogCategory::DBG,
        "Could not find registered handler for async service proxy event %s", key.c_str());
    return;
  }
  found->second(response);
}

void ServiceProxy::AddPendingRequest(const std::string& key, ServiceProxyHandler completion) {
  std::lock_guard lock(mutex_);
  pending_[key] = std::move(completion);
}

void ServiceProxy::AddAsyncHandler(const std::string& key, ServiceProxyHandler handler) {
  std::lock_guard lock(mutex_);
  asyncHandlers_[key] = std::move(handler);
}

std::vector<PluginServiceProxyResponse> ServiceProxy::ReceivedResponses(
    const std::string& key) const {
  std::lock_guard lock(mutex_);
  const auto found = received_.find(key);
  return found != received_.end() ? found->second : std::vector<PluginServiceProxyResponse>{};
}

void ServiceProxy::Clear() {
  std::lock_guard lock(mutex_);
  pending_.clear();
  received_.clear();
  asyncHandlers_.clear();
}

void ServiceProxy::Receive(const std::string& key, const PluginServiceProxyResponse& response) {
  std::lock_guard lock(mutex_);
  received_[key].push_back(response);
}

void ServiceProxy::Fulfil() {
  std::lock_guard lock(mutex_);
  for (auto entry = received_.begin(); entry != received_.end(); ++entry) {
    const auto request = pending_.find(entry->first);
    if (request == pending_.end()) continue;
    // The tables are settled before the completion runs, so a completion that
    // adds the next request for its key sees no stale entries.
    const std::string key = entry->first;
    ServiceProxyHandler completion = std::move(request->second);
    const PluginServiceProxyResponse response = entry->second.front();
    pending_.erase(request);
    received_.erase(entry);
    if (completion) completion(response);
    Log(kLogAlways, LogCategory::DBG, "Fulfilled service proxy request: %s", key.c_str());
    return;
  }
}

}  // namespace Corvan

#include "PluginFunctions.h"

#include <cstring>

#include "binding/FlatProperty.h"

namespace Corvan::Host {

namespace {

std::string TextOrEmpty(const char* text) { return text != nullptr ? text : ""; }

std::size_t CapturedBytes(const RouteCaptures& captures) {
  std::size_t total = 0;
  for (const auto& [name, value] : captures) total += value.size();
  return total;
}

}  // namespace

PluginFunctions::PluginFunctions(const PluginApiDescription& description)
    : description_(description) {
  for (std::uint32_t i = 0; description.functions != nullptr && i < description.functionCount;
       ++i) {
    const FunctionDescriptor& descriptor = description.functions[i];
    Route route;
    route.descriptor = &descriptor;
    const std::uint32_t method = descriptor.method;
    route.method = method <= HTTP_METHOD_CUSTOM ? method : std::uint32_t{HTTP_METHOD_NONE};
    route.customMethod = TextOrEmpty(descriptor.customMethod);
    route.route = RouteTemplate::Compile(TextOrEmpty(descriptor.routeTemplate));
    routes_.push_back(std::move(route));
  }
}

const FunctionDescriptor* PluginFunctions::Find(std::uint32_t method,
                                                std::string_view customMethod,
                                                std::string_view path) const {
  const std::string_view bare = path.substr(0, path.find('?'));
  const FunctionDescriptor* best = nullptr;
  std::size_t bestBytes = 0;
  for (const Route& route : routes_) {
    if (route.method != HTTP_METHOD_NONE && route.method != method) continue;
    if (route.method == HTTP_METHOD_CUSTOM && route.customMethod != customMethod) continue;
    RouteCaptures captures;
    if (!route.route.Match(bare, captures)) continue;
    if (route.route.IsLiteral()) return route.descriptor;
    const std::size_t bytes = CapturedBytes(captures);
    if (best == nullptr || bytes < bestBytes) {
      best = route.descriptor;
      bestBytes = bytes;
    }
  }
  return best;
}

HeldResponse::HeldResponse() { std::memset(&response_, 0, sizeof response_); }

HeldResponse::HeldResponse(HeldResponse&& other) noexcept : HeldResponse() {
  std::memcpy(&response_, &other.response_, sizeof response_);
  std::memset(&other.response_, 0, sizeof other.response_);
}

HeldResponse& HeldResponse::operator=(HeldResponse&& other) noexcept {
  if (this != &other) {
    Release();
    std::memcpy(&response_, &other.response_, sizeof response_);
    std::memset(&other.response_, 0, sizeof other.response_);
  }
  return *this;
}

void HeldResponse::Release() {
  const HostResponseReleaseFunction release = response_.release;
  if (release != nullptr) release(&response_);
  std::memset(&response_, 0, sizeof response_);
}

void PluginFunctions::Call(const FunctionDescriptor& descriptor, const OwnedRequest& request,
                           ConnectionId caller, const ResponseReader& read) const {
  HeldResponse response = Hold(descriptor, request, caller);
  read(response.get());
}

HeldResponse PluginFunctions::Hold(const FunctionDescriptor& descriptor,
                                   const OwnedRequest& request, ConnectionId caller) const {
  std::vector<HostHeaderPair> headers;
  headers.reserve(request.headers.size());
  for (const auto& [name, value] : request.headers) headers.push_back({name.c_str(), value.c_str()});
  HostRequest host{};
  host.method = request.method;
  host.path = request.path.c_str();
  host.headers = headers.empty() ? nullptr : headers.data();
  host.headerCount = static_cast<std::uint32_t>(headers.size());
  host.bodyContentType = request.contentType.empty() ? nullptr : request.contentType.c_str();
  host.body = request.body.empty() ? nullptr
                                   : reinterpret_cast<const std::uint8_t*>(request.body.data());
  host.bodyLength = static_cast<std::uint32_t>(request.body.size());
  host.callerId = caller;
  host.customMethod = request.customMethod.empty() ? nullptr : request.customMethod.c_str();
  return InvokeHeld(descriptor, host);
}

void PluginFunctions::Invoke(const FunctionDescriptor& descriptor, HostRequest request,
                             const ResponseReader& read) {
  HeldResponse response = InvokeHeld(descriptor, request);
  read(response.get());
}

HeldResponse PluginFunctions::InvokeHeld(const FunctionDescriptor& descriptor,
                                         HostRequest request) {
  request.functionContext = descriptor.function.functionContext;
  HeldResponse response;
  const PluginInvokeFunction invoke = descriptor.invoke;
  if (invoke != nullptr) invoke(&response.get(), &request);
  return response;
}

std::uint32_t HttpStatusOf(const HostResponse& response) {
  const std::uint32_t status = response.statusCode;
  if (status != 0) return status;
  if (response.result.hasError != 0) return 400;
  return ResultValue(response.result).kind == FLAT_NULL ? 204 : 200;
}

std::string ErrorTextOf(const HostResponse& response) {
  return response.result.hasError != 0 ? TextOrEmpty(response.result.error) : std::string();
}

}  // namespace Corvan::Host

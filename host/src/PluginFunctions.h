// PluginFunctions: the plugin's FunctionDescriptors as the host routes to
// them. At start every descriptor's route template is compiled once; a
// request picks the descriptor whose method and template match its path
// (the query cut off), and the call builds the HostRequest, invokes the
// descriptor with a zero-filled response, lets the caller read the response
// and releases it through its own release function exactly once.
//
//   PluginFunctions functions(module.Description());
//   OwnedRequest request{HTTP_METHOD_GET, "/kyn-highlights/v1/highlights?x=1"};
//   const FunctionDescriptor* chosen = functions.Find(request.method, "", request.path);
//   functions.Call(*chosen, request, callerId, [&](const HostResponse& response) { ... });
//
// Matching: a descriptor of method 0 takes every method, one of method 8
// only requests of the same custom method name. A literal template wins at
// once; among templates with variables the match with the fewest captured
// bytes wins, so "/a/b/{id}" beats "/a/{+rest}" for "/a/b/7".
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "abi/HostAbi.h"
#include "routing/RouteTemplate.h"

namespace Corvan::Host {

// A request whose texts the host owns while the call runs.
struct OwnedRequest {
  std::uint32_t method = HTTP_METHOD_GET;
  // The path with its query, as received.
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  // Left null in the HostRequest when empty.
  std::string contentType;
  std::string body;
  std::string customMethod;
};

// A plugin's response the host holds: released through its own release
// function, once, when the holder goes. Until then everything it points to
// stays as the plugin wrote it.
class HeldResponse {
 public:
  HeldResponse();
  ~HeldResponse() { Release(); }
  HeldResponse(HeldResponse&& other) noexcept;
  HeldResponse& operator=(HeldResponse&& other) noexcept;

  const HostResponse& get() const { return response_; }
  HostResponse& get() { return response_; }
  // Releases the response now (nothing when it was released or moved).
  void Release();

 private:
  HostResponse response_;
};

class PluginFunctions {
 public:
  using ResponseReader = std::function<void(const HostResponse&)>;

  explicit PluginFunctions(const PluginApiDescription& description);

  // The descriptor for the request, or null.
  const FunctionDescriptor* Find(std::uint32_t method, std::string_view customMethod,
                                 std::string_view path) const;

  // Invokes the descriptor; `read` sees the filled response before it is
  // released. A stream the response carries is the reader's to release.
  void Call(const FunctionDescriptor& descriptor, const OwnedRequest& request,
            ConnectionId caller, const ResponseReader& read) const;
  // Invokes the descriptor and hands the response over unreleased.
  [[nodiscard]] HeldResponse Hold(const FunctionDescriptor& descriptor, const OwnedRequest& request,
                                  ConnectionId caller) const;
  // The same with a request built by the caller (its function context is
  // replaced by the descriptor's).
  static void Invoke(const FunctionDescriptor& descriptor, HostRequest request,
                     const ResponseReader& read);
  [[nodiscard]] static HeldResponse InvokeHeld(const FunctionDescriptor& descriptor,
                                               HostRequest request);

  const PluginApiDescription& description() const { return description_; }

 private:
  struct Route {
    const FunctionDescriptor* descriptor = nullptr;
    std::uint32_t method = HTTP_METHOD_NONE;
    std::string customMethod;
    RouteTemplate route;
  };

  const PluginApiDescription& description_;
  std::vector<Route> routes_;
};

// The HTTP status of a plugin answer: the response's status when set;
// otherwise 400 for an error, 204 for the empty success result (no value)
// and 200 for a value.
[[nodiscard]] std::uint32_t HttpStatusOf(const HostResponse& response);

// The response's error text, or "" without one.
[[nodiscard]] std::string ErrorTextOf(const HostResponse& response);

}  // namespace Corvan::Host

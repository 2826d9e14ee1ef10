// RouteBinding: everything the dispatcher needs to call one routed
// function, and the function context the host hands back with each request.
//
// The router creates one binding per registered function; it lives, at a
// fixed address, as long as the router. The host receives the address of
// the binding's FunctionContext in the function's descriptor and passes it
// back in HostRequest.functionContext.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "binding/BindingFunctions.h"
#include "routing/FunctionInvoker.h"
#include "routing/RouteTemplate.h"
#include "routing/RouteTypes.h"

namespace Corvan {

class BindingRegistry;
struct RouteBinding;

// The two words that identify a function to the invoke entry.
struct FunctionContext {
  BindingRegistry* registry = nullptr;
  RouteBinding* binding = nullptr;
};
static_assert(sizeof(FunctionContext) == 2 * sizeof(void*), "the context is two words");

struct RouteBinding {
  BindingFunctionDescriptor* function = nullptr;
  std::unique_ptr<FunctionInvoker> invoker;
  std::string routeTemplate;
  // None accepts any method.
  HttpMethod method = HttpMethod::None;
  // Set only with HttpMethod::Custom.
  std::string customMethod;
  std::uint8_t flag = 0;
  // Location of each argument by index; a missing entry is Any.
  std::vector<ArgumentLocation> locations;
  // The compiled route template, or the function name when the template is
  // empty; compiled once, when the template is set.
  RouteTemplate route;
  FunctionContext context;
};

// The route entry a request is matched against.
struct RouteEntry {
  const BindingFunctionDescriptor* function = nullptr;
  const RouteBinding* binding = nullptr;
  const RouteTemplate* route = nullptr;
};

RouteEntry RouteEntryFor(const RouteBinding& binding);

// The request as the matcher sees it.
struct MatchRequest {
  HttpMethod method = HttpMethod::None;
  std::string_view customMethod;
  std::string_view path;
};

// The entry chosen among the candidates, or null when none matches. A match
// without captures is taken at once; otherwise a later match wins only with
// fewer captured bytes in total. `captures` holds the chosen match's values.
const RouteEntry* MatchRoute(const MatchRequest& request, std::span<const RouteEntry> candidates,
                             RouteCaptures& captures);

}  // namespace Corvan

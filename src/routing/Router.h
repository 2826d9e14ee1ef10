// Router: the route table of a plugin. The register hook declares each
// route in one line:
//
//   router.Get("/kyn-highlights/v1/highlights/{id}", this, &Plugin::GetHighlight)
//       .AddPathArgument("id", "");
//   router.Put("/kyn-highlights/v1/highlights/{id}", this, &Plugin::PutHighlight)
//       .AddPathArgument("id", "")
//       .AddBodyArgument("highlight", "");
//
// Each route registers a function in the BindingRegistry under a name
// derived from the method and the template ("GetKynHighlightsV1HighlightsById"),
// with the handler's parameter and result types, and a RouteBinding with
// its invoker. A name registered before keeps its first registration; the
// builder returned then changes nothing. Routes are registered before the
// description is built; the bindings live as long as the router.
//
// Building the description first checks every route: each handler
// parameter must have been named, and each template variable must name a
// path argument. A route that fails either could only fail its requests
// ("Unknown argument"), so it is logged at ERROR and taken out of the
// table and the registry instead.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "binding/BindingRegistry.h"
#include "routing/FunctionInvoker.h"
#include "routing/PluginDescription.h"
#include "routing/RouteBinding.h"
#include "routing/RouteTypes.h"

namespace Corvan {

using ArgumentAttributes = std::map<std::string, std::string, std::less<>>;

// Names the arguments of one registered function, in parameter order.
class FunctionBuilder {
 public:
  // A builder for a function registered before: every call does nothing.
  FunctionBuilder() = default;
  explicit FunctionBuilder(RouteBinding* binding) : binding_(binding) {}

  // Names the next argument and lets it come from the path only.
  FunctionBuilder& AddPathArgument(std::string_view name, std::string_view description,
                                   const BindingTypeRef& advertised = {},
                                   const ArgumentAttributes& attributes = {});
  // Names the next argument and lets it come from the body only.
  FunctionBuilder& AddBodyArgument(std::string_view name, std::string_view description,
                                   const BindingTypeRef& advertised = {},
                                   const ArgumentAttributes& attributes = {});
  // Names the next argument with any location.
  FunctionBuilder& AddArgument(ArgumentLocation location, std::string_view name,
                               std::string_view description, const BindingTypeRef& advertised = {},
                               const ArgumentAttributes& attributes = {});

  // The binding, or null when the function was registered before.
  RouteBinding* binding() const { return binding_; }

 private:
  RouteBinding* binding_ = nullptr;
  std::size_t nextArgument_ = 0;
};

class Router {
 public:
  explicit Router(BindingRegistry& registry) : registry_(registry) {}
  Router(const Router&) = delete;
  Router& operator=(const Router&) = delete;

  // The tags every function registered afterwards carries.
  void SetTags(std::vector<std::string> tags) { tags_ = std::move(tags); }

  template <class Handler, class Method>
  FunctionBuilder Get(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::Get, routeTemplate, handler, method);
  }
  template <class Handler, class Method>
  FunctionBuilder Post(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::Post, routeTemplate, handler, method);
  }
  template <class Handler, class Method>
  FunctionBuilder Put(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::Put, routeTemplate, handler, method);
  }
  template <class Handler, class Method>
  FunctionBuilder Delete(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::Delete, routeTemplate, handler, method);
  }
  template <class Handler, class Method>
  FunctionBuilder Patch(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::Patch, routeTemplate, handler, method);
  }
  // A route for any method (HttpMethod::None).
  template <class Handler, class Method>
  FunctionBuilder Any(std::string_view routeTemplate, Handler* handler, Method method) {
    return Route(HttpMethod::None, routeTemplate, handler, method);
  }

  // A route with its own invoker (for handlers the typed invoker does not
  // cover); `describe` fills the function's argument and result types.
  template <class Describe>
  FunctionBuilder Custom(HttpMethod method, std::string_view routeTemplate, Describe describe,
                         std::unique_ptr<FunctionInvoker> invoker) {
    Registration registration = Begin(method, routeTemplate);
    if (registration.function == nullptr) return FunctionBuilder();
    describe(*registration.function);
    return FunctionBuilder(Finish(registration, method, routeTemplate, std::move(invoker)));
  }

  // The binding of a function, or null.
  const RouteBinding* FindBinding(std::string_view functionName) const;
  std::size_t RouteCount() const { return bindings_.size(); }
  BindingRegistry& registry() const { return registry_; }

  // Builds the description the host receives, with one descriptor per route
  // in function-name order; valid until the next build or the router's end.
  const PluginApiDescription& BuildDescription();

 private:
  struct Registration {
    BindingFunctionDescriptor* function = nullptr;  // null: registered before
    std::string name;
  };

  template <class Handler, class Method>
  FunctionBuilder Route(HttpMethod method, std::string_view routeTemplate, Handler* handler,
                        Method member) {
    Registration registration = Begin(method, routeTemplate);
    if (registration.function == nullptr) return FunctionBuilder();
    DescribeHandler<Method>(*registration.function, &registry_);
    auto invoker = std::make_unique<MemberInvoker<Handler, Method>>(
        handler, member, registration.function, &registry_);
    return FunctionBuilder(Finish(registration, method, routeTemplate, std::move(invoker)));
  }

  Registration Begin(HttpMethod method, std::string_view routeTemplate);
  // Logs and removes every route that cannot bind its arguments.
  void DropFaultyRoutes();
  RouteBinding* Finish(const Registration& registration, HttpMethod method,
                       std::string_view routeTemplate, std::unique_ptr<FunctionInvoker> invoker);

  BindingRegistry& registry_;
  std::vector<std::string> tags_;
  std::map<std::string, std::unique_ptr<RouteBinding>, std::less<>> bindings_;
  PluginDescription description_;
};

}  // namespace Corvan

#include "routing/Router.h"

#include "binding/Fnv1a.h"
#include "logging/FormatPositional.h"
#include "logging/Logger.h"

namespace Corvan {

namespace {

bool HasPathArgument(const RouteBinding& binding, std::string_view name) {
  const auto& arguments = binding.function->arguments;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    const bool path =
        i < binding.locations.size() && binding.locations[i] == ArgumentLocation::Path;
    if (path && arguments[i].name == name) return true;
  }
  return false;
}

// Why a route cannot bind its arguments; empty when it can.
std::string RouteFault(const RouteBinding& binding) {
  const auto& arguments = binding.function->arguments;
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].name.empty()) {
      return FormatPositionalText("parameter %1 of its handler has no argument name", i + 1);
    }
  }
  for (const std::string& variable : binding.route.variables()) {
    if (!HasPathArgument(binding, variable)) {
      return FormatPositionalText("its template variable '%1' names no path argument", variable);
    }
  }
  return {};
}

}  // namespace

FunctionBuilder& FunctionBuilder::AddPathArgument(std::string_view name,
                                                  std::string_view description,
                                                  const BindingTypeRef& advertised,
                                                  const ArgumentAttributes& attributes) {
  return AddArgument(ArgumentLocation::Path, name, description, advertised, attributes);
}

FunctionBuilder& FunctionBuilder::AddBodyArgument(std::string_view name,
                                                  std::string_view description,
                                                  const BindingTypeRef& advertised,
                                                  const ArgumentAttributes& attributes) {
  return AddArgument(ArgumentLocation::Body, name, description, advertised, attributes);
}

FunctionBuilder& FunctionBuilder::AddArgument(ArgumentLocation location, std::string_view name,
                                              std::string_view description,
                                              const BindingTypeRef& advertised,
                                              const ArgumentAttributes& attributes) {
  if (binding_ == nullptr) return *this;
  const std::size_t index = nextArgument_++;
  // Naming more arguments than the handler has parameters would describe
  // arguments no call can fill: the extra names are ignored.
  if (index >= binding_->function->arguments.size()) return *this;
  if (binding_->locations.size() <= index) {
    binding_->locations.resize(index + 1, ArgumentLocation::Any);
  }
  binding_->locations[index] = location;
  BindingArgumentDescriptor& argument = binding_->function->arguments[index];
  argument.name = std::string(name);
  argument.nameHash = Fnv1a(name);
  argument.description = std::string(description);
  if (advertised.kind != BindingTypeKind::None) argument.advertised = advertised;
  argument.attributes = attributes;
  return *this;
}

Router::Registration Router::Begin(HttpMethod method, std::string_view routeTemplate) {
  Registration registration;
  registration.name = FunctionNameFor(method, routeTemplate);
  bool existing = false;
  BindingFunctionDescriptor* function = registry_.RegisterFunction(registration.name, existing);
  // The first registration stays in force, also when only the router's
  // binding of it is missing (a function registered by other code).
  if (!existing && bindings_.find(registration.name) == bindings_.end()) {
    registration.function = function;
  }
  return registration;
}

RouteBinding* Router::Finish(const Registration& registration, HttpMethod method,
                             std::string_view routeTemplate,
                             std::unique_ptr<FunctionInvoker> invoker) {
  auto binding = std::make_unique<RouteBinding>();
  binding->function = registration.function;
  binding->invoker = std::move(invoker);
  binding->routeTemplate = TrimRouteTemplate(routeTemplate);
  binding->method = method;
  binding->customMethod.clear();
  binding->route = RouteTemplate::Compile(binding->routeTemplate.empty()
                                              ? std::string_view(registration.function->name)
                                              : std::string_view(binding->routeTemplate));
  binding->context = FunctionContext{&registry_, binding.get()};
  for (const std::string& tag : tags_) registration.function->tags.push_back(tag);
  RouteBinding* raw = binding.get();
  bindings_.emplace(registration.name, std::move(binding));
  return raw;
}

const RouteBinding* Router::FindBinding(std::string_view functionName) const {
  auto position = bindings_.find(functionName);
  return position == bindings_.end() ? nullptr : position->second.get();
}

void Router::DropFaultyRoutes() {
  for (auto position = bindings_.begin(); position != bindings_.end();) {
    const std::string fault = RouteFault(*position->second);
    if (fault.empty()) {
      ++position;
      continue;
    }
    const char* method = HttpMethodName(position->second->method);
    Log(kLogError, LogCategory::DBG, "Route %s %s is not registered: %s",
        *method != '\0' ? method : "(any method)", position->second->routeTemplate.c_str(),
        fault.c_str());
    registry_.RemoveFunction(position->first);
    position = bindings_.erase(position);
  }
}

const PluginApiDescription& Router::BuildDescription() {
  DropFaultyRoutes();
  std::vector<const RouteBinding*> bindings;
  bindings.reserve(bindings_.size());
  for (const auto& [name, binding] : bindings_) bindings.push_back(binding.get());
  return description_.Build(registry_, bindings);
}

}  // namespace Corvan

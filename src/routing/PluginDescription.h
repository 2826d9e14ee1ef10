// PluginDescription: the PluginApiDescription the host receives at load.
//
// Each route becomes one FunctionDescriptor: a copy of the function's flat
// record (its next pointing at the following descriptor, its function
// context at the route's FunctionContext), the shared invoke entry, the
// route template, the method, the binding's flag byte, no per-argument text
// lists and the custom method name. The type and event arrays are those of
// the flat API description built from the same registry. Everything stays
// valid until the next Build or the object's end, while the registry and
// the bindings are unchanged.
#pragma once

#include <vector>

#include "abi/HostAbi.h"
#include "binding/FlatApiDescription.h"

namespace Corvan {

class BindingRegistry;
struct RouteBinding;

class PluginDescription {
 public:
  PluginDescription() = default;
  PluginDescription(const PluginDescription&) = delete;
  PluginDescription& operator=(const PluginDescription&) = delete;

  // Rebuilds the description: one descriptor per binding, in their order.
  const PluginApiDescription& Build(const BindingRegistry& registry,
                                    const std::vector<const RouteBinding*>& bindings);
  const PluginApiDescription& Description() const { return description_; }

 private:
  FlatApiDescription flat_;
  std::vector<FunctionDescriptor> descriptors_;
  PluginApiDescription description_{};
};

}  // namespace Corvan

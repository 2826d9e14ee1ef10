#include "routing/PluginDescription.h"

#include "binding/BindingRegistry.h"
#include "routing/InvokeEntry.h"
#include "routing/RouteBinding.h"

namespace Corvan {

namespace {

void FillDescriptor(FunctionDescriptor& descriptor, FlatFunctionRecord record,
                    const FunctionDescriptor* following, const RouteBinding& binding) {
  record.next = reinterpret_cast<const FlatFunctionRecord*>(following);
  record.functionContext = const_cast<FunctionContext*>(&binding.context);
  descriptor.function = record;
  descriptor.invoke = &InvokeFunction;
  descriptor.registryWord = 0;
  descriptor.routeTemplate = binding.routeTemplate.c_str();
  descriptor.method = static_cast<std::uint32_t>(binding.method);
  descriptor.bindingFlag = binding.flag;
  descriptor.argumentTextLists = nullptr;
  descriptor.argumentTextListCount = 0;
  descriptor.customMethod = binding.customMethod.c_str();
}

}  // namespace

const PluginApiDescription& PluginDescription::Build(
    const BindingRegistry& registry, const std::vector<const RouteBinding*>& bindings) {
  std::vector<const BindingFunctionDescriptor*> functions;
  functions.reserve(bindings.size());
  for (const RouteBinding* binding : bindings) functions.push_back(binding->function);
  const FlatApiTable& table = flat_.Build(functions, registry.Types(), registry.Events());

  descriptors_.assign(bindings.size(), FunctionDescriptor{});
  for (std::size_t i = 0; i < bindings.size(); ++i) {
    FlatFunctionRecord record{};
    if (i < table.functionCount) record = table.functions[i];
    const FunctionDescriptor* following = i + 1 < bindings.size() ? &descriptors_[i + 1] : nullptr;
    FillDescriptor(descriptors_[i], record, following, *bindings[i]);
  }
  description_ = PluginApiDescription{};
  description_.functions = descriptors_.empty() ? nullptr : descriptors_.data();
  description_.functionCount = static_cast<std::uint32_t>(descriptors_.size());
  description_.types = table.types;
  description_.typeCount = table.typeCount;
  description_.events = table.events;
  description_.eventCount = table.eventCount;
  return description_;
}

}  // namespace Corvan

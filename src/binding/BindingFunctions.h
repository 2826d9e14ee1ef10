// Descriptors of the functions and events a plugin declares.
//
// A BindingFunctionDescriptor is one callable function: its name, its
// arguments in handler-parameter order, its result type, and what help and
// the flat API description report about it. The router registers them (one
// per route) and keeps its own route binding beside each; help and the API
// description read them. A BindingEventDescriptor is one declared event with
// its payload type. Both are owned by the BindingRegistry.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "binding/BindingTypes.h"
#include "binding/StaticType.h"

namespace Corvan {

struct BindingArgumentDescriptor {
  std::string name;
  std::uint32_t nameHash = 0;
  std::string description;
  // Identity of the handler's parameter type.
  TypeIdentity nativeType;
  // The type conversions use, from the handler's parameter.
  BindingTypeRef declared;
  // What help and the API description advertise instead, when its kind is set.
  BindingTypeRef advertised;
  bool optional = false;
  // Named texts attached at registration; this system never sets any.
  std::map<std::string, std::string, std::less<>> attributes;

  const BindingTypeRef& AdvertisedOrDeclared() const {
    return advertised.kind != BindingTypeKind::None ? advertised : declared;
  }
};

struct BindingFunctionDescriptor {
  std::string name;
  std::uint32_t nameHash = 0;
  std::string nameSpace;
  std::string description;
  std::string help;
  std::deque<BindingArgumentDescriptor> arguments;  // handler-parameter order
  // Kind None when the function declares no result.
  BindingTypeRef result;
  BindingTypeRef advertisedResult;
  bool threadSafe = false;
  bool isAsync = false;
  // Type of the completion event of an async function; null otherwise.
  const BindingTypeDescriptor* asyncEventType = nullptr;
  std::vector<std::string> tags;
  BindingRegistry* registry = nullptr;

  const BindingTypeRef& AdvertisedOrDeclaredResult() const {
    return advertisedResult.kind != BindingTypeKind::None ? advertisedResult : result;
  }
  // The argument of exactly that name, or null.
  const BindingArgumentDescriptor* FindArgument(std::string_view argumentName) const {
    for (const BindingArgumentDescriptor& argument : arguments) {
      if (argument.name == argumentName) return &argument;
    }
    return nullptr;
  }
};

struct BindingEventDescriptor {
  std::string name;
  std::string nameSpace;
  BindingTypeRef payload;
  std::string description;
  std::vector<std::string> tags;
};

}  // namespace Corvan

// Help for the functions, types and events a plugin declares.
//
// Help comes in two formats: "Full", structured records converted to
// BindingProperty trees through the registry, and "Epytext", documentation
// text in the epytext markup (EpytextHelp.h). The records below are native
// types of their own, registered in every registry before the builtin types,
// so that a registry can describe itself:
//
//   BindingResult help = BindingHelpProvider::ApiHelp(
//       registry, registry.Functions(), registry.Types(), registry.Events(),
//       BindingHelpProvider::Full);
//   // help.property is {"functions": [...], "types": [...], "events": [...]}
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/BindingFunctions.h"
#include "binding/BindingProperty.h"
#include "binding/BindingTypes.h"
#include "binding/StaticType.h"

namespace Corvan {

class BindingRegistry;

class BindingHelpProvider {
 public:
  enum HelpFormat : std::int32_t { Full = 1, Epytext = 2 };

  struct FullTypeIdentifier {
    std::string type;
    std::string elementType;
  };

  struct FullArgumentHelp {
    std::string name;
    std::string description;
    FullTypeIdentifier type;
    bool optional = false;
  };

  struct FullFunctionHelp {
    std::string name;
    std::string nameSpace;
    std::vector<FullArgumentHelp> arguments;
    FullTypeIdentifier returns;
    std::string description;
    std::string help;
    bool threadSafe = false;
    // The completion event's type name of an async function, else empty.
    std::string async;
    std::vector<std::string> tags;
  };

  struct FullEnumValueHelp {
    std::string name;
    std::string description;
    std::int32_t value = 0;
  };

  struct FullFieldHelp {
    std::string name;
    std::string description;
    std::uint32_t offset = 0;
    FullTypeIdentifier type;
  };

  struct FullTypeHelp {
    std::string name;
    std::string nameSpace;
    std::uint32_t size = 0;
    std::string description;
    std::vector<std::string> tags;
    std::vector<FullFieldHelp> fields;
    std::vector<FullEnumValueHelp> values;
  };

  struct FullEventHelp {
    std::string name;
    std::string nameSpace;
    FullTypeIdentifier type;
    std::string description;
    std::vector<std::string> tags;
  };

  struct FullApiHelp {
    std::vector<FullFunctionHelp> functions;
    std::vector<FullTypeHelp> types;
    std::vector<FullEventHelp> events;
  };

  // Registers the help records above (a registry does this first when its
  // builtins are initialised).
  static void RegisterTypes(BindingRegistry& registry);

  // "vector" and "map" with the element's type; the registered name of an
  // enum or record; otherwise the kind's name.
  static FullTypeIdentifier FullType(const BindingTypeRef& type);
  static FullFunctionHelp FullFunction(const BindingFunctionDescriptor& function);
  static FullTypeHelp FullTypeOf(const BindingTypeDescriptor& type);
  static FullEventHelp FullEvent(const BindingEventDescriptor& event);

  // The help of the given descriptors, in their order, as the structure
  // {"functions", "types", "events"}. Full records are converted through
  // `registry`, which must hold the help types; an unknown format fails.
  // No entry of the lists may be null.
  [[nodiscard]] static BindingResult ApiHelp(
      const BindingRegistry& registry,
      const std::vector<const BindingFunctionDescriptor*>& functions,
      const std::vector<const BindingTypeDescriptor*>& types,
      const std::vector<const BindingEventDescriptor*>& events, std::int32_t format);
};

}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::BindingHelpProvider::HelpFormat,
              "enum Corvan::BindingHelpProvider::HelpFormat")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullTypeIdentifier,
              "struct Corvan::BindingHelpProvider::FullTypeIdentifier")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullArgumentHelp,
              "struct Corvan::BindingHelpProvider::FullArgumentHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullFunctionHelp,
              "struct Corvan::BindingHelpProvider::FullFunctionHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullEnumValueHelp,
              "struct Corvan::BindingHelpProvider::FullEnumValueHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullFieldHelp,
              "struct Corvan::BindingHelpProvider::FullFieldHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullTypeHelp,
              "struct Corvan::BindingHelpProvider::FullTypeHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullEventHelp,
              "struct Corvan::BindingHelpProvider::FullEventHelp")
KYN_TYPE_TEXT(Corvan::BindingHelpProvider::FullApiHelp,
              "struct Corvan::BindingHelpProvider::FullApiHelp")

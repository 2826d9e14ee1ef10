#include "binding/BindingHelpProvider.h"

#include "binding/BindingRegistry.h"
#include "binding/EpytextHelp.h"
#include "binding/NativeCodec.h"
#include "logging/FormatPositional.h"

namespace Corvan {

namespace {

using Help = BindingHelpProvider;

constexpr const char* kUnknownFormat = "Unknown help format %1";

// Every help record carries these tags; its fields have no descriptions.
TypeBuilder& HelpTags(TypeBuilder& builder, const char* description) {
  return builder.SetDescription(description).AddTags({"$builtin", "help"});
}

void RegisterFormat(BindingRegistry& registry) {
  TypeBuilder builder = registry.RegisterType<Help::HelpFormat>("BindingHelpFormat");
  if (builder.existing()) return;
  builder.AddEnumerator("Full", Help::Full, "Native help format")
      .AddEnumerator("Epytext", Help::Epytext, "Python epytext format");
  HelpTags(builder, "Help format for binding functions and types.");
}

void RegisterIdentifierAndArgument(BindingRegistry& registry) {
  using Id = Help::FullTypeIdentifier;
  TypeBuilder id = registry.RegisterType<Id>("BindingFullTypeIdentifier");
  id.AddField("type", "", &Id::type).AddField("elementType", "", &Id::elementType);
  HelpTags(id, "Describes the type of a value.");

  using Arg = Help::FullArgumentHelp;
  TypeBuilder arg = registry.RegisterType<Arg>("BindingFullArgumentHelp");
  arg.AddField("name", "", &Arg::name)
      .AddField("description", "", &Arg::description)
      .AddField("type", "", &Arg::type)
      .AddField("optional", "", &Arg::optional);
  HelpTags(arg, "Describes a function parameter.");
}

void RegisterFunction(BindingRegistry& registry) {
  using F = Help::FullFunctionHelp;
  TypeBuilder builder = registry.RegisterType<F>("BindingFullFunctionHelp");
  builder.AddField("name", "", &F::name)
      .AddField("nameSpace", "", &F::nameSpace)
      .AddField("arguments", "", &F::arguments)
      .AddField("returns", "", &F::returns)
      .AddField("description", "", &F::description)
      .AddField("help", "", &F::help)
      .AddField("threadSafe", "", &F::threadSafe)
      .AddField("async", "", &F::async)
      .AddField("tags", "", &F::tags);
  HelpTags(builder, "Describes a function.");
}

void RegisterMembers(BindingRegistry& registry) {
  using V = Help::FullEnumValueHelp;
  TypeBuilder value = registry.RegisterType<V>("BindingFullEnumValueHelp");
  value.AddField("name", "", &V::name)
      .AddField("description", "", &V::description)
      .AddField("value", "", &V::value);
  HelpTags(value, "Describes an enumerator.");

  using M = Help::FullFieldHelp;
  TypeBuilder field = registry.RegisterType<M>("BindingFullFieldHelp");
  field.AddField("name", "", &M::name)
      .AddField("description", "", &M::description)
      .AddField("offset", "", &M::offset)
      .AddField("type", "", &M::type);
  HelpTags(field, "Describes a member of a struct.");
}

void RegisterTypeAndEvent(BindingRegistry& registry) {
  using T = Help::FullTypeHelp;
  TypeBuilder type = registry.RegisterType<T>("BindingFullTypeHelp");
  type.AddField("name", "", &T::name)
      .AddField("nameSpace", "", &T::nameSpace)
      .AddField("size", "", &T::size)
      .AddField("description", "", &T::description)
      .AddField("tags", "", &T::tags)
      .AddField("fields", "", &T::fields)
      .AddField("values", "", &T::values);
  HelpTags(type, "Describes a struct or enum type.");

  using E = Help::FullEventHelp;
  TypeBuilder event = registry.RegisterType<E>("BindingFullEventHelp");
  event.AddField("name", "", &E::name)
      .AddField("nameSpace", "", &E::nameSpace)
      .AddField("type", "", &E::type)
      .AddField("description", "", &E::description)
      .AddField("tags", "", &E::tags);
  HelpTags(event, "Describes an event.");
}

void RegisterApi(BindingRegistry& registry) {
  using A = Help::FullApiHelp;
  TypeBuilder api = registry.RegisterType<A>("BindingFullApiHelp");
  api.AddField("functions", "", &A::functions)
      .AddField("types", "", &A::types)
      .AddField("events", "", &A::events);
  HelpTags(api, "Describes the exposed native API.");
}

// Full help: the records converted as the registry describes them.
BindingResult BuildFullHelp(const BindingRegistry& registry,
                            const std::vector<const BindingFunctionDescriptor*>& functions,
                            const std::vector<const BindingTypeDescriptor*>& types,
                            const std::vector<const BindingEventDescriptor*>& events) {
  Help::FullApiHelp api;
  api.functions.reserve(functions.size());
  for (const BindingFunctionDescriptor* function : functions)
    api.functions.push_back(Help::FullFunction(*function));
  api.types.reserve(types.size());
  for (const BindingTypeDescriptor* type : types) api.types.push_back(Help::FullTypeOf(*type));
  api.events.reserve(events.size());
  for (const BindingEventDescriptor* event : events) api.events.push_back(Help::FullEvent(*event));
  BindingResult result;
  // A failed conversion has put its message into the result already.
  static_cast<void>(ConvertNative(result, api, &registry));
  return result;
}

// Epytext help: each list a structure of texts keyed by name.
template <class Descriptor, class Render>
void AddTexts(BindingProperty& out, const std::vector<const Descriptor*>& descriptors,
              Render render) {
  out.MakeStructure();
  for (const Descriptor* descriptor : descriptors)
    out.Field(descriptor->name).SetString(render(*descriptor));
}

BindingResult BuildEpytextHelp(const std::vector<const BindingFunctionDescriptor*>& functions,
                               const std::vector<const BindingTypeDescriptor*>& types,
                               const std::vector<const BindingEventDescriptor*>& events) {
  BindingResult result;
  BindingProperty& out = result.property;
  AddTexts(out.Field("functions"), functions, EpytextFunction);
  AddTexts(out.Field("types"), types, EpytextType);
  AddTexts(out.Field("events"), events, EpytextEvent);
  return result;
}

}  // namespace

void BindingHelpProvider::RegisterTypes(BindingRegistry& registry) {
  // Records before the records that hold them, so each field finds the
  // descriptor of its type.
  RegisterFormat(registry);
  RegisterIdentifierAndArgument(registry);
  RegisterFunction(registry);
  RegisterMembers(registry);
  RegisterTypeAndEvent(registry);
  RegisterApi(registry);
}

BindingHelpProvider::FullTypeIdentifier BindingHelpProvider::FullType(const BindingTypeRef& type) {
  switch (type.kind) {
    case BindingTypeKind::Vector:
    case BindingTypeKind::Map:
      return {BindingTypeKindName(type.kind),
              FullType({type.elementKind, BindingTypeKind::None, type.type}).type};
    case BindingTypeKind::Enum:
    case BindingTypeKind::Struct:
      return {type.type != nullptr ? type.type->name : BindingTypeKindName(type.kind), ""};
    default: return {BindingTypeKindName(type.kind), ""};
  }
}

BindingHelpProvider::FullFunctionHelp BindingHelpProvider::FullFunction(
    const BindingFunctionDescriptor& function) {
  FullFunctionHelp help{function.name,
                        function.nameSpace,
                        {},
                        FullType(function.result),
                        function.description,
                        function.help,
                        function.threadSafe,
                        "",
                        function.tags};
  if (function.isAsync && function.asyncEventType != nullptr)
    help.async = function.asyncEventType->name;
  help.arguments.reserve(function.arguments.size());
  for (const BindingArgumentDescriptor& argument : function.arguments) {
    help.arguments.push_back(
        {argument.name, argument.description, FullType(argument.declared), argument.optional});
  }
  return help;
}

BindingHelpProvider::FullTypeHelp BindingHelpProvider::FullTypeOf(
    const BindingTypeDescriptor& type) {
  FullTypeHelp help{type.name, type.nameSpace, type.size, type.description, type.tags, {}, {}};
  help.fields.reserve(type.fields.size());
  for (const BindingFieldDescriptor& field : type.fields)
    help.fields.push_back({field.name, field.description, field.offset, FullType(field.declared)});
  help.values.reserve(type.enumerators.size());
  for (const auto& [name, enumerator] : type.enumerators)
    help.values.push_back({enumerator.name, enumerator.description, enumerator.value});
  return help;
}

BindingHelpProvider::FullEventHelp BindingHelpProvider::FullEvent(
    const BindingEventDescriptor& event) {
  return {event.name, event.nameSpace, FullType(event.payload), event.description, event.tags};
}

BindingResult BindingHelpProvider::ApiHelp(
    const BindingRegistry& registry, const std::vector<const BindingFunctionDescriptor*>& functions,
    const std::vector<const BindingTypeDescriptor*>& types,
    const std::vector<const BindingEventDescriptor*>& events, std::int32_t format) {
  switch (format) {
    case Full: return BuildFullHelp(registry, functions, types, events);
    case Epytext: return BuildEpytextHelp(functions, types, events);
    default: {
      BindingResult result;
      result.ReportError(FormatPositionalText(kUnknownFormat, format));
      return result;
    }
  }
}

}  // namespace Corvan

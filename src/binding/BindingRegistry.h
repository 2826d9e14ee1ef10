// BindingRegistry: the native types, functions and events a plugin makes
// known to the binding layer.
//
// Types are registered field by field through a TypeBuilder:
//
//   TypeBuilder builder = registry.RegisterType<Highlight>("Highlight");
//   builder.AddField("name", "", &Highlight::name, kFieldRequired)
//          .AddField("id", "", &Highlight::id);
//
// Registering a name twice keeps the first definition: the second builder
// carries the existing flag and adds nothing. Lookups by name and by type
// identity may come from any thread; every map access holds the registry's
// mutex. Descriptors are removed only by Clear or destruction, so a
// descriptor pointer stays valid after the lock is released.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "binding/BindingFunctions.h"
#include "binding/BindingTypes.h"
#include "binding/NativeTypes.h"
#include "binding/StaticType.h"

namespace Corvan {

template <class T>
class TypedFieldConverter;

class TypeBuilder {
 public:
  TypeBuilder(BindingRegistry* registry, BindingTypeDescriptor* descriptor, bool existing)
      : registry_(registry), descriptor_(descriptor), existing_(existing) {}

  // Appends a field with everything spelled out.
  TypeBuilder& AddField(std::string_view name, std::string_view description, std::uint32_t offset,
                        const TypeIdentity& fieldType, const BindingTypeRef& declared,
                        const BindingTypeRef& advertised, std::uint32_t flags,
                        std::unique_ptr<FieldConverter> converter, bool customConverter);

  // Appends a field of a native record, deriving offset, identity, declared
  // type and converter from the member.
  template <class Record, class Field>
  TypeBuilder& AddField(std::string_view name, std::string_view description, Field Record::*member,
                        std::uint32_t flags = 0, const BindingTypeRef& advertised = {});

  // Inserts or overwrites the enumerator of that name.
  TypeBuilder& AddEnumerator(std::string_view name, std::int32_t value,
                             std::string_view description = "");
  TypeBuilder& SetDescription(std::string_view description);
  // Appends one tag; an empty text is ignored.
  TypeBuilder& AddTag(std::string_view tag);
  TypeBuilder& AddTags(std::initializer_list<std::string_view> tags);

  // True when the type was registered before: nothing is added then.
  bool existing() const { return existing_; }
  BindingTypeDescriptor* descriptor() const { return descriptor_; }
  BindingRegistry* registry() const { return registry_; }

 private:
  BindingRegistry* registry_;
  BindingTypeDescriptor* descriptor_;
  bool existing_;
};

class BindingRegistry {
 public:
  BindingRegistry() = default;
  BindingRegistry(const BindingRegistry&) = delete;
  BindingRegistry& operator=(const BindingRegistry&) = delete;

  // Registers a type, or finds the one registered under that name before.
  TypeBuilder RegisterType(std::size_t size, std::string_view name, const TypeIdentity& identity,
                           bool isEnum);
  // Registers a native type under a name, with its static identity.
  template <class T>
  TypeBuilder RegisterType(std::string_view name) {
    return RegisterType(sizeof(T), name, StaticType::HashCode<T>(), std::is_enum_v<T>);
  }

  const BindingTypeDescriptor* FindType(std::string_view name) const;
  const BindingTypeDescriptor* FindTypeByIdentity(const TypeIdentity& identity) const;
  const BindingTypeDescriptor* FindTypeByHash(std::uint32_t hash) const;
  template <class T>
  const BindingTypeDescriptor* FindType() const {
    return FindTypeByHash(StaticType::HashCode<T>().hash);
  }

  // Every registered type, in name order.
  std::vector<const BindingTypeDescriptor*> Types() const;

  // Registers a function, or finds the one registered under that name
  // before (then `existing` is set and the caller adds nothing).
  BindingFunctionDescriptor* RegisterFunction(std::string_view name, bool& existing);
  const BindingFunctionDescriptor* FindFunction(std::string_view name) const;
  // Forgets a function; a later registration of the name starts afresh.
  void RemoveFunction(std::string_view name);
  // Every registered function, in name order.
  std::vector<const BindingFunctionDescriptor*> Functions() const;
  std::size_t FunctionCount() const;

  // Declares an event; a name declared before keeps its first definition.
  // Returns the event of that name.
  const BindingEventDescriptor* AddEvent(BindingEventDescriptor event);
  const BindingEventDescriptor* FindEvent(std::string_view name) const;
  // Every declared event, in declaration order.
  std::vector<const BindingEventDescriptor*> Events() const;

  // Forgets every type, function and event, and the initialised mark.
  void Clear();
  // Set once the builtin types are registered.
  bool IsInitialized() const;
  void MarkInitialized();

 private:
  mutable std::mutex mutex_;
  bool initialized_ = false;
  std::map<std::string, std::unique_ptr<BindingFunctionDescriptor>, std::less<>> functionsByName_;
  std::deque<BindingEventDescriptor> events_;
  std::map<std::string, std::unique_ptr<BindingTypeDescriptor>, std::less<>> typesByName_;
  std::map<std::uint32_t, BindingTypeDescriptor*> typesByHash_;
};

// The declared type of a native type, with its registered descriptor when
// the registry has one.
template <class T>
BindingTypeRef TypeRefFor(const BindingRegistry* registry) {
  BindingTypeRef ref{NativeType<T>::kKind, NativeType<T>::kElementKind, nullptr};
  using Described = typename NativeType<T>::Described;
  if constexpr (!std::is_void_v<Described>) {
    if (registry != nullptr) ref.type = registry->template FindType<Described>();
  }
  return ref;
}

// The byte offset of a member, without constructing a record.
template <class Record, class Field>
std::uint32_t MemberOffset(Field Record::*member) {
  union Storage {
    Storage() {}
    ~Storage() {}
    Record record;
  };
  static Storage storage;
  const auto* base = reinterpret_cast<const char*>(&storage.record);
  const auto* field = reinterpret_cast<const char*>(&(storage.record.*member));
  return static_cast<std::uint32_t>(field - base);
}

template <class Record, class Field>
TypeBuilder& TypeBuilder::AddField(std::string_view name, std::string_view description,
                                   Field Record::*member, std::uint32_t flags,
                                   const BindingTypeRef& advertised) {
  if (existing_) return *this;
  return AddField(name, description, MemberOffset(member), StaticType::HashCode<Field>(),
                  TypeRefFor<Field>(registry_), advertised, flags,
                  std::make_unique<TypedFieldConverter<Field>>(), false);
}

}  // namespace Corvan

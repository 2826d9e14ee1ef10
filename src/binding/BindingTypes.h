// Descriptors of registered native types.
//
// A BindingTypeDescriptor describes one record or enum registered in a
// BindingRegistry: its size and identity, its fields (in registration order)
// or its enumerators (in name order), its description and tags. A
// BindingTypeRef is the declared type of a field, argument or result. The
// conversions between native records and BindingProperty trees are driven by
// these descriptors.
#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "binding/BindingProperty.h"
#include "binding/StaticType.h"

namespace Corvan {

class BindingRegistry;
struct BindingTypeDescriptor;

// The declared kind of a field, argument or result.
enum class BindingTypeKind : std::uint32_t {
  None = 0,
  Bool = 1,
  Int8 = 2,
  UInt8 = 3,
  Int16 = 4,
  UInt16 = 5,
  Int32 = 6,
  UInt32 = 7,
  Int64 = 8,
  UInt64 = 9,
  Float = 10,
  Double = 11,
  String = 12,
  Object = 13,
  Blob = 14,
  Vector = 15,
  Enum = 16,
  Struct = 17,
  Callback = 18,
  Map = 19,
};

// The display name of a kind code: "bool" ... "map", "" for any other code.
const char* BindingTypeKindName(std::uint32_t code);
inline const char* BindingTypeKindName(BindingTypeKind kind) {
  return BindingTypeKindName(static_cast<std::uint32_t>(kind));
}

// Field flags.
inline constexpr std::uint32_t kFieldOmitWhenDefault = 1;
inline constexpr std::uint32_t kFieldRequired = 2;

// The declared type of a field, argument or result. `type` is the enum or
// record type for "enum" and "struct", and the element's enum or record
// type for "vector" and "map" of those.
struct BindingTypeRef {
  BindingTypeKind kind = BindingTypeKind::None;
  BindingTypeKind elementKind = BindingTypeKind::None;
  const BindingTypeDescriptor* type = nullptr;
};

// Moves one native field's value between the record and a tree. One per
// field descriptor, owned by it.
class FieldConverter {
 public:
  // Writes the input into the native field; reports into `result`.
  [[nodiscard]] virtual bool Assign(BindingResult& result, void* field,
                                    const BindingProperty& input, const char* name,
                                    const BindingTypeRef& type, const BindingRegistry* registry,
                                    void* extra) const = 0;
  // Writes the native field's value into `out`; reports into `result`.
  [[nodiscard]] virtual bool Convert(BindingResult& result, BindingProperty& out, const void* field,
                                     const BindingTypeRef& type,
                                     const BindingRegistry* registry) const = 0;
  virtual ~FieldConverter() = default;
};

struct BindingEnumValue {
  std::string name;
  std::int32_t value = 0;
  std::string description;
  const BindingTypeDescriptor* owner = nullptr;
};

struct BindingFieldDescriptor {
  std::string name;
  std::uint32_t nameHash = 0;
  std::string description;
  TypeIdentity fieldType;
  std::uint32_t offset = 0;
  BindingTypeRef declared;
  // What the API description advertises instead of `declared`, when its
  // kind is set; conversions always use `declared`.
  BindingTypeRef advertised;
  std::uint32_t flags = 0;
  std::unique_ptr<FieldConverter> converter;
  bool customConverter = false;
  const BindingTypeDescriptor* owner = nullptr;

  bool IsRequired() const { return (flags & kFieldRequired) != 0; }
  bool OmitsDefault() const { return (flags & kFieldOmitWhenDefault) != 0; }
  // The advertised type when one is set, else the declared one.
  const BindingTypeRef& AdvertisedOrDeclared() const {
    return advertised.kind != BindingTypeKind::None ? advertised : declared;
  }
};

struct BindingTypeDescriptor {
  std::uint32_t size = 0;
  bool isEnum = false;
  std::string name;
  std::string nameSpace;
  std::uint32_t identityHash = 0;
  TypeIdentity identity;
  std::string description;
  std::vector<std::string> tags;
  std::deque<BindingFieldDescriptor> fields;                         // registration order
  std::map<std::string, BindingEnumValue, std::less<>> enumerators;  // name order
  BindingRegistry* registry = nullptr;

  // The name of the first enumerator (in name order) with that value, or null.
  const char* EnumeratorName(std::int64_t value) const;
  // The value of the enumerator of exactly that name.
  std::optional<std::int32_t> EnumeratorValue(std::string_view enumeratorName) const;
  // True when some enumerator has the value.
  bool HasEnumeratorValue(std::int64_t value) const { return EnumeratorName(value) != nullptr; }
};

}  // namespace Corvan

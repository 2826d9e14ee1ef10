#include "binding/NativeConversion.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/ConversionMessages.h"
#include "binding/RecordShapes.h"
#include "binding/ScalarAssign.h"

namespace Corvan {

namespace Msg = ConversionMessages;

namespace {

// Native integers are written with their own width; the memory may be any
// record, so it is written byte-wise rather than through a typed pointer.
template <class T>
void Store(void* target, T value) {
  std::memcpy(target, &value, sizeof value);
}

template <class T>
T Load(const void* source) {
  T value;
  std::memcpy(&value, source, sizeof value);
  return value;
}

void StoreSigned(void* target, std::int64_t value, BindingTypeKind kind) {
  switch (kind) {
    case BindingTypeKind::Int8: Store(target, static_cast<std::int8_t>(value)); break;
    case BindingTypeKind::Int16: Store(target, static_cast<std::int16_t>(value)); break;
    case BindingTypeKind::Int32: Store(target, static_cast<std::int32_t>(value)); break;
    default: Store(target, value); break;
  }
}

void StoreUnsigned(void* target, std::uint64_t value, BindingTypeKind kind) {
  switch (kind) {
    case BindingTypeKind::UInt8: Store(target, static_cast<std::uint8_t>(value)); break;
    case BindingTypeKind::UInt16: Store(target, static_cast<std::uint16_t>(value)); break;
    case BindingTypeKind::UInt32: Store(target, static_cast<std::uint32_t>(value)); break;
    default: Store(target, value); break;
  }
}

// An enum is kept in its registered size; 8-byte enums are sign-extended.
void StoreEnum(void* target, std::int32_t value, std::uint32_t size) {
  switch (size) {
    case 1: Store(target, static_cast<std::int8_t>(value)); break;
    case 2: Store(target, static_cast<std::int16_t>(value)); break;
    case 8: Store(target, static_cast<std::int64_t>(value)); break;
    default: Store(target, value); break;
  }
}

std::int32_t LoadEnum(const void* source, std::uint32_t size) {
  switch (size) {
    case 1: return Load<std::int8_t>(source);
    case 2: return Load<std::int16_t>(source);
    case 8: return static_cast<std::int32_t>(Load<std::int64_t>(source));
    default: return Load<std::int32_t>(source);
  }
}

bool IsSignedKind(BindingTypeKind kind) {
  return kind == BindingTypeKind::Int8 || kind == BindingTypeKind::Int16 ||
         kind == BindingTypeKind::Int32 || kind == BindingTypeKind::Int64;
}

bool IsUnsignedKind(BindingTypeKind kind) {
  return kind == BindingTypeKind::UInt8 || kind == BindingTypeKind::UInt16 ||
         kind == BindingTypeKind::UInt32 || kind == BindingTypeKind::UInt64;
}

bool AssignStructure(BindingResult& result, void* record, const BindingProperty& input,
                     const char* name, const BindingTypeDescriptor* type,
                     const BindingRegistry* registry, void* extra) {
  if (!result.success) return false;
  if (type == nullptr) return ReportConversionError(result, Msg::kUnregisteredStructure, name);
  if (input.kind() != PropertyKind::Structure)
    return ReportConversionError(result, Msg::kNotStructure, name, type->name);
  for (const BindingFieldDescriptor& field : type->fields) {
    const BindingProperty* value = input.FindField(field.name.c_str());
    if (value != nullptr && !value->IsEmpty()) {
      void* target = static_cast<char*>(record) + field.offset;
      if (!AssignField(result, target, *value, field, registry, extra)) return false;
    } else if (field.IsRequired()) {
      return ReportConversionError(result, Msg::kMissingRequiredField, name, type->name,
                                   field.name);
    }
  }
  return true;
}

bool AssignEnumValue(BindingResult& result, void* target, const BindingProperty& input,
                     const char* name, const BindingTypeDescriptor* type) {
  if (type == nullptr) return ReportConversionError(result, Msg::kNoConverter, name, "enum");
  std::int32_t value = 0;
  if (!AssignEnum(result, value, input, name, *type)) return false;
  StoreEnum(target, value, type->size);
  return true;
}

// Kinds whose values always pass through the field's converter.
bool NeedsConverter(const BindingFieldDescriptor& field) {
  const BindingTypeKind kind = field.declared.kind;
  return field.customConverter || kind == BindingTypeKind::Blob ||
         kind == BindingTypeKind::Vector || kind == BindingTypeKind::Map ||
         kind == BindingTypeKind::Callback;
}

}  // namespace

bool AssignRecord(BindingResult& result, void* record, const BindingProperty& input,
                  const char* name, const BindingTypeDescriptor* type,
                  const BindingRegistry* registry, void* extra) {
  if (!result.success) return false;
  if (input.IsEmpty()) return ReportConversionError(result, Msg::kRequired, name);
  return AssignStructure(result, record, input, name, type, registry, extra);
}

bool AssignField(BindingResult& result, void* field, const BindingProperty& input,
                 const BindingFieldDescriptor& descriptor, const BindingRegistry* registry,
                 void* extra) {
  if (!result.success) return false;
  const char* name = descriptor.name.c_str();
  if (!NeedsConverter(descriptor)) {
    return AssignValue(result, field, input, name, descriptor.declared, registry, extra);
  }
  if (descriptor.converter == nullptr) {
    return ReportConversionError(result, Msg::kNoConverter, name,
                                 BindingTypeKindName(descriptor.declared.kind));
  }
  return descriptor.converter->Assign(result, field, input, name, descriptor.declared, registry,
                                      extra);
}

bool AssignValue(BindingResult& result, void* target, const BindingProperty& input,
                 const char* name, const BindingTypeRef& type, const BindingRegistry* registry,
                 void* extra) {
  if (!result.success) return false;
  const BindingTypeKind kind = type.kind;
  if (kind == BindingTypeKind::Bool) {
    bool value = false;
    return AssignBool(result, value, input, name) && (Store(target, value), true);
  }
  if (IsSignedKind(kind)) {
    std::int64_t value = 0;
    return AssignSigned(result, value, input, name, kind) &&
           (StoreSigned(target, value, kind), true);
  }
  if (IsUnsignedKind(kind)) {
    std::uint64_t value = 0;
    return AssignUnsigned(result, value, input, name, kind) &&
           (StoreUnsigned(target, value, kind), true);
  }
  switch (kind) {
    case BindingTypeKind::Float: {
      double value = 0;
      return AssignFloating(result, value, input, name, kind) &&
             (Store(target, static_cast<float>(value)), true);
    }
    case BindingTypeKind::Double: {
      double value = 0;
      return AssignFloating(result, value, input, name, kind) && (Store(target, value), true);
    }
    case BindingTypeKind::String:
      return AssignString(result, *static_cast<std::string*>(target), input, name, registry);
    case BindingTypeKind::Blob:
      return AssignBlob(result, *static_cast<std::vector<std::uint8_t>*>(target), input, name);
    case BindingTypeKind::Object: {
      auto& value = *static_cast<BindingProperty*>(target);
      value.SetEmpty();
      value = input;
      return true;
    }
    case BindingTypeKind::Enum: return AssignEnumValue(result, target, input, name, type.type);
    case BindingTypeKind::Struct:
      return AssignStructure(result, target, input, name, type.type, registry, extra);
    default:
      return ReportConversionError(result, Msg::kNoConverter, name, BindingTypeKindName(kind));
  }
}

// ---- Convert ----------------------------------------------------------------

bool ConvertRecord(BindingResult& result, const void* record, const BindingTypeDescriptor* type,
                   const BindingRegistry* registry) {
  return ConvertRecordInto(result, result.property, record, type, registry);
}

// A field left out when default makes the places of the keys after it
// depend on the value.
bool KeepsEveryField(const BindingTypeDescriptor* type) {
  return type != nullptr && std::none_of(type->fields.begin(), type->fields.end(),
                                         [](const auto& field) { return field.OmitsDefault(); });
}

bool ConvertRecordInto(BindingResult& result, BindingProperty& out, const void* record,
                       const BindingTypeDescriptor* type, const BindingRegistry* registry,
                       RecordShapes* shapes) {
  if (!result.success) return false;
  if (type == nullptr) return ReportConversionError(result, Msg::kConvertUnregistered);
  out.SetEmpty();
  out.MakeStructure();
  if (shapes != nullptr) shapes->Begin(0, out);
  for (const BindingFieldDescriptor& field : type->fields) {
    BindingProperty& value =
        shapes != nullptr ? shapes->Field(0, out, field.name) : out.Field(field.name);
    const void* source = static_cast<const char*>(record) + field.offset;
    // On failure `value` and `out` may be gone: the message replaced the tree.
    if (!ConvertField(result, value, source, field, registry)) return false;
    if (field.OmitsDefault() && IsDefaultValue(value)) out.RemoveField(field.name.c_str());
  }
  if (shapes != nullptr) shapes->End(0, out);
  return true;
}

bool ConvertField(BindingResult& result, BindingProperty& out, const void* field,
                  const BindingFieldDescriptor& descriptor, const BindingRegistry* registry) {
  if (!result.success) return false;
  if (!NeedsConverter(descriptor))
    return ConvertValue(result, out, field, descriptor.declared, registry);
  if (descriptor.converter == nullptr) {
    return ReportConversionError(result, Msg::kNoConverter, descriptor.name,
                                 BindingTypeKindName(descriptor.declared.kind));
  }
  return descriptor.converter->Convert(result, out, field, descriptor.declared, registry);
}

bool ConvertValue(BindingResult& result, BindingProperty& out, const void* source,
                  const BindingTypeRef& type, const BindingRegistry* registry) {
  if (!result.success) return false;
  switch (type.kind) {
    case BindingTypeKind::Bool: out.SetBool(Load<bool>(source)); return true;
    case BindingTypeKind::Int8: out.SetSigned(std::int64_t{Load<std::int8_t>(source)}); return true;
    case BindingTypeKind::Int16:
      out.SetSigned(std::int64_t{Load<std::int16_t>(source)});
      return true;
    case BindingTypeKind::Int32:
      out.SetSigned(std::int64_t{Load<std::int32_t>(source)});
      return true;
    case BindingTypeKind::Int64: out.SetSigned(Load<std::int64_t>(source)); return true;
    case BindingTypeKind::UInt8:
      out.SetUnsigned(std::uint64_t{Load<std::uint8_t>(source)});
      return true;
    case BindingTypeKind::UInt16:
      out.SetUnsigned(std::uint64_t{Load<std::uint16_t>(source)});
      return true;
    case BindingTypeKind::UInt32:
      out.SetUnsigned(std::uint64_t{Load<std::uint32_t>(source)});
      return true;
    case BindingTypeKind::UInt64: out.SetUnsigned(Load<std::uint64_t>(source)); return true;
    case BindingTypeKind::Float: out.SetFloat(double{Load<float>(source)}); return true;
    case BindingTypeKind::Double: out.SetFloat(Load<double>(source)); return true;
    case BindingTypeKind::String:
      out.SetString(*static_cast<const std::string*>(source));
      return true;
    case BindingTypeKind::Object: out = *static_cast<const BindingProperty*>(source); return true;
    case BindingTypeKind::Blob:
      out.SetBlob(
          std::vector<std::uint8_t>(*static_cast<const std::vector<std::uint8_t>*>(source)));
      return true;
    case BindingTypeKind::Enum: {
      if (type.type == nullptr) return ReportConversionError(result, Msg::kConvertUnregistered);
      out.SetEnum(LoadEnum(source, type.type->size), type.type->identityHash);
      return true;
    }
    case BindingTypeKind::Struct:
      return ConvertRecordInto(result, out, source, type.type, registry);
    default:
      return ReportConversionError(result, Msg::kNoConverter, "<value>",
                                   BindingTypeKindName(type.kind));
  }
}

bool IsDefaultValue(const BindingProperty& value) {
  switch (value.kind()) {
    case PropertyKind::Empty: return true;
    case PropertyKind::Bool: return !value.GetBool();
    case PropertyKind::Signed: return value.GetSigned() == 0;
    case PropertyKind::Unsigned: return value.GetUnsigned() == 0;
    case PropertyKind::Float: return value.GetFloat() == 0.0;  // both zeros; a NaN is not 0
    case PropertyKind::String:
    case PropertyKind::Blob:
    case PropertyKind::Collection:
    case PropertyKind::Structure: return value.Size() == 0;
    case PropertyKind::Enum: return value.GetEnum().value == 0;
  }
  return false;
}

}  // namespace Corvan

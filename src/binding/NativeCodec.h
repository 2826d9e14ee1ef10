// Typed conversions of native values: the field converters that
// registration creates for each field, and the typed entry points for
// callers that convert one value rather than a record.
//
//   Highlight highlight;
//   BindingResult result;
//   if (AssignNative(result, highlight, body, kWholeValueName, &registry)) ...
//   ConvertNative(result, highlight, &registry);   // result.property is the tree
//
// Vectors and maps are handled here, since only the typed code can size a
// std::vector<T> or fill a std::unordered_map<std::string, T>.
#pragma once

#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/ConversionMessages.h"
#include "binding/NativeConversion.h"
#include "binding/NativeTypes.h"
#include "binding/RecordShapes.h"
#include "logging/FormatPositional.h"

namespace Corvan {

// The declared type of a vector's or map's elements.
template <class E>
BindingTypeRef ElementTypeRef(const BindingTypeRef& container) {
  return {NativeType<E>::kKind, NativeType<E>::kElementKind, container.type};
}

// Scalars, strings, blobs, objects, enums and records: the generic rules.
template <class T>
struct NativeCodec {
  static bool Assign(BindingResult& result, T& out, const BindingProperty& input, const char* name,
                     const BindingTypeRef& type, const BindingRegistry* registry, void* extra) {
    return AssignValue(result, &out, input, name, type, registry, extra);
  }
  static bool Convert(BindingResult& result, BindingProperty& out, const T& value,
                      const BindingTypeRef& type, const BindingRegistry* registry) {
    return ConvertValue(result, out, &value, type, registry);
  }
};

template <class E>
struct NativeCodec<std::vector<E>> {
  static bool Assign(BindingResult& result, std::vector<E>& out, const BindingProperty& input,
                     const char* name, const BindingTypeRef& type, const BindingRegistry* registry,
                     void* extra) {
    if constexpr (std::is_same_v<E, std::uint8_t>) {
      return AssignValue(result, &out, input, name, type, registry, extra);
    } else {
      if (!result.success) return false;
      out.clear();
      if (input.kind() != PropertyKind::Collection) {
        result.ReportError(FormatPositionalText(ConversionMessages::kNotCollection, name));
        return false;
      }
      out.resize(input.Size());
      const BindingTypeRef element = ElementTypeRef<E>(type);
      for (std::size_t i = 0; i < out.size(); ++i) {
        const BindingProperty& item = input.Element(i);
        if (item.IsEmpty()) continue;  // an empty element keeps the default
        if (!AssignElement(result, out, i, item, name, element, registry, extra)) return false;
      }
      return true;
    }
  }

  static bool Convert(BindingResult& result, BindingProperty& out, const std::vector<E>& value,
                      const BindingTypeRef& type, const BindingRegistry* registry) {
    if constexpr (std::is_same_v<E, std::uint8_t>) {
      return ConvertValue(result, out, &value, type, registry);
    } else {
      if (!result.success) return false;
      out.SetEmpty();
      out.MakeCollection(value.size());
      const BindingTypeRef element = ElementTypeRef<E>(type);
      if constexpr (NativeType<E>::kKind == BindingTypeKind::Struct) {
        // Records of one type bring the same keys in the same order.
        RecordShapes shapes;
        RecordShapes* places = KeepsEveryField(element.type) ? &shapes : nullptr;
        for (const E& item : value) {
          if (!ConvertRecordInto(result, out.Append(), &item, element.type, registry, places))
            return false;
        }
      } else {
        for (const E& item : value) {
          if (!NativeCodec<E>::Convert(result, out.Append(), item, element, registry)) return false;
        }
      }
      return true;
    }
  }

 private:
  // std::vector<bool> hands out proxies, not bool references.
  static bool AssignElement(BindingResult& result, std::vector<E>& out, std::size_t index,
                            const BindingProperty& item, const char* name,
                            const BindingTypeRef& element, const BindingRegistry* registry,
                            void* extra) {
    if constexpr (std::is_same_v<E, bool>) {
      bool value = false;
      if (!NativeCodec<bool>::Assign(result, value, item, name, element, registry, extra))
        return false;
      out[index] = value;
      return true;
    } else {
      return NativeCodec<E>::Assign(result, out[index], item, name, element, registry, extra);
    }
  }
};

template <class E>
struct NativeCodec<std::unordered_map<std::string, E>> {
  using Map = std::unordered_map<std::string, E>;

  static bool Assign(BindingResult& result, Map& out, const BindingProperty& input,
                     const char* name, const BindingTypeRef& type, const BindingRegistry* registry,
                     void* extra) {
    if (!result.success) return false;
    out.clear();
    if (input.kind() != PropertyKind::Structure) {
      result.ReportError(FormatPositionalText(ConversionMessages::kNotStructureMap, name));
      return false;
    }
    out.reserve(input.Size());
    const BindingTypeRef element = ElementTypeRef<E>(type);
    for (const auto& [key, value] : *input.Fields()) {
      if (value.IsEmpty()) continue;
      if (!NativeCodec<E>::Assign(result, out[key->text], value, name, element, registry, extra)) {
        return false;
      }
    }
    return true;
  }

  static bool Convert(BindingResult& result, BindingProperty& out, const Map& value,
                      const BindingTypeRef& type, const BindingRegistry* registry) {
    if (!result.success) return false;
    out.SetEmpty();
    out.MakeStructure();
    const BindingTypeRef element = ElementTypeRef<E>(type);
    for (const auto& [key, item] : value) {
      if (!NativeCodec<E>::Convert(result, out.Field(key), item, element, registry)) return false;
    }
    return true;
  }
};

// The converter registration creates for a field of native type T.
template <class T>
class TypedFieldConverter final : public FieldConverter {
 public:
  bool Assign(BindingResult& result, void* field, const BindingProperty& input, const char* name,
              const BindingTypeRef& type, const BindingRegistry* registry,
              void* extra) const override {
    return NativeCodec<T>::Assign(result, *static_cast<T*>(field), input, name, type, registry,
                                  extra);
  }
  bool Convert(BindingResult& result, BindingProperty& out, const void* field,
               const BindingTypeRef& type, const BindingRegistry* registry) const override {
    return NativeCodec<T>::Convert(result, out, *static_cast<const T*>(field), type, registry);
  }
};

// Assigns a tree to a native value of type T; a record needs a value.
template <class T>
[[nodiscard]] bool AssignNative(BindingResult& result, T& out, const BindingProperty& input,
                                const char* name, const BindingRegistry* registry,
                                void* extra = nullptr) {
  const BindingTypeRef type = TypeRefFor<T>(registry);
  if constexpr (NativeType<T>::kKind == BindingTypeKind::Struct) {
    return AssignRecord(result, &out, input, name, type.type, registry, extra);
  } else {
    return NativeCodec<T>::Assign(result, out, input, name, type, registry, extra);
  }
}

// Converts a native value of type T into result.property.
template <class T>
[[nodiscard]] bool ConvertNative(BindingResult& result, const T& value,
                                 const BindingRegistry* registry) {
  return NativeCodec<T>::Convert(result, result.property, value, TypeRefFor<T>(registry), registry);
}

}  // namespace Corvan

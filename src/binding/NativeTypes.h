// How native C++ types map to declared binding kinds.
//
// NativeType<T> gives the BindingTypeKind of a native type, the element
// kind of vectors and maps, and the type whose registered descriptor the
// declared type refers to (the record or enum itself, or the innermost
// element of a vector or map). Registration and the typed conversions use
// it, so a field's declared type always matches its C++ type.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "binding/BindingProperty.h"
#include "binding/BindingTypes.h"

namespace Corvan {

template <class T, class Enable = void>
struct NativeType {
  static_assert(std::is_class_v<T> || std::is_enum_v<T>, "no binding kind for this type");
  static constexpr BindingTypeKind kKind =
      std::is_enum_v<T> ? BindingTypeKind::Enum : BindingTypeKind::Struct;
  static constexpr BindingTypeKind kElementKind = BindingTypeKind::None;
  using Described = T;
};

template <class T>
struct NativeType<T, std::enable_if_t<std::is_arithmetic_v<T>>> {
  static constexpr BindingTypeKind Kind() {
    if constexpr (std::is_same_v<T, bool>)
      return BindingTypeKind::Bool;
    else if constexpr (std::is_same_v<T, float>)
      return BindingTypeKind::Float;
    else if constexpr (std::is_floating_point_v<T>)
      return BindingTypeKind::Double;
    else if constexpr (sizeof(T) == 1)
      return std::is_signed_v<T> ? BindingTypeKind::Int8 : BindingTypeKind::UInt8;
    else if constexpr (sizeof(T) == 2)
      return std::is_signed_v<T> ? BindingTypeKind::Int16 : BindingTypeKind::UInt16;
    else if constexpr (sizeof(T) == 4)
      return std::is_signed_v<T> ? BindingTypeKind::Int32 : BindingTypeKind::UInt32;
    else
      return std::is_signed_v<T> ? BindingTypeKind::Int64 : BindingTypeKind::UInt64;
  }
  static constexpr BindingTypeKind kKind = Kind();
  static constexpr BindingTypeKind kElementKind = BindingTypeKind::None;
  using Described = void;
};

template <>
struct NativeType<std::string> {
  static constexpr BindingTypeKind kKind = BindingTypeKind::String;
  static constexpr BindingTypeKind kElementKind = BindingTypeKind::None;
  using Described = void;
};

template <>
struct NativeType<BindingProperty> {
  static constexpr BindingTypeKind kKind = BindingTypeKind::Object;
  static constexpr BindingTypeKind kElementKind = BindingTypeKind::None;
  using Described = void;
};

// A byte vector is a blob, not a vector of numbers.
template <>
struct NativeType<std::vector<std::uint8_t>> {
  static constexpr BindingTypeKind kKind = BindingTypeKind::Blob;
  static constexpr BindingTypeKind kElementKind = BindingTypeKind::None;
  using Described = void;
};

template <class E>
struct NativeType<std::vector<E>, std::enable_if_t<!std::is_same_v<E, std::uint8_t>>> {
  static constexpr BindingTypeKind kKind = BindingTypeKind::Vector;
  static constexpr BindingTypeKind kElementKind = NativeType<E>::kKind;
  using Described = typename NativeType<E>::Described;
};

template <class E>
struct NativeType<std::unordered_map<std::string, E>> {
  static constexpr BindingTypeKind kKind = BindingTypeKind::Map;
  static constexpr BindingTypeKind kElementKind = NativeType<E>::kKind;
  using Described = typename NativeType<E>::Described;
};

}  // namespace Corvan

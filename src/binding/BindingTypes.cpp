#include "binding/BindingTypes.h"

#include <iterator>

namespace Corvan {

const char* BindingTypeKindName(std::uint32_t code) {
  static const char* const kNames[] = {"",       "bool",   "int8",   "uint8",    "int16",
                                       "uint16", "int32",  "uint32", "int64",    "uint64",
                                       "float",  "double", "string", "object",   "blob",
                                       "vector", "enum",   "struct", "callback", "map"};
  return code < std::size(kNames) ? kNames[code] : "";
}

const char* BindingTypeDescriptor::EnumeratorName(std::int64_t value) const {
  for (const auto& [name, enumerator] : enumerators) {
    if (enumerator.value == value) return enumerator.name.c_str();
  }
  return nullptr;
}

std::optional<std::int32_t> BindingTypeDescriptor::EnumeratorValue(
    std::string_view enumeratorName) const {
  auto position = enumerators.find(enumeratorName);
  if (position == enumerators.end()) return std::nullopt;
  return position->second.value;
}

}  // namespace Corvan

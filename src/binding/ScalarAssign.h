// The assign rules of single native values (internal to the conversions).
// Each reports into the result and returns false on the first problem.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "binding/BindingProperty.h"
#include "binding/BindingTypes.h"
#include "logging/FormatPositional.h"

namespace Corvan {

class BindingRegistry;

// Reports a conversion message with its arguments into the result; false.
template <class... Args>
bool ReportConversionError(BindingResult& result, const char* format, const Args&... args) {
  result.ReportError(FormatPositionalText(format, args...));
  return false;
}

bool AssignBool(BindingResult& result, bool& out, const BindingProperty& input, const char* name);

// Integers of the declared kind (int8 ... int64), within that kind's bounds.
// Messages name the type by `typeName`, or by the kind's name when null.
bool AssignSigned(BindingResult& result, std::int64_t& out, const BindingProperty& input,
                  const char* name, BindingTypeKind kind, const char* typeName = nullptr);
// Integers of the declared kind (uint8 ... uint64), within that kind's bounds.
bool AssignUnsigned(BindingResult& result, std::uint64_t& out, const BindingProperty& input,
                    const char* name, BindingTypeKind kind, const char* typeName = nullptr);
// Floating point of the declared kind (float or double), within its bounds.
bool AssignFloating(BindingResult& result, double& out, const BindingProperty& input,
                    const char* name, BindingTypeKind kind);

bool AssignString(BindingResult& result, std::string& out, const BindingProperty& input,
                  const char* name, const BindingRegistry* registry);
bool AssignBlob(BindingResult& result, std::vector<std::uint8_t>& out, const BindingProperty& input,
                const char* name);
// The value of an enumerator of the enum type.
bool AssignEnum(BindingResult& result, std::int32_t& out, const BindingProperty& input,
                const char* name, const BindingTypeDescriptor& type);

}  // namespace Corvan

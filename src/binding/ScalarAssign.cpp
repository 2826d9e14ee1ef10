#include "binding/ScalarAssign.h"

#include <cctype>
#include <cerrno>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "binding/Base64.h"
#include "binding/BindingRegistry.h"
#include "binding/ConversionMessages.h"

namespace Corvan {

namespace Msg = ConversionMessages;

namespace {

struct SignedBounds {
  std::int64_t minimum;
  std::int64_t maximum;
};

SignedBounds BoundsOfSigned(BindingTypeKind kind) {
  switch (kind) {
    case BindingTypeKind::Int8: return {INT8_MIN, INT8_MAX};
    case BindingTypeKind::Int16: return {INT16_MIN, INT16_MAX};
    case BindingTypeKind::Int32: return {INT32_MIN, INT32_MAX};
    default: return {INT64_MIN, INT64_MAX};
  }
}

std::uint64_t MaximumOfUnsigned(BindingTypeKind kind) {
  switch (kind) {
    case BindingTypeKind::UInt8: return UINT8_MAX;
    case BindingTypeKind::UInt16: return UINT16_MAX;
    case BindingTypeKind::UInt32: return UINT32_MAX;
    default: return UINT64_MAX;
  }
}

// Whether a double lies within [minimum, maximum] of an integer kind and so
// truncates to a representable value. The 64-bit maxima are not doubles:
// they round up to 2^63 and 2^64, which would pass "<=" and then overflow
// the conversion, so those bounds are exclusive powers of two.
bool DoubleFitsSigned(double value, SignedBounds bounds) {
  if (bounds.maximum == INT64_MAX) return value >= -0x1p63 && value < 0x1p63;
  return value >= static_cast<double>(bounds.minimum) &&
         value <= static_cast<double>(bounds.maximum);
}

bool DoubleFitsUnsigned(double value, std::uint64_t maximum) {
  if (maximum == UINT64_MAX) return value >= 0.0 && value < 0x1p64;
  return value >= 0.0 && value <= static_cast<double>(maximum);
}

bool StartsWithMinus(const char* text) {
  while (std::isspace(static_cast<unsigned char>(*text))) ++text;
  return *text == '-';
}

bool AssignSignedText(BindingResult& result, std::int64_t& out, const char* text, const char* name,
                      BindingTypeKind kind, const char* typeName) {
  const SignedBounds bounds = BoundsOfSigned(kind);
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(text, &end, 0);
  if (*end != '\0') return ReportConversionError(result, Msg::kNumberFormat, text, name, typeName);
  if (errno == ERANGE || value < bounds.minimum || value > bounds.maximum) {
    return ReportConversionError(result, Msg::kNumberRange, text, name, typeName);
  }
  out = value;
  return true;
}

bool AssignUnsignedText(BindingResult& result, std::uint64_t& out, const char* text,
                        const char* name, BindingTypeKind kind, const char* typeName) {
  char* end = nullptr;
  errno = 0;
  const unsigned long long value = std::strtoull(text, &end, 0);
  if (*end != '\0') return ReportConversionError(result, Msg::kNumberFormat, text, name, typeName);
  // strtoull accepts a sign and negates modulo 2^64; a negative text is out
  // of range, also when blanks come before its minus sign.
  if (errno == ERANGE || StartsWithMinus(text) || value > MaximumOfUnsigned(kind)) {
    return ReportConversionError(result, Msg::kNumberRange, text, name, typeName);
  }
  out = value;
  return true;
}

bool AssignFloatingText(BindingResult& result, double& out, const char* text, const char* name,
                        BindingTypeKind kind) {
  const char* typeName = BindingTypeKindName(kind);
  const double maximum = kind == BindingTypeKind::Float ? FLT_MAX : DBL_MAX;
  char* end = nullptr;
  errno = 0;
  const double value = std::strtod(text, &end);
  if (*end != '\0') return ReportConversionError(result, Msg::kNumberFormat, text, name, typeName);
  const bool overflow = errno == ERANGE && std::isinf(value);
  if (overflow || value < -maximum || value > maximum) {
    return ReportConversionError(result, Msg::kNumberRange, text, name, typeName);
  }
  out = value;
  return true;
}

}  // namespace

bool AssignBool(BindingResult& result, bool& out, const BindingProperty& input, const char* name) {
  if (!result.success) return false;
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::Bool: out = input.GetBool(); return true;
    case PropertyKind::String: {
      const std::string_view text = input.GetStringView();
      if (text == "1" || text == "true") return out = true, true;
      if (text == "0" || text == "false") return out = false, true;
      return ReportConversionError(result, Msg::kBoolFormat, input.GetString(), name);
    }
    default:
      return ReportConversionError(result, Msg::kBoolInvalidType, name,
                                   PropertyKindName(input.kind()));
  }
}

bool AssignSigned(BindingResult& result, std::int64_t& out, const BindingProperty& input,
                  const char* name, BindingTypeKind kind, const char* typeName) {
  if (!result.success) return false;
  const SignedBounds bounds = BoundsOfSigned(kind);
  if (typeName == nullptr) typeName = BindingTypeKindName(kind);
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::Signed: {
      const std::int64_t value = input.GetSigned();
      if (value < bounds.minimum || value > bounds.maximum) {
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      }
      return out = value, true;
    }
    case PropertyKind::Unsigned: {
      const std::uint64_t value = input.GetUnsigned();
      if (value > static_cast<std::uint64_t>(bounds.maximum)) {
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      }
      return out = static_cast<std::int64_t>(value), true;
    }
    case PropertyKind::Float: {
      const double value = input.GetFloat();
      if (!DoubleFitsSigned(value, bounds))
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      return out = static_cast<std::int64_t>(value), true;
    }
    case PropertyKind::String:
      return AssignSignedText(result, out, input.GetString(), name, kind, typeName);
    case PropertyKind::Enum: {
      const std::int32_t value = input.GetEnum().value;
      if (value < bounds.minimum || value > bounds.maximum) {
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      }
      return out = value, true;
    }
    default:
      return ReportConversionError(result, Msg::kInvalidType, name, typeName,
                                   PropertyKindName(input.kind()));
  }
}

bool AssignUnsigned(BindingResult& result, std::uint64_t& out, const BindingProperty& input,
                    const char* name, BindingTypeKind kind, const char* typeName) {
  if (!result.success) return false;
  const std::uint64_t maximum = MaximumOfUnsigned(kind);
  if (typeName == nullptr) typeName = BindingTypeKindName(kind);
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::Signed: {
      const std::int64_t value = input.GetSigned();
      if (value < 0 || static_cast<std::uint64_t>(value) > maximum) {
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      }
      return out = static_cast<std::uint64_t>(value), true;
    }
    case PropertyKind::Unsigned: {
      const std::uint64_t value = input.GetUnsigned();
      if (value > maximum)
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      return out = value, true;
    }
    case PropertyKind::Float: {
      const double value = input.GetFloat();
      if (!DoubleFitsUnsigned(value, maximum))
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      return out = static_cast<std::uint64_t>(value), true;
    }
    case PropertyKind::String:
      return AssignUnsignedText(result, out, input.GetString(), name, kind, typeName);
    case PropertyKind::Enum: {
      const std::int32_t value = input.GetEnum().value;
      if (value < 0 || static_cast<std::uint64_t>(value) > maximum) {
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      }
      return out = static_cast<std::uint64_t>(value), true;
    }
    default:
      return ReportConversionError(result, Msg::kInvalidType, name, typeName,
                                   PropertyKindName(input.kind()));
  }
}

bool AssignFloating(BindingResult& result, double& out, const BindingProperty& input,
                    const char* name, BindingTypeKind kind) {
  if (!result.success) return false;
  const double maximum = kind == BindingTypeKind::Float ? FLT_MAX : DBL_MAX;
  const char* typeName = BindingTypeKindName(kind);
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    // Every 64-bit integer lies within the float and double bounds.
    case PropertyKind::Signed: return out = static_cast<double>(input.GetSigned()), true;
    case PropertyKind::Unsigned: return out = static_cast<double>(input.GetUnsigned()), true;
    case PropertyKind::Float: {
      const double value = input.GetFloat();  // a NaN passes: it compares outside no bound
      if (value < -maximum || value > maximum)
        return ReportConversionError(result, Msg::kNumberRange, value, name, typeName);
      return out = value, true;
    }
    case PropertyKind::String:
      return AssignFloatingText(result, out, input.GetString(), name, kind);
    case PropertyKind::Enum: return out = input.GetEnum().value, true;
    default:
      return ReportConversionError(result, Msg::kInvalidType, name, typeName,
                                   PropertyKindName(input.kind()));
  }
}

bool AssignString(BindingResult& result, std::string& out, const BindingProperty& input,
                  const char* name, const BindingRegistry* registry) {
  if (!result.success) return false;
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::String: out.assign(input.GetStringView()); return true;
    case PropertyKind::Enum: {
      const EnumValue value = input.GetEnum();
      const BindingTypeDescriptor* type =
          registry ? registry->FindTypeByHash(value.typeHash) : nullptr;
      const char* enumeratorName = type ? type->EnumeratorName(value.value) : nullptr;
      if (enumeratorName == nullptr)
        return ReportConversionError(result, Msg::kStringNoEnumerator, value.value, name);
      out.assign(enumeratorName);
      return true;
    }
    default: return ReportConversionError(result, Msg::kNotString, name);
  }
}

bool AssignBlob(BindingResult& result, std::vector<std::uint8_t>& out, const BindingProperty& input,
                const char* name) {
  if (!result.success) return false;
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::Blob: {
      auto bytes = input.GetBlob();
      out.assign(bytes.begin(), bytes.end());
      return true;
    }
    case PropertyKind::String:
      if (!IsBase64Text(input.GetStringView()))
        return ReportConversionError(result, Msg::kBlobInvalidBase64, name);
      out = DecodeBase64(input.GetStringView());
      return true;
    default: return ReportConversionError(result, Msg::kNotBlob, name);
  }
}

namespace {

bool AssignEnumText(BindingResult& result, std::int32_t& out, const char* text, const char* name,
                    const BindingTypeDescriptor& type) {
  if (auto value = type.EnumeratorValue(text)) return out = *value, true;
  char* end = nullptr;
  errno = 0;
  const long long number = std::strtoll(text, &end, 0);
  if (*end != '\0' || errno == ERANGE || !type.HasEnumeratorValue(number)) {
    return ReportConversionError(result, Msg::kNotEnumerator, text, type.name, name);
  }
  out = static_cast<std::int32_t>(number);
  return true;
}

}  // namespace

bool AssignEnum(BindingResult& result, std::int32_t& out, const BindingProperty& input,
                const char* name, const BindingTypeDescriptor& type) {
  if (!result.success) return false;
  switch (input.kind()) {
    case PropertyKind::Empty: return ReportConversionError(result, Msg::kRequired, name);
    case PropertyKind::Signed: {
      const std::int64_t value = input.GetSigned();
      if (!type.HasEnumeratorValue(value))
        return ReportConversionError(result, Msg::kNotEnumerator, value, type.name, name);
      return out = static_cast<std::int32_t>(value), true;
    }
    case PropertyKind::Unsigned: {
      const std::uint64_t value = input.GetUnsigned();
      if (value > INT32_MAX || !type.HasEnumeratorValue(static_cast<std::int64_t>(value))) {
        return ReportConversionError(result, Msg::kNotEnumerator, value, type.name, name);
      }
      return out = static_cast<std::int32_t>(value), true;
    }
    case PropertyKind::String: return AssignEnumText(result, out, input.GetString(), name, type);
    case PropertyKind::Enum: {
      const std::int32_t value = input.GetEnum().value;
      if (!type.HasEnumeratorValue(value))
        return ReportConversionError(result, Msg::kNotEnumerator, value, type.name, name);
      return out = value, true;
    }
    default:
      return ReportConversionError(result, Msg::kEnumInvalidType, name,
                                   PropertyKindName(input.kind()));
  }
}

}  // namespace Corvan

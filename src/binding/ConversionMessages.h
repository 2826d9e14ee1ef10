// Every message the conversions between trees and native records can
// report, in one place. %1, %2 and %3 are filled by FormatPositionalText.
#pragma once

namespace Corvan::ConversionMessages {

inline constexpr const char* kRequired = "A value for '%1' is required.";

inline constexpr const char* kBoolFormat =
    "Value %1 for '%2' of type bool is in an incorrect format. Options are \"true\", \"false\", "
    "\"1\", \"0\".";
inline constexpr const char* kBoolInvalidType =
    "Couldn't assign value to '%1' of type bool because the input is of an invalid type %2.";

inline constexpr const char* kNumberFormat =
    "Value %1 for '%2' of type %3 is in an incorrect format";
inline constexpr const char* kNumberRange = "Value %1 for '%2' of type %3 is out of range";
inline constexpr const char* kInvalidType =
    "Couldn't assign value to '%1' of type %2 because the input is of an invalid type %3.";

inline constexpr const char* kStringNoEnumerator = "%1 is not a valid enumeration value for '%2'.";
inline constexpr const char* kNotString =
    "Couldn't assign value to '%1' because the input is not a string.";

inline constexpr const char* kBlobInvalidBase64 =
    "Couldn't assign string value to '%1' of type blob because the input has invalid base64 "
    "characters.";
inline constexpr const char* kNotBlob =
    "Couldn't assign value to '%1' of type blob because the input is not a blob.";

inline constexpr const char* kNotEnumerator = "%1 is not a valid %2 enumeration value for '%3'.";
inline constexpr const char* kEnumInvalidType =
    "Couldn't assign value to '%1' of enum type because the input is of an invalid type %2.";

inline constexpr const char* kNotCollection =
    "Couldn't assign value to '%1' of type vector because the input not a collection.";
inline constexpr const char* kNotStructureMap =
    "Couldn't assign value to '%1' of type map because the input not a structure.";

inline constexpr const char* kUnregisteredStructure =
    "Couldn't assign value to '%1' because the input is an unregistered structure or not a "
    "structure at all.";
inline constexpr const char* kNotStructure =
    "Couldn't assign value to '%1' of type %2 because the input not a structure.";
inline constexpr const char* kMissingRequiredField =
    "Couldn't assign value to '%1' of type %2 because the input structure doesn't have required "
    "field '%3'.";

inline constexpr const char* kConvertUnregistered =
    "Couldn't convert native value because it's an unregistered structure.";

// A field whose kind has no built-in rule and no converter (a registration
// mistake, not an input problem).
inline constexpr const char* kNoConverter =
    "Couldn't assign value to '%1' of type %2 because the field has no converter.";

}  // namespace Corvan::ConversionMessages

// Conversion between native records and BindingProperty trees, driven by
// the descriptors of a BindingRegistry.
//
// "Assign" writes a tree into native memory and validates strictly: the
// first problem is reported into the BindingResult as a message and every
// later step is skipped. After a failure the native record is partly
// assigned and must not be used. "Convert" writes native memory into a tree;
// it fails only for unregistered records and failing custom converters.
//
// Every step first checks the result it is handed and does nothing when it
// has already failed, so the first message wins. Nothing here throws for any
// input tree.
#pragma once

#include "binding/BindingProperty.h"
#include "binding/BindingTypes.h"

namespace Corvan {

class BindingRegistry;
class RecordShapes;

// The name used in messages for a whole value taken from a request body.
inline constexpr const char* kWholeValueName = "<value>";

// Assigns a structure to a native record; an empty input is reported as
// missing.
[[nodiscard]] bool AssignRecord(BindingResult& result, void* record, const BindingProperty& input,
                                const char* name, const BindingTypeDescriptor* type,
                                const BindingRegistry* registry, void* extra = nullptr);

// Assigns one field of a record by its descriptor.
[[nodiscard]] bool AssignField(BindingResult& result, void* field, const BindingProperty& input,
                               const BindingFieldDescriptor& descriptor,
                               const BindingRegistry* registry, void* extra = nullptr);

// Assigns a value to native memory of the declared type. Vectors and maps
// need their typed converter (NativeCodec) and are refused here.
[[nodiscard]] bool AssignValue(BindingResult& result, void* target, const BindingProperty& input,
                               const char* name, const BindingTypeRef& type,
                               const BindingRegistry* registry, void* extra = nullptr);

// Converts a native record into a structure in result.property.
[[nodiscard]] bool ConvertRecord(BindingResult& result, const void* record,
                                 const BindingTypeDescriptor* type,
                                 const BindingRegistry* registry);

// Converts a native record into `out` (a value inside result.property or
// result.property itself). On failure `out` may be gone: the message
// replaced the result's tree. `shapes`, given for the records of one
// collection of a type that KeepsEveryField, puts each record's keys where
// the previous record's went (RecordShapes) instead of searching for them.
[[nodiscard]] bool ConvertRecordInto(BindingResult& result, BindingProperty& out,
                                     const void* record, const BindingTypeDescriptor* type,
                                     const BindingRegistry* registry,
                                     RecordShapes* shapes = nullptr);

// True when no field of the record type is left out when default, so that
// its records all bring their keys at the same places.
[[nodiscard]] bool KeepsEveryField(const BindingTypeDescriptor* type);

// Converts one field of a record by its descriptor into `out`.
[[nodiscard]] bool ConvertField(BindingResult& result, BindingProperty& out, const void* field,
                                const BindingFieldDescriptor& descriptor,
                                const BindingRegistry* registry);

// Converts native memory of the declared type into `out` (not vectors and
// maps, which need their typed converter).
[[nodiscard]] bool ConvertValue(BindingResult& result, BindingProperty& out, const void* source,
                                const BindingTypeRef& type, const BindingRegistry* registry);

// True for the values a field with the omit-when-default flag leaves out:
// empty, false, 0, 0.0 (either sign), size 0, enum 0.
bool IsDefaultValue(const BindingProperty& value);

}  // namespace Corvan

// Conversions between BindingProperty trees and the FlatProperty form in
// which values cross the host boundary (see plugin/HostAbi.h).
//
// Flat values the plugin builds own their texts, blobs and arrays; the
// plugin allocates them with its ordinary heap and frees them with
// ReleaseFlatProperty. Flat values from the host are read, never freed here,
// and never trusted: null pointers, unknown kinds and nesting deeper than
// kMaxTreeDepth give a message, not a crash.
#pragma once

#include <cstdint>
#include <string_view>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace Corvan {

class BindingRegistry;

// The display name of a flat kind: "bool", "signed", ..., "" when unknown.
const char* FlatKindName(std::uint32_t kind);

// A heap copy of a text, zero-terminated, for owned flat texts and errors.
char* CopyFlatText(std::string_view text);
// Frees a text made by CopyFlatText (null is allowed).
void FreeFlatText(const char* text);

// Packed records hold their FlatProperty at any byte address, so code never
// binds a reference to it: these copy it out of and into such a record.
FlatProperty EntryValue(const FlatPropertyEntry& entry);
void SetEntryValue(FlatPropertyEntry& entry, const FlatProperty& value);
FlatProperty ResultValue(const FlatResult& result);
void SetResultValue(FlatResult& result, const FlatProperty& value);

// Frees the owned parts of a flat value and leaves it null.
void ReleaseFlatProperty(FlatProperty& flat);

// The flat form of an empty, bool, number or float value (null for any
// other kind): nothing to own.
FlatProperty ScalarFlatProperty(const BindingProperty& value);

// Replaces `out` with the flat form of `value`. With a registry, enum values
// whose type and enumerator are known become the enumerator's name.
void ToFlatProperty(const BindingProperty& value, FlatProperty& out,
                    const BindingRegistry* registry = nullptr);

// Reads a flat value into `out`. On failure reports the message into
// `report` (its value released, a heap copy of the message, has-error 1) and
// returns false; `path` names the value in the message.
[[nodiscard]] bool FromFlatProperty(const FlatProperty& flat, BindingProperty& out,
                                    FlatResult& report, const char* path);

// Releases the value of a result and stores a heap copy of the message.
void ReportFlatError(FlatResult& result, std::string_view message);
// Frees the value and error text of a result and zeroes it.
void ReleaseFlatResult(FlatResult& result);

}  // namespace Corvan

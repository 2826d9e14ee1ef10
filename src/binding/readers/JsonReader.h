// JsonReader: turns a JSON request body ("application/json",
// "application/vnd.api+json") into a BindingProperty tree.
//
// RapidJSON's SAX reader parses the text with its default flags (standard
// JSON only: no comments, no trailing commas, no NaN or infinity literals;
// only white space after the root value) and calls a handler that feeds a
// TreeBuilder, which owns the nesting limit and the repeated-key rule (a later
// scalar replaces an earlier value, a later object adds its members to an
// earlier one, a later array appends its elements to an earlier one).
//
//   BindingResult result = ReadJson(R"({"name": "clip", "id": 7})");
//   if (!result.success) Log(result.ErrorText());
//   result.property.FindField("id")->GetUnsigned();  // 7
//
// Mapping: null is an empty value; true and false bool; an integer without
// "-" that fits 64 bits unsigned; an integer with "-" that fits 64 bits
// signed; every other number float; strings string; arrays collections;
// objects structures. A text that is empty or only white space is an empty
// value and a success.
//
// Errors are "Error: <text> at offset <byte offset>.", where the text is
// RapidJSON's English one for its error code (rapidjson/error/en.h), or
// "The document is nested deeper than 512 levels." when the document opens
// more than kMaxTreeDepth arrays and objects at once. The first error ends the parse and the partly built tree is
// dropped; nothing throws.
#pragma once

#include <string_view>

#include "binding/BindingProperty.h"

namespace Corvan {

// Reads the JSON text up to its first zero byte or its length, whichever
// comes first; no byte past the length is read, and no terminator is needed.
[[nodiscard]] BindingResult ReadJson(std::string_view text);

}  // namespace Corvan

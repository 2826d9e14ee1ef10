// YamlReader: turns a YAML request body ("application/x-yaml") into a
// BindingProperty tree.
//
//   BindingResult body = ReadYaml(request.body);
//   if (!body.success) return Reply(400, body.ErrorText());
//
// The text is one YAML document (an empty text is an empty value; a second
// document is refused). Mappings become structures and must have string
// keys; sequences become collections. Untagged plain, literal and folded
// scalars resolve in this order: a null word ("", "~", "null", "Null",
// "NULL") is empty; a number (the whole text read by strtod, infinities
// excluded) is unsigned when integral and non-negative, signed when integral
// and negative, float otherwise; a boolean word ("true", "yes", "on", "y" and
// their capitalised and upper-case forms; "false", "no", "off", "n" alike) is
// a bool; anything else is a string. Quoted scalars are strings. The core
// tags !!str, !!int, !!float and !!bool choose the kind instead; other
// tags (!!null among them) are refused.
//
// Aliases are expanded by deep copy: an alias receives a copy of the node
// its anchor marks (an anchored key gives its text). An alias inside its own
// anchored node is refused as cyclic, and the values that alias copies may
// create in one document are bounded (ten per event read, plus a small
// allowance, and at most kMaxYamlAliasValues), so a document cannot multiply
// itself into unbounded memory. Nesting is limited to kMaxTreeDepth levels,
// for what the text opens as for what an alias copies; the reader stops at
// the first level past the limit.
//
// Repeated keys write into the same field: a later scalar replaces the
// earlier value, a later mapping adds its keys to an earlier mapping, a
// later sequence appends its elements to an earlier sequence (and a mapping
// or sequence replaces a value of the other kinds). An alias in key position
// is refused as an invalid key.
//
// Every failure is a value: the result holds {"error": message}, where the
// message carries the 1-based line and column of the offending event (or
// libyaml's own 0-based position for a syntax error).
//
// Each thread that reads YAML keeps one libyaml parser (about 64 KiB of
// buffers) for its next read, so a small body does not pay libyaml's setup.
#pragma once

#include <cstddef>
#include <string_view>

#include "binding/BindingProperty.h"

namespace Corvan {

// The most values alias copies may create while reading one document.
inline constexpr std::size_t kMaxYamlAliasValues = 1000000;

// Reads one YAML document of exactly `text` (no terminator needed) into a tree.
[[nodiscard]] BindingResult ReadYaml(std::string_view text);

}  // namespace Corvan

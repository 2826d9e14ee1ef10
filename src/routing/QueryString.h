// Query strings of request paths: "/items?name=clip+one&ids.0=7".
//
// The query is the text after the first "?" of a path. It is split at every
// "&" (an empty piece is an entry with an empty name), each piece at its
// first "=", and names and values are decoded: "+" is a blank and "%"
// followed by two characters is one byte. Decoding never fails; characters
// that are not hexadecimal digits still give a byte (see DecodeQueryComponent),
// so a value can hold any byte, zero included.
//
//   QueryParameters query = ParseQueryString(QueryTextOfPath(request.path));
//   query["name"];  // "clip one"
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace Corvan {

// Decoded query entries by name; a repeated name keeps its last value.
using QueryParameters = std::map<std::string, std::string, std::less<>>;

// The text after the first "?" of a zero-terminated path; "" when there is
// none or the path is null.
[[nodiscard]] std::string_view QueryTextOfPath(const char* path);
// The path before its first "?" (all of it without one; "" for null), which
// routes are matched against.
[[nodiscard]] std::string_view PathWithoutQuery(const char* path);

// Decodes one name or value. "%XY" becomes ((X << 4) | Y) truncated to 8
// bits, where each digit counts 0 to 15 and every non-hexadecimal character
// 16; a "%" with fewer than two characters after it is dropped.
[[nodiscard]] std::string DecodeQueryComponent(std::string_view text);

// Splits and decodes a query text (without its "?").
[[nodiscard]] QueryParameters ParseQueryString(std::string_view query);

}  // namespace Corvan

// JsonEncoding: values as JSON text for HTTP bodies, event streams and the
// settings file, written with RapidJSON's writer.
//
//   std::string body = FlatToJson(ResultValue(response.result));
//   std::string error = ErrorBodyJson(404, "Not found");
//
// Mapping of a FlatProperty: null, bool, numbers and texts as themselves;
// blobs as base64 text; arrays and objects as JSON arrays and objects, keys
// in the order they come. A double that JSON cannot hold (NaN, infinity)
// is written as null. A flat value is untrusted: null pointers give null
// (or the empty text for a key), an unknown kind null, and nesting deeper
// than kMaxTreeDepth ends in null rather than exhausting the stack.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace Corvan::Host {

// The JSON text of a flat value.
[[nodiscard]] std::string FlatToJson(const FlatProperty& value);

// The JSON text of a dynamic value (through its flat form).
[[nodiscard]] std::string PropertyToJson(const BindingProperty& value);

// The error body every failed HTTP answer carries:
// {"httpStatus": status, "message": message}.
[[nodiscard]] std::string ErrorBodyJson(std::uint32_t status, std::string_view message);

}  // namespace Corvan::Host

// Body formats of requests and responses, and the decoding of request bodies.
//
// A request names its body's format by content type; the comparison ignores
// case and looks only at the length of each known type, so parameters after
// it ("application/json; charset=utf-8") do not matter. The codes of
// BodyFormat are those of the HostResponse's format field.
//
//   BindingResult body = ReadBody(request.bodyContentType, request.body, request.bodyLength);
//   if (!body.success) callResult.ReportError(body.ErrorText());
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/BindingProperty.h"

namespace Corvan {

enum class BodyFormat : std::uint32_t {
  None = 0,
  Json = 1,
  Yaml = 2,
  MessagePack = 3,
};

// The format of a content type: "application/x-msgpack", "application/json",
// "application/vnd.api+json" or "application/x-yaml"; None for any other
// type and for a null one.
[[nodiscard]] BodyFormat BodyFormatOfContentType(const char* contentType);

// Decodes a body of `length` bytes in a format. JSON and YAML read the text
// up to its first zero byte; MessagePack must be one value filling the whole
// body. None fails as an unsupported content type. A null body is empty.
[[nodiscard]] BindingResult ReadBody(BodyFormat format, const std::uint8_t* body,
                                     std::size_t length);

// Decodes a body in the format its content type names.
[[nodiscard]] BindingResult ReadBody(const char* contentType, const std::uint8_t* body,
                                     std::size_t length);

}  // namespace Corvan

// The body formats: the one table of what the system knows about each.
//
// Every place that maps a content type to a format, recognises a structured
// argument text by its first bytes, decodes a body or an argument text, or
// checks a response's format code reads the table here, so that a further
// format is one more row. A row holds the format (whose code is the
// HostResponse's format field), its content types, whether its text ends at
// the first zero byte, how a structured argument text in it is recognised
// and how a value is decoded from it.
//
// Content types compare ignoring case and over the length of each known
// type only, so parameters after it ("application/json; charset=utf-8") do
// not matter. "text/x-yaml" is no content type the router reads.
//
//   BindingResult body = ReadBody(request.bodyContentType, request.body, request.bodyLength);
//   if (!body.success) callResult.ReportError(body.ErrorText());
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace Corvan {

enum class BodyFormat : std::uint32_t {
  None = BODY_FORMAT_NONE,
  Json = BODY_FORMAT_JSON,
  Yaml = BODY_FORMAT_YAML,
  MessagePack = BODY_FORMAT_MESSAGEPACK,
};

// A value decoded from the front of some bytes, and how many it used.
struct DecodedValue {
  BindingResult result;
  std::size_t consumed = 0;
};

struct BodyFormatRow {
  BodyFormat format;
  // The content types that name it; unused slots are empty.
  std::string_view contentTypes[2];
  // Text formats end at their first zero byte; binary ones use every byte.
  bool endsAtZero;
  // Whether a structured argument text is in this format, by its start.
  bool (*recognises)(std::string_view text);
  // Decodes one value from the bytes (already cut at a zero byte where the
  // format ends there).
  DecodedValue (*decode)(std::string_view bytes);
};

// Every known format, in the order argument texts are tried: MessagePack
// (by its first byte), JSON ("{" or "["), YAML ("---").
[[nodiscard]] std::span<const BodyFormatRow> BodyFormats();

// The row of a format; null for None.
[[nodiscard]] const BodyFormatRow* FindBodyFormat(BodyFormat format);

// The content type that names a format first ("application/json"); empty
// for None.
[[nodiscard]] std::string_view ContentTypeOf(BodyFormat format);

// The format a response's format code names; None for an unknown code.
[[nodiscard]] BodyFormat BodyFormatOfCode(std::uint32_t code);

// The format of a content type; None for any other type and for a null one.
[[nodiscard]] BodyFormat BodyFormatOfContentType(const char* contentType);

// The format a structured argument text is recognised in; null for plain
// text.
[[nodiscard]] const BodyFormatRow* RecognisedFormatOfText(std::string_view text);

// Decodes one value of a format from a text, cut at its first zero byte
// where the format ends there; trailing bytes are not checked.
[[nodiscard]] DecodedValue DecodeText(const BodyFormatRow& format, std::string_view text);

// Decodes a body of `length` bytes in a format: one value that must fill
// the body. None fails as an unsupported content type. A null body is
// empty.
[[nodiscard]] BindingResult ReadBody(BodyFormat format, const std::uint8_t* body,
                                     std::size_t length);

// Decodes a body in the format its content type names.
[[nodiscard]] BindingResult ReadBody(const char* contentType, const std::uint8_t* body,
                                     std::size_t length);

}  // namespace Corvan

#include "routing/BodyFormat.h"

#include <cstring>
#include <string_view>

#include "binding/readers/JsonReader.h"
#include "binding/readers/MessagePackReader.h"
#include "binding/readers/YamlReader.h"
#include "routing/AsciiCase.h"

namespace Corvan {
namespace {

enum class BodyMessage {
  UnsupportedContentType,
  ExtraMessagePackData,
};

const char* BodyMessageText(BodyMessage message) {
  switch (message) {
    case BodyMessage::UnsupportedContentType: return "Unsupported body content type";
    case BodyMessage::ExtraMessagePackData: return "Extra MessgePack data found in body";
  }
  return "";
}

BindingResult Failure(BodyMessage message) {
  BindingResult result;
  result.ReportError(BodyMessageText(message));
  return result;
}

// A text as far as its first zero byte, as the text readers see it.
std::string_view UpToZero(std::string_view text) { return text.substr(0, text.find('\0')); }

// JSON's white space: what its reader skips before a value.
std::string_view SkipBlanks(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  return start == std::string_view::npos ? std::string_view() : text.substr(start);
}

bool LooksLikeMessagePack(std::string_view text) {
  if (text.empty()) return false;
  const auto first = static_cast<std::uint8_t>(text[0]);
  return (first >= 0x80 && first <= 0x9F) || (first >= 0xDC && first <= 0xDF);
}

bool LooksLikeJson(std::string_view text) {
  const std::string_view content = SkipBlanks(UpToZero(text));
  return !content.empty() && (content[0] == '{' || content[0] == '[');
}

bool LooksLikeYaml(std::string_view text) { return SkipBlanks(UpToZero(text)).starts_with("---"); }

DecodedValue DecodeMessagePack(std::string_view bytes) {
  MessagePackReadResult read =
      ReadMessagePack(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return {std::move(read.result), read.consumed};
}

DecodedValue DecodeJson(std::string_view text) { return {ReadJson(text), text.size()}; }

DecodedValue DecodeYaml(std::string_view text) { return {ReadYaml(text), text.size()}; }

constexpr BodyFormatRow kBodyFormats[] = {
    {BodyFormat::MessagePack,
     {"application/x-msgpack", {}},
     false,
     LooksLikeMessagePack,
     DecodeMessagePack},
    {BodyFormat::Json,
     {"application/json", "application/vnd.api+json"},
     true,
     LooksLikeJson,
     DecodeJson},
    {BodyFormat::Yaml, {"application/x-yaml", {}}, true, LooksLikeYaml, DecodeYaml},
};

// True when `text` begins with the lower-case `prefix`, ignoring ASCII case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

std::string_view BodyBytes(const std::uint8_t* body, std::size_t length) {
  if (body == nullptr) return {};
  return std::string_view(reinterpret_cast<const char*>(body), length);
}

}  // namespace

std::span<const BodyFormatRow> BodyFormats() { return kBodyFormats; }

const BodyFormatRow* FindBodyFormat(BodyFormat format) {
  for (const BodyFormatRow& row : kBodyFormats) {
    if (row.format == format) return &row;
  }
  return nullptr;
}

std::string_view ContentTypeOf(BodyFormat format) {
  const BodyFormatRow* row = FindBodyFormat(format);
  return row != nullptr ? row->contentTypes[0] : std::string_view();
}

BodyFormat BodyFormatOfCode(std::uint32_t code) {
  const BodyFormatRow* row = FindBodyFormat(static_cast<BodyFormat>(code));
  return row != nullptr ? row->format : BodyFormat::None;
}

BodyFormat BodyFormatOfContentType(const char* contentType) {
  if (contentType == nullptr) return BodyFormat::None;
  const std::string_view text(contentType);
  for (const BodyFormatRow& row : kBodyFormats) {
    for (std::string_view name : row.contentTypes) {
      if (!name.empty() && StartsWithIgnoringCase(text, name)) return row.format;
    }
  }
  return BodyFormat::None;
}

const BodyFormatRow* RecognisedFormatOfText(std::string_view text) {
  for (const BodyFormatRow& row : kBodyFormats) {
    if (row.recognises(text)) return &row;
  }
  return nullptr;
}

DecodedValue DecodeText(const BodyFormatRow& format, std::string_view text) {
  return format.decode(format.endsAtZero ? UpToZero(text) : text);
}

BindingResult ReadBody(BodyFormat format, const std::uint8_t* body, std::size_t length) {
  const BodyFormatRow* row = FindBodyFormat(format);
  if (row == nullptr) return Failure(BodyMessage::UnsupportedContentType);
  const std::string_view bytes = BodyBytes(body, length);
  DecodedValue decoded = DecodeText(*row, bytes);
  // Only a binary format can stop before the end of its bytes: a text
  // reader refuses trailing text itself.
  if (decoded.result.success && decoded.consumed < bytes.size() && !row->endsAtZero) {
    return Failure(BodyMessage::ExtraMessagePackData);
  }
  return std::move(decoded.result);
}

BindingResult ReadBody(const char* contentType, const std::uint8_t* body, std::size_t length) {
  return ReadBody(BodyFormatOfContentType(contentType), body, length);
}

}  // namespace Corvan

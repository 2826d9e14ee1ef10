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

struct ContentTypeName {
  std::string_view name;
  BodyFormat format;
};

constexpr ContentTypeName kContentTypes[] = {
    {"application/x-msgpack", BodyFormat::MessagePack},
    {"application/json", BodyFormat::Json},
    {"application/vnd.api+json", BodyFormat::Json},
    {"application/x-yaml", BodyFormat::Yaml},
};

// True when `text` begins with the lower-case `prefix`, ignoring ASCII case.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (AsciiLower(text[i]) != prefix[i]) return false;
  }
  return true;
}

// The body as text, ending at its first zero byte and never past its length.
std::string_view BodyText(const std::uint8_t* body, std::size_t length) {
  if (body == nullptr) return {};
  const void* zero = std::memchr(body, 0, length);
  if (zero != nullptr)
    length = static_cast<std::size_t>(static_cast<const std::uint8_t*>(zero) - body);
  return std::string_view(reinterpret_cast<const char*>(body), length);
}

BindingResult ReadMessagePackBody(const std::uint8_t* body, std::size_t length) {
  if (body == nullptr) length = 0;
  MessagePackReadResult read = ReadMessagePack(body, length);
  if (!read.result.success) return std::move(read.result);
  if (read.consumed < length) return Failure(BodyMessage::ExtraMessagePackData);
  return std::move(read.result);
}

}  // namespace

BodyFormat BodyFormatOfContentType(const char* contentType) {
  if (contentType == nullptr) return BodyFormat::None;
  const std::string_view text(contentType);
  for (const ContentTypeName& type : kContentTypes) {
    if (StartsWithIgnoringCase(text, type.name)) return type.format;
  }
  return BodyFormat::None;
}

BindingResult ReadBody(BodyFormat format, const std::uint8_t* body, std::size_t length) {
  switch (format) {
    case BodyFormat::Json: return ReadJson(BodyText(body, length));
    case BodyFormat::Yaml: return ReadYaml(BodyText(body, length));
    case BodyFormat::MessagePack: return ReadMessagePackBody(body, length);
    case BodyFormat::None: break;
  }
  return Failure(BodyMessage::UnsupportedContentType);
}

BindingResult ReadBody(const char* contentType, const std::uint8_t* body, std::size_t length) {
  return ReadBody(BodyFormatOfContentType(contentType), body, length);
}

}  // namespace Corvan

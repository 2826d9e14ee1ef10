#include "routing/ArgumentBinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "binding/FlatProperty.h"
#include "logging/FormatPositional.h"
#include "routing/AsciiCase.h"
#include "routing/BodyFormat.h"
#include "routing/QueryString.h"

namespace Corvan {
namespace {

enum class BinderMessage {
  UnknownArgument,
  InvalidLocation,
  IndexFormat,
  IndexRange,
  ExpectedValue,
  MessagePackValue,
  JsonValue,
  YamlValue,
  PathTooDeep,
};

const char* BinderMessageText(BinderMessage message) {
  switch (message) {
    case BinderMessage::UnknownArgument: return "Unknown argument '%1' for '%2'.";
    case BinderMessage::InvalidLocation:
      return "Argument '%1' for '%2' was specified in an invalid location.";
    case BinderMessage::IndexFormat: return "Index %1 is in an incorrect format";
    case BinderMessage::IndexRange: return "Index %1 is out of range";
    case BinderMessage::ExpectedValue: return "Expected value for argument '%1'.";
    case BinderMessage::MessagePackValue:
      return "Couldn't deserialize MessagePack value for parameter '%1' of '%2': %3";
    case BinderMessage::JsonValue:
      return "Couldn't deserialize JSON value for parameter '%1' of '%2': %3";
    case BinderMessage::YamlValue:
      return "Couldn't deserialize YAML value for parameter '%1' of '%2': %3";
    case BinderMessage::PathTooDeep: return "Argument '%1' is nested deeper than %2 levels.";
  }
  return "";
}

// Indexes in member paths create every missing element before them, so one
// short key could otherwise ask for gigabytes; this bounds what all index
// segments of one request may create together.
constexpr std::size_t kMaxCreatedElements = std::size_t{1} << 16;
constexpr std::uint64_t kIndexLimit = std::uint64_t{1} << 31;

// The message of an argument text that does not decode in its format.
BinderMessage DecodeFailureOf(BodyFormat format) {
  switch (format) {
    case BodyFormat::MessagePack: return BinderMessage::MessagePackValue;
    case BodyFormat::Yaml: return BinderMessage::YamlValue;
    case BodyFormat::Json:
    case BodyFormat::None: break;
  }
  return BinderMessage::JsonValue;
}

bool IsStructuredKind(BindingTypeKind kind) {
  return kind == BindingTypeKind::Object || kind == BindingTypeKind::Vector ||
         kind == BindingTypeKind::Struct;
}

enum class IndexRead { Ok, BadFormat, OutOfRange };

int DigitValue(char character) {
  if (character >= '0' && character <= '9') return character - '0';
  if (character >= 'a' && character <= 'z') return character - 'a' + 10;
  if (character >= 'A' && character <= 'Z') return character - 'A' + 10;
  return 36;
}

// Reads an index segment (it begins with a digit) the way strtoul with base
// 0 does: "0x" or "0X" before a hexadecimal digit is hexadecimal, another
// leading "0" octal, anything else decimal; the whole segment must be used.
IndexRead ReadIndex(std::string_view segment, std::size_t& index) {
  int base = 10;
  std::size_t position = 0;
  if (segment[0] == '0') {
    const bool hex = segment.size() > 2 && (segment[1] == 'x' || segment[1] == 'X') &&
                     DigitValue(segment[2]) < 16;
    base = hex ? 16 : 8;
    position = hex ? 2 : 0;
  }
  std::uint64_t value = 0;
  for (; position < segment.size() && DigitValue(segment[position]) < base; ++position) {
    // Saturates: once past the limit the digits only need to be consumed.
    if (value < kIndexLimit) value = value * base + DigitValue(segment[position]);
  }
  if (position != segment.size()) return IndexRead::BadFormat;
  if (value >= kIndexLimit) return IndexRead::OutOfRange;
  index = static_cast<std::size_t>(value);
  return IndexRead::Ok;
}

class Binder {
 public:
  Binder(const ArgumentBindingInput& input, std::vector<BindingProperty>& arguments,
         BindingResult& callResult)
      : function_(*input.function),
        locations_(input.locations),
        captures_(input.captures),
        request_(*input.request),
        arguments_(arguments),
        callResult_(callResult) {}

  std::optional<std::size_t> Run() {
    BindHeaders();
    if (captures_ != nullptr) BindTexts(*captures_, ArgumentLocation::Path);
    BindQuery();
    BindDirectArguments();
    return BindBody();
  }

 private:
  template <class... Args>
  void Report(BinderMessage message, const Args&... args) {
    callResult_.ReportError(FormatPositionalText(BinderMessageText(message), args...));
  }

  bool Failed() const { return !callResult_.success; }

  ArgumentLocation LocationOf(std::size_t index) const {
    return index < locations_.size() ? locations_[index] : ArgumentLocation::Any;
  }

  bool Accepts(std::size_t index, ArgumentLocation location) const {
    const ArgumentLocation own = LocationOf(index);
    return own == ArgumentLocation::Any || own == location;
  }

  std::optional<std::size_t> IndexOf(std::string_view name) const {
    for (std::size_t i = 0; i < function_.arguments.size(); ++i) {
      if (function_.arguments[i].name == name) return i;
    }
    return std::nullopt;
  }

  // The header of a lower-cased argument name, matched exactly; the first
  // pair of that name counts. Pairs with a null name or value are skipped.
  const char* FindHeader(const std::string& name) const {
    if (request_.headers == nullptr) return nullptr;
    for (std::uint32_t i = 0; i < request_.headerCount; ++i) {
      const HostHeaderPair& pair = request_.headers[i];
      if (pair.name != nullptr && pair.value != nullptr && name == pair.name) return pair.value;
    }
    return nullptr;
  }

  void BindHeaders() {
    std::map<std::string, std::string, std::less<>> values;
    for (std::size_t i = 0; i < function_.arguments.size(); ++i) {
      if (!Accepts(i, ArgumentLocation::Header)) continue;
      const std::string& name = function_.arguments[i].name;
      if (const char* value = FindHeader(AsciiLowered(name))) values.emplace(name, value);
    }
    BindTexts(values, ArgumentLocation::Header);
  }

  void BindQuery() {
    const std::string_view query = QueryTextOfPath(request_.path);
    if (!query.empty()) BindTexts(ParseQueryString(query), ArgumentLocation::Query);
  }

  void BindTexts(const std::map<std::string, std::string, std::less<>>& texts,
                 ArgumentLocation location) {
    for (const auto& [key, value] : texts) {
      if (Failed()) return;
      BindNamedText(key, value, location);
    }
  }

  void BindNamedText(const std::string& key, std::string_view text, ArgumentLocation location) {
    const std::size_t dot = key.find('.');
    const std::string name = key.substr(0, dot);
    const std::optional<std::size_t> index = IndexOf(name);
    if (!index) return Report(BinderMessage::UnknownArgument, name, function_.name);
    if (!Accepts(*index, location)) {
      return Report(BinderMessage::InvalidLocation, name, function_.name);
    }
    if (dot == std::string::npos) return SetFromText(*index, key, text);
    BindMember(arguments_[*index], name, std::string_view(key).substr(dot + 1), text);
  }

  void SetFromText(std::size_t index, const std::string& key, std::string_view text) {
    const BindingArgumentDescriptor& argument = function_.arguments[index];
    BindingProperty& value = arguments_[index];
    if (!text.empty()) return ParseText(value, key, text, IsStructuredKind(argument.declared.kind));
    switch (argument.declared.kind) {
      case BindingTypeKind::Bool: value.SetBool(true); return;
      case BindingTypeKind::Object:
      case BindingTypeKind::Struct:
        value.SetEmpty();
        value.MakeStructure();
        return;
      case BindingTypeKind::Vector:
        value.SetEmpty();
        value.MakeCollection();
        return;
      default: Report(BinderMessage::ExpectedValue, argument.name);
    }
  }

  // A structured text in a format recognised by its start is decoded in it;
  // anything else is the text itself.
  void ParseText(BindingProperty& out, const std::string& key, std::string_view text,
                 bool structured) {
    const BodyFormatRow* format = structured ? RecognisedFormatOfText(text) : nullptr;
    if (format == nullptr) return out.SetString(text);
    DecodedValue read = DecodeText(*format, text);
    Take(out, read.result, DecodeFailureOf(format->format), key);
  }

  void Take(BindingProperty& out, BindingResult& read, BinderMessage failure,
            const std::string& key) {
    if (!read.success) {
      return Report(failure, key, function_.name, std::string(read.ErrorText()));
    }
    out = std::move(read.property);
  }

  // Walks "a.0.b" below an argument, creating what is missing, and stores
  // the text as a string at the end.
  void BindMember(BindingProperty& argument, const std::string& name, std::string_view path,
                  std::string_view text) {
    const std::size_t segments =
        static_cast<std::size_t>(std::count(path.begin(), path.end(), '.')) + 1;
    if (segments > kMaxTreeDepth) return Report(BinderMessage::PathTooDeep, name, kMaxTreeDepth);
    BindingProperty* position = &argument;
    while (position != nullptr) {
      const std::size_t dot = path.find('.');
      position = Step(*position, std::string(path.substr(0, dot)));
      if (dot == std::string_view::npos) break;
      path.remove_prefix(dot + 1);
    }
    if (position != nullptr) position->SetString(text);
  }

  // The field or element a segment names below `position`, or null after
  // reporting why it cannot be reached.
  BindingProperty* Step(BindingProperty& position, const std::string& segment) {
    if (segment.empty() || segment[0] < '0' || segment[0] > '9') return &position.Field(segment);
    std::size_t index = 0;
    switch (ReadIndex(segment, index)) {
      case IndexRead::BadFormat: Report(BinderMessage::IndexFormat, segment); return nullptr;
      case IndexRead::OutOfRange: Report(BinderMessage::IndexRange, segment); return nullptr;
      case IndexRead::Ok: break;
    }
    const std::size_t size = position.kind() == PropertyKind::Collection ? position.Size() : 0;
    const std::size_t created = index < size ? 0 : index + 1 - size;
    if (created > elementBudget_) {
      Report(BinderMessage::IndexRange, segment);
      return nullptr;
    }
    elementBudget_ -= created;
    return &position.Element(index);
  }

  void BindDirectArguments() {
    if (request_.directArguments == nullptr) return;
    const std::size_t captured = captures_ != nullptr ? captures_->size() : 0;
    for (std::uint32_t i = 0; i < request_.directArgumentCount && !Failed(); ++i) {
      const HostDirectArgument& entry = request_.directArguments[i];
      std::optional<std::size_t> index;
      if (entry.name != nullptr) {
        index = IndexOf(entry.name);
      } else if (i + captured < function_.arguments.size()) {
        index = i + captured;
      }
      if (!index) {
        const std::string name = entry.name != nullptr ? entry.name : std::to_string(i + captured);
        return Report(BinderMessage::UnknownArgument, name, function_.name);
      }
      // Copied out: the host's record is read, never referred to.
      const FlatProperty flat = entry.value;
      BindDirect(*index, flat);
    }
  }

  void BindDirect(std::size_t index, const FlatProperty& flat) {
    FlatResult report{};
    BindingProperty value;
    if (FromFlatProperty(flat, value, report, function_.arguments[index].name.c_str())) {
      arguments_[index] = std::move(value);
    } else {
      callResult_.ReportError(report.error != nullptr ? report.error : "");
    }
    ReleaseFlatResult(report);
  }

  // Runs even after an earlier failure; its own failure replaces the
  // message. Answers the argument the body went to.
  std::optional<std::size_t> BindBody() {
    if (request_.body == nullptr) return std::nullopt;
    for (std::size_t i = 0; i < function_.arguments.size(); ++i) {
      if (LocationOf(i) != ArgumentLocation::Body) continue;
      BindingResult body = ReadBody(request_.bodyContentType, request_.body, request_.bodyLength);
      if (body.success) {
        arguments_[i] = std::move(body.property);
      } else {
        callResult_.ReportError(body.ErrorText());
      }
      return i;
    }
    return std::nullopt;
  }

  const BindingFunctionDescriptor& function_;
  std::span<const ArgumentLocation> locations_;
  const RouteCaptures* captures_;
  const HostRequest& request_;
  std::vector<BindingProperty>& arguments_;
  BindingResult& callResult_;
  std::size_t elementBudget_ = kMaxCreatedElements;
};

}  // namespace

std::optional<std::size_t> BindArguments(const ArgumentBindingInput& input,
                                         std::vector<BindingProperty>& arguments,
                                         BindingResult& callResult) {
  arguments.clear();
  if (input.function == nullptr) return std::nullopt;
  arguments.resize(input.function->arguments.size());
  if (input.request == nullptr) return std::nullopt;
  return Binder(input, arguments, callResult).Run();
}

}  // namespace Corvan

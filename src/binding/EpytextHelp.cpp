#include "binding/EpytextHelp.h"

#include <algorithm>
#include <string>
#include <vector>

#include "logging/FormatPositional.h"

namespace Corvan {

namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr const char* kListFormat = "list[%1]";
constexpr const char* kDictFormat = "dict[%1]";
constexpr const char* kLinkFormat = "L{%1}";

// The type's element: same descriptor, the element kind as its kind.
BindingTypeRef ElementOf(const BindingTypeRef& type) {
  return {type.elementKind, BindingTypeKind::None, type.type};
}

// A named type without its descriptor still reads as its kind.
const char* RegisteredName(const BindingTypeRef& type) {
  return type.type != nullptr ? type.type->name.c_str() : BindingTypeKindName(type.kind);
}

// Joined with "," and no blanks.
std::string JoinTags(const std::vector<std::string>& tags) {
  std::string joined;
  for (const std::string& tag : tags) {
    if (!joined.empty()) joined += ',';
    joined += tag;
  }
  return joined;
}

void AppendParagraph(std::string& out, const std::string& text) {
  if (text.empty()) return;
  out += EpytextEscape(text);
  out += kLineEnd;
  out += kLineEnd;
}

void AppendLine(std::string& out, std::string_view label, std::string_view text) {
  out += label;
  out += text;
  out += kLineEnd;
}

void AppendTags(std::string& out, const std::vector<std::string>& tags) {
  if (!tags.empty()) AppendLine(out, "@tags: ", JoinTags(tags));
}

std::string EpytextStruct(const BindingTypeDescriptor& type) {
  std::string out;
  AppendParagraph(out, type.description);
  for (const BindingFieldDescriptor& field : type.fields) {
    AppendLine(out, "@ivar " + field.name + ": ", EpytextEscape(field.description));
    AppendLine(out, "@type " + field.name + ": ", EpytextTypeName(field.declared));
  }
  AppendTags(out, type.tags);
  return out;
}

std::string EpytextEnum(const BindingTypeDescriptor& type) {
  std::string out;
  AppendParagraph(out, type.description);
  std::vector<const BindingEnumValue*> byValue;
  byValue.reserve(type.enumerators.size());
  for (const auto& [name, enumerator] : type.enumerators) byValue.push_back(&enumerator);
  // Stable, so enumerators sharing a value keep their name order.
  std::stable_sort(
      byValue.begin(), byValue.end(),
      [](const BindingEnumValue* a, const BindingEnumValue* b) { return a->value < b->value; });
  for (const BindingEnumValue* enumerator : byValue) {
    std::string text = "(" + std::to_string(enumerator->value) + ")";
    if (!enumerator->description.empty()) text += " " + enumerator->description;
    AppendLine(out, "@cvar " + enumerator->name + ": ", text);
  }
  AppendTags(out, type.tags);
  AppendLine(out, "@size: ", std::to_string(type.size));
  return out;
}

}  // namespace

std::string EpytextEscape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  if (!text.empty() && text.front() == '-') {
    out += "E{-}";
    text.remove_prefix(1);
  }
  for (char c : text) {
    if (c == '{')
      out += "E{lb}";
    else if (c == '}')
      out += "E{rb}";
    else
      out += c;
  }
  return out;
}

std::string EpytextTypeName(const BindingTypeRef& type) {
  switch (type.kind) {
    case BindingTypeKind::Blob: return "bytearray";
    case BindingTypeKind::Vector:
      return FormatPositionalText(kListFormat, EpytextTypeName(ElementOf(type)));
    case BindingTypeKind::Map:
      return FormatPositionalText(kDictFormat, EpytextTypeName(ElementOf(type)));
    case BindingTypeKind::Enum:
    case BindingTypeKind::Struct: return FormatPositionalText(kLinkFormat, RegisteredName(type));
    case BindingTypeKind::Callback: return "callback";
    default:
      // "bool" through "object"; "" for None and unknown codes.
      return static_cast<std::uint32_t>(type.kind) <=
                     static_cast<std::uint32_t>(BindingTypeKind::Object)
                 ? BindingTypeKindName(type.kind)
                 : "";
  }
}

std::string EpytextFunction(const BindingFunctionDescriptor& function) {
  std::string out;
  AppendParagraph(out, function.description);
  AppendParagraph(out, function.help);
  for (const BindingArgumentDescriptor& argument : function.arguments) {
    if (!argument.description.empty()) {
      AppendLine(out, "@param " + argument.name + ": ",
                 (argument.optional ? "(optional) " : "") + EpytextEscape(argument.description));
    }
    AppendLine(out, "@type " + argument.name + ": ", EpytextTypeName(argument.declared));
  }
  const bool hasResult = function.result.kind != BindingTypeKind::None;
  if (hasResult) AppendLine(out, "@rtype: ", EpytextTypeName(function.result));
  AppendTags(out, function.tags);
  if (function.threadSafe) AppendLine(out, "@threadsafe: ", "true");
  if (function.isAsync) AppendLine(out, "@async: ", EpytextTypeName(function.result));
  return out;
}

std::string EpytextType(const BindingTypeDescriptor& type) {
  return type.isEnum ? EpytextEnum(type) : EpytextStruct(type);
}

std::string EpytextEvent(const BindingEventDescriptor& event) {
  std::string out;
  AppendParagraph(out, event.description);
  AppendTags(out, event.tags);
  return out;
}

}  // namespace Corvan

// TreeText: a compact text of a BindingProperty tree for reader tests, which
// shows every kind: s-1 signed, u1 unsigned, f1.5 float, a quoted string,
// bin(6162) blob, enum, [..] collection and {k:v,..} structure (keys in their
// order). Each reader's tests choose how empty values, strings and floats
// look, so that their case tables read like their format.
//
//   const TreeTextStyle kStyle{"~", '\'', "f%g"};
//   EXPECT_EQ(TreeText(ReadYaml("a: 1").property, kStyle), "{a:u1}");
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "binding/BindingProperty.h"

namespace Corvan {

struct TreeTextStyle {
  const char* empty = "nil";
  char quote = '"';
  const char* floatFormat = "f%g";  // a printf format for one double
};

inline std::string TreeText(const BindingProperty& value, const TreeTextStyle& style) {
  char number[64];
  switch (value.kind()) {
    case PropertyKind::Empty: return style.empty;
    case PropertyKind::Bool: return value.GetBool() ? "true" : "false";
    // (printf rather than "s" + std::to_string: GCC 12 warns falsely on that.)
    case PropertyKind::Signed:
      std::snprintf(number, sizeof number, "s%lld", static_cast<long long>(value.GetSigned()));
      return number;
    case PropertyKind::Unsigned:
      std::snprintf(number, sizeof number, "u%llu",
                    static_cast<unsigned long long>(value.GetUnsigned()));
      return number;
    case PropertyKind::Float:
      std::snprintf(number, sizeof number, style.floatFormat, value.GetFloat());
      return number;
    case PropertyKind::String: {
      std::string text(1, style.quote);
      text += value.GetStringView();
      return text += style.quote;
    }
    case PropertyKind::Enum: return "enum";
    case PropertyKind::Blob: {
      std::string text = "bin(";
      for (std::uint8_t byte : value.GetBlob()) {
        std::snprintf(number, sizeof number, "%02x", byte);
        text += number;
      }
      return text + ")";
    }
    case PropertyKind::Collection: {
      std::string text = "[";
      for (const BindingProperty& element : value.Elements()) {
        text += (text.size() > 1 ? "," : "") + TreeText(element, style);
      }
      return text + "]";
    }
    case PropertyKind::Structure: {
      std::string text = "{";
      for (const auto& [key, field] : *value.Fields()) {
        text +=
            (text.size() > 1 ? "," : "") + std::string(key->text) + ":" + TreeText(field, style);
      }
      return text + "}";
    }
  }
  return "?";
}

}  // namespace Corvan

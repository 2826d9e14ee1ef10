// ASCII case mapping for names on the wire (methods, header and argument
// names, content types): only A-Z and a-z change, whatever the C locale.
#pragma once

#include <string>
#include <string_view>

namespace Corvan {

constexpr char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }
constexpr char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

// A copy of the text with A-Z lower-cased.
inline std::string AsciiLowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = AsciiLower(c);
  return lowered;
}

}  // namespace Corvan

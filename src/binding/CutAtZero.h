// CutAtZero: texts and keys of a tree end at their first zero byte.
//
//   CutAtZero(std::string_view("ab\0c", 4)) == "ab"
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace Corvan {

namespace ZeroBytes {
inline bool HasZeroByte(std::uint64_t word) {
  return ((word - 0x0101010101010101ull) & ~word & 0x8080808080808080ull) != 0;
}

// Whether a text of up to 16 bytes holds a zero byte, with at most two loads
// (overlapping where the text is shorter than their sum).
inline bool ShortTextHasZero(const char* bytes, std::size_t size) {
  if (size >= 8) {
    std::uint64_t head, tail;
    std::memcpy(&head, bytes, 8);
    std::memcpy(&tail, bytes + size - 8, 8);
    return HasZeroByte(head) || HasZeroByte(tail);
  }
  if (size >= 4) {
    std::uint32_t head, tail;
    std::memcpy(&head, bytes, 4);
    std::memcpy(&tail, bytes + size - 4, 4);
    return HasZeroByte(head | (std::uint64_t{tail} << 32));
  }
  for (std::size_t i = 0; i < size; ++i)
    if (bytes[i] == '\0') return true;
  return false;
}
}  // namespace ZeroBytes

inline std::string_view CutAtZero(std::string_view text) {
  // Most texts hold no zero byte, and most keys are short enough to be
  // checked in a word or two.
  if (text.size() <= 16 && !ZeroBytes::ShortTextHasZero(text.data(), text.size())) return text;
  const void* zero = text.empty() ? nullptr : std::memchr(text.data(), 0, text.size());
  return zero ? text.substr(0, static_cast<const char*>(zero) - text.data()) : text;
}

}  // namespace Corvan

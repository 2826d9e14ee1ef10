// The 32-bit FNV-1a hash, used for type identities, interned strings and
// field and argument name hashes. It is constexpr so that hashes of fixed
// texts fold at build time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace Corvan {

inline constexpr std::uint32_t kFnv1aOffsetBasis = 0x811c9dc5u;
inline constexpr std::uint32_t kFnv1aPrime = 0x01000193u;

// Continues a hash over more bytes, so that a text can be hashed in pieces.
constexpr std::uint32_t Fnv1aAppend(std::uint32_t hash, std::string_view bytes) {
  for (char c : bytes) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnv1aPrime;
  }
  return hash;
}

// Hashes the bytes of a text.
constexpr std::uint32_t Fnv1a(std::string_view bytes) {
  return Fnv1aAppend(kFnv1aOffsetBasis, bytes);
}

}  // namespace Corvan

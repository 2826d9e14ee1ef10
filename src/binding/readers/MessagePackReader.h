// MessagePackReader: decodes a request body sent as "application/x-msgpack"
// into a BindingProperty tree.
//
// The reader decodes exactly one value from the front of the input and tells
// the caller how many bytes it used; a caller that wants the whole body to be
// one value compares that count with the body's size.
//
//   MessagePackReadResult read = ReadMessagePack(body.data(), body.size());
//   if (!read.result.success) return read.result;          // {"error": ...}
//   if (read.consumed != body.size()) { /* trailing bytes */ }
//
// What it produces:
//   - positive fixint and int 8..64 give signed values, uint 8..64 unsigned
//     ones, float 32 and 64 floats, nil the empty value, str strings, bin
//     blobs, array collections and map structures;
//   - map keys must be strings; a repeated key fetches its field again, so a
//     later scalar replaces the earlier value, a later map adds its entries to
//     an earlier structure and a later array writes its elements from index 0
//     over an earlier collection;
//   - ext, fixext and the never-used byte 0xc1 are refused.
//
// Failures are values: every message names the byte position it concerns,
// and decoding stops at the first one. Input that ends between items (a
// container declares more items than follow) is not an error: the result
// holds what was read.
//
// Bounds on hostile input: no recursion (an explicit stack of open
// containers), at most kMaxTreeDepth nested containers, at most a few
// elements reserved before they arrive, and a declared array 16/32 or map
// 16/32 count that the remaining bytes cannot hold is refused at once: every
// item needs at least its own type byte, so a document of n bytes holds fewer
// than n items, counted over all its containers together.
#pragma once

#include <cstddef>
#include <cstdint>

#include "binding/BindingProperty.h"

namespace Corvan {

// The decoded value (or {"error": message}) and the number of bytes read.
struct MessagePackReadResult {
  BindingResult result;
  std::size_t consumed = 0;
};

// Decodes the first MessagePack value of data[0, size); a null pointer with
// size 0 is the empty input, which decodes to the empty value.
[[nodiscard]] MessagePackReadResult ReadMessagePack(const std::uint8_t* data, std::size_t size);

}  // namespace Corvan

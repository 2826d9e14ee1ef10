// Standard base64 (RFC 4648), for blob values carried as text.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Corvan {

// True when every character is one of A-Z, a-z, 0-9, '+', '/', '='.
bool IsBase64Text(std::string_view text);

// Decodes a text of base64 characters; decoding stops at the first '=' and
// an incomplete final group yields the bytes its bits complete.
std::vector<std::uint8_t> DecodeBase64(std::string_view text);

// Encodes bytes with '=' padding.
std::string EncodeBase64(std::span<const std::uint8_t> bytes);

}  // namespace Corvan

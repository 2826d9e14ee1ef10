#include "routing/QueryString.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace Corvan {
namespace {

// 16 for a character that is no hexadecimal digit: OR-ed into the byte it
// still sets a bit, which is how hosts and clients of this ABI decode.
unsigned HexDigitValue(char character) {
  if (character >= '0' && character <= '9') return static_cast<unsigned>(character - '0');
  if (character >= 'a' && character <= 'f') return static_cast<unsigned>(character - 'a' + 10);
  if (character >= 'A' && character <= 'F') return static_cast<unsigned>(character - 'A' + 10);
  return 16;
}

}  // namespace

std::string_view QueryTextOfPath(const char* path) {
  if (path == nullptr) return {};
  const char* mark = std::strchr(path, '?');
  return mark != nullptr ? std::string_view(mark + 1) : std::string_view();
}

std::string_view PathWithoutQuery(const char* path) {
  if (path == nullptr) return {};
  const char* mark = std::strchr(path, '?');
  return mark != nullptr ? std::string_view(path, mark - path) : std::string_view(path);
}

std::string DecodeQueryComponent(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char character = text[i];
    if (character == '+') {
      decoded += ' ';
    } else if (character != '%') {
      decoded += character;
    } else if (i + 2 < text.size()) {
      const unsigned byte = (HexDigitValue(text[i + 1]) << 4) | HexDigitValue(text[i + 2]);
      decoded += static_cast<char>(static_cast<std::uint8_t>(byte));
      i += 2;
    }
    // A "%" too close to the end is dropped; what follows it is copied.
  }
  return decoded;
}

QueryParameters ParseQueryString(std::string_view query) {
  QueryParameters parameters;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(query.find('&', start), query.size());
    const std::string_view piece = query.substr(start, end - start);
    const std::size_t equals = piece.find('=');
    std::string name = DecodeQueryComponent(piece.substr(0, equals));
    std::string value = equals == std::string_view::npos
                            ? std::string()
                            : DecodeQueryComponent(piece.substr(equals + 1));
    parameters.insert_or_assign(std::move(name), std::move(value));
    if (end == query.size()) break;
    start = end + 1;
  }
  return parameters;
}

}  // namespace Corvan

#include "LoopbackGuard.h"

#include <charconv>

#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

bool EqualsIgnoringCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (AsciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

// "digits" without sign, leading blanks or anything after them.
bool PortEquals(std::string_view text, std::uint16_t port) {
  unsigned value = 0;
  const char* end = text.data() + text.size();
  const auto [position, error] = std::from_chars(text.data(), end, value);
  return !text.empty() && error == std::errc() && position == end && value == port;
}

}  // namespace

bool IsOwnHost(std::string_view host, std::uint16_t port) {
  const std::size_t colon = host.rfind(':');
  const std::string_view name = host.substr(0, colon);
  if (name != "127.0.0.1" && !EqualsIgnoringCase(name, "localhost")) return false;
  if (colon == std::string_view::npos) return port == 80;
  return PortEquals(host.substr(colon + 1), port);
}

bool IsOwnOrigin(std::string_view origin, std::uint16_t port) {
  constexpr std::string_view kScheme = "http://";
  if (origin.size() < kScheme.size() || !EqualsIgnoringCase(origin.substr(0, kScheme.size()), kScheme)) {
    return false;
  }
  return IsOwnHost(origin.substr(kScheme.size()), port);
}

bool ChangesState(std::string_view method) {
  return method == "POST" || method == "PUT" || method == "PATCH" || method == "DELETE";
}

}  // namespace Corvan::Host

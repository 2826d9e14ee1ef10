// Positional message formatting: fills texts such as "Couldn't assign value
// to '%1' of type %2" or "%1.%2.%3" with typed arguments. A placeholder is
// either the bare "%N" (the argument printed in its type's default way) or a
// printf directive, with an argument number ("%2$5.1f") or without one
// ("%s", arguments taken in order).
//
// Each argument carries its own type, so no format text can make the C
// formatter read memory the argument does not hold: an unsuitable conversion
// letter falls back to the type's default and the length modifier always
// comes from the argument.
//
//   std::string text = FormatPositionalText("%1 (%2)", name, 42);
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <string>
#include <type_traits>

namespace Corvan {

// The argument types the formatter tells apart; each has its own set of
// conversion letters and its own length modifier.
enum class FormatKind : std::uint8_t {
  kText,
  kSigned32,
  kSigned64,
  kUnsigned32,
  kUnsigned64,
  kCharacter,
  kFloating,
};

struct FormatArgument;

// One call of a format function: a complete printf directive whose
// length modifier and conversion already suit the argument, the values of its
// '*' width and precision (in that order), and the output with its space left
// (terminator included).
struct FormatRequest {
  char* output;
  std::size_t space;
  const char* directive;
  const int* starValues;
  std::size_t starCount;
};

// One typed argument of a positional format.
struct FormatArgument {
  // Prints the argument as vsnprintf would and returns what vsnprintf returns.
  using FormatFunction = int (*)(const FormatArgument& argument, const FormatRequest& request);
  // Gives the argument as a width or precision.
  using IntegerFunction = std::int32_t (*)(const FormatArgument& argument);

  FormatFunction format = nullptr;
  IntegerFunction integer = nullptr;
  bool usableAsInteger = false;
  FormatKind kind = FormatKind::kText;
  // Which member is live follows from the kind; "object" lets a type with
  // its own format function keep a pointer to itself (printed as text).
  union Value {
    const char* text;
    std::int32_t signed32;
    std::int64_t signed64;
    std::uint32_t unsigned32;
    std::uint64_t unsigned64;
    char character;
    double floating;
    const void* object;
  } value{};
};

// A zero-terminated text; a null pointer prints as the empty text.
FormatArgument MakeFormatArgument(const char* text);
// A text that must outlive the formatting call (the argument points into it).
FormatArgument MakeFormatArgument(const std::string& text);
// Refused: the argument would point into a string that dies before it is used.
FormatArgument MakeFormatArgument(std::string&& text) = delete;
// A character, printed with "%c" by default.
FormatArgument MakeFormatArgument(char character);
// A floating-point value, printed with "%g" by default.
FormatArgument MakeFormatArgument(float value);
// A floating-point value, printed with "%g" by default.
FormatArgument MakeFormatArgument(double value);

// The integer arguments by width, for the template below.
namespace FormatDetail {
FormatArgument MakeSigned32(std::int32_t value);
FormatArgument MakeSigned64(std::int64_t value);
FormatArgument MakeUnsigned32(std::uint32_t value);
FormatArgument MakeUnsigned64(std::uint64_t value);
}  // namespace FormatDetail

// An integer (bool included), kept at 32 or 64 bits by its size, so that
// long is 64-bit where the platform makes it so and 32-bit elsewhere.
template <std::integral T>
  requires(!std::same_as<T, char>)
FormatArgument MakeFormatArgument(T value) {
  static_assert(sizeof(T) <= 8, "integers wider than 64 bits are not supported");
  if constexpr (std::is_same_v<T, bool> || (std::is_signed_v<T> && sizeof(T) <= 4)) {
    return FormatDetail::MakeSigned32(static_cast<std::int32_t>(value));
  } else if constexpr (std::is_signed_v<T>) {
    return FormatDetail::MakeSigned64(static_cast<std::int64_t>(value));
  } else if constexpr (sizeof(T) <= 4) {
    return FormatDetail::MakeUnsigned32(static_cast<std::uint32_t>(value));
  } else {
    return FormatDetail::MakeUnsigned64(static_cast<std::uint64_t>(value));
  }
}

// Formats `format` with `count` arguments into `output` (at most size - 1
// characters and a terminator; nothing when size is 0) and returns the number
// of characters written; a null format gives the empty text.
std::size_t FormatPositional(char* output, std::size_t size, const char* format,
                             const FormatArgument* arguments, std::size_t count);

// The buffer size of FormatPositionalText, so its results hold at most 4095
// characters.
inline constexpr std::size_t kFormatPositionalTextSize = 4096;

// Formats `format` with the arguments on the stack and returns the text.
template <class... Args>
std::string FormatPositionalText(const char* format, const Args&... args) {
  char buffer[kFormatPositionalTextSize];
  std::size_t length = 0;
  if constexpr (sizeof...(Args) == 0) {
    length = FormatPositional(buffer, sizeof buffer, format, nullptr, 0);
  } else {
    const FormatArgument arguments[] = {MakeFormatArgument(args)...};
    length = FormatPositional(buffer, sizeof buffer, format, arguments, sizeof...(Args));
  }
  return std::string(buffer, length);
}

}  // namespace Corvan

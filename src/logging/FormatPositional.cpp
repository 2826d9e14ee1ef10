#include "logging/FormatPositional.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <type_traits>

namespace Corvan {
namespace {

// A printf directive holds at most 59 characters (a longer one ends the
// formatting) and its terminator.
constexpr std::size_t kDirectiveCapacity = 60;

static_assert(sizeof(long long) == 8, "the \"ll\" modifier must mean 64 bits");

struct KindRules {
  const char* conversions;  // allowed letters, the first is the default
  const char* lengthModifier;
  bool smallInteger;  // "h" and "hh" only narrow what printf prints
};

constexpr KindRules RulesOf(FormatKind kind) {
  switch (kind) {
    case FormatKind::kText: return {"s", "", false};
    case FormatKind::kSigned32: return {"dciouxX", "", true};
    case FormatKind::kSigned64: return {"dciouxX", "ll", false};
    case FormatKind::kUnsigned32: return {"ucdioxX", "", true};
    case FormatKind::kUnsigned64: return {"ucdioxX", "ll", false};
    case FormatKind::kCharacter: return {"cdiouxX", "", true};
    case FormatKind::kFloating: return {"gaefGAEF", "", false};
  }
  return {"s", "", false};
}

template <class T>
int Print(const FormatRequest& request, T value) {
  switch (request.starCount) {
    case 0: return std::snprintf(request.output, request.space, request.directive, value);
    case 1:
      return std::snprintf(request.output, request.space, request.directive,
                           request.starValues[0], value);
    default:
      return std::snprintf(request.output, request.space, request.directive,
                           request.starValues[0], request.starValues[1], value);
  }
}

char ConversionOf(const char* directive) {
  return directive[std::strlen(directive) - 1];
}

// printf reads 'c' as an int and 'o', 'u', 'x', 'X' as unsigned, so each
// conversion gets exactly the type it reads, even where the bits would agree.
template <class Signed>
int PrintInteger(const FormatRequest& request, Signed value) {
  switch (ConversionOf(request.directive)) {
    case 'c': return Print(request, static_cast<int>(value));
    case 'd':
    case 'i': return Print(request, value);
    default: return Print(request, static_cast<std::make_unsigned_t<Signed>>(value));
  }
}

int FormatText(const FormatArgument& argument, const FormatRequest& request) {
  return Print(request, argument.value.text);
}

int FormatSigned32(const FormatArgument& argument, const FormatRequest& request) {
  return PrintInteger(request, static_cast<int>(argument.value.signed32));
}

int FormatSigned64(const FormatArgument& argument, const FormatRequest& request) {
  return PrintInteger(request, static_cast<long long>(argument.value.signed64));
}

int FormatUnsigned32(const FormatArgument& argument, const FormatRequest& request) {
  return PrintInteger(request, static_cast<int>(argument.value.unsigned32));
}

int FormatUnsigned64(const FormatArgument& argument, const FormatRequest& request) {
  return PrintInteger(request, static_cast<long long>(argument.value.unsigned64));
}

int FormatCharacter(const FormatArgument& argument, const FormatRequest& request) {
  return PrintInteger(request, static_cast<int>(argument.value.character));
}

int FormatFloating(const FormatArgument& argument, const FormatRequest& request) {
  return Print(request, argument.value.floating);
}

// Widths beyond the 32-bit range saturate instead of wrapping into a
// negative (left-aligned) width.
template <class T>
std::int32_t Saturate(T value) {
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  if constexpr (std::is_signed_v<T>) {
    if (value < kMin) return kMin;
  }
  return value > static_cast<T>(kMax) ? kMax : static_cast<std::int32_t>(value);
}

std::int32_t Signed32Integer(const FormatArgument& argument) {
  return argument.value.signed32;
}

std::int32_t Signed64Integer(const FormatArgument& argument) {
  return Saturate(argument.value.signed64);
}

std::int32_t Unsigned32Integer(const FormatArgument& argument) {
  return Saturate(argument.value.unsigned32);
}

std::int32_t Unsigned64Integer(const FormatArgument& argument) {
  return Saturate(argument.value.unsigned64);
}

std::int32_t CharacterInteger(const FormatArgument& argument) {
  return argument.value.character;
}

FormatArgument MakeArgument(FormatKind kind, FormatArgument::FormatFunction format,
                            FormatArgument::IntegerFunction integer) {
  FormatArgument argument;
  argument.kind = kind;
  argument.format = format;
  argument.integer = integer;
  argument.usableAsInteger = integer != nullptr;
  return argument;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Reads a run of digits, saturating so that no format text can overflow it.
std::size_t ReadNumber(const char*& cursor) {
  std::size_t value = 0;
  for (; IsDigit(*cursor); ++cursor) {
    const std::size_t digit = static_cast<std::size_t>(*cursor - '0');
    const bool fits = value <= (std::numeric_limits<std::size_t>::max() - digit) / 10;
    value = fits ? value * 10 + digit : std::numeric_limits<std::size_t>::max();
  }
  return value;
}

// The printf directive under construction, in a fixed buffer so that
// formatting never allocates.
class DirectiveText {
 public:
  bool Append(char c) {
    if (length_ + 1 >= kDirectiveCapacity) return false;
    text_[length_++] = c;
    text_[length_] = '\0';
    return true;
  }
  bool Append(const char* text) {
    for (; *text != '\0'; ++text) {
      if (!Append(*text)) return false;
    }
    return true;
  }
  const char* Text() const { return text_; }

 private:
  char text_[kDirectiveCapacity] = {};
  std::size_t length_ = 0;
};

// One run of the formatter over one format. Every step that returns false
// ends the formatting; what was written until then is the result.
class PositionalFormatter {
 public:
  PositionalFormatter(char* output, std::size_t size, const FormatArgument* arguments,
                      std::size_t count)
      : output_(output), size_(size), arguments_(arguments), count_(arguments ? count : 0) {}

  std::size_t Run(const char* format) {
    cursor_ = format;
    bool going = true;
    while (going && *cursor_ != '\0' && written_ + 1 < size_) {
      if (cursor_[0] != '%') {
        output_[written_++] = *cursor_++;
      } else if (cursor_[1] == '%') {
        output_[written_++] = '%';
        cursor_ += 2;
      } else {
        ++cursor_;
        going = FormatOne();
      }
    }
    output_[written_] = '\0';
    return written_;
  }

 private:
  // One placeholder being parsed: its printf text so far, the values of its
  // stars and the length modifier the format wrote.
  struct Placeholder {
    DirectiveText directive;
    int stars[2] = {0, 0};
    std::size_t starCount = 0;
    char modifier[3] = {0, 0, 0};
  };

  // Called after the '%'.
  bool FormatOne() {
    Placeholder placeholder;
    placeholder.directive.Append('%');
    bool missingNumber = false;
    const std::size_t number = ReadArgumentNumber(missingNumber);
    if (number != 0 && *cursor_ != '$') {
      const FormatArgument& argument = arguments_[number - 1];
      return Emit(argument, placeholder, RulesOf(argument.kind).conversions[0]);
    }
    if (number != 0) ++cursor_;
    if (!ReadFlags(placeholder.directive) || !ReadCount(placeholder)) return false;
    if (*cursor_ == '.') {
      if (!placeholder.directive.Append(*cursor_++) || !ReadCount(placeholder)) return false;
    }
    ReadModifier(placeholder);
    const char conversion = *cursor_;
    if (conversion == '\0') return false;
    // With two arguments "%3" and "%3$s" name a missing argument: no
    // conversion letter follows their digits, as one does in the width "%5d".
    if (missingNumber && std::isalpha(static_cast<unsigned char>(conversion)) == 0) return false;
    ++cursor_;
    const FormatArgument* argument = number != 0 ? &arguments_[number - 1] : TakeNext();
    if (argument == nullptr) return false;
    return conversion == 'n' || Emit(*argument, placeholder, conversion);
  }

  // An argument number is a run of digits from 1 to 9 that names an existing
  // argument; a larger run is left to be read again as the width, and
  // beyondCount says so (whether it was one shows at the conversion).
  std::size_t ReadArgumentNumber(bool& beyondCount) {
    if (*cursor_ < '1' || *cursor_ > '9') return 0;
    const char* end = cursor_;
    const std::size_t number = ReadNumber(end);
    beyondCount = number > count_;
    if (beyondCount) return 0;
    cursor_ = end;
    return number;
  }

  const FormatArgument* TakeNext() { return next_ < count_ ? &arguments_[next_++] : nullptr; }

  bool ReadFlags(DirectiveText& directive) {
    while (*cursor_ != '\0' && std::strchr("-+ #0", *cursor_) != nullptr) {
      if (!directive.Append(*cursor_++)) return false;
    }
    return true;
  }

  // Width or precision; the value of a '*' is fetched now so that the stars
  // consume sequential arguments before the value does, as printf does.
  bool ReadCount(Placeholder& placeholder) {
    if (*cursor_ != '*') {
      while (IsDigit(*cursor_)) {
        if (!placeholder.directive.Append(*cursor_++)) return false;
      }
      return true;
    }
    ++cursor_;
    const FormatArgument* source = ReadStarArgument();
    if (source == nullptr || !source->usableAsInteger || source->integer == nullptr) {
      return false;
    }
    placeholder.stars[placeholder.starCount++] = source->integer(*source);
    return placeholder.directive.Append('*');
  }

  const FormatArgument* ReadStarArgument() {
    const char* end = cursor_;
    const std::size_t number = ReadNumber(end);
    if (end == cursor_ || *end != '$') return TakeNext();
    cursor_ = end + 1;
    return number >= 1 && number <= count_ ? &arguments_[number - 1] : nullptr;
  }

  void ReadModifier(Placeholder& placeholder) {
    const char c = *cursor_;
    if (c == 'h' || c == 'l') {
      placeholder.modifier[0] = *cursor_++;
      if (*cursor_ == c) placeholder.modifier[1] = *cursor_++;
    } else if (c == 'L' || c == 'j' || c == 't' || c == 'z') {
      placeholder.modifier[0] = *cursor_++;
    }
  }

  // Deliberate hardening: the length modifier comes from the argument's own
  // type, never from the format text. A written "l", "ll", "L", "j", "t" or
  // "z" could make printf read a wider (or wide-character) value than the one
  // passed; only "h" and "hh" on integers of at most 32 bits survive, as they
  // merely narrow the printed value. 'c' takes no modifier, and the format
  // functions pass it an int.
  static const char* ModifierFor(const KindRules& rules, const Placeholder& placeholder,
                                 char conversion) {
    if (conversion == 'c') return "";
    if (rules.smallInteger && placeholder.modifier[0] == 'h') return placeholder.modifier;
    return rules.lengthModifier;
  }

  bool Emit(const FormatArgument& argument, Placeholder& placeholder, char conversion) {
    const KindRules rules = RulesOf(argument.kind);
    if (std::strchr(rules.conversions, conversion) == nullptr) conversion = rules.conversions[0];
    DirectiveText& directive = placeholder.directive;
    if (!directive.Append(ModifierFor(rules, placeholder, conversion)) ||
        !directive.Append(conversion) || argument.format == nullptr) {
      return false;
    }
    const FormatRequest request{output_ + written_, size_ - written_, directive.Text(),
                                placeholder.stars, placeholder.starCount};
    const int printed = argument.format(argument, request);
    if (printed < 0) return false;
    written_ += std::min(static_cast<std::size_t>(printed), request.space - 1);
    return true;
  }

  char* output_;
  std::size_t size_;
  std::size_t written_ = 0;
  const char* cursor_ = nullptr;
  const FormatArgument* arguments_;
  std::size_t count_;
  std::size_t next_ = 0;
};

}  // namespace

FormatArgument MakeFormatArgument(const char* text) {
  FormatArgument argument = MakeArgument(FormatKind::kText, FormatText, nullptr);
  argument.value.text = text != nullptr ? text : "";
  return argument;
}

FormatArgument MakeFormatArgument(const std::string& text) {
  return MakeFormatArgument(text.c_str());
}

FormatArgument MakeFormatArgument(char character) {
  FormatArgument argument =
      MakeArgument(FormatKind::kCharacter, FormatCharacter, CharacterInteger);
  argument.value.character = character;
  return argument;
}

FormatArgument MakeFormatArgument(float value) {
  return MakeFormatArgument(static_cast<double>(value));
}

FormatArgument MakeFormatArgument(double value) {
  FormatArgument argument = MakeArgument(FormatKind::kFloating, FormatFloating, nullptr);
  argument.value.floating = value;
  return argument;
}

namespace FormatDetail {

FormatArgument MakeSigned32(std::int32_t value) {
  FormatArgument argument =
      MakeArgument(FormatKind::kSigned32, FormatSigned32, Signed32Integer);
  argument.value.signed32 = value;
  return argument;
}

FormatArgument MakeSigned64(std::int64_t value) {
  FormatArgument argument =
      MakeArgument(FormatKind::kSigned64, FormatSigned64, Signed64Integer);
  argument.value.signed64 = value;
  return argument;
}

FormatArgument MakeUnsigned32(std::uint32_t value) {
  FormatArgument argument =
      MakeArgument(FormatKind::kUnsigned32, FormatUnsigned32, Unsigned32Integer);
  argument.value.unsigned32 = value;
  return argument;
}

FormatArgument MakeUnsigned64(std::uint64_t value) {
  FormatArgument argument =
      MakeArgument(FormatKind::kUnsigned64, FormatUnsigned64, Unsigned64Integer);
  argument.value.unsigned64 = value;
  return argument;
}

}  // namespace FormatDetail

std::size_t FormatPositional(char* output, std::size_t size, const char* format,
                             const FormatArgument* arguments, std::size_t count) {
  if (output == nullptr || size == 0) return 0;
  PositionalFormatter formatter(output, size, arguments, count);
  return formatter.Run(format != nullptr ? format : "");
}

}  // namespace Corvan

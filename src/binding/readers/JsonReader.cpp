#include "binding/readers/JsonReader.h"

// RapidJSON skips white space 16 bytes at a time when told the target has
// SSE2 (every x86-64 does; 32-bit x86 only with -msse2). It must be defined
// before the first RapidJSON header.
#if !defined(RAPIDJSON_SSE2) && !defined(RAPIDJSON_SSE42) &&           \
    (defined(__SSE2__) || defined(_M_X64) || defined(_M_AMD64) || \
     (defined(_M_IX86_FP) && _M_IX86_FP >= 2))
#define RAPIDJSON_SSE2
#endif

#include <rapidjson/error/en.h>
#include <rapidjson/reader.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "binding/readers/TreeBuilder.h"

namespace Corvan {
namespace {

// A RapidJSON input stream over the bytes [begin, end). At the end Peek and
// Take give '\0', which RapidJSON reads as the end of the text, as it reads a
// zero byte inside it; so the parse stops at the first zero byte or at the
// length and never looks past the length.
struct BoundedStream {
  using Ch = char;

  BoundedStream(const char* begin, const char* end) : src(begin), begin(begin), end(end) {}

  Ch Peek() const { return src != end ? *src : '\0'; }
  Ch Take() { return src != end ? *src++ : '\0'; }
  std::size_t Tell() const { return static_cast<std::size_t>(src - begin); }

  // The write side belongs to in-situ parsing, which this reader never asks
  // for; RapidJSON's templates only need the names.
  Ch* PutBegin() { RAPIDJSON_ASSERT(false); return nullptr; }
  void Put(Ch) { RAPIDJSON_ASSERT(false); }
  void Flush() { RAPIDJSON_ASSERT(false); }
  std::size_t PutEnd(Ch*) { RAPIDJSON_ASSERT(false); return 0; }

  const char* src;
  const char* begin;
  const char* end;
};

}  // namespace
}  // namespace Corvan

namespace rapidjson {

// Three pointers: RapidJSON may work on a local copy (kept in registers)
// and write it back.
template <>
struct StreamTraits<Corvan::BoundedStream> {
  enum { copyOptimization = 1 };
};

// White space is skipped with the bounded SIMD loop (RapidJSON's, for its
// memory streams) when 16 bytes remain, else byte by byte; neither reads
// past the end.
template <>
inline void SkipWhitespace(Corvan::BoundedStream& is) {
#ifdef RAPIDJSON_SIMD
  if (is.end - is.src >= 16) {
    is.src = SkipWhitespace_SIMD(is.src, is.end);
    return;
  }
#endif
  is.src = SkipWhitespace(is.src, is.end);
}

#ifdef RAPIDJSON_SIMD
// The bulk of a string (up to a quote, a backslash or a byte below 0x20,
// the zero byte included) is copied 16 bytes at a time, as RapidJSON does for
// its zero-terminated StringStream, but with unaligned loads that stay inside
// the text; RapidJSON's own loop then handles what stopped the scan and the
// last bytes. (This is an explicit specialization of the reader's no-op
// hook for other streams; C++20 lets it name the reader's private types.)
template <>
template <>
inline void GenericReader<UTF8<>, UTF8<>, CrtAllocator>::ScanCopyUnescapedString<
    Corvan::BoundedStream, GenericReader<UTF8<>, UTF8<>, CrtAllocator>::StackStream<char>>(
    Corvan::BoundedStream& is, StackStream<char>& os) {
  const char* p = is.src;
  const __m128i quote = _mm_set1_epi8('"');
  const __m128i backslash = _mm_set1_epi8('\\');
  const __m128i below20 = _mm_set1_epi8(0x1F);
  while (is.end - p >= 16) {
    const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    const __m128i special =
        _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash)),
                     _mm_cmpeq_epi8(_mm_max_epu8(bytes, below20), below20));
    const unsigned mask = static_cast<unsigned>(_mm_movemask_epi8(special));
    if (mask != 0) {
#ifdef _MSC_VER
      unsigned long first;
      _BitScanForward(&first, mask);
#else
      const unsigned first = static_cast<unsigned>(__builtin_ctz(mask));
#endif
      const SizeType length = static_cast<SizeType>(first);
      // (An empty stack has no memory yet: nothing to copy, no pointer.)
      if (length != 0) std::memcpy(os.Push(length), p, length);
      p += length;
      break;
    }
    _mm_storeu_si128(static_cast<__m128i*>(os.Push(16)), bytes);
    p += 16;
  }
  is.src = p;
}
#endif

}  // namespace rapidjson

namespace Corvan {
namespace {

// RapidJSON's SAX handler: every event goes to the tree builder. A refused
// container start (the nesting limit) returns false, which makes RapidJSON
// stop with kParseErrorTermination.
class TreeHandler {
 public:
  explicit TreeHandler(TreeBuilder& builder) : builder_(builder) {}

  bool Null() { builder_.Target().SetEmpty(); return true; }
  bool Bool(bool value) { builder_.Target().SetBool(value); return true; }
  // RapidJSON calls Int and Int64 for integers written with "-" only, Uint
  // and Uint64 for those without.
  bool Int(int value) { builder_.Target().SetSigned(std::int64_t{value}); return true; }
  bool Int64(std::int64_t value) { builder_.Target().SetSigned(value); return true; }
  bool Uint(unsigned value) { builder_.Target().SetUnsigned(std::uint64_t{value}); return true; }
  bool Uint64(std::uint64_t value) { builder_.Target().SetUnsigned(value); return true; }
  bool Double(double value) { builder_.Target().SetFloat(value); return true; }
  // Only called with kParseNumbersAsStringsFlag, which is not used.
  bool RawNumber(const char*, rapidjson::SizeType, bool) { return false; }
  bool String(const char* text, rapidjson::SizeType length, bool) {
    builder_.Target().SetString(std::string_view(text, length));
    return true;
  }

  bool StartObject() { return Opened(builder_.BeginStructure()); }
  bool Key(const char* text, rapidjson::SizeType length, bool) {
    builder_.Key(std::string_view(text, length));
    return true;
  }
  bool EndObject(rapidjson::SizeType) { builder_.End(); return true; }
  bool StartArray() { return Opened(builder_.BeginCollection()); }
  bool EndArray(rapidjson::SizeType) { builder_.End(); return true; }

  // True when the parse stopped at the nesting limit.
  bool tooDeep() const { return tooDeep_; }

 private:
  bool Opened(bool opened) {
    tooDeep_ = !opened;
    return opened;
  }

  TreeBuilder& builder_;
  bool tooDeep_ = false;
};

// Every message the reader reports: RapidJSON's English text for its code,
// or ours for the two stops that are not RapidJSON's (the nesting limit and
// an exhausted heap), in the form "Error: %s at offset %u.".
enum class OwnStop { None, TooDeep, OverBudget, OutOfMemory };

std::string ErrorMessage(rapidjson::ParseErrorCode code, OwnStop stop, std::size_t offset,
                         std::size_t maxDepth) {
  std::string text;
  switch (stop) {
    case OwnStop::TooDeep:
      text = "The document is nested deeper than " + std::to_string(maxDepth) + " levels.";
      break;
    case OwnStop::OverBudget:
      text = "The document needs more than " + std::to_string(kDocumentMemoryFactor) +
             " bytes of memory for each byte of its text.";
      break;
    case OwnStop::OutOfMemory: text = "Out of memory."; break;
    case OwnStop::None: text = rapidjson::GetParseError_En(code); break;
  }
  std::string message(text.size() + 48, '\0');
  const int length = std::snprintf(message.data(), message.size(), "Error: %s at offset %zu.",
                                   text.c_str(), offset);
  message.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
  return message;
}

// RapidJSON 1.1.0 adds a number's exponent to its count of fraction digits
// in an int (reader.h, ParseNumber: "int p = exp + expFrac"). It caps a
// negative exponent's digits only once the value reaches 214748364, so
// "1.0000000000e-2147483639" overflows the sum, and the wrapped sum then
// indexes its table of powers of ten far out of bounds: undefined behaviour
// that crashes release builds, not just a sanitizer report. Every negative
// exponent of at least kExponentCap reads as 0 (±0.0: p < -308), so the text
// is read with each such exponent written as kExponentCap, zero-padded to
// the same length: same value, same offsets, no overflow.
constexpr std::uint32_t kExponentCap = 214748364;
constexpr std::string_view kExponentCapDigits = "214748364";

// The value of the digits from `at` (capped at kExponentCap) and where they
// end.
std::uint32_t ExponentAt(std::string_view text, std::size_t& at) {
  std::uint32_t value = 0;
  for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
    if (value < kExponentCap) value = value * 10 + static_cast<std::uint32_t>(text[at] - '0');
  }
  return value;
}

// True when text[minus] is the "-" of "e-" or "E-" with an exponent of at
// least kExponentCap after it.
bool IsHugeNegativeExponent(std::string_view text, std::size_t minus) {
  if (minus == 0 || (text[minus - 1] != 'e' && text[minus - 1] != 'E')) return false;
  std::size_t end = minus + 1;
  return ExponentAt(text, end) >= kExponentCap;
}

// The fast test every text gets: any "e-" followed by a huge exponent, in a
// string or not.
bool MayHoldHugeNegativeExponent(std::string_view text) {
  const char* data = text.data();
  std::size_t at = 0;
  while (at < text.size()) {
    const void* found = std::memchr(data + at, '-', text.size() - at);
    if (found == nullptr) return false;
    at = static_cast<std::size_t>(static_cast<const char*>(found) - data);
    if (IsHugeNegativeExponent(text, at)) return true;
    ++at;
  }
  return false;
}

// Rewrites the huge negative exponents outside strings (inside them they
// are text). Strings are followed as RapidJSON reads them; where the two
// could part, in invalid JSON, RapidJSON has already stopped at an error,
// and digits changed into digits move no error and no offset.
void CapHugeNegativeExponents(std::string& text) {
  bool inString = false;
  for (std::size_t at = 0; at < text.size() && text[at] != '\0'; ++at) {
    const char c = text[at];
    if (inString) {
      if (c == '\\') ++at;
      else if (c == '"') inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == '-' && IsHugeNegativeExponent(text, at)) {
      std::size_t end = at + 1;
      ExponentAt(text, end);
      // At least nine digits reach the cap.
      text.replace(at + 1, end - at - 1, end - at - 1, '0');
      text.replace(end - kExponentCapDigits.size(), kExponentCapDigits.size(), kExponentCapDigits);
      at = end - 1;
    }
  }
}

}  // namespace

BindingResult ReadJson(std::string_view text) {
  std::string capped;
  if (MayHoldHugeNegativeExponent(text)) {
    capped.assign(text);
    CapHugeNegativeExponents(capped);
    text = capped;
  }

  BindingResult result;
  result.property.SetMemoryBudget(DocumentMemoryBudget(text.size()));
  TreeBuilder builder(result.property, TreeBuilder::ArrayMode::Append);
  TreeHandler handler(builder);
  BoundedStream stream(text.data(), text.data() + text.size());
  rapidjson::Reader reader;
  rapidjson::ParseResult outcome;
  OwnStop stop = OwnStop::None;
  try {
    outcome = reader.Parse<rapidjson::kParseDefaultFlags>(stream, handler);
    if (handler.tooDeep()) stop = OwnStop::TooDeep;
  } catch (const TreeMemoryBudgetExceeded&) {
    // RapidJSON writes its local copy of the stream back while unwinding.
    outcome.Set(rapidjson::kParseErrorTermination, stream.Tell());
    stop = OwnStop::OverBudget;
  } catch (const std::bad_alloc&) {
    outcome.Set(rapidjson::kParseErrorTermination, stream.Tell());
    stop = OwnStop::OutOfMemory;
  }
  if (outcome.IsError() && outcome.Code() != rapidjson::kParseErrorDocumentEmpty) {
    result.ReportError(ErrorMessage(outcome.Code(), stop, outcome.Offset(), builder.maxDepth()));
  }
  return result;
}

}  // namespace Corvan

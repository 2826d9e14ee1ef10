#include "platform/FileUtilities.h"

#include "platform/FileSystem.h"

namespace Corvan {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsContinuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// Decodes one code point at text[index] and advances index. An ill-formed
// sequence yields U+FFFD and consumes only its longest well-formed prefix
// (the "maximal subpart"), so the byte that broke it starts the next one.
char32_t DecodeUtf8(std::string_view text, std::size_t& index) {
  const auto lead = static_cast<unsigned char>(text[index++]);
  if (lead < 0x80) return lead;
  std::size_t length = 0;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return kReplacement;
  }
  char32_t value = lead & (0xFF >> (length + 1));
  for (std::size_t k = 1; k < length; ++k) {
    if (index >= text.size()) return kReplacement;
    const auto byte = static_cast<unsigned char>(text[index]);
    const bool allowed = k == 1 ? byte >= low && byte <= high : IsContinuation(byte);
    if (!allowed) return kReplacement;
    value = (value << 6) | (byte & 0x3F);
    ++index;
  }
  return value;
}

void AppendUtf8(std::string& out, char32_t value) {
  if (value < 0x80) {
    out += static_cast<char>(value);
  } else if (value < 0x800) {
    out += static_cast<char>(0xC0 | (value >> 6));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else if (value < 0x10000) {
    out += static_cast<char>(0xE0 | (value >> 12));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (value >> 18));
    out += static_cast<char>(0x80 | ((value >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((value >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (value & 0x3F));
  }
}

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

}  // namespace

std::u16string Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size();) {
    const char32_t value = DecodeUtf8(text, index);
    if (value < 0x10000) {
      out += static_cast<char16_t>(value);
    } else {
      out += static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t index = 0; index < text.size(); ++index) {
    const char16_t unit = text[index];
    if (IsHighSurrogate(unit) && index + 1 < text.size() && IsLowSurrogate(text[index + 1])) {
      const char16_t low = text[++index];
      AppendUtf8(out, 0x10000 + ((char32_t{unit} - 0xD800) << 10) + (low - 0xDC00));
    } else if (IsHighSurrogate(unit) || IsLowSurrogate(unit)) {
      AppendUtf8(out, kReplacement);
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::FILE* OpenFileUtf8(const std::string& path, const char* mode) {
  return Platform::OpenFileStream(path, mode);
}

bool MoveFileUtf8(const std::string& from, const std::string& to, std::uint32_t flags) {
  return Platform::MovePath(from, to, flags);
}

bool DeleteFileUtf8(const std::string& path) { return Platform::RemoveFile(path); }

std::uint32_t LastFileErrorCode() { return Platform::LastErrorCode(); }

}  // namespace Corvan

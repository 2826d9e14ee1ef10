// UTF-8 to and from the UTF-16 wide strings of the Windows calls, for the
// Windows layer's sources (and Windows-only tests).
#pragma once

#include <cwchar>
#include <string>
#include <string_view>

#include "platform/FileUtilities.h"

namespace Corvan::Platform {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide characters are UTF-16 code units");

inline std::wstring Wide(std::string_view text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

inline std::string Narrow(const wchar_t* text) {
  return Utf16ToUtf8(std::u16string_view(reinterpret_cast<const char16_t*>(text), std::wcslen(text)));
}

}  // namespace Corvan::Platform

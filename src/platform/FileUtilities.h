// Text conversion and single-file operations on UTF-8 paths.
//
// Every path in the system is UTF-8 text with "/" as separator; it becomes
// UTF-16 only where a Windows wide-character function is called, and these
// functions are where that happens. The file operations leave the thread's
// last error code as the system set it, so that a caller can read it with
// LastFileErrorCode right after a failure:
//
//   if (!MoveFileUtf8(from, to, 0)) report(LastFileErrorCode());
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

namespace Corvan {

// UTF-16 of UTF-8 text; each ill-formed sequence becomes one U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);

// UTF-8 of UTF-16 text; each unpaired surrogate becomes U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

// Opens a file with an fopen mode ("rb", "wb", ...); null on failure.
std::FILE* OpenFileUtf8(const std::string& path, const char* mode);

// Moves or renames a file with the MoveFileExW flags (0: never replace an
// existing file, never copy to another volume); false on failure.
bool MoveFileUtf8(const std::string& from, const std::string& to, std::uint32_t flags);

// Deletes a file; true as well when there is no file at the path.
bool DeleteFileUtf8(const std::string& path);

// The system's error code of the calling thread's last failed operation.
std::uint32_t LastFileErrorCode();

}  // namespace Corvan

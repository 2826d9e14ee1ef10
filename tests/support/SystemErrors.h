// The system's error codes that the file tests expect, on each system: the
// file store reports the code its platform gives, so the tests name the
// failure and this header gives its number.
#pragma once

#include <cstdint>
#include <string>

#if !defined(_WIN32)
#include <cerrno>
#include <cstring>
#endif

#include "platform/FileSystem.h"

namespace TestSupport::SystemError {

#if defined(_WIN32)
inline constexpr std::uint32_t kFileNotFound = 2;     // ERROR_FILE_NOT_FOUND
inline constexpr std::uint32_t kPathNotFound = 3;     // ERROR_PATH_NOT_FOUND
inline constexpr std::uint32_t kAccessDenied = 5;     // ERROR_ACCESS_DENIED
inline constexpr std::uint32_t kNotSameDevice = 17;   // ERROR_NOT_SAME_DEVICE
inline constexpr std::uint32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS
// Deleting a directory with DeleteFileW is refused as access denied.
inline constexpr std::uint32_t kIsDirectory = kAccessDenied;
#else
inline constexpr std::uint32_t kFileNotFound = ENOENT;
inline constexpr std::uint32_t kPathNotFound = ENOENT;
inline constexpr std::uint32_t kAccessDenied = EACCES;
inline constexpr std::uint32_t kNotSameDevice = EXDEV;
inline constexpr std::uint32_t kAlreadyExists = EEXIST;
inline constexpr std::uint32_t kIsDirectory = EISDIR;
#endif

// The system's own text of a code, as the file store reports it. On Linux it
// is read independently of the file store (strerror); Windows' wording is
// the system's (and Wine's differs), so there only its presence is checked.
inline std::string Text(std::uint32_t code) {
#if defined(_WIN32)
  std::string text;
  return Corvan::Platform::SystemErrorText(code, text) ? text : "<no text>";
#else
  return std::string(std::strerror(static_cast<int>(code))) + "\n";
#endif
}

}  // namespace TestSupport::SystemError

// The file-system services of the highlights file store: directory listing,
// opening, moving and deleting files, the system's error codes and texts, the
// user's Documents folder and the Windows file-time epoch.
//
// Paths are UTF-8 with "/" separators (Windows also accepts "\"). win32/
// converts them to UTF-16 and calls the wide-character functions; posix/
// gives the same contracts on Linux: times on the Windows file-time scale,
// moves that never replace an existing file, errno as the error code.
//
// Names differ from the Windows functions on purpose: <windows.h> turns
// MoveFile and DeleteFile into macros.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace Corvan::Platform {

// The attribute bit of a directory (FILE_ATTRIBUTE_DIRECTORY).
inline constexpr std::uint32_t kFileAttributeDirectory = 0x10;
// The attributes of a file with no other attribute (FILE_ATTRIBUTE_NORMAL).
inline constexpr std::uint32_t kFileAttributeNormal = 0x80;
// The move flag that lets a move replace an existing file
// (MOVEFILE_REPLACE_EXISTING).
inline constexpr std::uint32_t kMoveReplaceExisting = 0x1;

// One entry of a directory.
struct DirectoryEntry {
  std::string name;                // UTF-8, without the directory
  std::uint64_t size = 0;          // bytes
  std::uint64_t lastWriteTime = 0; // 100-nanosecond intervals since 1601-01-01 UTC
  std::uint32_t attributes = 0;    // Windows attribute bits
};

// Calls visit for each entry of a directory, in the order the file system
// gives them ("." and ".." included where it lists them); base ends in "/".
// False when the directory cannot be opened.
[[nodiscard]] bool ListDirectory(const std::string& base,
                                 const std::function<void(const DirectoryEntry&)>& visit);

// Opens a file with an fopen mode; null on failure.
std::FILE* OpenFileStream(const std::string& path, const char* mode);

// Moves a file with MoveFileExW flags; without kMoveReplaceExisting an
// existing destination makes it fail. A move to another volume always fails.
[[nodiscard]] bool MovePath(const std::string& from, const std::string& to, std::uint32_t flags);

// Deletes a file; true without deleting anything when there is none.
[[nodiscard]] bool RemoveFile(const std::string& path);

// The calling thread's last system error code (GetLastError, errno).
std::uint32_t LastErrorCode();

// The system's message text of an error code, ending in the system's line
// break; false (LastErrorCode then tells why) when it has none.
[[nodiscard]] bool SystemErrorText(std::uint32_t code, std::string& text);

// The user's Documents folder; empty when it cannot be determined.
std::string DocumentsFolderPath();

// The file time of 1970-01-01 00:00:00 UTC.
std::uint64_t UnixEpochFileTime();

}  // namespace Corvan::Platform

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

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

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
  bool described = true;           // false: size and time not looked up (Directory::List)
};

// Calls visit for each entry of a directory, in the order the file system
// gives them ("." and ".." included where it lists them); base ends in "/".
// False when the directory cannot be opened.
[[nodiscard]] bool ListDirectory(const std::string& base,
                                 const std::function<void(const DirectoryEntry&)>& visit);

// A directory kept open while its files are listed and read, so a folder
// of many files costs no more system calls per file than its reads need:
// the listing describes (size, time, attributes) only the entries the caller
// wants, and files open relative to the directory (on Windows, where the
// listing describes every entry anyway, by full path).
//
//   Directory folder;
//   if (!folder.Open(base)) return false;
//   folder.List([](std::string_view name) { return name.ends_with(".webm"); }, visit);
//   ReadOnlyFile file;
//   if (file.Open(folder, "clip.webm")) file.ReadAt(0, buffer, size);
class Directory {
 public:
  Directory() = default;
  ~Directory();
  Directory(const Directory&) = delete;
  Directory& operator=(const Directory&) = delete;

  // Opens the directory `base` (ending in "/"); false when it cannot be.
  [[nodiscard]] bool Open(const std::string& base);
  // Calls visit for each entry, as ListDirectory does, except that files
  // whose names `wantedFile` refuses may be left out, and directories may
  // come with size and time 0. Lists once per Open.
  // With describeFiles false, entries the listing itself names regular files
  // come undescribed (size and time 0, described false): a caller that opens
  // each file asks the open file instead (ReadOnlyFile::Describe), which
  // spares a lookup of the name. Where the listing gives sizes and times
  // anyway (Windows), every entry is described.
  [[nodiscard]] bool List(const std::function<bool(std::string_view name)>& wantedFile,
                          const std::function<void(const DirectoryEntry&)>& visit,
                          bool describeFiles = true);
  const std::string& base() const { return base_; }

 private:
  friend class ReadOnlyFile;
  std::string base_;
  void* handle_ = nullptr;  // the open directory, where the system has one
};

// A file opened for reading at offsets without a stream's buffer: one
// system call per read. A FIFO or device never blocks the reads; they
// simply deliver nothing useful.
class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile() { Close(); }
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  [[nodiscard]] bool Open(const std::string& path);
  // Opens a file by its path relative to an open directory.
  [[nodiscard]] bool Open(const Directory& directory, const char* relativePath);
  // Reads up to `count` bytes at `offset`; the bytes read, 0 at the end of
  // the file or on failure.
  std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t count);
  // The open file's size in bytes and last write time (as DirectoryEntry
  // gives them); false when the system cannot tell.
  [[nodiscard]] bool Describe(std::uint64_t& size, std::uint64_t& lastWriteTime) const;
  void Close();

 private:
  std::intptr_t handle_ = -1;
};

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

// Listing the files of a directory and converting their file times.
//
// ListFiles appends one FileEntry per file whose whole path matches an
// ECMAScript regular expression; directories are descended into only when
// asked. Paths are the normalised directory ("/" separators, one trailing
// "/") followed by the file name, in the order the file system returns them:
//
//   std::vector<FileEntry> entries;
//   if (!ListFiles(folder, ".*\\.webm$", false, entries)) reportMissing(folder);
//
// The expression is matched against the path as UTF-16 code units, as the
// Windows wide-character regular expressions see it, on every platform. A
// pattern that only asks for a suffix, such as ".*\.webm$", is matched as
// one, without a regular expression per name (with the same answers).
//
// The scan lists into an open directory, so that it can then open the files
// relative to it, and leaves their sizes and times to the open files:
//
//   Platform::Directory folder;
//   if (ListFiles(path, ".*\.webm$", false, entries, folder, false)) ...
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Corvan {

namespace Platform {
class Directory;
}

// One file of a listing.
struct FileEntry {
  std::string path;                // UTF-8, "/" separators
  std::uint64_t size = 0;          // bytes
  std::uint64_t lastWriteTime = 0; // Windows file time: 100 ns since 1601-01-01 UTC
  std::uint32_t attributes = 0;    // Windows attribute bits
  bool described = true;           // false: size and time not looked up yet
};

// Appends the files of a directory (and, when recursive, of its
// subdirectories) whose full path matches pattern (every file when it is
// empty); false when the directory is empty text or cannot be opened, or the
// pattern is not a valid expression.
[[nodiscard]] bool ListFiles(const std::string& directory, const std::string& pattern,
                             bool recursive, std::vector<FileEntry>& out);
// The same, leaving the directory open in `opened` (its base is the
// normalised directory, and entry paths begin with it). With describeFiles
// false, files may come undescribed (Platform::Directory::List), for a
// caller that opens each one anyway.
[[nodiscard]] bool ListFiles(const std::string& directory, const std::string& pattern,
                             bool recursive, std::vector<FileEntry>& out,
                             Platform::Directory& opened, bool describeFiles = true);

// Milliseconds since 1970-01-01 UTC of a Windows file time; a time before
// 1970 wraps around to a very large value.
std::uint64_t FileTimeToUnixMillis(std::uint64_t fileTime);

}  // namespace Corvan

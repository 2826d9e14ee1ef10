// Path text utilities: joining components, a file's stem, normalising a
// directory path, and the user's Documents folder.
//
// They work on UTF-8 text and accept "/" and "\" as separators; the paths
// they make use "/" (a UNC prefix of two backslashes is kept). JoinPath has
// the 260-byte limit of a Windows path buffer and says when a join did not
// fit:
//
//   const JoinedPath joined = JoinPath(folder, name);
//   if (!joined.ok) return refuse();
//   rename(old, joined.path + ".webm");
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Corvan {

// The size of the buffer JoinPath works in; a joined path has at most
// kJoinPathBufferSize - 1 bytes.
inline constexpr std::size_t kJoinPathBufferSize = 260;

// The result of JoinPath: on failure, path holds what was written before
// the component that did not fit.
struct JoinedPath {
  bool ok = true;
  std::string path;
};

// Joins up to eight components with "/" (empty ones are skipped); a
// component beginning with "/" or "\" or with a colon as second character
// replaces what was joined before it. Backslashes become slashes.
[[nodiscard]] JoinedPath JoinPath(std::string_view c1, std::string_view c2 = {},
                                  std::string_view c3 = {}, std::string_view c4 = {},
                                  std::string_view c5 = {}, std::string_view c6 = {},
                                  std::string_view c7 = {}, std::string_view c8 = {});

// Where a path's file name starts: past its last "/" or "\", else 0.
inline std::size_t FileNameStart(std::string_view path) {
  // A loop of two compares; find_last_of searches its set once per byte.
  for (std::size_t at = path.size(); at != 0; --at) {
    if (path[at - 1] == '/' || path[at - 1] == '\\') return at;
  }
  return 0;
}

// The file name without directory and last extension, followed by suffix;
// the whole path when that name is empty. A name whose only dot is its
// first character (".webm") keeps it.
std::string GetFileStem(std::string_view path, std::string_view suffix = {});

// Rewrites a directory path with single "/" separators and one trailing
// "/"; a path beginning with two backslashes (UNC) keeps them.
void NormalizeDirectoryPath(std::string& path);

// The user's Documents folder; empty when it cannot be determined.
std::string GetDocumentsFolderPath();

}  // namespace Corvan

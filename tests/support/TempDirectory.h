// A fresh directory under the system's temporary folder for one test,
// removed with everything in it when the object goes.
//
//   TempDirectory folder;
//   folder.WriteFile("clip.webm", bytes);
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace Corvan::Testing {

class TempDirectory {
 public:
  TempDirectory();
  ~TempDirectory();
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // The directory's absolute path, without a trailing "/".
  const std::string& path() const { return path_; }
  // path() + "/" + name.
  std::string PathOf(std::string_view name) const;
  // Writes a file (name relative to the directory) and returns its path.
  std::string WriteFile(std::string_view name, std::string_view content = {}) const;
  // Creates a subdirectory and returns its path.
  std::string MakeDirectory(std::string_view name) const;
  // The content of a file, or "<missing>" when it cannot be read.
  std::string ReadFile(std::string_view name) const;

 private:
  std::string path_;
};

// A UTF-8 path as the system's path (on Windows the narrow path functions
// would read it in the ANSI code page).
std::filesystem::path PathFromUtf8(std::string_view text);

// Whether a UTF-8 path names anything.
bool PathExists(const std::string& path);

// Sets a file's last write (and access) time to milliseconds since 1970.
[[nodiscard]] bool SetModifiedTime(const std::string& path, std::int64_t unixMillis);

}  // namespace Corvan::Testing

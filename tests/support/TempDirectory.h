// TempDirectory: a fresh directory under the system's temporary folder for
// the duration of a test, removed with everything in it at the end.
//
//   TempDirectory folder;
//   WriteWebmFile(folder.File("clip.webm"), WebmOptions{});
#pragma once

#include <filesystem>
#include <random>
#include <string>

namespace TestSupport {

class TempDirectory {
 public:
  TempDirectory() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    std::error_code error;
    do {
      path_ = base / ("kyn-test-" + std::to_string(random()));
    } while (!std::filesystem::create_directory(path_, error) && !error);
  }
  ~TempDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TempDirectory(const TempDirectory&) = delete;
  TempDirectory& operator=(const TempDirectory&) = delete;

  // The directory's path, without a trailing '/'.
  std::string Path() const { return path_.string(); }
  // The path of a file in the directory.
  std::string File(const std::string& name) const { return (path_ / name).string(); }

 private:
  std::filesystem::path path_;
};

}  // namespace TestSupport

#include "support/TempDirectory.h"

#if defined(_WIN32)
#define WIN32_LEAN_AND_MEAN
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace Corvan::Testing {
namespace {

namespace fs = std::filesystem;

std::string Utf8Of(const fs::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}

}  // namespace

fs::path PathFromUtf8(std::string_view text) {
  return fs::path(std::u8string(reinterpret_cast<const char8_t*>(text.data()), text.size()));
}

TempDirectory::TempDirectory() {
  const fs::path root = fs::temp_directory_path();
  std::random_device seed;
  std::mt19937_64 random(seed());
  const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string name = "kyn-test-";
    for (int i = 0; i < 8; ++i) name.push_back(letters[random() % (sizeof(letters) - 1)]);
    std::error_code error;
    if (fs::create_directory(root / name, error)) {
      // "/" separators throughout, as the file store writes its paths.
      path_ = Utf8Of(root / name);
      return;
    }
  }
  throw std::runtime_error("no temporary directory could be created");
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  fs::remove_all(PathFromUtf8(path_), ignored);
}

std::string TempDirectory::PathOf(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string TempDirectory::WriteFile(std::string_view name, std::string_view content) const {
  const std::string file = PathOf(name);
  std::ofstream(PathFromUtf8(file), std::ios::binary)
      .write(content.data(), static_cast<std::streamsize>(content.size()));
  return file;
}

std::string TempDirectory::MakeDirectory(std::string_view name) const {
  const std::string directory = PathOf(name);
  fs::create_directories(PathFromUtf8(directory));
  return directory;
}

std::string TempDirectory::ReadFile(std::string_view name) const {
  std::ifstream file(PathFromUtf8(PathOf(name)), std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool PathExists(const std::string& path) {
  std::error_code error;
  return fs::exists(PathFromUtf8(path), error);
}

#if defined(_WIN32)

bool SetModifiedTime(const std::string& path, std::int64_t unixMillis) {
  const HANDLE file = CreateFileW(PathFromUtf8(path).c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  // 100-nanosecond intervals since 1601: 11644473600 s before 1970.
  const std::uint64_t ticks = static_cast<std::uint64_t>(unixMillis + 11644473600000) * 10000;
  FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const bool set = SetFileTime(file, nullptr, &time, &time) != FALSE;
  CloseHandle(file);
  return set;
}

#else

bool SetModifiedTime(const std::string& path, std::int64_t unixMillis) {
  timespec times[2];
  times[0].tv_sec = times[1].tv_sec = unixMillis / 1000;
  times[0].tv_nsec = times[1].tv_nsec = (unixMillis % 1000) * 1000000;
  return utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

#endif

}  // namespace Corvan::Testing

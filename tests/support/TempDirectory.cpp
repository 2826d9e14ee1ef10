#include "support/TempDirectory.h"

#include <stdlib.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace Corvan::Testing {

TempDirectory::TempDirectory() {
  const char* root = std::getenv("TMPDIR");
  std::string pattern = std::string(root && *root ? root : "/tmp") + "/kyn-test-XXXXXX";
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDirectory::~TempDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDirectory::PathOf(std::string_view name) const {
  return path_ + "/" + std::string(name);
}

std::string TempDirectory::WriteFile(std::string_view name, std::string_view content) const {
  const std::string file = PathOf(name);
  std::ofstream(file, std::ios::binary).write(content.data(), static_cast<std::streamsize>(content.size()));
  return file;
}

std::string TempDirectory::MakeDirectory(std::string_view name) const {
  const std::string directory = PathOf(name);
  std::filesystem::create_directories(directory);
  return directory;
}

std::string TempDirectory::ReadFile(std::string_view name) const {
  std::ifstream file(PathOf(name), std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace Corvan::Testing

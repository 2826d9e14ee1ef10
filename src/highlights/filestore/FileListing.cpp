#include "highlights/filestore/FileListing.h"

#include <optional>
#include <regex>

#include "highlights/filestore/PathUtilities.h"
#include "platform/FileSystem.h"
#include "platform/FileUtilities.h"

namespace Corvan {
namespace {

// One UTF-16 code unit per wide character, also where wchar_t has 32 bits:
// "." then matches half of a surrogate pair as it does on Windows, so a
// pattern selects the same files everywhere.
std::wstring WideUnits(const std::string& text) {
  const std::u16string units = Utf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

struct Listing {
  const std::optional<std::wregex>& filter;
  bool recursive;
  std::vector<FileEntry>& out;
};

bool Matches(const std::optional<std::wregex>& filter, const std::string& path) {
  if (!filter) return true;
  try {
    return std::regex_match(WideUnits(path), *filter);
  } catch (const std::regex_error&) {
    return false;  // a match too complex for the engine selects nothing
  }
}

bool ListOneDirectory(const Listing& listing, const std::string& base) {
  return Platform::ListDirectory(base, [&](const Platform::DirectoryEntry& entry) {
    if ((entry.attributes & Platform::kFileAttributeDirectory) == 0) {
      std::string path = base + entry.name;
      if (!Matches(listing.filter, path)) return;
      listing.out.push_back({std::move(path), entry.size, entry.lastWriteTime, entry.attributes});
    } else if (listing.recursive && entry.name != "." && entry.name != "..") {
      (void)ListOneDirectory(listing, base + entry.name + "/");
    }
  });
}

}  // namespace

bool ListFiles(const std::string& directory, const std::string& pattern, bool recursive,
               std::vector<FileEntry>& out) {
  std::string base = directory;
  NormalizeDirectoryPath(base);
  // An empty path would list the process's working directory on Windows.
  if (base.empty()) return false;
  std::optional<std::wregex> filter;
  if (!pattern.empty()) {
    try {
      filter.emplace(WideUnits(pattern), std::regex_constants::ECMAScript);
    } catch (const std::regex_error&) {
      return false;
    }
  }
  return ListOneDirectory(Listing{filter, recursive, out}, base);
}

std::uint64_t FileTimeToUnixMillis(std::uint64_t fileTime) {
  static const std::uint64_t epoch = Platform::UnixEpochFileTime();
  return (fileTime - epoch) / 10000;
}

}  // namespace Corvan

#include "highlights/filestore/FileListing.h"

#include <cctype>
#include <optional>
#include <regex>
#include <string_view>

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

// What a pattern selects. ".*" followed by literal characters (letters,
// digits, or punctuation escaped with "\\") and "$" selects the paths that
// end in those characters and have no line terminator before them (ECMAScript
// "." matches neither "\n", "\r", U+2028 nor U+2029): a suffix test, with no
// expression per name. Every other pattern is compiled.
class PathFilter {
 public:
  // False when the pattern is not a valid expression.
  bool Compile(const std::string& pattern) {
    if (pattern.empty() || ParseSuffix(pattern)) return true;
    try {
      expression_.emplace(WideUnits(pattern), std::regex_constants::ECMAScript);
    } catch (const std::regex_error&) {
      return false;
    }
    return true;
  }

  // Whether a file's name alone can decide: a suffix the name lacks.
  bool MayMatchName(std::string_view name) const {
    return !suffix_ || suffix_->find('/') != std::string::npos || name.ends_with(*suffix_);
  }

  bool Matches(const std::string& path) const {
    if (suffix_) return path.ends_with(*suffix_) && !HasLineTerminator(path);
    if (!expression_) return true;
    try {
      return std::regex_match(WideUnits(path), *expression_);
    } catch (const std::regex_error&) {
      return false;  // a match too complex for the engine selects nothing
    }
  }

 private:
  // The characters an escape makes literal.
  static constexpr char kSyntaxCharacters[] = "^$\\.*+?()[]{}|/";

  bool ParseSuffix(const std::string& pattern) {
    if (pattern.size() < 3 || pattern.compare(0, 2, ".*") != 0 || pattern.back() != '$') return false;
    std::string suffix;
    for (std::size_t i = 2; i + 1 < pattern.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(pattern[i]);
      if (std::isalnum(c) != 0 || c == '_' || c == '-') {
        suffix += static_cast<char>(c);
      } else if (c == '\\' && i + 2 < pattern.size() &&
                 std::string_view(kSyntaxCharacters).find(pattern[i + 1]) != std::string_view::npos) {
        suffix += pattern[++i];
      } else {
        return false;
      }
    }
    if (suffix.empty()) return false;
    suffix_ = std::move(suffix);
    return true;
  }

  // "\n", "\r", U+2028 or U+2029 (E2 80 A8, E2 80 A9 in UTF-8; the decoder
  // turns no other bytes into them).
  static bool HasLineTerminator(std::string_view path) {
    for (std::size_t i = 0; i < path.size(); ++i) {
      const char c = path[i];
      if (c == '\n' || c == '\r') return true;
      if (c == '\xE2' && i + 2 < path.size() && path[i + 1] == '\x80' &&
          (path[i + 2] == '\xA8' || path[i + 2] == '\xA9')) {
        return true;
      }
    }
    return false;
  }

  std::optional<std::string> suffix_;
  std::optional<std::wregex> expression_;
};

struct Listing {
  const PathFilter& filter;
  bool recursive;
  std::vector<FileEntry>& out;
  bool describeFiles = true;
};

void Visit(const Listing& listing, const std::string& base, const Platform::DirectoryEntry& entry);
bool ListOpenDirectory(const Listing& listing, Platform::Directory& directory);

bool ListOneDirectory(const Listing& listing, const std::string& base) {
  Platform::Directory directory;
  if (!directory.Open(base)) return false;
  return ListOpenDirectory(listing, directory);
}

bool ListOpenDirectory(const Listing& listing, Platform::Directory& directory) {
  const std::string& base = directory.base();
  return directory.List([&](std::string_view name) { return listing.filter.MayMatchName(name); },
                        [&](const Platform::DirectoryEntry& entry) { Visit(listing, base, entry); },
                        listing.describeFiles);
}

void Visit(const Listing& listing, const std::string& base, const Platform::DirectoryEntry& entry) {
  if ((entry.attributes & Platform::kFileAttributeDirectory) == 0) {
    std::string path;
    path.reserve(base.size() + entry.name.size());
    path.append(base).append(entry.name);
    if (!listing.filter.Matches(path)) return;
    listing.out.push_back(
        {std::move(path), entry.size, entry.lastWriteTime, entry.attributes, entry.described});
  } else if (listing.recursive && entry.name != "." && entry.name != "..") {
    (void)ListOneDirectory(listing, base + entry.name + "/");
  }
}

}  // namespace

bool ListFiles(const std::string& directory, const std::string& pattern, bool recursive,
               std::vector<FileEntry>& out) {
  Platform::Directory opened;
  return ListFiles(directory, pattern, recursive, out, opened);
}

bool ListFiles(const std::string& directory, const std::string& pattern, bool recursive,
               std::vector<FileEntry>& out, Platform::Directory& opened, bool describeFiles) {
  std::string base = directory;
  NormalizeDirectoryPath(base);
  // An empty path would list the process's working directory on Windows.
  if (base.empty()) return false;
  PathFilter filter;
  if (!filter.Compile(pattern)) return false;
  if (!opened.Open(base)) return false;
  return ListOpenDirectory(Listing{filter, recursive, out, describeFiles}, opened);
}

std::uint64_t FileTimeToUnixMillis(std::uint64_t fileTime) {
  static const std::uint64_t epoch = Platform::UnixEpochFileTime();
  return (fileTime - epoch) / 10000;
}

}  // namespace Corvan

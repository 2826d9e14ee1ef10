#include "AssetFiles.h"

#include <sys/stat.h>

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <memory>

#include "routing/AsciiCase.h"

namespace Corvan::Host {

namespace {

// A name without separators stays inside the folder; only "." and ".."
// themselves name another place ("Team..wipe.webm" is an ordinary name).
bool SafeName(std::string_view name) {
  return !name.empty() && name.find_first_of(std::string_view("/\\\0", 3)) == name.npos &&
         name != "." && name != "..";
}

bool SafeRelativePath(std::string_view path) {
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string_view piece = path.substr(start, end - start);
    if (piece.empty() || piece == "." || piece == ".." ||
        piece.find_first_of(std::string_view("\\\0", 2)) != piece.npos) {
      return false;
    }
    start = end + 1;
  }
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A decimal number of the whole text, -1 when it is empty or not one.
long long Decimal(std::string_view text) {
  long long value = 0;
  const char* end = text.data() + text.size();
  const auto [position, error] = std::from_chars(text.data(), end, value);
  return text.empty() || error != std::errc() || position != end || value < 0 ? -1 : value;
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (AsciiLower(text[text.size() - suffix.size() + i]) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (resolved == nullptr) return std::nullopt;
  return std::string(resolved.get());
}

std::optional<std::string> ResolveAsset(const std::string& folder, std::string_view name) {
  if (!SafeName(name)) return std::nullopt;
  return ResolveInside(folder, name);
}

std::optional<std::string> ResolveInside(const std::string& folder, std::string_view relative) {
  if (folder.empty() || !SafeRelativePath(relative)) return std::nullopt;
  const std::optional<std::string> realFolder = RealPath(folder);
  if (!realFolder) return std::nullopt;
  const std::optional<std::string> file = RealPath(*realFolder + "/" + std::string(relative));
  if (!file) return std::nullopt;
  const std::string prefix = *realFolder == "/" ? "/" : *realFolder + "/";
  if (file->size() <= prefix.size() || file->compare(0, prefix.size(), prefix) != 0) {
    return std::nullopt;
  }
  struct stat info {};
  if (stat(file->c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return file;
}

RangeAnswer AnswerRange(const RangeRequest& request, long long size) {
  RangeAnswer answer;
  if (request.ranges.size() != 1) return answer;
  auto [first, last] = request.ranges.front();
  if (first < 0) {  // the last `last` bytes
    if (last <= 0) return {RangeAnswer::Kind::Unsatisfiable, 0, 0};
    first = last >= size ? 0 : size - last;
    last = size - 1;
  } else if (last < 0 || last >= size) {
    last = size - 1;
  }
  if (first >= size || first > last) return {RangeAnswer::Kind::Unsatisfiable, 0, 0};
  return {RangeAnswer::Kind::Part, first, last};
}

RangeRequest ParseRange(std::string_view header) {
  RangeRequest request;
  constexpr std::string_view kUnit = "bytes=";
  if (!header.starts_with(kUnit)) return request;
  header.remove_prefix(kUnit.size());
  std::size_t start = 0;
  while (start <= header.size()) {
    const std::size_t end = std::min(header.find(',', start), header.size());
    std::string_view piece = header.substr(start, end - start);
    while (!piece.empty() && piece.front() == ' ') piece.remove_prefix(1);
    while (!piece.empty() && piece.back() == ' ') piece.remove_suffix(1);
    const std::size_t dash = piece.find('-');
    if (dash == piece.npos) return {};
    const std::string_view firstText = piece.substr(0, dash);
    const std::string_view lastText = piece.substr(dash + 1);
    const long long first = firstText.empty() ? -1 : Decimal(firstText);
    const long long last = lastText.empty() ? -1 : Decimal(lastText);
    const bool malformed = (!firstText.empty() && first < 0) || (!lastText.empty() && last < 0) ||
                           (first < 0 && last < 0);
    if (malformed) return {};
    request.ranges.emplace_back(first, last);
    start = end + 1;
  }
  return request;
}

std::optional<std::string> DecodePercent(std::string_view text) {
  std::string decoded;
  decoded.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      decoded += text[i];
      continue;
    }
    const int high = i + 2 < text.size() ? HexValue(text[i + 1]) : -1;
    const int low = i + 2 < text.size() ? HexValue(text[i + 2]) : -1;
    if (high < 0 || low < 0) return std::nullopt;
    decoded += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return decoded;
}

const char* AssetContentType(std::string_view name) {
  return EndsWith(name, ".webm") ? "video/webm" : "application/octet-stream";
}

}  // namespace Corvan::Host

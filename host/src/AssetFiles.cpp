#include "AssetFiles.h"

#include <sys/stat.h>

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

std::optional<std::string> RealPath(const std::string& path) {
  std::unique_ptr<char, decltype(&std::free)> resolved(realpath(path.c_str(), nullptr),
                                                       &std::free);
  if (resolved == nullptr) return std::nullopt;
  return std::string(resolved.get());
}

bool EndsWith(std::string_view text, std::string_view suffix) {
  if (text.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    if (AsciiLower(text[text.size() - suffix.size() + i]) != suffix[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> ResolveAsset(const std::string& folder, std::string_view name) {
  if (folder.empty() || !SafeName(name)) return std::nullopt;
  const std::optional<std::string> realFolder = RealPath(folder);
  if (!realFolder) return std::nullopt;
  const std::optional<std::string> file = RealPath(*realFolder + "/" + std::string(name));
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

const char* AssetContentType(std::string_view name) {
  return EndsWith(name, ".webm") ? "video/webm" : "application/octet-stream";
}

}  // namespace Corvan::Host

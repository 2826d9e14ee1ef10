#include "highlights/filestore/PathUtilities.h"

#include <algorithm>
#include <array>

#include "platform/FileSystem.h"

namespace Corvan {
namespace {

bool IsSeparator(char c) { return c == '/' || c == '\\'; }

bool IsAbsoluteComponent(std::string_view component) {
  return IsSeparator(component[0]) || (component.size() > 1 && component[1] == ':');
}

// Windows reads any two leading separators as a UNC path ("//server/share"
// as well as "\\server\share"); collapsing the forward ones would point at
// the root of the current drive instead. Elsewhere only backslashes mark one
// ("//tmp" is "/tmp" on Linux).
bool BeginsAsUncPath(const std::string& path) {
  if (path.size() < 2) return false;
#if defined(_WIN32)
  return IsSeparator(path[0]) && IsSeparator(path[1]);
#else
  return path[0] == '\\' && path[1] == '\\';
#endif
}

}  // namespace

JoinedPath JoinPath(std::string_view c1, std::string_view c2, std::string_view c3,
                    std::string_view c4, std::string_view c5, std::string_view c6,
                    std::string_view c7, std::string_view c8) {
  const std::array<std::string_view, 8> components{c1, c2, c3, c4, c5, c6, c7, c8};
  JoinedPath joined;
  std::string& out = joined.path;
  for (const std::string_view component : components) {
    if (component.empty()) continue;
    if (IsAbsoluteComponent(component)) out.clear();
    // Bytes left in the buffer, the terminator's included.
    std::size_t remaining = kJoinPathBufferSize - out.size();
    if (!out.empty() && !IsSeparator(out.back()) && remaining >= 2) {
      out += '/';
      --remaining;
    }
    if (component.size() >= remaining) {
      joined.ok = false;
      break;
    }
    const std::size_t start = out.size();
    out += component;
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '\\', '/');
  }
  return joined;
}

std::string GetFileStem(std::string_view path, std::string_view suffix) {
  const std::size_t start = FileNameStart(path);
  const std::size_t dot = path.rfind('.');
  const std::size_t end = dot != std::string_view::npos && dot > start ? dot : path.size();
  if (end == start) return std::string(path);
  std::string stem(path.substr(start, end - start));
  stem += suffix;
  return stem;
}

void NormalizeDirectoryPath(std::string& path) {
  const bool unc = BeginsAsUncPath(path);
  std::string normalized;
  normalized.reserve(path.size() + 2);
  for (const char c : path) {
    const char written = c == '\\' ? '/' : c;
    if (written == '/' && !normalized.empty() && normalized.back() == '/') continue;
    normalized += written;
  }
  if (!normalized.empty() && normalized.back() != '/') normalized += '/';
  if (unc && !normalized.empty() && normalized[0] == '/') normalized.replace(0, 1, "\\\\");
  path = std::move(normalized);
}

std::string GetDocumentsFolderPath() { return Platform::DocumentsFolderPath(); }

}  // namespace Corvan

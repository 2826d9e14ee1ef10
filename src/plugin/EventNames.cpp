#include "plugin/EventNames.h"

#include <cstddef>
#include <vector>

namespace Corvan {
namespace {

constexpr std::size_t kPartsKept = 4;
constexpr std::size_t kConfigPartsKept = 6;

std::vector<std::string_view> PiecesOf(std::string_view path) {
  std::vector<std::string_view> pieces;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    const std::string_view piece = path.substr(0, slash);
    if (!piece.empty()) pieces.push_back(piece);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return pieces;
}

}  // namespace

std::string EventNameOfPath(std::string_view path) {
  const std::vector<std::string_view> pieces = PiecesOf(path);
  const bool isConfig = !pieces.empty() && pieces.front() == "kyn-platform-config";
  // The leading "OnJsonApiEvent" counts as one of the parts kept.
  const std::size_t piecesKept = (isConfig ? kConfigPartsKept : kPartsKept) - 1;
  std::string name = "OnJsonApiEvent";
  for (std::size_t i = 0; i < pieces.size() && i < piecesKept; ++i) {
    name += '_';
    name.append(pieces[i]);
  }
  return name;
}

}  // namespace Corvan

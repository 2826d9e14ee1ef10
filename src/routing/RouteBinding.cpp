#include "routing/RouteBinding.h"

namespace Corvan {

namespace {

bool MethodAccepts(const RouteBinding& binding, const MatchRequest& request) {
  if (binding.method != HttpMethod::None && binding.method != request.method) return false;
  return binding.customMethod == request.customMethod;
}

std::size_t CapturedLength(const RouteCaptures& captures) {
  std::size_t total = 0;
  for (const auto& [name, value] : captures) total += value.size();
  return total;
}

}  // namespace

RouteEntry RouteEntryFor(const RouteBinding& binding) {
  return RouteEntry{binding.function, &binding, &binding.route};
}

const RouteEntry* MatchRoute(const MatchRequest& request, std::span<const RouteEntry> candidates,
                             RouteCaptures& captures) {
  const RouteEntry* chosen = nullptr;
  std::size_t chosenLength = 0;
  RouteCaptures current;
  for (const RouteEntry& entry : candidates) {
    if (entry.binding == nullptr || entry.route == nullptr) continue;
    current.clear();
    if (!entry.route->Match(request.path, current)) continue;
    if (!MethodAccepts(*entry.binding, request)) continue;
    if (current.empty()) {
      captures.clear();
      return &entry;
    }
    const std::size_t length = CapturedLength(current);
    if (chosen == nullptr || length < chosenLength) {
      chosen = &entry;
      chosenLength = length;
      captures.swap(current);
    }
  }
  return chosen;
}

}  // namespace Corvan

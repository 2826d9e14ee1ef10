#include "plugin/EventSubscriptions.h"

namespace Corvan {

bool MatchesResourcePattern(std::string_view pattern, std::string_view path) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    // Pattern left over at the end of the path, a pending "*" included.
    if (at == path.size()) return false;
    if (pattern[i] == '*') {
      while (at < path.size() && path[at] != '/') ++at;
      continue;
    }
    if (pattern[i] != path[at]) return false;
    ++at;
  }
  return at == path.size();
}

bool EventSubscriptions::AddSubscription(const std::string& name, EventHandler handler) {
  std::lock_guard lock(mutex_);
  if (++counts_[name] != 1) return false;
  handlers_[name] = std::make_shared<const EventHandler>(std::move(handler));
  return true;
}

bool EventSubscriptions::RemoveSubscription(const std::string& name) {
  std::lock_guard lock(mutex_);
  auto count = counts_.find(name);
  if (count == counts_.end()) return false;
  if (--count->second != 0) return false;
  counts_.erase(count);
  handlers_.erase(name);
  return true;
}

std::size_t EventSubscriptions::SubscriptionCount(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto count = counts_.find(name);
  return count == counts_.end() ? 0 : count->second;
}

void EventSubscriptions::SetHandler(const std::string& name, EventHandler handler) {
  auto shared = std::make_shared<const EventHandler>(std::move(handler));
  std::lock_guard lock(mutex_);
  handlers_[name] = std::move(shared);
}

SharedEventHandler EventSubscriptions::FindHandler(const std::string& name) const {
  std::lock_guard lock(mutex_);
  auto found = handlers_.find(name);
  return found == handlers_.end() ? nullptr : found->second;
}

void EventSubscriptions::SetResourceHandler(const std::string& path, ResourceEventHandler handler) {
  auto shared = std::make_shared<const ResourceEventHandler>(std::move(handler));
  std::lock_guard lock(mutex_);
  resourceHandlers_[path] = std::move(shared);
}

void EventSubscriptions::AddPatternHandler(const std::string& pattern,
                                           ResourceEventHandler handler) {
  auto shared = std::make_shared<const ResourceEventHandler>(std::move(handler));
  std::lock_guard lock(mutex_);
  patternHandlers_.emplace_back(pattern, std::move(shared));
}

std::vector<SharedResourceHandler> EventSubscriptions::ResourceHandlersFor(
    const std::string& path) const {
  std::vector<SharedResourceHandler> found;
  std::lock_guard lock(mutex_);
  auto exact = resourceHandlers_.find(path);
  if (exact != resourceHandlers_.end()) found.push_back(exact->second);
  for (const auto& [pattern, handler] : patternHandlers_) {
    if (MatchesResourcePattern(pattern, path)) found.push_back(handler);
  }
  return found;
}

std::vector<std::string> EventSubscriptions::Clear() {
  std::vector<std::string> names;
  // The handlers are destroyed after the lock is released: a handler's
  // captures may themselves reach back into these tables when they go.
  decltype(handlers_) handlers;
  decltype(resourceHandlers_) resourceHandlers;
  decltype(patternHandlers_) patternHandlers;
  {
    std::lock_guard lock(mutex_);
    handlers.swap(handlers_);
    resourceHandlers.swap(resourceHandlers_);
    patternHandlers.swap(patternHandlers_);
    counts_.clear();
  }
  names.reserve(handlers.size());
  for (const auto& entry : handlers) names.push_back(entry.first);
  return names;
}

}  // namespace Corvan

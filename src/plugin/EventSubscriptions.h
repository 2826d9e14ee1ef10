// EventSubscriptions: the plugin's tables of event subscriptions and
// handlers.
//
//   EventSubscriptions tables;
//   if (tables.AddSubscription(name, dispatcher)) { ... subscribe with the host ... }
//   for (const auto& handler : tables.ResourceHandlersFor("/kyn-x/v1/items/3")) (*handler)(event);
//
// Four tables: how many subscriptions each event name has, the handler of
// each event name the host delivers (the EventHandlerTable), the handler of
// each exact resource path, and the handlers of path patterns holding "*".
//
// The host may deliver events on several threads while the plugin
// subscribes, so the tables share one lock. The lock is never held while a
// handler or the host runs: lookups hand out shared references to the
// handlers, which the caller invokes after the lock is released, so a
// handler may itself subscribe, publish or call the host. A count and its
// handler change in one step, so the handler table always agrees with the
// counts; only the host calls that follow may reach the host in another
// order when the same name is subscribed and unsubscribed at once.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "plugin/PluginManagerTypes.h"
#include "plugin/ServiceProxy.h"

namespace Corvan {

using ResourceEventHandler = std::function<void(const PluginResourceEvent&)>;

// The handler of one event name: resource events, or service proxy messages.
using EventHandler = std::variant<ResourceEventHandler, ServiceProxyHandler>;
using SharedEventHandler = std::shared_ptr<const EventHandler>;
using SharedResourceHandler = std::shared_ptr<const ResourceEventHandler>;

// Whether a resource path matches a pattern whose "*" stands for one path
// piece: "/a/*/b" matches "/a/x/b" and "/a//b"; "/a/*" matches "/a/x" but
// neither "/a/" nor "/a/x/y".
[[nodiscard]] bool MatchesResourcePattern(std::string_view pattern, std::string_view path);

class EventSubscriptions {
 public:
  // Counts one subscription of an event name; the first one also stores its
  // handler. True when it was the first.
  [[nodiscard]] bool AddSubscription(const std::string& name, EventHandler handler);
  // Drops one subscription; the last one also removes the name's handler.
  // True when it was the last. A name never subscribed changes nothing.
  [[nodiscard]] bool RemoveSubscription(const std::string& name);
  // Subscriptions counted for a name.
  [[nodiscard]] std::size_t SubscriptionCount(const std::string& name) const;

  // Stores the handler of an event name, replacing any earlier one.
  void SetHandler(const std::string& name, EventHandler handler);
  // The handler of an event name, or null.
  [[nodiscard]] SharedEventHandler FindHandler(const std::string& name) const;

  // Stores the handler of one resource path, replacing any earlier one.
  void SetResourceHandler(const std::string& path, ResourceEventHandler handler);
  // Appends the handler of a path pattern holding "*".
  void AddPatternHandler(const std::string& pattern, ResourceEventHandler handler);
  // The handlers a resource event for `path` goes to: the exact one first,
  // then the matching patterns in the order they were added.
  [[nodiscard]] std::vector<SharedResourceHandler> ResourceHandlersFor(const std::string& path) const;

  // Empties every table and returns the event names that had a handler.
  [[nodiscard]] std::vector<std::string> Clear();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, std::size_t, std::less<>> counts_;
  std::map<std::string, SharedEventHandler, std::less<>> handlers_;
  std::map<std::string, SharedResourceHandler, std::less<>> resourceHandlers_;
  std::vector<std::pair<std::string, SharedResourceHandler>> patternHandlers_;
};

}  // namespace Corvan

#include "EventBus.h"

#include <algorithm>

#include "binding/FlatProperty.h"

namespace Corvan::Host {

EventBus::EventBus() : thread_([this] { Run(); }) {}

EventBus::~EventBus() { Stop(); }

void EventBus::Publish(std::string name, BindingProperty payload) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (stopping_) return;
    queue_.push_back({std::move(name), std::move(payload)});
  }
  wake_.notify_one();
}

void EventBus::Subscribe(std::string name, ConnectionId connection, HostEventCallback callback,
                         void* userData) {
  if (callback == nullptr) return;
  std::lock_guard<std::mutex> guard(lock_);
  for (Subscription& existing : subscriptions_) {
    if (existing.name == name && existing.connection == connection) {
      existing.callback = callback;
      existing.userData = userData;
      return;
    }
  }
  subscriptions_.push_back({std::move(name), connection, callback, userData, nextId_++});
}

void EventBus::Unsubscribe(const std::string& name, ConnectionId connection) {
  std::unique_lock<std::mutex> guard(lock_);
  std::vector<std::uint64_t> removed;
  std::erase_if(subscriptions_, [&](const Subscription& s) {
    const bool match = s.name == name && s.connection == connection;
    if (match) removed.push_back(s.id);
    return match;
  });
  if (std::this_thread::get_id() == thread_.get_id()) return;
  // A callback of a removed subscription may be running on the delivery
  // thread; the contract says none runs once this returns.
  delivered_.wait(guard, [&] {
    return std::find(removed.begin(), removed.end(), delivering_) == removed.end();
  });
}

std::size_t EventBus::SubscriptionCount() const {
  std::lock_guard<std::mutex> guard(lock_);
  return subscriptions_.size();
}

void EventBus::AddListener(Listener listener) {
  std::lock_guard<std::mutex> guard(lock_);
  listeners_.push_back(std::move(listener));
}

void EventBus::Stop() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable() && std::this_thread::get_id() != thread_.get_id()) thread_.join();
}

void EventBus::Run() {
  std::unique_lock<std::mutex> guard(lock_);
  for (;;) {
    wake_.wait(guard, [this] { return stopping_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopping, and everything delivered
    PublishedEvent event = std::move(queue_.front());
    queue_.pop_front();
    guard.unlock();
    Deliver(event);
    guard.lock();
  }
}

bool EventBus::StillSubscribed(std::uint64_t id) const {
  return std::any_of(subscriptions_.begin(), subscriptions_.end(),
                     [id](const Subscription& s) { return s.id == id; });
}

void EventBus::Deliver(const PublishedEvent& event) {
  std::vector<Subscription> targets;
  std::vector<Listener> listeners;
  {
    std::lock_guard<std::mutex> guard(lock_);
    for (const Subscription& s : subscriptions_) {
      if (s.name == event.name) targets.push_back(s);
    }
    listeners = listeners_;
  }
  FlatProperty payload{};
  ToFlatProperty(event.payload, payload);
  for (const Subscription& target : targets) {
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (!StillSubscribed(target.id)) continue;
      delivering_ = target.id;
    }
    HostEvent delivered{};
    delivered.name = event.name.c_str();
    delivered.payload = payload;
    delivered.userData = target.userData;
    target.callback(&delivered);
    {
      std::lock_guard<std::mutex> guard(lock_);
      delivering_ = 0;
    }
    delivered_.notify_all();
  }
  ReleaseFlatProperty(payload);
  for (const Listener& listener : listeners) listener(event);
}

}  // namespace Corvan::Host

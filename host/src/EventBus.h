// EventBus: the host's event distribution. Publishers (the plugin through
// HostApi slot 2, the host's own resources) hand in a name and a payload;
// one delivery thread passes each event, in publishing order, to every
// subscriber of its name (HostApi slots 3 and 4) and to every listener
// (the event stream of the HTTP front end).
//
//   EventBus bus;                   // starts the delivery thread
//   bus.Subscribe("OnJsonApiEvent", 1, callback, userData);
//   bus.Publish("OnJsonApiEvent", payload);   // returns at once
//   bus.Stop();                     // delivers nothing more, joins
//
// Publishing copies the payload and returns without calling anybody, so a
// plugin may publish from inside a request or an event callback. Delivery
// holds no lock while it calls a subscriber. Once Unsubscribe returns, the
// callback is not called again for that name: called from another thread
// it waits for a delivery in progress; called from inside a callback it
// drops the subscription before the next one.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace Corvan::Host {

struct PublishedEvent {
  std::string name;
  BindingProperty payload;
};

class EventBus {
 public:
  using Listener = std::function<void(const PublishedEvent&)>;

  EventBus();
  ~EventBus();
  EventBus(const EventBus&) = delete;
  EventBus& operator=(const EventBus&) = delete;

  // Queues an event for delivery; nothing is queued after Stop.
  void Publish(std::string name, BindingProperty payload);

  // Adds a subscription; a second one for the same name and connection
  // replaces the first.
  void Subscribe(std::string name, ConnectionId connection, HostEventCallback callback,
                 void* userData);
  // Ends the subscriptions of the name for the connection.
  void Unsubscribe(const std::string& name, ConnectionId connection);
  // The number of live subscriptions.
  std::size_t SubscriptionCount() const;

  // Adds a listener that sees every event on the delivery thread; it must
  // return quickly and must not call the bus.
  void AddListener(Listener listener);

  // Delivers what is queued, then stops the thread; later events are dropped.
  void Stop();

 private:
  struct Subscription {
    std::string name;
    ConnectionId connection = 0;
    HostEventCallback callback = nullptr;
    void* userData = nullptr;
    std::uint64_t id = 0;
  };

  void Run();
  void Deliver(const PublishedEvent& event);
  bool StillSubscribed(std::uint64_t id) const;

  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::condition_variable delivered_;
  std::deque<PublishedEvent> queue_;
  std::vector<Subscription> subscriptions_;
  std::vector<Listener> listeners_;
  std::uint64_t nextId_ = 1;
  // The subscription whose callback runs now, 0 when none.
  std::uint64_t delivering_ = 0;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace Corvan::Host

// EventStream: the Server-Sent Events of GET /events. Every event published
// on the EventBus goes to every connected client as one message whose data
// is one JSON object:
//
//   data: {"eventName":"OnJsonApiEvent","uri":"/kyn-highlights/v1/highlights",
//          "eventType":"Update","data":[...]}
//
// A resource event's payload {uri, eventType, data} fills the three fields;
// any other payload goes into "data" with an empty uri and eventType. The
// text of an event is made once and shared by every client. A client is an
// EventSink, an asynchronous writer of the server that holds no thread; it
// keeps its own bounded queue, so a client too slow to keep up loses its
// oldest messages instead of holding the host up. At most `clientLimit`
// clients are connected at once.
//
//   EventStream stream(256);
//   bus.AddListener([&](const PublishedEvent& e) { stream.Broadcast(e); });
//   if (!stream.TryAdd(sink)) -> 503
//   stream.Close();   // ends every client's stream, before the server stops
#pragma once

#include <cstddef>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventBus.h"

namespace Corvan::Host {

// The JSON object of one event as clients receive it.
[[nodiscard]] std::string EventJson(const PublishedEvent& event);

// One connected client.
class EventSink {
 public:
  virtual ~EventSink() = default;
  // Queues a message; called from any thread, returns at once.
  virtual void Push(const std::shared_ptr<const std::string>& message) = 0;
  // Ends the client's stream; called from any thread.
  virtual void End() = 0;
};

class EventStream {
 public:
  // Messages queued per client at most.
  static constexpr std::size_t kQueueLimit = 1024;

  explicit EventStream(std::size_t clientLimit);

  // Sends the event to every client.
  void Broadcast(const PublishedEvent& event);
  // Adds a client; false when the stream is full or closed.
  [[nodiscard]] bool TryAdd(std::shared_ptr<EventSink> sink);
  // Removes a client whose connection ended.
  void Remove(const EventSink* sink);
  // Ends every stream; later clients are refused.
  void Close();
  std::size_t ClientCount() const;

 private:
  const std::size_t clientLimit_;
  mutable std::mutex lock_;
  std::vector<std::shared_ptr<EventSink>> sinks_;
  bool closed_ = false;
};

}  // namespace Corvan::Host

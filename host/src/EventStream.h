// EventStream: the Server-Sent Events stream of GET /events. Every event
// published on the EventBus goes to every connected client as one message
// whose data is one JSON object:
//
//   data: {"eventName":"OnJsonApiEvent","uri":"/kyn-highlights/v1/highlights",
//          "eventType":"Update","data":[...]}
//
// A resource event's payload {uri, eventType, data} fills the three fields;
// any other payload goes into "data" with an empty uri and eventType. Each
// client has its own bounded queue: a client too slow to keep up loses its
// oldest messages instead of holding the host up. A comment line every few
// seconds keeps idle connections open and notices clients that left.
//
//   EventStream stream;
//   bus.AddListener([&](const PublishedEvent& e) { stream.Broadcast(e); });
//   server.Get("/events", [&](auto& req, auto& res) { stream.Serve(res); });
//   stream.Close();   // ends every client's stream, before the server stops
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "EventBus.h"

namespace httplib {
struct Response;
}

namespace Corvan::Host {

// The JSON object of one event as clients receive it.
[[nodiscard]] std::string EventJson(const PublishedEvent& event);

class EventStream {
 public:
  // Messages queued per client at most.
  static constexpr std::size_t kQueueLimit = 1024;

  // Sends the event to every client.
  void Broadcast(const PublishedEvent& event);
  // Makes the response an endless event stream for one new client.
  void Serve(httplib::Response& response);
  // Ends every stream; later clients get an empty stream.
  void Close();
  std::size_t ClientCount() const;

 private:
  struct Client {
    std::deque<std::string> queue;
  };

  // Waits for the client's next message; "" when the stream ends, a
  // comment line after a quiet while.
  std::string Next(const std::shared_ptr<Client>& client);
  void Drop(const std::shared_ptr<Client>& client);

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::vector<std::shared_ptr<Client>> clients_;
  bool closed_ = false;
};

}  // namespace Corvan::Host

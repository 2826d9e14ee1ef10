// HttpServer: the host's event-driven HTTP/1.1 server on 127.0.0.1, built on
// Boost.Beast over Boost.Asio. Two I/O threads, each with a context of its
// own, multiplex every connection (a connection stays on one of them); no
// connection, event stream or unfinished request holds a thread.
//
// Each request is read, checked and handed to the handler: the Host header
// must name this server (else 421, 400 without one) and a state-changing
// request with an Origin header must come from the host's own origin (else
// 403), both before the body is read; a body larger than the limit is
// refused with 413 from its declared length, unread. A request without
// Content-Length and Transfer-Encoding has an empty body. HEAD is answered
// with the headers GET would get. Deadlines: a request head within
// `headTimeout`, an idle keep-alive connection closed after `idleTimeout`;
// beyond `connections` simultaneous connections a new one gets 503.
//
// Blocking work (calls into the plugin) goes through RunBlocking: called on
// an I/O thread it runs there at once, and that thread's standby
// (IoStandby) serves its connections whenever it takes longer than a few
// milliseconds; called elsewhere (on a standby) it goes to a small worker
// pool. So a quick call costs no thread hand-over and a slow one stalls
// nothing.
//
//   HttpServer server;
//   if (std::string error = server.Bind(8512); !error.empty()) ...;
//   server.Start([&](HttpRequest&& request, HttpResponder respond) { ... }, &events);
//   server.Stop();
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "EventStream.h"
#include "HttpMessage.h"

namespace Corvan::Host {

struct HttpLimits {
  std::size_t connections = 1024;
  std::chrono::milliseconds headTimeout{10'000};
  std::chrono::milliseconds idleTimeout{30'000};
  // For reading a body and for each piece of an answer written.
  std::chrono::milliseconds transferTimeout{30'000};
  std::uint64_t bodyLimit = 1u << 20;
  std::size_t headerLimit = 16u << 10;
};

class HttpServer {
 public:
  using Handler = std::function<void(HttpRequest&&, HttpResponder)>;

  explicit HttpServer(HttpLimits limits = {});
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;

  // Binds 127.0.0.1 at the port (0: a free one) and listens, accepting
  // nothing yet; returns the reason it failed, "" on success.
  [[nodiscard]] std::string Bind(std::uint16_t port);
  // The bound port.
  std::uint16_t port() const;
  // Starts accepting; `events` takes the connections whose answer is an
  // event stream.
  void Start(Handler handler, EventStream* events);
  // Runs blocking work, at once or on a worker (see above).
  void RunBlocking(std::function<void()> work);
  // Closes every connection and joins the threads; blocking work already
  // running finishes first, work still queued is dropped.
  void Stop();
  // Connections open now, event streams included.
  std::size_t ConnectionCount() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Corvan::Host

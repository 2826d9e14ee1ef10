// HttpIo: what the server's parts share inside: the Asio context and limits
// of one server, and the ticket that counts a connection while it is open.
// Only the server's own sources include this header (it brings Asio and
// Beast in).
#pragma once

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdint>
#include <string>

#include "HttpServer.h"

namespace Corvan::Host {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
// The concrete executor rather than the type-erased default: a connection
// never changes context, and every operation then skips a dispatch.
using Socket = asio::basic_stream_socket<tcp, asio::io_context::executor_type>;

// What every connection of a server shares. It outlives the I/O contexts,
// whose pending handlers own the connections and so their tickets.
struct ServerContext {
  std::atomic<std::size_t> connections{0};
  HttpLimits limits;
  std::uint16_t port = 0;
  HttpServer* server = nullptr;
  HttpServer::Handler handler;
  EventStream* events = nullptr;
};

// Counts one open connection; the count drops when the ticket goes.
class ConnectionTicket {
 public:
  explicit ConnectionTicket(ServerContext& context) : context_(&context) {
    ++context.connections;
  }
  ~ConnectionTicket() {
    if (context_ != nullptr) --context_->connections;
  }
  ConnectionTicket(ConnectionTicket&& other) noexcept : context_(other.context_) {
    other.context_ = nullptr;
  }
  ConnectionTicket& operator=(ConnectionTicket&&) = delete;

 private:
  ServerContext* context_;
};

// Starts serving an accepted connection.
void ServeConnection(Socket socket, ServerContext& context, ConnectionTicket ticket);

// Turns a connection into an event stream: writes the answer's head and
// then every message the stream pushes; false when the stream is full.
[[nodiscard]] bool StartEventStream(Socket& socket, ConnectionTicket& ticket,
                                    ServerContext& context, bool chunked);

// The head and body of a small answer written by hand, for the few answers
// given outside a connection's normal course (a refused connection).
[[nodiscard]] std::string CannedAnswer(unsigned status, const std::string& json);

}  // namespace Corvan::Host

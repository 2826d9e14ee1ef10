// The writer of one event stream connection: it owns the socket once the
// request became a stream, writes the head and then, one after the other,
// the messages the EventStream pushes, and a comment line when the stream
// has been quiet for a while, which keeps the connection open and shows a
// client that left. It holds no thread: every step is an asynchronous
// operation on the connection's I/O context.
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <array>
#include <cstdio>
#include <deque>
#include <optional>

#include "Deadline.h"
#include "HttpIo.h"

namespace Corvan::Host {

namespace {

using boost::system::error_code;

// How long a stream stays silent before it sends a keep-alive comment.
constexpr auto kKeepAlive = std::chrono::seconds(5);

const auto kConnected = std::make_shared<const std::string>(": connected\n\n");
const auto kStillHere = std::make_shared<const std::string>(": keep-alive\n\n");

class EventWriter : public EventSink, public std::enable_shared_from_this<EventWriter> {
 public:
  EventWriter(Socket& socket, ServerContext& context, bool chunked)
      : socket_(std::move(socket)),
        context_(context),
        chunked_(chunked),
        deadline_(socket_.get_executor(), [this] { Shut(); }),
        quiet_(socket_.get_executor(), [this] { Enqueue(kStillHere); }) {}

  // Gives the socket back when the stream had no room for it.
  Socket TakeBack() { return std::move(socket_); }

  void Begin(ConnectionTicket& ticket) {
    ticket_.emplace(std::move(ticket));
    head_ = chunked_ ? "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n"
                     : "HTTP/1.0 200 OK\r\nConnection: close\r\n";
    head_ +=
        "Content-Type: text/event-stream\r\nCache-Control: no-cache\r\n"
        "X-Content-Type-Options: nosniff\r\n\r\n";
    Enqueue(kConnected);
    Read();
  }

  void Push(const std::shared_ptr<const std::string>& message) override {
    asio::post(socket_.get_executor(),
               [self = shared_from_this(), message] { self->Enqueue(message); });
  }

  void End() override {
    asio::post(socket_.get_executor(), [self = shared_from_this()] { self->Shut(); });
  }

 private:
  void Enqueue(const std::shared_ptr<const std::string>& message) {
    if (closed_) return;
    // The message being written stays; the oldest waiting one goes.
    if (queue_.size() >= EventStream::kQueueLimit) queue_.erase(queue_.begin() + (writing_ ? 1 : 0));
    queue_.push_back(message);
    if (!writing_) WriteNext();
  }

  void WriteNext() {
    if (queue_.empty()) {
      writing_ = false;
      return KeepAliveLater();
    }
    writing_ = true;
    quiet_.Clear();
    const std::string& text = *queue_.front();
    frame_.clear();
    if (!head_.empty()) frame_.swap(head_);
    if (chunked_) {
      char size[24];
      frame_ += std::string_view(size, static_cast<std::size_t>(std::snprintf(size, sizeof size, "%zx\r\n", text.size())));
    }
    const std::array<asio::const_buffer, 3> buffers = {
        asio::buffer(frame_), asio::buffer(text), asio::buffer(chunked_ ? "\r\n" : "", chunked_ ? 2 : 0)};
    deadline_.Set(context_.limits.transferTimeout, weak_from_this());
    asio::async_write(socket_, buffers, [self = shared_from_this()](const error_code& error, std::size_t) {
      self->deadline_.Clear();
      if (error) return self->Shut();
      self->queue_.pop_front();
      self->WriteNext();
    });
  }

  void KeepAliveLater() { quiet_.Set(kKeepAlive, weak_from_this()); }

  // A stream client sends nothing; a read that ends means it left.
  void Read() {
    socket_.async_read_some(asio::buffer(discard_),
                            [self = shared_from_this()](const error_code& error, std::size_t) {
                              if (error) return self->Shut();
                              self->Read();
                            });
  }

  void Shut() {
    if (closed_) return;
    closed_ = true;
    error_code ignored;
    deadline_.Cancel();
    quiet_.Cancel();
    socket_.shutdown(Socket::shutdown_both, ignored);
    socket_.close(ignored);
    if (context_.events != nullptr) context_.events->Remove(this);
  }

  Socket socket_;
  ServerContext& context_;
  const bool chunked_;
  std::optional<ConnectionTicket> ticket_;
  Deadline deadline_;
  Deadline quiet_;  // a keep-alive comment goes out when it passes
  std::deque<std::shared_ptr<const std::string>> queue_;
  std::string head_;
  std::string frame_;
  bool writing_ = false;
  bool closed_ = false;
  char discard_[256];
};

}  // namespace

bool StartEventStream(Socket& socket, ConnectionTicket& ticket, ServerContext& context,
                      bool chunked) {
  if (context.events == nullptr) return false;
  auto writer = std::make_shared<EventWriter>(socket, context, chunked);
  if (!context.events->TryAdd(writer)) {
    socket = writer->TakeBack();
    return false;
  }
  writer->Begin(ticket);
  return true;
}

}  // namespace Corvan::Host

// One HTTP/1.1 connection: reads a request head, checks it, reads its body,
// hands the request to the server's handler and writes the reply, then
// waits for the next request on the same connection.
#include <sys/sendfile.h>

#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/write.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <cerrno>
#include <limits>
#include <optional>

#include "Deadline.h"
#include "HttpIo.h"
#include "LoopbackGuard.h"

namespace Corvan::Host {

namespace {

namespace http = boost::beast::http;
using boost::system::error_code;

// Every text this component answers with.
namespace Msg {
constexpr const char* kNoHost = "The request has no Host header";
constexpr const char* kWrongHost =
    "The Host header must name this server: 127.0.0.1 or localhost with its port";
constexpr const char* kForeignOrigin = "A page of another origin may not change anything here";
constexpr const char* kTooLarge = "Request body too large";
constexpr const char* kHeadTooLarge = "Request header fields too large";
constexpr const char* kBadRequest = "Malformed request";
constexpr const char* kTooManyStreams = "Too many event streams";
}  // namespace Msg

// A file is sent in pieces of this size, other connections served between.
constexpr std::size_t kFilePiece = 256u << 10;
// How long a connection closed after an answer still reads what the client
// sends, so that the answer is not lost to a reset.
constexpr auto kLinger = std::chrono::seconds(2);

HttpReply Refused(unsigned status, const char* message) {
  HttpReply reply = ErrorReply(status, message);
  reply.close = true;
  return reply;
}

bool QuietEnd(const error_code& error) {
  return error == http::error::end_of_stream || error == http::error::partial_message ||
         error == asio::error::operation_aborted || error == asio::error::eof ||
         error == asio::error::connection_reset || error == asio::error::bad_descriptor;
}

class Connection : public std::enable_shared_from_this<Connection> {
 public:
  Connection(Socket socket, ServerContext& context, ConnectionTicket ticket)
      : socket_(std::move(socket)),
        context_(context),
        ticket_(std::move(ticket)),
        deadline_(socket_.get_executor(), [this] { Close(); }) {}

  void Start() {
    error_code ignored;
    socket_.native_non_blocking(true, ignored);
    ReadHead();
  }

 private:
  void SetDeadline(std::chrono::milliseconds timeout);
  void ReadHead();
  void OnHead(const error_code& error);
  std::optional<HttpReply> Refusal() const;
  void ReadBody();
  void OnBody(const error_code& error);
  void Dispatch();
  void Send(HttpReply&& reply);
  void PrepareHead(HttpReply& reply);
  void OnWritten(const error_code& error);
  void WriteFilePiece();
  void Finish();
  void WaitForNext();
  void Linger();
  void Drain();
  void Close();

  Socket socket_;
  ServerContext& context_;
  ConnectionTicket ticket_;
  Deadline deadline_;
  boost::beast::flat_buffer buffer_;
  std::optional<http::request_parser<http::string_body>> parser_;
  // The answer's body is a view of the text the connection keeps while it
  // writes: its own, or one it shares with a cache.
  http::response<http::span_body<const char>> response_;
  std::optional<http::response_serializer<http::span_body<const char>>> serializer_;
  std::string ownBody_;
  std::shared_ptr<const std::string> sharedBody_;
  FileSlice file_;
  unsigned version_ = 11;
  bool head_ = false;
  bool keepAlive_ = false;
  char discard_[512];
};

void Connection::SetDeadline(std::chrono::milliseconds timeout) {
  deadline_.Set(timeout, weak_from_this());
}

void Connection::ReadHead() {
  parser_.emplace();
  parser_->header_limit(static_cast<std::uint32_t>(context_.limits.headerLimit));
  // The declared length is checked with the head (after the Host check);
  // the limit applies to the body read after it.
  parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
  SetDeadline(context_.limits.headTimeout);
  http::async_read_header(socket_, buffer_, *parser_,
                          [self = shared_from_this()](const error_code& error, std::size_t) {
                            self->OnHead(error);
                          });
}

void Connection::OnHead(const error_code& error) {
  if (error) {
    if (error == http::error::header_limit) return Send(Refused(431, Msg::kHeadTooLarge));
    if (!QuietEnd(error) && error.category() == error_code(http::error::bad_target).category()) {
      return Send(Refused(400, Msg::kBadRequest));
    }
    return Close();
  }
  const auto& request = parser_->get();
  version_ = request.version();
  head_ = request.method() == http::verb::head;
  keepAlive_ = request.keep_alive();
  if (std::optional<HttpReply> refusal = Refusal()) return Send(std::move(*refusal));
  const bool expectsContinue = boost::beast::iequals(request[http::field::expect], "100-continue");
  if (!expectsContinue || parser_->is_done() || version_ < 11) return ReadBody();
  static const std::string kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  SetDeadline(context_.limits.transferTimeout);
  asio::async_write(socket_, asio::buffer(kContinue),
                    [self = shared_from_this()](const error_code& e, std::size_t) {
                      if (e) return self->Close();
                      self->ReadBody();
                    });
}

std::optional<HttpReply> Connection::Refusal() const {
  const auto& request = parser_->get();
  const auto host = request.find(http::field::host);
  if (host == request.end()) return Refused(400, Msg::kNoHost);
  if (!IsOwnHost(host->value(), context_.port)) return Refused(421, Msg::kWrongHost);
  const auto origin = request.find(http::field::origin);
  if (origin != request.end() && ChangesState(request.method_string()) &&
      !IsOwnOrigin(origin->value(), context_.port)) {
    return Refused(403, Msg::kForeignOrigin);
  }
  const auto length = parser_->content_length();
  if (length && *length > context_.limits.bodyLimit) return Refused(413, Msg::kTooLarge);
  return std::nullopt;
}

void Connection::ReadBody() {
  if (parser_->is_done()) return Dispatch();
  parser_->body_limit(context_.limits.bodyLimit);
  SetDeadline(context_.limits.transferTimeout);
  http::async_read(socket_, buffer_, *parser_,
                   [self = shared_from_this()](const error_code& error, std::size_t) {
                     self->OnBody(error);
                   });
}

void Connection::OnBody(const error_code& error) {
  if (error == http::error::body_limit) return Send(Refused(413, Msg::kTooLarge));
  if (error) return Close();
  Dispatch();
}

void Connection::Dispatch() {
  deadline_.Clear();
  http::request<http::string_body> message = parser_->release();
  parser_.reset();
  HttpRequest request;
  request.method = std::string(message.method_string());
  request.target = std::string(message.target());
  for (const auto& field : message) {
    request.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  request.body = std::move(message.body());
  auto sink = std::make_shared<HttpResponder::Sink>([self = shared_from_this()](HttpReply&& reply) {
    asio::dispatch(self->socket_.get_executor(),
                   [self, answer = std::move(reply)]() mutable { self->Send(std::move(answer)); });
  });
  context_.handler(std::move(request), HttpResponder(std::move(sink)));
}

void Connection::Send(HttpReply&& reply) {
  if (reply.eventStream && head_) {
    reply.eventStream = false;  // the head of a stream, without the stream
  } else if (reply.eventStream) {
    if (StartEventStream(socket_, ticket_, context_, version_ >= 11)) return;
    reply = ErrorReply(503, Msg::kTooManyStreams);
  }
  keepAlive_ = keepAlive_ && !reply.close;
  PrepareHead(reply);
  serializer_.emplace(response_);
  SetDeadline(context_.limits.transferTimeout);
  auto written = [self = shared_from_this()](const error_code& error, std::size_t) {
    self->OnWritten(error);
  };
  if (head_ || file_.file) return http::async_write_header(socket_, *serializer_, written);
  http::async_write(socket_, *serializer_, written);
}

void Connection::PrepareHead(HttpReply& reply) {
  response_ = {};
  response_.version(version_);
  response_.result(reply.status);
  if (!reply.contentType.empty()) response_.set(http::field::content_type, reply.contentType);
  for (const auto& [name, value] : reply.headers) response_.insert(name, value);
  response_.set("X-Content-Type-Options", "nosniff");
  response_.keep_alive(keepAlive_);
  const bool bodyless = reply.status == 204 || reply.status == 304;
  if (reply.file.file && !bodyless) {
    file_ = std::move(reply.file);
    response_.content_length(file_.length);
  } else if (!bodyless) {
    if (reply.sharedBody) {
      sharedBody_ = std::move(reply.sharedBody);
    } else {
      ownBody_ = std::move(reply.body);
    }
    const std::string& text = sharedBody_ ? *sharedBody_ : ownBody_;
    response_.body() = boost::beast::span<const char>(text.data(), text.size());
    response_.prepare_payload();
  }
}

void Connection::OnWritten(const error_code& error) {
  if (error) return Close();
  if (file_.file && !head_) return WriteFilePiece();
  Finish();
}

void Connection::WriteFilePiece() {
  off_t offset = static_cast<off_t>(file_.offset);
  const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(file_.length, kFilePiece));
  const ssize_t sent = want == 0 ? 0 : sendfile(socket_.native_handle(), file_.file.get(), &offset, want);
  if (sent > 0) {
    file_.offset += static_cast<std::uint64_t>(sent);
    file_.length -= static_cast<std::uint64_t>(sent);
    if (file_.length == 0) return Finish();
    return asio::post(socket_.get_executor(), [self = shared_from_this()] { self->WriteFilePiece(); });
  }
  if (want == 0) return Finish();
  if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
    SetDeadline(context_.limits.transferTimeout);
    return socket_.async_wait(Socket::wait_write, [self = shared_from_this()](const error_code& e) {
      if (e) return self->Close();
      self->WriteFilePiece();
    });
  }
  Close();  // a write error, or the file became shorter than announced
}

void Connection::Finish() {
  serializer_.reset();
  response_ = {};
  file_ = {};
  ownBody_ = {};
  sharedBody_.reset();
  if (!keepAlive_) return Linger();
  WaitForNext();
}

void Connection::WaitForNext() {
  if (buffer_.size() > 0) return ReadHead();  // a pipelined request is waiting
  SetDeadline(context_.limits.idleTimeout);
  socket_.async_wait(Socket::wait_read, [self = shared_from_this()](const error_code& error) {
    if (error) return self->Close();
    self->ReadHead();
  });
}

void Connection::Linger() {
  error_code ignored;
  socket_.shutdown(Socket::shutdown_send, ignored);
  SetDeadline(std::chrono::duration_cast<std::chrono::milliseconds>(kLinger));
  Drain();
}

void Connection::Drain() {
  socket_.async_read_some(asio::buffer(discard_),
                          [self = shared_from_this()](const error_code& error, std::size_t) {
                            if (error) return self->Close();
                            self->Drain();
                          });
}

void Connection::Close() {
  error_code ignored;
  deadline_.Cancel();
  socket_.shutdown(Socket::shutdown_both, ignored);
  socket_.close(ignored);
}

}  // namespace

void ServeConnection(Socket socket, ServerContext& context, ConnectionTicket ticket) {
  std::make_shared<Connection>(std::move(socket), context, std::move(ticket))->Start();
}

std::string CannedAnswer(unsigned status, const std::string& json) {
  const auto reason = http::obsolete_reason(static_cast<http::status>(status));
  return "HTTP/1.1 " + std::to_string(status) + " " + std::string(reason) +
         "\r\nContent-Type: application/json\r\nContent-Length: " + std::to_string(json.size()) +
         "\r\nConnection: close\r\n\r\n" + json;
}

}  // namespace Corvan::Host

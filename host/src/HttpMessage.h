// HttpMessage: a request as the front end's handlers see it and the reply
// they give, free of the server library's types so that the handlers and
// their tests need none of its headers.
//
//   void Serve(HttpRequest& request, HttpResponder respond) {
//     HttpReply reply = JsonReply(200, "{}");
//     respond(std::move(reply));   // from any thread, exactly once
//   }
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace Corvan::Host {

using HeaderList = std::vector<std::pair<std::string, std::string>>;

struct HttpRequest {
  // "GET", "HEAD", ...: as received.
  std::string method;
  // The request target with its query, as received.
  std::string target;
  HeaderList headers;
  std::string body;

  // The target up to its first "?".
  [[nodiscard]] std::string_view Path() const;
  // The first value of the header (the name compared without case), "" when
  // it is absent.
  [[nodiscard]] std::string_view Header(std::string_view name) const;
  // GET and HEAD are answered alike; HEAD only drops the body.
  [[nodiscard]] bool IsRead() const { return method == "GET" || method == "HEAD"; }
};

// An open file descriptor, closed by the destructor.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd();
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept;
  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

// Bytes sent from a file in pieces instead of a body in memory.
struct FileSlice {
  UniqueFd file;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

struct HttpReply {
  unsigned status = 200;
  // Left out when empty.
  std::string contentType;
  // Further header fields; the server sets Content-Length, Connection and
  // Transfer-Encoding itself.
  HeaderList headers;
  std::string body;
  // When set, the answer's content instead of `body`: a text others share
  // (a cached answer), sent as it stands without a copy.
  std::shared_ptr<const std::string> sharedBody;
  // When open, the answer's content instead of `body`.
  FileSlice file;
  // The connection turns into a Server-Sent Events stream.
  bool eventStream = false;
  // The connection is closed after the answer (a request whose body was
  // left unread).
  bool close = false;
};

// A reply of JSON text.
[[nodiscard]] HttpReply JsonReply(unsigned status, std::string json);
// The host's error answer {"httpStatus": status, "message": message}.
[[nodiscard]] HttpReply ErrorReply(unsigned status, std::string_view message);

// Hands a reply back to the connection; callable once, from any thread.
class HttpResponder {
 public:
  using Sink = std::function<void(HttpReply&&)>;
  explicit HttpResponder(std::shared_ptr<Sink> sink) : sink_(std::move(sink)) {}
  void operator()(HttpReply&& reply) const { (*sink_)(std::move(reply)); }

 private:
  std::shared_ptr<Sink> sink_;
};

}  // namespace Corvan::Host

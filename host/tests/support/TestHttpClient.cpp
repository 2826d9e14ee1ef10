#include "support/TestHttpClient.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <boost/asio/connect.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/http.hpp>
#include <limits>

namespace HostTestSupport {

namespace {

namespace asio = boost::asio;
namespace http = boost::beast::http;
using tcp = asio::ip::tcp;

// Bounds every blocking read and write of a test socket.
void SetTimeouts(int fd, std::chrono::milliseconds limit) {
  timeval value{};
  value.tv_sec = static_cast<time_t>(limit.count() / 1000);
  value.tv_usec = static_cast<suseconds_t>((limit.count() % 1000) * 1000);
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &value, sizeof value);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &value, sizeof value);
}

bool Connect(tcp::socket& socket, std::uint16_t port, std::chrono::milliseconds limit) {
  boost::system::error_code error;
  socket.connect(tcp::endpoint(asio::ip::make_address_v4("127.0.0.1"), port), error);
  if (error) return false;
  SetTimeouts(socket.native_handle(), limit);
  return true;
}

http::request<http::string_body> Request(const std::string& method, const std::string& target,
                                         const std::string& body, const Headers& headers,
                                         std::uint16_t port) {
  http::request<http::string_body> request;
  request.method_string(method);
  request.target(target);
  request.version(11);
  bool hasHost = false;
  for (const auto& [name, value] : headers) {
    request.insert(name, value);
    hasHost = hasHost || boost::beast::iequals(name, "Host");
  }
  if (!hasHost) request.set(http::field::host, "127.0.0.1:" + std::to_string(port));
  request.keep_alive(false);
  if (!body.empty() || method == "POST" || method == "PUT") {
    request.body() = body;
    request.prepare_payload();
  }
  return request;
}

}  // namespace

std::string TestResponse::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (boost::beast::iequals(key, name)) return value;
  }
  return "";
}

std::optional<TestResponse> TestHttpClient::Send(const std::string& method,
                                                 const std::string& target,
                                                 const std::string& body, Headers headers) {
  asio::io_context io;
  tcp::socket socket(io);
  if (!Connect(socket, port_, std::chrono::seconds(10))) return std::nullopt;
  boost::system::error_code error;
  http::write(socket, Request(method, target, body, headers, port_), error);
  boost::beast::flat_buffer buffer;
  http::response_parser<http::string_body> parser;
  parser.body_limit(std::numeric_limits<std::uint64_t>::max());
  parser.skip(method == "HEAD");
  http::read(socket, buffer, parser, error);
  if (error && !parser.is_header_done()) return std::nullopt;
  TestResponse response;
  response.status = static_cast<int>(parser.get().result_int());
  for (const auto& field : parser.get()) {
    response.headers.emplace_back(std::string(field.name_string()), std::string(field.value()));
  }
  response.body = std::move(parser.get().body());
  return response;
}

bool TestHttpClient::Stream(const std::string& target,
                            const std::function<bool(std::string_view)>& receive,
                            std::chrono::seconds limit) {
  asio::io_context io;
  tcp::socket socket(io);
  if (!Connect(socket, port_, limit)) return false;
  boost::system::error_code error;
  http::write(socket, Request("GET", target, "", {}, port_), error);
  boost::beast::flat_buffer buffer;
  http::response_parser<http::empty_body> parser;
  parser.body_limit(std::numeric_limits<std::uint64_t>::max());
  bool more = true;
  auto onChunk = [&](std::uint64_t, std::string_view data, boost::system::error_code&) {
    more = more && receive(data);
    return data.size();
  };
  parser.on_chunk_body(onChunk);
  http::read_header(socket, buffer, parser, error);
  if (error) return false;
  const auto end = std::chrono::steady_clock::now() + limit;
  while (more && !parser.is_done() && std::chrono::steady_clock::now() < end) {
    http::read_some(socket, buffer, parser, error);
    if (error) break;
  }
  return true;
}

RawConnection::RawConnection(std::uint16_t port, std::chrono::milliseconds readTimeout) {
  fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd_ >= 0 && connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    close(fd_);
    fd_ = -1;
  }
  if (fd_ >= 0) SetTimeouts(fd_, readTimeout);
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) close(fd_);
}

bool RawConnection::Write(std::string_view bytes) {
  while (fd_ >= 0 && !bytes.empty()) {
    const ssize_t written = send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return fd_ >= 0;
}

std::string RawConnection::ReadUntil(std::string_view marker) {
  char buffer[4096];
  while (fd_ >= 0 && (marker.empty() || received_.find(marker) == std::string::npos)) {
    const ssize_t count = recv(fd_, buffer, sizeof buffer, 0);
    if (count <= 0) break;
    received_.append(buffer, static_cast<std::size_t>(count));
  }
  return received_;
}

}  // namespace HostTestSupport

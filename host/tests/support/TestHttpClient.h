// An HTTP/1.1 client for the host tests (Boost.Beast, blocking, one
// connection per request, every read bounded by a timeout), and a raw
// connection for the tests that send bytes no well-behaved client sends.
//
//   TestHttpClient client(port);
//   std::optional<TestResponse> answer = client.Get("/kyn-test/v1/items");
//   EXPECT_EQ(answer->status, 200);
//   client.Stream("/events", [&](std::string_view data) { ...; return more; });
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace HostTestSupport {

using Headers = std::vector<std::pair<std::string, std::string>>;

struct TestResponse {
  int status = 0;
  Headers headers;
  std::string body;
  // The header's value, "" when absent.
  std::string Header(std::string_view name) const;
};

class TestHttpClient {
 public:
  explicit TestHttpClient(std::uint16_t port) : port_(port) {}

  // Sends one request (a Host header naming the server is added unless
  // `headers` has one); nothing when no answer came.
  std::optional<TestResponse> Send(const std::string& method, const std::string& target,
                                   const std::string& body = "", Headers headers = {});
  std::optional<TestResponse> Get(const std::string& target, Headers headers = {}) {
    return Send("GET", target, "", std::move(headers));
  }
  std::optional<TestResponse> Put(const std::string& target, const std::string& json) {
    return Send("PUT", target, json, {{"Content-Type", "application/json"}});
  }
  std::optional<TestResponse> Post(const std::string& target, const std::string& json) {
    return Send("POST", target, json, {{"Content-Type", "application/json"}});
  }
  std::optional<TestResponse> Delete(const std::string& target) { return Send("DELETE", target); }

  // GETs a streamed answer and hands each piece of its body to `receive`
  // until it returns false, the stream ends or the time is up; false when
  // no answer head came.
  bool Stream(const std::string& target, const std::function<bool(std::string_view)>& receive,
              std::chrono::seconds limit = std::chrono::seconds(10));

  std::uint16_t port() const { return port_; }

 private:
  std::uint16_t port_;
};

// A plain TCP connection to 127.0.0.1 whose reads time out.
class RawConnection {
 public:
  explicit RawConnection(std::uint16_t port,
                         std::chrono::milliseconds readTimeout = std::chrono::seconds(10));
  ~RawConnection();
  RawConnection(const RawConnection&) = delete;
  RawConnection& operator=(const RawConnection&) = delete;

  bool connected() const { return fd_ >= 0; }
  // Writes all bytes; false when the connection refused them.
  bool Write(std::string_view bytes);
  // Reads until `marker` has arrived, the peer closed or a read timed out;
  // returns everything read so far.
  std::string ReadUntil(std::string_view marker);
  // Reads until the peer closes or a read times out.
  std::string ReadAll() { return ReadUntil({}); }

 private:
  int fd_ = -1;
  std::string received_;
};

}  // namespace HostTestSupport

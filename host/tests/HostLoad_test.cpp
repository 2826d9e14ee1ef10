// The host under bounded loads on loopback: many event streams, many slow
// clients. Every case opens a fixed number of connections and ends by
// itself; reads are bounded by the clients' timeouts.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "support/HostTestSupport.h"

namespace Corvan::Host {
namespace {

using HostTestSupport::RawConnection;
using HostTestSupport::RunningHost;

std::string HostLine(RunningHost& host) {
  return "Host: 127.0.0.1:" + std::to_string(host.app().port()) + "\r\n";
}

// Event streams hold no thread: with 200 open, requests are answered and
// every stream gets the next event; beyond the cap a stream gets 503.
TEST(HostLoad, TwoHundredEventStreamsAndRequests) {
  RunningHost host;
  std::vector<std::unique_ptr<RawConnection>> streams;
  for (int i = 0; i < 200; ++i) {
    streams.push_back(std::make_unique<RawConnection>(host.app().port()));
    streams.back()->Write("GET /events HTTP/1.1\r\n" + HostLine(host) + "\r\n");
  }
  for (auto& stream : streams) ASSERT_NE(stream->ReadUntil(": connected").find(": connected"), std::string::npos);
  auto answer = host.client().Get("/kyn-test/v1/items/1");
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer->status, 200);
  ASSERT_EQ(host.client().Put("/kyn-test/v1/items/1", R"({"name":"one"})")->status, 200);
  int received = 0;
  for (auto& stream : streams) {
    received += stream->ReadUntil("\"name\":\"one\"").find("\"name\":\"one\"") != std::string::npos;
  }
  EXPECT_EQ(received, 200);
  for (int i = 200; i < 256; ++i) {
    streams.push_back(std::make_unique<RawConnection>(host.app().port()));
    streams.back()->Write("GET /events HTTP/1.1\r\n" + HostLine(host) + "\r\n");
    ASSERT_NE(streams.back()->ReadUntil(": connected").find(": connected"), std::string::npos);
  }
  RawConnection refused(host.app().port());
  refused.Write("GET /events HTTP/1.1\r\n" + HostLine(host) + "\r\n");
  EXPECT_TRUE(refused.ReadUntil("Too many").starts_with("HTTP/1.1 503 "));
}

// Clients that send their request head a line at a time hold nothing up,
// and are answered once their head is complete.
TEST(HostLoad, SlowClientsHoldNothingUp) {
  RunningHost host;
  std::vector<std::unique_ptr<RawConnection>> slow;
  for (int i = 0; i < 100; ++i) {
    slow.push_back(std::make_unique<RawConnection>(host.app().port()));
    slow.back()->Write("GET /kyn-test/v1/items/2 HTTP/1.1\r\n");
  }
  for (int line = 0; line < 3; ++line) {
    for (auto& client : slow) client->Write("X-Slow-" + std::to_string(line) + ": yes\r\n");
    auto answer = host.client().Get("/kyn-test/v1/items/1");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
  }
  int answered = 0;
  for (auto& client : slow) {
    client->Write(HostLine(host) + "Connection: close\r\n\r\n");
    answered += client->ReadAll().starts_with("HTTP/1.1 200 ");
  }
  EXPECT_EQ(answered, 100);
}

}  // namespace
}  // namespace Corvan::Host

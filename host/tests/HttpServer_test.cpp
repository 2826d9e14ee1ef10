// The server's own rules, with a trivial handler and short limits.
#include "HttpServer.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "support/HostTestSupport.h"

namespace Corvan::Host {
namespace {

using HostTestSupport::RawConnection;

class ServerWithLimits : public testing::Test {
 protected:
  void SetUp() override {
    HttpLimits limits;
    limits.connections = 4;
    limits.headTimeout = std::chrono::milliseconds(200);
    limits.idleTimeout = std::chrono::milliseconds(300);
    server_ = std::make_unique<HttpServer>(limits);
    ASSERT_EQ(server_->Bind(0), "");
    server_->Start(
        [](HttpRequest&& request, HttpResponder respond) {
          respond(JsonReply(200, "\"" + request.target + "\""));
        },
        nullptr);
    hostLine_ = "Host: 127.0.0.1:" + std::to_string(server_->port()) + "\r\n";
  }

  std::string Request(const std::string& target) {
    return "GET " + target + " HTTP/1.1\r\n" + hostLine_ + "\r\n";
  }

  std::unique_ptr<HttpServer> server_;
  std::string hostLine_;
};

TEST_F(ServerWithLimits, PipelinedRequestsAreAnsweredInOrder) {
  RawConnection client(server_->port());
  client.Write(Request("/one") + Request("/two"));
  const std::string answers = client.ReadUntil("\"/two\"");
  EXPECT_LT(answers.find("\"/one\""), answers.find("\"/two\"")) << answers;
}

TEST_F(ServerWithLimits, UnfinishedAndIdleConnectionsAreClosed) {
  RawConnection unfinished(server_->port());
  unfinished.Write("GET /slow HTTP/1.1\r\n");
  RawConnection idle(server_->port());
  idle.Write(Request("/idle"));
  // Both end by themselves; the idle one after its answer.
  EXPECT_EQ(unfinished.ReadAll(), "");
  EXPECT_NE(idle.ReadAll().find("\"/idle\""), std::string::npos);
  EXPECT_TRUE(HostTestSupport::WaitFor([&] { return server_->ConnectionCount() == 0; }));
}

TEST_F(ServerWithLimits, ConnectionsBeyondTheCapGet503) {
  std::vector<std::unique_ptr<RawConnection>> held;
  for (int i = 0; i < 4; ++i) held.push_back(std::make_unique<RawConnection>(server_->port()));
  ASSERT_TRUE(HostTestSupport::WaitFor([&] { return server_->ConnectionCount() == 4; }));
  RawConnection refused(server_->port());
  EXPECT_TRUE(refused.ReadAll().starts_with("HTTP/1.1 503 ")) << refused.ReadAll();
  held.clear();
  ASSERT_TRUE(HostTestSupport::WaitFor([&] { return server_->ConnectionCount() == 0; }));
  RawConnection admitted(server_->port());
  admitted.Write(Request("/again"));
  EXPECT_NE(admitted.ReadUntil("\"/again\"").find("HTTP/1.1 200 "), std::string::npos);
}

}  // namespace
}  // namespace Corvan::Host

#include "plugin/ServiceProxy.h"

#include <gtest/gtest.h>

#include <mutex>
#include <string>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"
#include "logging/LogTarget.h"
#include "logging/Logger.h"

namespace Corvan {
namespace {

struct LoggedLine {
  std::int32_t level;
  std::uint64_t categories;
  std::string message;
};

class CapturingTarget final : public LogTarget {
 public:
  CapturingTarget() {
    LogTargetSettings settings;
    settings.level = kLogOkay;
    settings.format = "#M";
    Configure(settings);
  }
  ~CapturingTarget() override { Unregister(); }
  bool Write(const LogRecord& record) override {
    std::lock_guard guard(mutex_);
    lines.push_back({record.level, record.categories, record.message});
    return true;
  }
  std::vector<LoggedLine> lines;

 private:
  std::mutex mutex_;
};

class ServiceProxyTest : public testing::Test {
 protected:
  void SetUp() override { GetLoggerInterface()->addRef(); }
  void TearDown() override { GetLoggerInterface()->release(); }
};

PluginServiceProxyResponse Message(std::string uuid, std::string service, std::string method,
                                   std::string payload = "") {
  PluginServiceProxyResponse response;
  response.uuid = std::move(uuid);
  response.serviceName = std::move(service);
  response.methodName = std::move(method);
  response.payload = std::move(payload);
  return response;
}

TEST_F(ServiceProxyTest, AsyncEventWithoutHandlerLogsItsKey) {
  struct Case {
    const char* service;
    const char* method;
    const char* line;
  };
  constexpr Case kCases[] = {
      {"myService", "myMethod",
       "Could not find registered handler for async service proxy event myService.myMethod"},
      {"", "", "Could not find registered handler for async service proxy event ."},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.line);
    CapturingTarget target;
    ServiceProxy proxy;
    proxy.OnAsyncEvent(Message("u", c.service, c.method));
    ASSERT_EQ(target.lines.size(), 1u);
    EXPECT_EQ(target.lines[0].level, kLogError);
    EXPECT_EQ(target.lines[0].categories, LogCategory::DBG);
    EXPECT_EQ(target.lines[0].message, c.line);
  }
}

TEST_F(ServiceProxyTest, AsyncEventGoesToTheHandlerOfItsKey) {
  CapturingTarget target;
  ServiceProxy proxy;
  std::vector<std::string> payloads;
  proxy.AddAsyncHandler(
      "svc.push", [&](const PluginServiceProxyResponse& r) { payloads.push_back(r.payload); });
  proxy.OnAsyncEvent(Message("", "svc", "push", "one"));
  proxy.OnAsyncEvent(Message("", "svc", "other", "two"));
  EXPECT_EQ(payloads, std::vector<std::string>{"one"});
  EXPECT_EQ(target.lines.size(), 1u);  // only the unhandled one
}

TEST_F(ServiceProxyTest, UnclaimedResponsesStayInArrivalOrderUntilCleared) {
  CapturingTarget target;
  ServiceProxy proxy;
  proxy.OnMethodEvent(Message("a", "svc", "get", "first"));
  proxy.OnMethodEvent(Message("b", "svc", "get", "second"));
  proxy.OnUuidEvent(Message("1234", "svc", "get", "by uuid"));

  const std::vector<PluginServiceProxyResponse> stored = proxy.ReceivedResponses("svc.get");
  ASSERT_EQ(stored.size(), 2u);
  EXPECT_EQ(stored[0].payload, "first");
  EXPECT_EQ(stored[1].payload, "second");
  EXPECT_EQ(proxy.ReceivedResponses("1234").size(), 1u);
  EXPECT_TRUE(target.lines.empty());

  proxy.Clear();
  EXPECT_TRUE(proxy.ReceivedResponses("svc.get").empty());
  EXPECT_TRUE(proxy.ReceivedResponses("1234").empty());
}

TEST_F(ServiceProxyTest, PendingRequestIsFulfilledOnceAndItsKeyEmptied) {
  CapturingTarget target;
  ServiceProxy proxy;
  proxy.OnUuidEvent(Message("1234", "", "", "early"));
  proxy.OnMethodEvent(Message("", "svc", "get", "other key"));
  std::vector<std::string> completed;
  proxy.AddPendingRequest(
      "1234", [&](const PluginServiceProxyResponse& r) { completed.push_back(r.payload); });
  // Adding a request fulfils nothing; the next message runs the walk.
  proxy.OnUuidEvent(Message("1234", "", "", "late"));

  EXPECT_EQ(completed, std::vector<std::string>{"early"});
  EXPECT_TRUE(proxy.ReceivedResponses("1234").empty());
  EXPECT_EQ(proxy.ReceivedResponses("svc.get").size(), 1u);
  ASSERT_EQ(target.lines.size(), 1u);
  EXPECT_EQ(target.lines[0].level, kLogAlways);
  EXPECT_EQ(target.lines[0].categories, LogCategory::DBG);
  EXPECT_EQ(target.lines[0].message, "Fulfilled service proxy request: 1234");

  proxy.OnUuidEvent(Message("1234", "", "", "after"));
  EXPECT_EQ(completed.size(), 1u);  // the request was removed
  EXPECT_EQ(proxy.ReceivedResponses("1234").size(), 1u);
}

TEST_F(ServiceProxyTest, CompletionMayAddTheNextRequest) {
  ServiceProxy proxy;
  int calls = 0;
  std::function<void(const PluginServiceProxyResponse&)> again =
      [&](const PluginServiceProxyResponse&) {
        if (++calls == 1) proxy.AddPendingRequest("svc.get", again);
      };
  proxy.AddPendingRequest("svc.get", again);
  proxy.OnMethodEvent(Message("", "svc", "get"));
  proxy.OnMethodEvent(Message("", "svc", "get"));
  EXPECT_EQ(calls, 2);
}

TEST(ServiceProxyResponse, RegisteredFieldsReadAMessage) {
  BindingRegistry registry;
  RegisterServiceProxyResponse(registry);
  const BindingTypeDescriptor* type = registry.FindType<PluginServiceProxyResponse>();
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->name, "PluginServiceProxyResponse");
  std::vector<std::string> names;
  for (const BindingFieldDescriptor& field : type->fields) names.push_back(field.name);
  EXPECT_EQ(names, (std::vector<std::string>{"uuid", "serviceName", "methodName", "payload",
                                             "status", "error"}));

  BindingProperty payload;
  payload.Field("serviceName").SetString("svc");
  payload.Field("methodName").SetString("get");
  payload.Field("status").SetString("200");
  BindingResult result;
  PluginServiceProxyResponse response;
  ASSERT_TRUE(AssignNative(result, response, payload, "<payload>", &registry))
      << result.ErrorText();
  EXPECT_EQ(ServiceProxy::MethodKey(response), "svc.get");
  EXPECT_EQ(response.status, "200");
}

}  // namespace
}  // namespace Corvan

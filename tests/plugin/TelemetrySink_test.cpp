#include "plugin/TelemetrySink.h"

#include <gtest/gtest.h>

#include <chrono>

#include "binding/BindingRegistry.h"
#include "support/ScriptedHost.h"

namespace Corvan {
namespace {

using TestSupport::ScriptedAnswer;
using TestSupport::ScriptedHost;

constexpr char kSessionScanPath[] = "/telemetry/v1/events/tqp-be-kyn-highlights.sessionScan";

TEST(TelemetrySink, PostsTheFieldsUnderTheEventName) {
  ScriptedHost host;
  host.Answer(kSessionScanPath, ScriptedAnswer::Value(BindingProperty()));
  BindingRegistry registry;
  const EndpointClient client(host.api(), 5, &registry);
  TelemetrySink sink(client);

  std::future<TelemetryOutcome> sent = sink.Send("tqp-be-kyn-highlights.sessionScan",
                                                 {{"timeMillis", "12"}, {"fileSizeBytes", "3400"}});

  ASSERT_EQ(sent.wait_for(std::chrono::seconds(0)), std::future_status::ready);
  EXPECT_FALSE(sent.get().failed);
  ASSERT_EQ(host.calls().size(), 1u);
  const TestSupport::RecordedCall& call = host.calls()[0];
  EXPECT_EQ(call.method, HTTP_METHOD_POST);
  EXPECT_EQ(call.path, kSessionScanPath);
  ASSERT_EQ(call.arguments.size(), 1u);
  EXPECT_FALSE(call.argumentNamed[0]);
  const BindingProperty& fields = call.arguments[0];
  ASSERT_EQ(fields.kind(), PropertyKind::Structure);
  EXPECT_EQ(fields.Size(), 2u);
  EXPECT_STREQ(fields.FindField("timeMillis")->GetString(), "12");
  EXPECT_STREQ(fields.FindField("fileSizeBytes")->GetString(), "3400");
}

TEST(TelemetrySink, FailedPostStaysInTheFutureUnlogged) {
  ScriptedHost host;  // nothing scripted: every path is "Not found"
  BindingRegistry registry;
  const EndpointClient client(host.api(), 5, &registry);
  TelemetrySink sink(client);

  const TelemetryOutcome outcome = sink.Send("x", {}).get();
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error.status, 404u);
  EXPECT_EQ(outcome.error.message, "Error response for POST /telemetry/v1/events/x: Not found");
  EXPECT_TRUE(host.logs().empty());
  EXPECT_EQ(host.responseReleases(), 1);
}

}  // namespace
}  // namespace Corvan

#include "plugin/EndpointClient.h"

#include <gtest/gtest.h>

#include <string>

#include "binding/BindingRegistry.h"
#include "support/ScriptedHost.h"

namespace EndpointClientTest {
struct Setting {
  std::string name;
  std::uint64_t size = 0;
};
// Registered nowhere, so converting it fails.
struct Unknown {
  int value = 0;
};
}  // namespace EndpointClientTest

KYN_TYPE_TEXT(EndpointClientTest::Setting, "struct EndpointClientTest::Setting")
KYN_TYPE_TEXT(EndpointClientTest::Unknown, "struct EndpointClientTest::Unknown")

namespace Corvan {
namespace {

using EndpointClientTest::Setting;
using TestSupport::ScriptedAnswer;
using TestSupport::ScriptedChunk;
using TestSupport::ScriptedHost;

constexpr char kConfigPath[] = "/kyn-platform-config/v1/namespaces/Highlights";

class EndpointClientTest : public testing::Test {
 protected:
  EndpointClientTest() {
    registry_.RegisterType<Setting>("Setting")
        .AddField("name", "", &Setting::name)
        .AddField("size", "", &Setting::size);
  }

  BindingRegistry registry_;
  ScriptedHost host_;
  EndpointClient client_{host_.api(), 42, &registry_};
};

BindingProperty SettingValue(const char* name, std::uint64_t size) {
  BindingProperty value;
  value.Field("name").SetString(name);
  value.Field("size").SetUnsigned(size);
  return value;
}

TEST_F(EndpointClientTest, SendsParametersAsUnnamedArgumentsOfAPlainRequest) {
  host_.Answer("/other/v1/thing", ScriptedAnswer::Value(SettingValue("a", 1)));
  const CallOutcome<BindingProperty> outcome =
      client_.Call(HttpMethod::Put, "/other/v1/thing", std::string("text"), 7u, Setting{"b", 2});

  ASSERT_FALSE(outcome.failed) << outcome.error.message;
  EXPECT_STREQ(outcome.value.FindField("name")->GetString(), "a");
  ASSERT_EQ(host_.calls().size(), 1u);
  const TestSupport::RecordedCall& call = host_.calls()[0];
  EXPECT_EQ(call.method, HTTP_METHOD_PUT);
  EXPECT_EQ(call.path, "/other/v1/thing");
  EXPECT_EQ(call.callerId, 42u);
  EXPECT_TRUE(call.functionContextNull);
  EXPECT_EQ(call.headerCount, 0u);
  EXPECT_TRUE(call.contentTypeNull && call.bodyNull && call.customMethodNull);
  ASSERT_EQ(call.arguments.size(), 3u);
  EXPECT_EQ(call.argumentNamed, (std::vector<bool>{false, false, false}));
  EXPECT_STREQ(call.arguments[0].GetString(), "text");
  EXPECT_EQ(call.arguments[1].GetUnsigned(), 7u);
  EXPECT_EQ(call.arguments[2].FindField("size")->GetUnsigned(), 2u);
  EXPECT_EQ(host_.responseReleases(), 1);
}

TEST_F(EndpointClientTest, ParameterThatDoesNotConvertSendsNothing) {
  const CallOutcome<BindingProperty> outcome =
      client_.Call(HttpMethod::Post, "/other/v1/thing", 1u, ::EndpointClientTest::Unknown{});
  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.error.status, 400u);
  EXPECT_EQ(outcome.error.message.rfind(
                "Request not sent: Error converting parameters for POST /other/v1/thing: ", 0),
            0u)
      << outcome.error.message;
  EXPECT_TRUE(host_.calls().empty());
}

TEST_F(EndpointClientTest, TypedGetConvertsTheAnswer) {
  host_.Answer(kConfigPath, ScriptedAnswer::Value(SettingValue("clip", 9)));
  const CallOutcome<Setting> outcome = client_.Get<Setting>(kConfigPath);
  ASSERT_FALSE(outcome.failed) << outcome.error.message;
  EXPECT_EQ(outcome.value.name, "clip");
  EXPECT_EQ(outcome.value.size, 9u);
  EXPECT_EQ(host_.calls()[0].method, HTTP_METHOD_GET);
  EXPECT_TRUE(host_.calls()[0].arguments.empty());
}

TEST_F(EndpointClientTest, TypedGetReadsAStreamedAnswerAsJson) {
  host_.Answer(kConfigPath, ScriptedAnswer::Stream(
                                {{R"({"name": "st)", true}, {R"(ream", "size": 3})", false}}, 64));
  const CallOutcome<Setting> outcome = client_.Get<Setting>(kConfigPath);
  ASSERT_FALSE(outcome.failed) << outcome.error.message;
  EXPECT_EQ(outcome.value.name, "stream");
  EXPECT_EQ(outcome.value.size, 3u);
  EXPECT_EQ(host_.streamReleases(), 1);
  EXPECT_EQ(host_.responseReleases(), 1);
}

// Every way a call can fail, each with its status and text; the response is
// released in every case and a stream exactly once.
TEST_F(EndpointClientTest, FailedCallsGiveTheirStatusAndText) {
  FlatProperty unknownKind{};
  unknownKind.kind = 99;
  ScriptedAnswer flagOnly;
  flagOnly.errorFlagOnly = true;
  flagOnly.status = 503;
  ScriptedAnswer badValue;
  badValue.rawValue = unknownKind;
  ScriptedAnswer errorWithStream = ScriptedAnswer::Error("busy", 500);
  errorWithStream.stream = std::vector<ScriptedChunk>{{"{}", false}};
  ScriptedAnswer noReader = ScriptedAnswer::Stream({{"{}", false}});
  noReader.nullStreamRead = true;
  ScriptedAnswer notARecord = ScriptedAnswer::Value(BindingProperty());
  BindingProperty text;
  text.SetString("plain");
  notARecord.value = text;

  struct Case {
    const char* name;
    ScriptedAnswer answer;
    std::uint32_t status;
    std::string message;  // a prefix when it ends in ": "
    int streamReleases;
  };
  const std::string get = std::string(" for GET ") + kConfigPath + ": ";
  const Case cases[] = {
      {"host error", ScriptedAnswer::Error("Not found", 404), 404,
       std::string("Error response") + get + "Not found", 0},
      {"host error with a stream", errorWithStream, 500,
       std::string("Error response") + get + "busy", 1},
      {"error flag without text", flagOnly, 503, "Error response" + get, 0},
      {"value that does not read back", badValue, 0, "Error converting response" + get, 0},
      {"stream read fails", ScriptedAnswer::Stream({{"{", true}, {"", false, true}}), 0,
       "Error reading streamed response" + get + "Stream read error", 1},
      {"stream without reader", noReader, 0,
       "Error reading streamed response" + get + "Stream read error", 1},
      {"stream that is not JSON", ScriptedAnswer::Stream({{"{oops", false}}), 0,
       "Error reading streamed response" + get, 1},
      {"answer of the wrong type", notARecord, 0, "Error converting response" + get, 0},
  };
  int releases = 0;
  int streamReleases = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_.Answer(kConfigPath, c.answer);
    const CallOutcome<Setting> outcome = client_.Get<Setting>(kConfigPath);
    EXPECT_TRUE(outcome.failed);
    EXPECT_EQ(outcome.error.status, c.status);
    if (c.message.ends_with(": ")) {
      EXPECT_EQ(outcome.error.message.rfind(c.message, 0), 0u) << outcome.error.message;
    } else {
      EXPECT_EQ(outcome.error.message, c.message);
    }
    EXPECT_EQ(host_.responseReleases(), ++releases);
    streamReleases += c.streamReleases;
    EXPECT_EQ(host_.streamReleases(), streamReleases);
  }
}

TEST_F(EndpointClientTest, ResponseWithoutReleaseFunctionIsLeftAlone) {
  ScriptedAnswer answer = ScriptedAnswer::Error("gone", 410);
  answer.noRelease = true;
  host_.Answer("/x", answer);
  const CallOutcome<BindingProperty> outcome = client_.Call(HttpMethod::Delete, "/x");
  EXPECT_EQ(outcome.error.message, "Error response for DELETE /x: gone");
  EXPECT_EQ(host_.responseReleases(), 0);
}

// Full reads go on at once; only a short read that promises more data makes
// the plugin yield to the host before reading again.
TEST_F(EndpointClientTest, StreamYieldsOnlyAfterShortReadsWithMoreData) {
  const std::string full(4096, ' ');
  struct Case {
    const char* name;
    std::vector<ScriptedChunk> chunks;
    std::vector<std::string> trace;
  };
  const std::vector<std::string> yield = {"beginWait:Wait: yield:0", "runPendingWork", "endWait"};
  std::vector<std::string> yielding = {"read"};
  yielding.insert(yielding.end(), yield.begin(), yield.end());
  yielding.push_back("read");
  const Case cases[] = {
      {"4096, 4096, 10",
       {{full, true}, {full, true}, {"[1,2,3,4] ", false}},
       {"read", "read", "read"}},
      {"10 with more data", {{"[1,2,3,4] ", true}, {"", false}}, yielding},
      {"full read ending the stream", {{"[0]" + std::string(4093, ' '), false}}, {"read"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedHost host;
    host.Answer("/s", ScriptedAnswer::Stream(c.chunks));
    const EndpointClient client(host.api(), 1, &registry_);
    const CallOutcome<BindingProperty> outcome = client.Call(HttpMethod::Get, "/s");
    ASSERT_FALSE(outcome.failed) << outcome.error.message;
    EXPECT_EQ(outcome.value.kind(), PropertyKind::Collection);
    EXPECT_EQ(host.trace(), c.trace);
    EXPECT_EQ(host.streamReleases(), 1);
  }
}

}  // namespace
}  // namespace Corvan

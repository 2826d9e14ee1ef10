#include "routing/Router.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <string>

#include "binding/BindingRegistry.h"
#include "logging/Logger.h"
#include "routing/InvokeEntry.h"
#include "routing/Reply.h"
#include "support/HostCall.h"
#include "support/LogCapture.h"

namespace RouterTest {
enum class Mood : std::int32_t { Calm = 0, Busy = 1 };
struct Clip {
  std::string name;
  std::uint64_t size = 0;
};
struct Unregistered {
  std::uint32_t value = 0;
};
}  // namespace RouterTest

KYN_TYPE_TEXT(RouterTest::Mood, "enum RouterTest::Mood")
KYN_TYPE_TEXT(RouterTest::Clip, "struct RouterTest::Clip")
KYN_TYPE_TEXT(RouterTest::Unregistered, "struct RouterTest::Unregistered")

namespace Corvan {
namespace {

using RouterTest::Clip;
using RouterTest::Mood;
using RouterTest::Unregistered;
using TestSupport::CallDescriptor;
using TestSupport::HostCallReply;
using TestSupport::HostCallRequest;

// Counts the live streams, so a test sees whether a release destroyed one.
int gLiveStreams = 0;

class TextStream final : public ResponseStream {
 public:
  explicit TextStream(std::string text) : text_(std::move(text)) { ++gLiveStreams; }
  ~TextStream() override { --gLiveStreams; }
  bool Read(std::uint8_t* buffer, std::uint32_t* byteCount, std::uint8_t* moreData) override {
    const std::size_t count = std::min<std::size_t>(*byteCount, text_.size() - position_);
    std::memcpy(buffer, text_.data() + position_, count);
    position_ += count;
    *byteCount = static_cast<std::uint32_t>(count);
    *moreData = position_ < text_.size() ? 1 : 0;
    return true;
  }
  std::uint32_t SizeHint() const override { return static_cast<std::uint32_t>(text_.size()); }

 private:
  std::string text_;
  std::size_t position_ = 0;
};

class Handlers {
 public:
  Reply<std::vector<Clip>> List() { return std::vector<Clip>{{"a", 1}, {"b", 2}}; }
  Mood GetMood() const { return Mood::Busy; }
  Reply<Clip> Missing() { return NotFound("No highlight with specified ID"); }
  Reply<Clip> MissingPlain() { return NotFound(); }
  EmptyReply Broken() { return InternalServerError(); }
  Reply<Clip> Disabled() { return ErrorReply(409, "Highlight ID %d does not exist.", -1); }
  Reply<Clip> Verbatim() { return ErrorReply(550, "100% failed %s"); }
  Unregistered Strange() { return {}; }
  BindingProperty Deep() {
    BindingProperty root;
    BindingProperty* position = &root;
    for (std::size_t i = 0; i <= kMaxTreeDepth + 1; ++i) position = &position->Element(0);
    return root;
  }
  EmptyReply Streamed() {
    EmptyReply reply;
    reply.SetStatus(206, "Partial");
    reply.AddHeader("X-One", "1");
    reply.AddHeader("A-Two", "2");
    reply.SetBodyFormat(BODY_FORMAT_YAML);
    reply.SetFlag(3);
    reply.SetStream(std::make_unique<TextStream>("stream body"));
    return reply;
  }
  EmptyReply OddFormat() {
    EmptyReply reply;
    reply.SetBodyFormat(7);
    return reply;
  }
  EmptyReply Touch() {
    ++touched;
    return EmptySuccess();
  }
  Clip Echo(std::uint64_t id, const Clip& body) { return {body.name, id}; }
  int touched = 0;
};

class RouterFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    registry_.RegisterType<Mood>("Mood").AddEnumerator("Calm", 0).AddEnumerator("Busy", 1);
    registry_.RegisterType<Clip>("Clip")
        .AddField("name", "", &Clip::name)
        .AddField("size", "", &Clip::size);
    router_.SetTags({"Plugins", "Plugin test"});
    router_.Get("/t/list/", &handlers_, &Handlers::List);
    router_.Get("/t/mood", &handlers_, &Handlers::GetMood);
    router_.Get("/t/missing", &handlers_, &Handlers::Missing);
    router_.Get("/t/missing-plain", &handlers_, &Handlers::MissingPlain);
    router_.Get("/t/broken", &handlers_, &Handlers::Broken);
    router_.Get("/t/disabled", &handlers_, &Handlers::Disabled);
    router_.Get("/t/verbatim", &handlers_, &Handlers::Verbatim);
    router_.Get("/t/strange", &handlers_, &Handlers::Strange);
    router_.Get("/t/deep", &handlers_, &Handlers::Deep);
    router_.Get("/t/streamed", &handlers_, &Handlers::Streamed);
    router_.Get("/t/odd", &handlers_, &Handlers::OddFormat);
    router_.Any("/t/touch", &handlers_, &Handlers::Touch);
    router_.Put("/t/echo/{id}", &handlers_, &Handlers::Echo)
        .AddPathArgument("id", "")
        .AddBodyArgument("clip", "");
    description_ = &router_.BuildDescription();
  }

  const FunctionDescriptor& Descriptor(std::string_view name) {
    for (std::uint32_t i = 0; i < description_->functionCount; ++i) {
      const FunctionDescriptor& descriptor = description_->functions[i];
      const auto* context =
          static_cast<const FunctionContext*>(descriptor.function.functionContext);
      if (context->binding->function->name == name) return descriptor;
    }
    ADD_FAILURE() << "no descriptor " << name;
    return description_->functions[0];
  }

  HostCallReply Get(std::string_view name, std::string path) {
    HostCallRequest request;
    request.method = HTTP_METHOD_GET;
    request.path = std::move(path);
    return CallDescriptor(Descriptor(name), request);
  }

  BindingRegistry registry_;
  Router router_{registry_};
  Handlers handlers_;
  const PluginApiDescription* description_ = nullptr;
};

TEST_F(RouterFixture, ValuesGoOutWithEnumsAsNames) {
  HostCallReply list = Get("GetTList", "/t/list");
  EXPECT_FALSE(list.hasError) << list.error;
  EXPECT_EQ(list.status, 0u);
  ASSERT_EQ(list.value.Size(), 2u);
  EXPECT_STREQ(list.value.Element(1).FindField("name")->GetString(), "b");
  EXPECT_TRUE(list.released);
  EXPECT_TRUE(list.zeroAfterRelease);

  HostCallReply mood = Get("GetTMood", "/t/mood");
  // The response owns its value as one block, so its texts are borrowed.
  EXPECT_EQ(mood.valueKind, static_cast<std::uint32_t>(FLAT_STRING_BORROWED));
  EXPECT_STREQ(mood.value.GetString(), "Busy");
}

TEST_F(RouterFixture, ErrorRepliesCarryTheirStatusAndText) {
  struct Case {
    const char* function;
    const char* path;
    std::uint32_t status;
    const char* error;
  };
  constexpr Case kCases[] = {
      {"GetTMissing", "/t/missing", 404, "No highlight with specified ID"},
      {"GetTMissingPlain", "/t/missing-plain", 404, "Not found"},
      {"GetTBroken", "/t/broken", 500, "Internal server error"},
      {"GetTDisabled", "/t/disabled", 409, "Highlight ID -1 does not exist."},
      {"GetTVerbatim", "/t/verbatim", 550, "100% failed %s"},
      {"GetTMood", "/t/other", 404, "Invalid function"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.function);
    HostCallReply reply = Get(c.function, c.path);
    EXPECT_TRUE(reply.hasError);
    EXPECT_EQ(reply.status, c.status);
    EXPECT_EQ(reply.error, c.error);
    EXPECT_EQ(reply.valueKind, static_cast<std::uint32_t>(FLAT_NULL));
    EXPECT_TRUE(reply.zeroAfterRelease);
  }
}

TEST_F(RouterFixture, UnconvertibleResultsAnswer400) {
  for (const char* name : {"GetTStrange", "GetTDeep"}) {
    SCOPED_TRACE(name);
    HostCallReply reply = Get(name, name == std::string("GetTDeep") ? "/t/deep" : "/t/strange");
    EXPECT_EQ(reply.status, 400u);
    EXPECT_TRUE(reply.hasError);
    EXPECT_FALSE(reply.error.empty());
  }
}

TEST_F(RouterFixture, ReplyDetailsAndStreamMoveIntoTheResponse) {
  HostCallReply reply = Get("GetTStreamed", "/t/streamed");
  EXPECT_FALSE(reply.hasError);
  EXPECT_EQ(reply.status, 206u);
  EXPECT_EQ(reply.statusText, "Partial");
  EXPECT_EQ(reply.bodyFormat, static_cast<std::uint32_t>(BODY_FORMAT_YAML));
  EXPECT_EQ(reply.flag, 3u);
  EXPECT_EQ(reply.headers,
            (std::vector<std::pair<std::string, std::string>>{{"X-One", "1"}, {"A-Two", "2"}}));
  ASSERT_NE(reply.stream.object, nullptr);
  EXPECT_EQ(reply.stream.sizeHint, 11u);
  EXPECT_EQ(reply.stream.reserved, 0u);
  // The response was released, the stream lives on until its own release.
  EXPECT_EQ(gLiveStreams, 1);
  EXPECT_EQ(TestSupport::DrainStream(reply.stream), "stream body");
  EXPECT_EQ(gLiveStreams, 0);

  EXPECT_EQ(Get("GetTOdd", "/t/odd").bodyFormat, 0u);
}

TEST_F(RouterFixture, MethodsAndQueries) {
  const FunctionDescriptor& mood = Descriptor("GetTMood");
  HostCallRequest request;
  request.path = "/t/mood";
  request.method = HTTP_METHOD_POST;
  EXPECT_EQ(CallDescriptor(mood, request).error, "Invalid function");
  request.method = 9;
  EXPECT_EQ(CallDescriptor(mood, request).status, 404u);

  // The route for any method takes code 9 as "none"; a literal route
  // matches the path up to the "?" (an empty query binds nothing).
  request.path = "/t/touch?";
  EXPECT_FALSE(CallDescriptor(Descriptor("TTouch"), request).hasError);
  EXPECT_EQ(handlers_.touched, 1);
}

TEST_F(RouterFixture, UntrustedRequestsNeverCrash) {
  const FunctionDescriptor& touch = Descriptor("TTouch");
  const HostHeaderPair nullPair{nullptr, nullptr};
  HostRequest request{};
  request.functionContext = touch.function.functionContext;

  request.path = nullptr;
  EXPECT_EQ(TestSupport::CallRaw(touch.invoke, request).error, "Invalid function");

  // A count without its array is the host's fault, answered as such rather
  // than as if the entries were absent.
  request.path = "/t/touch";
  request.headers = nullptr;
  request.headerCount = 5;
  EXPECT_EQ(TestSupport::CallRaw(touch.invoke, request).error,
            "Invalid request: a header count without header pairs");
  request.headerCount = 0;
  request.directArguments = nullptr;
  request.directArgumentCount = 3;
  EXPECT_EQ(TestSupport::CallRaw(touch.invoke, request).error,
            "Invalid request: a direct-argument count without direct arguments");
  request.directArgumentCount = 0;
  request.body = nullptr;
  request.bodyLength = 100;
  request.bodyContentType = "application/json";
  const HostCallReply noBody = TestSupport::CallRaw(touch.invoke, request);
  EXPECT_EQ(noBody.error, "Invalid request: a body length without a body");
  EXPECT_EQ(noBody.status, 400u);
  request.bodyLength = 0;
  EXPECT_FALSE(TestSupport::CallRaw(touch.invoke, request).hasError);

  request.headers = &nullPair;
  request.headerCount = 1;
  request.method = 8;  // custom without a name
  EXPECT_FALSE(TestSupport::CallRaw(touch.invoke, request).hasError);

  request.functionContext = nullptr;
  HostCallReply noContext = TestSupport::CallRaw(touch.invoke, request);
  EXPECT_EQ(noContext.error, "Invalid function");
  EXPECT_EQ(noContext.status, 404u);

  HostResponse response{};
  touch.invoke(&response, nullptr);
  EXPECT_EQ(response.result.hasError, 1u);
  response.release(&response);
  touch.invoke(nullptr, &request);
}

TEST_F(RouterFixture, PathAndBodyArgumentsReachTheHandler) {
  HostCallRequest request;
  request.method = HTTP_METHOD_PUT;
  request.path = "/t/echo/42";
  request.contentType = "application/json";
  request.body = R"({"name":"clip"})";
  HostCallReply reply = CallDescriptor(Descriptor("PutTEchoById"), request);
  ASSERT_FALSE(reply.hasError) << reply.error;
  ASSERT_NE(reply.value.FindField("size"), nullptr);
  EXPECT_EQ(reply.value.FindField("size")->GetUnsigned(), 42u);
  EXPECT_STREQ(reply.value.FindField("name")->GetString(), "clip");
}

TEST_F(RouterFixture, FirstRegistrationStays) {
  router_.Put("/t/echo/{id}/", &handlers_, &Handlers::Echo)
      .AddPathArgument("other", "changed")
      .AddBodyArgument("other2", "");
  const RouteBinding* binding = router_.FindBinding("PutTEchoById");
  ASSERT_NE(binding, nullptr);
  EXPECT_EQ(binding->routeTemplate, "/t/echo/{id}");
  ASSERT_EQ(binding->function->arguments.size(), 2u);
  EXPECT_EQ(binding->function->arguments[0].name, "id");
  EXPECT_EQ(binding->function->arguments[1].name, "clip");
  EXPECT_EQ(binding->locations,
            (std::vector<ArgumentLocation>{ArgumentLocation::Path, ArgumentLocation::Body}));
  EXPECT_EQ(binding->function->arguments[0].declared.kind, BindingTypeKind::UInt64);
  EXPECT_EQ(binding->function->arguments[1].declared.kind, BindingTypeKind::Struct);
  EXPECT_EQ(binding->function->result.kind, BindingTypeKind::Struct);
  EXPECT_EQ(binding->function->tags, (std::vector<std::string>{"Plugins", "Plugin test"}));
}

// Reads a field of a descriptor at its 64-bit offset.
template <class T>
T At(const FunctionDescriptor& descriptor, std::size_t offset) {
  T value;
  std::memcpy(&value, reinterpret_cast<const char*>(&descriptor) + offset, sizeof value);
  return value;
}

TEST_F(RouterFixture, DescriptorBytes) {
  if (sizeof(void*) != 8) GTEST_SKIP() << "the offsets below are those of 64-bit builds";
  ASSERT_EQ(description_->functionCount, router_.RouteCount());
  const FunctionDescriptor* first = description_->functions;
  for (std::uint32_t i = 0; i < description_->functionCount; ++i) {
    SCOPED_TRACE(i);
    const FunctionDescriptor& descriptor = first[i];
    const void* next = At<const void*>(descriptor, 0);
    EXPECT_EQ(next, i + 1 < description_->functionCount ? &first[i + 1] : nullptr);
    const auto* context = At<const FunctionContext*>(descriptor, 12);
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(context->registry, &registry_);
    const RouteBinding* binding = context->binding;
    EXPECT_STREQ(At<const char*>(descriptor, 20), binding->function->name.c_str());
    EXPECT_EQ(At<std::uint32_t>(descriptor, 44), binding->function->arguments.size());
    EXPECT_EQ(At<std::uint32_t>(descriptor, 97), 2u);  // the plugin's tags
    EXPECT_EQ(At<PluginInvokeFunction>(descriptor, 101), &InvokeFunction);
    EXPECT_EQ(At<std::uint32_t>(descriptor, 109), 0u);
    EXPECT_EQ(At<const char*>(descriptor, 113), binding->routeTemplate.c_str());
    EXPECT_EQ(At<std::uint32_t>(descriptor, 121), static_cast<std::uint32_t>(binding->method));
    EXPECT_EQ(At<std::uint8_t>(descriptor, 125), 0u);
    EXPECT_EQ(At<const void*>(descriptor, 126), nullptr);
    EXPECT_EQ(At<std::uint32_t>(descriptor, 134), 0u);
    EXPECT_STREQ(At<const char*>(descriptor, 138), "");
  }
  EXPECT_STREQ(At<const char*>(Descriptor("GetTList"), 113), "/t/list");
  EXPECT_EQ(description_->typeCount, registry_.Types().size());
  EXPECT_EQ(description_->eventCount, registry_.Events().size());
}

}  // namespace
}  // namespace Corvan

namespace Corvan {
namespace {

// An invoker that wants the transport request and records what it got.
class TransportInvoker final : public FunctionInvoker {
 public:
  std::uintptr_t Prepare(std::vector<BindingProperty>&, CallResult&, ConnectionId) override {
    return ++prepared;
  }
  void Invoke(std::vector<BindingProperty>&, const HttpBaseTransport::Request* transport,
              std::uintptr_t, ConnectionId, CallResult& call) override {
    if (throws) throw std::runtime_error("handler failed");
    ASSERT_NE(transport, nullptr);
    seen = *transport;
    headerTexts.clear();
    for (const auto& [name, value] : transport->headers) {
      headerTexts.emplace_back(std::string(name) + "=" + std::string(value));
    }
    call.result.property.SetString("done");
  }
  void Release(std::uintptr_t) override { ++released; }
  void* Handler() const override { return nullptr; }
  const TypeIdentity& RequestType() const override {
    return StaticType::HashCode<HttpBaseTransport::Request>();
  }

  bool throws = false;
  std::uintptr_t prepared = 0;
  int released = 0;
  HttpBaseTransport::Request seen;
  std::vector<std::string> headerTexts;
};

TEST(RouterTransport, TransportRequestCarriesTheCallAndThrowsStayInside) {
  BindingRegistry registry;
  Router router(registry);
  auto owned = std::make_unique<TransportInvoker>();
  TransportInvoker* invoker = owned.get();
  router.Custom(
      HttpMethod::Post, "/t/raw", [](BindingFunctionDescriptor&) {}, std::move(owned));
  const PluginApiDescription& description = router.BuildDescription();
  ASSERT_EQ(description.functionCount, 1u);

  const HostHeaderPair headers[] = {{"x-token", "abc"}, {nullptr, "lost"}, {"accept", "*/*"}};
  HostRequest request{};
  request.method = HTTP_METHOD_POST;
  request.path = "/t/raw?";
  request.functionContext = description.functions[0].function.functionContext;
  request.headers = headers;
  request.headerCount = 3;
  request.callerId = 77;
  HostCallReply reply = TestSupport::CallRaw(description.functions[0].invoke, request);
  EXPECT_FALSE(reply.hasError) << reply.error;
  EXPECT_STREQ(reply.value.GetString(), "done");
  EXPECT_EQ(invoker->seen.callerId, 77u);
  EXPECT_EQ(invoker->seen.method, HttpMethod::Post);
  EXPECT_EQ(invoker->seen.registry, &registry);
  EXPECT_EQ(invoker->headerTexts, (std::vector<std::string>{"x-token=abc", "accept=*/*"}));

  invoker->throws = true;
  HostCallReply thrown = TestSupport::CallRaw(description.functions[0].invoke, request);
  EXPECT_EQ(thrown.status, 500u);
  EXPECT_EQ(thrown.error, "Internal server error");
  // The state prepared for the throwing call is released all the same.
  EXPECT_EQ(invoker->released, 2);
}

}  // namespace
TEST(RouterRegistration, RoutesThatCannotBindTheirArgumentsAreLoggedAndLeftOut) {
  Corvan::Testing::LogCapture log;
  BindingRegistry registry;
  Router router(registry);
  Handlers handlers;
  // The variable names no path argument; the handler's second parameter
  // has no name; the third route is sound.
  router.Put("/t/echo/{clip}", &handlers, &Handlers::Echo)
      .AddPathArgument("id", "")
      .AddBodyArgument("clip", "");
  router.Put("/t/half/{id}", &handlers, &Handlers::Echo).AddPathArgument("id", "");
  router.Put("/t/whole/{id}", &handlers, &Handlers::Echo)
      .AddPathArgument("id", "")
      .AddBodyArgument("clip", "");
  const PluginApiDescription& description = router.BuildDescription();
  ASSERT_EQ(description.functionCount, 1u);
  EXPECT_NE(router.FindBinding("PutTWholeById"), nullptr);
  EXPECT_EQ(registry.FindFunction("PutTEchoByClip"), nullptr);
  EXPECT_EQ(registry.FindFunction("PutTHalfById"), nullptr);
  std::vector<std::string> errors;
  for (const auto& line : log.Lines()) {
    if (line.level == kLogError) errors.push_back(line.message);
  }
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "Route PUT /t/echo/{clip} is not registered: its template variable 'clip' "
                        "names no path argument",
                        "Route PUT /t/half/{id} is not registered: parameter 2 of its handler has "
                        "no argument name"}));
}

}  // namespace Corvan

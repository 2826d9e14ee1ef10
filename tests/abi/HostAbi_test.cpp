#include "abi/HostAbi.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

// Implemented in HostAbi_c_test.c, which includes the header as C.
extern "C" {
struct HostAbiCSize {
  const char* name;
  size_t size;
};
struct HostAbiCCall {
  uint32_t statusCode;
  uint8_t hasError;
  int64_t int64;
  char text[32];
};
const HostAbiCSize* HostAbiCSizes(size_t* count);
int HostAbiCReleaseCount(void);
void HostAbiCFillErrorResponse(HostResponse* out, uint32_t status, const char* message);
size_t HostAbiCInvokeAll(const PluginApiDescription* description, HostAbiCCall* calls,
                         size_t capacity);
uint32_t HostAbiCUseHost(const HostLink* link, int* eventCount);
}

namespace {

// clang-format off
#define KYN_SIZE_ROW(type) {#type, sizeof(type)}

TEST(HostAbi, CAndCppSeeTheSameRecordSizes) {
  constexpr HostAbiCSize kCppSizes[] = {
      KYN_SIZE_ROW(FlatProperty), KYN_SIZE_ROW(FlatPropertyEntry), KYN_SIZE_ROW(FlatResult),
      KYN_SIZE_ROW(HostEvent), KYN_SIZE_ROW(HostDirectArgument), KYN_SIZE_ROW(HostHeaderPair),
      KYN_SIZE_ROW(HostRequest), KYN_SIZE_ROW(HostResponse), KYN_SIZE_ROW(HostApi),
      KYN_SIZE_ROW(HostLink), KYN_SIZE_ROW(PluginMemoryStats), KYN_SIZE_ROW(PluginCallbacks),
      KYN_SIZE_ROW(FlatArgumentRecord), KYN_SIZE_ROW(FlatFunctionRecord),
      KYN_SIZE_ROW(FlatFieldRecord), KYN_SIZE_ROW(FlatEnumeratorRecord),
      KYN_SIZE_ROW(FlatTypeRecord), KYN_SIZE_ROW(FlatEventRecord), KYN_SIZE_ROW(FlatApiTable),
      KYN_SIZE_ROW(FlatArgumentTextList), KYN_SIZE_ROW(FunctionDescriptor),
      KYN_SIZE_ROW(PluginApiDescription), KYN_SIZE_ROW(PluginLoadBlock),
  };
  // clang-format on
  size_t count = 0;
  const HostAbiCSize* cSizes = HostAbiCSizes(&count);
  ASSERT_EQ(count, std::size(kCppSizes));
  for (size_t i = 0; i < count; ++i) {
    SCOPED_TRACE(kCppSizes[i].name);
    EXPECT_STREQ(cSizes[i].name, kCppSizes[i].name);
    EXPECT_EQ(cSizes[i].size, kCppSizes[i].size);
  }
}

// Packed fields sit at any address: the tests copy them out before comparing.
TEST(HostAbi, FlatResultIsTheHeadOfAHostResponse) {
  HostResponse response;
  HostAbiCFillErrorResponse(&response, 404, "Not found");
  const int releasesBefore = HostAbiCReleaseCount();

  // Code that knows only FlatResult reads the C host's error from the head.
  FlatResult head;
  std::memcpy(&head, &response, sizeof head);
  EXPECT_EQ(head.hasError, 1);
  EXPECT_STREQ(head.error, "Not found");

  // Writing a FlatResult over the head leaves every later field alone.
  unsigned char before[sizeof(HostResponse)];
  std::memcpy(before, &response, sizeof response);
  head.value.kind = FLAT_INT64;
  std::memcpy(&response, &head, sizeof head);
  EXPECT_EQ(0, std::memcmp(before + sizeof head,
                           reinterpret_cast<unsigned char*>(&response) + sizeof head,
                           sizeof response - sizeof head));
  const std::uint32_t status = response.statusCode;
  EXPECT_EQ(status, 404u);

  // The C host's release, called from C++, runs once and clears the record.
  head.value.kind = FLAT_NULL;
  std::memcpy(&response, &head, sizeof head);
  response.release(&response);
  EXPECT_EQ(HostAbiCReleaseCount(), releasesBefore + 1);
  const HostResponse zero{};
  EXPECT_EQ(0, std::memcmp(&response, &zero, sizeof zero));
}

// A C++ plugin whose function context says what its invoke entry answers.
struct FakeFunction {
  std::int64_t base;
  const char* error;  // null: answer a value
  std::string seen{};
};

std::vector<std::uint32_t> releasedStatuses;

char* Copy(std::string_view text) {
  char* copy = new char[text.size() + 1];
  std::memcpy(copy, text.data(), text.size());
  copy[text.size()] = '\0';
  return copy;
}

void KYN_CALL ReleasePluginResponse(HostResponse* response) {
  const std::uint32_t status = response->statusCode;
  releasedStatuses.push_back(status);
  if (response->result.hasError) delete[] response->result.error;
  *response = HostResponse{};
}

void KYN_CALL InvokeFake(HostResponse* out, const HostRequest* request) {
  auto* function = static_cast<FakeFunction*>(request->functionContext);
  const std::uint64_t argument = request->directArguments[0].value.value.uint64;
  function->seen = std::to_string(request->method) + " " + request->path + " " +
                   std::to_string(argument) + " " + request->headers[0].name + " " +
                   request->bodyContentType + " " +
                   std::string(reinterpret_cast<const char*>(request->body), request->bodyLength) +
                   " " + std::to_string(request->callerId);
  *out = HostResponse{};
  if (function->error != nullptr) {
    out->result.error = Copy(function->error);
    out->result.hasError = 1;
    out->statusCode = 409;
  } else {
    out->result.value.kind = FLAT_INT64;
    out->result.value.value.int64 = function->base + static_cast<std::int64_t>(argument);
    out->statusCode = 200;
  }
  out->release = ReleasePluginResponse;
}

TEST(HostAbi, CHostInvokesEachDescriptorAndReleasesEachResponseOnce) {
  releasedStatuses.clear();
  FakeFunction functions[] = {{100, nullptr}, {0, "Name taken"}};
  FunctionDescriptor descriptors[2] = {};
  const char* routes[] = {"/kyn-highlights/v1/highlights", "/kyn-highlights/v1/highlights/{id}"};
  for (int i = 0; i < 2; ++i) {
    descriptors[i].function.functionContext = &functions[i];
    descriptors[i].invoke = InvokeFake;
    descriptors[i].routeTemplate = routes[i];
    descriptors[i].method = i == 0 ? HTTP_METHOD_GET : HTTP_METHOD_PUT;
  }
  descriptors[0].function.next = &descriptors[1].function;
  const PluginApiDescription description{descriptors, 2, nullptr, 0, nullptr, 0};

  HostAbiCCall calls[3] = {};
  ASSERT_EQ(HostAbiCInvokeAll(&description, calls, 3), 2u);
  EXPECT_EQ(calls[0].statusCode, 200u);
  EXPECT_EQ(calls[0].hasError, 0);
  EXPECT_EQ(calls[0].int64, 107);
  EXPECT_EQ(calls[1].statusCode, 409u);
  EXPECT_EQ(calls[1].hasError, 1);
  EXPECT_STREQ(calls[1].text, "Name taken");
  EXPECT_EQ(releasedStatuses, (std::vector<std::uint32_t>{200, 409}));
  // Each entry got the request the C host built from its own descriptor.
  EXPECT_EQ(functions[0].seen,
            "2 /kyn-highlights/v1/highlights 7 accept application/json {\"name\":\"clip\"} 42");
  EXPECT_EQ(
      functions[1].seen,
      "7 /kyn-highlights/v1/highlights/{id} 8 accept application/json {\"name\":\"clip\"} 42");
}

// A C++ host recording the slots a C plugin calls.
struct FakeHost {
  HostApi api{};
  std::vector<std::string> calls{};
  HostEventCallback callback = nullptr;
  void* userData = nullptr;
  int answerReleases = 0;
};

FakeHost* fakeHost = nullptr;

// Every slot must receive the table it was called through.
FakeHost& HostOf(HostApi* api) {
  EXPECT_EQ(api, &fakeHost->api);
  return *fakeHost;
}

TEST(HostAbi, CPluginReachesEachHostSlotAndReleasesTheHostsAnswer) {
  FakeHost host;
  fakeHost = &host;
  host.api.callEndpoint = [](HostApi* api, HostResponse* out, const HostRequest* request) {
    HostOf(api).calls.push_back(std::string("call ") + request->path);
    out->statusCode = 204;
    out->release = [](HostResponse*) { ++fakeHost->answerReleases; };
  };
  host.api.publishEvent = [](HostApi* api, const HostEvent* event) {
    const FlatProperty& payload = event->payload;
    HostOf(api).calls.push_back(
        std::string("publish ") + event->name + " " +
        std::string(payload.value.string.data, payload.value.string.length));
  };
  host.api.subscribe = [](HostApi* api, const char* name, ConnectionId connection,
                          HostEventCallback callback, void* userData, uint32_t flag) {
    FakeHost& self = HostOf(api);
    self.calls.push_back("subscribe " + std::string(name) + " " + std::to_string(connection) + " " +
                         std::to_string(flag));
    self.callback = callback;
    self.userData = userData;
  };
  const HostLink link{&host.api, 9};
  int eventCount = 0;

  EXPECT_EQ(HostAbiCUseHost(&link, &eventCount), 204u);
  EXPECT_EQ(host.calls, (std::vector<std::string>{
                            "subscribe OnJsonApiEvent_kyn-x_v1_items 9 0",
                            "publish OnJsonApiEvent /kyn-x/v1/items",
                            "call /kyn-x/v1/items",
                        }));
  EXPECT_EQ(host.answerReleases, 1);

  // Delivering an event reaches the C callback with the subscription's data.
  ASSERT_NE(host.callback, nullptr);
  HostEvent event{};
  event.name = "OnJsonApiEvent_kyn-x_v1_items";
  event.payload.kind = FLAT_STRING_BORROWED;
  event.userData = host.userData;
  host.callback(&event);
  EXPECT_EQ(eventCount, 1);
  fakeHost = nullptr;
}

}  // namespace

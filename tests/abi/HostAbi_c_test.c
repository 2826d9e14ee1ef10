/* The host boundary as C code sees it: this file includes plugin/HostAbi.h
 * as C and plays a C host and a C plugin for HostAbi_test.cpp. */
#include <stdlib.h>
#include <string.h>

#include "abi/HostAbi.h"

/* Repeated in HostAbi_test.cpp; keep the two alike. */
typedef struct HostAbiCSize {
  const char* name;
  size_t size;
} HostAbiCSize;
typedef struct HostAbiCCall {
  uint32_t statusCode;
  uint8_t hasError;
  int64_t int64;
  char text[32];
} HostAbiCCall;
const HostAbiCSize* HostAbiCSizes(size_t* count);
int HostAbiCReleaseCount(void);
void HostAbiCFillErrorResponse(HostResponse* out, uint32_t status, const char* message);
size_t HostAbiCInvokeAll(const PluginApiDescription* description, HostAbiCCall* calls,
                         size_t capacity);
uint32_t HostAbiCUseHost(const HostLink* link, int* eventCount);

/* clang-format off */
#define SIZE_ROW(type) {#type, sizeof(type)}
static const HostAbiCSize kSizes[] = {
    SIZE_ROW(FlatProperty), SIZE_ROW(FlatPropertyEntry), SIZE_ROW(FlatResult),
    SIZE_ROW(HostEvent), SIZE_ROW(HostDirectArgument), SIZE_ROW(HostHeaderPair),
    SIZE_ROW(HostRequest), SIZE_ROW(HostResponse), SIZE_ROW(HostApi), SIZE_ROW(HostLink),
    SIZE_ROW(PluginMemoryStats), SIZE_ROW(PluginCallbacks), SIZE_ROW(FlatArgumentRecord),
    SIZE_ROW(FlatFunctionRecord), SIZE_ROW(FlatFieldRecord), SIZE_ROW(FlatEnumeratorRecord),
    SIZE_ROW(FlatTypeRecord), SIZE_ROW(FlatEventRecord), SIZE_ROW(FlatApiTable),
    SIZE_ROW(FlatArgumentTextList), SIZE_ROW(FunctionDescriptor), SIZE_ROW(PluginApiDescription),
    SIZE_ROW(PluginLoadBlock),
};
/* clang-format on */

const HostAbiCSize* HostAbiCSizes(size_t* count) {
  *count = sizeof kSizes / sizeof kSizes[0];
  return kSizes;
}

static char* CopyText(const char* text) {
  char* copy = (char*)malloc(strlen(text) + 1);
  return copy != NULL ? strcpy(copy, text) : NULL;
}

static int releaseCount = 0;
int HostAbiCReleaseCount(void) { return releaseCount; }

static void KYN_CALL ReleaseHostResponse(HostResponse* response) {
  ++releaseCount;
  if (response->result.hasError) free((void*)response->result.error);
  free((void*)response->statusText);
  memset(response, 0, sizeof *response);
}

/* A C host's failed answer to an endpoint call. */
void HostAbiCFillErrorResponse(HostResponse* out, uint32_t status, const char* message) {
  memset(out, 0, sizeof *out);
  out->result.error = CopyText(message);
  out->result.hasError = 1;
  out->resultFlag = 1;
  out->bodyFormat = BODY_FORMAT_JSON;
  out->statusCode = status;
  out->statusText = CopyText("Not Found");
  out->release = ReleaseHostResponse;
}

/* A C host calling every function of a description, as the host routes a
 * request to each, and releasing every response. */
size_t HostAbiCInvokeAll(const PluginApiDescription* description, HostAbiCCall* calls,
                         size_t capacity) {
  static const HostHeaderPair kHeader = {"accept", "application/json"};
  static const char kBody[] = "{\"name\":\"clip\"}";
  const FunctionDescriptor* descriptor = description->functions;
  size_t n = 0;
  for (; descriptor != NULL && n < capacity; ++n) {
    HostDirectArgument argument = {NULL, {FLAT_UINT64, {0}}};
    HostRequest request = {0, NULL, NULL, 0, NULL, NULL, 0, NULL, NULL, 0, 0, NULL};
    HostResponse response;
    argument.value.value.uint64 = 7 + n;
    request.method = descriptor->method;
    request.path = descriptor->routeTemplate;
    request.directArguments = &argument;
    request.directArgumentCount = 1;
    request.functionContext = descriptor->function.functionContext;
    request.headers = &kHeader;
    request.headerCount = 1;
    request.bodyContentType = "application/json";
    request.body = (const uint8_t*)kBody;
    request.bodyLength = (uint32_t)(sizeof kBody - 1);
    request.callerId = 42;
    memset(&response, 0, sizeof response);

    descriptor->invoke(&response, &request);
    calls[n].statusCode = response.statusCode;
    calls[n].hasError = response.result.hasError;
    calls[n].int64 =
        response.result.value.kind == FLAT_INT64 ? response.result.value.value.int64 : 0;
    strncpy(calls[n].text, response.result.hasError ? response.result.error : "",
            sizeof calls[n].text - 1);
    calls[n].text[sizeof calls[n].text - 1] = '\0';
    if (response.release != NULL) response.release(&response);
    descriptor = (const FunctionDescriptor*)descriptor->function.next;
  }
  return n;
}

static void KYN_CALL OnEvent(const HostEvent* event) {
  if (event->payload.kind == FLAT_STRING_BORROWED) ++*(int*)event->userData;
}

/* A C plugin subscribing, publishing and calling an endpoint. */
uint32_t HostAbiCUseHost(const HostLink* link, int* eventCount) {
  static const char kPath[] = "/kyn-x/v1/items";
  HostApi* api = link->api;
  HostEvent event;
  HostRequest request;
  HostResponse response;
  uint32_t status;

  api->subscribe(api, "OnJsonApiEvent_kyn-x_v1_items", link->connectionId, OnEvent, eventCount,
                 SUBSCRIBE_RESOURCE_EVENTS);
  memset(&event, 0, sizeof event);
  event.name = "OnJsonApiEvent";
  event.payload.kind = FLAT_STRING_BORROWED;
  event.payload.value.string.data = kPath;
  event.payload.value.string.length = (uint32_t)(sizeof kPath - 1);
  api->publishEvent(api, &event);

  memset(&request, 0, sizeof request);
  request.method = HTTP_METHOD_GET;
  request.path = kPath;
  request.callerId = link->connectionId;
  memset(&response, 0, sizeof response);
  api->callEndpoint(api, &response, &request);
  status = response.statusCode;
  if (response.release != NULL) response.release(&response);
  return status;
}

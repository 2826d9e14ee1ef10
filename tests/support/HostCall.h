// HostCall: plays the host's part in one call of a FunctionDescriptor.
//
//   HostCallRequest request;
//   request.method = HTTP_METHOD_GET;
//   request.path = "/kyn-highlights/v1/highlights/7";
//   HostCallReply reply = CallDescriptor(descriptor, request);
//   EXPECT_EQ(reply.status, 404u);
//
// It builds a real HostRequest from owned texts, calls the descriptor's
// invoke entry with a zero-filled response, reads everything the response
// holds back into owned values and calls the response's release function
// exactly once. A stream found in the response is handed over, unread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"

namespace TestSupport {

struct HostCallRequest {
  std::uint32_t method = HTTP_METHOD_GET;
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  // No content type is sent when unset.
  std::optional<std::string> contentType;
  // No body is sent when unset.
  std::optional<std::string> body;
  // Direct arguments: name (none for positional) and value. The values
  // stay owned by the caller.
  std::vector<std::pair<std::optional<std::string>, FlatProperty>> directArguments;
  ConnectionId callerId = 0;
  std::optional<std::string> customMethod;
};

// The stream fields of a response, owned by the test once read.
struct HostCallStream {
  void* object = nullptr;
  HostStreamReadFunction read = nullptr;
  HostStreamReleaseFunction release = nullptr;
  std::uint32_t sizeHint = 0;
  std::uint32_t reserved = 0;
};

struct HostCallReply {
  Corvan::BindingProperty value;
  std::uint32_t valueKind = FLAT_NULL;
  bool hasError = false;
  std::string error;
  std::uint8_t flag = 0;
  std::uint32_t bodyFormat = 0;
  std::uint32_t status = 0;
  std::string statusText;
  std::vector<std::pair<std::string, std::string>> headers;
  HostCallStream stream;
  // True when the response stored a release function (which was called).
  bool released = false;
  // The response record after its release: every byte should be zero.
  bool zeroAfterRelease = false;
};

// Builds the HostRequest of `request` with the descriptor's function
// context and calls the descriptor's invoke entry.
HostCallReply CallDescriptor(const FunctionDescriptor& descriptor, const HostCallRequest& request);

// Calls an invoke entry with a request built by the caller (for requests
// that HostCallRequest cannot express, such as null texts).
HostCallReply CallRaw(PluginInvokeFunction invoke, const HostRequest& request);

// Reads a stream to its end (up to `limit` bytes) and releases it once.
std::string DrainStream(HostCallStream& stream, std::size_t limit = 1 << 20);

}  // namespace TestSupport

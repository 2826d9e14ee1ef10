#include "support/HostCall.h"

#include <cstring>

#include "binding/FlatProperty.h"

namespace TestSupport {

namespace {

const char* TextOrNull(const std::optional<std::string>& text) {
  return text ? text->c_str() : nullptr;
}

void ReadResponse(HostResponse& response, HostCallReply& reply) {
  const FlatProperty value = Corvan::ResultValue(response.result);
  reply.valueKind = value.kind;
  FlatResult report{};
  if (!Corvan::FromFlatProperty(value, reply.value, report, "<response>")) {
    reply.error = "unreadable response value";
    Corvan::ReleaseFlatResult(report);
  }
  reply.hasError = response.result.hasError != 0;
  if (response.result.error != nullptr) reply.error = response.result.error;
  reply.flag = response.resultFlag;
  reply.bodyFormat = response.bodyFormat;
  reply.status = response.statusCode;
  if (response.statusText != nullptr) reply.statusText = response.statusText;
  const HostHeaderPair* headers = response.headers;
  for (std::uint32_t i = 0; headers != nullptr && i < response.headerCount; ++i) {
    reply.headers.emplace_back(headers[i].name, headers[i].value);
  }
  reply.stream.object = response.stream;
  reply.stream.read = response.streamRead;
  reply.stream.release = response.streamRelease;
  reply.stream.sizeHint = response.streamHandle;
  reply.stream.reserved = response.reserved;
}

}  // namespace

HostCallReply CallRaw(PluginInvokeFunction invoke, const HostRequest& request) {
  HostResponse response;
  std::memset(&response, 0, sizeof response);
  invoke(&response, &request);
  HostCallReply reply;
  ReadResponse(response, reply);
  HostResponseReleaseFunction release = response.release;
  if (release != nullptr) {
    release(&response);
    reply.released = true;
    const auto* bytes = reinterpret_cast<const unsigned char*>(&response);
    reply.zeroAfterRelease = true;
    for (std::size_t i = 0; i < sizeof response; ++i) {
      if (bytes[i] != 0) reply.zeroAfterRelease = false;
    }
  }
  return reply;
}

HostCallReply CallDescriptor(const FunctionDescriptor& descriptor, const HostCallRequest& request) {
  std::vector<HostHeaderPair> headers;
  for (const auto& [name, value] : request.headers)
    headers.push_back({name.c_str(), value.c_str()});
  std::vector<HostDirectArgument> arguments;
  for (const auto& [name, value] : request.directArguments) {
    arguments.push_back({TextOrNull(name), value});
  }
  HostRequest host{};
  host.method = request.method;
  host.path = request.path.c_str();
  host.directArguments = arguments.empty() ? nullptr : arguments.data();
  host.directArgumentCount = static_cast<std::uint32_t>(arguments.size());
  host.functionContext = descriptor.function.functionContext;
  host.headers = headers.empty() ? nullptr : headers.data();
  host.headerCount = static_cast<std::uint32_t>(headers.size());
  host.bodyContentType = TextOrNull(request.contentType);
  host.body = request.body ? reinterpret_cast<const std::uint8_t*>(request.body->data()) : nullptr;
  host.bodyLength = request.body ? static_cast<std::uint32_t>(request.body->size()) : 0;
  host.callerId = request.callerId;
  host.customMethod = TextOrNull(request.customMethod);
  return CallRaw(descriptor.invoke, host);
}

std::string DrainStream(HostCallStream& stream, std::size_t limit) {
  std::string text;
  if (stream.object == nullptr) return text;
  std::uint8_t more = 1;
  while (more != 0 && text.size() < limit) {
    std::uint8_t buffer[4096];
    std::uint32_t count = sizeof buffer;
    if (!stream.read(stream.object, buffer, &count, &more)) break;
    text.append(reinterpret_cast<const char*>(buffer), count);
  }
  stream.release(stream.object);
  stream.object = nullptr;
  return text;
}

}  // namespace TestSupport

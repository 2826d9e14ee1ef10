#include "routing/InvokeEntry.h"

#include <string_view>
#include <vector>

#include "binding/BindingRegistry.h"
#include "platform/Platform.h"
#include "routing/ArgumentBinder.h"
#include "routing/CallResult.h"
#include "routing/QueryString.h"
#include "routing/ResponseWriter.h"
#include "routing/RouteBinding.h"

namespace Corvan {

namespace {

constexpr const char* kInternalError = "Internal server error";
constexpr const char* kHeadersMissing = "Invalid request: a header count without header pairs";
constexpr const char* kDirectArgumentsMissing =
    "Invalid request: a direct-argument count without direct arguments";
constexpr const char* kBodyMissing = "Invalid request: a body length without a body";
constexpr std::uint32_t kStatusInternalError = 500;

// A copy of the request in which the path is a text, so no later step reads
// through a null pointer.
HostRequest SanitizedRequest(const HostRequest& request) {
  HostRequest safe = request;
  if (safe.path == nullptr) safe.path = "";
  return safe;
}

// The fault of a request that announces entries it does not give: a host
// that sends one is broken, and answering as if the entries were absent
// would hide that (a rename without its body, a call without its headers).
const char* MissingArrayOf(const HostRequest& request) {
  if (request.headers == nullptr && request.headerCount != 0) return kHeadersMissing;
  if (request.directArguments == nullptr && request.directArgumentCount != 0) {
    return kDirectArgumentsMissing;
  }
  if (request.body == nullptr && request.bodyLength != 0) return kBodyMissing;
  return nullptr;
}

MatchRequest MatchRequestFor(const HostRequest& request) {
  MatchRequest match;
  match.method = HttpMethodFromCode(request.method);
  if (match.method == HttpMethod::Custom && request.customMethod != nullptr) {
    match.customMethod = request.customMethod;
  }
  match.path = PathWithoutQuery(request.path);
  return match;
}

bool WantsTransport(const FunctionInvoker& invoker) {
  const std::uint32_t type = invoker.RequestType().hash;
  return type == StaticType::HashCode<HttpBaseTransport::Request>().hash ||
         type == StaticType::HashCode<RemotingRequest>().hash;
}

HttpBaseTransport::Request TransportFor(const HostRequest& request, const MatchRequest& match,
                                        const BindingRegistry* registry) {
  HttpBaseTransport::Request transport;
  transport.callerId = request.callerId;
  transport.ticks = Platform::HighResolutionCounter();
  transport.registry = registry;
  transport.path = request.path;
  transport.method = match.method;
  transport.customMethod = match.customMethod;
  transport.headers.reserve(request.headerCount);
  for (std::uint32_t i = 0; i < request.headerCount; ++i) {
    const HostHeaderPair& pair = request.headers[i];
    if (pair.name == nullptr || pair.value == nullptr) continue;
    transport.headers.emplace_back(pair.name, pair.value);
  }
  return transport;
}

void Call(const RouteBinding& binding, const HostRequest& request, const MatchRequest& match,
          const RouteCaptures& captures, const BindingRegistry* registry, HostResponse& out) {
  CallResult call;
  std::vector<BindingProperty> arguments;
  ArgumentBindingInput input;
  input.function = binding.function;
  input.locations = binding.locations;
  input.captures = &captures;
  input.request = &request;
  input.registry = registry;
  call.bodyArgument = BindArguments(input, arguments, call.result);

  FunctionInvoker& invoker = *binding.invoker;
  // The prepared state is released also when the handler throws (the entry
  // above turns that into a 500).
  struct PreparedState {
    FunctionInvoker& invoker;
    std::uintptr_t state = 0;
    ~PreparedState() {
      if (state != 0) invoker.Release(state);
    }
  } prepared{invoker};
  if (call.succeeded()) prepared.state = invoker.Prepare(arguments, call, request.callerId);
  if (call.succeeded()) {
    if (WantsTransport(invoker)) {
      const HttpBaseTransport::Request transport = TransportFor(request, match, registry);
      invoker.Invoke(arguments, &transport, prepared.state, request.callerId, call);
    } else {
      invoker.Invoke(arguments, nullptr, prepared.state, request.callerId, call);
    }
  }
  WriteResponse(call, registry, out);
}

}  // namespace

void Dispatch(const FunctionContext& context, const HostRequest& request, HostResponse& out) {
  ResetResponse(out);
  const RouteBinding* binding = context.binding;
  if (binding == nullptr || binding->function == nullptr || !binding->invoker) {
    WriteErrorResponse(out, ResponseMessages::kInvalidFunction, kStatusNotFound);
    return;
  }
  if (const char* fault = MissingArrayOf(request)) {
    WriteErrorResponse(out, fault, kStatusBadRequest);
    return;
  }
  const HostRequest safe = SanitizedRequest(request);
  const MatchRequest match = MatchRequestFor(safe);
  const RouteEntry entry = RouteEntryFor(*binding);
  RouteCaptures captures;
  if (MatchRoute(match, std::span<const RouteEntry>(&entry, 1), captures) == nullptr) {
    WriteErrorResponse(out, ResponseMessages::kInvalidFunction, kStatusNotFound);
    return;
  }
  Call(*binding, safe, match, captures, context.registry, out);
}

void KYN_CALL InvokeFunction(HostResponse* out, const HostRequest* request) {
  if (out == nullptr) return;
  try {
    if (request == nullptr) {
      ResetResponse(*out);
      WriteErrorResponse(*out, ResponseMessages::kInvalidRequest, kStatusBadRequest);
      return;
    }
    static const FunctionContext kNoFunction{};
    const auto* context = static_cast<const FunctionContext*>(request->functionContext);
    Dispatch(context != nullptr ? *context : kNoFunction, *request, *out);
  } catch (...) {
    // A handler that throws must not unwind into the host.
    ResetResponse(*out);
    WriteErrorResponse(*out, kInternalError, kStatusInternalError);
  }
}

}  // namespace Corvan

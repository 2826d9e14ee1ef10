#include "HostServices.h"

#include <cstring>
#include <optional>

#include "HostLog.h"
#include "HostResources.h"
#include "binding/FlatProperty.h"
#include "routing/CallResult.h"
#include "routing/ResponseWriter.h"

namespace Corvan::Host {

namespace {

// Every text this component answers with.
namespace Msg {
constexpr const char* kNotFound = "Not found";
constexpr const char* kBadValue = "Unreadable request value: ";
}  // namespace Msg

// The value a request carries: its first direct argument (how the plugin's
// endpoint client sends parameters), else its body read as JSON. An empty
// result with success means none.
BindingResult RequestValue(const HostRequest& request) {
  BindingResult result;
  result.success = true;
  if (request.directArguments != nullptr && request.directArgumentCount > 0) {
    FlatResult report{};
    if (!FromFlatProperty(request.directArguments[0].value, result.property, report, "<value>")) {
      result.ReportError(report.error != nullptr ? report.error : "");
      ReleaseFlatResult(report);
    }
    return result;
  }
  if (request.body == nullptr || request.bodyLength == 0) return result;
  return ReadResourceBody(request.bodyContentType, request.body, request.bodyLength);
}

void WriteError(HostResponse& out, std::string_view message, std::uint32_t status) {
  ResetResponse(out);
  WriteErrorResponse(out, message, status);
}

}  // namespace

HostServices::HostServices(EventBus& bus, HostResources& resources)
    : bus_(bus), resources_(resources) {
  std::memset(&table_, 0, sizeof table_);
  table_.api.callEndpoint = &SlotCallEndpoint;
  table_.api.reserved1 = &SlotReserved1;
  table_.api.publishEvent = &SlotPublish;
  table_.api.subscribe = &SlotSubscribe;
  table_.api.unsubscribe = &SlotUnsubscribe;
  table_.api.reserved5 = &SlotReserved5;
  table_.api.runPendingWork = &SlotRunPendingWork;
  table_.api.beginWait = &SlotBeginWait;
  table_.api.endWait = &SlotEndWait;
  table_.api.writeLog = &SlotWriteLog;
  table_.owner = this;
  link_.api = &table_.api;
  link_.connectionId = kPluginConnection;
}

void HostServices::AttachPlugin(const PluginFunctions* functions, std::string logName) {
  functions_ = functions;
  if (!logName.empty()) logName_ = std::move(logName);
}

HostServices& HostServices::From(HostApi* api) { return *reinterpret_cast<Table*>(api)->owner; }

void HostServices::CallEndpoint(HostResponse& out, const HostRequest& request) {
  if (request.path == nullptr) return WriteError(out, Msg::kNotFound, 404);
  const std::string_view path(request.path);
  if (HostResources::Owns(path)) return AnswerFromResources(out, request);
  const std::string_view custom = request.customMethod != nullptr ? request.customMethod : "";
  const FunctionDescriptor* descriptor =
      functions_ != nullptr ? functions_->Find(request.method, custom, path) : nullptr;
  if (descriptor == nullptr) return WriteError(out, Msg::kNotFound, 404);
  AnswerFromPlugin(out, request, *descriptor);
}

void HostServices::AnswerFromResources(HostResponse& out, const HostRequest& request) {
  BindingResult value = RequestValue(request);
  if (!value.success) {
    return WriteError(out, std::string(Msg::kBadValue) + value.ErrorText(), 400);
  }
  const bool hasValue = !value.property.IsEmpty();
  ResourceAnswer answer =
      resources_.Handle(request.method, request.path, hasValue ? &value.property : nullptr);
  if (!answer.error.empty()) return WriteError(out, answer.error, answer.status);
  CallResult call;
  call.result.success = true;
  call.result.property = std::move(answer.value);
  call.details.statusCode = answer.status;
  ResetResponse(out);
  WriteResponse(call, nullptr, out);
}

void HostServices::AnswerFromPlugin(HostResponse& out, const HostRequest& request,
                                    const FunctionDescriptor& descriptor) {
  CallResult call;
  HostResponse stream{};  // only the stream fields are used
  PluginFunctions::Invoke(descriptor, request, [&](const HostResponse& response) {
    stream.stream = response.stream;
    stream.streamRead = response.streamRead;
    stream.streamRelease = response.streamRelease;
    stream.streamHandle = response.streamHandle;
    call.details.statusCode = response.statusCode;
    call.details.flag = response.resultFlag;
    call.details.bodyFormat = response.bodyFormat;
    if (response.result.hasError != 0) {
      call.ReportError(ErrorTextOf(response));
      return;
    }
    FlatResult report{};
    call.result.success =
        FromFlatProperty(ResultValue(response.result), call.result.property, report, "<result>");
    if (!call.result.success) call.ReportError(report.error != nullptr ? report.error : "");
    ReleaseFlatResult(report);
  });
  ResetResponse(out);
  WriteResponse(call, nullptr, out);
  // The stream passes to the caller, who releases it through its own
  // release function.
  out.stream = stream.stream;
  out.streamRead = stream.streamRead;
  out.streamRelease = stream.streamRelease;
  out.streamHandle = stream.streamHandle;
}

void KYN_CALL HostServices::SlotCallEndpoint(HostApi* api, HostResponse* out,
                                             const HostRequest* request) {
  if (out == nullptr) return;
  if (request == nullptr) return WriteError(*out, Msg::kNotFound, 404);
  From(api).CallEndpoint(*out, *request);
}

void KYN_CALL HostServices::SlotReserved1(HostApi*, std::uint32_t, std::uint32_t) {}

void KYN_CALL HostServices::SlotPublish(HostApi* api, const HostEvent* event) {
  if (event == nullptr || event->name == nullptr) return;
  BindingProperty payload;
  FlatResult report{};
  if (!FromFlatProperty(event->payload, payload, report, "<payload>")) {
    HostLog(LOG_LEVEL_WARN, "event %s dropped: %s", event->name,
            report.error != nullptr ? report.error : "");
    ReleaseFlatResult(report);
    return;
  }
  From(api).bus_.Publish(event->name, std::move(payload));
}

void KYN_CALL HostServices::SlotSubscribe(HostApi* api, const char* name,
                                          ConnectionId connection, HostEventCallback callback,
                                          void* userData, std::uint32_t) {
  if (name == nullptr) return;
  From(api).bus_.Subscribe(name, connection, callback, userData);
}

void KYN_CALL HostServices::SlotUnsubscribe(HostApi* api, const char* name,
                                            ConnectionId connection) {
  if (name == nullptr) return;
  From(api).bus_.Unsubscribe(name, connection);
}

void KYN_CALL HostServices::SlotReserved5(HostApi*, std::uint32_t, std::uint32_t, std::uint32_t,
                                          double, std::uint32_t) {}

// The host runs its work on its own threads, so a waiting plugin holds
// nothing up: the wait slots have nothing to do.
void KYN_CALL HostServices::SlotRunPendingWork(HostApi*) {}
void KYN_CALL HostServices::SlotBeginWait(HostApi*, const char*, std::uint32_t) {}
void KYN_CALL HostServices::SlotEndWait(HostApi*) {}

void KYN_CALL HostServices::SlotWriteLog(HostApi* api, std::int32_t level, const char* message) {
  WriteLogLine(From(api).logName_, level, message != nullptr ? message : "");
}

}  // namespace Corvan::Host

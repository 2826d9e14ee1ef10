#include "support/ScriptedHost.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "binding/FlatProperty.h"
#include "routing/QueryString.h"

namespace TestSupport {
namespace {

ScriptedHost* g_activeHost = nullptr;

Corvan::BindingProperty ReadBack(const FlatProperty& flat) {
  Corvan::BindingProperty value;
  FlatResult report{};
  if (!Corvan::FromFlatProperty(flat, value, report, "<argument>")) {
    value.SetString(std::string("unreadable: ") + (report.error ? report.error : ""));
  }
  Corvan::ReleaseFlatResult(report);
  return value;
}

}  // namespace

// A scripted stream: it delivers its chunks one per read.
struct ScriptedHost::Stream {
  ScriptedHost* host;
  std::vector<ScriptedChunk> chunks;
  std::size_t next = 0;
};

ScriptedAnswer ScriptedAnswer::Value(Corvan::BindingProperty value, std::uint32_t status) {
  ScriptedAnswer answer;
  answer.value = std::move(value);
  answer.status = status;
  return answer;
}

ScriptedAnswer ScriptedAnswer::Error(std::string text, std::uint32_t status) {
  ScriptedAnswer answer;
  answer.error = std::move(text);
  answer.status = status;
  return answer;
}

ScriptedAnswer ScriptedAnswer::Stream(std::vector<ScriptedChunk> chunks, std::uint32_t sizeHint) {
  ScriptedAnswer answer;
  answer.stream = std::move(chunks);
  answer.streamSizeHint = sizeHint;
  return answer;
}

ScriptedHost::ScriptedHost() {
  holder_.table = HostApi{&CallEndpoint, &Reserved1,      &PublishEvent, &Subscribe, &Unsubscribe,
                          &Reserved5,    &RunPendingWork, &BeginWait,    &EndWait,   &WriteLog};
  holder_.host = this;
  previous_ = g_activeHost;
  g_activeHost = this;
}

ScriptedHost::~ScriptedHost() {
  if (g_activeHost == this) g_activeHost = previous_;
  for (FlatResult& kept : keptResults_) Corvan::ReleaseFlatResult(kept);
}

void ScriptedHost::Answer(const std::string& path, ScriptedAnswer answer) {
  std::lock_guard lock(mutex_);
  script_[path] = std::move(answer);
}

ScriptedHost* ScriptedHost::From(HostApi* api) { return reinterpret_cast<Holder*>(api)->host; }

void ScriptedHost::Record(const HostRequest& request) {
  RecordedCall call;
  call.method = request.method;
  call.path = request.path != nullptr ? request.path : "";
  for (std::uint32_t i = 0; i < request.directArgumentCount; ++i) {
    const HostDirectArgument& argument = request.directArguments[i];
    call.arguments.push_back(ReadBack(argument.value));
    call.argumentNamed.push_back(argument.name != nullptr);
  }
  call.functionContextNull = request.functionContext == nullptr;
  call.headerCount = request.headerCount;
  call.contentTypeNull = request.bodyContentType == nullptr;
  call.bodyNull = request.body == nullptr;
  call.callerId = request.callerId;
  call.customMethodNull = request.customMethod == nullptr;
  calls_.push_back(std::move(call));
}

void ScriptedHost::Fill(HostResponse& out, const ScriptedAnswer& answer) {
  FlatResult result{};
  if (answer.error.has_value()) {
    result.error = Corvan::CopyFlatText(*answer.error);
    result.hasError = 1;
  } else if (answer.errorFlagOnly) {
    result.hasError = 1;
  } else if (answer.rawValue.has_value()) {
    result.value = *answer.rawValue;
    rawResponses_.push_back(&out);
  } else if (answer.value.has_value()) {
    FlatProperty flat{};
    Corvan::ToFlatProperty(*answer.value, flat);
    result.value = flat;
  }
  out.result = result;
  out.statusCode = answer.status;
  if (answer.stream.has_value()) {
    out.stream = new Stream{this, *answer.stream};
    out.streamRead = answer.nullStreamRead ? nullptr : &ReadStream;
    out.streamRelease = &ReleaseStream;
    out.streamHandle = answer.streamSizeHint;
  }
  out.release = answer.noRelease ? nullptr : &ReleaseResponse;
  if (answer.noRelease && !answer.rawValue.has_value()) keptResults_.push_back(result);
}

void KYN_CALL ScriptedHost::CallEndpoint(HostApi* api, HostResponse* out,
                                         const HostRequest* request) {
  std::lock_guard lock(From(api)->mutex_);
  ScriptedHost* host = From(api);
  host->Record(*request);
  const auto found = host->script_.find(std::string(Corvan::PathWithoutQuery(request->path)));
  if (found == host->script_.end()) {
    host->Fill(*out, ScriptedAnswer::Error("Not found", 404));
  } else {
    host->Fill(*out, found->second);
  }
}

void KYN_CALL ScriptedHost::ReleaseResponse(HostResponse* response) {
  std::unique_lock<std::recursive_mutex> lock;
  if (g_activeHost != nullptr) lock = std::unique_lock(g_activeHost->mutex_);
  if (g_activeHost != nullptr) ++g_activeHost->responseReleases_;
  FlatResult result = response->result;
  // A raw value belongs to the test that scripted it.
  if (g_activeHost != nullptr) {
    auto& raw = g_activeHost->rawResponses_;
    const auto found = std::find(raw.begin(), raw.end(), response);
    if (found != raw.end()) {
      raw.erase(found);
      result.value = FlatProperty{};
    }
  }
  Corvan::ReleaseFlatResult(result);
  std::memset(response, 0, sizeof *response);
}

bool KYN_CALL ScriptedHost::ReadStream(void* stream, std::uint8_t* buffer, std::uint32_t* byteCount,
                                       std::uint8_t* moreData) {
  std::lock_guard lock(static_cast<Stream*>(stream)->host->mutex_);
  Stream* scripted = static_cast<Stream*>(stream);
  scripted->host->trace_.push_back("read");
  if (scripted->next >= scripted->chunks.size()) {
    *byteCount = 0;
    *moreData = 0;
    return true;
  }
  const ScriptedChunk& chunk = scripted->chunks[scripted->next++];
  if (chunk.fails) return false;
  const std::uint32_t count =
      std::min<std::uint32_t>(*byteCount, static_cast<std::uint32_t>(chunk.bytes.size()));
  std::memcpy(buffer, chunk.bytes.data(), count);
  *byteCount = count;
  *moreData = chunk.moreData ? 1 : 0;
  return true;
}

void KYN_CALL ScriptedHost::ReleaseStream(void* stream) {
  std::lock_guard lock(static_cast<Stream*>(stream)->host->mutex_);
  Stream* scripted = static_cast<Stream*>(stream);
  ++scripted->host->streamReleases_;
  delete scripted;
}

void KYN_CALL ScriptedHost::Reserved1(HostApi*, std::uint32_t, std::uint32_t) {}
void KYN_CALL ScriptedHost::Reserved5(HostApi*, std::uint32_t, std::uint32_t, std::uint32_t, double,
                                      std::uint32_t) {}

void KYN_CALL ScriptedHost::PublishEvent(HostApi* api, const HostEvent* event) {
  std::lock_guard lock(From(api)->mutex_);
  RecordedEvent recorded;
  recorded.name = event->name != nullptr ? event->name : "";
  if (From(api)->recordPayloads_) recorded.payload = ReadBack(event->payload);
  recorded.reserved = event->reserved;
  From(api)->events_.push_back(std::move(recorded));
}

void KYN_CALL ScriptedHost::Subscribe(HostApi* api, const char* name, ConnectionId connection,
                                      HostEventCallback callback, void* userData,
                                      std::uint32_t flag) {
  std::lock_guard lock(From(api)->mutex_);
  ScriptedHost* host = From(api);
  host->subscriptions_.push_back({name != nullptr ? name : "", connection, callback, userData, flag});
  host->active_[host->subscriptions_.back().name].push_back(host->subscriptions_.back());
}

void KYN_CALL ScriptedHost::Unsubscribe(HostApi* api, const char* name, ConnectionId connection) {
  std::lock_guard lock(From(api)->mutex_);
  ScriptedHost* host = From(api);
  host->unsubscriptions_.emplace_back(name != nullptr ? name : "", connection);
  host->active_.erase(host->unsubscriptions_.back().first);
}

int ScriptedHost::Deliver(const std::string& name, const Corvan::BindingProperty& payload) {
  FlatProperty flat{};
  Corvan::ToFlatProperty(payload, flat);
  const int delivered = DeliverFlat(name, flat);
  Corvan::ReleaseFlatProperty(flat);
  return delivered;
}

int ScriptedHost::DeliverFlat(const std::string& name, const FlatProperty& payload) {
  std::vector<RecordedSubscription> subscribers;
  {
    // The callbacks run unlocked: they may call the host from other threads.
    std::lock_guard lock(mutex_);
    auto found = active_.find(name);
    if (found == active_.end()) return 0;
    subscribers = found->second;
  }
  for (const RecordedSubscription& subscriber : subscribers) {
    HostEvent event{};
    event.name = name.c_str();
    event.payload = payload;
    event.userData = subscriber.userData;
    if (subscriber.callback != nullptr) subscriber.callback(&event);
  }
  return static_cast<int>(subscribers.size());
}

void KYN_CALL ScriptedHost::RunPendingWork(HostApi* api) {
  std::lock_guard lock(From(api)->mutex_);
  From(api)->trace_.push_back("runPendingWork");
}

void KYN_CALL ScriptedHost::BeginWait(HostApi* api, const char* label, std::uint32_t word) {
  std::lock_guard lock(From(api)->mutex_);
  From(api)->trace_.push_back(std::string("beginWait:") + (label != nullptr ? label : "") + ":" +
                              std::to_string(word));
}

void KYN_CALL ScriptedHost::EndWait(HostApi* api) {
  std::lock_guard lock(From(api)->mutex_);
  From(api)->trace_.push_back("endWait");
}

void KYN_CALL ScriptedHost::WriteLog(HostApi* api, std::int32_t level, const char* message) {
  std::lock_guard lock(From(api)->mutex_);
  From(api)->logs_.push_back({level, message != nullptr ? message : ""});
}

}  // namespace TestSupport

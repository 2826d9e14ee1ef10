#include "plugin/PluginBase.h"

#include <cstring>
#include <utility>

#include "binding/FlatProperty.h"
#include "logging/FormatPositional.h"
#include "plugin/EventNames.h"
#include "plugin/PluginEntry.h"

namespace Corvan {

namespace {

// The plugin an event was delivered to; null for a malformed event.
PluginBase* PluginOfEvent(const HostEvent* event) {
  if (event == nullptr || event->name == nullptr) return nullptr;
  return static_cast<PluginBase*>(event->userData);
}

// Reads a delivered payload into the record a handler takes.
template <class Record>
bool ReadPayload(const HostEvent& event, const BindingRegistry& registry, Record& out) {
  BindingProperty payload;
  FlatResult report{};
  if (!FromFlatProperty(event.payload, payload, report, "<result>")) {
    DebugTrace("Couldn't convert payload %s for event %s: %s", FlatKindName(event.payload.kind),
               event.name, report.error != nullptr ? report.error : "");
    ReleaseFlatResult(report);
    return false;
  }
  BindingResult result;
  if (!AssignNative(result, out, payload, "<result>", &registry)) {
    DebugTrace("Couldn't convert payload %s for event %s: %s", StaticType::Name<Record>().name,
               event.name, result.ErrorText());
    return false;
  }
  return true;
}

// Delivers an event to the handler of its name when that handler takes
// records of type Record.
template <class Handler, class Record>
void Deliver(const HostEvent* event) noexcept {
  PluginBase* plugin = PluginOfEvent(event);
  if (plugin == nullptr) return;
  try {
    DebugTrace("Handling event %s", event->name);
    SharedEventHandler found = plugin->subscriptions().FindHandler(event->name);
    const auto* handler = found != nullptr ? std::get_if<Handler>(found.get()) : nullptr;
    if (handler == nullptr || !*handler) return;
    Record record;
    if (!ReadPayload(*event, plugin->registry(), record)) return;
    (*handler)(record);
  } catch (...) {
    // Nothing may unwind into the host; the event is lost, as one that does
    // not convert is.
  }
}

}  // namespace

PluginBase::PluginBase()
    : registry_(std::make_unique<BindingRegistry>()),
      router_(std::make_unique<Router>(*registry_)),
      endpoints_(nullptr, 0, registry_.get()) {
  callbacks_ = MakePluginCallbacks();
}

PluginBase::~PluginBase() = default;

void PluginBase::Subscribe(const std::string& path) {
  const std::string name = EventNameOfPath(path);
  DebugTrace("Subscribing to event: %s", name.c_str());
  ResourceEventHandler dispatcher = [this](const PluginResourceEvent& event) {
    DispatchResourceEvent(event);
  };
  if (subscriptions_.AddSubscription(name, std::move(dispatcher))) {
    HostSubscribe(name.c_str(), connectionId_, &OnResourceHostEvent, this, kResourceEventFlag);
  }
}

void PluginBase::Unsubscribe(const std::string& path) {
  const std::string name = EventNameOfPath(path);
  DebugTrace("Unsubscribing to event: %s", name.c_str());
  if (subscriptions_.RemoveSubscription(name)) HostUnsubscribe(name.c_str(), connectionId_);
}

void PluginBase::OnShutdown() {
  for (const std::string& name : subscriptions_.Clear()) {
    HostUnsubscribe(name.c_str(), connectionId_);
  }
  serviceProxy_.Clear();
}

void PluginBase::CallEndpoint(HostResponse* out, const HostRequest* request) {
  HostApi* api = Host();
  if (api != nullptr && api->callEndpoint != nullptr) api->callEndpoint(api, out, request);
}

void PluginBase::Reserved1(std::uint32_t word1, std::uint32_t word2) {
  HostApi* api = Host();
  if (api != nullptr && api->reserved1 != nullptr) api->reserved1(api, word1, word2);
}

void PluginBase::PublishEvent(const HostEvent* event) {
  HostApi* api = Host();
  if (api != nullptr && api->publishEvent != nullptr) api->publishEvent(api, event);
}

void PluginBase::HostSubscribe(const char* eventName, ConnectionId connection,
                               HostEventCallback callback, void* userData, std::uint32_t flag) {
  HostApi* api = Host();
  if (api != nullptr && api->subscribe != nullptr) {
    api->subscribe(api, eventName, connection, callback, userData, flag);
  }
}

void PluginBase::HostUnsubscribe(const char* eventName, ConnectionId connection) {
  HostApi* api = Host();
  if (api != nullptr && api->unsubscribe != nullptr) api->unsubscribe(api, eventName, connection);
}

void PluginBase::Reserved5(std::uint32_t word1, std::uint32_t word2, std::uint32_t word3,
                           double number, std::uint32_t word4) {
  HostApi* api = Host();
  if (api != nullptr && api->reserved5 != nullptr) {
    api->reserved5(api, word1, word2, word3, number, word4);
  }
}

void PluginBase::RunPendingWork() {
  HostApi* api = Host();
  if (api != nullptr && api->runPendingWork != nullptr) api->runPendingWork(api);
}

void PluginBase::BeginWait(const char* label, std::uint32_t word) {
  HostApi* api = Host();
  if (api != nullptr && api->beginWait != nullptr) api->beginWait(api, label, word);
}

void PluginBase::EndWait() {
  HostApi* api = Host();
  if (api != nullptr && api->endWait != nullptr) api->endWait(api);
}

void PluginBase::RegisterApi() {}

bool PluginBase::OnInitialize() { return true; }

bool PluginBase::Initialize(const HostLink* link) {
  if (link == nullptr) return false;
  link_ = link;
  InstallPluginLogTarget(logTarget_, link->api);
  connectionId_ = link->connectionId;
  userAgent_ = FormatPositionalText("CorvanClient/%1 (%2)", hostVersion_.ToText(), name_.shortName);
  endpoints_ = EndpointClient(link->api, connectionId_, registry_.get());
  telemetry_ = std::make_unique<TelemetrySink>(endpoints_);
  RegisterServiceProxyHandlers();
  return OnInitialize();
}

void PluginBase::BeginShutdown() {
  shuttingDown_ = 1;
  OnShutdown();
}

void PluginBase::RegisterServiceProxyHandlers() {
  RegisterEventHandler(
      "OnServiceProxyUuidEvent",
      ServiceProxyHandler([this](const PluginServiceProxyResponse& r) { serviceProxy_.OnUuidEvent(r); }),
      kServiceProxyEventFlag);
  RegisterEventHandler(
      "OnServiceProxyMethodEvent",
      ServiceProxyHandler([this](const PluginServiceProxyResponse& r) { serviceProxy_.OnMethodEvent(r); }),
      kServiceProxyEventFlag);
  RegisterEventHandler(
      "OnServiceProxyAsyncEvent",
      ServiceProxyHandler([this](const PluginServiceProxyResponse& r) { serviceProxy_.OnAsyncEvent(r); }),
      kServiceProxyEventFlag);
}

void PluginBase::RegisterEventHandler(const std::string& name, EventHandler handler,
                                      std::uint32_t flag) {
  subscriptions_.SetHandler(name, std::move(handler));
  HostEventCallback callback =
      flag == kServiceProxyEventFlag ? &OnServiceProxyHostEvent : &OnResourceHostEvent;
  HostSubscribe(name.c_str(), connectionId_, callback, this, flag);
}

bool PluginBase::ReadResource(const std::string& path, PluginResourceEvent& out) const {
  CallOutcome<BindingProperty> read = endpoints_.Call(HttpMethod::Get, path);
  if (read.failed) return false;
  out.uri = path;
  out.eventType = PluginResourceEventType::Create;
  out.data = std::move(read.value);
  return true;
}

std::string PluginBase::SendEvent(const char* name, const PluginResourceEvent& event) {
  BindingResult converted;
  if (!ConvertNative(converted, event, registry_.get())) return converted.ErrorText();
  SendEventTree(name, event.uri, converted.property);
  return {};
}

bool PluginBase::ConvertEventShell(BindingResult& converted, const std::string& uri,
                                   PluginResourceEventType type) const {
  PluginResourceEvent shell;
  shell.uri = uri;
  shell.eventType = type;
  return ConvertNative(converted, shell, registry_.get());
}

std::string PluginBase::PublishResourceEvent(const std::string& path, PluginResourceEventType type,
                                             const SharedFlatValue& data) {
  BindingResult converted;
  if (!ConvertEventShell(converted, path, type)) return converted.ErrorText();
  converted.property.Field("data");
  SendEventTree("OnJsonApiEvent", path, converted.property, &data.root());
  return {};
}

// The host copies what it keeps of an event during the call, so the payload
// borrows the tree's texts: one block for its arrays and entries, no copies.
void PluginBase::SendEventTree(const char* name, const std::string& uri,
                               const BindingProperty& tree, const FlatProperty* data) {
  const std::string pathName = EventNameOfPath(uri);
  HostEvent out{};
  out.payload = BuildFlatBlock(tree, registry_.get(), FlatTexts::Borrowed);
  if (data != nullptr && out.payload.kind == FLAT_OBJECT) {
    for (std::uint32_t i = 0; i < out.payload.value.object.count; ++i) {
      FlatPropertyEntry& entry = out.payload.value.object.entries[i];
      if (std::strcmp(entry.key, "data") == 0) SetEntryValue(entry, *data);
    }
  }
  DebugTrace("Sending event: %s", pathName.c_str());
  out.name = pathName.c_str();
  PublishEvent(&out);
  if (pathName != name) {
    out.name = name;
    PublishEvent(&out);
  }
  // The block goes as a whole; the data it pointed at is not its own.
  ReleaseFlatBlock(out.payload);
}

void PluginBase::DispatchResourceEvent(const PluginResourceEvent& event) const {
  // Hosts deliver uris with and without their leading "/"; handlers are
  // filed under the rooted form and see the event as it came.
  std::string path = event.uri;
  if (path.empty() || path.front() != '/') path.insert(0, 1, '/');
  for (const auto& handler : subscriptions_.ResourceHandlersFor(path)) (*handler)(event);
}

void PluginBase::OnResourceHostEvent(const HostEvent* event) {
  Deliver<ResourceEventHandler, PluginResourceEvent>(event);
}

void PluginBase::OnServiceProxyHostEvent(const HostEvent* event) {
  Deliver<ServiceProxyHandler, PluginServiceProxyResponse>(event);
}

}  // namespace Corvan

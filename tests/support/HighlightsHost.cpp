#include "support/HighlightsHost.h"


#include <cstring>
#include <utility>

#include "binding/readers/JsonReader.h"
#include "support/ModuleLibrary.h"

namespace TestSupport {

namespace {

using LoadFunction = void(KYN_CALL*)(PluginLoadBlock*);

LoadFunction ModuleExport() {
  static void* module = OpenModule(KYN_HIGHLIGHTS_MODULE);
  return ModuleFunction<LoadFunction>(module, "load_kyn_highlights");
}

Corvan::BindingProperty Json(const std::string& text) {
  return std::move(Corvan::ReadJson(text).property);
}

std::string Quoted(const std::string& text) {
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

}  // namespace

HighlightsHost::HighlightsHost() {
  link_ = HostLink{host_.api(), 5};
  LoadFunction load = ModuleExport();
  if (load == nullptr) return;
  block_.apiVersionMajor = 18;
  block_.apiVersionMinor = 2;
  load(&block_);
  context_ = block_.context;
  callbacks_ = block_.callbacks;
  if (callbacks_ != nullptr) memoryStats_ = callbacks_->getMemoryStats;
}

HighlightsHost::~HighlightsHost() { Shutdown(); }

void HighlightsHost::AnswerConfig(bool enabled) {
  host_.Answer("/kyn-platform-config/v1/namespaces/Highlights",
               ScriptedAnswer::Value(Json(enabled ? R"({"Enabled": true})" : R"({"Enabled": false})")));
}

void HighlightsHost::AnswerSettings(const std::string& folder) {
  host_.Answer("/kyn-settings/v1/local/kyn-replays",
               ScriptedAnswer::Value(
                   Json(R"({"data": {"highlights-folder-path": )" + Quoted(folder) + "}}")));
}

bool HighlightsHost::Start() {
  return context_ != nullptr && callbacks_->initialize(context_, &link_);
}

void HighlightsHost::Shutdown() {
  if (context_ == nullptr) return;
  callbacks_->shutdown(context_);
  context_ = nullptr;
  callbacks_ = nullptr;
}

HostCallReply HighlightsHost::Call(const std::string& function, const std::string& path,
                                   const std::optional<std::string>& jsonBody) {
  HostCallRequest request;
  request.path = path;
  if (jsonBody) {
    request.contentType = "application/json";
    request.body = *jsonBody;
  }
  return Call(function, std::move(request));
}

HostCallReply HighlightsHost::Call(const std::string& function, HostCallRequest request) {
  const PluginApiDescription* description = block_.apiDescription;
  for (std::uint32_t i = 0; description != nullptr && i < description->functionCount; ++i) {
    const FunctionDescriptor& descriptor = description->functions[i];
    if (function != descriptor.function.name) continue;
    request.method = descriptor.method;
    return CallDescriptor(descriptor, request);
  }
  HostCallReply missing;
  missing.hasError = true;
  missing.error = "no function " + function;
  return missing;
}

void HighlightsHost::SendConfig(const char* eventType, bool enabled) {
  host_.Deliver(kDynamicConfigEvent,
                Json(std::string(R"({"uri": "/kyn-platform-config/v1/namespaces/Highlights", )") +
                     R"("eventType": ")" + eventType + R"(", "data": {"Enabled": )" +
                     (enabled ? "true" : "false") + "}}"));
}

void HighlightsHost::SendSettings(const char* eventType, const std::string& folder) {
  host_.Deliver(kSettingsEvent,
                Json(std::string(R"({"uri": "/kyn-settings/v1/local/kyn-replays", "eventType": ")") +
                     eventType + R"(", "data": {"data": {"highlights-folder-path": )" +
                     Quoted(folder) + "}}}"));
}

std::vector<Corvan::BindingProperty> HighlightsHost::Published(const std::string& eventName) const {
  std::vector<Corvan::BindingProperty> data;
  for (const RecordedEvent& event : host_.events()) {
    if (event.name != eventName) continue;
    const Corvan::BindingProperty* found = event.payload.FindField("data");
    data.push_back(found != nullptr ? *found : Corvan::BindingProperty());
  }
  return data;
}

int HighlightsHost::CountLogs(const std::string& prefix) const {
  int count = 0;
  for (const RecordedLog& log : host_.logs()) count += log.message.rfind(prefix, 0) == 0;
  return count;
}

std::uint64_t HighlightsHost::AllocationsInUse() const {
  PluginMemoryStats stats{};
  if (memoryStats_ != nullptr) memoryStats_(nullptr, &stats);
  const std::uint64_t allocations = stats.allocationCount;
  const std::uint64_t frees = stats.freeCount;
  return allocations - frees;
}

}  // namespace TestSupport

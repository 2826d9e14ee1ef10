#include "HostResources.h"

#include <sys/stat.h>

#include "HostLog.h"
#include "JsonEncoding.h"
#include "SettingsFile.h"
#include "abi/HostAbi.h"
#include "plugin/EventNames.h"

namespace Corvan::Host {

namespace {

// Every text this component answers with.
namespace Msg {
constexpr const char* kConfigShape = "Expected a JSON object {\"Enabled\": true or false}";
constexpr const char* kSettingsShape =
    "Expected a JSON object {\"data\": {\"highlights-folder-path\": text}}";
constexpr const char* kMethod = "Method not allowed";
constexpr const char* kNotFound = "Not found";
constexpr const char* kTelemetryName = "Telemetry event name missing";
constexpr const char* kNoFolder = "The folder does not exist: ";
constexpr const char* kNotFolder = "Not a folder: ";
}  // namespace Msg

// At most this many telemetry events are kept; the oldest go first.
constexpr std::size_t kTelemetryKept = 1000;

ResourceAnswer Failure(std::uint32_t status, std::string message) {
  ResourceAnswer answer;
  answer.status = status;
  answer.error = std::move(message);
  return answer;
}

ResourceAnswer Success(const BindingProperty& value) {
  ResourceAnswer answer;
  answer.value = value;
  return answer;
}

BindingProperty ConfigValue(bool enabled) {
  BindingProperty value;
  value.Field("Enabled").SetBool(enabled);
  return value;
}

BindingProperty SettingsValue(const std::string& folder) {
  BindingProperty value;
  value.Field("data").Field(kFolderKey).SetString(folder);
  return value;
}

// The folder of a settings value, or null when the value has another shape.
const BindingProperty* FolderOf(const BindingProperty& settings) {
  if (settings.kind() != PropertyKind::Structure) return nullptr;
  const BindingProperty* data = settings.FindField("data");
  if (data == nullptr || data->kind() != PropertyKind::Structure) return nullptr;
  const BindingProperty* folder = data->FindField(kFolderKey);
  if (folder == nullptr || folder->kind() != PropertyKind::String) return nullptr;
  return folder;
}

// Why the host refuses a folder setting, "" when it takes it. The empty
// text is taken: it means the default folder.
std::string FolderRefusal(const std::string& folder) {
  struct stat info {};
  if (folder.empty()) return "";
  if (stat(folder.c_str(), &info) != 0) return Msg::kNoFolder + folder;
  if (!S_ISDIR(info.st_mode)) return Msg::kNotFolder + folder;
  return "";
}

}  // namespace

HostResources::HostResources(EventBus& bus, ResourceState initial, std::string settingsFile)
    : bus_(bus),
      settingsFile_(std::move(settingsFile)),
      config_(ConfigValue(initial.enabled)),
      settings_(SettingsValue(initial.folder)),
      defaultFolder_(std::move(initial.defaultFolder)) {}

bool HostResources::Owns(std::string_view path) {
  path = path.substr(0, path.find('?'));
  return path == kConfigPath || path == kSettingsPath || path.starts_with(kTelemetryPrefix);
}

ResourceAnswer HostResources::Handle(std::uint32_t method, std::string_view path,
                                     const BindingProperty* body) {
  path = path.substr(0, path.find('?'));
  if (path.starts_with(kTelemetryPrefix)) {
    if (method != HTTP_METHOD_POST) return Failure(405, Msg::kMethod);
    return PostTelemetry(path.substr(std::string_view(kTelemetryPrefix).size()), body);
  }
  const bool config = path == kConfigPath;
  if (!config && path != kSettingsPath) return Failure(404, Msg::kNotFound);
  if (method == HTTP_METHOD_GET) {
    std::lock_guard<std::mutex> guard(lock_);
    return Success(config ? config_ : settings_);
  }
  if (method != HTTP_METHOD_PUT) return Failure(405, Msg::kMethod);
  return config ? PutConfig(body) : PutSettings(body);
}

ResourceAnswer HostResources::PutConfig(const BindingProperty* body) {
  const BindingProperty* enabled =
      body != nullptr && body->kind() == PropertyKind::Structure ? body->FindField("Enabled")
                                                                 : nullptr;
  if (enabled == nullptr || enabled->kind() != PropertyKind::Bool) {
    return Failure(400, Msg::kConfigShape);
  }
  BindingProperty value = ConfigValue(enabled->GetBool());
  {
    std::lock_guard<std::mutex> guard(lock_);
    config_ = value;
  }
  HostLog(LOG_LEVEL_OKAY, "configuration: Enabled %s", enabled->GetBool() ? "true" : "false");
  PublishUpdate(kConfigPath, value);
  return Success(value);
}

ResourceAnswer HostResources::PutSettings(const BindingProperty* body) {
  if (body == nullptr || FolderOf(*body) == nullptr) return Failure(400, Msg::kSettingsShape);
  const std::string folder(FolderOf(*body)->GetStringView());
  if (std::string refusal = FolderRefusal(folder); !refusal.empty()) {
    return Failure(400, std::move(refusal));
  }
  std::string error;
  {
    // The file is written under the lock too, so two changes cannot mix
    // their writes.
    std::lock_guard<std::mutex> guard(lock_);
    settings_ = *body;  // other members of the resource are kept as sent
    if (!settingsFile_.empty()) error = SaveSettingsFile(settingsFile_, {folder});
  }
  HostLog(LOG_LEVEL_OKAY, "settings: highlights folder \"%s\"", folder.c_str());
  if (!error.empty()) HostLog(LOG_LEVEL_WARN, "%s", error.c_str());
  PublishUpdate(kSettingsPath, *body);
  return Success(*body);
}

ResourceAnswer HostResources::PostTelemetry(std::string_view name, const BindingProperty* body) {
  if (name.empty()) return Failure(400, Msg::kTelemetryName);
  TelemetryRecord record{std::string(name), body != nullptr ? PropertyToJson(*body) : "null"};
  HostLog(LOG_LEVEL_OKAY, "telemetry %s: %s", record.name.c_str(), record.json.c_str());
  std::lock_guard<std::mutex> guard(lock_);
  if (telemetry_.size() == kTelemetryKept) telemetry_.erase(telemetry_.begin());
  telemetry_.push_back(std::move(record));
  ResourceAnswer answer;
  answer.status = 204;
  return answer;
}

void HostResources::PublishUpdate(const char* path, const BindingProperty& data) {
  BindingProperty event;
  event.Field("uri").SetString(path);
  event.Field("eventType").SetString("Update");
  event.Field("data") = data;
  const std::string name = EventNameOfPath(path);
  bus_.Publish(name, event);
  if (name != "OnJsonApiEvent") bus_.Publish("OnJsonApiEvent", std::move(event));
}

std::string HostResources::EffectiveFolder() const {
  std::lock_guard<std::mutex> guard(lock_);
  const BindingProperty* folder = FolderOf(settings_);
  if (folder == nullptr || folder->GetStringView().empty()) return defaultFolder_;
  return std::string(folder->GetStringView());
}

std::vector<TelemetryRecord> HostResources::Telemetry() const {
  std::lock_guard<std::mutex> guard(lock_);
  return telemetry_;
}

}  // namespace Corvan::Host

// HostResources: the resources the host itself offers, which in the real
// client belong to other plugins:
//
//   "/kyn-platform-config/v1/namespaces/Highlights"  {"Enabled": bool}
//   "/kyn-settings/v1/local/kyn-replays"             {"data": {"highlights-folder-path": text}}
//   "/telemetry/v1/events/{name}"                    POST only: recorded and logged
//
// Both resources answer GET with their current value and take PUT with a
// JSON value of the same shape (a folder that does not exist or is not a
// directory is refused with 400; the empty text, the default folder, is
// taken); each accepted PUT is published as an
// Update resource event {uri, eventType, data} under the path's event name
// and under "OnJsonApiEvent", as any resource owner does. A settings change
// is written to the settings file, so the chosen folder survives a restart.
//
//   HostResources resources(bus, {.enabled = true, .folder = "/videos"}, settingsFile);
//   ResourceAnswer answer = resources.Handle(HTTP_METHOD_GET, kSettingsPath, nullptr);
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "EventBus.h"
#include "binding/BindingProperty.h"
#include "routing/BodyFormat.h"

namespace Corvan::Host {

inline constexpr const char* kConfigPath = "/kyn-platform-config/v1/namespaces/Highlights";
inline constexpr const char* kSettingsPath = "/kyn-settings/v1/local/kyn-replays";
inline constexpr const char* kTelemetryPrefix = "/telemetry/v1/events/";
inline constexpr const char* kFolderKey = "highlights-folder-path";

// A resource's request body, from HTTP or from the plugin: in the body
// format its content type names, JSON when it names none. An empty body is
// an empty value.
inline BindingResult ReadResourceBody(const char* contentType, const std::uint8_t* body,
                                      std::size_t length) {
  BodyFormat format = BodyFormatOfContentType(contentType);
  if (format == BodyFormat::None) format = BodyFormat::Json;
  return ReadBody(format, body, length);
}

struct ResourceState {
  bool enabled = true;
  // The settings' folder; the default folder applies when it is empty.
  std::string folder;
  std::string defaultFolder;
};

// The answer of a resource: an HTTP status with a value, or an error text.
struct ResourceAnswer {
  std::uint32_t status = 200;
  std::string error;
  BindingProperty value;
};

struct TelemetryRecord {
  std::string name;
  std::string json;
};

class HostResources {
 public:
  // `settingsFile` may be empty: changes are then kept in memory only.
  HostResources(EventBus& bus, ResourceState initial, std::string settingsFile);

  // True for the paths (query cut off) this component answers.
  [[nodiscard]] static bool Owns(std::string_view path);

  // Answers one request; `body` is the value sent, or null. Unknown
  // methods get 405, malformed values 400.
  [[nodiscard]] ResourceAnswer Handle(std::uint32_t method, std::string_view path,
                                      const BindingProperty* body);

  // The folder videos are served from: the settings' folder, or the
  // default one when that is empty.
  std::string EffectiveFolder() const;
  std::vector<TelemetryRecord> Telemetry() const;

 private:
  ResourceAnswer PutConfig(const BindingProperty* body);
  ResourceAnswer PutSettings(const BindingProperty* body);
  ResourceAnswer PostTelemetry(std::string_view name, const BindingProperty* body);
  void PublishUpdate(const char* path, const BindingProperty& data);

  EventBus& bus_;
  std::string settingsFile_;
  mutable std::mutex lock_;
  BindingProperty config_;
  BindingProperty settings_;
  std::string defaultFolder_;
  std::vector<TelemetryRecord> telemetry_;
};

}  // namespace Corvan::Host

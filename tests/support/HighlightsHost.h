// HighlightsHost: the built kyn-highlights module driven as a host drives
// it, for the service's end-to-end tests: loaded from its file through
// load_kyn_highlights, started with the scripted host, called through its
// function descriptors, fed resource events, and shut down.
//
//   HighlightsHost plugin;
//   plugin.AnswerConfig(true);
//   plugin.AnswerSettings(folder.path());
//   ASSERT_TRUE(plugin.Start());
//   HostCallReply reply = plugin.Call("GetKynHighlightsV1Highlights", "/kyn-highlights/v1/highlights");
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "abi/HostAbi.h"
#include "binding/BindingProperty.h"
#include "support/HostCall.h"
#include "support/ScriptedHost.h"

namespace TestSupport {

inline constexpr char kHighlightsEvent[] = "OnJsonApiEvent_kyn-highlights_v1_highlights";
inline constexpr char kConfigEvent[] = "OnJsonApiEvent_kyn-highlights_v1_config";
inline constexpr char kFolderEvent[] = "OnJsonApiEvent_kyn-highlights_v1_highlights-folder-path";
inline constexpr char kDynamicConfigEvent[] =
    "OnJsonApiEvent_kyn-platform-config_v1_namespaces_Highlights";
inline constexpr char kSettingsEvent[] = "OnJsonApiEvent_kyn-settings_v1_local";

class HighlightsHost {
 public:
  // Loads the module (once per process) and registers a new plugin object.
  HighlightsHost();
  // Shuts the plugin down when the test did not.
  ~HighlightsHost();
  HighlightsHost(const HighlightsHost&) = delete;
  HighlightsHost& operator=(const HighlightsHost&) = delete;

  bool loaded() const { return context_ != nullptr; }
  // The API description the module handed back.
  const PluginApiDescription* description() const { return block_.apiDescription; }
  ScriptedHost& host() { return host_; }

  // What the two resources answer at start; unanswered ones fail with 404.
  void AnswerConfig(bool enabled);
  void AnswerSettings(const std::string& folder);

  [[nodiscard]] bool Start();
  void Shutdown();

  // Calls the function of that name with the path (and a JSON body).
  HostCallReply Call(const std::string& function, const std::string& path,
                     const std::optional<std::string>& jsonBody = std::nullopt);
  // Calls the function of that name with a request of the caller's; the
  // method is the function's own.
  HostCallReply Call(const std::string& function, HostCallRequest request);

  // Delivers resource events as the two resources' owners publish them.
  void SendConfig(const char* eventType, bool enabled);
  void SendSettings(const char* eventType, const std::string& folder);

  // The payloads' "data" of the events published under a name, in order.
  std::vector<Corvan::BindingProperty> Published(const std::string& eventName) const;
  // How many log lines the host received that begin with `prefix`.
  int CountLogs(const std::string& prefix) const;
  // The module's allocations still in use.
  std::uint64_t AllocationsInUse() const;

 private:
  ScriptedHost host_;
  HostLink link_{};
  PluginLoadBlock block_{};
  void* context_ = nullptr;
  const PluginCallbacks* callbacks_ = nullptr;
  decltype(PluginCallbacks::getMemoryStats) memoryStats_ = nullptr;
};

}  // namespace TestSupport

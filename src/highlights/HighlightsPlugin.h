// HighlightsPlugin: the kyn-highlights plugin. It lists the highlight
// videos of a folder, renames, deletes and reveals them, and publishes every
// change as a resource event.
//
// Its state: the configuration clients read (enabled flag, the characters a
// name must not hold), the folder, the list of highlights, the file manager
// working on the files and the telemetry reporter. The enabled flag comes
// from the dynamic configuration namespace "Highlights", the folder from the
// local settings resource "kyn-replays"; both are read at start and followed
// through their events.
//
// The host may call routes and deliver events on several threads, and a
// handler's own calls into the host may come back into the plugin on the
// same thread; every handler therefore runs under one recursive mutex.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "highlights/Api.h"
#include "highlights/HighlightsList.h"
#include "highlights/HighlightsTelemetry.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "plugin/PluginBase.h"
#include "routing/Reply.h"

namespace Corvan::Client::Highlights {

// The resources the plugin reads and publishes.
inline constexpr char kDynamicConfigPath[] = "/kyn-platform-config/v1/namespaces/Highlights";
inline constexpr char kSettingsPath[] = "/kyn-settings/v1/local/kyn-replays";
inline constexpr char kConfigPath[] = "/kyn-highlights/v1/config";
inline constexpr char kHighlightsPath[] = "/kyn-highlights/v1/highlights";
inline constexpr char kFolderPathPath[] = "/kyn-highlights/v1/highlights-folder-path";
// The other route templates; every route of the plugin is registered from
// these and the three above.
inline constexpr char kHighlightByIdPath[] = "/kyn-highlights/v1/highlights/{id}";
inline constexpr char kDefaultFolderPathPath[] = "/kyn-highlights/v1/highlights-folder-path/default";
inline constexpr char kFileBrowserPath[] = "/kyn-highlights/v1/file-browser/{highlightId}";

class HighlightsPlugin final : public PluginBase {
 public:
  HighlightsPlugin() = default;
  ~HighlightsPlugin() override;

  void RegisterApi() override;
  bool OnInitialize() override;

  static std::unique_ptr<PluginBase> Create();

  // The routes.
  Reply<std::vector<Api::Highlight>> GetHighlights();
  Reply<std::vector<Api::Highlight>> PostHighlights();
  Reply<Api::Highlight> GetHighlight(std::uint64_t id);
  Reply<Api::Highlight> PutHighlight(std::uint64_t id, const Api::Highlight& highlight);
  Reply<Api::Highlight> DeleteHighlight(std::uint64_t id);
  Reply<std::string> GetHighlightsFolderPath();
  Reply<std::string> GetDefaultHighlightsFolderPath();
  Reply<Api::HighlightsConfig> GetConfig();
  EmptyReply PostFileBrowser(std::uint64_t highlightId);

  // The event handlers of the two resources read.
  void OnDynamicConfigEvent(PluginResourceEventType type, const Api::HighlightsDynamicConfig& value);
  void OnSettingsEvent(PluginResourceEventType type, const Api::SettingsResource& value);
  // Stores, publishes and, when enabled, scans a new folder.
  void SetHighlightsFolderPath(const std::string& path);

 private:
  void RegisterRoutes();
  // Whether a route answers 503 while highlights are disabled.
  enum class Gate { Open, WhileEnabled };
  // Runs a route's body under the plugin's mutex once the plugin has
  // started; a gated route refuses first while highlights are disabled.
  template <class T, class Body>
  Reply<T> Guarded(Gate gate, Body&& body);
  void PublishHighlights(const std::vector<Api::Highlight>& records);
  // The flat form of records, for the list's snapshot.
  SharedFlatValue FlatHighlights(const std::vector<Api::Highlight>& records);
  // The whole list as an answer: its snapshot, shared.
  Reply<std::vector<Api::Highlight>> ListAnswer();
  void PublishConfig();
  // Whether the start hook ran; routes refuse before.
  [[nodiscard]] bool Initialized() const { return list_ != nullptr; }

  Api::HighlightsConfig config_;
  std::unique_ptr<HighlightsList> list_;
  std::unique_ptr<HighlightsFileManager> fileManager_;
  std::string highlightsFolderPath_;
  std::unique_ptr<HighlightsTelemetry> telemetry_;
  std::recursive_mutex mutex_;
};

}  // namespace Corvan::Client::Highlights

#include "highlights/HighlightsPlugin.h"

#include <utility>

namespace Corvan::Client::Highlights {

// Members go in reverse order of declaration: the telemetry reporter first,
// then the folder, the file manager, the list and the configuration.
HighlightsPlugin::~HighlightsPlugin() = default;

std::unique_ptr<PluginBase> HighlightsPlugin::Create() {
  return std::make_unique<HighlightsPlugin>();
}

void HighlightsPlugin::RegisterApi() {
  Api::RegisterApiRecords(registry());
  RegisterRoutes();
}

void HighlightsPlugin::RegisterRoutes() {
  Router& routes = router();
  routes.Get(kHighlightsPath, this, &HighlightsPlugin::GetHighlights);
  routes.Post(kHighlightsPath, this, &HighlightsPlugin::PostHighlights);
  routes.Get(kHighlightByIdPath, this, &HighlightsPlugin::GetHighlight).AddPathArgument("id", "");
  routes.Put(kHighlightByIdPath, this, &HighlightsPlugin::PutHighlight)
      .AddPathArgument("id", "")
      .AddBodyArgument("highlight", "");
  routes.Delete(kHighlightByIdPath, this, &HighlightsPlugin::DeleteHighlight)
      .AddPathArgument("id", "");
  routes.Get(kFolderPathPath, this, &HighlightsPlugin::GetHighlightsFolderPath);
  routes.Get(kDefaultFolderPathPath, this, &HighlightsPlugin::GetDefaultHighlightsFolderPath);
  routes.Get(kConfigPath, this, &HighlightsPlugin::GetConfig);
  routes.Post(kFileBrowserPath, this, &HighlightsPlugin::PostFileBrowser)
      .AddPathArgument("highlightId", "");
}

bool HighlightsPlugin::OnInitialize() {
  std::lock_guard lock(mutex_);
  config_.invalidHighlightNameCharacters = GetInvalidHighlightNameCharacters();
  PublishConfig();
  telemetry_ = std::make_unique<HighlightsTelemetry>(telemetry());
  list_ = std::make_unique<HighlightsList>(
      [this](const std::vector<Api::Highlight>& records) { PublishHighlights(records); },
      [](const std::string& filepath) { return MakeHighlightUrl(filepath); },
      [this](const std::vector<Api::Highlight>& records) { return FlatHighlights(records); });
  fileManager_ = std::make_unique<HighlightsFileManager>(list_.get(), telemetry_.get());
  // Each subscription reads its resource at once: the enabled flag is known
  // before the folder, so an enabled plugin scans before this returns.
  SubscribeToResource<Api::HighlightsDynamicConfig>(
      kDynamicConfigPath,
      [this](const std::string&, PluginResourceEventType type,
             const Api::HighlightsDynamicConfig& value) { OnDynamicConfigEvent(type, value); });
  SubscribeToResource<Api::SettingsResource>(
      kSettingsPath, [this](const std::string&, PluginResourceEventType type,
                            const Api::SettingsResource& value) { OnSettingsEvent(type, value); });
  return true;
}

void HighlightsPlugin::OnDynamicConfigEvent(PluginResourceEventType type,
                                            const Api::HighlightsDynamicConfig& value) {
  std::lock_guard lock(mutex_);
  const bool wasEnabled = config_.isHighlightsEnabled;
  switch (type) {
    case PluginResourceEventType::Create:
    case PluginResourceEventType::Update: config_.isHighlightsEnabled = value.Enabled; break;
    case PluginResourceEventType::Delete: config_.isHighlightsEnabled = false; break;
  }
  if (config_.isHighlightsEnabled != wasEnabled) PublishConfig();
}

void HighlightsPlugin::OnSettingsEvent(PluginResourceEventType type,
                                       const Api::SettingsResource& value) {
  std::lock_guard lock(mutex_);
  const std::string current = highlightsFolderPath_;
  const std::string& chosen = value.data.highlightsFolderPath;
  std::string candidate;
  switch (type) {
    case PluginResourceEventType::Create:
      candidate = chosen.empty() ? Highlights::GetDefaultHighlightsFolderPath() : chosen;
      break;
    case PluginResourceEventType::Update:
      // An update without a folder says nothing about the folder.
      if (chosen.empty()) return;
      candidate = chosen;
      break;
    case PluginResourceEventType::Delete:
      candidate = Highlights::GetDefaultHighlightsFolderPath();
      break;
  }
  if (candidate != current) SetHighlightsFolderPath(candidate);
}

void HighlightsPlugin::SetHighlightsFolderPath(const std::string& path) {
  std::lock_guard lock(mutex_);
  highlightsFolderPath_ = path;
  static_cast<void>(
      PublishResourceEvent(kFolderPathPath, PluginResourceEventType::Update, highlightsFolderPath_));
  if (config_.isHighlightsEnabled && fileManager_ != nullptr) {
    fileManager_->Scan(highlightsFolderPath_);
  }
}

// Both events carry the list's snapshot, which the next GET shares.
void HighlightsPlugin::PublishHighlights(const std::vector<Api::Highlight>& records) {
  if (list_ != nullptr && HasFlatBlock(list_->Snapshot().root())) {
    static_cast<void>(
        PublishResourceEvent(kHighlightsPath, PluginResourceEventType::Update, list_->Snapshot()));
  } else {
    static_cast<void>(PublishResourceEvent(kHighlightsPath, PluginResourceEventType::Update, records));
  }
}

SharedFlatValue HighlightsPlugin::FlatHighlights(const std::vector<Api::Highlight>& records) {
  BindingResult converted;
  if (!ConvertNative(converted, records, &registry())) return {};
  return SharedFlatValue(BuildFlatBlock(converted.property, &registry(), FlatTexts::Copied));
}

Reply<std::vector<Api::Highlight>> HighlightsPlugin::ListAnswer() {
  const SharedFlatValue& snapshot = list_->Snapshot();
  if (!HasFlatBlock(snapshot.root())) return list_->Records();
  return Reply<std::vector<Api::Highlight>>(snapshot);
}

void HighlightsPlugin::PublishConfig() {
  static_cast<void>(PublishResourceEvent(kConfigPath, PluginResourceEventType::Update, config_));
}

}  // namespace Corvan::Client::Highlights

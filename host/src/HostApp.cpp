#include "HostApp.h"

#include "DefaultFolder.h"
#include "HostLog.h"
#include "OpenApiDocument.h"
#include "SettingsFile.h"

namespace Corvan::Host {

std::string SettingsFilePath() {
  const std::string directory = ConfigDirectory();
  return directory.empty() ? "" : directory + "/settings.json";
}

StartResult HostApp::Start(const HostOptions& options, const std::string& settingsFile) {
  StartResult result;
  std::unique_ptr<HostApp> app(new HostApp());
  result.error = app->Open(options, settingsFile);
  if (result.error.empty()) result.app = std::move(app);
  return result;  // a failed app stops in its destructor
}

// Event streams open at once at most; more get 503.
constexpr std::size_t kEventStreamLimit = 256;

std::string HostApp::Open(const HostOptions& options, const std::string& settingsFile) {
  if (std::string problem = CheckOptionPaths(options); !problem.empty()) return problem;
  http_ = std::make_unique<HttpFrontend>();
  if (std::string error = http_->Bind(options.port); !error.empty()) return error;
  SavedSettings saved;
  if (!settingsFile.empty()) {
    const std::string error = LoadSettingsFile(settingsFile, saved);
    if (!error.empty()) HostLog(LOG_LEVEL_WARN, "%s", error.c_str());
  }
  const FolderChoice folder = ChooseFolder(options.folder, saved.folder);
  if (!folder.error.empty()) HostLog(LOG_LEVEL_WARN, "%s", folder.error.c_str());
  HostLog(LOG_LEVEL_OKAY, "highlights folder (%s): %s", folder.origin.c_str(),
          folder.folder.c_str());

  bus_ = std::make_unique<EventBus>();
  stream_ = std::make_unique<EventStream>(kEventStreamLimit);
  listed_ = std::make_unique<ListedFiles>([this] { return FetchListedPaths(*functions_); });
  // The clip catalog sees each event before the event stream sends it, so a
  // viewer that asks for the clips after a list event gets the new list.
  clips_ = std::make_unique<ClipCatalog>();
  bus_->AddListener([clips = clips_.get()](const PublishedEvent& e) { clips->Note(e); });
  bus_->AddListener([stream = stream_.get()](const PublishedEvent& e) { stream->Broadcast(e); });
  bus_->AddListener([listed = listed_.get()](const PublishedEvent& e) { listed->OnEvent(e); });
  resources_ = std::make_unique<HostResources>(
      *bus_, ResourceState{!options.disabled, folder.folder, folder.folder}, settingsFile);
  services_ = std::make_unique<HostServices>(*bus_, *resources_);

  ModuleLoadResult loaded = PluginModule::Load(options.modulePath);
  if (!loaded.ok()) return loaded.error;
  module_ = std::move(loaded.value);
  functions_ = std::make_unique<PluginFunctions>(module_->Description());
  const std::string name = module_->ShortName();
  services_->AttachPlugin(functions_.get(), name);
  HostLog(LOG_LEVEL_OKAY, "loaded %s (%s, plugin API %s, %u functions)",
          options.modulePath.c_str(), name.c_str(), module_->PluginVersion().c_str(),
          module_->Description().functionCount);
  if (!module_->Initialize(services_->Link())) return "the plugin did not start (initialize failed)";

  FrontendParts parts;
  parts.functions = functions_.get();
  parts.resources = resources_.get();
  parts.events = stream_.get();
  parts.listed = listed_.get();
  parts.clips = clips_.get();
  parts.openApi = RenderOpenApi(module_->Description(), name, module_->PluginVersion());
  parts.webRoot = options.webRoot;
  http_->Start(std::move(parts));
  return "";
}

HostApp::~HostApp() { Stop(); }

void HostApp::Stop() {
  if (stopped_) return;
  stopped_ = true;
  if (http_) http_->Stop();
  if (bus_) bus_->Stop();
  if (module_) module_->Shutdown();
  module_.reset();  // closes the module; nothing of it is used past here
}

std::string HostApp::Url() const { return "http://127.0.0.1:" + std::to_string(port()) + "/"; }

}  // namespace Corvan::Host

// HostApp: one running host. Start checks the paths it was given, binds
// the port (so that a busy port is reported before anything is loaded),
// loads the plugin module, offers it the host's services, initialises it
// and then serves; Stop takes everything down in the reverse order: no HTTP
// request or event delivery runs any more when the plugin's shutdown is
// called, and the module is closed last.
//
//   StartResult started = HostApp::Start(options, SettingsFilePath());
//   if (!started.ok()) { print started.error; }
//   std::cout << started.app->Url();
//   ... wait for a signal ...
//   started.app->Stop();
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "ClipInfo.h"
#include "EventBus.h"
#include "EventStream.h"
#include "HostOptions.h"
#include "HostResources.h"
#include "HostServices.h"
#include "HttpFrontend.h"
#include "ListedFiles.h"
#include "ModuleLoader.h"
#include "PluginFunctions.h"

namespace Corvan::Host {

class HostApp;

struct StartResult {
  std::unique_ptr<HostApp> app;
  std::string error;
  bool ok() const { return app != nullptr; }
};

class HostApp {
 public:
  ~HostApp();
  HostApp(const HostApp&) = delete;
  HostApp& operator=(const HostApp&) = delete;

  // Starts a host; `settingsFile` is where the settings persist ("" keeps
  // them in memory only).
  [[nodiscard]] static StartResult Start(const HostOptions& options,
                                         const std::string& settingsFile);

  // Stops the host; later calls do nothing.
  void Stop();

  std::uint16_t port() const { return http_->port(); }
  // The viewer's address, "http://127.0.0.1:8512/".
  std::string Url() const;
  // The highlights folder in use.
  std::string Folder() const { return resources_->EffectiveFolder(); }
  HostResources& resources() { return *resources_; }
  EventBus& bus() { return *bus_; }

 private:
  HostApp() = default;
  [[nodiscard]] std::string Open(const HostOptions& options, const std::string& settingsFile);

  std::unique_ptr<HttpFrontend> http_;
  std::unique_ptr<EventBus> bus_;
  std::unique_ptr<EventStream> stream_;
  std::unique_ptr<ListedFiles> listed_;
  std::unique_ptr<ClipCatalog> clips_;
  std::unique_ptr<HostResources> resources_;
  std::unique_ptr<HostServices> services_;
  std::unique_ptr<PluginModule> module_;
  std::unique_ptr<PluginFunctions> functions_;
  bool stopped_ = false;
};

// $XDG_CONFIG_HOME/kyn-host/settings.json (or under ~/.config), "" when
// there is no home.
[[nodiscard]] std::string SettingsFilePath();

}  // namespace Corvan::Host

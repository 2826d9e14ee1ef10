// Inside the host a plugin has no console: every record goes to the host's
// log through HostApi.writeLog. InstallPluginLogTarget puts this target in
// place of the console targets when the plugin starts.
//
//   std::unique_ptr<PluginLogTarget> target;
//   InstallPluginLogTarget(target, link->api);
#pragma once

#include <memory>

#include "abi/HostAbi.h"
#include "logging/LogTarget.h"

namespace Corvan {

class PluginLogTarget final : public LogTarget {
 public:
  explicit PluginLogTarget(HostApi* api) : api_(api) {}
  const char* GetName() const override { return "PluginLogTarget"; }
  // Hands the host the bare message; the host adds its own line decoration.
  bool Write(const LogRecord& record) override;

 private:
  HostApi* api_;
};

// Does nothing when a PluginLogTarget is already registered in this module;
// otherwise drops the console targets, lets every level but XTR through the
// logger and registers a new target in `owned`, destroying the previous one.
void InstallPluginLogTarget(std::unique_ptr<PluginLogTarget>& owned, HostApi* api);

}  // namespace Corvan

#include "plugin/PluginEntry.h"

#include "binding/BuiltinTypes.h"
#include "logging/Allocation.h"
#include "logging/Diagnostics.h"
#include "logging/FormatPositional.h"
#include "logging/Logger.h"
#include "plugin/PluginBase.h"

namespace Corvan {

namespace {

bool KYN_CALL InitializePlugin(void* context, const HostLink* link) {
  auto* plugin = static_cast<PluginBase*>(context);
  if (plugin == nullptr) return false;
  try {
    return plugin->Initialize(link);
  } catch (...) {
    Log(kLogError, LogCategory::DBG, "%s: initialization failed", plugin->name().shortName.c_str());
    return false;
  }
}

void KYN_CALL ShutdownPlugin(void* context) {
  auto* plugin = static_cast<PluginBase*>(context);
  if (plugin == nullptr) return;
  try {
    plugin->BeginShutdown();
  } catch (...) {
    // The object goes all the same: the host never calls it again.
  }
  delete plugin;
}

// Refuses a host whose plugin API this plugin was not built for.
bool CheckHostVersion(const ApiVersion& plugin, const ApiVersion& host, const char* shortName) {
  if (plugin.IsCompatibleWith(host)) return true;
  AssertReportText("ALE-EECF0606", nullptr, nullptr, 0, nullptr);
  const std::string description =
      FormatPositionalText("%1 which supports plugin API %2 is not compatible with core's plugin API %3",
                           shortName, plugin.ToText(), host.ToText());
  Log(kLogError, LogCategory::DBG, "%s", description.c_str());
  return false;
}

}  // namespace

PluginCallbacks MakePluginCallbacks() {
  PluginCallbacks callbacks{};
  callbacks.initialize = &InitializePlugin;
  callbacks.shutdown = &ShutdownPlugin;
  callbacks.getMemoryStats = &GetPluginMemoryStats;
  return callbacks;
}

void KYN_CALL GetPluginMemoryStats(void* /*context*/, PluginMemoryStats* out) {
  if (out == nullptr) return;
  const MemoryCounters counters = GetMemoryStats();
  out->peakBytesInUse = counters.peakBytesInUse;
  out->allocationsAtPeak = counters.allocationsAtPeak;
  out->bytesAllocated = counters.bytesAllocated;
  out->allocationCount = counters.allocationCount;
  out->bytesFreed = counters.bytesFreed;
  out->freeCount = counters.freeCount;
  out->reserved = 0;
}

bool PluginBase::Register(PluginLoadBlock& block, const char* shortName) {
  if (shortName == nullptr) shortName = "";
  ApiVersion host;
  host.major = block.apiVersionMajor;
  host.minor = block.apiVersionMinor;
  host.patch = block.apiVersionPatch;
  const ApiVersion plugin = PluginApiVersion();
  if (!CheckHostVersion(plugin, host, shortName)) return false;
  hostVersion_ = host;
  name_ = MakePluginName(shortName, "backend");
  tags_ = {"Plugins", std::string("Plugin ") + shortName};
  router_->SetTags(tags_);
  InitializeBuiltins(*registry_);
  RegisterPluginManagerTypes(*registry_);
  RegisterApi();
  description_ = &router_->BuildDescription();

  block.apiVersionMajor = plugin.major;
  block.apiVersionMinor = plugin.minor;
  block.apiVersionPatch = plugin.patch;
  block.callbacks = &callbacks_;
  block.context = this;
  block.shortName = name_.shortName.c_str();
  block.apiDescription = description_;
  return true;
}

void LoadPlugin(PluginLoadBlock* block, const char* shortName, PluginFactory create) noexcept {
  if (block == nullptr || create == nullptr) return;
  try {
    std::unique_ptr<PluginBase> plugin = create();
    if (plugin != nullptr && plugin->Register(*block, shortName)) static_cast<void>(plugin.release());
  } catch (...) {
    Log(kLogError, LogCategory::DBG, "%s: the plugin could not be created",
        shortName != nullptr ? shortName : "");
  }
}

}  // namespace Corvan

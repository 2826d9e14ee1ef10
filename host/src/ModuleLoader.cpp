#include "ModuleLoader.h"

#include <dlfcn.h>

#include <cstring>

namespace Corvan::Host {

namespace {

// Every text this component reports.
namespace Msg {
constexpr const char* kOpen = "cannot open module ";
constexpr const char* kNoExport = " has no export " KYN_LOAD_SYMBOL_NAME;
constexpr const char* kRefused =
    " refused the load (no callbacks or description; plugin API version ";
}  // namespace Msg

bool BlockComplete(const PluginLoadBlock& block) {
  const PluginCallbacks* callbacks = block.callbacks;
  return callbacks != nullptr && callbacks->initialize != nullptr &&
         callbacks->shutdown != nullptr && block.apiDescription != nullptr;
}

}  // namespace

ModuleLoadResult PluginModule::Load(const std::string& path) {
  ModuleLoadResult result;
  // The module stays mapped after its close: the C++ runtime linked into it
  // keeps blocks for the life of the process (its exception pool, for
  // one), which an unmapped module would leave behind unreachable. The
  // plugin object itself is gone with shutdown.
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE);
  if (handle == nullptr) {
    const char* reason = dlerror();
    result.error = std::string(Msg::kOpen) + path + ": " + (reason != nullptr ? reason : "");
    return result;
  }
  std::unique_ptr<PluginModule> module(new PluginModule(handle));
  auto load = reinterpret_cast<PluginLoadFunction>(dlsym(handle, KYN_LOAD_SYMBOL_NAME));
  if (load == nullptr) {
    result.error = path + Msg::kNoExport;
    return result;
  }
  PluginLoadBlock& block = module->block_;
  std::memset(&block, 0, sizeof block);
  block.apiVersionMajor = kHostApiMajor;
  block.apiVersionMinor = kHostApiMinor;
  block.apiVersionPatch = kHostApiPatch;
  load(&block);
  if (!BlockComplete(block)) {
    result.error = path + Msg::kRefused + module->PluginVersion() + ")";
    return result;  // a refused load gets no further call
  }
  module->shutDown_ = false;
  result.value = std::move(module);
  return result;
}

PluginModule::~PluginModule() {
  Shutdown();
  if (handle_ != nullptr) dlclose(handle_);
}

bool PluginModule::Initialize(const HostLink* link) {
  if (initialized_ || shutDown_) return false;
  initialized_ = true;
  return block_.callbacks->initialize(block_.context, link);
}

void PluginModule::Shutdown() {
  if (shutDown_) return;
  shutDown_ = true;
  // Shutdown destroys the plugin object, so it is called even when
  // initialize was never reached.
  block_.callbacks->shutdown(block_.context);
}

std::string PluginModule::ShortName() const {
  return !shutDown_ && block_.shortName != nullptr ? block_.shortName : "";
}

std::string PluginModule::PluginVersion() const {
  return std::to_string(block_.apiVersionMajor) + "." + std::to_string(block_.apiVersionMinor) +
         "." + std::to_string(block_.apiVersionPatch);
}

PluginMemoryStats PluginModule::MemoryStats() const {
  PluginMemoryStats stats{};
  if (!shutDown_ && block_.callbacks->getMemoryStats != nullptr) {
    block_.callbacks->getMemoryStats(block_.context, &stats);
  }
  return stats;
}

}  // namespace Corvan::Host

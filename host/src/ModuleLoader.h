// ModuleLoader: opens a plugin module the way any host does and owns it
// until the end.
//
//   auto module = PluginModule::Load("build/kyn-highlights.so");
//   if (!module.ok()) { report module.error(); }
//   if (!module.value->Initialize(link)) ...;
//   ... invoke descriptors of module.value->Description() ...
//   module.value->Shutdown();   // also done by the destructor
//
// Loading dlopens the file, looks up load_kyn_highlights, calls it with a
// zero-filled PluginLoadBlock carrying the host's plugin API version and
// checks what the plugin filled in: a module that leaves the callbacks,
// their initialize or shutdown entry, or the description unset refused the
// load (or is broken) and is closed again without another call. A closed
// module stays mapped until the process ends (see Load), so loading the
// same file again reuses its code and process-wide state.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "abi/HostAbi.h"

namespace Corvan::Host {

// The plugin API version this host speaks.
inline constexpr std::uint32_t kHostApiMajor = 18;
inline constexpr std::uint32_t kHostApiMinor = 2;
inline constexpr std::uint32_t kHostApiPatch = 0;

class PluginModule;

struct ModuleLoadResult {
  std::unique_ptr<PluginModule> value;
  std::string error;
  bool ok() const { return value != nullptr; }
};

class PluginModule {
 public:
  ~PluginModule();
  PluginModule(const PluginModule&) = delete;
  PluginModule& operator=(const PluginModule&) = delete;

  // Opens the module file and runs its export; on failure the error names
  // the file and the reason.
  [[nodiscard]] static ModuleLoadResult Load(const std::string& path);

  // Calls initialize once with the link, which must outlive Shutdown.
  [[nodiscard]] bool Initialize(const HostLink* link);
  // Calls shutdown once (when initialize was called); afterwards nothing of
  // the plugin is used.
  void Shutdown();

  const PluginApiDescription& Description() const { return *block_.apiDescription; }
  // The short name the plugin gave ("kyn-highlights"), "" when none.
  std::string ShortName() const;
  // The plugin's version words as "18.0.0".
  std::string PluginVersion() const;
  // The module's heap counters, zero when it offers none.
  PluginMemoryStats MemoryStats() const;

 private:
  explicit PluginModule(void* handle) : handle_(handle) {}

  void* handle_ = nullptr;
  PluginLoadBlock block_{};
  bool initialized_ = false;
  // Until the export filled the block completely nothing may be called.
  bool shutDown_ = true;
};

}  // namespace Corvan::Host

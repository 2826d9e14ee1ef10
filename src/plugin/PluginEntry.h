// The plugin's side of loading: the export hands a new plugin object to
// LoadPlugin, which registers it and fills the host's load block, and the
// three callbacks the host calls afterwards.
//
//   extern "C" KYN_EXPORT void KYN_CALL load_my_plugin(PluginLoadBlock* block) {
//     LoadPlugin(block, "my-plugin", [] { return std::unique_ptr<PluginBase>(new MyPlugin); });
//   }
//
// Nothing unwinds into the host: a plugin that cannot be created, or whose
// registration refuses the host's version, leaves the block's out fields as
// they were, which the host reads as a refused load.
#pragma once

#include <memory>

#include "abi/HostAbi.h"

namespace Corvan {

class PluginBase;

using PluginFactory = std::unique_ptr<PluginBase> (*)();

// Creates the plugin, registers it under its short name and, when that
// succeeds, hands it to the host through the block.
void LoadPlugin(PluginLoadBlock* block, const char* shortName, PluginFactory create) noexcept;

// The callbacks table every plugin hands the host.
[[nodiscard]] PluginCallbacks MakePluginCallbacks();

// Copies the module's heap counters; the context is not used.
void KYN_CALL GetPluginMemoryStats(void* context, PluginMemoryStats* out);

}  // namespace Corvan

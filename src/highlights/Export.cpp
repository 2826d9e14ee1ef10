// The module's one export: the host hands it the load block.
#include "highlights/HighlightsPlugin.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "plugin/PluginEntry.h"

extern "C" KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block) {
  // The default folder is fixed as the module is loaded, before any
  // request. Not in a static initialiser: on Windows those run under the
  // loader lock, where the shell's folder lookup may load DLLs.
  (void)Corvan::Client::Highlights::GetDefaultHighlightsFolderPath();
  Corvan::LoadPlugin(block, "kyn-highlights", &Corvan::Client::Highlights::HighlightsPlugin::Create);
}

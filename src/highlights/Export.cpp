// The module's one export: the host hands it the load block.
#include "highlights/HighlightsPlugin.h"
#include "plugin/PluginEntry.h"

extern "C" KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block) {
  Corvan::LoadPlugin(block, "kyn-highlights", &Corvan::Client::Highlights::HighlightsPlugin::Create);
}

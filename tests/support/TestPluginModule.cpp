// The test plugin as a module of its own, loaded by the tests the way a host
// loads a plugin.
#include "plugin/PluginEntry.h"
#include "support/TestPlugin.h"

extern "C" KYN_EXPORT void KYN_CALL load_kyn_highlights(PluginLoadBlock* block) {
  Corvan::LoadPlugin(block, "kyn-test", &TestSupport::TestPlugin::Create);
}

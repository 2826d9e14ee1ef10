#include "ModuleLoader.h"

#include <gtest/gtest.h>

namespace Corvan::Host {
namespace {

TEST(ModuleLoader, ModulesThatCannotRunAreRefusedWithTheReason) {
  struct Case {
    const char* path;
    const char* reason;
  };
  constexpr Case kCases[] = {
      {"/nonexistent/kyn-highlights.so", "cannot open module /nonexistent/kyn-highlights.so: "},
      {KYN_MODULE_WITHOUT_EXPORT, " has no export load_kyn_highlights"},
      {KYN_REFUSING_PLUGIN, " refused the load (no callbacks or description; plugin API version 19.0.0)"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.path);
    ModuleLoadResult loaded = PluginModule::Load(c.path);
    EXPECT_FALSE(loaded.ok());
    EXPECT_NE(loaded.error.find(c.reason), std::string::npos) << loaded.error;
  }
}

TEST(ModuleLoader, TheTestPluginLoadsWithItsNamesAndDescription) {
  ModuleLoadResult loaded = PluginModule::Load(KYN_TEST_PLUGIN);
  ASSERT_TRUE(loaded.ok()) << loaded.error;
  EXPECT_EQ(loaded.value->ShortName(), "kyn-test");
  EXPECT_EQ(loaded.value->PluginVersion(), "18.0.0");
  EXPECT_EQ(loaded.value->Description().functionCount, 8u);
  EXPECT_GT(loaded.value->MemoryStats().allocationCount, 0u);
  // Never initialised: shutdown still destroys the plugin object, once.
  loaded.value->Shutdown();
  EXPECT_EQ(loaded.value->ShortName(), "");
}

}  // namespace
}  // namespace Corvan::Host

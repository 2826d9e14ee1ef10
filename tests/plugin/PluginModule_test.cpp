// The test plugin loaded from its own module through its export, as a host
// loads a plugin: the block, the callbacks, a request through a descriptor,
// the log lines reaching the host, and a shutdown that leaves nothing behind.
#include <gtest/gtest.h>

#include <string>

#include "binding/readers/JsonReader.h"
#include "logging/LogRecord.h"
#include "support/HostCall.h"
#include "support/ModuleLibrary.h"
#include "support/ScriptedHost.h"

namespace {

// The load block's fields are packed: compare copies, never references.
template <class T>
T Copy(T value) {
  return value;
}

using TestSupport::ModuleFunction;
using TestSupport::OpenModule;
using TestSupport::ScriptedAnswer;
using TestSupport::ScriptedHost;

using LoadFunction = void(KYN_CALL*)(PluginLoadBlock*);

LoadFunction ModuleExport() {
  static void* module = OpenModule(KYN_TEST_PLUGIN);
  return ModuleFunction<LoadFunction>(module, "load_kyn_highlights");
}

// Allocations of the module still in use.
std::uint64_t AllocationsInUse(const PluginCallbacks& callbacks) {
  PluginMemoryStats stats{};
  callbacks.getMemoryStats(nullptr, &stats);
  return stats.allocationCount - stats.freeCount;
}

// One life of the plugin: load, start, one request, shutdown. Returns the
// module's memory callback, which stays valid after the object is gone.
decltype(PluginCallbacks::getMemoryStats) RunOnce(ScriptedHost& host) {
  LoadFunction load = ModuleExport();
  PluginLoadBlock block{18, 2, 0, nullptr, nullptr, nullptr, nullptr};
  load(&block);
  EXPECT_NE(Copy(block.context), nullptr);
  if (block.context == nullptr) return nullptr;
  HostLink link{host.api(), 9};
  EXPECT_TRUE(block.callbacks->initialize(block.context, &link));
  const FunctionDescriptor& get = block.apiDescription->functions[0];
  TestSupport::HostCallRequest request;
  request.path = "/kyn-test/v1/settings";
  TestSupport::HostCallReply reply = TestSupport::CallDescriptor(get, request);
  EXPECT_FALSE(reply.hasError) << reply.error;
  EXPECT_STREQ(reply.value.FindField("folder")->GetString(), "/videos");
  auto stats = block.callbacks->getMemoryStats;
  block.callbacks->shutdown(block.context);
  return stats;
}

TEST(PluginModule, LoadsRunsAndShutsDownThroughItsExport) {
  ASSERT_NE(ModuleExport(), nullptr) << TestSupport::ModuleError();
  ScriptedHost host;
  host.Answer("/kyn-settings/v1/local/kyn-test",
              ScriptedAnswer::Value(Corvan::ReadJson(R"({"folder": "/videos"})").property));
  ASSERT_NE(RunOnce(host), nullptr);
  // The handler's OKAY line reached the host, bare; its XTR line did not.
  bool okay = false;
  for (const auto& log : host.logs()) {
    okay |= log.level == Corvan::kLogOkay && log.message == "kyn-test: settings read";
    EXPECT_EQ(log.message.find("extra detail"), std::string::npos);
  }
  EXPECT_TRUE(okay);
  // Four names subscribed, four unsubscribed.
  EXPECT_EQ(host.subscriptions().size(), 4u);
  EXPECT_EQ(host.unsubscriptions().size(), 4u);
  EXPECT_EQ(host.responseReleases(), 1);
}

TEST(PluginModule, ShutdownLeavesNothingAllocated) {
  ASSERT_NE(ModuleExport(), nullptr) << TestSupport::ModuleError();
  ScriptedHost host;
  host.Answer("/kyn-settings/v1/local/kyn-test",
              ScriptedAnswer::Value(Corvan::ReadJson(R"({"folder": "/videos"})").property));
  // The first life also fills the module's lasting caches (type identities,
  // log categories); every later one must give back all it took.
  auto stats = RunOnce(host);
  ASSERT_NE(stats, nullptr);
  PluginCallbacks callbacks{};
  callbacks.getMemoryStats = stats;
  const std::uint64_t inUse = AllocationsInUse(callbacks);
  for (int life = 0; life < 3; ++life) {
    SCOPED_TRACE(life);
    ASSERT_NE(RunOnce(host), nullptr);
    EXPECT_EQ(AllocationsInUse(callbacks), inUse);
  }
}

TEST(PluginModule, RefusesAnIncompatibleHost) {
  ASSERT_NE(ModuleExport(), nullptr) << TestSupport::ModuleError();
  PluginLoadBlock block{19, 0, 0, nullptr, nullptr, nullptr, nullptr};
  ModuleExport()(&block);
  EXPECT_EQ(Copy(block.context), nullptr);
  EXPECT_EQ(Copy(block.callbacks), nullptr);
  EXPECT_EQ(Copy(block.apiVersionMajor), 19u);
}

}  // namespace

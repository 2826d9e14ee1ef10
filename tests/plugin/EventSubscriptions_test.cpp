#include "plugin/EventSubscriptions.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace Corvan {
namespace {

// Threads subscribing, unsubscribing and looking handlers up at once keep
// the counts and the handler table in agreement (the sanitizer build checks
// the locking).
TEST(EventSubscriptions, CountsAndHandlersAgreeUnderConcurrentUse) {
  EventSubscriptions tables;
  std::atomic<int> calls{0};
  tables.SetResourceHandler("/a/b", [&](const PluginResourceEvent&) { ++calls; });
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      const std::string name = "name" + std::to_string(t % 2);
      for (int i = 0; i < 2000; ++i) {
        static_cast<void>(tables.AddSubscription(name, ResourceEventHandler()));
        if (tables.FindHandler(name) == nullptr) ADD_FAILURE() << "subscribed without handler";
        for (const auto& handler : tables.ResourceHandlersFor("/a/b")) (*handler)({});
        static_cast<void>(tables.RemoveSubscription(name));
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(calls.load(), 4 * 2000);
  for (const char* name : {"name0", "name1"}) {
    EXPECT_EQ(tables.SubscriptionCount(name), 0u);
    EXPECT_EQ(tables.FindHandler(name), nullptr);
  }
}

}  // namespace
}  // namespace Corvan

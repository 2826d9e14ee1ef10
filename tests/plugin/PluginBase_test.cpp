#include "plugin/PluginBase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <string>

#include "binding/readers/JsonReader.h"
#include "plugin/PluginEntry.h"
#include "support/ScriptedHost.h"
#include "support/TestPlugin.h"

namespace Corvan {
namespace {

// The load block's fields are packed: compare copies, never references.
template <class T>
T Copy(T value) {
  return value;
}

using TestSupport::ScriptedAnswer;
using TestSupport::ScriptedHost;
using TestSupport::TestPlugin;
using TestSupport::TestSettings;

BindingProperty Json(const char* text) {
  BindingResult read = ReadJson(text);
  EXPECT_TRUE(read.success) << text;
  return std::move(read.property);
}

constexpr char kSettingsEvent[] = "OnJsonApiEvent_kyn-settings_v1_local";

// A test plugin loaded through LoadPlugin and started with a scripted host.
class PluginBaseTest : public testing::Test {
 protected:
  void SetUp() override {
    block_.apiVersionMajor = 18;
    block_.apiVersionMinor = 2;
    LoadPlugin(&block_, "kyn-test", &TestPlugin::Create);
    ASSERT_NE(Copy(block_.context), nullptr);
    plugin_ = static_cast<TestPlugin*>(block_.context);
  }
  void TearDown() override {
    if (plugin_ != nullptr) block_.callbacks->shutdown(block_.context);
  }
  bool Start() { return block_.callbacks->initialize(block_.context, &link_); }
  int CountSubscriptions(const std::string& name) const {
    int count = 0;
    for (const auto& subscription : host_.subscriptions()) count += subscription.name == name;
    return count;
  }
  int CountUnsubscriptions(const std::string& name) const {
    int count = 0;
    for (const auto& entry : host_.unsubscriptions()) count += entry.first == name;
    return count;
  }

  ScriptedHost host_;
  HostLink link_{host_.api(), 42};
  PluginLoadBlock block_{};
  TestPlugin* plugin_ = nullptr;
};

TEST_F(PluginBaseTest, InitialReadDeliversACreateBeforeTheSubscriptionReturns) {
  host_.Answer(TestSupport::kTestSettingsPath,
               ScriptedAnswer::Value(Json(R"({"folder": "/h", "enabled": true})")));
  ASSERT_TRUE(Start());
  ASSERT_EQ(plugin_->seen.size(), 1u);
  EXPECT_EQ(plugin_->seen[0].uri, TestSupport::kTestSettingsPath);
  EXPECT_EQ(plugin_->seen[0].type, PluginResourceEventType::Create);
  EXPECT_EQ(plugin_->seen[0].value.folder, "/h");
  EXPECT_EQ(plugin_->userAgent(), "CorvanClient/18.2.0 (kyn-test)");
  EXPECT_EQ(plugin_->connectionId(), 42u);
  // The three service proxy handlers, then the start hook's subscription.
  ASSERT_EQ(host_.subscriptions().size(), 4u);
  EXPECT_EQ(host_.subscriptions()[0].name, "OnServiceProxyUuidEvent");
  EXPECT_EQ(host_.subscriptions()[1].name, "OnServiceProxyMethodEvent");
  EXPECT_EQ(host_.subscriptions()[2].name, "OnServiceProxyAsyncEvent");
  for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(host_.subscriptions()[i].flag, 1u);
  EXPECT_EQ(host_.subscriptions()[3].name, kSettingsEvent);
  EXPECT_EQ(host_.subscriptions()[3].flag, kResourceEventFlag);
  EXPECT_EQ(host_.subscriptions()[3].connection, 42u);
  EXPECT_EQ(host_.subscriptions()[3].userData, plugin_);
}

TEST_F(PluginBaseTest, FailedInitialReadIsIgnored) {
  ASSERT_TRUE(Start());  // unscripted: the host answers 404
  EXPECT_TRUE(plugin_->seen.empty());
  EXPECT_EQ(CountSubscriptions(kSettingsEvent), 1);
}

TEST_F(PluginBaseTest, StartHookDecidesTheResult) {
  plugin_->startResult = false;
  EXPECT_FALSE(Start());
}

TEST_F(PluginBaseTest, DeliveredEventsReachTypedHandlers) {
  ASSERT_TRUE(Start());
  // A uri without its leading "/" still finds the handler of the rooted path.
  host_.Deliver(kSettingsEvent,
                Json(R"({"uri": "kyn-settings/v1/local/kyn-test", "eventType": "Update",
                         "data": {"folder": "/x"}})"));
  // Delete gives the default record even though "folder" is required.
  host_.Deliver(kSettingsEvent, Json(R"({"uri": "/kyn-settings/v1/local/kyn-test",
                                         "eventType": "Delete", "data": null})"));
  // Data that does not convert reaches nobody.
  host_.Deliver(kSettingsEvent, Json(R"({"uri": "/kyn-settings/v1/local/kyn-test",
                                         "eventType": "Create", "data": {"enabled": true}})"));
  // Another resource under the same event name is not this handler's.
  host_.Deliver(kSettingsEvent, Json(R"({"uri": "/kyn-settings/v1/local/other",
                                         "eventType": "Update", "data": {"folder": "/y"}})"));
  ASSERT_EQ(plugin_->seen.size(), 2u);
  EXPECT_EQ(plugin_->seen[0].uri, "kyn-settings/v1/local/kyn-test");
  EXPECT_EQ(plugin_->seen[0].value.folder, "/x");
  EXPECT_EQ(plugin_->seen[1].type, PluginResourceEventType::Delete);
  EXPECT_EQ(plugin_->seen[1].value.folder, "");
}

TEST_F(PluginBaseTest, MalformedHostEventsAreDropped) {
  ASSERT_TRUE(Start());
  HostEvent event{};
  PluginBase::OnResourceHostEvent(nullptr);
  event.userData = plugin_;
  PluginBase::OnResourceHostEvent(&event);  // no name
  event.name = kSettingsEvent;
  event.payload.kind = 99;  // a kind no host sends
  PluginBase::OnResourceHostEvent(&event);
  event.payload.kind = FLAT_STRING_BORROWED;  // a text, not an event record
  PluginBase::OnResourceHostEvent(&event);
  event.userData = nullptr;
  PluginBase::OnResourceHostEvent(&event);
  // A service proxy message delivered through the resource callback.
  event.name = "OnServiceProxyUuidEvent";
  event.userData = plugin_;
  PluginBase::OnResourceHostEvent(&event);
  EXPECT_TRUE(plugin_->seen.empty());
}

TEST_F(PluginBaseTest, SubscriptionsSharingAnEventNameSubscribeOnce) {
  ASSERT_TRUE(Start());
  const std::string name = "OnJsonApiEvent_kyn-highlights_v1_highlights";
  plugin_->Subscribe("/kyn-highlights/v1/highlights");
  plugin_->Subscribe("/kyn-highlights/v1/highlights/3");
  EXPECT_EQ(CountSubscriptions(name), 1);
  plugin_->Unsubscribe("/kyn-highlights/v1/highlights/3");
  EXPECT_EQ(CountUnsubscriptions(name), 0);
  plugin_->Unsubscribe("/kyn-highlights/v1/highlights");
  EXPECT_EQ(CountUnsubscriptions(name), 1);
  // A name subscribed no more is forgotten: a stray unsubscribe sends nothing.
  plugin_->Unsubscribe("/kyn-highlights/v1/highlights");
  EXPECT_EQ(CountUnsubscriptions(name), 1);
}

TEST_F(PluginBaseTest, PatternSubscriptionsReadNothingAndMatchOnePiece) {
  ASSERT_TRUE(Start());
  const std::size_t callsBefore = host_.calls().size();
  std::vector<std::string> uris;
  plugin_->SubscribeToResource<TestSettings>(
      "/kyn-x/v1/items/*",
      [&](const std::string& uri, PluginResourceEventType, const TestSettings&) {
        uris.push_back(uri);
      });
  EXPECT_EQ(host_.calls().size(), callsBefore);
  for (const char* uri : {"/kyn-x/v1/items/4", "/kyn-x/v1/items/4/5", "/kyn-x/v1/items/"}) {
    BindingProperty event = Json(R"({"eventType": "Update", "data": {"folder": "/f"}})");
    event.Field("uri").SetString(uri);
    host_.Deliver("OnJsonApiEvent_kyn-x_v1_items", event);
  }
  EXPECT_EQ(uris, std::vector<std::string>{"/kyn-x/v1/items/4"});
}

TEST_F(PluginBaseTest, HandlersMaySubscribeWhileAnEventIsDelivered) {
  ASSERT_TRUE(Start());
  plugin_->SubscribeToResource<TestSettings>(
      "/kyn-y/v1/a", [&](const std::string&, PluginResourceEventType, const TestSettings&) {
        plugin_->Subscribe("/kyn-y/v1/b");
        plugin_->Unsubscribe("/kyn-y/v1/a");
      });
  host_.Deliver("OnJsonApiEvent_kyn-y_v1_a",
                Json(R"({"uri": "/kyn-y/v1/a", "eventType": "Update", "data": {"folder": "/f"}})"));
  EXPECT_EQ(CountSubscriptions("OnJsonApiEvent_kyn-y_v1_b"), 1);
  EXPECT_EQ(CountUnsubscriptions("OnJsonApiEvent_kyn-y_v1_a"), 1);
}

TEST_F(PluginBaseTest, PublishingSendsThePathNameAndTheGenericName) {
  ASSERT_TRUE(Start());
  TestSettings settings{"/h", true};
  EXPECT_EQ(plugin_->PublishResourceEvent("/kyn-highlights/v1/highlights/7",
                                          PluginResourceEventType::Update, settings),
            "");
  ASSERT_EQ(host_.events().size(), 2u);
  EXPECT_EQ(host_.events()[0].name, "OnJsonApiEvent_kyn-highlights_v1_highlights");
  EXPECT_EQ(host_.events()[1].name, "OnJsonApiEvent");
  for (const auto& event : host_.events()) {
    EXPECT_EQ(event.reserved, 0u);
    EXPECT_STREQ(event.payload.FindField("uri")->GetString(), "/kyn-highlights/v1/highlights/7");
    // Enums travel as their names.
    EXPECT_STREQ(event.payload.FindField("eventType")->GetString(), "Update");
    EXPECT_STREQ(event.payload.FindField("data")->FindField("folder")->GetString(), "/h");
  }
  // A path whose event name is the generic name goes out once.
  static_cast<void>(plugin_->PublishResourceEvent("/", PluginResourceEventType::Create, settings));
  EXPECT_EQ(host_.events().size(), 3u);
}

TEST_F(PluginBaseTest, AsyncServiceProxyMessagesReachTheirHandlerOrTheLog) {
  ASSERT_TRUE(Start());
  std::vector<std::string> payloads;
  plugin_->serviceProxy().AddAsyncHandler(
      "svc.done", [&](const PluginServiceProxyResponse& r) { payloads.push_back(r.payload); });
  host_.Deliver("OnServiceProxyAsyncEvent",
                Json(R"({"serviceName": "svc", "methodName": "done", "payload": "p1"})"));
  host_.Deliver("OnServiceProxyAsyncEvent",
                Json(R"({"serviceName": "svc", "methodName": "other", "payload": "p2"})"));
  EXPECT_EQ(payloads, std::vector<std::string>{"p1"});
  ASSERT_FALSE(host_.logs().empty());
  EXPECT_EQ(host_.logs().back().level, kLogError);
  EXPECT_NE(host_.logs().back().message.find("svc.other"), std::string::npos);
}

TEST_F(PluginBaseTest, ShutdownUnsubscribesEveryNameStillSubscribed) {
  ASSERT_TRUE(Start());
  plugin_->Subscribe("/kyn-z/v1/things");
  block_.callbacks->shutdown(block_.context);
  plugin_ = nullptr;
  std::vector<std::string> names;
  for (const auto& entry : host_.unsubscriptions()) {
    names.push_back(entry.first);
    EXPECT_EQ(entry.second, 42u);
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{kSettingsEvent, "OnJsonApiEvent_kyn-z_v1_things",
                                             "OnServiceProxyAsyncEvent",
                                             "OnServiceProxyMethodEvent",
                                             "OnServiceProxyUuidEvent"}));
}

TEST(ResourcePattern, MatchesOnePathPieceForEachStar) {
  struct Case {
    const char* pattern;
    const char* path;
    bool matches;
  };
  constexpr Case kCases[] = {
      {"/a/*/b", "/a/x/b", true},  {"/a/*/b", "/a//b", true},   {"/a/*", "/a/x", true},
      {"/a/*", "/a/", false},      {"/a/*", "/a/x/y", false},   {"/a/*/b", "/a/x/c", false},
      {"/a/*/b", "/a/x", false},   {"/a/b", "/a/b", true},      {"/a/b", "/a/bc", false},
      {"*", "", false},            {"/*/*", "/p/q", true},      {"", "", true},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::string(c.pattern) + " vs " + c.path);
    EXPECT_EQ(MatchesResourcePattern(c.pattern, c.path), c.matches);
  }
}

TEST(PluginRegistration, RefusesIncompatibleHostsAndLeavesTheBlockAlone) {
  struct Case {
    std::uint32_t major, minor, patch;
    bool loads;
  };
  constexpr Case kCases[] = {{18, 0, 0, true},  {18, 3, 1, true}, {18, 1, 0, true},
                             {17, 9, 9, false}, {19, 0, 0, false}};
  for (const Case& c : kCases) {
    SCOPED_TRACE(std::to_string(c.major) + "." + std::to_string(c.minor) + "." +
                 std::to_string(c.patch));
    PluginLoadBlock block{c.major, c.minor, c.patch, nullptr, nullptr, nullptr, nullptr};
    LoadPlugin(&block, "kyn-test", &TestPlugin::Create);
    ASSERT_EQ(block.context != nullptr, c.loads);
    if (!c.loads) {
      EXPECT_EQ(Copy(block.apiVersionMajor), c.major);
      EXPECT_EQ(Copy(block.callbacks), nullptr);
      EXPECT_EQ(Copy(block.shortName), nullptr);
      EXPECT_EQ(Copy(block.apiDescription), nullptr);
      continue;
    }
    EXPECT_EQ(Copy(block.apiVersionMajor), 18u);
    EXPECT_EQ(Copy(block.apiVersionMinor), 0u);
    EXPECT_EQ(Copy(block.apiVersionPatch), 0u);
    EXPECT_STREQ(block.shortName, "kyn-test");
    ASSERT_NE(Copy(block.apiDescription), nullptr);
    ASSERT_EQ(block.apiDescription->functionCount, 1u);
    auto* plugin = static_cast<TestPlugin*>(block.context);
    EXPECT_EQ(plugin->name().fullName, "tqp-be-kyn-test");
    EXPECT_EQ(plugin->tags(), (std::vector<std::string>{"Plugins", "Plugin kyn-test"}));
    EXPECT_NE(plugin->registry().FindEvent("OnJsonApiEvent"), nullptr);
    block.callbacks->shutdown(block.context);
  }
}

TEST(PluginRegistration, FactoryFailuresLeaveTheBlockAlone) {
  PluginLoadBlock block{18, 0, 0, nullptr, nullptr, nullptr, nullptr};
  LoadPlugin(&block, "kyn-test", []() -> std::unique_ptr<PluginBase> { throw std::bad_alloc(); });
  LoadPlugin(&block, "kyn-test", []() -> std::unique_ptr<PluginBase> { return nullptr; });
  LoadPlugin(nullptr, "kyn-test", &TestPlugin::Create);
  EXPECT_EQ(Copy(block.context), nullptr);
  EXPECT_EQ(Copy(block.callbacks), nullptr);
}

TEST(PluginMemoryStatsCallback, IgnoresTheContext) {
  PluginMemoryStats first{};
  PluginMemoryStats second{};
  first.reserved = second.reserved = 7;
  GetPluginMemoryStats(nullptr, &first);
  int unrelated = 0;
  GetPluginMemoryStats(&unrelated, &second);
  EXPECT_EQ(first.reserved, 0u);
  EXPECT_EQ(second.reserved, 0u);
  // Nothing allocates between the two reads.
  const std::uint64_t firstCounts[] = {first.peakBytesInUse, first.allocationCount, first.freeCount};
  const std::uint64_t secondCounts[] = {second.peakBytesInUse, second.allocationCount,
                                        second.freeCount};
  EXPECT_TRUE(std::equal(std::begin(firstCounts), std::end(firstCounts), secondCounts));
  GetPluginMemoryStats(nullptr, nullptr);
}

}  // namespace
}  // namespace Corvan

#include "plugin/PluginManagerTypes.h"

#include <gtest/gtest.h>

#include "binding/BindingRegistry.h"
#include "binding/FlatProperty.h"
#include "binding/NativeCodec.h"
#include "binding/readers/JsonReader.h"
#include "plugin/ServiceProxy.h"

namespace Corvan {
namespace {

TEST(PluginManagerTypes, EventsNameTheirPayloadRecords) {
  BindingRegistry registry;
  RegisterPluginManagerTypes(registry);
  const struct {
    const char* event;
    const char* payload;
  } kEvents[] = {
      {"OnJsonApiEvent", "PluginResourceEvent"},
      {"OnLcdsEvent", "PluginLcdsEvent"},
      {"OnServiceProxyUuidEvent", "PluginServiceProxyResponse"},
      {"OnServiceProxyMethodEvent", "PluginServiceProxyResponse"},
      {"OnServiceProxyAsyncEvent", "PluginServiceProxyResponse"},
  };
  ASSERT_EQ(registry.Events().size(), std::size(kEvents));
  for (std::size_t i = 0; i < std::size(kEvents); ++i) {
    SCOPED_TRACE(kEvents[i].event);
    const BindingEventDescriptor* event = registry.Events()[i];
    EXPECT_EQ(event->name, kEvents[i].event);
    ASSERT_NE(event->payload.type, nullptr);
    EXPECT_EQ(event->payload.type->name, kEvents[i].payload);
  }
  // The enum fields found their enum descriptors.
  const BindingTypeDescriptor* resource = registry.FindType("PluginManagerResource");
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(resource->fields.front().declared.type, registry.FindType("PluginManagerState"));
  EXPECT_EQ(resource->tags, std::vector<std::string>{"hclient"});
}

// A resource event arrives as JSON-like data with the event type by name and
// leaves with it by name again.
TEST(PluginManagerTypes, ResourceEventsRoundTripWithEnumNames) {
  BindingRegistry registry;
  RegisterPluginManagerTypes(registry);
  BindingResult body = ReadJson(R"({"uri":"/a/b","eventType":"Update","data":{"Enabled":true}})");
  ASSERT_TRUE(body.success) << body.ErrorText();

  BindingResult result;
  PluginResourceEvent event;
  ASSERT_TRUE(AssignNative(result, event, body.property, kWholeValueName, &registry))
      << result.ErrorText();
  EXPECT_EQ(event.uri, "/a/b");
  EXPECT_EQ(event.eventType, PluginResourceEventType::Update);
  EXPECT_TRUE(event.data.Field("Enabled").GetBool());

  BindingResult out;
  ASSERT_TRUE(ConvertNative(out, event, &registry)) << out.ErrorText();
  FlatProperty flat{};
  ToFlatProperty(out.property.Field("eventType"), flat, &registry);
  ASSERT_EQ(flat.kind, static_cast<std::uint32_t>(FLAT_STRING_OWNED));
  EXPECT_STREQ(flat.value.string.data, "Update");
  ReleaseFlatProperty(flat);
}

TEST(PluginManagerTypes, RegisteringTwiceKeepsOneOfEach) {
  BindingRegistry registry;
  RegisterPluginManagerTypes(registry);
  const std::size_t types = registry.Types().size();
  RegisterPluginManagerTypes(registry);
  EXPECT_EQ(registry.Types().size(), types);
  EXPECT_EQ(registry.Events().size(), 5u);
  EXPECT_EQ(registry.FindType("PluginResourceEventType")->enumerators.size(), 3u);
}

}  // namespace
}  // namespace Corvan

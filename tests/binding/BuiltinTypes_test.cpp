#include "binding/BuiltinTypes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"

namespace Corvan {
namespace {

struct ExpectedField {
  const char* name;
  BindingTypeKind kind;
  BindingTypeKind elementKind;
  const char* description;
};

struct ExpectedType {
  const char* name;
  std::uint32_t size;
  const char* description;
  std::vector<std::string> tags;
  std::vector<ExpectedField> fields;
};

TEST(BuiltinTypes, RecordsAsRegistered) {
  BindingRegistry registry;
  InitializeBuiltins(registry);
  EXPECT_TRUE(registry.IsInitialized());
  using K = BindingTypeKind;
  const std::vector<ExpectedType> kTypes = {
      {"BindingGenericEvent",
       sizeof(BindingGenericEvent),
       "Represents generic data for an event.",
       {"$builtin"},
       {{"data", K::Object, K::None, "Event data"}}},
      {"BindingCallbackEvent",
       sizeof(BindingCallbackEvent),
       "Represents the parameters of a call to a provided callback.",
       {"$builtin"},
       {{"id", K::UInt32, K::None, "ID of the callback being invoked"},
        {"parameters", K::Vector, K::Object, "Callback parameters"}}},
      {"BindingGenericAsyncEvent",
       sizeof(BindingGenericAsyncEvent),
       "Represents generic data for an asynchronous event.",
       {"$builtin", "async"},
       {{"asyncToken", K::UInt32, K::None, "Asynchronous operation token"},
        {"data", K::Object, K::None, "Event data"}}},
      {"BindingAsyncFailureEvent",
       sizeof(BindingAsyncFailureEvent),
       "Represents a failed asynchronous operation.",
       {"$builtin", "async"},
       {{"asyncToken", K::UInt32, K::None, "Asynchronous operation token"},
        {"error", K::String, K::None, "Error message"}}},
      {"BindingAsyncCancelEvent",
       sizeof(BindingAsyncCancelEvent),
       "Represents a cancelled asynchronous operation.",
       {"$builtin", "async"},
       {{"asyncToken", K::UInt32, K::None, "Asynchronous operation token"}}},
  };
  for (const ExpectedType& expected : kTypes) {
    SCOPED_TRACE(expected.name);
    const BindingTypeDescriptor* type = registry.FindType(expected.name);
    ASSERT_NE(type, nullptr);
    EXPECT_FALSE(type->isEnum);
    EXPECT_EQ(type->size, expected.size);
    EXPECT_EQ(type->description, expected.description);
    EXPECT_EQ(type->tags, expected.tags);
    ASSERT_EQ(type->fields.size(), expected.fields.size());
    for (std::size_t i = 0; i < expected.fields.size(); ++i) {
      const BindingFieldDescriptor& field = type->fields[i];
      SCOPED_TRACE(expected.fields[i].name);
      EXPECT_EQ(field.name, expected.fields[i].name);
      EXPECT_EQ(field.declared.kind, expected.fields[i].kind);
      EXPECT_EQ(field.declared.elementKind, expected.fields[i].elementKind);
      EXPECT_EQ(field.description, expected.fields[i].description);
      EXPECT_EQ(field.flags, 0u);
    }
  }
  // Found by the identity of their canonical text too.
  EXPECT_EQ(registry.FindType<BindingAsyncFailureEvent>(),
            registry.FindType("BindingAsyncFailureEvent"));
  EXPECT_EQ(StaticType::HashCode<BindingAsyncState::Type>().hash,
            StaticType::HashOfTypeText("enum Corvan::BindingAsyncState::Type"));
}

TEST(BuiltinTypes, AsyncStateAndCallbackEvent) {
  BindingRegistry registry;
  InitializeBuiltins(registry);
  const BindingTypeDescriptor* state = registry.FindType<BindingAsyncState::Type>();
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->name, "BindingAsyncState");
  EXPECT_TRUE(state->isEnum);
  EXPECT_EQ(state->size, 4u);
  EXPECT_EQ(state->enumerators.size(), 6u);
  EXPECT_STREQ(state->EnumeratorName(2), "Cancelling");
  EXPECT_EQ(state->enumerators.at("Failed").description, "The operation encountered an error");

  const BindingEventDescriptor* callback = registry.FindEvent("OnCallback");
  ASSERT_NE(callback, nullptr);
  EXPECT_EQ(callback->payload.kind, BindingTypeKind::Struct);
  EXPECT_EQ(callback->payload.type, registry.FindType("BindingCallbackEvent"));
  EXPECT_EQ(callback->description, "Fired when a callback is invoked.");
  EXPECT_EQ(callback->tags, std::vector<std::string>{"$builtin"});

  // The records convert through their registration.
  BindingCallbackEvent event;
  event.id = 7;
  event.parameters.resize(2);
  event.parameters[1].SetString("x");
  BindingResult result;
  ASSERT_TRUE(ConvertNative(result, event, &registry)) << result.ErrorText();
  EXPECT_EQ(result.property.FindField("id")->GetUnsigned(), 7u);
  ASSERT_EQ(result.property.FindField("parameters")->Size(), 2u);
  EXPECT_STREQ(result.property.FindField("parameters")->Element(1).GetString(), "x");
}

TEST(BuiltinTypes, InitialisingAgainStartsOver) {
  BindingRegistry registry;
  InitializeBuiltins(registry);
  const std::size_t typeCount = registry.Types().size();
  registry.RegisterType(4, "UserType", StaticType::NoType(), false);
  bool existing = false;
  registry.RegisterFunction("UserFunction", existing);
  static_cast<void>(registry.AddEvent({"OnUser", "", {}, "", {}}));

  InitializeBuiltins(registry);
  EXPECT_EQ(registry.Types().size(), typeCount);
  EXPECT_EQ(registry.FindType("UserType"), nullptr);
  EXPECT_EQ(registry.FunctionCount(), 0u);
  ASSERT_EQ(registry.Events().size(), 1u);
  EXPECT_EQ(registry.Events()[0]->name, "OnCallback");
  const BindingTypeDescriptor* state = registry.FindType("BindingAsyncState");
  ASSERT_NE(state, nullptr);
  EXPECT_EQ(state->enumerators.size(), 6u);
  EXPECT_EQ(state->tags.size(), 2u);
  EXPECT_EQ(registry.FindType("BindingCallbackEvent")->fields.size(), 2u);
  EXPECT_EQ(registry.FindType<BindingAsyncState::Type>(), state);
}

}  // namespace
}  // namespace Corvan

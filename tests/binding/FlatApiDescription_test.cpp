#include "binding/FlatApiDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "binding/BindingRegistry.h"

namespace Corvan {
namespace {

// The records are read back at the byte offsets of the 64-bit layout, as a
// host would, rather than through the C declarations.
template <class T>
T At(const void* record, std::size_t offset) {
  T value;
  std::memcpy(&value, static_cast<const char*>(record) + offset, sizeof value);
  return value;
}
const char* TextAt(const void* record, std::size_t offset) {
  const char* text = At<const char*>(record, offset);
  EXPECT_NE(text, nullptr) << "null text at offset " << offset;
  return text != nullptr ? text : "<null>";
}
const void* PointerAt(const void* record, std::size_t offset) {
  return At<const void*>(record, offset);
}
const void* Nth(const void* first, std::size_t stride, std::size_t index) {
  return static_cast<const char*>(first) + stride * index;
}

constexpr std::size_t kFunctionStride = 101;
constexpr std::size_t kArgumentStride = 41;
constexpr std::size_t kTypeStride = 68;
constexpr std::size_t kFieldStride = 45;
constexpr std::size_t kEnumeratorStride = 28;
constexpr std::size_t kEventStride = 52;

BindingTypeRef Ref(BindingTypeKind kind, BindingTypeKind element = BindingTypeKind::None,
                   const BindingTypeDescriptor* type = nullptr) {
  return {kind, element, type};
}

// A registry with a record type "Item", an enum "State", a record without
// fields "Marker", two functions and an event.
class FlatApiDescriptionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registry.RegisterType(4, "State", StaticType::NoType(), true)
        .AddEnumerator("Zulu", 2, "last")
        .AddEnumerator("Alpha", -1, "first")
        .AddEnumerator("Mike", 0);
    registry.RegisterType(0, "Marker", StaticType::NoType(), false).SetDescription("marks");
    TypeBuilder item = registry.RegisterType(48, "Item", StaticType::NoType(), false);
    state = registry.FindType("State");
    const BindingTypeDescriptor* self = item.descriptor();
    item.AddField("count", "how many", 4, StaticType::NoType(), Ref(BindingTypeKind::Int32), {}, 0,
                  nullptr, false)
        .AddField("children", "", 8, StaticType::NoType(),
                  Ref(BindingTypeKind::Vector, BindingTypeKind::Struct, self), {}, 0, nullptr,
                  false)
        // Stored as an int, advertised as the enum.
        .AddField("state", "", 40, StaticType::NoType(), Ref(BindingTypeKind::Int32),
                  Ref(BindingTypeKind::Enum, BindingTypeKind::None, state), 0, nullptr, true)
        .SetDescription("an item")
        .AddTags({"a", "b"});
    itemType = self;

    bool existing = false;
    BindingFunctionDescriptor* put = registry.RegisterFunction("PutItem", existing);
    put->nameSpace = "Items";
    put->description = "Replaces an item.";
    put->help = "help text";
    put->threadSafe = true;
    put->isAsync = true;
    put->asyncEventType = itemType;
    put->tags = {"write"};
    put->result = Ref(BindingTypeKind::Struct, BindingTypeKind::None, itemType);
    BindingArgumentDescriptor& id = put->arguments.emplace_back();
    id.name = "id";
    id.description = "the id";
    id.declared = Ref(BindingTypeKind::UInt64);
    BindingArgumentDescriptor& body = put->arguments.emplace_back();
    body.name = "body";
    body.declared = Ref(BindingTypeKind::Object);
    body.advertised = Ref(BindingTypeKind::Map, BindingTypeKind::Struct, itemType);
    body.optional = true;
    BindingArgumentDescriptor& odd = put->arguments.emplace_back();
    odd.name = "odd";
    odd.declared = Ref(static_cast<BindingTypeKind>(42), static_cast<BindingTypeKind>(20));
    registry.RegisterFunction("GetNothing", existing);

    registry.AddEvent(
        {"OnItem", "Items", Ref(BindingTypeKind::Struct, {}, itemType), "fired", {"x", "y", "z"}});
  }

  BindingRegistry registry;
  const BindingTypeDescriptor* state = nullptr;
  const BindingTypeDescriptor* itemType = nullptr;
  FlatApiDescription description;
};

TEST_F(FlatApiDescriptionTest, EmptyListsGiveAnEmptyTable) {
  const FlatApiTable& table = description.Build({}, {}, {});
  EXPECT_EQ(At<const void*>(&table, 0), nullptr);
  EXPECT_EQ(At<std::uint32_t>(&table, 8), 0u);
  EXPECT_EQ(At<std::uint32_t>(&table, 20), 0u);
  EXPECT_EQ(At<std::uint32_t>(&table, 32), 0u);
}

TEST_F(FlatApiDescriptionTest, FunctionRecords) {
  // In the order handed in, not the registry's name order.
  const FlatApiTable& table = description.Build(
      {registry.FindFunction("PutItem"), registry.FindFunction("GetNothing")}, {}, {});
  ASSERT_EQ(At<std::uint32_t>(&table, 8), 2u);
  const void* put = PointerAt(&table, 0);
  const void* nothing = Nth(put, kFunctionStride, 1);

  EXPECT_EQ(PointerAt(put, 0), nothing);
  EXPECT_EQ(At<std::uint32_t>(put, 8), 0u);
  EXPECT_EQ(PointerAt(put, 12), nullptr);
  EXPECT_STREQ(TextAt(put, 20), "PutItem");
  EXPECT_STREQ(TextAt(put, 28), "Items");
  EXPECT_EQ(At<std::uint32_t>(put, 44), 3u);
  EXPECT_EQ(At<std::uint32_t>(put, 48), 17u);
  EXPECT_EQ(At<std::uint32_t>(put, 52), 0u);
  EXPECT_STREQ(TextAt(put, 56), "Item");
  EXPECT_STREQ(TextAt(put, 64), "Replaces an item.");
  EXPECT_STREQ(TextAt(put, 72), "help text");
  EXPECT_EQ(At<std::uint8_t>(put, 80), 1);
  EXPECT_STREQ(TextAt(put, 81), "Item");
  ASSERT_EQ(At<std::uint32_t>(put, 97), 1u);
  EXPECT_STREQ(At<const char* const*>(put, 89)[0], "write");

  // Arguments: the advertised type wins; unknown kinds are written as 0.
  const void* id = PointerAt(put, 36);
  const void* body = Nth(id, kArgumentStride, 1);
  const void* odd = Nth(id, kArgumentStride, 2);
  EXPECT_EQ(PointerAt(id, 0), body);
  EXPECT_EQ(PointerAt(body, 0), odd);
  EXPECT_EQ(PointerAt(odd, 0), nullptr);
  EXPECT_STREQ(TextAt(id, 8), "id");
  EXPECT_STREQ(TextAt(id, 16), "the id");
  EXPECT_EQ(At<std::uint32_t>(id, 24), 9u);
  EXPECT_STREQ(TextAt(id, 32), "");
  EXPECT_EQ(At<std::uint8_t>(id, 40), 0);
  EXPECT_STREQ(TextAt(body, 16), "");
  EXPECT_EQ(At<std::uint32_t>(body, 24), 19u);
  EXPECT_EQ(At<std::uint32_t>(body, 28), 17u);
  EXPECT_STREQ(TextAt(body, 32), "Item");
  EXPECT_EQ(At<std::uint8_t>(body, 40), 1);
  EXPECT_EQ(At<std::uint32_t>(odd, 24), 0u);
  EXPECT_EQ(At<std::uint32_t>(odd, 28), 0u);

  // A function with nothing set: empty texts, no arrays, the last link 0.
  EXPECT_EQ(PointerAt(nothing, 0), nullptr);
  EXPECT_STREQ(TextAt(nothing, 28), "");
  EXPECT_EQ(PointerAt(nothing, 36), nullptr);
  EXPECT_EQ(At<std::uint32_t>(nothing, 44), 0u);
  EXPECT_EQ(At<std::uint32_t>(nothing, 48), 0u);
  EXPECT_STREQ(TextAt(nothing, 56), "");
  EXPECT_STREQ(TextAt(nothing, 64), "");
  EXPECT_STREQ(TextAt(nothing, 72), "");
  EXPECT_STREQ(TextAt(nothing, 81), "");
  EXPECT_EQ(At<std::uint32_t>(nothing, 97), 0u);
}

TEST_F(FlatApiDescriptionTest, TypeRecords) {
  const FlatApiTable& table = description.Build({}, registry.Types(), {});
  ASSERT_EQ(At<std::uint32_t>(&table, 20), 3u);  // Item, Marker, State
  const void* item = PointerAt(&table, 12);
  const void* marker = Nth(item, kTypeStride, 1);
  const void* stateRecord = Nth(item, kTypeStride, 2);
  EXPECT_EQ(PointerAt(item, 0), marker);
  EXPECT_EQ(PointerAt(marker, 0), stateRecord);
  EXPECT_EQ(PointerAt(stateRecord, 0), nullptr);

  EXPECT_STREQ(TextAt(item, 8), "Item");
  EXPECT_STREQ(TextAt(item, 16), "");
  EXPECT_EQ(At<std::uint32_t>(item, 24), 48u);
  EXPECT_STREQ(TextAt(item, 28), "an item");
  ASSERT_EQ(At<std::uint32_t>(item, 44), 2u);
  EXPECT_STREQ(At<const char* const*>(item, 36)[1], "b");
  EXPECT_EQ(PointerAt(item, 56), nullptr);
  ASSERT_EQ(At<std::uint32_t>(item, 64), 3u);

  // Fields in registration order; only container and named kinds carry a
  // type name.
  const void* count = PointerAt(item, 48);
  const void* children = Nth(count, kFieldStride, 1);
  const void* stateField = Nth(count, kFieldStride, 2);
  EXPECT_EQ(PointerAt(count, 0), children);
  EXPECT_EQ(PointerAt(stateField, 0), nullptr);
  EXPECT_STREQ(TextAt(count, 8), "count");
  EXPECT_STREQ(TextAt(count, 16), "how many");
  EXPECT_EQ(At<std::uint32_t>(count, 24), 4u);
  EXPECT_EQ(At<std::uint32_t>(count, 28), 6u);
  EXPECT_STREQ(TextAt(count, 36), "");
  EXPECT_EQ(At<std::uint8_t>(count, 44), 0);
  EXPECT_EQ(At<std::uint32_t>(children, 28), 15u);
  EXPECT_EQ(At<std::uint32_t>(children, 32), 17u);
  EXPECT_STREQ(TextAt(children, 36), "Item");
  EXPECT_EQ(At<std::uint32_t>(stateField, 24), 40u);
  EXPECT_EQ(At<std::uint32_t>(stateField, 28), 16u);
  EXPECT_STREQ(TextAt(stateField, 36), "State");
  EXPECT_EQ(At<std::uint8_t>(stateField, 44), 1);

  // A record without fields has neither array.
  EXPECT_STREQ(TextAt(marker, 28), "marks");
  EXPECT_EQ(PointerAt(marker, 36), nullptr);
  EXPECT_EQ(PointerAt(marker, 48), nullptr);
  EXPECT_EQ(PointerAt(marker, 56), nullptr);
  EXPECT_EQ(At<std::uint32_t>(marker, 64), 0u);

  // An enum lists its enumerators in name order.
  EXPECT_EQ(PointerAt(stateRecord, 48), nullptr);
  ASSERT_EQ(At<std::uint32_t>(stateRecord, 64), 3u);
  struct Expected {
    const char* name;
    const char* description;
    std::int32_t value;
  };
  constexpr Expected kEnumerators[] = {
      {"Alpha", "first", -1}, {"Mike", "", 0}, {"Zulu", "last", 2}};
  const void* enumerator = PointerAt(stateRecord, 56);
  for (std::size_t i = 0; i < std::size(kEnumerators); ++i) {
    SCOPED_TRACE(kEnumerators[i].name);
    ASSERT_EQ(enumerator, Nth(PointerAt(stateRecord, 56), kEnumeratorStride, i));
    EXPECT_STREQ(TextAt(enumerator, 8), kEnumerators[i].name);
    EXPECT_STREQ(TextAt(enumerator, 16), kEnumerators[i].description);
    EXPECT_EQ(At<std::int32_t>(enumerator, 24), kEnumerators[i].value);
    enumerator = PointerAt(enumerator, 0);
  }
  EXPECT_EQ(enumerator, nullptr);
}

TEST_F(FlatApiDescriptionTest, EventRecords) {
  BindingEventDescriptor bare;
  bare.name = "OnBare";
  const FlatApiTable& table = description.Build({}, {}, {registry.FindEvent("OnItem"), &bare});
  ASSERT_EQ(At<std::uint32_t>(&table, 32), 2u);
  const void* onItem = PointerAt(&table, 24);
  const void* onBare = Nth(onItem, kEventStride, 1);
  EXPECT_EQ(PointerAt(onItem, 0), onBare);
  EXPECT_STREQ(TextAt(onItem, 8), "OnItem");
  EXPECT_STREQ(TextAt(onItem, 16), "Items");
  EXPECT_STREQ(TextAt(onItem, 24), "Item");
  EXPECT_STREQ(TextAt(onItem, 32), "fired");
  ASSERT_EQ(At<std::uint32_t>(onItem, 48), 3u);
  EXPECT_STREQ(At<const char* const*>(onItem, 40)[2], "z");

  EXPECT_EQ(PointerAt(onBare, 0), nullptr);
  EXPECT_STREQ(TextAt(onBare, 24), "");
  EXPECT_STREQ(TextAt(onBare, 32), "");
  EXPECT_EQ(PointerAt(onBare, 40), nullptr);
  EXPECT_EQ(At<std::uint32_t>(onBare, 48), 0u);
}

TEST_F(FlatApiDescriptionTest, RebuildReplacesTheSnapshot) {
  description.Build(registry.Functions(), registry.Types(), registry.Events());
  const FlatApiTable& table =
      description.Build({registry.FindFunction("GetNothing")}, {registry.FindType("State")}, {});
  EXPECT_EQ(&table, &description.Table());
  ASSERT_EQ(table.functionCount, 1u);
  EXPECT_STREQ(TextAt(table.functions, 20), "GetNothing");
  EXPECT_EQ(PointerAt(table.functions, 0), nullptr);
  ASSERT_EQ(table.typeCount, 1u);
  EXPECT_STREQ(TextAt(table.types, 8), "State");
  EXPECT_EQ(PointerAt(table.types, 0), nullptr);
  EXPECT_EQ(table.eventCount, 0u);
  EXPECT_EQ(table.events, nullptr);
}

}  // namespace
}  // namespace Corvan

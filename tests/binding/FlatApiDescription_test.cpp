#include "binding/FlatApiDescription.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <string_view>

#include "binding/BindingRegistry.h"

namespace Corvan {
namespace {

// The records are read back at byte offsets, as a host would, rather than
// through the C declarations.
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

// A record's fields in order, 'p' a pointer, 'w' a 32-bit word, 'b' a byte,
// with no padding: the offsets below are those of the 64-bit layout and At
// turns them into the offsets of this build (the 32-bit layout on i386).
struct RecordShape {
  std::string_view fields;

  std::size_t At(std::size_t offset64) const {
    std::size_t wide = 0, native = 0;
    for (char field : fields) {
      if (wide == offset64) return native;
      wide += Width(field, 8);
      native += Width(field, sizeof(void*));
    }
    ADD_FAILURE() << "no field at 64-bit offset " << offset64;
    return 0;
  }
  std::size_t Size() const {
    std::size_t size = 0;
    for (char field : fields) size += Width(field, sizeof(void*));
    return size;
  }
  static std::size_t Width(char field, std::size_t pointer) {
    return field == 'p' ? pointer : field == 'w' ? 4 : 1;
  }
};
constexpr RecordShape kTable{"pwpwpw"};
constexpr RecordShape kFunction{"pwppppwwwpppbppw"};
constexpr RecordShape kArgument{"pppwwpb"};
constexpr RecordShape kType{"pppwppwppw"};
constexpr RecordShape kField{"pppwwwpb"};
constexpr RecordShape kEnumerator{"pppw"};
constexpr RecordShape kEvent{"ppppppw"};
const std::size_t kFunctionStride = kFunction.Size();
const std::size_t kArgumentStride = kArgument.Size();
const std::size_t kTypeStride = kType.Size();
const std::size_t kFieldStride = kField.Size();
const std::size_t kEnumeratorStride = kEnumerator.Size();
const std::size_t kEventStride = kEvent.Size();

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
  EXPECT_EQ(At<const void*>(&table, kTable.At(0)), nullptr);
  EXPECT_EQ(At<std::uint32_t>(&table, kTable.At(8)), 0u);
  EXPECT_EQ(At<std::uint32_t>(&table, kTable.At(20)), 0u);
  EXPECT_EQ(At<std::uint32_t>(&table, kTable.At(32)), 0u);
}

TEST_F(FlatApiDescriptionTest, FunctionRecords) {
  // In the order handed in, not the registry's name order.
  const FlatApiTable& table = description.Build(
      {registry.FindFunction("PutItem"), registry.FindFunction("GetNothing")}, {}, {});
  ASSERT_EQ(At<std::uint32_t>(&table, kTable.At(8)), 2u);
  const void* put = PointerAt(&table, kTable.At(0));
  const void* nothing = Nth(put, kFunctionStride, 1);

  EXPECT_EQ(PointerAt(put, kFunction.At(0)), nothing);
  EXPECT_EQ(At<std::uint32_t>(put, kFunction.At(8)), 0u);
  EXPECT_EQ(PointerAt(put, kFunction.At(12)), nullptr);
  EXPECT_STREQ(TextAt(put, kFunction.At(20)), "PutItem");
  EXPECT_STREQ(TextAt(put, kFunction.At(28)), "Items");
  EXPECT_EQ(At<std::uint32_t>(put, kFunction.At(44)), 3u);
  EXPECT_EQ(At<std::uint32_t>(put, kFunction.At(48)), 17u);
  EXPECT_EQ(At<std::uint32_t>(put, kFunction.At(52)), 0u);
  EXPECT_STREQ(TextAt(put, kFunction.At(56)), "Item");
  EXPECT_STREQ(TextAt(put, kFunction.At(64)), "Replaces an item.");
  EXPECT_STREQ(TextAt(put, kFunction.At(72)), "help text");
  EXPECT_EQ(At<std::uint8_t>(put, kFunction.At(80)), 1);
  EXPECT_STREQ(TextAt(put, kFunction.At(81)), "Item");
  ASSERT_EQ(At<std::uint32_t>(put, kFunction.At(97)), 1u);
  EXPECT_STREQ(At<const char* const*>(put, kFunction.At(89))[0], "write");

  // Arguments: the advertised type wins; unknown kinds are written as 0.
  const void* id = PointerAt(put, kFunction.At(36));
  const void* body = Nth(id, kArgumentStride, 1);
  const void* odd = Nth(id, kArgumentStride, 2);
  EXPECT_EQ(PointerAt(id, kArgument.At(0)), body);
  EXPECT_EQ(PointerAt(body, kArgument.At(0)), odd);
  EXPECT_EQ(PointerAt(odd, kArgument.At(0)), nullptr);
  EXPECT_STREQ(TextAt(id, kArgument.At(8)), "id");
  EXPECT_STREQ(TextAt(id, kArgument.At(16)), "the id");
  EXPECT_EQ(At<std::uint32_t>(id, kArgument.At(24)), 9u);
  EXPECT_STREQ(TextAt(id, kArgument.At(32)), "");
  EXPECT_EQ(At<std::uint8_t>(id, kArgument.At(40)), 0);
  EXPECT_STREQ(TextAt(body, kArgument.At(16)), "");
  EXPECT_EQ(At<std::uint32_t>(body, kArgument.At(24)), 19u);
  EXPECT_EQ(At<std::uint32_t>(body, kArgument.At(28)), 17u);
  EXPECT_STREQ(TextAt(body, kArgument.At(32)), "Item");
  EXPECT_EQ(At<std::uint8_t>(body, kArgument.At(40)), 1);
  EXPECT_EQ(At<std::uint32_t>(odd, kArgument.At(24)), 0u);
  EXPECT_EQ(At<std::uint32_t>(odd, kArgument.At(28)), 0u);

  // A function with nothing set: empty texts, no arrays, the last link 0.
  EXPECT_EQ(PointerAt(nothing, kFunction.At(0)), nullptr);
  EXPECT_STREQ(TextAt(nothing, kFunction.At(28)), "");
  EXPECT_EQ(PointerAt(nothing, kFunction.At(36)), nullptr);
  EXPECT_EQ(At<std::uint32_t>(nothing, kFunction.At(44)), 0u);
  EXPECT_EQ(At<std::uint32_t>(nothing, kFunction.At(48)), 0u);
  EXPECT_STREQ(TextAt(nothing, kFunction.At(56)), "");
  EXPECT_STREQ(TextAt(nothing, kFunction.At(64)), "");
  EXPECT_STREQ(TextAt(nothing, kFunction.At(72)), "");
  EXPECT_STREQ(TextAt(nothing, kFunction.At(81)), "");
  EXPECT_EQ(At<std::uint32_t>(nothing, kFunction.At(97)), 0u);
}

TEST_F(FlatApiDescriptionTest, TypeRecords) {
  const FlatApiTable& table = description.Build({}, registry.Types(), {});
  ASSERT_EQ(At<std::uint32_t>(&table, kTable.At(20)), 3u);  // Item, Marker, State
  const void* item = PointerAt(&table, kTable.At(12));
  const void* marker = Nth(item, kTypeStride, 1);
  const void* stateRecord = Nth(item, kTypeStride, 2);
  EXPECT_EQ(PointerAt(item, kType.At(0)), marker);
  EXPECT_EQ(PointerAt(marker, kType.At(0)), stateRecord);
  EXPECT_EQ(PointerAt(stateRecord, kType.At(0)), nullptr);

  EXPECT_STREQ(TextAt(item, kType.At(8)), "Item");
  EXPECT_STREQ(TextAt(item, kType.At(16)), "");
  EXPECT_EQ(At<std::uint32_t>(item, kType.At(24)), 48u);
  EXPECT_STREQ(TextAt(item, kType.At(28)), "an item");
  ASSERT_EQ(At<std::uint32_t>(item, kType.At(44)), 2u);
  EXPECT_STREQ(At<const char* const*>(item, kType.At(36))[1], "b");
  EXPECT_EQ(PointerAt(item, kType.At(56)), nullptr);
  ASSERT_EQ(At<std::uint32_t>(item, kType.At(64)), 3u);

  // Fields in registration order; only container and named kinds carry a
  // type name.
  const void* count = PointerAt(item, kType.At(48));
  const void* children = Nth(count, kFieldStride, 1);
  const void* stateField = Nth(count, kFieldStride, 2);
  EXPECT_EQ(PointerAt(count, kField.At(0)), children);
  EXPECT_EQ(PointerAt(stateField, kField.At(0)), nullptr);
  EXPECT_STREQ(TextAt(count, kField.At(8)), "count");
  EXPECT_STREQ(TextAt(count, kField.At(16)), "how many");
  EXPECT_EQ(At<std::uint32_t>(count, kField.At(24)), 4u);
  EXPECT_EQ(At<std::uint32_t>(count, kField.At(28)), 6u);
  EXPECT_STREQ(TextAt(count, kField.At(36)), "");
  EXPECT_EQ(At<std::uint8_t>(count, kField.At(44)), 0);
  EXPECT_EQ(At<std::uint32_t>(children, kField.At(28)), 15u);
  EXPECT_EQ(At<std::uint32_t>(children, kField.At(32)), 17u);
  EXPECT_STREQ(TextAt(children, kField.At(36)), "Item");
  EXPECT_EQ(At<std::uint32_t>(stateField, kField.At(24)), 40u);
  EXPECT_EQ(At<std::uint32_t>(stateField, kField.At(28)), 16u);
  EXPECT_STREQ(TextAt(stateField, kField.At(36)), "State");
  EXPECT_EQ(At<std::uint8_t>(stateField, kField.At(44)), 1);

  // A record without fields has neither array.
  EXPECT_STREQ(TextAt(marker, kType.At(28)), "marks");
  EXPECT_EQ(PointerAt(marker, kType.At(36)), nullptr);
  EXPECT_EQ(PointerAt(marker, kType.At(48)), nullptr);
  EXPECT_EQ(PointerAt(marker, kType.At(56)), nullptr);
  EXPECT_EQ(At<std::uint32_t>(marker, kType.At(64)), 0u);

  // An enum lists its enumerators in name order.
  EXPECT_EQ(PointerAt(stateRecord, kType.At(48)), nullptr);
  ASSERT_EQ(At<std::uint32_t>(stateRecord, kType.At(64)), 3u);
  struct Expected {
    const char* name;
    const char* description;
    std::int32_t value;
  };
  constexpr Expected kEnumerators[] = {
      {"Alpha", "first", -1}, {"Mike", "", 0}, {"Zulu", "last", 2}};
  const void* enumerator = PointerAt(stateRecord, kType.At(56));
  for (std::size_t i = 0; i < std::size(kEnumerators); ++i) {
    SCOPED_TRACE(kEnumerators[i].name);
    ASSERT_EQ(enumerator, Nth(PointerAt(stateRecord, kType.At(56)), kEnumeratorStride, i));
    EXPECT_STREQ(TextAt(enumerator, kEnumerator.At(8)), kEnumerators[i].name);
    EXPECT_STREQ(TextAt(enumerator, kEnumerator.At(16)), kEnumerators[i].description);
    EXPECT_EQ(At<std::int32_t>(enumerator, kEnumerator.At(24)), kEnumerators[i].value);
    enumerator = PointerAt(enumerator, kEnumerator.At(0));
  }
  EXPECT_EQ(enumerator, nullptr);
}

TEST_F(FlatApiDescriptionTest, EventRecords) {
  BindingEventDescriptor bare;
  bare.name = "OnBare";
  const FlatApiTable& table = description.Build({}, {}, {registry.FindEvent("OnItem"), &bare});
  ASSERT_EQ(At<std::uint32_t>(&table, kTable.At(32)), 2u);
  const void* onItem = PointerAt(&table, kTable.At(24));
  const void* onBare = Nth(onItem, kEventStride, 1);
  EXPECT_EQ(PointerAt(onItem, kEvent.At(0)), onBare);
  EXPECT_STREQ(TextAt(onItem, kEvent.At(8)), "OnItem");
  EXPECT_STREQ(TextAt(onItem, kEvent.At(16)), "Items");
  EXPECT_STREQ(TextAt(onItem, kEvent.At(24)), "Item");
  EXPECT_STREQ(TextAt(onItem, kEvent.At(32)), "fired");
  ASSERT_EQ(At<std::uint32_t>(onItem, kEvent.At(48)), 3u);
  EXPECT_STREQ(At<const char* const*>(onItem, kEvent.At(40))[2], "z");

  EXPECT_EQ(PointerAt(onBare, kEvent.At(0)), nullptr);
  EXPECT_STREQ(TextAt(onBare, kEvent.At(24)), "");
  EXPECT_STREQ(TextAt(onBare, kEvent.At(32)), "");
  EXPECT_EQ(PointerAt(onBare, kEvent.At(40)), nullptr);
  EXPECT_EQ(At<std::uint32_t>(onBare, kEvent.At(48)), 0u);
}

TEST_F(FlatApiDescriptionTest, RebuildReplacesTheSnapshot) {
  description.Build(registry.Functions(), registry.Types(), registry.Events());
  const FlatApiTable& table =
      description.Build({registry.FindFunction("GetNothing")}, {registry.FindType("State")}, {});
  EXPECT_EQ(&table, &description.Table());
  ASSERT_EQ(table.functionCount, 1u);
  EXPECT_STREQ(TextAt(table.functions, kFunction.At(20)), "GetNothing");
  EXPECT_EQ(PointerAt(table.functions, kFunction.At(0)), nullptr);
  ASSERT_EQ(table.typeCount, 1u);
  EXPECT_STREQ(TextAt(table.types, kType.At(8)), "State");
  EXPECT_EQ(PointerAt(table.types, kType.At(0)), nullptr);
  EXPECT_EQ(table.eventCount, 0u);
  EXPECT_EQ(table.events, nullptr);
}

}  // namespace
}  // namespace Corvan

#include "binding/BindingRegistry.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "binding/Fnv1a.h"
#include "binding/NativeCodec.h"

namespace RegistryTest {
enum class State : std::int32_t { Idle = 0, Busy = 1, Done = 2 };
struct Item {
  std::string name;
  std::uint32_t count = 0;
  std::vector<Item> children;
};
}  // namespace RegistryTest

KYN_TYPE_TEXT(RegistryTest::State, "enum RegistryTest::State")
KYN_TYPE_TEXT(RegistryTest::Item, "struct RegistryTest::Item")

namespace Corvan {
namespace {

using RegistryTest::Item;
using RegistryTest::State;

TEST(BindingRegistry, SecondRegistrationKeepsTheFirstDefinition) {
  BindingRegistry registry;
  TypeBuilder first = registry.RegisterType<State>("BindingAsyncState");
  EXPECT_FALSE(first.existing());
  first.AddEnumerator("Idle", 0).AddEnumerator("Busy", 1).SetDescription("first").AddTag("t");

  TypeBuilder second = registry.RegisterType<State>("BindingAsyncState");
  EXPECT_TRUE(second.existing());
  EXPECT_EQ(second.descriptor(), first.descriptor());
  second.AddEnumerator("Done", 2).SetDescription("second").AddTag("u").AddTags({"v", "w"});

  const BindingTypeDescriptor* type = registry.FindType("BindingAsyncState");
  ASSERT_NE(type, nullptr);
  EXPECT_EQ(type->enumerators.size(), 2u);
  EXPECT_EQ(type->description, "first");
  EXPECT_EQ(type->tags, (std::vector<std::string>{"t"}));
  EXPECT_TRUE(type->isEnum);
  EXPECT_EQ(type->size, sizeof(State));
}

TEST(BindingRegistry, VoidIdentityIsFoundByNameOnly) {
  BindingRegistry registry;
  registry.RegisterType(0, "Opaque", StaticType::NoType(), false);
  EXPECT_NE(registry.FindType("Opaque"), nullptr);
  EXPECT_EQ(registry.FindTypeByIdentity(StaticType::NoType()), nullptr);

  registry.RegisterType<State>("State");
  EXPECT_EQ(registry.FindType<State>(), registry.FindType("State"));
}

TEST(BindingRegistry, EnumeratorLookups) {
  BindingRegistry registry;
  registry.RegisterType<State>("State")
      .AddEnumerator("Zeta", 1)
      .AddEnumerator("Alpha", 1)
      .AddEnumerator("Done", 2)
      .AddEnumerator("Done", 3);  // overwrites
  const BindingTypeDescriptor& type = *registry.FindType("State");
  // The first name in name order wins for a shared value.
  EXPECT_STREQ(type.EnumeratorName(1), "Alpha");
  EXPECT_EQ(type.EnumeratorName(2), nullptr);
  EXPECT_STREQ(type.EnumeratorName(3), "Done");
  EXPECT_EQ(type.EnumeratorValue("Done"), 3);
  EXPECT_FALSE(type.EnumeratorValue("done").has_value());
}

TEST(BindingRegistry, FieldsFromMembers) {
  BindingRegistry registry;
  registry.RegisterType<Item>("Item")
      .AddField("name", "the name", &Item::name, kFieldRequired)
      .AddField("count", "", &Item::count, kFieldOmitWhenDefault)
      .AddField("children", "", &Item::children);
  const BindingTypeDescriptor& type = *registry.FindType("Item");
  ASSERT_EQ(type.fields.size(), 3u);
  const BindingFieldDescriptor& name = type.fields[0];
  EXPECT_EQ(name.nameHash, Fnv1a("name"));
  EXPECT_EQ(name.offset, offsetof(Item, name));
  EXPECT_EQ(name.declared.kind, BindingTypeKind::String);
  EXPECT_TRUE(name.IsRequired());
  EXPECT_EQ(name.owner, &type);
  EXPECT_EQ(type.fields[1].declared.kind, BindingTypeKind::UInt32);
  EXPECT_EQ(type.fields[1].offset, offsetof(Item, count));
  // The element type of a record's own vector resolves once it is registered.
  const BindingFieldDescriptor& children = type.fields[2];
  EXPECT_EQ(children.declared.kind, BindingTypeKind::Vector);
  EXPECT_EQ(children.declared.elementKind, BindingTypeKind::Struct);
  EXPECT_EQ(children.declared.type, &type);
  EXPECT_EQ(children.fieldType.hash,
            StaticType::HashOfTypeText("class std::vector<struct RegistryTest::Item,class "
                                       "std::allocator<struct RegistryTest::Item> >"));
}

TEST(BindingRegistry, ConcurrentRegistrationAndLookup) {
  BindingRegistry registry;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&registry, t] {
      for (int i = 0; i < 200; ++i) {
        const std::string name = "T" + std::to_string((t * 200 + i) % 300);
        registry.RegisterType(4, name, StaticType::NoType(), false);
        EXPECT_NE(registry.FindType(name), nullptr);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(registry.Types().size(), 300u);
}

TEST(BindingTypeKind, Names) {
  EXPECT_STREQ(BindingTypeKindName(BindingTypeKind::Bool), "bool");
  EXPECT_STREQ(BindingTypeKindName(BindingTypeKind::Map), "map");
  EXPECT_STREQ(BindingTypeKindName(0), "");
  EXPECT_STREQ(BindingTypeKindName(20), "");
}

}  // namespace
}  // namespace Corvan

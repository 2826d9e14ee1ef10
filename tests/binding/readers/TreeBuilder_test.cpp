#include "binding/readers/TreeBuilder.h"

#include <gtest/gtest.h>

namespace Corvan {
namespace {

// Builds {"a": [1, 2]} and then the repeated key "a": [3] in the given mode.
BindingProperty RepeatedArray(TreeBuilder::ArrayMode mode) {
  BindingProperty root;
  TreeBuilder builder(root, mode);
  EXPECT_TRUE(builder.BeginStructure());
  for (auto values : {std::initializer_list<std::uint64_t>{1, 2}, {3}}) {
    builder.Key("a");
    EXPECT_TRUE(builder.BeginCollection(values.size()));
    for (std::uint64_t value : values) builder.Target().SetUnsigned(value);
    builder.End();
  }
  builder.End();
  return root;
}

TEST(TreeBuilder, RepeatedKeysWriteIntoTheSameField) {
  const BindingProperty appended = RepeatedArray(TreeBuilder::ArrayMode::Append);
  const BindingProperty& a = *appended.FindField("a");
  ASSERT_EQ(a.Size(), 3u);
  EXPECT_EQ(a.Element(2).GetUnsigned(), 3u);

  const BindingProperty overwritten = RepeatedArray(TreeBuilder::ArrayMode::OverwriteFromStart);
  const BindingProperty& b = *overwritten.FindField("a");
  ASSERT_EQ(b.Size(), 2u);
  EXPECT_EQ(b.Element(0).GetUnsigned(), 3u);
  EXPECT_EQ(b.Element(1).GetUnsigned(), 2u);

  // A later structure adds its fields; a later scalar replaces.
  BindingProperty root;
  TreeBuilder builder(root, TreeBuilder::ArrayMode::Append);
  ASSERT_TRUE(builder.BeginStructure());
  builder.Key("s");
  ASSERT_TRUE(builder.BeginStructure());
  builder.Key("x");
  builder.Target().SetBool(true);
  builder.End();
  builder.Key("s");
  ASSERT_TRUE(builder.BeginStructure());
  EXPECT_TRUE(builder.AwaitsKey());
  builder.Key("y");
  builder.Target().SetBool(false);
  builder.End();
  builder.Key("n");
  builder.Target().SetSigned(std::int64_t{1});
  builder.Key("n");
  builder.Target().SetString("replaced");
  builder.End();
  EXPECT_EQ(root.FindField("s")->Size(), 2u);
  EXPECT_STREQ(root.FindField("n")->GetString(), "replaced");
}

TEST(TreeBuilder, RefusesTheLevelPastTheLimit) {
  BindingProperty root;
  TreeBuilder builder(root, TreeBuilder::ArrayMode::Append);
  for (std::size_t level = 0; level < kMaxTreeDepth; ++level) ASSERT_TRUE(builder.BeginCollection());
  EXPECT_FALSE(builder.BeginCollection());
  EXPECT_FALSE(builder.BeginStructure());
  EXPECT_EQ(builder.depth(), kMaxTreeDepth);
}

TEST(TreeBuilder, ScalarRootAndHugeReservation) {
  BindingProperty root;
  TreeBuilder builder(root, TreeBuilder::ArrayMode::Append);
  builder.Target().SetFloat(2.5);
  EXPECT_EQ(root.GetFloat(), 2.5);
  BindingProperty list;
  TreeBuilder lists(list, TreeBuilder::ArrayMode::Append);
  ASSERT_TRUE(lists.BeginCollection(4294967295u));  // a declared count is only a hint
  lists.End();
  EXPECT_EQ(list.Size(), 0u);
}

}  // namespace
}  // namespace Corvan

#include "binding/BindingProperty.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace Corvan {
namespace {

std::vector<std::string> KeysOf(const BindingProperty& value) {
  std::vector<std::string> keys;
  value.ForEachField([&](const char* key, const BindingProperty&) { keys.emplace_back(key); });
  return keys;
}

TEST(BindingProperty, EmptyAndNullTextsAreNeverInterned) {
  BindingProperty value;
  value.SetString("");
  EXPECT_EQ(value.kind(), PropertyKind::String);
  EXPECT_EQ(value.Size(), 0u);
  value.SetString(static_cast<const char*>(nullptr));
  EXPECT_EQ(value.kind(), PropertyKind::String);
  EXPECT_STREQ(value.GetString("fallback"), "");

  // Copies and releases of the shared empty text need no store.
  BindingProperty copy = value;
  EXPECT_EQ(copy.kind(), PropertyKind::String);
  copy.SetEmpty();
}

TEST(BindingProperty, SizesByKind) {
  BindingProperty value;
  EXPECT_EQ(value.Size(), 0u);
  value.SetBool(true);
  EXPECT_EQ(value.Size(), 1u);
  value.SetSigned(std::int64_t{-5});
  EXPECT_EQ(value.Size(), 1u);
  value.SetFloat(2.5);
  EXPECT_EQ(value.Size(), 1u);
  value.SetEnum(3, 0x1234);
  EXPECT_EQ(value.Size(), 1u);
  value.SetString("four");
  EXPECT_EQ(value.Size(), 4u);
  value.SetBlob({1, 2, 3});
  EXPECT_EQ(value.Size(), 3u);
}

TEST(BindingProperty, GettersNeverConvertBetweenKinds) {
  BindingProperty value;
  value.SetUnsigned(std::uint64_t{7});
  EXPECT_EQ(value.GetSigned(-1), -1);
  EXPECT_EQ(value.GetUnsigned(0), 7u);
  EXPECT_EQ(value.GetFloat(0.5), 0.5);
  EXPECT_STREQ(value.GetString("none"), "none");
  EXPECT_TRUE(value.GetBlob().empty());
  EXPECT_EQ(value.GetEnum({9, 9}).value, 9);
}

TEST(BindingProperty, ElementBeyondSizeAppendsEmptyElements) {
  BindingProperty list;
  list.Element(0).SetSigned(std::int64_t{1});
  list.Element(1).SetSigned(std::int64_t{2});
  BindingProperty& fifth = list.Element(5);
  EXPECT_EQ(list.Size(), 6u);
  EXPECT_TRUE(fifth.IsEmpty());
  EXPECT_FALSE(fifth.IsRoot());
  for (std::size_t i = 2; i < 6; ++i) EXPECT_TRUE(list.Element(i).IsEmpty());
  EXPECT_EQ(list.Element(1).GetSigned(), 2);
}

TEST(BindingProperty, ReadOnlyLookupsChangeNothing) {
  BindingProperty structure;
  structure.Field("a").SetBool(true);
  const BindingProperty& view = structure;
  EXPECT_TRUE(view.Element(0).IsEmpty());
  EXPECT_EQ(structure.kind(), PropertyKind::Structure);
  EXPECT_EQ(view.FindField("missing"), nullptr);
  EXPECT_EQ(structure.Size(), 1u);

  BindingProperty scalar;
  scalar.SetSigned(std::int64_t{4});
  EXPECT_TRUE(std::as_const(scalar).Element(3).IsEmpty());
  EXPECT_EQ(scalar.GetSigned(), 4);
}

TEST(BindingProperty, StructureKeysIterateInByteOrder) {
  BindingProperty structure;
  for (const char* key : {"b", "a", "B", "\xC3\xA9", "ab"}) structure.Field(key).SetBool(true);
  EXPECT_EQ(KeysOf(structure), (std::vector<std::string>{"B", "a", "ab", "b", "\xC3\xA9"}));
}

TEST(BindingProperty, FieldIsGetOrInsert) {
  BindingProperty structure;
  structure.Field("x").SetSigned(std::int64_t{1});
  structure.Field(std::string("x")).SetSigned(std::int64_t{2});
  EXPECT_EQ(structure.Size(), 1u);
  EXPECT_EQ(structure.FindField("x")->GetSigned(), 2);
  EXPECT_TRUE(structure.RemoveField("x"));
  EXPECT_FALSE(structure.RemoveField("x"));
  EXPECT_EQ(structure.Size(), 0u);
}

TEST(BindingProperty, MakeCollectionKeepsAnExistingCollection) {
  BindingProperty list;
  list.Append().SetBool(true);
  list.MakeCollection(10);
  EXPECT_EQ(list.Size(), 1u);
  list.MakeStructure();
  EXPECT_EQ(list.kind(), PropertyKind::Structure);
  EXPECT_EQ(list.Size(), 0u);
}

TEST(BindingProperty, CopyIsDeepAndOutlivesItsSource) {
  BindingProperty copy;
  {
    BindingProperty source;
    source.Field("name").SetString("clip one");
    source.Field("bytes").SetBlob({9, 8});
    source.Field("list").Element(2).SetEnum(5, 77);
    source.Field("nested").Field("deeper").SetFloat(1.5);
    copy.Field("x").SetSigned(std::int64_t{1});
    copy.Field("x") = source;  // into a value of another tree
  }
  const BindingProperty& x = *copy.FindField("x");
  EXPECT_STREQ(x.FindField("name")->GetString(), "clip one");
  EXPECT_EQ(x.FindField("bytes")->GetBlob()[1], 8);
  EXPECT_EQ(x.FindField("list")->Element(2).GetEnum().value, 5);
  EXPECT_EQ(x.FindField("list")->Size(), 3u);
  EXPECT_EQ(x.FindField("nested")->FindField("deeper")->GetFloat(), 1.5);
}

TEST(BindingProperty, CopyFromInsideItsOwnTree) {
  BindingProperty tree;
  tree.Field("a").Field("b").SetString("inner");
  tree = tree.Field("a");  // the source lies inside the target
  EXPECT_STREQ(tree.FindField("b")->GetString(), "inner");

  BindingProperty list;
  list.Element(0).Field("k").SetString("v");
  list.Element(1) = list;  // the target lies inside the source
  EXPECT_STREQ(list.Element(1).Element(0).FindField("k")->GetString(), "v");
}

TEST(BindingProperty, SettingAStringFromItsOwnText) {
  BindingProperty value;
  value.SetString("only reference");
  value.SetString(value.GetString());
  EXPECT_STREQ(value.GetString(), "only reference");
}

TEST(BindingProperty, MoveBetweenRootsSwapsAndClearsTheSource) {
  BindingProperty source;
  source.Field("k").SetString("v");
  BindingProperty target;
  target.SetSigned(std::int64_t{3});
  target = std::move(source);
  EXPECT_STREQ(target.FindField("k")->GetString(), "v");
  EXPECT_TRUE(source.IsEmpty());  // NOLINT(bugprone-use-after-move): cleared by contract

  BindingProperty constructed(std::move(target));
  EXPECT_STREQ(constructed.FindField("k")->GetString(), "v");
  EXPECT_TRUE(target.IsEmpty());  // NOLINT(bugprone-use-after-move)
}

TEST(BindingProperty, MoveIntoAnElementCopiesAndClearsTheSource) {
  BindingProperty source;
  source.Element(0).SetString("e");
  BindingProperty tree;
  tree.Field("list") = std::move(source);
  EXPECT_STREQ(tree.FindField("list")->Element(0).GetString(), "e");
  EXPECT_TRUE(source.IsEmpty());  // NOLINT(bugprone-use-after-move)

  // A field moved to its own root stays valid within the shared store.
  tree = std::move(tree.Field("list"));
  EXPECT_STREQ(tree.Element(0).GetString(), "e");
}

TEST(BindingProperty, TextsEndAtTheirFirstZeroByte) {
  BindingProperty value;
  value.SetString(std::string_view("ab\0cd", 5));
  EXPECT_EQ(value.Size(), 2u);
  value.Field(std::string_view("k\0ey", 4)).SetBool(true);
  EXPECT_NE(value.FindField("k"), nullptr);
}

TEST(BindingProperty, ManyElementsAndFields) {
  BindingProperty list;
  for (int i = 0; i < 2000; ++i) {
    BindingProperty& element = list.Append();
    element.Field("id").SetSigned(std::int64_t{i});
    element.Field("name").SetString("clip " + std::to_string(i % 10));
  }
  BindingProperty copy = list;
  list.SetEmpty();
  ASSERT_EQ(copy.Size(), 2000u);
  EXPECT_EQ(copy.Element(1999).FindField("id")->GetSigned(), 1999);
  EXPECT_STREQ(copy.Element(13).FindField("name")->GetString(), "clip 3");
}

// Past the flat limit, keys out of order move the fields into a tree; order,
// lookups, repeated keys, removal and copies must not notice.
TEST(BindingProperty, LargeStructuresInAnyKeyOrder) {
  for (const bool descending : {false, true}) {
    SCOPED_TRACE(descending ? "descending" : "ascending");
    BindingProperty value;
    const auto key = [](int i) {
      std::string text = "k";
      text += std::to_string(100000 + i);
      return text;
    };
    for (int n = 0; n < 500; ++n) {
      const int i = descending ? 499 - n : (n * 7) % 500;  // 7 and 500 are coprime
      value.Field(key(i)).SetSigned(std::int64_t{i});
    }
    value.Field(key(250)).SetSigned(std::int64_t{-1});  // a repeated key writes in place
    ASSERT_EQ(value.Size(), 500u);
    EXPECT_TRUE(value.RemoveField(key(3).c_str()));
    EXPECT_FALSE(value.RemoveField(key(3).c_str()));
    const BindingProperty copy = value;
    for (const BindingProperty* tree : {static_cast<const BindingProperty*>(&value), &copy}) {
      std::vector<std::string> keys = KeysOf(*tree);
      ASSERT_EQ(keys.size(), 499u);
      EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end()));
      EXPECT_EQ(tree->FindField(key(250).c_str())->GetSigned(), -1);
      EXPECT_EQ(tree->FindField(key(499).c_str())->GetSigned(), 499);
      EXPECT_EQ(tree->FindField(key(3).c_str()), nullptr);
    }
  }
}

// A field keeps its address while other fields are inserted before it.
TEST(BindingProperty, FieldReferencesSurviveLaterInsertions) {
  BindingProperty value;
  BindingProperty& last = value.Field("zz");
  for (int i = 0; i < 200; ++i) value.Field(std::to_string(1000 - i)).SetUnsigned(1u);
  last.SetString("kept");
  EXPECT_STREQ(value.FindField("zz")->GetString(), "kept");
}

// Trees with blobs are released value by value, others dropped as a whole;
// the sanitizers check that neither leaks.
TEST(BindingProperty, TreesWithAndWithoutBlobsRelease) {
  for (const bool withBlob : {false, true}) {
    BindingProperty tree;
    for (int i = 0; i < 300; ++i) {
      BindingProperty& element = tree.Append();
      element.Field("text").SetString(std::string(300, 'x'));  // a large text
      if (withBlob && i % 100 == 0) element.Field("bytes").SetBlob({1, 2, 3});
    }
    tree.Element(5).SetEmpty();
    BindingProperty other = tree;
    tree = std::move(other);
    EXPECT_EQ(tree.Element(299).FindField("text")->Size(), 300u);
  }
}

TEST(BindingResult, ReportErrorLeavesOnlyTheErrorField) {
  BindingResult result;
  result.property.Append().SetBool(true);
  result.property.Append().SetBool(false);
  result.ReportError("first");
  EXPECT_FALSE(result.success);
  ASSERT_EQ(result.property.kind(), PropertyKind::Structure);
  EXPECT_EQ(result.property.Size(), 1u);
  EXPECT_STREQ(result.ErrorText(), "first");

  // Reporting the result's own message again keeps it intact.
  result.ReportError(result.ErrorText());
  EXPECT_STREQ(result.ErrorText(), "first");

  BindingResult copy = result;
  EXPECT_FALSE(copy.success);
  result.Reset();
  EXPECT_TRUE(result.success);
  EXPECT_TRUE(result.property.IsEmpty());
}

TEST(BindingProperty, KindNames) {
  EXPECT_STREQ(PropertyKindName(PropertyKind::Empty), "empty");
  EXPECT_STREQ(PropertyKindName(PropertyKind::Structure), "structure");
  EXPECT_STREQ(PropertyKindName(std::uint8_t{10}), "");
  EXPECT_STREQ(PropertyKindName(std::uint8_t{255}), "");
}

}  // namespace
}  // namespace Corvan

#include "binding/FlatProperty.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "binding/BindingRegistry.h"

namespace Corvan {
namespace {

// A flat value the plugin filled and must release.
struct OwnedFlat {
  FlatProperty flat{};
  ~OwnedFlat() { ReleaseFlatProperty(flat); }
};

struct OwnedResult {
  FlatResult result{};
  ~OwnedResult() { ReleaseFlatResult(result); }
};

FlatProperty FlatString(const char* text, std::uint32_t length) {
  FlatProperty flat{};
  flat.kind = FLAT_STRING_BORROWED;
  flat.value.string.data = text;
  flat.value.string.length = length;
  return flat;
}

FlatProperty FlatSigned(std::int64_t number) {
  FlatProperty flat{};
  flat.kind = FLAT_INT64;
  flat.value.int64 = number;
  return flat;
}

TEST(FlatProperty, ToFlatCoversEveryKind) {
  BindingProperty tree;
  tree.Field("bool").SetBool(true);
  tree.Field("signed").SetSigned(std::int64_t{-3});
  tree.Field("unsigned").SetUnsigned(std::uint64_t{1} << 63);
  tree.Field("float").SetFloat(0.25);
  tree.Field("string").SetString("text");
  tree.Field("blob").SetBlob({0, 1, 2});
  tree.Field("enum").SetEnum(4, 0xABCD);
  tree.Field("list").Append().SetString("e");
  tree.Field("empty");

  OwnedFlat out;
  ToFlatProperty(tree, out.flat);
  ASSERT_EQ(out.flat.kind, FLAT_OBJECT);
  ASSERT_EQ(out.flat.value.object.count, 9u);
  const FlatPropertyEntry* entries = out.flat.value.object.entries;
  // Entries come in key order, each key owned.
  std::vector<std::string> keys;
  for (std::uint32_t i = 0; i < 9; ++i) {
    const char* key = entries[i].key;
    const int ownsKey = entries[i].ownsKey;
    keys.emplace_back(key);
    EXPECT_EQ(ownsKey, 1);
  }
  EXPECT_EQ(keys, (std::vector<std::string>{"blob", "bool", "empty", "enum", "float", "list",
                                            "signed", "string", "unsigned"}));
  std::vector<FlatProperty> values;
  for (std::uint32_t i = 0; i < 9; ++i) values.push_back(EntryValue(entries[i]));
  EXPECT_EQ(values[0].kind, FLAT_BLOB_OWNED);
  EXPECT_EQ(values[0].value.blob.length, 3u);
  EXPECT_EQ(values[1].kind, FLAT_BOOL);
  EXPECT_EQ(values[2].kind, FLAT_NULL);
  EXPECT_EQ(values[3].kind, FLAT_INT64);  // no registry: the number
  EXPECT_EQ(std::int64_t{values[3].value.int64}, 4);
  EXPECT_EQ(double{values[4].value.float64}, 0.25);
  EXPECT_EQ(values[5].kind, FLAT_ARRAY);
  EXPECT_EQ(std::int64_t{values[6].value.int64}, -3);
  EXPECT_EQ(values[7].kind, FLAT_STRING_OWNED);
  EXPECT_EQ(values[7].value.string.length, 4u);
  EXPECT_STREQ(values[7].value.string.data, "text");
  EXPECT_EQ(std::uint64_t{values[8].value.uint64}, std::uint64_t{1} << 63);
}

enum class Color : std::int32_t { Red = 1, Green = 2 };

}  // namespace
}  // namespace Corvan

KYN_TYPE_TEXT(Corvan::Color, "enum Corvan::`anonymous namespace'::Color")

namespace Corvan {
namespace {

TEST(FlatProperty, EnumsBecomeNamesWithARegistry) {
  BindingRegistry registry;
  registry.RegisterType<Color>("Color").AddEnumerator("Red", 1).AddEnumerator("Green", 2);
  const std::uint32_t hash = StaticType::HashCode<Color>().hash;
  BindingProperty value;
  value.Append().SetEnum(2, hash);
  value.Append().SetEnum(7, hash);    // no enumerator: the number
  value.Append().SetEnum(1, 0xDEAD);  // unknown type: the number

  OwnedFlat out;
  ToFlatProperty(value, out.flat, &registry);
  const FlatProperty* items = out.flat.value.array.items;
  EXPECT_EQ(items[0].kind, FLAT_STRING_OWNED);
  EXPECT_STREQ(items[0].value.string.data, "Green");
  EXPECT_EQ(items[1].kind, FLAT_INT64);
  EXPECT_EQ(std::int64_t{items[1].value.int64}, 7);
  EXPECT_EQ(items[2].kind, FLAT_INT64);
}

TEST(FlatProperty, RoundTripKeepsTheTree) {
  BindingProperty tree;
  tree.Field("a").Element(1).Field("b").SetString("deep");
  tree.Field("n").SetUnsigned(std::uint64_t{42});
  tree.Field("blob").SetBlob({7, 0, 7});
  OwnedFlat flat;
  ToFlatProperty(tree, flat.flat);

  BindingProperty back;
  OwnedResult report;
  ASSERT_TRUE(FromFlatProperty(flat.flat, back, report.result, "<result>"));
  EXPECT_EQ(int{report.result.hasError}, 0);
  EXPECT_TRUE(back.FindField("a")->Element(0).IsEmpty());
  EXPECT_STREQ(back.FindField("a")->Element(1).FindField("b")->GetString(), "deep");
  EXPECT_EQ(back.FindField("n")->GetUnsigned(), 42u);
  EXPECT_EQ(back.FindField("blob")->GetBlob().size(), 3u);
}

TEST(FlatProperty, UnknownKindStopsAtThatElement) {
  FlatProperty items[3] = {FlatSigned(1), FlatSigned(2), {}};
  items[2].kind = 11;
  FlatProperty array{};
  array.kind = FLAT_ARRAY;
  array.value.array.items = items;
  array.value.array.count = 3;

  BindingProperty out;
  OwnedResult report;
  EXPECT_FALSE(FromFlatProperty(array, out, report.result, "body"));
  EXPECT_EQ(out.Size(), 3u);
  EXPECT_EQ(out.Element(1).GetSigned(), 2);
  ASSERT_EQ(int{report.result.hasError}, 1);
  const char* error = report.result.error;
  EXPECT_STREQ(error,
               "Couldn't assign value to 'body' of type object because the input is of an "
               "incompatible type ''.");
}

TEST(FlatProperty, UntrustedHostValuesNeverCrash) {
  // A string text is taken up to its length or its first zero byte.
  const char bytes[] = {'a', 'b', '\0', 'c'};
  FlatProperty cut = FlatString(bytes, 4);
  FlatProperty exact = FlatString("abcdef", 3);  // no terminator within the length
  FlatProperty nullText = FlatString(nullptr, 100);
  FlatProperty nullBlob{};
  nullBlob.kind = FLAT_BLOB_BORROWED;
  nullBlob.value.blob.length = 50;
  FlatProperty nullArray{};
  nullArray.kind = FLAT_ARRAY;
  nullArray.value.array.count = 1000000;
  FlatProperty nullObject{};
  nullObject.kind = FLAT_OBJECT;
  nullObject.value.object.count = 7;
  FlatPropertyEntry nullKey{nullptr, FlatSigned(5), 0};
  FlatProperty object{};
  object.kind = FLAT_OBJECT;
  object.value.object.entries = &nullKey;
  object.value.object.count = 1;

  struct Case {
    const char* name;
    FlatProperty flat;
    PropertyKind kind;
    std::size_t size;
  } cases[] = {
      {"string cut at zero", cut, PropertyKind::String, 2},
      {"string within length", exact, PropertyKind::String, 3},
      {"null text", nullText, PropertyKind::String, 0},
      {"null blob", nullBlob, PropertyKind::Blob, 0},
      {"null array", nullArray, PropertyKind::Collection, 0},
      {"null entries", nullObject, PropertyKind::Structure, 0},
      {"null key", object, PropertyKind::Structure, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BindingProperty out;
    OwnedResult report;
    EXPECT_TRUE(FromFlatProperty(c.flat, out, report.result, "<result>"));
    EXPECT_EQ(out.kind(), c.kind);
    EXPECT_EQ(out.Size(), c.size);
  }
}

TEST(FlatProperty, DeepHostValueIsRefused) {
  // 100,000 arrays, each holding the next one.
  std::vector<FlatProperty> chain(100000);
  for (std::size_t i = 0; i < chain.size(); ++i) {
    chain[i].kind = FLAT_ARRAY;
    chain[i].value.array.items = i + 1 < chain.size() ? &chain[i + 1] : nullptr;
    chain[i].value.array.count = i + 1 < chain.size() ? 1 : 0;
  }
  BindingProperty out;
  OwnedResult report;
  EXPECT_FALSE(FromFlatProperty(chain[0], out, report.result, "payload"));
  ASSERT_EQ(int{report.result.hasError}, 1);
  const char* error = report.result.error;
  EXPECT_STREQ(error,
               "Couldn't assign value to 'payload' because the input is nested deeper than 512 "
               "levels.");

  // The limit itself is allowed.
  chain[kMaxTreeDepth - 1].value.array.count = 0;
  BindingProperty atLimit;
  OwnedResult fine;
  EXPECT_TRUE(FromFlatProperty(chain[0], atLimit, fine.result, "payload"));
}

TEST(FlatProperty, ReleaseZeroesAndSettersReleaseFirst) {
  BindingProperty text;
  text.SetString("owned");
  FlatProperty flat{};
  ToFlatProperty(text, flat);
  ToFlatProperty(text, flat);  // releases the first copy (the sanitizers see a leak otherwise)
  ReleaseFlatProperty(flat);
  FlatProperty zero{};
  EXPECT_EQ(std::memcmp(&flat, &zero, sizeof flat), 0);
}

TEST(FlatProperty, KindNames) {
  const char* expected[] = {"",       "bool", "signed", "unsigned",   "float",     "string",
                            "string", "blob", "blob",   "collection", "structure", ""};
  for (std::uint32_t kind = 0; kind < 12; ++kind) EXPECT_STREQ(FlatKindName(kind), expected[kind]);
  EXPECT_STREQ(FlatKindName(0xFFFFFFFFu), "");
}

}  // namespace
}  // namespace Corvan

#include "binding/NativeConversion.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/NativeCodec.h"

namespace ConversionTest {
enum class Mode : std::int32_t { Off = 0, On = 1, Auto = 5 };
enum class Tiny : std::int8_t { Low = -2, High = 3 };
enum class Wide : std::int64_t { Minus = -1, One = 1 };
struct Nested {
  std::string label;
  bool operator==(const Nested&) const = default;
};
struct Record {
  std::string name;
  std::int32_t a = 0;
  std::int32_t b = 7;
  std::vector<std::int32_t> list;
  std::unordered_map<std::string, std::int32_t> counts;
  Mode mode = Mode::Off;
  Corvan::BindingProperty object;
  std::vector<std::uint8_t> blob;
  Nested nested;
  std::vector<Nested> nestedList;
  std::vector<bool> flags;
};
}  // namespace ConversionTest

KYN_TYPE_TEXT(ConversionTest::Mode, "enum ConversionTest::Mode")
KYN_TYPE_TEXT(ConversionTest::Tiny, "enum ConversionTest::Tiny")
KYN_TYPE_TEXT(ConversionTest::Wide, "enum ConversionTest::Wide")
KYN_TYPE_TEXT(ConversionTest::Nested, "struct ConversionTest::Nested")
KYN_TYPE_TEXT(ConversionTest::Record, "struct ConversionTest::Record")

namespace Corvan {
namespace {

using namespace ConversionTest;

// Inputs of the case tables.
BindingProperty Text(const char* text) {
  BindingProperty v;
  v.SetString(text);
  return v;
}
BindingProperty Signed(std::int64_t n) {
  BindingProperty v;
  v.SetSigned(n);
  return v;
}
BindingProperty Unsigned(std::uint64_t n) {
  BindingProperty v;
  v.SetUnsigned(n);
  return v;
}
BindingProperty Float(double d) {
  BindingProperty v;
  v.SetFloat(d);
  return v;
}
BindingProperty Bool(bool b) {
  BindingProperty v;
  v.SetBool(b);
  return v;
}
BindingProperty Enum(std::int32_t n) {
  BindingProperty v;
  v.SetEnum(n, 0);
  return v;
}
BindingProperty Blob() {
  BindingProperty v;
  v.SetBlob({1});
  return v;
}
BindingProperty Empty() { return BindingProperty(); }
BindingProperty List() {
  BindingProperty v;
  v.MakeCollection();
  return v;
}
BindingProperty Struct() {
  BindingProperty v;
  v.MakeStructure();
  return v;
}

class Conversion : public testing::Test {
 protected:
  void SetUp() override {
    registry.RegisterType<Mode>("Mode")
        .AddEnumerator("Off", 0)
        .AddEnumerator("On", 1)
        .AddEnumerator("Auto", 5);
    registry.RegisterType<Tiny>("Tiny").AddEnumerator("Low", -2).AddEnumerator("High", 3);
    registry.RegisterType<Wide>("Wide").AddEnumerator("Minus", -1).AddEnumerator("One", 1);
    registry.RegisterType<Nested>("Nested").AddField("label", "", &Nested::label, kFieldRequired);
    registry.RegisterType<Record>("Record")
        .AddField("name", "", &Record::name, kFieldRequired)
        .AddField("a", "", &Record::a)
        .AddField("b", "", &Record::b)
        .AddField("list", "", &Record::list)
        .AddField("counts", "", &Record::counts)
        .AddField("mode", "", &Record::mode)
        .AddField("object", "", &Record::object)
        .AddField("blob", "", &Record::blob, kFieldOmitWhenDefault)
        .AddField("nested", "", &Record::nested, kFieldOmitWhenDefault)
        .AddField("nestedList", "", &Record::nestedList)
        .AddField("flags", "", &Record::flags);
  }

  // Assigns a single value of the declared kind to native storage; gives
  // the message on failure, else the stored value as text.
  std::string AssignScalar(BindingTypeKind kind, const BindingProperty& input) {
    alignas(8) unsigned char storage[8] = {};
    BindingResult result;
    if (!AssignValue(result, storage, input, "field", {kind, BindingTypeKind::None, nullptr},
                     &registry)) {
      return result.ErrorText();
    }
    return StoredText(kind, storage);
  }

  static std::string StoredText(BindingTypeKind kind, const unsigned char* storage) {
    auto load = [&](auto value) {
      std::memcpy(&value, storage, sizeof value);
      return value;
    };
    switch (kind) {
      case BindingTypeKind::Bool: return load(false) ? "true" : "false";
      case BindingTypeKind::Int8: return std::to_string(load(std::int8_t{}));
      case BindingTypeKind::Int16: return std::to_string(load(std::int16_t{}));
      case BindingTypeKind::Int32: return std::to_string(load(std::int32_t{}));
      case BindingTypeKind::Int64: return std::to_string(load(std::int64_t{}));
      case BindingTypeKind::UInt8: return std::to_string(load(std::uint8_t{}));
      case BindingTypeKind::UInt16: return std::to_string(load(std::uint16_t{}));
      case BindingTypeKind::UInt32: return std::to_string(load(std::uint32_t{}));
      case BindingTypeKind::UInt64: return std::to_string(load(std::uint64_t{}));
      case BindingTypeKind::Float: return std::to_string(load(float{}));
      case BindingTypeKind::Double: return std::to_string(load(double{}));
      default: return "?";
    }
  }

  BindingRegistry registry;
};

TEST_F(Conversion, ScalarRules) {
  using K = BindingTypeKind;
  struct Case {
    K kind;
    BindingProperty input;
    const char* expected;
  };
  const Case cases[] = {
      // bool
      {K::Bool, Bool(true), "true"},
      {K::Bool, Text("1"), "true"},
      {K::Bool, Text("false"), "false"},
      {K::Bool, Text("TRUE"),
       "Value TRUE for 'field' of type bool is in an incorrect format. Options are \"true\", "
       "\"false\", \"1\", \"0\"."},
      {K::Bool, Signed(1),
       "Couldn't assign value to 'field' of type bool because the input is of an invalid type "
       "signed."},
      {K::Bool, Empty(), "A value for 'field' is required."},
      // signed integers
      {K::Int32, Text("0x10"), "16"},
      {K::Int32, Text("010"), "8"},
      {K::Int32, Text(" -12"), "-12"},
      {K::Int32, Text(""), "0"},
      {K::Int32, Text("10abc"), "Value 10abc for 'field' of type int32 is in an incorrect format"},
      {K::Int32, Text("12 "), "Value 12  for 'field' of type int32 is in an incorrect format"},
      {K::Int32, Text("2147483648"), "Value 2147483648 for 'field' of type int32 is out of range"},
      {K::Int64, Text("9223372036854775808"),
       "Value 9223372036854775808 for 'field' of type int64 is out of range"},
      {K::Int8, Unsigned(128), "Value 128 for 'field' of type int8 is out of range"},
      {K::Int8, Signed(-129), "Value -129 for 'field' of type int8 is out of range"},
      {K::Int8, Signed(-128), "-128"},
      {K::Int16, Float(-2.9), "-2"},
      {K::Int16, Float(32767.5), "Value 32767.5 for 'field' of type int16 is out of range"},
      {K::Int64, Float(9223372036854775808.0),
       "Value 9.22337e+18 for 'field' of type int64 is out of range"},
      {K::Int64, Float(-9223372036854775808.0), "-9223372036854775808"},
      {K::Int32, Float(NAN), "Value nan for 'field' of type int32 is out of range"},
      {K::Int32, Enum(5), "5"},
      {K::Int8, Enum(300), "Value 300 for 'field' of type int8 is out of range"},
      {K::Int32, Bool(true),
       "Couldn't assign value to 'field' of type int32 because the input is of an invalid type "
       "bool."},
      {K::Int64, List(),
       "Couldn't assign value to 'field' of type int64 because the input is of an invalid type "
       "collection."},
      {K::Int16, Empty(), "A value for 'field' is required."},
      // unsigned integers
      {K::UInt32, Text("-1"), "Value -1 for 'field' of type uint32 is out of range"},
      {K::UInt64, Text("  -1"), "Value   -1 for 'field' of type uint64 is out of range"},
      {K::UInt64, Text("18446744073709551615"), "18446744073709551615"},
      {K::UInt64, Text("18446744073709551616"),
       "Value 18446744073709551616 for 'field' of type uint64 is out of range"},
      {K::UInt8, Text("0xff"), "255"},
      {K::UInt8, Text("256"), "Value 256 for 'field' of type uint8 is out of range"},
      {K::UInt16, Signed(-1), "Value -1 for 'field' of type uint16 is out of range"},
      {K::UInt16, Unsigned(65536), "Value 65536 for 'field' of type uint16 is out of range"},
      {K::UInt32, Float(-0.5), "Value -0.5 for 'field' of type uint32 is out of range"},
      {K::UInt64, Float(18446744073709551616.0),
       "Value 1.84467e+19 for 'field' of type uint64 is out of range"},
      {K::UInt32, Float(3.99), "3"},
      {K::UInt8, Enum(-1), "Value -1 for 'field' of type uint8 is out of range"},
      {K::UInt32, Blob(),
       "Couldn't assign value to 'field' of type uint32 because the input is of an invalid type "
       "blob."},
      // floating point
      {K::Float, Float(1e300), "Value 1e+300 for 'field' of type float is out of range"},
      {K::Float, Text("1e39"), "Value 1e39 for 'field' of type float is out of range"},
      {K::Double, Text("1e999"), "Value 1e999 for 'field' of type double is out of range"},
      {K::Double, Text("inf"), "Value inf for 'field' of type double is out of range"},
      {K::Double, Text("2.5"), "2.500000"},
      {K::Double, Text("2.5x"), "Value 2.5x for 'field' of type double is in an incorrect format"},
      {K::Double, Text("1e-400"), "0.000000"},
      {K::Float, Signed(-3), "-3.000000"},
      {K::Double, Unsigned(10), "10.000000"},
      {K::Double, Enum(2), "2.000000"},
      {K::Double, Float(NAN), "nan"},
      {K::Float, Struct(),
       "Couldn't assign value to 'field' of type float because the input is of an invalid type "
       "structure."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(BindingTypeKindName(c.kind)) + " <- " + c.expected);
    EXPECT_EQ(AssignScalar(c.kind, c.input), c.expected);
  }
}

TEST_F(Conversion, StringBlobAndEnumRules) {
  const BindingTypeDescriptor* mode = registry.FindType("Mode");
  struct Case {
    const char* name;
    BindingProperty input;
    const char* expected;  // the value assigned, or the message
  };
  BindingProperty modeEnum;
  modeEnum.SetEnum(5, mode->identityHash);
  BindingProperty unknownEnum;
  unknownEnum.SetEnum(4, mode->identityHash);

  const Case strings[] = {
      {"text", Text("abc"), "abc"},
      {"enum name", modeEnum, "Auto"},
      {"enum without name", unknownEnum, "4 is not a valid enumeration value for 'field'."},
      {"number", Signed(1), "Couldn't assign value to 'field' because the input is not a string."},
      {"empty", Empty(), "A value for 'field' is required."},
  };
  for (const Case& c : strings) {
    SCOPED_TRACE(c.name);
    std::string out;
    BindingResult result;
    const bool ok =
        AssignValue(result, &out, c.input, "field", {BindingTypeKind::String}, &registry);
    EXPECT_EQ(ok ? out : std::string(result.ErrorText()), c.expected);
  }

  const Case blobs[] = {
      {"base64", Text("aGk="), "hi"},
      {"base64 without padding", Text("aGk"), "hi"},
      {"bad characters", Text("aG k="),
       "Couldn't assign string value to 'field' of type blob because the input has invalid base64 "
       "characters."},
      {"number", Signed(3),
       "Couldn't assign value to 'field' of type blob because the input is not a blob."},
  };
  for (const Case& c : blobs) {
    SCOPED_TRACE(c.name);
    std::vector<std::uint8_t> out;
    BindingResult result;
    const bool ok = AssignValue(result, &out, c.input, "field", {BindingTypeKind::Blob}, &registry);
    EXPECT_EQ(ok ? std::string(out.begin(), out.end()) : std::string(result.ErrorText()),
              c.expected);
  }

  const Case enums[] = {
      {"name", Text("On"), "1"},
      {"number text", Text("0x5"), "5"},
      {"unknown name", Text("on"), "on is not a valid Mode enumeration value for 'field'."},
      {"undefined number text", Text("4"), "4 is not a valid Mode enumeration value for 'field'."},
      {"signed", Signed(5), "5"},
      {"undefined signed", Signed(2), "2 is not a valid Mode enumeration value for 'field'."},
      {"unsigned beyond 32 bits", Unsigned((std::uint64_t{1} << 32) | 1),
       "4294967297 is not a valid Mode enumeration value for 'field'."},
      {"enum", Enum(1), "1"},
      {"float", Float(1.0),
       "Couldn't assign value to 'field' of enum type because the input is of an invalid type "
       "float."},
  };
  for (const Case& c : enums) {
    SCOPED_TRACE(c.name);
    Mode out = Mode::Off;
    BindingResult result;
    const bool ok = AssignValue(result, &out, c.input, "field",
                                {BindingTypeKind::Enum, BindingTypeKind::None, mode}, &registry);
    EXPECT_EQ(ok ? std::to_string(static_cast<int>(out)) : std::string(result.ErrorText()),
              c.expected);
  }
}

TEST_F(Conversion, EnumsKeepTheirRegisteredSize) {
  struct {
    Tiny tiny = Tiny::High;
    std::uint8_t guard = 0xAA;
  } small;
  BindingResult result;
  ASSERT_TRUE(AssignNative(result, small.tiny, Text("Low"), "t", &registry));
  EXPECT_EQ(small.tiny, Tiny::Low);
  EXPECT_EQ(small.guard, 0xAA);

  Wide wide = Wide::One;
  ASSERT_TRUE(AssignNative(result, wide, Signed(-1), "w", &registry));
  EXPECT_EQ(static_cast<std::int64_t>(wide), -1);  // sign-extended to 8 bytes

  ASSERT_TRUE(ConvertNative(result, Tiny::Low, &registry));
  EXPECT_EQ(result.property.GetEnum().value, -2);
  EXPECT_EQ(result.property.GetEnum().typeHash, StaticType::HashCode<Tiny>().hash);
}

TEST_F(Conversion, RecordFieldsRequiredOptionalAndUnknown) {
  Record record;
  BindingResult result;
  BindingProperty input;
  input.Field("name").SetString("n");
  input.Field("a").SetSigned(std::int64_t{1});
  input.Field("zzz").SetSigned(std::int64_t{2});
  ASSERT_TRUE(AssignNative(result, record, input, kWholeValueName, &registry))
      << result.ErrorText();
  EXPECT_EQ(record.a, 1);
  EXPECT_EQ(record.b, 7);  // absent optional fields keep their value

  struct Case {
    const char* name;
    BindingProperty input;
    const char* message;
  };
  BindingProperty emptyName;
  emptyName.Field("name");
  BindingProperty nestedMissing;
  nestedMissing.Field("name").SetString("n");
  nestedMissing.Field("nested").Field("other").SetSigned(std::int64_t{1});
  BindingProperty wrongElement;
  wrongElement.Field("name").SetString("n");
  wrongElement.Field("list").Append().SetString("x");
  BindingProperty listNotCollection;
  listNotCollection.Field("name").SetString("n");
  listNotCollection.Field("list").SetSigned(std::int64_t{1});
  BindingProperty mapNotStructure;
  mapNotStructure.Field("name").SetString("n");
  mapNotStructure.Field("counts").Append();
  BindingProperty nestedNotStructure;
  nestedNotStructure.Field("name").SetString("n");
  nestedNotStructure.Field("nested").SetString("flat");

  const Case cases[] = {
      {"empty structure", Struct(),
       "Couldn't assign value to '<value>' of type Record because the input structure doesn't have "
       "required field 'name'."},
      {"empty name", emptyName,
       "Couldn't assign value to '<value>' of type Record because the input structure doesn't have "
       "required field 'name'."},
      {"empty input", Empty(), "A value for '<value>' is required."},
      {"not a structure", List(),
       "Couldn't assign value to '<value>' of type Record because the input not a structure."},
      {"nested required", nestedMissing,
       "Couldn't assign value to 'nested' of type Nested because the input structure doesn't have "
       "required field 'label'."},
      {"vector element", wrongElement,
       "Value x for 'list' of type int32 is in an incorrect format"},
      {"vector input", listNotCollection,
       "Couldn't assign value to 'list' of type vector because the input not a collection."},
      {"map input", mapNotStructure,
       "Couldn't assign value to 'counts' of type map because the input not a structure."},
      {"nested input", nestedNotStructure,
       "Couldn't assign value to 'nested' of type Nested because the input not a structure."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Record target;
    BindingResult failed;
    EXPECT_FALSE(AssignNative(failed, target, c.input, kWholeValueName, &registry));
    EXPECT_STREQ(failed.ErrorText(), c.message);
    // A failed result stops every later step and keeps the first message.
    EXPECT_FALSE(AssignNative(failed, target, input, kWholeValueName, &registry));
    EXPECT_STREQ(failed.ErrorText(), c.message);
  }
}

TEST_F(Conversion, ContainersObjectsAndNestedRecords) {
  BindingProperty input;
  input.Field("name").SetString("n");
  BindingProperty& list = input.Field("list");
  list.Append().SetSigned(std::int64_t{1});
  list.Append();  // empty: the element keeps its default
  list.Append().SetSigned(std::int64_t{3});
  input.Field("counts").Field("x").SetUnsigned(std::uint64_t{4});
  input.Field("counts").Field("skipped");
  input.Field("object").Field("any").Append().SetString("thing");
  input.Field("nestedList").Append().Field("label").SetString("first");
  input.Field("flags").Append().SetString("true");
  input.Field("mode").SetString("Auto");

  Record record;
  record.list = {9, 9, 9, 9};
  BindingResult result;
  ASSERT_TRUE(AssignNative(result, record, input, kWholeValueName, &registry))
      << result.ErrorText();
  EXPECT_EQ(record.list, (std::vector<std::int32_t>{1, 0, 3}));
  EXPECT_EQ(record.counts.size(), 1u);
  EXPECT_EQ(record.counts["x"], 4);
  EXPECT_STREQ(record.object.FindField("any")->Element(0).GetString(), "thing");
  ASSERT_EQ(record.nestedList.size(), 1u);
  EXPECT_EQ(record.nestedList[0].label, "first");
  EXPECT_EQ(record.flags, std::vector<bool>{true});
  EXPECT_EQ(record.mode, Mode::Auto);
}

TEST_F(Conversion, ConvertRecordOmitsDefaultsOnlyWhenFlagged) {
  Record record;
  record.name = "";
  record.list = {1, 2};
  record.counts = {{"k", 5}};
  record.mode = Mode::On;
  record.object.Field("x").SetBool(true);
  record.nestedList = {Nested{"a"}, Nested{"b"}};
  BindingResult result;
  ASSERT_TRUE(ConvertNative(result, record, &registry)) << result.ErrorText();
  const BindingProperty& tree = result.property;
  ASSERT_NE(tree.FindField("name"), nullptr);  // flag 0: written as ""
  EXPECT_STREQ(tree.FindField("name")->GetString("?"), "");
  EXPECT_EQ(tree.FindField("blob"), nullptr);    // flag 1 and empty
  EXPECT_NE(tree.FindField("nested"), nullptr);  // flag 1, but a structure with a field
  EXPECT_EQ(tree.FindField("b")->GetSigned(), 7);
  EXPECT_EQ(tree.FindField("list")->Element(1).GetSigned(), 2);
  EXPECT_EQ(tree.FindField("counts")->FindField("k")->GetSigned(), 5);
  EXPECT_EQ(tree.FindField("mode")->GetEnum().value, 1);
  EXPECT_TRUE(tree.FindField("object")->FindField("x")->GetBool());
  EXPECT_STREQ(tree.FindField("nestedList")->Element(1).FindField("label")->GetString(), "b");

  // And back: the tree assigns to an equal record.
  Record back;
  BindingResult again;
  ASSERT_TRUE(AssignNative(again, back, tree, kWholeValueName, &registry)) << again.ErrorText();
  EXPECT_EQ(back.list, record.list);
  EXPECT_EQ(back.nestedList, record.nestedList);
  EXPECT_EQ(back.mode, record.mode);
}

// The records of a vector take their keys' places from the record before
// them, except where a field left out when default shifts those places.
TEST_F(Conversion, RecordsOfAVectorKeepTheirOwnFieldsInKeyOrder) {
  std::vector<Record> records(3);
  records[1].blob = {1, 2};
  records[1].nestedList = {Nested{"x"}, Nested{"y"}};
  records[2].name = "third";
  BindingResult result;
  ASSERT_TRUE(ConvertNative(result, records, &registry)) << result.ErrorText();
  const BindingProperty& list = result.property;
  ASSERT_EQ(list.Size(), 3u);
  for (std::size_t i = 0; i < 3; ++i) {
    const BindingProperty& record = list.Element(i);
    std::vector<std::string> keys;
    for (const auto& field : *record.Fields()) keys.emplace_back(field.first->View());
    EXPECT_TRUE(std::is_sorted(keys.begin(), keys.end())) << i;
    EXPECT_EQ(record.FindField("blob") != nullptr, i == 1) << i;
    ASSERT_NE(record.FindField("name"), nullptr) << i;
  }
  EXPECT_STREQ(list.Element(2).FindField("name")->GetString(), "third");
  EXPECT_STREQ(list.Element(1).FindField("nestedList")->Element(1).FindField("label")->GetString(),
               "y");
}

TEST_F(Conversion, DefaultValues) {
  BindingProperty negativeZero;
  negativeZero.SetFloat(-0.0);
  EXPECT_TRUE(IsDefaultValue(negativeZero));
  EXPECT_FALSE(IsDefaultValue(Float(NAN)));
  EXPECT_TRUE(IsDefaultValue(Text("")));
  EXPECT_TRUE(IsDefaultValue(Enum(0)));
  EXPECT_FALSE(IsDefaultValue(Enum(1)));
  EXPECT_TRUE(IsDefaultValue(List()));
  EXPECT_FALSE(IsDefaultValue(Bool(true)));
}

TEST_F(Conversion, UnregisteredRecords) {
  BindingRegistry empty;
  Nested nested;
  BindingResult result;
  EXPECT_FALSE(AssignNative(result, nested, Struct(), "n", &empty));
  EXPECT_STREQ(
      result.ErrorText(),
      "Couldn't assign value to 'n' because the input is an unregistered structure or not a "
      "structure at all.");
  BindingResult converted;
  EXPECT_FALSE(ConvertNative(converted, nested, &empty));
  EXPECT_STREQ(converted.ErrorText(),
               "Couldn't convert native value because it's an unregistered structure.");
}

}  // namespace
}  // namespace Corvan

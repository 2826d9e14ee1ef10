#include "JsonEncoding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace Corvan::Host {
namespace {

FlatProperty Flat(std::uint32_t kind) {
  FlatProperty value{};
  value.kind = kind;
  return value;
}

TEST(JsonEncoding, FlatValuesBecomeJsonEvenWhenMalformed) {
  const std::uint8_t bytes[] = {0xfb, 0xff, 0x00};
  FlatProperty blob = Flat(FLAT_BLOB_BORROWED);
  blob.value.blob = {bytes, 3};
  FlatProperty text = Flat(FLAT_STRING_BORROWED);
  text.value.string = {"a\"b\n", 4};
  FlatProperty nullText = Flat(FLAT_STRING_OWNED);
  nullText.value.string = {nullptr, 5};
  FlatProperty nan = Flat(FLAT_DOUBLE);
  nan.value.float64 = std::numeric_limits<double>::quiet_NaN();
  FlatProperty negative = Flat(FLAT_INT64);
  negative.value.int64 = -7;
  FlatProperty nullArray = Flat(FLAT_ARRAY);
  nullArray.value.array = {nullptr, 3};
  FlatPropertyEntry entries[2]{};
  entries[0].key = nullptr;
  entries[0].value = negative;
  entries[1].key = "b";
  entries[1].value = Flat(99);
  FlatProperty object = Flat(FLAT_OBJECT);
  object.value.object = {entries, 2};
  struct Case {
    const char* name;
    FlatProperty value;
    const char* json;
  };
  const Case cases[] = {
      {"blob as base64", blob, R"("+/8A")"},
      {"text escaped", text, R"("a\"b\n")"},
      {"null text pointer", nullText, R"("")"},
      {"NaN", nan, "null"},
      {"null items", nullArray, "[]"},
      {"null key and unknown kind", object, R"({"":-7,"b":null})"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(FlatToJson(c.value), c.json);
  }
}

TEST(JsonEncoding, DeepNestingEndsInNullWithoutExhaustingTheStack) {
  std::vector<FlatProperty> chain(kMaxTreeDepth + 10, Flat(FLAT_ARRAY));
  for (std::size_t i = 0; i + 1 < chain.size(); ++i) chain[i].value.array = {&chain[i + 1], 1};
  const std::string json = FlatToJson(chain[0]);
  EXPECT_NE(json.find("null"), std::string::npos);
  EXPECT_EQ(json.find("[]"), std::string::npos);
}

TEST(JsonEncoding, ErrorBodiesNameStatusAndMessage) {
  EXPECT_EQ(ErrorBodyJson(409, "Highlight \"x\" exists"),
            R"({"httpStatus":409,"message":"Highlight \"x\" exists"})");
}

}  // namespace
}  // namespace Corvan::Host

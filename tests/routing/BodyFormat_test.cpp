#include "routing/BodyFormat.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string_view>
#include <vector>

#include "binding/readers/MessagePackReader.h"

namespace Corvan {
namespace {

using namespace std::string_view_literals;

TEST(BodyFormat, ContentTypeSelectsTheFormat) {
  struct Case {
    const char* contentType;
    BodyFormat expected;
  };
  const Case cases[] = {
      {"application/json", BodyFormat::Json},
      {"Application/JSON; charset=utf-8", BodyFormat::Json},
      {"application/vnd.api+json", BodyFormat::Json},
      {"APPLICATION/X-MSGPACK", BodyFormat::MessagePack},
      {"application/x-yaml", BodyFormat::Yaml},
      // Only the length of each known name is compared.
      {"application/jsonp", BodyFormat::Json},
      {"application/jso", BodyFormat::None},
      {"text/json", BodyFormat::None},
      {" application/json", BodyFormat::None},
      {"", BodyFormat::None},
      {nullptr, BodyFormat::None},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.contentType != nullptr ? c.contentType : "(null)");
    EXPECT_EQ(BodyFormatOfContentType(c.contentType), c.expected);
  }
}

const std::uint8_t* Bytes(std::string_view text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

TEST(BodyFormat, TextBodiesEndAtTheirLengthOrFirstZeroByte) {
  struct Case {
    const char* name;
    BodyFormat format;
    std::string_view body;
    std::size_t length;
  };
  const Case cases[] = {
      {"json zero byte", BodyFormat::Json, "{\"a\":\"b\"}\0junk"sv, 14},
      {"json length", BodyFormat::Json, "{\"a\":\"b\"}junk"sv, 9},
      {"yaml zero byte", BodyFormat::Yaml, "a: b\0: :"sv, 8},
      {"yaml length", BodyFormat::Yaml, "a: b\n: :"sv, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BindingResult result = ReadBody(c.format, Bytes(c.body), c.length);
    ASSERT_TRUE(result.success) << result.ErrorText();
    ASSERT_NE(result.property.FindField("a"), nullptr);
    EXPECT_EQ(result.property.FindField("a")->GetStringView(), "b");
  }
}

TEST(BodyFormat, MessagePackMustFillTheBody) {
  const std::vector<std::uint8_t> map = {0x81, 0xA1, 'a', 0x01};
  BindingResult whole = ReadBody("application/x-msgpack", map.data(), map.size());
  ASSERT_TRUE(whole.success) << whole.ErrorText();
  EXPECT_EQ(whole.property.FindField("a")->GetSigned(), 1);

  std::vector<std::uint8_t> trailing = map;
  trailing.push_back(0x00);
  BindingResult extra = ReadBody("application/x-msgpack", trailing.data(), trailing.size());
  EXPECT_FALSE(extra.success);
  EXPECT_STREQ(extra.ErrorText(), "Extra MessgePack data found in body");

  // A decoder failure keeps the decoder's own message.
  const std::uint8_t never[] = {0xC1, 0x00};
  BindingResult refused = ReadBody(BodyFormat::MessagePack, never, sizeof never);
  EXPECT_FALSE(refused.success);
  EXPECT_STREQ(refused.ErrorText(), ReadMessagePack(never, sizeof never).result.ErrorText());
}

TEST(BodyFormat, UnsupportedAndMissingBodies) {
  const std::uint8_t body[] = {'{', '}'};
  for (const char* type : {"text/plain", "", static_cast<const char*>(nullptr)}) {
    SCOPED_TRACE(type != nullptr ? type : "(null)");
    BindingResult result = ReadBody(type, body, sizeof body);
    EXPECT_FALSE(result.success);
    EXPECT_STREQ(result.ErrorText(), "Unsupported body content type");
  }
  // A null body is empty, whatever length comes with it.
  for (BodyFormat format : {BodyFormat::Json, BodyFormat::Yaml, BodyFormat::MessagePack}) {
    BindingResult result = ReadBody(format, nullptr, 100);
    EXPECT_TRUE(result.success) << result.ErrorText();
    EXPECT_TRUE(result.property.IsEmpty());
  }
}

}  // namespace
}  // namespace Corvan

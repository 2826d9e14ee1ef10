#include "routing/ArgumentBinder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "binding/BindingRegistry.h"
#include "binding/FlatProperty.h"
#include "binding/readers/JsonReader.h"

namespace Corvan {
namespace {

// A compact text of a bound value: nil, true, 7, "text", [..], {key:value}.
std::string Render(const BindingProperty& value) {
  switch (value.kind()) {
    case PropertyKind::Empty: return "nil";
    case PropertyKind::Bool: return value.GetBool() ? "true" : "false";
    case PropertyKind::Signed: return std::to_string(value.GetSigned());
    case PropertyKind::Unsigned: return std::to_string(value.GetUnsigned());
    case PropertyKind::String: return "\"" + std::string(value.GetStringView()) + "\"";
    case PropertyKind::Collection: {
      std::string text;
      for (const BindingProperty& element : value.Elements()) {
        text += (text.empty() ? "" : ",") + Render(element);
      }
      return "[" + text + "]";
    }
    case PropertyKind::Structure: {
      std::string text;
      value.ForEachField([&text](const char* key, const BindingProperty& field) {
        text += (text.empty() ? "" : ",") + std::string(key) + ":" + Render(field);
      });
      return "{" + text + "}";
    }
    default: return "?";
  }
}

struct ArgumentDeclaration {
  const char* name;
  BindingTypeKind kind;
  ArgumentLocation location;
};

// The function F(ids, flag, count, filter, id, body, X-Token) and a request.
class ArgumentBinderTest : public ::testing::Test {
 protected:
  static constexpr ArgumentDeclaration kArguments[] = {
      {"ids", BindingTypeKind::Vector, ArgumentLocation::Any},
      {"flag", BindingTypeKind::Bool, ArgumentLocation::Any},
      {"count", BindingTypeKind::Int32, ArgumentLocation::Any},
      {"filter", BindingTypeKind::Object, ArgumentLocation::Query},
      {"id", BindingTypeKind::UInt64, ArgumentLocation::Path},
      {"body", BindingTypeKind::Struct, ArgumentLocation::Body},
      {"X-Token", BindingTypeKind::String, ArgumentLocation::Header},
  };

  void SetUp() override { function_ = Declare("F", kArguments); }

  template <std::size_t N>
  BindingFunctionDescriptor* Declare(const char* name,
                                     const ArgumentDeclaration (&declarations)[N]) {
    bool existing = false;
    BindingFunctionDescriptor* function = registry_.RegisterFunction(name, existing);
    for (const ArgumentDeclaration& declaration : declarations) {
      BindingArgumentDescriptor& argument = function->arguments.emplace_back();
      argument.name = declaration.name;
      argument.declared.kind = declaration.kind;
      locations_[name].push_back(declaration.location);
    }
    return function;
  }

  // Binds the request to `function` (F by default) and returns the message.
  std::string Bind(const BindingFunctionDescriptor* function = nullptr) {
    if (function == nullptr) function = function_;
    ArgumentBindingInput input;
    input.function = function;
    input.locations = locations_[function->name];
    input.captures = &captures_;
    input.request = &request_;
    input.registry = &registry_;
    result_.Reset();
    BindArguments(input, arguments_, result_);
    return result_.ErrorText();
  }

  std::string Argument(const char* name) const {
    for (std::size_t i = 0; i < function_->arguments.size(); ++i) {
      if (function_->arguments[i].name == name) return Render(arguments_.at(i));
    }
    return "no such argument";
  }

  void SetBody(const char* contentType, std::string_view body) {
    request_.bodyContentType = contentType;
    request_.body = reinterpret_cast<const std::uint8_t*>(body.data());
    request_.bodyLength = static_cast<std::uint32_t>(body.size());
  }

  BindingRegistry registry_;
  BindingFunctionDescriptor* function_ = nullptr;
  std::map<std::string, std::vector<ArgumentLocation>> locations_;
  RouteCaptures captures_;
  HostRequest request_{};
  std::vector<BindingProperty> arguments_;
  BindingResult result_;
};

TEST_F(ArgumentBinderTest, QueryTexts) {
  struct Case {
    std::string path;
    const char* argument;
    const char* expected;  // the argument, rendered
    std::string error;
  };
  std::string tooDeep = "/f?ids";
  std::string deepest = "/f?ids";
  for (int i = 0; i < 513; ++i) tooDeep += ".a";
  for (int i = 0; i < 512; ++i) deepest += ".a";
  const Case cases[] = {
      {"/f?ids.2=7", "ids", "[nil,nil,\"7\"]", ""},
      {"/f?ids.x2=7", "ids", "{x2:\"7\"}", ""},
      {"/f?ids.2x=7", "ids", "nil", "Index 2x is in an incorrect format"},
      {"/f?ids.0x2=a", "ids", "[nil,nil,\"a\"]", ""},
      {"/f?ids.02=a", "ids", "[nil,nil,\"a\"]", ""},
      {"/f?ids.08=a", "ids", "nil", "Index 08 is in an incorrect format"},
      {"/f?ids.0x=a", "ids", "nil", "Index 0x is in an incorrect format"},
      {"/f?ids.1.name=a&ids.0=b", "ids", "[\"b\",{name:\"a\"}]", ""},
      {"/f?ids.2147483648=a", "ids", "nil", "Index 2147483648 is out of range"},
      {"/f?ids.99999999999999999999999=a", "ids", "nil",
       "Index 99999999999999999999999 is out of range"},
      // Below the index limit, but more elements than one request may create.
      {"/f?ids.65536=a", "ids", "nil", "Index 65536 is out of range"},
      {tooDeep, "ids", "nil", "Argument 'ids' is nested deeper than 512 levels."},
      {"/f?flag", "flag", "true", ""},
      {"/f?flag=no", "flag", "\"no\"", ""},
      {"/f?count", "count", "nil", "Expected value for argument 'count'."},
      {"/f?count=", "count", "nil", "Expected value for argument 'count'."},
      {"/f?count=1&count=2", "count", "\"2\"", ""},
      {"/f?count=%7B%22a%22%3A1%7D", "count", "\"{\"a\":1}\"", ""},
      {"/f?ids", "ids", "[]", ""},
      {"/f?filter", "filter", "{}", ""},
      {"/f?filter=%7B%22a%22%3A1%7D", "filter", "{a:1}", ""},
      {"/f?filter=++[1]", "filter", "[1]", ""},
      {"/f?filter=---%0Aa%3A+b", "filter", "{a:\"b\"}", ""},
      {"/f?filter=%81%A1a%01", "filter", "{a:1}", ""},
      {"/f?filter=plain", "filter", "\"plain\"", ""},
      {"/f?count=1&", "count", "nil", "Unknown argument '' for 'F'."},
      {"/f?nope.x=1", "ids", "nil", "Unknown argument 'nope' for 'F'."},
      {"/f?id=5", "id", "nil", "Argument 'id' for 'F' was specified in an invalid location."},
      {"/f?body=5", "body", "nil", "Argument 'body' for 'F' was specified in an invalid location."},
      // Binding stops at the first failure, in name order.
      {"/f?count&ids.0=1", "ids", "nil", "Expected value for argument 'count'."},
      {"/f?", "ids", "nil", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path.substr(0, 60));
    request_.path = c.path.c_str();
    EXPECT_EQ(Bind(), c.error);
    EXPECT_EQ(Argument(c.argument), c.expected);
  }
  request_.path = deepest.c_str();
  EXPECT_EQ(Bind(), "");
}

TEST_F(ArgumentBinderTest, StructuredTextFailuresNameKeyFunctionAndDecoder) {
  request_.path = "/f?filter=%7Bbad";
  EXPECT_EQ(Bind(), "Couldn't deserialize JSON value for parameter 'filter' of 'F': " +
                        std::string(ReadJson("{bad").ErrorText()));
  request_.path = "/f?filter=---%0A%5B";
  EXPECT_TRUE(
      Bind().starts_with("Couldn't deserialize YAML value for parameter 'filter' of 'F': "));
  request_.path = "/f?filter=%81%01%01";
  EXPECT_TRUE(
      Bind().starts_with("Couldn't deserialize MessagePack value for parameter 'filter' of 'F': "));
}

TEST_F(ArgumentBinderTest, HeadersMatchTheLowerCasedArgumentName) {
  struct Case {
    const char* header;
    const char* expected;
  };
  const Case cases[] = {{"x-token", "\"abc\""}, {"X-Token", "nil"}, {"x-Token", "nil"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.header);
    const HostHeaderPair headers[] = {{nullptr, "skipped"}, {c.header, nullptr}, {c.header, "abc"}};
    request_.headers = headers;
    request_.headerCount = 3;
    EXPECT_EQ(Bind(), "");
    EXPECT_EQ(Argument("X-Token"), c.expected);
  }
  // Query-only arguments take no header; later sources overwrite headers.
  const HostHeaderPair headers[] = {{"filter", "h"}, {"count", "h"}};
  request_.headers = headers;
  request_.headerCount = 2;
  request_.path = "/f?count=q";
  EXPECT_EQ(Bind(), "");
  EXPECT_EQ(Argument("filter"), "nil");
  EXPECT_EQ(Argument("count"), "\"q\"");
}

TEST_F(ArgumentBinderTest, PathCaptures) {
  captures_ = {{"id", "5"}};
  EXPECT_EQ(Bind(), "");
  EXPECT_EQ(Argument("id"), "\"5\"");
  captures_ = {{"body", "5"}};
  EXPECT_EQ(Bind(), "Argument 'body' for 'F' was specified in an invalid location.");
  captures_ = {{"nope", "5"}};
  EXPECT_EQ(Bind(), "Unknown argument 'nope' for 'F'.");
}

FlatProperty FlatSigned(std::int64_t number) { return FlatProperty{FLAT_INT64, {.int64 = number}}; }

TEST_F(ArgumentBinderTest, DirectArgumentsByNameOrPosition) {
  captures_ = {{"id", "5"}};
  request_.path = "/f?count=1";
  // Unnamed entries count from after the captured variables: ids is skipped.
  const HostDirectArgument direct[] = {
      {nullptr, FlatSigned(1)}, {"count", FlatSigned(7)}, {"id", FlatSigned(9)}};
  request_.directArguments = direct;
  request_.directArgumentCount = 3;
  EXPECT_EQ(Bind(), "");
  EXPECT_EQ(Argument("ids"), "nil");
  EXPECT_EQ(Argument("flag"), "1");
  EXPECT_EQ(Argument("count"), "7");
  EXPECT_EQ(Argument("id"), "9");

  const HostDirectArgument unknown[] = {{"nope", FlatSigned(1)}};
  request_.directArguments = unknown;
  request_.directArgumentCount = 1;
  EXPECT_EQ(Bind(), "Unknown argument 'nope' for 'F'.");
}

TEST_F(ArgumentBinderTest, DirectArgumentFailures) {
  captures_ = {{"id", "1"}};
  // Positions 0 to 5 reach arguments 1 to 6; position 6 is past the end.
  const std::vector<HostDirectArgument> direct(7, HostDirectArgument{nullptr, FlatSigned(1)});
  request_.directArguments = direct.data();
  request_.directArgumentCount = 7;
  EXPECT_EQ(Bind(), "Unknown argument '7' for 'F'.");

  FlatProperty bad{};
  bad.kind = 99;
  const HostDirectArgument wrong[] = {{"count", bad}};
  request_.directArguments = wrong;
  request_.directArgumentCount = 1;
  FlatResult expected{};
  BindingProperty ignored;
  ASSERT_FALSE(FromFlatProperty(bad, ignored, expected, "count"));
  EXPECT_EQ(Bind(), expected.error);
  ReleaseFlatResult(expected);
}

TEST_F(ArgumentBinderTest, BodyGoesToTheFirstBodyArgument) {
  SetBody("Application/JSON; charset=utf-8", R"({"name":"clip"})");
  EXPECT_EQ(Bind(), "");
  EXPECT_EQ(Argument("body"), "{name:\"clip\"}");

  SetBody(nullptr, "{}");
  EXPECT_EQ(Bind(), "Unsupported body content type");
  SetBody("application/x-msgpack", std::string_view("\x80\x00", 2));
  EXPECT_EQ(Bind(), "Extra MessgePack data found in body");

  // Earlier failures do not stop the body; its own failure replaces them.
  request_.path = "/f?nope=1";
  SetBody("application/json", "{}");
  EXPECT_EQ(Bind(), "Unknown argument 'nope' for 'F'.");
  EXPECT_EQ(Argument("body"), "{}");
  SetBody("text/plain", "{}");
  EXPECT_EQ(Bind(), "Unsupported body content type");
}

TEST_F(ArgumentBinderTest, BodyWithoutBodyArgumentIsIgnored) {
  static constexpr ArgumentDeclaration kPlain[] = {
      {"body", BindingTypeKind::Struct, ArgumentLocation::Any}};
  const BindingFunctionDescriptor* plain = Declare("G", kPlain);
  SetBody("text/plain", "{}");
  EXPECT_EQ(Bind(plain), "");
  EXPECT_TRUE(arguments_.at(0).IsEmpty());
}

TEST_F(ArgumentBinderTest, UntrustedRequestsAreSkippedSoundly) {
  request_.path = nullptr;
  request_.headers = nullptr;
  request_.headerCount = 40;
  request_.directArguments = nullptr;
  request_.directArgumentCount = 40;
  request_.bodyContentType = "application/json";
  request_.body = nullptr;
  request_.bodyLength = 40;
  EXPECT_EQ(Bind(), "");
  ASSERT_EQ(arguments_.size(), function_->arguments.size());
  for (const BindingProperty& argument : arguments_) EXPECT_TRUE(argument.IsEmpty());

  // No function or no request: nothing to bind, nothing to report.
  ArgumentBindingInput input;
  BindArguments(input, arguments_, result_);
  EXPECT_TRUE(arguments_.empty());
  input.function = function_;
  BindArguments(input, arguments_, result_);
  EXPECT_EQ(arguments_.size(), function_->arguments.size());
  EXPECT_TRUE(result_.success);
}

}  // namespace
}  // namespace Corvan

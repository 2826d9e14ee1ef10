#include "binding/BindingHelpProvider.h"

#include <gtest/gtest.h>

#include <string>

#include "binding/BindingRegistry.h"
#include "binding/BuiltinTypes.h"
#include "binding/EpytextHelp.h"

namespace Corvan {
namespace {

using K = BindingTypeKind;

class BindingHelpTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitializeBuiltins(registry);
    highlight = registry.RegisterType(16, "Highlight", StaticType::NoType(), false)
                    .SetDescription("A clip.")
                    .descriptor();
    bool existing = false;
    BindingFunctionDescriptor* put = registry.RegisterFunction("PutHighlight", existing);
    put->description = "-Renames {a} highlight.";
    put->help = "Needs the id.";
    put->result = {K::Struct, K::None, highlight};
    put->tags = {"highlights", "write"};
    put->threadSafe = true;
    put->isAsync = true;
    put->asyncEventType = registry.FindType("BindingGenericAsyncEvent");
    BindingArgumentDescriptor& id = put->arguments.emplace_back();
    id.name = "id";
    id.description = "The id";
    id.declared = {K::UInt64};
    BindingArgumentDescriptor& body = put->arguments.emplace_back();
    body.name = "body";
    body.declared = {K::Struct, K::None, highlight};
    // Help shows the declared type, never the advertised one.
    body.advertised = {K::Object};
    BindingArgumentDescriptor& names = put->arguments.emplace_back();
    names.name = "names";
    names.description = "Other names";
    names.declared = {K::Vector, K::String};
    names.optional = true;
    function = put;
  }

  BindingRegistry registry;
  const BindingTypeDescriptor* highlight = nullptr;
  const BindingFunctionDescriptor* function = nullptr;
};

TEST_F(BindingHelpTest, HelpTypesAreRegistered) {
  constexpr const char* kNames[] = {
      "BindingHelpFormat",       "BindingFullTypeIdentifier", "BindingFullArgumentHelp",
      "BindingFullFunctionHelp", "BindingFullEnumValueHelp",  "BindingFullFieldHelp",
      "BindingFullTypeHelp",     "BindingFullEventHelp",      "BindingFullApiHelp"};
  for (const char* name : kNames) {
    SCOPED_TRACE(name);
    const BindingTypeDescriptor* type = registry.FindType(name);
    ASSERT_NE(type, nullptr);
    EXPECT_EQ(type->tags, (std::vector<std::string>{"$builtin", "help"}));
    EXPECT_FALSE(type->description.empty());
    for (const BindingFieldDescriptor& field : type->fields) EXPECT_EQ(field.description, "");
  }
  const BindingTypeDescriptor* format = registry.FindType<BindingHelpProvider::HelpFormat>();
  ASSERT_NE(format, nullptr);
  EXPECT_EQ(format->EnumeratorValue("Epytext"), 2);
  EXPECT_EQ(format->enumerators.at("Full").description, "Native help format");
  // A record field refers to the registered record it holds.
  const BindingTypeDescriptor* argument = registry.FindType("BindingFullArgumentHelp");
  EXPECT_EQ(argument->fields[2].declared.type, registry.FindType("BindingFullTypeIdentifier"));
}

TEST(EpytextHelp, Escape) {
  struct Case {
    const char* input;
    const char* expected;
  };
  constexpr Case kCases[] = {
      {"", ""},         {"plain - text", "plain - text"}, {"-x", "E{-}x"},
      {"--", "E{-}-"},  {"{a}", "E{lb}aE{rb}"},           {"-{}}", "E{-}E{lb}E{rb}E{rb}"},
      {"E{", "EE{lb}"},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(EpytextEscape(c.input), c.expected);
  }
}

TEST_F(BindingHelpTest, TypeTexts) {
  struct Case {
    const char* name;
    BindingTypeRef type;
    const char* epytext;
    const char* fullType;
    const char* fullElement;
  };
  const BindingTypeDescriptor* state = registry.FindType("BindingAsyncState");
  const Case kCases[] = {
      {"bool", {K::Bool}, "bool", "bool", ""},
      {"object", {K::Object}, "object", "object", ""},
      {"blob", {K::Blob}, "bytearray", "blob", ""},
      {"vector of records",
       {K::Vector, K::Struct, highlight},
       "list[L{Highlight}]",
       "vector",
       "Highlight"},
      {"map of uint8", {K::Map, K::UInt8}, "dict[uint8]", "map", "uint8"},
      {"vector of vectors", {K::Vector, K::Vector}, "list[list[]]", "vector", "vector"},
      {"enum", {K::Enum, K::None, state}, "L{BindingAsyncState}", "BindingAsyncState", ""},
      {"struct without descriptor", {K::Struct}, "L{struct}", "struct", ""},
      {"callback", {K::Callback}, "callback", "callback", ""},
      {"none", {K::None}, "", "", ""},
      {"unknown code", {static_cast<K>(40)}, "", "", ""},
  };
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(EpytextTypeName(c.type), c.epytext);
    const BindingHelpProvider::FullTypeIdentifier full = BindingHelpProvider::FullType(c.type);
    EXPECT_EQ(full.type, c.fullType);
    EXPECT_EQ(full.elementType, c.fullElement);
  }
}

TEST_F(BindingHelpTest, EpytextTexts) {
  EXPECT_EQ(EpytextFunction(*function),
            "E{-}Renames E{lb}aE{rb} highlight.\r\n\r\n"
            "Needs the id.\r\n\r\n"
            "@param id: The id\r\n"
            "@type id: uint64\r\n"
            "@type body: L{Highlight}\r\n"
            "@param names: (optional) Other names\r\n"
            "@type names: list[string]\r\n"
            "@rtype: L{Highlight}\r\n"
            "@tags: highlights,write\r\n"
            "@threadsafe: true\r\n"
            "@async: L{Highlight}\r\n");

  BindingFunctionDescriptor bare;
  EXPECT_EQ(EpytextFunction(bare), "");

  EXPECT_EQ(EpytextType(*registry.FindType("BindingAsyncState")),
            "Possible states of an asynchronous operation.\r\n\r\n"
            "@cvar None: (0) Invalid state\r\n"
            "@cvar Running: (1) The operation is in flight\r\n"
            "@cvar Cancelling: (2) A request to cancel the operation has been made\r\n"
            "@cvar Cancelled: (3) The operation was cancelled\r\n"
            "@cvar Succeeded: (4) The operation completed successfully\r\n"
            "@cvar Failed: (5) The operation encountered an error\r\n"
            "@tags: $builtin,async\r\n"
            "@size: 4\r\n");

  EXPECT_EQ(EpytextType(*registry.FindType("BindingCallbackEvent")),
            "Represents the parameters of a call to a provided callback.\r\n\r\n"
            "@ivar id: ID of the callback being invoked\r\n"
            "@type id: uint32\r\n"
            "@ivar parameters: Callback parameters\r\n"
            "@type parameters: list[object]\r\n"
            "@tags: $builtin\r\n");

  EXPECT_EQ(EpytextEvent(*registry.FindEvent("OnCallback")),
            "Fired when a callback is invoked.\r\n\r\n@tags: $builtin\r\n");
}

TEST_F(BindingHelpTest, EnumeratorsSharingAValueKeepNameOrder) {
  TypeBuilder builder = registry.RegisterType(1, "Small", StaticType::NoType(), true);
  builder.AddEnumerator("b", 1, "{x}").AddEnumerator("a", 1).AddEnumerator("c", -3);
  // Enumerator descriptions are written as they are.
  EXPECT_EQ(EpytextType(*builder.descriptor()),
            "@cvar c: (-3)\r\n@cvar a: (1)\r\n@cvar b: (1) {x}\r\n@size: 1\r\n");
}

TEST_F(BindingHelpTest, FullApiHelp) {
  BindingResult help = BindingHelpProvider::ApiHelp(
      registry, {function}, {registry.FindType("BindingAsyncState"), highlight}, registry.Events(),
      BindingHelpProvider::Full);
  ASSERT_TRUE(help.success) << help.ErrorText();
  const BindingProperty& functions = *help.property.FindField("functions");
  ASSERT_EQ(functions.Size(), 1u);
  const BindingProperty& put = functions.Element(0);
  EXPECT_STREQ(put.FindField("name")->GetString(), "PutHighlight");
  EXPECT_STREQ(put.FindField("async")->GetString(), "BindingGenericAsyncEvent");
  EXPECT_TRUE(put.FindField("threadSafe")->GetBool());
  EXPECT_STREQ(put.FindField("returns")->FindField("type")->GetString(), "Highlight");
  EXPECT_EQ(put.FindField("tags")->Size(), 2u);
  const BindingProperty& names = put.FindField("arguments")->Element(2);
  EXPECT_TRUE(names.FindField("optional")->GetBool());
  EXPECT_STREQ(names.FindField("type")->FindField("type")->GetString(), "vector");
  EXPECT_STREQ(names.FindField("type")->FindField("elementType")->GetString(), "string");

  const BindingProperty& types = *help.property.FindField("types");
  ASSERT_EQ(types.Size(), 2u);
  const BindingProperty& state = types.Element(0);
  EXPECT_EQ(state.FindField("size")->GetUnsigned(), 4u);
  ASSERT_EQ(state.FindField("values")->Size(), 6u);
  // Enumerators in name order: "Cancelled" first.
  EXPECT_STREQ(state.FindField("values")->Element(0).FindField("name")->GetString(), "Cancelled");
  EXPECT_EQ(state.FindField("values")->Element(0).FindField("value")->GetSigned(), 3);
  EXPECT_EQ(state.FindField("fields")->Size(), 0u);
  EXPECT_STREQ(types.Element(1).FindField("description")->GetString(), "A clip.");

  const BindingProperty& events = *help.property.FindField("events");
  ASSERT_EQ(events.Size(), 1u);
  EXPECT_STREQ(events.Element(0).FindField("type")->FindField("type")->GetString(),
               "BindingCallbackEvent");
}

TEST_F(BindingHelpTest, FullFieldRecords) {
  const BindingHelpProvider::FullTypeHelp failure =
      BindingHelpProvider::FullTypeOf(*registry.FindType<BindingAsyncFailureEvent>());
  ASSERT_EQ(failure.fields.size(), 2u);
  EXPECT_EQ(failure.fields[1].name, "error");
  EXPECT_EQ(failure.fields[1].offset, offsetof(BindingAsyncFailureEvent, error));
  EXPECT_EQ(failure.fields[1].type.type, "string");
  EXPECT_EQ(failure.size, sizeof(BindingAsyncFailureEvent));
  EXPECT_TRUE(failure.values.empty());
}

TEST_F(BindingHelpTest, EpytextApiHelp) {
  BindingResult help = BindingHelpProvider::ApiHelp(registry, {function},
                                                    {registry.FindType("BindingAsyncCancelEvent")},
                                                    {}, BindingHelpProvider::Epytext);
  ASSERT_TRUE(help.success) << help.ErrorText();
  EXPECT_EQ(help.property.FindField("functions")->FindField("PutHighlight")->GetStringView(),
            EpytextFunction(*function));
  EXPECT_STREQ(help.property.FindField("types")->FindField("BindingAsyncCancelEvent")->GetString(),
               "Represents a cancelled asynchronous operation.\r\n\r\n"
               "@ivar asyncToken: Asynchronous operation token\r\n"
               "@type asyncToken: uint32\r\n"
               "@tags: $builtin,async\r\n");
  const BindingProperty* events = help.property.FindField("events");
  ASSERT_NE(events, nullptr);
  EXPECT_EQ(events->kind(), PropertyKind::Structure);
  EXPECT_EQ(events->Size(), 0u);
}

TEST_F(BindingHelpTest, FailuresAreReported) {
  BindingResult unknown = BindingHelpProvider::ApiHelp(registry, {}, {}, {}, 3);
  EXPECT_FALSE(unknown.success);
  EXPECT_STREQ(unknown.ErrorText(), "Unknown help format 3");

  // Full help needs the help types in the registry it converts with.
  BindingRegistry bare;
  BindingResult full =
      BindingHelpProvider::ApiHelp(bare, {function}, {}, {}, BindingHelpProvider::Full);
  EXPECT_FALSE(full.success);
  EXPECT_STRNE(full.ErrorText(), "");
}

}  // namespace
}  // namespace Corvan

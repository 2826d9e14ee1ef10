#include "routing/QueryString.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace Corvan {
namespace {

using namespace std::string_literals;

TEST(QueryString, QueryTextIsWhatFollowsTheFirstMark) {
  EXPECT_EQ(QueryTextOfPath("/a?b=1?c"), "b=1?c");
  EXPECT_EQ(QueryTextOfPath("/a?"), "");
  EXPECT_EQ(QueryTextOfPath("/a"), "");
  EXPECT_EQ(QueryTextOfPath(nullptr), "");
}

TEST(QueryString, DecodesComponents) {
  struct Case {
    const char* input;
    std::string expected;
  };
  const Case cases[] = {
      {"a+b", "a b"},
      {"%41%62", "Ab"},
      {"%2b", "+"},
      {"%00x", "\0x"s},
      {"%ff", "\xff"},
      // A character that is no digit counts 16 and is OR-ed in: 0x40 | 0x10.
      {"%4G", "P"},
      {"%5G", "P"},
      // 16 << 4 leaves nothing once truncated to a byte.
      {"%G4", "\x04"},
      {"%%%", "\x10"s},
      // Too close to the end: the "%" goes, what follows stays.
      {"ab%4", "ab4"},
      {"ab%", "ab"},
      {"%", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.input);
    EXPECT_EQ(DecodeQueryComponent(c.input), c.expected);
  }
}

TEST(QueryString, SplitsPiecesAndKeepsTheLastValue) {
  struct Case {
    const char* query;
    QueryParameters expected;
  };
  const Case cases[] = {
      {"a=1&b=2", {{"a", "1"}, {"b", "2"}}},
      {"a=1&", {{"a", "1"}, {"", ""}}},
      {"&", {{"", ""}}},
      {"", {{"", ""}}},
      {"flag", {{"flag", ""}}},
      {"a=1&a=2&a", {{"a", ""}}},
      {"a=b=c", {{"a", "b=c"}}},
      {"=v", {{"", "v"}}},
      {"n%61me+x=v%26w", {{"name x", "v&w"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.query);
    EXPECT_EQ(ParseQueryString(c.query), c.expected);
  }
}

}  // namespace
}  // namespace Corvan

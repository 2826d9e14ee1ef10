#include "binding/readers/MessagePackReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/TreeText.h"

namespace Corvan {
namespace {

using Bytes = std::vector<std::uint8_t>;

// A tree as text: nil empty, "a" strings, floats as %g.
std::string Render(const BindingProperty& value) { return TreeText(value, {"nil", '"', "f%g"}); }

MessagePackReadResult Read(const Bytes& bytes) { return ReadMessagePack(bytes.data(), bytes.size()); }

struct ValueCase {
  const char* name;
  Bytes input;
  const char* expected;
  std::size_t consumed;
};

void CheckValues(const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MessagePackReadResult read = Read(c.input);
    EXPECT_TRUE(read.result.success) << read.result.ErrorText();
    EXPECT_EQ(Render(read.result.property), c.expected);
    EXPECT_EQ(read.consumed, c.consumed);
  }
}

struct ErrorCase {
  const char* name;
  Bytes input;
  const char* message;
};

void CheckErrors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const MessagePackReadResult read = Read(c.input);
    EXPECT_FALSE(read.result.success);
    EXPECT_STREQ(read.result.ErrorText(), c.message);
  }
}

TEST(MessagePackReader, ScalarsKeepTheirKinds) {
  CheckValues({
      // Fixints are signed; only the uint forms give unsigned values.
      {"positive fixint", {0x7f}, "s127", 1},
      {"negative fixint", {0xe0}, "s-32", 1},
      {"uint 8", {0xcc, 0xff}, "u255", 2},
      {"uint 16", {0xcd, 0x12, 0x34}, "u4660", 3},
      {"uint 32", {0xce, 0xff, 0xff, 0xff, 0xff}, "u4294967295", 5},
      {"uint 64", {0xcf, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff}, "u18446744073709551615", 9},
      // The int forms sign-extend from their own width.
      {"int 8", {0xd0, 0x80}, "s-128", 2},
      {"int 16", {0xd1, 0xff, 0xfe}, "s-2", 3},
      {"int 32", {0xd2, 0x80, 0x00, 0x00, 0x00}, "s-2147483648", 5},
      {"int 64", {0xd3, 0x80, 0, 0, 0, 0, 0, 0, 0}, "s-9223372036854775808", 9},
      {"float 32", {0xca, 0x3f, 0xc0, 0x00, 0x00}, "f1.5", 5},
      {"float 64", {0xcb, 0xc0, 0x04, 0, 0, 0, 0, 0, 0}, "f-2.5", 9},
      {"nil", {0xc0}, "nil", 1},
      {"false", {0xc2}, "false", 1},
      {"true", {0xc3}, "true", 1},
      {"fixstr", {0xa3, 'a', 'b', 'c'}, "\"abc\"", 4},
      {"empty fixstr", {0xa0}, "\"\"", 1},
      {"str 8", {0xd9, 0x02, 'h', 'i'}, "\"hi\"", 4},
      {"str 16", {0xda, 0x00, 0x01, 'x'}, "\"x\"", 4},
      {"bin 8", {0xc4, 0x02, 0x00, 0xff}, "bin(00ff)", 4},
      {"bin 32", {0xc6, 0, 0, 0, 0}, "bin()", 5},
      {"empty input", {}, "nil", 0},
  });
}

TEST(MessagePackReader, Containers) {
  CheckValues({
      {"fixarray", {0x93, 0x01, 0xff, 0xc0}, "[s1,s-1,nil]", 4},
      {"fixmap", {0x81, 0xa1, 'a', 0xcc, 0xff}, "{a:u255}", 5},
      {"array 16", {0xdc, 0x00, 0x02, 0xc3, 0xc2}, "[true,false]", 5},
      {"map 16", {0xde, 0x00, 0x01, 0xa1, 'k', 0xa1, 'v'}, "{k:\"v\"}", 7},
      {"map 32", {0xdf, 0, 0, 0, 1, 0xa1, 'k', 0x90}, "{k:[]}", 8},
      {"empty map", {0x80}, "{}", 1},
      {"nested", {0x92, 0x81, 0xa1, 'a', 0x91, 0x01, 0x90}, "[{a:[s1]},[]]", 7},
      {"keys ordered by bytes", {0x82, 0xa1, 'b', 0x01, 0xa1, 'a', 0x02}, "{a:s2,b:s1}", 7},
      {"records with the same and other keys",
       {0x93, 0x82, 0xa1, 'b', 0x01, 0xa1, 'a', 0x02, 0x82, 0xa1, 'b', 0x03, 0xa1, 'a', 0x04,
        0x82, 0xa1, 'b', 0x05, 0xa1, 'c', 0x06},
       "[{a:s2,b:s1},{a:s4,b:s3},{b:s5,c:s6}]", 22},
  });
}

TEST(MessagePackReader, StopsAfterTheFirstValue) {
  CheckValues({
      {"two fixints", {0x01, 0x02}, "s1", 1},
      {"array then garbage", {0x91, 0x01, 0xc1, 0xc1}, "[s1]", 2},
  });
}

TEST(MessagePackReader, InputEndingBetweenItemsKeepsWhatWasRead) {
  CheckValues({
      {"array of 2 with one element", {0x92, 0x01}, "[s1]", 2},
      {"map ends after a key", {0x82, 0xa1, 'a', 0x01, 0xa1, 'b'}, "{a:s1}", 6},
      {"nested end", {0x92, 0x92, 0x01}, "[[s1]]", 3},
      {"array 16 of fix arrays", {0xdc, 0x00, 0x02, 0x93, 0x01}, "[[s1]]", 5},
  });
}

TEST(MessagePackReader, RepeatedKeysWriteIntoTheSameField) {
  CheckValues({
      {"later scalar wins", {0x82, 0xa1, 'a', 0x01, 0xa1, 'a', 0x02}, "{a:s2}", 7},
      {"scalar replaces a map", {0x82, 0xa1, 'a', 0x81, 0xa1, 'x', 0x01, 0xa1, 'a', 0xc3}, "{a:true}", 10},
      {"map adds its entries",
       {0x82, 0xa1, 'a', 0x81, 0xa1, 'x', 0x01, 0xa1, 'a', 0x81, 0xa1, 'y', 0x02},
       "{a:{x:s1,y:s2}}",
       13},
      {"array writes from index 0",
       {0x82, 0xa1, 'a', 0x93, 0x01, 0x02, 0x03, 0xa1, 'a', 0x91, 0x09},
       "{a:[s9,s2,s3]}",
       11},
      {"array over an array of maps",
       {0x82, 0xa1, 'a', 0x91, 0x81, 0xa1, 'x', 0x01, 0xa1, 'a', 0x91, 0x81, 0xa1, 'y', 0x02},
       "{a:[{x:s1,y:s2}]}",
       15},
  });
}

TEST(MessagePackReader, MalformedInputReportsPositions) {
  CheckErrors({
      {"never used", {0xc1}, "Invalid MessagePack data at position 1."},
      {"ext 8", {0xc7, 0x01, 0x01, 0x00}, "Invalid MessagePack data at position 1."},
      {"fixext 1 in an array", {0x92, 0x01, 0xd4, 0x01, 0x00}, "Invalid MessagePack data at position 3."},
      {"integer key", {0x81, 0x01, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
      {"map key", {0x81, 0x80, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
      {"bin key", {0x81, 0xc4, 0x00, 0x02}, "Invalid MessagePack data at position 2. Map keys must be strings."},
      {"uint 8", {0xcc}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
      {"int 16", {0xd1, 0x01}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {"uint 32", {0xce, 0x00, 0x01}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {"int 64", {0xd3, 0, 0, 0, 0, 0, 0, 0}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
      {"float 32", {0x91, 0xca, 0, 0}, "Invalid MessagePack data. 32-bit integer value at position 2 is truncated."},
      {"float 64", {0xcb}, "Invalid MessagePack data. 64-bit integer value at position 1 is truncated."},
      {"str 8 length", {0xd9}, "Invalid MessagePack data. 8-bit integer value at position 1 is truncated."},
      {"map 16 count", {0xde, 0x00}, "Invalid MessagePack data. 16-bit integer value at position 1 is truncated."},
      {"array 32 count", {0xdd, 0, 0}, "Invalid MessagePack data. 32-bit integer value at position 1 is truncated."},
      {"str 8 bytes", {0xd9, 0x05, 'a', 'b'}, "Invalid MessagePack data. String of size 5 at position 2 is truncated."},
      {"fixstr bytes", {0xa2, 'a'}, "Invalid MessagePack data. String of size 2 at position 1 is truncated."},
      {"key bytes", {0x81, 0xa5, 'a'}, "Invalid MessagePack data. String of size 5 at position 2 is truncated."},
      {"str 32 huge", {0xdb, 0xff, 0xff, 0xff, 0xff}, "Invalid MessagePack data. String of size 4294967295 at position 5 is truncated."},
      {"bin 8 bytes", {0xc4, 0x03, 0x00}, "Invalid MessagePack data. Raw bytes of size 3 at position 2 are truncated."},
      {"bin 32 huge", {0xc6, 0xff, 0xff, 0xff, 0xff}, "Invalid MessagePack data. Raw bytes of size 4294967295 at position 5 are truncated."},
  });
}

TEST(MessagePackReader, ContainersTheInputEndsInsideKeepWhatWasRead) {
  // An outer count over the budget leaves the inner array nothing to reserve;
  // it still holds all its elements.
  Bytes nested = {0xdc, 0x00, 0x64, 0xdc, 0x00, 0x64};
  nested.insert(nested.end(), 100, 0x01);
  std::string hundred = "[[";
  for (int i = 0; i < 100; ++i) hundred += i == 0 ? "s1" : ",s1";
  hundred += "]]";
  CheckValues({
      {"array 16 one short", {0xdc, 0x00, 0x02, 0x01}, "[s1]", 4},
      {"array 32 of 4294967295", {0xdd, 0xff, 0xff, 0xff, 0xff, 0x01, 0x02}, "[s1,s2]", 7},
      {"empty array 32 of 4294967295", {0xdd, 0xff, 0xff, 0xff, 0xff}, "[]", 5},
      {"map 32 of 4294967295", {0xdf, 0xff, 0xff, 0xff, 0xff, 0xa1, 'a', 0x01}, "{a:s1}", 8},
      // A key without its value leaves no field.
      {"map 16 ends after a key", {0xde, 0x00, 0x01, 0xa1, 'a'}, "{}", 5},
      {"map 16 that fits exactly", {0xde, 0x00, 0x01, 0xa0, 0xc0}, "{:nil}", 5},
      {"inner array complete, outer short", {0x9f, 0xdc, 0x00, 0x01, 0x01}, "[[s1]]", 5},
      {"nested counts over the budget", nested, hundred.c_str(), nested.size()},
  });
}

TEST(MessagePackReader, NestingIsLimited) {
  Bytes deepest(kMaxTreeDepth, 0x91);
  deepest.push_back(0x01);
  const MessagePackReadResult read = Read(deepest);
  EXPECT_TRUE(read.result.success) << read.result.ErrorText();
  EXPECT_EQ(read.consumed, deepest.size());

  Bytes tooDeep(kMaxTreeDepth + 1, 0x91);
  tooDeep.push_back(0x01);
  // 20,000 nested "dc ff ff" declare far more than the 60 KB hold; like
  // counts that fit, the nesting limit stops them.
  Bytes hugeCounts, smallCounts;
  for (int i = 0; i < 20000; ++i) hugeCounts.insert(hugeCounts.end(), {0xdc, 0xff, 0xff});
  for (int i = 0; i < 20000; ++i) smallCounts.insert(smallCounts.end(), {0xdc, 0x00, 0x01});
  CheckErrors({
      {"513 fixarrays", tooDeep, "Invalid MessagePack data at position 513. Nesting is deeper than 512 levels."},
      {"nested dc ff ff", hugeCounts, "Invalid MessagePack data at position 1537. Nesting is deeper than 512 levels."},
      {"nested dc 00 01", smallCounts, "Invalid MessagePack data at position 1537. Nesting is deeper than 512 levels."},
  });
}

TEST(MessagePackReader, ReadsOnlyTheGivenBytes) {
  // The bytes after the given size would complete the value; they are not read.
  const Bytes bytes = {0xa3, 'a', 'b', 'c'};
  const MessagePackReadResult read = ReadMessagePack(bytes.data(), 3);
  EXPECT_STREQ(read.result.ErrorText(), "Invalid MessagePack data. String of size 3 at position 1 is truncated.");

  const MessagePackReadResult empty = ReadMessagePack(nullptr, 0);
  EXPECT_TRUE(empty.result.success);
  EXPECT_TRUE(empty.result.property.IsEmpty());
  EXPECT_EQ(empty.consumed, 0u);
}

TEST(MessagePackReader, StringsKeepArbitraryBytes) {
  // Ill-formed UTF-8 is kept as it is; the tree's texts end at a zero byte.
  CheckValues({
      {"ill-formed UTF-8", {0xa2, 0xc3, 0x28}, "\"\xc3(\"", 3},
      {"embedded zero", {0xa3, 'a', 0x00, 'b'}, "\"a\"", 4},
      {"zero in a blob", {0xc4, 0x03, 'a', 0x00, 'b'}, "bin(610062)", 5},
  });
}

}  // namespace
}  // namespace Corvan

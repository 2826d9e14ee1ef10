#include "binding/readers/JsonReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "support/TreeText.h"

namespace Corvan {
namespace {

using namespace std::string_view_literals;

// A tree as text: nil empty, "a" strings, floats with 17 digits.
std::string Render(const BindingProperty& value) { return TreeText(value, {"nil", '"', "f%.17g"}); }

// Reads a copy of the text in a heap block of exactly its length, so that
// AddressSanitizer reports any read past the length.
BindingResult ReadExact(std::string_view text) {
  std::unique_ptr<char[]> bytes(new char[text.size() == 0 ? 1 : text.size()]);
  if (!text.empty()) std::memcpy(bytes.get(), text.data(), text.size());
  return ReadJson(std::string_view(bytes.get(), text.size()));
}

struct ValueCase {
  const char* name;
  std::string_view input;
  const char* expected;
};

void CheckValues(const std::vector<ValueCase>& cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BindingResult result = ReadExact(c.input);
    EXPECT_TRUE(result.success) << result.ErrorText();
    EXPECT_EQ(Render(result.property), c.expected);
  }
}

struct ErrorCase {
  const char* name;
  std::string_view input;
  const char* message;
};

void CheckErrors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BindingResult result = ReadExact(c.input);
    EXPECT_FALSE(result.success);
    EXPECT_STREQ(result.ErrorText(), c.message);
    // The partly built tree is dropped: only the message remains.
    EXPECT_EQ(result.property.Size(), 1u);
  }
}

TEST(JsonReader, EmptyDocumentIsAnEmptySuccess) {
  CheckValues({
      {"empty text", "", "nil"},
      {"blanks", " \t\r\n  ", "nil"},
      {"blanks of the SIMD width", std::string_view("                                 "), "nil"},
      {"only a zero byte", "\0"sv, "nil"},
      {"blanks then a zero byte", "  \0[1]"sv, "nil"},
  });
}

TEST(JsonReader, Scalars) {
  CheckValues({
      {"unsigned", "5", "u5"},
      {"signed", "-5", "s-5"},
      {"minus zero is signed", "-0", "s0"},
      {"fraction is float", "5.0", "f5"},
      {"exponent is float", "1e2", "f100"},
      {"signed exponent", "1.5E+3", "f1500"},
      {"negative float", "-0.25", "f-0.25"},
      {"largest 32-bit unsigned", "4294967295", "u4294967295"},
      {"64-bit unsigned", "4294967296", "u4294967296"},
      {"largest unsigned", "18446744073709551615", "u18446744073709551615"},
      {"past 64 bits is float", "18446744073709551616", "f1.8446744073709552e+19"},
      {"smallest 32-bit signed", "-2147483648", "s-2147483648"},
      {"64-bit signed", "-2147483649", "s-2147483649"},
      {"smallest signed", "-9223372036854775808", "s-9223372036854775808"},
      {"below the smallest signed is float", "-9223372036854775809", "f-9.2233720368547758e+18"},
      {"true", "true", "true"},
      {"false", "false", "false"},
      {"null", "null", "nil"},
      {"string", R"("clip")", R"("clip")"},
      {"empty string", R"("")", R"("")"},
      {"escapes", R"("a\"b\\c\/d\n\u00e9\ud83d\ude00")", "\"a\"b\\c/d\n\xc3\xa9\xf0\x9f\x98\x80\""},
      {"a string ends at an escaped zero", R"("ab\u0000cd")", R"("ab")"},
      {"white space around the root", " \r\n\t7 \n", "u7"},
      // Strings longer than 16 bytes are scanned 16 bytes at a time.
      {"long string", R"("0123456789abcdefghijklmnopqrstuvwxyz")",
       R"("0123456789abcdefghijklmnopqrstuvwxyz")"},
      {"escape past 16 bytes", R"("0123456789abcdefghij\tklmnopqrstuvwxyz\"")",
       "\"0123456789abcdefghij\tklmnopqrstuvwxyz\"\""},
      {"quote at byte 16", R"(["0123456789abcde",1])", R"(["0123456789abcde",u1])"},
  });
}

TEST(JsonReader, ArraysAndObjects) {
  CheckValues({
      {"array of 1 and null", "[1,null]", "[u1,nil]"},
      {"empty array", "[]", "[]"},
      {"empty object", "{}", "{}"},
      {"object", R"({"name":"clip","id":7})", R"({id:u7,name:"clip"})"},
      {"nesting", R"([[],[{"a":[true,{}]}],-1])", "[[],[{a:[true,{}]}],s-1]"},
      {"white space everywhere", " [ 1 ,\n\t{ \"a\" : 2 } ] ", "[u1,{a:u2}]"},
      {"escaped key", R"({"\u0061b":1})", "{ab:u1}"},
  });
}

TEST(JsonReader, RepeatedKeys) {
  CheckValues({
      {"later number replaces", R"({"a":1,"a":2})", "{a:u2}"},
      {"later null replaces", R"({"a":1,"a":null})", "{a:nil}"},
      {"later scalar replaces an array", R"({"a":[1],"a":"x"})", R"({a:"x"})"},
      {"later object adds its members", R"({"a":{"x":1,"y":1},"a":{"y":2,"z":2}})",
       "{a:{x:u1,y:u2,z:u2}}"},
      {"later array appends", R"({"a":[1,2],"a":[3]})", "{a:[u1,u2,u3]}"},
      {"array after a scalar", R"({"a":1,"a":[2]})", "{a:[u2]}"},
      {"object after an array", R"({"a":[1],"a":{"b":2}})", "{a:{b:u2}}"},
      {"repeated key inside array elements", R"([{"a":1,"a":2},{"a":3}])", "[{a:u2},{a:u3}]"},
  });
}

TEST(JsonReader, ReadsUpToTheLengthOrTheFirstZeroByte) {
  CheckValues({
      {"stops at a zero byte", "1\0 2"sv, "u1"},
      {"zero byte after an array", "[1]\0garbage"sv, "[u1]"},
      {"no terminator after a number", "12", "u12"},
      {"no terminator after a literal", "true", "true"},
      {"no terminator after blanks", "[1]                    ", "[u1]"},
  });
  // A view of part of a longer text reads only its part.
  const std::string text = "[1,2]]]";
  EXPECT_EQ(Render(ReadJson(std::string_view(text).substr(0, 5)).property), "[u1,u2]");
  const std::string open = "[1,2]";
  EXPECT_STREQ(ReadJson(std::string_view(open).substr(0, 4)).ErrorText(),
               "Error: Missing a comma or ']' after an array element. at offset 4.");
}

TEST(JsonReader, SyntaxErrorsUseRapidJsonTexts) {
  CheckErrors({
      // RapidJSON's text for two roots, as Debian's 1.1.0 spells it.
      {"two root values", "1 2",
       "Error: The document root must not be followed by other values. at offset 2."},
      {"missing closing quote", R"(["abc)",
       "Error: Missing a closing quotation mark in string. at offset 5."},
      {"missing quote at the length", R"("abc)",
       "Error: Missing a closing quotation mark in string. at offset 4."},
      {"zero byte inside a string", "\"ab\0cd\""sv,
       "Error: Missing a closing quotation mark in string. at offset 3."},
      {"trailing comma in array", "[1,]", "Error: Invalid value. at offset 3."},
      {"trailing comma in object", R"({"a":1,})",
       "Error: Missing a name for object member. at offset 7."},
      {"comment", "// note\n1", "Error: Invalid value. at offset 0."},
      {"NaN", "NaN", "Error: Invalid value. at offset 0."},
      {"Infinity", "[Infinity]", "Error: Invalid value. at offset 1."},
      {"single quotes", "['a']", "Error: Invalid value. at offset 1."},
      {"truncated literal", "tru", "Error: Invalid value. at offset 3."},
      {"missing colon", R"({"a" 1})",
       "Error: Missing a colon after a name of object member. at offset 5."},
      {"number as key", "{1:2}", "Error: Missing a name for object member. at offset 1."},
      {"missing comma in array", "[1 2]",
       "Error: Missing a comma or ']' after an array element. at offset 3."},
      {"unclosed array", "[1",
       "Error: Missing a comma or ']' after an array element. at offset 2."},
      {"missing comma in object", R"({"a":1 "b":2})",
       "Error: Missing a comma or '}' after an object member. at offset 7."},
      {"unclosed object", R"({"a":1)",
       "Error: Missing a comma or '}' after an object member. at offset 6."},
      {"number too big", "1e400", "Error: Number too big to be stored in double. at offset 0."},
      {"missing fraction", "1.", "Error: Miss fraction part in number. at offset 2."},
      {"missing exponent", "1e", "Error: Miss exponent in number. at offset 2."},
      {"leading plus", "+1", "Error: Invalid value. at offset 0."},
      {"invalid escape", R"("\x")", "Error: Invalid escape character in string. at offset 1."},
      {"bad unicode escape", R"("\u12g4")",
       "Error: Incorrect hex digit after \\u escape in string. at offset 1."},
      {"lone surrogate", R"("\ud800x")",
       "Error: The surrogate pair in string is invalid. at offset 1."},
      {"control character in string", "\"a\x01\"",
       "Error: Invalid escape character in string. at offset 2."},
      {"long string cut by the length", R"("0123456789abcdefghijklmnopqrstuvwxyz)",
       "Error: Missing a closing quotation mark in string. at offset 37."},
      {"zero byte past 16 bytes", "\"0123456789abcdefghij\0\""sv,
       "Error: Missing a closing quotation mark in string. at offset 21."},
      {"control character past 16 bytes", "\"0123456789abcdefghij\n\"",
       "Error: Invalid escape character in string. at offset 21."},
      // 0x1A..0x1F are control characters too, however far into the string.
      {"unit separator in a short string", "\"a\x1f\"",
       "Error: Invalid escape character in string. at offset 2."},
      {"unit separator past 16 bytes", "\"0123456789abcdefghij\x1f" "0123456789abcdefghij\"",
       "Error: Invalid escape character in string. at offset 21."},
      {"substitute past 16 bytes", "\"0123456789abcdefghij\x1a" "0123456789abcdefghij\"",
       "Error: Invalid escape character in string. at offset 21."},
      {"byte order mark",
       "\xef\xbb\xbf"
       "1",
       "Error: Invalid value. at offset 0."},
  });
}

TEST(JsonReader, NestingLimit) {
  // 512 open containers read; the 513th is refused where it starts.
  const std::string deepest = std::string(512, '[') + std::string(512, ']');
  const BindingResult read = ReadJson(deepest);
  EXPECT_TRUE(read.success) << read.ErrorText();
  const BindingProperty* inner = &read.property;
  std::size_t depth = 0;
  while (inner->kind() == PropertyKind::Collection && inner->Size() == 1)
    inner = &inner->Element(0), ++depth;
  EXPECT_EQ(depth, 511u);
  EXPECT_EQ(inner->kind(), PropertyKind::Collection);

  std::string objects;
  for (int i = 0; i < 513; ++i) objects += R"({"a":)";
  CheckErrors({
      {"513 arrays", std::string(513, '[') + std::string(513, ']'),
       "Error: The document is nested deeper than 512 levels. at offset 513."},
      {"513 objects", objects,
       "Error: The document is nested deeper than 512 levels. at offset 2561."},
      {"far deeper, unclosed", std::string(100000, '['),
       "Error: The document is nested deeper than 512 levels. at offset 513."},
  });
}

TEST(JsonReader, HugeNegativeExponentsReadAsZero) {
  // RapidJSON 1.1.0 overflows an int on these; the reader caps them first.
  CheckValues({
      {"ten fraction digits", "[1.00000000000000e-2147483639]", "[f0]"},
      {"negative mantissa", "-1.0000000000E-2147483639", "f-0"},
      {"at the cap", "1e-214748364", "f0"},
      {"far past int", "1e-99999999999999999999", "f0"},
      {"leading zeros keep small exponents", "1e-0000000000001", "f0.10000000000000001"},
      {"inside strings the text stays", R"(["1.0000000000e-2147483639"])",
       R"(["1.0000000000e-2147483639"])"},
      {"string then number", R"(["x\"e-2147483639", 1.5e-2147483639, {"k":-2e-3000000000}])",
       R"(["x"e-2147483639",f0,{k:f-0}])"},
      {"escaped backslash ends before the quote", R"(["\\", 1.0000000000e-2147483639])",
       R"(["\",f0])"},
  });
  CheckErrors({
      {"offsets stay", "[1e-2147483639 x]",
       "Error: Missing a comma or ']' after an array element. at offset 15."},
  });
}

// Records that repeat the keys of the one before take each field where it
// went there; these cases break the repetition at every point it can break.
TEST(JsonReader, RecordsThatRepeatOrChangeTheirKeys) {
  std::string manyKeys = "{";
  for (char c = 'a'; c <= 'r'; ++c) manyKeys += std::string(c == 'a' ? "" : ",") + '"' + c + "\":1";
  manyKeys += "}";
  const std::string manyRendered = "{a:u1,b:u1,c:u1,d:u1,e:u1,f:u1,g:u1,h:u1,i:u1,j:u1,k:u1,l:u1,"
                                   "m:u1,n:u1,o:u1,p:u1,q:u1,r:u1}";
  const std::string manyTwice = "[" + manyKeys + "," + manyKeys + "]";
  const std::string manyTwiceRendered = "[" + manyRendered + "," + manyRendered + "]";
  CheckValues({
      {"same keys", R"([{"b":1,"a":2},{"b":3,"a":4},{"b":5,"a":6}])",
       "[{a:u2,b:u1},{a:u4,b:u3},{a:u6,b:u5}]"},
      {"a key fewer", R"([{"b":1,"a":2,"c":3},{"b":4,"a":5},{"b":6,"a":7,"c":8}])",
       "[{a:u2,b:u1,c:u3},{a:u5,b:u4},{a:u7,b:u6,c:u8}]"},
      {"a key more", R"([{"b":1},{"b":2,"a":3},{"b":4}])", "[{b:u1},{a:u3,b:u2},{b:u4}]"},
      {"another key between", R"([{"c":1,"a":2},{"c":3,"b":4,"a":5},{"c":6,"a":7}])",
       "[{a:u2,c:u1},{a:u5,b:u4,c:u3},{a:u7,c:u6}]"},
      {"other order", R"([{"a":1,"b":2},{"b":3,"a":4}])", "[{a:u1,b:u2},{a:u4,b:u3}]"},
      {"a key repeated in each", R"([{"b":1,"a":2,"b":3},{"b":4,"a":5,"b":6}])",
       "[{a:u2,b:u3},{a:u5,b:u6}]"},
      {"nested records", R"([{"m":{"y":1,"x":2}},{"m":{"y":3,"x":4}}])",
       "[{m:{x:u2,y:u1}},{m:{x:u4,y:u3}}]"},
      {"a record merged into an earlier one", R"({"r":{"b":1,"a":2},"r":{"b":3,"c":4}})",
       "{r:{a:u2,b:u3,c:u4}}"},
      // The keys of the replaced record are freed before the next record
      // brings the same keys.
      {"a replaced record's keys", R"({"r":{"k1":1,"k2":2},"r":0,"s":{"k1":"abc","k2":4}})",
       R"({r:u0,s:{k1:"abc",k2:u4}})"},
      {"more keys than are remembered", manyTwice, manyTwiceRendered.c_str()},
  });
}

TEST(JsonReader, ReadsAListOfRecords) {
  std::string text = "[";
  for (int i = 0; i < 1000; ++i) {
    text += (i > 0 ? "," : "") + std::string(R"({"id":)") + std::to_string(i + 1) +
            R"(,"name":"Highlight )" + std::to_string(i) + R"(","fileSizeBytes":)" +
            std::to_string(4000000 + i) + "}";
  }
  text += "]";
  const BindingResult result = ReadJson(text);
  ASSERT_TRUE(result.success) << result.ErrorText();
  ASSERT_EQ(result.property.Size(), 1000u);
  EXPECT_EQ(Render(result.property.Element(999)),
            R"({fileSizeBytes:u4000999,id:u1000,name:"Highlight 999"})");
}

}  // namespace
}  // namespace Corvan

#include "binding/readers/YamlReader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "support/TreeText.h"

namespace Corvan {
namespace {

// A tree as text: ~ empty, 'a' strings, floats as %g.
std::string Render(const BindingProperty& value) { return TreeText(value, {"~", '\'', "f%g"}); }

struct ValueCase {
  const char* name;
  const char* text;
  const char* expected;
};

void ExpectValues(std::initializer_list<ValueCase> cases) {
  for (const ValueCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BindingResult result = ReadYaml(c.text);
    EXPECT_TRUE(result.success) << result.ErrorText();
    EXPECT_EQ(Render(result.property), c.expected);
  }
}

struct ErrorCase {
  const char* name;
  std::string text;
  std::string message;
};

void ExpectErrors(const std::vector<ErrorCase>& cases) {
  for (const ErrorCase& c : cases) {
    SCOPED_TRACE(c.name);
    const BindingResult result = ReadYaml(c.text);
    EXPECT_FALSE(result.success);
    EXPECT_EQ(result.ErrorText(), c.message);
  }
}

std::string Repeat(const std::string& piece, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) text += piece;
  return text;
}

TEST(YamlReader, ResolvesUntaggedScalarsInOrder) {
  ExpectValues({
      {"empty text", "", "~"},
      {"plain integer", "a: 1", "{a:u1}"},
      {"negative integer", "a: -1", "{a:s-1}"},
      {"fraction", "a: 1.5", "{a:f1.5}"},
      {"quoted number stays a string", "a: '1'", "{a:'1'}"},
      {"double-quoted word stays a string", "a: \"yes\"", "{a:'yes'}"},
      {"escaped zero byte ends a text", "a: \"ab\\0cd\"", "{a:'ab'}"},
      {"true word", "a: yes", "{a:true}"},
      {"false word", "a: OFF", "{a:false}"},
      {"single-letter words", "[y, N]", "[true,false]"},
      {"null words", "[~, null, NULL, ]", "[~,~,~]"},
      {"missing value", "a:", "{a:~}"},
      {"mixed-case words are strings", "[nULL, tRUE, yEs]", "['nULL','tRUE','yEs']"},
      {"integral exponent is unsigned", "a: 1e3", "{a:u1000}"},
      {"integral fraction is unsigned", "a: 2.0", "{a:u2}"},
      {"hexadecimal", "a: 0x1F", "{a:u31}"},
      {"minus zero", "a: -0", "{a:u0}"},
      {"largest unsigned is exact", "a: 18446744073709551615", "{a:u18446744073709551615}"},
      {"past 2^53 is exact", "a: 9007199254740993", "{a:u9007199254740993}"},
      {"smallest signed", "a: -9223372036854775808", "{a:s-9223372036854775808}"},
      {"past 64 bits is a float", "a: 18446744073709551616", "{a:f1.84467e+19}"},
      {"nineteen digits past the smallest signed", "a: -9999999999999999999", "{a:f-1e+19}"},
      {"nan is a float", "a: nan", "{a:fnan}"},
      {"infinities are strings", "[inf, -Infinity, 1e999]", "['inf','-Infinity','1e999']"},
      {"number then text", "a: 12 monkeys", "{a:'12 monkeys'}"},
      {"literal block", "a: |\n  two\n  lines\n", "{a:'two\nlines\n'}"},
      {"stripped literal number", "a: |-\n  42\n", "{a:u42}"},
      {"byte order mark",
       "\xEF\xBB\xBF"
       "a: 1",
       "{a:u1}"},
      {"document markers", "---\na: 1\n...\n", "{a:u1}"},
  });
}

TEST(YamlReader, DocumentsAfterEmptyOnesGiveTheValue) {
  ExpectValues({
      {"after a null document", "~\n--- 1", "u1"},
      {"after bare markers", "---\n---\na: 1", "{a:u1}"},
      {"explicit end, then nothing", "a: 1\n...\n", "{a:u1}"},
  });
}

TEST(YamlReader, HonoursCoreTags) {
  ExpectValues({
      {"str", "a: !!str 1", "{a:'1'}"},
      {"int", "a: !!int 7", "{a:u7}"},
      {"negative int", "a: !!int -5", "{a:s-5}"},
      {"int in hexadecimal", "a: !!int 0x10", "{a:u16}"},
      {"float", "a: !!float 2", "{a:f2}"},
      {"bool word", "a: !!bool off", "{a:false}"},
      {"bool of another text is empty", "a: !!bool maybe", "{a:~}"},
      {"str key", "!!str k: v", "{k:'v'}"},
      {"verbatim str tag", "a: !<tag:yaml.org,2002:str> 5", "{a:'5'}"},
  });
}

TEST(YamlReader, BuildsNestedCollections) {
  ExpectValues({
      {"block and flow", "- 1\n- [2, {b: c}]\n- {}\n- []", "[u1,[u2,{b:'c'}],{},[]]"},
      {"keys are ordered by bytes", "b: 1\na: 2\nB: 3", "{B:u3,a:u2,b:u1}"},
      {"numeric key is a string", "1: one", "{1:'one'}"},
      {"empty key", "'': x", "{:'x'}"},
      {"scalar root", "just text", "'just text'"},
  });
}

TEST(YamlReader, RepeatedKeysWriteIntoTheSameField) {
  ExpectValues({
      {"later scalar replaces", "a: 1\na: 2", "{a:u2}"},
      {"later mapping adds keys", "a: {x: 1}\na: {y: 2, x: 3}", "{a:{x:u3,y:u2}}"},
      {"later sequence appends", "a: [1]\na: [2, 3]", "{a:[u1,u2,u3]}"},
      {"sequence replaces mapping", "a: {x: 1}\na: [2]", "{a:[u2]}"},
      {"scalar replaces sequence", "a: [1]\na: 3", "{a:u3}"},
  });
}

TEST(YamlReader, ExpandsAliasesByCopy) {
  ExpectValues({
      {"scalar", "a: &x 1\nb: *x", "{a:u1,b:u1}"},
      {"mapping", "base: &b {k: 1, l: [2]}\nc: *b", "{base:{k:u1,l:[u2]},c:{k:u1,l:[u2]}}"},
      {"anchored key gives its text", "&k key: 1\nother: *k", "{key:u1,other:'key'}"},
      {"alias inside a sequence", "[&x a, *x, *x]", "['a','a','a']"},
      // The field m exists (empty) when the copy is taken, so the copy has it.
      {"copy into the anchored node itself", "a: &x {k: 1}\na: {m: *x}", "{a:{k:u1,m:{k:u1,m:~}}}"},
      {"copy over its own parent", "a: {b: &x 1}\na: *x", "{a:u1}"},
      {"a later key replaced the anchored path", "a: {k: &x 1}\na: 5\nb: *x", "{a:u5,b:~}"},
      {"anchor below the levels whose keys are remembered", "a: {b: {c: {d: {e: &x 1}}}}\nf: *x",
       "{a:{b:{c:{d:{e:u1}}}},f:u1}"},
      // Keys of closed containers that no anchor needs give their room to
      // later ones; those an anchor's path names stay.
      {"anchor after closed keyed containers", "p: {q: {r: 1}}\ns: {t: &x [2]}\nu: *x",
       "{p:{q:{r:u1}},s:{t:[u2]},u:[u2]}"},
      {"anchor before closed keyed containers", "a: {b: &x [1]}\nc: {d: {e: 2}}\nf: *x",
       "{a:{b:[u1]},c:{d:{e:u2}},f:[u1]}"},
  });
}

// Past a few dozen fields a structure keeps them in a tree, and an anchor's
// path still names its key.
TEST(YamlReader, AnchorInAStructureOfManyFields) {
  std::string text;
  for (int i = 99; i >= 0; --i) text += "k" + std::to_string(i) + ": 0\n";
  const BindingResult result = ReadYaml(text + "m: &x [1]\nn: *x\n");
  ASSERT_TRUE(result.success) << result.ErrorText();
  ASSERT_NE(result.property.FindField("n"), nullptr);
  EXPECT_EQ(Render(*result.property.FindField("n")), "[u1]");
}

// Collections move their elements as they grow: an anchor inside one must
// still name its node after many later siblings.
TEST(YamlReader, AnchorSurvivesGrowingCollections) {
  std::string text = "- [&x {k: [1, 2]}]\n";
  for (int i = 0; i < 100; ++i) text += "- " + std::to_string(i) + "\n";
  text += "- *x\n";
  const BindingResult result = ReadYaml(text);
  ASSERT_TRUE(result.success) << result.ErrorText();
  ASSERT_EQ(result.property.Size(), 102u);
  EXPECT_EQ(Render(result.property.Element(101)), "{k:[u1,u2]}");
}

TEST(YamlReader, ReportsSemanticErrorsWithPositions) {
  ExpectErrors({
      {"int tag on a word", "a: !!int abc",
       "Value abc for 'yaml' of type uint64_t is in an incorrect format"},
      {"int tag out of range", "a: !!int -99999999999999999999",
       "Value -99999999999999999999 for 'yaml' of type int64_t is out of range"},
      {"float tag on a word", "a: !!float x",
       "Value x for 'yaml' of type double is in an incorrect format"},
      {"other tag", "a: !!binary aGk=", "Unsupported YAML tag 'tag:yaml.org,2002:binary'."},
      {"local tag", "a: !thing 1", "Unsupported YAML tag '!thing'."},
      {"two documents", "a: 1\n---\nb: 2", "Multi-document YAML is not supported."},
      {"third after an empty second", "--- ~\n--- [1]\n--- 2", "Multi-document YAML is not supported."},
      {"null tag", "a: !!null x", "Unsupported YAML tag 'tag:yaml.org,2002:null'."},
      {"sequence key at the start", "[a]: 1", "Unexpected start of sequence. At line: 1 col: 1"},
      {"mapping key", "? {a: 1}\n: 2", "Unexpected start of mapping. At line: 1 col: 3"},
      {"cyclic alias", "&a [*a]",
       "Cannot deserialize cyclic aliases. Alias \"a\". At line: 1 col: 5"},
      {"cyclic alias deeper", "a: &x {b: [1, *x]}",
       "Cannot deserialize cyclic aliases. Alias \"x\". At line: 1 col: 15"},
      {"undefined alias", "*undefined",
       "Undefined alias encountered: \"undefined\". At line: 1 col: 1"},
      {"duplicate anchor", "a: &x 1\nb: &x 2",
       "Duplicate occurrence of anchor \"x\". At line: 2 col: 4"},
      {"tagged key", "!!int 1: a",
       "Invalid mapping key. Only string scalar keys are allowed. At line: 1 col: 1"},
      {"alias key", "a: &k 1\n*k : 2",
       "Invalid mapping key. Only string scalar keys are allowed. At line: 2 col: 1"},
  });
}

TEST(YamlReader, ReportsParserErrorsWithZeroBasedPositions) {
  ExpectErrors({
      {"value after value", "a: b: c",
       "YAML parser error: mapping values are not allowed in this context. At line: 0 col: 4"},
      {"unclosed flow sequence", "a: [1, 2",
       "YAML parser error: did not find expected ',' or ']'. At line: 1 col: 0"},
      {"unterminated quote", "key: \"open",
       "YAML parser error: found unexpected end of stream. At line: 0 col: 10"},
      {"ill-formed UTF-8", "a: 1\nb: \xff",
       "YAML parser error: invalid leading UTF-8 octet. At line: 1 col: 3"},
      {"truncated UTF-8", "a: \xc3",
       "YAML parser error: incomplete UTF-8 octet sequence. At line: 0 col: 3"},
      {"embedded zero byte", std::string("a: 1\0b", 6),
       "YAML parser error: control characters are not allowed. At line: 0 col: 4"},
      // A semantic error comes first; the syntax error after it is not read.
      {"first message wins",
       "*undefined\n: : :", "Undefined alias encountered: \"undefined\". At line: 1 col: 1"},
  });
}

TEST(YamlReader, StopsAtTheNestingLimit) {
  const std::string tooDeep = "Nesting deeper than 512 levels is not supported. At line: 1 col: ";
  ExpectErrors({
      {"513 flow sequences", Repeat("[", 513) + Repeat("]", 513), tooDeep + "513"},
      // Reading stops at level 513, so libyaml's cost that grows with the
      // square of the flow depth never builds up.
      {"40,000 flow sequences", Repeat("[", 40000), tooDeep + "513"},
      {"flow mappings", Repeat("{a: ", 600), tooDeep + "2049"},
      {"block sequences", Repeat("- ", 513) + "x", tooDeep + "1025"},
      {"alias copy past the limit",
       "a: &x " + Repeat("[", 300) + Repeat("]", 300) + "\nb: " + Repeat("[", 300) + "*x" +
           Repeat("]", 300),
       "Nesting deeper than 512 levels is not supported. At line: 2 col: 304"},
  });
  const BindingResult deepest = ReadYaml(Repeat("[", 512) + Repeat("]", 512));
  EXPECT_TRUE(deepest.success) << deepest.ErrorText();
}

// Nine levels of nine aliases would make 9^9 values; the budget stops it.
TEST(YamlReader, BoundsAliasExpansion) {
  std::string text = "a0: &a0 [x, x, x, x, x, x, x, x, x]\n";
  for (int level = 1; level <= 9; ++level) {
    const std::string previous = "*a" + std::to_string(level - 1);
    text += "a" + std::to_string(level) + ": &a" + std::to_string(level) + " [" + previous;
    for (int i = 1; i < 9; ++i) text += ", " + previous;
    text += "]\n";
  }
  const BindingResult result = ReadYaml(text);
  EXPECT_FALSE(result.success);
  EXPECT_EQ(std::string(result.ErrorText()).rfind("Alias expansion exceeds 66", 0), 0u)
      << result.ErrorText();

  // A node repeated a few times stays well inside the budget.
  const BindingResult modest =
      ReadYaml(std::string("base: &b {x: [1, 2, 3]}\n") + "c: [*b, *b, *b, *b, *b, *b, *b, *b]");
  EXPECT_TRUE(modest.success) << modest.ErrorText();
}

TEST(YamlReader, ReadsExactlyTheGivenBytes) {
  // A heap copy without terminator lets the address sanitizer see any read
  // past the end.
  const std::string source = "a: 1\nb: [2, text]";
  const std::vector<char> bytes(source.begin(), source.end());
  const BindingResult whole = ReadYaml(std::string_view(bytes.data(), bytes.size()));
  EXPECT_EQ(Render(whole.property), "{a:u1,b:[u2,'text']}");

  const BindingResult prefix = ReadYaml(std::string_view(bytes.data(), 4));
  EXPECT_EQ(Render(prefix.property), "{a:u1}");

  const BindingResult none = ReadYaml(std::string_view());
  EXPECT_TRUE(none.success);
  EXPECT_TRUE(none.property.IsEmpty());
}

// A thread keeps its parser between reads: whatever a read leaves in it (tag
// directives, an error, a stream stopped early, buffers refilled many times)
// must not change the next read, which gives what a new thread gives.
TEST(YamlReader, ReadsAfterAnyEarlierReadAsAfresh) {
  struct Case {
    const char* name;
    std::string earlier, later;
  };
  const std::vector<Case> cases = {
      {"clean read", "a: b", "[1, {c: d}]"},
      {"tag directive", "%TAG !e! tag:yaml.org,2002:\n--- !e!str 5\n", "!e!str 5"},
      {"parser error", "a: [1, 2", "a: 1"},
      {"stopped by the reader", "1\n---\n2\n", "a: b"},
      {"long text", Repeat("- abc\n", 20000), "x"},
  };
  const auto outcome = [](const std::string& text) {
    const BindingResult result = ReadYaml(text);
    return result.success ? Render(result.property) : std::string("error: ") + result.ErrorText();
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string fresh, reused;
    std::thread([&] { fresh = outcome(c.later); }).join();
    std::thread([&] { (void)outcome(c.earlier), reused = outcome(c.later); }).join();
    EXPECT_EQ(reused, fresh);
  }
}

}  // namespace
}  // namespace Corvan

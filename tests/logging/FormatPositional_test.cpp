#include "logging/FormatPositional.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace Corvan {
namespace {

struct Case {
  const char* name;
  const char* format;
  std::vector<FormatArgument> arguments;
  const char* expected;
};

std::string Format(const char* format, const std::vector<FormatArgument>& arguments,
                   std::size_t size = 256) {
  std::vector<char> buffer(size + 1, '#');
  const std::size_t length =
      FormatPositional(buffer.data(), size, format, arguments.data(), arguments.size());
  EXPECT_EQ(buffer[size], '#') << "wrote past the buffer";
  if (size == 0) return std::string(buffer.data(), 1);
  EXPECT_EQ(buffer[length], '\0');
  return std::string(buffer.data(), length);
}

void Check(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Format(c.format, c.arguments), c.expected);
  }
}

FormatArgument Arg(auto value) { return MakeFormatArgument(value); }

TEST(FormatPositional, ArgumentNumbers) {
  Check({
      {"bare texts", "%1 (%2)", {Arg("a"), Arg("b")}, "a (b)"},
      {"bare numbers", "%1.%2.%3", {Arg(1), Arg(2), Arg(3)}, "1.2.3"},
      {"dollar numbers reorder", "%2$s-%1$s", {Arg("a"), Arg("b")}, "b-a"},
      {"sequential", "%s+%s", {Arg("a"), Arg("b")}, "a+b"},
      {"numbered ones leave the sequence alone", "%2$s %s", {Arg("a"), Arg("b")}, "b a"},
      {"repeated", "%1%1", {Arg("a")}, "aa"},
      {"letters after the bare form are text", "%2d", {Arg(1), Arg(2), Arg(3)}, "2d"},
      {"digits beyond the count are a width", "%1 %5d", {Arg(1), Arg(2)}, "1     1"},
      {"zero starts no number", "%05d", {Arg(7)}, "00007"},
  });
}

TEST(FormatPositional, DefaultConversionOfEachType) {
  Check({
      {"uint64 in full", "%1", {Arg(UINT64_MAX)}, "18446744073709551615"},
      {"int64", "%1", {Arg(INT64_MIN)}, "-9223372036854775808"},
      {"long long", "%1", {Arg(-(1LL << 40))}, "-1099511627776"},
      {"uint32", "%1", {Arg(UINT32_MAX)}, "4294967295"},
      {"short", "%1", {Arg(static_cast<short>(-3))}, "-3"},
      {"unsigned char", "%1", {Arg(static_cast<unsigned char>(200))}, "200"},
      {"bool", "%1", {Arg(true)}, "1"},
      {"char", "%1", {Arg('x')}, "x"},
      {"double", "%1 %2", {Arg(1.5), Arg(1e300)}, "1.5 1e+300"},
      {"float", "%1", {Arg(0.1f)}, "0.1"},
      {"null text", "[%1]", {Arg(static_cast<const char*>(nullptr))}, "[]"},
  });
  // long follows the platform's width.
  EXPECT_EQ(FormatPositionalText("%1 %2", LONG_MIN, ULONG_MAX),
            std::to_string(LONG_MIN) + " " + std::to_string(ULONG_MAX));
}

TEST(FormatPositional, ConversionsAndModifiersFollowTheArgument) {
  Check({
      // An unsuitable letter falls back to the type's default.
      {"x with text", "%1$x", {Arg("abc")}, "abc"},
      {"x with number", "%1$x", {Arg(255)}, "ff"},
      {"s with number", "%s", {Arg(42)}, "42"},
      {"d with text", "%d", {Arg("abc")}, "abc"},
      {"d with double", "%d", {Arg(2.5)}, "2.5"},
      {"f with integer", "%f", {Arg(7)}, "7"},
      {"x with char", "%x", {Arg('A')}, "41"},
      // A written modifier never changes how wide a value is read.
      {"lld with 32-bit", "%lld|%s", {Arg(-1), Arg("z")}, "-1|z"},
      {"d with 64-bit", "%d", {Arg(1LL << 40)}, "1099511627776"},
      {"hhd with 64-bit", "%hhd", {Arg(300LL)}, "300"},
      {"hhd with 32-bit narrows", "%hhd", {Arg(300)}, "44"},
      {"Lf with double", "%Lf", {Arg(1.5)}, "1.500000"},
      {"ls with text", "%ls", {Arg("abc")}, "abc"},
      {"lc with char", "%lc", {Arg('q')}, "q"},
      {"zu and jd", "%zu %jd", {Arg(7), Arg(-8)}, "7 -8"},
      {"c with 64-bit", "%c%c", {Arg(65LL), Arg((1ULL << 32) + 66)}, "AB"},
      {"n prints nothing and takes its argument", "a%nb%d", {Arg(1), Arg(2)}, "ab2"},
  });
}

TEST(FormatPositional, FlagsWidthAndPrecision) {
  Check({
      {"numbered with width and precision", "%2$5.1f", {Arg(1), Arg(2.5)}, "  2.5"},
      {"flags", "%-4d|%+d|%#x", {Arg(7), Arg(7), Arg(255)}, "7   |+7|0xff"},
      {"text precision", "%.2s", {Arg("abcdef")}, "ab"},
      {"star width", "%*d", {Arg(5), Arg(42)}, "   42"},
      {"negative star width aligns left", "%*d|", {Arg(-4), Arg(1)}, "1   |"},
      {"star width and precision", "%*.*f", {Arg(8), Arg(2), Arg(3.14159)}, "    3.14"},
      {"numbered star", "%1$*2$d", {Arg(42), Arg(5)}, "   42"},
      {"numbered star precision", "%2$.*1$s", {Arg(1), Arg("xyz")}, "x"},
  });
}

TEST(FormatPositional, StopsAtTheFirstUnusablePlaceholder) {
  // '%', the flags and 'd': 59 characters fit, 60 do not.
  const std::string fits = "<%" + std::string(57, '-') + "d>";
  const std::string tooLong = "<%" + std::string(58, '-') + "d>";
  Check({
      {"bare number beyond the count at the end", "%1 %2 %3", {Arg("a"), Arg("b")}, "a b "},
      {"bare number beyond the count in text", "%1 %3 %2", {Arg("a"), Arg("b")}, "a "},
      {"bare number beyond the count before a comma", "<%3,>", {Arg("a"), Arg("b")}, "<"},
      {"numbered beyond the count", "%1-%3$s-%2", {Arg("a"), Arg("b")}, "a-"},
      {"numbered beyond the count with precision", "x%3$.2fy", {Arg(1.0), Arg(2.0)}, "x"},
      {"sequence runs out", "%s %s %s!", {Arg("a"), Arg("b")}, "a b "},
      {"no arguments", "x%dy", {}, "x"},
      {"star on a text", "a%*db", {Arg("5"), Arg(1)}, "a"},
      {"star on a double", "a%.*fb", {Arg(2.0), Arg(1.0)}, "a"},
      {"star names no argument", "a%*3$db", {Arg(1), Arg(2)}, "a"},
      {"format ends in a directive", "a%-5", {Arg(1)}, "a"},
      {"lone percent at the end", "a%", {Arg(1)}, "a"},
      {"59-character directive", fits.c_str(), {Arg(7)}, "<7>"},
      {"60-character directive", tooLong.c_str(), {Arg(7)}, "<"},
  });
}

TEST(FormatPositional, PercentSigns) {
  Check({
      {"doubled", "100%%", {}, "100%"},
      {"doubled before a number", "%%1", {Arg("a")}, "%1"},
      {"doubled then bare", "%%%1", {Arg("a")}, "%a"},
  });
}

TEST(FormatPositional, CutsToTheBuffer) {
  const std::vector<FormatArgument> text = {Arg("cdef")};
  EXPECT_EQ(Format("abcdefgh", {}, 5), "abcd");
  EXPECT_EQ(Format("ab%1gh", text, 5), "abcd");
  EXPECT_EQ(Format("%1", {Arg(123456)}, 4), "123");
  EXPECT_EQ(Format("%1|%1", {Arg(12)}, 4), "12|");
  EXPECT_EQ(Format("abc", {}, 1), "");
  EXPECT_EQ(Format("abc", {}, 0), "#");  // nothing written, not even a terminator
  EXPECT_EQ(Format(nullptr, {}), "");

  const std::string large(5000, 'x');
  EXPECT_EQ(FormatPositionalText(large.c_str()), large.substr(0, 4095));
  EXPECT_EQ(FormatPositionalText("%1", large), large.substr(0, 4095));
  EXPECT_EQ(FormatPositionalText("<%1>", std::string("ok")), "<ok>");
}

}  // namespace
}  // namespace Corvan

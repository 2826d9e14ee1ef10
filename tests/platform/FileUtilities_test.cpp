#include "platform/FileUtilities.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/SystemErrors.h"
#include "support/TempDirectory.h"

namespace Corvan {
namespace {

using Testing::TempDirectory;
namespace SystemError = TestSupport::SystemError;

TEST(FileUtilities, ValidTextRoundTripsBothWays) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string utf16;
  } const cases[] = {
      {"empty", "", u""},
      {"ascii", "clip 01.webm", u"clip 01.webm"},
      {"embedded zero", std::string("a\0b", 3), std::u16string(u"a\0b", 3)},
      {"two-byte", "Caf\xC3\xA9", u"Caf\u00E9"},
      {"three-byte", "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65E5\u672C"},
      {"four-byte", "\xF0\x9F\x98\x80!", u"\U0001F600!"},
      {"limits", "\x7F\xDF\xBF\xEF\xBF\xBF\xF4\x8F\xBF\xBF", u"\u007F\u07FF\uFFFF\U0010FFFF"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.utf8);
  }
}

TEST(FileUtilities, IllFormedUtf8BecomesReplacementCharacters) {
  struct Case {
    const char* name;
    std::string utf8;
    std::u16string expected;
  } const cases[] = {
      {"stray continuation", "a\x80z", u"a\uFFFDz"},
      {"invalid lead bytes", "\xC0\xC1\xF5\xFF", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      {"overlong slash", "\xC0\xAF", u"\uFFFD\uFFFD"},
      {"overlong three-byte", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
      {"encoded surrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
      {"above U+10FFFF", "\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD\uFFFD"},
      // A broken sequence costs one replacement and the breaking byte is
      // read again as the start of the next character.
      {"cut before ascii", "\xE6\x97z", u"\uFFFDz"},
      {"cut before a lead byte", "\xF0\x9F\x98\xC3\xA9", u"\uFFFD\u00E9"},
      {"cut at the end", "ok\xF0\x9F\x98", u"ok\uFFFD"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf8ToUtf16(c.utf8), c.expected);
  }
}

TEST(FileUtilities, UnpairedSurrogatesBecomeReplacementCharacters) {
  struct Case {
    const char* name;
    std::u16string utf16;
    std::string expected;
  } const cases[] = {
      {"lone high at the end", u"a\xD83D", "a\xEF\xBF\xBD"},
      {"lone low", u"\xDE00z", "\xEF\xBF\xBDz"},
      {"reversed pair", u"\xDE00\xD83D", "\xEF\xBF\xBD\xEF\xBF\xBD"},
      {"high before a character", u"\xD83Dx", "\xEF\xBF\xBDx"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Utf16ToUtf8(c.utf16), c.expected);
  }
}

TEST(FileUtilities, OpensFilesWithNonAsciiNames) {
  TempDirectory folder;
  const std::string path = folder.PathOf("\xC3\x9C" "ber \xF0\x9F\x98\x80.webm");
  std::FILE* out = OpenFileUtf8(path, "wb");
  ASSERT_NE(out, nullptr);
  std::fputs("bytes", out);
  std::fclose(out);
  std::FILE* in = OpenFileUtf8(path, "rb");
  ASSERT_NE(in, nullptr);
  char buffer[8] = {};
  EXPECT_EQ(std::fread(buffer, 1, sizeof buffer, in), 5u);
  std::fclose(in);
  EXPECT_STREQ(buffer, "bytes");

  EXPECT_EQ(OpenFileUtf8(folder.PathOf("missing.webm"), "rb"), nullptr);
  EXPECT_EQ(LastFileErrorCode(), SystemError::kFileNotFound);
}

TEST(FileUtilities, MoveNeverReplacesAnExistingFile) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("a.webm", "A");
  const std::string taken = folder.WriteFile("b.webm", "B");
  EXPECT_FALSE(MoveFileUtf8(from, taken, 0));
  EXPECT_EQ(LastFileErrorCode(), SystemError::kAlreadyExists);
  EXPECT_EQ(folder.ReadFile("a.webm"), "A");
  EXPECT_EQ(folder.ReadFile("b.webm"), "B");

  EXPECT_TRUE(MoveFileUtf8(from, folder.PathOf("\xC3\xA9t\xC3\xA9.webm"), 0));
  EXPECT_EQ(folder.ReadFile("a.webm"), "<missing>");
  EXPECT_EQ(folder.ReadFile("\xC3\xA9t\xC3\xA9.webm"), "A");

  EXPECT_FALSE(MoveFileUtf8(folder.PathOf("gone.webm"), folder.PathOf("c.webm"), 0));
  EXPECT_EQ(LastFileErrorCode(), SystemError::kFileNotFound);
}

TEST(FileUtilities, NamesDifferingOnlyInCase) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("clip.webm", "A");
  folder.WriteFile("OTHER.webm", "B");
#if defined(_WIN32)
  // One name to Windows: the existing file is in the way...
  EXPECT_FALSE(MoveFileUtf8(from, folder.PathOf("other.webm"), 0));
  EXPECT_EQ(LastFileErrorCode(), SystemError::kAlreadyExists);
  EXPECT_EQ(folder.ReadFile("OTHER.webm"), "B");
  // ...but a file may change the case of its own name.
  EXPECT_TRUE(MoveFileUtf8(from, folder.PathOf("Clip.webm"), 0));
#else
  EXPECT_TRUE(MoveFileUtf8(from, folder.PathOf("other.webm"), 0));
  EXPECT_EQ(folder.ReadFile("OTHER.webm"), "B");
  EXPECT_EQ(folder.ReadFile("other.webm"), "A");
#endif
}

TEST(FileUtilities, DeleteOfANameWithoutFileSucceeds) {
  TempDirectory folder;
  EXPECT_TRUE(DeleteFileUtf8(folder.PathOf("never-there.webm")));
  EXPECT_TRUE(DeleteFileUtf8(folder.PathOf("no-folder/x.webm")));

  folder.WriteFile("x.webm", "X");
  EXPECT_TRUE(DeleteFileUtf8(folder.PathOf("x.webm")));
  EXPECT_EQ(folder.ReadFile("x.webm"), "<missing>");

  // A directory is not a file: deleting it fails and it stays.
  folder.MakeDirectory("d.webm");
  EXPECT_FALSE(DeleteFileUtf8(folder.PathOf("d.webm")));
  EXPECT_EQ(LastFileErrorCode(), SystemError::kIsDirectory);
}

}  // namespace
}  // namespace Corvan

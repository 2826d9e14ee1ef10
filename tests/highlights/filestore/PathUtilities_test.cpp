#include "highlights/filestore/PathUtilities.h"

#include <gtest/gtest.h>

#include <string>

namespace Corvan {
namespace {

TEST(PathUtilities, JoinPath) {
  struct Case {
    const char* name;
    JoinedPath joined;
    const char* expected;
  } const cases[] = {
      {"documents folder", JoinPath("C:\\Users\\a\\Documents", "Realm of Kynmoor", "Highlights"),
       "C:/Users/a/Documents/Realm of Kynmoor/Highlights"},
      {"no doubled slash", JoinPath("dir/", "x"), "dir/x"},
      {"after a backslash", JoinPath("dir\\", "x"), "dir/x"},
      {"empty components skipped", JoinPath("", "a", "", "b", "", "", "", "c"), "a/b/c"},
      {"one component", JoinPath("a\\b"), "a/b"},
      {"nothing", JoinPath(""), ""},
      {"eight components", JoinPath("1", "2", "3", "4", "5", "6", "7", "8"), "1/2/3/4/5/6/7/8"},
      {"slash restarts", JoinPath("C:/h", "/x", "y"), "/x/y"},
      {"backslash restarts", JoinPath("C:/h", "\\\\server\\share", "y"), "//server/share/y"},
      {"drive restarts", JoinPath("C:/h", "D:clips", "y"), "D:clips/y"},
      {"colon later is a name", JoinPath("C:/h", "ab:c"), "C:/h/ab:c"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(c.joined.ok);
    EXPECT_EQ(c.joined.path, c.expected);
  }
}

TEST(PathUtilities, JoinPathFailsPastTheBufferAndKeepsWhatFitted) {
  const std::string folder(200, 'f');
  const JoinedPath longest = JoinPath(folder, std::string(58, 'n'));
  EXPECT_TRUE(longest.ok);
  EXPECT_EQ(longest.path.size(), kJoinPathBufferSize - 1);

  // One byte more: the separator was written, the name did not fit.
  const JoinedPath tooLong = JoinPath(folder, std::string(59, 'n'), "later");
  EXPECT_FALSE(tooLong.ok);
  EXPECT_EQ(tooLong.path, folder + "/");

  const JoinedPath first = JoinPath(std::string(kJoinPathBufferSize, 'x'));
  EXPECT_FALSE(first.ok);
  EXPECT_EQ(first.path, "");

  // The separator needs two free bytes; without them the join fails.
  const JoinedPath full = JoinPath(std::string(kJoinPathBufferSize - 2, 'x'), "y");
  EXPECT_FALSE(full.ok);
  EXPECT_EQ(full.path, std::string(kJoinPathBufferSize - 2, 'x') + "/");
}

TEST(PathUtilities, GetFileStem) {
  struct Case {
    const char* path;
    const char* suffix;
    const char* expected;
  } const cases[] = {
      {"C:/h/My clip.webm", "", "My clip"},
      {"C:/h/a.b.webm", "", "a.b"},
      {"C:/h/.webm", "", ".webm"},
      {".webm", "", ".webm"},
      {"C:/h/", "", "C:/h/"},
      {"C:/h/", ".png", "C:/h/"},
      {"C:\\h\\clip.webm", "", "clip"},
      {"C:/h.d/clip", "", "clip"},
      {"a.b", "", "a"},
      {"C:/h/clip.webm", ".png", "clip.png"},
      {"", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(GetFileStem(c.path, c.suffix), c.expected);
  }
  EXPECT_EQ(GetFileStem("C:/h/clip.webm"), "clip");
}

TEST(PathUtilities, NormalizeDirectoryPath) {
  struct Case {
    const char* path;
    const char* expected;
  } const cases[] = {
      {"C:\\\\h\\x", "C:/h/x/"},
      {"C:/h//x///", "C:/h/x/"},
      {"C:/h/x/", "C:/h/x/"},
      {"\\\\server\\share", "\\\\server/share/"},
      {"\\\\server\\\\share\\", "\\\\server/share/"},
#if defined(_WIN32)
      // Two leading separators of either kind name a server.
      {"//server//share", "\\\\server/share/"},
      {"/\\server/share", "\\\\server/share/"},
#else
      {"//tmp//clips", "/tmp/clips/"},
#endif
      {"/", "/"},
      {"", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    std::string path = c.path;
    NormalizeDirectoryPath(path);
    EXPECT_EQ(path, c.expected);
  }
}

}  // namespace
}  // namespace Corvan

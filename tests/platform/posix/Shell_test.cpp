#include "platform/Shell.h"

#include <gtest/gtest.h>

namespace Corvan::Platform {
namespace {

TEST(Shell, FileUriEncodesEverythingButUnreservedCharactersAndSlashes) {
  struct Case {
    const char* path;
    const char* expected;
  } const cases[] = {
      {"/home/a/clip.webm", "file:///home/a/clip.webm"},
      {"/h/My clip~_-.webm", "file:///h/My%20clip~_-.webm"},
      // A comma would split dbus-send's array argument.
      {"/h/a,b.webm", "file:///h/a%2Cb.webm"},
      {"/h/100%#?.webm", "file:///h/100%25%23%3F.webm"},
      {"/h/\xC3\xA9\xF0\x9F\x98\x80", "file:///h/%C3%A9%F0%9F%98%80"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(FileUriOf(c.path), c.expected);
  }
}

}  // namespace
}  // namespace Corvan::Platform

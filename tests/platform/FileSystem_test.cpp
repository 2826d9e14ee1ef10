// The file-system layer's contracts that hold on Linux and Windows alike:
// listing, moving and deleting by UTF-8 path, and the codes and texts of
// failures (opening is covered with the file utilities).
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/SystemErrors.h"
#include "support/TempDirectory.h"

namespace Corvan::Platform {
namespace {

using Testing::TempDirectory;
namespace SystemError = TestSupport::SystemError;

std::map<std::string, DirectoryEntry> ListByName(const std::string& base) {
  std::map<std::string, DirectoryEntry> entries;
  const bool listed = ListDirectory(base, [&](const DirectoryEntry& e) {
    EXPECT_EQ(entries.count(e.name), 0u) << e.name << " listed twice";
    entries[e.name] = e;
  });
  EXPECT_TRUE(listed) << base;
  return entries;
}

TEST(FileSystem, ListingDescribesFilesAndDirectories) {
  TempDirectory folder;
  folder.WriteFile("file", "four");
  folder.WriteFile("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80.webm", "x");
  folder.MakeDirectory("directory");
  const auto entries = ListByName(folder.path() + "/");
  ASSERT_EQ(entries.count("file"), 1u);
  const DirectoryEntry& file = entries.at("file");
  EXPECT_EQ(file.size, 4u);
  EXPECT_EQ(file.attributes & kFileAttributeDirectory, 0u);
  // Written just now: after 2020 on the 1601-based scale.
  EXPECT_GT(file.lastWriteTime, UnixEpochFileTime() + 1577836800ull * 10000000u);
  ASSERT_EQ(entries.count("directory"), 1u);
  EXPECT_EQ(entries.at("directory").attributes & kFileAttributeDirectory, kFileAttributeDirectory);
  // Names come back as the UTF-8 they were written in.
  EXPECT_EQ(entries.count("\xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80.webm"), 1u);
  EXPECT_FALSE(ListDirectory(folder.PathOf("missing/"), [](const DirectoryEntry&) {}));
}

TEST(FileSystem, ListingTimeIsTheFileTime) {
  TempDirectory folder;
  const std::string path = folder.WriteFile("clip.webm", "x");
  ASSERT_TRUE(Testing::SetModifiedTime(path, 1609459200500));  // 2021-01-01 00:00:00.5 UTC
  const auto entries = ListByName(folder.path() + "/");
  ASSERT_EQ(entries.count("clip.webm"), 1u);
  EXPECT_EQ(entries.at("clip.webm").lastWriteTime,
            UnixEpochFileTime() + 16094592005ull * 1000000u);
  // 1970 in 100-nanosecond steps since 1601.
  EXPECT_EQ(UnixEpochFileTime(), 116444736000000000ull);
}

TEST(FileSystem, MoveRefusesAnExistingTargetUnlessAskedToReplace) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("a", "A");
  const std::string to = folder.WriteFile("b", "B");
  EXPECT_FALSE(MovePath(from, to, 0));
  EXPECT_EQ(LastErrorCode(), SystemError::kAlreadyExists);
  EXPECT_EQ(folder.ReadFile("a"), "A");
  EXPECT_EQ(folder.ReadFile("b"), "B");

  EXPECT_TRUE(MovePath(from, to, kMoveReplaceExisting));
  EXPECT_EQ(folder.ReadFile("b"), "A");
  EXPECT_EQ(folder.ReadFile("a"), "<missing>");
}

TEST(FileSystem, RemovingWhatIsNotThere) {
  TempDirectory folder;
  EXPECT_TRUE(RemoveFile(folder.PathOf("never.webm")));
  EXPECT_TRUE(RemoveFile(folder.PathOf("no-folder/never.webm")));
  const std::string directory = folder.MakeDirectory("d.webm");
  EXPECT_FALSE(RemoveFile(directory));
  EXPECT_EQ(LastErrorCode(), SystemError::kIsDirectory);
  EXPECT_TRUE(Testing::PathExists(directory));
}

TEST(FileSystem, ErrorTextsEndInTheSystemLineBreak) {
  for (const std::uint32_t code :
       {SystemError::kFileNotFound, SystemError::kAlreadyExists, SystemError::kAccessDenied}) {
    SCOPED_TRACE(code);
    std::string text;
    ASSERT_TRUE(SystemErrorText(code, text));
#if defined(_WIN32)
    ASSERT_GE(text.size(), 3u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
#else
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.back(), '\n');
#endif
  }
}

}  // namespace
}  // namespace Corvan::Platform

#include "highlights/filestore/FileListing.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/TempDirectory.h"

namespace Corvan {
namespace {

using Testing::TempDirectory;

constexpr char kHighlightPattern[] = ".*\\.webm$";

// The paths of a listing, sorted (the file system's order is its own).
std::vector<std::string> SortedPaths(const std::vector<FileEntry>& entries) {
  std::vector<std::string> paths;
  for (const FileEntry& entry : entries) paths.push_back(entry.path);
  std::sort(paths.begin(), paths.end());
  return paths;
}

// A folder as a user's highlights folder may look.
class FileListingTest : public testing::Test {
 protected:
  void SetUp() override {
    folder_.WriteFile("clip.webm", "12345");
    // Another stem: on Windows clip.WEBM would be clip.webm itself.
    folder_.WriteFile("other.WEBM", "x");
    folder_.WriteFile(".webm", "");
    folder_.WriteFile("a.b.webm", "ab");
    folder_.WriteFile("notes.txt", "n");
    folder_.WriteFile("clip.webm.part", "p");
    folder_.MakeDirectory("x.webm");
    folder_.WriteFile("x.webm/inside.webm", "i");
    folder_.MakeDirectory("sub/deeper");
    folder_.WriteFile("sub/deeper/deep.webm", "d");
  }
  std::string Path(const char* name) const { return folder_.path() + "/" + name; }

  TempDirectory folder_;
};

TEST_F(FileListingTest, ListsOnlyFilesEndingInLowerCaseWebm) {
  std::vector<FileEntry> entries;
  ASSERT_TRUE(ListFiles(folder_.path(), kHighlightPattern, false, entries));
  EXPECT_EQ(SortedPaths(entries),
            (std::vector<std::string>{Path(".webm"), Path("a.b.webm"), Path("clip.webm")}));
  for (const FileEntry& entry : entries) {
    SCOPED_TRACE(entry.path);
    EXPECT_EQ(entry.attributes & 0x10u, 0u);
    if (entry.path == Path("clip.webm")) {
      EXPECT_EQ(entry.size, 5u);
    }
  }
}

TEST_F(FileListingTest, RecursionAndTheEmptyPattern) {
  std::vector<FileEntry> entries;
  ASSERT_TRUE(ListFiles(folder_.path(), kHighlightPattern, true, entries));
  EXPECT_EQ(SortedPaths(entries),
            (std::vector<std::string>{Path(".webm"), Path("a.b.webm"), Path("clip.webm"),
                                      Path("sub/deeper/deep.webm"), Path("x.webm/inside.webm")}));

  std::vector<FileEntry> everything;
  ASSERT_TRUE(ListFiles(folder_.path(), "", false, everything));
  EXPECT_EQ(everything.size(), 6u);  // every file, no directory
}

TEST_F(FileListingTest, FolderPathsAreNormalisedInTheEntries) {
  const std::string& base = folder_.path();
#if defined(_WIN32)
  const std::string written[] = {base + "//", base + "\\", base + "\\\\"};
#else
  const std::string written[] = {"/" + base + "//", base + "\\", base + "\\\\"};
#endif
  for (const std::string& folder : written) {
    SCOPED_TRACE(folder);
    std::vector<FileEntry> entries;
    ASSERT_TRUE(ListFiles(folder, "^.*/clip\\.webm$", false, entries));
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].path, Path("clip.webm"));
  }
}

TEST_F(FileListingTest, AppendsAndReportsWhatCannotBeListed) {
  std::vector<FileEntry> entries(1);
  EXPECT_FALSE(ListFiles(Path("missing"), kHighlightPattern, false, entries));
  EXPECT_FALSE(ListFiles(Path("notes.txt"), kHighlightPattern, false, entries));
  EXPECT_FALSE(ListFiles("", kHighlightPattern, false, entries));
  EXPECT_FALSE(ListFiles(folder_.path(), "(unclosed", false, entries));
  EXPECT_EQ(entries.size(), 1u);

  ASSERT_TRUE(ListFiles(folder_.path(), "^.*/clip\\.webm$", false, entries));
  EXPECT_EQ(entries.size(), 2u);
}

TEST(FileListing, MatchesUtf16CodeUnits) {
  TempDirectory folder;
  folder.WriteFile("\xF0\x9F\x98\x80.webm");  // one character, two UTF-16 units
  folder.WriteFile("\xC3\xA9.webm");
  const struct {
    const char* pattern;
    std::size_t count;
  } cases[] = {
      {".*/.\\.webm$", 1},       // only the BMP name is one unit long
      {".*/..\\.webm$", 1},      // the surrogate pair is two
      {".*/\xC3\xA9\\.webm$", 1},
      {".*\\.webm$", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    std::vector<FileEntry> entries;
    ASSERT_TRUE(ListFiles(folder.path(), c.pattern, false, entries));
    EXPECT_EQ(entries.size(), c.count);
  }
}

TEST(FileListing, LastWriteTimeConvertsToUnixMilliseconds) {
  TempDirectory folder;
  const std::string path = folder.WriteFile("clip.webm", "x");
  ASSERT_TRUE(Testing::SetModifiedTime(path, 1609459200500));
  std::vector<FileEntry> entries;
  ASSERT_TRUE(ListFiles(folder.path(), "", false, entries));
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(FileTimeToUnixMillis(entries[0].lastWriteTime), 1609459200500u);  // 2021-01-01
}

TEST(FileListing, FileTimeToUnixMillis) {
  constexpr std::uint64_t kEpoch = 116444736000000000u;  // 1970 on the file-time scale
  EXPECT_EQ(FileTimeToUnixMillis(kEpoch), 0u);
  EXPECT_EQ(FileTimeToUnixMillis(kEpoch + 12345678), 1234u);
  // Before 1970 the unsigned difference wraps around.
  EXPECT_EQ(FileTimeToUnixMillis(kEpoch - 10000), (std::uint64_t{0} - 10000) / 10000);
  EXPECT_EQ(FileTimeToUnixMillis(0), (std::uint64_t{0} - kEpoch) / 10000);
}

}  // namespace
}  // namespace Corvan

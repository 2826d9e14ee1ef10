#include "highlights/filestore/HighlightsFileManager.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "highlights/filestore/PathUtilities.h"
#include "logging/LogRecord.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

namespace Corvan::Client::Highlights {
namespace {

using Testing::LogCapture;
using Testing::TempDirectory;

std::string SystemText(int code) { return std::string(std::strerror(code)) + "\n"; }

TEST(HighlightsFileManager, RenameOntoAnExistingNameFailsWithTheSystemText) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("clip.webm", "clip");
  const std::string to = folder.WriteFile("taken.webm", "other");
  LogCapture log;
  const FileOperationResult result = HighlightsFileManager::RenameFile(from, to);
  EXPECT_TRUE(result.failed);
  EXPECT_EQ(result.error, SystemText(EEXIST));
  EXPECT_EQ(folder.ReadFile("taken.webm"), "other");
  EXPECT_EQ(folder.ReadFile("clip.webm"), "clip");

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, kLogWarn);
  EXPECT_EQ(lines[0].categories, LogCategory::DBG);
  EXPECT_EQ(lines[0].message, "kyn-highlights: HighlightsFileManager::RenameFile: Error renaming "
                              "file from '" + from + "' to '" + to + "': " +
                                  std::to_string(EEXIST) + ": " + SystemText(EEXIST));
}

TEST(HighlightsFileManager, RenameToAFreeName) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("clip.webm", "clip");
  LogCapture log;
  const FileOperationResult result =
      HighlightsFileManager::RenameFile(from, folder.PathOf("Best \xE2\x98\x85.webm"));
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(folder.ReadFile("Best \xE2\x98\x85.webm"), "clip");
  EXPECT_TRUE(log.Lines().empty());
}

TEST(HighlightsFileManager, DeleteOfAMissingFileSucceedsSilently) {
  TempDirectory folder;
  const std::string kept = folder.WriteFile("kept.webm", "k");
  LogCapture log;
  const FileOperationResult result = HighlightsFileManager::DeleteFile(folder.PathOf("gone.webm"));
  EXPECT_FALSE(result.failed);
  EXPECT_EQ(result.error, "");
  EXPECT_EQ(folder.ReadFile("kept.webm"), "k");
  EXPECT_TRUE(log.Lines().empty());

  EXPECT_FALSE(HighlightsFileManager::DeleteFile(kept).failed);
  EXPECT_EQ(folder.ReadFile("kept.webm"), "<missing>");
}

TEST(HighlightsFileManager, DeleteFailureCarriesTheSystemText) {
  TempDirectory folder;
  const std::string directory = folder.MakeDirectory("folder.webm");
  LogCapture log;
  const FileOperationResult result = HighlightsFileManager::DeleteFile(directory);
  EXPECT_TRUE(result.failed);
  EXPECT_EQ(result.error, SystemText(EISDIR));
  EXPECT_EQ(log.Messages(), std::vector<std::string>{
                                "kyn-highlights: HighlightsFileManager::DeleteFile: Error deleting "
                                "file '" + directory + "': " + std::to_string(EISDIR) + ": " +
                                SystemText(EISDIR)});
}

TEST(HighlightsFileManager, ErrorTextsEndWithTheSystemLineBreak) {
  for (const int code : {EEXIST, ENOENT, EACCES, EXDEV, 999999}) {
    SCOPED_TRACE(code);
    const std::string text = OsErrorNumToString(static_cast<std::uint32_t>(code));
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text[text.size() - 2], '\n');
  }
}

TEST(HighlightsFileManager, DefaultHighlightsFolder) {
  EXPECT_EQ(BuildDefaultHighlightsFolderPath("C:\\Users\\someone\\Documents"),
            "C:/Users/someone/Documents/Realm of Kynmoor/Highlights");
  EXPECT_EQ(BuildDefaultHighlightsFolderPath("/home/someone/Documents/"),
            "/home/someone/Documents/Realm of Kynmoor/Highlights");
  // Unknown Documents folder, or one too long to join: no default at all
  // rather than a folder somewhere else.
  EXPECT_EQ(BuildDefaultHighlightsFolderPath(""), "");
  EXPECT_EQ(BuildDefaultHighlightsFolderPath(std::string(240, 'd')), "");
  EXPECT_EQ(GetDefaultHighlightsFolderPath(),
            BuildDefaultHighlightsFolderPath(GetDocumentsFolderPath()));
}

}  // namespace
}  // namespace Corvan::Client::Highlights

#include "highlights/filestore/HighlightsFileManager.h"

#include <gtest/gtest.h>

#include <string>

#include "highlights/filestore/PathUtilities.h"
#include "logging/LogRecord.h"
#include "support/LogCapture.h"
#include "support/SystemErrors.h"
#include "support/TempDirectory.h"

namespace Corvan::Client::Highlights {
namespace {

using Testing::LogCapture;
using Testing::TempDirectory;

namespace SystemError = TestSupport::SystemError;

std::string SystemText(std::uint32_t code) { return SystemError::Text(code); }

TEST(HighlightsFileManager, RenameOntoAnExistingNameFailsWithTheSystemText) {
  TempDirectory folder;
  const std::string from = folder.WriteFile("clip.webm", "clip");
  const std::string to = folder.WriteFile("taken.webm", "other");
  LogCapture log;
  const FileOperationResult result = HighlightsFileManager::RenameFile(from, to);
  EXPECT_TRUE(result.failed);
  EXPECT_EQ(result.error, SystemText(SystemError::kAlreadyExists));
  EXPECT_EQ(folder.ReadFile("taken.webm"), "other");
  EXPECT_EQ(folder.ReadFile("clip.webm"), "clip");

  const auto lines = log.Lines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].level, kLogWarn);
  EXPECT_EQ(lines[0].categories, LogCategory::DBG);
  EXPECT_EQ(lines[0].message, "kyn-highlights: HighlightsFileManager::RenameFile: Error renaming "
                              "file from '" + from + "' to '" + to + "': " +
                                  std::to_string(SystemError::kAlreadyExists) + ": " + SystemText(SystemError::kAlreadyExists));
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
  EXPECT_EQ(result.error, SystemText(SystemError::kIsDirectory));
  EXPECT_EQ(log.Messages(), std::vector<std::string>{
                                "kyn-highlights: HighlightsFileManager::DeleteFile: Error deleting "
                                "file '" + directory + "': " + std::to_string(SystemError::kIsDirectory) + ": " +
                                SystemText(SystemError::kIsDirectory)});
}

TEST(HighlightsFileManager, ErrorTextsEndWithTheSystemLineBreak) {
  for (const std::uint32_t code : {SystemError::kAlreadyExists, SystemError::kFileNotFound,
                                   SystemError::kAccessDenied, SystemError::kNotSameDevice}) {
    SCOPED_TRACE(code);
    const std::string text = OsErrorNumToString(code);
    ASSERT_GE(text.size(), 2u);
#if defined(_WIN32)
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
#else
    EXPECT_EQ(text.back(), '\n');
    EXPECT_NE(text[text.size() - 2], '\n');
#endif
  }
}

TEST(HighlightsFileManager, CodeWithoutSystemText) {
  LogCapture log;
  const std::string text = OsErrorNumToString(999999);
#if defined(_WIN32)
  // FormatMessageW knows no such message: no text, and why is logged.
  EXPECT_EQ(text, "");
  EXPECT_EQ(log.Messages(),
            std::vector<std::string>{"kyn-highlights: OsErrorNumToString: FormatMessageW error 317"});
#else
  // strerror has a text for every number.
  EXPECT_EQ(text, "Unknown error 999999\n");
  EXPECT_TRUE(log.Lines().empty());
#endif
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

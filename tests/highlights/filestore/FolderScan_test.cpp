#if !defined(_WIN32)
#include <sys/stat.h>
#endif

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <vector>

#include "highlights/HighlightsList.h"
#include "highlights/HighlightsTelemetry.h"
#include "highlights/filestore/FileListing.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "logging/Logger.h"
#include "media/WebmWriter.h"
#include "support/LogCapture.h"
#include "support/TempDirectory.h"

#if defined(_WIN32)
// Last: <windows.h> defines macros (Yield among them) that project names share.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <memory>
#endif

namespace Corvan::Client::Highlights {
namespace {

// Lets the scan's OKAY lines through the logger while a test runs.
struct OkayLines {
  OkayLines() : previous(GetLoggerInterface()->getMinLevel()) {
    GetLoggerInterface()->setMinLevel(kLogOkay);
  }
  ~OkayLines() { GetLoggerInterface()->setMinLevel(previous); }
  std::int32_t previous;
};

struct Scanner {
  std::vector<std::size_t> published;
  HighlightsList list{[this](const std::vector<Api::Highlight>& r) { published.push_back(r.size()); },
                      [](const std::string& path) { return MakeHighlightUrl(path); }};
  HighlightsTelemetry telemetry{nullptr};
  HighlightsFileManager manager{&list, &telemetry};
};

// The scan's own lines, with the times cut off.
std::vector<std::string> ScanLines(const Testing::LogCapture& log) {
  std::vector<std::string> lines;
  for (const std::string& message : log.Messages()) {
    if (message.rfind("kyn-highlights: ", 0) != 0) continue;
    // The times vary: keep what comes before them.
    const std::size_t time = message.find(": ", 16);
    lines.push_back(message.rfind("kyn-highlights: Verification", 0) == 0 ? message
                                                                          : message.substr(0, time));
  }
  return lines;
}

TEST(FolderScan, ListsVerifiedFilesOnlyAndReportsOnce) {
  Testing::TempDirectory folder;
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf("a.b.webm"), Corvan::Media::WebmOptions{}));
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf(".webm"), Corvan::Media::WebmOptions{}));
  folder.WriteFile("empty.webm");
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf("upper.WEBM"), Corvan::Media::WebmOptions{}));
  folder.MakeDirectory("sub.webm");
#if defined(_WIN32)
  // A clip the game still holds open without sharing cannot be read.
  const char unreadable[] = "recording.webm";
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf(unreadable), Corvan::Media::WebmOptions{}));
  const HANDLE holder = CreateFileW(Testing::PathFromUtf8(folder.PathOf(unreadable)).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  const std::unique_ptr<void, decltype(&CloseHandle)> closer(holder, &CloseHandle);
#else
  // A named pipe would keep a reader waiting for a writer forever.
  const char unreadable[] = "pipe.webm";
  ASSERT_EQ(mkfifo(folder.PathOf(unreadable).c_str(), 0600), 0);
#endif
  Scanner s;
  OkayLines okay;
  Testing::LogCapture log;
  s.manager.Scan(folder.path() + "//");
  // The scan takes sizes and times from the open files, not the listing:
  // they must agree with what a listing that looks them up says.
  std::vector<FileEntry> listed;
  ASSERT_TRUE(ListFiles(folder.path(), "", false, listed));
  std::vector<std::string> names;
  for (const Api::Highlight& record : s.list.Records()) {
    names.push_back(record.name);
    EXPECT_EQ(record.filepath.find("//"), std::string::npos) << record.filepath;
    const auto entry = std::find_if(listed.begin(), listed.end(),
                                    [&](const FileEntry& e) { return e.path == record.filepath; });
    ASSERT_NE(entry, listed.end()) << record.filepath;
    EXPECT_EQ(record.fileSizeBytes, entry->size);
    EXPECT_GT(record.fileSizeBytes, 0u);
    EXPECT_EQ(record.mtimeMsUtc, FileTimeToUnixMillis(entry->lastWriteTime));
  }
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{".webm", "a.b"}));
  EXPECT_EQ(s.published, std::vector<std::size_t>{2});
  EXPECT_TRUE(s.manager.sessionScanReported);
  const std::vector<std::string> lines = ScanLines(log);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0], "kyn-highlights: Starting file scan");
  std::vector<std::string> rejected = {lines[1], lines[2]};
  std::sort(rejected.begin(), rejected.end());
  EXPECT_EQ(rejected, (std::vector<std::string>{
                          "kyn-highlights: Verification failed; ignoring file " + folder.PathOf("empty.webm"),
                          "kyn-highlights: Verification failed; ignoring file " + folder.PathOf(unreadable)}));
  EXPECT_EQ(lines[3].rfind("kyn-highlights: Completing file scan (duration ", 0), 0u) << lines[2];
}

TEST(FolderScan, AnEmptyFolderIsPublishedAndAMissingOneIsNot) {
  Testing::TempDirectory folder;
  Scanner s;
  s.manager.Scan(folder.path());
  EXPECT_EQ(s.published, std::vector<std::size_t>{0});
  EXPECT_TRUE(s.manager.sessionScanReported);

  Scanner missing;
  OkayLines okay;
  Testing::LogCapture log;
  missing.manager.Scan(folder.PathOf("nowhere"));
  EXPECT_TRUE(missing.published.empty());
  EXPECT_FALSE(missing.manager.sessionScanReported);
  EXPECT_EQ(ScanLines(log), (std::vector<std::string>{"kyn-highlights: Starting file scan",
                                                      "kyn-highlights: Scan"}));
}

}  // namespace
}  // namespace Corvan::Client::Highlights

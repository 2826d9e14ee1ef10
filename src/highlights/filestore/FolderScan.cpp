// The folder scan: rebuilds the list from the verified highlight files of
// the folder, in the order the file system lists them.
#include <string>
#include <vector>

#include "highlights/HighlightsList.h"
#include "highlights/HighlightsTelemetry.h"
#include "highlights/filestore/FileListing.h"
#include "highlights/filestore/HighlightsFileManager.h"
#include "highlights/filestore/PathUtilities.h"
#include "highlights/filestore/WebmVerification.h"
#include "logging/Logger.h"
#include "platform/FileSystem.h"

namespace Corvan::Client::Highlights {

namespace {

// Files whose whole path ends in the lower-case extension.
constexpr char kHighlightPattern[] = ".*\\.webm$";

}  // namespace

void HighlightsFileManager::Scan(const std::string& folderPath) {
  const std::int64_t start = CurrentUnixMilliseconds();
  Log(kLogOkay, LogCategory::GEN, "kyn-highlights: Starting file scan: %s ms",
      std::to_string(start).c_str());
  const bool listHadRecords = !list->Records().empty();
  list->ClearWithoutNotifying();
  std::vector<FileEntry> entries;
  Platform::Directory folder;
  // Each listed file is opened to be verified, and tells its size and
  // time then: the listing looks none up.
  if (!ListFiles(folderPath, kHighlightPattern, false, entries, folder, false)) {
    Log(kLogWarn, LogCategory::DBG, "kyn-highlights: Scan: Unable to scan files at directory %s",
        folderPath.c_str());
    // Subscribers still show the records the list just dropped; the empty
    // list reaches them once, so they stop offering renames and deletes of
    // files that are not there.
    if (listHadRecords) list->SetHighlights({});
    return;
  }
  std::vector<Api::Highlight> found;
  found.reserve(entries.size());
  WebmVerifier verifier;
  for (FileEntry& entry : entries) {
    // Opened relative to the listed folder, so the name is looked up once.
    if (!verifier.VerifyFileIn(folder, entry)) {
      Log(kLogWarn, LogCategory::DBG, "kyn-highlights: Verification failed; ignoring file %s",
          entry.path.c_str());
      continue;
    }
    std::string name = GetFileStem(entry.path);
    const std::uint64_t mtime = FileTimeToUnixMillis(entry.lastWriteTime);
    found.emplace_back(std::move(name), std::move(entry.path), mtime, entry.size);
  }
  // The list takes a copy while the telemetry below still reads the
  // records; after the first scan it takes them.
  list->SetHighlights(sessionScanReported ? std::move(found) : found);
  const std::int64_t end = CurrentUnixMilliseconds();
  Log(kLogOkay, LogCategory::GEN, "kyn-highlights: Completing file scan (duration %s ms): %s ms",
      std::to_string(end - start).c_str(), std::to_string(end).c_str());
  if (!sessionScanReported) {
    sessionScanReported = true;
    if (telemetry != nullptr) telemetry->ReportSessionScan(found);
  }
}

}  // namespace Corvan::Client::Highlights

// WebM verification: decides whether a file of the highlights folder is a
// highlight video the game wrote. The file must parse as WebM (or Matroska)
// up to its track list, name "Realm Of Kynmoor" as its writing application,
// and have a video track "KYNVideo"; every video track must be "KYNVideo"
// and every audio track "KYNAudio" (texts compared as whole byte strings;
// tracks without a Name, and tracks of other types, are passed over).
//
//   if (!VerifyWebmFile(path)) { /* not a highlight: leave it out */ }
//
//   WebmVerifier verifier;                   // for a folder: one parser for all
//   for (const auto& path : paths) if (verifier.VerifyFile(path)) ...
//
// Cost: building libwebm's parser takes several times longer than parsing
// one file's header, so a WebmVerifier keeps one parser (and one buffer for
// the start of a file) for the files it verifies one after another. Only the EBML header, the segment's Info and Tracks are read. The
// parse stops at the first Cluster, so the size of the video does not
// matter, and a file still being written passes once its header and tracks
// are complete. Info and Tracks must come before the first Cluster (where
// every WebM writer puts them); a file whose Tracks follow a Cluster fails.
//
// Hostile files: declared sizes are checked against the file's real size
// before anything is read or allocated, elements the check needs are
// refused past 1 MiB, and elements it does not need are skipped unread;
// every failure is a value, never an exception or a crash.
//
// The reason of a rejection goes to the debug trace only; InspectWebmFile
// returns it for callers (and tests) that want it, with the clip's duration
// and picture size from the same parse.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "highlights/filestore/FileListing.h"

namespace webm {
class Reader;
class WebmParser;
}

namespace Corvan::Platform {
class Directory;
}

namespace Corvan::Client::Highlights {

// Where a verification ended, in the order the steps run.
enum class WebmVerificationStep {
  kPassed,
  kOpenFailed,            // the file cannot be opened (or is no regular file)
  kHeaderNotParsed,       // no complete EBML header of a WebM or Matroska file first
  kSegmentNotCreated,     // no Segment after the header
  kSegmentNotLoaded,      // Info or Tracks malformed, cut short or repeated
  kNoSegmentInfo,         // no Info before the first Cluster
  kWrongWritingApp,       // check (1)
  kNoTracks,              // no Tracks before the first Cluster
  kNoTrackEntries,        // Tracks without a TrackEntry
  kWrongVideoTrackName,   // check (2)
  kWrongAudioTrackName,   // check (3)
  kNoHighlightVideoTrack  // every track passed, but none is video "KYNVideo"
};

struct WebmVerification {
  WebmVerificationStep step = WebmVerificationStep::kPassed;
  // The writing application or track name of a failed check (empty when the
  // writing application is absent).
  std::string text;
  // Indexes of the tracks passed over because they have no Name, in order.
  std::vector<std::uint64_t> namelessTracks;
  // What the header tells of the video, for callers that show it: Info's
  // Duration in milliseconds and the first video track's picture size; 0
  // where the header leaves them out or the parse did not reach them.
  double durationMs = 0;
  std::uint64_t width = 0;
  std::uint64_t height = 0;

  bool passed() const { return step == WebmVerificationStep::kPassed; }
};

// Verifies files one after another with one parser, on one thread.
class WebmVerifier {
 public:
  WebmVerifier();
  ~WebmVerifier();
  WebmVerifier(const WebmVerifier&) = delete;
  WebmVerifier& operator=(const WebmVerifier&) = delete;

  // Verifies the file at the UTF-8 path, traces the reason of a rejection
  // and returns whether the file is a highlight.
  [[nodiscard]] bool VerifyFile(const std::string& path);
  // Verifies the file at the UTF-8 path and says where it ended.
  [[nodiscard]] WebmVerification InspectFile(const std::string& path);
  // Verifies a listed file of an open folder (its path begins with the
  // folder's base), opened relative to the folder; an undescribed entry
  // takes its size and time from the open file. Traces a rejection under
  // the entry's path. One open, one stat where the listing made none, one
  // read of the bytes the header takes (another only for an element beyond
  // them), one close.
  [[nodiscard]] bool VerifyFileIn(const Platform::Directory& folder, FileEntry& entry);
  // Verifies `size` bytes from a reader at their first byte (positions
  // count from 0); the reader must not deliver more than `size` bytes.
  [[nodiscard]] WebmVerification Inspect(webm::Reader& reader, std::uint64_t size);

  // What a file's header gave (defined with the verification).
  struct Collected;

 private:
  std::unique_ptr<webm::WebmParser> parser_;
  std::vector<std::uint8_t> buffer_;  // the start of each file, reused
  std::unique_ptr<Collected> collected_;  // what a file's header gave, reused
};

// Verifies the file at the UTF-8 path, traces the reason of a rejection and
// returns whether the file is a highlight.
[[nodiscard]] bool VerifyWebmFile(const std::string& path);

// WebmVerifier's InspectFile and Inspect, each with a parser of its own.
[[nodiscard]] WebmVerification InspectWebmFile(const std::string& path);
[[nodiscard]] WebmVerification InspectWebm(webm::Reader& reader, std::uint64_t size);

// Sends the diagnostics of a verification of the file at `path` to the debug
// trace, in the order its steps met them.
void TraceWebmVerification(const WebmVerification& verification, const std::string& path);

}  // namespace Corvan::Client::Highlights

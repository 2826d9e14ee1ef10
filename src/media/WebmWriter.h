// WebmWriter: a small EBML/Matroska writer that makes WebM files for tests,
// benchmarks, sample folders and fuzz seeds, so that no binary file is ever
// kept in the repository.
//
//   WebmOptions options;                       // a highlight as the game writes it
//   options.tracks[1].name.reset();            // the audio track without a Name
//   const WebmImage image = BuildWebm(options);
//   WriteFileBytes(path, TruncatedInside(image, WebmPart::Tracks));
//
// A file is: the EBML header, then one Segment holding a SeekHead, a Void,
// Info (TimecodeScale, Duration, MuxingApp, WritingApp), Tracks (one
// TrackEntry per track: TrackNumber, TrackUID, TrackType, FlagLacing, Name,
// CodecID, CodecPrivate, CodecDelay and SeekPreRoll where set, Video or
// Audio settings), the Clusters (Timecode, then SimpleBlocks) and Cues.
// Without coded frames the frames are dummy bytes (every track in turn):
// the files parse, they do not play. With the coded frames of an encoder
// (WebmOptions::frames) the file plays: a cluster begins at each video
// keyframe and the Cues point at those clusters. Segment and clusters can
// have known or unknown sizes; the layout of what was written is returned
// so that callers can cut the file inside any part. The Ebml functions make
// single elements for hand-made files.
//
// Depends on the standard library only, so that it can move into a program
// that ships.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Corvan::Media {

// Track types as Matroska numbers them.
enum class WebmTrackType : std::uint64_t { Video = 1, Audio = 2, Subtitle = 0x11 };

struct WebmTrack {
  WebmTrackType type = WebmTrackType::Video;
  // No Name element when absent; an empty Name element when empty.
  std::optional<std::string> name;
  // Empty: V_VP8, A_OPUS or S_TEXT/UTF8 by type.
  std::string codec;
  // Video: the picture size in pixels.
  std::uint64_t width = 1280;
  std::uint64_t height = 720;
  // Audio: the sampling rate and channel count.
  double samplingRate = 48000.0;
  std::uint64_t channels = 2;
  // CodecPrivate; when absent, an A_OPUS track gets a stereo OpusHead.
  std::optional<std::string> codecPrivate{};
  // CodecDelay and SeekPreRoll in nanoseconds; not written when 0.
  std::uint64_t codecDelayNs = 0;
  std::uint64_t seekPreRollNs = 0;
};

// One coded frame of an encoder, for WebmOptions::frames.
struct WebmFrame {
  // The track's number: its place in WebmOptions::tracks, from 1.
  std::uint64_t track = 1;
  std::uint64_t timeMs = 0;
  bool key = true;
  std::string data;
};

struct WebmOptions {
  std::string docType = "webm";
  // No WritingApp element when absent.
  std::optional<std::string> writingApp = std::string("Realm Of Kynmoor");
  std::string muxingApp = "kyn-test-writer";
  std::vector<WebmTrack> tracks = {{WebmTrackType::Video, std::string("KYNVideo"), ""},
                                   {WebmTrackType::Audio, std::string("KYNAudio"), ""}};
  int clusterCount = 2;
  // Frames of every track in each cluster; one video frame each 1/30 s.
  int framesPerCluster = 3;
  std::size_t videoFrameBytes = 64;
  std::size_t audioFrameBytes = 16;
  bool unknownSizeSegment = false;
  bool unknownSizeClusters = false;
  // Tracks written after the first Cluster instead of before it.
  bool tracksAfterFirstCluster = false;
  bool withCues = true;
  // Coded frames in time order. When there are any, they are written instead
  // of the dummy frames (clusterCount, framesPerCluster and the frame sizes
  // are then unused) and Info's Duration is durationMs.
  std::vector<WebmFrame> frames;
  double durationMs = 0;
};

// The parts of a written file whose extent WebmLayout records.
enum class WebmPart { EbmlHeader, Info, Tracks, FirstCluster, LastCluster };

// Byte ranges [begin, end) of the parts, headers included.
struct WebmRange {
  std::size_t begin = 0;
  std::size_t end = 0;
};

struct WebmLayout {
  WebmRange ebmlHeader;
  WebmRange info;
  WebmRange tracks;
  std::vector<WebmRange> clusters;
};

struct WebmImage {
  std::string bytes;
  WebmLayout layout;
};

// Writes a whole file as the options describe it.
WebmImage BuildWebm(const WebmOptions& options);

// The bytes of the file cut in the middle of the part (a file still being
// written, or one cut short).
std::string TruncatedInside(const WebmImage& image, WebmPart part);

// Writes bytes to a file, replacing it; false when it cannot be written.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

// BuildWebm and WriteFileBytes in one.
bool WriteWebmFile(const std::string& path, const WebmOptions& options);

// Bytes that are no EBML: a fixed pseudo-random sequence.
std::string GarbageBytes(std::size_t count, std::uint32_t seed = 1);

// Single elements, for hand-made files.
namespace Ebml {

inline constexpr std::uint32_t kEbml = 0x1A45DFA3;
inline constexpr std::uint32_t kDocType = 0x4282;
inline constexpr std::uint32_t kSegment = 0x18538067;
inline constexpr std::uint32_t kSeekHead = 0x114D9B74;
inline constexpr std::uint32_t kVoid = 0xEC;
inline constexpr std::uint32_t kInfo = 0x1549A966;
inline constexpr std::uint32_t kWritingApp = 0x5741;
inline constexpr std::uint32_t kTracks = 0x1654AE6B;
inline constexpr std::uint32_t kTrackEntry = 0xAE;
inline constexpr std::uint32_t kTrackNumber = 0xD7;
inline constexpr std::uint32_t kTrackType = 0x83;
inline constexpr std::uint32_t kName = 0x536E;
inline constexpr std::uint32_t kCodecId = 0x86;
inline constexpr std::uint32_t kCluster = 0x1F43B675;

// The ID's bytes (its marker bits are part of the value).
std::string Id(std::uint32_t id);
// A size as an EBML variable-length integer of the least width, or of the
// given width (1 to 8).
std::string Size(std::uint64_t size, int width = 0);
// The "unknown" size, 8 bytes.
std::string UnknownSize();
std::string Element(std::uint32_t id, const std::string& payload);
std::string Unsigned(std::uint32_t id, std::uint64_t value);
std::string Text(std::uint32_t id, const std::string& text);
std::string Float(std::uint32_t id, double value);
// The EBML header with the given DocType.
std::string Header(const std::string& docType = "webm");

}  // namespace Ebml

}  // namespace Corvan::Media

#include "media/WebmWriter.h"

#include <cstdio>
#include <cstring>

#include "platform/FileSystem.h"

namespace Corvan::Media {
namespace Ebml {

std::string Id(std::uint32_t id) {
  std::string bytes;
  for (int shift = 24; shift >= 0; shift -= 8) {
    const auto byte = static_cast<char>((id >> shift) & 0xFF);
    if (!bytes.empty() || byte != 0) bytes.push_back(byte);
  }
  return bytes;
}

std::string Size(std::uint64_t size, int width) {
  if (width == 0) {
    // The all-ones value of each width means "unknown", hence the "- 1".
    width = 1;
    while (width < 8 && size >= (std::uint64_t{1} << (7 * width)) - 1) ++width;
  }
  std::string bytes(static_cast<std::size_t>(width), '\0');
  std::uint64_t value = size | (std::uint64_t{1} << (7 * width));
  for (int i = width - 1; i >= 0; --i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
  return bytes;
}

std::string UnknownSize() { return std::string("\x01\xFF\xFF\xFF\xFF\xFF\xFF\xFF", 8); }

std::string Element(std::uint32_t id, const std::string& payload) {
  return Id(id) + Size(payload.size()) + payload;
}

namespace {

std::string BigEndian(std::uint64_t value, int width) {
  std::string bytes(static_cast<std::size_t>(width), '\0');
  for (int i = width - 1; i >= 0; --i) {
    bytes[static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
  return bytes;
}

}  // namespace

std::string Unsigned(std::uint32_t id, std::uint64_t value) {
  int width = 1;
  while (width < 8 && (value >> (8 * width)) != 0) ++width;
  return Element(id, BigEndian(value, width));
}

std::string Text(std::uint32_t id, const std::string& text) { return Element(id, text); }

std::string Float(std::uint32_t id, double value) {
  std::uint64_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return Element(id, BigEndian(bits, 8));
}

std::string Header(const std::string& docType) {
  return Element(kEbml, Unsigned(0x4286, 1) + Unsigned(0x42F7, 1) + Unsigned(0x42F2, 4) +
                            Unsigned(0x42F3, 8) + Text(kDocType, docType) + Unsigned(0x4287, 4) +
                            Unsigned(0x4285, 2));
}

}  // namespace Ebml

namespace {

using namespace Ebml;

constexpr std::uint64_t kFrameMilliseconds = 33;

std::string CodecOf(const WebmTrack& track) {
  if (!track.codec.empty()) return track.codec;
  switch (track.type) {
    case WebmTrackType::Video: return "V_VP8";
    case WebmTrackType::Audio: return "A_OPUS";
    case WebmTrackType::Subtitle: return "S_TEXT/UTF8";
  }
  return "";
}

// Stereo at 48 kHz, the identification header Opus decoders expect.
std::string OpusHead() { return std::string("OpusHead\x01\x02\x38\x01\x80\xBB\x00\x00\x00\x00\x00", 19); }

std::string TrackEntry(const WebmTrack& track, std::uint64_t number) {
  const std::string codec = CodecOf(track);
  std::string body = Unsigned(kTrackNumber, number) + Unsigned(0x73C5, 0x5EED0000 + number) +
                     Unsigned(kTrackType, static_cast<std::uint64_t>(track.type)) +
                     Unsigned(0x9C, 0);
  if (track.name) body += Text(kName, *track.name);
  body += Text(kCodecId, codec);
  if (track.codecPrivate) {
    body += Element(0x63A2, *track.codecPrivate);
  } else if (codec == "A_OPUS") {
    body += Element(0x63A2, OpusHead());
  }
  if (track.codecDelayNs != 0) body += Unsigned(0x56AA, track.codecDelayNs);
  if (track.seekPreRollNs != 0) body += Unsigned(0x56BB, track.seekPreRollNs);
  if (track.type == WebmTrackType::Video) {
    body += Element(0xE0, Unsigned(0xB0, track.width) + Unsigned(0xBA, track.height));
  } else if (track.type == WebmTrackType::Audio) {
    body += Element(0xE1, Float(0xB5, track.samplingRate) + Unsigned(0x9F, track.channels));
  }
  return Element(kTrackEntry, body);
}

std::string Tracks(const WebmOptions& options) {
  std::string body;
  for (std::size_t i = 0; i < options.tracks.size(); ++i) body += TrackEntry(options.tracks[i], i + 1);
  return Element(kTracks, body);
}

std::string Info(const WebmOptions& options) {
  const double duration =
      options.frames.empty()
          ? static_cast<double>(options.clusterCount * options.framesPerCluster) * kFrameMilliseconds
          : options.durationMs;
  std::string body = Unsigned(0x2AD7B1, 1000000) + Float(0x4489, duration) +
                     Text(0x4D80, options.muxingApp);
  if (options.writingApp) body += Text(kWritingApp, *options.writingApp);
  return Element(kInfo, body);
}

std::string Frame(std::size_t bytes, std::uint32_t salt) {
  std::string frame(bytes, '\0');
  std::uint32_t state = salt * 2654435761u + 1;
  for (char& byte : frame) {
    state = state * 1103515245u + 12345u;
    byte = static_cast<char>(state >> 24);
  }
  return frame;
}

std::string SimpleBlock(std::uint64_t track, std::int16_t relative, bool key, const std::string& frame) {
  std::string header = Size(track, 1);
  header.push_back(static_cast<char>((static_cast<std::uint16_t>(relative) >> 8) & 0xFF));
  header.push_back(static_cast<char>(relative & 0xFF));
  header.push_back(key ? '\x80' : '\x00');
  return Element(0xA3, header + frame);
}

// A cluster's time and its children after the Timecode.
struct ClusterContent {
  std::uint64_t timeMs = 0;
  std::string blocks;
};

std::string Cluster(const WebmOptions& options, const ClusterContent& content) {
  const std::string body = Unsigned(0xE7, content.timeMs) + content.blocks;
  if (!options.unknownSizeClusters) return Element(kCluster, body);
  return Id(kCluster) + UnknownSize() + body;
}

ClusterContent DummyCluster(const WebmOptions& options, int index) {
  ClusterContent content;
  content.timeMs = static_cast<std::uint64_t>(index) *
                   static_cast<std::uint64_t>(options.framesPerCluster) * kFrameMilliseconds;
  for (int f = 0; f < options.framesPerCluster; ++f) {
    const auto relative = static_cast<std::int16_t>(f * static_cast<int>(kFrameMilliseconds));
    for (std::size_t t = 0; t < options.tracks.size(); ++t) {
      const WebmTrack& track = options.tracks[t];
      const std::size_t bytes = track.type == WebmTrackType::Video ? options.videoFrameBytes
                                                                    : options.audioFrameBytes;
      const auto salt = static_cast<std::uint32_t>(index * 7919 + f * 31 + static_cast<int>(t));
      const bool key = track.type != WebmTrackType::Video || f == 0;
      content.blocks += SimpleBlock(t + 1, relative, key, Frame(bytes, salt));
    }
  }
  return content;
}

bool VideoKeyframe(const WebmOptions& options, const WebmFrame& frame) {
  return frame.key && frame.track >= 1 && frame.track <= options.tracks.size() &&
         options.tracks[frame.track - 1].type == WebmTrackType::Video;
}

// A block's time is relative to its cluster in 16 signed bits; a cluster
// ends before it would span more.
constexpr std::uint64_t kLongestClusterMs = 30000;

// The coded frames in clusters, a new one at each video keyframe, so that
// every cluster can be played from its start.
std::vector<ClusterContent> CodedClusters(const WebmOptions& options) {
  std::vector<ClusterContent> clusters;
  for (const WebmFrame& frame : options.frames) {
    if (clusters.empty() || (VideoKeyframe(options, frame) && !clusters.back().blocks.empty()) ||
        frame.timeMs < clusters.back().timeMs || frame.timeMs - clusters.back().timeMs > kLongestClusterMs) {
      clusters.push_back({frame.timeMs, ""});
    }
    const auto relative = static_cast<std::int16_t>(frame.timeMs - clusters.back().timeMs);
    clusters.back().blocks += SimpleBlock(frame.track, relative, frame.key, frame.data);
  }
  return clusters;
}

std::vector<ClusterContent> Clusters(const WebmOptions& options) {
  if (!options.frames.empty()) return CodedClusters(options);
  std::vector<ClusterContent> clusters;
  for (int c = 0; c < options.clusterCount; ++c) clusters.push_back(DummyCluster(options, c));
  return clusters;
}

// Seek positions are written 8 bytes wide, so the SeekHead's length does not
// depend on the positions it holds.
std::string SeekHead(const std::vector<std::pair<std::uint32_t, std::uint64_t>>& entries) {
  std::string body;
  for (const auto& [id, position] : entries) {
    std::string wide(8, '\0');
    for (int i = 0; i < 8; ++i) wide[static_cast<std::size_t>(7 - i)] = static_cast<char>(position >> (8 * i));
    body += Element(0x4DBB, Element(0x53AB, Id(id)) + Element(0x53AC, wide));
  }
  return Element(kSeekHead, body);
}

// One cue per cluster, on the first video track (track 1 without one).
std::string Cues(const WebmOptions& options, const std::vector<std::pair<std::uint64_t, std::uint64_t>>& clusters) {
  std::uint64_t track = 1;
  for (std::size_t t = 0; t < options.tracks.size(); ++t) {
    if (options.tracks[t].type == WebmTrackType::Video) {
      track = t + 1;
      break;
    }
  }
  std::string body;
  for (const auto& [time, position] : clusters) {
    body += Element(0xBB, Unsigned(0xB3, time) +
                              Element(0xB7, Unsigned(0xF7, track) + Unsigned(0xF1, position)));
  }
  return Element(0x1C53BB6B, body);
}

// The segment's children in file order, each with the part it is, if any,
// and a cluster's time.
struct SegmentChild {
  std::string bytes;
  std::optional<WebmPart> part;
  std::uint64_t timeMs = 0;
};

std::vector<SegmentChild> SegmentChildren(const WebmOptions& options) {
  std::vector<SegmentChild> children;
  children.push_back({Info(options), WebmPart::Info});
  const std::string tracks = Tracks(options);
  if (!options.tracksAfterFirstCluster) children.push_back({tracks, WebmPart::Tracks});
  const std::vector<ClusterContent> clusters = Clusters(options);
  for (std::size_t c = 0; c < clusters.size(); ++c) {
    children.push_back({Cluster(options, clusters[c]), WebmPart::FirstCluster, clusters[c].timeMs});
    if (c == 0 && options.tracksAfterFirstCluster) children.push_back({tracks, WebmPart::Tracks});
  }
  if (options.tracksAfterFirstCluster && clusters.empty()) children.push_back({tracks, WebmPart::Tracks});
  return children;
}

}  // namespace

WebmImage BuildWebm(const WebmOptions& options) {
  std::vector<SegmentChild> children = SegmentChildren(options);
  const std::string voidElement = Element(kVoid, std::string(24, '\0'));
  const std::size_t seekHeadBytes = SeekHead({{kInfo, 0}, {kTracks, 0}, {0x1C53BB6B, 0}}).size();

  // Positions inside the segment's payload, as SeekHead and Cues give them.
  std::uint64_t position = seekHeadBytes + voidElement.size();
  std::uint64_t infoAt = 0, tracksAt = 0;
  std::vector<std::pair<std::uint64_t, std::uint64_t>> clusterAt;  // time, position
  for (const SegmentChild& child : children) {
    if (child.part == WebmPart::Info) infoAt = position;
    if (child.part == WebmPart::Tracks) tracksAt = position;
    if (child.part == WebmPart::FirstCluster) clusterAt.emplace_back(child.timeMs, position);
    position += child.bytes.size();
  }
  std::string body = SeekHead({{kInfo, infoAt}, {kTracks, tracksAt}, {0x1C53BB6B, position}}) + voidElement;
  for (const SegmentChild& child : children) body += child.bytes;
  if (options.withCues) body += Cues(options, clusterAt);

  WebmImage image;
  image.bytes = Header(options.docType);
  image.layout.ebmlHeader = {0, image.bytes.size()};
  image.bytes += Id(kSegment) + (options.unknownSizeSegment ? UnknownSize() : Size(body.size(), 8));
  const std::size_t base = image.bytes.size();
  std::size_t at = base + seekHeadBytes + voidElement.size();
  for (const SegmentChild& child : children) {
    const WebmRange range{at, at + child.bytes.size()};
    if (child.part == WebmPart::Info) image.layout.info = range;
    if (child.part == WebmPart::Tracks) image.layout.tracks = range;
    if (child.part == WebmPart::FirstCluster) image.layout.clusters.push_back(range);
    at = range.end;
  }
  image.bytes += body;
  return image;
}

std::string TruncatedInside(const WebmImage& image, WebmPart part) {
  WebmRange range;
  switch (part) {
    case WebmPart::EbmlHeader: range = image.layout.ebmlHeader; break;
    case WebmPart::Info: range = image.layout.info; break;
    case WebmPart::Tracks: range = image.layout.tracks; break;
    case WebmPart::FirstCluster:
      if (!image.layout.clusters.empty()) range = image.layout.clusters.front();
      break;
    case WebmPart::LastCluster:
      if (!image.layout.clusters.empty()) range = image.layout.clusters.back();
      break;
  }
  return image.bytes.substr(0, range.begin + (range.end - range.begin) / 2);
}

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  // UTF-8 paths on both systems.
  std::FILE* file = Corvan::Platform::OpenFileStream(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
  return std::fclose(file) == 0 && written;
}

bool WriteWebmFile(const std::string& path, const WebmOptions& options) {
  return WriteFileBytes(path, BuildWebm(options).bytes);
}

std::string GarbageBytes(std::size_t count, std::uint32_t seed) {
  return Frame(count, seed);
}

}  // namespace Corvan::Media

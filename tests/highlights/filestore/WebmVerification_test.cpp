#include "highlights/filestore/WebmVerification.h"

#include <gtest/gtest.h>
#include <webm/buffer_reader.h>

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "media/WebmWriter.h"
#include "support/TempDirectory.h"

namespace Corvan::Client::Highlights {

// Steps print as their numbers in the order of the enumeration.
void PrintTo(WebmVerificationStep step, std::ostream* out) { *out << "step " << static_cast<int>(step); }

namespace {

using namespace std::string_literals;
using Corvan::Media::BuildWebm;
using Corvan::Media::WebmOptions;
using Corvan::Media::WebmPart;
using Corvan::Media::WebmTrack;
using Corvan::Media::WebmTrackType;
using Step = WebmVerificationStep;
namespace Ebml = Corvan::Media::Ebml;

WebmVerification InspectBytes(const std::string& bytes) {
  webm::BufferReader reader(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
  return InspectWebm(reader, bytes.size());
}

WebmOptions WithTracks(std::vector<WebmTrack> tracks) {
  WebmOptions options;
  options.tracks = std::move(tracks);
  return options;
}

WebmOptions With(const std::function<void(WebmOptions&)>& change) {
  WebmOptions options;
  change(options);
  return options;
}

std::string Bytes(const WebmOptions& options) { return BuildWebm(options).bytes; }

const WebmTrack kVideo{WebmTrackType::Video, "KYNVideo"s, ""};
const WebmTrack kAudio{WebmTrackType::Audio, "KYNAudio"s, ""};

// A segment of unknown size holding the given children, after the header.
std::string SegmentOf(const std::string& children) {
  return Ebml::Header() + Ebml::Id(Ebml::kSegment) + Ebml::UnknownSize() + children;
}

std::string GameInfo() { return Ebml::Element(Ebml::kInfo, Ebml::Text(Ebml::kWritingApp, "Realm Of Kynmoor")); }

std::string TracksOf(const std::string& entries) { return Ebml::Element(Ebml::kTracks, entries); }

std::string VideoEntry(std::uint64_t number) {
  return Ebml::Element(Ebml::kTrackEntry, Ebml::Unsigned(Ebml::kTrackNumber, number) +
                                              Ebml::Unsigned(Ebml::kTrackType, 1) +
                                              Ebml::Text(Ebml::kName, "KYNVideo"));
}

struct Case {
  const char* name;
  std::string bytes;
  Step step;
  std::string text = "";
  std::vector<std::uint64_t> nameless = {};
};

// Each case with a new parser, and all of them in turn with one parser
// that every case before has left in the state it ended in.
void ExpectCases(const std::vector<Case>& cases) {
  WebmVerifier verifier;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    webm::BufferReader reader(std::vector<std::uint8_t>(c.bytes.begin(), c.bytes.end()));
    for (const WebmVerification& result : {InspectBytes(c.bytes), verifier.Inspect(reader, c.bytes.size())}) {
      EXPECT_EQ(result.step, c.step);
      EXPECT_EQ(result.text, c.text);
      EXPECT_EQ(result.namelessTracks, c.nameless);
    }
  }
}

TEST(WebmVerification, AppliesTheThreeChecksToTheTracks) {
  const WebmTrack nameless{WebmTrackType::Audio, std::nullopt, ""};
  const WebmTrack otherVideo{WebmTrackType::Video, "Camera"s, ""};
  ExpectCases({
      {"video and audio as the game writes them", Bytes({}), Step::kPassed},
      {"video alone", Bytes(WithTracks({kVideo})), Step::kPassed},
      {"VP9 and Vorbis", Bytes(WithTracks({{WebmTrackType::Video, "KYNVideo"s, "V_VP9"},
                                            {WebmTrackType::Audio, "KYNAudio"s, "A_VORBIS"}})),
       Step::kPassed},
      {"nameless audio track passed over", Bytes(WithTracks({kVideo, nameless})), Step::kPassed, "", {1}},
      {"nameless video track passed over, none left", Bytes(WithTracks({{WebmTrackType::Video, {}, ""}})),
       Step::kNoHighlightVideoTrack, "", {0}},
      {"audio alone", Bytes(WithTracks({kAudio})), Step::kNoHighlightVideoTrack},
      {"second video of another name", Bytes(WithTracks({kVideo, otherVideo})), Step::kWrongVideoTrackName,
       "Camera"},
      {"other video first", Bytes(WithTracks({otherVideo, kAudio, kVideo})), Step::kWrongVideoTrackName,
       "Camera"},
      {"empty video name", Bytes(WithTracks({{WebmTrackType::Video, ""s, ""}})), Step::kWrongVideoTrackName},
      {"audio name in other case", Bytes(WithTracks({kVideo, {WebmTrackType::Audio, "kynaudio"s, ""}})),
       Step::kWrongAudioTrackName, "kynaudio"},
      {"subtitle of any name ignored",
       Bytes(WithTracks({{WebmTrackType::Subtitle, "Chat"s, ""}, kVideo, kAudio})), Step::kPassed},
      {"subtitle alone", Bytes(WithTracks({{WebmTrackType::Subtitle, "KYNVideo"s, ""}})),
       Step::kNoHighlightVideoTrack},
      {"no tracks at all", Bytes(WithTracks({})), Step::kNoTrackEntries},
      // Texts are whole byte strings; trailing zero bytes are EBML padding.
      {"zero byte inside the name", Bytes(WithTracks({{WebmTrackType::Video, "KYNVideo\0x"s, ""}})),
       Step::kWrongVideoTrackName, "KYNVideo\0x"s},
      {"zero padding after the name", Bytes(WithTracks({{WebmTrackType::Video, "KYNVideo\0\0"s, ""}})),
       Step::kPassed},
  });
}

TEST(WebmVerification, ChecksTheWritingApplication) {
  ExpectCases({
      {"trailing blank", Bytes(With([](auto& o) { o.writingApp = "Realm Of Kynmoor "; })),
       Step::kWrongWritingApp, "Realm Of Kynmoor "},
      {"letter case", Bytes(With([](auto& o) { o.writingApp = "Realm of Kynmoor"; })), Step::kWrongWritingApp,
       "Realm of Kynmoor"},
      {"zero byte inside", Bytes(With([](auto& o) { o.writingApp = "Realm Of Kynmoor\0!"s; })),
       Step::kWrongWritingApp, "Realm Of Kynmoor\0!"s},
      {"absent", Bytes(With([](auto& o) { o.writingApp.reset(); })), Step::kWrongWritingApp},
      // Check (1) comes before the tracks are looked at.
      {"wrong application and wrong track",
       Bytes(With([](auto& o) { o.writingApp = "x"; o.tracks = {{WebmTrackType::Video, "y"s, ""}}; })),
       Step::kWrongWritingApp, "x"},
      {"a Matroska file", Bytes(With([](auto& o) { o.docType = "matroska"; })), Step::kPassed},
  });
}

TEST(WebmVerification, RejectsWhatDoesNotParseUpToTheTracks) {
  const Corvan::Media::WebmImage game = BuildWebm({});
  ExpectCases({
      {"empty file", "", Step::kHeaderNotParsed},
      {"truncated header", TruncatedInside(game, WebmPart::EbmlHeader), Step::kHeaderNotParsed},
      {"garbage", Corvan::Media::GarbageBytes(4096), Step::kHeaderNotParsed},
      {"another document type", Bytes(With([](auto& o) { o.docType = "mp4"; })), Step::kHeaderNotParsed},
      {"segment before the header", Ebml::Id(Ebml::kSegment) + Ebml::UnknownSize() + Ebml::Header(),
       Step::kHeaderNotParsed},
      {"header alone", Ebml::Header(), Step::kSegmentNotCreated},
      {"header and a void", Ebml::Header() + Ebml::Element(Ebml::kVoid, "xx"), Step::kSegmentNotCreated},
      {"garbage after the header", Ebml::Header() + "\xFF\xFF\xFF", Step::kSegmentNotCreated},
      {"truncated inside Info", TruncatedInside(game, WebmPart::Info), Step::kSegmentNotLoaded},
      {"truncated inside Tracks", TruncatedInside(game, WebmPart::Tracks), Step::kSegmentNotLoaded},
      {"garbage where Tracks belong", SegmentOf(GameInfo() + "\x00\x00\x00"s), Step::kSegmentNotLoaded},
      {"Info twice", SegmentOf(GameInfo() + GameInfo() + TracksOf(VideoEntry(1))), Step::kSegmentNotLoaded},
      {"track numbers repeated", SegmentOf(GameInfo() + TracksOf(VideoEntry(1) + VideoEntry(1))),
       Step::kSegmentNotLoaded},
      {"track number 0", SegmentOf(GameInfo() + TracksOf(VideoEntry(0))), Step::kSegmentNotLoaded},
      {"track without a type",
       SegmentOf(GameInfo() + TracksOf(Ebml::Element(Ebml::kTrackEntry, Ebml::Unsigned(Ebml::kTrackNumber, 1) +
                                                                            Ebml::Text(Ebml::kName, "KYNVideo")))),
       Step::kSegmentNotLoaded},
      {"no Info", SegmentOf(TracksOf(VideoEntry(1))), Step::kNoSegmentInfo},
      {"Info alone", SegmentOf(GameInfo()), Step::kNoTracks},
      // Reading on past a Cluster would mean reading the whole video.
      {"Tracks after the first cluster", Bytes(With([](auto& o) { o.tracksAfterFirstCluster = true; })),
       Step::kNoTracks},
  });
}

TEST(WebmVerification, AcceptsFilesStillBeingWritten) {
  const auto cutInsideCluster = [](const WebmOptions& options, WebmPart part) {
    return TruncatedInside(BuildWebm(options), part);
  };
  const WebmOptions unknownSizes = With([](auto& o) { o.unknownSizeSegment = o.unknownSizeClusters = true; });
  ExpectCases({
      {"cut inside the last cluster", cutInsideCluster({}, WebmPart::LastCluster), Step::kPassed},
      {"cut inside the first cluster", cutInsideCluster({}, WebmPart::FirstCluster), Step::kPassed},
      {"unknown sizes cut inside a cluster", cutInsideCluster(unknownSizes, WebmPart::LastCluster), Step::kPassed},
      {"unknown-size clusters", Bytes(With([](auto& o) { o.unknownSizeClusters = true; })), Step::kPassed},
      {"unknown-size segment", Bytes(With([](auto& o) { o.unknownSizeSegment = true; })), Step::kPassed},
      {"ending right after Tracks", Bytes(With([](auto& o) { o.clusterCount = 0; o.withCues = false; })),
       Step::kPassed},
      {"Tracks before Info", SegmentOf(TracksOf(VideoEntry(1)) + GameInfo()), Step::kPassed},
  });
}

TEST(WebmVerification, RefusesSizesTheFileDoesNotHold) {
  const std::string huge = Ebml::Size(std::uint64_t{1} << 50);
  const std::string hugeDocType = Ebml::Id(Ebml::kEbml) + Ebml::Size(2 + 8) + Ebml::Id(Ebml::kDocType) + huge;
  const std::string hugeApp = Ebml::Id(Ebml::kWritingApp) + huge + "Realm";
  ExpectCases({
      {"document type larger than the file", hugeDocType, Step::kHeaderNotParsed},
      {"header larger than the file", Ebml::Id(Ebml::kEbml) + huge, Step::kHeaderNotParsed},
      {"writing application larger than Info",
       SegmentOf(Ebml::Element(Ebml::kInfo, hugeApp) + TracksOf(VideoEntry(1))), Step::kSegmentNotLoaded},
      {"Info larger than the file", SegmentOf(Ebml::Id(Ebml::kInfo) + huge + GameInfo()), Step::kSegmentNotLoaded},
      {"Info of unknown size", SegmentOf(Ebml::Id(Ebml::kInfo) + Ebml::UnknownSize() + GameInfo()),
       Step::kSegmentNotLoaded},
      {"void larger than the file", SegmentOf(Ebml::Id(Ebml::kVoid) + huge + GameInfo()), Step::kSegmentNotLoaded},
      {"name larger than its entry",
       SegmentOf(GameInfo() + TracksOf(Ebml::Element(Ebml::kTrackEntry, Ebml::Id(Ebml::kName) + huge))),
       Step::kSegmentNotLoaded},
      {"Tracks over 1 MiB",
       SegmentOf(GameInfo() + TracksOf(VideoEntry(1) + Ebml::Element(Ebml::kVoid, std::string(1u << 20, '\0')))),
       Step::kSegmentNotLoaded},
  });
}

TEST(WebmVerification, ReadsHeadersWhereverTheyStand) {
  const std::string bigVoid = Ebml::Element(Ebml::kVoid, std::string(3u << 20, '\0'));
  const std::string voidInTracks = TracksOf(VideoEntry(1) + Ebml::Element(Ebml::kVoid, "pad"));
  ExpectCases({
      // The read limit is on an element's size, not on where it begins.
      {"Info and Tracks after 3 MiB of Void", SegmentOf(bigVoid + GameInfo() + TracksOf(VideoEntry(1))),
       Step::kPassed},
      {"Tracks after 3 MiB of Void", SegmentOf(GameInfo() + bigVoid + TracksOf(VideoEntry(1))), Step::kPassed},
      // A segment that ends with a Tracks whose last child is a Void.
      {"known-size segment ends after a padded Tracks",
       Ebml::Header() + Ebml::Element(Ebml::kSegment, GameInfo() + voidInTracks), Step::kPassed},
      {"unknown-size segment ends after a padded Tracks", SegmentOf(GameInfo() + voidInTracks), Step::kPassed},
  });
}

// A reader that counts what the parse takes from the file.
class CountingReader final : public webm::Reader {
 public:
  explicit CountingReader(const std::string& bytes)
      : inner_(std::vector<std::uint8_t>(bytes.begin(), bytes.end())) {}
  webm::Status Read(std::size_t count, std::uint8_t* buffer, std::uint64_t* read) override {
    const webm::Status status = inner_.Read(count, buffer, read);
    taken_ += *read;
    return status;
  }
  webm::Status Skip(std::uint64_t count, std::uint64_t* skipped) override {
    const webm::Status status = inner_.Skip(count, skipped);
    taken_ += *skipped;
    return status;
  }
  std::uint64_t Position() const override { return inner_.Position(); }
  std::uint64_t taken() const { return taken_; }

 private:
  webm::BufferReader inner_;
  std::uint64_t taken_ = 0;
};

TEST(WebmVerification, StopsAtTheFirstClusterHeader) {
  for (const bool unknownSizes : {false, true}) {
    SCOPED_TRACE(unknownSizes ? "unknown sizes" : "known sizes");
    const Corvan::Media::WebmImage image = BuildWebm(With([&](auto& o) {
      o.clusterCount = 40;
      o.framesPerCluster = 30;
      o.videoFrameBytes = 4000;
      o.unknownSizeSegment = o.unknownSizeClusters = unknownSizes;
    }));
    ASSERT_GT(image.bytes.size(), 4'000'000u);
    CountingReader reader(image.bytes);
    EXPECT_TRUE(InspectWebm(reader, image.bytes.size()).passed());
    // The cluster's ID and size (at most 12 bytes), and not one byte more.
    EXPECT_LE(reader.taken(), image.layout.clusters.front().begin + 12);
  }
}

TEST(WebmVerification, VerifiesFilesOnDisk) {
  Corvan::Testing::TempDirectory folder;
  const WebmOptions large = With([](auto& o) {
    o.clusterCount = 20;
    o.framesPerCluster = 30;
    o.videoFrameBytes = 8000;
  });
  WebmOptions largeUnknown = large;
  largeUnknown.unknownSizeClusters = true;
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf("known.webm"), large));
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf("unknown.webm"), largeUnknown));
  ASSERT_TRUE(Corvan::Media::WriteFileBytes(folder.PathOf("writing.webm"),
                                          TruncatedInside(BuildWebm(large), WebmPart::LastCluster)));
  ASSERT_TRUE(Corvan::Media::WriteFileBytes(folder.PathOf("empty.webm"), ""));
  ASSERT_TRUE(Corvan::Media::WriteWebmFile(folder.PathOf("other.webm"), WithTracks({kAudio})));

  EXPECT_TRUE(VerifyWebmFile(folder.PathOf("known.webm")));
  EXPECT_TRUE(VerifyWebmFile(folder.PathOf("unknown.webm")));
  EXPECT_TRUE(VerifyWebmFile(folder.PathOf("writing.webm")));
  EXPECT_FALSE(VerifyWebmFile(folder.PathOf("empty.webm")));
  EXPECT_FALSE(VerifyWebmFile(folder.PathOf("other.webm")));
  EXPECT_EQ(InspectWebmFile(folder.PathOf("empty.webm")).step, Step::kHeaderNotParsed);
  EXPECT_EQ(InspectWebmFile(folder.PathOf("missing.webm")).step, Step::kOpenFailed);
  EXPECT_FALSE(VerifyWebmFile(folder.PathOf("missing.webm")));
  // A directory opens for reading on POSIX, but is no file to parse.
  EXPECT_EQ(InspectWebmFile(folder.path()).step, Step::kOpenFailed);
}

}  // namespace
}  // namespace Corvan::Client::Highlights

#include "highlights/filestore/WebmVerification.h"

#include <webm/callback.h>
#include <webm/file_reader.h>
#include <webm/reader.h>
#include <webm/status.h>
#include <webm/webm_parser.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <memory>
#include <string_view>

#include "logging/Diagnostics.h"
#include "platform/FileStream.h"
#include "platform/FileSystem.h"
#include "platform/FileUtilities.h"

namespace Corvan::Client::Highlights {
namespace {

using webm::Action;
using webm::ElementMetadata;
using webm::Id;
using webm::Status;

constexpr std::string_view kWritingApplication = "Realm Of Kynmoor";
constexpr std::string_view kVideoTrackName = "KYNVideo";
constexpr std::string_view kAudioTrackName = "KYNAudio";

// The largest EBML header, Info or Tracks read: real ones take a few hundred
// bytes, and the parser allocates what a string or binary element declares.
constexpr std::uint64_t kLargestReadElement = 1u << 20;

// Codes of our own (libwebm leaves positive codes to callbacks) that end
// the parse: the header part is over (both Info and Tracks read, or the
// first Cluster or the segment's end reached), or an element was refused.
constexpr std::int32_t kHeadersOver = 1;
constexpr std::int32_t kRefused = 2;

// The bytes read at a file's start: real headers (EBML header, SeekHead,
// Info, Tracks) take a few hundred bytes to a few KiB. A header that goes on
// past them is read on in steps of kLaterReadBytes.
constexpr std::size_t kFirstReadBytes = 4 * 1024;
constexpr std::size_t kLaterReadBytes = 64 * 1024;

// A reader over a file whose first bytes are already in a buffer: reads
// within them cost no system call, a read past them one pread of a buffer's
// worth, and once a read came back short the end of the file is known.
class BufferedFileReader final : public webm::Reader {
 public:
  BufferedFileReader(Platform::ReadOnlyFile& file, std::vector<std::uint8_t>& buffer)
      : file_(file), buffer_(buffer), data_(buffer.data()) {}

  // Reads the file's first bytes; the bytes read.
  std::size_t Start() { return Fill(0, kFirstReadBytes); }
  bool EndKnown() const { return endKnown_; }

  Status Read(std::size_t count, std::uint8_t* out, std::uint64_t* done) override {
    // The parser reads ids, sizes and numbers a byte at a time, a few
    // hundred calls per file, nearly all from the buffer: those take no
    // loop, no call and no saved registers.
    const std::uint64_t at = position_ - bufferStart_;
    if (count == 1 && position_ >= bufferStart_ && at < valid_) {
      *out = data_[at];
      ++position_;
      *done = 1;
      return Status(Status::kOkCompleted);
    }
    return ReadMany(count, out, done);
  }

  Status Skip(std::uint64_t count, std::uint64_t* done) override {
    std::uint64_t step = count;
    if (endKnown_) {
      const std::uint64_t end = bufferStart_ + valid_;
      step = position_ >= end ? 0 : std::min(count, end - position_);
    }
    position_ += step;
    *done = step;
    return Outcome(step, count);
  }

  std::uint64_t Position() const override { return position_; }

 private:
  [[gnu::noinline]] Status ReadMany(std::size_t count, std::uint8_t* out, std::uint64_t* done) {
    *done = 0;
    while (*done < count) {
      if (position_ < bufferStart_ || position_ >= bufferStart_ + valid_) {
        if (endKnown_ && position_ >= bufferStart_ + valid_) break;
        if (Fill(position_, buffer_.size()) == 0) break;
      }
      const std::size_t at = static_cast<std::size_t>(position_ - bufferStart_);
      const std::size_t step = std::min<std::size_t>(count - *done, valid_ - at);
      std::memcpy(out + *done, data_ + at, step);
      *done += step;
      position_ += step;
    }
    return Outcome(*done, count);
  }

  static Status Outcome(std::uint64_t done, std::uint64_t wanted) {
    if (done == wanted) return Status(Status::kOkCompleted);
    return Status(done != 0 ? Status::kOkPartial : Status::kEndOfFile);
  }

  std::size_t Fill(std::uint64_t offset, std::size_t count) {
    bufferStart_ = offset;
    valid_ = file_.ReadAt(offset, data_, count);
    if (valid_ < count) endKnown_ = true;
    return valid_;
  }

  Platform::ReadOnlyFile& file_;
  std::vector<std::uint8_t>& buffer_;
  std::uint8_t* const data_;  // the buffer's bytes, which never move while reading
  std::uint64_t bufferStart_ = 0;
  std::size_t valid_ = 0;
  std::uint64_t position_ = 0;
  bool endKnown_ = false;
};

struct TrackSummary {
  std::uint64_t type = 0;
  bool named = false;
  std::string name;
};

// Where an element the parse reads lies, and how far it got.
struct ReadPart {
  bool begun = false;
  bool complete = false;
  std::uint64_t end = 0;
};

enum class Phase { kHeader, kBeforeSegment, kSegment };

}  // namespace

// What the header of the file being verified gave; kept by the verifier, so
// that its storage serves every file.
struct WebmVerifier::Collected {
  bool hasWritingApp = false;
  std::string writingApp;
  std::vector<TrackSummary> tracks;
  std::vector<std::uint64_t> trackNumbers;

  void Clear() {
    hasWritingApp = false;
    writingApp.clear();
    tracks.clear();
    trackNumbers.clear();
  }
};

namespace {

// Collects the EBML header, Info and Tracks from the parser's events and
// decides, element by element, what is read, skipped or refused.
class HeaderCollector final : public webm::Callback {
 public:
  HeaderCollector(std::uint64_t fileSize, WebmVerifier::Collected& collected)
      : fileSize_(fileSize),
        hasWritingApp_(collected.hasWritingApp),
        writingApp_(collected.writingApp),
        tracks_(collected.tracks),
        trackNumbers_(collected.trackNumbers) {
    collected.Clear();
  }

  Status OnElementBegin(const ElementMetadata& metadata, Action* action) override;
  Status OnEbml(const ElementMetadata& metadata, const webm::Ebml& ebml) override;
  Status OnSegmentBegin(const ElementMetadata& metadata, Action* action) override;
  Status OnInfo(const ElementMetadata& metadata, const webm::Info& info) override;
  Status OnTrackEntry(const ElementMetadata& metadata, const webm::TrackEntry& entry) override;
  Status OnSegmentEnd(const ElementMetadata& metadata) override;

  // The step the parse ended at, from the status Feed returned and the
  // reader's position then: kPassed when Info and Tracks may be checked.
  WebmVerificationStep LoadStep(Status status, std::uint64_t position);
  // Applies the three checks to what was collected.
  WebmVerification Check() const;

 private:
  static std::uint64_t EndOf(const ElementMetadata& metadata) {
    return metadata.position + metadata.header_size + metadata.size;
  }
  // True when the element has a known size and ends within `limit`.
  static bool EndsWithin(const ElementMetadata& metadata, std::uint64_t limit) {
    return metadata.size != webm::kUnknownElementSize && metadata.size <= limit &&
           metadata.position + metadata.header_size <= limit - metadata.size;
  }
  // Elements read whole (the EBML header, Info, Tracks) are held to the file
  // and to the read limit, wherever in the file they stand.
  bool FitsRead(const ElementMetadata& metadata) const {
    return EndsWithin(metadata, fileSize_) && metadata.size <= kLargestReadElement;
  }
  Status BeginHeaderElement(const ElementMetadata& metadata);
  Status BeginSegmentChild(const ElementMetadata& metadata, Action* action);
  Status BeginReadPart(const ElementMetadata& metadata, ReadPart& part);
  Status NoteProgress(std::uint64_t position);

  const std::uint64_t fileSize_;
  Phase phase_ = Phase::kHeader;
  std::uint64_t headerEnd_ = 0;
  bool headerBegun_ = false;
  ReadPart infoPart_;
  ReadPart tracksPart_;
  bool& hasWritingApp_;
  std::string& writingApp_;
  std::vector<TrackSummary>& tracks_;
  std::vector<std::uint64_t>& trackNumbers_;
  double durationMs_ = 0;
  std::uint64_t width_ = 0;
  std::uint64_t height_ = 0;
};

Status HeaderCollector::OnElementBegin(const ElementMetadata& metadata, Action* action) {
  switch (phase_) {
    case Phase::kHeader: return BeginHeaderElement(metadata);
    case Phase::kBeforeSegment:
      // Whatever stands between the header and the Segment is skipped.
      if (metadata.id == Id::kSegment) return Status(Status::kOkCompleted);
      if (!EndsWithin(metadata, fileSize_)) return Status(kRefused);
      *action = Action::kSkip;
      return Status(Status::kOkCompleted);
    case Phase::kSegment: break;
  }
  for (const ReadPart* part : {&infoPart_, &tracksPart_}) {
    if (part->begun && !part->complete && metadata.position < part->end) {
      // Inside Info or Tracks: the parser allocates string and binary
      // elements at their declared size, so they must fit their parent.
      return EndsWithin(metadata, part->end) ? Status(Status::kOkCompleted) : Status(kRefused);
    }
  }
  return BeginSegmentChild(metadata, action);
}

Status HeaderCollector::BeginHeaderElement(const ElementMetadata& metadata) {
  if (!headerBegun_) {
    // The file's first element must be the EBML header.
    if (metadata.id != Id::kEbml || !FitsRead(metadata)) {
      return Status(kRefused);
    }
    headerBegun_ = true;
    headerEnd_ = EndOf(metadata);
    return Status(Status::kOkCompleted);
  }
  return EndsWithin(metadata, headerEnd_) ? Status(Status::kOkCompleted) : Status(kRefused);
}

Status HeaderCollector::BeginSegmentChild(const ElementMetadata& metadata, Action* action) {
  if (const Status progress = NoteProgress(metadata.position); progress.code != Status::kOkCompleted) {
    return progress;
  }
  switch (metadata.id) {
    // Clusters are never read: Info and Tracks come before them.
    case Id::kCluster: return Status(kHeadersOver);
    case Id::kInfo: return BeginReadPart(metadata, infoPart_);
    case Id::kTracks: return BeginReadPart(metadata, tracksPart_);
    default:
      // SeekHead, Void, Cues, Tags and the like are skipped unread; an
      // element past the end of the file means Info or Tracks cannot follow.
      if (!EndsWithin(metadata, fileSize_)) return Status(kRefused);
      *action = Action::kSkip;
      return Status(Status::kOkCompleted);
  }
}

Status HeaderCollector::BeginReadPart(const ElementMetadata& metadata, ReadPart& part) {
  if (part.begun || !FitsRead(metadata)) {
    return Status(kRefused);
  }
  part.begun = true;
  part.end = EndOf(metadata);
  return NoteProgress(metadata.position + metadata.header_size);
}

// Tracks has no end event: it is complete once the parse is at its end.
Status HeaderCollector::NoteProgress(std::uint64_t position) {
  if (tracksPart_.begun && position >= tracksPart_.end) tracksPart_.complete = true;
  return infoPart_.complete && tracksPart_.complete ? Status(kHeadersOver) : Status(Status::kOkCompleted);
}

Status HeaderCollector::OnEbml(const ElementMetadata&, const webm::Ebml& ebml) {
  const std::string& docType = ebml.doc_type.value();
  if (ebml.ebml_read_version.value() > 1 || (docType != "webm" && docType != "matroska")) {
    return Status(kRefused);
  }
  phase_ = Phase::kBeforeSegment;
  return Status(Status::kOkCompleted);
}

Status HeaderCollector::OnSegmentBegin(const ElementMetadata&, Action* action) {
  // A segment may run past the end of a file still being written, or have
  // an unknown size; only its children's sizes are held to the file.
  phase_ = Phase::kSegment;
  *action = Action::kRead;
  return Status(Status::kOkCompleted);
}

Status HeaderCollector::OnInfo(const ElementMetadata& metadata, const webm::Info& info) {
  infoPart_.complete = true;
  hasWritingApp_ = info.writing_app.is_present();
  writingApp_ = info.writing_app.value();
  if (info.duration.is_present()) {
    // Duration counts in TimecodeScale nanoseconds.
    durationMs_ = info.duration.value() * static_cast<double>(info.timecode_scale.value()) / 1e6;
  }
  return NoteProgress(EndOf(metadata));
}

Status HeaderCollector::OnTrackEntry(const ElementMetadata& metadata, const webm::TrackEntry& entry) {
  // TrackNumber and TrackType are mandatory, numbers unique and not 0.
  const std::uint64_t number = entry.track_number.value();
  if (!entry.track_type.is_present() || number == 0 ||
      std::find(trackNumbers_.begin(), trackNumbers_.end(), number) != trackNumbers_.end()) {
    return Status(kRefused);
  }
  trackNumbers_.push_back(number);
  tracks_.push_back({static_cast<std::uint64_t>(entry.track_type.value()), entry.name.is_present(),
                    entry.name.value()});
  if (entry.track_type.value() == webm::TrackType::kVideo && width_ == 0 && entry.video.is_present()) {
    width_ = entry.video.value().pixel_width.value();
    height_ = entry.video.value().pixel_height.value();
  }
  return NoteProgress(EndOf(metadata));
}

Status HeaderCollector::OnSegmentEnd(const ElementMetadata&) { return Status(kHeadersOver); }

WebmVerificationStep HeaderCollector::LoadStep(Status status, std::uint64_t position) {
  if (status.code != kHeadersOver) {
    if (phase_ == Phase::kHeader) return WebmVerificationStep::kHeaderNotParsed;
    if (phase_ == Phase::kBeforeSegment) return WebmVerificationStep::kSegmentNotCreated;
    // The end of the file is no failure by itself: a file may end right
    // after its Tracks. Malformed data, refusals and read errors are.
    if (status.code != Status::kEndOfFile && status.code != Status::kOkCompleted) {
      return WebmVerificationStep::kSegmentNotLoaded;
    }
  }
  // A Tracks whose last child is no entry (a Void) is complete once the
  // parse is past it, also where the segment ends right there.
  (void)NoteProgress(position);
  if ((infoPart_.begun && !infoPart_.complete) || (tracksPart_.begun && !tracksPart_.complete)) {
    return WebmVerificationStep::kSegmentNotLoaded;
  }
  return WebmVerificationStep::kPassed;
}

WebmVerification HeaderCollector::Check() const {
  WebmVerification result;
  result.durationMs = durationMs_;
  result.width = width_;
  result.height = height_;
  if (!infoPart_.complete) {
    result.step = WebmVerificationStep::kNoSegmentInfo;
  } else if (!hasWritingApp_ || writingApp_ != kWritingApplication) {
    result.step = WebmVerificationStep::kWrongWritingApp;
    result.text = writingApp_;
  } else if (!tracksPart_.complete) {
    result.step = WebmVerificationStep::kNoTracks;
  } else if (tracks_.empty()) {
    result.step = WebmVerificationStep::kNoTrackEntries;
  } else {
    bool videoFound = false;
    for (std::size_t i = 0; i < tracks_.size(); ++i) {
      const TrackSummary& track = tracks_[i];
      if (!track.named) {
        result.namelessTracks.push_back(i);
        continue;
      }
      const bool video = track.type == 1, audio = track.type == 2;
      if ((video && track.name != kVideoTrackName) || (audio && track.name != kAudioTrackName)) {
        result.step = video ? WebmVerificationStep::kWrongVideoTrackName
                            : WebmVerificationStep::kWrongAudioTrackName;
        result.text = track.name;
        return result;
      }
      videoFound = videoFound || video;
    }
    if (!videoFound) result.step = WebmVerificationStep::kNoHighlightVideoTrack;
  }
  return result;
}

}  // namespace

WebmVerifier::WebmVerifier()
    : parser_(std::make_unique<webm::WebmParser>()), collected_(std::make_unique<Collected>()) {}

WebmVerifier::~WebmVerifier() = default;

WebmVerification WebmVerifier::Inspect(webm::Reader& reader, std::uint64_t size) {
  HeaderCollector collector(size, *collected_);
  WebmVerificationStep step;
  try {
    // The position is taken after the parse (not as a second argument,
    // which the compiler may evaluate first).
    const Status status = parser_->Feed(&collector, &reader);
    step = collector.LoadStep(status, reader.Position());
    // Back to the state of a new parser: the next file starts at its byte 0.
    parser_->DidSeek();
  } catch (const std::exception&) {
    // The parser's own allocations are all that can throw here; a parser
    // left in the middle of an element is not used again.
    step = collector.LoadStep(Status(kRefused), reader.Position());
    parser_ = std::make_unique<webm::WebmParser>();
  }
  if (step != WebmVerificationStep::kPassed) {
    WebmVerification result;
    result.step = step;
    return result;
  }
  return collector.Check();
}

WebmVerification WebmVerifier::InspectFile(const std::string& path) {
  WebmVerification result;
  result.step = WebmVerificationStep::kOpenFailed;
  std::FILE* stream = OpenFileUtf8(path, "rb");
  if (stream == nullptr) return result;
  std::uint64_t size = 0;
  const bool regular = Platform::RegularFileSize(stream, size);
  webm::FileReader reader(stream);  // closes the stream on every path
  return regular ? Inspect(reader, size) : result;
}

bool WebmVerifier::VerifyFileIn(const Platform::Directory& folder, FileEntry& entry) {
  WebmVerification verification;
  verification.step = WebmVerificationStep::kOpenFailed;
  Platform::ReadOnlyFile file;
  const char* relativePath = entry.path.c_str() + folder.base().size();
  if (file.Open(folder, relativePath) &&
      (entry.described || file.Describe(entry.size, entry.lastWriteTime))) {
    entry.described = true;
    if (buffer_.empty()) buffer_.resize(kLaterReadBytes);
    BufferedFileReader reader(file, buffer_);
    const std::size_t first = reader.Start();
    // A short first read tells the size; else the listing's, unless the
    // file has grown since.
    const std::uint64_t size = reader.EndKnown() ? first : std::max<std::uint64_t>(entry.size, first);
    verification = Inspect(reader, size);
  }
  TraceWebmVerification(verification, entry.path);
  return verification.passed();
}

bool WebmVerifier::VerifyFile(const std::string& path) {
  const WebmVerification verification = InspectFile(path);
  TraceWebmVerification(verification, path);
  return verification.passed();
}

bool VerifyWebmFile(const std::string& path) { return WebmVerifier().VerifyFile(path); }

WebmVerification InspectWebmFile(const std::string& path) { return WebmVerifier().InspectFile(path); }

WebmVerification InspectWebm(webm::Reader& reader, std::uint64_t size) {
  return WebmVerifier().Inspect(reader, size);
}

void TraceWebmVerification(const WebmVerification& verification, const std::string& path) {
  const char* file = path.c_str();
  const char* text = verification.text.c_str();
  for (const std::uint64_t index : verification.namelessTracks) {
    DebugTrace("kyn-highlights: VerifyWebmFile: Unable to get Track Name from Track %lu from file %s",
               static_cast<unsigned long>(index), file);
  }
  switch (verification.step) {
    case WebmVerificationStep::kPassed:
    case WebmVerificationStep::kNoTrackEntries:
    case WebmVerificationStep::kNoHighlightVideoTrack: return;
    case WebmVerificationStep::kOpenFailed:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Could not open file %s", file);
    case WebmVerificationStep::kHeaderNotParsed:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Parse failed on file %s", file);
    case WebmVerificationStep::kSegmentNotCreated:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Unable to create a Segment from file %s", file);
    case WebmVerificationStep::kSegmentNotLoaded:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Unable to load a Segment from file %s", file);
    case WebmVerificationStep::kNoSegmentInfo:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Unable to get Segment Info from file %s", file);
    case WebmVerificationStep::kWrongWritingApp:
      return DebugTrace(
          "kyn-highlights: VerifyWebmFile: Failed Check (1) Incorrect Writing Application: %s", text);
    case WebmVerificationStep::kNoTracks:
      return DebugTrace("kyn-highlights: VerifyWebmFile: Unable to get Tracks from file %s", file);
    case WebmVerificationStep::kWrongVideoTrackName:
      return DebugTrace(
          "kyn-highlights: VerifyWebmFile: Failed Check (2) Video Track with incorrect Name: %s", text);
    case WebmVerificationStep::kWrongAudioTrackName:
      return DebugTrace(
          "kyn-highlights: VerifyWebmFile: Failed Check (3) Audio Track with incorrect Name: %s", text);
  }
}

}  // namespace Corvan::Client::Highlights

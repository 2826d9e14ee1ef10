#include "media/encoding/OpusAudioEncoder.h"

#include <opus.h>

#include <algorithm>

namespace Corvan::Media {

struct OpusAudioEncoder::State {
  OpusEncoder* encoder = nullptr;
  std::uint64_t track = 2;
  int preSkip = 0;
  ~State() {
    if (encoder != nullptr) opus_encoder_destroy(encoder);
  }
};

namespace {

constexpr int kChannels = 2;
// Players decode this much before a point they seek to.
constexpr std::uint64_t kSeekPreRollNs = 80'000'000;
// The largest packet libopus is asked to write.
constexpr int kMaxPacket = 4000;

void PutLittleEndian(std::string& bytes, std::uint32_t value, int width) {
  for (int i = 0; i < width; ++i) bytes.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// The identification header: version 1, the channels, the pre-skip, the
// input rate, no gain, channel mapping family 0.
std::string OpusHead(int preSkip) {
  std::string head = "OpusHead";
  head.push_back('\x01');
  head.push_back(static_cast<char>(kChannels));
  PutLittleEndian(head, static_cast<std::uint32_t>(preSkip), 2);
  PutLittleEndian(head, OpusAudioEncoder::kSampleRate, 4);
  PutLittleEndian(head, 0, 2);
  head.push_back('\x00');
  return head;
}

std::int16_t Sample(float value) {
  return static_cast<std::int16_t>(std::clamp(value, -1.0f, 1.0f) * 32767.0f);
}

}  // namespace

OpusAudioEncoder::OpusAudioEncoder(std::unique_ptr<State> state) : state_(std::move(state)) {}

OpusAudioEncoder::~OpusAudioEncoder() = default;

std::unique_ptr<OpusAudioEncoder> OpusAudioEncoder::Create(std::uint64_t track,
                                                           std::string& error) {
  auto state = std::make_unique<State>();
  int status = OPUS_OK;
  state->encoder = opus_encoder_create(kSampleRate, kChannels, OPUS_APPLICATION_AUDIO, &status);
  if (state->encoder == nullptr || status != OPUS_OK) {
    error = std::string("Opus encoder not created: ") + opus_strerror(status);
    return nullptr;
  }
  opus_encoder_ctl(state->encoder, OPUS_SET_BITRATE(96000));
  // Plain tones need none of the slower analysis.
  opus_encoder_ctl(state->encoder, OPUS_SET_COMPLEXITY(1));
  opus_int32 lookahead = 0;
  opus_encoder_ctl(state->encoder, OPUS_GET_LOOKAHEAD(&lookahead));
  state->preSkip = lookahead;
  state->track = track;
  return std::unique_ptr<OpusAudioEncoder>(new OpusAudioEncoder(std::move(state)));
}

void OpusAudioEncoder::DescribeTrack(WebmTrack& track) const {
  track.codec = "A_OPUS";
  track.codecPrivate = OpusHead(state_->preSkip);
  track.codecDelayNs = static_cast<std::uint64_t>(state_->preSkip) * 1'000'000'000u / kSampleRate;
  track.seekPreRollNs = kSeekPreRollNs;
  track.samplingRate = kSampleRate;
  track.channels = kChannels;
}

bool OpusAudioEncoder::Encode(const std::vector<float>& left, const std::vector<float>& right,
                              std::vector<WebmFrame>& frames) {
  const std::size_t count = std::min(left.size(), right.size());
  // The look-ahead is encoded too, so that the last real sample comes out.
  const std::size_t total = count + static_cast<std::size_t>(state_->preSkip);
  std::vector<opus_int16> packet(2 * kPacketSamples);
  unsigned char coded[kMaxPacket];
  for (std::size_t first = 0, index = 0; first < total; first += kPacketSamples, ++index) {
    for (std::size_t i = 0; i < kPacketSamples; ++i) {
      const bool inside = first + i < count;
      packet[2 * i] = inside ? Sample(left[first + i]) : 0;
      packet[2 * i + 1] = inside ? Sample(right[first + i]) : 0;
    }
    const opus_int32 bytes = opus_encode(state_->encoder, packet.data(), kPacketSamples, coded, kMaxPacket);
    if (bytes < 0) return false;
    frames.push_back({state_->track, index * 20, true,
                      std::string(reinterpret_cast<const char*>(coded), static_cast<std::size_t>(bytes))});
  }
  return true;
}

}  // namespace Corvan::Media

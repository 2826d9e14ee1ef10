// OpusAudioEncoder: 48 kHz stereo sound to Opus packets of 20 ms with
// libopus, and the header a WebM Opus track carries (OpusHead as its
// CodecPrivate, the encoder's look-ahead as CodecDelay and pre-skip), so
// that players drop the look-ahead and the sound starts in time with the
// picture.
//
//   std::string error;
//   std::unique_ptr<OpusAudioEncoder> encoder = OpusAudioEncoder::Create(2, error);
//   WebmTrack track = ...; encoder->DescribeTrack(track);
//   encoder->Encode(left, right, frames);       // the whole clip's samples
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/WebmWriter.h"

namespace Corvan::Media {

class OpusAudioEncoder {
 public:
  static constexpr int kSampleRate = 48000;
  // Samples per channel in one packet (20 ms).
  static constexpr int kPacketSamples = 960;

  ~OpusAudioEncoder();
  OpusAudioEncoder(const OpusAudioEncoder&) = delete;
  OpusAudioEncoder& operator=(const OpusAudioEncoder&) = delete;

  // A stereo encoder whose packets go to the WebM track `track`; null with
  // the error text when libopus refuses.
  [[nodiscard]] static std::unique_ptr<OpusAudioEncoder> Create(std::uint64_t track,
                                                                std::string& error);

  // Sets the track's codec, CodecPrivate, CodecDelay, SeekPreRoll, rate and
  // channels.
  void DescribeTrack(WebmTrack& track) const;

  // Encodes the two channels (samples between -1 and 1, equally long) and
  // the look-ahead after them, appending one packet per 20 ms; false when
  // libopus fails.
  [[nodiscard]] bool Encode(const std::vector<float>& left, const std::vector<float>& right,
                            std::vector<WebmFrame>& frames);

 private:
  struct State;
  explicit OpusAudioEncoder(std::unique_ptr<State> state);

  std::unique_ptr<State> state_;
};

}  // namespace Corvan::Media

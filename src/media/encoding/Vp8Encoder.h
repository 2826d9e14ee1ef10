// Vp8Encoder: pictures to VP8 frames with libvpx, tuned for speed: one
// pass, real-time deadline, no look-ahead, a keyframe every two seconds,
// so that a few seconds of simple animation encode in a fraction of a
// second on one core and every two seconds of the clip can be played from
// a keyframe.
//
//   std::string error;
//   std::unique_ptr<Vp8Encoder> encoder = Vp8Encoder::Create(640, 360, 30, 1, error);
//   std::vector<WebmFrame> frames;
//   for (int i = 0; i < count; ++i) encoder->Encode(picture, frames);   // or false
//   encoder->Finish(frames);
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/WebmWriter.h"
#include "media/encoding/Picture.h"

namespace Corvan::Media {

class Vp8Encoder {
 public:
  ~Vp8Encoder();
  Vp8Encoder(const Vp8Encoder&) = delete;
  Vp8Encoder& operator=(const Vp8Encoder&) = delete;

  // An encoder for pictures of the size at `framesPerSecond`, whose frames
  // go to the WebM track `track`; null with the error text when libvpx
  // refuses the settings.
  [[nodiscard]] static std::unique_ptr<Vp8Encoder> Create(int width, int height,
                                                          int framesPerSecond,
                                                          std::uint64_t track,
                                                          std::string& error);

  // Encodes the next picture (of the encoder's size) and appends the frames
  // it gives; false when libvpx fails.
  [[nodiscard]] bool Encode(const Picture& picture, std::vector<WebmFrame>& frames);
  // Appends what the encoder still holds.
  [[nodiscard]] bool Finish(std::vector<WebmFrame>& frames);

 private:
  struct State;
  explicit Vp8Encoder(std::unique_ptr<State> state);
  bool Submit(const Picture* picture, std::vector<WebmFrame>& frames);

  std::unique_ptr<State> state_;
};

}  // namespace Corvan::Media

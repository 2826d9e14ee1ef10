#include "media/encoding/DemoClips.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <iterator>
#include <thread>

#include "media/encoding/OpusAudioEncoder.h"
#include "media/encoding/Vp8Encoder.h"

namespace Corvan::Media {

namespace {

constexpr std::uint64_t kVideoTrack = 1;
constexpr std::uint64_t kAudioTrack = 2;
constexpr const char* kMuxingApp = "kyn-host demo clips";

bool EncodePictures(const DemoScene& scene, const ClipFormat& format, std::vector<WebmFrame>& frames,
                    std::string& error) {
  std::unique_ptr<Vp8Encoder> encoder =
      Vp8Encoder::Create(format.width, format.height, format.framesPerSecond, kVideoTrack, error);
  if (!encoder) return false;
  Picture picture(format.width, format.height);
  const auto count = static_cast<int>(std::lround(scene.seconds * format.framesPerSecond));
  for (int i = 0; i < count; ++i) {
    DrawScene(scene, picture, static_cast<double>(i) / format.framesPerSecond);
    if (!encoder->Encode(picture, frames)) {
      error = "VP8 encoding failed";
      return false;
    }
  }
  if (!encoder->Finish(frames)) error = "VP8 encoding failed";
  return error.empty();
}

bool EncodeSound(const DemoScene& scene, WebmTrack& track, std::vector<WebmFrame>& frames,
                 std::string& error) {
  std::unique_ptr<OpusAudioEncoder> encoder = OpusAudioEncoder::Create(kAudioTrack, error);
  if (!encoder) return false;
  encoder->DescribeTrack(track);
  std::vector<float> left, right;
  RenderTune(scene, OpusAudioEncoder::kSampleRate, left, right);
  if (!encoder->Encode(left, right, frames)) error = "Opus encoding failed";
  return error.empty();
}

}  // namespace

EncodedClip EncodeDemoClip(const DemoScene& scene, const ClipFormat& format) {
  EncodedClip clip{scene.name, scene.hoursAgo, "", ""};
  WebmOptions options;  // the writing application and track names of a highlight
  options.muxingApp = kMuxingApp;
  options.tracks[0].width = static_cast<std::uint64_t>(format.width);
  options.tracks[0].height = static_cast<std::uint64_t>(format.height);
  std::vector<WebmFrame> video, audio;
  if (!EncodePictures(scene, format, video, clip.error) ||
      !EncodeSound(scene, options.tracks[1], audio, clip.error)) {
    return clip;
  }
  // In time order, a picture before the sound of the same moment, so that
  // each cluster opens with its keyframe.
  options.frames.reserve(video.size() + audio.size());
  std::merge(std::make_move_iterator(video.begin()), std::make_move_iterator(video.end()),
             std::make_move_iterator(audio.begin()), std::make_move_iterator(audio.end()),
             std::back_inserter(options.frames),
             [](const WebmFrame& a, const WebmFrame& b) { return a.timeMs < b.timeMs; });
  options.durationMs = scene.seconds * 1000.0;
  clip.bytes = BuildWebm(options).bytes;
  return clip;
}

std::vector<EncodedClip> EncodeDemoClips(const ClipFormat& format) {
  const std::vector<DemoScene>& scenes = DemoScenes();
  std::vector<EncodedClip> clips(scenes.size());
  std::atomic<std::size_t> next{0};
  const auto work = [&] {
    for (std::size_t i = next++; i < scenes.size(); i = next++) clips[i] = EncodeDemoClip(scenes[i], format);
  };
  const unsigned helpers = std::min(2u, std::max(1u, std::thread::hardware_concurrency())) - 1;
  std::vector<std::thread> threads;
  for (unsigned i = 0; i < helpers; ++i) threads.emplace_back(work);
  work();
  for (std::thread& thread : threads) thread.join();
  return clips;
}

}  // namespace Corvan::Media
